#include "app/windows/window_commands.h"

namespace vellum::ui {

// The search dialog, the word-list dialogs, the book sets and the topic dialogs are not part of
// the program yet: their commands are held here and disabled.
bool searchCommandState(TPassage&, int id, CommandState& state) {
  const bool mine = id == CmSearch || id == CmWildCard || id == CmPhonetic ||
                    (id >= CmAddTopic && id <= CmDeleteVerse);
  if (mine) state.enabled = false;
  return mine;
}
bool runSearchCommand(TPassage&, int id) {
  return id == CmSearch || id == CmWildCard || id == CmPhonetic ||
         (id >= CmAddTopic && id <= CmDeleteVerse);
}
bool clientSearchCommandState(TMyMDIClient&, int id, CommandState& state) {
  if (id < CmAllBooks || id > CmGeneralEpistles) return false;
  state.enabled = false;
  state.checked = id == CmAllBooks;
  return true;
}
bool runClientSearchCommand(TMyMDIClient&, int id) {
  return id >= CmAllBooks && id <= CmGeneralEpistles;
}
void loadBookSet(TMyMDIClient&) {}

}  // namespace vellum::ui
