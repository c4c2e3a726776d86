// Reading verse-per-line text (VPL), the importer's input.
//
// One verse a line: BOOK<TAB>CHAPTER<TAB>VERSE<TAB>TEXT, UTF-8. The reader checks the syntax
// of each line only (four fields, a book name, chapter and verse as decimal numbers from 1);
// the order of books, chapters and verses and the module's limits are checked by the
// writer (module_writer.h), which names the offending line through VerseLine::line.
//
// Accepted leniently, because real exports carry them: a UTF-8 byte-order mark before the
// first line, a carriage return before each line feed, and blank lines (skipped, but counted,
// so line numbers stay those an editor shows). The text field is kept byte for byte,
// including any tabs after the third.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace vellum::import {

struct VerseLine {
  std::string book;
  int chapter = 0;
  int verse = 0;
  std::string text;
  int line = 0;  // 1-based line of the input, for error messages
};

// Appends the verses of the stream to lines. On a syntax error returns false and sets error to
// a message that starts with "line N: " and says what is wrong; lines is then incomplete.
bool readVpl(std::istream& in, std::vector<VerseLine>& lines, std::string& error);

}  // namespace vellum::import
