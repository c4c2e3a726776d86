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

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
using Table = std::unique_ptr<StrngTbl, decltype(&deinitStrngTbl)>;
using Bytes = std::vector<std::uint8_t>;

File fileWith(const Bytes& bytes = {}) {
  File file(std::tmpfile(), &std::fclose);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::fflush(file.get());
  return file;
}

Bytes fileBytes(std::FILE* f) {
  std::fseek(f, 0, SEEK_END);
  Bytes bytes(static_cast<std::size_t>(std::ftell(f)));
  std::fseek(f, 0, SEEK_SET);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
  return bytes;
}

Table create(std::FILE* f, const std::vector<const char*>& words) {
  return Table(createStrngTbl(f, words.data(), static_cast<std::uint16_t>(words.size())),
               &deinitStrngTbl);
}
Table create(std::FILE* f, const std::vector<std::string>& words) {
  std::vector<const char*> pointers;
  for (const auto& w : words) pointers.push_back(w.c_str());
  return create(f, pointers);
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
  for (int i = 0; i < 120; ++i)
    for (const char* stem : {"love", "Love", "LOVE", "glove", "loved", "beloved", "seeth", "teeth",
                             "eth", "Smith", "Smyth", "smite", "a", "A", "ab", "ba"})
      words.push_back(stem + (i ? std::to_string(i) : ""));
  return words;
}

TEST(StrngTbl, OrderingsAndLookupsOfTheLoveWords) {
  File f = fileWith();
  Table table = create(f.get(), std::vector<const char*>{"love", "glove", "Loved", "Love"});
  ASSERT_NE(table, nullptr);
  using Words = std::vector<std::string>;
  EXPECT_EQ(inOrdering(kByteOrder, table.get()), (Words{"Love", "Loved", "glove", "love"}));
  EXPECT_EQ(inOrdering(kReversed, table.get()), (Words{"Loved", "Love", "love", "glove"}));
  const Words caseBlind = inOrdering(kCaseBlind, table.get());
  EXPECT_EQ(caseBlind[0], "glove");
  EXPECT_EQ(caseBlind[3], "Loved");
  // Backwards and case-blind, "Love" and "glove" meet at 'L' against 'l' and tie.
  EXPECT_EQ(inOrdering(kReversedCaseBlind, table.get())[0], "Loved");
  const Words soundAlike = inOrdering(kSoundAlike, table.get());  // G410, L100 twice, L130
  EXPECT_EQ(soundAlike[0], "glove");
  EXPECT_EQ(soundAlike[3], "Loved");
  EXPECT_EQ(UniqueString("love", table.get()), 3);
  EXPECT_EQ(UniqueString("LOVE", table.get()), -1);
  EXPECT_EQ(wordNumberAt(0, kReversed, table.get()), 1);  // Loved
  EXPECT_EQ(GetAString(4, table.get()), "");
  EXPECT_EQ(wordAt(65535, kSoundAlike, table.get()), "");
  EXPECT_GE(wordNumberAt(4, kReversed, table.get()), 4);

  int found = 0;
  EXPECT_EQ(searchOrdering(&found, "Loved", kByteOrder, table.get()), 1);
  EXPECT_EQ(found, 1);
  const int position = searchOrdering(&found, "Lovea", kByteOrder, table.get());
  EXPECT_EQ(found, 0);
  EXPECT_LE(position, 1);  // beside Love and Loved
  searchOrdering(&found, "GLOVE", kCaseBlind, table.get());
  EXPECT_EQ(found, 1);
  // Equal words never compare 0 backwards, so a reversed search ends beside the word.
  const int reversed = searchOrdering(&found, "glove", kReversed, table.get());
  EXPECT_EQ(found, 0);
  EXPECT_TRUE(reversed >= 2 && reversed <= 4) << reversed;
}

TEST(StrngTbl, WrittenTableReopensWithEveryOrderingSortedAndComplete) {
  const std::vector<std::string> words = manyWords();
  File f = fileWith({'s', 'o', 'm', 'e'});
  std::fseek(f.get(), 4, SEEK_SET);
  Table written = create(f.get(), words);
  ASSERT_NE(written, nullptr);
  const Bytes bytes = fileBytes(f.get());
  EXPECT_EQ(le::load32(&bytes[4]), 0u);
  EXPECT_EQ(le::load32(&bytes[8]), kStrngTblChecksum);
  EXPECT_EQ(le::load32(&bytes[12]), 4u);  // hdrofs
  EXPECT_EQ(le::load32(&bytes[16]), 4u + 38u);

  Table reopened = openAt(f.get(), 4);
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(reopened->nWords, words.size());
  for (int ordering = kByteOrder; ordering <= kSoundAlike; ++ordering) {
    const auto listed = inOrdering(ordering, reopened.get());
    EXPECT_EQ(listed, inOrdering(ordering, written.get()));
    std::vector<int> seen(reopened->nWords, 0);
    for (std::uint16_t p = 0; p < reopened->nWords; ++p)
      ++seen[wordNumberAt(p, ordering, reopened.get())];
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), reopened->nWords) << ordering;
    for (std::size_t p = 1; p < listed.size(); ++p)
      ASSERT_LE(compareInOrdering(listed[p - 1].c_str(), listed[p].c_str(), ordering), 0)
          << "ordering " << ordering << ": " << listed[p - 1] << ", " << listed[p];
  }
  for (std::uint16_t w = 0; w < reopened->nWords; ++w)
    ASSERT_EQ(UniqueString(GetAString(w, reopened.get()).c_str(), reopened.get()), w);

  // The same words in any input order give the same bytes.
  File backward = fileWith({'s', 'o', 'm', 'e'});
  std::fseek(backward.get(), 4, SEEK_SET);
  ASSERT_NE(create(backward.get(), std::vector<std::string>(words.rbegin(), words.rend())),
            nullptr);
  EXPECT_EQ(fileBytes(backward.get()), bytes);
}

TEST(StrngTbl, RefusesBadWordListsAndHeadersWhoseAreasRunPastTheFile) {
  const std::string tooLong(255, 'x'), longest(254, 'x');
  for (const std::vector<const char*>& words : std::vector<std::vector<const char*>>{
           {"love", "glove", "love"}, {"love", ""}, {"love", tooLong.c_str()}, {"love", nullptr}}) {
    File f = fileWith();
    EXPECT_EQ(create(f.get(), words), nullptr);
    EXPECT_TRUE(fileBytes(f.get()).empty());
  }
  File f = fileWith();
  Table table = create(f.get(), std::vector<const char*>{"love", longest.c_str()});
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(GetAString(1, table.get()), longest);
  File empty = fileWith();
  Table none = create(empty.get(), std::vector<const char*>{});
  ASSERT_NE(none, nullptr);
  int found = 1;
  EXPECT_EQ(searchOrdering(&found, "any", kReversed, none.get()), 0);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(UniqueString("any", none.get()), -1);
  // A header whose areas run past the file is refused.
  const Bytes good = fileBytes(f.get());
  for (std::size_t field = 12; field <= 32; field += 4) {
    Bytes bytes = good;
    le::store32(&bytes[field], static_cast<std::uint32_t>(bytes.size() - 1));
    EXPECT_EQ(openAt(fileWith(bytes).get(), 0), nullptr) << "field at " << field;
  }
  Bytes bytes = good;
  le::store16(&bytes[36], 60000);  // more words than the file holds
  EXPECT_EQ(openAt(fileWith(bytes).get(), 0), nullptr);
  EXPECT_EQ(openAt(fileWith(Bytes(good.begin(), good.begin() + 37)).get(), 0), nullptr);
}

}  // namespace
}  // namespace vellum
