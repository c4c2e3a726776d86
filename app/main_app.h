// TMainApp: the application object. It builds the data path from the program's directory, the
// user's and the shared data directories, its arguments (each a data directory) and a CD-ROM
// data directory, opens the reference stores that stay open for the whole run, builds the main
// window, opens the default translation, answers the application's commands and closes the
// stores at exit. As a workbench it offers the stores; the main window offers the rest.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/workbench.h"
#include "engine/bible/bible.h"

namespace vellum {
struct DictHandle;
struct LexiconHandle;
}  // namespace vellum

namespace vellum::ui {

class TMyMDIFrame;
class TMyMDIClient;
class TPassage;

class TMainApp : public QObject, public CommandHandler, public Workbench {
  Q_OBJECT
 public:
  // Copies the arguments, makes the program's directory current, sets the data path and opens
  // the stores. Shows the wait cursor while it works when a QApplication exists.
  TMainApp(int argc, char** argv);
  ~TMainApp() override;
  TMainApp(const TMainApp&) = delete;
  TMainApp& operator=(const TMainApp&) = delete;

  // Builds the main window, restores its placement and shows it; the client then posts 101.
  void buildMainWindow();
  // buildMainWindow, then the message loop; returns 1, the program's exit status.
  int run();

  TMyMDIFrame* frame() const { return frame_; }
  TMyMDIClient* client() const;
  // The active Bible window, or null.
  TPassage* activePassage() const;

  std::string dataPath() const override { return dataPath_; }
  const std::vector<std::string>& arguments() const { return arguments_; }

  // The shared stores; null when a file failed to open (options is never null after start-up).
  DictHandle* eastons() const override { return eastons_; }
  DictHandle* hitchcock() const override { return hitchcock_; }
  DictHandle* topics() const override { return topics_; }
  DictHandle* commentary() const override { return commentary_; }
  DictHandle* options() const override { return options_; }
  LexiconHandle* lexicon() const override { return lexicon_; }
  // Whether the user may change the topics or Easton's: the store is writable where it is, or
  // it lies where nothing may be written and can be copied into the user's data directory.
  bool canChangeTopics() const override { return canChange(topics_, "topics.dic"); }
  bool canChangeEastons() const override { return canChange(eastons_, "eastons.dic"); }
  // The store ready for a change: as it is when writable, else copied into the user's data
  // directory and opened there in place of the shared one. Null when it cannot change.
  DictHandle* topicsForChange() override { return forChange(topics_, "topics.dic"); }
  DictHandle* eastonsForChange() override { return forChange(eastons_, "eastons.dic"); }

  // Opens a Bible window on the module (the frame's openBibleWindow).
  TPassage* openBibleWindow(const bibleName& bible);

  bool handleCommand(int id) override;
  bool commandState(int id, CommandState& state) override;

 private:
  void openDefaultBible();  // 101
  void openTranslation();   // 24332
  void newWindow();         // 24331
  void showFirstVerse();    // 14001
  void memoryReport();      // 106
  bool canChange(DictHandle* store, const char* fileName) const;
  DictHandle* forChange(DictHandle*& store, const char* fileName);

  std::vector<std::string> arguments_;
  std::string dataPath_;
  DictHandle* eastons_ = nullptr;
  DictHandle* hitchcock_ = nullptr;
  DictHandle* topics_ = nullptr;
  DictHandle* commentary_ = nullptr;
  DictHandle* options_ = nullptr;
  LexiconHandle* lexicon_ = nullptr;
  TMyMDIFrame* frame_ = nullptr;  // owned; deleted before the stores close
};

}  // namespace vellum::ui
