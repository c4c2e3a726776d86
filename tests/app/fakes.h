// Test doubles for the window tests: a workbench of the test's own, so a window is built on
// fixture stores without starting the program, and a poller for dialogs that carry no resource
// number (the print, font and message dialogs), found by their type.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/workbench.h"

namespace vellum::test {

// Stores set by the test, a verses-found box of plain entries, and the message bar's texts.
struct FakeWorkbench : ui::Workbench {
  DictHandle *eastonsStore = nullptr, *hitchcockStore = nullptr;
  LexiconHandle* lexiconStore = nullptr;
  QStringList entries;
  QString selected;
  std::vector<QString> statuses;

  DictHandle* eastons() const override { return eastonsStore; }
  DictHandle* hitchcock() const override { return hitchcockStore; }
  LexiconHandle* lexicon() const override { return lexiconStore; }
  QStringList versesFoundEntries() const override { return entries; }
  QString selectedVerseFound() const override { return selected; }
  void setStatusText(const QString& text) override { statuses.push_back(text); }
};

inline bibleName bibleNamed(const char* file, const char* display = "") {
  bibleName name{};
  std::strncpy(name.name, display, sizeof name.name - 1);
  std::strncpy(name.path, file, sizeof name.path - 1);
  return name;
}

inline Reference parse(const char* text, BibleHandle* module) {
  Reference reference;
  parseReference(&reference, text, module);
  return reference;
}

// Hands the next visible top-level widget of type T to act, once; gives up after about ten
// seconds, or at once when the generation it was armed in has passed (bump it between tests).
inline int whenShownGeneration = 0;
template <class T>
void whenShown(std::function<void(T*)> act, int triesLeft = 400) {
  QTimer::singleShot(25, [act, triesLeft, generation = whenShownGeneration] {
    if (generation != whenShownGeneration) return;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) return act(found);
    if (triesLeft > 0) whenShown<T>(act, triesLeft - 1);
  });
}

}  // namespace vellum::test
