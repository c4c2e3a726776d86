// The search dialog, the word-list dialogs, the books dialog and the book sets in the running
// program, with the saved search and the book set across restarts.
#include "app/windows/search_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
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

using Started = test::StartedProgram;
using test::child;

// The fixture's text pattern (tests/support/fixtures.h): verse n reads "NAME saith W1." or,
// when n % 3 == 2, "NAME saith W1, and W2.". Genesis 1:1 and John 3:16 carry real text.
const char* const kVocabulary[10] = {"love", "Love",  "LOVE",  "loved",  "glove",
                                     "live", "seeth", "teeth", "Lord's", "Beth-el"};
constexpr int kVerses = 31102;
constexpr int kJohn316 = 26136;

bool has(int n, const char* word) {
  const auto is = [word](const char* w) {
    return QString(w).compare(word, Qt::CaseInsensitive) == 0;
  };
  if (n == 0) return false;
  if (n == kJohn316) return is("loved");
  return is(kVocabulary[n % 10]) || (n % 3 == 2 && is(kVocabulary[(n / 3) % 10]));
}

int countVerses(const std::function<bool(int)>& predicate) {
  int count = 0;
  for (int n = 0; n < kVerses; ++n) count += predicate(n) ? 1 : 0;
  return count;
}

std::unique_ptr<TSearchDlg> openSearch(Started& s, const std::string& initial = {}) {
  const BookSet* set = findBookSet(s.frame()->client()->bookSetCommand());
  auto dialog = std::make_unique<TSearchDlg>(s.passage(), s.frame(), s.module(), s.app->topics(),
                                             s.app->options(), s.passage()->currentReference(),
                                             initial, QString(set->name));
  dialog->show();
  dialog->activateWindow();
  QTest::qWait(30);  // set-up (command 909) runs queued, once the dialog is on screen
  return dialog;
}

void pressOk(QWidget* dialog) { child<QPushButton>(dialog, 1)->click(); }
void check(QWidget* dialog, int id) { child<QRadioButton>(dialog, id)->setChecked(true); }
bool checked(QWidget* dialog, int id) { return child<QRadioButton>(dialog, id)->isChecked(); }
void chooseBook(TSearchDlg* dialog, int index) {
  dialog->bookList()->setCurrentIndex(index);
  emit dialog->bookList()->activated(index);
  QTest::qWait(30);
}

std::vector<std::uint8_t> item(DictHandle* store, const char* name) {
  const std::string bytes = test::itemBytes(store, name);
  return {bytes.begin(), bytes.end()};
}

