// TOkCancelHelpDlg: buttons and keys, help, default messages, focus, refreshes and centring.
#include "app/dialog_base.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QtTest>

#include "app/window_utils.h"
#include "tests/app/app_fixtures.h"

using namespace vellum;
using namespace vellum::ui;

namespace {

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

class DialogBaseTest : public QObject {
  Q_OBJECT

 private slots:
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

QTEST_MAIN(DialogBaseTest)
#include "dialog_base_test.moc"
