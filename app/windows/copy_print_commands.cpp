#include "app/windows/window_commands.h"

namespace vellum::ui {

// Copy, append, print and the font dialogs are not part of the program yet: their commands are
// held here and disabled.
namespace {
bool isCopyPrintCommand(int id) {
  return id == CmEditCopy || id == CmAppend || id == CmFilePrint || id == CmPrinterFont ||
         id == CmWindowFont;
}
}  // namespace

bool copyPrintCommandState(TPassage&, int id, CommandState& state) {
  if (!isCopyPrintCommand(id)) return false;
  state.enabled = false;
  return true;
}
bool runCopyPrintCommand(TPassage&, int id) { return isCopyPrintCommand(id); }

}  // namespace vellum::ui
