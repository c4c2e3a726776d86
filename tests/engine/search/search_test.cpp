// Covers word search, phrase search, wordListSearch and the word finders findAll and
// findSoundsLike, including the trimming and anchoring rules and damaged modules.
#include "engine/search/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "engine/bible/module_internal.h"
#include "engine/search/boolean.h"
#include "engine/search/wordlists.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using Verses = std::vector<std::uint16_t>;
using Words = std::vector<std::string>;

// Verse numbers 0 to 9, in this order.
constexpr const char* kText =
    "Genesis\t1\t1\tIn the beginning God created the heaven and the earth.\n"
    "Genesis\t1\t2\tAnd the LORD, God of Israel, said Love is kind.\n"
    "Genesis\t1\t3\twithin the beginning of days, and in the beginning was light.\n"
    "Genesis\t1\t4\tThey love to live; I LOVE thee.\n"
    "Genesis\t1\t5\tHe loved the glove; Robert and Rupert came.\n"
    "Genesis\t1\t6\tThe man seeth his teeth.\n"
    "Genesis\t2\t1\tHate not, but love and hate the evil.\n"
    "Genesis\t2\t2\tGod is love.\n"
    "Exodus\t1\t1\tLoved ones live in the beginning\n"
    "Exodus\t1\t2\tthe word lov* and 123 numbers\n";

class Search : public ::testing::Test {
 protected:
  void SetUp() override { module_ = open("search.bib", "Search Test", kText); }
  void TearDown() override {
    module_.reset();
    set_dpath(".");
  }
  test::Module open(const char* file, const char* displayName, const char* text) {
    test::buildModule(dir_.path(), file, displayName, text);
    test::Module module = test::openModule(dir_.path(), file);
    EXPECT_NE(module, nullptr);
    return module;
  }

  using Searcher = std::uint16_t* (*)(std::uint16_t*, std::uint16_t*, std::uint16_t, const char*,
                                      BibleHandle*);
  Verses run(Searcher search, const char* text, std::uint16_t capacity = kVerseListCapacity) {
    std::vector<std::uint16_t> out(capacity + 1, 0xBEEF);
    std::uint16_t n = 0;
    EXPECT_EQ(search(out.data(), &n, capacity, text, module_.get()), out.data());
    EXPECT_EQ(out[n], kVerseListEnd);
    EXPECT_EQ(out[capacity], 0xBEEF) << "wrote past capacity";
    return Verses(out.begin(), out.begin() + n);
  }
  Words find(const char* pattern, int caseSensitive, std::uint16_t capacity = 1000) {
    std::vector<std::uint16_t> numbers(capacity);
    std::uint16_t n = 0;
    findAll(numbers.data(), &n, capacity, pattern, caseSensitive, module_->stringTable.get());
    Words words;
    for (std::uint16_t i = 0; i < n; ++i)
      words.push_back(GetAString(numbers[i], module_->stringTable.get()));
    return words;
  }
  test::TempDir dir_;
  test::Module module_;
};

TEST_F(Search, WordSearchIgnoresCase) {
  EXPECT_EQ(run(wordSearch, "love"), (Verses{1, 3, 6, 7}));
  EXPECT_EQ(run(wordSearch, "LOVE"), (Verses{1, 3, 6, 7}));
  EXPECT_EQ(run(csWordSearch, "love"), (Verses{3, 6, 7}));
  EXPECT_EQ(run(csWordSearch, "LOVE"), (Verses{3}));
  EXPECT_EQ(run(wordSearch, "nowhere"), Verses{});
}

TEST_F(Search, WordSearchTrimsSpacesAndPunctuation) {
  EXPECT_EQ(run(wordSearch, "  love, "), run(wordSearch, "love"));
  EXPECT_EQ(run(wordSearch, "\n(love)\r"), run(wordSearch, "love"));
  EXPECT_EQ(run(wordSearch, ",,"), Verses{});
}

TEST_F(Search, TrailingStarIsTrimmedFromAWord) {
  // "lov*" looks for the word "lov" only, not for "love" or "loved".
  EXPECT_EQ(run(wordSearch, "lov*"), (Verses{9}));
  EXPECT_EQ(run(wordSearch, "lov*"), run(csWordSearch, "lov"));
}

