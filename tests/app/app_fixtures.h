// Helpers for the window tests: fixture data and the program started on it offscreen.
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

// The fixture "kjv.bib" and a small "web.bib" ("World English Bible": Genesis 1:1-2, 2:1 and
// John 1:1, 2:1, 3:1-2, no Strong's numbers).
class AppData {
 public:
  AppData();
  const TempDir& dir() const { return dir_; }
  std::string path() const { return dir_.path().string(); }
  // A file of the user data directory of a program started here.
  std::string userFile(const std::string& name) const;

 private:
  TempDir dir_;
};

// Writes small "eastons.dic", "hitchck.dic", "mhc.dic" and "lexicon.lex" into dir (see the
// definition for their entries); the data path is left as it was.
void buildReferenceWorks(const std::filesystem::path& dir);

// Runs act on the next visible dialog with this objectName, then cancels it unless act closed
// it. Pollers run until they have acted or stopDialogPollers() is called (call it between tests).
void onDialog(const QString& name, std::function<void(QDialog*)> act, bool* seen);
// Arms act (as onDialog does) for the dialog with this objectName, then runs open (a command or
// a click that shows it); whether open succeeded and the dialog showed.
bool runDialog(const QString& name, const std::function<bool()>& open,
               std::function<void(QDialog*)> act = {});
// Answers the next message box with OK and puts its text in *text (same lifetime rules).
void answerMessageBox(QString* text);
void stopDialogPollers();

// The message box on screen, or null.
QMessageBox* visibleMessageBox();
// Answers every message box shown while it lives with `answer` (or OK), noting texts and captions.
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

// A file made immutable (even for root) while the object lives; effective() is false where the
// file system cannot do this.
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

// The program started as "<dir>/vellum [arguments]" with its main window built and its user data
// in <dir>/user-data/vellum. The search dialog a new Bible window opens is cancelled (the first
// time, or every time with cancelEverySearch) and noted in searchSeen. The remembered session is
// forgotten first unless keepSession is set.
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
  // The start-up has run through: search dialog seen, first chapter and first verse found shown.
  bool ready() const;

  std::unique_ptr<ui::TMainApp> app;
  bool searchSeen = false;

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  QTimer searchCanceller_;
};

// Removes the initialisation file, so the program starts with nothing set.
void forgetSettings();

// Waits (processing events) until the predicate holds or the time runs out.
bool waitFor(const std::function<bool()>& done, int milliseconds = 5000);

}  // namespace vellum::test
