// Strong's lexicon: the source reader and writer, lookups in both tables, buffer limits and
// damaged files.
#include "engine/stores/lexicon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/stores/lexicon_format.h"
#include "support/endian.h"
#include "support/files.h"
#include "tests/support/fixtures.h"
#include "tools/import/lexicon_writer.h"

namespace vellum {
namespace {

using import::LexiconEntry;

constexpr const char* kHebrew =
    "H1\nfather\nH2\n\nfirst line\nsecond line\nthird line\n\nH4\nfour\n";
constexpr const char* kGreek = "1\r\nAlpha\r\nG3\r\n  7\r\nan indented number stays\r\n";

std::vector<LexiconEntry> read(const std::string& text, char letter, std::string* error = nullptr) {
  std::istringstream in(text);
  std::vector<LexiconEntry> entries;
  std::string message;
  const bool ok = import::readLexiconSource(in, letter, entries, message);
  if (error != nullptr) *error = ok ? "" : message;
  return entries;
}

class LexiconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(
        import::writeLexicon(read(kHebrew, 'H'), read(kGreek, 'G'), dir.file("lexicon.lex"), error))
        << error;
    set_dpath(dir.path().c_str());
    lexicon.reset(initLexicon("lexicon.lex"));
    ASSERT_NE(lexicon, nullptr);
  }
  // The definition, checking that a miss leaves the buffer and the length alone and a find stays
  // within the buffer.
  std::string lookup(std::uint16_t number, int hebrew, std::uint16_t size = 1000) {
    std::vector<char> out(size + 16u, '#');
    std::uint16_t length = 999;
    if (lookupLexicon(out.data(), &length, size, number, hebrew, lexicon.get()) == nullptr) {
      EXPECT_EQ(length, 999) << "length changed on a miss";
      EXPECT_EQ(out[0], '#') << "buffer changed on a miss";
      return "<none>";
    }
    EXPECT_EQ(length, std::strlen(out.data()));
    EXPECT_EQ(std::string(out.data() + size, 16), std::string(16, '#')) << "past the buffer";
    return std::string(out.data(), length);
  }

  test::TempDir dir;
  test::Lexicon lexicon;
};

// Numbers run from 1 to each table's count (one the source skips is empty); any non-zero flag is
// Hebrew; line feeds widen to carriage return and line feed, all within size - 1 bytes (a line
// end that no longer fits ends the text: 12 bytes hold "first line\n" but not its widening).
TEST_F(LexiconTest, LookupsFindEachTablesNumbersWithinTheBuffer) {
  // clang-format off
  const struct { std::uint16_t number; int hebrew; std::uint16_t size; const char* found; }
  cases[] = {
      {1, 1, 1000, "father"}, {1, 7, 1000, "father"}, {1, 0, 1000, "Alpha"}, {3, 1, 1000, ""},
      {2, 1, 1000, "first line\r\nsecond line\r\nthird line"}, {2, 0, 1000, ""},
      {4, 1, 1000, "four"}, {3, 0, 1000, "  7\r\nan indented number stays"},
      {5, 1, 1000, "<none>"}, {4, 0, 1000, "<none>"}, {0, 1, 1000, "<none>"},
      {0, 0, 1000, "<none>"}, {65535, 1, 1000, "<none>"},
      {1, 1, 4, "fat"}, {1, 1, 1, ""}, {1, 1, 0, "<none>"},
      {2, 1, 12, "first line"}, {2, 1, 13, "first line\r\n"}};
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(lookup(c.number, c.hebrew, c.size), c.found)
        << c.number << (c.hebrew ? " Hebrew" : " Greek") << " in " << c.size;
  // Handles share the file; no handle finds nothing.
  ASSERT_NE(test::Lexicon(initLexicon("LEXICON.LEX")), nullptr);
  EXPECT_EQ(lookup(1, 1), "father");
  EXPECT_EQ(initLexicon("absent.lex"), nullptr);
  EXPECT_EQ(initLexicon(nullptr), nullptr);
  lexicon.reset();
  EXPECT_EQ(lookup(1, 1), "<none>");
}

