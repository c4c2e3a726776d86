// Copy, Append and Print: composing a passage from each source with each option, quotations,
// the clipboard's line ends, the "COPY" options, page layout and page breaks, printing to PDF
// through the print dialog, the window and printer font commands, and the commands run from
// the whole program on a verses-found list.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/config.h"
#include "app/frame.h"
#include "app/main_app.h"
#include "app/print_text.h"
#include "app/profile.h"
#include "app/windows/compose_passage.h"
#include "app/windows/copy_print_dlg.h"
#include "app/windows/passage.h"
#include "app/windows/window_commands.h"
#include "support/files.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

const std::string kVerse15 =
    "That whosoever believeth in him should not perish, but have eternal life.";
const std::string kVerse16 =
    "For God so loved the world, that he gave his only begotten Son, that whosoever believeth "
    "in him should not perish, but have everlasting life.";
const std::string kVerse17 =
    "For God sent not his Son into the world to condemn the world; but that the world through "
    "him might be saved.";
const std::string kVerse18 =
    "He that believeth on him is not condemned: but he that believeth not is condemned "
    "already, because he hath not believed in the name of the only begotten Son of God.";

// A small translation with real text in John 3:15-18 and a bracketed word in Genesis 1:2.
std::string testBibleVpl() {
  std::string vpl =
      "Genesis\t1\t1\tIn the beginning God created the heaven and the earth.\n"
      "Genesis\t1\t2\tAnd the earth was without form, and void; and darkness [was] upon the "
      "face of the deep.\n"
      "John\t1\t1\tIn the beginning was the Word.\n"
      "John\t2\t1\tAnd the third day there was a marriage in Cana of Galilee.\n";
  for (int verse = 1; verse <= 14; ++verse)
    vpl += "John\t3\t" + std::to_string(verse) + "\tWords of an earlier verse.\n";
  vpl += "John\t3\t15\t" + kVerse15 + "\n";
  vpl += "John\t3\t16\t" + kVerse16 + "\n";
  vpl += "John\t3\t17\t" + kVerse17 + "\n";
  vpl += "John\t3\t18\t" + kVerse18 + "\n";
  return vpl;
}

bibleName testBibleName() {
  bibleName name;
  std::strncpy(name.name, "Test Bible", sizeof name.name - 1);
  std::strncpy(name.path, "test.bib", sizeof name.path - 1);
  return name;
}

// Bumped between tests: a poller of an earlier test that never found its widget stops instead of
// acting on a later test's widgets or on variables that are gone.
int pollerGeneration = 0;

// Polls the event loop for a visible top-level widget of type T and hands it to `act` once;
// gives up after about ten seconds so a test that goes wrong cannot hang. (The print, font and
// message dialogs carry no resource number to find them by, so they are found by type.)
template <class T>
void whenShown(std::function<void(T*)> act, int triesLeft = 400) {
  const int generation = pollerGeneration;
  QTimer::singleShot(25, [act, triesLeft, generation] {
    if (generation != pollerGeneration) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) {
        act(found);
        return;
      }
    }
    if (triesLeft > 0) whenShown<T>(act, triesLeft - 1);
  });
}

// Points the program's printer at a PDF file and confirms the next print dialog as it stands.
struct PrintToPdf {
  QString path;
  bool dialogSeen = false;
  explicit PrintToPdf(const QString& file) : path(file) {
    QPrinter& printer = programPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCopyCount(1);
  }
  void arm() {
    whenShown<QPrintDialog>([this](QPrintDialog* dialog) {
      dialogSeen = true;
      dialog->accept();
    });
  }
};

// The number of pages of a PDF written by Qt: its page objects.
int pdfPageCount(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray bytes = file.readAll();
  int pages = 0;
  for (qsizetype at = bytes.indexOf("/Type /Page"); at >= 0;
       at = bytes.indexOf("/Type /Page", at + 1)) {
    if (bytes.mid(at + 11, 1) != "s") ++pages;
  }
  return pages;
}

// The PDF's text through pdftotext, or a null string when the tool is not installed.
QString pdfText(const QString& path) {
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  if (tool.isEmpty()) return QString();
  QProcess process;
  process.start(tool, {QStringLiteral("-layout"), path, QStringLiteral("-")});
  if (!process.waitForFinished(30000)) return QString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

int count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++n;
  return n;
}

// A fixed-width measure for the layout tests: every byte is 10 pixels wide.
int tenPerByte(std::string_view word) { return static_cast<int>(word.size()) * 10; }

// Starts the whole program as "<dir>/vellum" on a data directory, with the search dialog that
// an empty verses-found box opens at start-up cancelled whenever it shows.
struct Started : test::StartedProgram {
  explicit Started(const std::string& dir, std::vector<std::string> arguments = {})
      : StartedProgram(dir, std::move(arguments), true) {}
};

}  // namespace

class CopyPrintTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempDir> dir_;
  std::unique_ptr<TPassage> passage_;

  TPassage& openPassage() {
    passage_ = std::make_unique<TPassage>(testBibleName());
    return *passage_;
  }
  Reference parse(const char* text) {
    Reference reference;
    parseReference(&reference, text, passage_->module());
    return reference;
  }
  // Selects from the start of the line of verse `first` to the end of the line of `last` in
  // the window's chapter.
  void selectVerses(TPassage& passage, int first, int last) {
    const std::string& text = passage.text();
    const std::size_t start = text.find(std::to_string(first) + " ");
    std::size_t end = text.find('\n', text.find("\n" + std::to_string(last) + " ") + 1);
    if (end == std::string::npos) end = text.size() - 1;
    passage.selectCharacters(start, end);
  }
  PassageInputs inputs(PassageSource source) {
    PassageInputs in;
    in.source = source;
    in.caption = "John 3:16 - Test Bible";
    in.module = passage_ ? passage_->module() : nullptr;
    return in;
  }
  static void resetIni() {
    std::error_code ignored;
    fs::remove(profilePath(kIniFile), ignored);
  }

 private Q_SLOTS:
  void init() {
    resetIni();
    dir_ = std::make_unique<test::TempDir>();
    test::buildModule(dir_->path(), "test.bib", "Test Bible", testBibleVpl());
    set_dpath(dir_->path().c_str());
    openPassage();
    QVERIFY(passage_->module());
    passage_->showPassage(parse("John 3:16"));
    QGuiApplication::clipboard()->clear();
  }
  void cleanup() {
    ++pollerGeneration;
    passage_.reset();
    dir_.reset();
  }

  // ---- composePassage and formatQuotation ----

  void theSelectionAsItStands() {
    PassageInputs in = inputs(PassageSource::Selection);
    in.selection = "16 " + kVerse16 + "\n17 " + kVerse17 + "\n";
    QCOMPARE(composePassage(in), in.selection);
    // Book and chapter in front of every line; the selection's last line feed goes and the
    // text starts with one.
    in.bookAndChapter = true;
    QCOMPARE(composePassage(in), "\nJohn 3:16 " + kVerse16 + "\nJohn 3:17 " + kVerse17);
  }

  void quotationsOfWholeVerses() {
    PassageInputs in = inputs(PassageSource::Selection);
    in.quotation = true;
    in.bookAndChapter = true;
    in.selection = "16 " + kVerse16 + "\n17 " + kVerse17 + "\n18 " + kVerse18 + "\n";
    QCOMPARE(composePassage(in),
             "John 3:16-18, \"" + kVerse16 + " " + kVerse17 + " " + kVerse18 + "\"");
    // One verse: no range. Where the verses lie comes from the caption, not the selection.
    in.selection = "16 " + kVerse16 + "\n";
    in.caption = "John 3:1 - Test Bible";
    QCOMPARE(composePassage(in), "John 3:16, \"" + kVerse16 + "\"");
    // Without book and chapter only the quotation marks frame the text.
    in.bookAndChapter = false;
    in.selection = "16 " + kVerse16 + "\n17 " + kVerse17 + "\n";
    QCOMPARE(composePassage(in), "\"" + kVerse16 + " " + kVerse17 + "\"");
  }

  void quotationsOfPartialVerses() {
    PassageInputs in = inputs(PassageSource::Selection);
    in.quotation = true;
    in.bookAndChapter = true;
    // Inside one verse: book and chapter, three dots and the line; the word's blank is not
    // quoted.
    in.selection = "loved the world, that he ";
    QCOMPARE(composePassage(in), std::string("John 3, \"...loved the world, that he\""));
    in.bookAndChapter = false;
    QCOMPARE(composePassage(in), std::string("\"\""));
    // The tail of verse 15, then whole verses: the tail is left out and the range covers
    // the whole verses only, with no stray blank where the tail was.
    in.bookAndChapter = true;
    in.selection = "eternal life.\n16 " + kVerse16 + "\n17 For God sent ";
    QCOMPARE(composePassage(in), "John 3:16-17, \"" + kVerse16 + " For God sent\"");
    // Notes below the chapter carry no verse numbers and stay out of the quotation.
    in.selection = "18 " + kVerse18 + "\n\nNotes:\n-----------------------\nJohn 3:16 a note\n";
    QCOMPARE(composePassage(in), "John 3:18, \"" + kVerse18 + "\"");
  }

  void theChapterTheVersesFoundAndTheClipboard() {
    PassageInputs in = inputs(PassageSource::Chapter);
    in.chapterText = "1 The words of verse 1.\n2 The words of verse 2.\n";
    QCOMPARE(composePassage(in), "John 3\n\n" + in.chapterText);

    in = inputs(PassageSource::VersesFound);
    // In box order; an entry the module cannot parse is passed over.
    in.versesFound = {"John 3:18", "Exodus 2:1", "Genesis 1:1", "nonsense", "John 3:16"};
    QCOMPARE(composePassage(in), "John 3:18 " + kVerse18 +
                                     "\nGenesis 1:1 In the beginning God created the heaven "
                                     "and the earth.\nJohn 3:16 " +
                                     kVerse16 + "\n");

    in = inputs(PassageSource::Clipboard);
    in.clipboard = "From the clipboard\r\nsecond line";
    QCOMPARE(composePassage(in), *in.clipboard);
    in.clipboard.reset();
    QCOMPARE(composePassage(in), std::string());
  }

  void bracketsNeverReachTheOutput() {
    PassageInputs in = inputs(PassageSource::VersesFound);
    in.versesFound = {"Genesis 1:2"};
    const std::string text = composePassage(in);
    QVERIFY(text.find("darkness was upon") != std::string::npos);
    QVERIFY(text.find_first_of("[]") == std::string::npos);
    in = inputs(PassageSource::Clipboard);
    in.clipboard = "[a] b] [c";
    QCOMPARE(composePassage(in), std::string("a b c"));
  }

  void emptySourcesComposeNothing() {
    for (bool quotation : {false, true}) {
      for (bool bookAndChapter : {false, true}) {
        PassageInputs in = inputs(PassageSource::Selection);
        in.quotation = quotation;
        in.bookAndChapter = bookAndChapter;
        QCOMPARE(composePassage(in), std::string());
      }
    }
    QCOMPARE(composePassage(inputs(PassageSource::Chapter)), std::string());
    QCOMPARE(composePassage(inputs(PassageSource::VersesFound)), std::string());
    // Without a module nothing can be looked up.
    PassageInputs in = inputs(PassageSource::VersesFound);
    in.versesFound = {"John 3:16"};
    in.module = nullptr;
    QCOMPARE(composePassage(in), std::string());
  }

  void textsLongerThanTheBufferAreCutWhole() {
    // Two-byte characters on both sides of every possible cut.
    std::string longText;
    while (longText.size() < 40000) longText += "7 \xC3\xA9t\xC3\xA9 \xC3\xA0 la mer\n";
    const auto wholeUtf8 = [](const std::string& text) {
      return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8() ==
             QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    };
    PassageInputs in = inputs(PassageSource::Chapter);
    in.chapterText = longText;
    std::string text = composePassage(in);
    QVERIFY(text.size() <= 32765 && text.size() > 32760);
    QVERIFY(wholeUtf8(text));

    in = inputs(PassageSource::Selection);
    in.selection = longText;
    for (bool quotation : {false, true}) {
      for (bool bookAndChapter : {false, true}) {
        in.quotation = quotation;
        in.bookAndChapter = bookAndChapter;
        text = composePassage(in);
        QVERIFY2(text.size() <= 32765, std::to_string(text.size()).c_str());
        QVERIFY(text.size() > 25000);
        QVERIFY(wholeUtf8(text));
      }
    }
    // With book and chapter every line that is kept is whole and headed.
    in.quotation = false;
    text = composePassage(in);
    QCOMPARE(count(text, "\nJohn 3:7 "), count(text, "\n"));

    in = inputs(PassageSource::Clipboard);
    in.clipboard = longText;
    QVERIFY(composePassage(in).size() <= 32765);

    // Thousands of verses found stop when the room is used up.
    in = inputs(PassageSource::VersesFound);
    in.versesFound.assign(2000, "John 3:16");
    text = composePassage(in);
    QVERIFY(text.size() <= 32764);
    QVERIFY(count(text, "\n") > 200);
    QVERIFY(text.rfind("John 3:16 For God", 0) == 0);
  }

  // ---- The dialogs on a Bible window ----

  void theDialogsAsTheyOpen() {
    TCopyDlg copy(passage_.get(), kCopyDlgId, passage_->module());
    TAppendDlg append(passage_.get(), kAppendDlgId, passage_->module());
    TPrintDlg print(passage_.get(), kPrintDlgId, passage_->module());
    const std::vector<std::pair<TCopyAppendPrintDlg*, QStringList>> expected = {
        {&copy, {"2000", "Copy to Clipboard", "1210", "Copy"}},
        {&append, {"2001", "Append to Clipboard", "1210", "Append"}},
        {&print, {"2002", "Print", "1220", "Print"}}};
    for (const auto& [dialog, texts] : expected) {
      QCOMPARE(dialog->objectName(), texts[0]);
      QCOMPARE(dialog->windowTitle(), texts[1]);
      QCOMPARE(QString::number(dialog->helpContext()), texts[2]);
      QCOMPARE(dialog->findChild<QGroupBox*>()->title(), texts[3]);
      QCOMPARE(dialog->control<QCheckBox>(10006)->text(), texts[3] + " Selection as a &Quotation");
      QCOMPARE(dialog->control<QCheckBox>(10004)->text(), QString("&Include Book and Chapter"));
      QVERIFY(dialog->control<QRadioButton>(10000)->isChecked());
      QCOMPARE(dialog->control<QRadioButton>(10001)->text(), QString("Chap&ter"));
      QCOMPARE(dialog->control<QRadioButton>(10002)->text(), QString("&Verses found"));
      // Only printing offers the clipboard.
      QCOMPARE(dialog->control<QRadioButton>(11072) != nullptr, dialog == &print);
    }
    print.control<QRadioButton>(11072)->setChecked(true);
    QVERIFY(!print.control<QRadioButton>(10000)->isChecked());
    QCOMPARE(print.source(), PassageSource::Clipboard);
  }

  void theCopyOptionsAreReadAndSaved() {
    const auto checks = [this](int id) {
      TAppendDlg dialog(passage_.get(), kAppendDlgId, passage_->module());
      return dialog.control<QCheckBox>(id)->isChecked();
    };
    QVERIFY(!checks(10004) && !checks(10006));  // absent: not set
    // Any value but "FALSE" sets the option, a word typed by hand included.
    writePrivateProfileString("COPY", "INCLUDE_BOOK_AND_CHAPTER", "yes", kIniFile);
    writePrivateProfileString("COPY", "COPY_AS_PARAGRAPH", "FALSE", kIniFile);
    QVERIFY(checks(10004) && !checks(10006));
    // OK saves both as "TRUE" or "FALSE"; Cancel saves nothing.
    for (int button : {2, 1}) {
      TCopyDlg dialog(passage_.get(), kCopyDlgId, passage_->module());
      dialog.control<QCheckBox>(10004)->setChecked(false);
      dialog.control<QCheckBox>(10006)->setChecked(true);
      dialog.control<QPushButton>(button)->click();
      QCOMPARE(getCopyOption("INCLUDE_BOOK_AND_CHAPTER"), button == 2);
    }
    char value[16] = {};
    getPrivateProfileString("COPY", "INCLUDE_BOOK_AND_CHAPTER", "", value, sizeof value, kIniFile);
    QCOMPARE(QString(value), QString("FALSE"));
    getPrivateProfileString("COPY", "COPY_AS_PARAGRAPH", "", value, sizeof value, kIniFile);
    QCOMPARE(QString(value), QString("TRUE"));
  }

  void copyPutsCarriageReturnsAndLineFeedsOnTheClipboard() {
    selectVerses(*passage_, 16, 17);
    TCopyDlg dialog(passage_.get(), kCopyDlgId, passage_->module());
    dialog.control<QCheckBox>(10004)->setChecked(true);
    dialog.control<QPushButton>(1)->click();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString::fromStdString("\r\nJohn 3:16 " + kVerse16 + "\r\nJohn 3:17 " + kVerse17));

    // As a quotation.
    TCopyDlg quote(passage_.get(), kCopyDlgId, passage_->module());
    quote.control<QCheckBox>(10006)->setChecked(true);
    quote.control<QPushButton>(1)->click();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString::fromStdString("John 3:16-17, \"" + kVerse16 + " " + kVerse17 + "\""));

    // The whole chapter: every line ends with a carriage return and a line feed.
    TCopyDlg chapter(passage_.get(), kCopyDlgId, passage_->module());
    chapter.control<QRadioButton>(10001)->setChecked(true);
    chapter.control<QPushButton>(1)->click();
    const QString text = QGuiApplication::clipboard()->text();
    QVERIFY2(text.startsWith("John 3\r\n\r\n1 Words of an earlier verse.\r\n2 Words"),
             qPrintable(text.left(60).toUtf8().toPercentEncoding(" ")));
    QCOMPARE(text.count("\n"), text.count("\r\n"));
    QCOMPARE(text.count("\r\n"), 2 + 17);
    QVERIFY(text.endsWith(QString::fromStdString(kVerse18)));

    // An empty selection copies the empty text.
    passage_->selectWords(-1, -1);
    TCopyDlg empty(passage_.get(), kCopyDlgId, passage_->module());
    empty.control<QCheckBox>(10006)->setChecked(true);
    empty.control<QPushButton>(1)->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
  }

  void appendAddsOneLineFeedAndTheNewText() {
    QGuiApplication::clipboard()->setText("Sermon notes\r\nfirst point");
    selectVerses(*passage_, 17, 18);
    {
      TAppendDlg dialog(passage_.get(), kAppendDlgId, passage_->module());
      dialog.control<QPushButton>(1)->click();
    }
    // The chapter's last line has no line feed of its own.
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString::fromStdString("Sermon notes\r\nfirst point\n17 " + kVerse17 + "\r\n18 " +
                                    kVerse18));
    // An empty selection leaves the old text and a line feed.
    QGuiApplication::clipboard()->setText("old");
    passage_->selectWords(-1, -1);
    {
      TAppendDlg dialog(passage_.get(), kAppendDlgId, passage_->module());
      dialog.control<QPushButton>(1)->click();
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("old\n"));
    // A clipboard without text counts as empty.
    QGuiApplication::clipboard()->clear();
    selectVerses(*passage_, 16, 16);
    {
      TAppendDlg dialog(passage_.get(), kAppendDlgId, passage_->module());
      dialog.control<QCheckBox>(10006)->setChecked(true);
      dialog.control<QPushButton>(1)->click();
    }
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString::fromStdString("\n\"" + kVerse16 + "\""));
  }

  void theCommandsFollowTheWindowAndTheClipboard() {
    CommandState state;
    for (int id : {CmEditCopy, CmFilePrint, CmWindowFont, CmPrinterFont})
      QVERIFY(copyPrintCommandState(*passage_, id, state) && state.enabled);
    // Append needs text on the clipboard.
    QGuiApplication::clipboard()->clear();
    QVERIFY(copyPrintCommandState(*passage_, CmAppend, state) && !state.enabled);
    QGuiApplication::clipboard()->setText("x");
    QVERIFY(copyPrintCommandState(*passage_, CmAppend, state) && state.enabled);
    // Not this family's command.
    QVERIFY(!copyPrintCommandState(*passage_, CmSearch, state));
    QVERIFY(!runCopyPrintCommand(*passage_, CmSearch));
    // A window without text copies nothing: the command is disabled and running it directly
    // opens no dialog.
    TPassage empty(testBibleName());
    QVERIFY(copyPrintCommandState(empty, CmEditCopy, state) && !state.enabled);
    QVERIFY(copyPrintCommandState(empty, CmAppend, state) && !state.enabled);
    QVERIFY(runCopyPrintCommand(empty, CmEditCopy));
    // Through the window's own table, with the dialog cancelled.
    bool seen = false;
    whenShown<TCopyDlg>([&seen](TCopyDlg* dialog) {
      seen = dialog->objectName() == "2000";
      dialog->control<QPushButton>(2)->click();
    });
    QVERIFY(passage_->handleCommand(CmEditCopy));
    QVERIFY(seen);
  }

  // ---- Page layout ----

  void pageLayout() {
    // Line height 20: margins of 10, lines at y = 10, 30, 50...; a page of height 100 takes
    // the lines at 10, 30 and 50 (70 + 20 reaches 90, the bottom margin).
    // Width 130: the right margin is at 120, so two words of 5 bytes (50 pixels each) fit a
    // line and a third starts the next.
    const std::string onePage = "aaaa bbbb cccc dddd eeee ffff";
    PageLayout page = layoutPage(onePage, 0, 130, 100, 20, tenPerByte);
    QCOMPARE(page.next, onePage.size());
    QCOMPARE(static_cast<int>(page.words.size()), 6);
    QCOMPARE(page.words[0].x, 10);
    QCOMPARE(page.words[0].y, 10);
    QCOMPARE(page.words[1].x, 60);
    QCOMPARE(page.words[2].x, 10);
    QCOMPARE(page.words[2].y, 30);
    QCOMPARE(page.words[5].y, 50);
    QCOMPARE(page.words[5].text, std::string("ffff"));

    // A last word that does not fit starts the second page.
    const std::string twoPages = onePage + " gggg";
    page = layoutPage(twoPages, 0, 130, 100, 20, tenPerByte);
    QCOMPARE(page.next, twoPages.find("gggg"));
    QCOMPARE(static_cast<int>(page.words.size()), 6);
    page = layoutPage(twoPages, page.next, 130, 100, 20, tenPerByte);
    QCOMPARE(page.next, twoPages.size());
    QCOMPARE(static_cast<int>(page.words.size()), 1);
    QCOMPARE(page.words[0].y, 10);

    // A word wider than the page stands on a line of its own, at the margin, and runs past it.
    const std::string wide = "aaaa " + std::string(30, 'w') + " bbbb";
    page = layoutPage(wide, 0, 130, 1000, 20, tenPerByte);
    QCOMPARE(static_cast<int>(page.words.size()), 3);
    QCOMPARE(page.words[1].x, 10);
    QCOMPARE(page.words[1].y, 30);
    QCOMPARE(page.words[2].x, 10);
    QCOMPARE(page.words[2].y, 50);
    // At the very start it takes the first line: no empty line above it.
    page = layoutPage(std::string(30, 'w'), 0, 130, 1000, 20, tenPerByte);
    QCOMPARE(page.words[0].y, 10);

    // Line ends: 1.3 lines down; a carriage return and line feed are one break.
    const std::string lines = "one\r\ntwo\nthree";
    page = layoutPage(lines, 0, 1000, 1000, 20, tenPerByte);
    QCOMPARE(static_cast<int>(page.words.size()), 3);
    QCOMPARE(page.words[1].y, 10 + 26);
    QCOMPARE(page.words[1].x, 10);
    QCOMPARE(page.words[2].y, 10 + 52);
    QCOMPARE(page.words[2].text, std::string("three"));
  }

  void everyPageMovesOn() {
    // A line taller than the page: each page still takes its first word, so the printout
    // ends.
    const std::string text = "aaaa bbbb\n\ncccc";
    std::size_t at = 0;
    int pages = 0;
    while (at < text.size() && pages < 100) {
      const PageLayout page = layoutPage(text, at, 100, 30, 40, tenPerByte);
      QVERIFY(page.next > at);
      at = page.next;
      ++pages;
    }
    QVERIFY(pages < 100);
    // The empty text has no page; a text of blanks and line feeds prints no words.
    const std::string nothing;
    TPrintText none(QString(), nothing);
    QVERIFY(!none.hasPage());
    QCOMPARE(static_cast<int>(layoutPage("  \n\n", 0, 100, 100, 10, tenPerByte).words.size()), 2);
    int minPage = 1, maxPage = 1, from = 1, to = 1;
    none.getPrintInfo(minPage, maxPage, from, to);
    QVERIFY(minPage == 0 && maxPage == 0 && from == 0 && to == 0);
  }

  void thePrinterFontComesFromTheInitialisationFile() {
    // A 72-dot-per-inch page, so the font's pixel size is its point size.
    const auto pagesAt = [](int points) {
      setPrinterFontSize(points);
      std::string text;
      for (int i = 0; i < 200; ++i) text += "word" + std::to_string(i) + " ";
      TPrintText printout(QStringLiteral("t"), text);
      QImage page(400, 400, QImage::Format_RGB32);
      page.setDotsPerMeterX(2835);
      page.setDotsPerMeterY(2835);
      int pages = 0;
      while (printout.hasPage() && pages < 1000) {
        page.fill(Qt::white);
        QPainter painter(&page);
        printout.printPage(painter);
        QFont used = painter.font();
        if (used.pixelSize() != points) return -1;
        ++pages;
      }
      return pages;
    };
    setPrinterFontName("Liberation Serif");
    const int small = pagesAt(10);
    const int large = pagesAt(30);
    QVERIFY(small >= 1);
    QVERIFY2(large > 2 * small, qPrintable(QString("%1 %2").arg(small).arg(large)));
  }

  // ---- Printing ----

  void printToPdfThroughTheDialog() {
    const QString pdf = QString::fromStdString(dir_->file("print.pdf"));
    PrintToPdf printer(pdf);
    printer.arm();
    setPrinterFontName("Liberation Serif");
    setPrinterFontSize(12);
    selectVerses(*passage_, 16, 18);
    {
      TPrintDlg dialog(passage_.get(), kPrintDlgId, passage_->module());
      dialog.control<QCheckBox>(10004)->setChecked(true);
      dialog.control<QCheckBox>(10006)->setChecked(true);
      dialog.control<QPushButton>(1)->click();
      QVERIFY(dialog.result() == QDialog::Accepted);
    }
    QVERIFY(printer.dialogSeen);
    QCOMPARE(programPrinter().docName(), QString("John 3:16 - Test Bible"));
    QCOMPARE(pdfPageCount(pdf), 1);
    // The options are saved after printing.
    QVERIFY(getCopyOption("COPY_AS_PARAGRAPH"));
    const QString text = pdfText(pdf);
    if (text.isNull()) QSKIP("pdftotext is not installed: the page count was checked only");
    const QString words = text.simplified();
    QVERIFY2(words.startsWith("John 3:16-18, \"For God so loved the world"), qPrintable(words));
    QVERIFY(words.endsWith("only begotten Son of God.\""));
  }

  void nothingIsPrintedForAnEmptyPassageOrACancelledDialog() {
    const QString pdf = QString::fromStdString(dir_->file("nothing.pdf"));
    PrintToPdf printer(pdf);
    // An empty selection: a message instead of the print dialog.
    passage_->selectWords(-1, -1);
    QString caption;
    whenShown<QMessageBox>([&caption](QMessageBox* box) {
      caption = box->windowTitle();
      box->accept();
    });
    TPrintDlg empty(passage_.get(), kPrintDlgId, passage_->module());
    empty.control<QPushButton>(1)->click();
    QCOMPARE(caption, QString("Print"));
    // The print dialog cancelled: the passage dialog still closes with OK and keeps the options.
    selectVerses(*passage_, 16, 16);
    bool asked = false;
    whenShown<QPrintDialog>([&asked](QPrintDialog* dialog) {
      asked = true;
      dialog->reject();
    });
    TPrintDlg cancelled(passage_.get(), kPrintDlgId, passage_->module());
    cancelled.control<QCheckBox>(10004)->setChecked(true);
    cancelled.control<QPushButton>(1)->click();
    QVERIFY(asked);
    QVERIFY(cancelled.result() == QDialog::Accepted);
    QVERIFY(getCopyOption("INCLUDE_BOOK_AND_CHAPTER"));
    QVERIFY(!QFile::exists(pdf));
  }

  // ---- Font commands ----

  void fontSizesAreKeptInWholePoints() {
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPointSizeF(10.5);
    QCOMPARE(wholePointSize(font, 96), 10);
    // The size is first taken in tenths of a point: 10.94 is 109 tenths, 11.96 is 120.
    font.setPointSizeF(10.94);
    QCOMPARE(wholePointSize(font, 96), 10);
    font.setPointSizeF(11.96);
    QCOMPARE(wholePointSize(font, 96), 12);
    font.setPointSizeF(12);
    QCOMPARE(wholePointSize(font, 96), 12);
    font.setPointSizeF(0.5);
    QCOMPARE(wholePointSize(font, 96), 1);
    // Sized in pixels: 32 pixels at 96 dots per inch are 24 points.
    font.setPixelSize(32);
    QCOMPARE(wholePointSize(font, 96), 24);
  }

  void theFontCommands() {
    const QFont before = passage_->textFont();
    QFont printerFont(QFontInfo(QFont("Liberation Sans")).family());
    printerFont.setPointSize(14);
    QString caption;
    QFont started;
    whenShown<QFontDialog>([&](QFontDialog* dialog) {
      caption = dialog->windowTitle();
      started = dialog->currentFont();
      dialog->setCurrentFont(printerFont);
      dialog->accept();
    });
    QVERIFY(runCopyPrintCommand(*passage_, CmPrinterFont));
    QCOMPARE(caption, QString("Printer Font"));
    // It starts from the window's font as the window really shows it.
    QCOMPARE(started.family(), QFontInfo(before).family());
    QCOMPARE(qRound(started.pointSizeF()), 12);
    char face[25] = {};
    QCOMPARE(QString(getPrinterFontName(face, sizeof face)), printerFont.family());
    QCOMPARE(getPrinterFontSize(), 14);
    QCOMPARE(passage_->textFont(), before);

    QFont windowFont(QFontInfo(QFont("Liberation Serif")).family());
    windowFont.setPointSize(16);
    whenShown<QFontDialog>([&](QFontDialog* dialog) {
      caption = dialog->windowTitle();
      dialog->setCurrentFont(windowFont);
      dialog->accept();
    });
    QVERIFY(runCopyPrintCommand(*passage_, CmWindowFont));
    QCOMPARE(caption, QString("Window Font"));
    QCOMPARE(QString(getScreenFontName(face, sizeof face)), windowFont.family());
    QCOMPARE(getScreenFontSize(), 16);
    // The window shows it at once; the printer keeps its own.
    QCOMPARE(passage_->textFont().pixelSize(), 16 * passage_->logicalDpiY() / 72);
    QCOMPARE(getPrinterFontSize(), 14);

    // Cancel writes nothing.
    resetIni();
    whenShown<QFontDialog>([](QFontDialog* dialog) { dialog->reject(); });
    QVERIFY(runCopyPrintCommand(*passage_, CmWindowFont));
    QVERIFY(!QFile::exists(QString::fromStdString(profilePath(kIniFile))));
  }

  // ---- From the whole program ----

  void copyTheVersesFoundFromTheProgram() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }));
    BibleHandle* module = s.passage()->module();
    // A search's result, as the search dialog hands it on: five verses.
    std::vector<std::uint16_t> verses;
    for (const char* text : {"Genesis 1:3", "Psalms 23:1", "John 3:16", "Acts 2:4", "Jude 1:25"}) {
      Reference reference;
      QVERIFY(parseReference(&reference, text, module));
      verses.push_back(referenceToVerse(reference, module));
    }
    verses.push_back(kVerseListEnd);
    s.frame()->showVersesFound(verses.data(), 5, false, "saith", module);
    QCOMPARE(s.frame()->versesFound()->count(), 5);
    QVERIFY(test::waitFor([&] { return s.passage()->windowTitle().startsWith("Genesis 1:3"); }));

    bool seen = false;
    whenShown<TCopyDlg>([&seen](TCopyDlg* dialog) {
      seen = true;
      dialog->control<QRadioButton>(10002)->setChecked(true);
      dialog->control<QCheckBox>(10004)->setChecked(false);
      dialog->control<QPushButton>(1)->click();
    });
    QVERIFY(dispatchCommandFrom(s.passage(), CmEditCopy));
    QVERIFY(seen);
    const QString text = QGuiApplication::clipboard()->text();
    const QStringList lines = text.split("\r\n");
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.last(), QString());
    const QStringList heads = {"Genesis 1:3 ", "Psalms 23:1 ", "John 3:16 ", "Acts 2:4 ",
                               "Jude 1:25 "};
    for (int i = 0; i < 5; ++i) QVERIFY2(lines[i].startsWith(heads[i]), qPrintable(lines[i]));
    QVERIFY(lines[2].startsWith("John 3:16 For God so loved the world"));
    // The window has the focus back.
    QCOMPARE(s.passage()->window()->focusWidget(), s.passage());

    // An entry that no longer parses (the box is shown with another module) is passed over.
    s.frame()->versesFound()->addItem("Tobit 1:1");
    whenShown<TCopyDlg>([](TCopyDlg* dialog) {
      dialog->control<QRadioButton>(10002)->setChecked(true);
      dialog->control<QPushButton>(1)->click();
    });
    QVERIFY(dispatchCommandFrom(s.passage(), CmEditCopy));
    QCOMPARE(QGuiApplication::clipboard()->text().count("\r\n"), 5);
  }

  void printJohnThreeOfTheImportedKjv() {
    const fs::path kjv = fs::path(VELLUM_DATA_DIR) / "kjv.bib";
    if (!fs::exists(kjv)) QSKIP("the imported KJV (data/kjv.bib) is not built here");
    test::TempDir programDir;
    fs::create_symlink(kjv, programDir.path() / "kjv.bib");
    Started s(programDir.path().string());
    QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }, 20000));
    BibleHandle* module = s.passage()->module();

    // Copy with Verses found after a search.
    std::vector<std::uint16_t> verses;
    for (const char* text : {"John 3:16", "Romans 5:8", "1 John 4:9"}) {
      Reference reference;
      QVERIFY(parseReference(&reference, text, module));
      verses.push_back(referenceToVerse(reference, module));
    }
    verses.push_back(kVerseListEnd);
    s.frame()->showVersesFound(verses.data(), 3, false, "love", module);
    whenShown<TCopyDlg>([](TCopyDlg* dialog) {
      dialog->control<QRadioButton>(10002)->setChecked(true);
      dialog->control<QPushButton>(1)->click();
    });
    QVERIFY(dispatchCommandFrom(s.passage(), CmEditCopy));
    const QStringList lines = QGuiApplication::clipboard()->text().split("\r\n");
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines[0].startsWith("John 3:16 ") && lines[0].contains("For God so loved the world"),
             qPrintable(lines[0]));
    QVERIFY(lines[1].startsWith("Romans 5:8 "));
    QVERIFY(lines[2].startsWith("1 John 4:9 "));

    // Print John 3.
    Reference john3;
    QVERIFY(parseReference(&john3, "John 3:1", module));
    s.passage()->showPassage(john3);
    const QString pdf = QString::fromStdString(programDir.file("john3.pdf"));
    PrintToPdf printer(pdf);
    printer.arm();
    setPrinterFontName("Times New Roman");
    setPrinterFontSize(12);
    whenShown<TPrintDlg>([](TPrintDlg* dialog) {
      dialog->control<QRadioButton>(10001)->setChecked(true);
      dialog->control<QPushButton>(1)->click();
    });
    QVERIFY(dispatchCommandFrom(s.passage(), CmFilePrint));
    QVERIFY(printer.dialogSeen);
    const int pages = pdfPageCount(pdf);
    QVERIFY2(pages >= 2 && pages <= 4, std::to_string(pages).c_str());
    const QString text = pdfText(pdf);
    if (text.isNull()) QSKIP("pdftotext is not installed: the page count was checked only");
    const QString words = text.simplified();
    QVERIFY2(words.startsWith("John 3 1 ") && words.contains("There was a man of the Pharisees"),
             qPrintable(words.left(200)));
    QVERIFY(words.contains("For God so loved the world, that he gave his only begotten Son"));
    QVERIFY(words.contains("36 He that believeth on the Son hath everlasting life"));
  }
};

QTEST_MAIN(CopyPrintTest)
#include "copy_print_test.moc"
