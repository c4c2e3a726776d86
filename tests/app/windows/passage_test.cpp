// Bible window: showing a chapter (caption, selected and centred verse, notes below), the
// current reference, word colours as painted, highlights and their commands, Strong's numbers,
// the hover look-ups, the pop-up menu, the command table and the screen font.
#include "app/windows/passage.h"

#include <QAction>
#include <QImage>
#include <QMenu>
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

#include "app/commands.h"
#include "app/config.h"
#include "app/windows/hilight.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "engine/stores/notes.h"
#include "support/files.h"
#include "tests/app/app_fixtures.h"
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
  bibleName name;
  std::strncpy(name.name, display, sizeof name.name - 1);
  std::strncpy(name.path, file, sizeof name.path - 1);
  return name;
}

// The window with its look-ups pointed at stores of the test's own and its message bar
// recorded.
class TestPassage : public TPassage {
 public:
  using TPassage::onHoverWord;
  using TPassage::TPassage;
  DictHandle* eastons = nullptr;
  DictHandle* hitchcock = nullptr;
  LexiconHandle* lexicon = nullptr;
  std::vector<QString> statuses;

 protected:
  DictHandle* eastonsStore() const override { return eastons; }
  DictHandle* hitchcockStore() const override { return hitchcock; }
  LexiconHandle* lexiconStore() const override { return lexicon; }
  void showStatusText(const QString& text) override { statuses.push_back(text); }
};

struct DictCloser {
  void operator()(DictHandle* h) const { deinit_dict(h); }
};
struct LexiconCloser {
  void operator()(LexiconHandle* h) const { deinitLexicon(h); }
};

Reference parse(const char* text, BibleHandle* module) {
  Reference reference;
  parseReference(&reference, text, module);
  return reference;
}

// The index of the first word whose text (separator included) is exactly `text`, from `from`.
int findWord(const TPassage& view, const std::string& text, int from = 0) {
  for (int i = from; i < view.wordCount(); ++i)
    if (view.wordText(i) == text) return i;
  return -1;
}

// Counts the pixels of the word's rectangle, as drawn, that match the predicate.
template <class Match>
int countPixels(TPassage& view, int index, Match match) {
  const QImage image = view.viewport()->grab().toImage();
  QRect rect = view.wordRect(index);
  rect.translate(0, -view.position());
  rect = rect.intersected(image.rect());
  int count = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      if (match(image.pixelColor(x, y))) ++count;
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

bool near(const QColor& c, const QColor& target) {
  return std::abs(c.red() - target.red()) < 40 && std::abs(c.green() - target.green()) < 40 &&
         std::abs(c.blue() - target.blue()) < 40;
}

}  // namespace

class PassageTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::AppData> data_;
  std::unique_ptr<TestPassage> passage_;

  // A translation without Strong's numbers: Genesis 1 and 2 and John 1.
  void buildSmallModule() {
    test::buildModule(data_->dir().path(), "bbe.bib", "Basic English",
                      "Genesis\t1\t1\tAt the first God made the heaven and the earth.\n"
                      "Genesis\t1\t2\tAnd the earth was waste and without form.\n"
                      "Genesis\t2\t1\tAnd the heaven and the earth were complete.\n"
                      "John\t1\t1\tFrom the first he was the Word.\n"
                      "John\t1\t2\tThis Word was from the first in relation with God.\n");
  }
  TestPassage& open(const char* display = "King James Version", const char* file = "kjv.bib") {
    passage_ = std::make_unique<TestPassage>(nameOf(display, file));
    return *passage_;
  }
  // Shows the window offscreen with a viewport of the given size.
  bool show(TestPassage& passage, QSize viewport = QSize(500, 400)) {
    passage.show();
    const QSize frame = passage.size() - passage.viewport()->size();
    passage.resize(viewport + frame);
    if (!QTest::qWaitForWindowExposed(&passage)) return false;
    QCoreApplication::processEvents();
    return true;
  }

 private Q_SLOTS:
  void init() {
    data_ = std::make_unique<test::AppData>();
    set_dpath(data_->path().c_str());
    TPassage::forgetLastHover();
  }
  void cleanup() {
    passage_.reset();
    data_.reset();
  }

  void aModuleThatDoesNotOpenLeavesAnEmptyWindow();
  void showPassageSelectsAndCentresTheVerse();
  void theCaptionIsTheCurrentReference();
  void referencesOutsideTheModule();
  void verseNumbersAreBlueAndTheSelectionWhiteOnDarkBlue();
  void notesFollowTheChapter();
  void notesStayWithinTheChapterBuffer();
  void highlightCommandsColourTheSelection();
  void strongsNumbersHideHighlights();
  void strongsAtWord();
  void hoverLooksUpEachNewWordOnce();
  void hoverLooksUpStrongsNumbersInTheLexicon();
  void thePopupMenu();
  void theCommandTable();
  void theScreenFont();
  void digitsInNotesAreNotStrongsNumbers();
  void whatIsOnScreenMatchesAFreshWindowAfterEveryStep();
};

