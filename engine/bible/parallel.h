// Translations side by side: a reference of one module read in another.
//
// Modules carry no book codes, only their own book names. A book is found in another module by
// its name (the King James Version and the World English Bible share theirs); when the names
// differ, as in another language, modules with the same number of books are taken to share
// their order (the 66 books in canonical order), so the book at the same place stands for it.
// Chapters and verses keep their numbers: the translations share one versification, and a
// verse one of them lacks (the WEB has 3 John 1:15, the KJV does not) is simply not there.
#pragma once

#include <cstdint>

#include "engine/bible/bible.h"

namespace vellum {

// The book of `to` that stands for book `book` of `from`, or -1 when there is none.
int mapBook(unsigned int book, BibleHandle* from, BibleHandle* to);

// 1 when `to` holds the verse that stands for `reference` of `from`, with *out set to it.
// Otherwise 0, and *out holds the mapped book with the same chapter and verse when the book is
// there (so it can still be named), or book 0, chapter 1, verse 1 when it is not.
int mapReference(Reference* out, Reference reference, BibleHandle* from, BibleHandle* to);

// The text of a verse line as a chapter holds it ("16 For God so loved..."): what follows the
// verse number and its blank. A line that does not start with a number is returned whole.
// *verse gets the leading number (0 when there is none).
const char* verseLineText(const char* line, std::uint16_t* verse);

}  // namespace vellum
