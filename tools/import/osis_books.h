// The 66 books of the Protestant canon in the King James Version's order: their OSIS names
// (as OSIS references and SWORD's versification tables spell them) and the names the module
// keeps, in the form the reference parser looks for ("1 Samuel", "Song of Solomon",
// "Revelation").
//
// The position in this table is the 0-based book index that the chapter keys of the
// commentary store ("%d:%d") and the topic store's references use: Genesis 0 ... Revelation 65.
#pragma once

#include <array>
#include <string_view>

namespace vellum::import {

struct OsisBook {
  std::string_view osisName;     // "1Sam"
  std::string_view displayName;  // "1 Samuel"
};

inline constexpr int kCanonBooks = 66;

// The table, Genesis first.
const std::array<OsisBook, kCanonBooks>& canonBooks();

// The 0-based index of the book with this OSIS name (exact, as OSIS spells it), or -1 for a
// book outside the 66 (Tobit, Sirach, ...) and for unknown names.
int canonBookIndex(std::string_view osisName);

}  // namespace vellum::import
