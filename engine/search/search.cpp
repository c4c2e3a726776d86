// Word and phrase search over a module's string table and word index.
#include "engine/search/search.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/bible/module_internal.h"
#include "support/match.h"
#include "support/strings.h"
#include "support/unicode.h"

namespace vellum {
namespace {

constexpr std::uint16_t kNoWord = 0xFFFF;

// The characters that open a wildcard element. A pattern that begins with one is anchored on
// its literal tail through a reversed ordering.
bool isWildcard(char c) { return c == '*' || c == '?' || c == '['; }

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
// the ordering's prefix comparison, then scan the run forward. The case-blind orderings hold
// their words in folded order, so the pattern and each word are compared in their folded
// forms; the others compare the exact forms (apostrophes unified).
// accept, when given, decides on each word of the run (in its key form) in place of the
// pattern's match.
using WordTest = std::function<bool(const std::string&)>;
void scanOrdering(std::vector<std::uint16_t>& found, std::uint16_t capacity, const char* pattern,
                  int ordering, SearchReader& reader, const WordTest& accept = nullptr) {
  const bool caseBlind = ordering == kCaseBlind || ordering == kReversedCaseBlind;
  const std::string key = unicode::searchForm(pattern, !caseBlind);
  const unsigned int prefixLength = literalPrefixLength(key, ordering);
  char patternCode[5] = {};
  if (ordering == kSoundAlike) soundex(patternCode, pattern);

  auto keyForm = [caseBlind](std::string word) {
    if (caseBlind) unicode::fold(word);
    return word;
  };
  auto prefixEqual = [&](const std::string& word) {
    switch (ordering) {
      case kByteOrder:
      case kCaseBlind:
        return std::strncmp(word.c_str(), key.c_str(), prefixLength) == 0;
      // The backward comparisons need a non-empty word; only a damaged table gives an empty one.
      case kReversed:
      case kReversedCaseBlind:
        return !word.empty() && reverseStrnCmp(word.c_str(), key.c_str(), prefixLength) == 0;
      default: {
        char wordCode[5];
        return std::strncmp(soundex(wordCode, word.c_str()), patternCode, 4) == 0;
      }
    }
  };

  const int words = reader.tableWords();
  auto inRun = [&](int position) {
    return position >= 0 && position < words &&
           prefixEqual(keyForm(reader.wordAt(static_cast<std::uint16_t>(position), ordering)));
  };
  // The search's last probe lies next to where the pattern would sort: inside the run, just
  // before it, or just after it when every word of the run sorts before the pattern
  // ("Joseph's" before "Joseph*", since ' sorts before *).
  int exact = 0;
  int position = reader.searchOrdering(&exact, key.c_str(), ordering);
  bool member = inRun(position);
  if (!member && inRun(position - 1)) {
    --position;
    member = true;
  }
  while (member) member = inRun(--position);
  ++position;
  for (; position < words && found.size() < capacity; ++position) {
    const auto at = static_cast<std::uint16_t>(position);
    const std::string word = keyForm(reader.wordAt(at, ordering));
    if (!prefixEqual(word)) break;
    if (accept ? !accept(word) : ordering != kSoundAlike && match(key.c_str(), word.c_str()) == 0)
      continue;
    const std::uint16_t wordNumber = reader.wordNumberAt(at, ordering);
    if (wordNumber != kNoWord) found.push_back(wordNumber);  // kNoWord only from a damaged table
  }
}

// The word numbers findAll finds, at most capacity of them.
void findWords(std::vector<std::uint16_t>& found, std::uint16_t capacity, const char* pattern,
               int caseSensitive, SearchReader& reader, const WordTest& accept = nullptr) {
  // An empty pattern matches only an empty word, and a table holds none.
  if (pattern == nullptr || *pattern == '\0') return;
  int ordering = isWildcard(pattern[0]) ? kReversed : kByteOrder;
  if (caseSensitive == 0) ordering += 2;
  scanOrdering(found, capacity, pattern, ordering, reader, accept);
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

// Adds the verses of the table's words that hold the word joined to punctuation inside them, as
// the word index keeps "son’s" as one word: the words that begin with the word and punctuation
// (atEnd) or end with punctuation and the word. A phrase that ends in "my son" stands whole in
// "my son’s", so such words make candidates as the word itself does.
void addJoinedWordVerses(VerseSet& verses, const std::string& word, bool atEnd, int caseSensitive,
                         SearchReader& reader) {
  if (is_pattern(word.c_str()) || reader.module() == nullptr) return;
  const std::string form = unicode::searchForm(word, caseSensitive != 0);
  const std::string pattern = atEnd ? word + "*" : "*" + word;
  // The scan hands each word of the run in the same form as form.
  auto joined = [&form, atEnd](const std::string& found) {
    if (found.size() <= form.size()) return false;
    return atEnd ? found.starts_with(form) &&
                       unicode::isPunctuation(unicode::decode(found, form.size()).code)
                 : found.ends_with(form) &&
                       unicode::isPunctuation(
                           unicode::decodeBefore(found, found.size() - form.size()).code);
  };
  std::vector<std::uint16_t> numbers;
  findWords(numbers, static_cast<std::uint16_t>(reader.module()->header.wordCount), pattern.c_str(),
            caseSensitive, reader, joined);
  for (std::uint16_t number : numbers)
    reader.addPostingList(verses, number, kVerseListCapacity - 1);
}

// The verses that may hold the phrase: those holding each of its words, the first and last of
// them also where they are joined to punctuation inside a word of the index.
void phraseCandidates(std::uint16_t* out, std::uint16_t* count,
                      const std::vector<std::string>& words, int caseSensitive,
                      SearchReader& reader) {
  auto next = workingList();
  auto scratch = workingList();
  std::uint16_t nextCount = 0;
  for (std::size_t i = 0; i < words.size(); ++i) {
    VerseSet verses;
    addWordVerses(verses, words[i].c_str(), caseSensitive, reader);
    if (i == 0) addJoinedWordVerses(verses, words[i], false, caseSensitive, reader);
    if (i + 1 == words.size()) addJoinedWordVerses(verses, words[i], true, caseSensitive, reader);
    if (i == 0) {
      verses.toList(out, count, kVerseListCapacity);
      continue;
    }
    verses.toList(next.get(), &nextCount, kVerseListCapacity);
    andOp(scratch.get(), count, kVerseListCapacity, out, next.get());
    std::copy_n(scratch.get(), *count + 1, out);
  }
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

  const std::vector<std::string> words = splitWords(phrase);
  if (words.empty()) return out;

  SearchReader reader(module);
  auto candidates = workingList();
  std::uint16_t candidateCount = 0;
  phraseCandidates(candidates.get(), &candidateCount, words, caseSensitive, reader);

  StrongsOff strongsOff(module);
  PhraseFinder finder(phrase, caseSensitive == 0, true);
  std::vector<char> text(kChapterBufferSize);
  const std::uint16_t limit = capacity - 1;  // the terminator stays inside the buffer
  std::uint16_t n = 0;
  for (std::uint16_t i = 0; i < candidateCount && n < limit; ++i) {
    std::uint16_t length = 0;
    getVerse(text.data(), &length, kMaxChapterText, candidates[i], module);
    if (finder.holds(std::string_view(text.data()))) out[n++] = candidates[i];
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
    wordSearch(next.get(), &nextCount, kVerseListCapacity, words[i].c_str(), caseSensitive, reader);
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
