// The reference-picking dialogs: linked book, chapter and verse lists, "Go to..." and
// "Select Translation".
#include "app/reference_dlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <cstring>
#include <vector>

#include "app/config.h"
#include "app/window_utils.h"
#include "engine/bible/discovery.h"

namespace vellum::ui {
namespace {

constexpr int kBookListId = 10013;
constexpr int kChapterListId = 10001;
constexpr int kVerseListId = 10015;
constexpr int kVerseTextId = 10016;
constexpr int kTypedReferenceId = 10018;
constexpr int kModuleListId = 11068;
constexpr int kMakeDefaultId = 10007;

// The chapter and verse lists are read over at most this many characters.
constexpr int kMaxNumberText = 10;

// One refresh at a time in the whole program: a refresh refills lists, and the notifications of
// a refill must never start another refresh half-way through this one.
bool refreshRunning = false;

class RefreshRunning {
 public:
  RefreshRunning() { refreshRunning = true; }
  ~RefreshRunning() { refreshRunning = false; }
  RefreshRunning(const RefreshRunning&) = delete;
  RefreshRunning& operator=(const RefreshRunning&) = delete;
};

// The decimal value of a list's text read the classic way: leading blanks, an optional sign,
// then digits up to the first non-digit; no digits read as 0. Saturates far above any count,
// so ten typed digits cannot overflow.
long readNumber(const QString& text) {
  constexpr long kSaturation = 1000000;
  const QByteArray bytes = text.left(kMaxNumberText).toLatin1();
  const char* p = bytes.constData();
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > kSaturation) value = kSaturation;
  }
  return negative ? -value : value;
}

