// Text view: layout and word table, hit tests and word texts, selection by mouse and by
// characters, dragging with auto-scroll, the scrolling rules and keys, partial repainting.
#include "app/windows/textview.h"

#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <set>
#include <string>
#include <vector>

using vellum::ui::TTextWindowMDIChild;

namespace {

// The text view with its hooks recorded.
class Probe : public TTextWindowMDIChild {
 public:
  using TTextWindowMDIChild::TTextWindowMDIChild;
  std::vector<std::string> hovered;
  std::vector<std::string> doubleClicked;
  std::set<int> painted;

 protected:
  void paintWord(QPainter& painter, int index) override {
    painted.insert(index);
    drawWord(painter, index, Qt::black, Qt::white);
  }
  void onHoverWord(const std::string& word) override { hovered.push_back(word); }
  void onDoubleClickWord(const std::string& word) override { doubleClicked.push_back(word); }
};

QFont testFont() {
  QFont font("Liberation Serif");
  font.setPixelSize(16);
  return font;
}

// A view of the given viewport size showing the text, shown offscreen and exposed.
std::unique_ptr<Probe> makeView(const std::string& text, QSize viewportSize = QSize(300, 200)) {
  auto view = std::make_unique<Probe>();
  view->setTextFont(testFont());
  view->show();
  const QSize frame = view->size() - view->viewport()->size();
  view->resize(viewportSize + frame);
  if (!QTest::qWaitForWindowExposed(view.get())) return nullptr;
  QCoreApplication::processEvents();
  view->setText(text);
  return view;
}

// "w0 w1 w2 ..." with a line feed after every fifth word: many lines of short words.
std::string manyLines(int words) {
  std::string text;
  for (int i = 0; i < words; ++i) {
    text += "w" + std::to_string(i);
    text += (i % 5 == 4) ? '\n' : ' ';
  }
  return text;
}

QPoint centreOf(const TTextWindowMDIChild& view, int index) {
  const QRect r = view.wordRect(index);
  return QPoint(r.left() + r.width() / 2, r.top() + r.height() / 2 - view.position());
}

void sendMouse(QWidget* target, QEvent::Type type, QPoint point, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QMouseEvent event(type, point, target->mapToGlobal(point), button, buttons, modifiers);
  QCoreApplication::sendEvent(target, &event);
}

void press(TTextWindowMDIChild& view, int index, Qt::KeyboardModifiers modifiers = {}) {
  sendMouse(view.viewport(), QEvent::MouseButtonPress, centreOf(view, index), Qt::LeftButton,
            Qt::LeftButton, modifiers);
}

void release(TTextWindowMDIChild& view, QPoint point) {
  sendMouse(view.viewport(), QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
}

}  // namespace

class TextViewTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void wordsCarryTheirSeparator();
  void lineEndsStartLines();
  void carriageReturns();
  void wordsWrapAtTheRightEdge();
  void aWordWiderThanTheWindowStandsAloneAtTheMargin();
  void hitTestFindsEveryWord();
  void hitTestOutsideWords();
  void wordTextAtAPoint();
  void selectionByMouse();
  void draggingSelectsAndStops();
  void autoScrollSpeed();
  void scrollingStaysOnWholeLinesWithinTheText();
  void keys();
  void selectCharactersCentres();
  void selectedTextAndHoverWord();
  void hoverAndDoubleClick();
  void selectionRepaintsOnlyChangedWords();
  void resizingKeepsTheSelectionInView();
  void rightButtonShowsThePopupMenu();
  void setTextClearsSelectionAndHover();
};

