// Word string table: writing, reopening, the five orderings, lookups, refusals and damage.
#include "engine/bible/strngtbl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/endian.h"
#include "support/strings.h"

namespace vellum {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
using Table = std::unique_ptr<StrngTbl, decltype(&deinitStrngTbl)>;

File scratchFile() {
  File file(std::tmpfile());
  EXPECT_NE(file, nullptr);
  return file;
}

std::vector<std::uint8_t> fileBytes(std::FILE* f) {
  std::fseek(f, 0, SEEK_END);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::ftell(f)));
  std::fseek(f, 0, SEEK_SET);
  if (!bytes.empty()) {
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
  }
  return bytes;
}

File fileWith(const std::vector<std::uint8_t>& bytes) {
  File file = scratchFile();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::fflush(file.get());
  return file;
}

Table create(std::FILE* f, const std::vector<const char*>& words) {
  return Table(createStrngTbl(f, words.data(), static_cast<std::uint16_t>(words.size())),
               &deinitStrngTbl);
}

Table openAt(std::FILE* f, long offset) {
  std::fseek(f, offset, SEEK_SET);
  return Table(initStrngTbl(f), &deinitStrngTbl);
}

std::vector<std::string> inOrdering(int ordering, StrngTbl* table) {
  std::vector<std::string> words;
  for (std::uint16_t p = 0; p < table->nWords; ++p) words.push_back(wordAt(p, ordering, table));
  return words;
}

// Distinct words with shared prefixes, suffixes, letter cases and sound-alike codes.
std::vector<std::string> manyWords() {
  std::vector<std::string> words;
  const char* stems[] = {"love",    "Love",  "LOVE",  "glove", "loved", "Loved",
                         "beloved", "seeth", "teeth", "eth",   "Smith", "Smyth",
                         "smite",   "a",     "A",     "ab",    "ba"};
  for (int i = 0; i < 120; ++i)
    for (const char* stem : stems)
      words.push_back(std::string(stem) + (i ? std::to_string(i) : ""));
  for (int i = 0; i < 200; ++i) words.push_back(std::to_string(i) + "x" + std::string(i % 7, 'q'));
  return words;
}

TEST(StrngTbl, OrderingsOfTheLoveWords) {
  File f = scratchFile();
  Table table = create(f.get(), {"love", "glove", "Loved", "Love"});
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(inOrdering(kByteOrder, table.get()),
            (std::vector<std::string>{"Love", "Loved", "glove", "love"}));
  EXPECT_EQ(inOrdering(kReversed, table.get()),
            (std::vector<std::string>{"Loved", "Love", "love", "glove"}));
  auto caseBlind = inOrdering(kCaseBlind, table.get());
  EXPECT_EQ(caseBlind[0], "glove");
  EXPECT_EQ(_stricmp(caseBlind[1].c_str(), caseBlind[2].c_str()), 0);
  EXPECT_EQ(caseBlind[3], "Loved");
  auto reversedCaseBlind = inOrdering(kReversedCaseBlind, table.get());
  // Backwards, case-blind, "Love" and "glove" meet at 'L' against 'l' and tie; only the first
  // place is fixed.
  EXPECT_EQ(reversedCaseBlind[0], "Loved");
  auto soundAlike = inOrdering(kSoundAlike, table.get());  // G410, L100 twice, L130
  EXPECT_EQ(soundAlike[0], "glove");
  EXPECT_EQ(soundAlike[3], "Loved");

  EXPECT_EQ(UniqueString("love", table.get()), 3);
  EXPECT_EQ(UniqueString("Love", table.get()), 0);
  EXPECT_EQ(UniqueString("LOVE", table.get()), -1);
  EXPECT_EQ(wordNumberAt(0, kReversed, table.get()), 1);  // Loved
}

