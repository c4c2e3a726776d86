// Covers the diagnostics: the log's entry texts, date stamps and appending, the aborting
// reporters, and the tagged allocator (block contents, totals, the live listing, and the damage
// reports it writes to the log).
#include "support/log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include "support/mshell/mshell.h"
#include "tests/support/fixtures.h"

namespace vellum {
namespace {

constexpr const char* kAssertion = "Assertion failed: 0, file mshell\\.c, line 686";

// Each test writes its log into a fresh directory of its own (death tests fork, so the child
// writes where the parent then reads).
class Diagnostics : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::current_path(dir_.path()); }
  void TearDown() override { std::filesystem::current_path(previous_); }

  // The log with each line's "month/day/years since 1900" stamp checked and removed.
  std::string logWithoutDates() const {
    static const std::regex stamp("(^|\n)([1-9]|1[0-2])/([1-9]|[12][0-9]|3[01])/1[0-9][0-9]:");
    return std::regex_replace(logText(), stamp, "$1:");
  }
  std::string logText() const { return test::readFile(dir_.file("messages.dbg")); }

  const std::filesystem::path previous_ = std::filesystem::current_path();
  test::TempDir dir_;
};

TEST_F(Diagnostics, LogStrlogAppendsDatedLines) {
  test::writeFile(dir_.file("messages.dbg"), "earlier run\n");
  _strlog("Cannot open module", "kjv.bib");
  _strlog("Start-up complete", nullptr);
  EXPECT_EQ(logWithoutDates(),
            "earlier run\n: Cannot open module  \"kjv.bib\"\n: Start-up complete\n");
}

TEST_F(Diagnostics, LogReportersLogTheirTextAndAbort) {
  EXPECT_EQ(_bounds(0, 3, "x.cpp", 1), 0);
  EXPECT_EQ(_bounds(2, 3, "x.cpp", 1), 2);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("messages.dbg")));  // inside: nothing logged
  EXPECT_DEATH(_bounds(3, 3, "verse.cpp", 42), "");
  EXPECT_DEATH(_bounds(-1, 10, "list.cpp", 7), "");
  EXPECT_DEATH(assert_print("%s failed in %s at %d\n", "read", "store.cpp", 99), "");
  EXPECT_EQ(logWithoutDates(),
            ": Bounds error: File: verse.cpp, Line: 42, i: 3, n: 3\n"
            ": Bounds error: File: list.cpp, Line: 7, i: -1, n: 10\n"
            ": read failed in store.cpp at 99\n");
}

TEST_F(Diagnostics, LogWithoutALogNothingIsWrittenButReportersStillAbort) {
  std::filesystem::create_directory(dir_.file("messages.dbg"));
  _strlog("lost", "quietly");  // must neither crash nor throw
  EXPECT_DEATH(_bounds(5, 1, "x.cpp", 1), "");
  EXPECT_DEATH(assert_print("%s%s%d\n", "a", "b", 1), "");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.file("messages.dbg")));
}

std::string listing() {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
  Mem_Display(out.get());
  std::rewind(out.get());
  std::string text;
  char chunk[256];
  while (std::size_t got = std::fread(chunk, 1, sizeof chunk, out.get())) text.append(chunk, got);
  return text;
}

TEST_F(Diagnostics, MemoryShellBlocksAreZeroedAlignedAndCountedInTheTotal) {
  auto* bytes = static_cast<unsigned char*>(mem_alloc(100, "a.cpp", 1));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % alignof(std::max_align_t), 0u);
  EXPECT_EQ(std::count(bytes, bytes + 100, 0), 100);
  EXPECT_EQ(Mem_Used(), 100u);
  std::memset(bytes, 0xFF, 100);           // every byte is the caller's
  void* empty = mem_alloc(0, "a.cpp", 2);  // valid, and costs nothing in the total
  ASSERT_NE(empty, nullptr);
  char* copy = mem_strdup("In the beginning", "a.cpp", 3);
  EXPECT_STREQ(copy, "In the beginning");
  EXPECT_EQ(Mem_Used(), 117u);
  mem_free(bytes, "a.cpp", 4);
  mem_free(empty, "a.cpp", 5);
  mem_free(copy, "a.cpp", 6);
  EXPECT_EQ(Mem_Used(), 0u);

  auto* text = static_cast<char*>(mem_alloc(5, "a.cpp", 1));
  std::memcpy(text, "abcd", 5);
  text = static_cast<char*>(mem_realloc(text, 4000, "b.cpp", 2));
  EXPECT_STREQ(text, "abcd");
  EXPECT_EQ(Mem_Used(), 4000u);
  std::memset(text + 5, 'x', 3995);  // the whole new size is the caller's
  text = static_cast<char*>(mem_realloc(text, 3, "c.cpp", 3));
  EXPECT_EQ(std::string(text, 3), "abc");
  EXPECT_EQ(listing(), "Index   Size  File(Line) - total size 3\n0          3  c.cpp(3)\n");
  mem_free(text, "a.cpp", 4);
}

