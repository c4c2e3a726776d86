// Chapter and verse text: reading a chapter record, its one-chapter cache, and the two
// Strong's-number filters.
//
// A chapter record (u16 text length, u16 stored length, stored bytes) is read only when all
// its bytes lie within the file and its text length keeps to the 32765-character limit; any
// other record reads as the empty text. The caller's buffer is never written past size - 1
// characters and its terminator.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/bible/module_internal.h"
#include "support/codec.h"
#include "support/strings.h"
#include "support/unicode.h"

namespace vellum {
namespace {

bool isStrongsCharacter(char c) {
  return isDigit(c) || c == '-' || c == '|' || c == 'k' || c == 'q';
}

// Reads the record at offset into out (at most capacity characters). Returns the number of
// characters written, or 0 for a damaged record.
std::size_t readChapterRecord(std::uint8_t* out, std::size_t capacity, std::uint32_t offset,
                              BibleHandle* module) {
  std::array<std::uint8_t, format::kChapterRecordHeaderSize> head{};
  if (!readAt(module->stream.get(), module->fileSize, offset, head)) return 0;
  const std::uint16_t textLength = le::load16(head.data());
  const std::uint16_t storedLength = le::load16(head.data() + 2);
  if (textLength > kMaxChapterText ||
      std::uint64_t{offset} + format::kChapterRecordHeaderSize + storedLength > module->fileSize)
    return 0;
  const std::uint64_t body = std::uint64_t{offset} + format::kChapterRecordHeaderSize;
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

std::string_view loadChapter(std::uint32_t offset, BibleHandle* module) {
  if (offset == module->cachedOffset && module->showStrongs == module->cachedStrongs)
    return module->cachedText;

  // The whole chapter is decoded once into the module's own buffer, so repeated reads (the
  // phrase search reads a chapter per candidate verse) neither allocate nor clear 32 KB.
  std::vector<std::uint8_t>& buffer = module->decodeBuffer;
  buffer.resize(kMaxChapterText + 1);
  const std::size_t n = readChapterRecord(buffer.data(), kMaxChapterText, offset, module);
  char* text = reinterpret_cast<char*>(buffer.data());
  text[n] = '\0';
  if (module->showStrongs == 0) killStrongs(text);
  // A NUL inside a damaged text ends it, as it does for every later reader of the text.
  std::string_view chapter(text);
  // Stored text may begin with line feeds; the first line must be verse 1.
  chapter.remove_prefix(std::min(chapter.find_first_not_of('\n'), chapter.size()));
  module->cachedText.assign(chapter);
  module->cachedOffset = offset;
  module->cachedStrongs = module->showStrongs;
  return module->cachedText;
}

char* getChapter(char* text, std::uint16_t* length, std::uint16_t size, std::uint32_t offset,
                 BibleHandle* module) {
  *length = 0;
  if (size == 0) return text;
  const std::string_view chapter = loadChapter(offset, module);
  const std::size_t n = unicode::prefixLength(chapter, size - 1u);
  std::memcpy(text, chapter.data(), n);
  text[n] = '\0';
  *length = static_cast<std::uint16_t>(n);
  return text;
}

char* getVerse(char* text, std::uint16_t* length, std::uint16_t size, std::uint16_t verse,
               BibleHandle* module) {
  *length = 0;
  if (size == 0) return text;
  std::uint32_t offset = 0;
  Reference reference;
  locateVerse(&offset, &reference, verse, module);
  const std::string_view chapterText = loadChapter(offset, module);

  std::string_view line;
  std::size_t start = std::string_view::npos;
  if (reference.verse == 1) {
    start = 0;
  } else {
    char marker[8];
    const int markerLength =
        std::snprintf(marker, sizeof marker, "\n%u", unsigned{reference.verse});
    start = chapterText.find(std::string_view(marker, static_cast<std::size_t>(markerLength)));
    if (start != std::string_view::npos) ++start;  // the line feed is not part of the line
  }
  if (start != std::string_view::npos) {
    line = chapterText.substr(start);
    line = line.substr(0, line.find('\n'));
  }

  char prefix[40];
  unparseReference(prefix, reference, module);
  std::string_view prefixText(prefix);
  prefixText = prefixText.substr(0, prefixText.rfind(':') + 1);  // "Book C:"

  const std::size_t capacity = size - 1u;
  const std::size_t prefixLength = std::min(prefixText.size(), capacity);
  const std::size_t lineLength = unicode::prefixLength(line, capacity - prefixLength);
  std::memcpy(text, prefixText.data(), prefixLength);
  // A chapter text without the verse's line (a damaged record reads as empty) leaves line
  // without data at all, and memcpy must not be handed that null pointer even for no bytes.
  if (lineLength > 0) std::memcpy(text + prefixLength, line.data(), lineLength);
  text[prefixLength + lineLength] = '\0';
  *length = static_cast<std::uint16_t>(prefixLength + lineLength);
  return text;
}

char* killStrongs(char* text) {
  // Nothing before the first space-digit pair changes, so the rewrite starts there; a text
  // without numbers is only read.
  char* first = text;
  while (*first != '\0' && !(*first == ' ' && isDigit(first[1]))) ++first;
  bool inNumber = false;
  char* out = first;
  for (const char* in = first; *in != '\0'; ++in) {
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
