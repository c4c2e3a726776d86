// The reference-picking dialogs: "Go to...", the verse preview and "Select Translation".
#include "app/reference_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>
#include <functional>
#include <string>

#include "app/config.h"
#include "support/files.h"
#include "tests/app/app_fixtures.h"

namespace vellum {
// Lets QCOMPARE print references.
char* toString(const Reference& r) {
  return QTest::toString(QStringLiteral("%1 %2:%3").arg(r.book).arg(r.chapter).arg(r.verse));
}
}  // namespace vellum

namespace vellum::ui {
namespace {

// Waits until every refresh posted by the changes so far has run.
void settle() { QCoreApplication::processEvents(); }

// Runs act on the dialog with this identifier once the modal run shows it.
template <class T>
void onShown(const char* id, std::function<void(T*)> act) {
  static bool seen;
  test::onDialog(
      id, [act](QDialog* d) { act(static_cast<T*>(d)); }, &seen);
}

constexpr const char* kGenesis = "Genesis\t1\t1\tIn the beginning\n";

}  // namespace

class ReferenceDlgTest : public QObject {
  Q_OBJECT

  test::AppData data_;
  test::Module kjv_ = test::openModule(data_.dir().path(), "kjv.bib");

 private slots:
  void initTestCase() { QVERIFY(kjv_ != nullptr); }
  void cleanup() { test::stopDialogPollers(); }

