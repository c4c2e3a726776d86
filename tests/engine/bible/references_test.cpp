// References: parsing and printing, book names, counts, verse numbers and chapter stepping.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/bible/bible.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

constexpr std::uint8_t kGenesis = 0, kExodus = 1, kPsalms = 18, kMalachi = 38, kMatthew = 39,
                       kJohn = 42, kFirstJohn = 61, kJude = 64, kRevelation = 65;
constexpr std::uint16_t kKjvVerses = 31102;

class References : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(dir_->path());
  }
  static void TearDownTestSuite() { dir_.reset(); }

  void SetUp() override {
    module_ = test::openModule(dir_->path(), "kjv.bib");
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { module_.reset(); }

  Reference parsed(const char* text, int expectedResult = 1) {
    Reference r{9, 9, 9};
    EXPECT_EQ(parseReference(&r, text, module_.get()), expectedResult) << text;
    return r;
  }

  static std::unique_ptr<test::TempDir> dir_;
  test::Module module_;
};
std::unique_ptr<test::TempDir> References::dir_;

const Reference kReset{0, 1, 1};

TEST_F(References, ParsesBooksCaseBlindAndNumberedBooksWithOrWithoutSpace) {
  EXPECT_EQ(parsed("john 3:16"), (Reference{kJohn, 3, 16}));
  EXPECT_EQ(parsed("1john 1:9"), (Reference{kFirstJohn, 1, 9}));
  EXPECT_EQ(parsed("1 john 1:9"), (Reference{kFirstJohn, 1, 9}));
  EXPECT_EQ(parsed("Ps 119:176"), (Reference{kPsalms, 119, 176}));
  EXPECT_EQ(parsed("Psalms 119:176"), (Reference{kPsalms, 119, 176}));
  EXPECT_EQ(parsed("Revelation 22:21"), (Reference{kRevelation, 22, 21}));
}

TEST_F(References, SeparatorsSpacesRangesAndModulo256) {
  EXPECT_EQ(parsed("John 3.16"), (Reference{kJohn, 3, 16}));
  EXPECT_EQ(parsed("John 3;16"), (Reference{kJohn, 3, 16}));
  EXPECT_EQ(parsed("   Genesis    1  :   1   "), (Reference{kGenesis, 1, 1}));
  EXPECT_EQ(parsed("John 3:16-18"), (Reference{kJohn, 3, 16}));
  EXPECT_EQ(parsed("John 3:16a"), (Reference{kJohn, 3, 16}));
  EXPECT_EQ(parsed("Genesis 1:257"), (Reference{kGenesis, 1, 1}));
  EXPECT_EQ(parsed("Genesis 257:1"), (Reference{kGenesis, 1, 1}));
  // Reduced modulo 256 however long the digits run (2^32 + 257 reads as 1), never overflowing.
  EXPECT_EQ(parsed("Genesis 1:4294967553"), (Reference{kGenesis, 1, 1}));
}

TEST_F(References, InvalidTextResetsTheReference) {
  for (const char* text : {"John 3", "Jude 1:26", "Genesis 51:1", "Genesis 0:1", "Genesis 1:0",
                           "3:16", ":16", "", "Nobook 1:1", "Gen. 1:1", "John:16", "Genesis 1:-1",
                           "          ", "123456789012345678901234567890123456789 1:1"})
    EXPECT_EQ(parsed(text, 0), kReset) << text;
}

TEST_F(References, BookNamesAndNumbers) {
  EXPECT_STREQ(getBookName(kJohn, module_.get()), "John");
  EXPECT_STREQ(getBookName(kFirstJohn, module_.get()), "1 John");
  EXPECT_STREQ(getBookName(66, module_.get()), "");  // not in the module
  EXPECT_STREQ(getBookName(4000000000u, module_.get()), "");
  EXPECT_EQ(getBookNum("", module_.get()), 0);
  EXPECT_EQ(getBookNum("Jo", module_.get()), 5);  // Joshua, the first book starting "Jo"
  EXPECT_EQ(getBookNum("JOB", module_.get()), 17);
  EXPECT_EQ(getBookNum("1Jo", module_.get()), kFirstJohn);
  EXPECT_EQ(getBookNum("  song   ", module_.get()), 21);
  EXPECT_EQ(getBookNum("Xerxes", module_.get()), -1);
  EXPECT_EQ(getBooksInBible(module_.get()), 66);
}

TEST_F(References, PrintsReferencesAndNothingForAMissingBook) {
  char text[40] = "unchanged";
  EXPECT_STREQ(unparseReference(text, Reference{kGenesis, 1, 1}, module_.get()), "Genesis 1:1");
  EXPECT_STREQ(unparseReference(text, Reference{kPsalms, 119, 176}, module_.get()),
               "Psalms 119:176");
  EXPECT_STREQ(unparseReference(text, Reference{200, 1, 1}, module_.get()), "");
}

