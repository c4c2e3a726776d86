// The verse-note dialogs, and the Bible window's note commands in the running program.
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
#include "app/config.h"
#include "app/profile.h"
#include "app/windows/passage.h"
#include "engine/stores/notes.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

// The stored note, "<none>" when the verse has none.
std::string noteOf(NotesHandle* notes, Reference reference) {
  std::vector<char> buffer(40000);
  std::uint16_t length = 0;
  if (!VNGetNoteByRef(buffer.data(), &length, 40000, reference, notes)) return "<none>";
  return std::string(buffer.data(), length);
}

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
  std::unique_ptr<TNotesDlg> dialog(int resource, int verse = 1) {
    return std::make_unique<TNotesDlg>(nullptr, resource, module_.get(), notes_.get(),
                                       Reference{0, 1, std::uint8_t(verse)});
  }
  void closeStores() {
    notes_.reset();
    module_.reset();
  }

 private Q_SLOTS:
  void init() {
    test::stopDialogPollers();
    std::error_code ignored;
    fs::remove(profilePath(kIniFile), ignored);
    data_ = std::make_unique<test::AppData>();
    module_ = test::openModule(data_->dir().path(), "kjv.bib");
    QVERIFY(module_);
    notes_.reset(VNOpen(module_.get()));
    QVERIFY(notes_);
  }
  void cleanup() {
    test::stopDialogPollers();
    closeStores();
    data_.reset();
  }

  void movingThePickerSavesEachNoteCancelDropsTheField() {
    auto first = dialog(7001);
    QVERIFY(test::child<QLabel>(first.get(), 10016)->text().startsWith("Genesis 1:1 In the"));
    QVERIFY(field(first.get())->toPlainText().isEmpty());
    field(first.get())->setPlainText("In the beginning: the first note.");
    QVERIFY(pickVerse(*first, 2));
    QCOMPARE(noteOf(notes_.get(), {0, 1, 1}), std::string("In the beginning: the first note."));
    QVERIFY(field(first.get())->toPlainText().isEmpty());
    QVERIFY(first->savedAny());
    field(first.get())->setPlainText("Second line one\nline two");
    first->CmOk();
    QCOMPARE(first->result(), int(QDialog::Accepted));
    QCOMPARE(noteOf(notes_.get(), {0, 1, 2}), std::string("Second line one\nline two"));
    QCOMPARE(noteOf(notes_.get(), {0, 1, 3}), std::string("<none>"));

    // Edit: Cancel keeps what moving saved and drops what the field holds.
    auto edit = dialog(7002);
    QCOMPARE(field(edit.get())->toPlainText(), QString("In the beginning: the first note."));
    field(edit.get())->setPlainText("saved by moving");
    QVERIFY(pickVerse(*edit, 5));
    field(edit.get())->setPlainText("never saved");
    edit->CmCancel();
    QCOMPARE(noteOf(notes_.get(), {0, 1, 1}), std::string("saved by moving"));
    QCOMPARE(noteOf(notes_.get(), {0, 1, 5}), std::string("<none>"));
    // Clearing a note stores an empty one.
    auto clear = dialog(7002, 2);
    field(clear.get())->clear();
    clear->CmOk();
    QCOMPARE(noteOf(notes_.get(), {0, 1, 2}), std::string());
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
    QCOMPARE(noteOf(notes_.get(), {0, 1, 1}), std::string("one\r\ntwo"));
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

  void noteCommandsShowTheChapterNotesAfterwards() {
    closeStores();
    test::StartedProgram s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    passage->showPassage({42, 3, 16});
    passage->setFocus();
    const auto run = [&](int command, const char* dialogName, auto act) {
      bool seen = false;
      test::onDialog(dialogName, act, &seen);
      QVERIFY(dispatchCommandFrom(passage, command));
      QVERIFY(seen);
    };
    run(CmAddNote, "7001", [](QDialog* d) {
      field(d)->setPlainText("God so loved.");
      test::child<QPushButton>(d, 1)->click();
    });
    QVERIFY2(passage->text().find("\n\nNotes:\n-----------------------\n16. God so loved.\n") !=
                 std::string::npos,
             passage->text().c_str());
    // Cancel after moving to another verse: the note saved by the move shows too.
    run(CmEditNote, "7002", [](QDialog* d) {
      field(d)->setPlainText("Edited.");
      QVERIFY(pickVerse(*static_cast<TNotesDlg*>(d), 17));
      field(d)->setPlainText("dropped");
      test::child<QPushButton>(d, 2)->click();
    });
    QVERIFY(passage->text().find("16. Edited.\n") != std::string::npos);
    QVERIFY(passage->text().find("dropped") == std::string::npos);
    // Delete Note, Cancel: kept. OK: gone, and the chapter shows no notes.
    for (int button : {2, 1}) {
      run(CmDeleteNote, "7003",
          [button](QDialog* d) { test::child<QPushButton>(d, button)->click(); });
      QCOMPARE(passage->text().find("16. Edited.") != std::string::npos, button == 2);
    }
    QVERIFY(passage->text().find("Notes:") == std::string::npos);
  }

  void aReadOnlyNotesFileDisablesTheCommands() {
    VNSetNoteByRef({0, 1, 1}, "written before", notes_.get());
    closeStores();
    test::ImmutableFile immutable(data_->dir().path() / "kjv.vn");
    if (!immutable.effective()) QSKIP("the file system cannot make a file read-only for root");
    test::StartedProgram s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    for (int id : {CmAddNote, CmEditNote, CmDeleteNote})
      QVERIFY(!queryCommandFrom(s.passage(), id).enabled);
    s.passage()->showPassage({0, 1, 1});
    QVERIFY(s.passage()->text().find("1. written before") != std::string::npos);
  }
};

QTEST_MAIN(NotesDlgTest)
#include "notes_dlg_test.moc"
