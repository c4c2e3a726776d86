// vellum-cli's commands on the reference stores:
//
//   vellum-cli lookup strongs hebrew|greek NUMBER
//   vellum-cli [-b FILE] notes get REFERENCE
//   vellum-cli [-b FILE] notes set REFERENCE TEXT
//   vellum-cli [-b FILE] notes delete REFERENCE
//   vellum-cli [-b FILE] notes chapter REFERENCE
//   vellum-cli [-b FILE] notes search [--case] PHRASE
//   vellum-cli [-b FILE] notes import FILE
//
// Each takes the arguments after its command words; the caller has set the data path. A
// reference may come as one argument or several ("John" "3:16"); for set, the shortest leading
// run of arguments that parses is the reference and the rest, joined by blanks, the text.
// Exit status: 0 done; 1 nothing found (no note, no entry, no match) or, for import, entries
// reported and skipped; 2 a usage error, "%s is not a valid reference", or a module, store or
// lexicon that cannot be opened or written (each with a message on err).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vellum::cli {

// Prints the definition of a Strong's number from "lexicon.lex", lines ended by line feeds.
// NUMBER is decimal, optionally after the table's letter ("H7225", "G26").
int runLookupStrongs(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The verse notes of the module bibleFile (a bare file name along the data path). get prints
// the note; chapter the chapter's notes ("3. text" per entry); search the references of the
// verses whose note holds the phrase, ignoring case unless --case; import reports each
// skipped entry with its line and the count stored.
int runNotes(const std::vector<std::string>& args, const std::string& bibleFile,
             std::ostream& out, std::ostream& err);

}  // namespace vellum::cli
