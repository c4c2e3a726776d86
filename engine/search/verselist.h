// Verse lists and their set operations.
//
// A verse list is an array of 16-bit verse numbers in strictly ascending order, without
// duplicates, closed by the terminator kVerseListEnd (31201, greater than every verse number).
// Its entry count travels beside it and never counts the terminator. The engine's working
// lists hold kVerseListCapacity slots and every engine caller passes that capacity.
//
// Capacity rule, the same for every function here and in the searches: a function given
// capacity c writes at most c slots in all, the terminator included, so a list comes out with
// at most c - 1 entries. With c = 0 nothing is written and the count is 0. The merges cut a
// result silently at that limit and report the cut length.
//
// The caller owns every buffer; nothing here allocates on the caller's behalf. Input lists are
// read only. A merge reads each input up to its terminator; any value at or above the
// terminator ends an input, so a list holding a stray large value is never read past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <span>
#include <string>
#include <unordered_map>

#include "engine/bible/bible.h"
#include "engine/bible/strngtbl.h"

namespace vellum {

struct BibleHandle;

inline constexpr std::uint16_t kVerseListCapacity = 31200;

// Signature shared by the three merges: output, its count, its capacity, first input, second
// input; they return the output.
using SetOperation = std::uint16_t* (*)(std::uint16_t* out, std::uint16_t* count,
                                        std::uint16_t capacity, const std::uint16_t* first,
                                        const std::uint16_t* second);

// Verses present in both inputs.
std::uint16_t* andOp(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                     const std::uint16_t* first, const std::uint16_t* second);
// Verses present in either input, each once.
std::uint16_t* orOp(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                    const std::uint16_t* first, const std::uint16_t* second);
// Verses of the SECOND input that are absent from the first: the list to subtract comes first.
std::uint16_t* andNotOp(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                        const std::uint16_t* first, const std::uint16_t* second);

// Internal to the engine.
//
// The verses of one word of the module's string table, from the module's word index: the
// first capacity - 1 entries of its posting list. A word number outside the table, or a
// posting list that lies outside the file or is not strictly ascending below the module's
// verse count, reads as an empty list.
std::uint16_t* readPostingList(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                               std::uint16_t wordNumber, BibleHandle* module);
// Every verse containing at least one of the words, cut to capacity - 1 entries (the smallest
// verse numbers are kept).
std::uint16_t* unionPostingLists(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                                 const std::uint16_t* wordNumbers, std::uint16_t wordCount,
                                 BibleHandle* module);

// The first capacity - 1 entries (at most) of a sorted set of verses marked in a bitmap of
// kVerseListEnd bits, as a terminated list; shared by the unions of the searches. The union
// of several lists each cut to its smallest entries, cut again to the smallest capacity - 1,
// equals folding orOp over them, whatever their order.
class VerseSet {
 public:
  void insert(std::uint16_t verse) { bits_[verse / 64] |= std::uint64_t{1} << (verse % 64); }
  void add(const std::uint16_t* list, std::uint16_t count);
  std::uint16_t* toList(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity) const;

 private:
  static constexpr std::size_t kWords = (kVerseListEnd + 63) / 64;
  std::uint64_t bits_[kWords] = {};
};

// The reads of one search call, internal to the engine. A search consults the same parts of
// the string table and the word index many times (every binary search starts at the same
// middle words, and a wildcard search looks up each word it found); this reader keeps every
// block of the file it has read for as long as it lives, so each part is read once per call.
// It lives on the caller's stack for one call and is never shared, so the engine keeps no
// state between calls and a file changed between two calls is read afresh. Its blocks come
// from an area inside the object (on the caller's stack) and only spill to the heap for large
// scans, so a search does not grow and shrink the heap on every call.
//
// Its string-table functions return exactly what wordNumberAt, wordAt and searchOrdering of
// strngtbl.h return (the same reads, checks and comparison); only the number of reads differs.
class SearchReader {
 public:
  // Reads the module's file: its string table and its word index.
  explicit SearchReader(BibleHandle* module);
  // Reads a string table alone (no word index).
  explicit SearchReader(StrngTbl* table);
  SearchReader(const SearchReader&) = delete;
  SearchReader& operator=(const SearchReader&) = delete;

  BibleHandle* module() const { return module_; }
  StrngTbl* table() const { return table_; }
  std::uint16_t tableWords() const { return table_ == nullptr ? 0 : table_->nWords; }

  // Copies out.size() bytes at offset; false when any of them lies outside the file or cannot
  // be read.
  bool read(std::uint64_t offset, std::span<std::uint8_t> out);

  std::uint16_t wordNumberAt(std::uint16_t position, int ordering);
  std::string wordAt(std::uint16_t position, int ordering);
  int searchOrdering(int* found, const char* key, int ordering);

  // As readPostingList below; an empty list without a module.
  std::uint16_t* readPostingList(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                                 std::uint16_t wordNumber);
  // Adds the first limit entries of the word's posting list to the set: the same verses
  // readPostingList gives with capacity limit + 1, nothing for a damaged list.
  void addPostingList(VerseSet& verses, std::uint16_t wordNumber, std::uint16_t limit);

 private:
  static constexpr std::size_t kBlockSize = 4096;
  static constexpr std::size_t kInlineBytes = 128 * 1024;
  const std::uint8_t* block(std::uint64_t index);
  // The posting list's offset and its count cut to limit; false when it cannot be read.
  bool postingList(std::uint16_t wordNumber, std::uint16_t limit, std::uint32_t* offset,
                   std::uint16_t* kept);

  BibleHandle* module_ = nullptr;
  StrngTbl* table_ = nullptr;
  std::FILE* stream_ = nullptr;
  std::uint64_t fileSize_ = 0;
  alignas(std::max_align_t) std::byte inline_[kInlineBytes];
  std::pmr::monotonic_buffer_resource memory_{inline_, kInlineBytes};
  std::pmr::unordered_map<std::uint64_t, const std::uint8_t*> blocks_{&memory_};
};

std::uint16_t* unionPostingLists(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                                 const std::uint16_t* wordNumbers, std::uint16_t wordCount,
                                 SearchReader& reader);

}  // namespace vellum
