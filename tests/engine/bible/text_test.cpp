// Chapter and verse text: retrieval, the chapter cache, buffer limits and the Strong's filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/bible/module_internal.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

constexpr const char* kGenesis1v1 = "1 In the beginning God created the heaven and the earth.";
constexpr const char* kGenesis1v1Strongs =
    "1 In the beginning 7225 God 430 created 1254 the heaven 8064 and 853 the earth. 776";

class Text : public ::testing::Test {
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

  std::uint32_t offsetOf(Reference r) {
    std::uint32_t offset = 0;
    std::uint16_t verse = 0;
    refLookup(&offset, &verse, r, module_.get());
    return offset;
  }
  std::string chapter(Reference r, std::uint16_t size = kChapterBufferSize) {
    std::vector<char> buffer(size + 1, '#');
    std::uint16_t length = 9999;
    getChapter(buffer.data(), &length, size, offsetOf(r), module_.get());
    EXPECT_EQ(buffer[size], '#');  // nothing past the buffer
    EXPECT_EQ(length, std::strlen(buffer.data()));
    return buffer.data();
  }
  std::string verse(std::uint16_t v, std::uint16_t size = 400) {
    std::vector<char> buffer(size + 1, '#');
    std::uint16_t length = 9999;
    getVerse(buffer.data(), &length, size, v, module_.get());
    EXPECT_EQ(buffer[size], '#');
    EXPECT_EQ(length, std::strlen(buffer.data()));
    return buffer.data();
  }

  static std::unique_ptr<test::TempDir> dir_;
  test::Module module_;
};
std::unique_ptr<test::TempDir> Text::dir_;

TEST_F(Text, ChapterHidesStrongsNumbersUntilShown) {
  const std::string hidden = chapter(Reference{0, 1, 1});
  EXPECT_EQ(hidden.substr(0, hidden.find('\n')), kGenesis1v1);
  EXPECT_EQ(std::count(hidden.begin(), hidden.end(), '\n'), 30);  // 31 verse lines
  EXPECT_EQ(hidden.substr(hidden.rfind('\n') + 1, 3), "31 ");

  setStrongs(module_.get(), 1);
  const std::string shown = chapter(Reference{0, 1, 1});
  EXPECT_EQ(shown.substr(0, shown.find('\n')), kGenesis1v1Strongs);
  setStrongs(module_.get(), 0);
  EXPECT_EQ(chapter(Reference{0, 1, 1}), hidden);
}

TEST_F(Text, ChapterIsCutToTheBuffer) {
  const std::string whole = chapter(Reference{18, 119, 1});  // Psalms 119, 176 verses
  EXPECT_GT(whole.size(), 2000u);
  EXPECT_EQ(chapter(Reference{18, 119, 1}, 100), whole.substr(0, 99));
  EXPECT_EQ(chapter(Reference{18, 119, 1}, 1), "");

  char untouched[4] = "abc";
  std::uint16_t length = 7;
  getChapter(untouched, &length, 0, offsetOf(Reference{18, 119, 1}), module_.get());
  EXPECT_STREQ(untouched, "abc");
  EXPECT_EQ(length, 0);
}

TEST_F(Text, RepeatedReadsComeFromTheCacheUntilTheFlagChanges) {
  const std::string first = chapter(Reference{42, 3, 1});
  // Overwrite John 3's record header on disk: a cached read must not notice, a fresh read must.
  const auto overwrite = [&](const char(&bytes)[4]) {
    std::fstream file(dir_->file("kjv.bib"), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offsetOf(Reference{42, 3, 1}));
    file.write(bytes, 4);
  };
  char original[4];
  {
    std::ifstream file(dir_->file("kjv.bib"), std::ios::binary);
    file.seekg(offsetOf(Reference{42, 3, 1}));
    file.read(original, 4);
  }
  overwrite({char(0xFF), char(0x7F), 0, 0});  // text length 32767: read as empty
  EXPECT_EQ(chapter(Reference{42, 3, 1}), first);
  // A read far away moves the shared stream's buffer off the record, so the next read of it
  // sees the disk.
  EXPECT_FALSE(GetAString(0, module_->stringTable.get()).empty());
  setStrongs(module_.get(), 1);
  EXPECT_EQ(chapter(Reference{42, 3, 1}), "");
  overwrite(original);
}

