// The module builder: the VPL reader, the layout the engine reads back, tokenising, posting
// lists, chapter records, every limit and refusal, and vellum-import bible.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/bible/module_format.h"
#include "engine/bible/strngtbl.h"
#include "support/endian.h"
#include "tests/support/fixtures.h"
#include "tools/import/module_writer.h"
#include "tools/import/vpl.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using Postings = std::map<std::string, std::vector<std::uint16_t>>;

std::vector<std::uint8_t> bytesOf(const std::string& path) {
  const std::string bytes = test::readFile(path);
  return {bytes.begin(), bytes.end()};
}

format::ModuleHeader headerOf(const std::vector<std::uint8_t>& bytes) {
  format::ModuleHeader header;
  EXPECT_TRUE(format::decodeHeader(bytes, header));
  return header;
}

// Word -> posting list, read straight from the file: words through the string table (whose
// word numbers must follow byte order), lists through the word index.
Postings postingsOf(const std::string& path) {
  const std::vector<std::uint8_t> bytes = bytesOf(path);
  const format::ModuleHeader header = headerOf(bytes);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
  std::fseek(stream.get(), static_cast<long>(header.stringTableOffset), SEEK_SET);
  std::unique_ptr<StrngTbl, void (*)(StrngTbl*)> table(initStrngTbl(stream.get()), deinitStrngTbl);
  Postings postings;
  if (!table) return ADD_FAILURE() << "the string table does not open", postings;
  EXPECT_EQ(table->nWords, header.wordCount);
  std::string previous;
  for (std::uint32_t w = 0; w < header.wordCount; ++w) {
    const std::string word = GetAString(static_cast<std::uint16_t>(w), table.get());
    if (w > 0) {
      EXPECT_LT(previous, word) << "word numbers must follow byte order";
    }
    EXPECT_EQ(UniqueString(word.c_str(), table.get()), static_cast<int>(w));
    const std::uint32_t list = le::load32(bytes.data() + header.wordIndexOffset + 4 * w);
    for (std::uint16_t i = 0; i < le::load16(bytes.data() + list); ++i)
      postings[word].push_back(le::load16(bytes.data() + list + 2 + 2 * i));
    previous = word;
  }
  return postings;
}

// Builds through the library; returns the error ("" on success).
std::string build(const std::string& vpl, const std::string& out,
                  const std::string& name = "Test Bible") {
  std::istringstream in(vpl);
  std::vector<import::VerseLine> lines;
  std::string error;
  if (!import::readVpl(in, lines, error) || !import::writeModule(name, lines, out, error))
    return error.empty() ? "?" : error;
  return "";
}

std::set<std::string> filesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// The lines line(0) ... line(count - 1).
std::string lines(int count, const std::function<std::string(int)>& line) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line(i);
  return text;
}

// count verses in chapters of 255: Psalms 1:1 ... 123:90 are 31200.
std::string psalms(int count) {
  return lines(count, [](int i) {
    return "Psalms\t" + std::to_string(i / 255 + 1) + "\t" + std::to_string(i % 255 + 1) + "\ta\n";
  });
}

std::string books(int count) {
  return lines(count, [](int b) {
    return std::string("Book ") + char('A' + b / 26) + char('a' + b % 26) + "\t1\t1\ta\n";
  });
}

// A chapter text of exactly `length` characters with "1 " before it.
std::string chapterOf(std::size_t length) {
  std::string text = std::string(254, 'w') + " ";
  while (text.size() < length) text += "word ";
  text.resize(length);
  text.back() = 'x';
  return text;
}

// Four lowercase letters per number: distinct words that split nowhere.
std::string wordNumber(int n) {
  std::string word(4, 'a');
  for (int i = 3; i >= 0; --i, n /= 26) word[i] = static_cast<char>('a' + n % 26);
  return word;
}

// count distinct words, 100 to a verse and 30 verses to a chapter.
std::string manyWords(int count) {
  return lines((count + 99) / 100, [count](int verse) {
    std::string text;
    for (int n = verse * 100; n < std::min(count, verse * 100 + 100); ++n)
      text += wordNumber(n) + " ";
    return "Words\t" + std::to_string(verse / 30 + 1) + "\t" + std::to_string(verse % 30 + 1) +
           "\t" + text + "\n";
  });
}

