// TParallelView: two to four translations side by side in one document window. It shows one
// chapter verse by verse: a column per translation, headed by the translation's name, and a row
// per verse number, so verse 16 of every translation stands on one line however long each one
// runs. A translation without a verse of the chapter leaves its cell empty.
//
// The first translation's books name the view's place: its caption reads "John 3:16 -
// Parallel Translations", and Go to, the chapter buttons and the verses found are read with
// the first translation's book names. Each column keeps its own module handle, so Strong's
// numbers are switched for the view's translations alone, and reads the highlights of its
// translation: the words of a cell are the words of that verse's line in the Bible window, so
// a highlight shows on the same words.
//
// Rows are selected with the mouse (a click selects a row, Shift extends, a drag runs over
// rows); Copy puts the selected rows on the clipboard, each verse of each translation on a line
// of its own: "John 3:16 (King James Version) For God so loved...".
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/commands.h"
#include "engine/bible/bible.h"

namespace vellum::ui {

class THilight;

class TParallelView : public QAbstractScrollArea, public CommandHandler {
  Q_OBJECT
 public:
  static constexpr int kMinColumns = 2;
  static constexpr int kMaxColumns = 4;

  // Opens each translation with its highlights. When one fails to open, isOpen() is false and
  // *why (when given) names it and says why; the window must not be shown then.
  explicit TParallelView(const std::vector<bibleName>& bibles, std::string* why = nullptr,
                         QWidget* parent = nullptr);
  ~TParallelView() override;

  bool isOpen() const { return open_; }
  int columnCount() const { return static_cast<int>(columns_.size()); }
  BibleHandle* module(int column) const;
  // The translation's display name, as its column's header shows it.
  QString columnName(int column) const;

  // Shows the chapter of the reference (in the first translation's books) with the verse's
  // row selected and centred. False, with the view unchanged, when no translation holds it.
  bool showReference(Reference reference);
  // Shows the reference of another module's window; when no translation holds it, the view
  // stays and its caption says so. Returns whether it moved.
  bool followReference(Reference reference, BibleHandle* from);
  // The reference shown, in the first translation's books (the caption parsed back).
  Reference currentReference() const;

  // Rows: one per verse number from 1 to the longest translation's last verse.
  int rowCount() const { return static_cast<int>(rows_.size()); }
  // The cell's text as shown (its verse line, Strong's numbers when shown), empty when the
  // translation lacks the verse.
  QString cellText(int row, int column) const;
  // The cell's rectangle in document pixels (its row's full height); empty outside the table.
  QRect cellRect(int row, int column) const;
  int rowAt(int documentY) const;

  // Selection of rows, anchor and end in either order; -1 when there is none.
  void selectRows(int anchor, int end);
  int selectionAnchor() const { return anchor_; }
  int selectionEnd() const { return end_; }
  bool hasSelection() const { return anchor_ >= 0 && end_ >= 0; }
  // The selected rows as Copy puts them on the clipboard (line feeds; the clipboard gets
  // carriage return and line feed).
  std::string selectedText() const;

  // Strong's numbers: any translation that has them shows them, or none does.
  bool hasStrongsNumbers() const;
  bool strongsShown() const;
  void toggleStrongs();
  // Rebuilds the screen font from the initialisation file and lays the rows out again.
  void applyScreenFont();

  int position() const;
  void scrollTo(int target);
  // The first row in view.
  int firstVisibleRow() const;

  // Where the view starts when it is set up: a view of the last session.
  struct Place {
    Reference reference{0, 1, 1};
    int anchor = -1;
    int end = -1;
    int topRow = -1;
  };
  void startAt(const Place& place) { start_ = place; }
  Place place() const;

  bool handleCommand(int id) override;
  bool commandState(int id, CommandState& state) override;

 Q_SIGNALS:
  // Emitted after every chapter shown.
  void passageShown();
  // The user selected a row with a click, or went to a passage (linked windows follow it); the
  // reference is in the first translation's books.
  void verseClicked(Reference reference);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  struct Word {
    std::size_t start = 0;  // bytes into the cell's line
    std::size_t length = 0;
    int index = 0;  // the word's index in the chapter as the Bible window counts it
    QRect rect;     // in the cell, relative to its top-left corner
  };
  struct Cell {
    std::string line;  // the verse's line, "16 For God so loved...", or empty
    std::vector<Word> words;
    int lines = 0;
  };
  struct Row {
    int top = 0;
    int height = 0;
    std::vector<Cell> cells;
  };
  struct Column;

  void loadChapter(Reference reference);
  void layoutRows();
  void layoutCell(Cell& cell, int width, const QFontMetrics& metrics) const;
  void updateScrollRange();
  void paintCell(QPainter& painter, const Cell& cell, int column, QPoint origin, bool selected);
  int columnLeft(int column) const;
  int columnWidth() const;
  void setCaption(const QString& note = QString());
  void centreRow(int row);

  // Word widths in the current font: the same words come back in every verse and chapter.
  mutable std::unordered_map<std::string, int> widths_;
  std::vector<std::unique_ptr<Column>> columns_;
  bool open_ = false;
  QWidget* header_ = nullptr;
  QFont font_;
  int lineHeight_ = 1;
  Reference reference_{0, 1, 1};  // in the first translation's books
  std::vector<Row> rows_;
  int documentHeight_ = 0;
  int layoutWidth_ = -1;
  int anchor_ = -1;
  int end_ = -1;
  bool dragging_ = false;
  std::optional<Place> start_;
  bool setUp_ = false;

  friend class ParallelHeader;
};

// "Parallel Translations" (dialog 1010): the translations along the data path (at most 10) in
// a list with check boxes; OK takes two to four of them, in the list's order. The translation
// given as `first` stands first in the list and starts checked.
std::vector<bibleName> runParallelDlg(QWidget* owner, const char* directories,
                                      const bibleName* first);

}  // namespace vellum::ui