TEST_F(Text, VerseCarriesItsReference) {
  EXPECT_EQ(verse(0), std::string("Genesis 1:") + kGenesis1v1);
  const std::string john316 = verse(referenceToVerse(Reference{42, 3, 16}, module_.get()));
  EXPECT_EQ(john316.substr(0, 25), "John 3:16 For God so love");
  EXPECT_EQ(john316.back(), '.');
  EXPECT_EQ(john316.find('\n'), std::string::npos);
  setStrongs(module_.get(), 1);
  EXPECT_NE(verse(referenceToVerse(Reference{42, 3, 16}, module_.get())).find("God 2316 so"),
            std::string::npos);
}

TEST_F(Text, VerseFindsItsOwnLineNotALongerNumber) {
  for (std::uint8_t v : {2, 10, 17, 20, 100, 176}) {
    const Reference r{18, 119, v};
    const std::string text = verse(referenceToVerse(r, module_.get()));
    const std::string prefix = "Psalms 119:" + std::to_string(v) + " ";
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(text.find('\n'), std::string::npos);
  }
  EXPECT_EQ(verse(31101).substr(0, 17), "Revelation 22:21 ");
  EXPECT_EQ(verse(31102), verse(31101));  // past the end: the last verse
}

TEST_F(Text, VerseIsCutToTheBuffer) {
  EXPECT_EQ(verse(0, 12), "Genesis 1:1");
  EXPECT_EQ(verse(0, 6), "Genes");
  EXPECT_EQ(verse(0, 1), "");
  char untouched[4] = "abc";
  std::uint16_t length = 7;
  getVerse(untouched, &length, 0, 0, module_.get());
  EXPECT_STREQ(untouched, "abc");
  EXPECT_EQ(length, 0);
}

// Regression: a verse whose chapter record is damaged (it reads as the empty text, so the
// verse's line is not found) handed memcpy a null source; the verse now reads as its
// reference alone.
TEST(TextRegression, VerseOfADamagedChapterRecordReadsAsItsReference) {
  test::TempDir dir;
  const std::string path = test::buildModule(dir.path(), "damaged.bib", "Damaged",
                                             "Genesis\t1\t1\tfirst\nGenesis\t1\t2\tsecond\n");
  test::Module module = test::openModule(dir.path(), "damaged.bib");
  ASSERT_NE(module, nullptr);
  std::uint32_t offset = 0;
  std::uint16_t first = 0;
  refLookup(&offset, &first, Reference{0, 1, 1}, module.get());
  module.reset();
  // The record's text length past the format's limit.
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(offset);
  file.write("\xFF\xFF", 2);
  file.close();

  module = test::openModule(dir.path(), "damaged.bib");
  ASSERT_NE(module, nullptr);
  char text[64];
  std::uint16_t length = 99;
  getVerse(text, &length, sizeof text, 1, module.get());
  EXPECT_STREQ(text, "Genesis 1:");
  EXPECT_EQ(length, 10);
  module.reset();
  set_dpath(".");
}

std::string killed(std::string text) { return killStrongs(text.data()); }
std::string formatted(std::string text) { return formatStrongs(text.data()); }

TEST(StrongsFilters, KillStrongsDropsNumbersAndKeepsVerseNumbers) {
  EXPECT_EQ(killed("1 the earth. 776\n2 And"), "1 the earth.\n2 And");
  EXPECT_EQ(killed("God 430 853 the"), "God the");
  EXPECT_EQ(killed("word 1234-k|5q6 next"), "word next");
  EXPECT_EQ(killed("10 a 7 b"), "10 a b");
  EXPECT_EQ(killed("end 99"), "end");
  EXPECT_EQ(killed("no numbers here"), "no numbers here");
  EXPECT_EQ(killed(""), "");
  EXPECT_EQ(killed(" 1"), "");
}

TEST(StrongsFilters, FormatStrongsStripsBrackets) {
  EXPECT_EQ(formatted("<1234>"), "1234");
  EXPECT_EQ(formatted("<<1234>,"), "1234");
  EXPECT_EQ(formatted("(5678)"), "5678");
  EXPECT_EQ(formatted("<(42)>"), "42");
  EXPECT_EQ(formatted("777"), "777");
  EXPECT_EQ(formatted(""), "");
}

}  // namespace
}  // namespace vellum