  void gotoRunsWithHeadingsTakenAsTheFirstVerse() {
    onShown<TSearchGotoDlg>("3010", [](TSearchGotoDlg* dialog) {
      QCOMPARE(dialog->chapterList()->count(), 51);  // Genesis's chapters after the heading
      QVERIFY(test::waitFor([&] { return dialog->focusWidget() == dialog->typedReference(); }));
      QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    Reference reference{5, 5, 5};
    QByteArray text;
    QVERIFY(runGotoDialog(nullptr, kjv_.get(), &reference, &text));
    QCOMPARE(reference, (Reference{0, 1, 1}));
    QCOMPARE(text, QByteArray("Genesis 1:1"));
    onShown<TSearchGotoDlg>("3010", [](TSearchGotoDlg* d) { d->cancelButton()->click(); });
    reference = {5, 5, 5};
    QVERIFY(!runGotoDialog(nullptr, kjv_.get(), &reference, &text));
    QCOMPARE(reference, (Reference{5, 5, 5}));
  }

  void numbersBeyondTheEndAreClamped() {
    // {chapter, verse typed, reference read}: Genesis has 50 chapters, Genesis 49 has 33 verses
    // and Genesis 50 has 26.
    const std::tuple<const char*, const char*, int, int> cases[] = {
        {"200", "99", 50, 26},           {"0", "-5", 1, 1},    {" 12x", "abc", 12, 1},
        {"9999999999", "99999", 50, 26}, {"49", "34", 49, 33}, {"49", "33", 49, 33}};
    for (const auto& [chapter, verse, expectedChapter, expectedVerse] : cases) {
      TSearchGotoDlg dialog(nullptr, kjv_.get());
      dialog.show();
      dialog.chapterList()->setEditText(chapter);
      settle();
      dialog.verseList()->setEditText(verse);
      settle();
      QCOMPARE(dialog.chapterList()->currentText(), QString(chapter));  // only read clamped
      // Return in a list's edit field confirms the dialog like OK.
      QTest::keyClick(dialog.verseList()->lineEdit(), Qt::Key_Return);
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
      const Reference expected{0, std::uint8_t(expectedChapter), std::uint8_t(expectedVerse)};
      QCOMPARE(dialog.reference(), expected);
      QCOMPARE(dialog.resultText(),
               QStringLiteral("Genesis %1:%2").arg(expectedChapter).arg(expectedVerse).toUtf8());
    }
  }

  void bookChoiceRefillsBothListsChapterChoiceOnlyVerses() {
    BibleHandle* kjv = kjv_.get();
    const auto verses = [kjv](int book, int chapter) {
      return 1 + getVersesInChapter(Reference{std::uint8_t(book), std::uint8_t(chapter), 1}, kjv);
    };
    TSearchGotoDlg dialog(nullptr, kjv);
    dialog.show();
    settle();
    dialog.verseList()->addItem(QStringLiteral("marker"));  // shows whether a list was refilled
    dialog.bookList()->setCurrentIndex(2);                  // Exodus: 40 chapters
    QVERIFY(test::waitFor([&] { return dialog.chapterList()->count() == 41; }));
    QCOMPARE(dialog.verseList()->count(), verses(1, 1));
    QCOMPARE(dialog.reference(), (Reference{1, 1, 1}));
    dialog.chapterList()->addItem(QStringLiteral("marker"));
    dialog.chapterList()->setCurrentIndex(2);
    QVERIFY(test::waitFor([&] { return dialog.verseList()->count() == verses(1, 2); }));
    QCOMPARE(dialog.chapterList()->itemText(41), QStringLiteral("marker"));
    QCOMPARE(dialog.reference(), (Reference{1, 2, 1}));
    // A refill keeps what the edit field shows: the chapter typed stays across a book change
    // and reads clamped to the new book.
    dialog.chapterList()->setEditText(QStringLiteral("30"));
    settle();
    dialog.bookList()->setCurrentIndex(3);  // Leviticus: 27 chapters
    QVERIFY(test::waitFor([&] { return dialog.chapterList()->count() == 28; }));
    QCOMPARE(dialog.chapterList()->currentText(), QStringLiteral("30"));
    QCOMPARE(dialog.verseList()->currentText(), QStringLiteral("Vse"));
    QCOMPARE(dialog.reference(), (Reference{2, 27, 1}));
    QCOMPARE(dialog.verseList()->count(), verses(2, 27));
  }

  // Typing resets the lists and a list chosen clears the typing; an invalid reference keeps the
  // dialog open with the text, a valid one is the answer as typed.
  void typedReferenceAndListsClearEachOther() {
    TSearchGotoDlg dialog(nullptr, kjv_.get());
    dialog.show();
    dialog.activateWindow();
    QTest::keyClick(dialog.bookList(), Qt::Key_Down);  // by keyboard, as a user does
    QTest::keyClick(dialog.bookList(), Qt::Key_Down);
    QTRY_COMPARE(dialog.chapterList()->count(), 41);
    QTest::keyClicks(dialog.typedReference(), "xyz");
    QCOMPARE(dialog.bookList()->currentText(), QStringLiteral("Book"));
    QCOMPARE(dialog.chapterList()->currentText(), QStringLiteral("Chp"));
    QCOMPARE(dialog.verseList()->currentText(), QStringLiteral("Vse"));
    // The refresh after the reset refills the lists but leaves the typing alone.
    QVERIFY(test::waitFor([&] { return dialog.chapterList()->count() == 51; }));
    settle();
    {
      test::MessageBoxWatcher boxes;
      QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
      QCOMPARE(boxes.texts, QStringList{"xyz is not a valid reference"});
    }
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.typedReference()->text(), QStringLiteral("xyz"));
    QVERIFY(test::waitFor([&] { return dialog.focusWidget() == dialog.typedReference(); }));
    // Choosing the first book, the headings' own reference, still counts.
    QTest::keyClick(dialog.bookList(), Qt::Key_Down);
    settle();
    QCOMPARE(dialog.typedReference()->text(), QString());
    QCOMPARE(dialog.bookList()->currentText(), QStringLiteral("Genesis"));
    // Typing a chapter number into the list clears the typed field too.
    QTest::keyClicks(dialog.typedReference(), "rom 8:28");
    settle();
    dialog.chapterList()->lineEdit()->selectAll();
    QTest::keyClicks(dialog.chapterList()->lineEdit(), "3");
    settle();
    QCOMPARE(dialog.typedReference()->text(), QString());
    QCOMPARE(dialog.reference(), (Reference{0, 3, 1}));
    // A book prefix in any case; the text handed on is the one typed.
    QTest::keyClicks(dialog.typedReference(), "joh 3:16");
    QTest::keyClick(dialog.typedReference(), Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    settle();  // refreshes queued by the typing must not replace the answer
    QCOMPARE(dialog.reference(), (Reference{42, 3, 16}));
    QCOMPARE(dialog.resultText(), QByteArray("joh 3:16"));
  }

  void versePreviewLeavesOutStrongsNumbers() {
    TReferenceDlgWithVerse dialog(nullptr, 3040, kjv_.get(), Reference{0, 1, 1});
    QLabel* verse = dialog.verseText();
    QCOMPARE(verse->text(),
             QStringLiteral("Genesis 1:1 In the beginning God created the heaven and the earth."));
    // The preview follows the lists; a book name with a digit keeps its reference whole.
    for (auto [book, chapter, verseNumber, start] :
         {std::tuple{43, "3", "16", "John 3:16 For God so loved the world"},
          {62, "1", "9", "1 John 1:9 "}}) {
      dialog.bookList()->setCurrentIndex(book);
      dialog.chapterList()->setEditText(chapter);
      dialog.verseList()->setEditText(verseNumber);
      QVERIFY2(test::waitFor([&] { return verse->text().startsWith(start); }),
               qPrintable(verse->text()));
      QVERIFY2(!verse->text().mid(10).contains(QRegularExpression(" \\d")),
               qPrintable(verse->text()));
    }
  }

  void selectTranslationListsTenNamesOnceAndWritesTheDefaultOnlyWhenAsked() {
    test::TempDir dir;
    for (int i = 11; i <= 22; ++i)
      test::buildModule(dir.path(), "t" + std::to_string(i) + ".bib",
                        "Translation " + std::to_string(i), kGenesis);
    set_dpath(dir.path().c_str());
    test::buildModule(dir.path(), "t115.bib", "TRANSLATION 11", kGenesis);  // a name twice
    const std::string twice = dir.path().string() + ";" + dir.path().string();
    bibleName before;
    readDefaultBible(&before);
    {
      TOpenVersionDlg dialog(nullptr, 1000, "File Open", twice.c_str());
      QCOMPARE(dialog.list()->count(), 10);
      QCOMPARE(dialog.list()->item(9)->text(), QStringLiteral("Translation 20"));
      // A double click on an entry acts as OK, and writes no default.
      dialog.show();
      QListWidget* list = dialog.list();
      const QPoint where = list->visualItemRect(list->item(1)).center();
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
      QCOMPARE(dialog.selectedIndex(), 1);
      QCOMPARE(QByteArray(dialog.selected().path), "t12.bib");
    }
    bibleName after;
    readDefaultBible(&after);
    QCOMPARE(QByteArray(after.path), QByteArray(before.path));
    // From the keyboard, with the box checked: the default is written.
    onShown<TOpenVersionDlg>("1000", [](TOpenVersionDlg* dialog) {
      QVERIFY(test::waitFor([dialog] { return QApplication::focusWidget() == dialog->list(); }));
      dialog->makeDefault()->setChecked(true);
      QTest::keyClick(dialog->list(), Qt::Key_Down);
      QTest::keyClick(dialog->list(), Qt::Key_Return);
    });
    std::optional<bibleName> chosen = runOpenVersionDlg(nullptr, "File Open", dir.path().c_str());
    QVERIFY(chosen.has_value());
    QCOMPARE(QByteArray(chosen->name), "Translation 12");
    readDefaultBible(&after);
    QCOMPARE(QByteArray(after.name), "Translation 12");
    QCOMPARE(QByteArray(after.path), "t12.bib");
    onShown<TOpenVersionDlg>("1000", [](TOpenVersionDlg* d) { d->cancelButton()->click(); });
    QVERIFY(!runOpenVersionDlg(nullptr, "File Open", dir.path().c_str()).has_value());
    // With nothing found the dialog cannot be confirmed.
    test::TempDir empty;
    set_dpath(empty.path().c_str());
    TOpenVersionDlg dialog(nullptr, 1000, "File Open", empty.path().c_str());
    dialog.show();
    QVERIFY(!dialog.okButton()->isEnabled());
    dialog.CmOk();
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.selectedIndex(), -1);
  }
};

}  // namespace vellum::ui

QTEST_MAIN(vellum::ui::ReferenceDlgTest)
#include "reference_dlg_test.moc"
