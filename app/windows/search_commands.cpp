// The Bible window's search and topic commands and the client's book sets.
#include <QDialog>

#include "app/frame.h"
#include "app/main_app.h"
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

bool isBookSetCommand(int id) { return id >= CmAllBooks && id <= CmGeneralEpistles; }

// The program's frame when the window belongs to it; searches need it for their results.
TMyMDIFrame* frameFor(const TPassage& passage) {
  TMainApp* app = TMainApp::instance();
  if (!app || !app->frame() || !passage.module()) return nullptr;
  return app->frame();
}

bool topicsCanChange() {
  TMainApp* app = TMainApp::instance();
  return app && app->canChangeTopics();
}

void selectBookSet(TMyMDIClient& client, int command, const BookFlags& flags) {
  client.setBookSet(command, flags);
  if (TMainApp* app = TMainApp::instance()) storeBookSet(app->options(), command, flags);
}

void runSearchDialog(TPassage& passage, TMyMDIFrame* frame, int id) {
  TMainApp* app = TMainApp::instance();
  switch (id) {
    case CmSearch: {
      const BookSet* set = findBookSet(frame->client()->bookSetCommand());
      TSearchDlg dialog(&passage, frame, passage.module(), app->topics(), app->options(),
                        passage.currentReference(), passage.selectedText(kInitialTextCapacity),
                        QString::fromLatin1(set ? set->name : "All Books"));
      dialog.exec();
      break;
    }
    case CmWildCard: {
      TWordListDlg dialog(&passage, frame, passage.module(), QString());
      dialog.exec();
      break;
    }
    case CmPhonetic: {
      TPhoneticListDlg dialog(&passage, frame, passage.module(), QString());
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
    state.enabled = frameFor(passage) != nullptr;
    return true;
  }
  if (isTopicCommand(id)) {
    state.enabled = passage.module() && topicsCanChange();
    return true;
  }
  return false;
}

bool runSearchCommand(TPassage& passage, int id) {
  if (!isSearchWindowCommand(id) && !isTopicCommand(id)) return false;
  if (isTopicCommand(id)) {
    DictHandle* topics = TMainApp::instance()->topicsForChange();
    if (!topics || !passage.module()) return true;
    runTopicCommand(&passage, id, topics, passage.module(), passage.currentReference());
  } else {
    TMyMDIFrame* frame = frameFor(passage);
    if (!frame) return true;
    runSearchDialog(passage, frame, id);
  }
  // The dialog may have closed without a result that moves the focus: give it back to the
  // window it was opened from, as the window manager would.
  if (passage.isVisible()) {
    passage.window()->activateWindow();
    passage.setFocus();
  }
  return true;
}

bool clientSearchCommandState(TMyMDIClient& client, int id, CommandState& state) {
  if (!isBookSetCommand(id)) return false;
  state.enabled = client.activePassage() != nullptr;
  state.checked = id == client.bookSetCommand();
  return true;
}

bool runClientSearchCommand(TMyMDIClient& client, int id) {
  if (!isBookSetCommand(id)) return false;
  if (id != CmSpecificBooks) {
    selectBookSet(client, id, bookSetFlags(id));
    return true;
  }
  TPassage* passage = client.activePassage();
  BookFlags flags = client.bookFlags();
  TSearchSpecificBooksDlg dialog(passage ? static_cast<QWidget*>(passage) : &client, flags,
                                 passage ? passage->module() : nullptr);
  if (dialog.exec() == QDialog::Accepted) selectBookSet(client, CmSpecificBooks, flags);
  return true;
}

void loadBookSet(TMyMDIClient& client) {
  TMainApp* app = TMainApp::instance();
  DictHandle* options = app ? app->options() : nullptr;
  if (std::optional<StoredBookSet> stored = loadStoredBookSet(options)) {
    client.setBookSet(stored->command, stored->flags);
    return;
  }
  // Absent or damaged: All Books, stored at once so the next start reads a sound pair.
  selectBookSet(client, CmAllBooks, bookSetFlags(CmAllBooks));
}

}  // namespace vellum::ui
