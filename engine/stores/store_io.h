// Positioned reads and writes for the stores, with the checks and the fault hook they share.
//
// Streams are shared between handles (support/files.h), so every transfer names its offset. The
// transfers bypass the stream's buffer: every read sees the file as it is now, changes by other
// programs included, and each write is with the operating system before the call returns, so
// the order in which a store issues its writes is the order in which they reach the file: a
// store that is killed between two writes leaves exactly the earlier ones behind. That order is
// what keeps the stores consistent (see each store's header), and the fault hook below lets the
// tests stop a store at every one of its writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>

#include "support/files.h"

namespace vellum::storeio {

// The file's size in bytes, or 0 when it cannot be told.
std::uint64_t fileSize(std::FILE* stream);

// Reads exactly out.size() bytes at offset; false when the file holds fewer.
bool readAt(std::FILE* stream, std::uint64_t offset, std::span<std::uint8_t> out);

// Writes the bytes at offset and hands them to the operating system; false on failure.
bool writeAt(std::FILE* stream, std::uint64_t offset, std::span<const std::uint8_t> bytes);

// Commits everything written so far to the disk (flush of support/files.h); false on failure.
bool commit(std::FILE* stream);

// Takes the file's exclusive lock for a change. Empty when the change must not go on; busy is
// set when that is because another program held the file for the whole wait, cleared otherwise.
std::optional<StreamLock> lockForChange(std::FILE* stream, bool& busy);

}  // namespace vellum::storeio

namespace vellum::faults {

// Lets the next `allowed` writes and commits through and fails every one after them, as if the
// process had been killed at that point. A negative value turns the hook off (the default).
void failWritesAfter(long allowed);
// Writes and commits attempted since the hook was last set.
long writesAttempted();

}  // namespace vellum::faults