// A byte-order mark, carriage returns and blank lines are taken; a colon in a book's name does
// not cut a verse's reference short; each word's posting list holds its verses once, in order;
// a chapter is stored compressed only where that is shorter.
TEST(ImportLayout, SmallModuleIsLaidOutAndReadsBackThroughTheEngine) {
  test::TempDir dir;
  const std::string vpl =
      "\xEF\xBB\xBFGenesis\t1\t1\tIn the beginning God.\r\n\r\n"
      "Genesis\t1\t2\tBeth-el, Lord's love; love (Love)\r\n"
      "Genesis\t2\t1\t[was] the Naomi\xE2\x80\x99s LOVE-feast?\n"
      "1 John\t1\t1\tGod\n"
      "1 John\t1\t2\twas\n"
      "Odes: Solomon\t1\t1\t";
  std::string repetitive;
  for (int i = 0; i < 40; ++i) repetitive += "and the LORD spake unto Moses, saying ";
  ASSERT_EQ(build(vpl + repetitive + "\n", dir.file("small.bib"), "Small Bible"), "");
  const std::vector<std::uint8_t> bytes = bytesOf(dir.file("small.bib"));
  const format::ModuleHeader header = headerOf(bytes);
  EXPECT_EQ(std::vector<std::uint32_t>({header.bookCount, header.chapterCount, header.verseCount}),
            std::vector<std::uint32_t>({3, 4, 6}));
  // The string table, the last area, names its own offset after its checksum.
  EXPECT_EQ(le::load32(bytes.data() + header.stringTableOffset + 4), kStrngTblChecksum);
  EXPECT_EQ(le::load32(bytes.data() + header.stringTableOffset + 8), header.stringTableOffset);
  const Postings expected = {
      {"Beth", {1}},    {"Beth-el", {1}},    {"God", {0, 3}},    {"In", {0}},        {"LORD", {5}},
      {"LOVE", {2}},    {"LOVE-feast", {2}}, {"Lord's", {1}},    {"Love", {1}},      {"Moses", {5}},
      {"Naomi's", {2}}, {"and", {5}},        {"beginning", {0}}, {"el", {1}},        {"feast", {2}},
      {"love", {1}},    {"saying", {5}},     {"spake", {5}},     {"the", {0, 2, 5}}, {"unto", {5}},
      {"was", {2, 4}}};
  EXPECT_EQ(postingsOf(dir.file("small.bib")), expected);
  EXPECT_EQ(header.wordCount, expected.size());
  // A record: the text's length, the stored length, the stored bytes; records follow one
  // another, the last ending where the word index starts.
  le::ByteReader reader(std::span<const std::uint8_t>(bytes).subspan(header.chapterIndexOffset));
  std::vector<format::ChapterEntry> entries(header.chapterCount);
  for (auto& entry : entries) EXPECT_TRUE(format::decodeChapterEntry(reader, entry));
  const std::uint8_t* john = bytes.data() + entries[2].offset;
  EXPECT_EQ(std::string(john, john + 15), (std::string{11, 0, 11, 0} + "1 God\n2 was"))
      << "a longer encoding must not be used";
  EXPECT_EQ(entries[2].offset + 15, entries[3].offset);
  const std::uint8_t* odes = bytes.data() + entries[3].offset;
  EXPECT_EQ(le::load16(odes), 2 + repetitive.size());
  EXPECT_LT(le::load16(odes + 2), le::load16(odes));
  EXPECT_EQ(entries[3].offset + 4 + le::load16(odes + 2), header.wordIndexOffset);
  const test::Module m = test::openModule(dir.path(), "small.bib");
  ASSERT_TRUE(m);
  bibleName name;
  EXPECT_STREQ(getBibleName(&name, m.get())->name, "Small Bible");
  EXPECT_EQ(hasStrongs(m.get()), 0);
  EXPECT_EQ(test::textOf(m.get(), 0), "Genesis 1:1 In the beginning God.");
  EXPECT_EQ(test::textOf(m.get(), 1, true),
            "1 In the beginning God.\n2 Beth-el, Lord's love; love (Love)");
  EXPECT_EQ(test::textOf(m.get(), 4, true), "1 God\n2 was");
  EXPECT_EQ(test::textOf(m.get(), 5), "Odes: Solomon 1:1 " + repetitive);
  EXPECT_EQ(test::textOf(m.get(), 5, true), "1 " + repetitive);
}

TEST(ImportTokenising, WordsMeetTheSearchesTrimmingAndPhraseSplitting) {
  using W = std::vector<std::string>;
  // A word cut by punctuation is one word for a word search and its pieces for a phrase search;
  // typographic punctuation trims and cuts as ASCII does. (The small module's posting lists show
  // hyphens, apostrophes and brackets.)
  const std::pair<const char*, W> cases[] = {
      {"God 430 853", {"God", "430", "853"}},
      {"one;two", {"one;two", "one", "two"}},
      {"-- ... ,", {}},
      {"“Let said—and", {"Let", "said—and", "said", "and"}},
      {"tab\tseparated", {"tab", "separated"}},
  };
  for (const auto& [text, words] : cases) EXPECT_EQ(import::indexWords(text), words) << text;
}

