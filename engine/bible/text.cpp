// Chapter and verse text: reading a chapter record, its one-chapter cache, and the two
// Strong's-number filters.
//
// A chapter record (u16 text length, u16 stored length, stored bytes) is read only when all
// its bytes lie within the file and its text length keeps to the 32765-character limit; any
// other record reads as the empty text. The caller's buffer is never written past size - 1
// characters and its terminator.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "engine/bible/codec.h"
#include "engine/bible/module_internal.h"
#include "support/strings.h"

namespace vellum {
namespace {

bool isStrongsCharacter(char c) {
  return isDigit(c) || c == '-' || c == '|' || c == 'k' || c == 'q';
}

// Reads the record at offset into text (capacity = size - 1 characters). Returns the number of
// characters written, or nothing written and 0 for a damaged record.
std::size_t readChapterRecord(char* text, std::size_t capacity, std::uint32_t offset,
                              BibleHandle* module) {
  std::array<std::uint8_t, format::kChapterRecordHeaderSize> head{};
  if (!readAt(module->stream.get(), module->fileSize, offset, head)) return 0;
  const std::uint16_t textLength = le::load16(head.data());
  const std::uint16_t storedLength = le::load16(head.data() + 2);
  if (textLength > kMaxChapterText ||
      std::uint64_t{offset} + format::kChapterRecordHeaderSize + storedLength > module->fileSize)
    return 0;
  const std::uint64_t body = std::uint64_t{offset} + format::kChapterRecordHeaderSize;
  auto* out = reinterpret_cast<std::uint8_t*>(text);
  if (textLength == storedLength) {
    const std::size_t n = std::min<std::size_t>(textLength, capacity);
    return readAt(module->stream.get(), module->fileSize, body, std::span(out, n)) ? n : 0;
  }
  std::vector<std::uint8_t> stored(storedLength);
  if (!readAt(module->stream.get(), module->fileSize, body, stored)) return 0;
  int decoded = 0;
  Decode(out, &decoded, static_cast<int>(capacity), stored.data(), storedLength);
  return static_cast<std::size_t>(std::clamp(decoded, 0, static_cast<int>(capacity)));
}

}  // namespace

char* getChapter(char* text, std::uint16_t* length, std::uint16_t size, std::uint32_t offset,
                 BibleHandle* module) {
  *length = 0;
  if (size == 0) return text;
  const std::size_t capacity = size - 1u;
  if (offset == module->cachedOffset && module->showStrongs == module->cachedStrongs) {
    const std::size_t n = std::min(capacity, module->cachedText.size());
    std::memcpy(text, module->cachedText.data(), n);
    text[n] = '\0';
    *length = static_cast<std::uint16_t>(n);
    return text;
  }

  const std::size_t n = readChapterRecord(text, capacity, offset, module);
  text[n] = '\0';
  // Stored text may begin with line feeds; the first line must be verse 1.
  const std::size_t feeds = std::strspn(text, "\n");
  if (feeds > 0) std::memmove(text, text + feeds, n - feeds + 1);
  if (module->showStrongs == 0) killStrongs(text);
  // A NUL inside a damaged text ends it, as it does for every later reader of the buffer.
  const std::size_t textLength = std::strlen(text);
  *length = static_cast<std::uint16_t>(textLength);
  module->cachedText.assign(text, textLength);
  module->cachedOffset = offset;
  module->cachedStrongs = module->showStrongs;
  return text;
}

char* getVerse(char* text, std::uint16_t* length, std::uint16_t size, std::uint16_t verse,
               BibleHandle* module) {
  *length = 0;
  if (size == 0) return text;
  std::uint32_t offset = 0;
  Reference reference;
  locateVerse(&offset, &reference, verse, module);

  std::vector<char> chapter(kChapterBufferSize);
  std::uint16_t chapterLength = 0;
  getChapter(chapter.data(), &chapterLength, kChapterBufferSize, offset, module);
  std::string_view chapterText(chapter.data(), chapterLength);

  std::string_view line;
  std::size_t start = std::string_view::npos;
  if (reference.verse == 1) {
    start = 0;
  } else {
    const std::string marker = "\n" + std::to_string(reference.verse);
    start = chapterText.find(marker);
    if (start != std::string_view::npos) ++start;  // the line feed is not part of the line
  }
  if (start != std::string_view::npos) {
    line = chapterText.substr(start);
    line = line.substr(0, line.find('\n'));
  }

  char prefix[40];
  unparseReference(prefix, reference, module);
  std::string_view prefixText(prefix);
  prefixText = prefixText.substr(0, prefixText.find(':') + 1);  // "Book C:"

  std::string result;
  result.reserve(prefixText.size() + line.size());
  result.append(prefixText).append(line);
  const std::size_t n = std::min<std::size_t>(result.size(), size - 1u);
  std::memcpy(text, result.data(), n);
  text[n] = '\0';
  *length = static_cast<std::uint16_t>(n);
  return text;
}

char* killStrongs(char* text) {
  bool inNumber = false;
  char* out = text;
  for (const char* in = text; *in != '\0'; ++in) {
    if (*in == ' ' && isDigit(in[1])) {
      inNumber = true;
      continue;
    }
    if (inNumber) {
      if (isStrongsCharacter(*in)) continue;
      inNumber = false;
    }
    *out++ = *in;
  }
  *out = '\0';
  return text;
}

char* formatStrongs(char* text) {
  for (const char* brackets : {"<>", "()"}) {
    const char opening[2] = {brackets[0], '\0'};
    const std::size_t lead = std::strspn(text, opening);
    std::memmove(text, text + lead, std::strlen(text + lead) + 1);
    if (char* close = std::strchr(text, brackets[1])) *close = '\0';
  }
  return text;
}

}  // namespace vellum