TEST_F(Search, WildcardInsideAWordMatches) {
  EXPECT_EQ(run(wordSearch, "l?ve"), (Verses{1, 3, 6, 7, 8}));
  EXPECT_EQ(run(csWordSearch, "l?ve"), (Verses{3, 6, 7, 8}));
}

TEST_F(Search, WordSearchNeverWritesPastCapacity) {
  EXPECT_EQ(run(wordSearch, "love", 3), (Verses{1, 3}));
  EXPECT_EQ(run(wordSearch, "love", 1), Verses{});
}

TEST_F(Search, FindAllAnchorsLeadingWildcardsOnTheTail) {
  EXPECT_EQ(find("*eth", 0), (Words{"seeth", "teeth"}));
  EXPECT_EQ(find("*eth", 1), (Words{"seeth", "teeth"}));
  EXPECT_EQ(find("*eth*", 0), Words{});  // the tail then holds the final star
  // The word that is exactly the literal tail is found too, in every case.
  EXPECT_EQ(find("*love", 1), (Words{"love", "glove"}));
  const Words blind = find("*love", 0);
  EXPECT_EQ(std::count(blind.begin(), blind.end(), "glove"), 1);
  EXPECT_EQ(std::count(blind.begin(), blind.end(), "love"), 1);
  EXPECT_EQ(std::count(blind.begin(), blind.end(), "LOVE"), 1);
}

TEST_F(Search, PhraseSearchFindsWholePhrases) {
  // Verse 2 reads "within the beginning ... in the beginning": the first match is inside
  // "within", and the clean occurrence after it makes the verse a hit.
  EXPECT_EQ(run(phraseSearch, "in the beginning"), (Verses{0, 2, 8}));  // ends verse 8's text
  EXPECT_EQ(run(csPhraseSearch, "in the beginning"), (Verses{2, 8}));
  EXPECT_EQ(run(phraseSearch, "the beginning"), (Verses{0, 2, 8}));
  EXPECT_EQ(run(phraseSearch, "the begin"), Verses{});
}

TEST_F(Search, PhraseMatchesAcrossPunctuation) {
  EXPECT_EQ(run(phraseSearch, "Lord God"), (Verses{1}));
  EXPECT_EQ(run(csPhraseSearch, "Lord God"), Verses{});
}

TEST_F(Search, PhraseOfDelimitersFindsNothing) {
  EXPECT_EQ(run(phraseSearch, ",,"), Verses{});
  EXPECT_EQ(run(phraseSearch, ""), Verses{});
}

TEST_F(Search, PhraseSearchNeverWritesPastCapacity) {
  EXPECT_EQ(run(phraseSearch, "the beginning", 2), (Verses{0}));
}

TEST_F(Search, PhraseSearchHidesStrongsNumbersAndRestoresTheFlag) {
  test::Module kjv = open("strongs.bib", "King James Test",
                          "Genesis\t1\t1\tIn 1 the 2 beginning 3 God 4 created\n");
  ASSERT_EQ(hasStrongs(kjv.get()), 1);
  setStrongs(kjv.get(), 1);
  std::vector<std::uint16_t> out(kVerseListCapacity);
  std::uint16_t n = 0;
  phraseSearch(out.data(), &n, kVerseListCapacity, "beginning God", kjv.get());
  EXPECT_EQ(n, 1);
  EXPECT_EQ(getStrongs(kjv.get()), 1);
}

