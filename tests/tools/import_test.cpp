// Covers the module builder: layout, tokenising, posting lists, records and every refusal.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/bible/module_format.h"
#include "engine/bible/strngtbl.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/support/fixtures.h"
#include "tools/import/module_writer.h"
#include "tools/import/vpl.h"

namespace vellum {
namespace {

namespace fs = std::filesystem;
using import::VerseLine;

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

format::ModuleHeader headerOf(const std::vector<std::uint8_t>& bytes) {
  format::ModuleHeader header;
  EXPECT_TRUE(format::decodeHeader(bytes, header));
  return header;
}

std::vector<format::ChapterEntry> chapterIndexOf(const std::vector<std::uint8_t>& bytes) {
  const format::ModuleHeader header = headerOf(bytes);
  le::ByteReader reader(std::span<const std::uint8_t>(bytes).subspan(header.chapterIndexOffset));
  std::vector<format::ChapterEntry> entries(header.chapterCount);
  for (auto& entry : entries) EXPECT_TRUE(format::decodeChapterEntry(reader, entry));
  return entries;
}

struct ChapterRecord {
  std::uint16_t textLength = 0;
  std::uint16_t storedLength = 0;
};

ChapterRecord recordAt(const std::vector<std::uint8_t>& bytes, std::uint32_t offset) {
  return {le::load16(bytes.data() + offset), le::load16(bytes.data() + offset + 2)};
}

// Word -> posting list, read straight from the file: words through the string table, lists
// through the word index. Also checks that word numbers follow byte order.
std::map<std::string, std::vector<std::uint16_t>> wordIndexOf(const std::string& path) {
  const std::vector<std::uint8_t> bytes = readBytes(path);
  const format::ModuleHeader header = headerOf(bytes);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
  EXPECT_NE(stream, nullptr);
  std::fseek(stream.get(), static_cast<long>(header.stringTableOffset), SEEK_SET);
  std::unique_ptr<StrngTbl, void (*)(StrngTbl*)> table(initStrngTbl(stream.get()), deinitStrngTbl);
  std::map<std::string, std::vector<std::uint16_t>> index;
  if (!table) {
    ADD_FAILURE() << "the string table does not open";
    return index;
  }
  EXPECT_EQ(table->nWords, header.wordCount);
  std::string previous;
  for (std::uint32_t w = 0; w < header.wordCount; ++w) {
    const std::string word = GetAString(static_cast<std::uint16_t>(w), table.get());
    if (w > 0) {
      EXPECT_LT(previous, word) << "word numbers must follow byte order";
    }
    EXPECT_EQ(UniqueString(word.c_str(), table.get()), static_cast<int>(w));
    const std::uint32_t listOffset = le::load32(bytes.data() + header.wordIndexOffset + 4 * w);
    const std::uint16_t count = le::load16(bytes.data() + listOffset);
    std::vector<std::uint16_t>& verses = index[word];
    for (std::uint16_t i = 0; i < count; ++i)
      verses.push_back(le::load16(bytes.data() + listOffset + 2 + 2 * i));
    previous = word;
  }
  return index;
}

// Opens a module of a scratch directory through the data path, as the program does.
struct OpenModule {
  explicit OpenModule(const test::TempDir& dir, const char* file) {
    set_dpath(dir.path().c_str());
    bibleName name;
    std::snprintf(name.path, sizeof name.path, "%s", file);
    module = openBible(&name, &why);
  }
  ~OpenModule() { closeBible(module); }
  BibleHandle* module = nullptr;
  std::string why;
};

std::string chapterText(BibleHandle* module, Reference reference) {
  std::uint32_t offset = 0;
  std::uint16_t verse = 0;
  refLookup(&offset, &verse, reference, module);
  std::vector<char> text(kChapterBufferSize);
  std::uint16_t length = 0;
  getChapter(text.data(), &length, static_cast<std::uint16_t>(text.size()), offset, module);
  return std::string(text.data(), length);
}

std::string verseText(BibleHandle* module, std::uint16_t verse) {
  std::vector<char> text(kChapterBufferSize);
  std::uint16_t length = 0;
  getVerse(text.data(), &length, static_cast<std::uint16_t>(text.size()), verse, module);
  return std::string(text.data(), length);
}

// Builds through the library; returns the error ("" on success).
std::string build(const std::string& vpl, const std::string& out,
                  const std::string& name = "Test Bible") {
  std::istringstream in(vpl);
  std::vector<VerseLine> lines;
  std::string error;
  if (!import::readVpl(in, lines, error)) return error.empty() ? "?" : error;
  if (!import::writeModule(name, lines, out, error)) return error.empty() ? "?" : error;
  return "";
}

std::string shellQuote(const std::string& s) {
  std::string quoted = "'";
  for (char c : s) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct RunResult {
  int exitCode = -1;
  std::string errorText;
};

RunResult runImport(const test::TempDir& dir, const std::string& arguments) {
  const std::string errorFile = dir.file("stderr.txt");
  const std::string command =
      shellQuote(VELLUM_IMPORT_EXE) + " " + arguments + " 2>" + shellQuote(errorFile);
  const int status = std::system(command.c_str());
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errorFile);
  result.errorText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  fs::remove(errorFile);
  return result;
}

std::set<std::string> filesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

std::string writeText(const test::TempDir& dir, const std::string& name, const std::string& text) {
  std::ofstream(dir.file(name), std::ios::binary) << text;
  return dir.file(name);
}

// A line of n verses "BOOK<TAB>1<TAB>v<TAB>text" for v = 1..n.
std::string versesOf(const std::string& book, int chapter, int count,
                     const std::string& text = "a") {
  std::string out;
  for (int v = 1; v <= count; ++v)
    out += book + "\t" + std::to_string(chapter) + "\t" + std::to_string(v) + "\t" + text + "\n";
  return out;
}

constexpr const char* kSmallVpl =
    "Genesis\t1\t1\tIn the beginning God created the heaven and the earth.\n"
    "Genesis\t1\t2\tAnd the earth was without form.\n"
    "Genesis\t2\t1\tThus the heavens and the earth were finished.\n"
    "Exodus\t1\t1\tNow these are the names.\n"
    "1 John\t1\t1\tThat which was from the beginning.\n"
    "1 John\t1\t2\tFor the life was manifested.\n"
    "1 John\t1\t3\tThat which we have seen.\n";

TEST(ImportLayout, SmallModuleReadsBackThroughTheEngine) {
  test::TempDir dir;
  ASSERT_EQ(build(kSmallVpl, dir.file("small.bib"), "Small Bible"), "");
  OpenModule open(dir, "small.bib");
  ASSERT_NE(open.module, nullptr) << open.why;
  BibleHandle* m = open.module;

  EXPECT_EQ(getBooksInBible(m), 3);
  EXPECT_STREQ(getBookName(0, m), "Genesis");
  EXPECT_STREQ(getBookName(2, m), "1 John");
  EXPECT_EQ(getChaptersInBook({0, 1, 1}, m), 2);
  EXPECT_EQ(getVersesInChapter({2, 1, 1}, m), 3);
  EXPECT_EQ(hasStrongs(m), 0);
  bibleName name;
  getBibleName(&name, m);
  EXPECT_STREQ(name.name, "Small Bible");

  EXPECT_EQ(chapterText(m, {0, 1, 1}),
            "1 In the beginning God created the heaven and the earth.\n"
            "2 And the earth was without form.");
  EXPECT_EQ(chapterText(m, {1, 1, 1}), "1 Now these are the names.");
  EXPECT_EQ(verseText(m, 0), "Genesis 1:1 In the beginning God created the heaven and the earth.");
  EXPECT_EQ(verseText(m, 6), "1 John 1:3 That which we have seen.");
  Reference reference;
  ASSERT_EQ(parseReference(&reference, "1john 1:2", m), 1);
  EXPECT_EQ(referenceToVerse(reference, m), 5);
}

TEST(ImportLayout, HeaderBookNamesAndChapterIndexAreAsLaidOut) {
  test::TempDir dir;
  ASSERT_EQ(build(kSmallVpl, dir.file("small.bib"), "Small Bible"), "");
  const std::vector<std::uint8_t> bytes = readBytes(dir.file("small.bib"));
  const format::ModuleHeader header = headerOf(bytes);
  EXPECT_EQ(header.signature, 0x7F);
  EXPECT_EQ(header.statByte1, 0);
  EXPECT_EQ(header.statByte2, 0);
  EXPECT_EQ(header.statLong, 0);
  EXPECT_STREQ(header.name.data(), "Small Bible");
  EXPECT_EQ(header.bookCount, 3u);
  EXPECT_EQ(header.chapterCount, 4u);
  EXPECT_EQ(header.verseCount, 7u);
  EXPECT_EQ(header.bookNamesOffset, 120u);
  EXPECT_EQ(std::string(bytes.begin() + 120, bytes.begin() + 120 + 22),
            "Genesis\nExodus\n1 John\n");
  // The string table is the last area and starts with its checksum 4321.
  EXPECT_EQ(le::load32(bytes.data() + header.stringTableOffset + 4), kStrngTblChecksum);
  EXPECT_EQ(le::load32(bytes.data() + header.stringTableOffset + 8), header.stringTableOffset);

  const auto entries = chapterIndexOf(bytes);
  ASSERT_EQ(entries.size(), 4u);
  const int expected[4][3] = {{0, 1, 0}, {0, 2, 2}, {1, 1, 3}, {2, 1, 4}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[i].book, expected[i][0]);
    EXPECT_EQ(entries[i].chapter, expected[i][1]);
    EXPECT_EQ(entries[i].firstVerse, expected[i][2]);
    EXPECT_GT(entries[i].offset, header.chapterIndexOffset);
    EXPECT_LT(entries[i].offset, header.wordIndexOffset);
  }
}

TEST(ImportLayout, LenientInputFormsAreAcceptedAndLineNumbersStayTrue) {
  test::TempDir dir;
  // Byte-order mark, carriage returns and blank lines are taken; blank lines still count, so
  // the gap below is reported on line 4, the line an editor shows.
  EXPECT_EQ(
      build("\xEF\xBB\xBFRuth\t1\t1\tfirst\r\n\r\nRuth\t1\t2\tsecond\r\n", dir.file("ok.bib")), "");
  OpenModule open(dir, "ok.bib");
  ASSERT_NE(open.module, nullptr) << open.why;
  EXPECT_STREQ(getBookName(0, open.module), "Ruth");
  EXPECT_EQ(chapterText(open.module, {0, 1, 1}), "1 first\n2 second");
  // A colon in a book's name does not cut the verse's reference short.
  ASSERT_EQ(build("Odes: Solomon\t1\t1\tx\n", dir.file("colon.bib")), "");
  OpenModule colon(dir, "colon.bib");
  EXPECT_EQ(verseText(colon.module, 0), "Odes: Solomon 1:1 x");

  const std::string error =
      build("Ruth\t1\t1\ta\r\n\r\nRuth\t1\t2\tb\r\nRuth\t1\t4\tc\r\n", dir.file("gap.bib"));
  EXPECT_EQ(error, "line 4: Ruth 1:4 follows verse 2 (verses must ascend without gaps)");
}

TEST(ImportTokenising, WordsMeetTheSearchesTrimmingAndPhraseSplitting) {
  using W = std::vector<std::string>;
  EXPECT_EQ(import::indexWords("  love,   (love) "), (W{"love", "love", "love"}));
  // A hyphenated word is one word for a word search and its pieces for a phrase search.
  EXPECT_EQ(import::indexWords("Beth-el."), (W{"Beth-el", "Beth", "el"}));
  EXPECT_EQ(import::indexWords("Lord's"), (W{"Lord's"}));
  EXPECT_EQ(import::indexWords("[was]"), (W{"was", "was"}));
  EXPECT_EQ(import::indexWords("God 430 853"), (W{"God", "430", "853"}));
  EXPECT_EQ(import::indexWords("one;two"), (W{"one;two", "one", "two"}));
  EXPECT_EQ(import::indexWords("-- ... ,"), W{});
  // Typographic punctuation trims and cuts as ASCII does; ’ is kept as '.
  EXPECT_EQ(import::indexWords("Naomi\xE2\x80\x99s"), (W{"Naomi's"}));
  EXPECT_EQ(import::indexWords("“Let said—and"), (W{"Let", "said—and", "said", "and"}));
  EXPECT_EQ(import::indexWords("tab\tseparated"), (W{"tab", "separated"}));
}

TEST(ImportWordIndex, PostingListsHoldEachWordsVersesOnceInOrder) {
  test::TempDir dir;
  const std::string vpl =
      "Genesis\t1\t1\tIn the beginning 7225 God 430.\n"
      "Genesis\t1\t2\tBeth-el, Lord's love; love (Love)\n"
      "Genesis\t2\t1\t[was] the Naomi\xE2\x80\x99s LOVE-feast?\n";
  ASSERT_EQ(build(vpl, dir.file("words.bib")), "");
  const std::map<std::string, std::vector<std::uint16_t>> expected = {
      {"430", {0}},     {"7225", {0}},      {"Beth", {1}},       {"Beth-el", {1}}, {"God", {0}},
      {"In", {0}},      {"LOVE", {2}},      {"LOVE-feast", {2}}, {"Lord's", {1}},  {"Love", {1}},
      {"Naomi's", {2}}, {"beginning", {0}}, {"el", {1}},         {"feast", {2}},   {"love", {1}},
      {"the", {0, 2}},  {"was", {2}}};
  EXPECT_EQ(wordIndexOf(dir.file("words.bib")), expected);
  EXPECT_EQ(headerOf(readBytes(dir.file("words.bib"))).wordCount, expected.size());
}

TEST(ImportWordIndex, WholeFixtureIndexAgreesWithItsText) {
  test::TempDir dir;
  const std::string path = test::buildKjvFixture(dir.path());
  const auto index = wordIndexOf(path);
  // Every verse holds "saith" except the two real ones (Genesis 1:1 and John 3:16).
  ASSERT_TRUE(index.contains("saith"));
  EXPECT_EQ(index.at("saith").size(), 31102u - 2);
  // Verse n holds V[n % 10], so "Beth-el" (entry 9) opens at verse 9 and recurs every 10
  // verses, besides the verses whose second word it is.
  ASSERT_TRUE(index.contains("Beth-el"));
  const auto& bethel = index.at("Beth-el");
  EXPECT_EQ(bethel.front(), 9);
  EXPECT_TRUE(std::is_sorted(bethel.begin(), bethel.end()));
  EXPECT_EQ(index.at("Beth"), bethel);
  EXPECT_EQ(index.at("7225"), (std::vector<std::uint16_t>{0}));
  EXPECT_FALSE(index.contains("Beth-el."));
  EXPECT_FALSE(index.contains("Samuel,"));
  for (const auto& [word, verses] : index) {
    ASSERT_FALSE(verses.empty()) << word;
    EXPECT_TRUE(std::adjacent_find(verses.begin(), verses.end(),
                                   [](auto a, auto b) { return a >= b; }) == verses.end())
        << word << ": verses must ascend without duplicates";
    EXPECT_LT(verses.back(), 31102) << word;
  }
}

TEST(ImportChapterRecords, RepetitiveTextIsCompressedAndShortTextStoredAsIs) {
  test::TempDir dir;
  std::string repetitive;
  for (int i = 0; i < 40; ++i) repetitive += "and the LORD spake unto Moses, saying ";
  const std::string vpl = "John\t11\t1\t" + repetitive + "\n";
  // Chapters must start at 1: build John 1..11 with short verses first.
  std::string full;
  for (int c = 1; c <= 10; ++c) full += "John\t" + std::to_string(c) + "\t1\tJesus wept.\n";
  full += vpl;
  ASSERT_EQ(build(full, dir.file("records.bib")), "");
  const std::vector<std::uint8_t> bytes = readBytes(dir.file("records.bib"));
  const auto entries = chapterIndexOf(bytes);
  ASSERT_EQ(entries.size(), 11u);

  const ChapterRecord shortRecord = recordAt(bytes, entries[0].offset);
  EXPECT_EQ(shortRecord.textLength, std::string("1 Jesus wept.").size());
  EXPECT_EQ(shortRecord.storedLength, shortRecord.textLength)
      << "a longer encoding must not be used";
  EXPECT_EQ(std::string(bytes.begin() + entries[0].offset + 4,
                        bytes.begin() + entries[0].offset + 4 + shortRecord.storedLength),
            "1 Jesus wept.");

  const ChapterRecord longRecord = recordAt(bytes, entries[10].offset);
  EXPECT_EQ(longRecord.textLength, 2 + repetitive.size());
  EXPECT_LT(longRecord.storedLength, longRecord.textLength);
  // Records follow one another; the last one ends where the word index starts.
  EXPECT_EQ(entries[10].offset + 4 + longRecord.storedLength, headerOf(bytes).wordIndexOffset);

  OpenModule open(dir, "records.bib");
  ASSERT_NE(open.module, nullptr) << open.why;
  EXPECT_EQ(chapterText(open.module, {0, 11, 1}), "1 " + repetitive);
  EXPECT_EQ(chapterText(open.module, {0, 3, 1}), "1 Jesus wept.");
}

struct Refusal {
  const char* what;
  std::string vpl;
  std::string expected;  // the whole message
};

std::vector<Refusal> refusals() {
  std::vector<Refusal> cases = {
      {"chapter gap", "Ruth\t1\t1\ta\nRuth\t3\t1\tb\n",
       "line 2: chapter 3 of Ruth follows chapter 1 (chapters must ascend without gaps)"},
      {"chapter backwards", "Ruth\t1\t1\ta\nRuth\t2\t1\tb\nRuth\t1\t2\tc\n",
       "line 3: chapter 1 of Ruth follows chapter 2 (chapters must ascend without gaps)"},
      {"verse gap", "Ruth\t1\t1\ta\nRuth\t1\t3\tb\n",
       "line 2: Ruth 1:3 follows verse 1 (verses must ascend without gaps)"},
      {"verse repeated", "Ruth\t1\t1\ta\nRuth\t1\t1\tb\n",
       "line 2: Ruth 1:1 follows verse 1 (verses must ascend without gaps)"},
      {"chapter not from verse 1", "Ruth\t1\t1\ta\nRuth\t2\t2\tb\n",
       "line 2: Ruth 2 starts at verse 2 (verses must start at 1 and ascend without gaps)"},
      {"book not from chapter 1", "Ruth\t1\t1\ta\nJohn\t2\t1\tb\n",
       "line 2: book John starts at chapter 2 (chapters must start at 1 and ascend without gaps)"},
      {"book again", "Ruth\t1\t1\ta\nJohn\t1\t1\tb\nRuth\t2\t1\tc\n",
       "line 3: book \"Ruth\" appears again after \"John\" (each book's verses must be together)"},
      {"long book name",
       "Ruth\t1\t1\ta\nAbcdefghijklmnopqrstuvwxyzab\t1\t1\tb\nAbcdefghijklmnopqrstuvwxyzabc\t1\t1\t"
       "c\n",
       "line 3: book name \"Abcdefghijklmnopqrstuvwxyzabc\" is 29 characters long; a book name "
       "holds at most 28"},
      {"numbered book without space", "1John\t1\t1\ta\n",
       "line 1: book name \"1John\" must be written as digit, space, name (for example \"1 "
       "John\")"},
      {"book name with two spaces", "Song of  Solomon\t1\t1\ta\n",
       "line 1: book name \"Song of  Solomon\" begins or ends with a space or holds two in a row; "
       "the reference parser could never match it"},
      // Written as a module the engine then refused to open ("damaged book names").
      {"NUL in a book name", std::string("Ru\0th\t1\t1\ta\n", 12),
       std::string("line 1: book name \"Ru\0th\" holds a NUL byte", 42)},
      {"long word", "Ruth\t1\t1\ta\nRuth\t1\t2\tx " + std::string(255, 'w') + ".\n",
       "line 2: the word \"" + std::string(40, 'w') +
           "...\" is 255 characters long; a word holds at most 254"},
      {"NUL byte", std::string("Ruth\t1\t1\ta\0b\n", 13),
       "line 1: the text of Ruth 1:1 holds a NUL byte"},
      {"missing field", "Ruth\t1\t1\ta\nRuth\t1 2\tb\n",
       "line 2: expected BOOK<TAB>CHAPTER<TAB>VERSE<TAB>TEXT"},
      {"chapter not a number", "Ruth\tone\t1\ta\n",
       "line 1: chapter \"one\" is not a number from 1 (chapters start at 1)"},
      {"verse 0", "Ruth\t1\t0\ta\n",
       "line 1: verse \"0\" is not a number from 1 (verses start at 1)"},
      {"empty book", "\t1\t1\ta\n", "line 1: the book name is empty"},
      {"no verses", "\n\n", "the input holds no verses"},
  };
  {
    std::string books;
    for (int b = 0; b < 81; ++b)
      books += std::string("Book ") + char('A' + b / 26) + char('a' + b % 26) + "\t1\t1\ta\n";
    cases.push_back(
        {"81 books", books,
         "line 81: book \"Book Dc\" would be book 81; a module holds at most 80 books"});
  }
  {
    std::string chapters;
    for (int c = 1; c <= 256; ++c) chapters += "Psalms\t" + std::to_string(c) + "\t1\ta\n";
    cases.push_back({"256 chapters", chapters,
                     "line 256: chapter 256 of Psalms: a book holds at most 255 chapters"});
  }
  cases.push_back({"256 verses", versesOf("Psalms", 1, 256),
                   "line 256: Psalms 1:256: a chapter holds at most 255 verses"});
  {
    // 122 chapters of 255 verses and 90 more make 31200 verses.
    std::string verses;
    for (int c = 1; c <= 122; ++c) verses += versesOf("Psalms", c, 255);
    verses += versesOf("Psalms", 123, 90);
    cases.push_back({"31200 verses", verses,
                     "line 31200: Psalms 123:90 would be the module's 31200th verse; a module "
                     "holds at most 31199 verses"});
  }
  {
    // "1 " and 32764 characters of text make 32766, one above the limit.
    std::string text;
    while (text.size() < 32764) text += "word ";
    text.resize(32764);
    text.back() = 'x';
    cases.push_back({"chapter text", "Ruth\t1\t1\t" + text + "\n",
                     "line 1: the text of Ruth 1 reaches 32766 characters here; a chapter's text "
                     "holds at most 32765"});
  }
  return cases;
}

TEST(ImportRefusals, EachLimitAndFaultIsNamedWithItsLine) {
  test::TempDir dir;
  for (const Refusal& refusal : refusals()) {
    SCOPED_TRACE(refusal.what);
    EXPECT_EQ(build(refusal.vpl, dir.file("out.bib")), refusal.expected);
    EXPECT_TRUE(filesIn(dir.path()).empty()) << "a refused build leaves no file";
  }
}

TEST(ImportRefusals, LimitsThemselvesAreAccepted) {
  test::TempDir dir;
  std::string books;
  for (int b = 0; b < 80; ++b)
    books += std::string("Book ") + char('A' + b / 26) + char('a' + b % 26) + "\t1\t1\ta\n";
  EXPECT_EQ(build(books, dir.file("books.bib")), "");
  std::string verses;
  for (int c = 1; c <= 122; ++c) verses += versesOf("Psalms", c, 255);
  verses += versesOf("Psalms", 123, 89);  // 31199 verses
  EXPECT_EQ(build(verses, dir.file("verses.bib")), "");
  EXPECT_EQ(headerOf(readBytes(dir.file("verses.bib"))).verseCount, 31199u);
  std::string text = std::string(254, 'w') + " ";
  while (text.size() < 32763) text += "word ";
  text.resize(32763);
  text.back() = 'x';
  EXPECT_EQ(build("Abcdefghijklmnopqrstuvwxyzab\t1\t1\t" + text + "\n", dir.file("text.bib")), "");
  OpenModule open(dir, "text.bib");
  ASSERT_NE(open.module, nullptr) << open.why;
  EXPECT_EQ(chapterText(open.module, {0, 1, 1}).size(), 32765u);
}

// Four lowercase letters per number: distinct words that split nowhere.
std::string wordNumber(int n) {
  std::string word(4, 'a');
  for (int i = 3; i >= 0; --i, n /= 26) word[i] = static_cast<char>('a' + n % 26);
  return word;
}

std::string manyWords(int count) {
  constexpr int kWordsPerVerse = 100;
  constexpr int kVersesPerChapter = 30;
  std::string vpl;
  for (int first = 0, verse = 0; first < count; first += kWordsPerVerse, ++verse) {
    std::string text;
    for (int n = first; n < std::min(count, first + kWordsPerVerse); ++n)
      text += wordNumber(n) + " ";
    vpl += "Words\t" + std::to_string(verse / kVersesPerChapter + 1) + "\t" +
           std::to_string(verse % kVersesPerChapter + 1) + "\t" + text + "\n";
  }
  return vpl;
}

TEST(ImportRefusals, WordCountStopsBelow65535) {
  test::TempDir dir;
  ASSERT_EQ(build(manyWords(65534), dir.file("words.bib")), "");
  EXPECT_EQ(headerOf(readBytes(dir.file("words.bib"))).wordCount, 65534u);
  // The 65535th word (number 65534) stands in verse 655 of the input, on line 656.
  EXPECT_EQ(build(manyWords(65535), dir.file("more.bib")),
            "line 656: the word \"" + wordNumber(65534) +
                "\" is the module's 65535th distinct word; a module holds at most 65534 words");
  EXPECT_FALSE(fs::exists(dir.file("more.bib")));
}

TEST(ImportRefusals, DisplayNameMustHoldOneTo79Characters) {
  test::TempDir dir;
  const std::string vpl = "Ruth\t1\t1\ta\n";
  EXPECT_EQ(build(vpl, dir.file("a.bib"), std::string(79, 'n')), "");
  EXPECT_EQ(headerOf(readBytes(dir.file("a.bib"))).name[79], '\0');
  EXPECT_EQ(build(vpl, dir.file("b.bib"), std::string(80, 'n')),
            "the display name \"" + std::string(40, 'n') +
                "...\" is 80 characters long; a display name holds 1 to 79 characters");
  EXPECT_EQ(build(vpl, dir.file("c.bib"), ""),
            "the display name \"\" is 0 characters long; a display name holds 1 to 79 characters");
  EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"a.bib"}));
}

