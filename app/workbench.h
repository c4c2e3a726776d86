// Workbench: what a document window uses of the program around it. The shared reference stores,
// the verses-found box, the message bar and the way a reference found is shown all come through
// it, so a window never reaches for the application object or the frame. In the program the
// application object offers the stores and the main window the rest; a window on its own gets
// the workbench that offers nothing.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

#include "engine/bible/bible.h"

namespace vellum {
struct DictHandle;
struct LexiconHandle;
}  // namespace vellum

namespace vellum::ui {

class Workbench {
 public:
  virtual ~Workbench() = default;

  // The shared stores; null when a file failed to open.
  virtual DictHandle* eastons() const { return nullptr; }
  virtual DictHandle* hitchcock() const { return nullptr; }
  virtual DictHandle* topics() const { return nullptr; }
  virtual DictHandle* commentary() const { return nullptr; }
  virtual DictHandle* options() const { return nullptr; }
  virtual LexiconHandle* lexicon() const { return nullptr; }
  // Whether the user may change the topics or Easton's, and the store ready for the change
  // (copied into the user's data directory first when it is shared); null when it cannot.
  virtual bool canChangeTopics() const { return false; }
  virtual bool canChangeEastons() const { return false; }
  virtual DictHandle* topicsForChange() { return nullptr; }
  virtual DictHandle* eastonsForChange() { return nullptr; }

  // The data path the program was started with.
  virtual std::string dataPath() const { return {}; }

  // Whether a main window stands behind the workbench, with a verses-found box to take the
  // results of a search or a go-to; the note commands, too, belong to windows of the program.
  virtual bool hasMainWindow() const { return false; }
  // The verses-found box: its entries in box order, and the selected one.
  virtual QStringList versesFoundEntries() const { return {}; }
  virtual QString selectedVerseFound() const { return {}; }
  // The current book-set command (309 to 320).
  virtual int bookSetCommand() const { return 309; }
  // Put a search's result into the verses-found box and show its first entry; a single verse
  // whose search text is its reference is shown without touching the box. Nothing happens
  // without a main window.
  virtual void showVersesFound(const std::uint16_t* /*verses*/, std::uint16_t /*count*/,
                               bool /*restrict*/, const char* /*searchText*/,
                               BibleHandle* /*module*/) {}
  virtual void showReferencesFound(const Reference* /*references*/, std::uint16_t /*count*/,
                                   bool /*restrict*/, const char* /*searchText*/,
                                   BibleHandle* /*module*/) {}
  // The message bar's text (empty clears it).
  virtual void setStatusText(const QString& /*text*/) {}

  // The workbench of a window outside the program: no stores, no box, no message bar.
  static Workbench& none() {
    static Workbench nothing;
    return nothing;
  }
};

}  // namespace vellum::ui