void TextViewTest::wordsCarryTheirSeparator() {
  auto view = makeView("a b");
  QVERIFY(view);
  QCOMPARE(view->wordCount(), 2);
  QCOMPARE(view->word(0).start, std::size_t{0});
  QCOMPARE(view->word(0).length, std::size_t{2});
  QCOMPARE(view->wordText(0), std::string("a "));
  // A text ending without a line feed still yields its last word.
  QCOMPARE(view->wordText(1), std::string("b"));
  const QFontMetrics metrics(testFont());
  QCOMPARE(view->lineHeight(), metrics.height());
  QCOMPARE(view->margin(), metrics.height() / 2);
  QCOMPARE(view->wordRect(0).left(), view->margin());
  QCOMPARE(view->wordRect(0).width(), metrics.horizontalAdvance("a "));
  QCOMPARE(view->wordRect(1).left(), view->wordRect(0).right() + 1);
  QCOMPARE(view->wordRect(0).top(), 0);
  QCOMPARE(view->wordRect(0).height(), view->lineHeight());

  view->setText("");
  QCOMPARE(view->wordCount(), 0);
  QCOMPARE(view->wordAt(QPoint(10, 10)), -1);
  view->setText("two  spaces");
  QCOMPARE(view->wordCount(), 3);
  QCOMPARE(view->wordText(1), std::string(" "));
}

void TextViewTest::lineEndsStartLines() {
  auto view = makeView("\n\n\n");
  QVERIFY(view);
  QCOMPARE(view->wordCount(), 3);
  for (int i = 0; i < 3; ++i) {
    QCOMPARE(view->wordText(i), std::string("\n"));
    QCOMPARE(view->wordRect(i).top(), i * view->lineHeight());
    QCOMPARE(view->wordRect(i).left(), view->margin());
    QCOMPARE(view->wordRect(i).width(), 0);  // the line feed is not measured
  }
  view->setText("one\ntwo three\n\nfour");
  QCOMPARE(view->wordCount(), 5);
  const int lh = view->lineHeight();
  QCOMPARE(view->wordRect(0).top(), 0);
  QCOMPARE(view->wordRect(1).top(), lh);
  QCOMPARE(view->wordRect(2).top(), lh);
  QCOMPARE(view->wordRect(3).top(), 2 * lh);  // the empty line's own line feed
  QCOMPARE(view->wordRect(4).top(), 3 * lh);
  QCOMPARE(view->wordRect(1).left(), view->margin());
}

void TextViewTest::carriageReturns() {
  auto view = makeView("a\r\nb");
  QVERIFY(view);
  QCOMPARE(view->wordCount(), 2);
  QCOMPARE(view->wordText(0), std::string("a\r"));
  QCOMPARE(view->wordText(1), std::string("b"));  // the pair's line feed belongs to no word
  QCOMPARE(view->wordRect(1).top(), view->lineHeight());
  // A lone carriage return ends its line without swallowing the character after it.
  view->setText("a\rb");
  QCOMPARE(view->wordCount(), 2);
  QCOMPARE(view->wordText(1), std::string("b"));
  view->setText("a\r");
  QCOMPARE(view->wordCount(), 1);
  QCOMPARE(view->wordText(0), std::string("a\r"));
}

void TextViewTest::wordsWrapAtTheRightEdge() {
  auto view = makeView(manyLines(0), QSize(120, 200));
  QVERIFY(view);
  view->setText("aaaa bbbb cccc dddd eeee ffff gggg hhhh");
  const int right = view->viewport()->width();
  int lines = 0;
  for (int i = 0; i < view->wordCount(); ++i) {
    const QRect r = view->wordRect(i);
    QVERIFY(r.left() + r.width() < right);
    if (r.left() == view->margin()) ++lines;
    if (i > 0 && r.top() == view->wordRect(i - 1).top())
      QCOMPARE(r.left(), view->wordRect(i - 1).left() + view->wordRect(i - 1).width());
  }
  QVERIFY(lines > 1);
}

