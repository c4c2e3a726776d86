// Building a dictionary store (engine/stores/dict.h) from JSON or CSV.
//
//   vellum-import dict (--json FILE --key FIELD --value FIELD | --csv FILE) --title TITLE
//                      [--table-size N] [--compress] OUT.dic
//
// Sources, read as UTF-8 bytes (a leading byte-order mark is skipped):
// - JSON: an array of flat objects; each object gives one item, the string of field FIELD
//   (--key) as its name and the string of --value as its text. Strict syntax; \uXXXX escapes,
//   surrogate pairs included, become UTF-8.
// - CSV (RFC 4180): a header line, then two columns, name and text; fields may be quoted, with
//   doubled quotes inside, and quoted fields may span lines.
//
// A row that cannot become an item (a missing or non-string field, a blank name, a name with
// a line feed, a NUL, a text of more than 65534 bytes, a wrong number of columns) is reported
// on the error stream by its line and skipped. A name repeated (ignoring case) replaces the
// earlier row's item and is reported too. Line ends in texts are stored as line feeds.
//
// The table size defaults to the smallest prime at least half the item count (below 16384).
// The store is built under a temporary name beside OUT, then renamed over it, so a failed
// build leaves no partial store and an existing OUT untouched.
//
// Exit status: 0 built (rows may have been skipped, each reported), 1 the source could not
// be read or parsed or the store not written, 2 the command line was wrong.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vellum::import {

// Runs "vellum-import dict" with args, the arguments after "dict". Messages go to err, a
// summary line to out. The data path is restored before returning.
int runDictImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vellum::import

using vellum::import::runDictImport;
