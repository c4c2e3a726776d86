// Opening and closing Bible modules; the header's statistics and the Strong's flags.
//
// openBible takes nothing in the file on trust: the file's size is taken once, every area the
// header names must lie within it, the counts must keep to the format's limits, and the
// chapter index must be in canonical order before any other code indexes by it. References,
// text retrieval and the search then rely on these invariants:
// - 1 <= bookCount <= 80, and the book table holds bookCount names of 1 to 28 characters;
// - the chapter index holds chapterCount entries plus the sentinel; entry 0 is book 0,
//   chapter 1, first verse 0; books step by 0 or 1 and end at bookCount - 1; chapters start at
//   1 in each book and step by 1; first verses rise strictly and stay below verseCount, which
//   is at most 31200; every chapter record header lies within the file, past the module header;
// - the string table's areas lie within the file and it holds wordCount words, whose word
//   index lies within the file too.
#include <cstring>
#include <span>
#include <string_view>

#include "engine/bible/module_internal.h"
#include "support/files.h"

namespace vellum {
namespace {

bool moduleInitialised = false;  // set once at start-up; nothing reads it

// Longest book name plus its line feed, the limit of the original line reader.
constexpr std::size_t kBookLineLimit = kMaxBookNameLength + 1;

BibleHandle* refuse(std::string* why, const char* reason) {
  if (why != nullptr) *why = reason;
  return nullptr;
}

bool areaFits(std::uint64_t offset, std::uint64_t length, std::uint64_t fileSize) {
  return offset >= static_cast<std::uint64_t>(format::kHeaderSize) && offset <= fileSize &&
         length <= fileSize - offset;
}

// The header's own limits, before any area is read. Returns the reason, or null when sound.
const char* checkHeader(const format::ModuleHeader& h, std::uint64_t fileSize) {
  if (std::memchr(h.name.data(), '\0', h.name.size()) == nullptr)
    return "damaged header (name not terminated)";
  if (h.bookCount == 0 || h.bookCount > static_cast<std::uint32_t>(kMaxBooks))
    return "damaged header (book count)";
  if (h.verseCount == 0 || h.verseCount > format::kMaxVerseCount)
    return "damaged header (verse count)";
  // Every book has a chapter and every chapter a verse; no book has more than 255 chapters.
  if (h.chapterCount < h.bookCount || h.chapterCount > h.verseCount ||
      h.chapterCount > h.bookCount * 255u)
    return "damaged header (chapter count)";
  if (h.wordCount > static_cast<std::uint32_t>(kMaxWords)) return "damaged header (word count)";
  for (std::uint32_t offset :
       {h.chapterIndexOffset, h.bookNamesOffset, h.stringTableOffset, h.wordIndexOffset})
    if (offset < static_cast<std::uint32_t>(format::kHeaderSize))
      return "damaged header (area offset)";
  if (!areaFits(h.chapterIndexOffset, std::uint64_t{h.chapterCount} * format::kChapterEntrySize,
                fileSize) ||
      !areaFits(h.bookNamesOffset, h.bookCount * 2u, fileSize) ||
      !areaFits(h.stringTableOffset, kStrngTblHeaderSize, fileSize) ||
      !areaFits(h.wordIndexOffset, std::uint64_t{h.wordCount} * 4, fileSize))
    return "file is truncated";
  return nullptr;
}

// Reads and checks the chapter index; fills the sentinel. Returns the reason, or null.
const char* readChapterIndex(BibleHandle& module) {
  const format::ModuleHeader& h = module.header;
  std::vector<std::uint8_t> bytes(std::size_t{h.chapterCount} * format::kChapterEntrySize);
  if (!readAt(module.stream.get(), module.fileSize, h.chapterIndexOffset, bytes))
    return "file is truncated";
  module.chapterIndex.resize(std::size_t{h.chapterCount} + 1);
  le::ByteReader reader(bytes);
  for (std::uint32_t i = 0; i < h.chapterCount; ++i) {
    format::ChapterEntry& entry = module.chapterIndex[i];
    if (!format::decodeChapterEntry(reader, entry)) return "file is truncated";
    if (i == 0) {
      if (entry.book != 0 || entry.chapter != 1 || entry.firstVerse != 0)
        return "damaged chapter index";
    } else {
      const format::ChapterEntry& previous = module.chapterIndex[i - 1];
      const bool sameBook = entry.book == previous.book && entry.chapter == previous.chapter + 1;
      const bool nextBook = entry.book == previous.book + 1 && entry.chapter == 1;
      if (!(sameBook || nextBook) || entry.firstVerse <= previous.firstVerse)
        return "damaged chapter index";
    }
    if (entry.firstVerse >= h.verseCount || entry.book >= h.bookCount ||
        !areaFits(entry.offset, format::kChapterRecordHeaderSize, module.fileSize))
      return "damaged chapter index";
  }
  if (module.chapterIndex[h.chapterCount - 1].book != h.bookCount - 1)
    return "damaged chapter index";
  module.chapterIndex.back() =
      format::ChapterEntry{static_cast<std::uint8_t>(h.bookCount + 1), 150,
                           static_cast<std::uint16_t>(h.verseCount), 0xFFFFFFFFu};
  return nullptr;
}

// Reads bookCount lines of at most 28 characters, each ended by its line feed.
const char* readBookNames(BibleHandle& module) {
  const format::ModuleHeader& h = module.header;
  const std::uint64_t wanted = std::uint64_t{h.bookCount} * kBookLineLimit;
  const std::uint64_t available = module.fileSize - h.bookNamesOffset;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(wanted, available)));
  if (!readAt(module.stream.get(), module.fileSize, h.bookNamesOffset, bytes))
    return "file is truncated";
  std::string_view rest(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  module.bookNames.reserve(h.bookCount);
  for (std::uint32_t book = 0; book < h.bookCount; ++book) {
    const std::size_t end = rest.substr(0, kBookLineLimit).find('\n');
    if (end == std::string_view::npos || end == 0) return "damaged book names";
    std::string_view name = rest.substr(0, end);
    if (name.find('\0') != std::string_view::npos) return "damaged book names";
    module.bookNames.emplace_back(name);
    rest.remove_prefix(end + 1);
  }
  return nullptr;
}

}  // namespace

