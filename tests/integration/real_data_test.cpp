// Covers the data set built from the real sources (scripts/prepare-data.sh): the KJV's shape,
// text and Strong's numbers, its words against the SWORD module's own, the lexicon, topics and
// commentary, and the importer's refusals on real modules. Skipped when data/ is absent.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;

const fs::path kData = VELLUM_DATA_DIR;

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string quote(const std::string& s) {
  std::string quoted = "'";
  for (char c : s) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

RunResult runImport(const std::string& arguments, const test::TempDir& scratch) {
  const std::string errors = scratch.file("stderr.txt");
  const std::string command = quote(VELLUM_IMPORT_EXE) + " " + arguments + " 2>" + quote(errors);
  RunResult result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errors);
  result.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return result;
}

struct DictCloser {
  void operator()(DictHandle* store) const { deinit_dict(store); }
};
struct LexiconCloser {
  void operator()(LexiconHandle* lexicon) const { deinitLexicon(lexicon); }
};

class RealDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(kData)) GTEST_SKIP() << kData << " is absent: run scripts/prepare-data.sh";
    initBibleModule();
    set_dpath(kData.c_str());
  }

  test::Module openKjv() {
    std::string why;
    test::Module module = test::openModule(kData, "kjv.bib", &why);
    EXPECT_TRUE(module) << why;
    return module;
  }

  std::string firstLineOfGenesis1(BibleHandle* module) {
    std::uint32_t offset = 0;
    std::uint16_t verse = 0;
    refLookup(&offset, &verse, Reference{0, 1, 1}, module);
    std::vector<char> text(kChapterBufferSize);
    std::uint16_t length = 0;
    getChapter(text.data(), &length, static_cast<std::uint16_t>(text.size()), offset, module);
    const std::string chapter(text.data(), length);
    return chapter.substr(0, chapter.find('\n'));
  }
};

TEST_F(RealDataTest, KjvHasTheWholeCanonUnderItsName) {
  auto kjv = openKjv();
  ASSERT_TRUE(kjv);
  bibleName name;
  EXPECT_STREQ(getBibleName(&name, kjv.get())->name, "King James Version");
  EXPECT_EQ(hasStrongs(kjv.get()), 1);
  char s1 = 0, s2 = 0;
  long sl = 0;
  unsigned long books = 0, chapters = 0, verses = 0, words = 0;
  getBibleStats(&s1, &s2, &sl, &books, &chapters, &verses, &words, kjv.get());
  EXPECT_EQ(books, 66u);
  EXPECT_EQ(chapters, 1189u);
  EXPECT_EQ(verses, 31102u);
  EXPECT_STREQ(getBookName(8, kjv.get()), "1 Samuel");
  EXPECT_STREQ(getBookName(21, kjv.get()), "Song of Solomon");
  EXPECT_STREQ(getBookName(65, kjv.get()), "Revelation");
  Reference reference;
  EXPECT_EQ(parseReference(&reference, "Rev 22:21", kjv.get()), 1);
}

TEST_F(RealDataTest, Genesis1OpensWithAndWithoutStrongsNumbers) {
  auto kjv = openKjv();
  ASSERT_TRUE(kjv);
  setStrongs(kjv.get(), 1);
  EXPECT_EQ(firstLineOfGenesis1(kjv.get()),
            "1 In the beginning 7225 God 430 created 1254 the heaven 8064 and 853 the earth. 776");
  setStrongs(kjv.get(), 0);
  EXPECT_EQ(firstLineOfGenesis1(kjv.get()),
            "1 In the beginning God created the heaven and the earth.");
}

TEST_F(RealDataTest, PsalmTitlesStayAndStanzaNamesGo) {
  auto kjv = openKjv();
  ASSERT_TRUE(kjv);
  std::vector<char> text(kChapterBufferSize);
  std::uint16_t length = 0;
  Reference psalm3;
  ASSERT_EQ(parseReference(&psalm3, "Psalms 3:1", kjv.get()), 1);
  getVerse(text.data(), &length, static_cast<std::uint16_t>(text.size()),
           referenceToVerse(psalm3, kjv.get()), kjv.get());
  EXPECT_EQ(std::string(text.data(), length).rfind("Psalms 3:1 A Psalm of David, when he fled", 0), 0u);
  Reference psalm119;
  ASSERT_EQ(parseReference(&psalm119, "Psalms 119:9", kjv.get()), 1);
  getVerse(text.data(), &length, static_cast<std::uint16_t>(text.size()),
           referenceToVerse(psalm119, kjv.get()), kjv.get());
  EXPECT_EQ(std::string(text.data(), length),
            "Psalms 119:9 Wherewithal shall a young man cleanse his way? by taking heed [thereto] "
            "according to thy word.");
}

