// The word string table inside a module: every distinct word, in five orderings.
//
// A word's position in byte order is its word number, the key of the module's word index.
// The table is read in place: nothing is cached, every lookup seeks and reads. Reads are
// checked against the file; a damaged table yields empty words and no matches, never a read
// outside the table.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vellum {

inline constexpr std::uint32_t kStrngTblChecksum = 4321;
inline constexpr int kStrngTblHeaderSize = 38;
inline constexpr int kMaxWordLength = 254;
inline constexpr int kMaxWords = 65535;

// Orderings of the table.
enum Ordering : int {
  kByteOrder = 0,
  kReversed = 1,
  kCaseBlind = 2,
  kReversedCaseBlind = 3,
  kSoundAlike = 4,
};

struct StrngTbl {
  std::FILE* stream = nullptr;  // shared with the module; not owned
  std::uint32_t checksum = 0;
  std::uint32_t hdrofs = 0;
  std::uint32_t wordsofs = 0;
  std::uint32_t inx0ofs = 0;
  std::uint32_t inx1ofs = 0;
  std::uint32_t inx2ofs = 0;
  std::uint32_t inx3ofs = 0;
  std::uint32_t inx5ofs = 0;
  std::uint16_t nWords = 0;
  std::uint64_t fileSize = 0;  // bound for every read
};

// Reads the 38-byte header at the stream's position. Returns null when the header cannot be
// read or its areas do not lie within the file.
StrngTbl* initStrngTbl(std::FILE* stream);
void deinitStrngTbl(StrngTbl* table);

// Writes a table at the stream's position (header, words, offsets, four orderings), flushes,
// leaves the stream at the table's end and returns a handle on it. Words must be distinct, of
// 1 to 254 characters, at most 65535 of them; otherwise nothing is written and null returned.
StrngTbl* createStrngTbl(std::FILE* stream, const char* const* words, std::uint16_t count);

// The word with that number ("" when out of range or unreadable).
std::string GetAString(std::uint16_t word, StrngTbl* table);
// The word number of an exact, case-sensitive match, or -1.
int UniqueString(const char* word, StrngTbl* table);

// Internal to the engine (the word finders of the search).
// The word at a position of an ordering ("" when out of range or unreadable).
std::string wordAt(std::uint16_t position, int ordering, StrngTbl* table);
// The word number at a position of an ordering; 0xFFFF (never below nWords) when the position
// is out of range or the table is damaged there, so callers check it against nWords.
std::uint16_t wordNumberAt(std::uint16_t position, int ordering, StrngTbl* table);
// Binary search for the key with the ordering's full comparison: the position of a hit with
// *found = 1, else the last position probed (0 for an empty table) with *found = 0.
int searchOrdering(int* found, const char* key, int ordering, StrngTbl* table);
// The ordering's full comparison, word first and key second.
int compareInOrdering(const char* word, const char* key, int ordering);

// The binary search of searchOrdering over any source of the words at positions of the
// ordering (wordAt(position) returns the word as a std::string), so a cached reader finds
// exactly the position the table itself does: the hit, or the last position probed.
template <class WordAt>
int searchOrderingWith(int* found, const char* key, int ordering, std::uint16_t nWords,
                       WordAt&& wordAt) {
  *found = 0;
  int low = 0;
  int high = static_cast<int>(nWords) - 1;
  int middle = 0;
  while (low <= high) {
    middle = (low + high) / 2;
    const std::string word = wordAt(static_cast<std::uint16_t>(middle));
    const int result = compareInOrdering(word.c_str(), key, ordering);
    if (result < 0) {
      low = middle + 1;
    } else if (result > 0) {
      high = middle - 1;
    } else {
      *found = 1;
      return middle;
    }
  }
  return middle;
}

}  // namespace vellum