void TextViewTest::aWordWiderThanTheWindowStandsAloneAtTheMargin() {
  const std::string wide(80, 'W');
  auto view = makeView("a " + wide + " b", QSize(200, 200));
  QVERIFY(view);
  QCOMPARE(view->wordCount(), 3);
  const int lh = view->lineHeight();
  QCOMPARE(view->wordRect(0).top(), 0);
  QCOMPARE(view->wordRect(1).left(), view->margin());
  QCOMPARE(view->wordRect(1).top(), lh);
  QVERIFY(view->wordRect(1).width() > view->viewport()->width());
  QCOMPARE(view->wordRect(2).left(), view->margin());
  QCOMPARE(view->wordRect(2).top(), 2 * lh);
  // First in the text, it takes the first line: no empty line above it.
  view->setText(wide + " b");
  QCOMPARE(view->wordRect(0).top(), 0);
  QCOMPARE(view->wordRect(1).top(), lh);
}

void TextViewTest::hitTestFindsEveryWord() {
  auto view = makeView(manyLines(300));
  QVERIFY(view);
  for (int i = 0; i < view->wordCount(); ++i) {
    if (view->wordRect(i).width() == 0) continue;
    view->scrollTo(view->wordRect(i).top() - view->lineHeight());
    QCOMPARE(view->wordAt(centreOf(*view, i)), i);
    const QRect r = view->wordRect(i);
    QCOMPARE(view->wordAt(QPoint(r.left(), r.top() - view->position())), i);
    QCOMPARE(view->wordAt(QPoint(r.right(), r.bottom() - view->position())), i);
  }
}

void TextViewTest::hitTestOutsideWords() {
  auto view = makeView("alpha beta\ngamma");
  QVERIFY(view);
  const int lh = view->lineHeight();
  // Right of the last word of a line, left of the margin, below the text: some word probed.
  const int beyond = view->wordAt(QPoint(view->viewport()->width() - 2, lh / 2));
  QVERIFY(beyond >= 0 && beyond < view->wordCount());
  const int before = view->wordAt(QPoint(0, lh + lh / 2));
  QVERIFY(before >= 0 && before < view->wordCount());
  QCOMPARE(view->wordAt(QPoint(5, 10 * lh)), 2);
}

void TextViewTest::wordTextAtAPoint() {
  auto view = makeView("1 In the beginning\n2 And the earth  \nlast");
  QVERIFY(view);
  // The first word of the text gives nothing.
  QCOMPARE(view->wordTextAt(centreOf(*view, 0)), std::string());
  QCOMPARE(view->wordTextAt(centreOf(*view, 1)), std::string("In"));
  QCOMPARE(view->wordTextAt(centreOf(*view, 3)), std::string("beginning\n"));
  // A word that starts a line carries the line feed before it.
  QCOMPARE(view->wordTextAt(centreOf(*view, 4)), std::string("\n2"));
  QCOMPARE(view->wordTextAt(centreOf(*view, 5)), std::string("And"));
  QCOMPARE(view->wordTextAt(centreOf(*view, view->wordCount() - 1)), std::string("\nlast"));

  // At most 29 bytes, never cutting a character in two.
  view->setText("x " + std::string(40, 'y'));
  QCOMPARE(view->wordTextAt(centreOf(*view, 1)), std::string(29, 'y'));
  std::string accented;
  for (int i = 0; i < 20; ++i) accented += "\xC3\xA9";  // é
  view->setText("x " + accented);
  const std::string cut = view->wordTextAt(centreOf(*view, 1));
  QCOMPARE(cut.size(), std::size_t{28});
  QCOMPARE(QString::fromUtf8(cut.data(), static_cast<int>(cut.size())), QString(14, QChar(0xE9)));
}

