// The Bible window's reference-work commands: 308 Strong's look-up, 501 the dictionary, 502-504
// the word dialogs, 601-603 the note dialogs; the commentary the client's 321 opens; and the
// double click on a word. Each command is enabled only while the store it needs is open (and, for
// changes, writable), so a missing "lexicon.lex", "eastons.dic" or "mhc.dic" only greys its
// commands.
#include <cstdlib>
#include <string>

#include "app/window_utils.h"
#include "app/windows/definition_dlg.h"
#include "app/windows/dictionary_dlg.h"
#include "app/windows/notes_dlg.h"
#include "app/windows/passage.h"
#include "app/windows/window_commands.h"
#include "engine/stores/dict.h"
#include "engine/stores/notes.h"
#include "support/strings.h"

namespace vellum::ui {
namespace {

// How much of a hovered word or a selection is read: 40 characters and the terminator.
constexpr std::size_t kWordCapacity = 41;

// The stores come from the window's workbench.
DictHandle* eastons(const TPassage& passage) { return passage.workbench().eastons(); }
LexiconHandle* lexicon(const TPassage& passage) { return passage.workbench().lexicon(); }

// The note dialogs belong to windows of the running program, like the other dialogs of the
// window; a window on its own offers none.
bool notesWritable(TPassage& passage) {
  return passage.workbench().hasMainWindow() && passage.notes() != nullptr &&
         VNReadOnly(passage.notes()) == 0;
}

// A text that reads as a positive decimal number (after trimming); 0 otherwise.
long positiveNumber(const std::string& text) {
  if (text.empty() || !isDigit(text.front())) return 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return value > 0 ? value : 0;
}

std::string trimmed(std::string text) {
  trim(text);
  return text;
}

// The word the dictionary commands start from: the selection when it is one word, else the
// word under the mouse.
std::string wordAtHand(TPassage& passage) {
  std::string selected = trimmed(passage.selectedText(kWordCapacity));
  if (!selected.empty() && selected.find_first_of(" \n\r\t") == std::string::npos) return selected;
  return trimmed(passage.hoverWord(kWordCapacity));
}

// A verse number: the chapter's first word, or a word after a line end. It is no Strong's
// number, though it reads as one.
bool hoveringVerseNumber(TPassage& passage) {
  const int index = passage.hoverIndex();
  if (index < 0 || index >= passage.wordCount()) return false;
  if (index == 0) return true;
  const std::string before = passage.wordText(index - 1);
  return !before.empty() && before.back() == '\n';
}

void runStrongsLookup(TPassage& passage) {
  const bool verseNumber = hoveringVerseNumber(passage);
  std::string hovered = trimmed(passage.hoverWord(kWordCapacity));
  if (!verseNumber && positiveNumber(hovered) > 0) {
    onPassageDoubleClick(passage, hovered);
    return;
  }
  std::string selected = trimmed(passage.selectedText(kWordCapacity));
  if (selected.find(' ') == std::string::npos && positiveNumber(selected) > 0) {
    onPassageDoubleClick(passage, selected);
    return;
  }
  BibleHandle* module = passage.module();
  if (!verseNumber && module != nullptr && hasStrongs(module) != 0 && getStrongs(module) == 0) {
    const int number = passage.strongsAtWord(passage.hoverIndex(), passage.currentReference());
    if (number != -1) {
      onPassageDoubleClick(passage, std::to_string(number));
      return;
    }
  }
  const bool oldTestament =
      module != nullptr && isOldTestament(module, passage.currentReference()) == 1;
  TStrongsDlg dialog(&passage, std::string(), oldTestament);
  dialog.exec();
}

void runNoteCommand(TPassage& passage, int id) {
  const int resource = id == CmAddNote    ? TNotesDlg::kInsertResourceId
                       : id == CmEditNote ? TNotesDlg::kEditResourceId
                                          : TNotesDlg::kDeleteResourceId;
  Reference picked;
  bool saved = false;
  const bool accepted = runNotesDialog(&passage, resource, passage.module(), passage.notes(),
                                       passage.currentReference(), &picked, &saved);
  if (accepted && id == CmDeleteNote && !VNDelNoteByRef(picked, passage.notes()) &&
      VNBusy(passage.notes()))
    showChangeRefused(&passage, VNFileName(passage.notes()), QStringLiteral("Delete Note"));
  // Notes saved by moving the picker count even when the dialog was cancelled.
  if (accepted || saved) passage.showPassage(passage.currentReference());
}

}  // namespace

bool referenceCommandState(TPassage& passage, int id, CommandState& state) {
  switch (id) {
    case CmStrongsLookup:
      state.enabled = lexicon(passage) != nullptr;
      return true;
    case CmDictionary:
      state.enabled = eastons(passage) != nullptr && passage.module() != nullptr;
      return true;
    case CmAddWord:
    case CmRenameWord:
    case CmDeleteWord:
      state.enabled = passage.workbench().canChangeEastons();
      return true;
    case CmAddNote:
    case CmEditNote:
    case CmDeleteNote:
      state.enabled = passage.module() != nullptr && notesWritable(passage);
      return true;
    default:
      return false;
  }
}

bool runReferenceCommand(TPassage& passage, int id) {
  CommandState state;
  if (!referenceCommandState(passage, id, state)) return false;
  // Commands arrive here only when enabled; a posted one may find its store gone.
  if (!state.enabled) return true;
  switch (id) {
    case CmStrongsLookup:
      runStrongsLookup(passage);
      break;
    case CmDictionary: {
      TEastonsDlg dialog(&passage, eastons(passage), passage.module(), wordAtHand(passage));
      dialog.exec();
      break;
    }
    case CmAddWord:
    case CmRenameWord:
    case CmDeleteWord: {
      // A shared Easton's is copied into the user's data directory before it changes.
      DictHandle* store = passage.workbench().eastonsForChange();
      if (!store) break;
      const std::string word = wordAtHand(passage);
      if (id == CmAddWord) runInsertWord(&passage, store, word);
      if (id == CmRenameWord) runRenameWord(&passage, store, word);
      if (id == CmDeleteWord) runDeleteWord(&passage, store, word);
      break;
    }
    default:
      runNoteCommand(passage, id);
      break;
  }
  passage.setFocus();
  return true;
}

void runCommentary(TPassage& passage) {
  DictHandle* commentary = passage.workbench().commentary();
  if (commentary == nullptr || passage.module() == nullptr) return;
  {
    TMHCDlg dialog(&passage, commentary, passage.module(), passage.currentReference());
    dialog.exec();
  }
  // Back to the Bible window the look-up came from: the client itself passes the focus to
  // none of its windows, and the keys and the window's commands would go nowhere.
  passage.setFocus();
}

void onPassageDoubleClick(TPassage& passage, const std::string& word) {
  if (word.empty()) return;
  BibleHandle* module = passage.module();
  if (isDigit(word.front()) && lexicon(passage) != nullptr) {
    const bool oldTestament =
        module != nullptr && isOldTestament(module, passage.currentReference()) == 1;
    TStrongsDlg dialog(&passage, word, oldTestament);
    dialog.exec();
  } else if (DictHandle* dictionary = eastons(passage)) {
    TEastonsDlg dialog(&passage, dictionary, module, word);
    dialog.exec();
  }
  passage.setFocus();
}

}  // namespace vellum::ui
