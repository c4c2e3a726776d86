#include "app/windows/parallel.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstring>

#include "app/dialog_base.h"
#include "app/reference_dlg.h"
#include "app/window_utils.h"
#include "app/windows/compose_passage.h"
#include "app/windows/hilight.h"
#include "app/windows/passage.h"
#include "engine/bible/discovery.h"
#include "engine/bible/parallel.h"

namespace vellum::ui {
namespace {

constexpr int kDialogId = 1010;
constexpr int kListId = 11069;
constexpr int kHelpContext = 1260;
constexpr int kMaxModules = 10;
constexpr const char* kCaptionName = "Parallel Translations";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

QString displayName(BibleHandle* module) {
  bibleName name;
  getBibleName(&name, module);
  return QString::fromUtf8(name.name, static_cast<qsizetype>(strnlen(name.name, sizeof name.name)));
}

}  // namespace

// One translation: its module, its highlights and the name its header shows.
struct TParallelView::Column {
  struct Closer {
    void operator()(BibleHandle* module) const { closeBible(module); }
  };
  std::unique_ptr<BibleHandle, Closer> module;
  std::unique_ptr<THilight> hilight;
  QString name;
  Reference chapter{0, 0, 0};  // the chapter shown, in this translation's books; chapter 0: none
  ~Column() {
    hilight.reset();  // the highlight store borrows the module
  }
};

// The row of column headers above the rows: each translation's name, centred over its column.
class ParallelHeader : public QWidget {
 public:
  explicit ParallelHeader(TParallelView* view) : QWidget(view), view_(view) {
    setObjectName("ParallelHeader");
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(palette().color(QPalette::ButtonText));
    for (int column = 0; column < view_->columnCount(); ++column) {
      const QRect cell(view_->columnLeft(column), 0, view_->columnWidth(), height());
      painter.drawText(cell, Qt::AlignCenter,
                       painter.fontMetrics().elidedText(view_->columnName(column), Qt::ElideRight,
                                                        cell.width() - 8));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, height() - 1, width(), height() - 1);
  }

 private:
  TParallelView* view_;
};

TParallelView::TParallelView(const std::vector<bibleName>& bibles, std::string* why,
                             QWidget* parent)
    : QAbstractScrollArea(parent) {
  setObjectName("TParallelView");
  setAttribute(Qt::WA_DeleteOnClose);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  horizontalScrollBar()->setRange(0, 0);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  for (const bibleName& bible : bibles) {
    auto column = std::make_unique<Column>();
    std::string problem;
    column->module.reset(openBible(&bible, &problem));
    if (!column->module) {
      if (why)
        *why = std::string(bible.path, strnlen(bible.path, sizeof bible.path)) + ": " + problem;
      return;
    }
    column->hilight = std::make_unique<THilight>(column->module.get());
    column->name = displayName(column->module.get());
    columns_.push_back(std::move(column));
  }
  open_ = columns_.size() >= kMinColumns && columns_.size() <= kMaxColumns;
  if (!open_ && why) *why = "two to four translations are needed";
  header_ = new ParallelHeader(this);
  applyScreenFont();
}

TParallelView::~TParallelView() = default;

BibleHandle* TParallelView::module(int column) const {
  return column >= 0 && column < columnCount() ? columns_[std::size_t(column)]->module.get()
                                               : nullptr;
}

QString TParallelView::columnName(int column) const {
  return column >= 0 && column < columnCount() ? columns_[std::size_t(column)]->name : QString();
}

// ---- Showing a chapter ----

bool TParallelView::showReference(Reference reference) {
  if (!open_) return false;
  BibleHandle* first = module(0);
  // The verse must be in one of the translations; the first one's book names the place.
  bool held = false;
  for (const auto& column : columns_) {
    Reference mapped;
    held = held || mapReference(&mapped, reference, first, column->module.get()) != 0;
  }
  if (!held) return false;
  loadChapter(reference);
  layoutWidth_ = -1;
  layoutRows();
  const int row = reference.verse - 1;
  anchor_ = end_ = row < rowCount() ? row : -1;
  centreRow(row);
  viewport()->update();
  Q_EMIT passageShown();
  return true;
}

bool TParallelView::followReference(Reference reference, BibleHandle* from) {
  if (!open_) return false;
  const int book = mapBook(reference.book, from, module(0));
  Reference mine{static_cast<std::uint8_t>(std::max(book, 0)), reference.chapter, reference.verse};
  if (book >= 0 && showReference(mine)) return true;
  char text[64] = {};
  unparseReference(text, reference, from);
  setCaption(QString::fromUtf8(text));
  return false;
}

void TParallelView::loadChapter(Reference reference) {
  reference_ = reference;
  BibleHandle* first = module(0);
  std::vector<std::vector<std::string>> lines(columns_.size());
  std::size_t verses = 0;
  std::vector<char> buffer(kChapterBufferSize);
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    Column& column = *columns_[c];
    BibleHandle* module = column.module.get();
    column.chapter = Reference{0, 0, 0};
    Reference mapped;
    mapReference(&mapped, reference, first, module);
    if (mapBook(reference.book, first, module) < 0 || getVersesInChapter(mapped, module) == 0)
      continue;
    column.chapter = Reference{mapped.book, mapped.chapter, 1};
    std::uint32_t offset = 0;
    std::uint16_t verse = 0;
    refLookup(&offset, &verse, mapped, module);
    std::uint16_t length = 0;
    getChapter(buffer.data(), &length, kChapterBufferSize, offset, module);
    // One line per verse, "N text", in verse order; the line's number places it in its row.
    std::string_view text(buffer.data(), length);
    while (!text.empty()) {
      std::size_t end = text.find('\n');
      if (end == std::string_view::npos) end = text.size() - 1;
      std::string line(text.substr(0, end + 1));
      text.remove_prefix(end + 1);
      std::uint16_t number = 0;
      verseLineText(line.c_str(), &number);
      if (number == 0) continue;
      if (lines[c].size() < number) lines[c].resize(number);
      lines[c][number - 1u] = std::move(line);
      verses = std::max<std::size_t>(verses, number);
    }
  }

