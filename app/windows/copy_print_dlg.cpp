#include "app/windows/copy_print_dlg.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>

#include "app/config.h"
#include "app/print_text.h"
#include "app/window_utils.h"
#include "app/windows/passage.h"

namespace vellum::ui {
namespace {

constexpr int kCopyHelp = 1210;
constexpr int kPrintHelp = 1220;
// The printout's title: the Bible window's caption, cut as a title field is.
constexpr int kTitleLength = 79;

// The wait cursor for the life of the object.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

QRadioButton* addSource(QGroupBox* group, QBoxLayout* layout, PassageSource source,
                        const char* text) {
  auto* button = new QRadioButton(QString::fromUtf8(text), group);
  button->setObjectName(QString::number(static_cast<int>(source)));
  layout->addWidget(button);
  return button;
}

}  // namespace

TCopyAppendPrintDlg::TCopyAppendPrintDlg(TPassage* passage, int resourceId, BibleHandle* module,
                                         const char* caption, const char* verb, int helpContext,
                                         bool offerClipboard)
    : TOkCancelHelpDlg(passage, resourceId), passage_(passage), module_(module) {
  setWindowTitle(QString::fromUtf8(caption));
  setHelpContext(helpContext);

  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox(QString::fromUtf8(verb), this);
  auto* sources = new QVBoxLayout(group);
  QRadioButton* selection = addSource(group, sources, PassageSource::Selection, "&Selection");
  addSource(group, sources, PassageSource::Chapter, "Chap&ter");
  addSource(group, sources, PassageSource::VersesFound, "&Verses found");
  if (offerClipboard) addSource(group, sources, PassageSource::Clipboard, "Clip&board");
  layout->addWidget(group);

  quotation_ = new QCheckBox(
      QStringLiteral("%1 Selection as a &Quotation").arg(QString::fromUtf8(verb)), this);
  quotation_->setObjectName(QString::number(kQuotationId));
  layout->addWidget(quotation_);
  bookAndChapter_ = new QCheckBox(QStringLiteral("&Include Book and Chapter"), this);
  bookAndChapter_->setObjectName(QString::number(kBookAndChapterId));
  layout->addWidget(bookAndChapter_);
  addButtonRow(layout);

  selection->setChecked(true);
  bookAndChapter_->setChecked(getCopyOption(kIncludeBookAndChapterKey));
  quotation_->setChecked(getCopyOption(kCopyAsParagraphKey));
  requestFocus(static_cast<int>(PassageSource::Selection));
}

PassageSource TCopyAppendPrintDlg::source() const {
  for (PassageSource candidate :
       {PassageSource::Chapter, PassageSource::VersesFound, PassageSource::Clipboard}) {
    auto* button = control<QRadioButton>(static_cast<int>(candidate));
    if (button && button->isChecked()) return candidate;
  }
  return PassageSource::Selection;
}

std::vector<std::string> TCopyAppendPrintDlg::versesFoundEntries() const {
  std::vector<std::string> entries;
  if (!passage_) return entries;
  for (const QString& entry : passage_->workbench().versesFoundEntries())
    entries.push_back(entry.toStdString());
  return entries;
}

const std::string& TCopyAppendPrintDlg::composePassage() {
  PassageInputs inputs;
  inputs.source = source();
  inputs.quotation = quotation_->isChecked();
  inputs.bookAndChapter = bookAndChapter_->isChecked();
  inputs.module = module_;
  if (passage_) {
    inputs.caption = passage_->windowTitle().toStdString();
    switch (inputs.source) {
      case PassageSource::Selection:
        // The window's text fits a chapter buffer, so the whole selection is fetched; the
        // composing cuts it to what the passage may hold.
        inputs.selection = passage_->selectedText(passage_->text().size() + 1);
        break;
      case PassageSource::Chapter:
        inputs.chapterText = passage_->text();
        break;
      case PassageSource::VersesFound:
      case PassageSource::Clipboard:
        break;
    }
  }
  if (inputs.source == PassageSource::VersesFound) inputs.versesFound = versesFoundEntries();
  if (inputs.source == PassageSource::Clipboard) {
    if (std::unique_ptr<char[]> text = _GetClipboardData(this)) inputs.clipboard = text.get();
  }
  buffer_ = ui::composePassage(inputs);
  return buffer_;
}

void TCopyAppendPrintDlg::saveOptions() {
  setCopyOption(kIncludeBookAndChapterKey, bookAndChapter_->isChecked());
  setCopyOption(kCopyAsParagraphKey, quotation_->isChecked());
}

TCopyDlg::TCopyDlg(TPassage* passage, int resourceId, BibleHandle* module)
    : TCopyAppendPrintDlg(passage, resourceId, module, "Copy to Clipboard", "Copy", kCopyHelp,
                          false) {}

void TCopyDlg::CmOk() {
  {
    WaitCursor wait;
    const std::string text = clipboardLineEnds(composePassage());
    _SetClipboardData(text.c_str(), this);
  }
  saveOptions();
  accept();
}

TAppendDlg::TAppendDlg(TPassage* passage, int resourceId, BibleHandle* module)
    : TCopyAppendPrintDlg(passage, resourceId, module, "Append to Clipboard", "Append", kCopyHelp,
                          false) {}

void TAppendDlg::CmOk() {
  {
    WaitCursor wait;
    // Read before composing: the old text is what the user saw on the clipboard.
    std::unique_ptr<char[]> old = _GetClipboardData(this);
    const std::string text = appendedClipboardText(old ? std::string(old.get()) : std::string(),
                                                   clipboardLineEnds(composePassage()));
    _SetClipboardData(text.c_str(), this);
  }
  saveOptions();
  accept();
}

TPrintDlg::TPrintDlg(TPassage* passage, int resourceId, BibleHandle* module)
    : TCopyAppendPrintDlg(passage, resourceId, module, "Print", "Print", kPrintHelp, true) {}

void TPrintDlg::CmOk() {
  const QString title = passage() ? passage()->windowTitle().left(kTitleLength) : QString();
  {
    WaitCursor wait;
    composePassage();
  }
  if (buffer().empty()) {
    // Nothing would reach the paper: say so instead of asking for a printer.
    _MessageBox(this, QStringLiteral("There is nothing to print: the part chosen is empty."),
                QStringLiteral("Print"), MB_OK | MB_ICONINFORMATION);
  } else {
    TPrintText printout(title, buffer());
    printPassage(printout, this);
  }
  saveOptions();
  accept();
}

}  // namespace vellum::ui
