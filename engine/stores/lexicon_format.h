// Layout of the Strong's lexicon file ("lexicon.lex"). All integers little-endian.
//
// Header, 30 bytes at offset 0:
//
//   offset width field              meaning
//   0      16    label              not interpreted (the writer puts "Vellum lexicon 1" there)
//   16     u32   hebrewIndexOffset  the Hebrew index
//   20     u16   hebrewCount        highest Hebrew number; numbers 1..count are looked up
//   22     2     (reserved)         not interpreted, written as zeros
//   24     u32   greekIndexOffset   the Greek index
//   28     u16   greekCount         highest Greek number
//
// Index: count + 1 u32 record offsets indexed directly by the Strong's number: the entry of
// number n lies at index offset + 4 * n (slot 0 is not used; the writer points it at an empty
// record like every number the source lacks).
//
// Definition record, at a record offset:
//
//   offset width field   meaning
//   0      u16   length  encoded length m
//   2      m     text    the definition encoded with the text codec (support/codec.h); line
//                        feeds end its lines
//
// The reader checks that each index lies within the file when the lexicon is opened, and each
// record when it is looked up.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "support/endian.h"

namespace vellum::format {

inline constexpr std::size_t kLexiconHeaderSize = 30;
inline constexpr std::size_t kLexiconLabelSize = 16;
inline constexpr std::size_t kDefinitionRecordHeaderSize = 2;

struct LexiconHeader {
  std::array<std::uint8_t, kLexiconLabelSize> label = {};
  std::uint32_t hebrewIndexOffset = 0;
  std::uint16_t hebrewCount = 0;
  std::uint32_t greekIndexOffset = 0;
  std::uint16_t greekCount = 0;
};

inline std::vector<std::uint8_t> encodeLexiconHeader(const LexiconHeader& h) {
  std::vector<std::uint8_t> out(h.label.begin(), h.label.end());
  le::put32(out, h.hebrewIndexOffset);
  le::put16(out, h.hebrewCount);
  le::put16(out, 0);
  le::put32(out, h.greekIndexOffset);
  le::put16(out, h.greekCount);
  return out;
}

inline bool decodeLexiconHeader(std::span<const std::uint8_t> bytes, LexiconHeader& h) {
  le::ByteReader reader(bytes);
  reader.getBytes(h.label);
  reader.get32(h.hebrewIndexOffset);
  reader.get16(h.hebrewCount);
  reader.skip(2);
  reader.get32(h.greekIndexOffset);
  reader.get16(h.greekCount);
  return reader.ok();
}

// A record's bytes: the encoded length, then the encoded definition (at most 65535 bytes).
inline void encodeDefinitionRecord(std::span<const std::uint8_t> encoded,
                                   std::vector<std::uint8_t>& out) {
  le::put16(out, static_cast<std::uint16_t>(encoded.size()));
  out.insert(out.end(), encoded.begin(), encoded.end());
}

inline bool decodeDefinitionLength(std::span<const std::uint8_t> bytes, std::uint16_t& length) {
  le::ByteReader reader(bytes);
  return reader.get16(length);
}

}  // namespace vellum::format
