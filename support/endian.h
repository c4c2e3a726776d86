// Fixed-width little-endian integers, the byte order of every data file.
//
// Writers append to a byte vector with put16/put32. Readers walk a ByteReader over a span:
// every get checks that the bytes are there, so a short or damaged record is reported as a
// failed read instead of a read past the buffer. No packed struct is ever cast over file bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vellum::le {

inline std::uint16_t load16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void store16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void store32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void put8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }

inline void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline void putBytes(std::vector<std::uint8_t>& out, std::string_view bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// Reads fixed-width fields from the front of a span. After the first short read every later
// read fails too and ok() stays false, so a decoder can read a whole record and check once.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool get8(std::uint8_t& v) {
    if (!take(1)) return false;
    v = bytes_[pos_ - 1];
    return true;
  }
  bool get16(std::uint16_t& v) {
    if (!take(2)) return false;
    v = load16(bytes_.data() + pos_ - 2);
    return true;
  }
  bool get32(std::uint32_t& v) {
    if (!take(4)) return false;
    v = load32(bytes_.data() + pos_ - 4);
    return true;
  }
  bool getBytes(std::span<std::uint8_t> out) {
    if (!take(out.size())) return false;
    std::copy_n(bytes_.data() + pos_ - out.size(), out.size(), out.data());
    return true;
  }
  bool skip(std::size_t n) { return take(n); }

  bool ok() const { return ok_; }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return bytes_.size() - pos_; }

 private:
  bool take(std::size_t n) {
    if (!ok_ || n > bytes_.size() - pos_) {
      ok_ = false;
      return false;
    }
    pos_ += n;
    return true;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace vellum::le
