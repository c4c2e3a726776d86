// Covers vellum-cli's show --parallel: a verse, a chapter whose verse counts differ, a verse one
// module lacks, and its errors.
#include "tools/cli/parallel_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

// A second translation of two books (digits after a blank would read as Strong's numbers, so
// its verses are told apart by their references only) whose chapters are longer than the fixture
// KJV's: its John 3 has 37 verses (the KJV 36) and its 3 John 1 has 15 (the KJV 14).
std::string shortVersionText() {
  std::string text = "John\t1\t1\tShort John one.\nJohn\t2\t1\tShort John two.\n";
  for (int verse = 1; verse <= 37; ++verse)
    text += "John\t3\t" + std::to_string(verse) + "\tShort John three.\n";
  for (int verse = 1; verse <= 15; ++verse)
    text += "3 John\t1\t" + std::to_string(verse) + "\tShort letter.\n";
  return text;
}

class ShowParallel : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(dir_->path());
    test::buildModule(dir_->path(), "short.bib", "Short Version", shortVersionText());
  }
  static void TearDownTestSuite() { dir_.reset(); }
  void SetUp() override { set_dpath(dir_->path().c_str()); }
  void TearDown() override { set_dpath("."); }

  int show(const std::vector<std::string>& files, const std::string& reference, bool chapter,
           bool strongs = false) {
    out_.str("");
    err_.str("");
    return runShowParallel(files, reference, chapter, strongs, out_, err_);
  }

  static std::unique_ptr<test::TempDir> dir_;
  std::ostringstream out_, err_;
};

std::unique_ptr<test::TempDir> ShowParallel::dir_;

constexpr const char* kKjv316 =
    "John 3:16 (King James Version) For God so loved the world, that he gave his only begotten "
    "Son, that whosoever believeth in him should not perish, but have everlasting life.\n";

TEST_F(ShowParallel, OneLinePerTranslationForAVerse) {
  EXPECT_EQ(show({"kjv.bib", "short.bib"}, "John 3:16", false), 0) << err_.str();
  EXPECT_EQ(out_.str(), std::string(kKjv316) + "John 3:16 (Short Version) Short John three.\n");
  EXPECT_EQ(err_.str(), "");
  // The reference is read by the first translation that holds it; the other says it has none.
  EXPECT_EQ(show({"kjv.bib", "short.bib"}, "3 John 1:15", false), 0) << err_.str();
  EXPECT_EQ(out_.str(),
            "3 John 1:15 (King James Version) (not in this translation)\n"
            "3 John 1:15 (Short Version) Short letter.\n");
  // A book the second one lacks is named as the first names it.
  EXPECT_EQ(show({"kjv.bib", "short.bib"}, "Genesis 1:1", false, true), 0);
  EXPECT_EQ(out_.str(),
            "Genesis 1:1 (King James Version) In the beginning 7225 God 430 created 1254 the "
            "heaven 8064 and 853 the earth. 776\n"
            "Genesis 1:1 (Short Version) (not in this translation)\n");
}

TEST_F(ShowParallel, ChapterRunsToTheLongestTranslation) {
  EXPECT_EQ(show({"short.bib", "kjv.bib"}, "John 3:5", true), 0) << err_.str();
  const std::string out = out_.str();
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 74);
  EXPECT_TRUE(
      out.starts_with("John 3:1 (Short Version) Short John three.\nJohn 3:1 (King James "
                      "Version) "))
      << out.substr(0, 120);
  EXPECT_NE(out.find("John 3:16 (Short Version) Short John three.\n" + std::string(kKjv316)),
            std::string::npos);
  EXPECT_TRUE(
      out.ends_with("John 3:37 (Short Version) Short John three.\n"
                    "John 3:37 (King James Version) (not in this translation)\n"))
      << out.substr(out.size() - 150);
}

TEST_F(ShowParallel, ErrorsExitTwoWithAMessage) {
  struct Case {
    std::vector<std::string> files;
    const char* reference;
    const char* message;
  };
  const Case cases[] = {
      {{"kjv.bib"}, "John 3:16", "needs two or more module files"},
      {{"kjv.bib", "missing.bib"}, "John 3:16", "cannot open missing.bib"},
      {{"kjv.bib", "short.bib"}, "Hezekiah 1:1", "Hezekiah 1:1 is not a valid reference"},
      {{"short.bib", "kjv.bib"}, "John 3:38", "John 3:38 is not a valid reference"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reference);
    EXPECT_EQ(show(c.files, c.reference, false), 2);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
  }
}

}  // namespace
}  // namespace vellum