void TextViewTest::selectionByMouse() {
  auto view = makeView(manyLines(20));
  QVERIFY(view);
  QCOMPARE(view->selectionAnchor(), -1);
  // Shift with no selection yet starts one.
  press(*view, 2, Qt::ShiftModifier);
  release(*view, centreOf(*view, 2));
  QCOMPARE(view->selectionAnchor(), 2);
  QCOMPARE(view->selectionEnd(), 2);
  press(*view, 3);
  release(*view, centreOf(*view, 3));
  QCOMPARE(view->selectionAnchor(), 3);
  QCOMPARE(view->selectionEnd(), 3);
  // Shift extends from the anchor, in either direction.
  press(*view, 7, Qt::ShiftModifier);
  release(*view, centreOf(*view, 7));
  QCOMPARE(view->selectionAnchor(), 3);
  QCOMPARE(view->selectionEnd(), 7);
  press(*view, 1, Qt::ShiftModifier);
  release(*view, centreOf(*view, 1));
  QCOMPARE(view->selectionAnchor(), 3);
  QCOMPARE(view->selectionFirst(), 1);
  QCOMPARE(view->selectionLast(), 3);
  QVERIFY(view->isSelected(2));
  QVERIFY(!view->isSelected(4));
  // Any other key with shift starts a new selection.
  press(*view, 9, Qt::ShiftModifier | Qt::ControlModifier);
  release(*view, centreOf(*view, 9));
  QCOMPARE(view->selectionAnchor(), 9);
  QCOMPARE(view->selectionEnd(), 9);
  press(*view, 5);
  release(*view, centreOf(*view, 5));
  QCOMPARE(view->selectionAnchor(), 5);
  QCOMPARE(view->selectionEnd(), 5);
  // A press in the margin is not on the text.
  sendMouse(view->viewport(), QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton,
            Qt::LeftButton);
  release(*view, QPoint(1, 1));
  QCOMPARE(view->selectionAnchor(), 5);
  QVERIFY(!view->isDragging());
}

void TextViewTest::draggingSelectsAndStops() {
  auto view = makeView(manyLines(40));
  QVERIFY(view);
  press(*view, 1);
  QVERIFY(view->isDragging());
  sendMouse(view->viewport(), QEvent::MouseMove, centreOf(*view, 8), Qt::NoButton, Qt::LeftButton);
  QCOMPARE(view->selectionAnchor(), 1);
  QCOMPARE(view->selectionEnd(), 8);
  QCOMPARE(view->hoverIndex(), 8);
  QVERIFY(view->hovered.empty());  // no hover look-ups while dragging
  release(*view, centreOf(*view, 8));
  QVERIFY(!view->isDragging());
  QVERIFY(view->hasFocus());
  // A move without the left button ends a drag whose release was lost.
  press(*view, 2);
  sendMouse(view->viewport(), QEvent::MouseMove, centreOf(*view, 6), Qt::NoButton, Qt::NoButton);
  QVERIFY(!view->isDragging());
  QCOMPARE(view->selectionEnd(), 2);
}

void TextViewTest::autoScrollSpeed() {
  auto view = makeView(manyLines(2000));
  QVERIFY(view);
  const int lh = view->lineHeight();
  const int page = view->pageHeight();
  const int bottom = view->viewport()->height();
  QCOMPARE(page, bottom);

  view->autoScroll(QPoint(10, bottom + 5));
  QCOMPARE(view->position(), lh);
  view->home();
  view->autoScroll(QPoint(10, bottom + 35));
  QCOMPARE(view->position(), 3 * lh);
  view->home();
  view->autoScroll(QPoint(10, bottom + 2000));
  QCOMPARE(view->position(), page - page % lh);
  view->autoScroll(QPoint(10, bottom / 2));  // inside: no scrolling
  QCOMPARE(view->position(), page - page % lh);

  view->scrollTo(100 * lh);
  view->autoScroll(QPoint(10, -5));
  QCOMPARE(view->position(), 99 * lh);
  view->autoScroll(QPoint(10, -35));
  QCOMPARE(view->position(), 96 * lh);
  view->autoScroll(QPoint(10, -2000));
  QCOMPARE(view->position(), (96 * lh - page) - (96 * lh - page) % lh);

  // Never past the last position, and never back up while dragging below the window.
  view->scrollTo(view->maxPosition() - 2 * lh);
  for (int i = 0; i < 5; ++i) view->autoScroll(QPoint(10, bottom + 2000));
  QCOMPARE(view->position(), view->maxPosition());
  view->autoScroll(QPoint(10, bottom + 5));
  QCOMPARE(view->position(), view->maxPosition());
  view->home();
  view->autoScroll(QPoint(10, -2000));
  QCOMPARE(view->position(), 0);

  // While dragging, the selection follows the words that scroll under the cursor.
  press(*view, 0);
  const QPoint below(10, bottom + 35);
  sendMouse(view->viewport(), QEvent::MouseMove, below, Qt::NoButton, Qt::LeftButton);
  const int before = view->selectionEnd();
  view->autoScroll(below);
  QVERIFY(view->selectionEnd() > before);
  QCOMPARE(view->selectionAnchor(), 0);
  release(*view, below);
}

