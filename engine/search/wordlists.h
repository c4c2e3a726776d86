// Wildcard and sound-alike word lists, and the searches built on them.
//
// The word lists fill a caller's array of strings (capacity entries) with copies of the
// matching words of the module's string table, in the order the table's scan finds them, and
// report how many. The searches fill the caller's word array the same way, then join the
// verses of those words with orOp into the output verse list (at most capacity - 1 entries,
// verselist.h). A malformed pattern matches no word; it is not an error.
#pragma once

#include <cstdint>
#include <string>

#include "engine/bible/bible.h"

namespace vellum {

// Words matching the wildcard pattern; caseSensitive non-zero matches letter case exactly.
std::string* getWildCardWordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                                 const char* pattern, int caseSensitive, BibleHandle* module);
// Words whose sound-alike code equals the word's.
std::string* getSoundexWordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                                const char* word, BibleHandle* module);

// Verses containing any word matching the pattern ignoring case; each word found is then
// looked up exactly (case-sensitively).
std::uint16_t* wildCardSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              std::string* words, std::uint16_t* wordCount,
                              std::uint16_t wordCapacity, const char* pattern, BibleHandle* module);
// The same with the pattern matched case-sensitively.
std::uint16_t* csWildCardSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                                std::string* words, std::uint16_t* wordCount,
                                std::uint16_t wordCapacity, const char* pattern,
                                BibleHandle* module);
// Verses containing any word that sounds like the word; each word found is looked up ignoring
// case.
std::uint16_t* soundexSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                             std::string* words, std::uint16_t* wordCount,
                             std::uint16_t wordCapacity, const char* word, BibleHandle* module);

}  // namespace vellum
