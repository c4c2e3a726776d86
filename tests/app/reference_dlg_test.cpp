// Covers the reference-picking dialogs: the linked book, chapter and verse lists with their
// clamping, "Go to..." with chosen and typed references, the verse preview without Strong's
// numbers, and "Select Translation".
#include "app/reference_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <string>

#include "app/config.h"
#include "support/files.h"
#include "tests/app/app_fixtures.h"

namespace vellum {
// Lets QCOMPARE print references.
char* toString(const Reference& reference) {
  return QTest::toString(QStringLiteral("book %1 chapter %2 verse %3")
                             .arg(reference.book)
                             .arg(reference.chapter)
                             .arg(reference.verse));
}
}  // namespace vellum

namespace vellum::ui {
namespace {

Reference ref(int book, int chapter, int verse) {
  Reference reference;
  reference.book = static_cast<std::uint8_t>(book);
  reference.chapter = static_cast<std::uint8_t>(chapter);
  reference.verse = static_cast<std::uint8_t>(verse);
  return reference;
}

// Answers every "MessageBox" that shows with OK, noting what the last one said.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer() {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || box->objectName() != QLatin1String("MessageBox") || !box->isVisible()) continue;
        text = box->text();
        caption = box->windowTitle();
        ++answered;
        box->button(QMessageBox::Ok)->click();
      }
    });
    poll_.start(10);
  }
  QString text;
  QString caption;
  int answered = 0;

 private:
  QTimer poll_;
};

// A top-level dialog with this resource number once it is on screen.
template <class T>
T* findShownDialog(int resourceId) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<T*>(widget);
    if (dialog && dialog->objectName() == QString::number(resourceId) && dialog->isVisible())
      return dialog;
  }
  return nullptr;
}

// Waits until every refresh posted by the changes so far has run.
void settle() { QCoreApplication::processEvents(); }

// Types over the whole text of an edit field, as after selecting it.
void typeOver(QLineEdit* edit, const char* text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

}  // namespace

class ReferenceDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    data_ = std::make_unique<test::AppData>();
    kjv_ = test::openModule(data_->dir().path(), "kjv.bib");
    QVERIFY(kjv_ != nullptr);
  }
  void cleanupTestCase() {
    kjv_.reset();
    data_.reset();
  }

  void gotoStartsAtHeadingsAndTakesThemAsFirstVerse() {
    TSearchGotoDlg dialog(nullptr, kjv_.get());
    QCOMPARE(dialog.objectName(), QStringLiteral("3010"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Go to..."));
    QCOMPARE(dialog.helpContext(), 1090);
    QCOMPARE(dialog.control<QComboBox>(10013)->currentText(), QStringLiteral("Book"));
    QCOMPARE(dialog.control<QComboBox>(10001)->currentText(), QStringLiteral("Chp"));
    QCOMPARE(dialog.control<QComboBox>(10015)->currentText(), QStringLiteral("Vse"));
    // The book list holds every book after its heading; the chapter list Genesis's chapters.
    QCOMPARE(dialog.bookList()->count(), 67);
    QCOMPARE(dialog.chapterList()->count(), 51);

    dialog.show();
    dialog.activateWindow();
    QVERIFY(test::waitFor([&] { return dialog.focusWidget() == dialog.typedReference(); }));
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.reference(), ref(0, 1, 1));
    QCOMPARE(dialog.resultText(), QByteArray("Genesis 1:1"));
  }

  void gotoTypedReferenceMatchesBookPrefixInAnyCase() {
    TSearchGotoDlg dialog(nullptr, kjv_.get());
    dialog.show();
    QTest::keyClicks(dialog.typedReference(), "joh 3:16");
    QTest::keyClick(dialog.typedReference(), Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // Refreshes still queued from the typing (its reset of the lists) must not replace the
    // answer with the lists' reference.
    settle();
    QCOMPARE(dialog.reference(), ref(42, 3, 16));
    // The text handed on is the one typed, not the lists' reference.
    QCOMPARE(dialog.resultText(), QByteArray("joh 3:16"));
  }

  void gotoInvalidTypedReferenceStaysOpenWithFocusInField() {
    TSearchGotoDlg dialog(nullptr, kjv_.get());
    dialog.show();
    dialog.activateWindow();
    QTest::keyClicks(dialog.typedReference(), "xyz");
    {
      MessageBoxAnswerer answerer;
      QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
      QCOMPARE(answerer.answered, 1);
      QCOMPARE(answerer.text, QStringLiteral("xyz is not a valid reference"));
      QCOMPARE(answerer.caption, QStringLiteral("Invalid Reference"));
    }
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(dialog.typedReference()->text(), QStringLiteral("xyz"));
    QVERIFY(test::waitFor([&] { return dialog.focusWidget() == dialog.typedReference(); }));

    // Correcting the text then goes through.
    dialog.typedReference()->setText(QStringLiteral("Jude 1:25"));
    dialog.CmOk();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.reference(), ref(64, 1, 25));
  }

  void numbersBeyondTheEndAreClamped() {
    TSearchGotoDlg dialog(nullptr, kjv_.get());
    dialog.show();
    // Genesis (the heading reads as the first book) has 50 chapters; Genesis 50 has 26 verses.
    typeOver(dialog.chapterList()->lineEdit(), "200");
    settle();
    QCOMPARE(dialog.listReference(), ref(0, 50, 1));
    typeOver(dialog.verseList()->lineEdit(), "99");
    settle();
    QCOMPARE(dialog.listReference(), ref(0, 50, 26));
    // The typed text is what the user typed; only its reading is clamped.
    QCOMPARE(dialog.chapterList()->currentText(), QStringLiteral("200"));

    struct Case {
      const char* chapter;
      const char* verse;
      Reference expected;
    };
    const Case cases[] = {
        {"0", "-5", ref(0, 1, 1)},
        {" 12x", "abc", ref(0, 12, 1)},
        {"9999999999", "99999", ref(0, 50, 26)},
        {"49", "34", ref(0, 49, 33)},
    };
    for (const Case& c : cases) {
      dialog.chapterList()->setEditText(QString::fromLatin1(c.chapter));
      dialog.verseList()->setEditText(QString::fromLatin1(c.verse));
      QCOMPARE(dialog.listReference(), c.expected);
    }

    // Return in a list's edit field confirms the dialog like OK.
    QTest::keyClick(dialog.verseList()->lineEdit(), Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.reference(), ref(0, 49, 33));
    QCOMPARE(dialog.resultText(), QByteArray("Genesis 49:33"));
  }

  void bookChoiceRefillsBothListsChapterChoiceOnlyVerses() {
    BibleHandle* kjv = kjv_.get();
    TSearchGotoDlg dialog(nullptr, kjv);
    dialog.show();
    settle();
    // Markers show whether a list was emptied and filled again.
    dialog.chapterList()->addItem(QStringLiteral("marker"));
    dialog.verseList()->addItem(QStringLiteral("marker"));

    dialog.bookList()->setCurrentIndex(2);  // Exodus: 40 chapters, 22 verses in chapter 1
    QVERIFY(test::waitFor([&] { return dialog.chapterList()->count() == 41; }));
    QCOMPARE(dialog.verseList()->count(), 1 + getVersesInChapter(ref(1, 1, 1), kjv));
    QCOMPARE(dialog.reference(), ref(1, 1, 1));

    dialog.chapterList()->addItem(QStringLiteral("marker"));
    const int chapters = dialog.chapterList()->count();
    dialog.chapterList()->setCurrentIndex(2);  // Exodus 2
    QVERIFY(test::waitFor(
        [&] { return dialog.verseList()->count() == 1 + getVersesInChapter(ref(1, 2, 1), kjv); }));
    QCOMPARE(dialog.chapterList()->count(), chapters);
    QCOMPARE(dialog.chapterList()->itemText(chapters - 1), QStringLiteral("marker"));
    QCOMPARE(dialog.reference(), ref(1, 2, 1));

    // A refill keeps what the edit field shows: the chapter typed stays across a book change
    // and reads clamped to the new book.
    dialog.chapterList()->setEditText(QStringLiteral("30"));
    settle();
    dialog.bookList()->setCurrentIndex(3);  // Leviticus: 27 chapters
    QVERIFY(test::waitFor([&] { return dialog.chapterList()->count() == 28; }));
    QCOMPARE(dialog.chapterList()->currentText(), QStringLiteral("30"));
    QCOMPARE(dialog.verseList()->currentText(), QStringLiteral("Vse"));
    QCOMPARE(dialog.reference(), ref(2, 27, 1));
    QCOMPARE(dialog.verseList()->count(), 1 + getVersesInChapter(ref(2, 27, 1), kjv));
  }

  void typedFieldAndListsClearEachOther() {
    TSearchGotoDlg dialog(nullptr, kjv_.get());
    dialog.show();
    // Choosing a book by keyboard, as a user does.
    QTest::keyClick(dialog.bookList(), Qt::Key_Down);
    QTest::keyClick(dialog.bookList(), Qt::Key_Down);
    QCOMPARE(dialog.bookList()->currentText(), QStringLiteral("Exodus"));
    QTRY_COMPARE(dialog.chapterList()->count(), 41);

    QTest::keyClicks(dialog.typedReference(), "joh 3:16");
    QCOMPARE(dialog.bookList()->currentText(), QStringLiteral("Book"));
    QCOMPARE(dialog.chapterList()->currentText(), QStringLiteral("Chp"));
    QCOMPARE(dialog.verseList()->currentText(), QStringLiteral("Vse"));
    // The refresh that follows the reset refills the lists for the first book but leaves
    // the typing alone.
    QVERIFY(test::waitFor([&] { return dialog.chapterList()->count() == 51; }));
    settle();
    QCOMPARE(dialog.typedReference()->text(), QStringLiteral("joh 3:16"));

    // Choosing the first book reads as the reference the headings gave; it still counts.
    QTest::keyClick(dialog.bookList(), Qt::Key_Down);
    QCOMPARE(dialog.bookList()->currentText(), QStringLiteral("Genesis"));
    settle();
    QCOMPARE(dialog.typedReference()->text(), QString());
    QCOMPARE(dialog.bookList()->currentText(), QStringLiteral("Genesis"));

    // Typing a chapter number into the list clears the typed field too.
    QTest::keyClicks(dialog.typedReference(), "rom 8:28");
    settle();
    typeOver(dialog.chapterList()->lineEdit(), "3");
    settle();
    QCOMPARE(dialog.typedReference()->text(), QString());
    QCOMPARE(dialog.chapterList()->currentText(), QStringLiteral("3"));
    dialog.CmOk();
    QCOMPARE(dialog.reference(), ref(0, 3, 1));
    QCOMPARE(dialog.resultText(), QByteArray("Genesis 3:1"));
  }

  void runGotoDialogReturnsTheChoice() {
    QTimer::singleShot(0, [] {
      QVERIFY(test::waitFor([] { return findShownDialog<TSearchGotoDlg>(3010) != nullptr; }));
      TSearchGotoDlg* dialog = findShownDialog<TSearchGotoDlg>(3010);
      dialog->typedReference()->setText(QStringLiteral("Psalms 119:176"));
      QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    Reference reference;
    QByteArray text;
    QVERIFY(runGotoDialog(nullptr, kjv_.get(), &reference, &text));
    QCOMPARE(text, QByteArray("Psalms 119:176"));
    QCOMPARE(reference, ref(18, 119, 176));

    QTimer::singleShot(0, [] {
      QVERIFY(test::waitFor([] { return findShownDialog<TSearchGotoDlg>(3010) != nullptr; }));
      QTest::mouseClick(findShownDialog<TSearchGotoDlg>(3010)->cancelButton(), Qt::LeftButton);
    });
    reference = ref(5, 5, 5);
    QVERIFY(!runGotoDialog(nullptr, kjv_.get(), &reference, &text));
    QCOMPARE(reference, ref(5, 5, 5));
  }

  void versePreviewLeavesOutStrongsNumbers() {
    BibleHandle* kjv = kjv_.get();
    TReferenceDlgWithVerse dialog(nullptr, 3040, kjv, ref(0, 1, 1));
    QLabel* verse = dialog.control<QLabel>(10016);
    QVERIFY(verse != nullptr);
    QCOMPARE(verse->textFormat(), Qt::PlainText);
    QCOMPARE(verse->text(),
             QStringLiteral("Genesis 1:1 In the beginning God created the heaven and the earth."));
    QCOMPARE(dialog.chapterList()->currentText(), QStringLiteral("1"));
    QCOMPARE(dialog.verseList()->currentText(), QStringLiteral("1"));

    // After a change of the lists the preview follows them.
    dialog.bookList()->setCurrentIndex(43);  // John
    dialog.chapterList()->setEditText(QStringLiteral("3"));
    dialog.verseList()->setEditText(QStringLiteral("16"));
    QVERIFY(test::waitFor([&] { return verse->text().startsWith(QStringLiteral("John 3:16 ")); }));
    // No blank followed by a digit is left after the reference.
    QVERIFY2(!verse->text().mid(10).contains(QRegularExpression(QStringLiteral(" \\d"))),
             qPrintable(verse->text()));
    QVERIFY(verse->text().contains(QStringLiteral("For God so loved the world")));

    // A book name holding a digit keeps its reference whole: only the verse's text is cleaned.
    dialog.bookList()->setCurrentIndex(62);  // 1 John
    dialog.chapterList()->setEditText(QStringLiteral("1"));
    dialog.verseList()->setEditText(QStringLiteral("9"));
    QVERIFY(test::waitFor([&] { return verse->text().startsWith(QStringLiteral("1 John 1:9 ")); }));
    QCOMPARE(versePreview(ref(61, 1, 9), kjv), verse->text());
  }

  void selectTranslationListsAtMostTen() {
    test::TempDir dir;
    for (int i = 0; i < 12; ++i)
      test::buildModule(dir.path(), "many" + std::to_string(10 + i) + ".bib",
                        "Translation " + std::to_string(10 + i), kGenesis);
    set_dpath(dir.path().c_str());
    const QString title(100, QLatin1Char('t'));  // the caption takes at most 80 characters
    TOpenVersionDlg dialog(nullptr, 1000, title.toUtf8().constData(), dir.path().c_str());
    QCOMPARE(dialog.objectName(), QStringLiteral("1000"));
    QCOMPARE(dialog.windowTitle(), title.left(80));
    QListWidget* list = dialog.control<QListWidget>(11068);
    QVERIFY(list != nullptr);
    QCOMPARE(list->count(), 10);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Translation 10"));
    QCOMPARE(list->item(9)->text(), QStringLiteral("Translation 19"));
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(dialog.control<QCheckBox>(10007)->text(),
             QStringLiteral("Open this translation by default"));
    QCOMPARE(dialog.selectedIndex(), -1);
    QVERIFY(dialog.okButton()->isEnabled());
  }

  void selectTranslationListsEachNameOnce() {
    test::TempDir dir;
    test::buildModule(dir.path(), "dup1.bib", "Same Name", kGenesis);
    test::buildModule(dir.path(), "dup2.bib", "SAME name", kGenesis);
    test::buildModule(dir.path(), "other.bib", "Other Name", kGenesis);
    set_dpath(dir.path().c_str());
    // The directory named twice changes nothing either.
    const std::string twice = dir.path().string() + ";" + dir.path().string();
    TOpenVersionDlg dialog(nullptr, 1000, "File Open", twice.c_str());
    QCOMPARE(dialog.list()->count(), 2);
    QCOMPARE(dialog.list()->item(0)->text(), QStringLiteral("Same Name"));
    QCOMPARE(dialog.list()->item(1)->text(), QStringLiteral("Other Name"));
  }

  void selectTranslationOkWritesDefaultOnlyWhenChecked() {
    test::TempDir dir;
    useTwoTranslations(dir);
    bibleName before;
    readDefaultBible(&before);
    {
      // A double click on an entry acts as OK.
      TOpenVersionDlg dialog(nullptr, 1000, "File Open", dir.path().c_str());
      dialog.show();
      QListWidget* list = dialog.list();
      const QPoint where = list->visualItemRect(list->item(1)).center();
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
      QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
      QVERIFY(!dialog.isVisible());
      QCOMPARE(dialog.selectedIndex(), 1);
      bibleName chosen = dialog.selected();
      QCOMPARE(QByteArray(chosen.name), "Second Translation");
      QCOMPARE(QByteArray(chosen.path), "second.bib");
      bibleName after;
      readDefaultBible(&after);
      QCOMPARE(QByteArray(after.name), QByteArray(before.name));
      QCOMPARE(QByteArray(after.path), QByteArray(before.path));
    }
    TOpenVersionDlg dialog(nullptr, 1000, "File Open", dir.path().c_str());
    dialog.show();
    dialog.list()->setCurrentRow(1);
    dialog.makeDefault()->setChecked(true);
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    bibleName written;
    readDefaultBible(&written);
    QCOMPARE(QByteArray(written.name), "Second Translation");
    QCOMPARE(QByteArray(written.path), "second.bib");
  }

  void selectTranslationWithNothingFoundCannotConfirm() {
    test::TempDir dir;
    set_dpath(dir.path().c_str());
    TOpenVersionDlg dialog(nullptr, 1000, "File Open", dir.path().c_str());
    dialog.show();
    QCOMPARE(dialog.list()->count(), 0);
    QVERIFY(!dialog.okButton()->isEnabled());
    dialog.CmOk();
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.selectedIndex(), -1);
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.selectedIndex(), -1);
  }

  void selectTranslationWorksFromTheKeyboard() {
    test::TempDir dir;
    useTwoTranslations(dir);
    QByteArray firstListed;
    QTimer::singleShot(0, [&firstListed] {
      QVERIFY(test::waitFor([] { return findShownDialog<TOpenVersionDlg>(1000) != nullptr; }));
      TOpenVersionDlg* dialog = findShownDialog<TOpenVersionDlg>(1000);
      QVERIFY(test::waitFor([dialog] { return QApplication::focusWidget() == dialog->list(); }));
      firstListed = dialog->list()->item(0)->text().toUtf8();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    std::optional<bibleName> chosen = runOpenVersionDlg(nullptr, "File Open", dir.path().c_str());
    QVERIFY(chosen.has_value());
    QVERIFY(QByteArray(chosen->name) != firstListed);
  }

  void runOpenVersionDlgGivesTheRecordOrNothing() {
    test::TempDir dir;
    test::buildModule(dir.path(), "only.bib", "Only Translation", kGenesis);
    set_dpath(dir.path().c_str());
    QTimer::singleShot(0, [] {
      QVERIFY(test::waitFor([] { return findShownDialog<TOpenVersionDlg>(1000) != nullptr; }));
      QTest::mouseClick(findShownDialog<TOpenVersionDlg>(1000)->okButton(), Qt::LeftButton);
    });
    std::optional<bibleName> chosen = runOpenVersionDlg(nullptr, "File Open", dir.path().c_str());
    QVERIFY(chosen.has_value());
    QCOMPARE(QByteArray(chosen->name), "Only Translation");
    QCOMPARE(QByteArray(chosen->path), "only.bib");

    QTimer::singleShot(0, [] {
      QVERIFY(test::waitFor([] { return findShownDialog<TOpenVersionDlg>(1000) != nullptr; }));
      QTest::mouseClick(findShownDialog<TOpenVersionDlg>(1000)->cancelButton(), Qt::LeftButton);
    });
    QVERIFY(!runOpenVersionDlg(nullptr, "File Open", dir.path().c_str()).has_value());
  }

 private:
  static constexpr const char* kGenesis = "Genesis\t1\t1\tIn the beginning\n";
  // "first.bib" and "second.bib" in dir, which becomes the data path.
  static void useTwoTranslations(const test::TempDir& dir) {
    test::buildModule(dir.path(), "first.bib", "First Translation", kGenesis);
    test::buildModule(dir.path(), "second.bib", "Second Translation", kGenesis);
    set_dpath(dir.path().c_str());
  }
  std::unique_ptr<test::AppData> data_;
  test::Module kjv_;
};

}  // namespace vellum::ui

QTEST_MAIN(vellum::ui::ReferenceDlgTest)
#include "reference_dlg_test.moc"
