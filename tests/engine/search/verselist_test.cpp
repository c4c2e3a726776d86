// Covers the verse-list merges (andOp, orOp, andNotOp), their capacity limits, posting-list
// reads from the word index, their union, and the per-call search reader.
#include "engine/search/verselist.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/bible/module_internal.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

using Entries = std::vector<std::uint16_t>;
constexpr std::uint16_t kEnd = kVerseListEnd, kCanary = 0xBEEF;

// The entries a call wrote, checked to be terminated right after its count and to leave the
// slot past its capacity alone.
template <typename Call>
Entries written(std::uint16_t capacity, Call call) {
  std::vector<std::uint16_t> out(capacity + 1u, kCanary);
  std::uint16_t n = 99;
  call(out.data(), &n, capacity);
  EXPECT_EQ(out[capacity], kCanary) << "wrote past capacity " << capacity;
  if (capacity == 0) {
    EXPECT_EQ(n, 0);
    return {};
  }
  EXPECT_EQ(out[n], kEnd) << "terminator missing after " << n << " entries";
  return Entries(out.begin(), out.begin() + n);
}

Entries merged(SetOperation op, Entries a, Entries b, std::uint16_t capacity = 16) {
  a.push_back(kEnd);
  b.push_back(kEnd);
  return written(capacity, [&](std::uint16_t* out, std::uint16_t* n, std::uint16_t c) {
    op(out, n, c, a.data(), b.data());
  });
}

TEST(Merges, EachMergeGivesItsSetWithinItsCapacity) {
  struct Case {
    SetOperation op;
    Entries a, b;
    std::uint16_t capacity;
    Entries result;
  };
  const Entries eight = {1, 2, 3, 4, 5, 6, 7, 8};
  const Case cases[] = {
      {andOp, {1, 3, 5, 7, 9}, {2, 3, 4, 7, 10}, 16, {3, 7}},
      {andOp, {1, 2, 3}, {}, 16, {}},
      {andOp, {}, {1, 2, 3}, 16, {}},
      {orOp, {1, 3, 5}, {2, 3, 6, 8}, 16, {1, 2, 3, 5, 6, 8}},
      {orOp, {1, 3, 5}, {1, 3, 5}, 16, {1, 3, 5}},
      {orOp, {}, {}, 16, {}},
      {orOp, {1, 40000, 2}, {1, 2}, 16, {1, 2}},  // a value at or above the end ends a list
      // andNotOp subtracts the first from the second; 5 and 9 lie past the first's last.
      {andNotOp, {2, 4}, {1, 2, 3, 4, 5, 9}, 16, {1, 3, 5, 9}},
      {andNotOp, {}, {1, 2, 9}, 16, {1, 2, 9}},
      {andNotOp, {1, 2}, {}, 16, {}},
      // At most capacity slots are written, the terminator included.
      {andOp, eight, eight, 5, {1, 2, 3, 4}},
      {orOp, eight, eight, 5, {1, 2, 3, 4}},
      {andNotOp, {}, eight, 5, {1, 2, 3, 4}},
      {andOp, eight, eight, 0, {}},
      {orOp, eight, eight, 0, {}},
      {andNotOp, {}, eight, 0, {}}};
  for (const Case& c : cases) EXPECT_EQ(merged(c.op, c.a, c.b, c.capacity), c.result);

  Entries evens, odds;
  for (std::uint16_t v = 0; v < 31200; ++v) (v % 2 == 0 ? evens : odds).push_back(v);
  const Entries all = merged(orOp, evens, odds, kVerseListCapacity);
  EXPECT_EQ(all.size(), 31199u);
  EXPECT_EQ(all.back(), 31198);
}

// A module with known posting lists: "alpha" in verses 0, 1, 3, 4; "beta" in 1, 2.
class PostingLists : public ::testing::Test {
 protected:
  void SetUp() override {
    test::buildModule(dir_.path(), "post.bib", "Posting Test",
                      "Genesis\t1\t1\talpha gamma\nGenesis\t1\t2\talpha beta\n"
                      "Genesis\t1\t3\tbeta\nGenesis\t1\t4\talpha\nGenesis\t1\t5\talpha delta\n");
    ASSERT_NE(module_ = test::openModule(dir_.path(), "post.bib"), nullptr);
  }
  void TearDown() override {
    module_.reset();
    set_dpath(".");
  }
  std::uint16_t word(const char* text) {
    return static_cast<std::uint16_t>(UniqueString(text, module_->stringTable.get()));
  }
  Entries posting(std::uint16_t word, std::uint16_t capacity = kVerseListCapacity) {
    return written(capacity, [&](std::uint16_t* out, std::uint16_t* n, std::uint16_t c) {
      readPostingList(out, n, c, word, module_.get());
    });
  }
  Entries united(const std::uint16_t* words, std::uint16_t count, std::uint16_t capacity = 100) {
    return written(capacity, [&](std::uint16_t* out, std::uint16_t* n, std::uint16_t c) {
      unionPostingLists(out, n, c, words, count, module_.get());
    });
  }

  test::TempDir dir_;
  test::Module module_;
};

TEST_F(PostingLists, ReadAndJoinWithinCapacityAndDamagedListsFindNothing) {
  EXPECT_EQ(posting(word("alpha")), (Entries{0, 1, 3, 4}));
  EXPECT_EQ(posting(word("alpha"), 3), (Entries{0, 1}));
  EXPECT_EQ(posting(60000), Entries{});  // a word outside the table
  const std::uint16_t words[] = {word("beta"), word("alpha")};
  EXPECT_EQ(united(words, 2), (Entries{0, 1, 2, 3, 4}));
  EXPECT_EQ(united(words, 1), (Entries{1, 2}));
  EXPECT_EQ(united(words, 0), Entries{});
  EXPECT_EQ(united(words, 2, 3), (Entries{0, 1}));  // the smallest verses
  // A damaged list finds nothing.
  const std::uint16_t alpha = word("alpha");
  const std::string path = dir_.file("post.bib");
  const std::string pristine = test::readFile(path);
  const std::uint64_t slot = module_->header.wordIndexOffset + 4ull * alpha;
  const std::uint32_t list = le::load32(reinterpret_cast<const std::uint8_t*>(&pristine[slot]));
  module_.reset();
  const std::pair<const char*, std::string> damages[] = {
      {"entries out of order", pristine.substr(0, list + 2) + std::string("\3\0\1\0", 4)},
      {"verse past the module", pristine.substr(0, list + 2) + "\xFF\x7F"},
      {"count past the file", pristine.substr(0, list) + "\xFF\xFF"},
      {"offset past the file", pristine.substr(0, slot) + "\xFF\xFF\xFF\x7F"}};
  for (const auto& [what, start] : damages) {
    test::writeFile(path, start + pristine.substr(start.size()));
    ASSERT_NE(module_ = test::openModule(dir_.path(), "post.bib"), nullptr) << what;
    EXPECT_EQ(posting(alpha), Entries{}) << what;
  }
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
    for (const char* key : {"alpha", "delta", "gamma", "zzz", "a", "ALPHA", "*ta"}) {
      int found1 = 0, found2 = 0;
      EXPECT_EQ(reader.searchOrdering(&found1, key, ordering),
                searchOrdering(&found2, key, ordering, table));
      EXPECT_EQ(found1, found2);
    }
  }
}

}  // namespace
}  // namespace vellum