// Below 1 reads as 1, at or beyond the last number as the last. A count of 0 (nothing to
// choose from) keeps 1, so the result always fits a Reference field.
std::uint8_t clampNumber(long value, int count) {
  if (value < 1 || count < 1) return 1;
  if (value >= count) return static_cast<std::uint8_t>(count);
  return static_cast<std::uint8_t>(value);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The lists

TBibleCombo::TBibleCombo(TReferenceDlg* owner, BibleHandle* module, int controlId, bool editable)
    : QComboBox(owner), owner_(owner), module_(module), controlId_(controlId) {
  setObjectName(QString::number(controlId));
  setEditable(editable);
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  setMaxVisibleItems(20);
  if (editable) {
    // A typed number is a choice, not a new entry; and it must read as typed, not as an
    // inline completion of it.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    lineEdit()->setMaxLength(kMaxNumberText);
  }
}

void TBibleCombo::refillNumbers(const char* heading, int count) {
  // The refill is the refresh's own work: it must not post another one.
  const QSignalBlocker block(this);
  const QString kept = isEditable() ? currentText().left(kMaxNumberText) : QString();
  clear();
  addItem(QString::fromLatin1(heading));
  for (int number = 1; number <= count; ++number) addItem(QString::number(number));
  if (isEditable()) setEditText(kept);
}

TBookCombo::TBookCombo(TReferenceDlg* owner, BibleHandle* module)
    : TBibleCombo(owner, module, kBookListId, false) {}

void TBookCombo::fill(Reference initial) {
  const QSignalBlocker block(this);
  clear();
  addItem(QStringLiteral("Book"));
  const int books = module() ? getBooksInBible(module()) : 0;
  for (int book = 0; book < books; ++book)
    addItem(QString::fromUtf8(getBookName(static_cast<unsigned>(book), module())));
  setCurrentIndex(initial.book < books ? initial.book + 1 : 0);
  markFilled();
}

TChapterCombo::TChapterCombo(TReferenceDlg* owner, BibleHandle* module)
    : TBibleCombo(owner, module, kChapterListId, true) {}

void TChapterCombo::fill(Reference initial) {
  refill(initial);
  const QSignalBlocker block(this);
  setEditText(QString::number(initial.chapter));
  markFilled();
}

void TChapterCombo::refill(Reference reference) {
  refillNumbers("Chp", module() ? getChaptersInBook(reference, module()) : 0);
}

TVerseCombo::TVerseCombo(TReferenceDlg* owner, BibleHandle* module)
    : TBibleCombo(owner, module, kVerseListId, true) {}

void TVerseCombo::fill(Reference initial) {
  refill(initial);
  const QSignalBlocker block(this);
  setEditText(QString::number(initial.verse));
  markFilled();
}

void TVerseCombo::refill(Reference reference) {
  refillNumbers("Vse", module() ? getVersesInChapter(reference, module()) : 0);
}

// ---------------------------------------------------------------------------------------------
// TReferenceDlg

TReferenceDlg::TReferenceDlg(QWidget* owner, int resourceId, BibleHandle* module, Reference initial)
    : TOkCancelHelpDlg(owner, resourceId),
      module_(module),
      reference_(initial),
      lastSeen_(initial),
      book_(new TBookCombo(this, module)),
      chapter_(new TChapterCombo(this, module)),
      verse_(new TVerseCombo(this, module)) {
  book_->fill(initial);
  chapter_->fill(initial);
  verse_->fill(initial);

  const auto refresh = [this] { postRefresh(); };
  checked(connect(book_, &QComboBox::currentIndexChanged, this, refresh));
  for (QComboBox* list : {static_cast<QComboBox*>(chapter_), static_cast<QComboBox*>(verse_)}) {
    checked(connect(list, &QComboBox::currentIndexChanged, this, refresh));
    checked(connect(list, &QComboBox::editTextChanged, this, refresh));
  }
}

TReferenceDlg::~TReferenceDlg() = default;

Reference TReferenceDlg::listReference() const {
  Reference reference;  // book 0, chapter 1, verse 1
  const int books = module_ ? getBooksInBible(module_) : 0;
  const int index = book_->currentIndex();
  const int book = index <= 0 ? 0 : index - 1;
  if (book >= books) return reference;
  reference.book = static_cast<std::uint8_t>(book);
  reference.chapter =
      clampNumber(readNumber(chapter_->currentText()), getChaptersInBook(reference, module_));
  reference.verse =
      clampNumber(readNumber(verse_->currentText()), getVersesInChapter(reference, module_));
  return reference;
}

void TReferenceDlg::CmRefresh() {
  if (!book_->filled() || !chapter_->filled() || !verse_->filled()) return;
  // Refreshes queued by the last edits may arrive after OK; the answer stands.
  if (answered_) return;
  if (refreshRunning) return;
  const RefreshRunning running;

  const Reference now = listReference();
  const Reference before = lastSeen_;
  // Stored before the hook runs, so that the hook sees the new reference.
  reference_ = now;
  lastSeen_ = now;
  if (now.book != before.book) {
    chapter_->refill(now);
    verse_->refill(now);
    listChanged();
  } else if (now.chapter != before.chapter) {
    verse_->refill(now);
    listChanged();
  } else if (now.verse != before.verse) {
    listChanged();
  }
}

void TReferenceDlg::CmOk() {
  transferData();
  closeWithOk(reference_);
}

void TReferenceDlg::transferData() { reference_ = listReference(); }

void TReferenceDlg::closeWithOk(Reference answer) {
  reference_ = answer;
  answered_ = true;
  TOkCancelHelpDlg::CmOk();
}

void TReferenceDlg::addListRow(QBoxLayout* layout) {
  auto* row = new QHBoxLayout;
  row->addWidget(book_, 1);
  row->addWidget(chapter_);
  row->addWidget(new QLabel(QStringLiteral(":"), this));
  row->addWidget(verse_);
  layout->addLayout(row);
}

void TReferenceDlg::resetListsToHeadings() {
  // Not blocked: the refresh that follows refills the chapter and verse lists for the book the
  // headings read as, so the lists stay consistent with each other.
  book_->setCurrentIndex(0);
  for (QComboBox* list : {static_cast<QComboBox*>(chapter_), static_cast<QComboBox*>(verse_)}) {
    list->setCurrentIndex(0);
    list->setEditText(list->itemText(0));
  }
}

bool TReferenceDlg::listsShowHeadings() const {
  return book_->currentIndex() <= 0 && chapter_->currentText() == chapter_->itemText(0) &&
         verse_->currentText() == verse_->itemText(0);
}

void TReferenceDlg::onListChosen(const std::function<void()>& chosen) {
  checked(connect(book_, &QComboBox::activated, this, chosen));
  for (QComboBox* list : {static_cast<QComboBox*>(chapter_), static_cast<QComboBox*>(verse_)}) {
    checked(connect(list, &QComboBox::activated, this, chosen));
    checked(connect(list->lineEdit(), &QLineEdit::textEdited, this, chosen));
  }
}

// ---------------------------------------------------------------------------------------------
// TReferenceDlgWithVerse

QString versePreview(Reference reference, BibleHandle* module) {
  if (!module) return {};
  std::vector<char> text(kChapterBufferSize, '\0');
  std::uint16_t length = 0;
  getVerse(text.data(), &length, static_cast<std::uint16_t>(text.size()),
           referenceToVerse(reference, module), module);
  // The leading "Book C:V" may hold digits after a blank ("1 John 1:9"); Strong's numbers are
  // looked for only in the verse's own text.
  if (char* colon = std::strchr(text.data(), ':')) {
    if (char* blank = std::strchr(colon, ' ')) killStrongs(blank);
  }
  return QString::fromUtf8(text.data());
}

TReferenceDlgWithVerse::TReferenceDlgWithVerse(QWidget* owner, int resourceId, BibleHandle* module,
                                               Reference initial)
    : TReferenceDlg(owner, resourceId, module, initial), verseText_(new QLabel(this)) {
  verseText_->setObjectName(QString::number(kVerseTextId));
  // Verse text is data, never markup.
  verseText_->setTextFormat(Qt::PlainText);
  verseText_->setWordWrap(true);
  verseText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  showVerse(initial);
}

void TReferenceDlgWithVerse::listChanged() { showVerse(reference()); }

void TReferenceDlgWithVerse::showVerse(Reference reference) {
  verseText_->setText(versePreview(reference, module()));
}

// ---------------------------------------------------------------------------------------------
// TSearchGotoDlg

TSearchGotoDlg::TSearchGotoDlg(QWidget* owner, BibleHandle* module)
    : TReferenceDlg(owner, kResourceId, module, Reference{}), typed_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Go to..."));
  setHelpContext(kHelpContext);

  typed_->setObjectName(QString::number(kTypedReferenceId));
  typed_->setMaxLength(kMaxTypedLength);
  auto* typedLabel = new QLabel(QStringLiteral("Type a reference"), this);
  typedLabel->setBuddy(typed_);

  auto* layout = new QVBoxLayout(this);
  addListRow(layout);
  layout->addWidget(typedLabel);
  layout->addWidget(typed_);
  addButtonRow(layout);

  resetListsToHeadings();

  checked(connect(typed_, &QLineEdit::textChanged, this, [this] { typedTextChanged(); }));
  // A choice made in a list is the user's latest input, even choosing the first book right
  // after typing.
  onListChosen([this] { clearTypedText(); });
  requestFocus(kTypedReferenceId);
}

