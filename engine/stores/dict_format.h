// The dictionary store file (".dic"): one keyed store of names to byte blocks.
//
// All integers are little-endian. The file holds four areas, in this order:
//
//   header (146 bytes at 0) | hash table (4 x table size) | heap | name list text
//
// Header:
//
//   offset  width  field           meaning
//   0       u32    magic           123432 (0x1E228); written at creation, not checked on open
//   4       80     title           zero-terminated, at most 79 characters, zero-padded
//   84      u32    version1        1; written at creation, never read
//   88      u32    version2        3; written at creation, never read
//   92      u32    createTime      seconds since 1970
//   96      u32    modifyTime      moved on by every change (see "Times" below)
//   100     u32    listTime        when the name list text was last written
//   104     u16    itemCount       items in the store; may differ from the reachable names
//                                  after an interrupted change (the name walk counts them)
//   106     u16    longestName     length of the longest name, initially 1
//   108     2      zero
//   110     u32    tableOffset     146
//   114     u32    dataStart       146 + 4 x tableSize: the heap's start
//   118     u32    endOfData       where the next allocation goes; the list text starts here
//   122     u32    compressed      1 when item data goes through the text codec
//   126     u32    tableSize       buckets, 1 to 16383 (the table is written with a u16 length)
//   130     u32    probes          run-time statistic of the writing handle; no effect
//   134     u32    readOnly        run-time value of the writing handle; meaningless on disk
//   138     u32    (list)          run-time slot; written as 0
//   142     u32    (stream)        run-time slot; written as 0
//
// Hash table at tableOffset: tableSize u32 entries, each the offset of the first item record
// of that bucket's chain, 0 for an empty bucket.
//
// Heap, from dataStart to endOfData: name strings (with their terminating zero), data blocks
// and item records, appended in the order they were written. Nothing is ever given back.
//
// Item record (22 bytes, anywhere in the heap):
//
//   offset  width  field           meaning
//   0       u32    next            next record of the same bucket, 0 at the chain's end
//   4       u32    ownOffset       this record's own offset
//   8       u32    nameOffset      offset of the name string
//   12      u16    nameLength      name length including its terminating zero
//   14      u32    dataOffset      offset of the data block
//   18      u16    dataLength      data length as the caller gave it (decoded length)
//   20      u16    storedLength    bytes of the block: the encoded length when stored encoded,
//                                  else equal to dataLength
//
// A block is stored encoded only when the compressed flag is set and the encoding is shorter
// than the data. Items are at most 65535 bytes.
//
// Name list text, from endOfData to the end of the file: one line per name, each ended by a
// line feed. It is current only while modifyTime is not later than listTime; every change
// moves modifyTime to max(now, listTime + 1), so a change made in the same second as the last
// close still marks the text stale.
//
// Hash of a name c0 c1 ... of length L, with U the ASCII upper-case of a byte (0 to 255):
//   L > 3:  7 U(c0) + 73 U(c1) + 113 U(c2) + 97 U(c3) + 3341 L
//   L <= 3: 73 U(c0) + 113 U(c1) + 3341 L   (a one-character name has c1 = its zero)
// and the bucket is the hash modulo tableSize.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace vellum::dict {

inline constexpr std::uint32_t kMagic = 123432;
inline constexpr std::size_t kHeaderSize = 146;
inline constexpr std::size_t kTitleSize = 80;
inline constexpr std::size_t kRecordSize = 22;
inline constexpr std::uint32_t kTableOffset = 146;
inline constexpr std::uint32_t kTableSizeLimit = 16384;  // table sizes stay below this
inline constexpr std::size_t kMaxItemLength = 65535;
inline constexpr std::size_t kMaxNameLength = 65534;  // the stored length adds the zero
inline constexpr std::size_t kMaxItems = 65535;

struct Header {
  std::uint32_t magic = kMagic;
  std::array<char, kTitleSize> title{};
  std::uint32_t version1 = 1;
  std::uint32_t version2 = 3;
  std::uint32_t createTime = 0;
  std::uint32_t modifyTime = 0;
  std::uint32_t listTime = 0;
  std::uint16_t itemCount = 0;
  std::uint16_t longestName = 1;
  std::uint32_t tableOffset = kTableOffset;
  std::uint32_t dataStart = kTableOffset;
  std::uint32_t endOfData = kTableOffset;
  std::uint32_t compressed = 0;
  std::uint32_t tableSize = 0;
  std::uint32_t probes = 0;
  std::uint32_t readOnly = 0;

  std::array<std::uint8_t, kHeaderSize> encode() const;
  // Decodes the fields; false when fewer than 146 bytes are given. Says nothing about whether
  // the values make sense: see isSound.
  bool decode(std::span<const std::uint8_t> bytes);
  // True when the table size and the areas fit the format and a file of fileSize bytes.
  bool isSound(std::uint64_t fileSize) const;
  // The name list text is current (see the layout above).
  bool listIsCurrent() const { return modifyTime <= listTime; }
};

struct ItemRecord {
  std::uint32_t next = 0;
  std::uint32_t ownOffset = 0;
  std::uint32_t nameOffset = 0;
  std::uint16_t nameLength = 0;
  std::uint32_t dataOffset = 0;
  std::uint16_t dataLength = 0;
  std::uint16_t storedLength = 0;

  std::array<std::uint8_t, kRecordSize> encode() const;
  bool decode(std::span<const std::uint8_t> bytes);
};

// The bucket of a name (the name without its zero; empty names are never stored).
std::uint32_t bucketOf(std::string_view name, std::uint32_t tableSize);

// The file offset of a bucket's slot in the hash table.
inline std::uint32_t slotOffset(std::uint32_t bucket) { return kTableOffset + 4 * bucket; }

}  // namespace vellum::dict
