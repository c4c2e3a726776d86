// TPassage: the Bible window. It reads one translation a chapter at a time in the text view:
// the asked verse selected and centred, verse numbers blue, Strong's numbers red when shown,
// highlights behind words, the chapter's notes below the text. Its caption ("%s - %s":
// reference, translation name) is its state: the current reference is the caption parsed back.
#pragma once

#include <memory>
#include <string>

#include "app/commands.h"
#include "app/windows/textview.h"
#include "engine/bible/bible.h"

namespace vellum {
struct NotesHandle;
}

namespace vellum::ui {

class THilight;

class TPassage : public TTextWindowMDIChild, public CommandHandler {
  Q_OBJECT
 public:
  // Opens the module, its notes store and its highlight store. When the module fails to open,
  // module() is null and *why (when given) says why; the window must not be shown then.
  explicit TPassage(const bibleName& bible, std::string* why = nullptr, QWidget* parent = nullptr);
  ~TPassage() override;

  BibleHandle* module() const { return module_; }
  NotesHandle* notes() const { return notes_; }
  THilight* hilight() const { return hilight_.get(); }

  // Shows the reference's chapter with the verse selected and centred; sets the caption.
  void showPassage(Reference reference);
  // The caption parsed with parseReference (Genesis 1:1 when it does not parse).
  Reference currentReference() const;
  // The Strong's number displayed after word w of the chapter, or -1.
  int strongsAtWord(int word, Reference chapter) const;
  // Rebuilds the screen font from the initialisation file and lays the text out again.
  void applyScreenFont();
  // Highlighting is possible: Strong's numbers hidden and the highlight store writable.
  bool canHilightNow() const;

  bool handleCommand(int id) override;
  bool commandState(int id, CommandState& state) override;

 Q_SIGNALS:
  // Emitted after every showPassage (tests and the frame's enabling listen).
  void passageShown();

 protected:
  void paintWord(QPainter& painter, int index) override;
  void onHoverWord(const QString& word) override;
  void onDoubleClickWord(const QString& word) override;
  void setupWindow() override;

 private:
  BibleHandle* module_ = nullptr;
  NotesHandle* notes_ = nullptr;
  std::unique_ptr<THilight> hilight_;
  Reference paintReference_{};
};

}  // namespace vellum::ui
