#include "support/mshell/mshell.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace vellum {

namespace {

// Block layout, all in native byte order (blocks live in memory only):
//
//   offset          width   field
//   0               4       tag: kMemLiveTag while live, kMemFreeTag once released or resizing
//   4               4       size: the caller's byte count
//   8               ptr     next: the next older block on the live list
//   8+p             ptr     previous: the next newer block (null for the newest)
//   8+2p            ptr     file: the caller's source file name (not copied)
//   8+3p            4       line
//   ...             pad     zero, so that the caller's bytes are aligned for any type
//   kHeaderSize-4   4       lower guard: kMemLiveTag
//   kHeaderSize     size    the caller's bytes (the pointer handed out)
//   +size           4       upper guard: kMemLiveTag, unaligned unless size is a multiple of 4
//
// Every field is read and written through memcpy at these offsets, so an unaligned upper
// guard or a block the caller has damaged never becomes undefined behaviour here.
constexpr std::size_t kTagOffset = 0;
constexpr std::size_t kSizeOffset = 4;
constexpr std::size_t kNextOffset = 8;
constexpr std::size_t kPreviousOffset = kNextOffset + sizeof(void*);
constexpr std::size_t kFileOffset = kPreviousOffset + sizeof(void*);
constexpr std::size_t kLineOffset = kFileOffset + sizeof(void*);
constexpr std::size_t kAlignment = alignof(std::max_align_t);
constexpr std::size_t kHeaderSize =
    (kLineOffset + 4 + 4 + kAlignment - 1) / kAlignment * kAlignment;
constexpr std::size_t kLowerGuardOffset = kHeaderSize - 4;
constexpr std::size_t kGuardSize = 4;
constexpr std::size_t kOverhead = kHeaderSize + kGuardSize;

template <typename T>
T load(const std::byte* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T>
void store(std::byte* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

std::uint32_t tagOf(const std::byte* block) { return load<std::uint32_t>(block + kTagOffset); }
std::uint32_t sizeOf(const std::byte* block) { return load<std::uint32_t>(block + kSizeOffset); }
std::byte* nextOf(const std::byte* block) { return load<std::byte*>(block + kNextOffset); }
std::byte* previousOf(const std::byte* block) { return load<std::byte*>(block + kPreviousOffset); }
const char* fileOf(const std::byte* block) { return load<const char*>(block + kFileOffset); }
std::int32_t lineOf(const std::byte* block) { return load<std::int32_t>(block + kLineOffset); }
std::uint32_t lowerGuardOf(const std::byte* block) {
  return load<std::uint32_t>(block + kLowerGuardOffset);
}
std::uint32_t upperGuardOf(const std::byte* block) {
  return load<std::uint32_t>(block + kHeaderSize + sizeOf(block));
}

void setNext(std::byte* block, std::byte* next) { store(block + kNextOffset, next); }
void setPrevious(std::byte* block, std::byte* previous) {
  store(block + kPreviousOffset, previous);
}

// Process-wide state. The set of live block addresses lets a pointer be recognised as one of
// ours before any of its bytes are read: a foreign, stale or null pointer is reported, not
// dereferenced. The list itself runs through the headers, newest first.
std::byte* liveHead = nullptr;
unsigned long liveTotal = 0;

std::unordered_set<std::uintptr_t>& liveBlocks() {
  static std::unordered_set<std::uintptr_t> blocks;
  return blocks;
}

std::uintptr_t addressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

bool isLiveBlock(const std::byte* block) { return liveBlocks().count(addressOf(block)) != 0; }

void linkAtHead(std::byte* block) {
  setPrevious(block, nullptr);
  setNext(block, liveHead);
  if (liveHead != nullptr) setPrevious(liveHead, block);
  liveHead = block;
}

void unlink(std::byte* block) {
  std::byte* next = nextOf(block);
  std::byte* previous = previousOf(block);
  if (previous != nullptr) {
    setNext(previous, next);
  } else {
    liveHead = next;
  }
  if (next != nullptr) setPrevious(next, previous);
}

// Fills in a block's header and guards for a caller's request of size bytes.
void setUpBlock(std::byte* block, unsigned size, const char* file, int line) {
  store<std::uint32_t>(block + kTagOffset, kMemLiveTag);
  store<std::uint32_t>(block + kSizeOffset, size);
  store(block + kFileOffset, file);
  store<std::int32_t>(block + kLineOffset, line);
  store<std::uint32_t>(block + kLowerGuardOffset, kMemLiveTag);
  store<std::uint32_t>(block + kHeaderSize + size, kMemLiveTag);
}

[[noreturn]] void report(const char* error, const char* file, int line) {
  if (std::FILE* log = std::fopen("messages.dbg", "a+t")) {
    std::fprintf(log, " %s - %s(%d)\n", error, file != nullptr ? file : "(null)", line);
    Mem_Display(log);
    std::fclose(log);
  }
  // The runtime's own assertion text, as the callers' tooling has always seen it.
  std::fputs("Assertion failed: 0, file mshell.c, line 686\n", stderr);
  std::fflush(stderr);
  std::abort();
}

// Returns the block holding the caller's bytes at p, or ends the process with a report.
std::byte* checkedBlock(void* p, const char* file, int line) {
  if (p == nullptr) report("Memory Tag Error", file, line);
  // Address arithmetic on the integer: p may not point into any block at all.
  const std::uintptr_t candidate = addressOf(p) - kHeaderSize;
  if (liveBlocks().count(candidate) == 0) report("Memory Tag Error", file, line);
  std::byte* block = static_cast<std::byte*>(p) - kHeaderSize;
  if (tagOf(block) != kMemLiveTag) report("Memory Tag Error", file, line);
  if (lowerGuardOf(block) != kMemLiveTag) report("Lower Bound Error", file, line);
  if (upperGuardOf(block) != kMemLiveTag) report("Upper Bound Error", file, line);
  return block;
}

}  // namespace

void* mem_alloc(unsigned size, const char* file, int line) {
  if (size > SIZE_MAX - kOverhead) return nullptr;
  auto* block = static_cast<std::byte*>(std::calloc(size + kOverhead, 1));
  if (block == nullptr) return nullptr;
  try {
    liveBlocks().insert(addressOf(block));
  } catch (...) {
    std::free(block);
    return nullptr;
  }
  setUpBlock(block, size, file, line);
  liveTotal += size;
  linkAtHead(block);
  return block + kHeaderSize;
}

void* mem_realloc(void* p, unsigned size, const char* file, int line) {
  std::byte* block = checkedBlock(p, file, line);
  const std::uint32_t oldSize = sizeOf(block);
  const std::uintptr_t oldAddress = addressOf(block);  // the key, as block may move
  store<std::uint32_t>(block + kTagOffset, kMemFreeTag);
  liveTotal -= oldSize;
  unlink(block);

  auto* resized = size > SIZE_MAX - kOverhead
                      ? nullptr
                      : static_cast<std::byte*>(std::realloc(block, size + kOverhead));
  if (resized == nullptr) {
    // The runtime kept the old block: put it back as it was (newest on the list), so that the
    // caller's pointer stays valid and can still be freed, as with the C library's realloc.
    store<std::uint32_t>(block + kTagOffset, kMemLiveTag);
    liveTotal += oldSize;
    linkAtHead(block);
    return nullptr;
  }
  // Re-key the node in place: no allocation, so this step cannot fail.
  auto node = liveBlocks().extract(oldAddress);
  node.value() = addressOf(resized);
  liveBlocks().insert(std::move(node));

  setUpBlock(resized, size, file, line);
  liveTotal += size;
  linkAtHead(resized);
  return resized + kHeaderSize;
}

char* mem_strdup(const char* text, const char* file, int line) {
  if (text == nullptr) return nullptr;
  const std::size_t length = std::strlen(text);
  if (length >= UINT32_MAX) return nullptr;
  auto* copy = static_cast<char*>(mem_alloc(static_cast<unsigned>(length + 1), file, line));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

void mem_free(void* p, const char* file, int line) {
  std::byte* block = checkedBlock(p, file, line);
  store<std::uint32_t>(block + kTagOffset, kMemFreeTag);
  store<std::uint32_t>(block + kLowerGuardOffset, ~kMemLiveTag);
  store<std::uint32_t>(block + kHeaderSize + sizeOf(block), ~kMemLiveTag);
  liveTotal -= sizeOf(block);
  unlink(block);
  liveBlocks().erase(addressOf(block));
  std::free(block);
}

unsigned long Mem_Used() { return liveTotal; }

void Mem_Display(std::FILE* stream) {
  if (stream == nullptr) return;
  std::fprintf(stream, "Index   Size  File(Line) - total size %lu\n", liveTotal);
  // The walk follows only links to live blocks and stops after as many steps as there are
  // blocks, so a header the caller has overwritten cannot send the listing astray.
  const std::size_t count = liveBlocks().size();
  int index = 0;
  for (const std::byte* block = liveHead;
       block != nullptr && isLiveBlock(block) && static_cast<std::size_t>(index) < count;
       block = nextOf(block), ++index) {
    const char* file = fileOf(block);
    std::fprintf(stream, "%-5d %6u", index, sizeOf(block));
    std::fprintf(stream, "  %s(%d)", file != nullptr ? file : "(null)", lineOf(block));
    if (tagOf(block) != kMemLiveTag) std::fputs(" INVALID", stream);
    std::fputs("\n", stream);
  }
}

}  // namespace vellum