TEST(ImportTool, BuildsTheSampleAndLeavesNothingElse) {
  test::TempDir dir;
  const RunResult result = runImport(
      dir, "bible --vpl " + shellQuote(std::string(VELLUM_SAMPLES_DIR) + "/kjv-sample.vpl") +
               " --name 'King James Version' " + shellQuote(dir.file("kjv.bib")));
  EXPECT_EQ(result.exitCode, 0) << result.errorText;
  EXPECT_EQ(result.errorText, "");
  EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"kjv.bib"}));
  OpenModule open(dir, "kjv.bib");
  ASSERT_NE(open.module, nullptr) << open.why;
  EXPECT_EQ(hasStrongs(open.module), 1);
  EXPECT_EQ(getBooksInBible(open.module), 3);
  EXPECT_STREQ(getBookName(2, open.module), "1 John");
  Reference reference;
  ASSERT_EQ(parseReference(&reference, "John 3:16", open.module), 1);
  EXPECT_EQ(verseText(open.module, referenceToVerse(reference, open.module)),
            "John 3:16 For God so loved the world, that he gave his only begotten Son, that "
            "whosoever believeth in him should not perish, but have everlasting life.");
}

TEST(ImportTool, RefusedInputExitsNonZeroAndKeepsAnExistingTarget) {
  test::TempDir dir;
  const std::string input = writeText(dir, "bad.vpl", "Ruth\t1\t1\ta\nRuth\t3\t1\tb\n");
  writeText(dir, "kjv.bib", "previous module");
  const RunResult result = runImport(
      dir, "bible --vpl " + shellQuote(input) + " --name Test " + shellQuote(dir.file("kjv.bib")));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.errorText, "vellum-import: " + input +
                                  ": line 2: chapter 3 of Ruth follows chapter 1 (chapters must "
                                  "ascend without gaps)\n");
  EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"bad.vpl", "kjv.bib"}));
  const auto kept = readBytes(dir.file("kjv.bib"));
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous module");

  // A sound build replaces the target in one step.
  writeText(dir, "good.vpl", "Ruth\t1\t1\ta\n");
  EXPECT_EQ(runImport(dir, "bible --vpl " + shellQuote(dir.file("good.vpl")) + " --name Test " +
                               shellQuote(dir.file("kjv.bib")))
                .exitCode,
            0);
  EXPECT_EQ(readBytes(dir.file("kjv.bib")).at(0), 0x7F);
  EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"bad.vpl", "good.vpl", "kjv.bib"}));
}

