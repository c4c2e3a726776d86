#include "engine/stores/store_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
  // Every write goes to the descriptor as it is made (writeAt), so it sees the whole file.
  if (stream == nullptr) return 0;
  struct stat st {};
  if (fstat(fileno(stream), &st) != 0 || st.st_size < 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

// Reads and writes go straight to the descriptor at their offset, never through the stream's
// buffer: another program may have changed the file since this one last read it, and a
// buffered copy of an earlier read would hide that change. transfer(done, at) moves the bytes
// from done on at file offset at (pread or pwrite), as many times as the whole span takes.
template <typename Transfer>
bool transferAll(std::FILE* stream, std::uint64_t offset, std::size_t size, Transfer transfer) {
  if (stream == nullptr || offset > static_cast<std::uint64_t>(LONG_MAX)) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t moved = transfer(done, static_cast<off_t>(offset + done));
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) return false;
    done += static_cast<std::size_t>(moved);
  }
  return true;
}

bool readAt(std::FILE* stream, std::uint64_t offset, std::span<std::uint8_t> out) {
  return transferAll(stream, offset, out.size(), [&](std::size_t done, off_t at) {
    return ::pread(fileno(stream), out.data() + done, out.size() - done, at);
  });
}

bool writeAt(std::FILE* stream, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (stream == nullptr || !mayWrite()) return false;
  return transferAll(stream, offset, bytes.size(), [&](std::size_t done, off_t at) {
    return ::pwrite(fileno(stream), bytes.data() + done, bytes.size() - done, at);
  });
}

bool commit(std::FILE* stream) {
  if (stream == nullptr || !mayWrite()) return false;
  return flush(stream) == 0;
}

std::optional<StreamLock> lockForChange(std::FILE* stream, bool& busy) {
  StreamLock lock(stream, LockKind::exclusive);
  busy = lock.outcome() == LockOutcome::busy;
  if (!lock.allowsChange()) return std::nullopt;
  return lock;
}

}  // namespace storeio
}  // namespace vellum