void TextViewTest::scrollingStaysOnWholeLinesWithinTheText() {
  auto view = makeView(manyLines(500));
  QVERIFY(view);
  const int lh = view->lineHeight();
  const int page = view->pageHeight();
  const int lastBottom = view->wordRect(view->wordCount() - 1).bottom() + 1;
  const int limit = lastBottom - page + lh;
  QCOMPARE(view->maxPosition(), limit - limit % lh);

  int previous = -1;
  while (view->position() != previous) {
    previous = view->position();
    view->lineDown();
    QCOMPARE(view->position() % lh, 0);
    QVERIFY(view->position() <= limit);
  }
  QCOMPARE(view->position(), view->maxPosition());
  view->lineUp();
  QCOMPARE(view->position(), view->maxPosition() - lh);
  view->home();
  QCOMPARE(view->position(), 0);
  view->lineUp();
  QCOMPARE(view->position(), 0);
  const auto wholeLines = [lh](int pixels) { return pixels - pixels % lh; };
  view->pageDown();
  const int onePage = wholeLines(page);
  QCOMPARE(view->position(), onePage);
  view->pageDown();
  const int twoPages = wholeLines(onePage + page);
  QCOMPARE(view->position(), twoPages);
  view->pageUp();
  QCOMPARE(view->position(), wholeLines(twoPages - page));
  view->pageUp();
  view->pageUp();
  QCOMPARE(view->position(), 0);
  view->end();
  QCOMPARE(view->position(), view->maxPosition());
  view->pageDown();
  QCOMPARE(view->position(), view->maxPosition());
  view->scrollTo(5 * lh + lh / 2);
  QCOMPARE(view->position(), 5 * lh);
  view->scrollTo(1000000);
  QCOMPARE(view->position(), view->maxPosition());
  view->scrollTo(-50);
  QCOMPARE(view->position(), 0);

  // The scroll bar follows the same rules.
  QScrollBar* bar = view->verticalScrollBar();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  QCOMPARE(view->position(), lh);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  QCOMPARE(view->position(), view->maxPosition());
  bar->setSliderPosition(7 * lh + 3);
  bar->triggerAction(QAbstractSlider::SliderMove);
  QCOMPARE(view->position(), 7 * lh);

  // A text shorter than the window does not scroll at all.
  view->setText("short text");
  view->end();
  QCOMPARE(view->position(), 0);
  view->lineDown();
  view->pageDown();
  QCOMPARE(view->position(), 0);
}

void TextViewTest::keys() {
  auto view = makeView(manyLines(500));
  QVERIFY(view);
  const int lh = view->lineHeight();
  const int page = view->pageHeight();
  QTest::keyClick(view.get(), Qt::Key_Down);
  QTest::keyClick(view.get(), Qt::Key_Down);
  QCOMPARE(view->position(), 2 * lh);
  QTest::keyClick(view.get(), Qt::Key_Up);
  QCOMPARE(view->position(), lh);
  QTest::keyClick(view.get(), Qt::Key_PageDown);
  QCOMPARE(view->position(), (lh + page) - (lh + page) % lh);
  QTest::keyClick(view.get(), Qt::Key_PageUp);
  QCOMPARE(view->position(), 0);
  QTest::keyClick(view.get(), Qt::Key_End);
  QCOMPARE(view->position(), view->maxPosition());
  QTest::keyClick(view.get(), Qt::Key_Left);
  QTest::keyClick(view.get(), Qt::Key_Right);
  QCOMPARE(view->position(), view->maxPosition());
  QTest::keyClick(view.get(), Qt::Key_Home);
  QCOMPARE(view->position(), 0);
  // Characters are text, not keys: '(' once scrolled a line down.
  QTest::keyClick(view.get(), '(');
  QTest::keyClick(view.get(), '!');
  QCOMPARE(view->position(), 0);
}

