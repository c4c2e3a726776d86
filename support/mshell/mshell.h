// Tagged memory allocator: a checking layer over the heap.
//
// Each block is one zero-filled heap allocation: a header (tag, size, the live-list links, the
// caller's file and line, a lower guard) followed by the caller's bytes and a 4-byte upper
// guard. With 8-byte pointers the header takes 48 bytes (padded so that the caller's bytes are
// aligned for any type), so a block costs size + 52 bytes. Live blocks are kept on one list
// (newest first) so the heap in use can be listed. A damaged or foreign block writes a report
// and the listing to "messages.dbg" and ends the process; exhausting the heap returns null and
// writes nothing. A pointer is checked against the set of live blocks before any of its bytes
// are read, so a null, foreign or already freed pointer is reported ("Memory Tag Error")
// instead of being dereferenced.
//
// The live list and the total are process-wide and unlocked: single-threaded use only.
#pragma once

#include <cstdio>

namespace vellum {

inline constexpr unsigned kMemLiveTag = 42330;         // 0xA55A: live tag and both guards
inline constexpr unsigned kMemFreeTag = ~kMemLiveTag;  // a released (or resizing) block

void* mem_alloc(unsigned size, const char* file, int line);
// Bytes beyond the old size are not zeroed. When the heap refuses, returns null and the old
// block stays live and unchanged (newest on the list), as with the C library's realloc.
void* mem_realloc(void* block, unsigned size, const char* file, int line);
char* mem_strdup(const char* text, const char* file, int line);
void mem_free(void* block, const char* file, int line);
unsigned long Mem_Used();
// Writes the listing of live blocks to the stream; a null stream writes nothing.
void Mem_Display(std::FILE* stream);

}  // namespace vellum
