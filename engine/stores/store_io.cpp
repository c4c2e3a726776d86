#include "engine/stores/store_io.h"

#include <sys/stat.h>

#include <climits>

#include "support/files.h"

namespace vellum {
namespace {

long allowedWrites = -1;
long attemptedWrites = 0;

// One write or commit is about to happen: false when the fault hook says the process is dead.
bool mayWrite() {
  ++attemptedWrites;
  if (allowedWrites < 0) return true;
  if (allowedWrites == 0) return false;
  --allowedWrites;
  return true;
}

}  // namespace

namespace faults {

void failWritesAfter(long allowed) {
  allowedWrites = allowed;
  attemptedWrites = 0;
}

long writesAttempted() { return attemptedWrites; }

}  // namespace faults

namespace storeio {

std::uint64_t fileSize(std::FILE* stream) {
  // Every write is flushed as it is made (writeAt), so the descriptor sees the whole file.
  if (stream == nullptr) return 0;
  struct stat st {};
  if (fstat(fileno(stream), &st) != 0 || st.st_size < 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool readAt(std::FILE* stream, std::uint64_t offset, std::span<std::uint8_t> out) {
  if (stream == nullptr || offset > static_cast<std::uint64_t>(LONG_MAX)) return false;
  if (std::fseek(stream, static_cast<long>(offset), SEEK_SET) != 0) return false;
  if (out.empty()) return true;
  return std::fread(out.data(), 1, out.size(), stream) == out.size();
}

bool writeAt(std::FILE* stream, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (stream == nullptr || offset > static_cast<std::uint64_t>(LONG_MAX)) return false;
  if (!mayWrite()) return false;
  if (std::fseek(stream, static_cast<long>(offset), SEEK_SET) != 0) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size())
    return false;
  return std::fflush(stream) == 0;
}

bool commit(std::FILE* stream) {
  if (stream == nullptr || !mayWrite()) return false;
  return flush(stream) == 0;
}

}  // namespace storeio
}  // namespace vellum
