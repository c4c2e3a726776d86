// Helpers for the window tests: a data directory with fixture modules and stores, and the
// application object started on it offscreen.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fixtures.h"

class QDialog;

namespace vellum::ui {
class TMainApp;
class TMyMDIFrame;
class TPassage;
}  // namespace vellum::ui

namespace vellum::test {

// A data directory holding the 66-book fixture "kjv.bib" ("King James Version", with Strong's
// numbers in Genesis 1:1 and John 3:16) and a small second translation "web.bib" ("World
// English Bible", without Strong's numbers: Genesis 1:1-2, 2:1 and John 1:1, 2:1, 3:1-2).
class AppData {
 public:
  AppData();
  const TempDir& dir() const { return dir_; }
  std::string path() const { return dir_.path().string(); }
  // A file of the user's data directory of a program started on this directory, where it makes
  // its stores (StartedProgram sets XDG_DATA_HOME to DIR/user-data).
  std::string userFile(const std::string& name) const;

 private:
  TempDir dir_;
};

// Writes small reference works into dir, built with the engine's own writers:
// - "eastons.dic": "Abraham" (its article names "Moses." and ends "see 1 John 3:16 and
//   Gen. 17:5."), "Aaron", "Moses" and "Abraham's bosom";
// - "hitchck.dic": "Abraham" = "father of a great multitude", "Moses" = "taken out; drawn forth";
// - "mhc.dic": commentary on Genesis 1 ("1:0"), Genesis 50 ("50:0") and John 3 ("3:42");
// - "lexicon.lex": Hebrew 1 "father", 430 "God", 7225 "beginning" (two lines); Greek 1
//   "Alpha", 26 "love", 2316 "God".
// The data path is left as it was.
void buildReferenceWorks(const std::filesystem::path& dir);

// Runs act on the next visible top-level dialog with this objectName (a modal dialog's run),
// then closes it with Cancel unless act closed it. Keeps looking until it has run once, or until
// stopDialogPollers() is called: call that between tests, so no poller of an earlier test acts
// on a later test's dialogs or on variables that are gone.
void onDialog(const QString& name, std::function<void(QDialog*)> act, bool* seen);
// Answers the next message box with OK and puts its text in *text (same lifetime rules).
void answerMessageBox(QString* text);
void stopDialogPollers();

// The message box on screen, or null.
QMessageBox* visibleMessageBox();
// Answers every message box that shows while it lives with `answer` (OK when the box has no
// such button), noting each box's text and caption in order.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  QStringList texts, captions;
  QMessageBox::StandardButton answer = QMessageBox::Ok;

 private:
  QTimer timer_;
};

// The control with this identifier inside parent.
template <class T = QWidget>
T* child(QWidget* parent, int id) {
  return parent->findChild<T*>(QString::number(id));
}

// A file nobody may write, root included (the immutable attribute), made writable again when
// the object goes. effective() is false where the file system cannot do this.
class ImmutableFile {
 public:
  explicit ImmutableFile(const std::filesystem::path& path);
  ~ImmutableFile();
  ImmutableFile(const ImmutableFile&) = delete;
  ImmutableFile& operator=(const ImmutableFile&) = delete;
  bool effective() const { return effective_; }

 private:
  int fd_ = -1;
  int original_ = 0;
  bool effective_ = false;
};

// The program started as "<dir>/vellum [arguments]", so the data directory is its own, with its
// main window built; its user data directory is <dir>/user-data/vellum and no shared one is
// there. A Bible window set up while the verses-found box is empty opens the search
// dialog by itself; it is cancelled when it shows (the first time, or every time with
// cancelEverySearch), so tests of other windows do not block on it, and searchSeen records it.
// The session an earlier start remembered is forgotten first, unless keepSession is set, so
// every start is a first start on the default translation.
class StartedProgram {
 public:
  explicit StartedProgram(const std::string& dir, std::vector<std::string> arguments = {},
                          bool cancelEverySearch = false, bool keepSession = false);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  ui::TMyMDIFrame* frame() const;
  ui::TPassage* passage() const;
  BibleHandle* module() const;
  // The active Bible window's caption, or empty.
  QString caption() const;
  // The start-up has run through: the search dialog was seen, the first chapter shows and the
  // verses-found box holds the first verse.
  bool ready() const;

  std::unique_ptr<ui::TMainApp> app;
  bool searchSeen = false;

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  QTimer searchCanceller_;
};

// Waits (processing events) until the predicate holds or the time runs out.
bool waitFor(const std::function<bool()>& done, int milliseconds = 5000);

}  // namespace vellum::test
