// Verse lists: the three merges, posting lists from the word index, and the search reader.
#include "engine/search/verselist.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "engine/bible/module_internal.h"
#include "support/endian.h"

namespace vellum {
namespace {

constexpr std::uint16_t kNoWord = 0xFFFF;

// Any value at or above the terminator ends a list (a sound list holds none but the last).
bool atEnd(std::uint16_t v) { return v >= kVerseListEnd; }

std::uint16_t* emptyList(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity) {
  *count = 0;
  if (capacity > 0) out[0] = kVerseListEnd;
  return out;
}

}  // namespace

std::uint16_t* andOp(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                     const std::uint16_t* first, const std::uint16_t* second) {
  *count = 0;
  if (capacity == 0) return out;
  // One entry fewer than the capacity, so the terminator stays inside the buffer; lists the
  // engine makes hold at most 31199 entries, so their intersections never reach the limit.
  const std::uint16_t limit = capacity - 1;
  std::uint16_t n = 0;
  while (!atEnd(*first) && !atEnd(*second) && n < limit) {
    if (*first < *second) {
      ++first;
    } else if (*first == *second) {
      out[n++] = *first;
      ++first;
      ++second;
    } else {
      ++second;
    }
  }
  out[n] = kVerseListEnd;
  *count = n;
  return out;
}

std::uint16_t* orOp(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                    const std::uint16_t* first, const std::uint16_t* second) {
  *count = 0;
  if (capacity == 0) return out;
  const std::uint16_t limit = capacity - 1;
  std::uint16_t n = 0;
  // An exhausted input stands at its terminator, larger than every entry of the other.
  while (!(atEnd(*first) && atEnd(*second)) && n < limit) {
    const std::uint16_t a = atEnd(*first) ? kVerseListEnd : *first;
    const std::uint16_t b = atEnd(*second) ? kVerseListEnd : *second;
    if (a < b) {
      out[n++] = a;
      ++first;
    } else if (a == b) {
      out[n++] = a;
      ++first;
      ++second;
    } else {
      out[n++] = b;
      ++second;
    }
  }
  out[n] = kVerseListEnd;
  *count = n;
  return out;
}

std::uint16_t* andNotOp(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                        const std::uint16_t* first, const std::uint16_t* second) {
  *count = 0;
  if (capacity == 0) return out;
  const std::uint16_t limit = capacity - 1;
  std::uint16_t n = 0;
  while (!atEnd(*second) && n < limit) {
    const std::uint16_t subtract = atEnd(*first) ? kVerseListEnd : *first;
    if (subtract < *second) {
      ++first;
    } else if (subtract == *second) {
      ++first;
      ++second;
    } else {
      out[n++] = *second;
      ++second;
    }
  }
  out[n] = kVerseListEnd;
  *count = n;
  return out;
}

SearchReader::SearchReader(BibleHandle* module)
    : module_(module),
      table_(module == nullptr ? nullptr : module->stringTable.get()),
      stream_(module == nullptr ? nullptr : module->stream.get()),
      fileSize_(module == nullptr ? 0 : module->fileSize) {}

SearchReader::SearchReader(StrngTbl* table)
    : table_(table),
      stream_(table == nullptr ? nullptr : table->stream),
      fileSize_(table == nullptr ? 0 : table->fileSize) {}

const std::uint8_t* SearchReader::block(std::uint64_t index) {
  auto found = blocks_.find(index);
  if (found != blocks_.end()) return found->second;
  const std::uint64_t start = index * kBlockSize;
  const std::size_t size =
      static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, fileSize_ - start));
  // Only the bytes read are ever copied out, so the block needs no zero fill.
  auto* bytes = static_cast<std::uint8_t*>(memory_.allocate(kBlockSize, alignof(std::max_align_t)));
  if (!readAt(stream_, fileSize_, start, std::span(bytes, size))) return nullptr;
  blocks_.emplace(index, bytes);
  return bytes;
}

