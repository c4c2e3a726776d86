// Opening modules: header, names, statistics, Strong's flags, and refusal of damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/bible/module_format.h"
#include "engine/bible/module_internal.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

using test::Module;

// The text of a verse through a fresh buffer; used to check that nothing reads out of bounds.
std::string verseText(BibleHandle* module, std::uint16_t verse) {
  std::vector<char> buffer(kChapterBufferSize);
  std::uint16_t length = 0;
  getVerse(buffer.data(), &length, kChapterBufferSize, verse, module);
  return std::string(buffer.data(), length);
}

class ModuleFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(dir_->path());
    good_ = readFile(dir_->file("kjv.bib"));
    format::decodeHeader(good_, header_);
  }
  static void TearDownTestSuite() { dir_.reset(); }
  void SetUp() override { set_dpath(dir_->path().c_str()); }

  // Writes bytes as "bad.bib" and opens it; the reason of a refusal goes to why.
  Module openDamaged(const Bytes& bytes, std::string* why = nullptr) {
    writeFile(dir_->file("bad.bib"), bytes);
    return test::openModule(dir_->path(), "bad.bib", why);
  }
  std::string refusal(const Bytes& bytes) {
    std::string why;
    Module module = openDamaged(bytes, &why);
    EXPECT_EQ(module, nullptr);
    EXPECT_FALSE(why.empty());
    return why;
  }
  static Bytes with32(std::size_t at, std::uint32_t value) {
    Bytes bytes = good_;
    le::store32(&bytes[at], value);
    return bytes;
  }

  static std::unique_ptr<test::TempDir> dir_;
  static Bytes good_;
  static format::ModuleHeader header_;
};
std::unique_ptr<test::TempDir> ModuleFile::dir_;
Bytes ModuleFile::good_;
format::ModuleHeader ModuleFile::header_;

TEST_F(ModuleFile, OpensWithNameStatisticsAndFlags) {
  std::string why = "stale";
  Module module = test::openModule(dir_->path(), "kjv.bib", &why);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(why, "");
  bibleName name;
  getBibleName(&name, module.get());
  EXPECT_STREQ(name.name, "King James Version");
  EXPECT_STREQ(name.path, "kjv.bib");

  char byte1 = 1, byte2 = 1;
  long statLong = 1;
  unsigned long books = 0, chapters = 0, verses = 0, words = 0;
  getBibleStats(&byte1, &byte2, &statLong, &books, &chapters, &verses, &words, module.get());
  EXPECT_EQ(books, 66u);
  EXPECT_EQ(chapters, 1189u);
  EXPECT_EQ(verses, 31102u);
  EXPECT_EQ(words, header_.wordCount);
  EXPECT_EQ(words, module->stringTable->nWords);

  EXPECT_EQ(hasStrongs(module.get()), 1);
  EXPECT_EQ(getStrongs(module.get()), 0);
  setStrongs(module.get(), 1);
  EXPECT_EQ(getStrongs(module.get()), 1);
  EXPECT_EQ(module->chapterIndex.back().firstVerse, 31102);
}

TEST_F(ModuleFile, OnlyANameWithJamesCarriesStrongs) {
  test::buildModule(dir_->path(), "web.bib", "World English Bible",
                    "Genesis\t1\t1\tIn the beginning God 430 created.\n");
  test::buildModule(dir_->path(), "jas.bib", "The james version", "Genesis\t1\t1\tIn.\n");
  EXPECT_EQ(hasStrongs(test::openModule(dir_->path(), "web.bib").get()), 0);
  EXPECT_EQ(hasStrongs(test::openModule(dir_->path(), "jas.bib").get()),
            0);  // the test is case-sensitive
}

TEST_F(ModuleFile, TwoHandlesShareTheFileAndCloseIndependently) {
  Module first = test::openModule(dir_->path(), "kjv.bib");
  Module second = test::openModule(dir_->path(), "kjv.bib");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->stream.get(), second->stream.get());
  char a[200], b[200];
  std::uint16_t length = 0;
  getVerse(a, &length, sizeof a, 100, first.get());
  getVerse(b, &length, sizeof b, 30000, second.get());
  first.reset();
  getVerse(a, &length, sizeof a, 100, second.get());
  EXPECT_STREQ(a, verseText(second.get(), 100).c_str());
  closeBible(nullptr);
}

