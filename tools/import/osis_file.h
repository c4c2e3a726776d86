// Reading a Bible from an OSIS XML file (`vellum-import bible --osis FILE.xml`).
//
// The file must be well-formed XML. Verses are `<verse osisID="Gen.1.1">` containers or
// `<verse sID="..." osisID="Gen.1.1"/>` ... `<verse eID="..."/>` milestones; a verse whose
// osisID names several verses ("Gen.1.1 Gen.1.2") keeps its text in the first and leaves the
// others empty. Each verse's text is rendered as osis_text.h describes. A canonical title
// that stands before its verse (outside any verse, as psalm titles often do) opens the next
// verse's text. Text outside verses is otherwise not Scripture and is left out.
//
// Books are named by the 66-book table (osis_books.h). A book outside it is refused unless
// canonOnly is set, which leaves such books out. Within a book, chapters and verses must
// ascend; a verse that does not follow the one before is refused, naming the file's line, and so
// is a verse inside a container verse.
// The lines of the VerseLines are the file's lines, for the module writer's messages.
#pragma once

#include <string>
#include <vector>

#include "tools/import/vpl.h"

namespace vellum::import {

struct OsisReadOptions {
  bool strongs = true;     // write Strong's numbers after their words
  bool canonOnly = false;  // leave out books outside the 66
};

// Appends the file's verses. False with error ("line N: ..." when a place in the file is at
// fault) when the file cannot be read, is not well-formed or is refused.
bool readOsisFile(const std::string& path, const OsisReadOptions& options,
                  std::vector<VerseLine>& verses, std::string& error);

}  // namespace vellum::import
