// Verse notes: one store per Bible module holding at most one current note text per verse.
//
// Conventions:
// - The store of a module "kjv.bib" is the file "kjv.vn", found by its bare name along the data
//   path (support/files.h): for update in the first writable directory that holds it, for
//   reading in any. A store found only where nothing can be written opens read-only.
// - A store is an opaque NotesHandle from VNOpen or VNCreate, released by VNClose; it borrows
//   the module, which must stay open while the store is. Every function takes the handle last.
// - Notes are addressed by verse number, by Reference, or by reference text parsed against the
//   module. A verse number at or above the store's or the module's verse count, a Reference the
//   module does not hold, or a text that does not parse addresses nothing: nothing is read or
//   written for it.
// - Texts are NUL-terminated. The getters take the output buffer, a pointer to its length and
//   its size (terminator included); they always leave a terminated string (empty when nothing
//   is found, size permitting) and deliver at most size - 1 bytes. They return the buffer when
//   something was found, else null.
// - A null handle does nothing and finds nothing. The changing functions return true only
//   when the change reached the file; a read-only store is never written, byte for byte.
// - Setting appends a record and links it after the verse's earlier ones; deleting cuts the
//   chain off at the slot. Each change writes fresh space first, then the header, then the one
//   link or slot that makes it visible (the commit point), so a process killed at any write
//   leaves every note committed before the change readable (notes_format.h has the layout).
// - A damaged file is refused at open (null handle); a damaged chain reads as no note.
// - Several handles may be open on one store, in this process and in others. Between programs,
//   every change holds the file's exclusive lock (support/files.h) and every read a shared one,
//   so each handle sees the others' changes at its next call, no change starts from a stale
//   header and no read sees half a change. A change that cannot have the lock within the wait
//   is refused: it writes nothing and returns false with VNBusy set. A read that cannot have
//   it goes on without it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/bible/bible.h"

namespace vellum {

struct NotesHandle;  // opaque

inline constexpr int kNoteTextLimit = 32766;  // longest note VNImport and the searches handle

// Creates a new, empty store for the module, replacing any store of that name. The store is
// built under a temporary name beside its place and renamed into it only once complete (and
// the rename committed to disk), so an interrupted creation never leaves a half-made store.
// Call it while no handle is open on the module's store, in any program: such a handle would
// go on reading the file that was replaced. Null on failure.
NotesHandle* VNCreate(BibleHandle* module);
// Opens the module's store, creating it when there is none; when two programs create it at
// once, both open the same store. Null when it cannot be created, or when the file found is
// not a sound store of at most the module's verse count.
NotesHandle* VNOpen(BibleHandle* module);
// Releases the stream use and the handle; closing a null handle does nothing.
void VNClose(NotesHandle* notes);
// 1 when the store cannot be written (and for a null handle), else 0.
int VNReadOnly(NotesHandle* notes);
// The store's bare file name ("kjv.vn"); empty for a null handle.
std::string VNFileName(NotesHandle* notes);
// 1 when the handle's last change was refused because another program held the store for the
// whole wait; 0 otherwise and for a null handle. Every change resets it.
int VNBusy(NotesHandle* notes);

// Stores text as the verse's current note; an empty text is a note too. Texts longer than
// 65535 bytes cannot be stored. False when nothing was written (read-only, bad address).
bool VNSetNoteByVerse(std::uint16_t verse, const char* text, NotesHandle* notes);
bool VNSetNoteByRef(Reference reference, const char* text, NotesHandle* notes);
bool VNSetNote(const char* reference, const char* text, NotesHandle* notes);

// The verse's current note, cut to size - 1 bytes.
char* VNGetNoteByVerse(char* out, std::uint16_t* length, std::uint16_t size, std::uint16_t verse,
                       NotesHandle* notes);
char* VNGetNoteByRef(char* out, std::uint16_t* length, std::uint16_t size, Reference reference,
                     NotesHandle* notes);
char* VNGetNote(char* out, std::uint16_t* length, std::uint16_t size, const char* reference,
                NotesHandle* notes);

// Removes the verse's note; the old records stay as dead space. True when a note was removed.
bool VNDelNoteByVerse(std::uint16_t verse, NotesHandle* notes);
bool VNDelNoteByRef(Reference reference, NotesHandle* notes);
bool VNDelNote(const char* reference, NotesHandle* notes);

// Verses whose note holds the phrase as a whole word or words: some occurrence starts the note
// or follows punctuation or a blank, and is followed by punctuation, a blank or the end of the
// note (support/strings.h holdsPhrase). Notes are read up to kNoteTextLimit bytes.
// VNPhraseSearch ignores case and accents; VNCSPhraseSearch (the case-sensitive twin) does not.
// Capacity: list must hold maximum + 1 entries. At most maximum verse numbers are stored, in
// ascending order, followed by kVerseListEnd. An empty phrase finds nothing. Returns the list
// when anything was found, else null (the count is then 0 and the list holds the terminator).
std::uint16_t* VNPhraseSearch(std::uint16_t* list, std::uint16_t* count, std::uint16_t maximum,
                              const char* phrase, NotesHandle* notes);
std::uint16_t* VNCSPhraseSearch(std::uint16_t* list, std::uint16_t* count, std::uint16_t maximum,
                                const char* phrase, NotesHandle* notes);

// The verses of the chapter of `chapter` (book and chapter are read) that have notes.
// Capacity: list must hold maximum entries: at most maximum - 1 verse numbers followed by
// kVerseListEnd. With maximum 0 nothing is written. The list when any were found, else null.
std::uint16_t* VNFindVersesWithNotes(std::uint16_t* list, std::uint16_t* count,
                                     std::uint16_t maximum, Reference chapter, NotesHandle* notes);

// The notes of the chapter named by a reference text ("John 3:1"), one entry per verse with a
// note, in verse order: "3. text\n7. text\n". Entries stop once the buffer cannot hold another;
// the last one's note may be cut to fit. Always returns the buffer (empty when the text does not
// parse or the chapter has no notes), unless size is 0 or there is no handle.
char* VNGetNotesForChapter(char* out, std::uint16_t* length, std::uint16_t size,
                           const char* reference, NotesHandle* notes);

// Called with a 1-based line number of the source and what was wrong with it.
using NotesImportReport = std::function<void(int line, const std::string& message)>;

// Imports notes from a text file, opened by the path as given (a bare name not found there is
// looked for along the data path). The file is a sequence of entries: a reference line, then
// the note's lines; an entry ends at a blank line (nothing but spaces or tabs) or at the end of
// the file. Blank lines between entries are skipped. The note is its lines as read, line feeds
// included (a carriage return before a line feed is dropped), cut to kNoteTextLimit bytes.
// Entries whose reference does not parse, notes that had to be cut, and notes that could not be
// written are passed to report (when given) with their line; the bad entries are skipped.
// Returns the number of notes stored, or -1 when the file cannot be read or the store not
// written (no handle, read-only).
int VNImport(const char* fileName, NotesHandle* notes, const NotesImportReport& report = {});

}  // namespace vellum
