// The verse-note dialogs, and the Bible window's note commands.
#include "app/windows/notes_dlg.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "app/commands.h"
#include "app/windows/passage.h"
#include "engine/stores/notes.h"
#include "tests/app/app_fixtures.h"
#include "tests/app/fakes.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

QPlainTextEdit* field(QDialog* dialog) { return test::child<QPlainTextEdit>(dialog, 10017); }

// Picks a verse by typing its number, as the user does, and waits for the dialog to follow.
bool pickVerse(TNotesDlg& dialog, int verse) {
  test::child<QComboBox>(&dialog, 10015)->setEditText(QString::number(verse));
  return test::waitFor([&] { return dialog.noteReference().verse == verse; });
}

}  // namespace

class NotesDlgTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::AppData> data_;
  test::Module module_;
  test::Notes notes_;

  std::uintmax_t storeSize() const { return fs::file_size(data_->dir().path() / "kjv.vn"); }
  // The stored note of Genesis 1:verse, "<none>" when it has none.
  std::string note(int verse) const { return test::noteText(notes_.get(), verse - 1); }
  std::unique_ptr<TNotesDlg> dialog(int resource, int verse = 1) {
    return std::make_unique<TNotesDlg>(nullptr, resource, module_.get(), notes_.get(),
                                       Reference{0, 1, std::uint8_t(verse)});
  }

 private Q_SLOTS:
  void init() {
    test::forgetSettings();
    data_ = std::make_unique<test::AppData>();
    module_ = test::openModule(data_->dir().path(), "kjv.bib");
    notes_.reset(VNOpen(module_.get()));
    QVERIFY(module_ && notes_);
  }
  void cleanup() {
    test::stopDialogPollers();
    notes_.reset();
    module_.reset();
    data_.reset();
  }

  // Moving the picker saves the note it leaves (Cancel after a move: theWindowsNoteCommands).
  void movingThePickerSavesEachNote() {
    auto first = dialog(7001);
    QVERIFY(test::child<QLabel>(first.get(), 10016)->text().startsWith("Genesis 1:1 In the"));
    QVERIFY(field(first.get())->toPlainText().isEmpty());
    field(first.get())->setPlainText("In the beginning: the first note.");
    QVERIFY(pickVerse(*first, 2));
    QCOMPARE(note(1), std::string("In the beginning: the first note."));
    QVERIFY(field(first.get())->toPlainText().isEmpty() && first->savedAny());
    field(first.get())->setPlainText("Second line one\nline two");
    first->CmOk();
    QCOMPARE(note(2), std::string("Second line one\nline two"));
    QCOMPARE(note(3), std::string("<none>"));
    // Clearing a note stores an empty one.
    auto clear = dialog(7002, 2);
    field(clear.get())->clear();
    clear->CmOk();
    QCOMPARE(note(2), std::string());
  }

  void unchangedAndDeletedNotesAreNeverWritten() {
    // Stored with "\r\n" line ends by another program: shown as line breaks, equal to them.
    VNSetNoteByRef({0, 1, 1}, "one\r\ntwo", notes_.get());
    const auto size = storeSize();
    auto edit = dialog(7001);
    QCOMPARE(field(edit.get())->toPlainText(), QString("one\ntwo"));
    QVERIFY(pickVerse(*edit, 2));
    QVERIFY(pickVerse(*edit, 1));
    edit->CmOk();
    QVERIFY(!edit->savedAny());
    // Delete Note shows the note read-only.
    auto remove = dialog(7003);
    QTest::keyClicks(field(remove.get()), "typed");
    QCOMPARE(field(remove.get())->toPlainText(), QString("one\ntwo"));
    remove->CmOk();
    QCOMPARE(storeSize(), size);
    QCOMPARE(note(1), std::string("one\r\ntwo"));
  }

  void aNoteAtTheLengthLimitIsStoredWholeAndLongerInputRefused() {
    auto edit = dialog(7001);
    const QString exact(TNotesDlg::kMaxNoteLength, u'x');
    field(edit.get())->setPlainText(exact + "yyyy");
    QCOMPARE(field(edit.get())->toPlainText(), exact);
    // Multi-byte characters are never cut in half.
    field(edit.get())->setPlainText(QString(TNotesDlg::kMaxNoteLength / 2 + 1, QChar(0x00E9)));
    QVERIFY(field(edit.get())->toPlainText().toUtf8().size() <= TNotesDlg::kMaxNoteLength);
    QCOMPARE(field(edit.get())->toPlainText().toUtf8().size() % 2, 0);
    field(edit.get())->setPlainText(exact);
    edit->CmOk();
    QCOMPARE(field(dialog(7002).get())->toPlainText(), exact);
  }

  // The window's commands show the chapter's notes afterwards; a notes file that cannot be
  // written disables them, its notes still shown.
  void theWindowsNoteCommands() {
    VNSetNoteByRef({0, 1, 1}, "written before", notes_.get());
    notes_.reset();
    module_.reset();
    struct : test::FakeWorkbench {
      bool hasMainWindow() const override { return true; }  // the note commands need one
    } bench;
    {
      test::ImmutableFile immutable(data_->dir().path() / "kjv.vn");
      TPassage readOnly(test::bibleNamed("kjv.bib"), bench);
      for (int id : {CmAddNote, CmEditNote, CmDeleteNote})
        QCOMPARE(queryCommandFrom(&readOnly, id).enabled, !immutable.effective());
      readOnly.showPassage({0, 1, 1});
      QVERIFY(readOnly.text().find("1. written before") != std::string::npos);
    }
    TPassage passage(test::bibleNamed("kjv.bib"), bench);
    passage.showPassage({42, 3, 16});
    const auto run = [&](int command, const char* name, auto act) {
      QVERIFY(test::runDialog(
          name, [&] { return passage.handleCommand(command); }, act));
    };
    run(CmAddNote, "7001", [](QDialog* d) {
      field(d)->setPlainText("God so loved.");
      test::child<QPushButton>(d, 1)->click();
    });
    QVERIFY(passage.text().find("\n\nNotes:\n-----------------------\n16. God so loved.\n") !=
            std::string::npos);
    // Cancel after moving to another verse: the note saved by the move shows too.
    run(CmEditNote, "7002", [](QDialog* d) {
      field(d)->setPlainText("Edited.");
      QVERIFY(pickVerse(*static_cast<TNotesDlg*>(d), 17));
      field(d)->setPlainText("dropped");
      test::child<QPushButton>(d, 2)->click();
    });
    QVERIFY(passage.text().find("16. Edited.\n") != std::string::npos);
    QVERIFY(passage.text().find("dropped") == std::string::npos);
    // Delete Note, Cancel: kept. OK: gone, and the chapter shows no notes.
    for (int button : {2, 1}) {
      run(CmDeleteNote, "7003",
          [button](QDialog* d) { test::child<QPushButton>(d, button)->click(); });
      QCOMPARE(passage.text().find("16. Edited.") != std::string::npos, button == 2);
    }
    QVERIFY(passage.text().find("Notes:") == std::string::npos);
  }
};

QTEST_MAIN(NotesDlgTest)
#include "notes_dlg_test.moc"
