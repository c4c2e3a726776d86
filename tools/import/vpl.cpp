#include "tools/import/vpl.h"

#include <string_view>

namespace vellum::import {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Far above any chapter or verse the format can hold, and far below int's range: the writer
// then refuses the number against the format's own limit with a precise message.
constexpr int kLargestNumber = 99999;

std::string lineError(int line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

bool parseNumber(std::string_view field, int& value) {
  if (field.empty() || field.size() > 5) return false;
  value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= kLargestNumber;
}

}  // namespace

bool readVpl(std::istream& in, std::vector<VerseLine>& lines, std::string& error) {
  std::string raw;
  int lineNumber = 0;
  while (std::getline(in, raw)) {
    ++lineNumber;
    std::string_view line(raw);
    if (lineNumber == 1 && line.starts_with(kByteOrderMark))
      line.remove_prefix(kByteOrderMark.size());
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;

    std::string_view fields[3];
    for (auto& field : fields) {
      std::size_t tab = line.find('\t');
      if (tab == std::string_view::npos) {
        error = lineError(lineNumber, "expected BOOK<TAB>CHAPTER<TAB>VERSE<TAB>TEXT");
        return false;
      }
      field = line.substr(0, tab);
      line.remove_prefix(tab + 1);
    }
    VerseLine verse;
    verse.line = lineNumber;
    verse.book = std::string(fields[0]);
    verse.text = std::string(line);
    if (verse.book.empty()) {
      error = lineError(lineNumber, "the book name is empty");
      return false;
    }
    if (!parseNumber(fields[1], verse.chapter) || verse.chapter == 0) {
      error = lineError(lineNumber, "chapter \"" + std::string(fields[1]) +
                                        "\" is not a number from 1 (chapters start at 1)");
      return false;
    }
    if (!parseNumber(fields[2], verse.verse) || verse.verse == 0) {
      error = lineError(lineNumber, "verse \"" + std::string(fields[2]) +
                                        "\" is not a number from 1 (verses start at 1)");
      return false;
    }
    lines.push_back(std::move(verse));
  }
  if (in.bad()) {
    error = "the input could not be read after line " + std::to_string(lineNumber);
    return false;
  }
  return true;
}

}  // namespace vellum::import
