#include "app/windows/textview.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <algorithm>

#include "app/utf8.h"

namespace vellum::ui {

namespace {

// Milliseconds between two passes of the drag loop while the left button is held.
constexpr int kDragPassInterval = 30;
// Capacity of the word texts handed to the hover and double-click reactions.
constexpr std::size_t kWordTextCapacity = 30;

bool endsLine(char c) { return c == '\n' || c == '\r'; }

}  // namespace

TTextWindowMDIChild::TTextWindowMDIChild(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  // The bar stays so that the width, and with it the layout, does not change as the text grows
  // or shrinks past a page.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(true);
  viewport()->setBackgroundRole(QPalette::Base);
  // Dragging the thumb moves the view only when it is let go.
  verticalScrollBar()->setTracking(false);
  [[maybe_unused]] const bool scrollConnected =
      static_cast<bool>(connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
                                &TTextWindowMDIChild::onScrollAction));
  Q_ASSERT(scrollConnected);
  dragTimer_.setInterval(kDragPassInterval);
  [[maybe_unused]] const bool timerConnected =
      static_cast<bool>(connect(&dragTimer_, &QTimer::timeout, this, [this] {
        if (!isVisible()) {
          stopDragging();
          return;
        }
        autoScroll(dragPoint_);
      }));
  Q_ASSERT(timerConnected);
  font_ = font();
  layout();
}

TTextWindowMDIChild::~TTextWindowMDIChild() = default;

void TTextWindowMDIChild::setText(std::string text) {
  // The text is a C string to everything that reads it back (copy, print, the engine).
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  text_ = std::move(text);
  anchor_ = end_ = -1;
  // An index into the old table means nothing in the new one.
  hover_ = -1;
  stopDragging();
  {
    const QScopedValueRollback relaying(relayingOut_, true);
    layout();
    setPosition(0);
  }
  viewport()->update();
}

void TTextWindowMDIChild::setTextFont(const QFont& font) {
  font_ = font;
  relayoutKeepingPlace();
}

// Laying out starts again at the top of the text. The selection, or else the word that was at
// the top of the window, is brought back into view so the reader keeps their place.
void TTextWindowMDIChild::relayoutKeepingPlace() {
  {
    const QScopedValueRollback relaying(relayingOut_, true);
    const int topWord = firstVisibleWord();
    layout();
    setPosition(clampPosition(position()));  // whole lines of the new layout
    if (hasSelection())
      scrollIntoView(selectionFirst(), selectionLast());
    else if (topWord < wordCount())
      scrollTo(word(topWord).top);
  }
  viewport()->update();
}

void TTextWindowMDIChild::setPopupMenu(QMenu* menu) { popupMenu_ = menu; }

QRect TTextWindowMDIChild::wordRect(int index) const {
  if (index < 0 || index >= wordCount()) return {};
  const Word& w = word(index);
  return QRect(w.left, w.top, w.right - w.left, w.bottom - w.top);
}

std::string TTextWindowMDIChild::wordText(int index) const {
  if (index < 0 || index >= wordCount()) return {};
  const Word& w = word(index);
  return text_.substr(w.start, w.length);
}

// ---- Layout ----

