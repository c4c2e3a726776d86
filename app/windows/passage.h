// TPassage: the Bible window. It reads one translation a chapter at a time in the text view:
// the asked verse selected and centred, verse numbers blue, Strong's numbers red when shown,
// highlights behind words, the chapter's notes below the text. Its caption ("%s - %s":
// reference, translation name) is its state: the current reference is the caption parsed back.
//
// Word positions (for highlights and Strong's look-ups) are the indices of the text view's word
// table for the chapter text with Strong's numbers hidden; highlights are therefore shown and
// changed only while the numbers are hidden.
#pragma once

#include <QColor>
#include <QPalette>
#include <memory>
#include <optional>
#include <string>

#include "app/commands.h"
#include "app/windows/textview.h"
#include "app/workbench.h"
#include "engine/bible/bible.h"

namespace vellum {
struct NotesHandle;
struct DictHandle;
struct LexiconHandle;
}  // namespace vellum

namespace vellum::ui {

class THilight;

// What decides a word's colours in a Bible window (and in the parallel view, which shows the
// same words the same way).
struct WordLook {
  bool selected = false;
  bool verseNumber = false;    // a digit word at the start of a line
  bool strongsNumber = false;  // any other digit word of the chapter (not of the notes)
  bool strongsShown = false;   // the module shows its Strong's numbers
  int hilight = -1;            // the highlight code 0 to 4, or -1 while highlighting is off
};
struct WordColors {
  QColor text;
  QColor background;
};
// Selected words white on dark blue; Strong's numbers red while shown (no highlights then);
// highlights behind unselected words and as the text colour of selected ones; verse numbers
// blue unless selected or highlighted blue.
WordColors wordLookColors(const WordLook& look, const QPalette& palette);
// The screen font of the initialisation file, sized for the widget's screen.
QFont screenFont(const QWidget& widget);

class TPassage : public TTextWindowMDIChild, public CommandHandler {
  Q_OBJECT
 public:
  // Opens the module, its notes store and its highlight store; the shared stores, the
  // verses-found box and the message bar are the workbench's. When the module fails to open,
  // module() is null and *why (when given) says why; the window must not be shown then.
  explicit TPassage(const bibleName& bible, Workbench& workbench = Workbench::none(),
                    std::string* why = nullptr, QWidget* parent = nullptr);
  ~TPassage() override;

  BibleHandle* module() const { return module_.get(); }
  NotesHandle* notes() const { return notes_.get(); }
  THilight* hilight() const { return hilight_.get(); }
  Workbench& workbench() const { return workbench_; }

  // Shows the reference's chapter with the verse selected and centred; sets the caption. A
  // chapter the module does not hold leaves the window as it was; a verse past the chapter's
  // end shows its last verse.
  void showPassage(Reference reference);
  // The caption parsed with parseReference (Genesis 1:1 when it does not parse).
  Reference currentReference() const;
  // A linked window's answer to a reference its translation lacks: the window stays where it
  // is and its caption says so ("... - King James Version [3 John 1:15: not in this
  // translation]") until the next passage is shown.
  void showMissing(const QString& referenceText);
  // The verse of a word of the chapter (its line's number), or 0 for a word of the notes.
  int verseOfWord(int index) const;
  // The Strong's number displayed after word w of the chapter, or -1.
  int strongsAtWord(int word, Reference chapter) const;
  // Rebuilds the screen font from the initialisation file and lays the text out again.
  void applyScreenFont();
  // Highlighting is possible: Strong's numbers hidden and the highlight store writable.
  bool canHilightNow() const;

  using WordColors = ::vellum::ui::WordColors;
  // The colours word `index` is painted with, for the current reference.
  WordColors wordColors(int index) const;

  // Where the window starts when it is set up, instead of at the verses-found box's
  // reference: a window of the last session. The selection (word indices, -1 for none) and the
  // word at the top of the window are taken when they lie in the chapter as shown.
  struct Place {
    Reference reference{0, 1, 1};
    int selectionAnchor = -1;
    int selectionEnd = -1;
    int topWord = -1;
  };
  void startAt(const Place& place) { start_ = place; }
  // The window's place now, as startAt takes it.
  Place place() const;

  // Forgets the last hovered word (process-wide, shared by every Bible window), so the next
  // hover looks its word up even when it is the same text.
  static void forgetLastHover();

  bool handleCommand(int id) override;
  bool commandState(int id, CommandState& state) override;

 Q_SIGNALS:
  // Emitted after every showPassage (tests and the frame's enabling listen).
  void passageShown();
  // The user selected a verse of the chapter with a click (linked windows follow it).
  void verseClicked(Reference reference);

 protected:
  void paintWord(QPainter& painter, int index) override;
  void beginPaintRange() override;
  void onHoverWord(const std::string& word) override;
  void onDoubleClickWord(const std::string& word) override;
  void setupWindow() override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  struct ModuleCloser {
    void operator()(BibleHandle* module) const;
  };
  struct NotesCloser {
    void operator()(NotesHandle* notes) const;
  };

  WordColors colorsFor(int index, Reference chapter) const;
  void buildPopupMenu();
  void applyHilight(int code);
  void runGotoDialog();

  Workbench& workbench_;
  std::unique_ptr<BibleHandle, ModuleCloser> module_;
  std::unique_ptr<NotesHandle, NotesCloser> notes_;
  std::unique_ptr<THilight> hilight_;
  Reference paintReference_{};
  std::optional<Place> start_;
  // How much of the text is the chapter; the notes follow it.
  std::size_t chapterLength_ = 0;
};

}  // namespace vellum::ui
