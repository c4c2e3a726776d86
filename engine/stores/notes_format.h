// Layout of a verse notes store (".vn", one per Bible module). All integers little-endian.
//
// Header, 4093 bytes at offset 0, read and written as one block:
//
//   offset width field            meaning
//   0      4     (run-time)       the handle's stream in memory; written as zeros
//   4      4     (run-time)       the handle's module in memory; written as zeros
//   8      u8    signature 0      255
//   9      u8    signature 1      1
//   10     u8    signature 2      3
//   11     u8    (run-time)       the handle's read-only flag in memory; written as zero
//   12     u32   verseCount       verses of the module when the store was made, 1..31200
//   16     u32   created          seconds since 1970
//   20     u32   modified         seconds since 1970, set on every header write
//   24     80    bibleName.name   the module's display name
//   104    80    bibleName.path   the module's bare file name
//   184    3901  bitmap           bit (v mod 8) of byte 184 + v div 8: verse v may have a note
//   4085   u32   slotTableOffset  always 4093
//   4089   u32   endOfData        where the next note record goes, at least 128893
//
// Verse slot table at 4093: one u32 per verse number below verseCount, the offset of the
// verse's first note record or FFFFFFFF for none. Room is kept for 31200 slots; records start
// at 4093 + 4 * 31200 = 128893. A new store's file ends after its verseCount slots, so until
// the first note is written its end of data lies past the end of the file.
//
// Note record, appended at the end of data (or at the end of the file, when bytes of a change
// killed before its header write lie beyond the end of data):
//
//   offset width field   meaning
//   0      u32   next    the verse's next record, FFFFFFFF at the end of the chain
//   4      u16   length  text length n, no terminator
//   6      n     text    the note text
//
// Invariants the writers keep and the readers check:
// - Records are only appended, and a link always points forward: along a chain every next
//   record lies at a higher offset than the one before. A walk that does not move forward has
//   met a damaged chain, which bounds every walk by the file's size.
// - A bit that is clear means the verse has no note. A set bit may outlive its note (a change
//   killed after the header write), so a search still reads the chain before counting it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "support/endian.h"

namespace vellum::format {

inline constexpr std::size_t kNotesHeaderSize = 4093;
inline constexpr std::uint32_t kNotesSlotTableOffset = 4093;
inline constexpr std::uint32_t kNotesMaxVerses = 31200;
inline constexpr std::uint32_t kNotesFirstRecord = kNotesSlotTableOffset + 4 * kNotesMaxVerses;
inline constexpr std::uint32_t kNoRecord = 0xFFFFFFFF;
inline constexpr std::size_t kNotesBitmapOffset = 184;
inline constexpr std::size_t kNotesBitmapSize = 3901;
inline constexpr std::size_t kNoteRecordHeaderSize = 6;
inline constexpr std::size_t kNotesNameSize = 80;
inline constexpr std::uint8_t kNotesSignature[3] = {255, 1, 3};

struct NotesHeader {
  std::uint32_t verseCount = 0;
  std::uint32_t created = 0;
  std::uint32_t modified = 0;
  std::array<char, kNotesNameSize> bibleName = {};
  std::array<char, kNotesNameSize> biblePath = {};
  std::array<std::uint8_t, kNotesBitmapSize> bitmap = {};
  std::uint32_t slotTableOffset = kNotesSlotTableOffset;
  std::uint32_t endOfData = kNotesFirstRecord;

  bool hasNote(std::uint32_t verse) const {
    return verse / 8 < kNotesBitmapSize && (bitmap[verse / 8] >> (verse % 8) & 1) != 0;
  }
  void markNote(std::uint32_t verse, bool present) {
    if (verse / 8 >= kNotesBitmapSize) return;
    const auto bit = static_cast<std::uint8_t>(1u << (verse % 8));
    bitmap[verse / 8] =
        static_cast<std::uint8_t>(present ? bitmap[verse / 8] | bit : bitmap[verse / 8] & ~bit);
  }
};

inline std::uint64_t slotOffset(std::uint32_t verse) {
  return kNotesSlotTableOffset + std::uint64_t{4} * verse;
}

// Exactly kNotesHeaderSize bytes; the run-time fields are written as zeros.
inline std::vector<std::uint8_t> encodeNotesHeader(const NotesHeader& h) {
  std::vector<std::uint8_t> out;
  out.reserve(kNotesHeaderSize);
  le::put32(out, 0);
  le::put32(out, 0);
  for (std::uint8_t b : kNotesSignature) le::put8(out, b);
  le::put8(out, 0);
  le::put32(out, h.verseCount);
  le::put32(out, h.created);
  le::put32(out, h.modified);
  for (char c : h.bibleName) le::put8(out, static_cast<std::uint8_t>(c));
  for (char c : h.biblePath) le::put8(out, static_cast<std::uint8_t>(c));
  out.insert(out.end(), h.bitmap.begin(), h.bitmap.end());
  le::put32(out, h.slotTableOffset);
  le::put32(out, h.endOfData);
  return out;
}

// Decodes the block; false when it is short or the signature is wrong. The limits that
// depend on the file and the module are checked by the store when it opens the file.
inline bool decodeNotesHeader(std::span<const std::uint8_t> bytes, NotesHeader& h) {
  if (bytes.size() < kNotesHeaderSize) return false;
  le::ByteReader reader(bytes.first(kNotesHeaderSize));
  std::uint8_t signature[3] = {};
  reader.skip(8);
  for (std::uint8_t& b : signature) reader.get8(b);
  reader.skip(1);
  reader.get32(h.verseCount);
  reader.get32(h.created);
  reader.get32(h.modified);
  std::array<std::uint8_t, kNotesNameSize> raw = {};
  reader.getBytes(raw);
  for (std::size_t i = 0; i < raw.size(); ++i) h.bibleName[i] = static_cast<char>(raw[i]);
  reader.getBytes(raw);
  for (std::size_t i = 0; i < raw.size(); ++i) h.biblePath[i] = static_cast<char>(raw[i]);
  reader.getBytes(h.bitmap);
  reader.get32(h.slotTableOffset);
  reader.get32(h.endOfData);
  return reader.ok() && signature[0] == kNotesSignature[0] && signature[1] == kNotesSignature[1] &&
         signature[2] == kNotesSignature[2];
}

struct NoteRecordHeader {
  std::uint32_t next = kNoRecord;
  std::uint16_t length = 0;
};

inline void encodeNoteRecordHeader(const NoteRecordHeader& r, std::vector<std::uint8_t>& out) {
  le::put32(out, r.next);
  le::put16(out, r.length);
}

inline bool decodeNoteRecordHeader(std::span<const std::uint8_t> bytes, NoteRecordHeader& r) {
  le::ByteReader reader(bytes);
  reader.get32(r.next);
  reader.get16(r.length);
  return reader.ok();
}

}  // namespace vellum::format