TEST(StrngTbl, ReopenedTableGivesTheSameWordsAndHeader) {
  File f = scratchFile();
  std::fputs("some bytes before the table", f.get());
  const long hdrofs = std::ftell(f.get());
  auto words = manyWords();
  std::vector<const char*> pointers;
  for (const auto& w : words) pointers.push_back(w.c_str());
  Table written = create(f.get(), pointers);
  ASSERT_NE(written, nullptr);
  const long end = std::ftell(f.get());

  auto bytes = fileBytes(f.get());
  EXPECT_EQ(static_cast<long>(bytes.size()), end);  // left at the table's end
  EXPECT_EQ(le::load32(&bytes[hdrofs]), 0u);
  EXPECT_EQ(le::load32(&bytes[hdrofs + 4]), kStrngTblChecksum);
  EXPECT_EQ(le::load32(&bytes[hdrofs + 8]), static_cast<std::uint32_t>(hdrofs));
  EXPECT_EQ(le::load32(&bytes[hdrofs + 12]), static_cast<std::uint32_t>(hdrofs + 38));

  Table reopened = openAt(f.get(), hdrofs);
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(reopened->nWords, words.size());
  EXPECT_EQ(reopened->hdrofs, static_cast<std::uint32_t>(hdrofs));
  for (int ordering = kByteOrder; ordering <= kSoundAlike; ++ordering)
    EXPECT_EQ(inOrdering(ordering, reopened.get()), inOrdering(ordering, written.get()));
  for (std::uint16_t w = 0; w < reopened->nWords; ++w)
    ASSERT_EQ(UniqueString(GetAString(w, reopened.get()).c_str(), reopened.get()), w);
}

TEST(StrngTbl, EveryOrderingIsSortedAndHoldsEveryWordOnce) {
  File f = scratchFile();
  auto words = manyWords();
  std::vector<const char*> pointers;
  for (const auto& w : words) pointers.push_back(w.c_str());
  Table table = create(f.get(), pointers);
  ASSERT_NE(table, nullptr);
  for (int ordering = kByteOrder; ordering <= kSoundAlike; ++ordering) {
    std::vector<int> seen(table->nWords, 0);
    auto listed = inOrdering(ordering, table.get());
    for (std::uint16_t p = 0; p < table->nWords; ++p)
      ++seen[wordNumberAt(p, ordering, table.get())];
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), table->nWords) << "ordering " << ordering;
    for (std::size_t p = 1; p < listed.size(); ++p)
      ASSERT_LE(compareInOrdering(listed[p - 1].c_str(), listed[p].c_str(), ordering), 0)
          << "ordering " << ordering << " at " << p << ": " << listed[p - 1] << ", " << listed[p];
  }
}

TEST(StrngTbl, SameWordsInAnyInputOrderGiveTheSameFile) {
  auto words = manyWords();
  std::vector<const char*> forward, backward;
  for (const auto& w : words) forward.push_back(w.c_str());
  backward.assign(forward.rbegin(), forward.rend());
  File a = scratchFile(), b = scratchFile();
  ASSERT_NE(create(a.get(), forward), nullptr);
  ASSERT_NE(create(b.get(), backward), nullptr);
  EXPECT_EQ(fileBytes(a.get()), fileBytes(b.get()));
}

TEST(StrngTbl, SearchFindsKeysAndLandsNextToAbsentOnes) {
  File f = scratchFile();
  Table table = create(f.get(), {"apple", "banana", "cherry", "damson", "elder", "fig", "grape"});
  ASSERT_NE(table, nullptr);
  int found = 0;
  EXPECT_EQ(searchOrdering(&found, "fig", kByteOrder, table.get()), 5);
  EXPECT_EQ(found, 1);
  const int position = searchOrdering(&found, "coconut", kByteOrder, table.get());
  EXPECT_EQ(found, 0);
  EXPECT_TRUE(position == 2 || position == 3) << position;  // between cherry and damson
  searchOrdering(&found, "CHERRY", kCaseBlind, table.get());
  EXPECT_EQ(found, 1);
  // Equal words never compare 0 backwards, so a reversed search ends beside the word.
  const int reversed = searchOrdering(&found, "grape", kReversed, table.get());
  EXPECT_EQ(found, 0);
  bool besideIt = false;
  for (int p = std::max(0, reversed - 1); p <= std::min(6, reversed + 1); ++p)
    besideIt |= wordAt(static_cast<std::uint16_t>(p), kReversed, table.get()) == "grape";
  EXPECT_TRUE(besideIt);
}