void SharedStreamCloser::operator()(std::FILE* stream) const {
  if (stream != nullptr) _fclose(stream);
}

void initBibleModule() { moduleInitialised = true; }

BibleHandle* openBible(const bibleName* name, std::string* why) {
  if (name == nullptr || name->path[0] == '\0') return refuse(why, "no module named");
  auto module = std::make_unique<BibleHandle>();
  std::memcpy(module->path, name->path, sizeof module->path);
  module->path[sizeof module->path - 1] = '\0';
  module->stream.reset(_fopen(module->path, "rb"));
  if (!module->stream) return refuse(why, "file not found");
  module->fileSize = streamSize(module->stream.get());

  std::array<std::uint8_t, format::kHeaderSize> headerBytes{};
  const std::size_t headerRead =
      static_cast<std::size_t>(std::min<std::uint64_t>(module->fileSize, format::kHeaderSize));
  if (headerRead == 0 ||
      !readAt(module->stream.get(), module->fileSize, 0,
              std::span(headerBytes).first(headerRead)) ||
      headerBytes[0] != format::kSignature)
    return refuse(why, "not a Bible module (bad signature)");
  if (headerRead < format::kHeaderSize || !format::decodeHeader(headerBytes, module->header))
    return refuse(why, "file is truncated");
  if (const char* reason = checkHeader(module->header, module->fileSize))
    return refuse(why, reason);

  if (std::fseek(module->stream.get(), static_cast<long>(module->header.stringTableOffset),
                 SEEK_SET) != 0)
    return refuse(why, "file is truncated");
  module->stringTable.reset(initStrngTbl(module->stream.get()));
  if (!module->stringTable) return refuse(why, "damaged string table");
  if (module->stringTable->nWords != module->header.wordCount)
    return refuse(why, "damaged header (word count differs from the string table)");

  if (const char* reason = readChapterIndex(*module)) return refuse(why, reason);
  if (const char* reason = readBookNames(*module)) return refuse(why, reason);

  module->showStrongs = 0;
  module->strongs = std::strstr(module->header.name.data(), "James") != nullptr ? 1 : 0;
  // Offset 0 is the module header, never a chapter record, so the empty cache matches nothing.
  module->cachedText.clear();
  module->cachedOffset = 0;
  module->cachedStrongs = 0;
  if (why != nullptr) why->clear();
  return module.release();
}

void closeBible(BibleHandle* module) { std::unique_ptr<BibleHandle> release(module); }

bibleName* getBibleName(bibleName* out, BibleHandle* module) {
  std::memcpy(out->name, module->header.name.data(), sizeof out->name);
  std::memcpy(out->path, module->path, sizeof out->path);
  return out;
}

void getBibleStats(char* statByte1, char* statByte2, long* statLong, unsigned long* bookCount,
                   unsigned long* chapterCount, unsigned long* verseCount, unsigned long* wordCount,
                   BibleHandle* module) {
  const format::ModuleHeader& h = module->header;
  *statByte1 = static_cast<char>(h.statByte1);
  *statByte2 = static_cast<char>(h.statByte2);
  *statLong = h.statLong;
  *bookCount = h.bookCount;
  *chapterCount = h.chapterCount;
  *verseCount = h.verseCount;
  *wordCount = h.wordCount;
}

int hasStrongs(BibleHandle* module) { return module->strongs; }
int getStrongs(BibleHandle* module) { return module->showStrongs; }
void setStrongs(BibleHandle* module, int show) { module->showStrongs = show; }

}  // namespace vellum
