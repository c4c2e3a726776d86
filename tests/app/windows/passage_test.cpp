// Bible window on a workbench of the test's own: showing a chapter (caption, selected and
// centred verse, notes below), word colours as painted, highlights and their commands, Strong's
// numbers, the hover look-ups, the start from the verses-found box, the screen font, and what
// is on screen after every scrolling step.
#include "app/windows/passage.h"

#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/windows/hilight.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "engine/stores/notes.h"
#include "support/files.h"
#include "tests/app/app_fixtures.h"
#include "tests/app/fakes.h"
#include "tools/import/lexicon_writer.h"

using namespace vellum;
using vellum::ui::TPassage;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kDarkBlue(0, 0, 100);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kYellow(200, 200, 0);

bibleName nameOf(const char* display, const char* file) {
  bibleName name{};
  std::strncpy(name.name, display, sizeof name.name - 1);
  std::strncpy(name.path, file, sizeof name.path - 1);
  return name;
}

Reference parse(const char* text, BibleHandle* module) {
  Reference reference;
  parseReference(&reference, text, module);
  return reference;
}

// The window with its hover look-up open to the test.
struct Passage : TPassage {
  using TPassage::onHoverWord;
  using TPassage::TPassage;
};

// The index of the first word whose text (separator included) is exactly `text`, from `from`.
int findWord(const TPassage& view, const std::string& text, int from = 0) {
  for (int i = from; i < view.wordCount(); ++i)
    if (view.wordText(i) == text) return i;
  return -1;
}

// Counts the pixels of the word's rectangle, as drawn, that have the colour.
int countPixels(TPassage& view, int index, const QColor& colour) {
  const QImage image = view.viewport()->grab().toImage();
  const QRect rect = view.wordRect(index).translated(0, -view.position()).intersected(image.rect());
  int count = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x) count += image.pixelColor(x, y) == colour;
  return count;
}