TEST(StrngTbl, EmptyTableAndOutOfRangePositions) {
  File f = scratchFile();
  Table table = create(f.get(), {});
  ASSERT_NE(table, nullptr);
  int found = 1;
  EXPECT_EQ(searchOrdering(&found, "any", kReversed, table.get()), 0);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(UniqueString("any", table.get()), -1);
  EXPECT_EQ(GetAString(0, table.get()), "");

  File g = scratchFile();
  Table two = create(g.get(), {"one", "two"});
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(GetAString(2, two.get()), "");
  EXPECT_EQ(wordAt(65535, kSoundAlike, two.get()), "");
  EXPECT_GE(wordNumberAt(2, kReversed, two.get()), two->nWords);
}

TEST(StrngTbl, RefusesBadWordListsAndWritesNothing) {
  const std::string tooLong(255, 'x');
  const std::string longest(254, 'x');
  const std::vector<std::vector<const char*>> refused = {
      {"love", "glove", "love"}, {"love", ""}, {"love", tooLong.c_str()}, {"love", nullptr}};
  for (const auto& words : refused) {
    File f = scratchFile();
    EXPECT_EQ(create(f.get(), words), nullptr);
    EXPECT_TRUE(fileBytes(f.get()).empty());
  }
  File f = scratchFile();
  Table table = create(f.get(), {"love", longest.c_str(), "LOVE"});
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(GetAString(2, table.get()), longest);
}

TEST(StrngTbl, RefusesHeadersWhoseAreasRunPastTheFile) {
  File f = scratchFile();
  Table table = create(f.get(), {"in", "the", "beginning"});
  ASSERT_NE(table, nullptr);
  const auto good = fileBytes(f.get());
  for (std::size_t field = 12; field <= 32; field += 4) {
    auto bytes = good;
    le::store32(&bytes[field], static_cast<std::uint32_t>(bytes.size() - 1));
    File damaged = fileWith(bytes);
    EXPECT_EQ(openAt(damaged.get(), 0), nullptr) << "field at " << field;
  }
  auto bytes = good;
  le::store16(&bytes[36], 60000);
  File damaged = fileWith(bytes);
  EXPECT_EQ(openAt(damaged.get(), 0), nullptr);
  File shortFile = fileWith(std::vector<std::uint8_t>(good.begin(), good.begin() + 37));
  EXPECT_EQ(openAt(shortFile.get(), 0), nullptr);
}

// Every cut and every flipped byte of a small table either is refused or reads in bounds
// (the sanitizer build catches any read outside the buffers).
TEST(StrngTbl, DamagedTablesStayInBounds) {
  File f = scratchFile();
  Table table = create(f.get(), {"Love", "love", "Loved", "glove", "seeth", "teeth", "a"});
  ASSERT_NE(table, nullptr);
  const auto good = fileBytes(f.get());
  auto exercise = [](StrngTbl* t) {
    for (int ordering = kByteOrder; ordering <= kSoundAlike; ++ordering) {
      for (std::uint16_t p = 0; p <= t->nWords && p < 300; ++p) {
        EXPECT_LE(wordAt(p, ordering, t).size(), 254u);
      }
      int found = 0;
      searchOrdering(&found, "love", ordering, t);
    }
  };
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    File damaged = fileWith(std::vector<std::uint8_t>(good.begin(), good.begin() + cut));
    if (Table t = openAt(damaged.get(), 0)) exercise(t.get());
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (std::uint8_t mask : {0x01, 0x80, 0xFF}) {
      auto bytes = good;
      bytes[at] ^= mask;
      File damaged = fileWith(bytes);
      if (Table t = openAt(damaged.get(), 0)) exercise(t.get());
    }
  }
}

}  // namespace
}  // namespace vellum
