// The reference-work windows and word dialogs, and the Bible window's commands that open them.
#include "app/windows/definition_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "app/commands.h"
#include "app/config.h"
#include "app/frame.h"
#include "app/main_app.h"
#include "app/print_text.h"
#include "app/windows/dictionary_dlg.h"
#include "app/windows/passage.h"
#include "app/windows/window_commands.h"
#include "engine/stores/dict.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

QComboBox* keyBox(QWidget* dialog) { return test::child<QComboBox>(dialog, 10033); }
QString pane(QWidget* dialog) { return test::child<QPlainTextEdit>(dialog, 11070)->toPlainText(); }

// Selects the characters [start, start + length) of the pane, as a double click would.
void selectInPane(QWidget* dialog, const QString& word, int offset = 0, int length = -1) {
  auto* edit = test::child<QPlainTextEdit>(dialog, 11070);
  QTextCursor cursor = edit->textCursor();
  cursor.setPosition(int(edit->toPlainText().indexOf(word)) + offset);
  cursor.setPosition(cursor.position() + (length < 0 ? int(word.size()) : length),
                     QTextCursor::KeepAnchor);
  edit->setTextCursor(cursor);
}

// Moves the mouse over word index of the Bible window; whether the window took the hover.
bool hover(TPassage* passage, int index) {
  const QPoint at = passage->wordRect(index).center() - QPoint(0, passage->position());
  QMouseEvent move(QEvent::MouseMove, at, passage->viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(passage->viewport(), &move);
  return passage->hoverIndex() == index;
}

// What a look-up window showed when it opened: its key (edit or list) and its pane, and for
// Strong's whether the Hebrew box was checked.
struct Shown {
  bool seen = false, hebrew = false;
  QString key, pane;
};
void watch(const char* name, Shown& shown) {
  shown = Shown{};
  test::onDialog(
      name,
      [&shown](QDialog* d) {
        if (auto* line = test::child<QLineEdit>(d, 10033)) shown.key = line->text();
        if (auto* box = keyBox(d)) shown.key = box->currentText();
        shown.pane = pane(d);
        if (auto* box = test::child<QCheckBox>(d, 11071)) shown.hebrew = box->isChecked();
      },
      &shown.seen);
}

}  // namespace

class DefinitionDlgTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::AppData> data_;
  test::Module module_;
  test::Dict eastons_;
  test::Dict commentary_;

  void closeStores() {
    eastons_.reset();
    commentary_.reset();
    module_.reset();
  }

 private Q_SLOTS:
  void init() {
    test::forgetSettings();
    data_ = std::make_unique<test::AppData>();
    test::buildReferenceWorks(data_->dir().path());
    module_ = test::openModule(data_->dir().path(), "kjv.bib");
    eastons_.reset(open_dict("eastons.dic"));
    commentary_.reset(open_dict("mhc.dic"));
    QVERIFY(module_ && eastons_ && commentary_);
  }
  void cleanup() {
    test::stopDialogPollers();
    closeStores();
    data_.reset();
  }

  void fiftyOneLookUpsKeepFiftyAndBackWalksThemBack() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "Psalms 119:1");
    auto* back = test::child<QPushButton>(&dialog, 904);
    QVERIFY(!back->isEnabled());
    for (int verse = 2; verse <= 52; ++verse) {
      keyBox(&dialog)->setEditText(QStringLiteral("Psalms 119:%1").arg(verse));
      dialog.CmOk();
    }
    dialog.CmOk();  // the same key again is no new look-up
    QCOMPARE(dialog.history().size(), std::size_t(50));
    for (int verse = 51; verse >= 2; --verse) {
      QVERIFY(back->isEnabled());
      back->click();
      QCOMPARE(keyBox(&dialog)->currentText(), QStringLiteral("Psalms 119:%1").arg(verse));
      QVERIFY(dialog.paneText().startsWith(QStringLiteral("Psalms 119:%1 ").arg(verse)));
    }
    QVERIFY(!back->isEnabled());  // the oldest key went when the fifty-first was pushed
  }

  void eastonsCopiesPrintsAndLooksUpFuzzilyAndReferencesAsVerses() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "");  // the first entry shown
    QCOMPARE(dialog.paneText(), QString("The eldest son of Amram and Jochebed."));
    // Copy and print take the key and the text.
    test::child<QPushButton>(&dialog, 24323)->click();
    QCOMPARE(QApplication::clipboard()->text(),
             QString("Aaron\n\nThe eldest son of Amram and Jochebed."));
    const QString pdf = QString::fromStdString(data_->dir().file("aaron.pdf"));
    QPrinter& printer = programPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    bool seen = false;
    test::onDialog(
        "", [](QDialog* d) { d->accept(); }, &seen);
    test::child<QPushButton>(&dialog, 24337)->click();
    QVERIFY(seen);
    QCOMPARE(printer.docName(), QString("Aaron"));
    QVERIFY(QFileInfo(pdf).size() > 0);
    const std::tuple<const char*, const char*, const char*, std::size_t> cases[] = {
        {"moses,", "moses", "Drawn out of the water.", 1},
        {"Abrahams", "Abraham", "Father of", 2},
        {"John 3:16", "John 3:16", "John 3:16 For", 3},
        {"Zerubbabel", "John 3:16", "", 3}};
    for (const auto& [typed, key, text, history] : cases) {
      keyBox(&dialog)->setEditText(typed);
      dialog.CmOk();
      QCOMPARE(dialog.currentKey(), std::string(key));
      QVERIFY2(dialog.paneText().startsWith(text), qPrintable(dialog.paneText()));
      QCOMPARE(dialog.paneText().isEmpty(), *text == 0);
      QCOMPARE(dialog.history().size(), history);
    }
  }

  void doubleClickReadsTheReferenceAroundTheSelection() {
    TEastonsDlg dialog(nullptr, eastons_.get(), module_.get(), "Abraham");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const std::tuple<const char*, int, int, const char*> cases[] = {{"3:16", 2, 2, "1 John 3:16"},
                                                                    {"17:5", 0, 4, "Genesis 17:5"},
                                                                    {"John", 0, 4, "1 John 3:16"},
                                                                    {"Moses", 0, 5, ""}};
    for (const auto& [word, offset, length, reference] : cases) {
      selectInPane(&dialog, word, offset, length);
      QCOMPARE(dialog.referenceAroundSelection(), std::string(reference));
    }
    // A real double click on "16": the edit selects, then the window looks the verse up.
    selectInPane(&dialog, "3:16", 3, 0);
    auto* edit = test::child<QPlainTextEdit>(&dialog, 11070);
    QTest::mouseDClick(edit->viewport(), Qt::LeftButton, {}, edit->cursorRect().center());
    QVERIFY(test::waitFor([&] { return dialog.currentKey() == "1 John 3:16"; }));
    QCOMPARE(keyBox(&dialog)->currentText(), QString("1 John 3:16"));
    QVERIFY(dialog.paneText().startsWith("1 John 3:16 "));
    QCOMPARE(dialog.history(), std::vector<std::string>{"Abraham"});
    // Back, then a double click on a plain word looks the word up.
    dialog.CmBack();
    selectInPane(&dialog, "Moses");
    postCommand(&dialog, CmDefinitionDoubleClick);
    QVERIFY(test::waitFor([&] { return dialog.currentKey() == "Moses"; }));
  }

  void strongsTestamentBoxChoosesTheTable() {
    TStrongsDlg dialog(nullptr, "1", true);
    QVERIFY(dialog.hasLexicon());
    auto* box = test::child<QCheckBox>(&dialog, 11071);
    auto* key = test::child<QLineEdit>(&dialog, 10033);
    QVERIFY(box->isChecked());
    QCOMPARE(dialog.paneText(), QString("father"));
    box->setChecked(false);  // the other table at once, under the same key: no history entry
    QCOMPARE(dialog.paneText(), QString("Alpha"));
    QVERIFY(dialog.history().empty());
    key->setText(" 7225. ");
    box->setChecked(true);
    QCOMPARE(dialog.currentKey(), std::string("7225"));
    QCOMPARE(dialog.paneText(), QString("beginning\nthe first, in place or time"));
    QCOMPARE(dialog.history(), std::vector<std::string>{"1"});
    // Past the table, or no number at all: the pane empty, the key kept.
    for (const char* typed : {"99999", "abc"}) {
      key->setText(typed);
      dialog.CmOk();
      QVERIFY(dialog.paneText().isEmpty());
      QCOMPARE(dialog.currentKey(), std::string("7225"));
    }
  }

  void commentaryClampsTheChapterAndRefillsOnANewBook() {
    TMHCDlg dialog(nullptr, commentary_.get(), module_.get(), Reference{0, 1, 1});
    QCOMPARE(TMHCDlg::chapterKey(Reference{42, 3, 16}), std::string("3:42"));
    auto* book = test::child<QComboBox>(&dialog, 10013);
    auto* chapter = test::child<QComboBox>(&dialog, 10001);
    QCOMPARE(dialog.paneText(), QString("The creation of the world."));
    QCOMPARE(chapter->count(), 50);
    chapter->setEditText("0");
    QCOMPARE(dialog.reference().chapter, std::uint8_t(1));
    chapter->setEditText("200");
    QCOMPARE(dialog.currentKey(), std::string("Genesis 50"));
    QCOMPARE(dialog.paneText(), QString("The death of Joseph."));
    book->setCurrentIndex(42);  // John: 21 chapters
    QCOMPARE(chapter->count(), 21);
    QCOMPARE(dialog.reference(), (Reference{42, 21, 1}));
    QVERIFY(dialog.paneText().isEmpty());
    chapter->setEditText("3");
    QCOMPARE(dialog.paneText(), QString("Christ's discourse with Nicodemus.\nVerses 1-8"));
    dialog.CmBack();  // the picker returns to the chapter before
    QCOMPARE(book->currentIndex(), 0);
    QCOMPARE(chapter->currentText(), QString("50"));
    QCOMPARE(dialog.paneText(), QString("The death of Joseph."));
  }

  void wordDialogsAddRenameAndDelete() {
    // Add from the window: the new word is added and the window's list refilled.
    TEastonsDlg window(nullptr, eastons_.get(), module_.get(), "Zion");
    bool seen = false;
    test::onDialog(
        "6000",
        [](QDialog* d) {
          QCOMPARE(keyBox(d)->currentText(), QString("Zion"));
          test::child<QPlainTextEdit>(d, 11070)->setPlainText("A hill of Jerusalem.");
          test::child<QPushButton>(d, 1)->click();
        },
        &seen);
    test::child<QPushButton>(&window, 502)->click();
    QVERIFY(seen);
    QCOMPARE(test::itemText(eastons_.get(), "zion"), std::string("A hill of Jerusalem."));
    QCOMPARE(keyBox(&window)->count(), 5);
    // A word's article is shown for editing; OK replaces it.
    TInsertDictionaryDlg add(nullptr, eastons_.get(), "Aaron");
    QCOMPARE(pane(&add), QString("The eldest son of Amram and Jochebed."));
    test::child<QPlainTextEdit>(&add, 11070)->setPlainText("Brother of Moses.");
    add.CmOk();
    QCOMPARE(test::itemText(eastons_.get(), "aaron"), std::string("Brother of Moses."));
    test::MessageBoxWatcher boxes;
    TInsertDictionaryDlg blank(nullptr, eastons_.get(), "Caleb");  // a blank text is refused
    blank.CmOk();
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(test::itemText(eastons_.get(), "Caleb"), std::string("<none>"));
    TRenameDictionaryDlg rename(nullptr, eastons_.get(), "moses");
    QCOMPARE(keyBox(&rename)->currentText(), QString("Moses"));
    test::child<QLineEdit>(&rename, 10034)->setText("Aaron");  // onto a word already there
    rename.CmOk();
    QCOMPARE(boxes.texts.value(1), QString("\"Aaron\" is already in the dictionary."));
    test::child<QLineEdit>(&rename, 10034)->setText("Mosheh");
    rename.CmOk();
    QCOMPARE(rename.result(), int(QDialog::Accepted));
    QCOMPARE(test::itemText(eastons_.get(), "Mosheh"), std::string("Drawn out of the water."));
    QCOMPARE(test::itemText(eastons_.get(), "Moses"), std::string("<none>"));
    TDeleteDictionaryDlg remove(nullptr, eastons_.get(), "Abraham's bosom");
    QVERIFY(test::child<QPlainTextEdit>(&remove, 11070)->isReadOnly());
    QCOMPARE(pane(&remove), QString("The rest of the blessed dead."));
    remove.CmOk();
    QCOMPARE(test::itemText(eastons_.get(), "Abraham's bosom"), std::string("<none>"));
    QCOMPARE(test::itemText(eastons_.get(), "Abraham").substr(0, 6), std::string("Father"));
  }

  void aReadOnlyStoreRefusesEveryChange() {
    eastons_.reset();
    const fs::path file = data_->dir().path() / "eastons.dic";
    const std::string before = test::readFile(file);
    test::ImmutableFile immutable(file);
    if (!immutable.effective()) QSKIP("the file system cannot make a file read-only for root");
    test::Dict store(open_dict("eastons.dic"));
    QVERIFY(store && isReadOnly(store.get()) == 1);
    {
      TEastonsDlg window(nullptr, store.get(), module_.get(), "Aaron");
      QVERIFY(!test::child<QPushButton>(&window, 502)->isEnabled());
    }
    test::MessageBoxWatcher boxes;
    TInsertDictionaryDlg add(nullptr, store.get(), "Caleb");
    test::child<QPlainTextEdit>(&add, 11070)->setPlainText("A spy.");
    add.CmOk();
    QVERIFY(add.result() != QDialog::Accepted);
    TDeleteDictionaryDlg(nullptr, store.get(), "Aaron").CmOk();
    QCOMPARE(boxes.texts.size(), 2);
    for (const QString& text : boxes.texts)
      QVERIFY2(text.contains("cannot be changed"), qPrintable(text));
    store.reset();
    QCOMPARE(test::readFile(file), before);
  }

  void windowCommandsOpenTheLookUpWindows() {
    closeStores();
    test::StartedProgram s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    passage->setFocus();
    for (int id : {CmDictionary, CmAddWord, CmRenameWord, CmDeleteWord})
      QVERIFY(queryCommandFrom(passage, id).enabled);
    // Strong's numbers hidden: the look-up on "beginning" finds the number after it, 7225.
    setStrongs(passage->module(), 0);
    passage->showPassage(Reference{0, 1, 1});
    QVERIFY(hover(passage, 3));  // "1 In the beginning"
    Shown shown;
    watch("8001", shown);
    QVERIFY(dispatchCommandFrom(passage, CmStrongsLookup));
    QVERIFY(shown.seen && shown.hebrew);
    QCOMPARE(shown.pane.left(9), QString("beginning"));
    // Over a verse number, which reads as a number but is none, the window asks for one.
    QVERIFY(hover(passage, 0));
    watch("8001", shown);
    QVERIFY(dispatchCommandFrom(passage, CmStrongsLookup));
    QVERIFY(shown.seen);
    QCOMPARE(shown.key, QString());
    // A double click on a name opens Easton's on it; on a number, the lexicon (Greek in John).
    watch("8002", shown);
    onPassageDoubleClick(*passage, "Abraham's");
    QCOMPARE(shown.key, QString("Abraham"));
    passage->showPassage(Reference{42, 3, 16});
    watch("8001", shown);
    onPassageDoubleClick(*passage, "26");
    QVERIFY(shown.seen && !shown.hebrew);
    QCOMPARE(shown.pane, QString("love"));
    // The commentary on the active window's chapter.
    watch("8003", shown);
    QVERIFY(dispatchCommandFrom(s.app->client(), CmCommentary));
    QCOMPARE(shown.pane, QString("Christ's discourse with Nicodemus.\nVerses 1-8"));
  }

  void missingStoresDisableOnlyTheirCommands() {
    closeStores();
    for (const char* name : {"lexicon.lex", "eastons.dic", "mhc.dic", "hitchck.dic"})
      fs::remove(data_->dir().path() / name);
    test::StartedProgram s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    for (int id : {CmStrongsLookup, CmDictionary, CmAddWord, CmRenameWord, CmDeleteWord})
      QVERIFY2(!queryCommandFrom(passage, id).enabled, qPrintable(QString::number(id)));
    QVERIFY(!queryCommandFrom(s.app->client(), CmCommentary).enabled);
    QVERIFY(queryCommandFrom(passage, CmAddNote).enabled);
    Shown shown;  // a double click with no dictionary and no lexicon opens nothing
    watch("8002", shown);
    onPassageDoubleClick(*passage, "Abraham");
    onPassageDoubleClick(*passage, "7225");
    QTest::qWait(150);
    QVERIFY(!shown.seen);
  }
};

QTEST_MAIN(DefinitionDlgTest)
#include "definition_dlg_test.moc"
