// String routines on NUL-terminated single-byte strings, under plain ASCII rules.
//
// Letters are the 52 ASCII letters and case conversion maps only those; punctuation is every
// printable ASCII character other than letters, digits and space; bytes above 127 (UTF-8) are
// neither. Comparisons return the difference of the deciding characters as signed bytes
// (upper-cased in the case-blind routines). Routines that modify work in place and return
// their first argument; the caller owns every buffer.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vellum {

// Character classes, inline because every scan of the engine tests characters one by one.
constexpr bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isPunctuation(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x21 && byte <= 0x7E && !isLetter(c) && !isDigit(c);
}
constexpr char toUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char toLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

char* _strupr(char* s);
char* _strlwr(char* s);
const char* _strstr(const char* text, const char* pattern);
// First occurrence ignoring case; points into text, or null.
const char* _stristr(const char* text, const char* pattern);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, unsigned int n);
// A new copy, released by its owner.
std::unique_ptr<char[]> _strdup(const char* s);
char* reverse(char* s);

// Comparisons from the last characters backwards (the string table's reversed orderings).
// Both strings are non-empty. A word sorts before every longer word that ends with it (in the
// case-blind forms too, whatever the case of either), and the comparison is antisymmetric; a
// string compared with itself gives minus its first character, while two spellings of one word
// in the case-blind forms give 0. The counted forms decide on the last n characters, except
// that a string running out within them gives non-zero ("love" against "*love" over 4).
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
// the length of the matched span through length. strinpstr ignores case. phrase is non-empty.
const char* strnpstr(unsigned int* length, const char* text, const char* phrase);
const char* strinpstr(unsigned int* length, const char* text, const char* phrase);

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
void removePunctuation(std::string& s);  // keeps '-' and the apostrophe
void removeCharacters(std::string& s, std::string_view set);
void normaliseSpaces(std::string& s);
// Leading and trailing spaces, leading line feeds, leading carriage returns, trailing line
// feeds, trailing carriage returns, leading punctuation, trailing punctuation, in that order.
void trim(std::string& s);

}  // namespace vellum
