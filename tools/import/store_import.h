// The importer's commands for the reference stores:
//
//   vellum-import lexicon --hebrew SRC --greek SRC OUT.lex
//   vellum-import notes --bible FILE.bib NOTES.txt
//
// Each takes the arguments after its command word and writes messages to out and err. Exit
// status: 0 done, 1 the input was refused or not all of it could be stored (each problem named
// on err with its file and line), 2 the command line was wrong or a file could not be opened.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vellum::import {

// Builds the lexicon from the two plain-text sources (tools/import/lexicon_writer.h has their
// format). Nothing is left at OUT.lex when a source is refused.
int runLexiconImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Imports a notes text file into the verse notes store of the module FILE.bib, which is made
// beside the module when it has none (engine/stores/notes.h has the text format). Entries whose
// reference does not parse are reported with their line and skipped.
int runNotesImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vellum::import
