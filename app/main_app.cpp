#include "app/main_app.h"

#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/config.h"
#include "app/frame.h"
#include "app/reference_dlg.h"
#include "app/session.h"
#include "app/window_utils.h"
#include "app/windows/parallel.h"
#include "app/windows/passage.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "support/files.h"
#include "support/mshell/mshell.h"

namespace vellum::ui {
namespace {

// The wait cursor for the life of the object, when there is a screen to show it on.
class WaitCursor {
 public:
  WaitCursor() : shown_(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    if (shown_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~WaitCursor() {
    if (shown_) QApplication::restoreOverrideCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool shown_;
};

}  // namespace

TMainApp::TMainApp(int argc, char** argv) {
  WaitCursor wait;
  namespace fs = std::filesystem;
  for (int i = 0; i < argc; ++i) arguments_.emplace_back(argv[i] ? argv[i] : "");

  // The data directories on the command line are taken relative to the directory the program
  // was started in, before the program's own directory becomes the current one.
  std::error_code error;
  for (std::size_t i = 1; i < arguments_.size(); ++i) {
    if (arguments_[i].empty()) continue;
    fs::path absolute = fs::absolute(arguments_[i], error);
    if (!error) arguments_[i] = absolute.lexically_normal().string();
  }

  // The program's directory becomes the current one: the program may keep its data beside it.
  // Started by its bare name (from a menu, through PATH), it is where the program's file is.
  if (!arguments_.empty()) {
    const std::string& self = arguments_[0];
    std::size_t cut = self.find_last_of("/\\");
    std::string directory = cut == std::string::npos ? executableDirectory()
                            : cut == 0               ? "/"
                                                     : self.substr(0, cut);
    if (!directory.empty() && ::chdir(directory.c_str()) != 0) std::perror(directory.c_str());
  }

  char cdrom[kPathMax] = {};
  if (findCdromDataDrive(cdrom)) arguments_.push_back(std::string(cdrom) + "/version2");

  // After the program's own directory: the user's data directory, where new stores go, the
  // shared data sets and the installation's, then the arguments and the disc.
  std::string list = "./";
  for (const std::string& directory : setStandardDataDirectories(executableDirectory()))
    list += ';' + directory;
  for (std::size_t i = 1; i < arguments_.size(); ++i) list += ';' + arguments_[i];
  dataPath_ = ".;" + list;
  set_dpath(dataPath_.c_str());

  eastons_ = open_dict("eastons.dic");
  lexicon_ = initLexicon("lexicon.lex");
  hitchcock_ = open_dict("hitchck.dic");
  topics_ = open_dict("topics.dic");
  commentary_ = open_dict("mhc.dic");
  options_ = open_dict("options.dic");
  if (!options_) options_ = new_dict("options.dic", "Vellum Options", 241, 0);
  setApplicationHandler(this);
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
    QApplication::setWindowIcon(programIcon());
    keepFocusAcrossModalDialogs();
  }
}

TMainApp::~TMainApp() {
  // The windows go first: each closes its own module, notes and highlight stores.
  delete frame_;
  frame_ = nullptr;
  setApplicationHandler(nullptr);
  deinitLexicon(lexicon_);
  deinit_dict(eastons_);
  deinit_dict(topics_);
  deinit_dict(hitchcock_);
  deinit_dict(commentary_);
  deinit_dict(options_);
  setUserDataDirectory({});
  setSharedDataDirectories({});
}

TMyMDIClient* TMainApp::client() const { return frame_ ? frame_->client() : nullptr; }

TPassage* TMainApp::activePassage() const {
  return frame_ ? frame_->client()->activePassage() : nullptr;
}

void TMainApp::buildMainWindow() {
  if (frame_) return;
  frame_ = new TMyMDIFrame(*this);
  TMyMDIClient* client = frame_->client();
  // The session is saved while the windows still stand; the link setting as it changes.
  client->setLinked(rememberedLinkedWindows());
  connect(frame_, &TMyMDIFrame::closing, this, [client] { saveSession(*client); });
  connect(client, &TMyMDIClient::linkedChanged, this,
          [](bool linked) { rememberLinkedWindows(linked); });
  frame_->show();
  frame_->activateWindow();
}

int TMainApp::run() {
  buildMainWindow();
  QApplication::exec();
  return 1;
}

bool TMainApp::canChange(DictHandle* store, const char* fileName) const {
  if (store == nullptr) return false;
  if (isReadOnly(store) == 0) return true;
  if (userDataDirectory().empty()) return false;
  // A store that is read-only in a writable directory (its own permissions) stays so.
  for (const std::string& directory : dataPathDirectories()) {
    const std::string path = setDirectory(std::string_view(fileName), std::string_view(directory));
    if (fileExists(path.c_str()) != 0) return isDirReadOnly(path.c_str()) != 0;
  }
  return false;
}

DictHandle* TMainApp::forChange(DictHandle*& store, const char* fileName) {
  if (store == nullptr || isReadOnly(store) == 0) return store;
  if (!prepareToChange(fileName)) return nullptr;
  DictHandle* copy = open_dict(fileName);
  if (copy == nullptr || isReadOnly(copy) != 0) {
    deinit_dict(copy);
    return nullptr;
  }
  deinit_dict(store);
  store = copy;
  return store;
}

TPassage* TMainApp::openBibleWindow(const bibleName& bible) {
  return frame_ ? frame_->client()->openBibleWindow(bible) : nullptr;
}

bool TMainApp::handleCommand(int id) {
  switch (id) {
    case CmOpenDefaultBible:
      openDefaultBible();
      return true;
    case CmOpenTranslation:
      openTranslation();
      return true;
    case CmNewWindow:
      newWindow();
      return true;
    case CmShowFirstVerse:
      showFirstVerse();
      return true;
    case CmMemoryReport:
      memoryReport();
      return true;
    default:
      return false;
  }
}

bool TMainApp::commandState(int id, CommandState& state) {
  switch (id) {
    case CmOpenDefaultBible:
    case CmOpenTranslation:
    case CmNewWindow:
    case CmShowFirstVerse:
    case CmMemoryReport:
      state.enabled = true;
      return true;
    default:
      return false;
  }
}

void TMainApp::openDefaultBible() {
  // The windows of the last session, when there are any to open, instead of the default
  // translation; the verses-found box then holds the active window's reference, as it holds
  // the first verse after a start on the default translation.
  if (frame_ && restoreSession(*frame_->client())) {
    char text[64] = {};
    if (TPassage* active = activePassage())
      unparseReference(text, active->currentReference(), active->module());
    else if (TParallelView* view = frame_->client()->activeParallel())
      unparseReference(text, view->currentReference(), view->module(0));
    if (text[0] != '\0') {
      frame_->versesFound()->addItem(QString::fromUtf8(text));
      frame_->versesFound()->setCurrentIndex(0);
    }
    return;
  }
  bibleName bible;
  readDefaultBible(&bible);
  // The default translation is looked for along the data path, as every data file is.
  const std::vector<std::string> directories = dataPathDirectories();
  if (std::any_of(directories.begin(), directories.end(), [&](const std::string& directory) {
        const std::string path =
            setDirectory(std::string_view(bible.path), std::string_view(directory));
        return fileExists(path.c_str()) != 0;
      })) {
    if (TPassage* passage = openBibleWindow(bible)) {
      postCommand(passage, CmShowFirstVerse);
      return;
    }
  }
  openTranslation();
}

void TMainApp::openTranslation() {
  if (!frame_) return;
  if (std::optional<bibleName> chosen = runOpenVersionDlg(frame_, "File Open", dataPath_.c_str()))
    openBibleWindow(*chosen);
}

void TMainApp::newWindow() {
  TPassage* active = activePassage();
  if (!active) return;
  bibleName bible;
  getBibleName(&bible, active->module());
  openBibleWindow(bible);
}

void TMainApp::showFirstVerse() {
  TPassage* active = activePassage();
  if (!active || !frame_) return;
  const std::uint16_t first[] = {0, kVerseListEnd};
  frame_->showVersesFound(first, 1, false, "", active->module());
}

void TMainApp::memoryReport() {
  if (std::FILE* log = std::fopen("messages.dbg", "a+")) {
    Mem_Display(log);
    std::fclose(log);
  }
}

}  // namespace vellum::ui