void PassageTest::aModuleThatDoesNotOpenLeavesAnEmptyWindow() {
  std::string why;
  TPassage missing(nameOf("Missing", "missing.bib"), &why);
  QVERIFY(missing.module() == nullptr);
  QVERIFY(!why.empty());
  QVERIFY(missing.notes() == nullptr);
  QVERIFY(missing.hilight() == nullptr);
  missing.showPassage(Reference{0, 1, 1});
  QVERIFY(!missing.hasText());
  QCOMPARE(missing.currentReference(), (Reference{0, 1, 1}));
  QVERIFY(!missing.canHilightNow());
  QCOMPARE(missing.strongsAtWord(1, Reference{0, 1, 1}), -1);
}

void PassageTest::showPassageSelectsAndCentresTheVerse() {
  TestPassage& passage = open();
  QVERIFY(show(passage));
  QSignalSpy shown(&passage, &TPassage::passageShown);
  const Reference john316 = parse("John 3:16", passage.module());
  passage.showPassage(john316);
  QCOMPARE(shown.count(), 1);
  QCOMPARE(passage.windowTitle(), QString("John 3:16 - King James Version"));
  // The verse's whole line is selected, from its number to its line feed.
  const std::string selected = passage.selectedText(32766);
  QVERIFY(selected.rfind("16 For God so loved the world,", 0) == 0);
  QVERIFY(selected.ends_with("life.\n"));
  QCOMPARE(passage.wordText(passage.selectionFirst()), std::string("16 "));
  // Strong's numbers are hidden by default.
  QVERIFY(selected.find("2316") == std::string::npos);
  // In view as the chapter opens: the view stays at the top.
  QCOMPARE(passage.position(), 0);
  QVERIFY(passage.wordRect(passage.selectionLast()).bottom() < passage.pageHeight());
  // In a window too short for that it is centred: the space above the verse and below it
  // differ by less than two lines.
  QVERIFY(show(passage, QSize(500, 150)));
  passage.showPassage(john316);
  const QRect first = passage.wordRect(passage.selectionFirst());
  const QRect last = passage.wordRect(passage.selectionLast());
  const int above = first.top() - passage.position();
  const int below = passage.position() + passage.pageHeight() - (last.bottom() + 1);
  QVERIFY(passage.position() > 0);
  QVERIFY(above > 0 && below > 0);
  QVERIFY(std::abs(above - below) < 2 * passage.lineHeight());

  // Verse 1 starts the chapter: nothing to scroll.
  passage.showPassage(parse("John 3:1", passage.module()));
  QCOMPARE(passage.selectionFirst(), 0);
  QCOMPARE(passage.position(), 0);
  QVERIFY(passage.selectedText(100).rfind("1 ", 0) == 0);
  // Verse 2's line, not the end of verse 12's.
  passage.showPassage(parse("John 3:2", passage.module()));
  QVERIFY(passage.selectedText(100).rfind("2 ", 0) == 0);
  QVERIFY(passage.text()[passage.word(passage.selectionFirst()).start - 1] == '\n');
}

void PassageTest::theCaptionIsTheCurrentReference() {
  TestPassage& passage = open();
  passage.showPassage(parse("Song of Solomon 2:3", passage.module()));
  QCOMPARE(passage.windowTitle(), QString("Song of Solomon 2:3 - King James Version"));
  QCOMPARE(passage.currentReference(), parse("Song of Solomon 2:3", passage.module()));
  passage.showPassage(parse("Revelation 22:21", passage.module()));
  QCOMPARE(passage.currentReference(), (Reference{65, 22, 21}));
  // A caption that does not parse is Genesis 1:1.
  passage.setWindowTitle("nothing here");
  QCOMPARE(passage.currentReference(), (Reference{0, 1, 1}));
}

