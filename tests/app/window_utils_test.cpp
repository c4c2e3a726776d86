// Window utilities: placement, centring, message box, clipboard, double click, help; and the
// dialog base: buttons and keys, default messages, focus, refreshes and centring.
#include "app/window_utils.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QtTest>

#include "app/commands.h"
#include "app/config.h"
#include "app/dialog_base.h"
#include "app/profile.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;

namespace {

QTextBrowser* helpViewer() {
  for (QWidget* widget : QApplication::allWidgets())
    if (widget->objectName() == "HelpViewer") return qobject_cast<QTextBrowser*>(widget);
  return nullptr;
}

void writePlacement(const char* x, const char* y, const char* w, const char* h) {
  for (auto [key, value] : {std::pair{"Xmin", x}, {"Ymin", y}, {"Xext", w}, {"Yext", h}})
    writePrivateProfileString("WindowPos", key, value, kIniFile);
}

// A dialog that records the commands that reach it, with what its edit had selected then.
class RecordingDialog : public QDialog, public CommandHandler {
 public:
  RecordingDialog() {
    (new QVBoxLayout(this))->addWidget(frame);
    (new QVBoxLayout(frame))->addWidget(edit);
    edit->setReadOnly(true);
    edit->setPlainText("Abraham begat Isaac");
  }
  bool handleCommand(int id) override {
    seen << QString("%1 %2").arg(id).arg(edit->textCursor().selectedText());
    return true;
  }
  bool commandState(int, CommandState& state) override { return state.enabled = true; }
  QWidget* frame = new QWidget(this);  // the edit sits one level below the dialog
  TEditWithDoubleClick* edit = new TEditWithDoubleClick(frame);
  QStringList seen;
};

// A dialog with a line edit (10), a multi-line edit (11) and another line edit (12) that counts
// what reaches its slots; the base behaviour still runs unless `keepOpen` is set.
class CountingDialog : public TOkCancelHelpDlg {
 public:
  CountingDialog() : TOkCancelHelpDlg(nullptr, 3010) {
    auto* layout = new QVBoxLayout(this);
    for (QWidget* edit : std::initializer_list<QWidget*>{line, notes, other}) {
      edit->setObjectName(QString::number(10 + layout->count()));
      layout->addWidget(edit);
    }
    addButtonRow(layout);
  }
  void CmOk() override {
    ++oks;
    if (!keepOpen) TOkCancelHelpDlg::CmOk();
  }
  void CmCancel() override {
    ++cancels;
    if (!keepOpen) TOkCancelHelpDlg::CmCancel();
  }
  void CmRefresh() override { refreshes.append(refreshes.size() + 1); }

  QLineEdit* line = new QLineEdit(this);
  QPlainTextEdit* notes = new QPlainTextEdit(this);
  QLineEdit* other = new QLineEdit(this);
  int oks = 0, cancels = 0;
  bool keepOpen = false;
  QList<int> refreshes;
};

void showAndActivate(QWidget* window) {
  window->show();
  window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window));
}

}  // namespace

class WindowUtilsTest : public QObject {
  Q_OBJECT

  std::optional<QTemporaryDir> config_;

 private slots:
  void init() {
    config_.emplace();
    qputenv("XDG_CONFIG_HOME", config_->path().toLocal8Bit());
  }

