// Covers word and phrase search, wordListSearch, the word finder findAll, the wildcard and
// sound-alike word lists with the searches built on them, and booleanSearch: keyword rewriting,
// grammar and grouping, the words handed back, syntax errors, the operand and stack limits, and
// independence of concurrent searches.
#include "engine/search/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>
#include <vector>

#include "engine/bible/module_internal.h"
#include "engine/search/boolean.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using Verses = std::vector<std::uint16_t>;
using Words = std::vector<std::string>;
using Searcher = std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t, const char*,
                                    BibleHandle*);
using ListSearcher = decltype(&wildCardSearch);

Words sorted(const std::vector<std::string>& words, std::uint16_t n) {
  Words result(words.begin(), words.begin() + n);
  std::sort(result.begin(), result.end());
  return result;
}

Verses boolean(BibleHandle* module, const std::string& expression, Words* stored = nullptr,
               std::uint16_t wordCapacity = 8, std::uint16_t capacity = kVerseListCapacity) {
  std::vector<std::uint16_t> out(capacity + 1u, 0xBEEF);
  Words words(wordCapacity);
  std::uint16_t n = 99, w = 99;
  EXPECT_EQ(booleanSearch(out.data(), &n, capacity, words.data(), &w, wordCapacity,
                          expression.c_str(), 0, module),
            out.data());
  EXPECT_EQ(out[n], kVerseListEnd);
  EXPECT_EQ(out[capacity], 0xBEEF) << "wrote past capacity";
  if (stored != nullptr) *stored = Words(words.begin(), words.begin() + w);
  return Verses(out.begin(), out.begin() + n);
}

std::string chain(int operands) {
  std::string text = "love";
  for (int i = 1; i < operands; ++i) text += " or love";
  return text;
}

// Verse numbers 0 to 9. love: 1 3 6 7; hate: 6; god: 0 1 7.
class Search : public ::testing::Test {
 protected:
  void SetUp() override {
    test::buildModule(dir_.path(), "search.bib", "Search Test",
                      "Genesis\t1\t1\tIn the beginning God created the heaven and the earth.\n"
                      "Genesis\t1\t2\tAnd the LORD, God of Israel, said Love is kind.\n"
                      "Genesis\t1\t3\twithin the beginning of days, and in the beginning was.\n"
                      "Genesis\t1\t4\tThey love to live; I LOVE thee.\n"
                      "Genesis\t1\t5\tHe loved the glove; Robert and Rupert came.\n"
                      "Genesis\t1\t6\tThe man seeth his teeth.\n"
                      "Genesis\t2\t1\tHate not, but love and hate the evil.\n"
                      "Genesis\t2\t2\tGod is love.\n"
                      "Exodus\t1\t1\tLoved ones live in the beginning\n"
                      "Exodus\t1\t2\tthe word lov* and 123 numbers\n");
    ASSERT_NE(module_ = test::openModule(dir_.path(), "search.bib"), nullptr);
  }
  void TearDown() override {
    module_.reset();
    set_dpath(".");
  }
  Verses run(Searcher search, const char* text, std::uint16_t capacity = kVerseListCapacity,
             BibleHandle* module = nullptr) {
    std::vector<std::uint16_t> out(capacity + 1u, 0xBEEF);
    std::uint16_t n = 0;
    EXPECT_EQ(search(out.data(), &n, capacity, text, module ? module : module_.get()), out.data());
    EXPECT_EQ(out[n], kVerseListEnd);
    EXPECT_EQ(out[capacity], 0xBEEF) << "wrote past capacity";
    return Verses(out.begin(), out.begin() + n);
  }
  // The verses found, and the words used for them.
  std::pair<Verses, Words> run(ListSearcher search, const char* text, std::uint16_t wordCapacity) {
    std::vector<std::uint16_t> out(kVerseListCapacity);
    std::vector<std::string> words(wordCapacity);
    std::uint16_t n = 0, w = 0;
    search(out.data(), &n, kVerseListCapacity, words.data(), &w, wordCapacity, text, module_.get());
    EXPECT_EQ(out[n], kVerseListEnd);
    return {Verses(out.begin(), out.begin() + n), sorted(words, w)};
  }
  Words wildcard(const char* pattern, int caseSensitive, std::uint16_t capacity = 100) {
    std::vector<std::string> words(capacity);
    std::uint16_t n = 0;
    getWildCardWordList(words.data(), &n, capacity, pattern, caseSensitive, module_.get());
    return sorted(words, n);
  }