  rows_.assign(verses, Row{});
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    // Word indices count as the Bible window counts the chapter's words: a word runs up to and
    // including the blank or line feed that ends it, so highlights land on the same words.
    int index = 0;
    for (std::size_t r = 0; r < verses; ++r) {
      Row& row = rows_[r];
      row.cells.resize(columns_.size());
      Cell& cell = row.cells[c];
      if (r < lines[c].size()) cell.line = std::move(lines[c][r]);
      std::size_t start = 0;
      for (std::size_t i = 0; i < cell.line.size(); ++i) {
        if (cell.line[i] != ' ' && cell.line[i] != '\n') continue;
        cell.words.push_back(Word{start, i + 1 - start, index++, QRect()});
        start = i + 1;
      }
      if (start < cell.line.size())
        cell.words.push_back(Word{start, cell.line.size() - start, index++, QRect()});
    }
  }
  setCaption();
}

Reference TParallelView::currentReference() const { return reference_; }

void TParallelView::setCaption(const QString& note) {
  char text[64] = {};
  if (open_) unparseReference(text, reference_, module(0));
  QString caption = QString::fromUtf8(text) + " - " + kCaptionName;
  if (!note.isEmpty()) caption += " [" + note + ": not in these translations]";
  setWindowTitle(caption);
}

QString TParallelView::cellText(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return {};
  std::string line = rows_[std::size_t(row)].cells[std::size_t(column)].line;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return QString::fromStdString(line);
}

// ---- Layout ----

void TParallelView::applyScreenFont() {
  font_ = screenFont(*this);
  widths_.clear();
  const QFontMetrics metrics(font_);
  lineHeight_ = std::max(1, metrics.height());
  QFont headerFont = font_;
  headerFont.setBold(true);
  header_->setFont(headerFont);
  const int headerHeight = QFontMetrics(headerFont).height() + lineHeight_ / 2;
  setViewportMargins(0, headerHeight, 0, 0);
  header_->setGeometry(frameWidth(), frameWidth(), viewport()->width(), headerHeight);
  layoutWidth_ = -1;
  layoutRows();
  viewport()->update();
}

int TParallelView::columnWidth() const {
  return std::max(1, viewport()->width() / std::max(1, columnCount()));
}

int TParallelView::columnLeft(int column) const { return column * columnWidth(); }

