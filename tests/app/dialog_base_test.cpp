// TOkCancelHelpDlg: identifiers, the buttons and keys routed to the virtual slots, help at the
// dialog's context, the default copy and print messages, focus requests, queued refreshes and
// centring on the first show.
#include "app/dialog_base.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QtTest>

#include "app/window_utils.h"

using namespace vellum;
using namespace vellum::ui;

namespace {

// A dialog with a line edit (10), a multi-line edit (11) and a list-like edit (12) that counts
// what reaches its slots; the base behaviour still runs unless `keepOpen` is set.
class CountingDialog : public TOkCancelHelpDlg {
 public:
  explicit CountingDialog(QWidget* parent = nullptr) : TOkCancelHelpDlg(parent, 3010) {
    auto* layout = new QVBoxLayout(this);
    line = new QLineEdit(this);
    line->setObjectName("10");
    notes = new QPlainTextEdit(this);
    notes->setObjectName("11");
    other = new QLineEdit(this);
    other->setObjectName("12");
    layout->addWidget(line);
    layout->addWidget(notes);
    layout->addWidget(other);
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
  void CmRefresh() override { refreshes.append(++refreshCount); }

  QLineEdit* line;
  QPlainTextEdit* notes;
  QLineEdit* other;
  int oks = 0;
  int cancels = 0;
  bool keepOpen = false;
  int refreshCount = 0;
  QList<int> refreshes;
};

QTextBrowser* helpViewer() {
  for (QWidget* widget : QApplication::allWidgets()) {
    if (widget->objectName() == "HelpViewer") return qobject_cast<QTextBrowser*>(widget);
  }
  return nullptr;
}

void showAndActivate(QWidget* window) {
  window->show();
  window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window));
}

}  // namespace

class DialogBaseTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    if (QTextBrowser* viewer = helpViewer()) {
      viewer->close();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
  }

  void identifiersAndButtonTexts() {
    TOkCancelHelpDlg dialog(nullptr, 3010);
    QCOMPARE(dialog.objectName(), QString("3010"));
    QCOMPARE(dialog.helpContext(), 1000);
    QCOMPARE(QString(dialog.helpFile()), QString("version2.hlp"));
    auto* ok = dialog.control<QPushButton>(1);
    auto* cancel = dialog.control<QPushButton>(2);
    auto* help = dialog.control<QPushButton>(3);
    QVERIFY(ok && cancel && help);
    QCOMPARE(ok, dialog.okButton());
    QCOMPARE(ok->text(), QString("OK"));
    QCOMPARE(cancel->text(), QString("Cancel"));
    QCOMPARE(help->text(), QString("&Help"));
    QCOMPARE(dialog.control(99), nullptr);
  }

  void buttonsGoThroughTheVirtualSlots() {
    CountingDialog dialog;
    dialog.show();
    dialog.control<QPushButton>(1)->click();
    QCOMPARE(dialog.oks, 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());

    dialog.show();
    dialog.control<QPushButton>(2)->click();
    QCOMPARE(dialog.cancels, 1);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }

  void overriddenOkCanRefuseToClose() {
    CountingDialog dialog;
    dialog.keepOpen = true;
    dialog.show();
    dialog.control<QPushButton>(1)->click();
    QCOMPARE(dialog.oks, 1);
    QVERIFY(dialog.isVisible());
  }

  void returnConfirmsAndEscapeCancels() {
    CountingDialog dialog;
    showAndActivate(&dialog);
    dialog.line->setFocus();
    QTest::keyClick(dialog.line, Qt::Key_Return);
    QCOMPARE(dialog.oks, 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    showAndActivate(&dialog);
    dialog.line->setFocus();
    QTest::keyClick(dialog.line, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(dialog.oks, 2);

    showAndActivate(&dialog);
    dialog.line->setFocus();
    QTest::keyClick(dialog.line, Qt::Key_Escape);
    QCOMPARE(dialog.cancels, 1);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.oks, 2);
  }

  void returnInAMultiLineEditStaysInTheEdit() {
    CountingDialog dialog;
    showAndActivate(&dialog);
    dialog.notes->setFocus();
    QTest::keyClicks(dialog.notes, "first");
    QTest::keyClick(dialog.notes, Qt::Key_Return);
    QTest::keyClicks(dialog.notes, "second");
    QCOMPARE(dialog.oks, 0);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.notes->toPlainText(), QString("first\nsecond"));
  }

  void returnOnAFocusedButtonPressesThatButton() {
    CountingDialog dialog;
    showAndActivate(&dialog);
    dialog.cancelButton()->setFocus();
    QTest::keyClick(dialog.cancelButton(), Qt::Key_Return);
    QCOMPARE(dialog.cancels, 1);
    QCOMPARE(dialog.oks, 0);
  }

  void returnWithOkDisabledDoesNothing() {
    CountingDialog dialog;
    dialog.okButton()->setEnabled(false);
    showAndActivate(&dialog);
    dialog.line->setFocus();
    QTest::keyClick(dialog.line, Qt::Key_Return);
    QCOMPARE(dialog.oks, 0);
    QVERIFY(dialog.isVisible());
  }

  void closingTheWindowIsCancel() {
    CountingDialog dialog;
    dialog.show();
    QVERIFY(dialog.close());
    QCOMPARE(dialog.cancels, 1);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    dialog.keepOpen = true;
    dialog.show();
    QVERIFY(!dialog.close());  // a dialog that refuses Cancel stays open
    QVERIFY(dialog.isVisible());
  }

  void helpOpensTheDialogsContext() {
    CountingDialog dialog;
    dialog.setHelpContext(1090);
    dialog.setModal(true);
    dialog.show();
    dialog.helpButton()->click();
    QCOMPARE(currentHelpContext(), 1090);
    QTextBrowser* viewer = helpViewer();
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->source().toLocalFile().endsWith("/1090.html"));
    QCOMPARE(viewer->parentWidget(), &dialog);  // usable while the modal dialog runs
  }

  void defaultCopyAndPrintShowTheirMessage_data() {
    QTest::addColumn<bool>("copy");
    QTest::addColumn<QString>("text");
    QTest::newRow("copy") << true << "TOkCancelHelpDlg::CmEditCopy";
    QTest::newRow("print") << false << "TOkCancelHelpDlg::CmFilePrint";
  }
  void defaultCopyAndPrintShowTheirMessage() {
    QFETCH(bool, copy);
    QFETCH(QString, text);
    TOkCancelHelpDlg dialog(nullptr, 3010);
    dialog.show();
    QString seenText, seenCaption;
    QWidget* seenOwner = nullptr;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
      QMessageBox* box = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "MessageBox" && widget->isVisible()) {
          box = qobject_cast<QMessageBox*>(widget);
        }
      }
      QVERIFY(box);
      seenText = box->text();
      seenCaption = box->windowTitle();
      seenOwner = box->parentWidget();
      buttons = box->buttons().size();
      box->button(QMessageBox::Ok)->click();
    });
    if (copy) {
      dialog.CmEditCopy();
    } else {
      dialog.CmFilePrint();
    }
    QCOMPARE(seenText, text);
    QCOMPARE(seenCaption, QString("TOkCancelHelpDlg"));
    QCOMPARE(seenOwner, &dialog);
    QCOMPARE(buttons, 1);
    QVERIFY(dialog.isVisible());
  }

  void focusRequestIsQueuedAndWaitsForTheFirstShow() {
    CountingDialog dialog;
    dialog.requestFocus(12);  // before the dialog is shown
    QCoreApplication::processEvents();
    showAndActivate(&dialog);
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), dialog.other);

    dialog.requestFocus(11);
    QCOMPARE(QApplication::focusWidget(), dialog.other);  // not yet: it is queued
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), dialog.notes);

    dialog.requestFocus(4711);  // no such control: nothing changes
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), dialog.notes);
  }

  void everyRefreshPostedRunsOnceInOrder() {
    CountingDialog dialog;
    dialog.postRefresh();
    dialog.postRefresh();
    dialog.postRefresh();
    QVERIFY(dialog.refreshes.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(dialog.refreshes, (QList<int>{1, 2, 3}));
    QCoreApplication::processEvents();
    QCOMPARE(dialog.refreshes.size(), 3);
  }

  void refreshPostedToADialogDestroyedMeanwhileIsDropped() {
    auto dialog = std::make_unique<CountingDialog>();
    dialog->postRefresh();
    dialog->requestFocus(10);
    dialog.reset();
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
