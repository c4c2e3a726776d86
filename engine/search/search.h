// Word and phrase search: typed text to verse lists, through the module's string table and
// word index (a word is never found by scanning Bible text).
//
// Conventions: the output list, its count, its capacity, the inputs, and the module (or
// string table) last; each function returns its output list and reports the number of
// entries through the count. Nothing found is a count of 0, never an error. A search given
// capacity c writes at most c slots, the terminator included (verselist.h); the engine passes
// kVerseListCapacity. Words are compared under the word rules of support/unicode.h. The "cs"
// twins are case-sensitive (accents included); the others ignore case and accents. Either way
// ' and ’ are the same character.
//
// A damaged module yields empty words and empty posting lists, so it finds nothing rather
// than anything read outside the file.
#pragma once

#include <cstdint>
#include <string>

#include "engine/bible/bible.h"
#include "engine/bible/strngtbl.h"
#include "engine/search/verselist.h"

namespace vellum {

// Verses containing a word that matches the word, ignoring case. The word is trimmed first
// (spaces, line ends, then punctuation at both ends), so wildcard characters at its ends are
// dropped ("lov*" looks for "lov") and only those inside it act as a pattern ("l?ve").
std::uint16_t* wordSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                          const char* word, BibleHandle* module);
std::uint16_t* csWordSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                            const char* word, BibleHandle* module);

// Verses containing the phrase. Candidates are the verses holding every word of the phrase
// (split as the word index is, support/strings.h splitWords); a candidate is a hit when any
// place its text holds the phrase, punctuation ignored, stands between punctuation, blanks or
// the ends of the text.
// The module's Strong's display flag is off during the search and restored after it.
std::uint16_t* phraseSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                            const char* phrase, BibleHandle* module);
std::uint16_t* csPhraseSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const char* phrase, BibleHandle* module);

// The word searches of the words folded together left to right: op(accumulated, next word's
// verses). caseSensitive non-zero uses csWordSearch. With no words the output is empty and
// the result is null.
std::uint16_t* wordListSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const std::string* words, std::uint16_t wordCount, SetOperation op,
                              int caseSensitive, BibleHandle* module);

// Word numbers (no terminator; at most capacity of them) of the words matching a wildcard
// pattern, in the order of the string table's ordering scanned: byte order, or reversed order
// when the pattern begins with a wildcard character, each case- and accent-blind unless
// caseSensitive.
// Only the run of words sharing the pattern's literal prefix (or tail) is scanned.
std::uint16_t* findAll(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                       const char* pattern, int caseSensitive, StrngTbl* table);
// Word numbers of the words whose sound-alike code equals the word's.
std::uint16_t* findSoundsLike(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const char* word, StrngTbl* table);

// Internal to the engine: the same searches within one search call's reader, so that a
// search made of many word searches reads each part of the module once.
std::uint16_t* wordSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                          const char* word, int caseSensitive, SearchReader& reader);
std::uint16_t* wordListSearch(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const std::string* words, std::uint16_t wordCount, SetOperation op,
                              int caseSensitive, SearchReader& reader);
std::uint16_t* findAll(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                       const char* pattern, int caseSensitive, SearchReader& reader);
std::uint16_t* findSoundsLike(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                              const char* word, SearchReader& reader);

}  // namespace vellum
