// The passage dialogs of a Bible window: Copy to Clipboard (2000), Append to Clipboard (2001)
// and Print (2002). Each offers the sources Selection (10000), Chapter (10001), Verses found
// (10002) and, for printing, Clipboard (11072), and the options "as a Quotation" (10006) and
// "Include Book and Chapter" (10004), which are kept in the "COPY" section of "VLMR20.INI".
// OK composes the passage and hands it to the clipboard or the printer.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

#include "app/dialog_base.h"
#include "app/windows/compose_passage.h"
#include "engine/bible/bible.h"

class QCheckBox;
class QFont;
class QRadioButton;

namespace vellum::ui {

class TPassage;

inline constexpr int kCopyDlgId = 2000;
inline constexpr int kAppendDlgId = 2001;
inline constexpr int kPrintDlgId = 2002;
inline constexpr int kQuotationId = 10006;
inline constexpr int kBookAndChapterId = 10004;

inline constexpr const char* kIncludeBookAndChapterKey = "INCLUDE_BOOK_AND_CHAPTER";
inline constexpr const char* kCopyAsParagraphKey = "COPY_AS_PARAGRAPH";

class TCopyAppendPrintDlg : public TOkCancelHelpDlg {
  Q_OBJECT
 public:
  // `verb` names the output in the group label and the quotation option ("Copy", "Append",
  // "Print"); the clipboard is offered as a source only when asked. Starts with the selection
  // chosen and the options as the initialisation file holds them.
  TCopyAppendPrintDlg(TPassage* passage, int resourceId, BibleHandle* module, const char* caption,
                      const char* verb, int helpContext, bool offerClipboard);

  // Fills the dialog's buffer from the chosen source and options and returns it.
  const std::string& composePassage();
  const std::string& buffer() const { return buffer_; }
  PassageSource source() const;

 protected:
  // Writes both check boxes to the "COPY" section.
  void saveOptions();
  TPassage* passage() const { return passage_; }

 private:
  // The entries of the verses-found box of the window's workbench, in box order.
  std::vector<std::string> versesFoundEntries() const;

  QPointer<TPassage> passage_;
  BibleHandle* module_;
  std::string buffer_;
  QCheckBox* quotation_ = nullptr;
  QCheckBox* bookAndChapter_ = nullptr;
};

// Puts the passage on the clipboard with carriage return and line feed line ends.
class TCopyDlg : public TCopyAppendPrintDlg {
  Q_OBJECT
 public:
  TCopyDlg(TPassage* passage, int resourceId, BibleHandle* module);
  void CmOk() override;
};

// Adds the passage to the clipboard's text, after one line feed.
class TAppendDlg : public TCopyAppendPrintDlg {
  Q_OBJECT
 public:
  TAppendDlg(TPassage* passage, int resourceId, BibleHandle* module);
  void CmOk() override;
};

// Prints the passage through the print dialog, titled with the Bible window's caption.
class TPrintDlg : public TCopyAppendPrintDlg {
  Q_OBJECT
 public:
  TPrintDlg(TPassage* passage, int resourceId, BibleHandle* module);
  void CmOk() override;
};

// The font commands (109, 108) keep sizes in whole points: tenths of a point divided by ten, so
// 10.5 points are kept as 10. A font sized in pixels is converted at the given resolution;
// anything below a point is a point.
int wholePointSize(const QFont& font, int dotsPerInch);

}  // namespace vellum::ui
