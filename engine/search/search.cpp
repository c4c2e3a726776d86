// Word and phrase search over a module's string table and word index.
#include "engine/search/search.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/bible/module_internal.h"
#include "engine/search/match.h"
#include "support/strings.h"

namespace vellum {
namespace {

constexpr std::uint16_t kNoWord = 0xFFFF;
constexpr const char* kPhraseDelimiters = " ,.:;?![]-";

// The characters that open a wildcard element. A pattern that begins with one is anchored on
// its literal tail through a reversed ordering.
bool isWildcard(char c) { return c == '*' || c == '?' || c == '['; }

bool isPunctuationOrSpace(char c) { return c == ' ' || isPunctuation(c); }

// A working verse list of the standard capacity; never read beyond its count and terminator,
// so it needs no zero fill.
std::unique_ptr<std::uint16_t[]> workingList() {
  auto list = std::make_unique_for_overwrite<std::uint16_t[]>(kVerseListCapacity);
  list[0] = kVerseListEnd;
  return list;
}

// The length of the pattern's literal prefix in the ordering's key form (reversed for the
// reversed orderings): the position of the first wildcard character after the key's first
// character that is not one, or the key's length. 0 when the key is all wildcard characters,
// which makes every word compare equal in the prefix comparison.
unsigned int literalPrefixLength(const std::string& pattern, int ordering) {
  std::string key = pattern;
  if (ordering == kReversed || ordering == kReversedCaseBlind) std::reverse(key.begin(), key.end());
  const std::size_t first = key.find_first_not_of("*?[");
  if (first == std::string::npos) return 0;
  const std::size_t wildcard = key.find_first_of("*?[", first + 1);
  return static_cast<unsigned int>(wildcard == std::string::npos ? key.size() : wildcard);
}

// The scan shared by findAll (orderings 0 to 3) and findSoundsLike (ordering 4): seed a binary
// search with the pattern, walk back to the start of the run of words equal to the pattern in
// the ordering's prefix comparison, then scan the run forward.
void scanOrdering(std::vector<std::uint16_t>& found, std::uint16_t capacity, const char* pattern,
                  int ordering, SearchReader& reader) {
  const bool caseBlind = ordering == kCaseBlind || ordering == kReversedCaseBlind;
  std::string matchCopy = pattern;
  if (caseBlind) _strupr(matchCopy.data());
  const unsigned int prefixLength = literalPrefixLength(pattern, ordering);
  char patternCode[5] = {};
  soundex(patternCode, pattern);

  auto prefixEqual = [&](const std::string& word) {
    switch (ordering) {
      case kByteOrder: return std::strncmp(word.c_str(), pattern, prefixLength) == 0;
      case kCaseBlind: return _strnicmp(word.c_str(), pattern, prefixLength) == 0;
      // The backward comparisons need a non-empty word; only a damaged table gives an empty one.
      case kReversed: return !word.empty() && reverseStrnCmp(word.c_str(), pattern, prefixLength) == 0;
      case kReversedCaseBlind:
        return !word.empty() && reverseStrniCmp(word.c_str(), pattern, prefixLength) == 0;
      default: {
        char wordCode[5];
        return std::strncmp(soundex(wordCode, word.c_str()), patternCode, 4) == 0;
      }
    }
  };

  const int words = reader.tableWords();
  int exact = 0;
  int position = reader.searchOrdering(&exact, pattern, ordering);
  while (position >= 0 && prefixEqual(reader.wordAt(static_cast<std::uint16_t>(position), ordering)))
    --position;
  ++position;
  for (; position < words && found.size() < capacity; ++position) {
    const auto at = static_cast<std::uint16_t>(position);
    std::string word = reader.wordAt(at, ordering);
    if (!prefixEqual(word)) break;
    if (ordering != kSoundAlike) {
      if (caseBlind) _strupr(word.data());
      if (match(matchCopy.c_str(), word.c_str()) == 0) continue;
    }
    const std::uint16_t wordNumber = reader.wordNumberAt(at, ordering);
    if (wordNumber != kNoWord) found.push_back(wordNumber);  // kNoWord only from a damaged table
  }
}

// The word numbers findAll finds, at most capacity of them.
void findWords(std::vector<std::uint16_t>& found, std::uint16_t capacity, const char* pattern,
               int caseSensitive, SearchReader& reader) {
  // An empty pattern matches only an empty word, and a table holds none.
  if (pattern == nullptr || *pattern == '\0') return;
  int ordering = isWildcard(pattern[0]) ? kReversed : kByteOrder;
  if (caseSensitive == 0) ordering += 2;
  scanOrdering(found, capacity, pattern, ordering, reader);
}

// Adds the verses the word search for the word finds to the set, uncut. Cutting the set's
// list to its smallest 31199 verses afterwards gives the word search's own list, and the same
// for a union of several word searches.
void addWordVerses(VerseSet& verses, const char* word, int caseSensitive, SearchReader& reader) {
  if (word == nullptr || reader.module() == nullptr) return;
  std::string trimmed = word;
  trim(trimmed);
  // The word-number array holds one slot per word of the table, so the scan is never
  // cut by it; a growing vector keeps the same words without reserving that much.
  const auto wordCount = static_cast<std::uint16_t>(reader.module()->header.wordCount);
  std::vector<std::uint16_t> wordNumbers;
  findWords(wordNumbers, wordCount, trimmed.c_str(), caseSensitive, reader);
  for (std::uint16_t wordNumber : wordNumbers)
    reader.addPostingList(verses, wordNumber, kVerseListCapacity - 1);
}

// Keeps the module's Strong's display flag off for the life of the guard, then restores it.
class StrongsOff {
 public:
  explicit StrongsOff(BibleHandle* module) : module_(module), saved_(getStrongs(module)) {
    setStrongs(module_, 0);
  }
  ~StrongsOff() { setStrongs(module_, saved_); }
  StrongsOff(const StrongsOff&) = delete;
  StrongsOff& operator=(const StrongsOff&) = delete;

