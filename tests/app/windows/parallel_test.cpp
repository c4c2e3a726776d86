// Translations side by side: linked Bible windows and the parallel view.
#include "app/windows/parallel.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QtTest>
#include <map>

#include "app/dialog_base.h"
#include "app/frame.h"
#include "app/main_app.h"
#include "app/session.h"
#include "app/windows/passage.h"
#include "tests/app/app_fixtures.h"
#include "tests/app/fakes.h"

using namespace vellum;
using namespace vellum::ui;

namespace {

// A third translation whose John 3 runs to 17 verses (the fixture KJV's to 36, the WEB's to 2)
// and which has a John 4 the WEB lacks.
std::string thirdVersionText() {
  std::string text = "John\t1\t1\tThird one.\nJohn\t2\t1\tThird two.\n";
  for (int verse = 1; verse <= 17; ++verse)
    text += "John\t3\t" + std::to_string(verse) + "\tThird three.\n";
  return text + "John\t4\t1\tThird four.\nJohn\t4\t2\tThird four again.\n";
}

struct Data : test::AppData {
  Data() { test::buildModule(dir().path(), "third.bib", "Third Version", thirdVersionText()); }
};

// Runs Go to on the active window with this typed reference.
void goTo(const char* typed) {
  QVERIFY(test::runDialog(
      "3010", [] { return dispatchCommand(CmGoto); },
      [typed](QDialog* d) {
        test::child<QLineEdit>(d, 10018)->setText(typed);
        static_cast<TOkCancelHelpDlg*>(d)->CmOk();
      }));
}

void activate(TMyMDIClient* client, QWidget* window) {
  client->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window->parentWidget()));
  window->window()->activateWindow();
  window->setFocus();
  QVERIFY(test::waitFor([&] { return QApplication::focusWidget() == window; }));
}

}  // namespace

class ParallelTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { test::forgetSettings(); }
  void cleanup() { test::stopDialogPollers(); }

  void linkedWindowsFollowTheActiveOneOnceEach() {
    Data data;
    test::StartedProgram s(data.path(), {}, true);
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TMyMDIClient* client = s.frame()->client();
    TPassage* kjv = s.passage();
    TPassage* web = s.app->openBibleWindow(test::bibleNamed("web.bib"));
    TPassage* third = s.app->openBibleWindow(test::bibleNamed("third.bib"));
    QVERIFY(test::waitFor([&] { return web && third && web->hasText() && third->hasText(); }));
    activate(client, kjv);
    QVERIFY(dispatchCommand(CmLinkWindows));
    std::map<TPassage*, int> shown;  // how often each window showed a passage since the reset
    for (TPassage* w : {kjv, web, third})
      QObject::connect(w, &TPassage::passageShown, [&shown, w] { ++shown[w]; });
    goTo("joh 3:2");  // each follows once, with no loop back
    QCOMPARE(kjv->windowTitle(), QString("John 3:2 - King James Version"));
    QCOMPARE(web->windowTitle(), QString("John 3:2 - World English Bible"));
    QCOMPARE(third->windowTitle(), QString("John 3:2 - Third Version"));
    QCOMPARE((std::vector{shown[kjv], shown[web], shown[third]}), (std::vector{1, 1, 1}));

    // John 4, which the WEB lacks: the WEB stays and says so.
    activate(client, third);
    shown.clear();
    QVERIFY(dispatchCommand(CmNextChapter));
    QCOMPARE(third->windowTitle(), QString("John 4:1 - Third Version"));
    QCOMPARE(kjv->windowTitle(), QString("John 4:1 - King James Version"));
    QCOMPARE(web->windowTitle(),
             QString("John 3:2 - World English Bible [John 4:1: not in this translation]"));
    QCOMPARE(web->currentReference(), (Reference{1, 3, 2}));
    QVERIFY(s.frame()->statusText().contains("John 4:1 is not in World English Bible"));
    QCOMPARE((std::vector{shown[kjv], shown[third], shown[web]}), (std::vector{1, 1, 0}));

    activate(client, kjv);  // stepping through the verses found
    const std::vector<std::uint16_t> found = {referenceToVerse(Reference{42, 3, 1}, kjv->module()),
                                              referenceToVerse(Reference{42, 3, 16}, kjv->module()),
                                              kVerseListEnd};
    s.frame()->showVersesFound(found.data(), 2, false, "love", kjv->module());
    QVERIFY(test::waitFor([&] { return web->windowTitle() == "John 3:1 - World English Bible"; }));
    QCOMPARE(third->windowTitle(), QString("John 3:1 - Third Version"));
    shown.clear();
    QVERIFY(dispatchCommand(CmNextFound));
    QVERIFY(test::waitFor([&] { return kjv->windowTitle() == "John 3:16 - King James Version"; }));
    QCOMPARE(third->windowTitle(), QString("John 3:16 - Third Version"));
    QVERIFY(web->windowTitle().endsWith("[John 3:16: not in this translation]"));
    for (auto [window, times] : shown) QVERIFY(times <= 1);

    // A click on verse 2's words in the WEB selects John 3:2 in the others.
    activate(client, web);
    web->showPassage(Reference{1, 3, 1});
    int wordOfVerse2 = 0;
    while (web->verseOfWord(wordOfVerse2) != 2) ++wordOfVerse2;
    const QPoint at = web->wordRect(wordOfVerse2 + 1).center() - QPoint(0, web->position());
    QTest::mouseClick(web->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(kjv->windowTitle(), QString("John 3:2 - King James Version"));
    QCOMPARE(third->windowTitle(), QString("John 3:2 - Third Version"));
    QCOMPARE(kjv->verseOfWord(kjv->selectionFirst()), 2);
    QCOMPARE(web->windowTitle(), QString("John 3:1 - World English Bible"));

    // Unlinked, the others stay.
    QVERIFY(dispatchCommand(CmLinkWindows));
    QVERIFY(!rememberedLinkedWindows());
    web->showPassage(Reference{0, 1, 1});
    QVERIFY(dispatchCommand(CmNextChapter));
    QCOMPARE(kjv->windowTitle(), QString("John 3:2 - King James Version"));
  }

  void theParallelViewAlignsCopiesAndSteps() {
    Data data;
    QStringList names;
    {
      test::StartedProgram s(data.path(), {}, true);
      QVERIFY(test::waitFor([&] { return s.ready(); }));
      TMyMDIClient* client = s.frame()->client();
      s.passage()->showPassage(Reference{42, 3, 16});

      // OK only for two to four translations; the active one first.
      QVERIFY(test::runDialog(
          "1010", [] { return dispatchCommand(CmParallelWindow); },
          [](QDialog* dialog) {
            auto* list = dialog->findChild<QListWidget*>("11069");
            auto* ok = static_cast<TOkCancelHelpDlg*>(dialog)->okButton();
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->item(0)->text(), QString("King James Version"));
            QVERIFY(!ok->isEnabled());
            for (int i = 1; i < 3; ++i) list->item(i)->setCheckState(Qt::Checked);
            QVERIFY(ok->isEnabled());
            static_cast<TOkCancelHelpDlg*>(dialog)->CmOk();
          }));
      TParallelView* view = client->activeParallel();
      QVERIFY(view && test::waitFor([&] { return view->rowCount() > 0; }));
      QCOMPARE(view->windowTitle(), QString("John 3:16 - Parallel Translations"));
      QCOMPARE(view->selectionAnchor(), 15);
      // One row per verse up to the KJV's 36; shorter ones leave empty cells, rows aligned.
      QCOMPARE(view->rowCount(), 36);
      names = QStringList{view->columnName(0), view->columnName(1), view->columnName(2)};
      const int kjvColumn = 0, webColumn = int(names.indexOf("World English Bible"));
      const int thirdColumn = 3 - webColumn;
      QCOMPARE(names[0], QString("King James Version"));
      QCOMPARE(names[thirdColumn], QString("Third Version"));
      QVERIFY(view->cellText(15, kjvColumn).startsWith("16 For God so loved the world"));
      QCOMPARE(view->cellText(1, webColumn),
               QString("2 For God so loved the world, that he gave his one and only Son."));
      QCOMPARE(view->cellText(15, webColumn), QString());
      QCOMPARE(view->cellText(16, thirdColumn), QString("17 Third three."));
      QCOMPARE(view->cellText(17, thirdColumn), QString());
      for (int r = 0; r < view->rowCount(); ++r) {
        QCOMPARE(view->cellRect(r, webColumn).top(), view->cellRect(r, kjvColumn).top());
        if (r > 0) QVERIFY(view->cellRect(r, 0).top() >= view->cellRect(r - 1, 0).bottom());
      }

      // Copy: each selected verse of each translation on a named line.
      view->selectRows(2, 1);
      QVERIFY(dispatchCommandFrom(view, CmEditCopy));
      const QStringList lines = QApplication::clipboard()->text().split("\r\n");
      QCOMPARE(lines.size(), 7);
      QVERIFY(lines[0].startsWith("John 3:2 (King James Version) "));
      QVERIFY(
          lines.contains("John 3:2 (World English Bible) For God so loved the world, that he "
                         "gave his one and only Son."));
      QVERIFY(lines.contains("John 3:3 (World English Bible) (not in this translation)"));
      QVERIFY(lines.contains("John 3:3 (Third Version) Third three."));
      QCOMPARE(lines[6], QString());

      activate(client, view);
      QVERIFY(dispatchCommand(CmToggleStrongs));  // the KJV's column shows Strong's numbers
      QVERIFY(view->cellText(15, kjvColumn).startsWith("16 For 1063 God 2316 so 3779 loved 25"));
      QVERIFY(dispatchCommand(CmToggleStrongs));
      QVERIFY(dispatchCommand(CmNextChapter));
      QCOMPARE(view->windowTitle(), QString("John 4:1 - Parallel Translations"));
      QCOMPARE(view->rowCount(), 54);
      QCOMPARE(view->cellText(1, thirdColumn), QString("2 Third four again."));
      QCOMPARE(view->cellText(0, webColumn), QString());
      goTo("genesis 1:2");
      QCOMPARE(view->windowTitle(), QString("Genesis 1:2 - Parallel Translations"));
      QCOMPARE(view->selectionAnchor(), 1);
      QCOMPARE(view->cellText(1, webColumn), QString("2 The earth was formless and empty."));
      QCOMPARE(view->cellText(1, thirdColumn), QString());

      // Linked, a Bible window moves the view and a row clicked in the view moves the window.
      client->setLinked(true);
      TPassage* kjv = client->passages().front();
      client->showLinked(kjv, Reference{42, 3, 5}, kjv->module());
      QCOMPARE(view->windowTitle(), QString("John 3:5 - Parallel Translations"));
      activate(client, view);
      const QRect row8 = view->cellRect(7, 0);
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                        QPoint(row8.center().x(), row8.top() + 2 - view->position()));
      QCOMPARE(view->selectionAnchor(), 7);
      QCOMPARE(kjv->windowTitle(), QString("John 3:8 - King James Version"));

      s.frame()->close();  // the session keeps the view, its place and the link setting
    }
    test::StartedProgram again(data.path(), {}, true, true);
    TMyMDIClient* client = again.frame()->client();
    QVERIFY(test::waitFor([&] { return client->parallelViews().size() == 1; }));
    TParallelView* restored = client->parallelViews().front();
    QCOMPARE(restored->windowTitle(), QString("John 3:5 - Parallel Translations"));
    for (int c = 0; c < 3; ++c) QCOMPARE(restored->columnName(c), names[c]);
    QCOMPARE(restored->selectionAnchor(), 7);
    QVERIFY(client->linked() && client->passages().size() == 1);
  }
};

QTEST_MAIN(ParallelTest)
#include "parallel_test.moc"
