// String routines on NUL-terminated UTF-8 strings.
//
// The inline character classes and _strupr/_strlwr/_stristr look at single ASCII bytes (letters
// are the 52 ASCII letters; punctuation is every printable ASCII character other than letters,
// digits and space). Everything that compares, trims or finds words follows the word rules of
// support/unicode.h: Unicode punctuation counts as punctuation, ' and ’ are one character, and
// the case-blind routines compare case- and accent-blind folded forms. Comparisons return the
// difference of the deciding bytes (of the folded forms in the case-blind routines) as signed
// bytes, so a text in plain ASCII compares as it always has. Routines that modify work in
// place and return their first argument; the caller owns every buffer.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/unicode.h"

namespace vellum {

// Character classes, inline because every scan of the engine tests characters one by one.
constexpr bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isPunctuation(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x21 && byte <= 0x7E && !isLetter(c) && !isDigit(c);
}
constexpr char toUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char toLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char* _strupr(char* s);
char* _strlwr(char* s);
const char* _strstr(const char* text, const char* pattern);
// First occurrence ignoring case; points into text, or null.
const char* _stristr(const char* text, const char* pattern);
// Case- and accent-blind comparisons of the folded forms; _strnicmp decides on the first n
// bytes of the folded forms (n characters of an ASCII text).
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, unsigned int n);
// A new copy, released by its owner.
std::unique_ptr<char[]> _strdup(const char* s);
char* reverse(char* s);

// Comparisons from the last bytes backwards (the string table's reversed orderings); the
// case-blind forms compare the folded forms. Both strings are non-empty. A word sorts before
// every longer word that ends with it, and the comparison is antisymmetric where the strings
// (folded strings, in the case-blind forms) differ; equal ones give minus their first byte. The
// counted forms decide on the last n bytes, and a string running out within them gives non-zero
// ("love" against "*love" agree over 4, not over 5).
int reverseStrCmp(const char* a, const char* b);
int reverseStriCmp(const char* a, const char* b);
int reverseStrnCmp(const char* a, const char* b, unsigned int n);
int reverseStrniCmp(const char* a, const char* b, unsigned int n);

// Re-entrant tokenizer: set *position to 0 before the first call on s and pass the same s and
// position on every later call. Delimiters found are overwritten with NUL.
char* _strtok(char* s, const char* delimiters, unsigned int* position);

// Sorts with _stricmp; binary search of an array sorted so (pointer to the element, or null).
char** strSort(char** array, int count);
char** strFind(char** array, int count, const char* key);

// First place where phrase occurs in text when punctuation is ignored on both sides; stores
// the length of the matched span through length. strinpstr ignores case and accents. phrase is
// non-empty.
const char* strnpstr(unsigned int* length, const char* text, const char* phrase);
const char* strinpstr(unsigned int* length, const char* text, const char* phrase);

// Whether any occurrence of phrase in text stands as whole words: between blanks, punctuation
// or the ends of the text. With ignorePunctuation, punctuation is skipped on both sides while
// matching ("let there be light" is in "“Let there be light,”"); without it the phrase's
// characters must all be there. An empty phrase (after skipping) is nowhere.
bool holdsPhrase(std::string_view text, std::string_view phrase, bool ignoreCase,
                 bool ignorePunctuation);

// holdsPhrase for one phrase over many texts: the phrase's form is made once, and the working
// buffers are kept from one text to the next.
class PhraseFinder {
 public:
  PhraseFinder(std::string_view phrase, bool ignoreCase, bool ignorePunctuation);
  bool holds(std::string_view text);
  // The first occurrence, edges aside: its span in text.
  bool first(std::string_view text, std::size_t* start, std::size_t* end);

 private:
  void appendKey(std::string& key, std::string_view text, unicode::Character c) const;
  bool skipped(char32_t code) const { return ignorePunctuation_ && unicode::isPunctuation(code); }
  template <class Found>
  bool forEachOccurrence(std::string_view text, Found&& found);

  bool ignoreCase_;
  bool ignorePunctuation_;
  std::string needle_;   // the phrase in its search form
  std::string scratch_;  // one character of the text in its search form
};

// The words of a phrase or of a word index's text: cut at the word delimiters of
// support/unicode.h, each trimmed, the empty ones dropped.
std::vector<std::string> splitWords(std::string_view text);

// Replaces every occurrence of from (ignoring case) by to, left to right, keeping the result
// within limit characters; s must hold limit + 1 bytes.
char* replStr(char* s, const char* from, const char* to, unsigned short limit);

// Trimming helpers of the search fields and dialogs (in place on std::string).
std::size_t trimmedLength(std::string_view s);  // length without trailing spaces
void replaceCharacter(std::string& s, char from, char to);
void stripLeading(std::string& s, char c);
void stripTrailing(std::string& s, char c);
void stripLeadingPunctuation(std::string& s);
void stripTrailingPunctuation(std::string& s);
void removePunctuation(std::string& s);  // keeps '-' and the apostrophes
void removeCharacters(std::string& s, std::string_view set);
void normaliseSpaces(std::string& s);
// Leading and trailing spaces, leading line feeds, leading carriage returns, trailing line
// feeds, trailing carriage returns, leading punctuation, trailing punctuation, in that order.
void trim(std::string& s);

}  // namespace vellum