TEST_F(Diagnostics, MemoryShellDisplayListsLiveBlocksNewestFirst) {
  void* first = mem_alloc(10, "a.cpp", 1);
  void* second = mem_alloc(20, "b.cpp", 2);
  void* third = mem_alloc(300000, "c.cpp", 3);
  EXPECT_EQ(listing(),
            "Index   Size  File(Line) - total size 300030\n"
            "0     300000  c.cpp(3)\n"
            "1         20  b.cpp(2)\n"
            "2         10  a.cpp(1)\n");
  mem_free(second, "x.cpp", 9);  // unlinking from the middle keeps the rest in order
  mem_free(third, "x.cpp", 9);   // and so does unlinking the newest
  EXPECT_EQ(listing(), "Index   Size  File(Line) - total size 10\n0         10  a.cpp(1)\n");
  mem_free(first, "x.cpp", 9);
  EXPECT_EQ(listing(), "Index   Size  File(Line) - total size 0\n");
  Mem_Display(nullptr);  // writes nothing, and must not fail
}

TEST_F(Diagnostics, MemoryShellWritesOutsideABlockAreBoundErrors) {
  void* older = mem_alloc(8, "keep.cpp", 10);
  auto* bytes = static_cast<char*>(mem_alloc(5, "five.cpp", 20));
  const char after = bytes[5], before = bytes[-1];
  bytes[5] = 'X';
  EXPECT_DEATH(mem_free(bytes, "free.cpp", 77), kAssertion);
  EXPECT_EQ(logText(),
            " Upper Bound Error - free.cpp(77)\n"
            "Index   Size  File(Line) - total size 13\n"
            "0          5  five.cpp(20)\n"
            "1          8  keep.cpp(10)\n");
  bytes[5] = after;  // the parent's copy was damaged too: mend it before freeing
  bytes[-1] = 'X';
  EXPECT_DEATH(mem_realloc(bytes, 32, "grow.cpp", 5), kAssertion);
  EXPECT_NE(logText().find(" Lower Bound Error - grow.cpp(5)"), std::string::npos);
  bytes[-1] = before;
  mem_free(bytes, "t.cpp", 1);
  mem_free(older, "t.cpp", 1);
}

TEST_F(Diagnostics, MemoryShellDamagedTagsSecondFreesAndForeignPointersAreTagErrors) {
  auto* bytes = static_cast<unsigned char*>(mem_alloc(4, "a.cpp", 1));
  // The tag opens the header; the header is padded so the caller's bytes are max-aligned.
  constexpr std::size_t kHeaderBytes = (8 + 3 * sizeof(void*) + 8 + alignof(std::max_align_t) - 1) /
                                       alignof(std::max_align_t) * alignof(std::max_align_t);
  unsigned char* tag = bytes - kHeaderBytes;
  tag[0] ^= 0xFF;
  EXPECT_DEATH(mem_free(bytes, "f.cpp", 3), kAssertion);
  EXPECT_EQ(logText(),
            " Memory Tag Error - f.cpp(3)\n"
            "Index   Size  File(Line) - total size 4\n"
            "0          4  a.cpp(1) INVALID\n");
  tag[0] ^= 0xFF;
  mem_free(bytes, "a.cpp", 2);
  EXPECT_DEATH(mem_free(bytes, "again.cpp", 3), kAssertion);
  EXPECT_NE(logText().find(" Memory Tag Error - again.cpp(3)\n"
                           "Index   Size  File(Line) - total size 0\n"),
            std::string::npos);
  EXPECT_DEATH(mem_free(nullptr, "null.cpp", 4), kAssertion);
  // A pointer that never came from here is recognised without reading the bytes before it.
  int onTheStack = 0;
  EXPECT_DEATH(mem_realloc(&onTheStack, 8, "stack.cpp", 5), kAssertion);
  auto heapBlock = std::make_unique<char[]>(64);
  EXPECT_DEATH(mem_free(heapBlock.get() + 32, "heap.cpp", 6), kAssertion);
  for (const char* where : {"null.cpp(4)", "stack.cpp(5)", "heap.cpp(6)"})
    EXPECT_NE(logText().find(std::string(" Memory Tag Error - ") + where), std::string::npos);
}

}  // namespace
}  // namespace vellum