TEST_F(References, CountsOfChaptersAndVerses) {
  EXPECT_EQ(getChaptersInBook(Reference{kGenesis, 0, 0}, module_.get()), 50);
  EXPECT_EQ(getChaptersInBook(Reference{kPsalms, 0, 0}, module_.get()), 150);
  EXPECT_EQ(getChaptersInBook(Reference{kRevelation, 0, 0}, module_.get()), 22);
  EXPECT_EQ(getChaptersInBook(Reference{66, 0, 0}, module_.get()), 0);
  EXPECT_EQ(getVersesInChapter(Reference{kPsalms, 119, 0}, module_.get()), 176);
  EXPECT_EQ(getVersesInChapter(Reference{kJude, 1, 0}, module_.get()), 25);
  EXPECT_EQ(getVersesInChapter(Reference{kRevelation, 22, 0}, module_.get()), 21);
  EXPECT_EQ(getVersesInChapter(Reference{kGenesis, 51, 0}, module_.get()), 0);
  EXPECT_EQ(getVersesInChapter(Reference{66, 1, 0}, module_.get()), 0);
}

TEST_F(References, VerseNumbersRoundTripOverTheWholeModule) {
  EXPECT_EQ(verseToReference(0, module_.get()), (Reference{kGenesis, 1, 1}));
  EXPECT_EQ(verseToReference(kKjvVerses - 1, module_.get()), (Reference{kRevelation, 22, 21}));
  EXPECT_EQ(referenceToVerse(Reference{kGenesis, 2, 1}, module_.get()), 31);
  std::uint32_t previousOffset = 0;
  for (std::uint16_t v = 0; v < kKjvVerses; ++v) {
    std::uint32_t offset = 0;
    Reference r;
    locateVerse(&offset, &r, v, module_.get());
    ASSERT_EQ(referenceToVerse(r, module_.get()), v);
    ASSERT_GE(r.verse, 1);
    ASSERT_LE(r.verse, getVersesInChapter(r, module_.get()));
    std::uint32_t looked = 0;
    std::uint16_t verse = 0;
    refLookup(&looked, &verse, r, module_.get());
    ASSERT_EQ(looked, offset);
    if (r.verse == 1) {
      ASSERT_NE(offset, previousOffset);
    }
    previousOffset = offset;
  }
}

TEST_F(References, OutOfRangeVerseNumbersGiveTheLastVerse) {
  for (std::uint16_t v : {kKjvVerses, std::uint16_t{31200}, std::uint16_t{65535}})
    EXPECT_EQ(verseToReference(v, module_.get()), (Reference{kRevelation, 22, 21}));
}

TEST_F(References, LookupOfAMissingChapterLeavesTheOutputs) {
  std::uint32_t offset = 7;
  std::uint16_t verse = 9;
  refLookup(&offset, &verse, Reference{kGenesis, 51, 1}, module_.get());
  EXPECT_EQ(offset, 7u);
  EXPECT_EQ(verse, 9);
}

TEST_F(References, ChapterStepping) {
  Reference r{kExodus, 1, 5};
  EXPECT_EQ(prevChapter(&r, module_.get()), 1);
  EXPECT_EQ(r, (Reference{kGenesis, 50, 1}));
  EXPECT_EQ(nextChapter(&r, module_.get()), 1);
  EXPECT_EQ(r, (Reference{kExodus, 1, 1}));
  r = Reference{kGenesis, 1, 7};
  EXPECT_EQ(prevChapter(&r, module_.get()), 0);
  EXPECT_EQ(r, (Reference{kGenesis, 1, 7}));
  r = Reference{kRevelation, 22, 3};
  EXPECT_EQ(nextChapter(&r, module_.get()), 0);
  EXPECT_EQ(r, (Reference{kRevelation, 22, 3}));
  r = Reference{kPsalms, 3, 3};
  EXPECT_EQ(nextChapter(&r, module_.get()), 1);
  EXPECT_EQ(r, (Reference{kPsalms, 4, 1}));
}

TEST_F(References, OldTestamentNeedsAWholeCanon) {
  EXPECT_EQ(isOldTestament(module_.get(), Reference{kMalachi, 1, 1}), 1);
  EXPECT_EQ(isOldTestament(module_.get(), Reference{kMatthew, 1, 1}), 0);

  test::TempDir dir;
  test::buildModule(dir.path(), "part.bib", "Part", "Genesis\t1\t1\tIn the beginning.\n");
  test::Module part = test::openModule(dir.path(), "part.bib");
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(isOldTestament(part.get(), Reference{kGenesis, 1, 1}), 0);
}

}  // namespace
}  // namespace vellum
