#include "app/dialog_base.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMetaObject>
#include <QShowEvent>

#include "app/window_utils.h"

namespace vellum::ui {

TOkCancelHelpDlg::TOkCancelHelpDlg(QWidget* parent, int resourceId) : QDialog(parent) {
  setObjectName(QString::number(resourceId));
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("1"));
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("2"));
  help_ = new QPushButton(QStringLiteral("&Help"), this);
  help_->setObjectName(QStringLiteral("3"));
  // Through the virtual slots, so a derived dialog's override runs.
  bool connected = connect(ok_, &QPushButton::clicked, this, [this] { CmOk(); });
  connected = connect(cancel_, &QPushButton::clicked, this, [this] { CmCancel(); }) && connected;
  connected = connect(help_, &QPushButton::clicked, this, [this] { CmHelp(); }) && connected;
  Q_ASSERT(connected);
}

void TOkCancelHelpDlg::addButtonRow(QBoxLayout* layout) {
  if (!layout) return;
  auto* row = new QHBoxLayout();
  row->addStretch(1);
  row->addWidget(ok_);
  row->addWidget(cancel_);
  row->addWidget(help_);
  layout->addLayout(row);
}

void TOkCancelHelpDlg::CmOk() { accept(); }

void TOkCancelHelpDlg::CmCancel() { reject(); }

void TOkCancelHelpDlg::CmHelp() { openHelp(this, helpContext()); }

void TOkCancelHelpDlg::CmEditCopy() {
  _MessageBox(this, QStringLiteral("TOkCancelHelpDlg::CmEditCopy"),
              QStringLiteral("TOkCancelHelpDlg"), MB_OK);
}

void TOkCancelHelpDlg::CmFilePrint() {
  _MessageBox(this, QStringLiteral("TOkCancelHelpDlg::CmFilePrint"),
              QStringLiteral("TOkCancelHelpDlg"), MB_OK);
}

void TOkCancelHelpDlg::requestFocus(int controlId) {
  QMetaObject::invokeMethod(
      this,
      [this, controlId] {
        if (!isVisible()) {
          // Asked for before the dialog is on screen: the first show gives the focus.
          pendingFocus_ = controlId;
          return;
        }
        if (QWidget* target = control(controlId)) target->setFocus(Qt::OtherFocusReason);
      },
      Qt::QueuedConnection);
}

void TOkCancelHelpDlg::postRefresh() {
  // One queued call per change, run in the order posted, after the change notification that
  // asked for it has been handled completely; dropped if the dialog is gone by then.
  QMetaObject::invokeMethod(
      this, [this] { CmRefresh(); }, Qt::QueuedConnection);
}

void TOkCancelHelpDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_ && !event->spontaneous()) {
    centred_ = true;
    _CenterWindow(this);
  }
  if (pendingFocus_ != 0) {
    int id = pendingFocus_;
    pendingFocus_ = 0;
    requestFocus(id);
  }
}

void TOkCancelHelpDlg::keyPressEvent(QKeyEvent* event) {
  const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::NoModifier) {
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        // Reaches the dialog only from controls that do not use Return themselves (an
        // editable multi-line edit keeps it; a focused button presses itself). A disabled
        // OK means the dialog is not ready to be confirmed.
        if (ok_->isEnabled()) CmOk();
        event->accept();
        return;
      case Qt::Key_Escape:
        CmCancel();
        event->accept();
        return;
      default:
        break;
    }
  }
  QDialog::keyPressEvent(event);
}

void TOkCancelHelpDlg::closeEvent(QCloseEvent* event) {
  // The window's close button is Cancel, so derived dialogs see one way out.
  if (isVisible()) {
    CmCancel();
    if (isVisible()) {
      event->ignore();
      return;
    }
  }
  event->accept();
}

}  // namespace vellum::ui
