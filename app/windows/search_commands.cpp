// The Bible window's search and topic commands and the client's Specific Books dialog.
#include <QDialog>

#include "app/windows/passage.h"
#include "app/windows/search_dlg.h"
#include "app/windows/specific_books_dlg.h"
#include "app/windows/topic_dlg.h"
#include "app/windows/window_commands.h"
#include "app/windows/word_list_dlg.h"
#include "engine/stores/dict.h"

namespace vellum::ui {
namespace {

constexpr std::size_t kInitialTextCapacity = 40;

bool isSearchWindowCommand(int id) {
  return id == CmSearch || id == CmWildCard || id == CmPhonetic;
}

bool isTopicCommand(int id) { return id >= CmAddTopic && id <= CmDeleteVerse; }

// Searches end in the verses-found box of the program's main window.
bool canSearch(const TPassage& passage) {
  return passage.module() && passage.workbench().hasMainWindow();
}

void runSearchDialog(TPassage& passage, int id) {
  Workbench* bench = &passage.workbench();
  switch (id) {
    case CmSearch: {
      const BookSet* set = findBookSet(bench->bookSetCommand());
      TSearchDlg dialog(&passage, bench, passage.module(), bench->topics(), bench->options(),
                        passage.currentReference(), passage.selectedText(kInitialTextCapacity),
                        QString::fromLatin1(set ? set->name : "All Books"));
      dialog.exec();
      break;
    }
    case CmWildCard: {
      TWordListDlg dialog(&passage, bench, passage.module(), QString());
      dialog.exec();
      break;
    }
    case CmPhonetic: {
      TPhoneticListDlg dialog(&passage, bench, passage.module(), QString());
      dialog.exec();
      break;
    }
    default:
      break;
  }
}

}  // namespace

bool searchCommandState(TPassage& passage, int id, CommandState& state) {
  if (isSearchWindowCommand(id)) {
    state.enabled = canSearch(passage);
    return true;
  }
  if (isTopicCommand(id)) {
    state.enabled = passage.module() && passage.workbench().canChangeTopics();
    return true;
  }
  return false;
}

bool runSearchCommand(TPassage& passage, int id) {
  if (!isSearchWindowCommand(id) && !isTopicCommand(id)) return false;
  if (isTopicCommand(id)) {
    DictHandle* topics = passage.workbench().topicsForChange();
    if (!topics || !passage.module()) return true;
    runTopicCommand(&passage, id, topics, passage.module(), passage.currentReference());
  } else {
    if (!canSearch(passage)) return true;
    runSearchDialog(passage, id);
  }
  // The dialog may have closed without a result that moves the focus: give it back to the
  // window it was opened from, as the window manager would.
  if (passage.isVisible()) {
    passage.window()->activateWindow();
    passage.setFocus();
  }
  return true;
}

bool chooseSpecificBooks(QWidget* owner, BookFlags& flags, BibleHandle* module) {
  TSearchSpecificBooksDlg dialog(owner, flags, module);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace vellum::ui
