// The module builder: writes a Bible module file (".bib") from verses in canonical order.
//
// The layout is the one the engine reads (engine/bible/module_format.h has the table, and
// engine/bible/strngtbl.h the string table's). The writer lays the areas out in this order:
//
//   header (120 bytes at 0) | book-name lines | chapter index | chapter text records |
//   word index | posting lists | string table (written by createStrngTbl, at the end)
//
// - Header: signature 0x7F, statistics fields 0, the display name (1 to 79 characters).
// - Chapter text: "N text" per verse, lines joined by single line feeds, no trailing line
//   feed. A record is stored compressed only when Encode's output is strictly shorter than the
//   text; equal lengths in a record mean "stored as is", so a tie must be stored as is.
// - Word numbers are positions in the string table's byte order (ordering 0), which the
//   writer takes from the engine's own comparison so the two can never disagree. Each word's
//   posting list holds the ascending, distinct verse numbers of the verses it occurs in.
//
// Tokenising (it must meet the searches' own, or a typed word finds nothing):
// - The verse text (without its verse number) is split at whitespace. Each token, trimmed
//   with the search's trim (support/strings.h: spaces, line ends, then leading and trailing
//   punctuation), is a word when anything is left: "love," and "(love" index "love", and a
//   word search trims what the user types the same way.
// - Each token is also split at the phrase search's delimiters " ,.:;?![]-" and every
//   trimmed, non-empty piece is a word too, because a phrase search looks up each piece as a
//   word: "Beth-el" indexes "Beth-el", "Beth" and "el". The apostrophe is no delimiter, so
//   "Lord's" stays one word.
// - Strong's numbers ("God 430": a space and digits after the word) are tokens like any other
//   and are indexed as words, so a user can search for a number and find its verses.
// - Letter case is kept (the case-blind searches use the table's case-blind orderings), and
//   bytes above 127 (UTF-8) are part of words, as the engine's string rules treat them.
//
// Limits (each refused with a message naming the limit and the input line): at most 80
// books, book names of 1 to 28 characters (a numbered book as digit, space, name, the form
// the reference parser looks for), at most 255 chapters in a book and 255 verses in a
// chapter, fewer than 31200 verses, fewer than 65535 distinct words, words of at most 254
// characters, chapter text of at most 32765 characters, no NUL bytes in the text or in a book
// name. Books must not reappear after another book; chapters and verses start at 1 and ascend
// without gaps.
//
// The output is written to a temporary file beside the target, flushed and synced to disk,
// then renamed over the target; on any failure the temporary is removed and an existing
// target is left untouched, so a failed build never leaves a partial module.
#pragma once

#include <string>
#include <vector>

#include "tools/import/vpl.h"

namespace vellum::import {

// Splits one verse text into its index words, as described above (duplicates included).
std::vector<std::string> indexWords(const std::string& text);

// Writes the module to outPath. On failure returns false with error set ("line N: ..." when
// an input line is at fault) and leaves no file at outPath other than one already there.
bool writeModule(const std::string& displayName, const std::vector<VerseLine>& lines,
                 const std::string& outPath, std::string& error);

}  // namespace vellum::import
