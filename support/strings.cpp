#include "support/strings.h"

#include <algorithm>
#include <bitset>
#include <cstring>

#include "support/unicode.h"

namespace vellum {

namespace {

// The deciding characters of every comparison are taken as signed bytes, so bytes above 127
// sort before ASCII, the same on every compiler whatever the signedness of plain char.
int signedByte(char c) { return static_cast<signed char>(c); }

char sameCase(char c) { return c; }

// The end of every backward comparison, once the walk has stopped at pa and pb (fold is the
// identity or toUpper):
// - the folded characters differ: the difference of their folded forms decides;
// - the first string ran out (or both did): minus the second's current character, so equal
//   strings compare as minus their first character and a search never reports an exact hit;
// - only the second ran out: the first's current character. A word thus sorts before every
//   longer word that ends with it, whichever is compared first (the comparison stays
//   antisymmetric where the strings differ);
// - a counted walk that stopped early found no difference: 0.
// The finishing values are taken unsigned so that their sign holds for bytes above 127 too.
template <char (*fold)(char)>
int finishBackward(const char* a, const char* b, const char* pa, const char* pb) {
  if (fold(*pa) != fold(*pb)) return signedByte(fold(*pa)) - signedByte(fold(*pb));
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
// n characters compared" (0), which alone gives 0 outright. A walk that stops at a string's
// first character with one character left to compare compares it: "love" and "*love" agree
// on their last 4, so a pattern's literal tail finds the word that is exactly that tail.
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
  if (n == 0 || (n == 1 && fold(*pa) == fold(*pb))) return 0;
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

namespace {

// The comparison of _strnicmp over two texts of the same fold: the terminators take part.
int compareCounted(const char* a, const char* b, unsigned int n, char (*fold)(char)) {
  // The count is tested after the terminators, so n characters that match completely give 0,
  // and a count of 0 always gives 0.
  while (fold(*a) == fold(*b) && *a != '\0' && *b != '\0') {
    if (n == 0) break;
    --n;
    ++a;
    ++b;
  }
  if (n == 0) return 0;
  return signedByte(fold(*a)) - signedByte(fold(*b));
}

bool bothAscii(const char* a, const char* b) { return unicode::isAscii(a) && unicode::isAscii(b); }

}  // namespace

int _strnicmp(const char* a, const char* b, unsigned int n) {
  // An ASCII text folds byte for byte to its upper case: no copies needed.
  if (bothAscii(a, b)) return compareCounted(a, b, n, toUpper);
  const std::string foldedA = unicode::folded(a);
  const std::string foldedB = unicode::folded(b);
  return compareCounted(foldedA.c_str(), foldedB.c_str(), n, sameCase);
}

int _stricmp(const char* a, const char* b) {
  if (bothAscii(a, b)) return compareCounted(a, b, ~0u, toUpper);
  const std::string foldedA = unicode::folded(a);
  const std::string foldedB = unicode::folded(b);
  return compareCounted(foldedA.c_str(), foldedB.c_str(), ~0u, sameCase);
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

int reverseStriCmp(const char* a, const char* b) {
  if (bothAscii(a, b)) return reverseCompare<toUpper>(a, b);
  return reverseCompare<sameCase>(unicode::folded(a).c_str(), unicode::folded(b).c_str());
}

int reverseStrnCmp(const char* a, const char* b, unsigned int n) {
  return reverseCompareCounted<sameCase>(a, b, n);
}

int reverseStrniCmp(const char* a, const char* b, unsigned int n) {
  if (bothAscii(a, b)) return reverseCompareCounted<toUpper>(a, b, n);
  return reverseCompareCounted<sameCase>(unicode::folded(a).c_str(), unicode::folded(b).c_str(), n);
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

// Appends the search form of one character: a blank as one space, then the folded form
// when case is ignored, else the character with its apostrophe unified.
void PhraseFinder::appendKey(std::string& key, std::string_view text, unicode::Character c) const {
  if (c.code < 0x80) {
    const char ascii = static_cast<char>(c.code);
    key.push_back(unicode::isBlank(c.code) ? ' ' : ignoreCase_ ? toUpper(ascii) : ascii);
  } else if (unicode::isBlank(c.code)) {
    key.push_back(' ');
  } else if (ignoreCase_) {
    unicode::appendFolded(key, c);
  } else if (unicode::isApostrophe(c.code)) {
    key.push_back('\'');
  } else {
    key.append(text);
  }
}

PhraseFinder::PhraseFinder(std::string_view phrase, bool ignoreCase, bool ignorePunctuation)
    : ignoreCase_(ignoreCase), ignorePunctuation_(ignorePunctuation) {
  for (std::size_t at = 0; at < phrase.size();) {
    const unicode::Character c = unicode::decode(phrase, at);
    if (!skipped(c.code)) appendKey(needle_, phrase.substr(at, c.length), c);
    at += c.length;
  }
}

// Tries the phrase from every character of the text that is not skipped, reading the text's
// characters in their search form as it goes; an occurrence takes whole characters only.
template <class Found>
bool PhraseFinder::forEachOccurrence(std::string_view text, Found&& found) {
  if (needle_.empty()) return false;
  for (std::size_t start = 0; start < text.size();) {
    const unicode::Character first = unicode::decode(text, start);
    if (!skipped(first.code)) {
      std::size_t t = start;
      std::size_t p = 0;
      while (p < needle_.size() && t < text.size()) {
        const unicode::Character c = unicode::decode(text, t);
        t += c.length;
        if (skipped(c.code)) continue;
        if (c.code < 0x80) {  // one byte of the search form, compared in place
          const char ascii = static_cast<char>(c.code);
          if (needle_[p] != (unicode::isBlank(c.code) ? ' ' : ignoreCase_ ? toUpper(ascii) : ascii))
            break;
          ++p;
          continue;
        }
        scratch_.clear();
        appendKey(scratch_, text.substr(t - c.length, c.length), c);
        if (needle_.compare(p, scratch_.size(), scratch_) != 0) break;
        p += scratch_.size();
      }
      if (p == needle_.size()) {
        // Characters the search form drops (the marks of a decomposed "amó") belong to the
        // last character matched.
        while (t < text.size()) {
          const unicode::Character c = unicode::decode(text, t);
          if (c.code < 0x80 || skipped(c.code)) break;
          scratch_.clear();
          appendKey(scratch_, text.substr(t, c.length), c);
          if (!scratch_.empty()) break;
          t += c.length;
        }
        if (found(start, t)) return true;
      }
    }
    start += first.length;
  }
  return false;
}

bool PhraseFinder::first(std::string_view text, std::size_t* start, std::size_t* end) {
  return forEachOccurrence(text, [&](std::size_t s, std::size_t e) {
    *start = s;
    *end = e;
    return true;
  });
}

bool PhraseFinder::holds(std::string_view text) {
  auto separates = [](char32_t code) {
    return unicode::isBlank(code) || unicode::isPunctuation(code);
  };
  return forEachOccurrence(text, [&](std::size_t start, std::size_t end) {
    return (start == 0 || separates(unicode::decodeBefore(text, start).code)) &&
           (end == text.size() || separates(unicode::decode(text, end).code));
  });
}

namespace {

const char* firstIgnoringPunctuation(unsigned int* length, const char* text, const char* phrase,
                                     bool ignoreCase) {
  PhraseFinder finder(phrase, ignoreCase, true);
  std::size_t start = 0, end = 0;
  if (!finder.first(text, &start, &end)) return nullptr;
  *length = static_cast<unsigned int>(end - start);
  return text + start;
}

}  // namespace

const char* strnpstr(unsigned int* length, const char* text, const char* phrase) {
  return firstIgnoringPunctuation(length, text, phrase, false);
}

const char* strinpstr(unsigned int* length, const char* text, const char* phrase) {
  return firstIgnoringPunctuation(length, text, phrase, true);
}

bool holdsPhrase(std::string_view text, std::string_view phrase, bool ignoreCase,
                 bool ignorePunctuation) {
  return PhraseFinder(phrase, ignoreCase, ignorePunctuation).holds(text);
}

std::vector<std::string> splitWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  auto finish = [&] {
    trim(word);
    if (!word.empty()) words.push_back(std::move(word));
    word.clear();
  };
  for (std::size_t at = 0; at < text.size();) {
    const unicode::Character c = unicode::decode(text, at);
    if (unicode::isWordDelimiter(c.code))
      finish();
    else
      word.append(text.substr(at, c.length));
    at += c.length;
  }
  finish();
  return words;
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
  unicode::cut(result, limit);
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
  std::size_t at = 0;
  while (at < s.size()) {
    const unicode::Character c = unicode::decode(s, at);
    if (!unicode::isPunctuation(c.code)) break;
    at += c.length;
  }
  s.erase(0, at);
}

void stripTrailingPunctuation(std::string& s) {
  while (!s.empty()) {
    const unicode::Character c = unicode::decodeBefore(s, s.size());
    if (!unicode::isPunctuation(c.code)) break;
    s.resize(s.size() - c.length);
  }
}

void removePunctuation(std::string& s) {
  std::string kept;
  kept.reserve(s.size());
  for (std::size_t at = 0; at < s.size();) {
    const unicode::Character c = unicode::decode(s, at);
    if (!unicode::isPunctuation(c.code) || c.code == '-' || unicode::isApostrophe(c.code))
      kept.append(s, at, c.length);
    at += c.length;
  }
  s = std::move(kept);
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
