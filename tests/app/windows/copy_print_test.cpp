// Copy, Append and Print: composing a passage from each source with each option, the dialogs
// on a Bible window (the clipboard's line ends, the "COPY" options, the verses found of the
// window's workbench), page layout, printing to PDF through the print dialog, and the window
// and printer font commands.
#include <QCheckBox>
#include <QClipboard>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QtTest>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/print_text.h"
#include "app/profile.h"
#include "app/windows/compose_passage.h"
#include "app/windows/copy_print_dlg.h"
#include "app/windows/passage.h"
#include "app/windows/window_commands.h"
#include "support/files.h"
#include "tests/app/app_fixtures.h"
#include "tests/app/fakes.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

const std::string kVerse16 =
    "For God so loved the world, that he gave his only begotten Son, that whosoever believeth "
    "in him should not perish, but have everlasting life.";
const std::string kVerse17 =
    "For God sent not his Son into the world to condemn the world; but that the world through "
    "him might be saved.";
const std::string kVerse18 =
    "He that believeth on him is not condemned: but he that believeth not is condemned "
    "already, because he hath not believed in the name of the only begotten Son of God.";

// A small translation with real text in John 3:16-18 and a bracketed word in Genesis 1:2.
std::string testBibleVpl() {
  std::string vpl =
      "Genesis\t1\t1\tIn the beginning God created the heaven and the earth.\n"
      "Genesis\t1\t2\tAnd the earth was without form, and void; and darkness [was] upon the "
      "face of the deep.\nJohn\t1\t1\tIn the beginning was the Word.\n"
      "John\t2\t1\tAnd the third day there was a marriage in Cana of Galilee.\n";
  for (int verse = 1; verse <= 15; ++verse)
    vpl += "John\t3\t" + std::to_string(verse) + "\tWords of an earlier verse.\n";
  return vpl + "John\t3\t16\t" + kVerse16 + "\nJohn\t3\t17\t" + kVerse17 + "\nJohn\t3\t18\t" +
         kVerse18 + "\n";
}

bibleName bibleNamed(const char* file) {
  bibleName name{};
  std::strncpy(name.path, file, sizeof name.path - 1);
  return name;
}

// Points the program's printer at a PDF file and confirms the next print dialog as it stands.
struct PrintToPdf {
  QString path;
  bool dialogSeen = false;
  explicit PrintToPdf(const std::string& file) : path(QString::fromStdString(file)) {
    programPrinter().setOutputFormat(QPrinter::PdfFormat);
    programPrinter().setOutputFileName(path);
    programPrinter().setCopyCount(1);
    test::whenShown<QPrintDialog>([this](QPrintDialog* dialog) {
      dialogSeen = true;
      dialog->accept();
    });
  }
  // The number of pages Qt wrote: its page objects.
  int pages() const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = file.readAll();
    int pages = 0;
    for (qsizetype at = bytes.indexOf("/Type /Page"); at >= 0;
         at = bytes.indexOf("/Type /Page", at + 1))
      pages += bytes.mid(at + 11, 1) != "s";
    return pages;
  }
};

// A fixed-width measure for the layout tests: every byte is 10 pixels wide.
int tenPerByte(std::string_view word) { return static_cast<int>(word.size()) * 10; }

// Runs the dialog of the command on the window with the source and check boxes set, then OK.
void runWithOptions(TPassage& passage, int command, PassageSource source, bool quotation,
                    bool bookAndChapter) {
  test::whenShown<TCopyAppendPrintDlg>([=](TCopyAppendPrintDlg* dialog) {
    dialog->control<QRadioButton>(static_cast<int>(source))->setChecked(true);
    dialog->control<QCheckBox>(kQuotationId)->setChecked(quotation);
    dialog->control<QCheckBox>(kBookAndChapterId)->setChecked(bookAndChapter);
    dialog->control<QPushButton>(1)->click();
  });
  QVERIFY(passage.handleCommand(command));
}

}  // namespace

class CopyPrintTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::TempDir> dir_;
  test::FakeWorkbench bench_;
  std::unique_ptr<TPassage> passage_;

  Reference parse(const char* text) {
    Reference reference;
    parseReference(&reference, text, passage_->module());
    return reference;
  }
  // Selects the lines of verses first to last of the window's chapter.
  void selectVerses(int first, int last) {
    const std::string& text = passage_->text();
    const std::size_t end = text.find('\n', text.find("\n" + std::to_string(last) + " ") + 1);
    passage_->selectCharacters(text.find("\n" + std::to_string(first) + " ") + 1,
                               end == std::string::npos ? text.size() - 1 : end);
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
    bench_ = test::FakeWorkbench();
    passage_ = std::make_unique<TPassage>(bibleNamed("test.bib"), bench_);
    QVERIFY(passage_->module());
    passage_->showPassage(parse("John 3:16"));
    QGuiApplication::clipboard()->clear();
  }
  void cleanup() {
    ++test::whenShownGeneration();
    passage_.reset();
    dir_.reset();
  }

  void composeEachSourceWithEachOption() {
    const std::string lines16to18 =
        "16 " + kVerse16 + "\n17 " + kVerse17 + "\n18 " + kVerse18 + "\n";
    struct Case {
      PassageSource source;
      bool quotation, bookAndChapter;
      std::string text;  // the selection, chapter, clipboard, or entries split at '|'
      std::string expected;
    };
    using enum PassageSource;
    const Case cases[] = {
        // The selection as it stands; with book and chapter before every line (the last line
        // feed goes, the text starts with one).
        {Selection, false, false, "16 " + kVerse16 + "\n", "16 " + kVerse16 + "\n"},
        {Selection, false, true, "16 " + kVerse16 + "\n17 " + kVerse17 + "\n",
         "\nJohn 3:16 " + kVerse16 + "\nJohn 3:17 " + kVerse17},
        // Quotations: the range of whole verses, one verse, no head without book and chapter.
        {Selection, true, true, lines16to18,
         "John 3:16-18, \"" + kVerse16 + " " + kVerse17 + " " + kVerse18 + "\""},
        {Selection, true, true, "16 " + kVerse16 + "\n", "John 3:16, \"" + kVerse16 + "\""},
        {Selection, true, false, "16 " + kVerse16 + "\n17 " + kVerse17 + "\n",
         "\"" + kVerse16 + " " + kVerse17 + "\""},
        // Inside one verse: book and chapter and three dots; a verse's tail is left out; notes
        // below the chapter stay out.
        {Selection, true, true, "loved the world, that he ",
         "John 3, \"...loved the world, that he\""},
        {Selection, true, false, "loved the world, that he ", "\"\""},
        {Selection, true, true, "eternal life.\n16 " + kVerse16 + "\n17 For God sent ",
         "John 3:16-17, \"" + kVerse16 + " For God sent\""},
        {Selection, true, true,
         "18 " + kVerse18 + "\n\nNotes:\n-----------------------\nJohn 3:16 a note\n",
         "John 3:18, \"" + kVerse18 + "\""},
        {Chapter, false, false, "1 One.\n2 Two.\n", "John 3\n\n1 One.\n2 Two.\n"},
        // Verses found in box order; an entry the module cannot parse is passed over; the
        // translators' brackets never reach the output.
        {VersesFound, false, false, "John 3:18|Exodus 2:1|Genesis 1:2|nonsense",
         "John 3:18 " + kVerse18 +
             "\nGenesis 1:2 And the earth was without form, and void; and darkness was upon the "
             "face of the deep.\n"},
        {Clipboard, false, false, "[a] b] [c\r\nsecond", "a b c\r\nsecond"},
        // Empty sources compose nothing, whatever the options.
        {Selection, true, true, "", ""},
        {Selection, false, true, "", ""},
        {Chapter, false, false, "", ""},
        {VersesFound, false, false, "", ""},
    };
    for (const Case& c : cases) {
      PassageInputs in;
      in.source = c.source;
      in.quotation = c.quotation;
      in.bookAndChapter = c.bookAndChapter;
      in.caption = "John 3:1 - Test Bible";
      in.module = passage_->module();
      in.selection = in.chapterText = c.text;
      if (!c.text.empty()) in.clipboard = c.text;
      for (const QString& entry : QString::fromStdString(c.text).split('|', Qt::SkipEmptyParts))
        in.versesFound.push_back(entry.toStdString());
      QCOMPARE(composePassage(in), c.expected);
    }
    // Without a module nothing can be looked up.
    PassageInputs in;
    in.source = PassageSource::VersesFound;
    in.versesFound = {"John 3:16"};
    QCOMPARE(composePassage(in), std::string());
  }

  void textsLongerThanTheBufferAreCutWhole() {
    // Two-byte characters on both sides of every possible cut.
    std::string longText;
    while (longText.size() < 40000) longText += "7 \xC3\xA9t\xC3\xA9 \xC3\xA0 la mer\n";
    const auto wholeUtf8 = [](const std::string& text) {
      const QByteArray bytes(text.data(), qsizetype(text.size()));
      return QString::fromUtf8(bytes).toUtf8() == bytes;
    };
    PassageInputs in;
    in.module = passage_->module();
    in.caption = "John 3:1 - Test Bible";
    in.selection = in.chapterText = longText;
    in.clipboard = longText;
    for (PassageSource source :
         {PassageSource::Chapter, PassageSource::Clipboard, PassageSource::Selection}) {
      for (int options = 0; options < 4; ++options) {
        in.source = source;
        in.quotation = options & 1;
        in.bookAndChapter = options & 2;
        const std::string text = composePassage(in);
        QVERIFY2(text.size() <= 32765 && text.size() > 25000, std::to_string(text.size()).c_str());
        QVERIFY(wholeUtf8(text));
        // With book and chapter every line that is kept is whole and headed.
        const QString shown = QString::fromStdString(text);
        if (source == PassageSource::Selection && options == 2)
          QCOMPARE(shown.count("\nJohn 3:7 "), shown.count('\n'));
      }
    }
    // Thousands of verses found stop when the room is used up.
    in.source = PassageSource::VersesFound;
    in.versesFound.assign(2000, "John 3:16");
    const std::string text = composePassage(in);
    QVERIFY(text.size() <= 32764 && std::count(text.begin(), text.end(), '\n') > 200);
  }

  void theCopyOptionsAreReadAndSaved() {
    const auto checks = [this](int id) {
      TAppendDlg dialog(passage_.get(), kAppendDlgId, passage_->module());
      return dialog.control<QCheckBox>(id)->isChecked();
    };
    QVERIFY(!checks(kBookAndChapterId) && !checks(kQuotationId));  // absent: not set
    // Any value but "FALSE" sets the option, a word typed by hand included.
    writePrivateProfileString("COPY", "INCLUDE_BOOK_AND_CHAPTER", "yes", kIniFile);
    writePrivateProfileString("COPY", "COPY_AS_PARAGRAPH", "FALSE", kIniFile);
    QVERIFY(checks(kBookAndChapterId) && !checks(kQuotationId));
    // OK saves both as "TRUE" or "FALSE"; Cancel saves nothing.
    for (int button : {2, 1}) {
      TCopyDlg dialog(passage_.get(), kCopyDlgId, passage_->module());
      dialog.control<QCheckBox>(kBookAndChapterId)->setChecked(false);
      dialog.control<QCheckBox>(kQuotationId)->setChecked(true);
      dialog.control<QPushButton>(button)->click();
    }
    char value[16] = {};
    getPrivateProfileString("COPY", "INCLUDE_BOOK_AND_CHAPTER", "", value, sizeof value, kIniFile);
    QCOMPARE(QString(value), QString("FALSE"));
    getPrivateProfileString("COPY", "COPY_AS_PARAGRAPH", "", value, sizeof value, kIniFile);
    QCOMPARE(QString(value), QString("TRUE"));
  }

  // The window's commands run their dialogs; the clipboard gets carriage returns and line feeds.
  void copyAndAppendThroughTheWindow() {
    using enum PassageSource;
    const std::string crlf16to17 = "16 " + kVerse16 + "\r\n17 " + kVerse17;
    struct Case {
      int command;
      PassageSource source;
      bool quotation, bookAndChapter;
      QString before, expected;
    };
    const Case cases[] = {
        {CmEditCopy, Selection, false, true, "",
         QString::fromStdString("\r\nJohn 3:16 " + kVerse16 + "\r\nJohn 3:17 " + kVerse17)},
        {CmEditCopy, Selection, true, true, "",
         QString::fromStdString("John 3:16-17, \"" + kVerse16 + " " + kVerse17 + "\"")},
        {CmEditCopy, VersesFound, false, false, "",
         QString::fromStdString("John 3:18 " + kVerse18 + "\r\nJohn 3:16 " + kVerse16 + "\r\n")},
        {CmAppend, Selection, false, false, "Sermon notes\r\nfirst point",
         QString::fromStdString("Sermon notes\r\nfirst point\n" + crlf16to17 + "\r\n")},
        {CmAppend, Selection, true, false, "old",
         QString::fromStdString("old\n\"" + kVerse16 + " " + kVerse17 + "\"")},
    };
    bench_.entries = {"John 3:18", "Tobit 1:1", "John 3:16"};
    for (const Case& c : cases) {
      selectVerses(16, 17);
      QGuiApplication::clipboard()->setText(c.before);
      runWithOptions(*passage_, c.command, c.source, c.quotation, c.bookAndChapter);
      QCOMPARE(QGuiApplication::clipboard()->text(), c.expected);
    }
    // The whole chapter: every line ends with a carriage return and a line feed.
    runWithOptions(*passage_, CmEditCopy, Chapter, false, false);
    const QString chapter = QGuiApplication::clipboard()->text();
    QVERIFY(chapter.startsWith("John 3\r\n\r\n1 Words of an earlier verse.\r\n2 Words"));
    QCOMPARE(chapter.count("\n"), chapter.count("\r\n"));
    QVERIFY(chapter.endsWith(QString::fromStdString(kVerse18)));
    // An empty selection: Copy puts the empty text, Append the old text and a line feed.
    passage_->selectWords(-1, -1);
    runWithOptions(*passage_, CmEditCopy, Selection, true, false);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    QGuiApplication::clipboard()->setText("old");
    runWithOptions(*passage_, CmAppend, Selection, false, false);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("old\n"));
  }

  void theCommandsFollowTheWindowAndTheClipboard() {
    TPassage empty(bibleNamed("test.bib"), bench_);
    CommandState state;
    for (bool clipboardText : {false, true}) {
      if (clipboardText)
        QGuiApplication::clipboard()->setText("x");
      else
        QGuiApplication::clipboard()->clear();
      // Append needs text on the clipboard; a window without text copies nothing.
      for (int id : {CmEditCopy, CmFilePrint, CmWindowFont, CmPrinterFont, CmAppend}) {
        QVERIFY(copyPrintCommandState(*passage_, id, state));
        QCOMPARE(state.enabled, id != CmAppend || clipboardText);
      }
      for (int id : {CmEditCopy, CmAppend})
        QVERIFY(copyPrintCommandState(empty, id, state) && !state.enabled);
    }
    // Not this family's command; a disabled command run directly opens no dialog.
    QVERIFY(!copyPrintCommandState(*passage_, CmSearch, state));
    QVERIFY(runCopyPrintCommand(empty, CmEditCopy));
  }

  void pageLayout() {
    // Line height 20, margins of 10; width 130 (right margin at 120): two words of 5 bytes a
    // line; height 100: lines at y 10, 30 and 50, then the next page.
    const std::string text = "aaaa bbbb cccc dddd eeee ffff gggg";
    PageLayout page = layoutPage(text, 0, 130, 100, 20, tenPerByte);
    QCOMPARE(page.next, text.find("gggg"));
    QCOMPARE(page.words.size(), std::size_t{6});
    const std::pair<int, int> places[] = {{10, 10}, {60, 10}, {10, 30}, {60, 30}, {10, 50}};
    for (std::size_t i = 0; i < 5; ++i)
      QCOMPARE(std::make_pair(page.words[i].x, page.words[i].y), places[i]);
    page = layoutPage(text, page.next, 130, 100, 20, tenPerByte);
    QVERIFY(page.next == text.size() && page.words.size() == 1 && page.words[0].y == 10);
    // A word wider than the page stands on a line of its own at the margin.
    page = layoutPage("aaaa " + std::string(30, 'w') + " bbbb", 0, 130, 1000, 20, tenPerByte);
    QVERIFY(page.words[1].x == 10 && page.words[1].y == 30 && page.words[2].y == 50);
    // Line ends: 1.3 lines down; a carriage return and line feed are one break.
    page = layoutPage("one\r\ntwo\nthree", 0, 1000, 1000, 20, tenPerByte);
    QVERIFY(page.words.size() == 3 && page.words[1].y == 36 && page.words[2].y == 62);
    // A line taller than the page: each page still takes its first word, so printing ends.
    const std::string tall = "aaaa bbbb\n\ncccc";
    int pages = 0;
    for (std::size_t at = 0; at < tall.size() && pages < 100; ++pages) {
      const std::size_t next = layoutPage(tall, at, 100, 30, 40, tenPerByte).next;
      QVERIFY(next > at);
      at = next;
    }
    // The empty text has no page.
    const std::string nothing;
    TPrintText none(QString(), nothing);
    QVERIFY(!none.hasPage());
  }

  void printToPdfThroughTheDialog() {
    PrintToPdf printer(dir_->file("print.pdf"));
    setPrinterFontName("Liberation Serif");
    setPrinterFontSize(12);
    selectVerses(16, 18);
    runWithOptions(*passage_, CmFilePrint, PassageSource::Selection, true, true);
    QVERIFY(printer.dialogSeen);
    QCOMPARE(programPrinter().docName(), QString("John 3:16 - Test Bible"));
    QCOMPARE(printer.pages(), 1);
    QVERIFY(getCopyOption("COPY_AS_PARAGRAPH"));
  }

  void nothingIsPrintedForAnEmptyPassageOrACancelledDialog() {
    const std::string pdf = dir_->file("nothing.pdf");
    programPrinter().setOutputFileName(QString::fromStdString(pdf));
    // An empty selection: a message instead of the print dialog.
    passage_->selectWords(-1, -1);
    QString message;
    test::answerMessageBox(&message);
    runWithOptions(*passage_, CmFilePrint, PassageSource::Selection, false, false);
    QVERIFY(message.startsWith("There is nothing to print"));
    // The print dialog cancelled: the passage dialog still closes with OK and keeps the options.
    selectVerses(16, 16);
    bool asked = false;
    test::whenShown<QPrintDialog>([&asked](QPrintDialog* dialog) {
      asked = true;
      dialog->reject();
    });
    runWithOptions(*passage_, CmFilePrint, PassageSource::Selection, false, true);
    QVERIFY(asked && getCopyOption("INCLUDE_BOOK_AND_CHAPTER"));
    QVERIFY(!fs::exists(pdf));
    test::stopDialogPollers();
  }

  void fontSizesAreKeptInWholePoints() {
    // Tenths of a point divided by ten: 10.94 is 109 tenths, 11.96 is 120.
    const std::pair<double, int> points[] = {
        {10.5, 10}, {10.94, 10}, {11.96, 12}, {12, 12}, {0.5, 1}};
    QFont font(QStringLiteral("Liberation Serif"));
    for (const auto& [size, kept] : points) {
      font.setPointSizeF(size);
      QCOMPARE(wholePointSize(font, 96), kept);
    }
    // Sized in pixels: 32 pixels at 96 dots per inch are 24 points.
    font.setPixelSize(32);
    QCOMPARE(wholePointSize(font, 96), 24);
  }

  void theFontCommands() {
    const QFont before = passage_->textFont();
    QString caption;
    QFont started;
    const auto choose = [&](const char* family, int points) {
      test::whenShown<QFontDialog>([&, family, points](QFontDialog* dialog) {
        caption = dialog->windowTitle();
        started = dialog->currentFont();
        QFont font(QFontInfo(QFont(family)).family());
        font.setPointSize(points);
        dialog->setCurrentFont(font);
        dialog->accept();
      });
    };
    choose("Liberation Sans", 14);
    QVERIFY(runCopyPrintCommand(*passage_, CmPrinterFont));
    QCOMPARE(caption, QString("Printer Font"));
    // It starts from the window's font as the window really shows it.
    QCOMPARE(started.family(), QFontInfo(before).family());
    QCOMPARE(qRound(started.pointSizeF()), 12);
    char face[25] = {};
    QCOMPARE(QString(getPrinterFontName(face, sizeof face)),
             QFontInfo(QFont("Liberation Sans")).family());
    QCOMPARE(getPrinterFontSize(), 14);
    QCOMPARE(passage_->textFont(), before);

    choose("Liberation Serif", 16);
    QVERIFY(runCopyPrintCommand(*passage_, CmWindowFont));
    QCOMPARE(caption, QString("Window Font"));
    QCOMPARE(getScreenFontSize(), 16);
    // The window shows it at once; the printer keeps its own.
    QCOMPARE(passage_->textFont().pixelSize(), 16 * passage_->logicalDpiY() / 72);
    QCOMPARE(getPrinterFontSize(), 14);
    // Cancel writes nothing.
    resetIni();
    test::whenShown<QFontDialog>([](QFontDialog* dialog) { dialog->reject(); });
    QVERIFY(runCopyPrintCommand(*passage_, CmWindowFont));
    QVERIFY(!fs::exists(profilePath(kIniFile)));
  }
};

QTEST_MAIN(CopyPrintTest)
#include "copy_print_test.moc"
