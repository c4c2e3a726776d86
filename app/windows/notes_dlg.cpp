#include "app/windows/notes_dlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <vector>

#include "app/window_utils.h"
#include "engine/stores/notes.h"

namespace vellum::ui {
namespace {

// One byte more than the longest note, for the terminator.
constexpr std::uint16_t kNoteBufferSize = TNotesDlg::kMaxNoteLength + 1;

QString titleOf(int resourceId) {
  switch (resourceId) {
    case TNotesDlg::kEditResourceId:
      return QStringLiteral("Edit Note");
    case TNotesDlg::kDeleteResourceId:
      return QStringLiteral("Delete Note");
    default:
      return QStringLiteral("Insert Note");
  }
}

}  // namespace

TNotesDlg::TNotesDlg(QWidget* owner, int resourceId, BibleHandle* module, NotesHandle* notes,
                     Reference initial)
    : TReferenceDlgWithVerse(owner, resourceId, module, initial),
      notes_(notes),
      note_(new QPlainTextEdit(this)),
      noteReference_(initial) {
  setWindowTitle(titleOf(resourceId));
  setHelpContext(kHelpContext);
  note_->setObjectName(QString::number(kNoteId));
  note_->setReadOnly(resourceId == kDeleteResourceId);
  note_->setMinimumSize(440, 180);
  // Tab moves on to the buttons; notes are prose.
  note_->setTabChangesFocus(true);

  auto* layout = new QVBoxLayout(this);
  auto* referenceLabel = new QLabel(QStringLiteral("&Reference:"), this);
  referenceLabel->setBuddy(bookList());
  layout->addWidget(referenceLabel);
  addListRow(layout);
  verseText()->setMinimumHeight(40);
  layout->addWidget(verseText());
  auto* noteLabel = new QLabel(QStringLiteral("&Note:"), this);
  noteLabel->setBuddy(note_);
  layout->addWidget(noteLabel);
  layout->addWidget(note_, 1);
  addButtonRow(layout);

  [[maybe_unused]] const bool connected = static_cast<bool>(
      connect(note_, &QPlainTextEdit::textChanged, this, [this] { limitLength(); }));
  Q_ASSERT(connected);

  // The picker stands at the initial verse: its note is the first one loaded.
  load(reference());
  noteLoaded_ = true;
  requestFocus(kNoteId);
}

void TNotesDlg::limitLength() {
  // Like an edit field's length limit: input beyond it is refused, never stored cut later.
  if (limiting_) return;
  QString text = note_->toPlainText();
  if (text.toUtf8().size() <= kMaxNoteLength) return;
  limiting_ = true;
  while (!text.isEmpty() && text.toUtf8().size() > kMaxNoteLength) {
    text.chop(1);
    if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
  }
  QTextCursor cursor = note_->textCursor();
  const int position = cursor.position();
  note_->setPlainText(text);
  cursor = note_->textCursor();
  cursor.setPosition(std::min(position, static_cast<int>(text.size())));
  note_->setTextCursor(cursor);
  limiting_ = false;
}

void TNotesDlg::load(Reference reference) {
  noteReference_ = reference;
  std::vector<char> buffer(kNoteBufferSize, '\0');
  std::uint16_t length = 0;
  QString text;
  if (VNGetNoteByRef(buffer.data(), &length, kNoteBufferSize, reference, notes_) != nullptr) {
    text = QString::fromUtf8(buffer.data(), length);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  }
  loaded_ = text;
  limiting_ = true;
  note_->setPlainText(text);
  limiting_ = false;
}

bool TNotesDlg::save() {
  if (!noteLoaded_ || note_->isReadOnly() || notes_ == nullptr || VNReadOnly(notes_) != 0)
    return true;
  const QString text = note_->toPlainText();
  // A verse without a note whose field stays empty gets nothing; an unchanged note is not
  // written again (the store keeps every version it is given).
  if (text == loaded_) return true;
  QByteArray bytes = text.toUtf8();
  if (bytes.size() > kMaxNoteLength) bytes.truncate(kMaxNoteLength);
  if (!VNSetNoteByRef(noteReference_, bytes.constData(), notes_)) {
    if (VNBusy(notes_)) {
      showChangeRefused(this, VNFileName(notes_), windowTitle());
      return false;
    }
    _MessageBox(this,
                QStringLiteral("The note could not be saved: the notes file cannot be written."),
                windowTitle(), MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  savedAny_ = true;
  loaded_ = text;
  return true;
}

void TNotesDlg::listChanged() {
  save();
  TReferenceDlgWithVerse::listChanged();
  load(reference());
}

void TNotesDlg::CmOk() {
  // A picker change still queued belongs before OK: it saves the field under its own verse.
  CmRefresh();
  if (!save()) return;  // the text stays in the field
  TReferenceDlgWithVerse::CmOk();
}

bool runNotesDialog(QWidget* owner, int resourceId, BibleHandle* module, NotesHandle* notes,
                    Reference initial, Reference* picked, bool* saved) {
  TNotesDlg dialog(owner, resourceId, module, notes, initial);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (picked) *picked = dialog.reference();
  if (saved) *saved = dialog.savedAny();
  return accepted;
}

}  // namespace vellum::ui
