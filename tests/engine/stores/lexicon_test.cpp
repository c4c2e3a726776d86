// Strong's lexicon: the source reader and writer, lookups in both tables, buffer limits and
// damaged files.
#include "engine/stores/lexicon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
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

namespace fs = std::filesystem;
using import::LexiconEntry;

struct LexiconCloser {
  void operator()(LexiconHandle* l) const { deinitLexicon(l); }
};
using Lexicon = std::unique_ptr<LexiconHandle, LexiconCloser>;

constexpr const char* kHebrew =
    "H1\n"
    "father\n"
    "H2\n"
    "\n"
    "first line\n"
    "second line\n"
    "third line\n"
    "\n"
    "H4\n"
    "four, after a gap\n";
constexpr const char* kGreek =
    "1\r\n"
    "Alpha\r\n"
    "G3\r\n"
    "  7\r\n"
    "an indented number stays in the definition\r\n";

std::vector<LexiconEntry> read(const std::string& text, char letter, std::string* error = nullptr) {
  std::istringstream in(text);
  std::vector<LexiconEntry> entries;
  std::string message;
  const bool ok = import::readLexiconSource(in, letter, entries, message);
  if (error != nullptr) *error = ok ? "" : message;
  return entries;
}

std::string refusal(const std::string& text, char letter = 'H') {
  std::string error;
  read(text, letter, &error);
  return error;
}

class LexiconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(import::writeLexicon(read(kHebrew, 'H'), read(kGreek, 'G'),
                                     dir.file("lexicon.lex"), error))
        << error;
    set_dpath(dir.path().c_str());
    lexicon.reset(initLexicon("lexicon.lex"));
    ASSERT_NE(lexicon, nullptr);
  }
  std::string lookup(std::uint16_t number, int hebrew, std::uint16_t size = 1000) {
    std::vector<char> out(size, '#');
    std::uint16_t length = 999;
    if (lookupLexicon(out.data(), &length, size, number, hebrew, lexicon.get()) == nullptr) {
      EXPECT_EQ(length, 999) << "length changed on a miss";
      EXPECT_EQ(out[0], '#') << "buffer changed on a miss";
      return "<none>";
    }
    EXPECT_EQ(length, std::strlen(out.data()));
    return std::string(out.data(), length);
  }
  // Rewrites the file with a change and reopens it.
  LexiconHandle* reopenWith(const std::function<void(std::vector<std::uint8_t>&)>& damage) {
    lexicon.reset();
    std::vector<std::uint8_t> bytes;
    {
      std::ifstream in(dir.file("lexicon.lex"), std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    damage(bytes);
    std::ofstream(dir.file("lexicon.lex"), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    lexicon.reset(initLexicon("lexicon.lex"));
    return lexicon.get();
  }

  test::TempDir dir;
  Lexicon lexicon;
};

// --- Lookups ---

TEST_F(LexiconTest, HebrewAndGreekTablesDiffer) {
  EXPECT_EQ(lookup(1, 1), "father");
  EXPECT_EQ(lookup(1, 0), "Alpha");
  EXPECT_EQ(lookup(1, 7), "father") << "any non-zero flag is Hebrew";
}

TEST_F(LexiconTest, TheCountIsFoundAndNothingBeyondIt) {
  EXPECT_EQ(lookup(4, 1), "four, after a gap");
  EXPECT_EQ(lookup(5, 1), "<none>");
  EXPECT_EQ(lookup(3, 0), "  7\r\nan indented number stays in the definition");
  EXPECT_EQ(lookup(4, 0), "<none>");
  EXPECT_EQ(lookup(0, 1), "<none>");
  EXPECT_EQ(lookup(0, 0), "<none>");
  EXPECT_EQ(lookup(65535, 1), "<none>");
}

TEST_F(LexiconTest, AThreeLineDefinitionComesBackWithCarriageReturnLineFeeds) {
  EXPECT_EQ(lookup(2, 1), "first line\r\nsecond line\r\nthird line");
}

TEST_F(LexiconTest, NumbersTheSourceSkipsHaveEmptyDefinitions) {
  EXPECT_EQ(lookup(3, 1), "");
  EXPECT_EQ(lookup(2, 0), "");
}

TEST_F(LexiconTest, DefinitionsAreCutToTheBufferBeforeAndAfterWidening) {
  EXPECT_EQ(lookup(1, 1, 4), "fat");
  EXPECT_EQ(lookup(1, 1, 1), "");
  // 11 decoded bytes "first line\n" fit a 12-byte buffer; the widened line end would not.
  EXPECT_EQ(lookup(2, 1, 12), "first line");
  EXPECT_EQ(lookup(2, 1, 13), "first line\r\n");
  std::uint16_t length = 0;
  char out[1];
  EXPECT_EQ(lookupLexicon(out, &length, 0, 1, 1, lexicon.get()), nullptr);
}

TEST_F(LexiconTest, TwoHandlesShareTheFile) {
  Lexicon second(initLexicon("LEXICON.LEX"));
  ASSERT_NE(second, nullptr);
  char out[20];
  std::uint16_t length = 0;
  ASSERT_NE(lookupLexicon(out, &length, sizeof out, 1, 0, second.get()), nullptr);
  EXPECT_STREQ(out, "Alpha");
  second.reset();
  EXPECT_EQ(lookup(1, 1), "father");
}

TEST(LexiconMissingTest, AMissingFileGivesNoHandleAndNoHandleFindsNothing) {
  test::TempDir dir;
  set_dpath(dir.path().c_str());
  EXPECT_EQ(initLexicon("lexicon.lex"), nullptr);
  char out[10] = "x";
  std::uint16_t length = 3;
  EXPECT_EQ(lookupLexicon(out, &length, sizeof out, 1, 1, nullptr), nullptr);
  EXPECT_STREQ(out, "x");
  deinitLexicon(nullptr);
}

// --- Damaged files ---

TEST_F(LexiconTest, CountsAndIndexesBeyondTheFileAreRefusedAtOpen) {
  EXPECT_EQ(reopenWith([](auto& b) { b.resize(29); }), nullptr);
  EXPECT_EQ(reopenWith([](auto& b) { le::store16(b.data() + 20, 60000); }), nullptr);
  EXPECT_EQ(reopenWith([](auto& b) { le::store16(b.data() + 28, 60000); }), nullptr);
  EXPECT_EQ(reopenWith([](auto& b) { le::store32(b.data() + 16, 0xFFFFFFF0); }), nullptr);
  EXPECT_EQ(reopenWith([](auto& b) { le::store32(b.data() + 24, 3); }), nullptr);
}

TEST_F(LexiconTest, RecordsBeyondTheFileAreNotFound) {
  std::uint32_t size = 0;
  ASSERT_NE(reopenWith([&](auto& b) {
              size = static_cast<std::uint32_t>(b.size());
              le::store32(b.data() + 30 + 4 * 1, size);        // Hebrew 1 past the end
              le::store32(b.data() + 30 + 4 * 2, 10);          // Hebrew 2 inside the header
              const std::uint32_t greek = le::load32(b.data() + 24);
              const std::uint32_t record = le::load32(b.data() + greek + 4);
              le::store16(b.data() + record, 0xFFFF);          // Greek 1 longer than the file
            }),
            nullptr);
  EXPECT_EQ(lookup(1, 1), "<none>");
  EXPECT_EQ(lookup(2, 1), "<none>");
  EXPECT_EQ(lookup(1, 0), "<none>");
  EXPECT_EQ(lookup(4, 1), "four, after a gap");
}

TEST_F(LexiconTest, EveryCutOfTheFileOpensOrFailsCleanly) {
  const std::uint64_t full = fs::file_size(dir.file("lexicon.lex"));
  for (std::uint64_t keep = 0; keep < full; keep += 7) {
    if (LexiconHandle* cut = reopenWith([&](auto& b) { b.resize(keep); })) {
      char out[64];
      std::uint16_t length = 0;
      for (std::uint16_t n = 0; n < 6; ++n) {
        lookupLexicon(out, &length, sizeof out, n, 1, cut);
        lookupLexicon(out, &length, sizeof out, n, 0, cut);
      }
    }
    ASSERT_EQ(fs::file_size(dir.file("lexicon.lex")), keep);
    lexicon.reset();  // restore the whole file for the next cut
    std::string error;
    ASSERT_TRUE(import::writeLexicon(read(kHebrew, 'H'), read(kGreek, 'G'),
                                     dir.file("lexicon.lex"), error));
  }
}

// --- The source reader and the writer ---

TEST(LexiconSourceTest, RefusalsNameTheLine) {
  EXPECT_EQ(refusal("H1\na\nH1\nb\n"), "line 3: number 1 repeats line 1");
  EXPECT_EQ(refusal("H5\na\nH3\nb\n"), "line 3: number 3 comes after 5; numbers must ascend");
  EXPECT_EQ(refusal("H1\na\nG2\nb\n"), "line 3: G2 is not a Hebrew number");
  EXPECT_EQ(refusal("H1\n", 'G'), "line 1: H1 is not a Greek number");
  EXPECT_EQ(refusal("\npreface\nH1\na\n"), "line 2: text before the first entry number");
  EXPECT_EQ(refusal("H0\na\n"), "line 1: number 0 is outside 1 to 65535");
  EXPECT_EQ(refusal("H65536\na\n"), "line 1: number 65536 is outside 1 to 65535");
  EXPECT_EQ(refusal("\n\n"), "no entries (an entry starts with a line holding only its number)");
  // A NUL inside a definition was stored, and the definition read back cut at it.
  EXPECT_EQ(refusal(std::string("H1\nfather\nH2\na\0b\n", 17)), "line 4: a NUL byte");
  EXPECT_EQ(refusal("H1\n" + std::string(32766, 'x') + "\n"),
            "line 1: the definition of H1 is longer than 32765 bytes");
}

TEST(LexiconSourceTest, EntriesKeepTheirLinesAndDropSurroundingBlankLines) {
  const auto entries = read("\xEF\xBB\xBF\n00007  \n\n  indented\n\ninner blank\n\n\nh8\n", 'H');
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].number, 7);
  EXPECT_EQ(entries[0].line, 2);
  EXPECT_EQ(entries[0].definition, "  indented\n\ninner blank");
  EXPECT_EQ(entries[1].number, 8);
  EXPECT_EQ(entries[1].definition, "");
}