TEST_F(ModuleFile, RefusesMissingFilesAndFilesThatAreNotModules) {
  std::string why;
  EXPECT_EQ(test::openModule(dir_->path(), "absent.bib", &why), nullptr);
  EXPECT_EQ(why, "file not found");
  EXPECT_EQ(refusal({}), "not a Bible module (bad signature)");
  const std::string text = "Genesis 1:1 In the beginning God created the heaven and the earth.\n";
  EXPECT_EQ(refusal(Bytes(text.begin(), text.end())), "not a Bible module (bad signature)");
  EXPECT_EQ(refusal(Bytes(good_.begin(), good_.begin() + 119)), "file is truncated");
  EXPECT_EQ(refusal(Bytes(good_.begin(), good_.end() - 1)), "damaged string table");
}

TEST_F(ModuleFile, RefusesCountsBeyondTheFormat) {
  EXPECT_EQ(refusal(with32(108, 0)), "damaged header (book count)");
  EXPECT_EQ(refusal(with32(108, 81)), "damaged header (book count)");
  EXPECT_EQ(refusal(with32(116, 0)), "damaged header (verse count)");
  EXPECT_EQ(refusal(with32(116, 31201)), "damaged header (verse count)");
  EXPECT_EQ(refusal(with32(112, 0)), "damaged header (chapter count)");
  EXPECT_EQ(refusal(with32(112, 0x40000000)), "damaged header (chapter count)");
  EXPECT_EQ(refusal(with32(104, header_.wordCount + 1)),
            "damaged header (word count differs from the string table)");
  EXPECT_EQ(refusal(with32(104, 70000)), "damaged header (word count)");
  // Fewer chapters than the index holds leave the last books out.
  EXPECT_EQ(refusal(with32(112, header_.chapterCount - 30)), "damaged chapter index");
  Bytes unterminated = good_;
  std::memset(&unterminated[8], 'x', 80);
  EXPECT_EQ(refusal(unterminated), "damaged header (name not terminated)");
}

TEST_F(ModuleFile, RefusesAreasOutsideTheFile) {
  const auto size = static_cast<std::uint32_t>(good_.size());
  for (std::size_t field : {88u, 92u, 96u, 100u}) {
    EXPECT_EQ(refusal(with32(field, size)), "file is truncated") << field;
    EXPECT_EQ(refusal(with32(field, 0xFFFFFFF0u)), "file is truncated") << field;
    EXPECT_EQ(refusal(with32(field, 4)), "damaged header (area offset)") << field;
  }
}

TEST_F(ModuleFile, RefusesAChapterIndexOutOfCanonicalOrder) {
  const std::size_t index = header_.chapterIndexOffset;
  auto entryAt = [&](std::size_t i) { return index + 8 * i; };
  std::vector<Bytes> damaged;
  Bytes b = good_;
  std::swap_ranges(&b[entryAt(3)], &b[entryAt(4)], &b[entryAt(4)]);  // chapters 4, 5 swapped
  damaged.push_back(b);
  b = good_;
  b[entryAt(0) + 1] = 2;  // first chapter numbered 2
  damaged.push_back(b);
  b = good_;
  b[entryAt(50)] = 2;  // Exodus 1 listed as book 2
  damaged.push_back(b);
  b = good_;
  b[entryAt(10) + 1] = 12;  // a gap in Genesis
  damaged.push_back(b);
  b = good_;
  le::store16(&b[entryAt(20) + 2], le::load16(&b[entryAt(19) + 2]));  // a chapter of no verses
  damaged.push_back(b);
  b = good_;
  le::store16(&b[entryAt(1188) + 2], 31102);  // last chapter starts past the verse count
  damaged.push_back(b);
  b = good_;
  le::store32(&b[entryAt(7) + 4], static_cast<std::uint32_t>(good_.size() - 2));
  damaged.push_back(b);
  b = good_;
  le::store32(&b[entryAt(7) + 4], 0);  // the module header is no chapter record
  damaged.push_back(b);
  for (const Bytes& bytes : damaged) EXPECT_EQ(refusal(bytes), "damaged chapter index");
}

TEST_F(ModuleFile, RefusesBookNamesThatAreTooLongOrUnterminated) {
  Bytes b = good_;
  const std::size_t names = header_.bookNamesOffset;
  b[names + 7] = 'x';  // "Genesis\n" loses its line feed: the line runs on
  EXPECT_EQ(refusal(b), "damaged book names");
  b = good_;
  b[names] = '\n';  // an empty name
  EXPECT_EQ(refusal(b), "damaged book names");
}

