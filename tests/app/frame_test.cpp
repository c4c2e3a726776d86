// The main window and the application object, started as the program starts on a data
// directory: start-up, command routing, the verses-found box, chapter and found-verse stepping,
// the Strong's toggle, window placement and the bad inputs start-up must survive.
#include "app/frame.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/config.h"
#include "app/main_app.h"
#include "app/profile.h"
#include "app/window_utils.h"
#include "app/windows/hilight.h"
#include "app/windows/passage.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;
namespace fs = std::filesystem;

namespace {

// Starts the application as "<dir>/vellum [args]", so the data directory is the program's;
// the search dialog a first Bible window opens is cancelled every time it shows.
struct Started : test::StartedProgram {
  explicit Started(const std::string& dir, std::vector<std::string> arguments = {},
                   bool keepSession = false)
      : StartedProgram(dir, std::move(arguments), true, keepSession) {}
};

// Answers the next message box with OK and remembers its text and caption.
struct MessageBoxWatcher {
  QString text, caption;
  int seen = 0;
  void arm() {
    QTimer::singleShot(50, [this] { poll(); });
  }
  void poll() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
        text = box->text();
        caption = box->windowTitle();
        ++seen;
        box->accept();
        return;
      }
    }
    QTimer::singleShot(50, [this] { poll(); });
  }
};

// Cancels the next modal dialog with this objectName.
void cancelDialogSoon(const QString& name, bool* seen) {
  QTimer::singleShot(50, [name, seen] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QDialog*>(w);
          dialog && dialog->isVisible() && dialog->objectName() == name) {
        *seen = true;
        dialog->reject();
        return;
      }
    }
    cancelDialogSoon(name, seen);
  });
}

std::vector<std::uint16_t> verseList(std::initializer_list<const char*> refs, BibleHandle* module) {
  std::vector<std::uint16_t> verses;
  for (const char* text : refs) {
    Reference r;
    parseReference(&r, text, module);
    verses.push_back(referenceToVerse(r, module));
  }
  verses.push_back(kVerseListEnd);
  return verses;
}

QStringList boxEntries(TMyMDIFrame* frame) {
  QStringList entries;
  for (int i = 0; i < frame->versesFound()->count(); ++i)
    entries << frame->versesFound()->itemText(i);
  return entries;
}

}  // namespace

class FrameTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    // Every test starts with no initialisation file.
    std::error_code ignored;
    fs::remove(profilePath(kIniFile), ignored);
  }

  void startUpOpensTheDefaultTranslationAtItsFirstVerse() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.caption() == "Genesis 1:1 - King James Version"; }));
    QCOMPARE(s.frame()->windowTitle(), QString("Vellum For Windows"));
    QCOMPARE(boxEntries(s.frame()), QStringList{"Genesis 1:1"});
    QCOMPARE(s.frame()->messageField()->text(), QString("1 verse found containing \"\""));
    // First start: four fifths of the screen's free area, centred on it.
    const QRect area = s.frame()->screen()->availableGeometry();
    QCOMPARE(s.frame()->size(), area.size() * 4 / 5);
    const QPoint off = s.frame()->frameGeometry().center() - area.center();
    QVERIFY(off.manhattanLength() <= s.frame()->frameGeometry().width() - s.frame()->width());
    // The program's icon on the main window and on the Bible window.
    const QImage icon = programIcon().pixmap(16).toImage();
    QVERIFY(!icon.isNull() && icon.pixelColor(8, 8).alpha() == 255);
    QCOMPARE(s.frame()->windowIcon().pixmap(16).toImage(), icon);
    QCOMPARE(s.passage()->parentWidget()->windowIcon().pixmap(16).toImage(), icon);
    // The options store was made in the user's data directory.
    QVERIFY(fs::exists(data.userFile("options.dic")));
    QVERIFY(!fs::exists(data.dir().file("options.dic")));
    QVERIFY(s.app->options());
    // Bible menus are there while a Bible window is active, and only then.
    QVERIFY(s.frame()->findChild<QMenu*>("HilightMenu")->menuAction()->isVisible());
    QCOMPARE(QString(s.app->dataPath().c_str()).left(5), QString(".;./;"));
  }

  void commandsRouteFromTheBibleWindowAndFromTheBox() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }));
    TPassage* passage = s.passage();
    passage->setFocus();
    QVERIFY(test::waitFor([&] {
      return QApplication::focusWidget() == passage ||
             passage->isAncestorOf(QApplication::focusWidget());
    }));
    passage->selectWords(2, 3);
    // From the Bible window: the highlight command reaches the window.
    QVERIFY(queryCommand(CmHilightRed).enabled);
    QVERIFY(dispatchCommand(CmHilightRed));
    const Reference chapter = passage->currentReference();
    // Worked from the keyboard, the menu bar holds the focus; its commands still reach the window.
    s.frame()->menuBar()->setFocus();
    QVERIFY(test::waitFor([&] { return QApplication::focusWidget() == s.frame()->menuBar(); }));
    QVERIFY(queryCommand(CmHilightGreen).enabled);
    passage->setFocus();
    QCOMPARE(passage->hilight()->getHilight(chapter, 2), 0);
    QCOMPARE(passage->hilight()->getHilight(chapter, 3), 0);

    // From the verses-found box: forwarded to the active Bible window, and to the client.
    s.frame()->versesFound()->setFocus();
    QVERIFY(test::waitFor([&] { return QApplication::focusWidget() == s.frame()->versesFound(); }));
    QVERIFY(queryCommand(CmHilightBlue).enabled);
    QVERIFY(dispatchCommand(CmHilightBlue));
    QCOMPARE(passage->hilight()->getHilight(chapter, 2), 1);
    QVERIFY(queryCommand(CmNextChapter).enabled);
    QVERIFY(!queryCommand(CmPrevChapter).enabled);
    QVERIFY(dispatchCommand(CmNextChapter));
    QVERIFY(test::waitFor([&] { return s.caption() == "Genesis 2:1 - King James Version"; }));
    // The search is forwarded to the active Bible window, which offers it.
    QVERIFY(queryCommand(CmSearch).enabled);
    // The box forwards the window's enablers: Copy follows the window's text, and the Strong's
    // look-up the lexicon, which this data directory does not have.
    QVERIFY(queryCommand(CmEditCopy).enabled);
    QVERIFY(!queryCommand(CmStrongsLookup).enabled);
    // Window arrangement is posted to the client from the box.
    QVERIFY(dispatchCommand(CmTile));
    QVERIFY(queryCommand(CmHelpContents).enabled);
  }

  void showVersesFoundFiltersByBookSetAndByTheVersesFoundBefore() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }));
    BibleHandle* module = s.passage()->module();
    auto list = verseList(
        {"Genesis 1:3", "Exodus 2:2", "Matthew 1:1", "John 3:16", "Revelation 22:21"}, module);

    // Book set: the New Testament only (books 39 and on).
    std::array<std::uint32_t, 2000> flags{};
    for (int b = 39; b < 66; ++b) flags[b] = 1;
    s.frame()->client()->setBookSet(312, flags);
    s.frame()->showVersesFound(list.data(), 5, false, "love", module);
    QCOMPARE(boxEntries(s.frame()), (QStringList{"Matthew 1:1", "John 3:16", "Revelation 22:21"}));
    QCOMPARE(s.frame()->messageField()->text(), QString("3 verses found containing \"love\""));
    QVERIFY(test::waitFor([&] { return s.caption() == "Matthew 1:1 - King James Version"; }));

    // Restricted to the verses found: only those already in the box, in the new list's order.
    flags.fill(1);
    s.frame()->client()->setBookSet(309, flags);
    auto narrower = verseList({"Genesis 1:3", "John 3:16", "Revelation 22:21"}, module);
    s.frame()->showVersesFound(narrower.data(), 3, true, "world", module);
    QCOMPARE(boxEntries(s.frame()), (QStringList{"John 3:16", "Revelation 22:21"}));

    // A search text that is itself a reference, with one verse: shown, the box kept.
    auto one = verseList({"Exodus 2:2"}, module);
    s.frame()->showVersesFound(one.data(), 1, false, "Exodus 2:2", module);
    QVERIFY(test::waitFor([&] { return s.caption() == "Exodus 2:2 - King James Version"; }));
    QCOMPARE(boxEntries(s.frame()), (QStringList{"John 3:16", "Revelation 22:21"}));

    // Nothing found: the message box and the message field, the box empty.
    flags.fill(0);
    flags[0] = 1;
    s.frame()->client()->setBookSet(313, flags);
    MessageBoxWatcher watcher;
    watcher.arm();
    auto nt = verseList({"John 3:16"}, module);
    s.frame()->showVersesFound(nt.data(), 1, false, "loved", module);
    QCOMPARE(watcher.seen, 1);
    QCOMPARE(watcher.caption, QString("No verses found"));
    QVERIFY(
        watcher.text.startsWith("I'm sorry but no verses were found containing \"loved\". Try"));
    QCOMPARE(s.frame()->messageField()->text(), watcher.text);
    QCOMPARE(s.frame()->versesFound()->count(), 0);
  }

  void steppingChaptersAndFoundVersesEnablesTheButtonsAtBothEnds() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }));
    TPassage* passage = s.passage();
    passage->setFocus();
    BibleHandle* module = passage->module();

    // Chapters: the module's first and last chapters disable their buttons.
    s.frame()->updateCommandStates();
    QVERIFY(!s.frame()->action(CmPrevChapter)->isEnabled());
    QVERIFY(s.frame()->action(CmNextChapter)->isEnabled());
    passage->showPassage(Reference{0, 50, 3});
    QVERIFY(dispatchCommandFrom(passage, CmNextChapter));
    QVERIFY(test::waitFor([&] { return s.caption() == "Exodus 1:1 - King James Version"; }));
    passage->showPassage(Reference{65, 22, 1});
    s.frame()->updateCommandStates();
    QVERIFY(!s.frame()->action(CmNextChapter)->isEnabled());
    QVERIFY(s.frame()->action(CmPrevChapter)->isEnabled());

    // Found verses: entry 3 of 10, next shows entry 4; the ends disable their buttons.
    std::vector<std::uint16_t> list;
    for (std::uint16_t v = 100; v < 110; ++v) list.push_back(v);
    list.push_back(kVerseListEnd);
    s.frame()->showVersesFound(list.data(), 10, false, "ten", module);
    QCOMPARE(s.frame()->versesFound()->count(), 10);
    s.frame()->versesFound()->setCurrentIndex(2);
    QVERIFY(dispatchCommandFrom(passage, CmNextFound));
    QCOMPARE(s.frame()->versesFound()->currentIndex(), 3);
    const QString fourth = s.frame()->versesFound()->itemText(3);
    QVERIFY(test::waitFor([&] { return s.caption() == fourth + " - King James Version"; }));
    s.frame()->versesFound()->setCurrentIndex(9);
    s.frame()->updateCommandStates();
    QVERIFY(!s.frame()->action(CmNextFound)->isEnabled());
    QVERIFY(s.frame()->action(CmPrevFound)->isEnabled());
    s.frame()->versesFound()->setCurrentIndex(0);
    s.frame()->updateCommandStates();
    QVERIFY(!s.frame()->action(CmPrevFound)->isEnabled());
  }

  void strongsToggleFollowsTheModule() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }));
    TPassage* kjv = s.passage();
    kjv->setFocus();
    QVERIFY(test::waitFor([&] { return QApplication::focusWidget() == kjv; }));
    CommandState state = queryCommand(CmToggleStrongs);
    QVERIFY(state.enabled);
    QCOMPARE(state.text, QString("Display Strongs Numbers"));
    QVERIFY(dispatchCommand(CmToggleStrongs));
    QVERIFY(QString::fromStdString(kjv->text()).contains("7225"));
    QCOMPARE(queryCommand(CmToggleStrongs).text, QString("Hide Strongs Numbers"));
    // Highlighting is off while the numbers show.
    QVERIFY(!queryCommand(CmHilightRed).enabled);

    // A translation without numbers: the toggle is disabled. It opens maximised when the
    // active window is.
    kjv->parentWidget()->showMaximized();
    bibleName web{};
    std::strcpy(web.name, "World English Bible");
    std::strcpy(web.path, "web.bib");
    TPassage* second = s.app->openBibleWindow(web);
    QVERIFY(second);
    QVERIFY(second->parentWidget()->isMaximized());
    second->setFocus();
    QVERIFY(test::waitFor([&] { return QApplication::focusWidget() == second; }));
    QVERIFY(!queryCommand(CmToggleStrongs).enabled);
  }

  void placementIsSavedAtCloseAndRestoredAtStart() {
    test::AppData data;
    {
      Started s(data.path());
      QVERIFY(test::waitFor([&] { return s.passage() != nullptr; }));
      s.frame()->setGeometry(40, 50, 700, 500);
      QVERIFY(test::waitFor([&] { return s.frame()->geometry() == QRect(40, 50, 700, 500); }));
      s.frame()->close();
    }
    QCOMPARE(getPrivateProfileInt("WindowPos", "Xext", 0, kIniFile), 700u);
    QCOMPARE(getPrivateProfileInt("WindowPos", "Yext", 0, kIniFile), 500u);
    {
      Started s(data.path());
      QCOMPARE(s.frame()->size(), QSize(700, 500));
      // Restored and closed again, it saves the same four numbers.
      const unsigned x = getPrivateProfileInt("WindowPos", "Xmin", 0, kIniFile);
      const unsigned y = getPrivateProfileInt("WindowPos", "Ymin", 0, kIniFile);
      s.frame()->close();
      QCOMPARE(getPrivateProfileInt("WindowPos", "Xmin", 1, kIniFile), x);
      QCOMPARE(getPrivateProfileInt("WindowPos", "Ymin", 1, kIniFile), y);
      QCOMPARE(getPrivateProfileInt("WindowPos", "Xext", 0, kIniFile), 700u);
    }
    // Closed while minimised: the placement saved before stays.
    {
      Started s(data.path());
      s.frame()->resize(800, 600);
      s.frame()->showMinimized();
      s.frame()->close();
      QCOMPARE(getPrivateProfileInt("WindowPos", "Xext", 0, kIniFile), 700u);
    }
  }

  void theMessageFieldKeepsItsPlaceOnTheToolBar() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    QLabel* field = s.frame()->messageField();
    const QString message = "31102 verses found containing \"" + QString(60, 'x') + "\"";
    field->setText(message);
    for (int width : {800, 1000, 1400}) {
      s.frame()->resize(width, 600);
      QVERIFY(test::waitFor([&] { return s.frame()->width() == width; }));
      QCoreApplication::processEvents();
      // On the bar, not in its overflow menu, taking the width the bar has left.
      QVERIFY2(field->isVisible(), qPrintable(QString::number(width)));
      QVERIFY(field->width() >= 100);
      QWidget* bar = field->parentWidget();
      QVERIFY(field->geometry().right() <= bar->width());
      QCOMPARE(field->text(), message);
    }
  }

  void newAndCascadedWindowsStayReadableInsideTheClient() {
    test::AppData data;
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    for (QSize frameSize : {QSize(1400, 900), QSize(800, 600)}) {
      s.frame()->resize(frameSize);
      QVERIFY(test::waitFor([&] { return s.frame()->size() == frameSize; }));
      QWidget* client = s.frame()->client()->viewport();
      const auto readableInside = [&](QMdiSubWindow* sub) {
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
      for (QMdiSubWindow* sub : s.frame()->client()->subWindowList()) QVERIFY(readableInside(sub));
      // Cascaded: each a step down and right of the one below it.
      const QList<QMdiSubWindow*> stack =
          s.frame()->client()->subWindowList(QMdiArea::StackingOrder);
      QVERIFY(stack.at(1)->pos().x() > stack.at(0)->pos().x());
      QVERIFY(stack.at(1)->pos().y() > stack.at(0)->pos().y());
    }
  }

  void closingTheCommentaryGivesTheKeysBackToTheBibleWindow() {
    test::AppData data;
    test::buildReferenceWorks(data.dir().path());
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return s.ready(); }));
    TPassage* passage = s.passage();
    passage->setFocus();
    QVERIFY(test::waitFor([&] { return QApplication::focusWidget() == passage; }));
    bool seen = false;
    test::onDialog(
        "8003", [](QDialog*) {}, &seen);
    QVERIFY(dispatchCommand(CmCommentary));
    QVERIFY(seen);
    QVERIFY(test::waitFor([&] { return QApplication::focusWidget() == passage; }));
    QVERIFY(queryCommand(CmGoto).enabled);
  }

  // The session: the Bible windows at exit come back at the next start, with their passage,
  // selection, Strong's numbers, place and size, and the one that was active.
  void theSessionIsRememberedAndOpenedAgain() {
    test::AppData data;
    struct Shown {
      QString caption;
      int anchor, end;
      bool strongs;
      QRect geometry;
      bool operator==(const Shown&) const = default;
    };
    const auto shownBy = [](TMyMDIClient* client) {
      std::vector<Shown> shown;
      for (TPassage* passage : client->passages())
        shown.push_back({passage->windowTitle(), passage->selectionAnchor(),
                         passage->selectionEnd(), getStrongs(passage->module()) != 0,
                         passage->parentWidget()->geometry()});
      std::sort(shown.begin(), shown.end(),
                [](const Shown& a, const Shown& b) { return a.caption < b.caption; });
      return shown;
    };
    std::vector<Shown> before;
    {
      Started s(data.path());
      QVERIFY(test::waitFor([&] { return s.ready(); }));
      TPassage* kjv = s.passage();
      QVERIFY(dispatchCommand(CmToggleStrongs));
      kjv->showPassage(Reference{42, 3, 2});
      kjv->selectWords(3, 5);
      bibleName web{};
      std::strcpy(web.path, "web.bib");
      TPassage* second = s.app->openBibleWindow(web);
      QVERIFY(second);
      second->showPassage(Reference{42, 1, 1});
      second->parentWidget()->setGeometry(30, 20, 400, 300);
      s.frame()->client()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(kjv->parentWidget()));
      before = shownBy(s.frame()->client());
      s.frame()->close();
    }
    {
      Started s(data.path(), {}, true);
      QVERIFY(test::waitFor([&] { return s.frame()->client()->passages().size() == 2; }));
      QVERIFY(shownBy(s.frame()->client()) == before);
      QCOMPARE(s.caption(), QString("John 3:2 - King James Version"));
      QCOMPARE(s.frame()->versesFound()->currentText(), QString("John 3:2"));
      // A restored start opens no search dialog.
      test::waitFor([] { return false; }, 300);
      QVERIFY(!s.searchSeen);
      s.frame()->close();
    }
    // A translation that is gone is left out; the others come back.
    fs::remove(data.dir().file("web.bib"));
    {
      Started s(data.path(), {}, true);
      QVERIFY(test::waitFor([&] { return s.passage() != nullptr; }));
      QCOMPARE(s.frame()->client()->passages().size(), 1);
      QCOMPARE(s.caption(), QString("John 3:2 - King James Version"));
      s.frame()->close();
    }
    // Damaged records: the start is that of a first start, at the default translation.
    for (const char* record :
         {"42,3,2,-1,-1,0,0,0,0,400,300", "42,3,2,-1,-1,0,0,0,0,400,300,0,../kjv.bib",
          "42,99,2,-1,-1,0,0,0,0,400,300,0,kjv.bib", "x,3,2,-1,-1,0,0,0,0,400,300,0,kjv.bib"}) {
      QVERIFY(writePrivateProfileString("SESSION", "WINDOW1", record, kIniFile));
      Started s(data.path(), {}, true);
      QVERIFY2(test::waitFor([&] { return s.ready(); }), record);
      QCOMPARE(s.caption(), QString("Genesis 1:1 - King James Version"));
      QCOMPARE(s.frame()->client()->passages().size(), 1);
    }
    // Closed with no window open, nothing is remembered.
    {
      Started s(data.path(), {}, true);
      QVERIFY(test::waitFor([&] { return s.ready(); }));
      s.frame()->client()->closeAllSubWindows();
      s.frame()->close();
    }
    QCOMPARE(getPrivateProfileInt("SESSION", "WINDOWS", 0, kIniFile), 0u);
  }

  void badInputsStillStartAndLoseNothing() {
    // A data directory that does not exist, and an initialisation file of garbage.
    test::AppData data;
    {
      std::ofstream ini(profilePath(kIniFile), std::ios::binary);
      fs::create_directories(fs::path(profilePath(kIniFile)).parent_path());
    }
    fs::create_directories(fs::path(profilePath(kIniFile)).parent_path());
    {
      std::ofstream ini(profilePath(kIniFile), std::ios::binary);
      ini << "[WindowPos]\nXmin=banana\nXext=-5\n\x01\x02garbage\n[FONTS]\nSCREEN_FONT_SIZE=zero\n"
             "SCREEN_FONT_NAME=\n[COPY]\nINCLUDE_BOOK_AND_CHAPTER=maybe\n";
    }
    {
      Started s(data.path(), {"/no/such/directory"});
      QVERIFY(test::waitFor([&] { return s.caption() == "Genesis 1:1 - King James Version"; }));
      QVERIFY(s.frame()->width() > 100);
      QVERIFY(s.passage()->wordCount() > 0);
    }

    // A damaged default translation: the message, then "Select Translation" to pick another.
    {
      std::fstream bib(data.dir().file("kjv.bib"), std::ios::in | std::ios::out | std::ios::binary);
      bib.seekp(0);
      bib.put('\0');
    }
    MessageBoxWatcher watcher;
    watcher.arm();
    bool chooserSeen = false;
    cancelDialogSoon("1000", &chooserSeen);
    Started s(data.path());
    QVERIFY(test::waitFor([&] { return chooserSeen; }));
    QCOMPARE(watcher.seen, 1);
    QVERIFY(watcher.text.contains("kjv.bib"));
    QVERIFY(s.passage() == nullptr);
  }

  void aDamagedOrReadOnlyHighlightStoreTurnsHighlightingOffAndIsLeftAlone() {
    test::AppData data;
    {
      Started s(data.path());
      QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }));
      s.passage()->selectWords(1, 1);
      QVERIFY(dispatchCommandFrom(s.passage(), CmHilightYellow));
    }
    const fs::path store = data.userFile("kjv.hil");
    QVERIFY(fs::exists(store));

    // Damaged: highlighting is off and the file is not rewritten.
    const std::string garbage(300, '\x5a');
    { std::ofstream(store, std::ios::binary | std::ios::trunc) << garbage; }
    {
      Started s(data.path());
      QVERIFY(test::waitFor([&] { return s.passage() && s.passage()->hasText(); }));
      QVERIFY(!s.passage()->canHilightNow());
      QVERIFY(!queryCommandFrom(s.passage(), CmHilightRed).enabled);
      s.passage()->selectWords(1, 1);
      dispatchCommandFrom(s.passage(), CmHilightRed);
    }
    std::ifstream in(store, std::ios::binary);
    QCOMPARE(std::string(std::istreambuf_iterator<char>(in), {}), garbage);
  }
};

QTEST_MAIN(FrameTest)
#include "frame_test.moc"