void TSearchGotoDlg::typedTextChanged() {
  if (guard_) return;
  guard_ = true;
  resetListsToHeadings();
  guard_ = false;
}

void TSearchGotoDlg::clearTypedText() {
  if (guard_ || typed_->text().isEmpty()) return;
  guard_ = true;
  typed_->clear();
  guard_ = false;
}

void TSearchGotoDlg::listChanged() {
  // Lists back at their headings were reset by typing; that must not wipe what is being typed.
  if (!listsShowHeadings()) clearTypedText();
}

void TSearchGotoDlg::CmOk() {
  const QString typed = typed_->text();
  if (typed.trimmed().isEmpty()) {
    transferData();
    char text[64] = {};
    if (module()) unparseReference(text, reference(), module());
    resultText_ = text;
    closeWithOk(reference());
    return;
  }
  const QByteArray bytes = typed.toUtf8();
  Reference parsed;
  if (!module() || !parseReference(&parsed, bytes.constData(), module())) {
    _MessageBox(this, QStringLiteral("%1 is not a valid reference").arg(typed),
                QStringLiteral("Invalid Reference"), MB_OK);
    // Keep the text so it can be corrected; select it so it can as easily be replaced.
    typed_->setFocus();
    typed_->selectAll();
    requestFocus(kTypedReferenceId);
    return;
  }
  // The lists' reference is not taken out here: the typed one is the answer.
  resultText_ = bytes;
  closeWithOk(parsed);
}