TEST(ImportTool, UnwritableTargetAndUsageErrors) {
  test::TempDir dir;
  const std::string input = writeText(dir, "good.vpl", "Ruth\t1\t1\ta\n");
  const RunResult missingDir = runImport(dir, "bible --vpl " + shellQuote(input) + " --name Test " +
                                                  shellQuote(dir.file("no/such/x.bib")));
  EXPECT_EQ(missingDir.exitCode, 1);
  EXPECT_NE(missingDir.errorText.find("cannot create a file in " + dir.file("no/such")),
            std::string::npos)
      << missingDir.errorText;

  const RunResult missingInput =
      runImport(dir, "bible --vpl " + shellQuote(dir.file("none.vpl")) + " --name Test out.bib");
  EXPECT_EQ(missingInput.exitCode, 1);
  EXPECT_NE(missingInput.errorText.find("none.vpl: cannot open"), std::string::npos);

  for (const char* arguments :
       {"", "bible", "bible --vpl x.vpl out.bib", "bible --name Test out.bib",
        "bible --vpl x.vpl --name Test", "bible --vpl x.vpl --name Test a.bib b.bib",
        "bible --vpl x.vpl --name Test --zip out.bib", "bible --vpl", "dictionary"}) {
    SCOPED_TRACE(arguments);
    const RunResult result = runImport(dir, arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.errorText.find("usage: vellum-import bible"), std::string::npos);
  }
  EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"good.vpl"}));
}

}  // namespace
}  // namespace vellum
