// TTextWindowMDIChild: a document window that shows one block of text as a flow of words.
//
// The unit is the word, not the character: layout, hit tests, selection and painting all work
// on indices into the word table. A word is a run of characters up to and including the one
// separator that ends it (a space, a line feed or a carriage return), so the words tile the
// text and the selection always covers whole words with their separators.
//
// Coordinates: each word's rectangle is in document pixels (top counted from the top of the
// document); the vertical position is the scroll bar's value, always a whole number of lines
// and never beyond the last line's bottom less a page plus a line. Points handed to the hit
// tests are in viewport coordinates.
//
// The text is kept as bytes (UTF-8); the separators are ASCII, so word boundaries never fall
// inside a character. Words are decoded only to measure and draw them.
//
// Drawing is left to the subclass: paintWord() sets the colours and calls drawWord(). The base
// fills the window's background and draws nothing of its own.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <cstddef>
#include <string>
#include <vector>

class QMenu;
class QPainter;

namespace vellum::ui {

class TTextWindowMDIChild : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TTextWindowMDIChild(QWidget* parent = nullptr);
  ~TTextWindowMDIChild() override;

  // One entry of the word table. start and length are byte offsets into the text; length
  // counts the separator that ended the word, if any.
  struct Word {
    std::size_t start = 0;
    std::size_t length = 0;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
  };

  // Copies the text, clears the selection and the hover index, lays it out and repaints.
  void setText(std::string text);
  const std::string& text() const { return text_; }
  bool hasText() const { return !text_.empty(); }

  // The font words are measured and drawn with; the text is laid out again.
  void setTextFont(const QFont& font);
  const QFont& textFont() const { return font_; }

  // The menu shown on a right-button press (owned by whoever made it, normally this window).
  void setPopupMenu(QMenu* menu);
  QMenu* popupMenu() const { return popupMenu_; }

  // Word table and metrics of the last layout.
  int wordCount() const { return static_cast<int>(words_.size()); }
  const Word& word(int index) const { return words_[static_cast<std::size_t>(index)]; }
  // The word's rectangle in document coordinates; empty for an index outside the table.
  QRect wordRect(int index) const;
  // The word's characters, separator included.
  std::string wordText(int index) const;
  int lineHeight() const { return lineHeight_; }
  int margin() const { return margin_; }
  int pageHeight() const { return pageHeight_; }
  QRect textRect() const { return textRect_; }

  // Selection: anchor and end in either order; -1 when there is none.
  int selectionAnchor() const { return anchor_; }
  int selectionEnd() const { return end_; }
  int selectionFirst() const { return anchor_ < end_ ? anchor_ : end_; }
  int selectionLast() const { return anchor_ < end_ ? end_ : anchor_; }
  bool hasSelection() const { return anchor_ >= 0 && end_ >= 0; }
  bool isSelected(int index) const {
    return hasSelection() && index >= selectionFirst() && index <= selectionLast();
  }
  // Selects from first to last (either order) and repaints the words whose state changed.
  void selectWords(int first, int last);
  // Selects the words holding the two byte offsets and scrolls them into view, centred.
  void selectCharacters(std::size_t start, std::size_t end);
  // From the first selected word's first character to the last selected word's last character
  // (separator included), at most capacity - 1 bytes; empty without a selection.
  std::string selectedText(std::size_t capacity) const;

  // The word last found under the mouse (-1 before any), and its characters (at most
  // capacity - 1 bytes, separator included).
  int hoverIndex() const { return hover_; }
  std::string hoverWord(std::size_t capacity) const;

  // Hit test: the word at a viewport point, or the last word probed when no word holds it;
  // -1 without words.
  int wordAt(QPoint point) const;
  // The word's text for hover and double click (capacity 30): empty for the first word; with
  // the preceding line feed when the word starts a line of the text; trailing spaces removed.
  std::string wordTextAt(QPoint point) const;

  // Scrolling. position() is in document pixels; every target is a whole number of lines.
  int position() const;
  int maxPosition() const;
  void pageDown();
  void pageUp();
  void lineDown();
  void lineUp();
  void home();
  void end();
  void scrollTo(int target);
  // One pass of the drag loop: scrolls when the cursor (viewport coordinates) lies above or
  // below the window, one line per 10 pixels of distance, at least a line, at most a page.
  void autoScroll(QPoint cursor);
  bool isDragging() const { return dragging_; }

  // The first word whose line is in view (wordCount() when none is).
  int firstVisibleWord() const;

  // Repaints the words of the range that lie in view.
  void repaintWords(int first, int last);

 protected:
  // Runs once, when the window is first shown: takes the focus.
  virtual void setupWindow();
  // Draws word `index`: set the colours and call drawWord. The base draws nothing.
  virtual void paintWord(QPainter& painter, int index);
  // Called once before each paint range, so a subclass can refresh what its painter reads.
  virtual void beginPaintRange() {}
  virtual void onDoubleClickWord(const std::string& word);
  virtual void onHoverWord(const std::string& word);
  // Draws the word's characters (without a final line feed or carriage return) in its
  // rectangle, background first.
  void drawWord(QPainter& painter, int index, const QColor& text, const QColor& background);

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void layout();
  void addWord(std::size_t start, std::size_t length, int& x, int& y, const QFontMetrics& metrics);
  void updateScrollRange();
  int roundToLine(int target) const;
  int clampPosition(int target) const;
  void setPosition(int target);
  void onScrollAction(int action);
  void paintRange(QPainter& painter, int first, int last, const QRegion& region);
  void updateWord(int index);
  void scrollIntoView(int first, int last);
  void relayoutKeepingPlace();
  void stopDragging();
  bool layoutIsStale() const { return viewport()->rect() != clientRect_; }

  std::string text_;
  std::vector<Word> words_;
  QFont font_;
  int lineHeight_ = 1;
  int margin_ = 0;
  int pageHeight_ = 0;
  QRect clientRect_;
  QRect textRect_;
  int anchor_ = -1;
  int end_ = -1;
  int hover_ = -1;
  bool dragging_ = false;
  bool setUp_ = false;
  // The words are being laid out again; the window is drawn afresh when that is done.
  bool relayingOut_ = false;
  // Some words were asked to be drawn again and have not been yet.
  bool wordsPending_ = false;
  QPoint dragPoint_;
  QTimer dragTimer_;
  QPointer<QMenu> popupMenu_;
};

}  // namespace vellum::ui