void store(DictHandle* options, const char* name, const std::vector<std::uint8_t>& bytes) {
  QVERIFY(add_binary_item(options, name, bytes.data(), std::uint16_t(bytes.size())));
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
    for (const std::string& file :
         {data_->dir().file("options.dic"), data_->userFile("options.dic"),
          data_->dir().file("topics.dic")})
      fs::remove(file, ignored);
  }
  void cleanup() { test::stopDialogPollers(); }

  void theSearchRecordIsLaidOutByteForByteAndDamageIsRefused() {
    SearchRecord record{
        42,    3,     16, 10002, "Faith", std::string(150, 'x'), {"love", "hate", "god"},
        10026, 10027, 3};  // the text is cut to 99 and terminated
    const std::vector<std::uint8_t> bytes = record.encode();
    QCOMPARE(bytes.size(), std::size_t{284});
    const auto text = [&](int at) { return QByteArray(reinterpret_cast<const char*>(&bytes[at])); };
    QCOMPARE((std::vector<int>{bytes[0], bytes[1], bytes[2], bytes[3]}),
             (std::vector<int>{42, 3, 16, 0}));
    QCOMPARE((QByteArrayList{text(8), text(148), text(188), text(228)}),
             (QByteArrayList{"Faith", "love", "hate", "god"}));
    QCOMPARE(text(48), QByteArray(99, 'x'));
    for (auto [at, value] :
         {std::pair{4, 10002u}, {268, 10026u}, {272, 10027u}, {276, 0u}, {280, 3u}})
      QCOMPARE(le::load32(&bytes[at]), value);
    QCOMPARE(SearchRecord::decode(bytes).value().words[1], std::string("hate"));
    // Short, long, a kind above 4, an unterminated field, a scope or operator of no group.
    std::vector<std::vector<std::uint8_t>> damaged(6, bytes);
    damaged[0].pop_back();
    damaged[1].push_back(0);
    le::store32(&damaged[2][280], 5);
    std::fill(damaged[3].begin() + 8, damaged[3].begin() + 48, 'A');
    le::store32(&damaged[4][4], 7);
    le::store32(&damaged[5][268], 10029);
    for (const auto& bad : damaged) QVERIFY(!SearchRecord::decode(bad));
  }

  void theWordsExpressionSkipsEmptyWords() {
    // Word 1 and word 3 are joined by the operator before word 3.
    const std::tuple<std::array<const char*, 3>, char, char, const char*> cases[] = {
        {{"love", "hate", ""}, '!', '|', "love!hate"},
        {{"", "hate", ""}, '&', '&', "hate"},
        {{"a", "b", "c"}, '&', '!', "a&b!c"},
        {{"a", "", "c"}, '&', '!', "a!c"},
        {{"", "", ""}, '&', '!', ""}};
    for (const auto& [words, first, second, expected] : cases)
      QCOMPARE(TSearchDlg::buildWordsExpression({words[0], words[1], words[2]}, first, second),
               QByteArray(expected));
  }

  void oneKindIsCurrentEachFindsVersesOrSaysWhy() {
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    {
      auto dialog = openSearch(s);
      QCOMPARE(dialog->kind(), int(kKindPhrase));
      dialog->word(0)->setText("love");
      QCOMPARE(dialog->kind(), int(kKindWords));
      child<QRadioButton>(dialog.get(), 10026)->click();
      dialog->phrase()->setText("living water");
      QCOMPARE(dialog->kind(), int(kKindPhrase));
      QVERIFY(dialog->word(0)->text().isEmpty());
      QVERIFY(checked(dialog.get(), 10025) && checked(dialog.get(), 10028));  // "or" back in both
      dialog->expression()->setText("love or hate");
      QCOMPARE(dialog->kind(), int(kKindExpression));
      QVERIFY(dialog->phrase()->text().isEmpty());
      // A choice in the book list makes the verse kind current, even the first book.
      chooseBook(dialog.get(), 1);
      QCOMPARE(dialog->kind(), int(kKindVerse));
      QVERIFY(dialog->expression()->text().isEmpty());
      // The topic list resets the lists to their headings; that reset is not taken for a choice.
      dialog->topicList()->setCurrentIndex(0);
      dialog->word(1)->setText("x");
      QTest::qWait(30);
      QCOMPARE(dialog->kind(), int(kKindWords));
      QCOMPARE(dialog->bookList()->currentIndex(), 0);
      // Clear: the phrase kind, everything empty, the book-set scope.
      check(dialog.get(), 10002);
      child<QPushButton>(dialog.get(), 910)->click();
      QTest::qWait(30);
      QCOMPARE(dialog->kind(), int(kKindPhrase));
      QVERIFY(dialog->word(1)->text().isEmpty());
      QVERIFY(checked(dialog.get(), 10005));
    }
    test::MessageBoxWatcher boxes;
    // {field (phrase, words with "not", expression), text, second word, verses found (null:
    // none), the end of the message field, or of "I'm sorry..." in the message box}
    const struct {
      int field;
      const char *text, *second;
      std::function<bool(int)> expected;
      QString said;
    } cases[] = {{0, "teeth", "", [](int n) { return has(n, "teeth"); }, "\"teeth\""},
                 {0, "  saith teeth ", "", [](int n) { return n != 0 && n % 10 == 7; }, ""},
                 {0, "xyzzy", "", {}, "the phrase \"xyzzy\""},
                 {1, " love ", "teeth", [](int n) { return has(n, "love") && !has(n, "teeth"); },
                  "\"love!teeth\""},
                 {1, "xyzzy", "plugh", {}, "the words \"xyzzy!plugh\"."},
                 {2, "(glove or teeth) not seeth", "",
                  [](int n) { return (has(n, "glove") || has(n, "teeth")) && !has(n, "seeth"); },
                  "\"(glove or teeth) not seeth\""},
                 {2, "love and (", "", {}, "the expression \"love and (\""}};
    for (const auto& c : cases) {
      auto dialog = openSearch(s);
      child<QPushButton>(dialog.get(), 910)->click();
      QLineEdit* field = c.field == 0   ? dialog->phrase()
                         : c.field == 1 ? dialog->word(0)
                                        : dialog->expression();
      field->setText(c.text);
      if (c.field == 1) {
        dialog->word(1)->setText(c.second);
        child<QRadioButton>(dialog.get(), 10026)->click();
      }
      pressOk(dialog.get());
      if (c.expected) {
        QVERIFY(!dialog->isVisible());
        QCOMPARE(int(dialog->resultVerses().size()), countVerses(c.expected));
        QVERIFY2(s.frame()->messageField()->text().endsWith(c.said),
                 qPrintable(s.frame()->messageField()->text()));
      } else {
        QCOMPARE(boxes.texts.last(), "I'm sorry but no verses were found containing " + c.said);
        QVERIFY(dialog->isVisible());
        QVERIFY(test::waitFor([&] { return dialog->focusWidget() == field; }));
        QVERIFY(!field->text().isEmpty());
        QCOMPARE(field->selectedText(), field->text());
      }
    }
    // The empty field does nothing; a verse is shown in the Bible window, the box kept.
    auto dialog = openSearch(s);
    child<QPushButton>(dialog.get(), 910)->click();
    const int said = boxes.texts.size();
    pressOk(dialog.get());
    QVERIFY(dialog->isVisible());
    QCOMPARE(boxes.texts.size(), said);
    const QStringList before = s.frame()->versesFoundEntries();
    chooseBook(dialog.get(), 43);  // John
    dialog->chapterList()->setEditText("3");
    dialog->verseList()->setEditText("16");
    QTest::qWait(30);
    pressOk(dialog.get());
    QVERIFY(test::waitFor(
        [&] { return s.passage()->windowTitle() == "John 3:16 - King James Version"; }));
    QCOMPARE(s.frame()->versesFoundEntries(), before);
    // The word lists: love, Love and LOVE appear once, sorted ignoring case.
    const auto listed = [](QWidget* dialog, const char* typed) {
      child<QLineEdit>(dialog, 10033)->setText(typed);
      pressOk(dialog);
      QListWidget* list = child<QListWidget>(dialog, 10035);
      QStringList words;
      for (int i = 0; i < list->count(); ++i) words << list->item(i)->text().toLower();
      return words;
    };
    TWordListDlg wildcard(s.passage(), s.frame(), s.module(), QString());
    wildcard.show();
    QCOMPARE(listed(&wildcard, "lov*"), (QStringList{"love", "loved"}));
    QVERIFY(wildcard.isVisible());
    child<QListWidget>(&wildcard, 10035)->selectAll();
    pressOk(&wildcard);
    QVERIFY(!wildcard.isVisible());
    const int expected = countVerses([](int n) { return has(n, "love") || has(n, "loved"); });
    QCOMPARE(int(wildcard.resultVerses().size()), expected);
    QCOMPARE(s.frame()->messageField()->text(),
             QString("%1 verses found containing \"lov*\"").arg(expected));
    // Sound-alike: luv sounds like love, live and (John 3:16) life; a different word lists anew;
    // none selected closes without a search.
    TPhoneticListDlg phonetic(s.passage(), s.frame(), s.module(), QString());
    phonetic.show();
    QCOMPARE(listed(&phonetic, "luv"), (QStringList{"life", "live", "love"}));
    const QStringList teeth = listed(&phonetic, "teath");
    QVERIFY(teeth.contains("teeth") && !teeth.contains("live"));
    child<QListWidget>(&phonetic, 10035)->clearSelection();
    pressOk(&phonetic);
    QVERIFY(!phonetic.isVisible() && phonetic.resultVerses().empty());
    // Search takes the selection; its Wildcard button opens the word list.
    s.passage()->showPassage(Reference{0, 1, 1});
    s.passage()->selectWords(2, 3);  // "the beginning" (Strong's hidden)
    QString phrase;
    const auto searchCommand = [&s] { return dispatchCommandFrom(s.passage(), CmSearch); };
    QVERIFY(test::runDialog("3000", searchCommand,
                            [&](QDialog* d) { phrase = child<QLineEdit>(d, 10019)->text(); }));
    QCOMPARE(phrase, QString("the beginning"));
    bool seen = false;
    test::onDialog(
        "3000", [](QDialog* d) { child<QPushButton>(d, 306)->click(); }, &seen);
    QVERIFY(test::runDialog("3006", searchCommand));
    // Topic search: John 3:16, Genesis 1:1, a book beyond the module and a partial record.
    test::Dict topics(new_dict("topics.dic", "Topics", 101, 0));
    store(topics.get(), "Faith", {42, 3, 16, 0, 1, 1, 90, 1, 1, 0, 2});
    TSearchDlg search(s.passage(), s.frame(), s.module(), topics.get(), s.app->options(),
                      Reference{}, {}, "All Books");
    search.show();
    QTest::qWait(30);
    search.topicList()->setCurrentIndex(search.topicList()->findText("Faith"));
    QCOMPARE(search.kind(), int(kKindTopic));
    pressOk(&search);
    QCOMPARE(s.frame()->versesFoundEntries(), (QStringList{"Genesis 1:1", "John 3:16"}));
    QCOMPARE(s.frame()->messageField()->text(), QString("2 verses found containing \"Faith\""));
  }

  void theLastSearchIsRestoredAndDamagedRecordsOpenCleared() {
    test::MessageBoxWatcher boxes;
    Started s(data_->path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    auto first = openSearch(s);
    first->expression()->setText("glove or teeth");
    check(first.get(), 10002);
    pressOk(first.get());
    // Reopened: the expression selected in its field, the scope kept.
    auto again = openSearch(s);
    QCOMPARE(again->kind(), int(kKindExpression));
    QCOMPARE(again->expression()->selectedText(), QString("glove or teeth"));
    QVERIFY(checked(again.get(), 10002));
    // Words with their operators.
    again->word(0)->setText("love");
    again->word(1)->setText("teeth");
    child<QRadioButton>(again.get(), 10024)->click();
    check(again.get(), 10005);
    pressOk(again.get());
    auto third = openSearch(s);
    QCOMPARE(third->kind(), int(kKindWords));
    QCOMPARE(third->word(1)->text(), QString("teeth"));
    QVERIFY(checked(third.get(), 10024) && checked(third.get(), 10028) &&
            checked(third.get(), 10005));
    // A verse.
    chooseBook(third.get(), 2);
    third->chapterList()->setEditText("4");
    QTest::qWait(30);
    pressOk(third.get());
    auto fourth = openSearch(s);
    QCOMPARE(fourth->kind(), int(kKindVerse));
    QCOMPARE(fourth->bookList()->currentIndex(), 2);
    QCOMPARE(fourth->chapterList()->currentText(), QString("4"));
    fourth->phrase()->setText("saith love");
    pressOk(fourth.get());
    // Reopened on the phrase; a selection that is no number replaces it.
    QCOMPARE(openSearch(s)->phrase()->text(), QString("saith love"));
    QCOMPARE(openSearch(s, "  living \n  water. ")->phrase()->selectedText(),
             QString("living water"));
    QCOMPARE(openSearch(s, "3 16")->phrase()->text(), QString("saith love"));

    // A damaged record (a kind past the last) opens the dialog cleared; OK stores a sound one.
    std::vector<std::uint8_t> damaged =
        SearchRecord{.scope = 10005, .topic = {}, .text = "love", .words = {}, .kind = 4}.encode();
    le::store32(&damaged[280], 5);
    store(s.app->options(), "SRCHDLG", damaged);
    auto dialog = openSearch(s);
    QCOMPARE(dialog->kind(), int(kKindPhrase));
    QVERIFY(dialog->expression()->text().isEmpty() && dialog->phrase()->text().isEmpty());
    dialog->phrase()->setText("teeth");
    pressOk(dialog.get());
    QVERIFY(SearchRecord::decode(item(s.app->options(), "SRCHDLG")));
  }

  void bookSetsFilterResultsAndSurviveARestart() {
    test::MessageBoxWatcher boxes;
    {
      Started s(data_->path());
      QVERIFY(test::waitFor([&] { return s.ready(); }));
      QCOMPARE(s.frame()->client()->bookSetCommand(), 309);  // absent at start: stored at once
      QCOMPARE(item(s.app->options(), "WHICHBOOKS").size(), std::size_t{4});
      QCOMPARE(item(s.app->options(), "SEARCHBOOKS").size(), std::size_t{8000});
      s.passage()->setFocus();
      TMyMDIClient* client = s.frame()->client();
      const auto books = [&](std::function<void(QDialog*)> act) {
        QVERIFY(test::runDialog(
            "3007", [&] { return dispatchCommandFrom(s.passage(), 310); }, act));
      };
      // Exclude All then OK: the message, the dialog stays; Cancel: nothing changed.
      books([](QDialog* dialog) {
        child<QPushButton>(dialog, 11067)->click();
        QVERIFY(!child<QCheckBox>(dialog, 11021)->isChecked());
        pressOk(dialog);
        QVERIFY(dialog->isVisible());
      });
      QCOMPARE(boxes.texts.size(), 1);
      QCOMPARE(client->bookSetCommand(), 309);
      // Exclude All, two books, OK: Specific Books with just those.
      books([](QDialog* dialog) {
        child<QPushButton>(dialog, 11067)->click();
        child<QCheckBox>(dialog, 11018)->setChecked(true);
        child<QCheckBox>(dialog, 11042)->setChecked(true);
        pressOk(dialog);
      });
      QCOMPARE(client->bookSetCommand(), 310);
      QCOMPARE(
          (std::vector{client->bookFlags()[0], client->bookFlags()[18], client->bookFlags()[42]}),
          (std::vector{0u, 1u, 1u}));
      QCOMPARE(le::load32(&item(s.app->options(), "SEARCHBOOKS")[18 * 4]), 1u);
      // Include All checks every box.
      books([](QDialog* dialog) {
        child<QPushButton>(dialog, 11066)->click();
        QVERIFY(child<QCheckBox>(dialog, 11000)->isChecked());
        pressOk(dialog);
      });
      QCOMPARE(client->bookFlags()[0], 1u);
      QVERIFY(dispatchCommandFrom(s.passage(), 315));
      s.frame()->updateCommandStates();
      QVERIFY(s.frame()->action(315)->isChecked() && !s.frame()->action(309)->isChecked());
      auto dialog = openSearch(s);
      dialog->phrase()->setText("love");
      pressOk(dialog.get());
      const int expected = countVerses([&](int n) {
        const int book = verseToReference(std::uint16_t(n), s.module()).book;
        return book >= 17 && book <= 21 && has(n, "love");
      });
      QVERIFY(expected > 0);
      QCOMPARE(s.frame()->versesFound()->count(), expected);
      // Restricted to the verses found: teeth within the Poetry result of love.
      s.frame()->client()->setBookSet(309, bookSetFlags(309));
      auto within = openSearch(s);
      within->phrase()->setText("teeth");
      check(within.get(), 10002);
      pressOk(within.get());
      for (const QString& entry : s.frame()->versesFoundEntries()) {
        Reference r;
        QVERIFY(parseReference(&r, entry.toUtf8().constData(), s.module()));
        QVERIFY2(r.book >= 17 && r.book <= 21, qPrintable(entry));
      }
      QVERIFY(dispatchCommandFrom(s.passage(), 312));
      s.frame()->close();
    }
    // Each start: what it finds, then what it leaves the next start (a set of no number; a
    // specific set whose flags are too short).
    const std::vector<std::uint8_t> unknown{0xE7, 0x03, 0, 0}, specific{0x36, 0x01, 0, 0};
    for (int start = 0; start < 3; ++start) {
      Started s(data_->path());
      QVERIFY(test::waitFor([&] { return s.searchSeen && s.passage() && s.passage()->hasText(); }));
      const auto& flags = s.frame()->client()->bookFlags();
      QCOMPARE(s.frame()->client()->bookSetCommand(), start == 0 ? 312 : 309);
      QCOMPARE(le::load32(item(s.app->options(), "WHICHBOOKS").data()), start == 0 ? 312u : 309u);
      QVERIFY(start > 0 || (flags[38] == 0 && flags[39] == 1));
      QCOMPARE(item(s.app->options(), "SEARCHBOOKS").size(), std::size_t{8000});
      store(s.app->options(), "WHICHBOOKS", start == 0 ? unknown : specific);
      if (start > 0) store(s.app->options(), "SEARCHBOOKS", std::vector<std::uint8_t>(100, 1));
      s.frame()->close();
    }
  }
};

QTEST_MAIN(SearchDlgTest)
#include "search_dlg_test.moc"
