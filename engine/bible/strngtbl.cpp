// The word string table: writing it once, reading it in place.
//
// Table layout (all integers little-endian, all offsets absolute in the file):
//
//   offset width field     meaning
//   0      u32   reserved  written as 0
//   4      u32   checksum  4321, written and not checked
//   8      u32   hdrofs    offset of this header
//   12     u32   wordsofs  word area: per word a u8 length (characters + 1), the characters, NUL
//   16     u32   inx0ofs   nWords u32 offsets of the words' length bytes, in word-number order
//   20     u32   inx1ofs   nWords u16 word numbers in reversed order
//   24     u32   inx2ofs   nWords u16 word numbers in case-blind order
//   28     u32   inx3ofs   nWords u16 word numbers in reversed case-blind order
//   32     u32   inx5ofs   nWords u16 word numbers in sound-alike order
//   36     u16   nWords    word numbers run from 0 to nWords - 1
//
// The writer lays the areas out in that order right after the header; the reader only relies
// on the offsets, each checked against the file before it is used.
#include "engine/bible/strngtbl.h"

#include <array>
#include <cstring>
#include <memory>
#include <span>

#include "engine/bible/module_internal.h"
#include "support/endian.h"
#include "support/files.h"
#include "support/match.h"
#include "support/strings.h"

