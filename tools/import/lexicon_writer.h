// The lexicon builder: reads the plain-text lexicon sources and writes "lexicon.lex".
//
// Source text (one file per table, UTF-8):
// - An entry starts with a line holding only its Strong's number, optionally after the table's
//   letter: "H7225" or "7225" in the Hebrew source, "G26" or "26" in the Greek one (either case,
//   leading zeros allowed). The lines up to the next number line are its definition.
// - Blank lines before the first entry and around a definition are dropped; the definition's
//   lines are joined with line feeds, carriage returns before line feeds dropped, and otherwise
//   kept byte for byte. A definition line that holds only a number must be indented, or it
//   starts a new entry.
// - Numbers run from 1 to 65535 and must ascend; a repeated or smaller number, a number of the
//   other table, and text before the first number are refused, naming the line. Numbers the
//   source skips get an empty definition.
// - A definition holds at most 32765 bytes, the size of the program's text buffers.
// - A NUL byte anywhere is refused, naming the line: the program's texts end at one.
//
// The file (engine/stores/lexicon_format.h) is laid out as header | Hebrew index | Greek index
// | one empty record shared by every missing number | the definitions in number order. It is
// written to a temporary file beside the target, synced, then renamed over the target; on any
// failure the temporary is removed and an existing target is left untouched.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace vellum::import {

struct LexiconEntry {
  std::uint16_t number = 0;
  std::string definition;
  int line = 0;  // 1-based line of the number, for messages
};

inline constexpr std::size_t kMaxDefinitionLength = 32765;

// Appends the entries of a source for the table named by letter ('H' or 'G'). On a refused
// input returns false with error "line N: ..."; entries is then incomplete.
bool readLexiconSource(std::istream& in, char letter, std::vector<LexiconEntry>& entries,
                       std::string& error);

// Writes both tables to outPath; the entries of each ascend. False with error on failure, and
// then no file is left at outPath other than one already there.
bool writeLexicon(const std::vector<LexiconEntry>& hebrew, const std::vector<LexiconEntry>& greek,
                  const std::string& outPath, std::string& error);

}  // namespace vellum::import
