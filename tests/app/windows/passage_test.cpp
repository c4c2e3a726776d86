// Bible window on a workbench of the test's own: a chapter shown (caption, selected and centred
// verse, notes below, the screen font), word colours as painted, highlights, Strong's numbers,
// the hover look-ups, and what is on screen after every scrolling step.
#include "app/windows/passage.h"

#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "app/config.h"
#include "app/windows/hilight.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "engine/stores/notes.h"
#include "tests/app/app_fixtures.h"
#include "tests/app/fakes.h"
#include "tools/import/lexicon_writer.h"

using namespace vellum;
using test::parse;
using vellum::ui::TPassage;

namespace {

const QColor kWhite(255, 255, 255), kDarkBlue(0, 0, 100), kRed(255, 0, 0), kBlue(0, 0, 255),
    kGreen(0, 255, 0), kYellow(200, 200, 0);
const bibleName kKjv = test::bibleNamed("kjv.bib", "King James Version");

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

// Shows the window offscreen with a viewport of the given size.
bool show(TPassage& passage, QSize viewport = QSize(500, 400)) {
  passage.show();
  passage.resize(viewport + passage.size() - passage.viewport()->size());
  if (!QTest::qWaitForWindowExposed(&passage)) return false;
  QCoreApplication::processEvents();
  return true;
}

}  // namespace

class PassageTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::AppData> data_;
  test::FakeWorkbench bench_;

 private Q_SLOTS:
  void init() {
    data_ = std::make_unique<test::AppData>();
    set_dpath(data_->path().c_str());
    bench_ = test::FakeWorkbench();
    TPassage::forgetLastHover();
  }
  void cleanup() { data_.reset(); }

  // A module that does not open leaves an empty window; a chapter the module lacks leaves the
  // window as it was; a verse past the chapter's end shows the chapter's last verse. The
  // Strong's number of a word, with or without numbers in the module.
  void aMissingModuleChapterOrVerseAndStrongsAtWord() {
    std::string why;
    TPassage missing(test::bibleNamed("missing.bib"), bench_, &why);
    QVERIFY(!missing.module() && !why.empty() && !missing.notes() && !missing.hilight());
    missing.showPassage(Reference{0, 1, 1});
    QVERIFY(!missing.hasText() && !missing.canHilightNow());
    QCOMPARE(missing.strongsAtWord(1, Reference{0, 1, 1}), -1);
    TPassage web(test::bibleNamed("web.bib", "World English Bible"), bench_);
    web.showPassage(parse("John 3:2", web.module()));
    const std::string before = web.text();
    web.showPassage(Reference{0, 40, 1});
    QCOMPARE(web.windowTitle(), QString("John 3:2 - World English Bible"));
    QCOMPARE(web.text(), before);
    web.showPassage(Reference{0, 1, 99});
    QCOMPARE(web.windowTitle(), QString("Genesis 1:2 - World English Bible"));
    QCOMPARE(web.strongsAtWord(3, Reference{0, 1, 1}), -1);  // a module without numbers

    Passage passage(kKjv, bench_);
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
  }

  // The window starts at the verse selected in the verses-found box, or, without one, asks the
  // program's frame for a search and shows nothing yet.
  void showPassageSelectsTheVerse() {
    bench_.selected = "John 3:16";
    Passage passage(kKjv, bench_);
    QVERIFY(show(passage));
    QCOMPARE(passage.windowTitle(), QString("John 3:16 - King James Version"));
    const Reference john316 = parse("John 3:16", passage.module());
    passage.showPassage(john316);
    QCOMPARE(passage.currentReference(), john316);
    // The verse's whole line, Strong's numbers hidden; in view as the chapter opens.
    const std::string selected = passage.selectedText(32766);
    QVERIFY(selected.starts_with("16 For God so loved the world,") &&
            selected.ends_with("life.\n"));
    QVERIFY(selected.find("2316") == std::string::npos);
    QCOMPARE(passage.position(), 0);
    // A new screen font lays the chapter out again, the verse still selected.
    const int lineHeight = passage.lineHeight();
    setScreenFontName("Liberation Sans");
    setScreenFontSize(24);
    passage.applyScreenFont();
    setScreenFontName("Times New Roman");
    setScreenFontSize(12);
    QVERIFY(passage.textFont().family() == "Liberation Sans" && passage.lineHeight() > lineHeight);
    QCOMPARE(passage.wordText(passage.selectionFirst()), std::string("16 "));
    // Verse 2's line, not the end of verse 12's.
    passage.showPassage(parse("John 3:2", passage.module()));
    QVERIFY(passage.selectedText(100).starts_with("2 "));
    QVERIFY(passage.text()[passage.word(passage.selectionFirst()).start - 1] == '\n');
    passage.setWindowTitle("nothing here");  // a caption that does not parse is Genesis 1:1
    QCOMPARE(passage.currentReference(), (Reference{0, 1, 1}));

    bench_.selected.clear();
    TPassage second(kKjv, bench_);
    QVERIFY(show(second));
    QVERIFY(!second.hasText());
  }

  void notesFollowTheChapterWithinItsBuffer() {
    Passage passage(kKjv, bench_);
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

  // Selection white on dark blue, verse numbers blue; each highlight command's code (red 0,
  // blue 1, green 2, yellow 3) through the route, as the words' colours, painted, and stored.
  void wordColoursAsPaintedAndAfterHighlighting() {
    Passage passage(kKjv, bench_);
    QVERIFY(show(passage));
    const Reference john316 = parse("John 3:16", passage.module());
    passage.showPassage(john316);
    const QColor base = passage.palette().color(QPalette::Base);
    const QColor text = passage.palette().color(QPalette::Text);
    const int v16 = passage.selectionFirst(), v17 = findWord(passage, "17 ", v16);
    QVERIFY(v17 > v16 && passage.canHilightNow());
    QVERIFY(passage.wordColors(v16).text == kWhite &&
            passage.wordColors(v16).background == kDarkBlue);
    QVERIFY(passage.wordColors(v17).text == kBlue && passage.wordColors(0).text == kBlue);
    QCOMPARE(passage.wordColors(v17 + 1).text, text);
    // Selected and highlighted: the highlight's colour as text. Blue on a verse number takes its
    // blue text away.
    const std::tuple<int, int, QColor> hilights[] = {{ui::CmHilightRed, v16 + 1, kRed},
                                                     {ui::CmHilightBlue, v16 + 5, kBlue},
                                                     {ui::CmHilightGreen, v16 + 6, kGreen},
                                                     {ui::CmHilightYellow, v16 + 7, kYellow},
                                                     {ui::CmHilightBlue, v16, kBlue}};
    for (const auto& [command, word, colour] : hilights) {
      passage.selectWords(word, word);
      QVERIFY(ui::dispatchCommandFrom(&passage, command));
      QCOMPARE(passage.wordColors(word).text, colour);
    }
    passage.selectWords(-1, -1);
    for (const auto& [command, word, colour] : hilights)
      QCOMPARE(passage.wordColors(word).background, colour);
    QCOMPARE(passage.wordColors(v16).text, text);
    passage.viewport()->repaint();
    QVERIFY(countPixels(passage, v16 + 1, kRed) > 0);
    QVERIFY(countPixels(passage, v17, kBlue) + countPixels(passage, v16 + 7, kYellow) > 0);
    QCOMPARE(countPixels(passage, v17, kDarkBlue), 0);
    // Unhighlight; a command without a selection stores nothing; another window shows the rest.
    passage.selectWords(v16 + 1, v16 + 1);
    passage.handleCommand(ui::CmUnhilight);
    QCOMPARE(passage.wordColors(v16 + 1).text, kWhite);
    passage.selectWords(-1, -1);
    passage.handleCommand(ui::CmHilightRed);
    QCOMPARE(passage.hilight()->getHilight(john316, v16 + 1), 4);
    TPassage other(kKjv);
    other.showPassage(parse("John 3:5", other.module()));
    QCOMPARE(other.wordColors(v16 + 6).background, kGreen);

    // Strong's numbers shown: red, highlights hidden and refused; digits in notes stay plain.
    QVERIFY(VNSetNoteByRef(john316, "read 1 John 3 16", passage.notes()));
    setStrongs(passage.module(), 1);
    passage.showPassage(john316);
    QVERIFY(!passage.canHilightNow() && !ui::queryCommandFrom(&passage, ui::CmHilightRed).enabled);
    const int number = findWord(passage, "1063 ");
    QCOMPARE(passage.wordColors(number).text, kRed);
    QCOMPARE(passage.wordColors(findWord(passage, "17 ")).text, kBlue);
    passage.selectWords(-1, -1);
    for (int i = 0; i < passage.wordCount(); ++i) QCOMPARE(passage.wordColors(i).background, base);
    QCOMPARE(passage.wordColors(findWord(passage, "1 ", findWord(passage, "read "))).text, text);
    passage.selectWords(number, number);
    passage.handleCommand(ui::CmHilightRed);
    QCOMPARE(passage.hilight()->getHilight(john316, number), 4);
  }

  void hoverLooksUpEachNewWordOnce() {
    test::Dict hitchcock(new_dict("hitchck.dic", "names", 101, 0));
    test::Dict eastons(new_dict("eastons.dic", "dictionary", 101, 1));
    QVERIFY(add_string_item(hitchcock.get(), "world", "  the   earth \r\nsecond line"));
    QVERIFY(add_string_item(hitchcock.get(), "Son", "a child"));
    QVERIFY(add_string_item(eastons.get(), "God", "The Supreme Being"));
    bench_.hitchcockStore = hitchcock.get();
    bench_.eastonsStore = eastons.get();
    Passage passage(kKjv, bench_);
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
    passage.onHoverWord("“Son’s");  // typeset: the quotes go and ’s reads as the possessive 's
    QCOMPARE(bench_.statuses.back(), QString("Son:a child"));

    // With the lexicon, a number is a Strong's number of the testament the window shows; a
    // verse number (it starts a line) is not one.
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
    passage.onHoverWord("\n2");
    QCOMPARE(bench_.statuses.back(), QString());
  }

  // Random steps of everything that moves, lays out or redraws the text; after each, what the
  // window shows equals what a window made afresh, in the same state, shows.
  void whatIsOnScreenMatchesAFreshWindowAfterEveryStep() {
    Passage passage(kKjv, bench_);
    QVERIFY(show(passage, QSize(360, 240)));
    const char* chapters[] = {"Genesis 18:1", "Genesis 1:1",    "Genesis 24:60",
                              "John 3:16",    "Psalms 119:100", "Obadiah 1:1"};
    passage.showPassage(parse(chapters[0], passage.module()));
    std::mt19937 random(16);
    const auto pick = [&random](int n) { return std::uniform_int_distribution(0, n - 1)(random); };
    QWidget* view = passage.viewport();
    const auto mouse = [view](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
      QMouseEvent event(type, at, view->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
      QCoreApplication::sendEvent(view, &event);
    };
    QScrollBar* bar = passage.verticalScrollBar();
    const Qt::Key keys[] = {Qt::Key_Down,   Qt::Key_Up,   Qt::Key_PageDown,
                            Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End};
    for (int step = 0; step < 300; ++step) {
      const int kind = pick(9);
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
        passage.showPassage(parse(chapters[pick(6)], passage.module()));
      } else {  // a click on a word
        const QPoint at(30 + pick(200), pick(view->height()));
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
      }
      const QImage shown = onScreen(passage);
      TPassage fresh(kKjv);
      setStrongs(fresh.module(), getStrongs(passage.module()));
      fresh.setTextFont(passage.textFont());
      QVERIFY(show(fresh, view->size()));
      fresh.showPassage(passage.currentReference());
      fresh.selectWords(passage.selectionAnchor(), passage.selectionEnd());
      fresh.scrollTo(passage.position());
      QCOMPARE(fresh.position(), passage.position());
      QVERIFY2(onScreen(fresh) == shown, qPrintable(QString("step %1").arg(step)));
    }
  }
};

QTEST_MAIN(PassageTest)
#include "passage_test.moc"
