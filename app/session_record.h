// The remembered reading session in "VLMR20.INI": the records of the Bible windows open at
// exit, without Qt, so the fuzz targets read a hand-edited file with the code the reader uses.
//
// Section "SESSION": "WINDOWS" the number of windows, "ACTIVE" the 1-based number of the one
// that was active, and one key per window, "WINDOW1" up to "WINDOWn", in stacking order (the
// bottom window first). A window's value is twelve decimal fields and the module's bare file
// name, separated by commas:
//
//   book,chapter,verse,anchor,end,top,strongs,x,y,width,height,state,file
//
// book is the 0-based index into the module's book table; anchor and end the selected words
// (-1 for none); top the word at the top of the window; strongs 1 while Strong's numbers are
// shown; x, y, width and height the window's place in the client; state 0 normal,
// 1 maximised, 2 minimised. The file name comes last, so it may hold commas itself.
//
// A parallel view's value starts with "P," and goes on with the same twelve fields, its rows
// standing for the words (anchor, end and top are row numbers from 0), and the bare file
// names of its two to four translations, in column order, separated by "|":
//
//   P,book,chapter,verse,anchor,end,top,strongs,x,y,width,height,state,kjv.bib|web.bib
//
// The count is written last: a session cut short while it is written reads as none.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bible/bible.h"

namespace vellum::ui {

// More windows than anyone reads side by side; a larger count is a damaged file.
inline constexpr int kMaxSessionWindows = 64;
// The translations of a parallel view.
inline constexpr int kMinParallelColumns = 2;
inline constexpr int kMaxParallelColumns = 4;

// One remembered window.
struct SessionRecord {
  std::string file;  // a parallel view's files joined by "|"
  bool parallel = false;
  Reference reference{0, 1, 1};
  int selectionAnchor = -1;
  int selectionEnd = -1;
  int topWord = -1;
  bool strongs = false;
  int x = 0, y = 0, width = 0, height = 0;
  int state = 0;  // 0 normal, 1 maximised, 2 minimised

  bool operator==(const SessionRecord&) const = default;
};

// A window's value, and back; nullopt for a value that is not one (a damaged record).
std::string formatSessionRecord(const SessionRecord& record);
std::optional<SessionRecord> parseSessionRecord(std::string_view text);

// The session as read: the records that read, each with its 1-based number, and the number of
// the active one (0 for none).
struct StoredSession {
  struct Window {
    int number;
    SessionRecord record;
  };
  std::vector<Window> windows;
  int active = 0;
};
StoredSession readSession();
// Replaces the section with the windows (at most kMaxSessionWindows; none: the section goes);
// active is the 1-based number of the active one.
void writeSession(const std::vector<SessionRecord>& windows, int active);

}  // namespace vellum::ui