void TextViewTest::selectCharactersCentres() {
  auto view = makeView(manyLines(1000));
  QVERIFY(view);
  const int lh = view->lineHeight();
  const int page = view->pageHeight();
  const std::string& text = view->text();
  // The line "w500 ... w504\n".
  const std::size_t start = text.find("w500 ");
  const std::size_t end = text.find('\n', start);
  view->selectCharacters(start, end);
  QCOMPARE(view->selectionFirst(), 500);
  QCOMPARE(view->selectionLast(), 504);
  const QRect first = view->wordRect(500);
  const int expected = first.top() - (page - lh) / 2;
  QCOMPARE(view->position(), expected - expected % lh);
  const int centreOffset = first.top() - view->position() + lh / 2 - page / 2;
  QVERIFY(std::abs(centreOffset) <= lh);

  // Already in view: the view stays.
  const int kept = view->position();
  view->selectCharacters(text.find("w496 "), text.find("w496 ") + 1);
  QCOMPARE(view->selectionFirst(), 496);
  QCOMPARE(view->position(), kept);

  // Taller than a page: its top goes to the top of the window.
  const std::size_t from = text.find("w100 ");
  view->selectCharacters(from, text.find("w900 "));
  QCOMPARE(view->selectionFirst(), 100);
  QCOMPARE(view->selectionLast(), 900);
  QCOMPARE(view->position(), view->wordRect(100).top());

  // Near the end the view stops at its last position.
  view->selectCharacters(text.size() - 1, text.size() - 1);
  QCOMPARE(view->selectionFirst(), view->wordCount() - 1);
  QCOMPARE(view->position(), view->maxPosition());
}

void TextViewTest::selectedTextAndHoverWord() {
  auto view = makeView("alpha beta gamma\ndelta");
  QVERIFY(view);
  QCOMPARE(view->selectedText(100), std::string());
  view->selectWords(2, 1);
  QCOMPARE(view->selectedText(100), std::string("beta gamma\n"));
  QCOMPARE(view->selectedText(6), std::string("beta "));
  QCOMPARE(view->selectedText(0), std::string());
  QCOMPARE(view->hoverIndex(), -1);
  QCOMPARE(view->hoverWord(40), std::string());
  sendMouse(view->viewport(), QEvent::MouseMove, centreOf(*view, 2), Qt::NoButton, Qt::NoButton);
  QCOMPARE(view->hoverIndex(), 2);
  QCOMPARE(view->hoverWord(40), std::string("gamma\n"));
  QCOMPARE(view->hoverWord(3), std::string("ga"));
  // Selecting past the table stops at its last word.
  view->selectWords(1, 99);
  QCOMPARE(view->selectionLast(), 3);
  view->selectWords(-1, -1);
  QVERIFY(!view->hasSelection());
}

void TextViewTest::hoverAndDoubleClick() {
  auto view = makeView("1 In the beginning\n2 And");
  QVERIFY(view);
  sendMouse(view->viewport(), QEvent::MouseMove, centreOf(*view, 0), Qt::NoButton, Qt::NoButton);
  sendMouse(view->viewport(), QEvent::MouseMove, centreOf(*view, 3), Qt::NoButton, Qt::NoButton);
  sendMouse(view->viewport(), QEvent::MouseMove, centreOf(*view, 4), Qt::NoButton, Qt::NoButton);
  QCOMPARE(view->hovered, (std::vector<std::string>{"", "beginning\n", "\n2"}));
  sendMouse(view->viewport(), QEvent::MouseButtonDblClick, centreOf(*view, 1), Qt::LeftButton,
            Qt::LeftButton);
  sendMouse(view->viewport(), QEvent::MouseButtonDblClick, centreOf(*view, 0), Qt::LeftButton,
            Qt::LeftButton);
  QCOMPARE(view->doubleClicked, (std::vector<std::string>{"In", ""}));
  view->setText("");
  sendMouse(view->viewport(), QEvent::MouseButtonDblClick, QPoint(20, 5), Qt::LeftButton,
            Qt::LeftButton);
  QCOMPARE(view->doubleClicked.size(), std::size_t{2});
}