  test::TempDir dir_;
  test::Module module_;
};

TEST_F(Search, EachKindFindsItsVerses) {
  struct Case {
    Searcher search;
    const char* text;
    Verses verses;
    std::uint16_t capacity = kVerseListCapacity;
  };
  const Case cases[] = {
      {wordSearch, "LOVE", {1, 3, 6, 7}},
      {csWordSearch, "love", {3, 6, 7}},
      {csWordSearch, "LOVE", {3}},
      {wordSearch, "nowhere", {}},
      // Spaces and punctuation are trimmed; a trailing star goes with them ("lov" only).
      {wordSearch, "  love, ", {1, 3, 6, 7}},
      {wordSearch, "\n(love)\r", {1, 3, 6, 7}},
      {wordSearch, ",,", {}},
      {wordSearch, "lov*", {9}},
      {csWordSearch, "l?ve", {3, 6, 7, 8}},  // a wildcard inside a word matches
      {wordSearch, "love", {1, 3}, 3},
      {wordSearch, "love", {}, 1},
      // Verse 2 reads "within the beginning ... in the beginning": the first match is inside
      // "within", and the clean occurrence after it makes the verse a hit.
      {phraseSearch, "in the beginning", {0, 2, 8}},
      {csPhraseSearch, "in the beginning", {2, 8}},
      {phraseSearch, "the begin", {}},
      {phraseSearch, "Lord God", {1}},  // across punctuation
      {csPhraseSearch, "Lord God", {}},
      {phraseSearch, ",,", {}},
      {phraseSearch, "", {}},
      {phraseSearch, "the beginning", {0}, 2}};
  for (const Case& c : cases) EXPECT_EQ(run(c.search, c.text, c.capacity), c.verses) << c.text;
}

TEST_F(Search, WordListsAndTheSearchesOnThem) {
  // findAll anchors a leading wildcard on the tail, and finds the word that is exactly the tail.
  auto find = [&](const char* pattern, int caseSensitive) {
    std::vector<std::uint16_t> numbers(1000);
    std::uint16_t n = 0;
    findAll(numbers.data(), &n, 1000, pattern, caseSensitive, module_->stringTable.get());
    Words words;
    for (std::uint16_t i = 0; i < n; ++i)
      words.push_back(GetAString(numbers[i], module_->stringTable.get()));
    return sorted(words, n);
  };
  EXPECT_EQ(find("*eth", 1), (Words{"seeth", "teeth"}));
  EXPECT_EQ(find("*eth*", 0), Words{});  // the tail then holds the final star
  EXPECT_EQ(find("*love", 1), (Words{"glove", "love"}));
  EXPECT_EQ(find("*love", 0), (Words{"LOVE", "Love", "glove", "love"}));

  EXPECT_EQ(wildcard("l?ve", 1), (Words{"live", "love"}));
  EXPECT_EQ(wildcard("l?ve", 0), (Words{"LOVE", "Love", "live", "love"}));
  EXPECT_EQ(wildcard("l?ve", 1, 1), (Words{"live"}));
  EXPECT_EQ(wildcard("l?ve", 1, 0), Words{});
  for (const char* pattern : {"[abc", "*ove*", ""}) EXPECT_EQ(wildcard(pattern, 0), Words{});
  EXPECT_EQ(wildcard("*", 0).size(), module_->stringTable->nWords);
  EXPECT_EQ(wildcard("*", 0, 3).size(), 3u);
  std::vector<std::string> words(100);
  std::uint16_t n = 0;
  getSoundexWordList(words.data(), &n, 100, "Rubbert", module_.get());
  EXPECT_EQ(sorted(words, n), (Words{"Robert", "Rupert"}));

  EXPECT_EQ(run(wildCardSearch, "l?ve", 100),
            std::pair(Verses{1, 3, 6, 7, 8}, Words{"LOVE", "Love", "live", "love"}));
  EXPECT_EQ(run(csWildCardSearch, "l?ve", 100),
            std::pair(Verses{3, 6, 7, 8}, Words{"live", "love"}));
  EXPECT_EQ(run(csWildCardSearch, "l?ve", 1), std::pair(Verses{3, 8}, Words{"live"}));
  EXPECT_EQ(run(wildCardSearch, "zz?z", 100), std::pair(Verses{}, Words{}));
  EXPECT_EQ(run(soundexSearch, "Robert", 100), std::pair(Verses{4}, Words{"Robert", "Rupert"}));
  EXPECT_EQ(run(soundexSearch, "0", 100).first, (Verses{9}));  // letterless words share Z000
}

