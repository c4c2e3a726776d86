// vellum-cli's commands on the reference stores:
//
//   vellum-cli lookup strongs hebrew|greek NUMBER
//   vellum-cli [-b FILE] notes get REFERENCE
//   vellum-cli [-b FILE] notes set REFERENCE TEXT
//   vellum-cli [-b FILE] notes delete REFERENCE
//   vellum-cli [-b FILE] notes chapter REFERENCE
//   vellum-cli [-b FILE] notes search [--case] PHRASE
//   vellum-cli [-b FILE] notes import FILE
//   vellum-cli topics list | rename OLD NEW | delete NAME
//   vellum-cli [-b FILE] topics show NAME | add NAME [REFERENCE...] | remove NAME REFERENCE...
//
// Each takes the arguments after its command words; the caller has set the data path. A
// reference may come as one argument or several ("John" "3:16"); for set, the shortest leading
// run of arguments that parses is the reference and the rest, joined by blanks, the text.
// Exit status: 0 done; 1 nothing found (no note, no entry, no match, no topic), a change refused
// ("kjv.vn is being changed by another program; try again.", a topic name in use) or, for
// import, entries reported and skipped; 2 a usage error, "%s is not a valid reference", or a
// module, store or lexicon that cannot be opened or written (each with a message on err).
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
int runNotes(const std::vector<std::string>& args, const std::string& bibleFile, std::ostream& out,
             std::ostream& err);

// The topical index "topics.dic" along the data path, with the topic dialogs' rules. list
// prints the names; show a topic's references, one a line in verse order (one the module lacks
// as "(not in this translation) book B, C:V"); add puts each REFERENCE (one argument each) into
// the topic, creating it when absent, and prints "%s has been added to %s" for each new one
// (with none it creates an empty topic and refuses a name in use: "There is already a topic
// named %s"); remove takes them out; rename refuses a new name that another topic has; delete
// asks nothing. Names have 1 to 39 bytes, not blank. Every change reads and writes the topic
// under one lock of the file, so changes made meanwhile by other programs are never lost.
int runTopics(const std::vector<std::string>& args, const std::string& bibleFile, std::ostream& out,
              std::ostream& err);

}  // namespace vellum::cli
