// Wildcard and sound-alike word lists and searches.
#include "engine/search/wordlists.h"

#include <memory>

#include "engine/search/search.h"
#include "engine/search/verselist.h"

namespace vellum {
namespace {

enum class Finder { kWildcard, kSoundAlike };

std::string* wordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                      const char* pattern, int caseSensitive, Finder finder, SearchReader& reader) {
  *count = 0;
  if (capacity == 0 || pattern == nullptr) return words;
  auto wordNumbers = std::make_unique_for_overwrite<std::uint16_t[]>(capacity);
  std::uint16_t found = 0;
  if (finder == Finder::kWildcard)
    findAll(wordNumbers.get(), &found, capacity, pattern, caseSensitive, reader);
  else
    findSoundsLike(wordNumbers.get(), &found, capacity, pattern, reader);
  for (std::uint16_t i = 0; i < found; ++i) words[i] = reader.wordAt(wordNumbers[i], kByteOrder);
  *count = found;
  return words;
}

std::uint16_t* searchWordList(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              std::string* words, std::uint16_t* wordCount,
                              std::uint16_t wordCapacity, const char* pattern, int listCase,
                              int searchCase, Finder finder, BibleHandle* module) {
  *count = 0;
  *wordCount = 0;
  if (capacity > 0) out[0] = kVerseListEnd;
  if (module == nullptr) return out;
  SearchReader reader(module);
  wordList(words, wordCount, wordCapacity, pattern, listCase, finder, reader);
  wordListSearch(out, count, capacity, words, *wordCount, orOp, searchCase, reader);
  return out;
}

}  // namespace

std::string* getWildCardWordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                                 const char* pattern, int caseSensitive, BibleHandle* module) {
  *count = 0;
  if (module == nullptr) return words;
  SearchReader reader(module);
  return wordList(words, count, capacity, pattern, caseSensitive, Finder::kWildcard, reader);
}

std::string* getSoundexWordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                                const char* word, BibleHandle* module) {
  *count = 0;
  if (module == nullptr) return words;
  SearchReader reader(module);
  return wordList(words, count, capacity, word, 0, Finder::kSoundAlike, reader);
}

std::uint16_t* wildCardSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              std::string* words, std::uint16_t* wordCount,
                              std::uint16_t wordCapacity, const char* pattern,
                              BibleHandle* module) {
  return searchWordList(out, count, capacity, words, wordCount, wordCapacity, pattern, 0, 1,
                        Finder::kWildcard, module);
}

std::uint16_t* csWildCardSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                                std::string* words, std::uint16_t* wordCount,
                                std::uint16_t wordCapacity, const char* pattern,
                                BibleHandle* module) {
  return searchWordList(out, count, capacity, words, wordCount, wordCapacity, pattern, 1, 1,
                        Finder::kWildcard, module);
}

std::uint16_t* soundexSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                             std::string* words, std::uint16_t* wordCount,
                             std::uint16_t wordCapacity, const char* word, BibleHandle* module) {
  return searchWordList(out, count, capacity, words, wordCount, wordCapacity, word, 0, 0,
                        Finder::kSoundAlike, module);
}

}  // namespace vellum
