// The Bible window's passage and font commands: 24323 Copy, 202 Append, 24337 Print, 109 the
// window font and 108 the printer font.
#include <QClipboard>
#include <QFontDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <cmath>

#include "app/config.h"
#include "app/windows/copy_print_dlg.h"
#include "app/windows/passage.h"
#include "app/windows/window_commands.h"

namespace vellum::ui {
namespace {

bool clipboardHoldsText() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
  return data && data->hasText();
}

template <class Dialog>
void runPassageDialog(TPassage& passage, int resourceId) {
  {
    Dialog dialog(&passage, resourceId, passage.module());
    dialog.exec();
  }
  passage.setFocus(Qt::OtherFocusReason);
}

// 109 and 108. Both start from the window's screen font; only 109 changes what the screen
// shows, 108 is read by the next printout.
void chooseFont(TPassage& passage, bool forPrinter) {
  // The family the window really shows: a substituted name ("Times New Roman") would open the
  // dialog on its default family instead.
  QFont start(QFontInfo(passage.textFont()).family());
  start.setPointSize(getScreenFontSize());
  {
    QFontDialog dialog(start, &passage);
    dialog.setWindowTitle(forPrinter ? QStringLiteral("Printer Font")
                                     : QStringLiteral("Window Font"));
    if (dialog.exec() == QDialog::Accepted) {
      const QFont chosen = dialog.selectedFont();
      const QByteArray name = chosen.family().toUtf8();
      const int points = wholePointSize(chosen, passage.logicalDpiY());
      if (forPrinter) {
        setPrinterFontName(name.constData());
        setPrinterFontSize(points);
      } else {
        setScreenFontName(name.constData());
        setScreenFontSize(points);
        passage.applyScreenFont();
      }
    }
  }
  passage.setFocus(Qt::OtherFocusReason);
}

}  // namespace

int wholePointSize(const QFont& font, int dotsPerInch) {
  int points = 0;
  if (font.pointSizeF() > 0) {
    points = static_cast<int>(std::lround(font.pointSizeF() * 10)) / 10;
  } else if (font.pixelSize() > 0 && dotsPerInch > 0) {
    points = font.pixelSize() * 72 / dotsPerInch;
  }
  return std::max(points, 1);
}

bool copyPrintCommandState(TPassage& passage, int id, CommandState& state) {
  const bool open = passage.module() != nullptr;
  switch (id) {
    case CmEditCopy:
      state.enabled = open && passage.hasText();
      return true;
    case CmAppend:
      state.enabled = open && passage.hasText() && clipboardHoldsText();
      return true;
    case CmFilePrint:
    case CmWindowFont:
    case CmPrinterFont:
      state.enabled = open;
      return true;
    default:
      return false;
  }
}

bool runCopyPrintCommand(TPassage& passage, int id) {
  CommandState state;
  if (!copyPrintCommandState(passage, id, state)) return false;
  // Run directly (not through the router) a disabled command still does nothing.
  if (!state.enabled) return true;
  switch (id) {
    case CmEditCopy:
      runPassageDialog<TCopyDlg>(passage, kCopyDlgId);
      break;
    case CmAppend:
      runPassageDialog<TAppendDlg>(passage, kAppendDlgId);
      break;
    case CmFilePrint:
      runPassageDialog<TPrintDlg>(passage, kPrintDlgId);
      break;
    case CmWindowFont:
      chooseFont(passage, false);
      break;
    case CmPrinterFont:
      chooseFont(passage, true);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace vellum::ui