void TTextWindowMDIChild::layout() {
  const QFontMetrics metrics(font_);
  lineHeight_ = std::max(1, metrics.height());
  margin_ = lineHeight_ / 2;
  clientRect_ = viewport()->rect();
  textRect_ = QRect(margin_, margin_, std::max(0, clientRect_.width() - 2 * margin_),
                    std::max(0, clientRect_.height() - 2 * margin_));
  pageHeight_ = clientRect_.height();
  words_.clear();
  words_.reserve(text_.size() / 5 + 1);

  int x = margin_;
  int y = 0;
  std::size_t start = 0;
  const std::size_t size = text_.size();
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size) {
      addWord(start, i - start, x, y, metrics);
      break;
    }
    const char c = text_[i];
    if (c == ' ') {
      addWord(start, i - start + 1, x, y, metrics);
      start = i + 1;
    } else if (c == '\n' || c == '\r') {
      addWord(start, i - start + 1, x, y, metrics);
      x = margin_;
      y += lineHeight_;
      // A carriage return makes one line end with the line feed that follows it; a lone one
      // ends the line by itself (the next character is text, or the end).
      if (c == '\r' && i + 1 < size && text_[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  updateScrollRange();
}

void TTextWindowMDIChild::addWord(std::size_t start, std::size_t length, int& x, int& y,
                                  const QFontMetrics& metrics) {
  if (length == 0) return;
  std::size_t measured = length;
  if (endsLine(text_[start + length - 1])) --measured;
  const int width = metrics.horizontalAdvance(
      QString::fromUtf8(text_.data() + start, static_cast<int>(measured)));
  // A word that does not fit starts the next line; one wider than the window still stands at
  // the margin of a line of its own rather than leaving an empty line above it.
  if (x + width >= clientRect_.width() && x > margin_) {
    x = margin_;
    y += lineHeight_;
  }
  words_.push_back(Word{start, length, x, y, x + width, y + lineHeight_});
  x += width;
}

// The bar's signals stay connected: the scroll area keeps its own record of the offset, from
// which it tells scrollContentsBy how far the pixels on screen have to move. A value changed
// behind its back (the range shrinking under the position, say) would make the next scroll
// move them by the wrong distance.
void TTextWindowMDIChild::updateScrollRange() {
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, maxPosition());
  bar->setPageStep(std::max(1, pageHeight_));
  bar->setSingleStep(lineHeight_);
}

// ---- Scrolling ----

int TTextWindowMDIChild::position() const { return verticalScrollBar()->value(); }

int TTextWindowMDIChild::roundToLine(int target) const {
  return target <= 0 ? 0 : target - target % lineHeight_;
}

int TTextWindowMDIChild::maxPosition() const {
  if (words_.empty()) return 0;
  return roundToLine(words_.back().bottom - pageHeight_ + lineHeight_);
}

int TTextWindowMDIChild::clampPosition(int target) const {
  return roundToLine(std::min(target, maxPosition()));
}

void TTextWindowMDIChild::setPosition(int target) { verticalScrollBar()->setValue(target); }

void TTextWindowMDIChild::lineUp() {
  const int target = clampPosition(position() - lineHeight_);
  if (target != position()) setPosition(target);
}

void TTextWindowMDIChild::lineDown() {
  const int target = clampPosition(position() + lineHeight_);
  if (target != position()) setPosition(target);
}

void TTextWindowMDIChild::pageUp() { setPosition(clampPosition(position() - pageHeight_)); }

void TTextWindowMDIChild::pageDown() { setPosition(clampPosition(position() + pageHeight_)); }

void TTextWindowMDIChild::home() { setPosition(0); }

void TTextWindowMDIChild::end() { setPosition(maxPosition()); }

void TTextWindowMDIChild::scrollTo(int target) {
  const int rounded = clampPosition(target);
  if (rounded != position()) setPosition(rounded);
}

void TTextWindowMDIChild::scrollContentsBy(int /*dx*/, int dy) {
  // Line steps move the pixels already drawn; anything larger is drawn afresh. So is every
  // move while the words are laid out again (the pixels on screen belong to the old layout),
  // and every move while some words wait to be drawn again (their stale pixels would be
  // moved to where no repaint reaches them).
  if (dy != 0 && std::abs(dy) < viewport()->height() && !relayingOut_ && !wordsPending_)
    viewport()->scroll(0, dy);
  else
    viewport()->update();
}

// The scroll bar's own actions follow the same rules as the keys: the slider position is
// corrected before the bar applies it.
void TTextWindowMDIChild::onScrollAction(int action) {
  QScrollBar* bar = verticalScrollBar();
  const int current = bar->value();
  int target = current;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      target = clampPosition(current + lineHeight_);
      break;
    case QAbstractSlider::SliderSingleStepSub:
      target = clampPosition(current - lineHeight_);
      break;
    case QAbstractSlider::SliderPageStepAdd:
      target = clampPosition(current + pageHeight_);
      break;
    case QAbstractSlider::SliderPageStepSub:
      target = clampPosition(current - pageHeight_);
      break;
    case QAbstractSlider::SliderToMinimum:
      target = 0;
      break;
    case QAbstractSlider::SliderToMaximum:
      target = maxPosition();
      break;
    case QAbstractSlider::SliderMove:
      target = clampPosition(bar->sliderPosition());
      break;
    default:
      return;
  }
  bar->setSliderPosition(target);
}

void TTextWindowMDIChild::autoScroll(QPoint cursor) {
  if (words_.empty()) return;
  const int height = clientRect_.height();
  int delta = 0;
  if (cursor.y() < 0) {
    delta = (cursor.y() / 10) * lineHeight_;
    delta = std::min(std::max(delta, -pageHeight_), -lineHeight_);
  } else if (cursor.y() >= height) {
    delta = ((cursor.y() - height) / 10) * lineHeight_;
    delta = std::max(std::min(delta, pageHeight_), lineHeight_);
  } else {
    return;
  }
  // Bounded like every other scroll, so a pass below the window at the end of the text never
  // moves the view back up.
  const int before = position();
  scrollTo(std::clamp(before + delta, 0, maxPosition()));
  // The words under the cursor changed: the selection follows them as a mouse move would.
  if (dragging_ && position() != before) {
    hover_ = wordAt(cursor);
    selectWords(anchor_, hover_);
  }
}

// ---- Hit tests ----

