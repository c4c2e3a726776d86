#include "app/session_record.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "app/config.h"
#include "app/profile.h"

namespace vellum::ui {
namespace {

constexpr const char* kSection = "SESSION";
constexpr const char* kParallelMark = "P,";
constexpr char kFileSeparator = '|';
constexpr int kFields = 12;  // the numbers before the file name
// A record: the mark, twelve numbers of at most eleven characters, the commas and up to four
// bare file names.
constexpr std::size_t kRecordSize = 512;

// A bare file name that fits a translation's record, as the data path looks it up, and that
// the file can hold again: a control character (a carriage return inside the value) cannot,
// nor a blank at either end (a NUL after a blank cuts the value there; values are trimmed).
bool isBareFileName(std::string_view file) {
  return !file.empty() && file.size() < sizeof(bibleName::path) &&
         file.find_first_of("/\\") == std::string_view::npos && file.front() != ' ' &&
         file.back() != ' ' && std::none_of(file.begin(), file.end(), [](char c) {
           return static_cast<unsigned char>(c) < 0x20;
         });
}

bool holdsFiles(std::string_view files, bool parallel) {
  if (!parallel) return isBareFileName(files);
  int count = 0;
  for (std::size_t start = 0;; ++count) {
    const std::size_t bar = files.find(kFileSeparator, start);
    if (!isBareFileName(files.substr(start, bar - start))) return false;
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return count + 1 >= kMinParallelColumns && count + 1 <= kMaxParallelColumns;
}

std::string windowKey(int number) { return "WINDOW" + std::to_string(number); }

int readNumber(const char* key, int fallback) {
  char text[16] = {};
  getPrivateProfileString(kSection, key, "", text, sizeof text, kIniFile);
  int value = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, value);
  return error == std::errc() && stop == end && stop != text ? value : fallback;
}

}  // namespace

std::string formatSessionRecord(const SessionRecord& record) {
  char numbers[kRecordSize];
  std::snprintf(numbers, sizeof numbers, "%s%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,",
                record.parallel ? kParallelMark : "", record.reference.book,
                record.reference.chapter, record.reference.verse, record.selectionAnchor,
                record.selectionEnd, record.topWord, record.strongs ? 1 : 0, record.x, record.y,
                record.width, record.height, record.state);
  return numbers + record.file;
}

std::optional<SessionRecord> parseSessionRecord(std::string_view text) {
  std::array<int, kFields> field{};
  const bool parallel = text.starts_with(kParallelMark);
  if (parallel) text.remove_prefix(std::strlen(kParallelMark));
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (int& value : field) {
    const auto [stop, error] = std::from_chars(at, end, value);
    if (error != std::errc() || stop == end || *stop != ',') return std::nullopt;
    at = stop + 1;
  }
  const auto [book, chapter, verse, anchor, last, top, strongs, x, y, width, height, state] = field;
  const auto byte = [](int value) { return value >= 0 && value <= 255; };
  const auto word = [](int value) { return value >= -1 && value <= 0xFFFF; };
  const auto coordinate = [](int value) { return value >= -(1 << 20) && value <= (1 << 20); };
  const auto extent = [](int value) { return value >= 0 && value <= (1 << 20); };
  if (!byte(book) || !byte(chapter) || !byte(verse) || !word(anchor) || !word(last) || !word(top) ||
      (strongs != 0 && strongs != 1) || !coordinate(x) || !coordinate(y) || !extent(width) ||
      !extent(height) || state < 0 || state > 2)
    return std::nullopt;
  SessionRecord record;
  record.parallel = parallel;
  record.file.assign(at, end);
  if (!holdsFiles(record.file, parallel)) return std::nullopt;
  record.reference = Reference{static_cast<std::uint8_t>(book), static_cast<std::uint8_t>(chapter),
                               static_cast<std::uint8_t>(verse)};
  record.selectionAnchor = anchor;
  record.selectionEnd = last;
  record.topWord = top;
  record.strongs = strongs == 1;
  record.x = x;
  record.y = y;
  record.width = width;
  record.height = height;
  record.state = state;
  return record;
}

StoredSession readSession() {
  StoredSession session;
  const int count = readNumber("WINDOWS", 0);
  if (count <= 0 || count > kMaxSessionWindows) return session;
  session.active = readNumber("ACTIVE", 0);
  for (int number = 1; number <= count; ++number) {
    char text[kRecordSize] = {};
    getPrivateProfileString(kSection, windowKey(number).c_str(), "", text, sizeof text, kIniFile);
    if (std::optional<SessionRecord> record = parseSessionRecord(text))
      session.windows.push_back({number, std::move(*record)});
  }
  return session;
}

void writeSession(const std::vector<SessionRecord>& windows, int active) {
  writePrivateProfileString(kSection, nullptr, nullptr, kIniFile);
  int count = 0;
  for (const SessionRecord& record : windows) {
    if (count == kMaxSessionWindows) break;
    ++count;
    writePrivateProfileString(kSection, windowKey(count).c_str(),
                              formatSessionRecord(record).c_str(), kIniFile);
  }
  if (count == 0) return;
  writePrivateProfileString(kSection, "ACTIVE", std::to_string(active).c_str(), kIniFile);
  writePrivateProfileString(kSection, "WINDOWS", std::to_string(count).c_str(), kIniFile);
}

}  // namespace vellum::ui