  void placementRoundTripsAndStaysOnTheScreen() {
    writePlacement("30", "40", "500", "400");
    QWidget window;
    move_window(&window, kIniFile);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.pos(), QPoint(30, 40));
    window.move(-8, 70);
    window.resize(420, 310);
    save_window_pos(&window, kIniFile);
    char saved[16];
    getPrivateProfileString("WindowPos", "Xmin", "", saved, sizeof saved, kIniFile);
    QCOMPARE(std::string(saved), std::string("4294967288"));  // written unsigned
    QWidget second;
    move_window(&second, kIniFile);
    QCOMPARE(QRect(second.pos(), second.size()), QRect(-8, 70, 420, 310));

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect centred(area.topLeft() + QPoint(area.width() / 10, area.height() / 10),
                        area.size() * 4 / 5);
    // No digits, as with nothing saved: four fifths of the screen, centred.
    writePlacement("garbage", "", "abc", "-");
    move_window(&window, kIniFile);
    QCOMPARE(QRect(window.pos(), window.size()), centred);
    writePlacement("4294966296", "10", "640", "480");  // x = -1000
    move_window(&window, kIniFile);
    QCOMPARE(QRect(window.pos(), window.size()), QRect(screen.left(), 10, 640, 480));
    writePlacement("10", "10", "0", "3");  // too small to find
    move_window(&window, kIniFile);
    QCOMPARE(window.size(), QSize(200, 150));
    writePlacement("0", "0", "99999", "99999");
    move_window(&window, kIniFile);
    QCOMPARE(window.size(), screen.size());
    // Wholly off every screen, and the largest numbers a 32-bit reader can give.
    for (auto [x, y, w, h] : {std::tuple{"100000", "100000", "640", "480"},
                              {"2147483647", "2147483648", "2147483647", "4294967295"}}) {
      writePlacement(x, y, w, h);
      move_window(&window, kIniFile);
      QVERIFY(screen.contains(QRect(window.pos(), window.size())));
    }
    // Centred, a window larger than the screen keeps its corner on it.
    QWidget large;
    large.resize(screen.width() + 100, screen.height() + 300);
    _CenterWindow(&large);
    QCOMPARE(large.pos(), screen.topLeft());
  }

  void messageBoxShowsPlainTextAndReturnsTheButtonPressed() {
    // {style, button pressed (0: Escape), result}
    const std::tuple<unsigned, int, int> cases[] = {
        {MB_OK | MB_ICONEXCLAMATION, QMessageBox::Ok, IDOK},
        {MB_OKCANCEL, 0, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::Yes, IDYES},
        {MB_YESNO, 0, IDNO}};
    for (const auto& [style, button, expected] : cases) {
      QString text, caption;
      Qt::TextFormat format = Qt::AutoText;
      QTimer::singleShot(0, [&, button = button] {
        QMessageBox* box = test::visibleMessageBox();
        QVERIFY(box);
        text = box->text();
        caption = box->windowTitle();
        format = box->textFormat();
        if (button == 0)
          QTest::keyClick(box, Qt::Key_Escape);
        else
          box->button(QMessageBox::StandardButton(button))->click();
      });
      QCOMPARE(_MessageBox(nullptr, "<b>Jn 3:16</b> is not valid", "Invalid Reference", style),
               expected);
      QCOMPARE(text, QString("<b>Jn 3:16</b> is not valid"));
      QCOMPARE(caption, QString("Invalid Reference"));
      QCOMPARE(format, Qt::PlainText);  // user text is never taken as markup
    }
  }

  void clipboardTextRoundTripsAsUtf8() {
    const char* text = "In the beginning \xe1\xbc\x80\xcf\x81\xcf\x87\xe1\xbf\x87\r\nsecond line";
    _SetClipboardData(text, nullptr);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8(text));
    std::unique_ptr<char[]> back = _GetClipboardData(nullptr);
    QVERIFY(back);
    QCOMPARE(std::string(back.get()), std::string(text));
    _SetClipboardData(nullptr, nullptr);  // no text leaves the clipboard
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8(text));
    auto* image = new QMimeData();  // the clipboard takes ownership
    image->setImageData(QImage(4, 4, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(image);
    QVERIFY(!_GetClipboardData(nullptr));
  }

  void doubleClickSelectsTheWordThenPosts515ToTheDialog() {
    RecordingDialog dialog;
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QWidget* viewport = dialog.edit->viewport();
    QTest::mouseDClick(viewport, Qt::RightButton, {}, QPoint(5, 5));  // not the right button
    const QRect word = dialog.edit->cursorRect(dialog.edit->document()->find("Isaac"));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, word.center() + QPoint(4, 0));
    QVERIFY(dialog.seen.isEmpty());  // posted, not sent
    QCoreApplication::processEvents();
    QCOMPARE(dialog.seen, QStringList{"515 Isaac"});
  }

  void helpOpensOneViewerAtTheTopicAndFollowsLinks() {
    QCOMPARE(helpDirectory(), qEnvironmentVariable("VELLUM_HELP_DIR"));
    openHelp(nullptr, 1090);
    QTextBrowser* viewer = helpViewer();
    QVERIFY(viewer && viewer->isVisible());
    QCOMPARE(currentHelpContext(), 1090);
    QVERIFY(viewer->toPlainText().contains("Go to", Qt::CaseInsensitive));
    openHelp(nullptr, 1000);
    QCOMPARE(helpViewer(), viewer);        // still one viewer
    viewer->setSource(QUrl("1220.html"));  // as a click on a link does
    QCOMPARE(currentHelpContext(), 1220);
    viewer->backward();
    QCOMPARE(currentHelpContext(), 1000);
    openHelp(nullptr, 4242);
    QCOMPARE(currentHelpContext(), 4242);
    QVERIFY(viewer->toPlainText().contains("Help topic not found"));
    // Owned by a modal dialog (so the dialog does not block it), it outlives the dialog.
    QWidget mainWindow;
    mainWindow.show();
    auto dialog = std::make_unique<QDialog>(&mainWindow);
    dialog->setModal(true);
    dialog->show();
    openHelp(dialog.get(), 1210);
    QCOMPARE(helpViewer(), viewer);
    QCOMPARE(viewer->parentWidget(), dialog.get());
    dialog.reset();
    QCOMPARE(helpViewer(), viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->parentWidget(), &mainWindow);
  }

  void buttonsAndKeysGoThroughTheVirtualSlots() {
    // {focused control, key (0: click it), OK enabled, CmOk refuses to close, OKs, Cancels,
    // result (-1: still open)}. Return in a multi-line edit stays in the edit.
    const int accepted = QDialog::Accepted, rejected = QDialog::Rejected;
    const struct {
      int focus, key;
      bool okEnabled, keepOpen;
      int oks, cancels, result;
    } cases[] = {{1, 0, true, false, 1, 0, accepted},
                 {2, 0, true, false, 0, 1, rejected},
                 {1, 0, true, true, 1, 0, -1},
                 {10, Qt::Key_Return, true, false, 1, 0, accepted},
                 {10, Qt::Key_Enter, true, false, 1, 0, accepted},
                 {10, Qt::Key_Escape, true, false, 0, 1, rejected},
                 {10, Qt::Key_Return, false, false, 0, 0, -1},
                 {2, Qt::Key_Return, true, false, 0, 1, rejected},
                 {11, Qt::Key_Return, true, false, 0, 0, -1}};
    for (const auto& c : cases) {
      CountingDialog dialog;
      dialog.keepOpen = c.keepOpen;
      dialog.okButton()->setEnabled(c.okEnabled);
      showAndActivate(&dialog);
      QWidget* target = dialog.control(c.focus);
      target->setFocus();
      if (c.key == 0) {
        static_cast<QAbstractButton*>(target)->click();
      } else {
        if (c.focus == 11) QTest::keyClicks(target, "first");
        QTest::keyClick(target, Qt::Key(c.key),
                        c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        if (c.focus == 11) QTest::keyClicks(target, "second");
      }
      QCOMPARE(dialog.oks, c.oks);
      QCOMPARE(dialog.cancels, c.cancels);
      QCOMPARE(dialog.isVisible(), c.result == -1);
      if (c.result != -1) QCOMPARE(dialog.result(), c.result);
      if (c.focus == 11) QCOMPARE(dialog.notes->toPlainText(), QString("first\nsecond"));
    }
  }

  void helpDefaultMessagesAndClosingTheWindowIsCancel() {
    CountingDialog dialog;
    dialog.setHelpContext(1090);
    dialog.show();
    dialog.helpButton()->click();
    QCOMPARE(currentHelpContext(), 1090);
    auto* viewer = dialog.findChild<QTextBrowser*>("HelpViewer");  // the dialog's, so usable
    QVERIFY(viewer && viewer->isVisible());
    test::MessageBoxWatcher boxes;  // copy and print not taken over say so
    dialog.CmEditCopy();
    dialog.CmFilePrint();
    QCOMPARE(boxes.texts,
             (QStringList{"TOkCancelHelpDlg::CmEditCopy", "TOkCancelHelpDlg::CmFilePrint"}));
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.close());
    QCOMPARE(dialog.cancels, 1);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    dialog.keepOpen = true;
    dialog.show();
    QVERIFY(!dialog.close());  // a dialog that refuses Cancel stays open
    QVERIFY(dialog.isVisible());
  }

  void focusAndRefreshesAreQueuedAndRunOnlyWhileTheDialogLives() {
    CountingDialog dialog;
    dialog.requestFocus(12);  // before the dialog is shown
    for (int i = 0; i < 3; ++i) dialog.postRefresh();
    QVERIFY(dialog.refreshes.isEmpty());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(dialog.refreshes, (QList<int>{1, 2, 3}));  // each once, in order
    showAndActivate(&dialog);
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), dialog.other);
    dialog.requestFocus(11);
    QCOMPARE(QApplication::focusWidget(), dialog.other);  // not yet: it is queued
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), dialog.notes);
    auto gone = std::make_unique<CountingDialog>();
    gone->postRefresh();
    gone->requestFocus(10);
    gone.reset();
    QCoreApplication::processEvents();  // must not touch the destroyed dialog
  }

  void centredOnItsFirstShowOnly() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget owner;
    owner.setGeometry(10, 10, 100, 100);
    TOkCancelHelpDlg dialog(&owner, 3010);
    dialog.setFixedSize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The whole window, frame included, sits half across and one third down.
    const QRect frame = dialog.frameGeometry();
    QCOMPARE(frame.topLeft(), QPoint(screen.x() + (screen.width() - frame.width()) / 2,
                                     screen.y() + (screen.height() - frame.height()) / 3));
    dialog.hide();
    dialog.move(20, 30);
    dialog.show();
    QCOMPARE(dialog.pos(), QPoint(20, 30));
  }
};

QTEST_MAIN(WindowUtilsTest)
#include "window_utils_test.moc"