// What the window shows on screen: the viewport's pixels in its window's backing store, where
// scrolled pixels stay as they were moved (QWidget::grab would paint the window afresh).
QImage onScreen(TPassage& view) {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  const QPoint corner = view.viewport()->mapTo(view.window(), QPoint(0, 0));
  const QSize size = view.viewport()->size();
  return view.screen()
      ->grabWindow(view.window()->winId(), corner.x(), corner.y(), size.width(), size.height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class PassageTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::AppData> data_;
  test::FakeWorkbench bench_;
  std::unique_ptr<Passage> passage_;

  Passage& open(const char* display = "King James Version", const char* file = "kjv.bib") {
    passage_ = std::make_unique<Passage>(nameOf(display, file), bench_);
    return *passage_;
  }
  // Shows the window offscreen with a viewport of the given size.
  static bool show(TPassage& passage, QSize viewport = QSize(500, 400)) {
    passage.show();
    passage.resize(viewport + passage.size() - passage.viewport()->size());
    if (!QTest::qWaitForWindowExposed(&passage)) return false;
    QCoreApplication::processEvents();
    return true;
  }

 private Q_SLOTS:
  void init() {
    data_ = std::make_unique<test::AppData>();
    set_dpath(data_->path().c_str());
    bench_ = test::FakeWorkbench();
    TPassage::forgetLastHover();
  }
  void cleanup() {
    passage_.reset();
    data_.reset();
  }

  void aModuleThatDoesNotOpenLeavesAnEmptyWindow() {
    std::string why;
    TPassage missing(nameOf("Missing", "missing.bib"), bench_, &why);
    QVERIFY(!missing.module() && !why.empty() && !missing.notes() && !missing.hilight());
    missing.showPassage(Reference{0, 1, 1});
    QVERIFY(!missing.hasText() && !missing.canHilightNow());
    QCOMPARE(missing.currentReference(), (Reference{0, 1, 1}));
    QCOMPARE(missing.strongsAtWord(1, Reference{0, 1, 1}), -1);
  }

  void showPassageSelectsAndCentresTheVerse() {
    TPassage& passage = open();
    QVERIFY(show(passage));
    QSignalSpy shown(&passage, &TPassage::passageShown);
    const Reference john316 = parse("John 3:16", passage.module());
    passage.showPassage(john316);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(passage.windowTitle(), QString("John 3:16 - King James Version"));
    QCOMPARE(passage.currentReference(), john316);
    // The verse's whole line, Strong's numbers hidden; in view as the chapter opens.
    const std::string selected = passage.selectedText(32766);
    QVERIFY(selected.starts_with("16 For God so loved the world,") &&
            selected.ends_with("life.\n"));
    QVERIFY(selected.find("2316") == std::string::npos);
    QCOMPARE(passage.position(), 0);
    // In a window too short for that, centred: the space above and below differ by < 2 lines.
    QVERIFY(show(passage, QSize(500, 150)));
    passage.showPassage(john316);
    const int above = passage.wordRect(passage.selectionFirst()).top() - passage.position();
    const int below = passage.position() + passage.pageHeight() -
                      (passage.wordRect(passage.selectionLast()).bottom() + 1);
    QVERIFY(passage.position() > 0 && above > 0 && below > 0);
    QVERIFY(std::abs(above - below) < 2 * passage.lineHeight());
    // Verse 2's line, not the end of verse 12's.
    passage.showPassage(parse("John 3:2", passage.module()));
    QVERIFY(passage.selectedText(100).starts_with("2 "));
    QVERIFY(passage.text()[passage.word(passage.selectionFirst()).start - 1] == '\n');
    // A caption that does not parse is Genesis 1:1.
    passage.setWindowTitle("nothing here");
    QCOMPARE(passage.currentReference(), (Reference{0, 1, 1}));
  }

  void referencesOutsideTheModule() {
    TPassage& passage = open("World English Bible", "web.bib");
    passage.showPassage(parse("John 3:2", passage.module()));
    const std::string before = passage.text();
    // A chapter the module does not hold leaves the window as it was.
    passage.showPassage(Reference{0, 40, 1});
    QCOMPARE(passage.windowTitle(), QString("John 3:2 - World English Bible"));
    QCOMPARE(passage.text(), before);
    // A verse past the chapter's end shows its last verse.
    passage.showPassage(Reference{0, 1, 99});
    QCOMPARE(passage.windowTitle(), QString("Genesis 1:2 - World English Bible"));
  }

  void notesFollowTheChapterWithinItsBuffer() {
    TPassage& passage = open();
    const Reference john316 = parse("John 3:16", passage.module());
    passage.showPassage(john316);
    const std::string chapter = passage.text();
    QVERIFY(VNSetNoteByRef(john316, "God's love\nfor all", passage.notes()));
    QVERIFY(VNSetNoteByRef(parse("John 3:2", passage.module()), "Nicodemus", passage.notes()));
    passage.showPassage(john316);
    QCOMPARE(
        passage.text(),
        chapter + "\n\nNotes:\n-----------------------\n2. Nicodemus\n16. God's love\nfor all\n");
    QVERIFY(passage.word(passage.selectionFirst()).start < chapter.size());
    passage.showPassage(parse("John 4:1", passage.module()));
    QVERIFY(passage.text().find("Notes:") == std::string::npos);
    // A long note is cut where the chapter buffer ends.
    const Reference psalm119 = parse("Psalms 119:1", passage.module());
    QVERIFY(VNSetNoteByRef(psalm119, std::string(30000, 'n').c_str(), passage.notes()));
    passage.showPassage(psalm119);
    QCOMPARE(passage.text().size(), std::size_t{kMaxChapterText});
    QVERIFY(passage.text().find("\n\nNotes:\n-----------------------\n1. nnn") !=
            std::string::npos);
  }

  void wordColoursAsPaintedAndAfterHighlighting() {
    TPassage& passage = open();
    QVERIFY(show(passage));
    const Reference john316 = parse("John 3:16", passage.module());
    passage.showPassage(john316);
    const QColor base = passage.palette().color(QPalette::Base);
    const QColor text = passage.palette().color(QPalette::Text);
    const int v16 = passage.selectionFirst();
    const int v17 = findWord(passage, "17 ", v16);
    QVERIFY(v17 > v16 && passage.canHilightNow());
    // Selected words white on dark blue; verse numbers blue; the chapter's first word is one.
    QCOMPARE(passage.wordColors(v16).text, kWhite);
    QCOMPARE(passage.wordColors(v16).background, kDarkBlue);
    QCOMPARE(passage.wordColors(v17).text, kBlue);
    QCOMPARE(passage.wordColors(v17 + 1).text, text);
    QCOMPARE(passage.wordColors(0).text, kBlue);

    // Each command's code (red 0, blue 1, green 2, yellow 3) through the route; blue on the
    // verse number takes its blue text away.
    const std::pair<int, int> hilights[] = {{ui::CmHilightRed, v16 + 1},
                                            {ui::CmHilightBlue, v16 + 5},
                                            {ui::CmHilightGreen, v16 + 6},
                                            {ui::CmHilightYellow, v16 + 7},
                                            {ui::CmHilightBlue, v16}};
    for (const auto& [command, word] : hilights) {
      passage.selectWords(word, word);
      QVERIFY(ui::dispatchCommandFrom(&passage, command));
    }
    // Selected and highlighted: the highlight's colour as text.
    passage.selectWords(v16 + 1, v16 + 1);
    QCOMPARE(passage.wordColors(v16 + 1).text, kRed);
    passage.selectWords(-1, -1);
    const std::pair<int, QColor> behind[] = {
        {v16 + 1, kRed}, {v16 + 5, kBlue}, {v16 + 6, kGreen}, {v16 + 7, kYellow}, {v16, kBlue}};
    for (const auto& [word, colour] : behind) QCOMPARE(passage.wordColors(word).background, colour);
    QCOMPARE(passage.wordColors(v16).text, text);
    passage.viewport()->repaint();
    QVERIFY(countPixels(passage, v16 + 1, kRed) > 0);
    QVERIFY(countPixels(passage, v17, kBlue) + countPixels(passage, v16 + 7, kYellow) > 0);
    QCOMPARE(countPixels(passage, v17, kDarkBlue), 0);
    // Unhighlight; a command without a selection stores nothing.
    passage.selectWords(v16 + 1, v16 + 1);
    passage.handleCommand(ui::CmUnhilight);
    QCOMPARE(passage.wordColors(v16 + 1).text, kWhite);
    passage.selectWords(-1, -1);
    passage.handleCommand(ui::CmHilightRed);
    QCOMPARE(passage.hilight()->getHilight(john316, v16 + 1), 4);
    // Another window on the translation shows the stored highlights.
    TPassage other(nameOf("King James Version", "kjv.bib"));
    other.showPassage(parse("John 3:5", other.module()));
    QCOMPARE(other.wordColors(v16 + 6).background, kGreen);

    // Strong's numbers shown: red, highlights hidden and refused; digits in notes stay plain.
    QVERIFY(VNSetNoteByRef(john316, "read 1 John 3 16", passage.notes()));
    setStrongs(passage.module(), 1);
    passage.showPassage(john316);
    QVERIFY(!passage.canHilightNow());
    QVERIFY(!ui::queryCommandFrom(&passage, ui::CmHilightRed).enabled);
    const int number = findWord(passage, "1063 ");
    QCOMPARE(passage.wordColors(number).text, kRed);
    QCOMPARE(passage.wordColors(findWord(passage, "17 ")).text, kBlue);
    passage.selectWords(-1, -1);
    const std::string& shown = passage.text();
    const std::size_t notes = shown.find("Notes:");
    int plainInNotes = 0;
    for (int i = 0; i < passage.wordCount(); ++i) {
      QCOMPARE(passage.wordColors(i).background, base);
      const std::size_t at = passage.word(i).start;
      if (at > notes && std::isdigit(static_cast<unsigned char>(shown[at])) &&
          shown[at - 1] != '\n')
        plainInNotes += passage.wordColors(i).text == text ? 1 : -100;
    }
    QCOMPARE(plainInNotes, 3);  // "1", "3" and "16" of the note
    passage.selectWords(number, number);
    passage.handleCommand(ui::CmHilightRed);
    QCOMPARE(passage.hilight()->getHilight(john316, number), 4);
  }

  void strongsAtWord() {
    TPassage& passage = open();
    const Reference genesis1{0, 1, 1};
    passage.showPassage(genesis1);
    // "1 In the beginning God created the heaven and the earth.\n2 ..." as displayed; each
    // number follows the words it belongs to.
    const std::pair<int, int> cases[] = {{3, 7225}, {1, 7225}, {4, 430}, {5, 1254},
                                         {10, 776}, {12, -1},  {-1, -1}};
    for (const auto& [word, number] : cases)
      QCOMPARE(passage.strongsAtWord(word, genesis1), number);
    QCOMPARE(passage.strongsAtWord(3, Reference{0, 51, 1}), -1);
    // The display flag is restored, and the chapter shown is untouched.
    QCOMPARE(getStrongs(passage.module()), 0);
    QVERIFY(passage.text().find("7225") == std::string::npos);
    TPassage web(nameOf("World English Bible", "web.bib"));
    QCOMPARE(web.strongsAtWord(3, genesis1), -1);
  }

  void hoverLooksUpEachNewWordOnce() {
    test::Dict hitchcock(new_dict("hitchck.dic", "names", 101, 0));
    test::Dict eastons(new_dict("eastons.dic", "dictionary", 101, 1));
    QVERIFY(add_string_item(hitchcock.get(), "world", "  the   earth \r\nsecond line"));
    QVERIFY(add_string_item(hitchcock.get(), "Son", "a child"));
    QVERIFY(add_string_item(eastons.get(), "God", "The Supreme Being"));
    bench_.hitchcockStore = hitchcock.get();
    bench_.eastonsStore = eastons.get();
    Passage& passage = open();
    QVERIFY(show(passage));
    passage.showPassage(parse("John 3:16", passage.module()));
    // The word with its punctuation is looked up once; its first line goes to the message bar.
    passage.onHoverWord("world,");
    passage.onHoverWord("world,");
    QCOMPARE(bench_.statuses, std::vector<QString>{"world: the earth"});
    QCOMPARE(passage.viewport()->cursor().shape(), Qt::ArrowCursor);
    // A dictionary word without a name entry: the help cursor, the message bar cleared once.
    passage.onHoverWord("God");
    passage.onHoverWord("so");
    QCOMPARE(bench_.statuses, (std::vector<QString>{"world: the earth", ""}));
    passage.onHoverWord("God");
    QCOMPARE(passage.viewport()->cursor().shape(), Qt::WhatsThisCursor);
    // Typeset text: the quotes go and ’s reads as the possessive 's.
    passage.onHoverWord("“Son’s");
    QCOMPARE(bench_.statuses.back(), QString("Son:a child"));

    // With the lexicon, a number is a Strong's number of the testament the window shows.
    std::string error;
    QVERIFY2(import::writeLexicon({{430, "elohim\nGod, gods", 1}}, {{2316, "theos   God\nmore", 1}},
                                  data_->dir().file("lexicon.lex"), error),
             error.c_str());
    test::Lexicon lexicon(initLexicon("lexicon.lex"));
    bench_.lexiconStore = lexicon.get();
    passage.onHoverWord("2316");
    QCOMPARE(bench_.statuses.back(), QString("theos God"));
    passage.onHoverWord("430");
    QCOMPARE(bench_.statuses.back(), QString());  // Greek 430 is empty
    passage.showPassage(Reference{0, 1, 1});
    passage.onHoverWord("430)");
    QCOMPARE(bench_.statuses.back(), QString("elohim"));
    // A verse number (it starts a line) is not a Strong's number.
    passage.onHoverWord("\n2");
    QCOMPARE(bench_.statuses.back(), QString());
  }

  void setupStartsAtTheVerseFoundOrAsksForASearch() {
    bench_.selected = "John 3:16";
    TPassage& passage = open();
    QVERIFY(show(passage));
    QCOMPARE(passage.windowTitle(), QString("John 3:16 - King James Version"));
    // Without a verse found the window asks for a search, which needs the program's frame.
    bench_.selected.clear();
    TPassage& second = open();
    QVERIFY(show(second));
    QCoreApplication::processEvents();
    QVERIFY(!second.hasText());
  }

  void theScreenFont() {
    TPassage& passage = open();
    // The default: "Times New Roman" at 12 points.
    QCOMPARE(passage.textFont().family(), QString("Times New Roman"));
    QCOMPARE(passage.textFont().pixelSize(), 12 * passage.logicalDpiY() / 72);
    QVERIFY(show(passage));
    passage.showPassage(parse("John 3:16", passage.module()));
    const int lineHeight = passage.lineHeight();
    setScreenFontName("Liberation Sans");
    setScreenFontSize(24);
    passage.applyScreenFont();
    setScreenFontName("Times New Roman");
    setScreenFontSize(12);
    QCOMPARE(passage.textFont().family(), QString("Liberation Sans"));
    QVERIFY(passage.lineHeight() > lineHeight);
    // Laid out again with the new font; the verse stays selected and in view.
    const QRect first = passage.wordRect(passage.selectionFirst());
    QCOMPARE(passage.wordText(passage.selectionFirst()), std::string("16 "));
    QVERIFY(first.top() >= passage.position());
    QVERIFY(first.bottom() < passage.position() + passage.pageHeight());
  }

  // Random steps of everything that moves, lays out or redraws the text; after each, what the
  // window shows equals what a window made afresh, in the same state, shows.
  void whatIsOnScreenMatchesAFreshWindowAfterEveryStep() {
    TPassage& passage = open();
    QVERIFY(show(passage, QSize(360, 240)));
    std::vector<Reference> chapters;
    for (const char* text : {"Genesis 18:1", "Genesis 1:1", "Genesis 24:60", "John 3:16",
                             "Psalms 119:100", "Obadiah 1:1"})
      chapters.push_back(parse(text, passage.module()));
    passage.showPassage(chapters[0]);
    std::mt19937 random(16);
    const auto pick = [&random](int n) {
      return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    QWidget* view = passage.viewport();
    const auto mouse = [view](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
      QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
      QCoreApplication::sendEvent(view, &event);
    };
    QScrollBar* bar = passage.verticalScrollBar();
    const Qt::Key keys[] = {Qt::Key_Down,   Qt::Key_Up,   Qt::Key_PageDown,
                            Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End};
    QString steps;
    for (int step = 0; step < 300; ++step) {
      const int kind = pick(9);
      steps += QString::number(kind);
      if (kind == 0) {
        QTest::keyClick(&passage, keys[pick(6)], pick(2) ? Qt::ControlModifier : Qt::NoModifier);
      } else if (kind == 1) {
        QWheelEvent wheel({50, 50}, view->mapToGlobal(QPoint(50, 50)), {},
                          {0, pick(2) ? 120 : -120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view, &wheel);
      } else if (kind == 2 && pick(2)) {
        bar->triggerAction(
            QAbstractSlider::SliderAction(QAbstractSlider::SliderSingleStepAdd + pick(4)));
      } else if (kind == 2) {  // the thumb dragged and let go
        bar->setSliderDown(true);
        bar->setSliderPosition(pick(bar->maximum() + 1));
        bar->setSliderDown(false);
      } else if (kind == 3) {  // a drag past an edge, with a few passes of auto-scrolling
        mouse(QEvent::MouseButtonPress, {60, view->height() / 2}, Qt::LeftButton);
        const QPoint away(60, pick(2) ? -pick(80) - 1 : view->height() + pick(80));
        mouse(QEvent::MouseMove, away, Qt::LeftButton);
        for (int pass = pick(4); pass > 0; --pass) passage.autoScroll(away);
        mouse(QEvent::MouseButtonRelease, away, Qt::NoButton);
      } else if (kind == 4) {
        passage.resize(220 + pick(400), 120 + pick(300));
      } else if (kind == 5) {
        QFont font("Liberation Serif");
        font.setPixelSize(12 + pick(12));
        passage.setTextFont(font);
      } else if (kind == 6) {
        setStrongs(passage.module(), getStrongs(passage.module()) ? 0 : 1);
        passage.showPassage(passage.currentReference());
      } else if (kind == 7) {
        passage.showPassage(chapters[std::size_t(pick(6))]);
      } else {  // a click on a word
        const QPoint at(30 + pick(200), pick(view->height()));
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
      }
      const QImage shown = onScreen(passage);
      TPassage fresh(nameOf("King James Version", "kjv.bib"));
      setStrongs(fresh.module(), getStrongs(passage.module()));
      fresh.setTextFont(passage.textFont());
      fresh.show();
      fresh.resize(passage.size());
      QVERIFY(QTest::qWaitForWindowExposed(&fresh));
      fresh.showPassage(passage.currentReference());
      fresh.selectWords(passage.selectionAnchor(), passage.selectionEnd());
      fresh.scrollTo(passage.position());
      QCOMPARE(fresh.position(), passage.position());
      if (onScreen(fresh) != shown) {
        shown.save("shown.png");
        onScreen(fresh).save("fresh.png");
        QFAIL(qPrintable(QString("step %1 (kinds %2) differs; see shown.png and fresh.png")
                             .arg(step)
                             .arg(steps)));
      }
    }
  }
};

QTEST_MAIN(PassageTest)
#include "passage_test.moc"
