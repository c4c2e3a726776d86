// Commands of the Bible window and of the MDI client whose dialogs live in files of their own.
// Each family answers only for its own commands: the state call returns false for a command
// that is not its own, and the run call likewise, so the window asks the families in turn.
//
//   search_commands.cpp      300 search, 306 wildcard, 307 phonetic, 401-405 topics (window);
//                            309-320 book sets (client); the book set loaded at start-up
//   reference_commands.cpp   308 Strong's look-up, 501-504 dictionary, 601-603 notes (window);
//                            321 commentary (client); a double-clicked word
//   copy_print_commands.cpp  24323 copy, 202 append, 24337 print, 108/109 fonts (window)
#pragma once

#include <string>

#include "app/commands.h"

namespace vellum::ui {

class TPassage;
class TMyMDIClient;

bool searchCommandState(TPassage& passage, int id, CommandState& state);
bool runSearchCommand(TPassage& passage, int id);
bool clientSearchCommandState(TMyMDIClient& client, int id, CommandState& state);
bool runClientSearchCommand(TMyMDIClient& client, int id);
// Called once the client stands: the book set saved in the options store.
void loadBookSet(TMyMDIClient& client);

bool referenceCommandState(TPassage& passage, int id, CommandState& state);
bool runReferenceCommand(TPassage& passage, int id);
bool clientReferenceCommandState(TMyMDIClient& client, int id, CommandState& state);
bool runClientReferenceCommand(TMyMDIClient& client, int id);
// A double click on a word of the Bible window (the word as the text view reports it).
void onPassageDoubleClick(TPassage& passage, const std::string& word);

bool copyPrintCommandState(TPassage& passage, int id, CommandState& state);
bool runCopyPrintCommand(TPassage& passage, int id);

}  // namespace vellum::ui
