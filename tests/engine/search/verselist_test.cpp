// Covers the verse-list merges (andOp, orOp, andNotOp), their capacity limits, posting-list
// reads from the word index, their union, and the per-call search reader.
#include "engine/search/verselist.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "engine/bible/module_internal.h"
#include "support/files.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

constexpr std::uint16_t kEnd = kVerseListEnd;
constexpr std::uint16_t kCanary = 0xBEEF;

std::vector<std::uint16_t> list(std::vector<std::uint16_t> entries) {
  entries.push_back(kEnd);
  return entries;
}

// The entries of a result, checked to be terminated right after its count.
std::vector<std::uint16_t> entries(const std::uint16_t* out, std::uint16_t count) {
  EXPECT_EQ(out[count], kEnd) << "terminator missing after " << count << " entries";
  return std::vector<std::uint16_t>(out, out + count);
}

using Entries = std::vector<std::uint16_t>;

TEST(Merges, AndOpKeepsCommonVerses) {
  auto a = list({1, 3, 5, 7, 9});
  auto b = list({2, 3, 4, 7, 10});
  std::vector<std::uint16_t> out(16, kCanary);
  std::uint16_t n = 99;
  EXPECT_EQ(andOp(out.data(), &n, 16, a.data(), b.data()), out.data());
  EXPECT_EQ(entries(out.data(), n), (Entries{3, 7}));
}

TEST(Merges, AnyListAndEmptyIsEmpty) {
  auto a = list({1, 2, 3});
  auto empty = list({});
  std::vector<std::uint16_t> out(8, kCanary);
  std::uint16_t n = 99;
  andOp(out.data(), &n, 8, a.data(), empty.data());
  EXPECT_EQ(n, 0);
  EXPECT_EQ(out[0], kEnd);
  andOp(out.data(), &n, 8, empty.data(), a.data());
  EXPECT_EQ(n, 0);
}

TEST(Merges, OrOpJoinsEachVerseOnce) {
  auto a = list({1, 3, 5});
  auto b = list({2, 3, 6, 8});
  std::vector<std::uint16_t> out(16, kCanary);
  std::uint16_t n = 0;
  orOp(out.data(), &n, 16, a.data(), b.data());
  EXPECT_EQ(entries(out.data(), n), (Entries{1, 2, 3, 5, 6, 8}));
  orOp(out.data(), &n, 16, a.data(), a.data());
  EXPECT_EQ(entries(out.data(), n), (Entries{1, 3, 5}));
  auto empty = list({});
  orOp(out.data(), &n, 16, empty.data(), empty.data());
  EXPECT_EQ(n, 0);
  EXPECT_EQ(out[0], kEnd);
}

TEST(Merges, AndNotOpSubtractsTheFirstFromTheSecond) {
  auto subtract = list({2, 4});
  auto from = list({1, 2, 3, 4, 5, 9});
  std::vector<std::uint16_t> out(16, kCanary);
  std::uint16_t n = 0;
  andNotOp(out.data(), &n, 16, subtract.data(), from.data());
  EXPECT_EQ(entries(out.data(), n), (Entries{1, 3, 5, 9}));  // 5 and 9 lie past the last of first
  auto empty = list({});
  andNotOp(out.data(), &n, 16, empty.data(), from.data());
  EXPECT_EQ(entries(out.data(), n), (Entries{1, 2, 3, 4, 5, 9}));
  andNotOp(out.data(), &n, 16, from.data(), empty.data());
  EXPECT_EQ(n, 0);
}

// Every merge writes at most capacity slots, the terminator included.
TEST(MergeCapacity, NoMergeWritesPastItsCapacity) {
  auto a = list({1, 2, 3, 4, 5, 6, 7, 8});
  auto b = list({1, 2, 3, 4, 5, 6, 7, 8});
  auto none = list({});
  for (SetOperation op : {andOp, orOp}) {
    std::vector<std::uint16_t> out(8, kCanary);
    std::uint16_t n = 0;
    op(out.data(), &n, 5, a.data(), b.data());
    EXPECT_EQ(entries(out.data(), n), (Entries{1, 2, 3, 4}));
    EXPECT_EQ(out[5], kCanary);
  }
  std::vector<std::uint16_t> out(8, kCanary);
  std::uint16_t n = 0;
  andNotOp(out.data(), &n, 5, none.data(), a.data());
  EXPECT_EQ(entries(out.data(), n), (Entries{1, 2, 3, 4}));
  EXPECT_EQ(out[5], kCanary);
}

