// Covers the output of vellum-cli's search, words and list commands.
#include "tools/cli/search_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "support/files.h"
#include "tests/support/fixtures.h"
// The commands are part of the vellum-cli executable, not of a library: built in here.

namespace vellum {
namespace {

constexpr const char* kText =
    "Genesis\t1\t1\tIn the beginning God created the heaven.\n"
    "Genesis\t1\t2\tThe LORD, God of Israel, said Love is kind.\n"
    "Genesis\t2\t1\tThey love to live; Robert came.\n"
    "Exodus\t1\t1\tHate not, but love; Rupert seeth.\n";

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    test::buildModule(dir_.path(), "test.bib", "Command Test", kText);
    set_dpath(dir_.path().c_str());
  }
  void TearDown() override { set_dpath("."); }
  std::string search(std::vector<std::string> args, int expectedStatus = 0) {
    std::ostringstream out, err;
    EXPECT_EQ(runSearch(args, "test.bib", out, err), expectedStatus) << err.str();
    if (expectedStatus == 0) {
      EXPECT_EQ(err.str(), "");
    }
    return out.str();
  }
  std::string words(std::vector<std::string> args) {
    std::ostringstream out, err;
    EXPECT_EQ(runWords(args, "test.bib", out, err), 0) << err.str();
    return out.str();
  }
  test::TempDir dir_;
};

TEST_F(Commands, EachSearchKindPrintsReferences) {
  EXPECT_EQ(search({"word", "love"}), "Genesis 1:2\nGenesis 2:1\nExodus 1:1\n");
  EXPECT_EQ(search({"csword", "love"}), "Genesis 2:1\nExodus 1:1\n");
  EXPECT_EQ(search({"phrase", "lord god"}), "Genesis 1:2\n");
  EXPECT_EQ(search({"csphrase", "lord god"}), "");
  EXPECT_EQ(search({"expr", "(love or hate) not god"}), "Genesis 2:1\nExodus 1:1\n");
  EXPECT_EQ(search({"wildcard", "l?ve"}), "Genesis 1:2\nGenesis 2:1\nExodus 1:1\n");
  EXPECT_EQ(search({"cswildcard", "L?ve"}), "Genesis 1:2\n");
  EXPECT_EQ(search({"soundex", "Robert"}), "Genesis 2:1\nExodus 1:1\n");
}

TEST_F(Commands, UnquotedPhraseWordsAreJoined) {
  EXPECT_EQ(search({"phrase", "in", "the", "beginning"}), "Genesis 1:1\n");
}

TEST_F(Commands, NothingFoundIsSuccess) { EXPECT_EQ(search({"word", "nowhere"}), ""); }

TEST_F(Commands, UsageErrorsAndMissingModules) {
  EXPECT_EQ(search({"word"}, 2), "");
  EXPECT_EQ(search({"grep", "love"}, 2), "");
  std::ostringstream out, err;
  EXPECT_EQ(runSearch({"word", "love"}, "missing.bib", out, err), 2);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str(), "");
  EXPECT_EQ(runWords({"regex", "x"}, "test.bib", out, err), 2);
}

TEST_F(Commands, WordsPrintsWordLists) {
  EXPECT_EQ(words({"cswildcard", "l?ve"}), "live\nlove\n");
  std::string blind = words({"wildcard", "l?ve"});
  EXPECT_EQ(std::count(blind.begin(), blind.end(), '\n'), 3);
  EXPECT_NE(blind.find("Love\n"), std::string::npos);
  const std::string sounds = words({"soundex", "Rupert"});
  EXPECT_TRUE(sounds == "Robert\nRupert\n" || sounds == "Rupert\nRobert\n") << sounds;
}

TEST_F(Commands, ListPrintsFileAndDisplayName) {
  std::ostringstream out, err;
  EXPECT_EQ(runList({}, out, err), 0);
  EXPECT_EQ(out.str(), "test.bib\tCommand Test\n");
}

}  // namespace
}  // namespace vellum
