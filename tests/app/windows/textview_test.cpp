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

// A view of the given viewport size showing the text, shown offscreen and exposed.
std::unique_ptr<Probe> makeView(const std::string& text, QSize viewportSize = QSize(300, 200)) {
  auto view = std::make_unique<Probe>();
  view->setTextFont(testFont());
  view->show();
  view->resize(viewportSize + view->size() - view->viewport()->size());
  if (!QTest::qWaitForWindowExposed(view.get())) return nullptr;
  QCoreApplication::processEvents();
  view->setText(text);
  return view;
}

// "w0 w1 w2 ..." with a line feed after every fifth word.
std::string manyLines(int words) {
  std::string text;
  for (int i = 0; i < words; ++i) text += "w" + std::to_string(i) + (i % 5 == 4 ? '\n' : ' ');
  return text;
}

QPoint centreOf(const TTextWindowMDIChild& view, int index) {
  return view.wordRect(index).center() - QPoint(0, view.position());
}

void mouse(TTextWindowMDIChild& view, QEvent::Type type, QPoint point,
           Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons buttons = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = {}) {
  QMouseEvent event(type, point, view.viewport()->mapToGlobal(point), button, buttons, modifiers);
  QCoreApplication::sendEvent(view.viewport(), &event);
}
void move(TTextWindowMDIChild& view, QPoint point, Qt::MouseButtons buttons = Qt::NoButton) {
  mouse(view, QEvent::MouseMove, point, Qt::NoButton, buttons);
}
// A press and release on word index.
void click(TTextWindowMDIChild& view, int index, Qt::KeyboardModifiers modifiers = {}) {
  mouse(view, QEvent::MouseButtonPress, centreOf(view, index), Qt::LeftButton, Qt::LeftButton,
        modifiers);
  mouse(view, QEvent::MouseButtonRelease, centreOf(view, index), Qt::LeftButton, Qt::NoButton);
}

}  // namespace

class TextViewTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void wordTable() {
    auto view = makeView("x", QSize(200, 200));
    QVERIFY(view);
    const QFontMetrics metrics(testFont());
    QCOMPARE(view->lineHeight(), metrics.height());
    QCOMPARE(view->margin(), metrics.height() / 2);
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
      view->setText(text);
      QStringList expected = QString::fromStdString(words).split('|');
      if (words.empty()) {
        expected.clear();
        QCOMPARE(view->wordAt(QPoint(10, 10)), -1);
      }
      QCOMPARE(view->wordCount(), expected.size());
      for (int i = 0; i < view->wordCount(); ++i) {
        QCOMPARE(QString::fromStdString(view->wordText(i)), expected[i]);
        const QRect r = view->wordRect(i);
        QCOMPARE(r.top(), (lines[i] - '0') * view->lineHeight());
        QCOMPARE(r.height(), view->lineHeight());
        if (expected[i] == "\n") QCOMPARE(r.width(), 0);  // the line feed is not measured
        if (!expected[i].contains('\n') && !expected[i].contains('\r'))
          QCOMPARE(r.width(), metrics.horizontalAdvance(expected[i]));
        QCOMPARE(r.left(), i == 0 || lines[i] != lines[i - 1] ? view->margin()
                                                              : view->wordRect(i - 1).right() + 1);
      }
    }
  }

  void hitTests() {
    auto view = makeView(manyLines(300));
    QVERIFY(view);
    for (int i = 0; i < view->wordCount(); ++i) {
      if (view->wordRect(i).width() == 0) continue;
      view->scrollTo(view->wordRect(i).top() - view->lineHeight());
      const QRect r = view->wordRect(i).translated(0, -view->position());
      for (QPoint p : {r.center(), r.topLeft(), r.bottomRight()}) QCOMPARE(view->wordAt(p), i);
    }
    // Beside or below the words: some word probed, the last below the text.
    view->setText("alpha beta\ngamma");
    const int lh = view->lineHeight();
    for (QPoint p : {QPoint(view->viewport()->width() - 2, lh / 2), QPoint(0, lh + lh / 2)})
      QVERIFY(view->wordAt(p) >= 0 && view->wordAt(p) < view->wordCount());
    QCOMPARE(view->wordAt(QPoint(5, 10 * lh)), 2);
  }

  void wordTextAtAPoint() {
    auto view = makeView("1 In the beginning\n2 And the earth  \nlast");
    QVERIFY(view);
    // The first word gives nothing; a word starting a line carries the line feed before it.
    const std::vector<std::pair<int, std::string>> cases = {
        {0, ""}, {1, "In"}, {3, "beginning\n"}, {4, "\n2"}, {5, "And"}, {-1, "\nlast"}};
    for (const auto& [index, text] : cases)
      QCOMPARE(view->wordTextAt(centreOf(*view, index < 0 ? view->wordCount() - 1 : index)), text);
    // At most 29 bytes, never cutting a character in two.
    view->setText("x " + std::string(40, 'y'));
    QCOMPARE(view->wordTextAt(centreOf(*view, 1)), std::string(29, 'y'));
    view->setText("x " + QString(20, QChar(0xE9)).toStdString());
    QCOMPARE(QString::fromStdString(view->wordTextAt(centreOf(*view, 1))),
             QString(14, QChar(0xE9)));
  }

  void selectionByMouseAndDragging() {
    auto view = makeView(manyLines(40));
    QVERIFY(view);
    QCOMPARE(view->selectionAnchor(), -1);
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
      click(*view, step.word, step.modifiers);
      QCOMPARE(view->selectionAnchor(), step.anchor);
      QCOMPARE(view->selectionEnd(), step.end);
    }
    QVERIFY(!view->isSelected(4) && view->isSelected(5));
    mouse(*view, QEvent::MouseButtonPress, QPoint(1, 1));  // the margin is not on the text
    mouse(*view, QEvent::MouseButtonRelease, QPoint(1, 1), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(view->selectionAnchor(), 5);
    mouse(*view, QEvent::MouseButtonPress, centreOf(*view, 1));
    QVERIFY(view->isDragging());
    move(*view, centreOf(*view, 8), Qt::LeftButton);
    QCOMPARE(view->selectionAnchor(), 1);
    QCOMPARE(view->selectionEnd(), 8);
    QCOMPARE(view->hoverIndex(), 8);
    QVERIFY(view->hovered.empty());  // no hover look-ups while dragging
    mouse(*view, QEvent::MouseButtonRelease, centreOf(*view, 8), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!view->isDragging());
    QVERIFY(view->hasFocus());
    // A move without the left button ends a drag whose release was lost.
    mouse(*view, QEvent::MouseButtonPress, centreOf(*view, 2));
    move(*view, centreOf(*view, 6));
    QVERIFY(!view->isDragging());
    QCOMPARE(view->selectionEnd(), 2);
  }

  void autoScrollSpeed() {
    auto view = makeView(manyLines(2000));
    QVERIFY(view);
    const int lh = view->lineHeight(), page = view->pageHeight();
    const int bottom = view->viewport()->height();
    const auto lines = [lh](int pixels) { return pixels - pixels % lh; };
    // {start, cursor y, position after}
    const int start = 100 * lh;
    const int cases[][3] = {{0, bottom + 5, lh},
                            {0, bottom + 35, 3 * lh},
                            {0, bottom + 2000, lines(page)},
                            {lh, bottom / 2, lh},
                            {start, -5, start - lh},
                            {start, -35, start - 3 * lh},
                            {start, -2000, lines(start - page)},
                            {0, -2000, 0}};
    for (const auto& c : cases) {
      view->scrollTo(c[0]);
      view->autoScroll(QPoint(10, c[1]));
      QCOMPARE(view->position(), c[2]);
    }
    // Never past the last position, and never back up while dragging below the window.
    view->scrollTo(view->maxPosition() - 2 * lh);
    for (int i = 0; i < 5; ++i) view->autoScroll(QPoint(10, bottom + 2000));
    QCOMPARE(view->position(), view->maxPosition());
    view->autoScroll(QPoint(10, bottom + 5));
    QCOMPARE(view->position(), view->maxPosition());
    // While dragging, the selection follows the words that scroll under the cursor.
    view->home();
    mouse(*view, QEvent::MouseButtonPress, centreOf(*view, 0));
    const QPoint below(10, bottom + 35);
    move(*view, below, Qt::LeftButton);
    const int before = view->selectionEnd();
    view->autoScroll(below);
    QVERIFY(view->selectionEnd() > before);
    QCOMPARE(view->selectionAnchor(), 0);
  }

  void scrollingStaysOnWholeLinesWithinTheText() {
    auto view = makeView(manyLines(500));
    QVERIFY(view);
    const int lh = view->lineHeight(), page = view->pageHeight();
    const auto lines = [lh](int pixels) { return pixels - pixels % lh; };
    const int limit = view->wordRect(view->wordCount() - 1).bottom() + 1 - page + lh;
    QCOMPARE(view->maxPosition(), lines(limit));
    for (int previous = -1; view->position() != previous;) {
      previous = view->position();
      view->lineDown();
      QCOMPARE(view->position() % lh, 0);
    }
    QCOMPARE(view->position(), view->maxPosition());
    view->lineUp();
    QCOMPARE(view->position(), view->maxPosition() - lh);
    view->home();
    view->lineUp();
    QCOMPARE(view->position(), 0);
    // Keys: {key, position after}.
    const int max = view->maxPosition();
    const int onePage = lines(lh + page), twoPages = lines(onePage + page);
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Down, lh},
                                            {Qt::Key_PageDown, onePage},
                                            {Qt::Key_PageDown, twoPages},
                                            {Qt::Key_PageUp, lines(twoPages - page)},
                                            {Qt::Key_Up, lines(twoPages - page) - lh},
                                            {Qt::Key_Home, 0},
                                            {Qt::Key_End, max},
                                            {Qt::Key_PageDown, max}};
    for (const auto& [key, after] : keys) {
      QTest::keyClick(view.get(), key);
      QCOMPARE(view->position(), after);
    }
    view->home();
    QTest::keyClick(view.get(), '(');  // characters are text, not scrolling keys
    QCOMPARE(view->position(), 0);
    const std::pair<int, int> targets[] = {{5 * lh + lh / 2, 5 * lh}, {1000000, max}, {-50, 0}};
    for (const auto& [target, after] : targets) {
      view->scrollTo(target);
      QCOMPARE(view->position(), after);
    }
    // The scroll bar follows the same rules.
    QScrollBar* bar = view->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(view->position(), lh);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(view->position(), max);
    bar->setSliderPosition(7 * lh + 3);
    bar->triggerAction(QAbstractSlider::SliderMove);
    QCOMPARE(view->position(), 7 * lh);
    // A text shorter than the window does not scroll at all.
    view->setText("short text");
    view->end();
    view->lineDown();
    view->pageDown();
    QCOMPARE(view->position(), 0);
  }

  void selectCharactersCentresAndResizingKeepsItInView() {
    auto view = makeView(manyLines(1000));
    QVERIFY(view);
    const int lh = view->lineHeight(), page = view->pageHeight();
    const std::string& text = view->text();
    const std::size_t start = text.find("w500 ");
    view->selectCharacters(start, text.find('\n', start));
    QCOMPARE(view->selectionFirst(), 500);
    QCOMPARE(view->selectionLast(), 504);
    const int kept = view->wordRect(500).top() - (page - lh) / 2;
    QCOMPARE(view->position(), kept - kept % lh);
    // Already in view: the view stays.
    view->selectCharacters(text.find("w496 "), text.find("w496 ") + 1);
    QCOMPARE(view->selectionFirst(), 496);
    QCOMPARE(view->position(), kept - kept % lh);
    // Taller than a page: its top goes to the top of the window.
    view->selectCharacters(text.find("w100 "), text.find("w900 "));
    QCOMPARE(view->selectionLast(), 900);
    QCOMPARE(view->position(), view->wordRect(100).top());
    // Near the end the view stops at its last position.
    view->selectCharacters(text.size() - 1, text.size() - 1);
    QCOMPARE(view->selectionFirst(), view->wordCount() - 1);
    QCOMPARE(view->position(), view->maxPosition());

    view->selectCharacters(text.find("w700 "), text.find("w700 "));
    view->resize(view->width() + 150, view->height() + 40);
    QCoreApplication::processEvents();
    QVERIFY(view->wordRect(700).top() >= view->position());
    QVERIFY(view->wordRect(700).bottom() < view->position() + view->pageHeight());
    QCOMPARE(view->position() % lh, 0);
  }

  void selectedTextHoverDoubleClickAndMenu() {
    auto view = makeView("1 In the beginning\ndelta");
    QVERIFY(view);
    view->selectWords(2, 1);
    for (auto [limit, text] : {std::pair{100, "In the "}, {4, "In "}, {0, ""}})
      QCOMPARE(view->selectedText(limit), std::string(text));
    view->selectWords(1, 99);  // stops at the last word
    QCOMPARE(view->selectionLast(), 4);
    view->selectWords(-1, -1);
    QVERIFY(!view->hasSelection());

    QCOMPARE(view->hoverWord(40), std::string());
    for (int i : {0, 3, 4}) move(*view, centreOf(*view, i));
    QCOMPARE(view->hovered, (std::vector<std::string>{"", "beginning\n", "\ndelta"}));
    QCOMPARE(view->hoverIndex(), 4);
    QCOMPARE(view->hoverWord(40), std::string("delta"));
    QCOMPARE(view->hoverWord(3), std::string("de"));
    for (int i : {1, 0}) mouse(*view, QEvent::MouseButtonDblClick, centreOf(*view, i));
    QCOMPARE(view->doubleClicked, (std::vector<std::string>{"In", ""}));

    mouse(*view, QEvent::MouseButtonPress, centreOf(*view, 1), Qt::RightButton, Qt::RightButton);
    QVERIFY(!view->hasSelection());  // the right button selects nothing

    // New text: no selection, hover or scrolling left over, no double click on nothing.
    view->setText(manyLines(300));
    view->selectCharacters(view->text().find("w250"), view->text().find("w250"));
    move(*view, centreOf(*view, 250));
    QVERIFY(view->position() > 0);
    view->setText("");
    QVERIFY(!view->hasSelection());
    QCOMPARE(view->hoverIndex(), -1);
    QCOMPARE(view->position(), 0);
    mouse(*view, QEvent::MouseButtonDblClick, QPoint(20, 5));
    QCOMPARE(view->doubleClicked.size(), std::size_t{2});
  }

  void selectionRepaintsOnlyChangedWords() {
    auto view = makeView(manyLines(400));
    QVERIFY(view);
    view->selectWords(10, 12);
    view->viewport()->repaint();
    view->painted.clear();
    view->selectWords(10, 14);
    QVERIFY(QTest::qWaitFor([&] { return !view->painted.empty(); }, 2000));
    QVERIFY(view->painted.count(13) && view->painted.count(14));
    QVERIFY(!view->painted.count(40) && !view->painted.count(390));
  }
};

QTEST_MAIN(TextViewTest)
#include "textview_test.moc"
