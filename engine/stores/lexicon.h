// The Strong's lexicon: one definition text per Strong's number, in a Hebrew and a Greek table.
//
// Conventions:
// - The lexicon is read-only. initLexicon opens it by its bare name along the data path
//   (support/files.h) and returns an opaque LexiconHandle, released by deinitLexicon; handles on
//   the same file share one stream.
// - lookupLexicon takes the output buffer, a pointer to its length and its size (terminator
//   included), then the number, the table and the handle last; it returns the buffer, or null
//   when nothing is found, leaving the buffer and the length untouched.
// - A damaged file is refused at open when its indexes do not lie within it; a damaged record
//   is looked up as nothing found. Nothing is ever read past the file or written past the
//   caller's buffer.
#pragma once

#include <cstdint>

namespace vellum {

struct LexiconHandle;  // opaque

// Opens the lexicon; null when the file is missing or its header and indexes do not fit it.
LexiconHandle* initLexicon(const char* fileName);

// The definition of Strong's number `number` in the Hebrew table (hebrew non-zero) or the Greek
// one, with carriage return and line feed between its lines. Numbers run from 1 to the table's
// count. The decoded text is cut at size - 1 bytes before its line ends are widened, and the
// widening stays within size - 1 bytes (a line end that no longer fits ends the text).
char* lookupLexicon(char* out, std::uint16_t* length, std::uint16_t size, std::uint16_t number,
                    int hebrew, LexiconHandle* lexicon);

// Releases the stream use and the handle; a null handle does nothing.
void deinitLexicon(LexiconHandle* lexicon);

}  // namespace vellum