void PassageTest::referencesOutsideTheModule() {
  buildSmallModule();
  TestPassage& passage = open("Basic English", "bbe.bib");
  passage.showPassage(parse("John 1:2", passage.module()));
  QCOMPARE(passage.windowTitle(), QString("John 1:2 - Basic English"));
  const std::string before = passage.text();
  // A chapter the module does not hold leaves the window as it was.
  passage.showPassage(Reference{0, 40, 1});
  QCOMPARE(passage.windowTitle(), QString("John 1:2 - Basic English"));
  QCOMPARE(passage.text(), before);
  // A verse past the chapter's end shows its last verse.
  passage.showPassage(Reference{0, 1, 99});
  QCOMPARE(passage.windowTitle(), QString("Genesis 1:2 - Basic English"));
  QVERIFY(passage.selectedText(100).rfind("2 And the earth", 0) == 0);
}

void PassageTest::verseNumbersAreBlueAndTheSelectionWhiteOnDarkBlue() {
  TestPassage& passage = open();
  QVERIFY(show(passage));
  passage.showPassage(parse("John 3:16", passage.module()));
  const QColor base = passage.palette().color(QPalette::Base);
  const QColor text = passage.palette().color(QPalette::Text);
  const int verse16 = passage.selectionFirst();
  TPassage::WordColors colors = passage.wordColors(verse16);
  QCOMPARE(colors.text, kWhite);
  QCOMPARE(colors.background, kDarkBlue);
  QCOMPARE(passage.wordColors(verse16 + 1).text, kWhite);  // "For"
  const int verse17 = findWord(passage, "17 ", verse16);
  QVERIFY(verse17 > verse16);
  QCOMPARE(passage.wordColors(verse17).text, kBlue);
  QCOMPARE(passage.wordColors(verse17).background, base);
  QCOMPARE(passage.wordColors(verse17 + 1).text, text);
  QCOMPARE(passage.wordColors(0).text, kBlue);  // the chapter's first word is verse 1

  // As drawn: dark blue behind the selected number, white strokes on it; blue strokes on the
  // window's colour for the next one.
  passage.viewport()->repaint();
  QVERIFY(countPixels(passage, verse16, [](QColor c) { return c == kDarkBlue; }) > 0);
  QVERIFY(countPixels(passage, verse16, [](QColor c) { return near(c, kWhite); }) > 0);
  QVERIFY(countPixels(passage, verse17, [](QColor c) { return near(c, kBlue); }) > 0);
  QVERIFY(countPixels(passage, verse17, [&](QColor c) { return c == base; }) > 0);
  QCOMPARE(countPixels(passage, verse17, [](QColor c) { return c == kDarkBlue; }), 0);
}

void PassageTest::notesFollowTheChapter() {
  TestPassage& passage = open();
  QVERIFY(passage.notes() != nullptr);
  const Reference john316 = parse("John 3:16", passage.module());
  passage.showPassage(john316);
  const std::string chapter = passage.text();
  QVERIFY(chapter.find("Notes:") == std::string::npos);
  QVERIFY(VNSetNoteByRef(john316, "God's love\nfor all", passage.notes()));
  QVERIFY(VNSetNoteByRef(parse("John 3:2", passage.module()), "Nicodemus", passage.notes()));
  passage.showPassage(john316);
  QCOMPARE(passage.text(), chapter +
                               "\n\nNotes:\n-----------------------\n2. Nicodemus\n16. God's "
                               "love\nfor all\n");
  // The verse is still found in the chapter, not in the notes.
  QVERIFY(passage.selectedText(100).rfind("16 For God", 0) == 0);
  QVERIFY(passage.word(passage.selectionFirst()).start < chapter.size());
  // Another chapter has none of them.
  passage.showPassage(parse("John 4:1", passage.module()));
  QVERIFY(passage.text().find("Notes:") == std::string::npos);
}

void PassageTest::notesStayWithinTheChapterBuffer() {
  TestPassage& passage = open();
  const Reference psalm119 = parse("Psalms 119:1", passage.module());
  QVERIFY(VNSetNoteByRef(psalm119, std::string(30000, 'n').c_str(), passage.notes()));
  passage.showPassage(psalm119);
  const std::string& text = passage.text();
  QCOMPARE(text.size(), std::size_t{kMaxChapterText});
  QVERIFY(text.find("\n\nNotes:\n-----------------------\n1. nnn") != std::string::npos);
  QCOMPARE(text.back(), 'n');
}