bool runGotoDialog(QWidget* owner, BibleHandle* module, Reference* out, QByteArray* text) {
  TSearchGotoDlg dialog(owner, module);
  if (dialog.exec() != QDialog::Accepted) return false;
  *out = dialog.reference();
  *text = dialog.resultText();
  return true;
}

// ---------------------------------------------------------------------------------------------
// TOpenVersionDlg

TOpenVersionDlg::TOpenVersionDlg(QWidget* owner, int resourceId, const char* title,
                                 const char* directories)
    : TOkCancelHelpDlg(owner, resourceId),
      list_(new QListWidget(this)),
      makeDefault_(new QCheckBox(QStringLiteral("Open this translation by default"), this)) {
  getBibleNames(names_.data(), &count_, directories ? directories : "", kMaxModules);

  setWindowTitle(title ? QString::fromUtf8(title).left(kMaxTitleLength)
                       : QStringLiteral("Select Translation"));
  list_->setObjectName(QString::number(kModuleListId));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (std::uint16_t i = 0; i < count_; ++i) {
    const char* name = names_[i].name;
    list_->addItem(
        QString::fromUtf8(name, static_cast<qsizetype>(strnlen(name, sizeof names_[i].name))));
  }
  if (count_ > 0) list_->setCurrentRow(0);
  makeDefault_->setObjectName(QString::number(kMakeDefaultId));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  if (count_ == 0) {
    // Otherwise an empty list and a grey OK button would be all the user sees.
    auto* none =
        new QLabel(QStringLiteral("No Bible translation was found along the data path."), this);
    none->setWordWrap(true);
    layout->addWidget(none);
  }
  layout->addWidget(makeDefault_);
  addButtonRow(layout);

  // The keyboard starts in the list: Down picks the next translation, Return opens it.
  setTabOrder(list_, makeDefault_);
  setTabOrder(makeDefault_, okButton());
  if (count_ > 0) list_->setFocus(Qt::OtherFocusReason);

  checked(connect(list_, &QListWidget::itemDoubleClicked, this, [this] { CmOk(); }));
  checked(connect(list_, &QListWidget::currentRowChanged, this, [this] { updateOkButton(); }));
  updateOkButton();
}

void TOpenVersionDlg::updateOkButton() {
  const int row = list_->currentRow();
  okButton()->setEnabled(row >= 0 && row < count_);
}

bibleName TOpenVersionDlg::selected() const {
  if (selected_ < 0) return {};
  return names_[static_cast<std::size_t>(selected_)];
}

void TOpenVersionDlg::CmOk() {
  // Return reaches here even while the button is disabled.
  const int row = list_->currentRow();
  if (row < 0 || row >= count_) return;
  selected_ = row;
  if (makeDefault_->isChecked()) writeDefaultBible(&names_[static_cast<std::size_t>(row)]);
  TOkCancelHelpDlg::CmOk();
}

std::optional<bibleName> runOpenVersionDlg(QWidget* owner, const char* title,
                                           const char* directories) {
  TOpenVersionDlg dialog(owner, TOpenVersionDlg::kResourceId, title, directories);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedIndex() < 0) return std::nullopt;
  return dialog.selected();
}

}  // namespace vellum::ui
