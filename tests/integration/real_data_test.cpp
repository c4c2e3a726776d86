// The data set scripts/prepare-data.sh builds from real sources, where fixtures cannot stand in:
// SWORD imports, typeset and Spanish text, the lexicon, topics, commentary and dictionaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using Verses = std::vector<std::uint16_t>;
using Searcher = std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t, const char*,
                                    BibleHandle*);

const fs::path kData = VELLUM_DATA_DIR;

Verses search(Searcher searcher, const char* query, BibleHandle* m) {
  Verses out(kVerseListCapacity);
  std::uint16_t count = 0;
  searcher(out.data(), &count, kVerseListCapacity, query, m);
  out.resize(count);
  return out;
}

// The module's books, chapters and verses.
std::array<unsigned long, 3> shapeOf(BibleHandle* m) {
  char s1 = 0, s2 = 0;
  long sl = 0;
  unsigned long books = 0, chapters = 0, verses = 0, words = 0;
  getBibleStats(&s1, &s2, &sl, &books, &chapters, &verses, &words, m);
  return {books, chapters, verses};
}

// How many verses' plain text (Strong's numbers hidden, lower case, apostrophes as ') match.
std::size_t countVerses(BibleHandle* m, const std::regex& pattern) {
  setStrongs(m, 0);
  std::size_t count = 0;
  for (std::uint16_t verse = 0; verse < shapeOf(m)[2]; ++verse) {
    std::string line = test::textOf(m, verse);
    line.erase(0, line.find(' ', line.find(':')) + 1);  // "Book C:V " goes
    for (std::size_t at; (at = line.find("\u2019")) != std::string::npos;) line.replace(at, 3, "'");
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    count += std::regex_search(line, pattern) ? 1 : 0;
  }
  return count;
}

class RealData : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_regular_file(kData / "kjv.bib"))
      GTEST_SKIP() << kData << " holds no data set: run scripts/prepare-data.sh";
    initBibleModule();
    set_dpath(kData.c_str());
  }
  test::Module open(const char* file) {
    std::string why;
    test::Module module = test::openModule(kData, file, &why);
    EXPECT_TRUE(module) << file << ": " << why;
    return module;
  }
};

// Each line: the arguments, " => ", and pieces of standard output separated by " ... ", the
// first at its start, each other after the one before ("\n" a line feed).
TEST_F(RealData, EveryStoreAnswersFromTheCommandLine) {
  std::string table = R"(show --strongs 'Genesis 1:1' => Genesis 1:1 In the beginning 7225 God 430
show 'Psalms 3:1' => Psalms 3:1 A Psalm of David, when he fled
show 'Psalms 119:9' => Psalms 119:9 Wherewithal ... by taking heed [thereto] according to thy
-b sparv.bib show 'Juan 3:16' => Juan 3:16 Porque de tal manera amó Dios al mundo
-b sparv.bib show 'génesis 1:1' => Génesis 1:1 EN el principio crió Dios
-b sparv.bib show '1 cor 13:4' => 1 Corintios 13:4 La caridad es sufrida
lookup strongs hebrew 1 => אב 'âb awb\nA primitive word;\nfather in a literal
lookup strongs greek 1 => Α A al'-fah\nof Hebrew origin;
topics show AARON => Exodus 4:14\n ... \nExodus 6:16\nExodus 6:17\nExodus 6:18\n
lookup dict mhc.dic 1:0 => 1:0\nGenesis\nGenesis is a name taken from the Greek
lookup dict mhc.dic 3:42 => 3:42\nChapter 3 ... discourse with Nicodemus ... Verses 22-36)";
  const bool dictionaries = fs::exists(kData / "eastons.dic") && fs::exists(kData / "hitchck.dic");
  if (dictionaries) {
    table += R"(
lookup dict eastons.dic "Abraham's" => Abraham\nFather of a multitude, son of Terah ... \n\nAbram
lookup dict eastons.dic "abraham's" bosom => abraham's bosom\n
lookup list eastons.dic => A\nAaron\nAaronites\n ... \nAbraham\nAbraham's bosom\nAbram\n
lookup dict hitchck.dic Aaron => Aaron\na teacher; lofty; mountain of strength\n)";
  }
  test::TempDir scratch;
  const std::string data = "-d " + test::shellQuote(kData.string()) + " ";
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t arrow = line.find(" => ");
    const test::Ran ran = test::runProgram(VELLUM_CLI_EXE, data + line.substr(0, arrow), scratch);
    EXPECT_EQ(ran.exitCode, 0) << line << "\n" << ran.err;
    EXPECT_EQ(ran.out.find('\r'), std::string::npos) << line;
    std::string expected = line.substr(arrow + 4);
    for (std::size_t at; (at = expected.find("\\n")) != std::string::npos;)
      expected.replace(at, 2, "\n");
    std::size_t at = 0;
    bool found = true;
    for (std::size_t start = 0, cut = 0; found && cut != std::string::npos; start = cut + 5) {
      cut = expected.find(" ... ", start);
      const std::string piece = expected.substr(start, cut - start);
      const std::size_t where = ran.out.find(piece, at);
      found = where != std::string::npos && (start > 0 || where == 0);
      at = where + piece.size();
    }
    EXPECT_TRUE(found) << line << "\n" << ran.out.substr(0, 400);
  }
  // The topical index keeps each topic's references sorted and distinct.
  const test::Dict topics(open_dict("topics.dic"));
  const std::string aaron = test::itemBytes(topics.get(), "AARON");
  ASSERT_TRUE(aaron.size() > 6 && aaron.size() % 3 == 0) << aaron.size();
  std::vector<std::array<std::uint8_t, 3>> refs(aaron.size() / 3);
  std::memcpy(refs.data(), aaron.data(), aaron.size());
  EXPECT_TRUE(std::is_sorted(refs.begin(), refs.end()));
  EXPECT_EQ(std::adjacent_find(refs.begin(), refs.end()), refs.end());
}

