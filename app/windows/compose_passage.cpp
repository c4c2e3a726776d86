#include "app/windows/compose_passage.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/utf8.h"

namespace vellum::ui {
namespace {

constexpr std::size_t kLimit = kMaxChapterText;
// The verses found are gathered into this much room: each line is given the room left less
// one, so a line that does not fit whole is cut and the text stays below kLimit.
constexpr int kVersesFoundRoom = 32764;
// Verse numbers never come near this; reading stops growing here so that a long run of digits
// cannot overflow.
constexpr int kNumberCeiling = 100000;

// The caption up to its first colon, with the colon ("John 3:") or without it ("John 3").
// A caption without a colon names no verse: there is no head to take from it.
std::string captionHead(const std::string& caption, bool keepColon) {
  const std::size_t colon = caption.find(':');
  if (colon == std::string::npos) return {};
  return caption.substr(0, keepColon ? colon + 1 : colon);
}

// The verse number a line of the chapter begins with ("16 For God...", or "16" for a verse
// without text); 0 for any other line, such as a verse's tail or a note ("16. text").
int verseNumber(std::string_view line) {
  int value = 0;
  std::size_t at = 0;
  for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
    value = std::min(value * 10 + (line[at] - '0'), kNumberCeiling);
  return at == line.size() || line[at] == ' ' ? value : 0;
}

// Whether the line is one of the notes' heading ("Notes:" or the rule below it), after which
// only notes follow.
bool headsNotes(std::string_view line) {
  const std::string_view heading = kNotesHeading;
  return !line.empty() && heading.find('\n' + std::string(line) + '\n') != std::string_view::npos;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

void stripTrailingBlanks(std::string& text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
}

// Every line feed of text followed by prefix, within kLimit bytes: the first line feed whose
// prefix would not fit ends the text there.
void prefixLines(std::string& text, const std::string& prefix) {
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  std::string result;
  result.reserve(std::min(kLimit, text.size() + lines * prefix.size()));
  std::size_t start = 0;
  for (;;) {
    const std::size_t feed = text.find('\n', start);
    if (feed == std::string::npos) {
      result.append(text, start, std::string::npos);
      break;
    }
    if (result.size() + (feed - start) + 1 + prefix.size() > kLimit) {
      result.append(text, start, feed - start);
      break;
    }
    result.append(text, start, feed - start);
    result += '\n';
    result += prefix;
    start = feed + 1;
  }
  cutUtf8(result, kLimit);
  text = std::move(result);
}

std::string composeSelection(const PassageInputs& in) {
  std::string text = in.selection;
  // Nothing selected composes nothing, whatever the options: no quotation marks or heads
  // around an empty passage.
  if (text.empty()) return text;
  if (in.quotation) {
    cutUtf8(text, kLimit);
    Reference reference;
    if (in.module) parseReference(&reference, in.caption.c_str(), in.module);
    formatQuotation(text, reference, in.bookAndChapter, in.module);
    return text;
  }
  if (in.bookAndChapter) {
    // A line feed in front, so that the first line gets the head as every other line does.
    cutUtf8(text, kLimit - 1);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    text.insert(text.begin(), '\n');
    prefixLines(text, captionHead(in.caption, true));
    return text;
  }
  cutUtf8(text, kLimit);
  return text;
}

std::string composeChapter(const PassageInputs& in) {
  if (in.chapterText.empty()) return {};
  std::string text = captionHead(in.caption, false);
  text += "\n\n";
  text += in.chapterText;
  cutUtf8(text, kLimit);
  return text;
}

std::string composeVersesFound(const PassageInputs& in) {
  std::string text;
  if (in.module == nullptr) return text;
  std::vector<char> line(kVersesFoundRoom);
  int room = kVersesFoundRoom;
  for (const std::string& entry : in.versesFound) {
    // getVerse needs room for a character and its terminator.
    if (room < 3) break;
    Reference reference;
    if (parseReference(&reference, entry.c_str(), in.module) == 0) continue;
    std::uint32_t offset = 0;
    std::uint16_t verse = 0;
    refLookup(&offset, &verse, reference, in.module);
    std::uint16_t length = 0;
    getVerse(line.data(), &length, static_cast<std::uint16_t>(room - 1), verse, in.module);
    if (length == 0) continue;
    std::string verseLine(line.data(), length);
    cutUtf8(verseLine, static_cast<std::size_t>(room - 2));
    text += verseLine;
    text += '\n';
    room -= static_cast<int>(verseLine.size()) + 1;
  }
  return text;
}

}  // namespace

std::string composePassage(const PassageInputs& inputs) {
  std::string text;
  switch (inputs.source) {
    case PassageSource::Selection:
      text = composeSelection(inputs);
      break;
    case PassageSource::Chapter:
      text = composeChapter(inputs);
      break;
    case PassageSource::VersesFound:
      text = composeVersesFound(inputs);
      break;
    case PassageSource::Clipboard:
      if (inputs.clipboard) {
        text = *inputs.clipboard;
        cutUtf8(text, kLimit);
      }
      break;
  }
  // Editorial brackets of the module (words supplied by the translators) are not part of a
  // quotation.
  std::erase_if(text, [](char c) { return c == '[' || c == ']'; });
  return text;
}

void formatQuotation(std::string& text, Reference reference, bool bookAndChapter,
                     BibleHandle* module) {
  const std::string copy = text;
  std::vector<std::string_view> lines = splitLines(copy);
  // The notes below a chapter are the reader's words, never the verses' text.
  const auto notes = std::find_if(lines.begin() + 1, lines.end(), headsNotes);
  lines.erase(notes, lines.end());
  int smallest = 0;
  int largest = 0;
  for (std::string_view line : lines) {
    const int number = verseNumber(line);
    if (number <= 0) continue;
    smallest = smallest == 0 ? number : std::min(smallest, number);
    largest = std::max(largest, number);
  }

  const std::string book = module ? getBookName(reference.book, module) : "";
  const std::string chapter = std::to_string(reference.chapter);
  std::string result;
  if (!bookAndChapter) {
    result = "\"";
  } else if (smallest == 0) {
    // The selection holds no whole verse: quote its first line, marked as taken from within
    // a verse.
    result = book + " " + chapter + ", \"...";
    std::string first(lines.front());
    stripTrailingBlanks(first);
    cutUtf8(first, kLimit - std::min(kLimit, result.size() + 1));
    result += first;
    result += '"';
    text = std::move(result);
    return;
  } else if (smallest < largest) {
    result = book + " " + chapter + ":" + std::to_string(smallest) + "-" + std::to_string(largest) +
             ", \"";
  } else {
    result = book + " " + chapter + ":" + std::to_string(smallest) + ", \"";
  }

  // The verse texts without their numbers, one blank between two. A tail of a verse or a line
  // of notes carries no verse number and is left out.
  bool first = true;
  for (std::string_view line : lines) {
    if (verseNumber(line) <= 0) continue;
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) continue;
    if (!first) result += ' ';
    result.append(line.substr(blank + 1));
    first = false;
  }
  cutUtf8(result, kLimit - 1);  // room for the closing quotation mark
  stripTrailingBlanks(result);
  result += '"';
  text = std::move(result);
}

std::string clipboardLineEnds(const std::string& text) {
  std::string result;
  result.reserve(text.size() + text.size() / 32);
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

std::string appendedClipboardText(const std::string& oldText, const std::string& newText) {
  std::string result;
  result.reserve(oldText.size() + 1 + newText.size());
  result += oldText;
  result += '\n';
  result += newText;
  return result;
}

}  // namespace vellum::ui