// The second path: every verse as the engine reads it against SWORD's own plain rendering.
TEST_F(RealDataTest, EveryKjvVerseHasTheSourceModulesWords) {
  test::TempDir scratch;
  const RunResult result = runImport("check --sword KJV " + quote((kData / "kjv.bib").string()), scratch);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("all 31102 verses have the words of engKJV2006eb"), std::string::npos)
      << result.out;
}

TEST_F(RealDataTest, LexiconTablesDiffer) {
  std::unique_ptr<LexiconHandle, LexiconCloser> lexicon(initLexicon("lexicon.lex"));
  ASSERT_TRUE(lexicon);
  std::vector<char> hebrew(kChapterBufferSize), greek(kChapterBufferSize);
  std::uint16_t hebrewLength = 0, greekLength = 0;
  ASSERT_NE(lookupLexicon(hebrew.data(), &hebrewLength, static_cast<std::uint16_t>(hebrew.size()), 1, 1,
                          lexicon.get()),
            nullptr);
  ASSERT_NE(lookupLexicon(greek.data(), &greekLength, static_cast<std::uint16_t>(greek.size()), 1, 0,
                          lexicon.get()),
            nullptr);
  const std::string h(hebrew.data(), hebrewLength), g(greek.data(), greekLength);
  EXPECT_NE(h, g);
  EXPECT_NE(h.find("awb"), std::string::npos) << h;            // pronunciation, first line
  EXPECT_LT(h.find("awb"), h.find('\n'));
  EXPECT_NE(g.find("al'-fah"), std::string::npos) << g;
}

TEST_F(RealDataTest, NavesAaronListsExodus6Verse16) {
  std::unique_ptr<DictHandle, DictCloser> topics(open_dict("topics.dic"));
  ASSERT_TRUE(topics);
  std::vector<std::uint8_t> data(65535);
  std::uint16_t length = 0;
  ASSERT_NE(find_binary_item(data.data(), &length, static_cast<std::uint16_t>(data.size()), "AARON",
                             topics.get()),
            nullptr);
  ASSERT_EQ(length % 3, 0);
  std::vector<std::array<std::uint8_t, 3>> refs;
  for (std::uint16_t i = 0; i < length; i += 3) refs.push_back({data[i], data[i + 1], data[i + 2]});
  EXPECT_TRUE(std::is_sorted(refs.begin(), refs.end()));
  EXPECT_EQ(std::adjacent_find(refs.begin(), refs.end()), refs.end());
  EXPECT_TRUE(std::binary_search(refs.begin(), refs.end(), std::array<std::uint8_t, 3>{1, 6, 16}));
  // The range Exodus 6:16-20 is expanded.
  EXPECT_TRUE(std::binary_search(refs.begin(), refs.end(), std::array<std::uint8_t, 3>{1, 6, 18}));
}

TEST_F(RealDataTest, CommentaryHasChapterItems) {
  std::unique_ptr<DictHandle, DictCloser> commentary(open_dict("mhc.dic"));
  ASSERT_TRUE(commentary);
  std::vector<char> text(kChapterBufferSize);
  std::uint16_t length = 0;
  ASSERT_NE(find_string_item(text.data(), &length, static_cast<std::uint16_t>(text.size()), "1:0",
                             commentary.get()),
            nullptr);
  EXPECT_GT(length, 1000);
  ASSERT_NE(find_string_item(text.data(), &length, static_cast<std::uint16_t>(text.size()), "3:42",
                             commentary.get()),
            nullptr);
  const std::string john3(text.data(), length);
  EXPECT_EQ(john3.rfind("Chapter 3", 0), 0u) << john3.substr(0, 80);
  EXPECT_NE(john3.find("Christ's discourse with Nicodemus"), std::string::npos);
  EXPECT_NE(john3.find("Verses 22-36"), std::string::npos);
}

TEST_F(RealDataTest, ImporterRefusesBadSourcesLeavingNoFile) {
  test::TempDir scratch;
  const std::string out = scratch.file("out.bib");
  RunResult missing = runImport("bible --sword NoSuchModule " + quote(out), scratch);
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("NoSuchModule: no such SWORD module is installed"), std::string::npos)
      << missing.err;
  // The WEB's deuterocanonical books take it past the format's verse limit.
  RunResult tooMany = runImport("bible --sword WEB " + quote(out), scratch);
  EXPECT_EQ(tooMany.exitCode, 1);
  EXPECT_NE(tooMany.err.find("engWEB2015eb: Mark 8:12:"), std::string::npos) << tooMany.err;
  EXPECT_NE(tooMany.err.find("--books 66"), std::string::npos);
  EXPECT_FALSE(fs::exists(out));
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(scratch.path()))
    if (entry.path().filename() != "stderr.txt") left.push_back(entry.path().filename().string());
  EXPECT_TRUE(left.empty()) << left.front();
}

}  // namespace
}  // namespace vellum
