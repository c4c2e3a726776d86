// Small helpers shared by the importers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellum::import {

// Appends the UTF-8 encoding of a code point (below 0x110000) to out.
void appendUtf8(std::string& out, std::uint32_t codePoint);

// A table size for a dictionary store of `items` items: a prime near half the count, within
// the largest table the format holds.
std::uint16_t defaultTableSize(std::size_t items);

// Restores the data path on every way out of a scope that changes it.
class DataPathGuard {
 public:
  DataPathGuard();
  ~DataPathGuard();
  DataPathGuard(const DataPathGuard&) = delete;
  DataPathGuard& operator=(const DataPathGuard&) = delete;

 private:
  std::string saved_;
};

}  // namespace vellum::import