void PassageTest::highlightCommandsColourTheSelection() {
  TestPassage& passage = open();
  QVERIFY(show(passage));
  const Reference john316 = parse("John 3:16", passage.module());
  passage.showPassage(john316);
  const int verse16 = passage.selectionFirst();
  QVERIFY(passage.canHilightNow());
  QVERIFY(ui::queryCommandFrom(&passage, ui::CmHilightRed).enabled);

  // Red on "For God so" (the words after the number), through the command route.
  passage.selectWords(verse16 + 1, verse16 + 3);
  QVERIFY(ui::dispatchCommandFrom(&passage, ui::CmHilightRed));
  for (int i = verse16 + 1; i <= verse16 + 3; ++i)
    QCOMPARE(passage.hilight()->getHilight(john316, i), 0);
  QCOMPARE(passage.hilight()->getHilight(john316, verse16), 4);
  // Selected and highlighted: the highlight's colour as text, on the selection's background.
  QCOMPARE(passage.wordColors(verse16 + 2).text, kRed);
  QCOMPARE(passage.wordColors(verse16 + 2).background, kDarkBlue);

  // Each command's code: blue 1, green 2, yellow 3.
  passage.selectWords(verse16 + 5, verse16 + 5);
  passage.handleCommand(ui::CmHilightBlue);
  passage.selectWords(verse16 + 6, verse16 + 6);
  passage.handleCommand(ui::CmHilightGreen);
  passage.selectWords(verse16 + 7, verse16 + 7);
  passage.handleCommand(ui::CmHilightYellow);
  // Blue on the verse number: it is no longer drawn in blue text.
  passage.selectWords(verse16, verse16);
  passage.handleCommand(ui::CmHilightBlue);
  passage.selectWords(-1, -1);
  QCOMPARE(passage.hilight()->getHilight(john316, verse16 + 5), 1);
  QCOMPARE(passage.hilight()->getHilight(john316, verse16 + 6), 2);
  QCOMPARE(passage.hilight()->getHilight(john316, verse16 + 7), 3);
  const QColor text = passage.palette().color(QPalette::Text);
  QCOMPARE(passage.wordColors(verse16 + 2).background, kRed);
  QCOMPARE(passage.wordColors(verse16 + 2).text, text);
  QCOMPARE(passage.wordColors(verse16 + 5).background, kBlue);
  QCOMPARE(passage.wordColors(verse16 + 6).background, kGreen);
  QCOMPARE(passage.wordColors(verse16 + 7).background, kYellow);
  QCOMPARE(passage.wordColors(verse16).background, kBlue);
  QCOMPARE(passage.wordColors(verse16).text, text);
  passage.viewport()->repaint();
  QVERIFY(countPixels(passage, verse16 + 2, [](QColor c) { return c == kRed; }) > 0);
  QVERIFY(countPixels(passage, verse16 + 7, [](QColor c) { return c == kYellow; }) > 0);

  // Unhighlighting a highlighted selected word: white text again.
  passage.selectWords(verse16 + 2, verse16 + 2);
  passage.handleCommand(ui::CmUnhilight);
  QCOMPARE(passage.hilight()->getHilight(john316, verse16 + 2), 4);
  QCOMPARE(passage.wordColors(verse16 + 2).text, kWhite);
  // No selection: nothing is stored.
  passage.selectWords(-1, -1);
  passage.handleCommand(ui::CmHilightRed);
  QCOMPARE(passage.hilight()->getHilight(john316, verse16 + 2), 4);

  // Another window on the same translation shows the stored highlights.
  TestPassage other(nameOf("King James Version", "kjv.bib"));
  other.showPassage(parse("John 3:5", other.module()));
  QCOMPARE(other.wordColors(verse16 + 1).background, kRed);
}