// Every verse against SWORD's own plain rendering; real modules refused leave no file.
TEST_F(RealData, ImporterChecksTheKjvAndRefusesBadSources) {
  test::TempDir scratch;
  const test::Ran check = test::runProgram(
      VELLUM_IMPORT_EXE, "check --sword KJV " + test::shellQuote((kData / "kjv.bib").string()),
      scratch);
  EXPECT_EQ(check.exitCode, 0) << check.err;
  EXPECT_NE(check.out.find("all 31102 verses have the words of engKJV2006eb"), std::string::npos)
      << check.out;
  const std::string out = test::shellQuote(scratch.file("out.bib"));
  // The WEB's deuterocanonical books take it past the format's verse limit.
  const test::Ran tooMany =
      test::runProgram(VELLUM_IMPORT_EXE, "bible --sword WEB " + out, scratch);
  EXPECT_EQ(tooMany.exitCode, 1);
  EXPECT_NE(tooMany.err.find("engWEB2015eb: Mark 8:12:"), std::string::npos) << tooMany.err;
  EXPECT_NE(tooMany.err.find("--books 66"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(scratch.path()));
}

// The whole canon with SWORD's book names; every occurrence of a phrase counts ("and the" after
// "band the" in the same verse too).
TEST_F(RealData, KjvHoldsTheCanonAndPhraseFindsEveryVerseHoldingIt) {
  const test::Module kjv = open("kjv.bib");
  ASSERT_TRUE(kjv);
  EXPECT_EQ(shapeOf(kjv.get()), (std::array<unsigned long, 3>{66, 1189, 31102}));
  EXPECT_STREQ(getBookName(21, kjv.get()), "Song of Solomon");
  // "and", then "the" after a blank, each with punctuation around it but no letter or digit.
  const std::size_t plain =
      countVerses(kjv.get(), std::regex("(^|[^a-z0-9])and[^a-z0-9 ]* [^a-z0-9 ]*the([^a-z0-9]|$)"));
  EXPECT_GT(plain, 4900u);
  EXPECT_EQ(search(phraseSearch, "and the", kjv.get()).size(), plain);
}

// Typeset text: the word counts of SWORD's plain text, and phrases with quotes around them.
TEST_F(RealData, WebSearchesSeeWordsThroughTypographicPunctuation) {
  const test::Module web = open("web.bib");
  ASSERT_TRUE(web);
  for (const char* word : {"behold", "let", "lord"}) {
    // The word whole: no letter or apostrophe within it before or after.
    const std::size_t plain =
        countVerses(web.get(), std::regex(std::string("(^|[^a-z'])'*") + word + "'*([^a-z']|$)"));
    EXPECT_EQ(search(wordSearch, word, web.get()).size(), plain) << word;
  }
  EXPECT_EQ(search(phraseSearch, "let there be light", web.get()),
            Verses{referenceToVerse(Reference{0, 1, 3}, web.get())});
  EXPECT_EQ(search(wordSearch, "Joseph's", web.get()), search(csWordSearch, "Joseph’s", web.get()));
  EXPECT_FALSE(search(csWordSearch, "Joseph's", web.get()).empty());
  std::string words[16];
  std::uint16_t count = 0;
  getWildCardWordList(words, &count, 16, "“*", 0, web.get());
  EXPECT_EQ(count, 0);
}

// Searches ignore accents and case beyond ASCII, and no word keeps the opening question mark.
TEST_F(RealData, SpanishSearchesAreAccentBlind) {
  const test::Module rv = open("sparv.bib");
  ASSERT_TRUE(rv);
  EXPECT_GE(search(csWordSearch, "amó", rv.get()).size(), 30u);
  EXPECT_EQ(search(wordSearch, "amo", rv.get()), search(wordSearch, "AMÓ", rv.get()));
  EXPECT_GT(search(wordSearch, "Él", rv.get()).size(), 1000u);
  EXPECT_EQ(search(wordSearch, "Él", rv.get()), search(wordSearch, "el", rv.get()));
  std::string words[16];
  std::uint16_t count = 0;
  getWildCardWordList(words, &count, 16, "¿*", 0, rv.get());
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace vellum
