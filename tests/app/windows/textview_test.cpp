// The text view: word table, hit tests, selection, auto-scroll, scrolling rules, repainting.
#include "app/windows/textview.h"

#include <QMouseEvent>
#include <QScrollBar>
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
  std::vector<std::string> hovered, doubleClicked;
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

// "w0 w1 w2 ..." with a line feed after every fifth word.
std::string manyLines(int words) {
  std::string text;
  for (int i = 0; i < words; ++i) text += "w" + std::to_string(i) + (i % 5 == 4 ? '\n' : ' ');
  return text;
}

}  // namespace

class TextViewTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Probe> view_;

  // Opens a view of the given viewport size on the text, offscreen and exposed.
  bool open(const std::string& text, QSize viewportSize = QSize(300, 200)) {
    view_ = std::make_unique<Probe>();
    view_->setTextFont(testFont());
    view_->show();
    view_->resize(viewportSize + view_->size() - view_->viewport()->size());
    if (!QTest::qWaitForWindowExposed(view_.get())) return false;
    QCoreApplication::processEvents();
    view_->setText(text);
    return true;
  }
  QPoint centreOf(int index) const {
    return view_->wordRect(index).center() - QPoint(0, view_->position());
  }
  void mouse(QEvent::Type type, QPoint point, Qt::MouseButton button = Qt::LeftButton,
             Qt::MouseButtons buttons = Qt::LeftButton, Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent event(type, point, view_->viewport()->mapToGlobal(point), button, buttons,
                      modifiers);
    QCoreApplication::sendEvent(view_->viewport(), &event);
  }
  void move(QPoint point, Qt::MouseButtons buttons = Qt::NoButton) {
    mouse(QEvent::MouseMove, point, Qt::NoButton, buttons);
  }
  // A press and release on word index.
  void click(int index, Qt::KeyboardModifiers modifiers = {}) {
    mouse(QEvent::MouseButtonPress, centreOf(index), Qt::LeftButton, Qt::LeftButton, modifiers);
    mouse(QEvent::MouseButtonRelease, centreOf(index), Qt::LeftButton, Qt::NoButton);
  }

 private Q_SLOTS:
  void wordTable() {
    QVERIFY(open("x", QSize(200, 200)));
    const QFontMetrics metrics(testFont());
    QCOMPARE(view_->lineHeight(), metrics.height());
    QCOMPARE(view_->margin(), metrics.height() / 2);
    // {text, its words joined by '|', each word's line}. A word wider than the window stands
    // alone at the margin; first in the text, it takes the first line.
    const std::string wide(80, 'W');
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"a b", "a |b", "00"},
        {"two  spaces", "two | |spaces", "000"},
        {"\n\n\n", "\n|\n|\n", "012"},
        {"one\ntwo three\n\nfour", "one\n|two |three\n|\n|four", "01123"},
        {"a\r\nb", "a\r|b", "01"},
        {"a\rb", "a\r|b", "01"},
        {"a\r", "a\r", "0"},
        {"", "", ""},
        {std::string("ab\0cd", 5), "ab", "0"},
        {"a " + wide + " b", "a |" + wide + " |b", "012"},
        {wide + " b", wide + " |b", "01"}};
    for (const auto& [text, words, lines] : cases) {
      view_->setText(text);
      const QStringList expected = QString::fromStdString(words).split('|', Qt::SkipEmptyParts);
      QCOMPARE(view_->wordCount(), expected.size());
      for (int i = 0; i < view_->wordCount(); ++i) {
        QCOMPARE(QString::fromStdString(view_->wordText(i)), expected[i]);
        // Side by side from the margin; the line end is not measured.
        const int left = i == 0 || lines[i] != lines[i - 1] ? view_->margin()
                                                            : view_->wordRect(i - 1).right() + 1;
        const int width = metrics.horizontalAdvance(QString(expected[i]).remove('\n').remove('\r'));
        const int top = (lines[i] - '0') * view_->lineHeight();
        QCOMPARE(view_->wordRect(i), QRect(left, top, width, view_->lineHeight()));
      }
    }
    view_->setText("");
    QCOMPARE(view_->wordAt(QPoint(10, 10)), -1);
  }

  void hitTests() {
    QVERIFY(open(manyLines(300)));
    for (int i = 0; i < view_->wordCount(); ++i) {
      if (view_->wordRect(i).width() == 0) continue;
      view_->scrollTo(view_->wordRect(i).top() - view_->lineHeight());
      const QRect r = view_->wordRect(i).translated(0, -view_->position());
      for (QPoint p : {r.center(), r.topLeft(), r.bottomRight()}) QCOMPARE(view_->wordAt(p), i);
    }
    // Beside or below the words: some word probed, the last below the text.
    view_->setText("alpha beta\ngamma");
    const int lh = view_->lineHeight();
    for (QPoint p : {QPoint(view_->viewport()->width() - 2, lh / 2), QPoint(0, lh + lh / 2)})
      QVERIFY(view_->wordAt(p) >= 0 && view_->wordAt(p) < view_->wordCount());
    QCOMPARE(view_->wordAt(QPoint(5, 10 * lh)), 2);
  }

  void wordTextAtAPoint() {
    QVERIFY(open("1 In the beginning\n2 And the earth  \nlast"));
    // The first word gives nothing; a word starting a line carries the line feed before it.
    const std::vector<std::pair<int, std::string>> cases = {
        {0, ""}, {1, "In"}, {3, "beginning\n"}, {4, "\n2"}, {5, "And"}, {-1, "\nlast"}};
    for (const auto& [index, text] : cases)
      QCOMPARE(view_->wordTextAt(centreOf(index < 0 ? view_->wordCount() - 1 : index)), text);
    // At most 29 bytes, never cutting a character in two.
    view_->setText("x " + std::string(40, 'y'));
    QCOMPARE(view_->wordTextAt(centreOf(1)), std::string(29, 'y'));
    view_->setText("x " + QString(20, QChar(0xE9)).toStdString());
    QCOMPARE(QString::fromStdString(view_->wordTextAt(centreOf(1))), QString(14, QChar(0xE9)));
  }

  void selectionByMouseAndDragging() {
    QVERIFY(open(manyLines(40)));
    // {word, modifiers, anchor, end}: shift extends from the anchor (or starts one), any other
    // modifier with it starts anew.
    const struct {
      int word;
      Qt::KeyboardModifiers modifiers;
      int anchor, end;
    } steps[] = {{2, Qt::ShiftModifier, 2, 2},
                 {3, {}, 3, 3},
                 {7, Qt::ShiftModifier, 3, 7},
                 {1, Qt::ShiftModifier, 3, 1},
                 {9, Qt::ShiftModifier | Qt::ControlModifier, 9, 9},
                 {5, {}, 5, 5}};
    for (const auto& step : steps) {
      click(step.word, step.modifiers);
      QCOMPARE(view_->selectionAnchor(), step.anchor);
      QCOMPARE(view_->selectionEnd(), step.end);
    }
    QVERIFY(!view_->isSelected(4) && view_->isSelected(5));
    mouse(QEvent::MouseButtonPress, QPoint(1, 1));  // the margin is not on the text
    mouse(QEvent::MouseButtonRelease, QPoint(1, 1), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(view_->selectionAnchor(), 5);
    mouse(QEvent::MouseButtonPress, centreOf(1));
    QVERIFY(view_->isDragging());
    move(centreOf(8), Qt::LeftButton);
    QCOMPARE(view_->selectionAnchor(), 1);
    QCOMPARE(view_->selectionEnd(), 8);
    QCOMPARE(view_->hoverIndex(), 8);
    QVERIFY(view_->hovered.empty());  // no hover look-ups while dragging
    mouse(QEvent::MouseButtonRelease, centreOf(8), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!view_->isDragging());
    QVERIFY(view_->hasFocus());
    // A move without the left button ends a drag whose release was lost.
    mouse(QEvent::MouseButtonPress, centreOf(2));
    move(centreOf(6));
    QVERIFY(!view_->isDragging());
    QCOMPARE(view_->selectionEnd(), 2);
  }

  void autoScrollSpeed() {
    QVERIFY(open(manyLines(2000)));
    const int lh = view_->lineHeight(), page = view_->pageHeight();
    const int bottom = view_->viewport()->height();
    const auto lines = [lh](int pixels) { return pixels - pixels % lh; };
    // {start, cursor y, position after}: never past the last position, and never back up
    // while dragging below the window.
    const int start = 100 * lh, max = view_->maxPosition();
    const int cases[][3] = {{0, bottom + 5, lh},
                            {0, bottom + 35, 3 * lh},
                            {0, bottom + 2000, lines(page)},
                            {lh, bottom / 2, lh},
                            {start, -5, start - lh},
                            {start, -35, start - 3 * lh},
                            {start, -2000, lines(start - page)},
                            {0, -2000, 0},
                            {max - 2 * lh, bottom + 2000, max},
                            {max, bottom + 5, max}};
    for (const auto& c : cases) {
      view_->scrollTo(c[0]);
      view_->autoScroll(QPoint(10, c[1]));
      QCOMPARE(view_->position(), c[2]);
    }
    // While dragging, the selection follows the words that scroll under the cursor.
    view_->home();
    mouse(QEvent::MouseButtonPress, centreOf(0));
    const QPoint below(10, bottom + 35);
    move(below, Qt::LeftButton);
    const int before = view_->selectionEnd();
    view_->autoScroll(below);
    QVERIFY(view_->selectionEnd() > before);
    QCOMPARE(view_->selectionAnchor(), 0);
  }

  void scrollingStaysOnWholeLinesWithinTheText() {
    QVERIFY(open(manyLines(500)));
    const int lh = view_->lineHeight(), page = view_->pageHeight();
    const auto lines = [lh](int pixels) { return pixels - pixels % lh; };
    const int limit = view_->wordRect(view_->wordCount() - 1).bottom() + 1 - page + lh;
    QCOMPARE(view_->maxPosition(), lines(limit));
    // Keys: {key, position after}; characters are text, not scrolling keys.
    const int max = view_->maxPosition();
    const int onePage = lines(lh + page), twoPages = lines(onePage + page);
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Down, lh},
                                            {Qt::Key_PageDown, onePage},
                                            {Qt::Key_PageDown, twoPages},
                                            {Qt::Key_PageUp, lines(twoPages - page)},
                                            {Qt::Key_Up, lines(twoPages - page) - lh},
                                            {Qt::Key_Home, 0},
                                            {Qt::Key_Up, 0},
                                            {Qt::Key_ParenLeft, 0},
                                            {Qt::Key_End, max},
                                            {Qt::Key_Down, max},
                                            {Qt::Key_PageDown, max},
                                            {Qt::Key_Up, max - lh}};
    for (const auto& [key, after] : keys) {
      QTest::keyClick(view_.get(), key);
      QCOMPARE(view_->position(), after);
    }
    const std::pair<int, int> targets[] = {{5 * lh + lh / 2, 5 * lh}, {1000000, max}, {-50, 0}};
    for (const auto& [target, after] : targets) {
      view_->scrollTo(target);
      QCOMPARE(view_->position(), after);
    }
    // The scroll bar follows the same rules.
    QScrollBar* bar = view_->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(view_->position(), lh);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(view_->position(), max);
    bar->setSliderPosition(7 * lh + 3);
    bar->triggerAction(QAbstractSlider::SliderMove);
    QCOMPARE(view_->position(), 7 * lh);
    // A text shorter than the window does not scroll at all.
    view_->setText("short text");
    view_->end();
    view_->lineDown();
    view_->pageDown();
    QCOMPARE(view_->position(), 0);
  }

  void selectCharactersCentresAndResizingKeepsItInView() {
    QVERIFY(open(manyLines(1000)));
    const int lh = view_->lineHeight(), page = view_->pageHeight();
    const std::string& text = view_->text();
    const std::size_t start = text.find("w500 ");
    view_->selectCharacters(start, text.find('\n', start));
    QCOMPARE(view_->selectionFirst(), 500);
    QCOMPARE(view_->selectionLast(), 504);
    const int kept = view_->wordRect(500).top() - (page - lh) / 2;
    QCOMPARE(view_->position(), kept - kept % lh);
    // Already in view: the view stays.
    view_->selectCharacters(text.find("w496 "), text.find("w496 ") + 1);
    QCOMPARE(view_->selectionFirst(), 496);
    QCOMPARE(view_->position(), kept - kept % lh);
    // Taller than a page: its top goes to the top of the window.
    view_->selectCharacters(text.find("w100 "), text.find("w900 "));
    QCOMPARE(view_->selectionLast(), 900);
    QCOMPARE(view_->position(), view_->wordRect(100).top());
    // Near the end the view stops at its last position.
    view_->selectCharacters(text.size() - 1, text.size() - 1);
    QCOMPARE(view_->selectionFirst(), view_->wordCount() - 1);
    QCOMPARE(view_->position(), view_->maxPosition());

    view_->selectCharacters(text.find("w700 "), text.find("w700 "));
    view_->resize(view_->width() + 150, view_->height() + 40);
    QCoreApplication::processEvents();
    QVERIFY(view_->wordRect(700).top() >= view_->position());
    QVERIFY(view_->wordRect(700).bottom() < view_->position() + view_->pageHeight());
    QCOMPARE(view_->position() % lh, 0);
  }

  void selectedTextHoverDoubleClickAndMenu() {
    QVERIFY(open("1 In the beginning\ndelta"));
    view_->selectWords(2, 1);
    for (auto [limit, text] : {std::pair{100, "In the "}, {4, "In "}, {0, ""}})
      QCOMPARE(view_->selectedText(limit), std::string(text));
    view_->selectWords(1, 99);  // stops at the last word
    QCOMPARE(view_->selectionLast(), 4);
    view_->selectWords(-1, -1);
    QVERIFY(!view_->hasSelection());

    QCOMPARE(view_->hoverWord(40), std::string());
    for (int i : {0, 3, 4}) move(centreOf(i));
    QCOMPARE(view_->hovered, (std::vector<std::string>{"", "beginning\n", "\ndelta"}));
    QCOMPARE(view_->hoverIndex(), 4);
    QCOMPARE(view_->hoverWord(40), std::string("delta"));
    QCOMPARE(view_->hoverWord(3), std::string("de"));
    for (int i : {1, 0}) mouse(QEvent::MouseButtonDblClick, centreOf(i));
    QCOMPARE(view_->doubleClicked, (std::vector<std::string>{"In", ""}));

    mouse(QEvent::MouseButtonPress, centreOf(1), Qt::RightButton, Qt::RightButton);
    QVERIFY(!view_->hasSelection());  // the right button selects nothing

    // New text: no selection, hover or scrolling left over, no double click on nothing.
    view_->setText(manyLines(300));
    view_->selectCharacters(view_->text().find("w250"), view_->text().find("w250"));
    move(centreOf(250));
    QVERIFY(view_->position() > 0);
    view_->setText("");
    QVERIFY(!view_->hasSelection());
    QCOMPARE(view_->hoverIndex(), -1);
    QCOMPARE(view_->position(), 0);
    mouse(QEvent::MouseButtonDblClick, QPoint(20, 5));
    QCOMPARE(view_->doubleClicked.size(), std::size_t{2});
  }

  void selectionRepaintsOnlyChangedWords() {
    QVERIFY(open(manyLines(400)));
    view_->selectWords(10, 12);
    view_->viewport()->repaint();
    view_->painted.clear();
    view_->selectWords(10, 14);
    QVERIFY(QTest::qWaitFor([&] { return !view_->painted.empty(); }, 2000));
    QVERIFY(view_->painted.count(13) && view_->painted.count(14));
    QVERIFY(!view_->painted.count(40) && !view_->painted.count(390));
  }
};

QTEST_MAIN(TextViewTest)
#include "textview_test.moc"