 private:
  BibleHandle* module_;
  int saved_;
};

std::uint16_t* phraseSearchWith(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                                const char* phrase, int caseSensitive, BibleHandle* module) {
  *count = 0;
  if (capacity > 0) out[0] = kVerseListEnd;
  if (module == nullptr || phrase == nullptr || capacity == 0) return out;

  std::string split = phrase;
  std::vector<std::string> words;
  unsigned int position = 0;
  while (const char* word = _strtok(split.data(), kPhraseDelimiters, &position))
    words.emplace_back(word);
  if (words.empty()) return out;

  SearchReader reader(module);
  auto candidates = workingList();
  std::uint16_t candidateCount = 0;
  wordListSearch(candidates.get(), &candidateCount, kVerseListCapacity, words.data(),
                 static_cast<std::uint16_t>(std::min<std::size_t>(words.size(), UINT16_MAX)),
                 andOp, caseSensitive, reader);

  StrongsOff strongsOff(module);
  std::vector<char> text(kChapterBufferSize);
  const std::uint16_t limit = capacity - 1;  // the terminator stays inside the buffer
  std::uint16_t n = 0;
  for (std::uint16_t i = 0; i < candidateCount && n < limit; ++i) {
    std::uint16_t length = 0;
    getVerse(text.data(), &length, kMaxChapterText, candidates[i], module);
    unsigned int span = 0;
    const char* at = caseSensitive ? strnpstr(&span, text.data(), phrase)
                                   : strinpstr(&span, text.data(), phrase);
    // Only the first place the phrase occurs decides.
    if (at == nullptr) continue;
    const bool startsClean = at == text.data() || isPunctuationOrSpace(at[-1]);
    const bool endsClean = at[span] == '\0' || isPunctuationOrSpace(at[span]);
    if (startsClean && endsClean) out[n++] = candidates[i];
  }
  out[n] = kVerseListEnd;
  *count = n;
  return out;
}

}  // namespace

std::uint16_t* findAll(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                       const char* pattern, int caseSensitive, SearchReader& reader) {
  std::vector<std::uint16_t> found;
  findWords(found, capacity, pattern, caseSensitive, reader);
  std::copy(found.begin(), found.end(), out);
  *count = static_cast<std::uint16_t>(found.size());
  return out;
}

std::uint16_t* findSoundsLike(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const char* word, SearchReader& reader) {
  std::vector<std::uint16_t> found;
  if (word != nullptr) scanOrdering(found, capacity, word, kSoundAlike, reader);
  std::copy(found.begin(), found.end(), out);
  *count = static_cast<std::uint16_t>(found.size());
  return out;
}

std::uint16_t* findAll(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                       const char* pattern, int caseSensitive, StrngTbl* table) {
  SearchReader reader(table);
  return findAll(out, count, capacity, pattern, caseSensitive, reader);
}

std::uint16_t* findSoundsLike(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const char* word, StrngTbl* table) {
  SearchReader reader(table);
  return findSoundsLike(out, count, capacity, word, reader);
}

std::uint16_t* wordSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                          const char* word, int caseSensitive, SearchReader& reader) {
  VerseSet verses;
  addWordVerses(verses, word, caseSensitive, reader);
  // As unionPostingLists: the accumulator holds at most 31199 entries.
  return verses.toList(out, count, std::min(capacity, kVerseListCapacity));
}

