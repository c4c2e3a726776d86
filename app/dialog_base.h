// TOkCancelHelpDlg: the base of nearly every dialog. It centres itself when shown (one third
// down the screen), offers OK (control "1"), Cancel ("2") and Help ("3"), and opens the help
// viewer at its help context. Its objectName is the dialog's resource number ("3010").
//
// Derived dialogs build their controls in their constructors, each with its numeric
// identifier as objectName, and put the three buttons in with addButtonRow() (or place
// okButton() and friends themselves).
#pragma once

#include <QDialog>
#include <QPushButton>

class QBoxLayout;

namespace vellum::ui {

class TOkCancelHelpDlg : public QDialog {
  Q_OBJECT
 public:
  TOkCancelHelpDlg(QWidget* parent, int resourceId);

  int helpContext() const { return helpContext_; }
  void setHelpContext(int context) { helpContext_ = context; }
  const char* helpFile() const { return "version2.hlp"; }

  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* helpButton() const { return help_; }
  // Adds the row of OK, Cancel and Help to the layout.
  void addButtonRow(QBoxLayout* layout);

  // The dialogs' command slots; derived dialogs override them.
  virtual void CmOk();         // accept(): closes with 1
  virtual void CmCancel();     // reject(): closes with 2
  virtual void CmHelp();       // opens the help viewer at helpContext()
  virtual void CmEditCopy();   // message box "TOkCancelHelpDlg::CmEditCopy"
  virtual void CmFilePrint();  // message box "TOkCancelHelpDlg::CmFilePrint"
  // Command 903 posted to the dialog: refresh dependent controls; the base does nothing.
  virtual void CmRefresh() {}

  // Gives the focus to the control with this identifier once the dialog has been shown
  // (queued, as private message 1031).
  void requestFocus(int controlId);
  // Queues command 903 to this dialog; list and text changes call it.
  void postRefresh();
  // The control with this numeric identifier (objectName), or null.
  template <class T = QWidget>
  T* control(int id) const {
    return findChild<T*>(QString::number(id));
  }

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;  // Return/Escape go to CmOk/CmCancel

 private:
  void closeEvent(QCloseEvent* event) override;  // the close button is Cancel

  int helpContext_ = 1000;
  bool centred_ = false;
  int pendingFocus_ = 0;  // a focus request that arrived before the first show
  QPushButton* ok_;
  QPushButton* cancel_;
  QPushButton* help_;
};

}  // namespace vellum::ui
