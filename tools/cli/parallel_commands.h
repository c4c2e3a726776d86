// "show --parallel" of vellum-cli: one verse, or each verse of a chapter, in several
// translations.
//
// For every verse, one line per translation in the order given: the reference in that
// translation's own book names, a blank, its display name in parentheses, a blank and the
// verse's text ("John 3:16 (King James Version) For God so loved..."). A translation without
// the verse prints "(not in this translation)" as its text.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vellum {

// files: bare module file names (at least two), opened along the data path. The reference is
// read with the first module that holds it. Status 0 done, 1 the output could not be written,
// 2 a usage error, a module that cannot be opened or a reference none of them holds.
int runShowParallel(const std::vector<std::string>& files, const std::string& referenceText,
                    bool chapter, bool strongs, std::ostream& out, std::ostream& err);

}  // namespace vellum
