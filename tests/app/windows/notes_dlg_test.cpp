// The verse-note dialogs: notes saved when the picker moves, Cancel keeping what was saved,
// unchanged notes never rewritten, line ends, the length limit; then the Bible window's note
// commands in the running program: the chapter's notes under the text afterwards, Delete Note
// after OK, and the commands disabled on a read-only notes file.
#include "app/windows/notes_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/commands.h"
#include "app/config.h"
#include "app/main_app.h"
#include "app/profile.h"
#include "app/windows/passage.h"
#include "engine/stores/notes.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

struct NotesCloser {
  void operator()(NotesHandle* h) const { VNClose(h); }
};
using Notes = std::unique_ptr<NotesHandle, NotesCloser>;

Reference ref(int book, int chapter, int verse) {
  return Reference{static_cast<std::uint8_t>(book), static_cast<std::uint8_t>(chapter),
                   static_cast<std::uint8_t>(verse)};
}

// The stored note, "<none>" when the verse has none.
std::string noteOf(NotesHandle* notes, Reference reference) {
  std::vector<char> buffer(40000);
  std::uint16_t length = 0;
  if (!VNGetNoteByRef(buffer.data(), &length, 40000, reference, notes)) return "<none>";
  return std::string(buffer.data(), length);
}

// Picks a verse by typing its number, as the user does, and waits for the dialog to follow.
bool pickVerse(TNotesDlg& dialog, int verse) {
  dialog.findChild<QComboBox*>("10015")->setEditText(QString::number(verse));
  return test::waitFor([&] { return dialog.noteReference().verse == verse; });
}

using Started = test::StartedProgram;

}  // namespace

class NotesDlgTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::AppData> data_;
  test::Module module_;
  Notes notes_;

  std::uintmax_t storeSize() const { return fs::file_size(data_->dir().path() / "kjv.vn"); }

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
    notes_.reset();
    module_.reset();
    data_.reset();
  }

  void threeResourcesOneDialog() {
    const struct {
      int resource;
      const char* title;
      bool readOnly;
    } cases[] = {
        {7001, "Insert Note", false}, {7002, "Edit Note", false}, {7003, "Delete Note", true}};
    for (const auto& c : cases) {
      TNotesDlg dialog(nullptr, c.resource, module_.get(), notes_.get(), ref(42, 3, 16));
      QCOMPARE(dialog.objectName(), QString::number(c.resource));
      QCOMPARE(dialog.windowTitle(), QString(c.title));
      QCOMPARE(dialog.helpContext(), 1240);
      QCOMPARE(dialog.findChild<QPlainTextEdit*>("10017")->isReadOnly(), c.readOnly);
      QVERIFY(dialog.findChild<QLabel*>("10016")->text().startsWith("John 3:16 For God"));
    }
  }

  void movingThePickerSavesEachNoteAndOkTheLast() {
    TNotesDlg dialog(nullptr, 7001, module_.get(), notes_.get(), ref(0, 1, 1));
    auto* field = dialog.findChild<QPlainTextEdit*>("10017");
    QVERIFY(field->toPlainText().isEmpty());
    field->setPlainText("In the beginning: the first note.");
    QVERIFY(pickVerse(dialog, 2));
    // Saved when the picker left the verse; the field now holds verse 2's (empty) note.
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 1)), std::string("In the beginning: the first note."));
    QVERIFY(field->toPlainText().isEmpty());
    QVERIFY(dialog.savedAny());
    field->setPlainText("Second line one\nline two");
    dialog.CmOk();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 2)), std::string("Second line one\nline two"));
    // A verse passed over with an empty field gets nothing.
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 3)), std::string("<none>"));
  }

  void cancelKeepsWhatWasSavedBeforeAndDropsTheField() {
    VNSetNoteByRef(ref(0, 1, 1), "kept", notes_.get());
    TNotesDlg dialog(nullptr, 7002, module_.get(), notes_.get(), ref(0, 1, 1));
    auto* field = dialog.findChild<QPlainTextEdit*>("10017");
    QCOMPARE(field->toPlainText(), QString("kept"));
    field->setPlainText("changed, then cancelled");
    dialog.CmCancel();
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 1)), std::string("kept"));

    TNotesDlg second(nullptr, 7001, module_.get(), notes_.get(), ref(0, 1, 1));
    second.findChild<QPlainTextEdit*>("10017")->setPlainText("saved by moving");
    QVERIFY(pickVerse(second, 5));
    second.findChild<QPlainTextEdit*>("10017")->setPlainText("never saved");
    second.CmCancel();
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 1)), std::string("saved by moving"));
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 5)), std::string("<none>"));
    QVERIFY(second.savedAny());
  }

  void anUnchangedNoteIsNeverWrittenAgain() {
    // Stored with "\r\n" line ends by another program: shown as line breaks, and equal to them.
    VNSetNoteByRef(ref(0, 1, 1), "one\r\ntwo", notes_.get());
    const auto size = storeSize();
    TNotesDlg dialog(nullptr, 7001, module_.get(), notes_.get(), ref(0, 1, 1));
    QCOMPARE(dialog.findChild<QPlainTextEdit*>("10017")->toPlainText(), QString("one\ntwo"));
    QVERIFY(pickVerse(dialog, 2));
    QVERIFY(pickVerse(dialog, 1));
    dialog.CmOk();
    QCOMPARE(storeSize(), size);
    QVERIFY(!dialog.savedAny());
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 1)), std::string("one\r\ntwo"));
  }

  void clearingANoteStoresAnEmptyOne() {
    VNSetNoteByRef(ref(0, 1, 1), "gone soon", notes_.get());
    TNotesDlg dialog(nullptr, 7002, module_.get(), notes_.get(), ref(0, 1, 1));
    dialog.findChild<QPlainTextEdit*>("10017")->clear();
    dialog.CmOk();
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 1)), std::string());
  }

  void deleteNoteCannotEditAndWritesNothing() {
    VNSetNoteByRef(ref(0, 1, 1), "stays", notes_.get());
    const auto size = storeSize();
    TNotesDlg dialog(nullptr, 7003, module_.get(), notes_.get(), ref(0, 1, 1));
    auto* field = dialog.findChild<QPlainTextEdit*>("10017");
    QCOMPARE(field->toPlainText(), QString("stays"));
    QTest::keyClicks(field, "typed");
    QCOMPARE(field->toPlainText(), QString("stays"));
    dialog.CmOk();
    QCOMPARE(dialog.reference().verse, std::uint8_t(1));
    QCOMPARE(storeSize(), size);
  }

  void aNoteAtTheLengthLimitIsStoredWholeAndLongerInputRefused() {
    TNotesDlg dialog(nullptr, 7001, module_.get(), notes_.get(), ref(0, 1, 1));
    auto* field = dialog.findChild<QPlainTextEdit*>("10017");
    const QString exact(TNotesDlg::kMaxNoteLength, u'x');
    field->setPlainText(exact + "yyyy");
    QCOMPARE(field->toPlainText(), exact);
    // Multi-byte characters are never cut in half.
    field->setPlainText(QString(TNotesDlg::kMaxNoteLength / 2 + 1, QChar(0x00E9)));
    QVERIFY(field->toPlainText().toUtf8().size() <= TNotesDlg::kMaxNoteLength);
    QCOMPARE(field->toPlainText().toUtf8().size() % 2, 0);
    field->setPlainText(exact);
    dialog.CmOk();
    QCOMPARE(noteOf(notes_.get(), ref(0, 1, 1)), exact.toStdString());
    // Read back whole by the next dialog.
    TNotesDlg again(nullptr, 7002, module_.get(), notes_.get(), ref(0, 1, 1));
    QCOMPARE(again.findChild<QPlainTextEdit*>("10017")->toPlainText(), exact);
  }

  // ---- The window's commands, in the running program ----

  void noteCommandsShowTheChapterNotesAfterwards() {
    notes_.reset();
    module_.reset();
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    passage->showPassage(ref(42, 3, 16));
    passage->setFocus();
    for (int id : {CmAddNote, CmEditNote, CmDeleteNote})
      QVERIFY(queryCommandFrom(passage, id).enabled);

    bool seen = false;
    test::onDialog(
        "7001",
        [](QDialog* d) {
          d->findChild<QPlainTextEdit*>("10017")->setPlainText("God so loved.");
          d->findChild<QPushButton*>("1")->click();
        },
        &seen);
    QVERIFY(dispatchCommandFrom(passage, CmAddNote));
    QVERIFY(seen);
    std::string text = passage->text();
    QVERIFY2(
        text.find("\n\nNotes:\n-----------------------\n16. God so loved.\n") != std::string::npos,
        text.c_str());
    QVERIFY(passage->windowTitle().startsWith("John 3:16 - "));

    // Cancel after moving to another verse: the note saved by the move shows too.
    seen = false;
    test::onDialog(
        "7002",
        [](QDialog* d) {
          auto* dialog = static_cast<TNotesDlg*>(d);
          dialog->findChild<QPlainTextEdit*>("10017")->setPlainText("Edited.");
          dialog->findChild<QComboBox*>("10015")->setEditText("17");
          test::waitFor([&] { return dialog->noteReference().verse == 17; });
          dialog->findChild<QPlainTextEdit*>("10017")->setPlainText("dropped");
          dialog->findChild<QPushButton*>("2")->click();
        },
        &seen);
    QVERIFY(dispatchCommandFrom(passage, CmEditNote));
    QVERIFY(seen);
    text = passage->text();
    QVERIFY2(text.find("16. Edited.\n") != std::string::npos, text.c_str());
    QVERIFY(text.find("dropped") == std::string::npos);

    // Delete Note, Cancel: kept. OK: gone, and the chapter shows no notes.
    for (bool confirm : {false, true}) {
      seen = false;
      test::onDialog(
          "7003",
          [confirm](QDialog* d) { d->findChild<QPushButton*>(confirm ? "1" : "2")->click(); },
          &seen);
      QVERIFY(dispatchCommandFrom(passage, CmDeleteNote));
      QVERIFY(seen);
      text = passage->text();
      QCOMPARE(text.find("16. Edited.") != std::string::npos, !confirm);
    }
    QVERIFY(text.find("Notes:") == std::string::npos);
  }

  void aReadOnlyNotesFileDisablesTheCommands() {
    VNSetNoteByRef(ref(0, 1, 1), "written before", notes_.get());
    notes_.reset();
    module_.reset();
    test::ImmutableFile immutable(data_->dir().path() / "kjv.vn");
    if (!immutable.effective()) QSKIP("the file system cannot make a file read-only for root");
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    QVERIFY(VNReadOnly(passage->notes()) == 1);
    for (int id : {CmAddNote, CmEditNote, CmDeleteNote})
      QVERIFY(!queryCommandFrom(passage, id).enabled);
    // The notes still show under the text.
    passage->showPassage(ref(0, 1, 1));
    QVERIFY(passage->text().find("1. written before") != std::string::npos);
  }
};

QTEST_MAIN(NotesDlgTest)
#include "notes_dlg_test.moc"
