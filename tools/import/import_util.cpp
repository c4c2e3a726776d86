#include "tools/import/import_util.h"

#include <algorithm>

#include "engine/stores/dict_format.h"
#include "support/files.h"

namespace vellum::import {
namespace {

bool isPrime(unsigned n) {
  if (n < 2) return false;
  for (unsigned d = 2; d * d <= n; ++d)
    if (n % d == 0) return false;
  return true;
}

}  // namespace

void appendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::uint16_t defaultTableSize(std::size_t items) {
  unsigned n = static_cast<unsigned>(std::max<std::size_t>(2, items / 2));
  if (n >= dict::kTableSizeLimit) n = dict::kTableSizeLimit - 1;
  while (n < dict::kTableSizeLimit && !isPrime(n)) ++n;
  if (n >= dict::kTableSizeLimit) n = 16381;  // the largest prime below the limit
  return static_cast<std::uint16_t>(n);
}

DataPathGuard::DataPathGuard() : saved_(get_dpath()) {}
DataPathGuard::~DataPathGuard() { set_dpath(saved_.c_str()); }

}  // namespace vellum::import