struct Refusal {
  std::string vpl;
  std::string expected;  // the message's start
  std::string name = "Test Bible";
};

TEST(ImportRefusals, EachLimitAndFaultIsNamedWithItsLine) {
  const std::string w40(40, 'w'), n40(40, 'n');
  const Refusal refusals[] = {
      {"Ruth\t1\t1\ta\nRuth\t3\t1\tb\n", "line 2: chapter 3 of Ruth follows chapter 1 (chapters"},
      // Blank lines count, so a fault is reported on the line an editor shows.
      {"Ruth\t1\t1\ta\r\n\r\nRuth\t1\t3\tb\r\n", "line 3: Ruth 1:3 follows verse 1 (verses must"},
      {"Ruth\t1\t1\ta\nRuth\t2\t2\tb\n", "line 2: Ruth 2 starts at verse 2 (verses must start"},
      {"Ruth\t1\t1\ta\nJohn\t2\t1\tb\n", "line 2: book John starts at chapter 2 (chapters"},
      {"Ruth\t1\t1\ta\nJohn\t1\t1\tb\nRuth\t2\t1\tc\n", "line 3: book \"Ruth\" appears again"},
      {"Abcdefghijklmnopqrstuvwxyzab\t1\t1\tb\nAbcdefghijklmnopqrstuvwxyzabc\t1\t1\tc\n",
       "line 2: book name \"Abcdefghijklmnopqrstuvwxyzabc\" is 29 characters long; a book name"},
      {"1John\t1\t1\ta\n", "line 1: book name \"1John\" must be written as digit, space, name"},
      {"Song of  Solomon\t1\t1\ta\n", "line 1: book name \"Song of  Solomon\" begins or ends"},
      // Written as a module the engine then refused to open ("damaged book names").
      {std::string("Ru\0th\t1\t1\ta\n", 12),
       std::string("line 1: book name \"Ru\0th\" holds a NUL byte", 42)},
      {"Ruth\t1\t1\ta\nRuth\t1\t2\tx " + std::string(255, 'w') + ".\n",
       "line 2: the word \"" + w40 + "...\" is 255 characters long; a word holds at most 254"},
      {std::string("Ruth\t1\t1\ta\0b\n", 13), "line 1: the text of Ruth 1:1 holds a NUL byte"},
      {"Ruth\t1\t1\ta\nRuth\t1 2\tb\n", "line 2: expected BOOK<TAB>CHAPTER<TAB>VERSE<TAB>TEXT"},
      {"Ruth\tone\t1\ta\n", "line 1: chapter \"one\" is not a number from 1"},
      {"Ruth\t1\t0\ta\n", "line 1: verse \"0\" is not a number from 1"},
      {"\t1\t1\ta\n", "line 1: the book name is empty"},
      {"\n\n", "the input holds no verses"},
      {books(81), "line 81: book \"Book Dc\" would be book 81; a module holds at most 80 books"},
      {lines(256, [](int c) { return "Psalms\t" + std::to_string(c + 1) + "\t1\ta\n"; }),
       "line 256: chapter 256 of Psalms: a book holds at most 255 chapters"},
      {lines(256, [](int v) { return "Psalms\t1\t" + std::to_string(v + 1) + "\ta\n"; }),
       "line 256: Psalms 1:256: a chapter holds at most 255 verses"},
      {psalms(31200), "line 31200: Psalms 123:90 would be the module's 31200th verse; a module"},
      // "1 " and 32764 characters of text make 32766, one above the limit.
      {"Ruth\t1\t1\t" + chapterOf(32764) + "\n", "line 1: the text of Ruth 1 reaches 32766 "},
      {"Ruth\t1\t1\ta\n", "the display name \"" + n40 + "...\" is 80 characters long",
       std::string(80, 'n')},
      {"Ruth\t1\t1\ta\n", "the display name \"\" is 0 characters long", ""},
      // The 65535th word (number 65534) stands in verse 655 of the input, on line 656.
      {manyWords(65535), "line 656: the word \"" + wordNumber(65534) + "\" is the module's 65535"},
  };
  test::TempDir dir;
  for (const Refusal& refusal : refusals) {
    const std::string error = build(refusal.vpl, dir.file("out.bib"), refusal.name);
    EXPECT_TRUE(error.starts_with(refusal.expected)) << error;
    EXPECT_TRUE(filesIn(dir.path()).empty()) << "a refused build leaves no file";
  }
}

