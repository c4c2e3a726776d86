// Chapter and verse text: retrieval, the chapter cache, buffer limits and the Strong's filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/bible/module_internal.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

constexpr const char* kGenesis1v1 = "1 In the beginning God created the heaven and the earth.";

class Text : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(dir_->path());
  }
  static void TearDownTestSuite() { dir_.reset(); }
  void SetUp() override { ASSERT_NE(module_ = test::openModule(dir_->path(), "kjv.bib"), nullptr); }

  std::uint32_t offsetOf(Reference r) {
    std::uint32_t offset = 0;
    std::uint16_t verse = 0;
    refLookup(&offset, &verse, r, module_.get());
    return offset;
  }
  // The text read into a buffer of size bytes, which must hold its terminator and its length.
  std::string read(bool wholeChapter, std::uint32_t at, std::uint16_t size) {
    std::vector<char> buffer(size + 1u, '#');
    std::uint16_t length = 9999;
    if (wholeChapter)
      getChapter(buffer.data(), &length, size, at, module_.get());
    else
      getVerse(buffer.data(), &length, size, static_cast<std::uint16_t>(at), module_.get());
    EXPECT_EQ(buffer[size], '#');  // nothing past the buffer
    if (size == 0) {
      EXPECT_EQ(length, 0);
      return "";
    }
    EXPECT_EQ(length, std::strlen(buffer.data()));
    return buffer.data();
  }
  std::string chapter(Reference r, std::uint16_t size = kChapterBufferSize) {
    return read(true, offsetOf(r), size);
  }
  std::string verse(std::uint16_t v, std::uint16_t size = 400) { return read(false, v, size); }

  static std::unique_ptr<test::TempDir> dir_;
  test::Module module_;
};
std::unique_ptr<test::TempDir> Text::dir_;

TEST_F(Text, ChapterHidesStrongsNumbersUntilShownAndIsCutToTheBuffer) {
  const std::string hidden = chapter(Reference{0, 1, 1});
  EXPECT_EQ(hidden.substr(0, hidden.find('\n')), kGenesis1v1);
  EXPECT_EQ(std::count(hidden.begin(), hidden.end(), '\n'), 30);  // 31 verse lines
  setStrongs(module_.get(), 1);
  const std::string shown = chapter(Reference{0, 1, 1});
  EXPECT_EQ(shown.substr(0, shown.find('\n')),
            "1 In the beginning 7225 God 430 created 1254 the heaven 8064 and 853 the earth. 776");
  setStrongs(module_.get(), 0);
  EXPECT_EQ(chapter(Reference{0, 1, 1}), hidden);

  const std::string whole = chapter(Reference{18, 119, 1});  // Psalms 119, 176 verses
  EXPECT_EQ(chapter(Reference{18, 119, 1}, 100), whole.substr(0, 99));
  EXPECT_EQ(chapter(Reference{18, 119, 1}, 1), "");
  EXPECT_EQ(chapter(Reference{18, 119, 1}, 0), "");
}

TEST_F(Text, RepeatedReadsComeFromTheCacheUntilTheFlagChanges) {
  const std::string first = chapter(Reference{42, 3, 1});
  // Overwrite John 3's record header on disk (a text length of 32767, read as empty): a cached
  // read must not notice, a fresh read must.
  const std::string original = test::readFile(dir_->file("kjv.bib"));
  test::corrupt(dir_->file("kjv.bib"), offsetOf(Reference{42, 3, 1}), 2);
  EXPECT_EQ(chapter(Reference{42, 3, 1}), first);
  // A read far away moves the shared stream's buffer off the record, so the next read of it
  // sees the disk.
  EXPECT_FALSE(GetAString(0, module_->stringTable.get()).empty());
  setStrongs(module_.get(), 1);
  EXPECT_EQ(chapter(Reference{42, 3, 1}), "");
  test::writeFile(dir_->file("kjv.bib"), original);
}

TEST_F(Text, VerseFindsItsOwnLineAfterItsReference) {
  EXPECT_EQ(verse(0), std::string("Genesis 1:") + kGenesis1v1);
  const std::string john316 = verse(referenceToVerse(Reference{42, 3, 16}, module_.get()));
  EXPECT_EQ(john316.substr(0, 25), "John 3:16 For God so love");
  EXPECT_EQ(john316.back(), '.');
  for (std::uint8_t v : {2, 10, 17, 20, 100, 176}) {
    const std::string text = verse(referenceToVerse(Reference{18, 119, v}, module_.get()));
    EXPECT_EQ(text.substr(0, text.find(' ', 7) + 1), "Psalms 119:" + std::to_string(v) + " ");
    EXPECT_EQ(text.find('\n'), std::string::npos);
  }
  EXPECT_EQ(verse(31102), verse(31101));  // past the end: the last verse
  EXPECT_EQ(verse(0, 12), "Genesis 1:1");
  EXPECT_EQ(verse(0, 6), "Genes");
  EXPECT_EQ(verse(0, 1), "");
  EXPECT_EQ(verse(0, 0), "");
  setStrongs(module_.get(), 1);
  EXPECT_NE(verse(referenceToVerse(Reference{42, 3, 16}, module_.get())).find("God 2316 so"),
            std::string::npos);
}

// Regression: a verse whose chapter record is damaged (it reads as the empty text, so the
// verse's line is not found) handed memcpy a null source; the verse now reads as its
// reference alone.
TEST(TextRegression, VerseOfADamagedChapterRecordReadsAsItsReference) {
  test::TempDir dir;
  const std::string path = test::buildModule(dir.path(), "damaged.bib", "Damaged",
                                             "Genesis\t1\t1\tfirst\nGenesis\t1\t2\tsecond\n");
  test::Module module = test::openModule(dir.path(), "damaged.bib");
  std::uint32_t offset = 0;
  std::uint16_t first = 0;
  refLookup(&offset, &first, Reference{0, 1, 1}, module.get());
  module.reset();
  test::corrupt(path, offset, 2);  // the record's text length past the format's limit
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

TEST(StrongsFilters, KillStrongsDropsNumbersAndFormatStrongsStripsBrackets) {
  const std::pair<std::string, std::string> killed[] = {
      {"1 the earth. 776\n2 And", "1 the earth.\n2 And"},
      {"God 430 853 the", "God the"},
      {"word 1234-k|5q6 next", "word next"},
      {"10 a 7 b", "10 a b"},
      {"end 99", "end"},
      {"no numbers here", "no numbers here"},
      {"", ""},
      {" 1", ""}};
  for (auto [text, expected] : killed) EXPECT_EQ(killStrongs(text.data()), expected);
  const std::pair<std::string, std::string> formatted[] = {{"<1234>", "1234"}, {"<<1234>,", "1234"},
                                                           {"(5678)", "5678"}, {"<(42)>", "42"},
                                                           {"777", "777"},     {"", ""}};
  for (auto [text, expected] : formatted) EXPECT_EQ(formatStrongs(text.data()), expected);
}

}  // namespace
}  // namespace vellum