int TTextWindowMDIChild::wordAt(QPoint point) const {
  const int x = point.x();
  const int y = point.y() + position();
  int low = 0;
  int high = wordCount() - 1;
  int probed = -1;
  while (low <= high) {
    const int middle = low + (high - low) / 2;
    probed = middle;
    const Word& w = words_[static_cast<std::size_t>(middle)];
    int order;
    if (w.left <= x && x < w.right && w.top <= y && y < w.bottom)
      order = 0;
    else if (y < w.top)
      order = -1;
    else if (y >= w.bottom)
      order = 1;
    else
      order = x - w.left;
    if (order == 0) return middle;
    if (order < 0)
      high = middle - 1;
    else
      low = middle + 1;
  }
  return probed;
}

std::string TTextWindowMDIChild::wordTextAt(QPoint point) const {
  const int index = wordAt(point);
  if (index <= 0) return {};
  const Word& w = word(index);
  std::size_t start = w.start;
  std::size_t length = w.length;
  // A word that starts a line of the text keeps the line feed before it, which is what tells a
  // verse number from the same digits inside a verse.
  if (start > 0 && text_[start - 1] == '\n') {
    --start;
    ++length;
  }
  std::string result = text_.substr(start, length);
  cutUtf8(result, kWordTextCapacity - 1);
  while (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

// ---- Selection ----

void TTextWindowMDIChild::selectWords(int first, int last) {
  const int oldFirst = hasSelection() ? selectionFirst() : -1;
  const int oldLast = hasSelection() ? selectionLast() : -1;
  const int count = wordCount();
  if (first < 0 || last < 0 || count == 0) {
    anchor_ = end_ = -1;
  } else {
    anchor_ = std::min(first, count - 1);
    end_ = std::min(last, count - 1);
  }
  // Only the words whose state changed are drawn again, and only those in view.
  const auto wasSelected = [&](int i) { return oldFirst >= 0 && i >= oldFirst && i <= oldLast; };
  const int bottom = position() + pageHeight_;
  for (int i = firstVisibleWord(); i < count && word(i).top < bottom; ++i) {
    if (wasSelected(i) != isSelected(i)) updateWord(i);
  }
}

void TTextWindowMDIChild::repaintWords(int first, int last) {
  if (first > last) std::swap(first, last);
  const int bottom = position() + pageHeight_;
  for (int i = std::max(first, firstVisibleWord());
       i <= last && i < wordCount() && word(i).top < bottom; ++i)
    updateWord(i);
}

void TTextWindowMDIChild::updateWord(int index) {
  const Word& w = word(index);
  wordsPending_ = true;
  viewport()->update(QRect(w.left, w.top - position(), w.right - w.left, w.bottom - w.top));
}

void TTextWindowMDIChild::selectCharacters(std::size_t start, std::size_t end) {
  if (words_.empty()) return;
  // The word whose span (first character to separator) holds the offset, or the last probed.
  const auto holding = [this](std::size_t offset) {
    int low = 0;
    int high = wordCount() - 1;
    int probed = 0;
    while (low <= high) {
      const int middle = low + (high - low) / 2;
      probed = middle;
      const Word& w = words_[static_cast<std::size_t>(middle)];
      if (offset < w.start)
        high = middle - 1;
      else if (offset >= w.start + w.length)
        low = middle + 1;
      else
        return middle;
    }
    return probed;
  };
  const int a = holding(start);
  const int b = holding(end);
  selectWords(a, b);
  scrollIntoView(std::min(a, b), std::max(a, b));
}

void TTextWindowMDIChild::scrollIntoView(int first, int last) {
  const Word& top = word(first);
  const Word& bottom = word(last);
  if (top.top >= position() && bottom.bottom <= position() + pageHeight_) return;
  // Centred vertically; a range taller than a page shows its top.
  scrollTo(top.top - std::max(0, (pageHeight_ - (bottom.bottom - top.top)) / 2));
}

int TTextWindowMDIChild::firstVisibleWord() const {
  const auto it = std::lower_bound(words_.begin(), words_.end(), position(),
                                   [](const Word& w, int top) { return w.top < top; });
  return static_cast<int>(it - words_.begin());
}

std::string TTextWindowMDIChild::selectedText(std::size_t capacity) const {
  if (!hasSelection() || capacity == 0) return {};
  const Word& first = word(selectionFirst());
  const Word& last = word(selectionLast());
  std::string result = text_.substr(first.start, last.start + last.length - first.start);
  cutUtf8(result, capacity - 1);
  return result;
}

std::string TTextWindowMDIChild::hoverWord(std::size_t capacity) const {
  if (hover_ < 0 || hover_ >= wordCount() || capacity == 0) return {};
  std::string result = wordText(hover_);
  cutUtf8(result, capacity - 1);
  return result;
}

// ---- Painting ----

void TTextWindowMDIChild::paintWord(QPainter& /*painter*/, int /*index*/) {}

void TTextWindowMDIChild::drawWord(QPainter& painter, int index, const QColor& text,
                                   const QColor& background) {
  const Word& w = word(index);
  const QRect rect(w.left, w.top - position(), w.right - w.left, w.bottom - w.top);
  painter.fillRect(rect, background);
  std::size_t length = w.length;
  if (length > 0 && endsLine(text_[w.start + length - 1])) --length;
  painter.setPen(text);
  painter.drawText(QPoint(rect.left(), rect.top() + painter.fontMetrics().ascent()),
                   QString::fromUtf8(text_.data() + w.start, static_cast<int>(length)));
}

void TTextWindowMDIChild::paintRange(QPainter& painter, int first, int last,
                                     const QRegion& region) {
  if (words_.empty()) return;
  if (first > last) std::swap(first, last);
  beginPaintRange();
  painter.setFont(font_);
  painter.setBackgroundMode(Qt::TransparentMode);  // drawWord fills each word's background
  const int pos = position();
  for (int i = std::max(first, firstVisibleWord()); i <= last && i < wordCount(); ++i) {
    const Word& w = word(i);
    if (w.top >= pos + pageHeight_) break;
    const QRect rect(w.left, w.top - pos, w.right - w.left, w.bottom - w.top);
    if (region.intersects(rect)) paintWord(painter, i);
  }
}

void TTextWindowMDIChild::paintEvent(QPaintEvent* event) {
  wordsPending_ = false;
  // A size change is laid out when it happens (resizeEvent); should one reach the paint
  // first, the layout follows it here, keeping the place, and the whole window is drawn again.
  if (layoutIsStale()) relayoutKeepingPlace();
  QPainter painter(viewport());
  paintRange(painter, 0, wordCount() - 1, event->region());
}

// ---- Window events ----

void TTextWindowMDIChild::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (!layoutIsStale()) return;
  relayoutKeepingPlace();
}

void TTextWindowMDIChild::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  if (setUp_) return;
  setUp_ = true;
  if (layoutIsStale()) relayoutKeepingPlace();
  setupWindow();
}

