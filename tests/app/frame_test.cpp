// The main window and the application object, started as the program starts on a data
// directory: start-up and the frame's layout, the routing of commands end to end, the
// verses-found box and stepping, the Strong's toggle, the session and placement with the
// records it keeps, and the bad inputs start-up must survive.
#include "app/frame.h"

#include <QApplication>
#include <QDialog>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QtTest>
#include <cstdlib>
#include <filesystem>

#include "app/config.h"
#include "app/main_app.h"
#include "app/profile.h"
#include "app/session_record.h"
#include "app/window_utils.h"
#include "app/windows/hilight.h"
#include "app/windows/passage.h"
#include "app/windows/search_record.h"
#include "tests/app/app_fixtures.h"
#include "tests/app/fakes.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

// Starts the program on a data directory; the search dialog a first Bible window opens is
// cancelled every time it shows.
struct Started : test::StartedProgram {
  explicit Started(const std::string& dir, std::vector<std::string> arguments = {},
                   bool keepSession = false)
      : StartedProgram(dir, std::move(arguments), true, keepSession) {}
  bool focus(QWidget* widget) {
    widget->setFocus();
    return test::waitFor([widget] { return QApplication::focusWidget() == widget; });
  }
  QStringList entries() const { return frame()->versesFoundEntries(); }
  void show(std::initializer_list<const char*> references, bool restrict, const char* text) {
    std::vector<Reference> found;
    for (const char* reference : references) found.push_back(test::parse(reference, module()));
    frame()->showReferencesFound(found.data(), std::uint16_t(found.size()), restrict, text,
                                 module());
  }
};

}  // namespace

class FrameTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { test::forgetSettings(); }
  void cleanup() { test::stopDialogPollers(); }

  // The default translation at its first verse, the frame at four fifths of the screen's free
  // area; the message field stays on the tool bar; new and cascaded windows stay readable. A
  // closed dialog gives the keys back to the Bible window; the Strong's toggle follows the
  // module of the active window, which opens maximised when the window before it was.
  void startUpTheFrameLayoutAndTheStrongsToggle() {
    test::AppData data;
    test::buildReferenceWorks(data.dir().path());
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    QCOMPARE(s.caption(), QString("Genesis 1:1 - King James Version"));
    QCOMPARE(s.entries(), QStringList{"Genesis 1:1"});
    QCOMPARE(s.frame()->messageField()->text(), QString("1 verse found containing \"\""));
    QCOMPARE(s.frame()->size(), s.frame()->screen()->availableGeometry().size() * 4 / 5);
    QCOMPARE(s.passage()->parentWidget()->windowIcon().pixmap(16).toImage(),
             programIcon().pixmap(16).toImage());
    QVERIFY(s.frame()->findChild<QMenu*>("HilightMenu")->menuAction()->isVisible());
    QCOMPARE(QString(s.app->dataPath().c_str()).left(5), QString(".;./;"));

    QLabel* field = s.frame()->messageField();
    field->setText("31102 verses found containing \"" + QString(60, 'x') + "\"");
    s.frame()->resize(800, 600);
    QVERIFY(test::waitFor([&] { return s.frame()->width() == 800; }));
    // On the bar, not in its overflow menu, taking the width the bar has left.
    QVERIFY(field->isVisible() && field->width() >= 100);
    QVERIFY(field->geometry().right() <= field->parentWidget()->width());
    QWidget* client = s.frame()->client()->viewport();
    const auto readableInside = [client](QMdiSubWindow* sub) {
      const QSize twoThirds = client->size() * 2 / 3;
      return client->rect().contains(sub->geometry()) &&
             std::abs(sub->width() - twoThirds.width()) <= 1 &&
             std::abs(sub->height() - twoThirds.height()) <= 1;
    };
    for (int i = 0; i < 4; ++i) {
      QVERIFY(dispatchCommand(CmNewWindow));
      QVERIFY(readableInside(s.frame()->client()->activeSubWindow()));
    }
    QVERIFY(dispatchCommand(CmCascade));
    const QList<QMdiSubWindow*> stack = s.frame()->client()->subWindowList(QMdiArea::StackingOrder);
    for (QMdiSubWindow* sub : stack) QVERIFY(readableInside(sub));
    QVERIFY(stack.at(1)->pos().x() > stack.at(0)->pos().x());
    QVERIFY(stack.at(1)->pos().y() > stack.at(0)->pos().y());

    TPassage* kjv = s.passage();
    QVERIFY(s.focus(kjv));
    QVERIFY(test::runDialog("8003", [] { return dispatchCommand(CmCommentary); }));
    QVERIFY(test::waitFor([&] { return QApplication::focusWidget() == kjv; }));
    QCOMPARE(queryCommand(CmToggleStrongs).text, QString("Display Strongs Numbers"));
    QVERIFY(dispatchCommand(CmToggleStrongs));
    QVERIFY(QString::fromStdString(kjv->text()).contains("7225"));
    QCOMPARE(queryCommand(CmToggleStrongs).text, QString("Hide Strongs Numbers"));
    kjv->parentWidget()->showMaximized();
    TPassage* second = s.app->openBibleWindow(test::bibleNamed("web.bib"));
    QVERIFY(second && second->parentWidget()->isMaximized());
    QVERIFY(s.focus(second));
    QVERIFY(!queryCommand(CmToggleStrongs).enabled);
  }

  // From the Bible window, from the menu bar worked from the keyboard and from the verses-found
  // box, each command reaches the handler the command table names. Chapters step to the
  // module's ends; the box takes the verses found in the book set, or only those it already
  // holds, and steps through them, its ends disabling their buttons.
  void commandsRouteAndTheVersesFoundBoxFiltersAndSteps() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }));
    TPassage* passage = s.passage();
    const Reference chapter = passage->currentReference();
    struct Case {
      QWidget* focus;
      int command;
      int word;  // the word highlighted
      int code;  // its highlight code afterwards
    };
    const Case hilights[] = {{passage, CmHilightRed, 2, 0},
                             {s.frame()->menuBar(), CmHilightGreen, 3, 2},
                             {s.frame()->versesFound(), CmHilightBlue, 4, 1},
                             {s.frame()->versesFound(), CmUnhilight, 2, 4}};
    for (const Case& c : hilights) {
      passage->selectWords(c.word, c.word);
      QVERIFY(s.focus(c.focus));
      QVERIFY2(queryCommand(c.command).enabled, qPrintable(QString::number(c.command)));
      QVERIFY(dispatchCommand(c.command));
      QCOMPARE(passage->hilight()->getHilight(chapter, c.word), c.code);
    }
    // From the box: the window's enablers (Copy follows its text, the Strong's look-up the
    // lexicon, which this directory lacks), the client's commands, the arrangements posted.
    QVERIFY(queryCommand(CmEditCopy).enabled && queryCommand(CmSearch).enabled);
    QVERIFY(!queryCommand(CmStrongsLookup).enabled);
    QVERIFY(queryCommand(CmNextChapter).enabled && !queryCommand(CmPrevChapter).enabled);
    QVERIFY(queryCommand(CmHelpContents).enabled);
    QVERIFY(dispatchCommand(CmNextChapter));
    QVERIFY(test::waitFor([&] { return s.caption() == "Genesis 2:1 - King James Version"; }));
    passage->parentWidget()->showMaximized();
    QVERIFY(s.focus(s.frame()->versesFound()));
    QVERIFY(dispatchCommand(CmCascade));
    QVERIFY(test::waitFor([&] { return !passage->parentWidget()->isMaximized(); }));
    const auto enabled = [&s](int command) {
      s.frame()->updateCommandStates();
      return s.frame()->action(command)->isEnabled();
    };
    // The current book set carries the check mark.
    QVERIFY(s.frame()->action(CmAllBooks)->isChecked() && !s.frame()->action(312)->isChecked());

    passage->showPassage(Reference{0, 50, 3});
    QVERIFY(dispatchCommandFrom(passage, CmNextChapter));
    QVERIFY(test::waitFor([&] { return s.caption() == "Exodus 1:1 - King James Version"; }));
    passage->showPassage(Reference{65, 22, 1});
    QVERIFY(!enabled(CmNextChapter) && enabled(CmPrevChapter));

    s.frame()->client()->setBookSet(312, bookSetFlags(312));  // the New Testament (books 39 on)
    s.show({"Genesis 1:3", "Exodus 2:2", "Matthew 1:1", "John 3:16", "Revelation 22:21"}, false,
           "love");
    QCOMPARE(s.entries(), (QStringList{"Matthew 1:1", "John 3:16", "Revelation 22:21"}));
    QCOMPARE(s.frame()->messageField()->text(), QString("3 verses found containing \"love\""));
    QVERIFY(test::waitFor([&] { return s.caption() == "Matthew 1:1 - King James Version"; }));
    QVERIFY(!enabled(CmPrevFound) && enabled(CmNextFound));
    QVERIFY(dispatchCommandFrom(passage, CmNextFound));
    QCOMPARE(s.frame()->versesFound()->currentIndex(), 1);
    QVERIFY(test::waitFor([&] { return s.caption() == "John 3:16 - King James Version"; }));
    s.frame()->versesFound()->setCurrentIndex(2);
    QVERIFY(!enabled(CmNextFound) && enabled(CmPrevFound));
    // Restricted to the verses found: only those already in the box.
    s.frame()->client()->setBookSet(309, bookSetFlags(309));
    s.show({"Genesis 1:3", "John 3:16", "Revelation 22:21"}, true, "world");
    QCOMPARE(s.entries(), (QStringList{"John 3:16", "Revelation 22:21"}));
    // A search text that is itself a reference, with one verse: shown, the box kept.
    s.show({"Exodus 2:2"}, false, "Exodus 2:2");
    QVERIFY(test::waitFor([&] { return s.caption() == "Exodus 2:2 - King James Version"; }));
    QCOMPARE(s.entries(), (QStringList{"John 3:16", "Revelation 22:21"}));
    // Nothing found: the message box and the message field, the box empty.
    s.frame()->client()->setBookSet(313, bookSetFlags(313));
    QString message;
    test::answerMessageBox(&message);
    s.show({"John 3:16"}, false, "loved");
    QVERIFY(message.startsWith("I'm sorry but no verses were found containing \"loved\". Try"));
    QCOMPARE(s.frame()->messageField()->text(), message);
    QCOMPARE(s.frame()->versesFound()->count(), 0);
  }

  // The Bible windows at exit come back at the next start, with their passage, selection,
  // Strong's numbers, place and size, and the one that was active; so does the frame's
  // placement, unless it was closed minimised.
  void theSessionAndPlacementAreRememberedAndOpenedAgain() {
    test::AppData data;
    const auto shownBy = [](TMyMDIClient* client) {
      QStringList shown;
      for (TPassage* p : client->passages())
        shown << QString("%1 %2-%3 %4 %5 %6")
                     .arg(p->windowTitle())
                     .arg(p->selectionAnchor())
                     .arg(p->selectionEnd())
                     .arg(getStrongs(p->module()))
                     .arg(p->parentWidget()->width())
                     .arg(p->parentWidget()->x());
      shown.sort();
      return shown;
    };
    QStringList before;
    {
      Started s(data.path());
      QVERIFY(test::waitFor([&] { return s.ready(); }));
      s.frame()->setGeometry(40, 50, 700, 500);
      QVERIFY(test::waitFor([&] { return s.frame()->geometry() == QRect(40, 50, 700, 500); }));
      QVERIFY(dispatchCommand(CmToggleStrongs));
      s.passage()->showPassage(Reference{42, 3, 2});
      s.passage()->selectWords(3, 5);
      TPassage* second = s.app->openBibleWindow(test::bibleNamed("web.bib"));
      second->showPassage(Reference{42, 1, 1});
      second->parentWidget()->setGeometry(30, 20, 400, 300);
      s.frame()->client()->setActiveSubWindow(
          qobject_cast<QMdiSubWindow*>(s.frame()->client()->passages().front()->parentWidget()));
      before = shownBy(s.frame()->client());
      s.frame()->close();
    }
    {
      Started s(data.path(), {}, true);
      QVERIFY(test::waitFor([&] { return s.frame()->client()->passages().size() == 2; }));
      QCOMPARE(s.frame()->size(), QSize(700, 500));
      QCOMPARE(shownBy(s.frame()->client()), before);
      QCOMPARE(s.caption(), QString("John 3:2 - King James Version"));
      QCOMPARE(s.frame()->versesFound()->currentText(), QString("John 3:2"));
      test::waitFor([] { return false; }, 300);
      QVERIFY(!s.searchSeen);  // a restored start opens no search dialog
      s.frame()->resize(800, 600);
      s.frame()->showMinimized();
      s.frame()->close();
    }
    QCOMPARE(getPrivateProfileInt("WindowPos", "Xext", 0, kIniFile), 700u);
    // A translation that is gone is left out; closed with no window, nothing is remembered.
    fs::remove(data.dir().file("web.bib"));
    {
      Started s(data.path(), {}, true);
      QVERIFY(test::waitFor([&] { return s.passage() != nullptr; }));
      QCOMPARE(s.frame()->client()->passages().size(), 1);
      QCOMPARE(s.caption(), QString("John 3:2 - King James Version"));
      s.frame()->client()->closeAllSubWindows();
      s.frame()->close();
    }
    QCOMPARE(getPrivateProfileInt("SESSION", "WINDOWS", 0, kIniFile), 0u);
    // A damaged record: the start is a first start.
    QVERIFY(writePrivateProfileString("SESSION", "WINDOWS", "1", kIniFile));
    QVERIFY(writePrivateProfileString("SESSION", "WINDOW1", "42,99,2,-1,-1,0,0,0,0,4,3,0,kjv.bib",
                                      kIniFile));
    Started s(data.path(), {}, true);
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    QCOMPARE(s.caption(), QString("Genesis 1:1 - King James Version"));
  }

  void sessionRecordsRoundTripAndDamagedOnesAreRefused() {
    const std::string text = "42,3,16,3,9,-1,1,-20,0,640,480,1,web, 2nd.bib";
    const std::optional<SessionRecord> record = parseSessionRecord(text);
    QVERIFY(record && record->reference.verse == 16 && record->selectionEnd == 9 &&
            record->strongs && record->x == -20 && record->height == 480 && record->state == 1);
    QCOMPARE(record->file, std::string("web, 2nd.bib"));
    QCOMPARE(formatSessionRecord(*record), text);
    // Damaged: eleven numbers, no file, a book past 255, state 3, a path; a carriage return or a
    // blank at the end of the file name could not be written back, so the window was lost.
    for (const char* damaged :
         {"1,1,1,-1,-1,-1,0,0,0,1,1,kjv.bib", "1,1,1,-1,-1,-1,0,0,0,1,1,0,",
          "256,1,1,-1,-1,-1,0,0,0,1,1,0,kjv.bib", "1,1,1,-1,-1,-1,0,0,0,1,1,3,kjv.bib",
          "1,1,1,-1,-1,-1,0,0,0,1,1,0,../kjv.bib", "1,1,1,-1,-1,-1,0,0,0,1,1,0,kjv.bib\rx",
          "1,1,1,-1,-1,-1,0,0,0,1,1,0,web "})
      QVERIFY2(!parseSessionRecord(damaged).has_value(), damaged);
  }

  // A data directory that does not exist, a highlight store of garbage (highlighting off, the
  // store left alone), a damaged default translation.
  void badInputsStillStartAndLoseNothing() {
    test::AppData data;
    const fs::path store = data.userFile("kjv.hil");
    fs::create_directories(store.parent_path());
    const std::string garbage(300, '\x5a');
    test::writeFile(store, garbage);
    {
      Started s(data.path(), {"/no/such/directory"});
      QVERIFY(test::waitFor([&] { return s.caption() == "Genesis 1:1 - King James Version"; }));
      QVERIFY(s.frame()->width() > 100 && s.passage()->wordCount() > 0);
      QVERIFY(!queryCommandFrom(s.passage(), CmHilightRed).enabled);
      s.passage()->selectWords(1, 1);
      dispatchCommandFrom(s.passage(), CmHilightRed);
    }
    QCOMPARE(test::readFile(store), garbage);
    // A damaged default translation: the message, then "Select Translation" to pick another.
    test::corrupt(data.dir().file("kjv.bib"), 0, 4);
    QString message;
    test::answerMessageBox(&message);
    bool chooserSeen = false;
    test::onDialog(
        "1000", [](QDialog*) {}, &chooserSeen);
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return chooserSeen; }));
    QVERIFY(message.contains("kjv.bib"));
    QVERIFY(s.passage() == nullptr);
  }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