std::uint16_t* wordSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                          const char* word, BibleHandle* module) {
  SearchReader reader(module);
  return wordSearch(out, count, capacity, word, 0, reader);
}

std::uint16_t* csWordSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                            const char* word, BibleHandle* module) {
  SearchReader reader(module);
  return wordSearch(out, count, capacity, word, 1, reader);
}

std::uint16_t* wordListSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const std::string* words, std::uint16_t wordCount, SetOperation op,
                              int caseSensitive, SearchReader& reader) {
  *count = 0;
  if (capacity > 0) out[0] = kVerseListEnd;
  if (wordCount == 0 || words == nullptr) return nullptr;
  // The accumulated list never exceeds the standard capacity, whatever the caller's.
  const std::uint16_t outCapacity = std::min(capacity, kVerseListCapacity);
  if (op == orOp) {
    // A fold of orOp keeps the smallest 31199 verses of the union of all the lists, whatever
    // their order: one verse set gives the same list without a merge per word.
    VerseSet verses;
    for (std::uint16_t i = 0; i < wordCount; ++i)
      addWordVerses(verses, words[i].c_str(), caseSensitive, reader);
    return verses.toList(out, count, outCapacity);
  }

  auto next = workingList();
  std::uint16_t nextCount = 0;

  auto accumulated = workingList();
  auto scratch = workingList();
  std::uint16_t accumulatedCount = 0;
  wordSearch(accumulated.get(), &accumulatedCount, kVerseListCapacity, words[0].c_str(),
             caseSensitive, reader);
  for (std::uint16_t i = 1; i < wordCount; ++i) {
    wordSearch(next.get(), &nextCount, kVerseListCapacity, words[i].c_str(), caseSensitive,
               reader);
    if (op == nullptr) continue;
    op(scratch.get(), &accumulatedCount, kVerseListCapacity, accumulated.get(), next.get());
    std::swap(accumulated, scratch);
  }
  if (outCapacity == 0) return out;
  const std::uint16_t n = std::min<std::uint16_t>(accumulatedCount, outCapacity - 1);
  std::copy_n(accumulated.get(), n, out);
  out[n] = kVerseListEnd;
  *count = n;
  return out;
}

std::uint16_t* wordListSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const std::string* words, std::uint16_t wordCount, SetOperation op,
                              int caseSensitive, BibleHandle* module) {
  SearchReader reader(module);
  return wordListSearch(out, count, capacity, words, wordCount, op, caseSensitive, reader);
}

std::uint16_t* phraseSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                            const char* phrase, BibleHandle* module) {
  return phraseSearchWith(out, count, capacity, phrase, 0, module);
}

std::uint16_t* csPhraseSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const char* phrase, BibleHandle* module) {
  return phraseSearchWith(out, count, capacity, phrase, 1, module);
}

}  // namespace vellum