// Counts and indexes that do not lie within the file are refused at open; records outside it are
// not found, and the others still are.
TEST_F(LexiconTest, DamagedFilesAreRefusedOrFindNothing) {
  lexicon.reset();
  const std::string path = dir.file("lexicon.lex"), good = test::readFile(path);
  const auto* g = reinterpret_cast<const std::uint8_t*>(good.data());
  const std::uint32_t greekIndex = le::load32(g + 24), greekRecord = le::load32(g + greekIndex + 4);
  const auto size = static_cast<std::uint32_t>(good.size());
  // Faults as test::damage takes them.
  // clang-format off
  const struct { std::uint32_t offset, value; int width; bool opens; } cases[] = {
      {greekIndex + 8, 0, 0, false},  // cut in the Greek index
      {20, 60000, 2, false},          // a count past the file
      {24, 3, 4, false},              // an index in the header
      {16, 0xFFFFFFF0, 4, false},     // an index past the file
      {0, 16, 1, true},               // the label flipped
      {30 + 4 * 1, size, 4, true},    // Hebrew 1 past the end
      {30 + 4 * 2, 10, 4, true},      // Hebrew 2 in the header
      {greekRecord, 0xFFFF, 2, true}  // Greek 1 longer than the file
  };
  // clang-format on
  std::string bytes = good;
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    test::damage(path, bytes, c.offset, c.value, c.width);
    lexicon.reset(initLexicon("lexicon.lex"));
    EXPECT_EQ(lexicon != nullptr, c.opens);
    bytes = c.opens ? test::readFile(path) : good;  // the damage that opens adds up
    lexicon.reset();
  }
  lexicon.reset(initLexicon("lexicon.lex"));
  ASSERT_NE(lexicon, nullptr);
  EXPECT_EQ(lookup(1, 1) + lookup(2, 1) + lookup(1, 0) + lookup(4, 1), "<none><none><none>four");
}

TEST(LexiconSourceTest, RefusalsNameTheLineAndEntriesKeepTheirLines) {
  const struct {
    std::string source;
    char letter;
    const char* refusal;
  } cases[] = {
      {"H1\na\nH1\nb\n", 'H', "line 3: number 1 repeats line 1"},
      {"H5\na\nH3\nb\n", 'H', "line 3: number 3 comes after 5; numbers must ascend"},
      {"H1\na\nG2\nb\n", 'H', "line 3: G2 is not a Hebrew number"},
      {"H1\n", 'G', "line 1: H1 is not a Greek number"},
      {"\npreface\nH1\na\n", 'H', "line 2: text before the first entry number"},
      {"H0\na\n", 'H', "line 1: number 0 is outside 1 to 65535"},
      {"H65536\na\n", 'H', "line 1: number 65536 is outside 1 to 65535"},
      {"\n\n", 'H', "no entries (an entry starts with a line holding only its number)"},
      // A NUL inside a definition would be stored, and the definition read back cut at it.
      {std::string("H1\nfather\nH2\na\0b\n", 17), 'H', "line 4: a NUL byte"},
      {"H1\n" + std::string(32766, 'x') + "\n", 'H',
       "line 1: the definition of H1 is longer than 32765 bytes"},
  };
  for (const auto& c : cases) {
    std::string error;
    read(c.source, c.letter, &error);
    EXPECT_EQ(error, c.refusal);
  }
  const auto entries = read("\xEF\xBB\xBF\n00007  \n\n  indented\n\ninner blank\n\n\nh8\n", 'H');
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(std::vector<int>({entries[0].number, entries[0].line, entries[1].number}),
            std::vector<int>({7, 2, 8}));
  EXPECT_EQ(entries[0].definition + "|" + entries[1].definition, "  indented\n\ninner blank|");
}

TEST(LexiconWriterTest, AFailedWriteLeavesNoFile) {
  test::TempDir dir;
  std::string error;
  EXPECT_FALSE(import::writeLexicon(read("H1\na\n", 'H'), read("G1\nb\n", 'G'),
                                    dir.file("missing/out.lex"), error));
  EXPECT_NE(error.find("missing/out.lex"), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace vellum
