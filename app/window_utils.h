// Window utilities shared by every window: the main window's placement in the initialisation
// file, centring, cursor and client helpers, the message box wrapper, the clipboard text
// helpers, the check on a signal's connection, the edit control that reports double clicks,
// and the help viewer.
#pragma once

#include <QColor>
#include <QIcon>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPoint>
#include <QRect>
#include <QString>
#include <memory>
#include <string>

class QPaintDevice;
class QWidget;

namespace vellum {

// Moves and sizes the window to the "WindowPos" keys; without them (or with one that holds no
// number) it takes four fifths of its screen's available area, centred.
void move_window(QWidget* window, const char* iniFile);
// Writes the window's frame rectangle as "Xmin", "Ymin", "Xext", "Yext" with "%u".
void save_window_pos(QWidget* window, const char* iniFile);
// Centres the window horizontally and one third down the screen that holds it.
void _CenterWindow(QWidget* window);
// The device's horizontal and vertical resolution in pixels.
QPoint _GetWindowExt(QPoint* out, const QPaintDevice* device);
QPoint _GetCursorPos(QPoint* out, const QWidget* window);
QRect _GetClientRect(QRect* out, const QWidget* window);
// System colours by the classic indices: 5 window, 8 window text, 13 highlight,
// 14 highlight text, 15 button face; other indices give the window colour.
QColor _GetSysColor(int index);
// Message box styles and results, numbered as the classic calls number them.
enum MessageBoxStyle : unsigned {
  MB_OK = 0,
  MB_OKCANCEL = 1,
  MB_YESNO = 4,
  MB_ICONSTOP = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40
};
enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
// Shows a message box with exactly this text and caption; returns the button pressed. The box's
// objectName is "MessageBox" so tests can find and answer it.
int _MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned style);
// Tells the user that a change was refused because another program was changing the file:
// "<fileName> is being changed by another program; try again.", under the caption.
void showChangeRefused(QWidget* owner, const std::string& fileName, const QString& caption);
// A copy of the clipboard's plain text, or none when it holds no text.
std::unique_ptr<char[]> _GetClipboardData(QWidget* owner);
// Replaces the clipboard's contents with the text (UTF-8).
void _SetClipboardData(const char* text, QWidget* owner);

namespace ui {

// Wraps connect(): a connection Qt refused (a signal or slot that does not exist) stops a
// debug build at once.
inline void checked(const QMetaObject::Connection& connection) {
  Q_ASSERT(connection);
  Q_UNUSED(connection);
}

// Opens the help viewer (one per program, a QTextBrowser window with objectName "HelpViewer")
// at a numbered topic: the page help/<context>.html shipped with the program.
void openHelp(QWidget* owner, int context);
// The viewer's current topic, or 0 when it was never opened (for tests).
int currentHelpContext();
// The directory the help pages are read from: $VELLUM_HELP_DIR, else share/vellum/help of the
// installation the program belongs to (../share/vellum/help from the program's file), else the
// source tree's help/ for a program run from its build.
QString helpDirectory();

// Once per program: when a modal dialog closes and no window has become active (no window
// manager hands the activation back), the window that had the focus before the dialog is
// activated again and its focus widget gets the keys back.
void keepFocusAcrossModalDialogs();

// The program's icon (an open book), drawn from app/icons/vellum.svg at the usual sizes.
QIcon programIcon();

// A multi-line read-only text whose double click, after the control has selected the word,
// posts command 515 to its parent dialog.
class TEditWithDoubleClick : public QPlainTextEdit {
  Q_OBJECT
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace ui
}  // namespace vellum
