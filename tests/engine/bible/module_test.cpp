// Opening modules: header, names, statistics, Strong's flags, and refusal of damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/bible/module_format.h"
#include "engine/bible/module_internal.h"
#include "support/endian.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using test::Module;

class ModuleFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(dir_->path());
    good_ = test::readFile(dir_->file("kjv.bib"));
    format::decodeHeader(
        std::span(reinterpret_cast<const std::uint8_t*>(good_.data()), good_.size()), header_);
  }
  static void TearDownTestSuite() { dir_.reset(); }

  // Writes bytes as "bad.bib" and opens it: the reason it was refused, or "" when it opened.
  static std::string refusal(const std::string& bytes) {
    test::writeFile(dir_->file("bad.bib"), bytes);
    std::string why;
    const bool opened = test::openModule(dir_->path(), "bad.bib", &why) != nullptr;
    EXPECT_NE(opened, !why.empty()) << why;
    return why;
  }
  static std::string with32(std::size_t at, std::uint32_t value) {
    std::string bytes = good_;
    le::store32(reinterpret_cast<std::uint8_t*>(&bytes[at]), value);
    return bytes;
  }

  static std::unique_ptr<test::TempDir> dir_;
  static std::string good_;
  static format::ModuleHeader header_;
};
std::unique_ptr<test::TempDir> ModuleFile::dir_;
std::string ModuleFile::good_;
format::ModuleHeader ModuleFile::header_;

TEST_F(ModuleFile, OpensWithNameStatisticsAndFlags) {
  Module module = test::openModule(dir_->path(), "kjv.bib");
  Module second = test::openModule(dir_->path(), "kjv.bib");
  ASSERT_TRUE(module && second);
  bibleName name;
  getBibleName(&name, module.get());
  EXPECT_STREQ(name.name, "King James Version");
  EXPECT_STREQ(name.path, "kjv.bib");
  char byte1 = 1, byte2 = 1;
  long statLong = 1;
  unsigned long books = 0, chapters = 0, verses = 0, words = 0;
  getBibleStats(&byte1, &byte2, &statLong, &books, &chapters, &verses, &words, module.get());
  EXPECT_EQ(std::vector<unsigned long>({books, chapters, verses, words}),
            std::vector<unsigned long>({66, 1189, 31102, module->stringTable->nWords}));
  EXPECT_EQ(words, header_.wordCount);
  EXPECT_EQ(hasStrongs(module.get()), 1);
  EXPECT_EQ(getStrongs(module.get()), 0);
  setStrongs(module.get(), 1);
  EXPECT_EQ(getStrongs(module.get()), 1);

  // Two handles share the file's stream and close independently.
  EXPECT_EQ(module->stream.get(), second->stream.get());
  char a[200], b[200];
  std::uint16_t length = 0;
  getVerse(a, &length, sizeof a, 100, module.get());
  module.reset();
  getVerse(b, &length, sizeof b, 100, second.get());
  EXPECT_STREQ(a, b);
  closeBible(nullptr);

  // Only a name holding "James", exactly so, carries Strong's numbers.
  test::buildModule(dir_->path(), "web.bib", "World English Bible", "Genesis\t1\t1\tGod 430.\n");
  test::buildModule(dir_->path(), "jas.bib", "The james version", "Genesis\t1\t1\tIn.\n");
  EXPECT_EQ(hasStrongs(test::openModule(dir_->path(), "web.bib").get()), 0);
  EXPECT_EQ(hasStrongs(test::openModule(dir_->path(), "jas.bib").get()), 0);
}