void TextViewTest::selectionRepaintsOnlyChangedWords() {
  auto view = makeView(manyLines(400));
  QVERIFY(view);
  view->selectWords(10, 12);
  view->viewport()->repaint();
  QVERIFY(view->painted.count(10) == 1);
  view->painted.clear();
  view->selectWords(10, 14);
  QVERIFY(QTest::qWaitFor([&] { return !view->painted.empty(); }, 2000));
  QVERIFY(view->painted.count(13) == 1);
  QVERIFY(view->painted.count(14) == 1);
  // Words far from the change, and words out of view, are not drawn again.
  QVERIFY(view->painted.count(40) == 0);
  QVERIFY(view->painted.count(390) == 0);

  // A full repaint draws only the words in the visible band.
  view->painted.clear();
  view->scrollTo(view->wordRect(200).top());
  view->viewport()->repaint();
  QVERIFY(!view->painted.empty());
  const int top = view->position();
  for (int index : view->painted) {
    QVERIFY(view->wordRect(index).top() >= top);
    QVERIFY(view->wordRect(index).top() < top + view->pageHeight());
  }
  QVERIFY(view->painted.count(200) == 1);
}

void TextViewTest::resizingKeepsTheSelectionInView() {
  auto view = makeView(manyLines(1000));
  QVERIFY(view);
  const std::string& text = view->text();
  view->selectCharacters(text.find("w700 "), text.find("w700 "));
  QVERIFY(view->position() > 0);
  view->resize(view->width() + 150, view->height() + 40);
  QCoreApplication::processEvents();
  const QRect selected = view->wordRect(700);
  QVERIFY(selected.top() >= view->position());
  QVERIFY(selected.bottom() < view->position() + view->pageHeight());
  QCOMPARE(view->position() % view->lineHeight(), 0);
}

void TextViewTest::rightButtonShowsThePopupMenu() {
  auto view = makeView("a b c");
  QVERIFY(view);
  // Without a menu nothing happens.
  sendMouse(view->viewport(), QEvent::MouseButtonPress, centreOf(*view, 1), Qt::RightButton,
            Qt::RightButton);
  auto* menu = new QMenu(view.get());
  menu->addAction("x");
  view->setPopupMenu(menu);
  sendMouse(view->viewport(), QEvent::MouseButtonPress, centreOf(*view, 1), Qt::RightButton,
            Qt::RightButton);
  QVERIFY(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
  menu->hide();
  QVERIFY(!view->hasSelection());  // the right button selects nothing
}

void TextViewTest::setTextClearsSelectionAndHover() {
  auto view = makeView(manyLines(300));
  QVERIFY(view);
  view->selectCharacters(view->text().find("w250"), view->text().find("w250"));
  sendMouse(view->viewport(), QEvent::MouseMove, centreOf(*view, 250), Qt::NoButton, Qt::NoButton);
  QVERIFY(view->position() > 0);
  QCOMPARE(view->hoverIndex(), 250);
  view->setText("fresh text");
  QVERIFY(!view->hasSelection());
  QCOMPARE(view->hoverIndex(), -1);
  QCOMPARE(view->position(), 0);
  QCOMPARE(view->hoverWord(40), std::string());
  // Text after an embedded NUL is not part of the text.
  view->setText(std::string("ab\0cd", 5));
  QCOMPARE(view->text(), std::string("ab"));
}

QTEST_MAIN(TextViewTest)
#include "textview_test.moc"
