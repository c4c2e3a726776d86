#include "support/strings.h"

#include <algorithm>
#include <bitset>
#include <cstring>

namespace vellum {

namespace {

// The deciding characters of every comparison are taken as signed bytes, so bytes above 127
// sort before ASCII, the same on every compiler whatever the signedness of plain char.
int signedByte(char c) { return static_cast<signed char>(c); }

char sameCase(char c) { return c; }

// The end of every backward comparison, once the walk has stopped at pa and pb (fold is the
// identity or toUpper):
// - the raw characters differ: the difference of their folded forms decides, which is 0 for
//   one letter in two cases, so the case-blind orderings keep such words together;
// - the first string ran out (or both did): minus the second's current character, so equal
//   strings compare as minus their first character and a search never reports an exact hit;
// - only the second ran out: the first's current character. A word thus sorts before every
//   longer word that ends with it, whichever is compared first (the comparison stays
//   antisymmetric where the strings differ);
// - a counted walk that stopped early found no difference: 0.
// The case-blind comparison is not a strict weak order ("Love" equals "glove" while "love"
// does not), so whatever sorts with it must be well defined for any comparison.
// The finishing values are taken unsigned so that their sign holds for bytes above 127 too.
template <char (*fold)(char)>
int finishBackward(const char* a, const char* b, const char* pa, const char* pb) {
  if (*pa != *pb) return signedByte(fold(*pa)) - signedByte(fold(*pb));
  if (pa == a) return -static_cast<int>(static_cast<unsigned char>(fold(*pb)));
  if (pb == b) return static_cast<unsigned char>(fold(*pa));
  return 0;
}

template <char (*fold)(char)>
int reverseCompare(const char* a, const char* b) {
  const char* pa = a + std::strlen(a) - 1;
  const char* pb = b + std::strlen(b) - 1;
  while (pa != a && pb != b && fold(*pa) == fold(*pb)) {
    --pa;
    --pb;
  }
  return finishBackward<fold>(a, b, pa, pb);
}

// The count is signed so that "stopped with the count used up" (-1) is distinct from "exactly
// n characters compared" (0), which alone gives 0 outright.
template <char (*fold)(char)>
int reverseCompareCounted(const char* a, const char* b, unsigned int limit) {
  long long n = limit;
  const char* pa = a + std::strlen(a) - 1;
  const char* pb = b + std::strlen(b) - 1;
  while (pa != a && pb != b && fold(*pa) == fold(*pb)) {
    if (n == 0) {
      n = -1;
      break;
    }
    --n;
    --pa;
    --pb;
  }
  if (n == 0) return 0;
  return finishBackward<fold>(a, b, pa, pb);
}

}  // namespace


char* _strupr(char* s) {
  for (char* p = s; *p != '\0'; ++p) *p = toUpper(*p);
  return s;
}

char* _strlwr(char* s) {
  for (char* p = s; *p != '\0'; ++p) *p = toLower(*p);
  return s;
}

const char* _strstr(const char* text, const char* pattern) { return std::strstr(text, pattern); }

const char* _stristr(const char* text, const char* pattern) {
  // Same result as searching upper-cased copies, without making them.
  const std::size_t patternLength = std::strlen(pattern);
  for (const char* start = text;; ++start) {
    std::size_t i = 0;
    while (i < patternLength && start[i] != '\0' && toUpper(start[i]) == toUpper(pattern[i])) ++i;
    if (i == patternLength) return start;
    if (start[i] == '\0') return nullptr;  // the text ran out before the pattern
  }
}

int _strnicmp(const char* a, const char* b, unsigned int n) {
  // The count is tested after the terminators, so n characters that match completely give 0,
  // and a count of 0 always gives 0.
  while (toUpper(*a) == toUpper(*b) && *a != '\0' && *b != '\0') {
    if (n == 0) break;
    --n;
    ++a;
    ++b;
  }
  if (n == 0) return 0;
  return signedByte(toUpper(*a)) - signedByte(toUpper(*b));
}

int _stricmp(const char* a, const char* b) {
  const std::size_t longer = std::max(std::strlen(a), std::strlen(b));
  return _strnicmp(a, b, static_cast<unsigned int>(std::min<std::size_t>(longer, ~0u)));
}

std::unique_ptr<char[]> _strdup(const char* s) {
  const std::size_t length = std::strlen(s);
  auto copy = std::make_unique<char[]>(length + 1);
  std::memcpy(copy.get(), s, length + 1);
  return copy;
}

char* reverse(char* s) {
  const std::size_t length = std::strlen(s);
  if (length >= 2) std::reverse(s, s + length);
  return s;
}

int reverseStrCmp(const char* a, const char* b) { return reverseCompare<sameCase>(a, b); }

int reverseStriCmp(const char* a, const char* b) { return reverseCompare<toUpper>(a, b); }

int reverseStrnCmp(const char* a, const char* b, unsigned int n) {
  return reverseCompareCounted<sameCase>(a, b, n);
}

int reverseStrniCmp(const char* a, const char* b, unsigned int n) {
  return reverseCompareCounted<toUpper>(a, b, n);
}

char* _strtok(char* s, const char* delimiters, unsigned int* position) {
  std::bitset<256> isDelimiter;
  for (const char* d = delimiters; *d != '\0'; ++d) isDelimiter.set(static_cast<unsigned char>(*d));
  auto delimiterAt = [&](unsigned int p) {
    return isDelimiter.test(static_cast<unsigned char>(s[p]));
  };

  unsigned int p = *position;
  while (s[p] != '\0' && delimiterAt(p)) ++p;
  if (s[p] == '\0') {
    *position = p;
    return nullptr;
  }
  char* token = s + p;
  while (s[p] != '\0' && !delimiterAt(p)) ++p;
  if (s[p] != '\0') s[p++] = '\0';
  *position = p;
  return token;
}

char** strSort(char** array, int count) {
  if (count > 1) {
    std::sort(array, array + count,
              [](const char* x, const char* y) { return _stricmp(x, y) < 0; });
  }
  return array;
}

char** strFind(char** array, int count, const char* key) {
  if (count <= 0) return nullptr;
  char** end = array + count;
  char** found = std::lower_bound(
      array, end, key, [](const char* element, const char* k) { return _stricmp(element, k) < 0; });
  if (found == end || _stricmp(*found, key) != 0) return nullptr;
  return found;
}

namespace {

template <bool kIgnoreCase>
const char* findIgnoringPunctuation(unsigned int* length, const char* text, const char* phrase) {
  auto same = [](char x, char y) { return kIgnoreCase ? toUpper(x) == toUpper(y) : x == y; };
  const char* start = text;
  const char* t = text;
  const char* p = phrase;
  for (;;) {
    if (*p == '\0') {
      // Matched characters are never punctuation, so the start stops at or before the cursor.
      while (start < t && isPunctuation(*start)) ++start;
      *length = static_cast<unsigned int>(t - start);
      return start;
    }
    if (*t == '\0') return nullptr;
    if (isPunctuation(*t)) {
      ++t;
    } else if (isPunctuation(*p)) {
      ++p;
    } else if (same(*t, *p)) {
      ++t;
      ++p;
    } else {
      p = phrase;
      ++start;
      t = start;
    }
  }
}

}  // namespace

const char* strnpstr(unsigned int* length, const char* text, const char* phrase) {
  return findIgnoringPunctuation<false>(length, text, phrase);
}

const char* strinpstr(unsigned int* length, const char* text, const char* phrase) {
  return findIgnoringPunctuation<true>(length, text, phrase);
}

char* replStr(char* s, const char* from, const char* to, unsigned short limit) {
  const std::size_t fromLength = std::strlen(from);
  // An empty pattern matches everywhere and never advances: nothing to replace.
  if (fromLength == 0) return s;
  const std::size_t toLength = std::strlen(to);
  const std::string copy(s);
  std::string result;
  std::string_view rest(copy);
  for (;;) {
    const char* occurrence = _stristr(rest.data(), from);
    if (occurrence == nullptr) break;
    const auto before = static_cast<std::size_t>(occurrence - rest.data());
    if (result.size() + before + toLength > limit) {
      rest = rest.substr(0, before);  // the text from this occurrence on is dropped
      break;
    }
    result.append(rest.substr(0, before));
    result.append(to, toLength);
    rest.remove_prefix(before + fromLength);
  }
  result.append(rest);
  if (result.size() > limit) result.resize(limit);
  std::memcpy(s, result.c_str(), result.size() + 1);
  return s;
}

std::size_t trimmedLength(std::string_view s) {
  std::size_t length = s.size();
  while (length > 0 && s[length - 1] == ' ') --length;
  return length;
}

void replaceCharacter(std::string& s, char from, char to) {
  std::replace(s.begin(), s.end(), from, to);
}

void stripLeading(std::string& s, char c) { s.erase(0, s.find_first_not_of(c)); }

void stripTrailing(std::string& s, char c) {
  const std::size_t last = s.find_last_not_of(c);
  s.erase(last == std::string::npos ? 0 : last + 1);
}

void stripLeadingPunctuation(std::string& s) {
  const auto first = std::find_if_not(s.begin(), s.end(), isPunctuation);
  s.erase(s.begin(), first);
}

void stripTrailingPunctuation(std::string& s) {
  while (!s.empty() && isPunctuation(s.back())) s.pop_back();
}

void removePunctuation(std::string& s) {
  std::erase_if(s, [](char c) { return isPunctuation(c) && c != '-' && c != '\''; });
}

void removeCharacters(std::string& s, std::string_view set) {
  std::erase_if(s, [set](char c) { return set.find(c) != std::string_view::npos; });
}

void normaliseSpaces(std::string& s) {
  std::string result;
  result.reserve(s.size());
  for (char c : s) {
    if (c == ' ' && (result.empty() || result.back() == ' ')) continue;
    result.push_back(c);
  }
  if (!result.empty() && result.back() == ' ') result.pop_back();
  s = std::move(result);
}

void trim(std::string& s) {
  stripLeading(s, ' ');
  stripTrailing(s, ' ');
  stripLeading(s, '\n');
  stripLeading(s, '\r');
  stripTrailing(s, '\n');
  stripTrailing(s, '\r');
  stripLeadingPunctuation(s);
  stripTrailingPunctuation(s);
}

}  // namespace vellum