TEST(LexiconWriterTest, TheLayoutIsHeaderIndexesThenRecords) {
  test::TempDir dir;
  std::string error;
  ASSERT_TRUE(import::writeLexicon(read("H2\nxy\n", 'H'), read("G1\nz\n", 'G'),
                                   dir.file("out.lex"), error));
  std::ifstream in(dir.file("out.lex"), std::ios::binary);
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
  ASSERT_GE(b.size(), 30u);
  format::LexiconHeader h;
  ASSERT_TRUE(format::decodeLexiconHeader(b, h));
  EXPECT_EQ(h.hebrewIndexOffset, 30u);
  EXPECT_EQ(h.hebrewCount, 2);
  EXPECT_EQ(h.greekIndexOffset, 30u + 3 * 4);
  EXPECT_EQ(h.greekCount, 1);
  const std::uint32_t empty = 30 + 3 * 4 + 2 * 4;
  EXPECT_EQ(le::load32(b.data() + 30), empty);
  EXPECT_EQ(le::load32(b.data() + 34), empty) << "a number the source skips";
  EXPECT_EQ(le::load16(b.data() + empty), 0);
  EXPECT_EQ(le::load32(b.data() + 38), empty + 2);
  EXPECT_FALSE(fs::exists(dir.file("out.lex.tmp")));
}

TEST(LexiconWriterTest, AFailedWriteLeavesNoFile) {
  test::TempDir dir;
  std::string error;
  EXPECT_FALSE(import::writeLexicon(read("H1\na\n", 'H'), read("G1\nb\n", 'G'),
                                    dir.file("missing/out.lex"), error));
  EXPECT_NE(error.find("missing/out.lex"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace vellum