void TTextWindowMDIChild::setupWindow() { setFocus(); }

void TTextWindowMDIChild::onDoubleClickWord(const std::string& /*word*/) {}

void TTextWindowMDIChild::onHoverWord(const std::string& /*word*/) {}

void TTextWindowMDIChild::stopDragging() {
  dragging_ = false;
  dragTimer_.stop();
}

void TTextWindowMDIChild::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (event->button() == Qt::RightButton) {
    if (popupMenu_ != nullptr) popupMenu_->popup(viewport()->mapToGlobal(point));
    event->accept();
    return;
  }
  if (event->button() != Qt::LeftButton || !hasText() || !textRect_.contains(point)) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  const int hit = wordAt(point);
  // Shift extends from the anchor only when nothing but the left button and shift are down.
  const bool extend = event->modifiers() == Qt::ShiftModifier &&
                      event->buttons() == Qt::LeftButton && hasSelection();
  if (extend)
    selectWords(anchor_, hit);
  else
    selectWords(hit, hit);
  // Qt keeps sending this window the mouse while the button is held (the implicit grab); the
  // timer runs the auto-scroll passes in between.
  dragging_ = true;
  dragPoint_ = point;
  dragTimer_.start();
  event->accept();
}

void TTextWindowMDIChild::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  hover_ = wordAt(point);
  if (!hasText()) return;
  if (dragging_) {
    if (!(event->buttons() & Qt::LeftButton)) {
      stopDragging();
      return;
    }
    dragPoint_ = point;
    selectWords(anchor_, hover_);
  } else {
    onHoverWord(wordTextAt(point));
  }
}

void TTextWindowMDIChild::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  stopDragging();
  setFocus();
}

void TTextWindowMDIChild::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  bool minimised = false;
  for (const QWidget* w = this; w != nullptr; w = w->parentWidget())
    minimised = minimised || w->isMinimized();
  if (!minimised && hasText()) onDoubleClickWord(wordTextAt(event->position().toPoint()));
  setFocus();
}

void TTextWindowMDIChild::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_PageUp:
      pageUp();
      break;
    case Qt::Key_PageDown:
      pageDown();
      break;
    case Qt::Key_Home:
      home();
      break;
    case Qt::Key_End:
      end();
      break;
    case Qt::Key_Up:
      lineUp();
      break;
    case Qt::Key_Down:
      lineDown();
      break;
    case Qt::Key_Left:
    case Qt::Key_Right:
      break;
    default:
      event->ignore();
      return;
  }
  event->accept();
}

}  // namespace vellum::ui
