// The importer's commands that read SWORD modules through the SWORD library. Only
// vellum-import links it; everything that turns markup into text lives in osis_text.h, which
// does not need it.
//
//   vellum-import bible --sword MODULE [--name NAME] [--books 66] [--no-strongs] OUT.bib
//   vellum-import check --sword MODULE [--books 66] FILE.bib
//   vellum-import commentary --sword MODULE OUT.dic
//   vellum-import topics --sword MODULE OUT.dic
//   vellum-import lexicon --sword-hebrew MODULE --sword-greek MODULE OUT.lex
//
// MODULE is a module's name as installed ("engKJV2006eb") or its abbreviation ("KJV"), found
// through the library's configuration (SWORD_PATH, ~/.sword, /etc/sword.conf).
//
// Each command takes the arguments after its command word. Exit status: 0 done, 1 the source
// was refused or the output could not be written (no output file is left then), 2 the command
// line was wrong or the module is not installed.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vellum::import {

// A Bible module from a SWORD Bible: every verse of the module's versification in order,
// rendered as osis_text.h describes, books named as the reference parser expects. The display
// name defaults to the module's description. Books beyond the 66 are refused unless
// --books 66 leaves them out.
int runSwordBibleImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Compares every verse of FILE.bib, as the engine reads it with Strong's numbers hidden and
// the brackets of added words removed, with the module's own plain rendering (SWORD's filters:
// Strong's numbers and notes off, canonical titles taken from the verse's headings). Lists
// the verses whose words differ; exit 1 when any does.
int runSwordCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The commentary store: one compressed string item per chapter under "%d:%d" (chapter, then
// the 0-based book index Genesis 0 ... Revelation 65), holding the chapter's entries in order
// as plain text, each verse range's comment once, separated by blank lines.
int runSwordCommentaryImport(const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err);

// The topic store: one binary item per topic, its verses (from the entries' osisRef
// references, ranges and whole chapters expanded) as sorted, distinct 3-byte references
// (0-based book, chapter, verse). Names longer than 39 characters are cut, and each cut is
// reported.
int runSwordTopicsImport(const std::vector<std::string>& args, std::ostream& out,
                         std::ostream& err);

// The lexicon from two SWORD Strong's dictionaries (tools/import/lexicon_writer.h writes it).
int runSwordLexiconImport(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err);

}  // namespace vellum::import
