// The search commands of vellum-cli: "search", "words" and "list".
//
// Each takes the arguments after its command name and writes its results to out and its
// messages to err. Standard output carries only results, one a line, so other tools can read
// it: the references of the verses found, the words of a word list, or the modules found.
// Finding nothing is a success (exit status 0); a usage error or a module that cannot be
// opened is status 2.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vellum {

// search KIND TEXT, KIND one of word, csword, phrase, csphrase, expr, wildcard, cswildcard,
// soundex; bibleFile is the module's bare file name, opened along the data path.
int runSearch(const std::vector<std::string>& args, const std::string& bibleFile, std::ostream& out,
              std::ostream& err);
// words wildcard|cswildcard|soundex PATTERN
int runWords(const std::vector<std::string>& args, const std::string& bibleFile, std::ostream& out,
             std::ostream& err);
// list: one line per module along the data path: bare file name, a tab, display name.
int runList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vellum
