// The verse notes store: opening and creating, notes by verse, searches, and text import.
//
// Every byte of the file goes through storeio (store_io.h), so the fault tests reach each
// write. The header is re-read from the file before every change and every search, because
// another handle on the same store (a second window, another program) may have changed it
// meanwhile; getting a note reads only the slot and the chain, which no change rewrites except
// at the commit point.
//
// Between programs, a change holds the file's exclusive lock from its header read to its last
// commit, and every read holds a shared one, so a change never starts from a stale header and
// a read sees each change whole or not at all. A read that cannot have its lock within the
// wait goes on without it; the write order keeps what it reads sound.
#include "engine/stores/notes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/stores/notes_format.h"
#include "engine/stores/store_io.h"
#include "support/files.h"
#include "support/strings.h"
#include "support/unicode.h"

namespace vellum {
namespace {

struct SharedStreamRelease {
  void operator()(std::FILE* stream) const { _fclose(stream); }
};
using SharedStream = std::unique_ptr<std::FILE, SharedStreamRelease>;

struct FileClose {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

// Longest reference line VNImport reads, as the original line reader did.
constexpr std::size_t kReferenceLineLimit = 254;
constexpr std::size_t kMaxRecordText = 0xFFFF;

std::uint32_t now() {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(seconds.count());
}

std::uint32_t moduleVerseCount(BibleHandle* module) {
  char statByte1 = 0, statByte2 = 0;
  long statLong = 0;
  unsigned long books = 0, chapters = 0, verses = 0, words = 0;
  getBibleStats(&statByte1, &statByte2, &statLong, &books, &chapters, &verses, &words, module);
  return static_cast<std::uint32_t>(verses);
}

// The store's bare file name: the module's file name with the extension ".vn".
std::string storeFileName(BibleHandle* module) {
  bibleName name;
  getBibleName(&name, module);
  const std::string_view path(name.path, strnlen(name.path, sizeof name.path));
  return changeExtension(bareFileName(path), ".vn");
}

}  // namespace

struct NotesHandle {
  SharedStream stream;
  BibleHandle* module = nullptr;
  bool readOnly = false;
  bool busy = false;  // the last change was refused: see VNBusy
  std::uint32_t moduleVerses = 0;
  format::NotesHeader header;  // as last read from or written to the file
};

namespace {

// Reads the header from the file and checks it against the file and the module; the handle's
// copy is replaced only when the header is sound.
bool readHeader(NotesHandle& notes) {
  std::FILE* stream = notes.stream.get();
  const std::uint64_t fileSize = storeio::fileSize(stream);
  std::vector<std::uint8_t> bytes(format::kNotesHeaderSize);
  format::NotesHeader h;
  if (fileSize < format::kNotesHeaderSize || !storeio::readAt(stream, 0, bytes) ||
      !format::decodeNotesHeader(bytes, h))
    return false;
  if (h.verseCount == 0 || h.verseCount > format::kNotesMaxVerses ||
      h.verseCount > notes.moduleVerses)
    return false;
  if (h.slotTableOffset != format::kNotesSlotTableOffset) return false;
  if (fileSize < format::slotOffset(h.verseCount)) return false;  // slots cut off
  // Records are written before the header that accounts for them, so the end of data never
  // lies past the file, except in a store that has no record yet.
  if (h.endOfData < format::kNotesFirstRecord ||
      (h.endOfData > fileSize && h.endOfData != format::kNotesFirstRecord) ||
      h.endOfData == format::kNoRecord)
    return false;
  notes.header = h;
  return true;
}

bool writeHeader(NotesHandle& notes) {
  notes.header.modified = now();
  return storeio::writeAt(notes.stream.get(), 0, format::encodeNotesHeader(notes.header));
}

// Takes the store for a change and reads its header afresh under the lock; empty when the
// change cannot go on (the busy flag says whether another program held the file).
std::optional<StreamLock> lockForChange(NotesHandle& notes) {
  std::optional<StreamLock> lock = storeio::lockForChange(notes.stream.get(), notes.busy);
  if (lock && !readHeader(notes)) lock.reset();
  return lock;
}

StreamLock lockForReading(const NotesHandle& notes) {
  return StreamLock(notes.stream.get(), LockKind::shared);
}

bool writeU32(std::FILE* stream, std::uint64_t offset, std::uint32_t value) {
  std::uint8_t bytes[4];
  le::store32(bytes, value);
  return storeio::writeAt(stream, offset, bytes);
}

bool verseAddressable(const NotesHandle& notes, std::uint32_t verse) {
  return verse < notes.header.verseCount && verse < notes.moduleVerses;
}

// Where a verse's chain ends: the position of the link a new record is hooked into (the slot
// when the chain is empty) and the last record, when there is one.
struct ChainEnd {
  std::uint64_t linkPosition = 0;
  std::optional<std::uint32_t> lastRecord;
  format::NoteRecordHeader last;
};

// Walks the verse's chain. Null on a damaged chain: a record outside the file or before the
// record area, or a link that does not point forward (which also ends any loop).
std::optional<ChainEnd> walkChain(const NotesHandle& notes, std::uint32_t verse) {
  std::FILE* stream = notes.stream.get();
  const std::uint64_t fileSize = storeio::fileSize(stream);
  ChainEnd end;
  end.linkPosition = format::slotOffset(verse);
  std::uint8_t slot[4];
  if (!storeio::readAt(stream, end.linkPosition, slot)) return std::nullopt;
  std::uint32_t record = le::load32(slot);
  while (record != format::kNoRecord) {
    if (record < format::kNotesFirstRecord ||
        std::uint64_t{record} + format::kNoteRecordHeaderSize > fileSize)
      return std::nullopt;
    if (end.lastRecord && record <= *end.lastRecord) return std::nullopt;
    std::uint8_t bytes[format::kNoteRecordHeaderSize];
    if (!storeio::readAt(stream, record, bytes) || !format::decodeNoteRecordHeader(bytes, end.last))
      return std::nullopt;
    end.lastRecord = record;
    end.linkPosition = record;  // the next field opens the record
    record = end.last.next;
  }
  if (end.lastRecord &&
      std::uint64_t{*end.lastRecord} + format::kNoteRecordHeaderSize + end.last.length > fileSize)
    return std::nullopt;
  return end;
}

// The verse's current note, at most limit bytes of it; null when it has none.
std::optional<std::string> readNote(const NotesHandle& notes, std::uint32_t verse,
                                    std::size_t limit) {
  if (!verseAddressable(notes, verse)) return std::nullopt;
  const std::optional<ChainEnd> end = walkChain(notes, verse);
  if (!end || !end->lastRecord) return std::nullopt;
  std::string text(std::min<std::size_t>(end->last.length, limit), '\0');
  std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
  if (!storeio::readAt(notes.stream.get(), *end->lastRecord + format::kNoteRecordHeaderSize, bytes))
    return std::nullopt;
  return text;
}

char* deliver(char* out, std::uint16_t* length, std::uint16_t size, std::string_view text) {
  const std::size_t n = unicode::prefixLength(text, size - 1u);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  *length = static_cast<std::uint16_t>(n);
  return out;
}

// Clears the output the way every getter starts; false when there is nowhere to write.
bool clearOutput(char* out, std::uint16_t* length, std::uint16_t size) {
  if (length != nullptr) *length = 0;
  if (out == nullptr || length == nullptr || size == 0) return false;
  out[0] = '\0';
  return true;
}

// The verse number of a reference the module holds, or none.
std::optional<std::uint16_t> verseOf(Reference reference, BibleHandle* module) {
  if (reference.book >= getBooksInBible(module) || reference.chapter < 1 ||
      reference.chapter > getChaptersInBook(reference, module) || reference.verse < 1 ||
      reference.verse > getVersesInChapter(reference, module))
    return std::nullopt;
  return referenceToVerse(reference, module);
}

std::optional<std::uint16_t> verseOf(const char* text, BibleHandle* module) {
  Reference reference;
  if (text == nullptr || parseReference(&reference, text, module) != 1) return std::nullopt;
  return verseOf(reference, module);
}

std::uint16_t* phraseSearch(std::uint16_t* list, std::uint16_t* count, std::uint16_t maximum,
                            const char* phrase, NotesHandle* notes, bool ignoreCase) {
  if (count != nullptr) *count = 0;
  if (list == nullptr || count == nullptr) return nullptr;
  list[0] = kVerseListEnd;
  if (notes == nullptr || phrase == nullptr || *phrase == '\0') return nullptr;
  const StreamLock lock = lockForReading(*notes);
  if (!readHeader(*notes)) return nullptr;
  PhraseFinder finder(phrase, ignoreCase, false);
  for (std::uint32_t verse = 0; verse < notes->header.verseCount; ++verse) {
    if (!notes->header.hasNote(verse)) continue;
    const std::optional<std::string> note = readNote(*notes, verse, kNoteTextLimit);
    // The note is read as a C string: a NUL from a damaged record ends it.
    if (!note || !finder.holds(std::string_view(note->c_str()))) continue;
    if (*count >= maximum) break;
    list[(*count)++] = static_cast<std::uint16_t>(verse);
  }
  list[*count] = kVerseListEnd;
  return *count > 0 ? list : nullptr;
}

// Finds the directory of the data path where the stream's file, named name, lies.
std::optional<std::string> directoryHolding(std::FILE* stream, const std::string& name) {
  struct stat opened {};
  if (fstat(fileno(stream), &opened) != 0) return std::nullopt;
  for (const std::string& directory : dataPathDirectories()) {
    struct stat candidate {};
    const std::string path = directory + "/" + name;
    if (stat(path.c_str(), &candidate) == 0 && candidate.st_dev == opened.st_dev &&
        candidate.st_ino == opened.st_ino)
      return directory;
  }
  return std::nullopt;
}

// Opens an existing store by its name and checks it; null when it is not sound.
NotesHandle* openStore(BibleHandle* module, SharedStream stream, bool readOnly) {
  auto notes = std::make_unique<NotesHandle>();
  notes->stream = std::move(stream);
  notes->module = module;
  notes->readOnly = readOnly;
  notes->moduleVerses = moduleVerseCount(module);
  {
    const StreamLock lock(notes->stream.get(), LockKind::shared);
    if (!readHeader(*notes)) return nullptr;
  }
  return notes.release();
}

}  // namespace

namespace {

// Builds an empty store for the module under a temporary name and puts it in place once complete,
// so a creation cut short leaves at most a stray temporary, never a store that opens with
// unwritten slots. With replace, it takes the place of any store of that name; without, a store
// that another program made meanwhile is kept and the new one dropped. False on failure.
bool buildStore(BibleHandle* module, const std::string& fileName, bool replace) {
  const std::uint32_t verses = moduleVerseCount(module);
  if (verses == 0 || verses > format::kNotesMaxVerses) return false;
  // Named for this process, so that two programs creating the store at once never share it.
  const std::string tempName = fileName + ".tmp" + std::to_string(::getpid());

  format::NotesHeader header;
  header.verseCount = verses;
  header.created = now();
  bibleName name;
  getBibleName(&name, module);
  std::memcpy(header.bibleName.data(), name.name, sizeof name.name);
  std::memcpy(header.biblePath.data(), name.path, sizeof name.path);

  SharedStream temp(_fopen(tempName.c_str(), "w+b"));
  if (!temp) return false;
  const std::optional<std::string> directory = directoryHolding(temp.get(), tempName);
  if (!directory) return false;
  const std::string tempPath = *directory + "/" + tempName;
  const std::string path = *directory + "/" + fileName;
  const std::vector<std::uint8_t> slots(std::size_t{verses} * 4, 0xFF);
  header.modified = now();
  const bool written = storeio::writeAt(temp.get(), format::kNotesSlotTableOffset, slots) &&
                       storeio::writeAt(temp.get(), 0, format::encodeNotesHeader(header)) &&
                       storeio::commit(temp.get());
  temp.reset();
  bool placed = false;
  if (written && !replace) {
    // A link fails rather than replace a store made by another program since this one looked.
    // File systems without links get the rename below.
    placed = ::link(tempPath.c_str(), path.c_str()) == 0 || errno == EEXIST;
    if (placed) syncDirectory(*directory);
  }
  if (written && !placed) placed = renameDurably(tempPath, path);
  std::remove(tempPath.c_str());
  return placed;
}

// Opens the store file of that name for update, else for reading only. Null when it is not
// sound, or (with absent set) when no directory of the data path holds it.
NotesHandle* openNamed(BibleHandle* module, const std::string& fileName, bool& absent) {
  bool readOnly = false;
  SharedStream stream(openForUpdate(fileName.c_str(), readOnly));
  absent = !stream;
  return stream ? openStore(module, std::move(stream), readOnly) : nullptr;
}

}  // namespace

NotesHandle* VNCreate(BibleHandle* module) {
  if (module == nullptr) return nullptr;
  const std::string fileName = storeFileName(module);
  if (!buildStore(module, fileName, true)) return nullptr;
  SharedStream stream(_fopen(fileName.c_str(), "r+b"));
  if (!stream) return nullptr;
  return openStore(module, std::move(stream), false);
}

NotesHandle* VNOpen(BibleHandle* module) {
  if (module == nullptr) return nullptr;
  const std::string fileName = storeFileName(module);
  bool absent = false;
  NotesHandle* notes = openNamed(module, fileName, absent);
  if (notes != nullptr || !absent) return notes;
  if (!buildStore(module, fileName, false)) return nullptr;
  return openNamed(module, fileName, absent);
}

void VNClose(NotesHandle* notes) { std::unique_ptr<NotesHandle> release(notes); }

int VNReadOnly(NotesHandle* notes) { return notes == nullptr || notes->readOnly ? 1 : 0; }

std::string VNFileName(NotesHandle* notes) {
  return notes != nullptr ? storeFileName(notes->module) : std::string();
}

int VNBusy(NotesHandle* notes) { return notes != nullptr && notes->busy ? 1 : 0; }

bool VNSetNoteByVerse(std::uint16_t verse, const char* text, NotesHandle* notes) {
  if (notes == nullptr || notes->readOnly || text == nullptr) return false;
  const std::size_t length = std::strlen(text);
  if (length > kMaxRecordText) return false;
  const std::optional<StreamLock> lock = lockForChange(*notes);
  if (!lock || !verseAddressable(*notes, verse)) return false;
  const std::optional<ChainEnd> end = walkChain(*notes, verse);
  if (!end) return false;
  // The record goes at the end of data, or past the end of the file when bytes lie beyond the
  // end of data (a record of a set killed before its header write, or a damaged header): no
  // byte that a link may point to is ever overwritten.
  const std::uint64_t start =
      std::max<std::uint64_t>(notes->header.endOfData, storeio::fileSize(notes->stream.get()));
  const std::uint64_t newEnd = start + format::kNoteRecordHeaderSize + length;
  if (newEnd >= format::kNoRecord || (end->lastRecord && start <= *end->lastRecord)) return false;
  const auto record = static_cast<std::uint32_t>(start);

  std::vector<std::uint8_t> bytes;
  bytes.reserve(format::kNoteRecordHeaderSize + length);
  format::encodeNoteRecordHeader({format::kNoRecord, static_cast<std::uint16_t>(length)}, bytes);
  le::putBytes(bytes, std::string_view(text, length));
  std::FILE* stream = notes->stream.get();
  // Order: the record into free space, the header that accounts for it, then the link. Until
  // the link lands the record is unreachable; once the header has moved the end of data, no
  // later set can overwrite a record that a link may point to.
  if (!storeio::writeAt(stream, record, bytes)) return false;
  notes->header.endOfData = static_cast<std::uint32_t>(newEnd);
  notes->header.markNote(verse, true);
  if (!writeHeader(*notes) || !storeio::commit(stream)) return false;
  return writeU32(stream, end->linkPosition, record) && storeio::commit(stream);
}

bool VNSetNoteByRef(Reference reference, const char* text, NotesHandle* notes) {
  if (notes == nullptr) return false;
  const std::optional<std::uint16_t> verse = verseOf(reference, notes->module);
  return verse && VNSetNoteByVerse(*verse, text, notes);
}

bool VNSetNote(const char* reference, const char* text, NotesHandle* notes) {
  if (notes == nullptr) return false;
  const std::optional<std::uint16_t> verse = verseOf(reference, notes->module);
  return verse && VNSetNoteByVerse(*verse, text, notes);
}

char* VNGetNoteByVerse(char* out, std::uint16_t* length, std::uint16_t size, std::uint16_t verse,
                       NotesHandle* notes) {
  if (!clearOutput(out, length, size) || notes == nullptr) return nullptr;
  const StreamLock lock = lockForReading(*notes);
  const std::optional<std::string> note = readNote(*notes, verse, size - 1u);
  if (!note) return nullptr;
  return deliver(out, length, size, *note);
}

char* VNGetNoteByRef(char* out, std::uint16_t* length, std::uint16_t size, Reference reference,
                     NotesHandle* notes) {
  if (!clearOutput(out, length, size) || notes == nullptr) return nullptr;
  const std::optional<std::uint16_t> verse = verseOf(reference, notes->module);
  return verse ? VNGetNoteByVerse(out, length, size, *verse, notes) : nullptr;
}

char* VNGetNote(char* out, std::uint16_t* length, std::uint16_t size, const char* reference,
                NotesHandle* notes) {
  if (!clearOutput(out, length, size) || notes == nullptr) return nullptr;
  const std::optional<std::uint16_t> verse = verseOf(reference, notes->module);
  return verse ? VNGetNoteByVerse(out, length, size, *verse, notes) : nullptr;
}

bool VNDelNoteByVerse(std::uint16_t verse, NotesHandle* notes) {
  if (notes == nullptr || notes->readOnly) return false;
  const std::optional<StreamLock> lock = lockForChange(*notes);
  if (!lock || !verseAddressable(*notes, verse)) return false;
  std::FILE* stream = notes->stream.get();
  std::uint8_t slot[4];
  if (!storeio::readAt(stream, format::slotOffset(verse), slot) ||
      le::load32(slot) == format::kNoRecord)
    return false;
  // The slot is the commit point; the bit is cleared after it, so a clear bit never hides a
  // note that is still there.
  if (!writeU32(stream, format::slotOffset(verse), format::kNoRecord)) return false;
  notes->header.markNote(verse, false);
  return writeHeader(*notes) && storeio::commit(stream);
}

bool VNDelNoteByRef(Reference reference, NotesHandle* notes) {
  if (notes == nullptr) return false;
  const std::optional<std::uint16_t> verse = verseOf(reference, notes->module);
  return verse && VNDelNoteByVerse(*verse, notes);
}

bool VNDelNote(const char* reference, NotesHandle* notes) {
  if (notes == nullptr) return false;
  const std::optional<std::uint16_t> verse = verseOf(reference, notes->module);
  return verse && VNDelNoteByVerse(*verse, notes);
}

std::uint16_t* VNPhraseSearch(std::uint16_t* list, std::uint16_t* count, std::uint16_t maximum,
                              const char* phrase, NotesHandle* notes) {
  return phraseSearch(list, count, maximum, phrase, notes, true);
}

std::uint16_t* VNCSPhraseSearch(std::uint16_t* list, std::uint16_t* count, std::uint16_t maximum,
                                const char* phrase, NotesHandle* notes) {
  return phraseSearch(list, count, maximum, phrase, notes, false);
}

std::uint16_t* VNFindVersesWithNotes(std::uint16_t* list, std::uint16_t* count,
                                     std::uint16_t maximum, Reference chapter, NotesHandle* notes) {
  if (count != nullptr) *count = 0;
  if (list == nullptr || count == nullptr || maximum == 0) return nullptr;
  list[0] = kVerseListEnd;
  if (notes == nullptr) return nullptr;
  chapter.verse = 1;
  const std::uint16_t verses =
      verseOf(chapter, notes->module) ? getVersesInChapter(chapter, notes->module) : 0;
  const StreamLock lock = lockForReading(*notes);
  for (std::uint16_t v = 1; v <= verses; ++v) {
    chapter.verse = static_cast<std::uint8_t>(v);
    const std::uint16_t verse = referenceToVerse(chapter, notes->module);
    if (!readNote(*notes, verse, 0)) continue;
    if (*count >= maximum - 1) break;
    list[(*count)++] = verse;
  }
  list[*count] = kVerseListEnd;
  return *count > 0 ? list : nullptr;
}

char* VNGetNotesForChapter(char* out, std::uint16_t* length, std::uint16_t size,
                           const char* reference, NotesHandle* notes) {
  if (!clearOutput(out, length, size) || notes == nullptr) return nullptr;
  Reference chapter;
  if (reference == nullptr || parseReference(&chapter, reference, notes->module) != 1) return out;
  const std::uint16_t verses = getVersesInChapter(chapter, notes->module);
  std::string result;
  const StreamLock lock = lockForReading(*notes);
  // Each entry costs its text plus 8, which covers "NNN. " and the line feed; what is left
  // after an entry bounds the next note, so the whole stays below size.
  long spaceLeft = static_cast<long>(size) - 8;
  for (std::uint16_t v = 1; v <= verses && spaceLeft > 0; ++v) {
    chapter.verse = static_cast<std::uint8_t>(v);
    const std::optional<std::string> note = readNote(
        *notes, referenceToVerse(chapter, notes->module), static_cast<std::size_t>(spaceLeft - 1));
    if (!note) continue;
    std::string entry = std::to_string(v) + ". ";
    entry.append(note->c_str());
    entry += '\n';
    result += entry;
    spaceLeft -= static_cast<long>(entry.size()) + 8;
  }
  return deliver(out, length, size, result);
}

int VNImport(const char* fileName, NotesHandle* notes, const NotesImportReport& report) {
  if (notes == nullptr || notes->readOnly || fileName == nullptr) return -1;
  const std::unique_ptr<std::FILE, FileClose> own(std::fopen(fileName, "rb"));
  SharedStream shared;
  if (!own && bareFileName(fileName).size() == std::strlen(fileName))
    shared.reset(_fopen(fileName, "r"));
  std::FILE* in = own ? own.get() : shared.get();
  if (in == nullptr) return -1;
  if (!own && std::fseek(in, 0, SEEK_SET) != 0) return -1;

  const auto tell = [&](int line, const std::string& message) {
    if (report) report(line, message);
  };
  int stored = 0;
  int lineNumber = 0;
  int entryLine = 0;  // line of the current entry's reference, 0 while between entries
  std::string referenceText;
  std::string note;
  bool cut = false;
  const auto finishEntry = [&] {
    if (entryLine == 0) return;
    if (!verseOf(referenceText.c_str(), notes->module)) {
      tell(entryLine, referenceText + " is not a valid reference");
    } else {
      if (cut) tell(entryLine, "note cut to " + std::to_string(kNoteTextLimit) + " characters");
      if (VNSetNote(referenceText.c_str(), note.c_str(), notes))
        ++stored;
      else if (VNBusy(notes))
        tell(entryLine, "the note for " + referenceText + " was not written: " +
                            changeRefusedMessage(storeFileName(notes->module)));
      else
        tell(entryLine, "the note for " + referenceText + " could not be written");
    }
    entryLine = 0;
    note.clear();
    cut = false;
  };

  std::string line;
  for (;;) {
    line.clear();
    int c = 0;
    while ((c = std::fgetc(in)) != EOF && c != '\n') line += static_cast<char>(c);
    if (c == EOF && line.empty()) break;
    ++lineNumber;
    const bool hasLineEnd = c == '\n';
    if (!line.empty() && line.back() == '\r' && hasLineEnd) line.pop_back();
    const bool blank = line.find_first_not_of(" \t") == std::string::npos;
    if (entryLine == 0) {
      if (blank) continue;
      entryLine = lineNumber;
      referenceText = line;
      if (referenceText.size() > kReferenceLineLimit) referenceText.resize(kReferenceLineLimit);
    } else if (blank) {
      finishEntry();
    } else {
      if (hasLineEnd) line += '\n';
      const std::size_t room = kNoteTextLimit - note.size();
      if (line.size() > room) cut = true;
      note.append(line, 0, std::min(room, line.size()));
    }
    if (!hasLineEnd) break;
  }
  finishEntry();
  return stored;
}

}  // namespace vellum