TEST(MergeCapacity, ZeroCapacityWritesNothing) {
  auto a = list({1, 2});
  std::uint16_t slot = kCanary;
  std::uint16_t n = 7;
  for (SetOperation op : {andOp, orOp, andNotOp}) {
    op(&slot, &n, 0, a.data(), a.data());
    EXPECT_EQ(n, 0);
    EXPECT_EQ(slot, kCanary);
  }
}

TEST(MergeCapacity, OrOpOfLargeDisjointListsStopsAt31199) {
  std::vector<std::uint16_t> evens, odds;
  for (std::uint16_t v = 0; v < 31200; ++v) (v % 2 == 0 ? evens : odds).push_back(v);
  auto a = list(evens);
  auto b = list(odds);
  std::vector<std::uint16_t> out(kVerseListCapacity + 1, kCanary);
  std::uint16_t n = 0;
  orOp(out.data(), &n, kVerseListCapacity, a.data(), b.data());
  EXPECT_EQ(n, 31199);
  EXPECT_EQ(out[31199], kEnd);
  EXPECT_EQ(out[31198], 31198);
  EXPECT_EQ(out[31200], kCanary);
}

// A stray value at or above the terminator ends a list instead of being merged past.
TEST(MergeCapacity, LargeValueEndsAList) {
  std::vector<std::uint16_t> a = {1, 40000, 2, kEnd};
  auto b = list({1, 2});
  std::vector<std::uint16_t> out(8, kCanary);
  std::uint16_t n = 0;
  orOp(out.data(), &n, 8, a.data(), b.data());
  EXPECT_EQ(entries(out.data(), n), (Entries{1, 2}));
}

// A module with known posting lists: "alpha" in verses 0, 1, 3, 4; "beta" in 1, 2.
class PostingLists : public ::testing::Test {
 protected:
  void SetUp() override {
    test::buildModule(dir_.path(), "post.bib", "Posting Test",
                      "Genesis\t1\t1\talpha gamma\n"
                      "Genesis\t1\t2\talpha beta\n"
                      "Genesis\t1\t3\tbeta\n"
                      "Genesis\t1\t4\talpha\n"
                      "Genesis\t1\t5\talpha delta\n");
    module_ = test::openModule(dir_.path(), "post.bib");
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    module_.reset();
    set_dpath(".");
  }
  std::uint16_t word(const char* text) {
    const int number = UniqueString(text, module_->stringTable.get());
    EXPECT_GE(number, 0) << text;
    return static_cast<std::uint16_t>(number);
  }

  test::TempDir dir_;
  test::Module module_;
};

TEST_F(PostingLists, ReadsAWordsVerses) {
  std::vector<std::uint16_t> out(kVerseListCapacity, kCanary);
  std::uint16_t n = 0;
  readPostingList(out.data(), &n, kVerseListCapacity, word("alpha"), module_.get());
  EXPECT_EQ(entries(out.data(), n), (Entries{0, 1, 3, 4}));
}

TEST_F(PostingLists, KeepsCapacityLessOneEntries) {
  std::vector<std::uint16_t> out(8, kCanary);
  std::uint16_t n = 0;
  readPostingList(out.data(), &n, 3, word("alpha"), module_.get());
  EXPECT_EQ(entries(out.data(), n), (Entries{0, 1}));
  EXPECT_EQ(out[3], kCanary);
}

TEST_F(PostingLists, WordOutsideTheTableIsEmpty) {
  std::vector<std::uint16_t> out(8, kCanary);
  std::uint16_t n = 5;
  readPostingList(out.data(), &n, 8, 60000, module_.get());
  EXPECT_EQ(n, 0);
  EXPECT_EQ(out[0], kEnd);
}

