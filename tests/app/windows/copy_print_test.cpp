// Copy, Append and Print: composing a passage from each source with each option, the dialogs
// on a Bible window (the clipboard's line ends, the "COPY" options, the verses found), page
// layout, printing to PDF through the print dialog, and the window and printer font commands.
#include <QCheckBox>
#include <QClipboard>
#include <QFontDialog>
#include <QFontInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QtTest>
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

// A small translation: John 3:16-18 read "So loved.", "Sent." and "Not condemned."; Genesis 1:2
// has a bracketed word.
std::string testBibleVpl() {
  std::string vpl =
      "Genesis\t1\t1\tIn the beginning.\nGenesis\t1\t2\tAnd darkness [was] upon the deep.\n"
      "John\t1\t1\tIn the beginning was the Word.\nJohn\t2\t1\tThe third day.\n";
  for (int verse = 1; verse <= 15; ++verse)
    vpl += "John\t3\t" + std::to_string(verse) + "\tWords of an earlier verse.\n";
  return vpl + "John\t3\t16\tSo loved.\nJohn\t3\t17\tSent.\nJohn\t3\t18\tNot condemned.\n";
}

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

  // Selects the lines of verses first to last of the window's chapter.
  void selectVerses(int first, int last) {
    const std::string& text = passage_->text();
    const std::size_t end = text.find('\n', text.find("\n" + std::to_string(last) + " ") + 1);
    passage_->selectCharacters(text.find("\n" + std::to_string(first) + " ") + 1,
                               end == std::string::npos ? text.size() - 1 : end);
  }

 private Q_SLOTS:
  void init() {
    test::forgetSettings();
    dir_ = std::make_unique<test::TempDir>();
    test::buildModule(dir_->path(), "test.bib", "Test Bible", testBibleVpl());
    set_dpath(dir_->path().c_str());
    bench_ = test::FakeWorkbench();
    passage_ = std::make_unique<TPassage>(test::bibleNamed("test.bib"), bench_);
    QVERIFY(passage_->module());
    passage_->showPassage(test::parse("John 3:16", passage_->module()));
    QGuiApplication::clipboard()->clear();
  }
  void cleanup() {
    ++test::whenShownGeneration;
    test::stopDialogPollers();
    passage_.reset();
    dir_.reset();
  }

  // Each source with each option; texts longer than the buffer are cut whole, in UTF-8 too.
  void composeEachSourceWithEachOption() {
    const auto inputs = [this](PassageSource source, int options, const std::string& text) {
      PassageInputs in;
      in.source = source;
      in.quotation = options & 1;
      in.bookAndChapter = options & 2;
      in.caption = "John 3:1 - Test Bible";
      in.selection = in.chapterText = text;
      in.module = passage_->module();
      if (!text.empty()) in.clipboard = text;
      for (const QString& entry : QString::fromStdString(text).split('|', Qt::SkipEmptyParts))
        in.versesFound.push_back(entry.toStdString());
      return in;
    };
    struct Case {
      PassageSource source;
      int options;       // 1 a quotation, 2 book and chapter
      std::string text;  // the selection, chapter, clipboard, or entries split at '|'
      std::string expected;
    };
    using enum PassageSource;
    const Case cases[] = {
        // The selection as it stands; with book and chapter before every line (the last line
        // feed goes, the text starts with one).
        {Selection, 0, "16 So loved.\n", "16 So loved.\n"},
        {Selection, 2, "16 So loved.\n17 Sent.\n", "\nJohn 3:16 So loved.\nJohn 3:17 Sent."},
        // Quotations: the range of whole verses, one verse, no head without book and chapter.
        {Selection, 3, "16 So loved.\n17 Sent.\n18 No.\n", "John 3:16-18, \"So loved. Sent. No.\""},
        {Selection, 3, "16 So loved.\n", "John 3:16, \"So loved.\""},
        {Selection, 1, "16 So loved.\n17 Sent.\n", "\"So loved. Sent.\""},
        // Inside one verse: book and chapter and three dots; a verse's tail is left out; notes
        // below the chapter stay out.
        {Selection, 3, "loved the world, that he ", "John 3, \"...loved the world, that he\""},
        {Selection, 1, "loved the world, that he ", "\"\""},
        {Selection, 3, "life.\n16 So loved.\n17 God sent ", "John 3:16-17, \"So loved. God sent\""},
        {Selection, 3,
         "17 Sent.\n18 No.\n\nNotes:\n-----------------------\n16. A note\n5 loaves\n",
         "John 3:17-18, \"Sent. No.\""},
        {Selection, 3, "a note\n17. Another\n", "John 3, \"...a note\""},
        {Chapter, 0, "1 One.\n2 Two.\n", "John 3\n\n1 One.\n2 Two.\n"},
        // Verses found in box order; an entry the module cannot parse is passed over; the
        // translators' brackets never reach the output.
        {VersesFound, 0, "John 3:18|Exodus 2:1|Genesis 1:2|nonsense",
         "John 3:18 Not condemned.\nGenesis 1:2 And darkness was upon the deep.\n"},
        {Clipboard, 0, "[a] b] [c\r\nsecond", "a b c\r\nsecond"},
        // Empty sources compose nothing, whatever the options.
        {Selection, 3, "", ""},
        {Selection, 2, "", ""},
        {Chapter, 0, "", ""},
    };
    for (const Case& c : cases)
      QCOMPARE(composePassage(inputs(c.source, c.options, c.text)), c.expected);
    PassageInputs noModule = inputs(VersesFound, 0, "John 3:16");
    noModule.module = nullptr;  // nothing can be looked up
    QCOMPARE(composePassage(noModule), std::string());

    std::string longText;  // two-byte characters on both sides of every possible cut
    while (longText.size() < 40000) longText += "7 \xC3\xA9t\xC3\xA9 \xC3\xA0 la mer\n";
    for (PassageSource source : {Chapter, Clipboard, Selection}) {
      for (int options = 0; options < 4; ++options) {
        const std::string text = composePassage(inputs(source, options, longText));
        QVERIFY2(text.size() <= 32765 && text.size() > 25000, std::to_string(text.size()).c_str());
        const QByteArray bytes = QByteArray::fromStdString(text);
        QCOMPARE(QString::fromUtf8(bytes).toUtf8(), bytes);
        // With book and chapter every line that is kept is whole and headed.
        if (source == Selection && options == 2)
          QCOMPARE(bytes.count("\nJohn 3:7 "), bytes.count('\n'));
      }
    }
    // Thousands of verses found stop when the room is used up.
    PassageInputs many = inputs(VersesFound, 0, "");
    many.versesFound.assign(2000, "John 3:16");
    const std::string text = composePassage(many);
    QVERIFY(text.size() <= 32764 && std::count(text.begin(), text.end(), '\n') > 200);
  }

  // The dialogs start from the saved options; OK saves both under their own keys, Cancel nothing.
  void theCopyOptionsAreReadAndSaved() {
    setCopyOption("INCLUDE_BOOK_AND_CHAPTER", true);
    for (int button : {2, 1}) {
      TCopyDlg dialog(passage_.get(), kCopyDlgId, passage_->module());
      QVERIFY(dialog.control<QCheckBox>(kBookAndChapterId)->isChecked());
      QVERIFY(!dialog.control<QCheckBox>(kQuotationId)->isChecked());
      dialog.control<QCheckBox>(kBookAndChapterId)->setChecked(false);
      dialog.control<QCheckBox>(kQuotationId)->setChecked(true);
      dialog.control<QPushButton>(button)->click();
    }
    QVERIFY(!getCopyOption("INCLUDE_BOOK_AND_CHAPTER") && getCopyOption("COPY_AS_PARAGRAPH"));
  }

  // The window's commands run their dialogs; the clipboard gets carriage returns and line feeds.
  // Append needs text on the clipboard; a window without text copies nothing.
  void copyAndAppendThroughTheWindow() {
    using enum PassageSource;
    struct Case {
      int command;
      PassageSource source;
      bool quotation, bookAndChapter, selected;  // verses 16 and 17 selected, or none
      std::string before, expected;
    };
    const Case cases[] = {
        {CmEditCopy, Selection, false, true, true, "",
         "\r\nJohn 3:16 So loved.\r\nJohn 3:17 Sent."},
        {CmEditCopy, VersesFound, false, false, true, "",
         "John 3:18 Not condemned.\r\nJohn 3:16 So loved.\r\n"},
        {CmAppend, Selection, false, false, true, "Notes\r\nfirst",
         "Notes\r\nfirst\n16 So loved.\r\n17 Sent.\r\n"},
        {CmAppend, Selection, true, true, true, "old", "old\nJohn 3:16-17, \"So loved. Sent.\""},
        // An empty selection: Copy puts the empty text, Append the old text and a line feed.
        {CmEditCopy, Selection, true, false, false, "x", ""},
        {CmAppend, Selection, false, false, false, "old", "old\n"},
    };
    bench_.entries = {"John 3:18", "Tobit 1:1", "John 3:16"};
    for (const Case& c : cases) {
      if (c.selected)
        selectVerses(16, 17);
      else
        passage_->selectWords(-1, -1);
      QGuiApplication::clipboard()->setText(QString::fromStdString(c.before));
      runWithOptions(*passage_, c.command, c.source, c.quotation, c.bookAndChapter);
      QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(c.expected));
    }
    runWithOptions(*passage_, CmEditCopy, Chapter, false, false);
    QVERIFY(QGuiApplication::clipboard()->text().startsWith(
        "John 3\r\n\r\n1 Words of an earlier verse.\r\n2 Words"));

    TPassage empty(test::bibleNamed("test.bib"), bench_);
    CommandState state;
    for (bool clipboardText : {false, true}) {
      clipboardText ? QGuiApplication::clipboard()->setText("x")
                    : QGuiApplication::clipboard()->clear();
      for (int id : {CmEditCopy, CmFilePrint, CmWindowFont, CmPrinterFont, CmAppend}) {
        QVERIFY(copyPrintCommandState(*passage_, id, state));
        QCOMPARE(state.enabled, id != CmAppend || clipboardText);
      }
      for (int id : {CmEditCopy, CmAppend})
        QVERIFY(copyPrintCommandState(empty, id, state) && !state.enabled);
    }
    QVERIFY(runCopyPrintCommand(empty, CmEditCopy));  // disabled: no dialog to wait for
  }

  void pageLayout() {
    const auto tenPerByte = [](std::string_view word) { return int(word.size()) * 10; };
    // Line height 20, margins of 10: each word's place "x,y", then where the next page starts.
    const auto placed = [&](const std::string& text, std::size_t from, int width, int height) {
      const PageLayout page = layoutPage(text, from, width, height, 20, tenPerByte);
      QString places;
      for (const auto& word : page.words) places += QString("%1,%2 ").arg(word.x).arg(word.y);
      return places + QString::number(page.next);
    };
    // Words of 5 bytes; the right margin at 160, reached by the third: two words a line. The
    // bottom margin at 90, reached by the fourth line: three lines a page.
    const std::string text = "aaaa bbbb cccc dddd eeee ffff gggg hhhh";
    QCOMPARE(placed(text, 0, 170, 100), QString("10,10 60,10 10,30 60,30 10,50 60,50 30"));
    QCOMPARE(placed(text, 30, 170, 100), QString("10,10 60,10 39"));
    // A word wider than the page stands on a line of its own at the margin.
    QCOMPARE(placed("aaaa " + std::string(30, 'w') + " bbbb", 0, 130, 1000),
             QString("10,10 10,30 10,50 40"));
    // Line ends: 1.3 lines down; a carriage return and line feed are one break.
    QCOMPARE(placed("one\r\ntwo\nthree", 0, 1000, 1000), QString("10,10 10,36 10,62 14"));
    // A line taller than the page: each page still takes its first word, so printing ends.
    const std::string tall = "aaaa bbbb\n\ncccc";
    for (std::size_t at = 0, next = 0; at < tall.size(); at = next) {
      next = layoutPage(tall, at, 100, 30, 40, tenPerByte).next;
      QVERIFY(next > at);
    }
    const std::string nothing;
    QVERIFY(!TPrintText(QString(), nothing).hasPage());  // the empty text has no page
  }

  // Printing goes through the print dialog to the program's printer; an empty passage shows a
  // message instead, and a cancelled print dialog prints nothing but keeps the options.
  void printingThroughThePrintDialog() {
    const std::string pdf = dir_->file("print.pdf");
    programPrinter().setOutputFormat(QPrinter::PdfFormat);
    programPrinter().setOutputFileName(QString::fromStdString(pdf));
    programPrinter().setCopyCount(1);
    passage_->selectWords(-1, -1);
    QString message;
    test::answerMessageBox(&message);
    runWithOptions(*passage_, CmFilePrint, PassageSource::Selection, false, false);
    QVERIFY(message.startsWith("There is nothing to print"));
    for (bool accept : {false, true}) {
      bool asked = false;
      test::whenShown<QPrintDialog>([&asked, accept](QPrintDialog* dialog) {
        asked = true;
        accept ? dialog->accept() : dialog->reject();
      });
      selectVerses(16, 18);
      runWithOptions(*passage_, CmFilePrint, PassageSource::Selection, accept, !accept);
      QVERIFY(asked && getCopyOption(accept ? "COPY_AS_PARAGRAPH" : "INCLUDE_BOOK_AND_CHAPTER"));
      QCOMPARE(fs::exists(pdf), accept);
    }
    QCOMPARE(programPrinter().docName(), QString("John 3:16 - Test Bible"));
    const QByteArray written = QByteArray::fromStdString(test::readFile(pdf));
    QCOMPARE(written.count("/Type /Page") - written.count("/Type /Pages"), 1);  // page objects
  }

  void theFontCommands() {
    // Sizes are kept in whole points, tenths of a point divided by ten: 10.94 is 109 tenths,
    // 11.96 is 120; 32 pixels at 96 dots per inch are 24 points.
    const std::pair<double, int> points[] = {
        {10.5, 10}, {10.94, 10}, {11.96, 12}, {12, 12}, {0.5, 1}};
    QFont sized(QStringLiteral("Liberation Serif"));
    for (const auto& [size, kept] : points) {
      sized.setPointSizeF(size);
      QCOMPARE(wholePointSize(sized, 96), kept);
    }
    sized.setPixelSize(32);
    QCOMPARE(wholePointSize(sized, 96), 24);

    const QFont before = passage_->textFont();
    QFont started;
    const auto choose = [&](int command, const char* family, int points) {
      test::whenShown<QFontDialog>([&, family, points](QFontDialog* dialog) {
        started = dialog->currentFont();
        QFont font(QFontInfo(QFont(family)).family());
        font.setPointSize(points);
        dialog->setCurrentFont(font);
        dialog->accept();
      });
      QVERIFY(runCopyPrintCommand(*passage_, command));
    };
    choose(CmPrinterFont, "Liberation Sans", 14);
    // It starts from the window's font as the window really shows it.
    QCOMPARE(started.family(), QFontInfo(before).family());
    QCOMPARE(qRound(started.pointSizeF()), 12);
    char face[25] = {};
    QCOMPARE(QString(getPrinterFontName(face, sizeof face)),
             QFontInfo(QFont("Liberation Sans")).family());
    QVERIFY(getPrinterFontSize() == 14 && passage_->textFont() == before);

    choose(CmWindowFont, "Liberation Serif", 16);
    QCOMPARE(getScreenFontSize(), 16);
    // The window shows it at once; the printer keeps its own.
    QCOMPARE(passage_->textFont().pixelSize(), 16 * passage_->logicalDpiY() / 72);
    QCOMPARE(getPrinterFontSize(), 14);
    test::forgetSettings();  // Cancel writes nothing
    test::whenShown<QFontDialog>([](QFontDialog* dialog) { dialog->reject(); });
    QVERIFY(runCopyPrintCommand(*passage_, CmWindowFont));
    QVERIFY(!fs::exists(profilePath(kIniFile)));
  }
};

QTEST_MAIN(CopyPrintTest)
#include "copy_print_test.moc"
