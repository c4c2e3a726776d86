// Covers the diagnostics log: entry texts, the date stamp, appending, and the aborting reporters.
#include "support/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "tests/support/fixtures.h"

namespace vellum {
namespace {

// Each test writes its log into a fresh directory of its own (death tests fork, so the child
// writes where the parent then reads).
class Log : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::current_path(dir_.path()); }
  void TearDown() override { std::filesystem::current_path(previous_); }

  // The log with each line's "month/day/years since 1900" stamp checked and removed.
  std::string logWithoutDates() const {
    static const std::regex stamp("(^|\n)([1-9]|1[0-2])/([1-9]|[12][0-9]|3[01])/1[0-9][0-9]:");
    return std::regex_replace(test::readFile(dir_.file("messages.dbg")), stamp, "$1:");
  }

  const std::filesystem::path previous_ = std::filesystem::current_path();
  test::TempDir dir_;
};

TEST_F(Log, StrlogAppendsDatedLines) {
  test::writeFile(dir_.file("messages.dbg"), "earlier run\n");
  _strlog("Cannot open module", "kjv.bib");
  _strlog("Start-up complete", nullptr);
  EXPECT_EQ(logWithoutDates(),
            "earlier run\n: Cannot open module  \"kjv.bib\"\n: Start-up complete\n");
}

TEST_F(Log, ReportersLogTheirTextAndAbort) {
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

TEST_F(Log, WithoutALogNothingIsWrittenButReportersStillAbort) {
  std::filesystem::create_directory(dir_.file("messages.dbg"));
  _strlog("lost", "quietly");  // must neither crash nor throw
  EXPECT_DEATH(_bounds(5, 1, "x.cpp", 1), "");
  EXPECT_DEATH(assert_print("%s%s%d\n", "a", "b", 1), "");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.file("messages.dbg")));
}

}  // namespace
}  // namespace vellum
