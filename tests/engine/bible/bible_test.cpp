// The module API of bible.h on the 66-book fixture: opening modules and refusing damaged ones;
// references, verse numbers and chapter stepping; chapter and verse text, the chapter cache and
// the Strong's filters; and which files along the data path are listed as modules.
#include "engine/bible/bible.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/bible/discovery.h"
#include "engine/bible/module_format.h"
#include "engine/bible/module_internal.h"
#include "support/endian.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using test::Module;

constexpr std::uint8_t kGenesis = 0, kExodus = 1, kPsalms = 18, kJohn = 42, kFirstJohn = 61,
                       kJude = 64, kRevelation = 65;
constexpr const char* kGenesis1v1 = "1 In the beginning God created the heaven and the earth.";

// The fixture is built once for every suite of the file (the directory goes at exit); each test
// opens its own handle.
class Kjv : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (dir_) return;
    dir_ = std::make_unique<test::TempDir>();
    test::buildKjvFixture(dir_->path());
    good_ = test::readFile(dir_->file("kjv.bib"));
    format::decodeHeader(
        std::span(reinterpret_cast<const std::uint8_t*>(good_.data()), good_.size()), header_);
  }
  void SetUp() override { ASSERT_NE(module_ = test::openModule(dir_->path(), "kjv.bib"), nullptr); }

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

  static inline std::unique_ptr<test::TempDir> dir_;
  static inline std::string good_;
  static inline format::ModuleHeader header_;
  Module module_;
};
using ModuleFile = Kjv;
using References = Kjv;
using Text = Kjv;

TEST_F(ModuleFile, OpensWithNameStatisticsAndFlags) {
  Module& module = module_;
  Module second = test::openModule(dir_->path(), "kjv.bib");
  ASSERT_TRUE(second);
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

TEST_F(References, BookNamesNumbersCountsAndTestament) {
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
  // The Old Testament needs a whole canon.
  EXPECT_EQ(isOldTestament(m, Reference{38, 1, 1}), 1);  // Malachi
  EXPECT_EQ(isOldTestament(m, Reference{39, 1, 1}), 0);  // Matthew
  test::TempDir dir;
  test::buildModule(dir.path(), "part.bib", "Part", "Genesis\t1\t1\tIn the beginning.\n");
  test::Module part = test::openModule(dir.path(), "part.bib");
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(isOldTestament(part.get(), Reference{kGenesis, 1, 1}), 0);
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
    ASSERT_TRUE(r.verse > 1 || offset != previousOffset) << v;  // each chapter its own record
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
  const struct {
    Reference from;
    bool forward;
    int result;
    Reference to;
  } cases[] = {{{kExodus, 1, 5}, false, 1, {kGenesis, 50, 1}},
               {{kGenesis, 50, 1}, true, 1, {kExodus, 1, 1}},
               {{kPsalms, 3, 3}, true, 1, {kPsalms, 4, 1}},
               {{kGenesis, 1, 7}, false, 0, {kGenesis, 1, 7}},
               {{kRevelation, 22, 3}, true, 0, {kRevelation, 22, 3}}};
  for (const auto& c : cases) {
    Reference r = c.from;
    EXPECT_EQ((c.forward ? nextChapter : prevChapter)(&r, module_.get()), c.result);
    EXPECT_EQ(r, c.to);
  }
}

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
  // Regression: a verse whose line is not found in its chapter (here read as the empty text)
  // handed memcpy a null source; the verse now reads as its reference alone.
  EXPECT_EQ(verse(referenceToVerse(Reference{42, 3, 16}, module_.get())), "John 3:");
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

// The "file name=display name" of each module listed.
std::vector<std::string> list(const std::string& directories, std::uint16_t maximum = 10) {
  std::vector<bibleName> names(maximum + 1u);
  std::uint16_t count = 99;
  getBibleNames(names.data(), &count, directories.c_str(), maximum);
  std::vector<std::string> result;
  for (std::uint16_t i = 0; i < count; ++i)
    result.push_back(std::string(names[i].path) + "=" + names[i].name);
  return result;
}

TEST(Discovery, ListsEachModuleOnceWithItsNameAndBareFileName) {
  test::TempDir dir;
  const std::string path = dir.path().string();
  set_dpath(path.c_str());
  auto module = [&](const std::string& file, const std::string& name) {
    test::buildModule(dir.path(), file, name, "Genesis\t1\t1\tIn the beginning\n");
  };
  module("KJV.BIB", "King James Version");
  module("kjv2.Bib", "KING JAMES version");  // the same name ignoring case
  module("web.bib", "World English Bible");
  module("other.txt", "Wrong Extension");
  module(std::string(80, 'x') + ".bib", "Too Long");  // a file name too long for the record
  test::writeFile(dir.file("notes.bib"), std::string(200, 'x'));
  test::writeFile(dir.file("short.bib"), "\x7f");
  std::filesystem::create_directory(dir.path() / "folder.bib");
  const std::vector<std::string> expected = {"KJV.BIB=King James Version",
                                             "web.bib=World English Bible"};
  EXPECT_EQ(list(path), expected);
  // Directories are split at semicolons; missing ones and repeats add nothing.
  EXPECT_EQ(list("/no/such/directory;" + path + ";" + path + ";"), expected);
  EXPECT_TRUE(list("/no/such/directory").empty());
  EXPECT_TRUE(list("").empty());
  EXPECT_EQ(list(path, 1).size(), 1u);
  EXPECT_TRUE(list(path, 0).empty());
  set_dpath(".");
}

}  // namespace
}  // namespace vellum