bool SearchReader::read(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (stream_ == nullptr || offset > fileSize_ || out.size() > fileSize_ - offset) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    const std::uint64_t at = offset + done;
    const std::uint8_t* bytes = block(at / kBlockSize);
    if (bytes == nullptr) return false;
    const std::size_t within = static_cast<std::size_t>(at % kBlockSize);
    const std::size_t n = std::min(out.size() - done, kBlockSize - within);
    std::memcpy(out.data() + done, bytes + within, n);
    done += n;
  }
  return true;
}

std::uint16_t SearchReader::wordNumberAt(std::uint16_t position, int ordering) {
  if (table_ == nullptr || position >= table_->nWords) return kNoWord;
  if (ordering == kByteOrder) return position;
  std::uint32_t base = 0;
  switch (ordering) {
    case kReversed:
      base = table_->inx1ofs;
      break;
    case kCaseBlind:
      base = table_->inx2ofs;
      break;
    case kReversedCaseBlind:
      base = table_->inx3ofs;
      break;
    case kSoundAlike:
      base = table_->inx5ofs;
      break;
    default:
      return kNoWord;
  }
  std::array<std::uint8_t, 2> bytes{};
  if (!read(std::uint64_t{base} + 2ull * position, bytes)) return kNoWord;
  const std::uint16_t word = le::load16(bytes.data());
  return word < table_->nWords ? word : kNoWord;
}

std::string SearchReader::wordAt(std::uint16_t position, int ordering) {
  const std::uint16_t word = wordNumberAt(position, ordering);
  if (table_ == nullptr || word >= table_->nWords) return {};
  std::array<std::uint8_t, 4> offsetBytes{};
  if (!read(std::uint64_t{table_->inx0ofs} + 4ull * word, offsetBytes)) return {};
  const std::uint32_t offset = le::load32(offsetBytes.data());
  std::array<std::uint8_t, 256> record{};
  if (!read(offset, std::span(record).first(1))) return {};
  const std::size_t length = record[0];  // characters + terminator
  if (length == 0) return {};
  auto text = std::span(record).subspan(1, length);
  if (!read(std::uint64_t{offset} + 1, text) || text[length - 1] != 0) return {};
  // A NUL inside a damaged word ends it, as it would in any C string.
  return std::string(reinterpret_cast<const char*>(text.data()));
}

int SearchReader::searchOrdering(int* found, const char* key, int ordering) {
  *found = 0;
  if (table_ == nullptr || key == nullptr) return 0;
  return searchOrderingWith(found, key, ordering, table_->nWords,
                            [&](std::uint16_t position) { return wordAt(position, ordering); });
}

bool SearchReader::postingList(std::uint16_t wordNumber, std::uint16_t limit, std::uint32_t* offset,
                               std::uint16_t* kept) {
  if (module_ == nullptr || wordNumber >= module_->header.wordCount) return false;
  std::array<std::uint8_t, 4> offsetBytes{};
  if (!read(std::uint64_t{module_->header.wordIndexOffset} + 4ull * wordNumber, offsetBytes))
    return false;
  *offset = le::load32(offsetBytes.data());
  std::array<std::uint8_t, 2> countBytes{};
  if (!read(*offset, countBytes)) return false;
  *kept = std::min<std::uint16_t>(le::load16(countBytes.data()), limit);
  return true;
}

void SearchReader::addPostingList(VerseSet& verses, std::uint16_t wordNumber, std::uint16_t limit) {
  std::uint32_t offset = 0;
  std::uint16_t kept = 0;
  if (!postingList(wordNumber, limit, &offset, &kept)) return;
  // Two passes over the cached bytes: a damaged list adds nothing, so check it all first.
  const std::uint32_t verseCount = module_->header.verseCount;
  std::array<std::uint8_t, 512> chunk{};
  for (int pass = 0; pass < 2; ++pass) {
    std::uint32_t previous = 0;
    for (std::uint32_t i = 0; i < kept;) {
      const std::uint32_t n = std::min<std::uint32_t>(kept - i, chunk.size() / 2);
      if (!read(std::uint64_t{offset} + 2 + 2ull * i, std::span(chunk).first(2u * n))) return;
      for (std::uint32_t j = 0; j < n; ++j, ++i) {
        const std::uint16_t verse = le::load16(chunk.data() + 2u * j);
        if (pass == 0) {
          if (verse >= verseCount || (i > 0 && verse <= previous)) return;
          previous = verse;
        } else {
          verses.insert(verse);
        }
      }
    }
  }
}

