// Bible modules: opening a ".bib" file, references, chapter and verse text.
//
// Conventions of the engine:
// - A module is an opaque BibleHandle from openBible, released by closeBible; functions take it
//   as their last argument (isOldTestament takes it first).
// - Functions that produce a list or a text take, in this order: the output buffer, a pointer
//   to its count or length, its capacity, the inputs, and the handle; they return the buffer.
// - Nothing found is a count of 0. Failure is a return value (0, -1, null, a reset reference);
//   nothing throws and nothing shows a message.
// - Every file read is checked against the file's size and the format's limits first: a
//   damaged module is refused at open (null handle) and a damaged record reads as empty text.
// - Two handles on one file share a stream (support/files.h), so every read seeks first.
#pragma once

#include <cstdint>
#include <string>

namespace vellum {

// A verse for people and windows: 0-based book, 1-based chapter and verse.
struct Reference {
  std::uint8_t book = 0;
  std::uint8_t chapter = 1;
  std::uint8_t verse = 1;
  friend bool operator==(const Reference&, const Reference&) = default;
};

// A translation's display name and its module's bare file name.
struct bibleName {
  char name[80] = {};
  char path[80] = {};
};

struct BibleHandle;  // opaque

inline constexpr int kMaxBooks = 80;
inline constexpr int kMaxBookNameLength = 28;
inline constexpr std::uint16_t kVerseListEnd = 31201;  // terminator of verse lists
inline constexpr int kChapterBufferSize = 32766;       // chapter and article buffers
inline constexpr int kMaxChapterText = 32765;

// Called once by a program before any module is opened.
void initBibleModule();

// Opens the module whose bare file name is name->path, along the data path. Returns null when
// the file is missing or is not a sound module; then *why (when given) says what was wrong.
BibleHandle* openBible(const bibleName* name, std::string* why = nullptr);
// Releases everything the handle owns; closing a null handle does nothing.
void closeBible(BibleHandle* module);
bibleName* getBibleName(bibleName* out, BibleHandle* module);
void getBibleStats(char* statByte1, char* statByte2, long* statLong, unsigned long* bookCount,
                   unsigned long* chapterCount, unsigned long* verseCount, unsigned long* wordCount,
                   BibleHandle* module);
int hasStrongs(BibleHandle* module);
int getStrongs(BibleHandle* module);
void setStrongs(BibleHandle* module, int show);

// References and verse numbers.
// The verse number of a reference; 0 for a chapter the module does not hold.
std::uint16_t referenceToVerse(Reference reference, BibleHandle* module);
// The reference of a verse number; a number at or past the verse count gives the last verse.
Reference verseToReference(std::uint16_t verse, BibleHandle* module);
// Fills the chapter's text offset and the verse number; leaves both unchanged when the module
// has no such chapter.
void refLookup(std::uint32_t* offset, std::uint16_t* verse, Reference reference,
               BibleHandle* module);
// Internal to the engine: the chapter offset and reference of a verse number (clamped to the
// last verse like verseToReference).
void locateVerse(std::uint32_t* offset, Reference* reference, std::uint16_t verse,
                 BibleHandle* module);
// 1 with *out filled for a reference the module holds ("John 3:16", "1john 1.9"); otherwise 0
// with *out set to book 0, chapter 1, verse 1.
int parseReference(Reference* out, const char* text, BibleHandle* module);
// Writes "Book C:V", or "" for a book the module does not hold. out must hold the longest
// book name plus 8 characters and the terminator (40 bytes do).
char* unparseReference(char* out, Reference reference, BibleHandle* module);
// The module's name of the book (owned by the module), or "" for a book it does not hold.
const char* getBookName(unsigned int book, BibleHandle* module);
// The first book whose name starts with the text, ignoring case ("1John" reads as "1 John");
// the empty text gives 0, no match -1.
int getBookNum(const char* text, BibleHandle* module);
std::uint16_t getBooksInBible(BibleHandle* module);
// Counts; 0 for a book or chapter the module does not hold.
std::uint16_t getChaptersInBook(Reference reference, BibleHandle* module);
std::uint16_t getVersesInChapter(Reference reference, BibleHandle* module);
// Step to verse 1 of the next or previous chapter, across books; 0 (reference unchanged) at
// the module's last or first chapter.
int nextChapter(Reference* reference, BibleHandle* module);
int prevChapter(Reference* reference, BibleHandle* module);
// 1 for the first 39 books of a module of at least 65 books.
int isOldTestament(BibleHandle* module, Reference reference);

// Chapter and verse text. Both write at most size - 1 characters and a terminator (nothing
// when size is 0) and set *length to the text's length. getChapter serves a repeated read of
// the same chapter with the same display flag from its cache; a record that does not lie
// within the file or exceeds 32765 characters reads as the empty text.
char* getChapter(char* text, std::uint16_t* length, std::uint16_t size, std::uint32_t offset,
                 BibleHandle* module);
// "Book C:" followed by the verse's line ("Genesis 1:1 In the beginning...").
char* getVerse(char* text, std::uint16_t* length, std::uint16_t size, std::uint16_t verse,
               BibleHandle* module);
// In place: drops Strong's numbers, each a space then a digit and the run of digits, '-', '|',
// 'k' and 'q' after it; verse numbers, which never follow a space, stay.
char* killStrongs(char* text);
// In place: "<1234>" and "(1234)" become "1234".
char* formatStrongs(char* text);

}  // namespace vellum
