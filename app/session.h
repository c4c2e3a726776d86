// The reading session: the Bible windows open at exit, remembered in "VLMR20.INI" and opened
// again at the next start.
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
// names of its translations, in column order, separated by "|":
//
//   P,book,chapter,verse,anchor,end,top,strongs,x,y,width,height,state,kjv.bib|web.bib
//
// "LINKED" is "TRUE" while the windows are linked (Window > Link Windows); it is written when
// it changes too, so it holds even without a window to remember.
//
// The count is written last: a session cut short while it is written reads as none.
#pragma once

#include <QRect>
#include <optional>
#include <string>
#include <vector>

#include "app/windows/passage.h"

namespace vellum::ui {

class TMyMDIClient;

// One remembered window.
struct SessionWindow {
  std::string file;  // a parallel view's files joined by "|"
  bool parallel = false;
  TPassage::Place place;
  bool strongs = false;
  QRect geometry;
  int state = 0;  // 0 normal, 1 maximised, 2 minimised
};

// A window's value, and back; nullopt for a value that is not one (a damaged record).
std::string formatSessionWindow(const SessionWindow& window);
std::optional<SessionWindow> parseSessionWindow(const std::string& text);

// The link setting of the session (false when none is remembered), and writing it.
bool rememberedLinkedWindows();
void rememberLinkedWindows(bool linked);

// Writes the client's Bible windows as the session (none: the section goes).
void saveSession(const TMyMDIClient& client);
// Opens the remembered windows. A record that does not read, or whose translation is gone or
// does not hold its passage, is skipped. Returns whether any window was opened.
bool restoreSession(TMyMDIClient& client);

}  // namespace vellum::ui
