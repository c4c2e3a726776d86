// Test doubles for the window tests: a workbench of the test's own, so a window is built on
// fixture stores without starting the program, and a poller for dialogs that carry no resource
// number (the print, font and message dialogs), found by their type.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/workbench.h"

namespace vellum::test {

// Stores set by the test, a verses-found box of plain entries, and what the window asked the
// program to show or say, recorded. mainWindow stands for the program's frame: the search,
// go-to and note commands need it.
struct FakeWorkbench : ui::Workbench {
  DictHandle* eastonsStore = nullptr;
  DictHandle* hitchcockStore = nullptr;
  LexiconHandle* lexiconStore = nullptr;
  bool mainWindow = false;
  QStringList entries;
  QString selected;
  std::vector<QString> statuses;
  std::vector<std::string> shownSearches;  // the search texts of showVersesFound/ReferencesFound

  DictHandle* eastons() const override { return eastonsStore; }
  DictHandle* hitchcock() const override { return hitchcockStore; }
  LexiconHandle* lexicon() const override { return lexiconStore; }
  bool hasMainWindow() const override { return mainWindow; }
  QStringList versesFoundEntries() const override { return entries; }
  QString selectedVerseFound() const override { return selected; }
  void showVersesFound(const std::uint16_t*, std::uint16_t, bool, const char* text,
                       BibleHandle*) override {
    shownSearches.emplace_back(text);
  }
  void showReferencesFound(const Reference*, std::uint16_t, bool, const char* text,
                           BibleHandle*) override {
    shownSearches.emplace_back(text);
  }
  void setStatusText(const QString& text) override { statuses.push_back(text); }
};

// Hands the next visible top-level widget of type T to act, once; gives up after about ten
// seconds, or at once when the generation it was armed in has passed (bump it between tests).
inline int& whenShownGeneration() {
  static int generation = 0;
  return generation;
}
template <class T>
void whenShown(std::function<void(T*)> act, int triesLeft = 400) {
  const int generation = whenShownGeneration();
  QTimer::singleShot(25, [act, triesLeft, generation] {
    if (generation != whenShownGeneration()) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) return act(found);
    }
    if (triesLeft > 0) whenShown<T>(act, triesLeft - 1);
  });
}

}  // namespace vellum::test