void PassageTest::strongsNumbersHideHighlights() {
  TestPassage& passage = open();
  QVERIFY(show(passage));
  const Reference john316 = parse("John 3:16", passage.module());
  passage.showPassage(john316);
  const int verse16 = passage.selectionFirst();
  passage.selectWords(verse16 + 1, verse16 + 1);
  passage.handleCommand(ui::CmHilightGreen);
  const QColor base = passage.palette().color(QPalette::Base);

  setStrongs(passage.module(), 1);
  passage.showPassage(passage.currentReference());
  QVERIFY(!passage.canHilightNow());
  QVERIFY(!ui::queryCommandFrom(&passage, ui::CmHilightRed).enabled);
  QVERIFY(passage.text().find("For 1063 God 2316") != std::string::npos);
  passage.selectWords(-1, -1);
  for (int i = 0; i < passage.wordCount(); ++i) QCOMPARE(passage.wordColors(i).background, base);
  const int number = findWord(passage, "1063 ");
  QVERIFY(number > 0);
  QCOMPARE(passage.wordColors(number).text, kRed);
  const int verse17 = findWord(passage, "17 ");
  QCOMPARE(passage.wordColors(verse17).text, kBlue);  // a verse number is not a Strong's number
  // The commands are refused, through the route and directly.
  passage.selectWords(number, number);
  ui::dispatchCommandFrom(&passage, ui::CmHilightRed);
  QCOMPARE(passage.hilight()->getHilight(john316, number), 4);
  passage.handleCommand(ui::CmHilightRed);
  QCOMPARE(passage.hilight()->getHilight(john316, number), 4);
  QCOMPARE(passage.hilight()->getHilight(john316, verse16 + 1), 2);

  setStrongs(passage.module(), 0);
  passage.showPassage(passage.currentReference());
  passage.selectWords(-1, -1);
  QCOMPARE(passage.wordColors(verse16 + 1).background, kGreen);
}

void PassageTest::strongsAtWord() {
  TestPassage& passage = open();
  const Reference genesis1 = Reference{0, 1, 1};
  passage.showPassage(genesis1);
  // "1 In the beginning God created the heaven and the earth.\n2 ..." as displayed; each
  // number follows the words it belongs to.
  QCOMPARE(passage.wordText(3), std::string("beginning "));
  QCOMPARE(passage.strongsAtWord(3, genesis1), 7225);
  QCOMPARE(passage.strongsAtWord(1, genesis1), 7225);
  QCOMPARE(passage.strongsAtWord(4, genesis1), 430);
  QCOMPARE(passage.strongsAtWord(5, genesis1), 1254);
  QCOMPARE(passage.wordText(10), std::string("earth.\n"));
  QCOMPARE(passage.strongsAtWord(10, genesis1), 776);
  QCOMPARE(passage.strongsAtWord(12, genesis1), -1);  // verse 2 carries no numbers
  QCOMPARE(passage.strongsAtWord(-1, genesis1), -1);
  QCOMPARE(passage.strongsAtWord(3, Reference{0, 51, 1}), -1);
  // The display flag is restored, and the chapter shown is untouched.
  QCOMPARE(getStrongs(passage.module()), 0);
  QVERIFY(passage.text().find("7225") == std::string::npos);
  setStrongs(passage.module(), 1);
  QCOMPARE(passage.strongsAtWord(4, genesis1), 430);
  QCOMPARE(getStrongs(passage.module()), 1);

  buildSmallModule();
  TestPassage small(nameOf("Basic English", "bbe.bib"));
  QVERIFY(small.module());
  QCOMPARE(hasStrongs(small.module()), 0);
  QCOMPARE(small.strongsAtWord(3, genesis1), -1);
}

