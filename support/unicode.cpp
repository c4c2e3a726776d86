#include "support/unicode.h"

#include <utf8proc.h>

#include <array>

namespace vellum::unicode {
namespace {

constexpr char32_t asciiUpper(char32_t c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

utf8proc_category_t category(char32_t code) {
  return utf8proc_category(static_cast<utf8proc_int32_t>(code));
}

bool isQuotationMark(char32_t code) {
  switch (category(code)) {
    case UTF8PROC_CATEGORY_PI:
    case UTF8PROC_CATEGORY_PF:
      return true;
    default:
      // The low-9 marks open quotations but are filed as opening punctuation.
      return code == U'\u201A' || code == U'\u201E';
  }
}

Character invalid(unsigned char byte) { return {kInvalidByte + byte, 1}; }

// Where the folded form puts a byte that is not UTF-8: the last 256 code points of the last
// private-use plane, which no text of a translation uses.
constexpr char32_t kFoldedInvalidByte = 0x10FF00;

// Appends the UTF-8 bytes of a code point; folded output holds only valid code points.
void appendCode(std::string& out, char32_t code) {
  std::array<utf8proc_uint8_t, 4> bytes{};
  const auto length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(code), bytes.data());
  out.append(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(length));
}

}  // namespace

Character decodeSequence(std::string_view text, std::size_t at) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at);
  const auto byte = static_cast<unsigned char>(text[at]);
  utf8proc_int32_t code = 0;
  const utf8proc_ssize_t length =
      utf8proc_iterate(bytes, static_cast<utf8proc_ssize_t>(text.size() - at), &code);
  if (length <= 0) return invalid(byte);
  return {static_cast<char32_t>(code), static_cast<std::size_t>(length)};
}

Character decodeSequence(const char* text) {
  const auto byte = static_cast<unsigned char>(*text);
  // With no length given utf8proc reads at most four bytes and stops at the first one that
  // does not continue the sequence, so a NUL ends it like any other such byte.
  utf8proc_int32_t code = 0;
  const utf8proc_ssize_t length =
      utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text), -1, &code);
  if (length <= 0) return invalid(byte);
  return {static_cast<char32_t>(code), static_cast<std::size_t>(length)};
}

Character decodeBefore(std::string_view text, std::size_t end) {
  const auto last = static_cast<unsigned char>(text[end - 1]);
  if (last < 0x80) return {last, 1};
  // A character is at most four bytes: find its first byte and see whether it reaches end.
  std::size_t start = end - 1;
  while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
    --start;
  const Character c = decode(text.substr(0, end), start);
  if (start + c.length == end) return c;
  return invalid(last);
}

bool isPunctuationBeyondAscii(char32_t code) {
  if (code >= kInvalidByte) return false;
  switch (category(code)) {
    case UTF8PROC_CATEGORY_PC:
    case UTF8PROC_CATEGORY_PD:
    case UTF8PROC_CATEGORY_PS:
    case UTF8PROC_CATEGORY_PE:
    case UTF8PROC_CATEGORY_PI:
    case UTF8PROC_CATEGORY_PF:
    case UTF8PROC_CATEGORY_PO:
    case UTF8PROC_CATEGORY_SM:
    case UTF8PROC_CATEGORY_SC:
    case UTF8PROC_CATEGORY_SK:
    case UTF8PROC_CATEGORY_SO:
      return true;
    default:
      return false;
  }
}

bool isBlankBeyondAscii(char32_t code) {
  if (code >= kInvalidByte) return false;
  switch (category(code)) {
    case UTF8PROC_CATEGORY_ZS:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
      return true;
    default:
      return false;
  }
}

bool isApostrophe(char32_t code) { return code == '\'' || code == U'\u2019' || code == U'\u02BC'; }

bool isWordDelimiter(char32_t code) {
  if (code < 0x80)
    return std::string_view(" ,.:;?![]-\t\n\r\v\f").find(static_cast<char>(code)) !=
           std::string_view::npos;
  if (isBlank(code)) return true;
  return isPunctuation(code) && !isApostrophe(code) && !isQuotationMark(code);
}

void appendFolded(std::string& out, Character c) {
  if (c.code < 0x80) {
    out.push_back(static_cast<char>(asciiUpper(c.code)));
    return;
  }
  if (c.code >= kInvalidByte) {
    // A stray byte written as itself could join the bytes around it into a character on the
    // next reading; as a private-use character of its own it folds to itself for good.
    appendCode(out, kFoldedInvalidByte + (c.code - kInvalidByte));
    return;
  }
  if (isApostrophe(c.code)) {
    out.push_back('\'');
    return;
  }
  std::array<utf8proc_int32_t, 32> codes{};
  int boundary = 0;
  const utf8proc_ssize_t count = utf8proc_decompose_char(
      static_cast<utf8proc_int32_t>(c.code), codes.data(),
      static_cast<utf8proc_ssize_t>(codes.size()),
      static_cast<utf8proc_option_t>(UTF8PROC_DECOMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD |
                                     UTF8PROC_STRIPMARK),
      &boundary);
  if (count < 0 || count > static_cast<utf8proc_ssize_t>(codes.size())) {
    appendCode(out, c.code);
    return;
  }
  for (utf8proc_ssize_t i = 0; i < count; ++i) {
    const auto code = static_cast<char32_t>(codes[static_cast<std::size_t>(i)]);
    if (code < 0x80)
      out.push_back(static_cast<char>(asciiUpper(code)));
    else if (isApostrophe(code))
      out.push_back('\'');
    else
      appendCode(out, code);
  }
}

std::string folded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  if (isAscii(text)) {
    for (char c : text) out.push_back(static_cast<char>(asciiUpper(static_cast<unsigned char>(c))));
    return out;
  }
  for (std::size_t at = 0; at < text.size();) {
    const Character c = decode(text, at);
    appendFolded(out, c);
    at += c.length;
  }
  return out;
}

void fold(std::string& text) {
  if (!isAscii(text)) {
    text = folded(text);
    return;
  }
  for (char& c : text) c = static_cast<char>(asciiUpper(static_cast<unsigned char>(c)));
}

std::string exact(std::string_view text) {
  if (isAscii(text)) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Character c = decode(text, at);
    if (c.code >= 0x80 && isApostrophe(c.code))
      out.push_back('\'');
    else
      out.append(text.substr(at, c.length));
    at += c.length;
  }
  return out;
}

std::size_t prefixLength(std::string_view text, std::size_t limit) {
  if (limit >= text.size()) return text.size();
  // Only a continuation byte can stand inside a character: the cut moves back to the first
  // byte of a character that runs past it, and stays where a stray continuation byte begins.
  auto continues = [&](std::size_t at) {
    return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
  };
  if (!continues(limit)) return limit;
  std::size_t start = limit;
  while (start > 0 && limit - start < 3 && continues(start)) --start;
  if (continues(start)) return limit;
  return start + decode(text, start).length > limit ? start : limit;
}

void cut(std::string& text, std::size_t limit) { text.resize(prefixLength(text, limit)); }

}  // namespace vellum::unicode
