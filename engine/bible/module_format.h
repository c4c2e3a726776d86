// Layout of a Bible module file (".bib"). All integers little-endian; offsets absolute.
//
// Module header, 120 bytes at offset 0:
//
//   offset width field              meaning
//   0      u8    signature          always 0x7F
//   1      u8    statByte1          reported by getBibleStats only
//   2      u8    statByte2          reported by getBibleStats only
//   3      u8    reserved           not read
//   4      i32   statLong           reported by getBibleStats only
//   8      80    name               display name, at most 79 characters, NUL-terminated
//   88     u32   wordIndexOffset    word index
//   92     u32   stringTableOffset  string-table header (strngtbl.h)
//   96     u32   bookNamesOffset    book-name lines
//   100    u32   chapterIndexOffset chapter index
//   104    u32   wordCount          words in the string table and entries of the word index
//   108    u32   bookCount          at most 80
//   112    u32   chapterCount       chapters of the whole module
//   116    u32   verseCount         verses of the whole module, below 31201
//
// Book-name lines: bookCount names in canonical order, each at most 28 characters and ended by
// one line feed; numbered books as digit, space, name ("1 John").
//
// Chapter index: chapterCount entries of 8 bytes, books ascending, chapters ascending from 1
// without gaps, first verses rising strictly from 0:
//
//   0 u8 book   1 u8 chapter   2 u16 first verse number   4 u32 offset of the text record
//
// Chapter text record: u16 text length, u16 stored length, then the stored bytes: the text as
// is when the two lengths are equal, otherwise compressed with the codec (support/codec.h).
//
// Word index: wordCount u32 offsets in word-number order, each of a posting list: a u16 count
// and that many u16 verse numbers, ascending, without duplicates.
//
// String table: at stringTableOffset, laid out in strngtbl.h.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "support/endian.h"

namespace vellum::format {

inline constexpr std::uint8_t kSignature = 0x7F;
inline constexpr int kHeaderSize = 120;
inline constexpr int kNameSize = 80;
inline constexpr int kChapterEntrySize = 8;
inline constexpr int kChapterRecordHeaderSize = 4;
inline constexpr std::uint32_t kMaxVerseCount = 31200;  // verse numbers stay below 31201

struct ModuleHeader {
  std::uint8_t signature = kSignature;
  std::uint8_t statByte1 = 0;
  std::uint8_t statByte2 = 0;
  std::uint8_t reserved = 0;
  std::int32_t statLong = 0;
  std::array<char, kNameSize> name = {};
  std::uint32_t wordIndexOffset = 0;
  std::uint32_t stringTableOffset = 0;
  std::uint32_t bookNamesOffset = 0;
  std::uint32_t chapterIndexOffset = 0;
  std::uint32_t wordCount = 0;
  std::uint32_t bookCount = 0;
  std::uint32_t chapterCount = 0;
  std::uint32_t verseCount = 0;
};

struct ChapterEntry {
  std::uint8_t book = 0;
  std::uint8_t chapter = 0;
  std::uint16_t firstVerse = 0;
  std::uint32_t offset = 0;
};

inline void encodeHeader(const ModuleHeader& h, std::vector<std::uint8_t>& out) {
  le::put8(out, h.signature);
  le::put8(out, h.statByte1);
  le::put8(out, h.statByte2);
  le::put8(out, h.reserved);
  le::put32(out, static_cast<std::uint32_t>(h.statLong));
  out.insert(out.end(), h.name.begin(), h.name.end());
  for (std::uint32_t v :
       {h.wordIndexOffset, h.stringTableOffset, h.bookNamesOffset, h.chapterIndexOffset,
        h.wordCount, h.bookCount, h.chapterCount, h.verseCount})
    le::put32(out, v);
}

// Reads the fields only; the reader checks them against the file and the format's limits.
inline bool decodeHeader(std::span<const std::uint8_t> bytes, ModuleHeader& h) {
  le::ByteReader r(bytes);
  std::uint32_t statLong = 0;
  r.get8(h.signature);
  r.get8(h.statByte1);
  r.get8(h.statByte2);
  r.get8(h.reserved);
  r.get32(statLong);
  h.statLong = static_cast<std::int32_t>(statLong);
  r.getBytes(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(h.name.data()), kNameSize));
  for (std::uint32_t* v :
       {&h.wordIndexOffset, &h.stringTableOffset, &h.bookNamesOffset, &h.chapterIndexOffset,
        &h.wordCount, &h.bookCount, &h.chapterCount, &h.verseCount})
    r.get32(*v);
  return r.ok();
}

inline void encodeChapterEntry(const ChapterEntry& e, std::vector<std::uint8_t>& out) {
  le::put8(out, e.book);
  le::put8(out, e.chapter);
  le::put16(out, e.firstVerse);
  le::put32(out, e.offset);
}

inline bool decodeChapterEntry(le::ByteReader& r, ChapterEntry& e) {
  r.get8(e.book);
  r.get8(e.chapter);
  r.get16(e.firstVerse);
  r.get32(e.offset);
  return r.ok();
}

}  // namespace vellum::format
