// References: parsing and printing, book names, counts, verse numbers and chapter stepping.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/bible/bible.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

constexpr std::uint8_t kGenesis = 0, kExodus = 1, kPsalms = 18, kJohn = 42, kFirstJohn = 61,
                       kJude = 64, kRevelation = 65;

class References : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(dir_->path());
  }
  static void TearDownTestSuite() { dir_.reset(); }
  void SetUp() override { ASSERT_NE(module_ = test::openModule(dir_->path(), "kjv.bib"), nullptr); }

  static std::unique_ptr<test::TempDir> dir_;
  test::Module module_;
};
std::unique_ptr<test::TempDir> References::dir_;

TEST_F(References, ParsesWhatItCanAndResetsTheRest) {
  const Reference kReset{0, 1, 1};
  const std::pair<const char*, Reference> cases[] = {
      {"john 3:16", {kJohn, 3, 16}},
      {"1john 1:9", {kFirstJohn, 1, 9}},
      {"1 john 1:9", {kFirstJohn, 1, 9}},
      {"Ps 119:176", {kPsalms, 119, 176}},
      {"Revelation 22:21", {kRevelation, 22, 21}},
      {"John 3.16", {kJohn, 3, 16}},
      {"John 3;16", {kJohn, 3, 16}},
      {"   Genesis    1  :   1   ", {kGenesis, 1, 1}},
      {"John 3:16-18", {kJohn, 3, 16}},
      {"John 3:16a", {kJohn, 3, 16}},
      {"Jude 1:25", {kJude, 1, 25}},
      // Numbers are reduced modulo 256 however long their digits run, never overflowing.
      {"Genesis 257:1", {kGenesis, 1, 1}},
      {"Genesis 1:4294967553", {kGenesis, 1, 1}}};
  for (const auto& [text, expected] : cases) {
    Reference r{9, 9, 9};
    EXPECT_EQ(parseReference(&r, text, module_.get()), 1) << text;
    EXPECT_EQ(r, expected) << text;
  }
  for (const char* text : {"John 3", "Jude 1:26", "Genesis 51:1", "Genesis 0:1", "Genesis 1:0",
                           "3:16", ":16", "", "Nobook 1:1", "Gen. 1:1", "John:16", "Genesis 1:-1",
                           "          ", "123456789012345678901234567890123456789 1:1"}) {
    Reference r{9, 9, 9};
    EXPECT_EQ(parseReference(&r, text, module_.get()), 0) << text;
    EXPECT_EQ(r, kReset) << text;
  }
}

TEST_F(References, BookNamesNumbersAndCounts) {
  BibleHandle* m = module_.get();
  EXPECT_STREQ(getBookName(kFirstJohn, m), "1 John");
  EXPECT_STREQ(getBookName(66, m), "");  // not in the module
  EXPECT_STREQ(getBookName(4000000000u, m), "");
  EXPECT_EQ(getBookNum("", m), 0);
  EXPECT_EQ(getBookNum("Jo", m), 5);  // Joshua, the first book starting "Jo"
  EXPECT_EQ(getBookNum("JOB", m), 17);
  EXPECT_EQ(getBookNum("1Jo", m), kFirstJohn);
  EXPECT_EQ(getBookNum("  song   ", m), 21);
  EXPECT_EQ(getBookNum("Xerxes", m), -1);
  EXPECT_EQ(getBooksInBible(m), 66);
  char text[40] = "unchanged";
  EXPECT_STREQ(unparseReference(text, Reference{kPsalms, 119, 176}, m), "Psalms 119:176");
  EXPECT_STREQ(unparseReference(text, Reference{200, 1, 1}, m), "");
  EXPECT_EQ(getChaptersInBook(Reference{kGenesis, 0, 0}, m), 50);
  EXPECT_EQ(getChaptersInBook(Reference{kRevelation, 0, 0}, m), 22);
  EXPECT_EQ(getChaptersInBook(Reference{66, 0, 0}, m), 0);
  EXPECT_EQ(getVersesInChapter(Reference{kPsalms, 119, 0}, m), 176);
  EXPECT_EQ(getVersesInChapter(Reference{kRevelation, 22, 0}, m), 21);
  EXPECT_EQ(getVersesInChapter(Reference{kGenesis, 51, 0}, m), 0);
  EXPECT_EQ(getVersesInChapter(Reference{66, 1, 0}, m), 0);
}

TEST_F(References, VerseNumbersRoundTripOverTheWholeModule) {
  BibleHandle* m = module_.get();
  EXPECT_EQ(referenceToVerse(Reference{kGenesis, 2, 1}, m), 31);
  std::uint32_t previousOffset = 0;
  for (std::uint16_t v = 0; v < 31102; ++v) {
    std::uint32_t offset = 0, looked = 0;
    std::uint16_t verse = 0;
    Reference r;
    locateVerse(&offset, &r, v, m);
    ASSERT_EQ(referenceToVerse(r, m), v);
    ASSERT_EQ(verseToReference(v, m), r);
    ASSERT_TRUE(r.verse >= 1 && r.verse <= getVersesInChapter(r, m)) << v;
    refLookup(&looked, &verse, r, m);
    ASSERT_EQ(looked, offset);
    if (r.verse == 1) {
      ASSERT_NE(offset, previousOffset) << v;
    }
    previousOffset = offset;
  }
  // Past the end: the last verse. A missing chapter leaves the outputs alone.
  for (std::uint16_t v : {31102, 31200, 65535})
    EXPECT_EQ(verseToReference(v, m), (Reference{kRevelation, 22, 21}));
  std::uint32_t offset = 7;
  std::uint16_t verse = 9;
  refLookup(&offset, &verse, Reference{kGenesis, 51, 1}, m);
  EXPECT_EQ(offset, 7u);
  EXPECT_EQ(verse, 9);
}

TEST_F(References, ChapterSteppingStopsAtTheEnds) {
  struct Case {
    Reference from;
    bool forward;
    int result;
    Reference to;
  };
  const Case cases[] = {{{kExodus, 1, 5}, false, 1, {kGenesis, 50, 1}},
                        {{kGenesis, 50, 1}, true, 1, {kExodus, 1, 1}},
                        {{kPsalms, 3, 3}, true, 1, {kPsalms, 4, 1}},
                        {{kGenesis, 1, 7}, false, 0, {kGenesis, 1, 7}},
                        {{kRevelation, 22, 3}, true, 0, {kRevelation, 22, 3}}};
  for (const Case& c : cases) {
    Reference r = c.from;
    EXPECT_EQ((c.forward ? nextChapter : prevChapter)(&r, module_.get()), c.result);
    EXPECT_EQ(r, c.to);
  }
}

TEST_F(References, OldTestamentNeedsAWholeCanon) {
  EXPECT_EQ(isOldTestament(module_.get(), Reference{38, 1, 1}), 1);  // Malachi
  EXPECT_EQ(isOldTestament(module_.get(), Reference{39, 1, 1}), 0);  // Matthew
  test::TempDir dir;
  test::buildModule(dir.path(), "part.bib", "Part", "Genesis\t1\t1\tIn the beginning.\n");
  test::Module part = test::openModule(dir.path(), "part.bib");
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(isOldTestament(part.get(), Reference{kGenesis, 1, 1}), 0);
}

}  // namespace
}  // namespace vellum
