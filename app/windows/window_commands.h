// Commands of the Bible window whose dialogs live in files of their own, and the dialogs the
// MDI client opens for its commands. Each family answers only for its own commands: the state
// call returns false for a command that is not its own, and the run call likewise, so the
// window asks the families in turn. What a command needs of the program it takes from the
// window's workbench.
//
//   search_commands.cpp      300 search, 306 wildcard, 307 phonetic, 401-405 topics (window);
//                            the specific books of 310 (client)
//   reference_commands.cpp   308 Strong's look-up, 501-504 dictionary, 601-603 notes (window);
//                            the commentary of 321 (client); a double-clicked word
//   copy_print_commands.cpp  24323 copy, 202 append, 24337 print, 108/109 fonts (window)
#pragma once

#include <string>

#include "app/commands.h"
#include "app/windows/search_record.h"

class QWidget;

namespace vellum::ui {

class TPassage;

bool searchCommandState(TPassage& passage, int id, CommandState& state);
bool runSearchCommand(TPassage& passage, int id);
// The Specific Books dialog on the flags (the books of `module`, which may be null); true when
// the user chose books with OK.
bool chooseSpecificBooks(QWidget* owner, BookFlags& flags, BibleHandle* module);

bool referenceCommandState(TPassage& passage, int id, CommandState& state);
bool runReferenceCommand(TPassage& passage, int id);
// The commentary dialog at the window's reference, modal; the keys go back to the window.
void runCommentary(TPassage& passage);
// A double click on a word of the Bible window (the word as the text view reports it).
void onPassageDoubleClick(TPassage& passage, const std::string& word);

bool copyPrintCommandState(TPassage& passage, int id, CommandState& state);
bool runCopyPrintCommand(TPassage& passage, int id);

}  // namespace vellum::ui