std::uint16_t* SearchReader::readPostingList(std::uint16_t* out, std::uint16_t* count,
                                             std::uint16_t capacity, std::uint16_t wordNumber) {
  emptyList(out, count, capacity);
  std::uint32_t offset = 0;
  std::uint16_t kept = 0;
  if (capacity == 0 || !postingList(wordNumber, capacity - 1, &offset, &kept)) return out;
  // Read the entries into the output's own bytes, then decode in place from the front: entry
  // i is decoded from bytes 2i and 2i + 1, which no earlier entry has overwritten.
  auto bytes = std::span(reinterpret_cast<std::uint8_t*>(out), 2u * kept);
  if (!read(std::uint64_t{offset} + 2, bytes)) return emptyList(out, count, capacity);
  const std::uint32_t verseCount = module_->header.verseCount;
  for (std::uint16_t i = 0; i < kept; ++i) {
    const std::uint16_t verse = le::load16(bytes.data() + 2u * i);
    // A damaged list (out of order, repeated, or past the module's verses) finds nothing.
    if (verse >= verseCount || (i > 0 && verse <= out[i - 1]))
      return emptyList(out, count, capacity);
    out[i] = verse;
  }
  out[kept] = kVerseListEnd;
  *count = kept;
  return out;
}

std::uint16_t* readPostingList(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                               std::uint16_t wordNumber, BibleHandle* module) {
  SearchReader reader(module);
  return reader.readPostingList(out, count, capacity, wordNumber);
}

void VerseSet::add(const std::uint16_t* list, std::uint16_t count) {
  for (std::uint16_t i = 0; i < count && !atEnd(list[i]); ++i)
    bits_[list[i] / 64] |= std::uint64_t{1} << (list[i] % 64);
}

std::uint16_t* VerseSet::toList(std::uint16_t* out, std::uint16_t* count,
                                std::uint16_t capacity) const {
  emptyList(out, count, capacity);
  if (capacity == 0) return out;
  const std::uint16_t limit = capacity - 1;
  std::uint16_t n = 0;
  for (std::size_t w = 0; w < kWords && n < limit; ++w) {
    std::uint64_t bits = bits_[w];
    while (bits != 0 && n < limit) {
      out[n++] =
          static_cast<std::uint16_t>(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
      bits &= bits - 1;
    }
  }
  out[n] = kVerseListEnd;
  *count = n;
  return out;
}

std::uint16_t* unionPostingLists(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                                 const std::uint16_t* wordNumbers, std::uint16_t wordCount,
                                 SearchReader& reader) {
  emptyList(out, count, capacity);
  if (wordCount == 0 || capacity == 0) return out;
  // Each list is read as with the standard capacity, as the standard working lists are;
  // the set keeps every verse once, and the result is cut to the caller's capacity at the end.
  VerseSet verses;
  for (std::uint16_t i = 0; i < wordCount; ++i)
    reader.addPostingList(verses, wordNumbers[i], kVerseListCapacity - 1);
  // The accumulator holds at most 31199 entries whatever the caller's capacity.
  return verses.toList(out, count, std::min(capacity, kVerseListCapacity));
}

std::uint16_t* unionPostingLists(std::uint16_t* out, std::uint16_t* count, std::uint16_t capacity,
                                 const std::uint16_t* wordNumbers, std::uint16_t wordCount,
                                 BibleHandle* module) {
  SearchReader reader(module);
  return unionPostingLists(out, count, capacity, wordNumbers, wordCount, reader);
}

}  // namespace vellum
