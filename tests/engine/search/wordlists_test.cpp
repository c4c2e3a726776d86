// Covers the wildcard and sound-alike word lists and the searches built on them.
#include "engine/search/wordlists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/bible/module_internal.h"
#include "engine/search/verselist.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using Verses = std::vector<std::uint16_t>;
using Words = std::vector<std::string>;

// live: 0 4; love: 1 3; Love: 2; LOVE: 3; Robert: 5; Rupert: 6; 123: 7; 4567: 8.
constexpr const char* kText =
    "Genesis\t1\t1\tthey live\n"
    "Genesis\t1\t2\twe love\n"
    "Genesis\t1\t3\tLove is kind\n"
    "Genesis\t1\t4\tlove and LOVE\n"
    "Genesis\t1\t5\tto live\n"
    "Genesis\t1\t6\tRobert came\n"
    "Genesis\t1\t7\tRupert went\n"
    "Genesis\t1\t8\tverse 123\n"
    "Genesis\t1\t9\tverse 4567\n";

class WordLists : public ::testing::Test {
 protected:
  void SetUp() override {
    test::buildModule(dir_.path(), "words.bib", "Word Lists", kText);
    module_ = test::openModule(dir_.path(), "words.bib");
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    module_.reset();
    set_dpath(".");
  }
  Words wildcard(const char* pattern, int caseSensitive, std::uint16_t capacity = 100) {
    std::vector<std::string> words(capacity);
    std::uint16_t n = 0;
    EXPECT_EQ(
        getWildCardWordList(words.data(), &n, capacity, pattern, caseSensitive, module_.get()),
        words.data());
    return Words(words.begin(), words.begin() + n);
  }
  Words soundex(const char* word) {
    std::vector<std::string> words(100);
    std::uint16_t n = 0;
    getSoundexWordList(words.data(), &n, 100, word, module_.get());
    Words result(words.begin(), words.begin() + n);
    std::sort(result.begin(), result.end());
    return result;
  }
  using Search = std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t, std::string*,
                                    std::uint16_t*, std::uint16_t, const char*, BibleHandle*);
  Verses search(Search function, const char* text, std::uint16_t wordCapacity = 100) {
    std::vector<std::uint16_t> out(kVerseListCapacity);
    std::vector<std::string> words(wordCapacity);
    std::uint16_t n = 0, w = 0;
    EXPECT_EQ(function(out.data(), &n, kVerseListCapacity, words.data(), &w, wordCapacity, text,
                       module_.get()),
              out.data());
    EXPECT_EQ(out[n], kVerseListEnd);
    found_ = Words(words.begin(), words.begin() + w);
    std::sort(found_.begin(), found_.end());
    return Verses(out.begin(), out.begin() + n);
  }

  test::TempDir dir_;
  test::Module module_;
  Words found_;
};

TEST_F(WordLists, WildcardListHonoursTheCaseFlag) {
  EXPECT_EQ(wildcard("l?ve", 1), (Words{"live", "love"}));
  Words blind = wildcard("l?ve", 0);
  std::sort(blind.begin(), blind.end());
  EXPECT_EQ(blind, (Words{"LOVE", "Love", "live", "love"}));
}

TEST_F(WordLists, WildcardListStopsAtCapacity) {
  EXPECT_EQ(wildcard("l?ve", 1, 1), (Words{"live"}));
  EXPECT_EQ(wildcard("l?ve", 1, 0), Words{});
}

TEST_F(WordLists, PatternsThatMatchNoWord) {
  EXPECT_EQ(wildcard("[abc", 0), Words{});  // malformed
  EXPECT_EQ(wildcard("*ove*", 0), Words{});  // both ends wild
  EXPECT_EQ(wildcard("", 0), Words{});
}

TEST_F(WordLists, LoneStarListsEveryWord) {
  EXPECT_EQ(wildcard("*", 0).size(), module_->stringTable->nWords);
  EXPECT_EQ(wildcard("*", 0, 3).size(), 3u);
}

TEST_F(WordLists, SoundexListMatchesCodes) {
  EXPECT_EQ(soundex("Robert"), (Words{"Robert", "Rupert"}));
  EXPECT_EQ(soundex("9"), (Words{"123", "4567"}));  // letterless words share Z000
}

TEST_F(WordLists, WildCardSearchLooksUpEachWordExactly) {
  EXPECT_EQ(search(wildCardSearch, "l?ve"), (Verses{0, 1, 2, 3, 4}));
  EXPECT_EQ(found_, (Words{"LOVE", "Love", "live", "love"}));
  EXPECT_EQ(search(csWildCardSearch, "l?ve"), (Verses{0, 1, 3, 4}));
  EXPECT_EQ(found_, (Words{"live", "love"}));
  EXPECT_EQ(search(csWildCardSearch, "L?VE"), (Verses{3}));
}

TEST_F(WordLists, WildCardSearchUsesOnlyTheWordsItKeeps) {
  EXPECT_EQ(search(csWildCardSearch, "l?ve", 1), (Verses{0, 4}));  // "live" alone
  EXPECT_EQ(found_, (Words{"live"}));
  EXPECT_EQ(search(wildCardSearch, "zz?z"), Verses{});
  EXPECT_TRUE(found_.empty());
}

TEST_F(WordLists, SoundexSearchJoinsSoundAlikes) {
  EXPECT_EQ(search(soundexSearch, "Robert"), (Verses{5, 6}));
  EXPECT_EQ(found_, (Words{"Robert", "Rupert"}));
  EXPECT_EQ(search(soundexSearch, "0"), (Verses{7, 8}));
}

}  // namespace
}  // namespace vellum