TEST_F(PostingLists, UnionJoinsTheWords) {
  std::vector<std::uint16_t> out(kVerseListCapacity, kCanary);
  std::uint16_t n = 0;
  const std::uint16_t words[] = {word("beta"), word("alpha")};
  unionPostingLists(out.data(), &n, kVerseListCapacity, words, 2, module_.get());
  EXPECT_EQ(entries(out.data(), n), (Entries{0, 1, 2, 3, 4}));
  unionPostingLists(out.data(), &n, kVerseListCapacity, words, 1, module_.get());
  EXPECT_EQ(entries(out.data(), n), (Entries{1, 2}));
  unionPostingLists(out.data(), &n, kVerseListCapacity, words, 0, module_.get());
  EXPECT_EQ(n, 0);
  EXPECT_EQ(out[0], kEnd);
  // A small capacity keeps the smallest verses and leaves the next slot alone.
  std::vector<std::uint16_t> small(6, kCanary);
  unionPostingLists(small.data(), &n, 3, words, 2, module_.get());
  EXPECT_EQ(entries(small.data(), n), (Entries{0, 1}));
  EXPECT_EQ(small[3], kCanary);
}

// The reader's cached string-table functions answer exactly as the table's own.
TEST_F(PostingLists, ReaderAgreesWithTheStringTable) {
  StrngTbl* table = module_->stringTable.get();
  SearchReader reader(module_.get());
  for (int ordering = 0; ordering <= 4; ++ordering) {
    for (std::uint16_t p = 0; p <= table->nWords; ++p) {
      EXPECT_EQ(reader.wordNumberAt(p, ordering), wordNumberAt(p, ordering, table));
      EXPECT_EQ(reader.wordAt(p, ordering), wordAt(p, ordering, table));
    }
    for (const char* key : {"alpha", "beta", "delta", "gamma", "zzz", "a", "ALPHA", "*ta"}) {
      int found1 = 0, found2 = 0;
      EXPECT_EQ(reader.searchOrdering(&found1, key, ordering),
                searchOrdering(&found2, key, ordering, table));
      EXPECT_EQ(found1, found2);
    }
  }
}

// Rewrites bytes of the module file at an offset.
void patch(const std::string& path, std::uint64_t offset, std::vector<std::uint8_t> bytes) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST_F(PostingLists, DamagedPostingListsFindNothing) {
  const std::uint16_t alpha = word("alpha");
  const std::string path = dir_.file("post.bib");
  const std::uint64_t slot = module_->header.wordIndexOffset + 4ull * alpha;
  std::uint8_t offsetBytes[4];
  ASSERT_TRUE(readAt(module_->stream.get(), module_->fileSize, slot, offsetBytes));
  const std::uint32_t listOffset = le::load32(offsetBytes);
  module_.reset();

  struct Damage {
    const char* what;
    std::uint64_t offset;
    std::vector<std::uint8_t> bytes;
  };
  const Damage damages[] = {
      {"entries out of order", listOffset + 2, {3, 0, 1, 0}},
      {"verse past the module", listOffset + 2, {0xFF, 0x7F}},
      {"count past the file", listOffset, {0xFF, 0xFF}},
      {"offset past the file", slot, {0xFF, 0xFF, 0xFF, 0x7F}},
  };
  std::ifstream original(path, std::ios::binary);
  const std::vector<char> pristine((std::istreambuf_iterator<char>(original)), {});
  original.close();
  for (const Damage& damage : damages) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(pristine.data(), static_cast<std::streamsize>(pristine.size()));
    patch(path, damage.offset, damage.bytes);
    test::Module damaged = test::openModule(dir_.path(), "post.bib");
    ASSERT_NE(damaged, nullptr) << damage.what;
    std::vector<std::uint16_t> out(kVerseListCapacity, kCanary);
    std::uint16_t n = 9;
    readPostingList(out.data(), &n, kVerseListCapacity, alpha, damaged.get());
    EXPECT_EQ(n, 0) << damage.what;
    EXPECT_EQ(out[0], kEnd) << damage.what;
  }
}

}  // namespace
}  // namespace vellum
