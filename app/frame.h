// The main window: TMyMDIFrame (menus, tool bar, message bar), its MDI client TMyMDIClient
// (the Bible windows and the book set) and the verses-found box TVersesFound on the tool bar.
// showVersesFound and showReferencesFound put a search's result into the box and show it. The
// frame is the workbench of the document windows: it answers for the box and the message bar
// and passes the stores on from the application's workbench.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "app/commands.h"
#include "app/workbench.h"
#include "engine/bible/bible.h"

class QAction;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace vellum::ui {

class TPassage;
class TParallelView;
class TMyMDIFrame;

// The drop-down list of the references found by the last search (control 10015). With the
// focus in it, commands that the Bible window or the client handle are forwarded to them.
class TVersesFound : public QComboBox, public CommandHandler {
  Q_OBJECT
 public:
  explicit TVersesFound(TMyMDIFrame* frame);
  bool handleCommand(int id) override;
  bool commandState(int id, CommandState& state) override;
  // Command 903: show the selected entry in the active Bible window.
  void showSelected();

 private:
  TMyMDIFrame* frame_;
};

class TMyMDIClient : public QMdiArea, public CommandHandler {
  Q_OBJECT
 public:
  explicit TMyMDIClient(TMyMDIFrame* frame);

  TPassage* activePassage() const;
  QList<TPassage*> passages() const;
  // The active parallel view, or null.
  TParallelView* activeParallel() const;
  QList<TParallelView*> parallelViews() const;
  // Creates a Bible window on the module and shows it (showBibleWindow). Null (after a message
  // box) when the module fails to open.
  TPassage* openBibleWindow(const bibleName& bible);
  // Puts the window into the client, shows it and makes it the active one. Without a geometry
  // it is two thirds of the client each way, a title bar's height down and right of the active
  // window (at the corner when that would leave the client), maximised when the active window
  // is; a geometry (in the client) is brought wholly inside the client first.
  TPassage* showBibleWindow(TPassage* passage, const QRect* geometry = nullptr,
                            Qt::WindowStates states = {});
  // Opens a parallel view of the translations at the active window's reference (Genesis 1:1
  // without one). Null (after a message box) when one fails to open.
  TParallelView* openParallelWindow(const std::vector<bibleName>& bibles);
  // Puts the view into the client like showBibleWindow.
  TParallelView* showParallelWindow(TParallelView* view, const QRect* geometry = nullptr,
                                    Qt::WindowStates states = {});

  // What the document windows of this client are handed.
  Workbench& workbench() const;

  // Linked windows: while set, a passage shown in one document window (Go to, a chapter step,
  // a verse found, a verse clicked) is shown in all the others too. Remembered in the session.
  bool linked() const { return linked_; }
  void setLinked(bool linked);
  // Shows the reference (of `module`) in the document window `view`, a Bible window or a
  // parallel view, and, while linked, in the others.
  void showLinked(QWidget* view, Reference reference, BibleHandle* module);
  // While linked: every document window but `source` shows the reference. A Bible window whose
  // translation lacks it stays and says so; nothing here leads back to a follow, so one change
  // updates each window once.
  void followLinked(QWidget* source, Reference reference, BibleHandle* module);

  // Normal windows, in stacking order, two thirds of the client each way, each a title bar's
  // height down and right of the one below it, all wholly inside the client.
  void cascade();

  // The book set: the current book-set command (309 to 320) and one flag per book index.
  int bookSetCommand() const { return bookSetCommand_; }
  std::array<std::uint32_t, 2000>& bookFlags() { return bookFlags_; }
  void setBookSet(int command, const std::array<std::uint32_t, 2000>& flags);

  bool handleCommand(int id) override;
  bool commandState(int id, CommandState& state) override;

 Q_SIGNALS:
  void linkedChanged(bool linked);

 private:
  QSize documentSize() const;
  int cascadeStep() const;
  QRect insideClient(QRect wanted) const;
  QMdiSubWindow* addDocument(QWidget* document, const QRect* geometry, Qt::WindowStates states);
  void runParallelCommand();
  // Makes the set current and keeps it in the options store.
  void selectBookSet(int command, const std::array<std::uint32_t, 2000>& flags);
  void loadBookSet();

  TMyMDIFrame* frame_;
  bool linked_ = false;
  bool following_ = false;
  int bookSetCommand_ = 309;
  std::array<std::uint32_t, 2000> bookFlags_{};
};

class TMyMDIFrame : public QMainWindow, public CommandHandler, public Workbench {
  Q_OBJECT
 public:
  // The stores come from `stores` (the application object), which outlives the frame.
  explicit TMyMDIFrame(Workbench& stores);
  ~TMyMDIFrame() override;

  TMyMDIClient* client() const { return client_; }
  TVersesFound* versesFound() const { return versesFound_; }
  QLabel* messageField() const { return messageField_; }  // tool bar, identifier 2
  // The message bar at the bottom (hints, hover look-ups).
  void setStatusText(const QString& text) override;
  QString statusText() const;
  // The action of a command (menus, tool bar and accelerators share it), or null.
  QAction* action(int id) const;
  // Recomputes every action's state along the command route.
  void updateCommandStates();

  // Fills the verses-found box from a verse list and shows the first entry (see frame.cpp).
  void showVersesFound(const std::uint16_t* verses, std::uint16_t count, bool restrict,
                       const char* searchText, BibleHandle* module) override;
  void showReferencesFound(const Reference* references, std::uint16_t count, bool restrict,
                           const char* searchText, BibleHandle* module) override;

  // The workbench: the stores of the application's, the box and the book set of this frame.
  DictHandle* eastons() const override { return stores_.eastons(); }
  DictHandle* hitchcock() const override { return stores_.hitchcock(); }
  DictHandle* topics() const override { return stores_.topics(); }
  DictHandle* commentary() const override { return stores_.commentary(); }
  DictHandle* options() const override { return stores_.options(); }
  LexiconHandle* lexicon() const override { return stores_.lexicon(); }
  bool canChangeTopics() const override { return stores_.canChangeTopics(); }
  bool canChangeEastons() const override { return stores_.canChangeEastons(); }
  DictHandle* topicsForChange() override { return stores_.topicsForChange(); }
  DictHandle* eastonsForChange() override { return stores_.eastonsForChange(); }
  std::string dataPath() const override { return stores_.dataPath(); }
  bool hasMainWindow() const override { return true; }
  QStringList versesFoundEntries() const override;
  QString selectedVerseFound() const override;
  int bookSetCommand() const override { return client_->bookSetCommand(); }

  bool handleCommand(int id) override;
  bool commandState(int id, CommandState& state) override;

 Q_SIGNALS:
  // The frame is closing; its windows still stand.
  void closing();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildActions();
  void buildMenus();
  void buildToolBar();
  void showHint(int id);

  Workbench& stores_;
  TMyMDIClient* client_ = nullptr;
  TVersesFound* versesFound_ = nullptr;
  QLabel* messageField_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  std::map<int, QAction*> actions_;
  QList<QMenu*> bibleMenus_;                 // shown only while a Bible window is active
  QList<QPair<int, QAction*>> twinActions_;  // second menu entries of a command (Twin)
};

}  // namespace vellum::ui
