// "vellum-cli lookup": reading dictionary stores (engine/stores/dict.h) from the command line.
//
//   lookup dict STORE WORD...   the article for WORD, found as the reader's dictionary window
//                               finds it (fuzzy_find_string_item: "Abraham's" finds Abraham);
//                               prints the form that matched on one line, then the text
//   lookup list STORE           every name of the store, sorted ignoring case, one a line
//
// STORE is a bare file name looked for along the data path, which the caller has set. Several
// WORD arguments are joined by single spaces. Texts are printed with line feeds.
//
// Exit status: 0 found (or listed), 1 not found, 2 a usage error or a store that cannot be
// opened (each with a message on the error stream).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vellum::cli {

// Runs "vellum-cli lookup" with args, the arguments after "lookup".
int runLookupDict(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vellum::cli

using vellum::cli::runLookupDict;