void PassageTest::hoverLooksUpEachNewWordOnce() {
  std::unique_ptr<DictHandle, DictCloser> hitchcock(new_dict("hitchck.dic", "names", 101, 0));
  std::unique_ptr<DictHandle, DictCloser> eastons(new_dict("eastons.dic", "dictionary", 101, 1));
  QVERIFY(hitchcock && eastons);
  QVERIFY(add_string_item(hitchcock.get(), "world", "  the   earth \r\nsecond line"));
  QVERIFY(add_string_item(hitchcock.get(), "Son", "a child"));
  QVERIFY(add_string_item(eastons.get(), "God", "The Supreme Being"));
  QVERIFY(add_string_item(eastons.get(), "Son", "A male child"));
  TestPassage& passage = open();
  passage.hitchcock = hitchcock.get();
  passage.eastons = eastons.get();
  QVERIFY(show(passage));
  passage.showPassage(parse("John 3:16", passage.module()));

  // Through the mouse: the word under it, with its punctuation, is looked up.
  const int world = findWord(passage, "world, ");
  QVERIFY(world > 0);
  const QRect rect = passage.wordRect(world);
  const QPoint point(rect.center().x(), rect.center().y() - passage.position());
  QMouseEvent move(QEvent::MouseMove, point, passage.viewport()->mapToGlobal(point), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(passage.viewport(), &move);
  QCOMPARE(passage.statuses, std::vector<QString>{"world: the earth"});
  QCOMPARE(passage.viewport()->cursor().shape(), Qt::ArrowCursor);
  // The same word again: no look-up.
  QCoreApplication::sendEvent(passage.viewport(), &move);
  passage.onHoverWord("world,");
  QCOMPARE(passage.statuses.size(), std::size_t{1});

  // A word with a dictionary entry but no name entry: the help cursor, and the message bar
  // cleared once.
  passage.onHoverWord("God");
  QCOMPARE(passage.statuses, (std::vector<QString>{"world: the earth", ""}));
  QCOMPARE(passage.viewport()->cursor().shape(), Qt::WhatsThisCursor);
  passage.onHoverWord("so");
  QCOMPARE(passage.statuses.size(), std::size_t{2});
  QCOMPARE(passage.viewport()->cursor().shape(), Qt::ArrowCursor);
  passage.onHoverWord("Son,");
  QCOMPARE(passage.statuses.back(), QString("Son:a child"));
  QCOMPARE(passage.viewport()->cursor().shape(), Qt::WhatsThisCursor);
  // Without the lexicon, digit words are looked up like any other.
  passage.onHoverWord("16");
  QCOMPARE(passage.statuses.back(), QString());
  QCOMPARE(passage.statuses.size(), std::size_t{4});
  // The first word of the text gives the empty text, which is remembered like any other.
  passage.onHoverWord("");
  passage.onHoverWord("");
  QCOMPARE(passage.statuses.size(), std::size_t{4});
  // Typeset text: the quotes go and ’s reads as the possessive 's.
  passage.onHoverWord("“Son’s");
  QCOMPARE(passage.statuses.back(), QString("Son:a child"));
}

void PassageTest::hoverLooksUpStrongsNumbersInTheLexicon() {
  std::string error;
  QVERIFY2(import::writeLexicon({{430, "elohim\nGod, gods", 1}}, {{2316, "theos   God\nmore", 1}},
                                data_->dir().file("lexicon.lex"), error),
           error.c_str());
  std::unique_ptr<LexiconHandle, LexiconCloser> lexicon(initLexicon("lexicon.lex"));
  QVERIFY(lexicon);
  TestPassage& passage = open();
  passage.lexicon = lexicon.get();
  setStrongs(passage.module(), 1);
  // The current reference decides the table: Greek in John, Hebrew in Genesis.
  passage.showPassage(parse("John 3:16", passage.module()));
  passage.onHoverWord("2316");
  QCOMPARE(passage.statuses.back(), QString("theos God"));
  passage.onHoverWord("430");
  QCOMPARE(passage.statuses.size(), std::size_t{2});
  QCOMPARE(passage.statuses.back(), QString());  // Greek 430 is empty
  passage.showPassage(Reference{0, 1, 1});
  passage.onHoverWord("430)");
  QCOMPARE(passage.statuses.back(), QString("elohim"));
  // A verse number (it starts a line) is not a Strong's number.
  passage.onHoverWord("\n2");
  QCOMPARE(passage.statuses.back(), QString());
}

void PassageTest::thePopupMenu() {
  std::unique_ptr<DictHandle, DictCloser> eastons(new_dict("eastons.dic", "dictionary", 101, 1));
  TestPassage& passage = open();
  QVERIFY(show(passage));
  passage.showPassage(parse("John 3:16", passage.module()));
  QMenu* menu = passage.popupMenu();
  QVERIFY(menu);
  QStringList ids;
  QStringList texts;
  for (QAction* action : menu->actions()) {
    ids << (action->isSeparator() ? "-" : action->objectName());
    texts << action->text();
  }
  QCOMPARE(ids, QStringList({"300", "301", "-", "24323", "202", "24337", "-", "701", "703", "702",
                             "704", "705"}));
  QCOMPARE(texts, QStringList({"Search...", "Go to...", "", "Copy...", "Append...", "Print...", "",
                               "Hilight Red", "Hilight Blue", "Hilight Green", "Hilight Yellow",
                               "Unhilight"}));

  // With the dictionary and the lexicon open, their items follow "Go to...".
  std::string error;
  QVERIFY(import::writeLexicon({{1, "one", 1}}, {{1, "alpha", 1}}, data_->dir().file("lexicon.lex"),
                               error));
  std::unique_ptr<LexiconHandle, LexiconCloser> lexicon(initLexicon("lexicon.lex"));
  TestPassage& full = open();
  full.eastons = eastons.get();
  full.lexicon = lexicon.get();
  QVERIFY(show(full));
  full.showPassage(parse("John 3:16", full.module()));
  menu = full.popupMenu();
  QCOMPARE(menu->actions().at(2)->text(), QString("Strong's Number..."));
  QCOMPARE(menu->actions().at(2)->objectName(), QString("308"));
  QCOMPARE(menu->actions().at(3)->text(), QString("Easton's Dictionary..."));
  QCOMPARE(menu->actions().at(3)->objectName(), QString("501"));

  // Each item is enabled as its command is, just before the menu shows, and runs it.
  Q_EMIT menu->aboutToShow();
  const auto item = [menu](const char* id) { return menu->findChild<QAction*>(id); };
  QVERIFY(item("701")->isEnabled());
  QVERIFY(!item("300")->isEnabled());
  QVERIFY(!item("308")->isEnabled());
  setStrongs(full.module(), 1);
  Q_EMIT menu->aboutToShow();
  QVERIFY(!item("701")->isEnabled());
  setStrongs(full.module(), 0);
  Q_EMIT menu->aboutToShow();
  const int selected = full.selectionFirst();
  item("704")->trigger();
  QCOMPARE(full.hilight()->getHilight(full.currentReference(), selected), 3);
}

void PassageTest::theCommandTable() {
  TestPassage& passage = open();
  passage.showPassage(Reference{0, 1, 1});
  ui::CommandState state;
  for (int id : {24337, 109, 108, 24323, 202, 300, 301, 306, 307, 308, 401,
                 402,   403, 404, 405,   501, 502, 503, 504, 601, 602, 603}) {
    // Every command of the window is answered by the window (or one of its dialog families),
    // so none falls through to the client or the application.
    QVERIFY2(passage.commandState(id, state), qPrintable(QString::number(id)));
  }
  for (int id : {701, 702, 703, 704, 705}) {
    QVERIFY(passage.commandState(id, state));
    QVERIFY(state.enabled);
  }
  // Commands of the client, the frame and the application are not the window's.
  for (int id : {750, 905, 906, 24310, 24332, 101}) {
    QVERIFY(!passage.commandState(id, state));
    QVERIFY(!passage.handleCommand(id));
  }
  // A posted search (what setup does without a reference to show) runs and does nothing.
  ui::postCommand(&passage, ui::CmSearch);
  QCoreApplication::processEvents();
  QCOMPARE(passage.windowTitle(), QString("Genesis 1:1 - King James Version"));
}

void PassageTest::theScreenFont() {
  TestPassage& passage = open();
  // The default: "Times New Roman" at 12 points.
  QCOMPARE(passage.textFont().family(), QString("Times New Roman"));
  QCOMPARE(passage.textFont().pixelSize(), 12 * passage.logicalDpiY() / 72);
  QCOMPARE(passage.textFont().weight(), QFont::Normal);
  QVERIFY(show(passage));
  passage.showPassage(parse("John 3:16", passage.module()));
  const int lineHeight = passage.lineHeight();
  setScreenFontName("Liberation Sans");
  setScreenFontSize(24);
  passage.applyScreenFont();
  setScreenFontName("Times New Roman");
  setScreenFontSize(12);
  QCOMPARE(passage.textFont().family(), QString("Liberation Sans"));
  QCOMPARE(passage.textFont().pixelSize(), 24 * passage.logicalDpiY() / 72);
  QVERIFY(passage.lineHeight() > lineHeight);
  // Laid out again with the new font; the verse stays selected and in view.
  QCOMPARE(passage.lineHeight(), QFontMetrics(passage.textFont()).height());
  QCOMPARE(passage.wordText(passage.selectionFirst()), std::string("16 "));
  const QRect first = passage.wordRect(passage.selectionFirst());
  QVERIFY(first.top() >= passage.position());
  QVERIFY(first.bottom() < passage.position() + passage.pageHeight());
}

void PassageTest::digitsInNotesAreNotStrongsNumbers() {
  TestPassage& passage = open();
  const Reference genesis11 = parse("Genesis 1:1", passage.module());
  QVERIFY(VNSetNoteByRef(genesis11, "read 1 John 3 16 and 40 days", passage.notes()));
  setStrongs(passage.module(), 1);
  passage.showPassage(genesis11);
  const std::string& text = passage.text();
  const std::size_t notes = text.find("Notes:");
  QVERIFY(notes != std::string::npos);
  int checked = 0;
  for (int i = 0; i < passage.wordCount(); ++i) {
    const std::string word = passage.wordText(i);
    if (word.empty() || !std::isdigit(static_cast<unsigned char>(word[0]))) continue;
    const std::size_t start = passage.word(i).start;
    if (start == 0 || text[start - 1] == '\n') continue;  // a verse's or a note's number
    const bool inNotes = start > notes;
    // "7225" after "beginning" in the verse is a Strong's number; "1", "3", "16", "40" in the
    // note are the note's own words.
    QCOMPARE(passage.wordColors(i).text == kRed, !inNotes);
    if (inNotes) ++checked;
  }
  QCOMPARE(checked, 4);
}

// Random steps of everything that moves, lays out or redraws the text; after each, what the
// window shows equals what a window made afresh, in the same state, shows.
void PassageTest::whatIsOnScreenMatchesAFreshWindowAfterEveryStep() {
  TestPassage& passage = open();
  QVERIFY(show(passage, QSize(360, 240)));
  const std::vector<Reference> chapters = {
      parse("Genesis 18:1", passage.module()),   parse("Genesis 1:1", passage.module()),
      parse("Genesis 24:60", passage.module()),  parse("John 3:16", passage.module()),
      parse("Psalms 119:100", passage.module()), parse("Obadiah 1:1", passage.module())};
  passage.showPassage(chapters[0]);
  std::mt19937 random(16);
  const auto pick = [&random](int count) {
    return std::uniform_int_distribution<int>(0, count - 1)(random);
  };
  const auto font = [](int pixels) {
    QFont f("Liberation Serif");
    f.setPixelSize(pixels);
    return f;
  };
  const auto mouse = [&passage](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, passage.viewport()->mapToGlobal(at), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(passage.viewport(), &event);
  };
  QScrollBar* bar = passage.verticalScrollBar();
  const std::vector<int> keys = {Qt::Key_Down,   Qt::Key_Up,   Qt::Key_PageDown,
                                 Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End};
  const std::vector<QAbstractSlider::SliderAction> barActions = {
      QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
      QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderPageStepSub};
  QString steps;
  for (int step = 0; step < 300; ++step) {
    const int kind = pick(9);
    steps += QString::number(kind);
    switch (kind) {
      case 0:
        QTest::keyClick(&passage, static_cast<Qt::Key>(keys[static_cast<std::size_t>(pick(6))]),
                        pick(2) ? Qt::ControlModifier : Qt::NoModifier);
        break;
      case 1: {
        const QPoint at(50, 50);
        QWheelEvent wheel(at, passage.viewport()->mapToGlobal(at), QPoint(),
                          QPoint(0, pick(2) ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(passage.viewport(), &wheel);
        break;
      }
      case 2:
        if (pick(2)) {
          bar->triggerAction(barActions[static_cast<std::size_t>(pick(4))]);
        } else {  // the thumb dragged and let go
          bar->setSliderDown(true);
          bar->setSliderPosition(pick(bar->maximum() + 1));
          bar->setSliderDown(false);
        }
        break;
      case 3: {  // a drag past an edge, with a few passes of auto-scrolling
        const QPoint start(60, passage.viewport()->height() / 2);
        mouse(QEvent::MouseButtonPress, start, Qt::LeftButton);
        const QPoint away(60, pick(2) ? -pick(80) - 1 : passage.viewport()->height() + pick(80));
        mouse(QEvent::MouseMove, away, Qt::LeftButton);
        for (int pass = pick(4); pass > 0; --pass) passage.autoScroll(away);
        mouse(QEvent::MouseButtonRelease, away, Qt::NoButton);
        break;
      }
      case 4:
        passage.resize(220 + pick(400), 120 + pick(300));
        break;
      case 5:
        passage.setTextFont(font(12 + pick(12)));
        break;
      case 6:
        setStrongs(passage.module(), getStrongs(passage.module()) ? 0 : 1);
        passage.showPassage(passage.currentReference());
        break;
      case 7:
        passage.showPassage(chapters[static_cast<std::size_t>(pick(6))]);
        break;
      default: {  // a click on a word
        const QPoint at(30 + pick(200), pick(passage.viewport()->height()));
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
        break;
      }
    }
    const QImage shown = onScreen(passage);

    TestPassage fresh(nameOf("King James Version", "kjv.bib"));
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
      QFAIL(qPrintable(
          QString("step %1 (kinds %2) differs; see shown.png and fresh.png").arg(step).arg(steps)));
    }
  }
}

QTEST_MAIN(PassageTest)
#include "passage_test.moc"