TEST(ImportRefusals, LimitsThemselvesAreAccepted) {
  test::TempDir dir;
  EXPECT_EQ(build(books(80), dir.file("books.bib"), std::string(79, 'n')), "");
  EXPECT_EQ(headerOf(bytesOf(dir.file("books.bib"))).name[79], '\0');
  ASSERT_EQ(build(psalms(31199), dir.file("verses.bib")), "");
  EXPECT_EQ(headerOf(bytesOf(dir.file("verses.bib"))).verseCount, 31199u);
  // Every verse holds "a": its posting list is every verse number, ascending.
  std::vector<std::uint16_t> all(31199);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(postingsOf(dir.file("verses.bib")), (Postings{{"a", all}}));
  ASSERT_EQ(
      build("Abcdefghijklmnopqrstuvwxyzab\t1\t1\t" + chapterOf(32763) + "\n", dir.file("text.bib")),
      "");
  EXPECT_EQ(test::textOf(test::openModule(dir.path(), "text.bib").get(), 0, true).size(), 32765u);
  ASSERT_EQ(build(manyWords(65534), dir.file("words.bib")), "");
  EXPECT_EQ(headerOf(bytesOf(dir.file("words.bib"))).wordCount, 65534u);
}

// vellum-import bible: a refused input or an unwritable target leaves every file as it was; a
// sound build replaces the target in one step and leaves nothing else.
TEST(ImportTool, BuildsOrRefusesLeavingNothingBehind) {
  test::TempDir dir;
  const std::string sample = test::shellQuote(VELLUM_SAMPLES_DIR "/kjv-sample.vpl");
  test::writeFile(dir.file("bad.vpl"), "Ruth\t1\t1\ta\nRuth\t3\t1\tb\n");
  test::writeFile(dir.file("bad.xml"),
                  "<osis>\n<verse osisID='Gen.1.2'/><verse osisID='Gen.1.1'/></osis>");
  test::writeFile(dir.file("good.xml"), "<osis><verse osisID='Gen.1.1'>In</verse></osis>");
  test::writeFile(dir.file("kjv.bib"), "previous module");
  const std::string out = test::shellQuote(dir.file("kjv.bib")), target = " --name Test " + out;
  const std::pair<std::string, std::string> refusals[] = {
      {"--vpl " + test::shellQuote(dir.file("bad.vpl")) + target,
       dir.file("bad.vpl") +
           ": line 2: chapter 3 of Ruth follows chapter 1 (chapters must ascend without gaps)"},
      {"--osis " + test::shellQuote(dir.file("bad.xml")) + target,
       dir.file("bad.xml") + ": line 2: Gen.1.1 does not follow Gen.1.2 (verses out of order)"},
      {"--vpl " + sample + " --name Test " + test::shellQuote(dir.file("no/such/x.bib")),
       "cannot create a file in " + dir.file("no/such") + ": No such file or directory"},
  };
  for (const auto& [arguments, err] : refusals) {
    const test::Ran ran = test::runProgram(VELLUM_IMPORT_EXE, "bible " + arguments, dir);
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_EQ(ran.err, "vellum-import: " + err + "\n");
    EXPECT_EQ(filesIn(dir.path()),
              (std::set<std::string>{"bad.vpl", "bad.xml", "good.xml", "kjv.bib"}));
    EXPECT_EQ(test::readFile(dir.file("kjv.bib")), "previous module");
  }
  const std::string osis = "bible --osis " + test::shellQuote(dir.file("good.xml")) + " --name T ";
  const std::string osisOut = test::shellQuote(dir.file("osis.bib"));
  EXPECT_EQ(test::runProgram(VELLUM_IMPORT_EXE, osis + osisOut, dir).exitCode, 0);
  const test::Ran built = test::runProgram(
      VELLUM_IMPORT_EXE, "bible --vpl " + sample + " --name 'King James Version' " + out, dir);
  EXPECT_EQ(built.exitCode, 0);
  EXPECT_EQ(built.err, "");
  EXPECT_EQ(filesIn(dir.path()),
            (std::set<std::string>{"bad.vpl", "bad.xml", "good.xml", "kjv.bib", "osis.bib"}));
  test::Module kjv = test::openModule(dir.path(), "kjv.bib");
  ASSERT_TRUE(kjv);
  EXPECT_EQ(hasStrongs(kjv.get()), 1);  // the name "King James Version" turns them on
  Reference reference;
  ASSERT_EQ(parseReference(&reference, "John 3:16", kjv.get()), 1);
  EXPECT_EQ(test::textOf(kjv.get(), referenceToVerse(reference, kjv.get())),
            "John 3:16 For God so loved the world, that he gave his only begotten Son, that "
            "whosoever believeth in him should not perish, but have everlasting life.");
}

}  // namespace
}  // namespace vellum