void TParallelView::layoutCell(Cell& cell, int width, const QFontMetrics& metrics) const {
  const int margin = lineHeight_ / 2;
  int x = 0;
  int y = 0;
  cell.lines = cell.words.empty() ? 0 : 1;
  for (Word& word : cell.words) {
    std::size_t length = word.length;
    if (length > 0 && cell.line[word.start + length - 1] == '\n') --length;
    const std::string text = cell.line.substr(word.start, length);
    auto [known, added] = widths_.try_emplace(text, 0);
    if (added)
      known->second = metrics.horizontalAdvance(
          QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    const int w = known->second;
    // A word that does not fit starts a new line; one wider than the cell stands alone.
    if (x > 0 && x + w >= width - 2 * margin) {
      x = 0;
      y += lineHeight_;
      ++cell.lines;
    }
    word.rect = QRect(margin + x, y, w, lineHeight_);
    x += w;
  }
}

void TParallelView::layoutRows() {
  const int width = columnWidth();
  if (width == layoutWidth_) return;
  layoutWidth_ = width;
  const QFontMetrics metrics(font_);
  int top = lineHeight_ / 2;
  for (Row& row : rows_) {
    int lines = 1;
    for (Cell& cell : row.cells) {
      layoutCell(cell, width, metrics);
      lines = std::max(lines, cell.lines);
    }
    row.top = top;
    row.height = lines * lineHeight_ + lineHeight_ / 2;
    top += row.height;
  }
  documentHeight_ = top + lineHeight_ / 2;
  updateScrollRange();
}

void TParallelView::updateScrollRange() {
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, std::max(0, documentHeight_ - viewport()->height()));
  bar->setPageStep(std::max(1, viewport()->height()));
  bar->setSingleStep(lineHeight_);
}

QRect TParallelView::cellRect(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return {};
  const Row& r = rows_[std::size_t(row)];
  return QRect(columnLeft(column), r.top, columnWidth(), r.height);
}

int TParallelView::rowAt(int documentY) const {
  auto it = std::upper_bound(rows_.begin(), rows_.end(), documentY,
                             [](int y, const Row& row) { return y < row.top + row.height; });
  if (it == rows_.end()) return rowCount() - 1;
  return static_cast<int>(it - rows_.begin());
}

int TParallelView::position() const { return verticalScrollBar()->value(); }

void TParallelView::scrollTo(int target) { verticalScrollBar()->setValue(target); }

int TParallelView::firstVisibleRow() const { return rows_.empty() ? -1 : rowAt(position()); }

void TParallelView::centreRow(int row) {
  if (row < 0 || row >= rowCount()) {
    scrollTo(0);
    return;
  }
  const Row& r = rows_[std::size_t(row)];
  scrollTo(r.top - std::max(0, (viewport()->height() - r.height) / 2));
}

// ---- Painting ----

void TParallelView::paintCell(QPainter& painter, const Cell& cell, int column, QPoint origin,
                              bool selected) {
  Column& translation = *columns_[std::size_t(column)];
  BibleHandle* module = translation.module.get();
  const bool strongsShown = getStrongs(module) != 0;
  const bool hilights = !strongsShown && translation.hilight->canHilight();
  for (std::size_t i = 0; i < cell.words.size(); ++i) {
    const Word& word = cell.words[i];
    std::size_t length = word.length;
    if (length > 0 && cell.line[word.start + length - 1] == '\n') --length;
    if (length == 0) continue;
    const bool digit = isDigit(cell.line[word.start]);
    WordLook look;
    look.selected = selected;
    look.verseNumber = digit && i == 0;
    look.strongsNumber = digit && i > 0;
    look.strongsShown = strongsShown;
    if (hilights) look.hilight = translation.hilight->getHilight(translation.chapter, word.index);
    const WordColors colors = wordLookColors(look, palette());
    const QRect rect = word.rect.translated(origin);
    painter.fillRect(rect, colors.background);
    painter.setPen(colors.text);
    painter.drawText(
        QPoint(rect.left(), rect.top() + painter.fontMetrics().ascent()),
        QString::fromUtf8(cell.line.data() + word.start, static_cast<qsizetype>(length)));
  }
}

void TParallelView::paintEvent(QPaintEvent* event) {
  layoutRows();
  QPainter painter(viewport());
  painter.fillRect(event->rect(), palette().color(QPalette::Base));
  painter.setFont(font_);
  const int pos = position();
  const int height = viewport()->height();
  for (int r = std::max(0, firstVisibleRow()); r < rowCount(); ++r) {
    const Row& row = rows_[std::size_t(r)];
    if (row.top - pos >= height) break;
    const bool selected =
        hasSelection() && r >= std::min(anchor_, end_) && r <= std::max(anchor_, end_);
    for (int c = 0; c < columnCount(); ++c)
      paintCell(painter, row.cells[std::size_t(c)], c, QPoint(columnLeft(c), row.top - pos),
                selected);
  }
  painter.setPen(palette().color(QPalette::Mid));
  for (int c = 1; c < columnCount(); ++c) painter.drawLine(columnLeft(c), 0, columnLeft(c), height);
}

