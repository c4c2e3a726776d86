// The search dialog, the word-list dialogs, the books dialog and the book sets, driven by their
// control identifiers inside the running program: one kind current at a time, each kind's OK,
// the saved record "SRCHDLG" and the stored book set across restarts, and damaged records.
#include "app/windows/search_dlg.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/frame.h"
#include "app/main_app.h"
#include "app/windows/passage.h"
#include "app/windows/word_list_dlg.h"
#include "engine/stores/dict.h"
#include "support/endian.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

// Starts the program as "<dir>/vellum". The search dialog that the first Bible window opens
// (the verses-found box is empty then) is cancelled once.
using Started = test::StartedProgram;

// Answers message boxes with OK (or the given button) and records their texts and captions.
struct MessageBoxWatcher {
  QStringList texts, captions;
  QMessageBox::StandardButton answer = QMessageBox::Ok;
  QTimer timer;
  MessageBoxWatcher() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          texts << box->text();
          captions << box->windowTitle();
          if (QAbstractButton* button = box->button(answer))
            button->click();
          else
            box->accept();
        }
    });
    timer.start(20);
  }
};

// Runs fn on the visible dialog with this objectName once it shows (a modal dialog's run).
void onDialog(const QString& name, std::function<void(QDialog*)> fn) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, name, fn] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dialog = qobject_cast<QDialog*>(w);
          dialog && dialog->isVisible() && dialog->objectName() == name) {
        timer->stop();
        timer->deleteLater();
        fn(dialog);
        return;
      }
  });
  timer->start(20);
}

template <class T = QWidget>
T* child(QWidget* parent, int id) {
  return parent->findChild<T*>(QString::number(id));
}

// The fixture's text pattern (tests/support/fixtures.h): verse n reads "NAME saith W1." or,
// when n % 3 == 2, "NAME saith W1, and W2.". Genesis 1:1 and John 3:16 carry real text.
const char* const kVocabulary[10] = {"love", "Love",  "LOVE",  "loved",  "glove",
                                     "live", "seeth", "teeth", "Lord's", "Beth-el"};
constexpr int kVerses = 31102;

bool verseHasWord(int n, const char* word, int john316) {
  if (n == 0) return false;
  if (n == john316) return QString(word).compare("loved", Qt::CaseInsensitive) == 0;
  if (QString(kVocabulary[n % 10]).compare(word, Qt::CaseInsensitive) == 0) return true;
  return n % 3 == 2 && QString(kVocabulary[(n / 3) % 10]).compare(word, Qt::CaseInsensitive) == 0;
}

int john316(BibleHandle* module) {
  Reference r;
  parseReference(&r, "John 3:16", module);
  return referenceToVerse(r, module);
}

int countVerses(const std::function<bool(int)>& predicate) {
  int count = 0;
  for (int n = 0; n < kVerses; ++n) count += predicate(n) ? 1 : 0;
  return count;
}

QStringList boxEntries(TMyMDIFrame* frame) {
  QStringList entries;
  for (int i = 0; i < frame->versesFound()->count(); ++i)
    entries << frame->versesFound()->itemText(i);
  return entries;
}

std::unique_ptr<TSearchDlg> openSearch(Started& s, const std::string& initial = {}) {
  const BookSet* set = findBookSet(s.frame()->client()->bookSetCommand());
  auto dialog = std::make_unique<TSearchDlg>(s.passage(), s.frame(), s.module(), s.app->topics(),
                                             s.app->options(), s.passage()->currentReference(),
                                             initial, QString(set->name));
  dialog->show();
  dialog->activateWindow();
  // Set-up (command 909) runs queued, once the dialog is on screen.
  QTest::qWait(30);
  return dialog;
}

void pressOk(QDialog* dialog) { child<QPushButton>(dialog, 1)->click(); }

std::vector<std::uint8_t> item(DictHandle* store, const char* name) {
  std::vector<std::uint8_t> bytes(9000);
  std::uint16_t length = 0;
  if (!find_binary_item(bytes.data(), &length, static_cast<std::uint16_t>(bytes.size()), name,
                        store))
    return {};
  bytes.resize(length);
  return bytes;
}

}  // namespace

class SearchDlgTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::AppData> data_;

 private Q_SLOTS:
  void initTestCase() { data_ = std::make_unique<test::AppData>(); }
  void init() {
    // Every test starts without saved searches or book sets.
    std::error_code ignored;
    fs::remove(data_->dir().file("options.dic"), ignored);
    fs::remove(data_->userFile("options.dic"), ignored);
    fs::remove(data_->dir().file("topics.dic"), ignored);
  }

  void theSearchRecordIsLaidOutByteForByteAndDamageIsRefused() {
    SearchRecord record;
    record.book = 42;
    record.chapter = 3;
    record.verse = 16;
    record.scope = 10002;
    record.topic = "Faith";
    record.text = std::string(150, 'x');  // cut to 99 and terminated
    record.words = {"love", "hate", "god"};
    record.operator1 = 10026;
    record.operator2 = 10027;
    record.kind = 3;
    const std::vector<std::uint8_t> bytes = record.encode();
    QCOMPARE(bytes.size(), std::size_t{284});
    QCOMPARE(int(bytes[0]), 42);
    QCOMPARE(int(bytes[2]), 16);
    QCOMPARE(int(bytes[3]), 0);
    QCOMPARE(le::load32(&bytes[4]), 10002u);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&bytes[8])), QByteArray("Faith"));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&bytes[48])).size(), 99);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&bytes[148])), QByteArray("love"));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&bytes[188])), QByteArray("hate"));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&bytes[228])), QByteArray("god"));
    QCOMPARE(le::load32(&bytes[268]), 10026u);
    QCOMPARE(le::load32(&bytes[272]), 10027u);
    QCOMPARE(le::load32(&bytes[276]), 0u);
    QCOMPARE(le::load32(&bytes[280]), 3u);
    std::optional<SearchRecord> back = SearchRecord::decode(bytes);
    QVERIFY(back);
    QCOMPARE(back->words[1], std::string("hate"));
    QCOMPARE(back->text.size(), std::size_t{99});

    // Short, long, a kind above 4, an unterminated field, a scope or operator of no group.
    QVERIFY(!SearchRecord::decode(std::span(bytes).first(283)));
    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    QVERIFY(!SearchRecord::decode(longer));
    std::vector<std::uint8_t> damaged = bytes;
    le::store32(&damaged[280], 5);
    QVERIFY(!SearchRecord::decode(damaged));
    damaged = bytes;
    std::fill(damaged.begin() + 8, damaged.begin() + 48, 'A');
    QVERIFY(!SearchRecord::decode(damaged));
    damaged = bytes;
    le::store32(&damaged[4], 7);
    QVERIFY(!SearchRecord::decode(damaged));
    damaged = bytes;
    le::store32(&damaged[268], 10029);
    QVERIFY(!SearchRecord::decode(damaged));
  }

  void oneKindIsCurrentAtATime() {
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    auto dialog = openSearch(s);
    QCOMPARE(dialog->kind(), int(kKindPhrase));
    QVERIFY(child<QRadioButton>(dialog.get(), 10005)->isChecked());

    dialog->word(0)->setText("love");
    QCOMPARE(dialog->kind(), int(kKindWords));
    child<QRadioButton>(dialog.get(), 10026)->click();
    dialog->phrase()->setText("living water");
    QCOMPARE(dialog->kind(), int(kKindPhrase));
    QVERIFY(dialog->word(0)->text().isEmpty());
    // Emptying the words puts "or" back in both groups.
    QVERIFY(child<QRadioButton>(dialog.get(), 10025)->isChecked());
    QVERIFY(child<QRadioButton>(dialog.get(), 10028)->isChecked());

    dialog->expression()->setText("love or hate");
    QCOMPARE(dialog->kind(), int(kKindExpression));
    QVERIFY(dialog->phrase()->text().isEmpty());

    // A choice in the book list makes the verse kind current, even the first book.
    dialog->bookList()->setCurrentIndex(1);
    emit dialog->bookList()->activated(1);
    QCOMPARE(dialog->kind(), int(kKindVerse));
    QVERIFY(dialog->expression()->text().isEmpty());
    dialog->bookList()->setCurrentIndex(43);
    QTest::qWait(30);
    QCOMPARE(dialog->kind(), int(kKindVerse));

    // The topic list resets the lists to their headings; that reset is not taken for a choice.
    dialog->topicList()->setCurrentIndex(0);
    dialog->word(1)->setText("x");
    QCOMPARE(dialog->kind(), int(kKindWords));
    QTest::qWait(30);
    QCOMPARE(dialog->kind(), int(kKindWords));
    QCOMPARE(dialog->bookList()->currentIndex(), 0);

    // Clear: the phrase kind, everything empty, the book-set scope.
    child<QRadioButton>(dialog.get(), 10002)->setChecked(true);
    child<QPushButton>(dialog.get(), 910)->click();
    QTest::qWait(30);
    QCOMPARE(dialog->kind(), int(kKindPhrase));
    QVERIFY(dialog->word(1)->text().isEmpty());
    QVERIFY(child<QRadioButton>(dialog.get(), 10005)->isChecked());
    QCOMPARE(child<QRadioButton>(dialog.get(), 10005)->text(), QString("All Books"));
  }

  void eachKindFindsVersesOrSaysWhyAndStaysOpen() {
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    const int j316 = john316(s.module());
    MessageBoxWatcher boxes;

    // A single word runs a word search.
    {
      auto dialog = openSearch(s);
      dialog->phrase()->setText("teeth");
      pressOk(dialog.get());
      QVERIFY(!dialog->isVisible());
      QCOMPARE(dialog->result(), int(QDialog::Accepted));
      const int expected = countVerses([&](int n) { return verseHasWord(n, "teeth", j316); });
      QCOMPARE(int(dialog->resultVerses().size()), expected);
      QCOMPARE(s.frame()->versesFound()->count(), expected);
      QCOMPARE(s.frame()->messageField()->text(),
               QString("%1 verses found containing \"teeth\"").arg(expected));
    }
    // A phrase: "saith teeth" holds only where teeth is the first word after saith.
    {
      auto dialog = openSearch(s);
      dialog->phrase()->setText("  saith teeth ");
      pressOk(dialog.get());
      QCOMPARE(int(dialog->resultVerses().size()),
               countVerses([](int n) { return n != 0 && n % 10 == 7; }));
    }
    // Nothing found: the phrase message, the dialog open, the phrase selected and focused.
    {
      auto dialog = openSearch(s);
      dialog->phrase()->setText("xyzzy");
      pressOk(dialog.get());
      QCOMPARE(boxes.texts.value(0),
               QString("I'm sorry but no verses were found containing the phrase \"xyzzy\""));
      QCOMPARE(boxes.captions.value(0), QString("No verses found"));
      QVERIFY(dialog->isVisible());
      QVERIFY(test::waitFor([&] { return dialog->focusWidget() == dialog->phrase(); }));
      QCOMPARE(dialog->phrase()->selectedText(), QString("xyzzy"));
      // The empty field does nothing.
      dialog->phrase()->clear();
      pressOk(dialog.get());
      QVERIFY(dialog->isVisible());
      QCOMPARE(boxes.texts.size(), 1);
    }
    // Three words: love and not teeth.
    {
      auto dialog = openSearch(s);
      dialog->word(0)->setText(" love ");
      dialog->word(1)->setText("teeth");
      child<QRadioButton>(dialog.get(), 10026)->click();
      pressOk(dialog.get());
      QCOMPARE(dialog->resultText(), QByteArray("love!teeth"));
      QCOMPARE(int(dialog->resultVerses().size()), countVerses([&](int n) {
                 return verseHasWord(n, "love", j316) && !verseHasWord(n, "teeth", j316);
               }));
      QCOMPARE(dialog->savedRecord().operator1, 10026u);
    }
    {
      auto dialog = openSearch(s);
      child<QPushButton>(dialog.get(), 910)->click();
      dialog->word(0)->setText("xyzzy");
      dialog->word(2)->setText("plugh");
      pressOk(dialog.get());
      QCOMPARE(boxes.texts.value(1),
               QString("I'm sorry but no verses were found containing the words \"xyzzy|plugh\"."));
      QVERIFY(dialog->isVisible());
      QVERIFY(test::waitFor([&] { return dialog->focusWidget() == dialog->word(0); }));
      QCOMPARE(dialog->word(0)->selectedText(), QString("xyzzy"));
    }
    // An expression, and a malformed one.
    {
      auto dialog = openSearch(s);
      dialog->expression()->setText("(glove or teeth) not seeth");
      pressOk(dialog.get());
      QCOMPARE(int(dialog->resultVerses().size()), countVerses([&](int n) {
                 return (verseHasWord(n, "glove", j316) || verseHasWord(n, "teeth", j316)) &&
                        !verseHasWord(n, "seeth", j316);
               }));
    }
    {
      auto dialog = openSearch(s);
      dialog->expression()->setText("love and (");
      pressOk(dialog.get());
      QCOMPARE(
          boxes.texts.value(2),
          QString("I'm sorry but no verses were found containing the expression \"love and (\""));
      QVERIFY(dialog->isVisible());
      QVERIFY(test::waitFor([&] { return dialog->focusWidget() == dialog->expression(); }));
    }
    // A verse: shown in the Bible window, the box kept.
    {
      const QStringList before = boxEntries(s.frame());
      auto dialog = openSearch(s);
      dialog->bookList()->setCurrentIndex(43);  // John
      emit dialog->bookList()->activated(43);
      QTest::qWait(30);
      dialog->chapterList()->setEditText("3");
      dialog->verseList()->setEditText("16");
      QTest::qWait(30);
      pressOk(dialog.get());
      QVERIFY(test::waitFor(
          [&] { return s.passage()->windowTitle() == "John 3:16 - King James Version"; }));
      QCOMPARE(boxEntries(s.frame()), before);
    }
  }

  void theWordsExpressionSkipsEmptyWords() {
    QCOMPARE(TSearchDlg::buildWordsExpression({"love", "hate", ""}, '!', '|'),
             QByteArray("love!hate"));
    QCOMPARE(TSearchDlg::buildWordsExpression({"", "hate", ""}, '&', '&'), QByteArray("hate"));
    QCOMPARE(TSearchDlg::buildWordsExpression({"a", "b", "c"}, '&', '!'), QByteArray("a&b!c"));
    // Word 1 and word 3 are joined by the operator before word 3.
    QCOMPARE(TSearchDlg::buildWordsExpression({"a", "", "c"}, '&', '!'), QByteArray("a!c"));
    QCOMPARE(TSearchDlg::buildWordsExpression({"", "", ""}, '&', '!'), QByteArray());
  }

  void theLastSearchIsRestoredOnReopeningAndAcrossRuns() {
    MessageBoxWatcher boxes;
    {
      Started s(data_->path());
      QVERIFY(test::waitFor([&] { return s.ready(); }));
      auto dialog = openSearch(s);
      dialog->expression()->setText("glove or teeth");
      child<QRadioButton>(dialog.get(), 10002)->setChecked(true);
      pressOk(dialog.get());
      const std::vector<std::uint8_t> stored = item(s.app->options(), "SRCHDLG");
      QCOMPARE(stored.size(), std::size_t{284});
      QCOMPARE(le::load32(&stored[280]), 4u);
      QCOMPARE(le::load32(&stored[4]), 10002u);

      // Reopened: the expression selected in its field, the scope kept.
      auto again = openSearch(s);
      QCOMPARE(again->kind(), int(kKindExpression));
      QCOMPARE(again->expression()->text(), QString("glove or teeth"));
      QCOMPARE(again->expression()->selectedText(), QString("glove or teeth"));
      QVERIFY(child<QRadioButton>(again.get(), 10002)->isChecked());

      // Words with their operators.
      again->word(0)->setText("love");
      again->word(1)->setText("teeth");
      child<QRadioButton>(again.get(), 10024)->click();
      child<QRadioButton>(again.get(), 10005)->setChecked(true);
      pressOk(again.get());
      auto third = openSearch(s);
      QCOMPARE(third->kind(), int(kKindWords));
      QCOMPARE(third->word(1)->text(), QString("teeth"));
      QVERIFY(child<QRadioButton>(third.get(), 10024)->isChecked());
      QVERIFY(child<QRadioButton>(third.get(), 10028)->isChecked());
      QVERIFY(child<QRadioButton>(third.get(), 10005)->isChecked());

      // A verse.
      third->bookList()->setCurrentIndex(2);
      emit third->bookList()->activated(2);
      QTest::qWait(30);
      third->chapterList()->setEditText("4");
      QTest::qWait(30);
      pressOk(third.get());
      auto fourth = openSearch(s);
      QTest::qWait(30);
      QCOMPARE(fourth->kind(), int(kKindVerse));
      QCOMPARE(fourth->bookList()->currentIndex(), 2);
      QCOMPARE(fourth->chapterList()->currentText(), QString("4"));

      // A phrase.
      fourth->phrase()->setText("saith love");
      pressOk(fourth.get());
      s.frame()->close();
    }
    // The next run restores the phrase, and a selection that is no number replaces it.
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    {
      auto dialog = openSearch(s);
      QCOMPARE(dialog->kind(), int(kKindPhrase));
      QCOMPARE(dialog->phrase()->text(), QString("saith love"));
    }
    {
      auto dialog = openSearch(s, "  living \n  water. ");
      QCOMPARE(dialog->kind(), int(kKindPhrase));
      QCOMPARE(dialog->phrase()->text(), QString("living water"));
      QCOMPARE(dialog->phrase()->selectedText(), QString("living water"));
    }
    {
      auto dialog = openSearch(s, "3 16");
      QCOMPARE(dialog->phrase()->text(), QString("saith love"));
    }
  }

  void damagedRecordsOpenClearedAndTheNextSaveIsSound() {
    const std::vector<std::vector<std::uint8_t>> damaged = [] {
      SearchRecord r;
      r.kind = 4;
      r.scope = 10005;
      r.text = "love";
      std::vector<std::uint8_t> good = r.encode();
      std::vector<std::uint8_t> kind = good, unterminated = good;
      le::store32(&kind[280], 9);
      std::fill(unterminated.begin() + 48, unterminated.begin() + 148, 'q');
      return std::vector<std::vector<std::uint8_t>>{
          std::vector<std::uint8_t>(good.begin(), good.begin() + 100), kind, unterminated};
    }();
    for (const auto& bytes : damaged) {
      {
        Started s(data_->path());
        QVERIFY(test::waitFor([&] { return s.ready(); }));
        QVERIFY(add_binary_item(s.app->options(), "SRCHDLG", bytes.data(),
                                static_cast<std::uint16_t>(bytes.size())));
        auto dialog = openSearch(s);
        QCOMPARE(dialog->kind(), int(kKindPhrase));
        QVERIFY(dialog->expression()->text().isEmpty());
        QVERIFY(dialog->phrase()->text().isEmpty());
        dialog->phrase()->setText("teeth");
        pressOk(dialog.get());
        const std::vector<std::uint8_t> stored = item(s.app->options(), "SRCHDLG");
        QVERIFY(SearchRecord::decode(stored));
      }
    }
  }

  void bookSetsFilterResultsAndSurviveARestart() {
    // A start with a set that leaves out Genesis reports that its first verse is not in it.
    MessageBoxWatcher boxes;
    {
      Started s(data_->path());
      QVERIFY(test::waitFor([&] { return s.ready(); }));
      // Absent at start: All Books, stored at once.
      QCOMPARE(s.frame()->client()->bookSetCommand(), 309);
      QCOMPARE(item(s.app->options(), "WHICHBOOKS").size(), std::size_t{4});
      QCOMPARE(item(s.app->options(), "SEARCHBOOKS").size(), std::size_t{8000});

      s.passage()->setFocus();
      QVERIFY(dispatchCommandFrom(s.passage(), 315));
      QCOMPARE(s.frame()->client()->bookSetCommand(), 315);
      s.frame()->updateCommandStates();
      QVERIFY(s.frame()->action(315)->isChecked());
      QVERIFY(!s.frame()->action(309)->isChecked());

      auto dialog = openSearch(s);
      QCOMPARE(child<QRadioButton>(dialog.get(), 10005)->text(), QString("Poetry"));
      dialog->phrase()->setText("love");
      pressOk(dialog.get());
      const int j316 = john316(s.module());
      int expected = 0;
      for (int n = 0; n < kVerses; ++n) {
        const int book = verseToReference(static_cast<std::uint16_t>(n), s.module()).book;
        if (book >= 17 && book <= 21 && verseHasWord(n, "love", j316)) ++expected;
      }
      QVERIFY(expected > 0);
      QCOMPARE(s.frame()->versesFound()->count(), expected);
      for (const QString& entry : boxEntries(s.frame())) {
        Reference r;
        QVERIFY(parseReference(&r, entry.toUtf8().constData(), s.module()));
        QVERIFY(r.book >= 17 && r.book <= 21);
      }
      // Restricted to the verses found: teeth within the Poetry result of love.
      s.frame()->client()->setBookSet(309, bookSetFlags(309));
      auto within = openSearch(s);
      within->phrase()->setText("teeth");
      child<QRadioButton>(within.get(), 10002)->setChecked(true);
      pressOk(within.get());
      for (const QString& entry : boxEntries(s.frame())) {
        Reference r;
        parseReference(&r, entry.toUtf8().constData(), s.module());
        QVERIFY(r.book >= 17 && r.book <= 21);
      }
      QVERIFY(dispatchCommandFrom(s.passage(), 312));
      s.frame()->close();
    }
    {
      Started s(data_->path());
      QVERIFY(test::waitFor(
          [&] { return s.searchSeen && s.passage() && s.passage()->hasText(); }));
      QCOMPARE(s.frame()->client()->bookSetCommand(), 312);
      QCOMPARE(s.frame()->client()->bookFlags()[38], 0u);
      QCOMPARE(s.frame()->client()->bookFlags()[39], 1u);
      // Damaged: an unknown command; then a short flag record.
      const std::uint8_t unknown[4] = {0xE7, 0x03, 0, 0};
      add_binary_item(s.app->options(), "WHICHBOOKS", unknown, 4);
      s.frame()->close();
    }
    {
      Started s(data_->path());
      QVERIFY(test::waitFor([&] { return s.ready(); }));
      QCOMPARE(s.frame()->client()->bookSetCommand(), 309);
      QCOMPARE(le::load32(item(s.app->options(), "WHICHBOOKS").data()), 309u);
      const std::uint8_t which[4] = {0x36, 0x01, 0, 0};  // 310
      add_binary_item(s.app->options(), "WHICHBOOKS", which, 4);
      const std::vector<std::uint8_t> shortFlags(100, 1);
      add_binary_item(s.app->options(), "SEARCHBOOKS", shortFlags.data(), 100);
      s.frame()->close();
    }
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    QCOMPARE(s.frame()->client()->bookSetCommand(), 309);
    QCOMPARE(item(s.app->options(), "SEARCHBOOKS").size(), std::size_t{8000});
  }

  void specificBooksNeedsOneBookAndCancelChangesNothing() {
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    MessageBoxWatcher boxes;
    s.passage()->setFocus();

    // Exclude All then OK: the message, the dialog stays; Cancel: nothing changed.
    bool ran = false;
    onDialog("3007", [&](QDialog* dialog) {
      QCOMPARE(dialog->windowTitle(), QString("Books"));
      QCOMPARE(child<QCheckBox>(dialog, 11065)->text(), QString("Revelation"));
      QVERIFY(child<QCheckBox>(dialog, 11000)->isChecked());
      child<QPushButton>(dialog, 11067)->click();
      QVERIFY(!child<QCheckBox>(dialog, 11021)->isChecked());
      pressOk(dialog);
      QVERIFY(dialog->isVisible());
      child<QPushButton>(dialog, 2)->click();
      ran = true;
    });
    QVERIFY(dispatchCommandFrom(s.passage(), 310));
    QVERIFY(ran);
    QCOMPARE(boxes.texts.value(0),
             QString("I'm sorry but you really do need to select at least one book to search"));
    QCOMPARE(boxes.captions.value(0), QString("No books selected"));
    QCOMPARE(s.frame()->client()->bookSetCommand(), 309);
    QCOMPARE(s.frame()->client()->bookFlags()[0], 1u);

    // Exclude All, two books, OK: Specific Books with just those.
    ran = false;
    onDialog("3007", [&](QDialog* dialog) {
      child<QPushButton>(dialog, 11067)->click();
      child<QCheckBox>(dialog, 11018)->setChecked(true);
      child<QCheckBox>(dialog, 11042)->setChecked(true);
      pressOk(dialog);
      ran = true;
    });
    QVERIFY(dispatchCommandFrom(s.passage(), 310));
    QVERIFY(ran);
    QCOMPARE(s.frame()->client()->bookSetCommand(), 310);
    QCOMPARE(s.frame()->client()->bookFlags()[18], 1u);
    QCOMPARE(s.frame()->client()->bookFlags()[42], 1u);
    QCOMPARE(s.frame()->client()->bookFlags()[0], 0u);
    const std::vector<std::uint8_t> stored = item(s.app->options(), "SEARCHBOOKS");
    QCOMPARE(le::load32(&stored[18 * 4]), 1u);
    QCOMPARE(le::load32(&stored[0]), 0u);

    // Include All checks every box.
    onDialog("3007", [&](QDialog* dialog) {
      child<QPushButton>(dialog, 11066)->click();
      QVERIFY(child<QCheckBox>(dialog, 11000)->isChecked());
      QVERIFY(child<QCheckBox>(dialog, 11065)->isChecked());
      pressOk(dialog);
    });
    QVERIFY(dispatchCommandFrom(s.passage(), 310));
    QCOMPARE(s.frame()->client()->bookFlags()[0], 1u);
  }

  void theWordListDialogsListOnceThenSearchTheChosenWords() {
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    const int j316 = john316(s.module());
    TWordListDlg dialog(s.passage(), s.frame(), s.module(), QString());
    QCOMPARE(dialog.objectName(), QString("3006"));
    dialog.show();
    child<QLineEdit>(&dialog, 10033)->setText("lov*");
    pressOk(&dialog);
    QVERIFY(dialog.isVisible());
    QListWidget* list = child<QListWidget>(&dialog, 10035);
    QStringList words;
    for (int i = 0; i < list->count(); ++i) words << list->item(i)->text();
    // love, Love and LOVE appear once; sorted ignoring case.
    QCOMPARE(words.size(), 2);
    QCOMPARE(words[0].toLower(), QString("love"));
    QCOMPARE(words[1], QString("loved"));

    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    pressOk(&dialog);
    QVERIFY(!dialog.isVisible());
    const int expected = countVerses(
        [&](int n) { return verseHasWord(n, "love", j316) || verseHasWord(n, "loved", j316); });
    QCOMPARE(int(dialog.resultVerses().size()), expected);
    QCOMPARE(s.frame()->messageField()->text(),
             QString("%1 verses found containing \"lov*\"").arg(expected));

    // Sound-alike: luv sounds like love, live and (John 3:16) life; none selected closes without
    // a search.
    TPhoneticListDlg phonetic(s.passage(), s.frame(), s.module(), QString());
    QCOMPARE(phonetic.objectName(), QString("3005"));
    phonetic.show();
    child<QLineEdit>(&phonetic, 10033)->setText("luv");
    pressOk(&phonetic);
    QListWidget* sounds = child<QListWidget>(&phonetic, 10035);
    QStringList found;
    for (int i = 0; i < sounds->count(); ++i) found << sounds->item(i)->text().toLower();
    QCOMPARE(found, (QStringList{"life", "live", "love"}));
    // A different word lists anew.
    child<QLineEdit>(&phonetic, 10033)->setText("teath");
    pressOk(&phonetic);
    QVERIFY(!sounds->findItems("teeth", Qt::MatchExactly).isEmpty());
    QVERIFY(sounds->findItems("live", Qt::MatchExactly).isEmpty());
    sounds->clearSelection();
    pressOk(&phonetic);
    QVERIFY(!phonetic.isVisible());
    QVERIFY(phonetic.resultVerses().empty());
  }

  void startUpAndTheSearchCommandPutTheSelectionIntoThePhrase() {
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    // Words 2 and 3 of Genesis 1 (Strong's hidden) are "the beginning".
    s.passage()->selectWords(2, 3);
    QString phrase;
    onDialog("3000", [&](QDialog* dialog) {
      phrase = child<QLineEdit>(dialog, 10019)->text();
      child<QPushButton>(dialog, 2)->click();
    });
    QVERIFY(dispatchCommandFrom(s.passage(), CmSearch));
    QCOMPARE(phrase, QString("the beginning"));

    // The dialog's Wildcard button closes it and opens the wildcard dialog.
    bool wildcard = false;
    onDialog("3000", [&](QDialog* dialog) { child<QPushButton>(dialog, 306)->click(); });
    onDialog("3006", [&](QDialog* dialog) {
      wildcard = true;
      child<QPushButton>(dialog, 2)->click();
    });
    QVERIFY(dispatchCommandFrom(s.passage(), CmSearch));
    QVERIFY(test::waitFor([&] { return wildcard; }));
  }

  void topicSearchShowsTheTopicsVersesTheModuleHolds() {
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    // A topics store beside the program, opened as the program opens it at start.
    DictHandle* topics = new_dict("topics.dic", "Topics", 101, 0);
    QVERIFY(topics);
    // John 3:16, Genesis 1:1, a book beyond the module and a partial record.
    const std::uint8_t refs[] = {42, 3, 16, 0, 1, 1, 90, 1, 1, 0, 2};
    QVERIFY(add_binary_item(topics, "Faith", refs, sizeof refs));
    TSearchDlg dialog(s.passage(), s.frame(), s.module(), topics, s.app->options(), Reference{}, {},
                      "All Books");
    dialog.show();
    QTest::qWait(30);
    QCOMPARE(dialog.topicList()->itemText(0), QString("All Topics"));
    dialog.topicList()->setCurrentIndex(dialog.topicList()->findText("Faith"));
    QCOMPARE(dialog.kind(), int(kKindTopic));
    pressOk(&dialog);
    QCOMPARE(boxEntries(s.frame()), (QStringList{"Genesis 1:1", "John 3:16"}));
    QCOMPARE(s.frame()->messageField()->text(), QString("2 verses found containing \"Faith\""));
    deinit_dict(topics);
  }

  void theImportedKingJamesVersion() {
    const fs::path real = fs::path(VELLUM_DATA_DIR) / "kjv.bib";
    if (!fs::exists(real)) QSKIP("no data/kjv.bib: run scripts/prepare-data.sh first");
    test::TempDir dir;
    fs::create_symlink(real, dir.path() / "kjv.bib");
    Started s(dir.path().string());
    QVERIFY(test::waitFor([&] { return s.ready(); }, 20000));
    MessageBoxWatcher boxes;
    s.passage()->setFocus();
    QVERIFY(dispatchCommandFrom(s.passage(), 315));
    auto dialog = openSearch(s);
    dialog->phrase()->setText("love");
    pressOk(dialog.get());
    const int poetry = s.frame()->versesFound()->count();
    QVERIFY(poetry > 0);
    for (const QString& entry : boxEntries(s.frame())) {
      Reference r;
      QVERIFY(parseReference(&r, entry.toUtf8().constData(), s.module()));
      QVERIFY2(r.book >= 17 && r.book <= 21, qPrintable(entry));
    }
    qInfo("Poetry, love: %d verses", poetry);

    QVERIFY(dispatchCommandFrom(s.passage(), 309));
    auto expression = openSearch(s);
    expression->expression()->setText("(love or hate) not god");
    pressOk(expression.get());
    const int count = int(expression->resultVerses().size());
    QVERIFY(count > 0);
    QCOMPARE(s.frame()->versesFound()->count(), count);
    QCOMPARE(s.frame()->messageField()->text(),
             QString("%1 verses found containing \"(love or hate) not god\"").arg(count));
    qInfo("(love or hate) not god: %d verses", count);

    auto within = openSearch(s);
    within->phrase()->setText("brother");
    child<QRadioButton>(within.get(), 10002)->setChecked(true);
    pressOk(within.get());
    const int narrowed = s.frame()->versesFound()->count();
    QVERIFY(narrowed > 0 && narrowed < count);
    QVERIFY(narrowed < int(within->resultVerses().size()));
    qInfo("brother within them: %d verses (%d in all)", narrowed,
          int(within->resultVerses().size()));
  }
};

QTEST_MAIN(SearchDlgTest)
#include "search_dlg_test.moc"