TEST_F(Search, WordListSearchFoldsLeftToRight) {
  const std::string loveHate[] = {"love", "hate"};
  const std::string hateLove[] = {"hate", "love"};
  std::vector<std::uint16_t> out(kVerseListCapacity);
  std::uint16_t n = 0;
  auto result = [&] { return Verses(out.begin(), out.begin() + n); };
  wordListSearch(out.data(), &n, kVerseListCapacity, loveHate, 2, andOp, 0, module_.get());
  EXPECT_EQ(result(), (Verses{6}));
  wordListSearch(out.data(), &n, kVerseListCapacity, loveHate, 2, orOp, 0, module_.get());
  EXPECT_EQ(result(), (Verses{1, 3, 6, 7}));
  // andNotOp takes the accumulated list first: the next word's verses minus those so far.
  wordListSearch(out.data(), &n, kVerseListCapacity, hateLove, 2, andNotOp, 0, module_.get());
  EXPECT_EQ(result(), (Verses{1, 3, 7}));
  wordListSearch(out.data(), &n, kVerseListCapacity, loveHate, 1, orOp, 1, module_.get());
  EXPECT_EQ(result(), (Verses{3, 6, 7}));
  EXPECT_EQ(wordListSearch(out.data(), &n, kVerseListCapacity, loveHate, 0, orOp, 0, module_.get()),
            nullptr);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(out[0], kVerseListEnd);
}

TEST_F(Search, OrFoldEqualsRepeatedOrOp) {
  // The set-based union must give what merging the lists one by one gives.
  const std::string words[] = {"the", "love", "God", "live", "teeth", "nowhere", "in"};
  std::vector<std::uint16_t> folded(kVerseListCapacity), next(kVerseListCapacity),
      scratch(kVerseListCapacity);
  std::uint16_t n = 0, m = 0;
  wordSearch(folded.data(), &n, kVerseListCapacity, words[0].c_str(), module_.get());
  for (int i = 1; i < 7; ++i) {
    wordSearch(next.data(), &m, kVerseListCapacity, words[i].c_str(), module_.get());
    orOp(scratch.data(), &n, kVerseListCapacity, folded.data(), next.data());
    std::swap(folded, scratch);
  }
  std::vector<std::uint16_t> out(kVerseListCapacity);
  std::uint16_t k = 0;
  wordListSearch(out.data(), &k, kVerseListCapacity, words, 7, orOp, 0, module_.get());
  EXPECT_EQ(Verses(out.begin(), out.begin() + k), Verses(folded.begin(), folded.begin() + n));
}

// Damages one byte at a time throughout the string table and word index: every search must
// come back (nothing found or some list), never read outside the file or hang.
TEST_F(Search, DamagedModulesNeverCrash) {
  const std::string path = dir_.file("search.bib");
  const std::uint64_t from = std::min(module_->header.wordIndexOffset, module_->header.stringTableOffset);
  const std::uint64_t size = module_->fileSize;
  module_.reset();
  std::ifstream original(path, std::ios::binary);
  const std::vector<char> pristine((std::istreambuf_iterator<char>(original)), {});
  original.close();
  ASSERT_EQ(pristine.size(), size);
  int opened = 0;
  for (std::uint64_t at = from; at < size; at += 3) {
    std::vector<char> damaged = pristine;
    damaged[at] = static_cast<char>(damaged[at] ^ (at % 2 == 0 ? 0xFF : 0x41));
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(damaged.data(), static_cast<std::streamsize>(damaged.size()));
    test::Module module = test::openModule(dir_.path(), "search.bib");
    if (module == nullptr) continue;
    ++opened;
    std::vector<std::uint16_t> out(kVerseListCapacity);
    std::vector<std::string> words(64);
    std::uint16_t n = 0, w = 0;
    for (const char* text : {"love", "l?ve", "Robert"}) {
      wordSearch(out.data(), &n, kVerseListCapacity, text, module.get());
      csWordSearch(out.data(), &n, kVerseListCapacity, text, module.get());
      wildCardSearch(out.data(), &n, kVerseListCapacity, words.data(), &w, 64, text, module.get());
      soundexSearch(out.data(), &n, kVerseListCapacity, words.data(), &w, 64, text, module.get());
    }
    wordSearch(out.data(), &n, kVerseListCapacity, "*eth", module.get());
    getWildCardWordList(words.data(), &w, 64, "*eth", 0, module.get());
    getWildCardWordList(words.data(), &w, 64, "*", 1, module.get());
    phraseSearch(out.data(), &n, kVerseListCapacity, "in the beginning", module.get());
    booleanSearch(out.data(), &n, kVerseListCapacity, words.data(), &w, 8, "(love or hate) not god",
                  0, module.get());
    for (std::uint16_t i = 0; i < n; ++i) EXPECT_LT(out[i], kVerseListEnd);
  }
  EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace vellum