TEST_F(Search, WordListSearchFoldsLeftToRight) {
  const std::string words[] = {"love", "hate", "love", "the", "God", "teeth", "nowhere"};
  std::vector<std::uint16_t> out(kVerseListCapacity);
  std::uint16_t n = 0;
  auto fold = [&](int first, std::uint16_t count, SetOperation op, int caseSensitive) {
    wordListSearch(out.data(), &n, kVerseListCapacity, words + first, count, op, caseSensitive,
                   module_.get());
    return Verses(out.begin(), out.begin() + n);
  };
  EXPECT_EQ(fold(0, 2, andOp, 0), (Verses{6}));
  EXPECT_EQ(fold(0, 2, orOp, 0), (Verses{1, 3, 6, 7}));
  // andNotOp takes the accumulated list first: the next word's verses minus those so far.
  EXPECT_EQ(fold(1, 2, andNotOp, 0), (Verses{1, 3, 7}));
  EXPECT_EQ(fold(0, 1, orOp, 1), (Verses{3, 6, 7}));
  EXPECT_EQ(fold(3, 4, orOp, 0), (Verses{0, 1, 2, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(wordListSearch(out.data(), &n, kVerseListCapacity, words, 0, orOp, 0, module_.get()),
            nullptr);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(out[0], kVerseListEnd);

  // A phrase search in a module with Strong's numbers reads past them and leaves them shown.
  test::buildModule(dir_.path(), "strongs.bib", "King James Test",
                    "Genesis\t1\t1\tIn 1 the 2 beginning 3 God 4 created\n");
  test::Module kjv = test::openModule(dir_.path(), "strongs.bib");
  ASSERT_EQ(hasStrongs(kjv.get()), 1);
  setStrongs(kjv.get(), 1);
  EXPECT_EQ(run(phraseSearch, "beginning God", kVerseListCapacity, kjv.get()), Verses{0});
  EXPECT_EQ(getStrongs(kjv.get()), 1);
}

using Boolean = Search;

TEST_F(Boolean, ExpressionsFindTheirVersesAndHandBackTheirWordsWithinCapacities) {
  struct Case {
    std::string expression;
    Verses verses;
    const char* postfix;  // "" for a syntax error
    Words stored;
  };
  const Case cases[] = {
      {"love", {1, 3, 6, 7}, "LOVE ", {"LOVE"}},
      {"love or hate", {1, 3, 6, 7}, "LOVE HATE | ", {"LOVE", "HATE"}},
      {"Love Or Hate", {1, 3, 6, 7}, "LOVE HATE | ", {"LOVE", "HATE"}},
      {"love&hate", {6}, "LOVE HATE & ", {"LOVE", "HATE"}},
      {"(love or hate) not god", {3, 6}, "LOVE HATE | GOD ! ", {"LOVE", "HATE", "GOD"}},
      // Chains group to the right: love ! {6}; the left grouping would give {3}.
      {"love ! hate ! god", {1, 3, 7}, "LOVE HATE GOD ! ! ", {"LOVE", "HATE", "GOD"}},
      {"god | love & hate", {0, 1, 6, 7}, "GOD LOVE HATE & | ", {"GOD", "LOVE", "HATE"}},
      // Spaces join words into one operand; keywords need spaces on both sides.
      {"love god", {}, "LOVEGOD ", {}},
      {"and love", {}, "ANDLOVE ", {}},
      {"(love)or(hate)", {}, "", {}},
      // Only words with hits are handed back, each time they occur.
      {"zzz or love", {1, 3, 6, 7}, "ZZZ LOVE | ", {"LOVE"}},
      {"love or love", {1, 3, 6, 7}, "LOVE LOVE | ", {"LOVE", "LOVE"}},
      // "#" and the line feed end an operand; text after them fails the parse.
      {"love#", {1, 3, 6, 7}, "LOVE ", {"LOVE"}},
      {"love\n", {1, 3, 6, 7}, "LOVE ", {"LOVE"}},
      {"love#hate", {}, "", {}},
      {"love\nhate", {}, "", {}},
      {"love &", {}, "", {}},
      {"(love", {}, "", {}},
      {"love)", {}, "", {}},
      {"", {}, "", {}},
      {"   ", {}, "", {}},
      {"love and not hate", {}, "", {}},
      {"& love", {}, "", {}},
      // Sixty-four pending lists are the limit; operands longer than 255 are refused, and
      // deep parentheses are refused rather than overrun.
      {chain(64), {1, 3, 6, 7}, nullptr, Words(8, "LOVE")},
      {chain(65), {}, nullptr, {}},
      {chain(5000), {}, nullptr, {}},
      {"love or " + std::string(10000, 'x'), {}, "", {}},
      {std::string(100, '(') + "love" + std::string(100, ')'), {1, 3, 6, 7}, "LOVE ", {"LOVE"}},
      {std::string(100000, '(') + "love" + std::string(100000, ')'), {}, "", {}}};
  for (const Case& c : cases) {
    Words stored;
    EXPECT_EQ(boolean(module_.get(), c.expression, &stored), c.verses) << c.expression;
    EXPECT_EQ(stored, c.stored) << c.expression;
    if (c.postfix != nullptr) {
      EXPECT_EQ(booleanPostfix(c.expression.c_str()), c.postfix);
    }
  }
  EXPECT_EQ(booleanPostfix(std::string(255, 'x').c_str()), std::string(255, 'X') + " ");
  EXPECT_EQ(booleanPostfix(std::string(256, 'x').c_str()), "");
  // Words and verses stop at their capacities.
  Words stored;
  EXPECT_EQ(boolean(module_.get(), "love or hate or god", &stored, 2), (Verses{0, 1, 3, 6, 7}));
  EXPECT_EQ(stored, (Words{"LOVE", "HATE"}));
  EXPECT_EQ(boolean(module_.get(), "love", nullptr, 8, 3), (Verses{1, 3}));
}

// Searches on two modules at once give what they give alone: no state is shared.
TEST_F(Boolean, ConcurrentSearchesAreIndependent) {
  std::filesystem::copy_file(dir_.file("search.bib"), dir_.file("second.bib"));
  test::Module second = test::openModule(dir_.path(), "second.bib");
  ASSERT_NE(second, nullptr);
  auto work = [](BibleHandle* module, const char* expression, Verses expected, bool* ok) {
    for (int i = 0; i < 40; ++i) *ok = *ok && boolean(module, expression) == expected;
  };
  bool ok1 = true, ok2 = true;
  std::thread a(work, module_.get(), "(love or hate) not god", Verses{3, 6}, &ok1);
  std::thread b(work, second.get(), "love ! hate ! god", Verses{1, 3, 7}, &ok2);
  a.join();
  b.join();
  EXPECT_TRUE(ok1 && ok2);
}

}  // namespace
}  // namespace vellum