// Everything a reader does with an open module, over a sample of its chapters and verses.
void exercise(BibleHandle* module) {
  std::vector<char> buffer(kChapterBufferSize);
  std::uint16_t length = 0;
  const auto chapters = module->realChapters();
  for (std::uint32_t i = 0; i < chapters; i += 1 + chapters / 40) {
    getChapter(buffer.data(), &length, kChapterBufferSize, module->chapterIndex[i].offset, module);
    ASSERT_LE(length, kMaxChapterText);
  }
  getChapter(buffer.data(), &length, kChapterBufferSize, module->chapterIndex[chapters - 1].offset,
             module);
  const std::uint16_t verses = module->chapterIndex.back().firstVerse;
  for (std::uint32_t v = 0; v < verses; v += 1 + verses / 25)
    verseText(module, static_cast<std::uint16_t>(v));
  verseText(module, static_cast<std::uint16_t>(verses - 1));
  Reference r;
  parseReference(&r, "John 3:16", module);
  parseReference(&r, "Revelation 22:21", module);
  char text[40];
  for (unsigned book = 0; book < getBooksInBible(module); ++book)
    unparseReference(text, Reference{static_cast<std::uint8_t>(book), 1, 1}, module);
  for (std::uint16_t w = 0; w < module->stringTable->nWords;
       w += 1 + module->stringTable->nWords / 30)
    GetAString(w, module->stringTable.get());
  UniqueString("God", module->stringTable.get());
}

TEST_F(ModuleFile, CutModulesAreRefused) {
  // Cuts through the header, the book names, the chapter index, chapter records, the word
  // index and the string table.
  std::vector<std::size_t> cuts = {1, 4, 60, 119, 120, 121};
  for (std::size_t cut = 0; cut < good_.size(); cut += good_.size() / 40) cuts.push_back(cut);
  for (std::uint32_t area : {header_.bookNamesOffset, header_.chapterIndexOffset,
                             header_.stringTableOffset, header_.wordIndexOffset})
    for (std::size_t delta : {1u, 5u, 40u, 300u})
      if (area + delta < good_.size()) cuts.push_back(area + delta);
  for (std::size_t cut : cuts) {
    Module module = openDamaged(Bytes(good_.begin(), good_.begin() + cut));
    // The string table lies last, so no proper cut leaves a module that opens.
    EXPECT_EQ(module, nullptr) << "cut at " << cut;
  }
}

TEST_F(ModuleFile, FlippedBytesAreRefusedOrReadInBounds) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < 120; ++i) positions.push_back(i);  // every header byte
  auto addArea = [&](std::size_t start, std::size_t count, std::size_t step) {
    for (std::size_t i = 0; i < count && start + i * step < good_.size(); ++i)
      positions.push_back(start + i * step);
  };
  addArea(header_.bookNamesOffset, 64, 3);
  addArea(header_.chapterIndexOffset, 48, 1);             // the first six entries
  addArea(header_.chapterIndexOffset + 8 * 1180, 80, 1);  // the last entries
  addArea(header_.stringTableOffset, 38, 1);              // string-table header
  addArea(header_.stringTableOffset + 38, 40, 7);         // words
  addArea(header_.wordIndexOffset, 40, 3);
  // Chapter records: Genesis 1 (the Strong's numbers), John 3 and the last chapter.
  for (std::size_t entry : {0u, 997u, 1188u}) {
    const std::uint32_t record = le::load32(&good_[header_.chapterIndexOffset + 8 * entry + 4]);
    addArea(record, 24, 1);
  }
  // One copy of the module, patched in place byte by byte (rewriting it each time is slow).
  writeFile(dir_->file("bad.bib"), good_);
  auto patch = [&](std::size_t at, std::uint8_t value) {
    std::fstream file(dir_->file("bad.bib"), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(at));
    file.put(static_cast<char>(value));
  };
  int opened = 0;
  for (std::size_t at : positions) {
    for (std::uint8_t mask : {0x01, 0x80, 0xFF}) {
      patch(at, good_[at] ^ mask);
      {
        std::string why;
        Module module = test::openModule(dir_->path(), "bad.bib", &why);
        if (module == nullptr) {
          EXPECT_FALSE(why.empty());
        } else {
          ++opened;
          exercise(module.get());
          // A damaged book count never survives the chapter index check.
          EXPECT_EQ(module->header.bookCount, header_.bookCount) << "byte " << at;
        }
      }
      patch(at, good_[at]);
    }
  }
  EXPECT_GT(opened, 0);  // flips in names, words and text still open
}

}  // namespace
}  // namespace vellum