TEST_F(ModuleFile, RefusesFilesThatAreNotModulesOrCut) {
  std::string why;
  EXPECT_EQ(test::openModule(dir_->path(), "absent.bib", &why), nullptr);
  EXPECT_EQ(why, "file not found");
  EXPECT_EQ(refusal(""), "not a Bible module (bad signature)");
  EXPECT_EQ(refusal("Genesis 1:1 In the beginning God created the heaven and the earth.\n"),
            "not a Bible module (bad signature)");
  EXPECT_EQ(refusal(good_.substr(0, 119)), "file is truncated");
  EXPECT_EQ(refusal(good_.substr(0, good_.size() - 1)), "damaged string table");
  // The string table lies last, so no proper cut of a module opens.
  test::TempDir small;
  const std::string path = test::buildModule(
      small.path(), "small.bib", "Small", "Genesis\t1\t1\tIn the beginning\nExodus\t1\t1\tNow\n");
  test::everyCut(path, [&](std::size_t length) {
    EXPECT_EQ(test::openModule(small.path(), "small.bib"), nullptr) << "cut at " << length;
  });
  EXPECT_NE(test::openModule(small.path(), "small.bib"), nullptr);
}

TEST_F(ModuleFile, RefusesHeadersBeyondTheFormatOrTheFile) {
  const auto size = static_cast<std::uint32_t>(good_.size());
  const std::pair<std::string, const char*> cases[] = {
      {with32(108, 0), "damaged header (book count)"},
      {with32(108, 81), "damaged header (book count)"},
      {with32(116, 0), "damaged header (verse count)"},
      {with32(116, 31201), "damaged header (verse count)"},
      {with32(112, 0), "damaged header (chapter count)"},
      {with32(112, 0x40000000), "damaged header (chapter count)"},
      {with32(104, header_.wordCount + 1),
       "damaged header (word count differs from the string table)"},
      {with32(104, 70000), "damaged header (word count)"},
      // Fewer chapters than the index holds leave the last books out.
      {with32(112, header_.chapterCount - 30), "damaged chapter index"},
      {good_.substr(0, 8) + std::string(80, 'x') + good_.substr(88),
       "damaged header (name not terminated)"}};
  for (const auto& [bytes, why] : cases) EXPECT_EQ(refusal(bytes), why);
  for (std::size_t field : {88u, 92u, 96u, 100u}) {  // the offsets of the four areas
    EXPECT_EQ(refusal(with32(field, size)), "file is truncated") << field;
    EXPECT_EQ(refusal(with32(field, 0xFFFFFFF0u)), "file is truncated") << field;
    EXPECT_EQ(refusal(with32(field, 4)), "damaged header (area offset)") << field;
  }
}

TEST_F(ModuleFile, RefusesAChapterIndexOutOfCanonicalOrderAndBadBookNames) {
  const std::size_t index = header_.chapterIndexOffset;
  auto entry = [&](std::size_t i, std::size_t field) { return index + 8 * i + field; };
  auto patched = [&](std::size_t at, std::string bytes) {
    return good_.substr(0, at) + bytes + good_.substr(at + bytes.size());
  };
  auto u16 = [](std::uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
  auto firstVerse = [&](std::size_t i) {
    return le::load16(reinterpret_cast<const std::uint8_t*>(&good_[entry(i, 2)]));
  };
  const std::string damaged[] = {
      patched(entry(3, 0), good_.substr(entry(4, 0), 8)),  // chapter 5 where 4 should be
      patched(entry(0, 1), "\x02"),                        // the first chapter numbered 2
      patched(entry(50, 0), "\x02"),                       // Exodus 1 listed as book 2
      patched(entry(10, 1), "\x0C"),                       // a gap in Genesis
      patched(entry(20, 2), u16(firstVerse(19))),          // a chapter of no verses
      patched(entry(1188, 2), u16(31102)),  // the last chapter starts past the verse count
      with32(entry(7, 4), static_cast<std::uint32_t>(good_.size() - 2)),
      with32(entry(7, 4), 0)};  // the module header is no chapter record
  for (const std::string& bytes : damaged) EXPECT_EQ(refusal(bytes), "damaged chapter index");
  // "Genesis\n" losing its line feed runs on; an empty name.
  EXPECT_EQ(refusal(patched(header_.bookNamesOffset + 7, "x")), "damaged book names");
  EXPECT_EQ(refusal(patched(header_.bookNamesOffset, "\n")), "damaged book names");
}

}  // namespace
}  // namespace vellum
