// Module discovery: the Bible modules installed along a list of directories.
#pragma once

#include <cstdint>

#include "engine/bible/bible.h"

namespace vellum {

// Fills out[0 .. maximum) with one record per distinct translation found in the directories
// (separated by ';', searched in order; empty items are skipped) and sets *count. A module is
// a file whose name matches "*.[Bb][Ii][Bb]" and whose first header byte is 0x7F; it is read
// by its bare name through the data path (_fopen), exactly as it will later be opened. A
// module whose display name equals, ignoring case, one already listed is passed over (the
// first found wins). Within a directory, names are taken in byte order. A file name too long
// for bibleName::path is passed over rather than cut, since a cut name would open another file.
void getBibleNames(bibleName* out, std::uint16_t* count, const char* directories,
                   std::uint16_t maximum);

}  // namespace vellum
