// Covers the diagnostics log: entry texts, the date stamp, appending, and the aborting reporters.
#include "support/log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/fixtures.h"

namespace vellum {
namespace {

// The numbers of a "month/day/years" stamp; empty unless it has three numbers without
// leading zeros.
std::vector<int> dateParts(std::string_view text) {
  std::vector<int> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = text.find('/', start);
    const std::string_view part = text.substr(start, slash - start);
    if (part.empty() || part.size() > 3 || part[0] == '0' ||
        part.find_first_not_of("0123456789") != std::string_view::npos) {
      return {};
    }
    parts.push_back(std::stoi(std::string(part)));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return parts.size() == 3 ? parts : std::vector<int>{};
}

bool isDateStamp(std::string_view text) { return !dateParts(text).empty(); }

// Each test writes its log into a fresh directory of its own (death tests fork, so the child
// writes where the parent then reads).
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  std::string logText() const {
    std::ifstream in(dir_.file("messages.dbg"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // The log with each line's date stamp checked and removed.
  std::string logWithoutDates() const {
    std::istringstream lines(logText());
    std::string line;
    std::string result;
    while (std::getline(lines, line)) {
      const std::size_t colon = line.find(':');
      if (colon != std::string::npos && isDateStamp(line.substr(0, colon))) line.erase(0, colon);
      result += line + "\n";
    }
    return result;
  }

  test::TempDir dir_;
  std::filesystem::path previous_;
};

TEST_F(LogTest, DateStampIsMonthDayAndYearsSince1900) {
  char date[32];
  formatLogDate(date);
  ASSERT_TRUE(isDateStamp(date)) << date;
  const std::vector<int> parts = dateParts(date);
  EXPECT_GE(parts[0], 1);
  EXPECT_LE(parts[0], 12);
  EXPECT_GE(parts[1], 1);
  EXPECT_LE(parts[1], 31);
  EXPECT_GE(parts[2], 100);  // every year since 2000 shows three digits
}

TEST_F(LogTest, StrlogWritesDatedLinesAndAppends) {
  _strlog("Cannot open module", "kjv.bib");
  _strlog("Start-up complete", nullptr);

  char date[32];
  formatLogDate(date);
  EXPECT_EQ(logText().substr(0, std::string(date).size() + 1), std::string(date) + ":");
  EXPECT_EQ(logWithoutDates(), ": Cannot open module  \"kjv.bib\"\n: Start-up complete\n");
}

TEST_F(LogTest, StrlogNeverTruncatesAnEarlierLog) {
  { std::ofstream(dir_.file("messages.dbg")) << "earlier run\n"; }
  _strlog("again", nullptr);
  EXPECT_EQ(logWithoutDates(), "earlier run\n: again\n");
}

TEST_F(LogTest, StrlogWithoutALogWritesNothing) {
  std::filesystem::create_directory(dir_.file("messages.dbg"));
  _strlog("lost", "quietly");  // must neither crash nor throw
  EXPECT_TRUE(std::filesystem::is_directory(dir_.file("messages.dbg")));
}

TEST_F(LogTest, BoundsReturnsIndexInsideTheRangeAndLogsNothing) {
  EXPECT_EQ(_bounds(0, 3, "x.cpp", 1), 0);
  EXPECT_EQ(_bounds(2, 3, "x.cpp", 1), 2);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("messages.dbg")));
}

TEST_F(LogTest, BoundsAtCountLogsAndAborts) {
  EXPECT_DEATH(_bounds(3, 3, "verse.cpp", 42), "");
  EXPECT_EQ(logWithoutDates(), ": Bounds error: File: verse.cpp, Line: 42, i: 3, n: 3\n");
}

TEST_F(LogTest, BoundsBelowZeroLogsAndAborts) {
  EXPECT_DEATH(_bounds(-1, 10, "list.cpp", 7), "");
  EXPECT_EQ(logWithoutDates(), ": Bounds error: File: list.cpp, Line: 7, i: -1, n: 10\n");
}

TEST_F(LogTest, AssertPrintAppliesTheFormatThenAborts) {
  EXPECT_DEATH(assert_print("%s failed in %s at %d\n", "read", "store.cpp", 99), "");
  EXPECT_EQ(logWithoutDates(), ": read failed in store.cpp at 99\n");
}

TEST_F(LogTest, UnopenableLogStillAborts) {
  std::filesystem::create_directory(dir_.file("messages.dbg"));
  EXPECT_DEATH(_bounds(5, 1, "x.cpp", 1), "");
  EXPECT_DEATH(assert_print("%s%s%d\n", "a", "b", 1), "");
}

}  // namespace
}  // namespace vellum