namespace vellum {
namespace {

constexpr std::uint16_t kNoWord = 0xFFFF;

// One word while the table is written.
struct WordRecord {
  const char* word = nullptr;
  std::size_t length = 0;
  std::array<char, 5> soundexCode = {};
  std::uint16_t wordNumber = 0;
  std::uint32_t offset = 0;
};

// Ordering 4 compares codes computed once per word rather than once per comparison.
int compareRecords(const WordRecord& a, const WordRecord& b, int ordering) {
  if (ordering == kSoundAlike) return std::strncmp(a.soundexCode.data(), b.soundexCode.data(), 4);
  return compareInOrdering(a.word, b.word, ordering);
}

// A merge sort of our own: the reversed case-blind comparison is not a strict weak order, so
// the standard sorts may misbehave on it, and the same words must always give the same file.
// Stable: on a tie the record that came first stays first.
void mergeSort(std::vector<WordRecord>& records, int ordering) {
  std::vector<WordRecord> scratch(records.size());
  for (std::size_t width = 1; width < records.size(); width *= 2) {
    for (std::size_t low = 0; low < records.size(); low += 2 * width) {
      const std::size_t middle = std::min(low + width, records.size());
      const std::size_t high = std::min(low + 2 * width, records.size());
      std::size_t left = low, right = middle, out = low;
      while (left < middle && right < high) {
        if (compareRecords(records[left], records[right], ordering) > 0)
          scratch[out++] = records[right++];
        else
          scratch[out++] = records[left++];
      }
      while (left < middle) scratch[out++] = records[left++];
      while (right < high) scratch[out++] = records[right++];
    }
    records.swap(scratch);
  }
}

// An area of count entries of the given width at offset must end within the file.
bool areaFits(std::uint32_t offset, std::uint64_t entries, std::uint64_t width,
              std::uint64_t fileSize) {
  return offset <= fileSize && entries * width <= fileSize - offset;
}

}  // namespace

int compareInOrdering(const char* word, const char* key, int ordering) {
  switch (ordering) {
    case kReversed:
    case kReversedCaseBlind:
      // The backward comparisons need non-empty strings; a damaged table reads as empty
      // words, which sort first.
      if (*word == '\0' || *key == '\0') return (*word != '\0') - (*key != '\0');
      return ordering == kReversed ? reverseStrCmp(word, key) : reverseStriCmp(word, key);
    case kCaseBlind:
      return _stricmp(word, key);
    case kSoundAlike: {
      char wordCode[5];
      char keyCode[5];
      return std::strncmp(soundex(wordCode, word), soundex(keyCode, key), 4);
    }
    default:
      return std::strcmp(word, key);
  }
}

StrngTbl* initStrngTbl(std::FILE* stream) {
  if (stream == nullptr) return nullptr;
  const long position = std::ftell(stream);
  if (position < 0) return nullptr;
  const std::uint64_t fileSize = streamSize(stream);
  std::array<std::uint8_t, kStrngTblHeaderSize> bytes{};
  if (!readAt(stream, fileSize, static_cast<std::uint64_t>(position), bytes)) return nullptr;

  auto table = std::make_unique<StrngTbl>();
  le::ByteReader reader(bytes);
  std::uint32_t reserved = 0;
  reader.get32(reserved);
  reader.get32(table->checksum);
  for (std::uint32_t* field : {&table->hdrofs, &table->wordsofs, &table->inx0ofs, &table->inx1ofs,
                               &table->inx2ofs, &table->inx3ofs, &table->inx5ofs})
    reader.get32(*field);
  reader.get16(table->nWords);
  if (!reader.ok()) return nullptr;

  const std::uint64_t n = table->nWords;
  // Each word takes at least its length byte and terminator.
  if (!areaFits(table->wordsofs, n, 2, fileSize) || !areaFits(table->inx0ofs, n, 4, fileSize))
    return nullptr;
  for (std::uint32_t offset : {table->inx1ofs, table->inx2ofs, table->inx3ofs, table->inx5ofs})
    if (!areaFits(offset, n, 2, fileSize)) return nullptr;

  table->stream = stream;
  table->fileSize = fileSize;
  return table.release();
}

void deinitStrngTbl(StrngTbl* table) { std::unique_ptr<StrngTbl> release(table); }

StrngTbl* createStrngTbl(std::FILE* stream, const char* const* words, std::uint16_t count) {
  if (stream == nullptr || (count > 0 && words == nullptr)) return nullptr;
  std::vector<WordRecord> records(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    if (words[i] == nullptr) return nullptr;
    WordRecord& record = records[i];
    record.word = words[i];
    record.length = std::strlen(words[i]);
    if (record.length == 0 || record.length > kMaxWordLength) return nullptr;
    soundex(record.soundexCode.data(), record.word);
  }
  mergeSort(records, kByteOrder);
  for (std::size_t i = 1; i < records.size(); ++i)
    if (std::strcmp(records[i - 1].word, records[i].word) == 0) return nullptr;

  const long start = std::ftell(stream);
  if (start < 0) return nullptr;
  const auto hdrofs = static_cast<std::uint64_t>(start);

  // The whole table is laid out in memory, then written with one write at hdrofs.
  std::vector<std::uint8_t> bytes(kStrngTblHeaderSize, 0);
  auto here = [&] { return hdrofs + bytes.size(); };
  std::uint64_t total = kStrngTblHeaderSize + 4ull * count + 8ull * count;
  for (const WordRecord& record : records) total += record.length + 2;
  if (hdrofs + total > UINT32_MAX) return nullptr;

  auto table = std::make_unique<StrngTbl>();
  table->checksum = kStrngTblChecksum;
  table->nWords = count;
  table->hdrofs = static_cast<std::uint32_t>(hdrofs);
  table->wordsofs = static_cast<std::uint32_t>(here());
  for (std::size_t p = 0; p < records.size(); ++p) {
    WordRecord& record = records[p];
    record.offset = static_cast<std::uint32_t>(here());
    record.wordNumber = static_cast<std::uint16_t>(p);
    le::put8(bytes, static_cast<std::uint8_t>(record.length + 1));
    le::putBytes(bytes, std::string_view(record.word, record.length + 1));  // with its NUL
  }
  table->inx0ofs = static_cast<std::uint32_t>(here());
  for (const WordRecord& record : records) le::put32(bytes, record.offset);
  // Each ordering starts from the one before, as the original successive sorts did, so ties
  // always land in the same order.
  for (auto [ordering, field] :
       {std::pair{kReversed, &table->inx1ofs}, std::pair{kCaseBlind, &table->inx2ofs},
        std::pair{kReversedCaseBlind, &table->inx3ofs}, std::pair{kSoundAlike, &table->inx5ofs}}) {
    mergeSort(records, ordering);
    *field = static_cast<std::uint32_t>(here());
    for (const WordRecord& record : records) le::put16(bytes, record.wordNumber);
  }

  std::vector<std::uint8_t> header;
  le::put32(header, 0);
  le::put32(header, table->checksum);
  for (std::uint32_t field : {table->hdrofs, table->wordsofs, table->inx0ofs, table->inx1ofs,
                              table->inx2ofs, table->inx3ofs, table->inx5ofs})
    le::put32(header, field);
  le::put16(header, table->nWords);
  std::copy(header.begin(), header.end(), bytes.begin());

  if (std::fseek(stream, start, SEEK_SET) != 0 ||
      std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() || flush(stream) != 0)
    return nullptr;
  const std::uint64_t end = hdrofs + bytes.size();
  table->fileSize = streamSize(stream);
  if (table->fileSize < end || std::fseek(stream, static_cast<long>(end), SEEK_SET) != 0)
    return nullptr;
  table->stream = stream;
  return table.release();
}

std::uint16_t wordNumberAt(std::uint16_t position, int ordering, StrngTbl* table) {
  if (table == nullptr || position >= table->nWords) return kNoWord;
  if (ordering == kByteOrder) return position;
  std::uint32_t base = 0;
  switch (ordering) {
    case kReversed:
      base = table->inx1ofs;
      break;
    case kCaseBlind:
      base = table->inx2ofs;
      break;
    case kReversedCaseBlind:
      base = table->inx3ofs;
      break;
    case kSoundAlike:
      base = table->inx5ofs;
      break;
    default:
      return kNoWord;
  }
  std::array<std::uint8_t, 2> bytes{};
  if (!readAt(table->stream, table->fileSize, std::uint64_t{base} + 2ull * position, bytes))
    return kNoWord;
  const std::uint16_t word = le::load16(bytes.data());
  return word < table->nWords ? word : kNoWord;
}

std::string wordAt(std::uint16_t position, int ordering, StrngTbl* table) {
  const std::uint16_t word = wordNumberAt(position, ordering, table);
  if (table == nullptr || word >= table->nWords) return {};
  std::array<std::uint8_t, 4> offsetBytes{};
  if (!readAt(table->stream, table->fileSize, std::uint64_t{table->inx0ofs} + 4ull * word,
              offsetBytes))
    return {};
  const std::uint32_t offset = le::load32(offsetBytes.data());
  std::array<std::uint8_t, 1 + 255> record{};
  if (!readAt(table->stream, table->fileSize, offset, std::span(record).first(1))) return {};
  const std::size_t length = record[0];  // characters + terminator
  if (length == 0) return {};
  auto text = std::span(record).subspan(1, length);
  if (!readAt(table->stream, table->fileSize, std::uint64_t{offset} + 1, text) ||
      text[length - 1] != 0)
    return {};
  // A NUL inside a damaged word ends it, as it would in any C string.
  return std::string(reinterpret_cast<const char*>(text.data()));
}

std::string GetAString(std::uint16_t word, StrngTbl* table) {
  return wordAt(word, kByteOrder, table);
}

int searchOrdering(int* found, const char* key, int ordering, StrngTbl* table) {
  *found = 0;
  if (table == nullptr || key == nullptr) return 0;
  return searchOrderingWith(found, key, ordering, table->nWords, [&](std::uint16_t position) {
    return wordAt(position, ordering, table);
  });
}

int UniqueString(const char* word, StrngTbl* table) {
  int found = 0;
  const int position = searchOrdering(&found, word, kByteOrder, table);
  return found ? position : -1;
}

}  // namespace vellum
