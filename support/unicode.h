// Characters of UTF-8 text: decoding, classes and the folded forms that searches compare.
//
// Every word rule of the engine goes through here, so the rules hold the same for any text:
// - A character is a valid UTF-8 sequence. A byte that does not start one is a character of its
//   own (code kInvalidByte + the byte): it is a letter that matches only itself.
// - Punctuation is ASCII punctuation and every Unicode punctuation or symbol character
//   (“ ” ‘ ’ — – … ¿ ¡ « » ¶ and the rest of those classes). Blanks are the ASCII spaces and line
//   ends and the Unicode separators.
// - The typed apostrophe ' and the typographic ’ (and the modifier letter ʼ) are one character
//   for every comparison: both forms below write them as '.
// - The case-blind form folds case for all letters and drops accents: compatibility
//   decomposition, case folding and removal of combining marks, then ASCII letters upper-cased,
//   so a text in plain ASCII folds exactly as it always has ("amó", "AMO" and "Amo" all fold to
//   "AMO"). The exact form keeps case and accents.
// The Unicode tables are utf8proc's; nothing else in the tree includes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vellum::unicode {

inline constexpr char32_t kInvalidByte = 0x110000;  // + the byte: beyond every code point

struct Character {
  char32_t code = 0;
  std::size_t length = 0;  // bytes, at least 1
};

Character decodeSequence(std::string_view text, std::size_t at);
Character decodeSequence(const char* text);

// The character starting at text[at] (at < text.size()). ASCII is decoded here, inline, since
// every scan of the engine decodes character by character.
inline Character decode(std::string_view text, std::size_t at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  return byte < 0x80 ? Character{byte, 1} : decodeSequence(text, at);
}
// The character starting at a NUL-terminated position (*text != 0). Never reads past the NUL.
inline Character decode(const char* text) {
  const auto byte = static_cast<unsigned char>(*text);
  return byte < 0x80 ? Character{byte, 1} : decodeSequence(text);
}
// The character that ends at text[end - 1] (0 < end <= text.size()).
Character decodeBefore(std::string_view text, std::size_t end);

bool isPunctuationBeyondAscii(char32_t code);
bool isBlankBeyondAscii(char32_t code);
inline bool isPunctuation(char32_t code) {
  if (code >= 0x80) return isPunctuationBeyondAscii(code);
  return code >= 0x21 && code <= 0x7E && !(code >= '0' && code <= '9') &&
         !(code >= 'A' && code <= 'Z') && !(code >= 'a' && code <= 'z');
}
inline bool isBlank(char32_t code) {
  if (code >= 0x80) return isBlankBeyondAscii(code);
  return code == ' ' || (code >= '\t' && code <= '\r');
}
bool isApostrophe(char32_t code);
// Where the words of a phrase and of the word index are cut: blanks, the ASCII marks
// " ,.:;?![]-", and every other Unicode punctuation or symbol except quotation marks and
// apostrophes, which stay to be trimmed from a word's ends ("“Let" is the word "Let").
bool isWordDelimiter(char32_t code);

// Eight bytes at a time: every search asks this of every word it compares.
inline bool isAscii(std::string_view text) {
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, text.data() + at, 8);
    if ((chunk & 0x8080808080808080ull) != 0) return false;
  }
  for (; at < text.size(); ++at)
    if (static_cast<unsigned char>(text[at]) >= 0x80) return false;
  return true;
}

// The case- and accent-blind form of one character or of a text, and the exact form (only the
// apostrophes unified). The exact form writes a byte that is not UTF-8 as itself, the folded
// form as a private-use character of its own (U+10FF00 + the byte), so that folding a folded
// text changes nothing.
void appendFolded(std::string& out, Character c);
std::string folded(std::string_view text);
void fold(std::string& text);  // in place
std::string exact(std::string_view text);
// The form a search of either kind compares.
inline std::string searchForm(std::string_view text, bool caseSensitive) {
  return caseSensitive ? exact(text) : folded(text);
}

// The longest prefix of text, at most limit bytes, that does not cut a character in two.
std::size_t prefixLength(std::string_view text, std::size_t limit);
void cut(std::string& text, std::size_t limit);

}  // namespace vellum::unicode