void TParallelView::scrollContentsBy(int /*dx*/, int /*dy*/) { viewport()->update(); }

void TParallelView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  header_->setGeometry(frameWidth(), frameWidth(), viewport()->width(), viewportMargins().top());
  const int row = firstVisibleRow();
  layoutRows();
  updateScrollRange();
  if (row >= 0) scrollTo(rows_[std::size_t(row)].top);
}

void TParallelView::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  if (setUp_) return;
  setUp_ = true;
  setFocus();
  if (!start_) return;
  const Place place = *start_;
  start_.reset();
  if (!showReference(place.reference)) return;
  if (place.anchor >= 0 && place.anchor < rowCount() && place.end >= 0 && place.end < rowCount())
    selectRows(place.anchor, place.end);
  if (place.topRow >= 0 && place.topRow < rowCount())
    scrollTo(rows_[std::size_t(place.topRow)].top);
}

TParallelView::Place TParallelView::place() const {
  return Place{reference_, anchor_, end_, firstVisibleRow()};
}

// ---- Selection and copy ----

void TParallelView::selectRows(int anchor, int end) {
  anchor_ = anchor;
  end_ = end;
  viewport()->update();
}

std::string TParallelView::selectedText() const {
  if (!hasSelection()) return {};
  std::string text;
  BibleHandle* first = module(0);
  for (int r = std::min(anchor_, end_); r <= std::max(anchor_, end_) && r < rowCount(); ++r) {
    Reference verse = reference_;
    verse.verse = static_cast<std::uint8_t>(r + 1);
    for (int c = 0; c < columnCount(); ++c) {
      const Cell& cell = rows_[std::size_t(r)].cells[std::size_t(c)];
      BibleHandle* own = module(c);
      Reference mapped;
      mapReference(&mapped, verse, first, own);
      char reference[64] = {};
      unparseReference(reference, mapBook(verse.book, first, own) >= 0 ? mapped : verse,
                       mapBook(verse.book, first, own) >= 0 ? own : first);
      std::uint16_t number = 0;
      std::string line = cell.line.empty() ? std::string("(not in this translation)")
                                           : std::string(verseLineText(cell.line.c_str(), &number));
      if (!line.empty() && line.back() == '\n') line.pop_back();
      // Added words stand in square brackets in the text; copies never carry them.
      std::erase_if(line, [](char ch) { return ch == '[' || ch == ']'; });
      text += std::string(reference) + " (" + columnName(c).toStdString() + ") " + line + "\n";
    }
  }
  return text;
}

// ---- Strong's numbers ----

bool TParallelView::hasStrongsNumbers() const {
  return std::any_of(columns_.begin(), columns_.end(),
                     [](const auto& column) { return hasStrongs(column->module.get()) != 0; });
}

bool TParallelView::strongsShown() const {
  return std::any_of(columns_.begin(), columns_.end(),
                     [](const auto& column) { return getStrongs(column->module.get()) != 0; });
}

void TParallelView::toggleStrongs() {
  const int show = strongsShown() ? 0 : 1;
  for (const auto& column : columns_)
    if (hasStrongs(column->module.get())) setStrongs(column->module.get(), show);
  const int anchor = anchor_;
  const int end = end_;
  const int top = firstVisibleRow();
  loadChapter(reference_);
  layoutWidth_ = -1;
  layoutRows();
  anchor_ = anchor;
  end_ = end;
  if (top >= 0 && top < rowCount()) scrollTo(rows_[std::size_t(top)].top);
  viewport()->update();
}

// ---- Mouse and keys ----

void TParallelView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || rows_.empty()) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  const int row = rowAt(event->position().toPoint().y() + position());
  if (event->modifiers().testFlag(Qt::ShiftModifier) && anchor_ >= 0)
    selectRows(anchor_, row);
  else
    selectRows(row, row);
  dragging_ = true;
  setFocus();
}

void TParallelView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  const int y = event->position().toPoint().y();
  if (y < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  if (y > viewport()->height())
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  selectRows(anchor_, rowAt(std::clamp(y, 0, viewport()->height()) + position()));
}

void TParallelView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  dragging_ = false;
  if (!hasSelection()) return;
  Reference verse = reference_;
  verse.verse = static_cast<std::uint8_t>(std::min(anchor_, end_) + 1);
  Q_EMIT verseClicked(verse);
}

