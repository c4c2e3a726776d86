// The open module handle, shared by the engine's own units (text, references, search).
// Callers outside the engine see only the opaque BibleHandle of bible.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/bible/bible.h"
#include "engine/bible/module_format.h"
#include "engine/bible/strngtbl.h"

namespace vellum {

// The size of the file behind a stream, or 0 when it cannot be told. Moves the stream, which
// is harmless: every reader seeks first.
inline std::uint64_t streamSize(std::FILE* stream) {
  if (stream == nullptr || std::fseek(stream, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(stream);
  return size < 0 ? 0 : static_cast<std::uint64_t>(size);
}

// Reads exactly out.size() bytes at offset, once they are known to lie within the first
// fileSize bytes of the file. False on a range outside the file or a short read; every read
// of file bytes in the engine goes through here so that no offset is trusted unchecked.
inline bool readAt(std::FILE* stream, std::uint64_t fileSize, std::uint64_t offset,
                   std::span<std::uint8_t> out) {
  if (stream == nullptr || offset > fileSize || out.size() > fileSize - offset) return false;
  if (out.empty()) return true;
  if (std::fseek(stream, static_cast<long>(offset), SEEK_SET) != 0) return false;
  return std::fread(out.data(), 1, out.size(), stream) == out.size();
}

struct StrngTblDeleter {
  void operator()(StrngTbl* t) const { deinitStrngTbl(t); }
};

struct SharedStreamCloser {
  void operator()(std::FILE* f) const;  // _fclose
};

struct BibleHandle {
  std::unique_ptr<std::FILE, SharedStreamCloser> stream;
  char path[80] = {};
  format::ModuleHeader header;
  std::uint64_t fileSize = 0;  // every offset read from the file is checked against it
  std::unique_ptr<StrngTbl, StrngTblDeleter> stringTable;
  std::vector<std::string> bookNames;
  // chapterCount entries and the sentinel (first verse = verseCount).
  std::vector<format::ChapterEntry> chapterIndex;
  // Chapter cache: the last chapter returned, keyed by its offset and the display flag.
  std::string cachedText;
  std::vector<std::uint8_t> decodeBuffer;  // reused by every chapter read; never shrinks
  std::uint32_t cachedOffset = 0;
  int cachedStrongs = 0;
  int showStrongs = 0;
  int strongs = 0;  // has-Strong's flag

  std::uint32_t realChapters() const { return static_cast<std::uint32_t>(chapterIndex.size() - 1); }
};

// The text of the chapter whose record is at offset, as getChapter gives it with a buffer
// large enough for any chapter, served from and kept in the module's one-chapter cache.
// The view is valid until the next chapter read on the module.
std::string_view loadChapter(std::uint32_t offset, BibleHandle* module);

}  // namespace vellum
