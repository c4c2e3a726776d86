// Covers the data set built from the real sources (scripts/prepare-data.sh): the KJV's shape,
// text and Strong's numbers, its words against the SWORD module's own, searches on the typeset
// WEB and the Spanish Reina-Valera counted against their plain text, the lexicon, topics and
// commentary, and the importer's refusals on real modules. Skipped when data/ is absent.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
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

  test::Module openKjv() { return openData("kjv.bib"); }
  test::Module openData(const char* file) {
    std::string why;
    test::Module module = test::openModule(kData, file, &why);
    EXPECT_TRUE(module) << why;
    return module;
  }

  using Searcher = std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t, const char*,
                                      BibleHandle*);
  static std::vector<std::uint16_t> search(Searcher searcher, const char* query, BibleHandle* m) {
    std::vector<std::uint16_t> out(kVerseListCapacity);
    std::uint16_t count = 0;
    searcher(out.data(), &count, kVerseListCapacity, query, m);
    out.resize(count);
    return out;
  }

  // How many verses' plain text (as the check compares it with SWORD's own rendering, without
  // Strong's numbers) holds a match, told by a test of the text alone.
  template <class Holds>
  static std::size_t countVerses(BibleHandle* m, Holds&& holds) {
    unsigned long books = 0, chapters = 0, verses = 0, words = 0;
    char s1 = 0, s2 = 0;
    long sl = 0;
    getBibleStats(&s1, &s2, &sl, &books, &chapters, &verses, &words, m);
    setStrongs(m, 0);
    std::vector<char> text(kChapterBufferSize);
    std::size_t count = 0;
    for (unsigned long verse = 0; verse < verses; ++verse) {
      std::uint16_t length = 0;
      getVerse(text.data(), &length, static_cast<std::uint16_t>(text.size()),
               static_cast<std::uint16_t>(verse), m);
      std::string line(text.data(), length);
      line.erase(0, line.find(' ', line.find(':')) + 1);  // "Book C:V " goes
      for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (holds(line)) ++count;
    }
    return count;
  }
  static bool isWordByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
  // The word as a whole word of ASCII letters, apostrophes (' or ’) inside it.
  static bool holdsWord(const std::string& line, const std::string& word) {
    std::string token;
    for (std::size_t i = 0; i <= line.size(); ++i) {
      const bool apostrophe =
          line.compare(i, 3, "\u2019") == 0 || (i < line.size() && line[i] == '\'');
      if (i < line.size() && (std::isalpha(static_cast<unsigned char>(line[i])) || apostrophe)) {
        token += apostrophe ? '\'' : line[i];
        if (apostrophe && line[i] != '\'') i += 2;
        continue;
      }
      while (!token.empty() && token.back() == '\'') token.pop_back();
      while (!token.empty() && token.front() == '\'') token.erase(0, 1);
      if (token == word) return true;
      token.clear();
    }
    return false;
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

// Typeset text: the word counts of SWORD's plain text, and phrases with quotes around them.
TEST_F(RealDataTest, WebSearchesSeeWordsThroughTypographicPunctuation) {
  if (!fs::exists(kData / "web.bib")) GTEST_SKIP() << "web.bib is absent";
  auto web = openData("web.bib");
  ASSERT_TRUE(web);
  for (const char* word : {"behold", "let", "lord"}) {
    const std::size_t plain =
        countVerses(web.get(), [&](const std::string& line) { return holdsWord(line, word); });
    EXPECT_EQ(search(wordSearch, word, web.get()).size(), plain) << word;
  }
  Reference genesis1v3{0, 1, 3};
  EXPECT_EQ(search(phraseSearch, "let there be light", web.get()),
            std::vector<std::uint16_t>{referenceToVerse(genesis1v3, web.get())});
  EXPECT_EQ(search(wordSearch, "Joseph's", web.get()), search(csWordSearch, "Joseph’s", web.get()));
  EXPECT_FALSE(search(csWordSearch, "Joseph's", web.get()).empty());
  std::string words[16];
  std::uint16_t count = 0;
  getWildCardWordList(words, &count, 16, "“*", 0, web.get());
  EXPECT_EQ(count, 0);
}

// Every occurrence of a phrase counts: "and the" after "band the" in the same verse too.
TEST_F(RealDataTest, KjvPhraseFindsEveryVerseHoldingIt) {
  auto kjv = openKjv();
  ASSERT_TRUE(kjv);
  const std::size_t plain = countVerses(kjv.get(), [](const std::string& line) {
    for (std::size_t at = line.find("and"); at != std::string::npos;
         at = line.find("and", at + 1)) {
      if (at > 0 && isWordByte(line[at - 1])) continue;
      std::size_t i = at + 3;
      while (i < line.size() && !isWordByte(line[i]) && line[i] != ' ') ++i;
      if (i == line.size() || line[i] != ' ') continue;
      ++i;
      while (i < line.size() && !isWordByte(line[i]) && line[i] != ' ') ++i;
      if (line.compare(i, 3, "the") == 0 && (i + 3 == line.size() || !isWordByte(line[i + 3])))
        return true;
    }
    return false;
  });
  EXPECT_GT(plain, 4900u);
  EXPECT_EQ(search(phraseSearch, "and the", kjv.get()).size(), plain);
}

// The Spanish translation: its own book names, with or without accents, and searches that
// ignore accents and case beyond ASCII.
TEST_F(RealDataTest, SpanishNamesAndAccentBlindSearches) {
  if (!fs::exists(kData / "sparv.bib")) GTEST_SKIP() << "sparv.bib is absent";
  auto rv = openData("sparv.bib");
  ASSERT_TRUE(rv);
  const std::pair<const char*, const char*> references[] = {{"Juan 3:16", "Juan 3:16"},
                                                            {"génesis 1:1", "Génesis 1:1"},
                                                            {"Genesis 1:1", "Génesis 1:1"},
                                                            {"1 cor 13:4", "1 Corintios 13:4"},
                                                            {"apoc 22:21", "Apocalipsis 22:21"}};
  for (const auto& [typed, shown] : references) {
    Reference reference;
    ASSERT_EQ(parseReference(&reference, typed, rv.get()), 1) << typed;
    char text[64];
    EXPECT_STREQ(unparseReference(text, reference, rv.get()), shown);
  }
  std::vector<char> text(kChapterBufferSize);
  std::uint16_t length = 0;
  Reference john3v16;
  parseReference(&john3v16, "Juan 3:16", rv.get());
  getVerse(text.data(), &length, static_cast<std::uint16_t>(text.size()),
           referenceToVerse(john3v16, rv.get()), rv.get());
  EXPECT_EQ(
      std::string(text.data(), length).rfind("Juan 3:16 Porque de tal manera amó Dios al mundo", 0),
      0u);

  const auto exact = search(csWordSearch, "amó", rv.get());
  EXPECT_GE(exact.size(), 30u);
  const auto folded = search(wordSearch, "AMÓ", rv.get());
  EXPECT_EQ(search(wordSearch, "amo", rv.get()), folded);
  EXPECT_TRUE(std::includes(folded.begin(), folded.end(), exact.begin(), exact.end()));
  EXPECT_TRUE(search(csWordSearch, "AMÓ", rv.get()).empty());
  EXPECT_GT(search(wordSearch, "Él", rv.get()).size(), 1000u);
  EXPECT_EQ(search(wordSearch, "Él", rv.get()), search(wordSearch, "el", rv.get()));
  EXPECT_FALSE(search(wordSearch, "corazon", rv.get()).empty());
  EXPECT_EQ(search(wordSearch, "corazon", rv.get()), search(wordSearch, "CORAZÓN", rv.get()));
  std::string words[16];
  std::uint16_t count = 0;
  getWildCardWordList(words, &count, 16, "¿*", 0, rv.get());
  EXPECT_EQ(count, 0);
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
