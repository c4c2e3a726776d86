// The reference-work windows and word dialogs: history and Back, look-ups by key, by double
// click and by a reference read around a double click, the Strong's testament box, the
// commentary's chapter picker, adding, renaming and deleting words (and refusing on a read-only
// store); then the Bible window's commands that open them, in the running program, and the same
// checks on the imported data when it is present.
#include "app/windows/definition_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/commands.h"
#include "app/config.h"
#include "app/frame.h"
#include "app/main_app.h"
#include "app/print_text.h"
#include "app/profile.h"
#include "app/window_utils.h"
#include "app/windows/dictionary_dlg.h"
#include "app/windows/passage.h"
#include "app/windows/window_commands.h"
#include "engine/stores/dict.h"
#include "support/files.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

struct DictCloser {
  void operator()(DictHandle* h) const { deinit_dict(h); }
};
using Dict = std::unique_ptr<DictHandle, DictCloser>;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string article(DictHandle* store, const char* word) {
  std::vector<char> buffer(4096);
  std::uint16_t length = 0;
  if (!find_string_item(buffer.data(), &length, 4096, word, store)) return "<none>";
  return std::string(buffer.data(), length);
}

// Selects the characters [start, start + length) of the pane, as a double click would.
void selectInPane(QPlainTextEdit* pane, int start, int length) {
  QTextCursor cursor = pane->textCursor();
  cursor.setPosition(start);
  cursor.setPosition(start + length, QTextCursor::KeepAnchor);
  pane->setTextCursor(cursor);
}

// Starts the application as "<dir>/vellum", so the data directory is the program's.
using Started = test::StartedProgram;

int findWord(const TPassage& view, const std::string& text) {
  for (int i = 0; i < view.wordCount(); ++i)
    if (view.wordText(i) == text) return i;
  return -1;
}

// Moves the mouse over word `index` of the Bible window, as the user would.
void hover(TPassage* passage, int index) {
  QRect rect = passage->wordRect(index);
  rect.translate(0, -passage->position());
  QMouseEvent move(QEvent::MouseMove, rect.center(),
                   passage->viewport()->mapToGlobal(rect.center()), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(passage->viewport(), &move);
}

}  // namespace

class DefinitionDlgTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::AppData> data_;
  test::Module module_;
  Dict eastons_;
  Dict commentary_;

 private Q_SLOTS:
  void init() {
    test::stopDialogPollers();
    std::error_code ignored;
    fs::remove(profilePath(kIniFile), ignored);
    data_ = std::make_unique<test::AppData>();
    test::buildReferenceWorks(data_->dir().path());
    module_ = test::openModule(data_->dir().path(), "kjv.bib");
    QVERIFY(module_);
    eastons_.reset(open_dict("eastons.dic"));
    commentary_.reset(open_dict("mhc.dic"));
    QVERIFY(eastons_ && commentary_);
  }
  void cleanup() {
    test::stopDialogPollers();
    eastons_.reset();
    commentary_.reset();
    module_.reset();
    data_.reset();
  }

  // ---- The common window: history, Back, Copy ----

  void fiftyOneLookUpsKeepFiftyAndBackWalksThemBack() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "Psalms 119:1");
    QCOMPARE(dialog.objectName(), QString("8002"));
    auto* back = dialog.findChild<QPushButton*>("904");
    QVERIFY(back && !back->isEnabled());
    QVERIFY(dialog.history().empty());
    auto* key = dialog.findChild<QComboBox*>("10033");
    for (int verse = 2; verse <= 52; ++verse) {
      key->setEditText(QStringLiteral("Psalms 119:%1").arg(verse));
      dialog.CmOk();
    }
    QCOMPARE(dialog.currentKey(), std::string("Psalms 119:52"));
    QCOMPARE(dialog.history().size(), std::size_t(50));
    QVERIFY(back->isEnabled());
    // The same key again is no new look-up.
    dialog.CmOk();
    QCOMPARE(dialog.history().size(), std::size_t(50));
    for (int verse = 51; verse >= 2; --verse) {
      QVERIFY(back->isEnabled());
      back->click();
      QCOMPARE(dialog.currentKey(), QStringLiteral("Psalms 119:%1").arg(verse).toStdString());
      QCOMPARE(key->currentText(), QStringLiteral("Psalms 119:%1").arg(verse));
      QVERIFY(dialog.paneText().startsWith(QStringLiteral("Psalms 119:%1 ").arg(verse)));
    }
    // The oldest key went when the fifty-first was pushed.
    QVERIFY(!back->isEnabled());
    QVERIFY(dialog.history().empty());
  }

  void copyPutsTheKeyTwoLineFeedsAndTheText() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "Aaron");
    dialog.findChild<QPushButton*>("24323")->click();
    QCOMPARE(QApplication::clipboard()->text(),
             QString("Aaron\n\nThe eldest son of Amram and Jochebed."));
  }

  void printPrintsTheKeyAndTheText() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "Aaron");
    const QString pdf = QString::fromStdString(data_->dir().file("aaron.pdf"));
    QPrinter& printer = programPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    bool seen = false;
    test::onDialog(
        "", [](QDialog* d) { d->accept(); }, &seen);
    dialog.findChild<QPushButton*>("24337")->click();
    QVERIFY(seen);
    QCOMPARE(printer.docName(), QString("Aaron"));
    QVERIFY(QFileInfo(pdf).size() > 0);
  }

  // ---- Easton's ----

  void eastonsLooksUpArticlesFuzzilyAndReferencesAsVerses() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "");
    auto* key = dialog.findChild<QComboBox*>("10033");
    // No initial word: the first entry, looked up.
    QCOMPARE(key->count(), 4);
    QCOMPARE(dialog.currentKey(), std::string("Aaron"));
    QCOMPARE(dialog.paneText(), QString("The eldest son of Amram and Jochebed."));
    // Keys are trimmed of blanks and edge punctuation; the form that matched becomes the key.
    key->setEditText("moses,");
    dialog.CmOk();
    QCOMPARE(dialog.currentKey(), std::string("moses"));
    QCOMPARE(dialog.paneText(), QString("Drawn out of the water."));
    key->setEditText("Abrahams");
    dialog.CmOk();
    QCOMPARE(dialog.currentKey(), std::string("Abraham"));
    QCOMPARE(key->currentText(), QString("Abraham"));
    // A key that reads as a reference shows the verse, not an article.
    key->setEditText("John 3:16");
    dialog.CmOk();
    QVERIFY2(dialog.paneText().startsWith("John 3:16 For"), qPrintable(dialog.paneText()));
    QCOMPARE(dialog.history().size(), std::size_t(3));
    // A missing entry empties the pane and changes neither the key nor the history.
    key->setEditText("Zerubbabel");
    dialog.CmOk();
    QVERIFY(dialog.paneText().isEmpty());
    QVERIFY(!dialog.pane()->placeholderText().isEmpty());
    QCOMPARE(dialog.currentKey(), std::string("John 3:16"));
    QCOMPARE(dialog.history().size(), std::size_t(3));
    // The key field takes at most 40 characters.
    QCOMPARE(key->lineEdit()->maxLength(), 40);
  }

  void doubleClickReadsTheReferenceAroundTheSelection() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "Abraham");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* pane = dialog.findChild<QPlainTextEdit*>("11070");
    const QString text = pane->toPlainText();
    // The chapter and verse of "see 1 John 3:16": the book before it, with its number.
    selectInPane(pane, static_cast<int>(text.indexOf("3:16")) + 2, 2);
    QCOMPARE(dialog.referenceAroundSelection(), std::string("1 John 3:16"));
    // "Gen. 17:5.": the abbreviated book, the full stop after the verse ignored.
    selectInPane(pane, static_cast<int>(text.indexOf("17:5")), 4);
    QCOMPARE(dialog.referenceAroundSelection(), std::string("Genesis 17:5"));
    // The book name itself: with the digit before it and the chapter and verse after it.
    selectInPane(pane, static_cast<int>(text.indexOf("John")), 4);
    QCOMPARE(dialog.referenceAroundSelection(), std::string("1 John 3:16"));
    // A word that is no reference.
    selectInPane(pane, static_cast<int>(text.indexOf("Moses")), 5);
    QCOMPARE(dialog.referenceAroundSelection(), std::string());

    // A real double click on "16": the edit selects, then the window looks the verse up.
    QTextCursor cursor = pane->textCursor();
    cursor.setPosition(static_cast<int>(text.indexOf("3:16")) + 3);
    const QPoint point = pane->cursorRect(cursor).center();
    QTest::mouseDClick(pane->viewport(), Qt::LeftButton, {}, point);
    QVERIFY(test::waitFor([&] { return dialog.currentKey() == "1 John 3:16"; }));
    QCOMPARE(dialog.findChild<QComboBox*>("10033")->currentText(), QString("1 John 3:16"));
    QVERIFY(dialog.paneText().startsWith("1 John 3:16 "));
    QCOMPARE(dialog.history(), std::vector<std::string>{"Abraham"});
    // Back, then a double click on a plain word looks the word up.
    dialog.CmBack();
    selectInPane(pane, static_cast<int>(dialog.paneText().indexOf("Moses")), 5);
    postCommand(&dialog, CmDefinitionDoubleClick);
    QVERIFY(test::waitFor([&] { return dialog.currentKey() == "Moses"; }));
    QCOMPARE(dialog.paneText(), QString("Drawn out of the water."));
  }

  void addButtonOpensAddWordAndRefillsTheList() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "Zion");
    auto* add = dialog.findChild<QPushButton*>("502");
    QVERIFY(add->isEnabled());
    bool seen = false;
    test::onDialog(
        "6000",
        [](QDialog* d) {
          QCOMPARE(d->findChild<QComboBox*>("10033")->currentText(), QString("Zion"));
          d->findChild<QPlainTextEdit*>("11070")->setPlainText("A hill of Jerusalem.");
          d->findChild<QPushButton*>("1")->click();
        },
        &seen);
    add->click();
    QVERIFY(seen);
    QCOMPARE(article(eastons_.get(), "Zion"), std::string("A hill of Jerusalem."));
    QCOMPARE(dialog.findChild<QComboBox*>("10033")->count(), 5);
  }

  // ---- Strong's ----

  void strongsTestamentBoxChoosesTheTable() {
    TStrongsDlg dialog(nullptr, "1", true);
    QCOMPARE(dialog.objectName(), QString("8001"));
    QVERIFY(dialog.hasLexicon());
    auto* box = dialog.findChild<QCheckBox*>("11071");
    QVERIFY(box->isChecked());
    QCOMPARE(dialog.paneText(), QString("father"));
    // The other table at once, under the same key: no history entry.
    box->setChecked(false);
    QCOMPARE(dialog.paneText(), QString("Alpha"));
    QVERIFY(dialog.history().empty());
    dialog.findChild<QLineEdit*>("10033")->setText(" 7225. ");
    box->setChecked(true);
    QCOMPARE(dialog.currentKey(), std::string("7225"));
    QCOMPARE(dialog.paneText(), QString("beginning\nthe first, in place or time"));
    QCOMPARE(dialog.history(), std::vector<std::string>{"1"});
    // Past the table, or no number at all: nothing, the pane empty, the key kept.
    dialog.findChild<QLineEdit*>("10033")->setText("99999");
    dialog.CmOk();
    QVERIFY(dialog.paneText().isEmpty());
    dialog.findChild<QLineEdit*>("10033")->setText("abc");
    dialog.CmOk();
    QVERIFY(dialog.paneText().isEmpty());
    QCOMPARE(dialog.currentKey(), std::string("7225"));
    // A double click on a number in a definition looks it up.
    dialog.findChild<QLineEdit*>("10033")->setText("430");
    dialog.CmOk();
    QCOMPARE(dialog.paneText(), QString("God"));
  }

  void strongsWithoutTheLexiconFindsNothing() {
    test::TempDir empty;
    set_dpath(empty.path().c_str());
    TStrongsDlg dialog(nullptr, "1", true);
    QVERIFY(!dialog.hasLexicon());
    QVERIFY(dialog.paneText().isEmpty());
    QVERIFY(dialog.history().empty());
  }

  // ---- Commentary ----

  void commentaryClampsTheChapterAndRefillsOnANewBook() {
    TMHCDlg dialog(nullptr, commentary_.get(), module_.get(), Reference{0, 1, 1});
    QCOMPARE(dialog.objectName(), QString("8003"));
    QCOMPARE(TMHCDlg::chapterKey(Reference{42, 3, 16}), std::string("3:42"));
    auto* book = dialog.findChild<QComboBox*>("10013");
    auto* chapter = dialog.findChild<QComboBox*>("10001");
    QCOMPARE(dialog.paneText(), QString("The creation of the world."));
    QCOMPARE(dialog.currentKey(), std::string("Genesis 1"));
    QCOMPARE(chapter->count(), 50);
    chapter->setEditText("0");
    QCOMPARE(dialog.reference().chapter, std::uint8_t(1));
    chapter->setEditText("200");
    QCOMPARE(dialog.reference().chapter, std::uint8_t(50));
    QCOMPARE(dialog.paneText(), QString("The death of Joseph."));
    QCOMPARE(dialog.currentKey(), std::string("Genesis 50"));
    // Another book: the chapter list is refilled with its chapters and the chapter clamped.
    book->setCurrentIndex(42);
    QCOMPARE(chapter->count(), 21);
    QCOMPARE(dialog.reference().book, std::uint8_t(42));
    QCOMPARE(dialog.reference().chapter, std::uint8_t(21));
    QVERIFY(dialog.paneText().isEmpty());  // no commentary on John 21 here
    chapter->setEditText("3");
    QCOMPARE(dialog.paneText(), QString("Christ's discourse with Nicodemus.\nVerses 1-8"));
    // Back returns the picker to the chapter before.
    dialog.CmBack();
    QCOMPARE(dialog.currentKey(), std::string("Genesis 50"));
    QCOMPARE(book->currentIndex(), 0);
    QCOMPARE(chapter->currentText(), QString("50"));
    QCOMPARE(dialog.paneText(), QString("The death of Joseph."));
  }

  // ---- Word dialogs ----

  void wordDialogsAddRenameAndDelete() {
    {
      TInsertDictionaryDlg add(nullptr, eastons_.get(), "Aaron");
      QCOMPARE(add.objectName(), QString("6000"));
      QCOMPARE(add.findChild<QPushButton*>("1")->text(), QString("&Add"));
      // The word's article is shown for editing; OK replaces it.
      auto* text = add.findChild<QPlainTextEdit*>("11070");
      QCOMPARE(text->toPlainText(), QString("The eldest son of Amram and Jochebed."));
      text->setPlainText("Brother of Moses.");
      add.CmOk();
      QCOMPARE(add.result(), int(QDialog::Accepted));
      QCOMPARE(article(eastons_.get(), "aaron"), std::string("Brother of Moses."));
    }
    {
      // A blank text is refused with a message; the dialog stays open.
      TInsertDictionaryDlg add(nullptr, eastons_.get(), "Caleb");
      QString message;
      test::answerMessageBox(&message);
      add.CmOk();
      QVERIFY(!message.isEmpty());
      QCOMPARE(article(eastons_.get(), "Caleb"), std::string("<none>"));
    }
    {
      TRenameDictionaryDlg rename(nullptr, eastons_.get(), "moses");
      QCOMPARE(rename.findChild<QComboBox*>("10033")->currentText(), QString("Moses"));
      // Onto a word already there: refused, both articles kept.
      rename.findChild<QLineEdit*>("10034")->setText("Aaron");
      QString message;
      test::answerMessageBox(&message);
      rename.CmOk();
      QCOMPARE(message, QString("\"Aaron\" is already in the dictionary."));
      QCOMPARE(article(eastons_.get(), "Moses"), std::string("Drawn out of the water."));
      rename.findChild<QLineEdit*>("10034")->setText("Mosheh");
      rename.CmOk();
      QCOMPARE(rename.result(), int(QDialog::Accepted));
      QCOMPARE(article(eastons_.get(), "Mosheh"), std::string("Drawn out of the water."));
      QCOMPARE(article(eastons_.get(), "Moses"), std::string("<none>"));
    }
    {
      TDeleteDictionaryDlg remove(nullptr, eastons_.get(), "Abraham's bosom");
      QCOMPARE(remove.findChild<QPushButton*>("1")->text(), QString("&Delete"));
      auto* text = remove.findChild<QPlainTextEdit*>("11070");
      QVERIFY(text->isReadOnly());
      QCOMPARE(text->toPlainText(), QString("The rest of the blessed dead."));
      remove.CmOk();
      QCOMPARE(article(eastons_.get(), "Abraham's bosom"), std::string("<none>"));
      QCOMPARE(article(eastons_.get(), "Abraham").substr(0, 6), std::string("Father"));
    }
  }

  void aReadOnlyStoreRefusesEveryChange() {
    eastons_.reset();
    const fs::path file = data_->dir().path() / "eastons.dic";
    const std::string before = readFile(file);
    test::ImmutableFile immutable(file);
    if (!immutable.effective()) QSKIP("the file system cannot make a file read-only for root");
    Dict store(open_dict("eastons.dic"));
    QVERIFY(store && isReadOnly(store.get()) == 1);
    {
      TEastonsDlg dialog(nullptr, store.get(), module_.get(), "Aaron");
      QVERIFY(!dialog.findChild<QPushButton*>("502")->isEnabled());
      QCOMPARE(dialog.paneText(), QString("The eldest son of Amram and Jochebed."));
    }
    TInsertDictionaryDlg add(nullptr, store.get(), "Caleb");
    add.findChild<QPlainTextEdit*>("11070")->setPlainText("A spy.");
    QString message;
    test::answerMessageBox(&message);
    add.CmOk();
    QVERIFY(message.contains("cannot be changed"));
    QVERIFY(add.result() != QDialog::Accepted);
    TDeleteDictionaryDlg remove(nullptr, store.get(), "Aaron");
    message.clear();
    test::answerMessageBox(&message);
    remove.CmOk();
    QVERIFY(message.contains("cannot be changed"));
    store.reset();
    QCOMPARE(readFile(file), before);
  }

  // ---- The Bible window's commands, in the running program ----

  void windowCommandsOpenTheLookUpWindows() {
    const std::string dir = data_->path();
    eastons_.reset();
    commentary_.reset();
    module_.reset();
    Started s(dir);
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    passage->showPassage(Reference{0, 1, 1});
    passage->setFocus();
    for (int id : {CmStrongsLookup, CmDictionary, CmAddWord, CmRenameWord, CmDeleteWord, CmAddNote,
                   CmEditNote, CmDeleteNote})
      QVERIFY2(queryCommandFrom(passage, id).enabled, qPrintable(QString::number(id)));
    QVERIFY(queryCommandFrom(s.app->client(), CmCommentary).enabled);

    // Strong's numbers hidden: 308 on "beginning" finds the number after it, Hebrew 7225.
    setStrongs(passage->module(), 0);
    passage->showPassage(Reference{0, 1, 1});
    const int word = findWord(*passage, "beginning ");
    QVERIFY(word >= 0);
    hover(passage, word);
    QCOMPARE(passage->hoverIndex(), word);
    bool seen = false;
    QString pane;
    bool hebrew = false;
    test::onDialog(
        "8001",
        [&](QDialog* d) {
          pane = d->findChild<QPlainTextEdit*>("11070")->toPlainText();
          hebrew = d->findChild<QCheckBox*>("11071")->isChecked();
        },
        &seen);
    QVERIFY(dispatchCommandFrom(passage, CmStrongsLookup));
    QVERIFY(seen);
    QVERIFY(hebrew);
    QCOMPARE(pane.left(9), QString("beginning"));

    // Over a verse number, which reads as a number but is none, the window asks for one.
    hover(passage, 0);
    QCOMPARE(passage->hoverIndex(), 0);
    seen = false;
    QString asked = "unset";
    test::onDialog(
        "8001", [&](QDialog* d) { asked = d->findChild<QLineEdit*>("10033")->text(); }, &seen);
    QVERIFY(dispatchCommandFrom(passage, CmStrongsLookup));
    QVERIFY(seen);
    QCOMPARE(asked, QString());

    // A double click on a name opens Easton's on it; on a number, the lexicon (Greek in John).
    seen = false;
    QString key;
    test::onDialog(
        "8002", [&](QDialog* d) { key = d->findChild<QComboBox*>("10033")->currentText(); }, &seen);
    onPassageDoubleClick(*passage, "Abraham's");
    QVERIFY(seen);
    QCOMPARE(key, QString("Abraham"));
    passage->showPassage(Reference{42, 3, 16});
    seen = false;
    test::onDialog(
        "8001",
        [&](QDialog* d) {
          pane = d->findChild<QPlainTextEdit*>("11070")->toPlainText();
          hebrew = d->findChild<QCheckBox*>("11071")->isChecked();
        },
        &seen);
    onPassageDoubleClick(*passage, "26");
    QVERIFY(seen);
    QVERIFY(!hebrew);
    QCOMPARE(pane, QString("love"));

    // Ctrl+Y: the commentary on the active window's chapter.
    seen = false;
    test::onDialog(
        "8003", [&](QDialog* d) { pane = d->findChild<QPlainTextEdit*>("11070")->toPlainText(); },
        &seen);
    QVERIFY(dispatchCommandFrom(s.app->client(), CmCommentary));
    QVERIFY(seen);
    QCOMPARE(pane, QString("Christ's discourse with Nicodemus.\nVerses 1-8"));
  }

  void missingStoresDisableOnlyTheirCommands() {
    const std::string dir = data_->path();
    eastons_.reset();
    commentary_.reset();
    module_.reset();
    for (const char* name : {"lexicon.lex", "eastons.dic", "mhc.dic", "hitchck.dic"})
      fs::remove(data_->dir().path() / name);
    Started s(dir);
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    for (int id : {CmStrongsLookup, CmDictionary, CmAddWord, CmRenameWord, CmDeleteWord})
      QVERIFY2(!queryCommandFrom(passage, id).enabled, qPrintable(QString::number(id)));
    QVERIFY(!queryCommandFrom(s.app->client(), CmCommentary).enabled);
    QVERIFY(queryCommandFrom(passage, CmAddNote).enabled);
    // A double click with no dictionary and no lexicon opens nothing.
    bool seen = false;
    test::onDialog(
        "8002", [](QDialog*) {}, &seen);
    onPassageDoubleClick(*passage, "Abraham");
    onPassageDoubleClick(*passage, "7225");
    QTest::qWait(150);
    QVERIFY(!seen);
    // The rest of the window works as before.
    passage->showPassage(Reference{42, 3, 16});
    QVERIFY(passage->windowTitle().startsWith("John 3:16 - "));
  }

  // ---- On the imported data ----

  void onTheImportedData() {
    const fs::path real = VELLUM_DATA_DIR;
    for (const char* name : {"kjv.bib", "eastons.dic", "hitchck.dic", "lexicon.lex", "mhc.dic"})
      if (!fs::exists(real / name)) QSKIP("the imported data set is not built");
    eastons_.reset();
    commentary_.reset();
    module_.reset();
    test::TempDir dir;
    // The program only reads these; the stores are copied all the same, so that no test can
    // change the data set.
    for (const char* name : {"kjv.bib", "lexicon.lex"})
      fs::create_symlink(real / name, dir.path() / name);
    for (const char* name : {"eastons.dic", "hitchck.dic", "mhc.dic"})
      fs::copy_file(real / name, dir.path() / name);
    Started s(dir.path().string());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    setStrongs(passage->module(), 0);
    passage->showPassage(Reference{0, 17, 5});
    TPassage::forgetLastHover();

    // Hovering "Abraham" shows its meaning from Hitchcock's.
    int abraham = -1;
    for (int i = 0; i < passage->wordCount(); ++i)
      if (passage->wordText(i).rfind("Abraham", 0) == 0) {
        abraham = i;
        break;
      }
    QVERIFY(abraham >= 0);
    hover(passage, abraham);
    const QString status = s.app->frame()->statusText();
    QVERIFY2(status.startsWith("Abraham:") && status.contains("multitude", Qt::CaseInsensitive),
             qPrintable(status));

    // Double-clicking it opens Easton's on Abraham.
    bool seen = false;
    QString key, pane;
    test::onDialog(
        "8002",
        [&](QDialog* d) {
          key = d->findChild<QComboBox*>("10033")->currentText();
          pane = d->findChild<QPlainTextEdit*>("11070")->toPlainText();
        },
        &seen);
    onPassageDoubleClick(*passage, passage->wordText(abraham));
    QVERIFY(seen);
    QCOMPARE(key, QString("Abraham"));
    QVERIFY(!pane.isEmpty());

    // With Strong's numbers hidden, "beginning" of Genesis 1:1 is Hebrew 7225.
    passage->showPassage(Reference{0, 1, 1});
    const int word = findWord(*passage, "beginning ");
    QVERIFY(word >= 0);
    hover(passage, word);
    seen = false;
    bool hebrew = false;
    test::onDialog(
        "8001",
        [&](QDialog* d) {
          key = d->findChild<QLineEdit*>("10033")->text();
          hebrew = d->findChild<QCheckBox*>("11071")->isChecked();
          pane = d->findChild<QPlainTextEdit*>("11070")->toPlainText();
        },
        &seen);
    QVERIFY(dispatchCommandFrom(passage, CmStrongsLookup));
    QVERIFY(seen);
    QCOMPARE(key, QString("7225"));
    QVERIFY(hebrew);
    QVERIFY(!pane.isEmpty());

    // Ctrl+Y on John 3: Matthew Henry on that chapter.
    passage->showPassage(Reference{42, 3, 1});
    seen = false;
    test::onDialog(
        "8003", [&](QDialog* d) { pane = d->findChild<QPlainTextEdit*>("11070")->toPlainText(); },
        &seen);
    QVERIFY(dispatchCommandFrom(s.app->client(), CmCommentary));
    QVERIFY(seen);
    QVERIFY2(pane.contains("Nicodemus"), qPrintable(pane.left(200)));
  }
};

QTEST_MAIN(DefinitionDlgTest)
#include "definition_dlg_test.moc"