void TParallelView::keyPressEvent(QKeyEvent* event) {
  QScrollBar* bar = verticalScrollBar();
  switch (event->key()) {
    case Qt::Key_Up:
      bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
      break;
    case Qt::Key_Down:
      bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      break;
    case Qt::Key_PageUp:
      bar->triggerAction(QAbstractSlider::SliderPageStepSub);
      break;
    case Qt::Key_PageDown:
      bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
      break;
    case Qt::Key_Home:
      bar->triggerAction(QAbstractSlider::SliderToMinimum);
      break;
    case Qt::Key_End:
      bar->triggerAction(QAbstractSlider::SliderToMaximum);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

// ---- Commands ----

bool TParallelView::handleCommand(int id) {
  switch (id) {
    case CmEditCopy:
      _SetClipboardData(clipboardLineEnds(selectedText()).c_str(), this);
      return true;
    case CmGoto: {
      Reference reference;
      QByteArray text;
      // Linked windows follow the passage gone to, as they follow a verse clicked.
      if (runGotoDialog(this, module(0), &reference, &text) && showReference(reference))
        Q_EMIT verseClicked(reference);
      setFocus();
      return true;
    }
    default:
      return false;
  }
}

bool TParallelView::commandState(int id, CommandState& state) {
  switch (id) {
    case CmEditCopy:
      state.enabled = hasSelection() && !rows_.empty();
      return true;
    case CmGoto:
      state.enabled = open_;
      return true;
    default:
      return false;
  }
}

// ---- The dialog ----

namespace {

class TParallelDlg : public TOkCancelHelpDlg {
 public:
  TParallelDlg(QWidget* owner, const char* directories, const bibleName* first)
      : TOkCancelHelpDlg(owner, kDialogId), list_(new QListWidget(this)) {
    setWindowTitle("Parallel Translations");
    setHelpContext(kHelpContext);
    std::array<bibleName, kMaxModules> found{};
    std::uint16_t count = 0;
    getBibleNames(found.data(), &count, directories ? directories : "", kMaxModules);
    // The active window's translation comes first, checked.
    for (std::uint16_t i = 0; i < count; ++i) {
      const bool isFirst =
          first && std::strncmp(found[i].path, first->path, sizeof first->path) == 0;
      if (isFirst)
        names_.insert(names_.begin(), found[i]);
      else
        names_.push_back(found[i]);
    }
    list_->setObjectName(QString::number(kListId));
    for (const bibleName& name : names_) {
      auto* item = new QListWidgetItem(
          QString::fromUtf8(name.name,
                            static_cast<qsizetype>(strnlen(name.name, sizeof name.name))),
          list_);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      const bool isFirst = first && std::strncmp(name.path, first->path, sizeof name.path) == 0;
      item->setCheckState(isFirst ? Qt::Checked : Qt::Unchecked);
    }
    if (list_->count() > 0) list_->setCurrentRow(0);
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel("Show these translations side by side (two to four):", this);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);
    layout->addWidget(list_);
    addButtonRow(layout);
    list_->setFocus(Qt::OtherFocusReason);
    connect(list_, &QListWidget::itemChanged, this, [this] { updateOkButton(); });
    // Space checks the current entry (the list's own); a double click does too.
    connect(list_, &QListWidget::itemDoubleClicked, this, [](QListWidgetItem* item) {
      item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
    updateOkButton();
  }

  std::vector<bibleName> chosen() const {
    std::vector<bibleName> result;
    for (int i = 0; i < list_->count(); ++i)
      if (list_->item(i)->checkState() == Qt::Checked) result.push_back(names_[std::size_t(i)]);
    return result;
  }

  void CmOk() override {
    const std::size_t count = chosen().size();
    if (count < TParallelView::kMinColumns || count > TParallelView::kMaxColumns) return;
    accept();
  }

 private:
  void updateOkButton() {
    const std::size_t count = chosen().size();
    okButton()->setEnabled(count >= TParallelView::kMinColumns &&
                           count <= TParallelView::kMaxColumns);
  }

  QListWidget* list_;
  std::vector<bibleName> names_;
};

}  // namespace

std::vector<bibleName> runParallelDlg(QWidget* owner, const char* directories,
                                      const bibleName* first) {
  TParallelDlg dialog(owner, directories, first);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.chosen();
}

}  // namespace vellum::ui
