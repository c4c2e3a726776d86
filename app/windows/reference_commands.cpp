#include "app/windows/window_commands.h"

namespace vellum::ui {

// The dictionary, commentary and lexicon windows and the note dialogs are not part of the
// program yet: their commands are held here and disabled.
namespace {
bool isReferenceCommand(int id) {
  return id == CmStrongsLookup || (id >= CmDictionary && id <= CmDeleteWord) ||
         (id >= CmAddNote && id <= CmDeleteNote);
}
}  // namespace

bool referenceCommandState(TPassage&, int id, CommandState& state) {
  if (!isReferenceCommand(id)) return false;
  state.enabled = false;
  return true;
}
bool runReferenceCommand(TPassage&, int id) { return isReferenceCommand(id); }
bool clientReferenceCommandState(TMyMDIClient&, int id, CommandState& state) {
  if (id != CmCommentary) return false;
  state.enabled = false;
  return true;
}
bool runClientReferenceCommand(TMyMDIClient&, int id) { return id == CmCommentary; }
void onPassageDoubleClick(TPassage&, const std::string&) {}

}  // namespace vellum::ui
