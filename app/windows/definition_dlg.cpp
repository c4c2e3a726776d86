#include "app/windows/definition_dlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <algorithm>
#include <cstdlib>
#include <span>

#include "app/print_text.h"
#include "app/utf8.h"
#include "app/window_utils.h"
#include "app/windows/dictionary_dlg.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "support/strings.h"

namespace vellum::ui {
namespace {

// How far the double-click reading looks for a book name before a chapter and verse, and for
// a leading digit or a following chapter and verse around a bare word.
constexpr std::size_t kBookSearchSpan = 200;
constexpr std::size_t kNeighbourSpan = 20;

bool startsWithDigit(const std::string& word) { return !word.empty() && isDigit(word.front()); }

bool isSplitCharacter(char c) {
  static constexpr std::string_view kSeparators = " \t\r\n;'\",.<>[]{}|`~!#$%^&*()_+=-@";
  return kSeparators.find(c) != std::string_view::npos;
}

}  // namespace

std::vector<std::string> splitWords(const std::string& text, std::size_t position,
                                    std::size_t length, bool forward) {
  position = std::min(position, text.size());
  std::size_t begin = 0;
  std::size_t end = 0;
  if (forward) {
    begin = position;
    end = std::min(text.size(), position + length);
    // Out to the end of the word the span cuts into.
    while (end < text.size() && !isSplitCharacter(text[end])) ++end;
  } else {
    end = position;
    begin = position > length ? position - length : 0;
    while (begin > 0 && !isSplitCharacter(text[begin - 1])) --begin;
  }
  std::vector<std::string> words;
  std::string word;
  for (std::size_t i = begin; i < end; ++i) {
    if (isSplitCharacter(text[i])) {
      trim(word);
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(text[i]);
    }
  }
  trim(word);
  if (!word.empty()) words.push_back(word);
  return words;
}

// ---------------------------------------------------------------------------------------------
// TDefinitionDlg

TDefinitionDlg::TDefinitionDlg(QWidget* parent, int resourceId)
    : TOkCancelHelpDlg(parent, resourceId),
      pane_(new TEditWithDoubleClick(this)),
      copy_(new QPushButton(QStringLiteral("C&opy"), this)),
      print_(new QPushButton(QStringLiteral("&Print..."), this)),
      back_(new QPushButton(QStringLiteral("&Back"), this)) {
  pane_->setObjectName(QString::number(kPaneId));
  pane_->setReadOnly(true);
  pane_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  pane_->setMinimumSize(460, 300);
  copy_->setObjectName(QString::number(Command::CmEditCopy));
  print_->setObjectName(QString::number(Command::CmFilePrint));
  back_->setObjectName(QString::number(kBackId));
  // Return in the key field is the look-up; only Cancel closes the window.
  okButton()->hide();
  for (QPushButton* button : {copy_, print_, back_, cancelButton(), helpButton()})
    button->setAutoDefault(false);
  checked(connect(copy_, &QPushButton::clicked, this, [this] { CmEditCopy(); }));
  checked(connect(print_, &QPushButton::clicked, this, [this] { CmFilePrint(); }));
  checked(connect(back_, &QPushButton::clicked, this, [this] { CmBack(); }));
  updateBack();
}

TDefinitionDlg::~TDefinitionDlg() = default;

void TDefinitionDlg::buildLayout(QLayout* keyRow) {
  auto* layout = new QVBoxLayout(this);
  if (keyRow) layout->addLayout(keyRow);
  layout->addWidget(pane_, 1);
  auto* row = new QHBoxLayout;
  row->addWidget(copy_);
  row->addWidget(print_);
  row->addWidget(back_);
  row->addStretch(1);
  row->addWidget(okButton());
  row->addWidget(cancelButton());
  row->addWidget(helpButton());
  layout->addLayout(row);
}

std::string TDefinitionDlg::cleanKey(const QString& text) {
  std::string key = toUtf8(text);
  cutUtf8(key, kMaxKeyLength);
  trim(key);
  return key;
}

QString TDefinitionDlg::paneText() const { return pane_->toPlainText(); }

void TDefinitionDlg::showDefinition(const QString& text, const QString& missing) {
  pane_->setPlainText(text);
  // The pane stays empty, as a missing entry leaves it; the placeholder says why.
  pane_->setPlaceholderText(text.isEmpty() ? missing : QString());
}

bool TDefinitionDlg::keyDiffers(const std::string& key) const { return key != current_; }

bool TDefinitionDlg::lookUpKey(std::string key, bool pushHistory) {
  if (!lookup(key)) return false;
  if (pushHistory && !current_.empty() && current_ != key) {
    // The oldest key goes when the history is full, so Back always leads to the key before.
    if (history_.size() >= static_cast<std::size_t>(kHistoryLimit))
      history_.erase(history_.begin());
    history_.push_back(current_);
  }
  current_ = key;
  updateBack();
  return true;
}

void TDefinitionDlg::CmOk() {
  const std::string key = cleanKey(keyFieldText());
  if (!keyDiffers(key)) return;
  if (lookUpKey(key)) setKeyFieldText(QString::fromUtf8(current_.c_str()));
}

void TDefinitionDlg::CmBack() {
  if (history_.empty()) return;
  std::string key = std::move(history_.back());
  history_.pop_back();
  current_ = key;
  setKeyFieldText(QString::fromUtf8(key.c_str()));
  lookUpKey(key, false);
  updateBack();
}

QString TDefinitionDlg::selectedWord(int* start, int* end) const {
  const QString text = pane_->toPlainText();
  QTextCursor cursor = pane_->textCursor();
  int first = cursor.selectionStart();
  int last = cursor.selectionEnd();
  const auto isBlank = [](QChar c) { return c.isSpace(); };
  if (first == last) {
    if (first >= text.size() || isBlank(text[first])) {
      if (start) *start = first;
      if (end) *end = last;
      return {};
    }
  }
  while (first > 0 && !isBlank(text[first - 1])) --first;
  while (last < text.size() && !isBlank(text[last])) ++last;
  if (start) *start = first;
  if (end) *end = last;
  return text.mid(first, last - first);
}

void TDefinitionDlg::CmDefinitionDoubleClick() {
  const std::string word = cleanKey(selectedWord());
  if (word.empty()) return;
  setKeyFieldText(QString::fromUtf8(word.c_str()));
  if (lookUpKey(word)) setKeyFieldText(QString::fromUtf8(current_.c_str()));
}

void TDefinitionDlg::CmEditCopy() {
  // The text's line ends reach the clipboard as the stores deliver them: "\r\n".
  QString body = paneText();
  body.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  const QString text = QString::fromUtf8(current_.c_str()) + QStringLiteral("\n\n") + body;
  _SetClipboardData(text.toUtf8().constData(), this);
}

void TDefinitionDlg::CmFilePrint() {
  // The printout keeps a reference to the text: it lives until printing is over.
  const std::string text = current_ + "\n\n" + toUtf8(paneText());
  TPrintText printout(QString::fromUtf8(current_.c_str()), text);
  printPassage(printout, this);
}

void TDefinitionDlg::updateBack() { back_->setEnabled(!history_.empty()); }

bool TDefinitionDlg::handleCommand(int id) {
  switch (id) {
    case Command::CmDefinitionDoubleClick:
      CmDefinitionDoubleClick();
      return true;
    case kBackId:
      CmBack();
      return true;
    case Command::CmEditCopy:
      CmEditCopy();
      return true;
    case Command::CmFilePrint:
      CmFilePrint();
      return true;
    default:
      return false;
  }
}

bool TDefinitionDlg::commandState(int id, CommandState& state) {
  switch (id) {
    case Command::CmDefinitionDoubleClick:
    case Command::CmEditCopy:
    case Command::CmFilePrint:
      state.enabled = true;
      return true;
    case kBackId:
      state.enabled = !history_.empty();
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// TStrongsDlg

TStrongsDlg::TStrongsDlg(QWidget* parent, const std::string& initialKey, bool oldTestament)
    : TDefinitionDlg(parent, kResourceId),
      lexicon_(initLexicon("lexicon.lex")),
      key_(new QLineEdit(this)),
      testament_(new QCheckBox(QStringLiteral("&Old Testament"), this)),
      shownTestament_(oldTestament) {
  setWindowTitle(QStringLiteral("Strong's Number Lookup"));
  setHelpContext(kHelpContext);
  key_->setObjectName(QString::number(kKeyId));
  key_->setMaxLength(kMaxKeyLength);
  testament_->setObjectName(QString::number(kOldTestamentId));
  testament_->setChecked(oldTestament);
  auto* label = new QLabel(QStringLiteral("&Strong's Number:"), this);
  label->setBuddy(key_);
  auto* row = new QHBoxLayout;
  row->addWidget(testament_);
  row->addSpacing(12);
  row->addWidget(label);
  row->addWidget(key_, 1);
  buildLayout(row);
  // The other table is what the user asked for: show it at once.
  checked(connect(testament_, &QCheckBox::toggled, this, [this] { CmOk(); }));

  const std::string key = cleanKey(QString::fromUtf8(initialKey.c_str()));
  key_->setText(QString::fromUtf8(key.c_str()));
  if (!key.empty()) lookUpKey(key);
  requestFocus(kKeyId);
}

TStrongsDlg::~TStrongsDlg() { deinitLexicon(lexicon_); }

bool TStrongsDlg::keyDiffers(const std::string& key) const {
  return key != currentKey() || testament_->isChecked() != shownTestament_;
}

bool TStrongsDlg::lookup(std::string& key) {
  shownTestament_ = testament_->isChecked();
  const QString missing = lexicon_ == nullptr
                              ? QStringLiteral("The lexicon \"lexicon.lex\" was not found.")
                              : QStringLiteral("No definition for Strong's number \"%1\".")
                                    .arg(QString::fromUtf8(key.c_str()));
  const long number = startsWithDigit(key) ? std::strtol(key.c_str(), nullptr, 10) : 0;
  std::vector<char> buffer(kTextBufferSize, '\0');
  std::uint16_t length = 0;
  if (key.empty() || number <= 0 || number > 0xFFFF ||
      lookupLexicon(buffer.data(), &length, kTextBufferSize, static_cast<std::uint16_t>(number),
                    shownTestament_ ? 1 : 0, lexicon_) == nullptr) {
    showDefinition(QString(), key.empty() ? QString() : missing);
    return false;
  }
  showDefinition(fromStore(buffer.data(), length));
  return true;
}

QString TStrongsDlg::keyFieldText() const { return key_->text(); }

void TStrongsDlg::setKeyFieldText(const QString& key) { key_->setText(key); }

// ---------------------------------------------------------------------------------------------
// TEastonsDlg

TEastonsDlg::TEastonsDlg(QWidget* parent, DictHandle* store, BibleHandle* module,
                         const std::string& initialWord)
    : TDefinitionDlg(parent, kResourceId),
      store_(store),
      module_(module),
      key_(new QComboBox(this)),
      add_(new QPushButton(QStringLiteral("&Add..."), this)) {
  setWindowTitle(QStringLiteral("Easton's Dictionary"));
  setHelpContext(kHelpContext);
  key_->setObjectName(QString::number(kKeyId));
  key_->setEditable(true);
  key_->setInsertPolicy(QComboBox::NoInsert);
  key_->setMaxVisibleItems(20);
  key_->lineEdit()->setMaxLength(kMaxKeyLength);
  add_->setObjectName(QString::number(kAddId));
  add_->setAutoDefault(false);
  auto* label = new QLabel(QStringLiteral("&Word:"), this);
  label->setBuddy(key_);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(key_, 1);
  row->addWidget(add_);
  buildLayout(row);
  fillWords();
  add_->setEnabled(store_ != nullptr && isReadOnly(store_) == 0);
  checked(connect(add_, &QPushButton::clicked, this, [this] { CmAdd(); }));
  // Choosing a word from the list confirms it, as Return does.
  checked(connect(key_, &QComboBox::activated, this, [this] { CmOk(); }));

  if (initialWord.empty()) {
    if (key_->count() > 0) key_->setCurrentIndex(0);
  } else {
    key_->setEditText(QString::fromUtf8(initialWord.c_str()));
  }
  const std::string key = cleanKey(key_->currentText());
  if (!key.empty() && lookUpKey(key)) setKeyFieldText(QString::fromUtf8(currentKey().c_str()));
  requestFocus(kKeyId);
}

void TEastonsDlg::fillWords() {
  const QSignalBlocker block(key_);
  const QString kept = key_->currentText();
  key_->clear();
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store_);
  QStringList words;
  words.reserve(count);
  for (std::uint16_t i = 0; i < count && i < list.size(); ++i)
    words << QString::fromUtf8(list[i].c_str());
  key_->addItems(words);
  key_->setEditText(kept);
}

bool TEastonsDlg::lookup(std::string& key) {
  if (key.empty()) {
    showDefinition(QString());
    return false;
  }
  std::vector<char> buffer(kTextBufferSize, '\0');
  std::uint16_t length = 0;
  Reference reference;
  if (module_ != nullptr && parseReference(&reference, key.c_str(), module_) != 0) {
    getVerse(buffer.data(), &length, kTextBufferSize, referenceToVerse(reference, module_),
             module_);
    showDefinition(QString::fromUtf8(buffer.data(), length));
    return true;
  }
  std::string name = key;
  if (store_ != nullptr &&
      fuzzy_find_string_item(buffer.data(), &length, kTextBufferSize, name, store_) != nullptr) {
    key = name;
    showDefinition(fromStore(buffer.data(), length));
    return true;
  }
  showDefinition(
      QString(),
      store_ == nullptr
          ? QStringLiteral("The dictionary \"eastons.dic\" was not found.")
          : QStringLiteral("\"%1\" is not in the dictionary.").arg(QString::fromUtf8(key.c_str())));
  return false;
}

QString TEastonsDlg::keyFieldText() const { return key_->currentText(); }

void TEastonsDlg::setKeyFieldText(const QString& key) {
  const QSignalBlocker block(key_);
  key_->setEditText(key);
}

std::string TEastonsDlg::referenceAroundSelection() const {
  if (module_ == nullptr) return {};
  int start = 0;
  int end = 0;
  const std::string selected = cleanKey(selectedWord(&start, &end));
  if (selected.empty()) return {};
  const QString text = paneText();
  const std::string before = toUtf8(text.left(start));
  const std::string all = before + toUtf8(text.mid(start));
  const std::size_t position = before.size();

  const auto parses = [this](const std::string& candidate, std::string* canonical) {
    Reference reference;
    if (parseReference(&reference, candidate.c_str(), module_) == 0) return false;
    char written[64] = {};
    unparseReference(written, reference, module_);
    *canonical = written;
    return true;
  };
  const auto singleDigit = [](const std::string& word) {
    return word.size() == 1 && word[0] >= '1' && word[0] <= '3';
  };

  std::string found;
  if (selected.find(':') != std::string::npos && startsWithDigit(selected)) {
    // A chapter and verse: the nearest book name before it, with its 1 to 3 in front.
    std::vector<std::string> words = splitWords(all, position, kBookSearchSpan, false);
    std::reverse(words.begin(), words.end());
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (startsWithDigit(words[i])) continue;
      std::string candidate = words[i] + " " + selected;
      if (i + 1 < words.size() && singleDigit(words[i + 1]))
        candidate = words[i + 1] + " " + candidate;
      if (parses(candidate, &found)) return found;
    }
    return {};
  }
  // A bare word or number: a 1 to 3 before it, and the chapter and verse after it.
  std::string candidate;
  const std::vector<std::string> previous = splitWords(all, position, kNeighbourSpan, false);
  if (!previous.empty() && singleDigit(previous.back())) candidate = previous.back() + " ";
  candidate += selected + " ";
  const std::vector<std::string> next = splitWords(all, position, kNeighbourSpan, true);
  if (next.size() >= 2) candidate += next[1];
  if (parses(candidate, &found)) return found;
  return {};
}

void TEastonsDlg::CmDefinitionDoubleClick() {
  const std::string reference = referenceAroundSelection();
  if (reference.empty()) {
    TDefinitionDlg::CmDefinitionDoubleClick();
    return;
  }
  setKeyFieldText(QString::fromUtf8(reference.c_str()));
  lookUpKey(reference);
}

void TEastonsDlg::CmAdd() {
  if (!add_->isEnabled()) return;
  if (runInsertWord(this, store_, cleanKey(key_->currentText()))) fillWords();
}

// ---------------------------------------------------------------------------------------------
// TMHCDlg

TMHCDlg::TMHCDlg(QWidget* parent, DictHandle* store, BibleHandle* module, Reference initial)
    : TDefinitionDlg(parent, kResourceId),
      store_(store),
      module_(module),
      reference_(initial),
      book_(new QComboBox(this)),
      chapter_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Search Matthew Henry's Commentary"));
  setHelpContext(kHelpContext);
  book_->setObjectName(QString::number(kBookListId));
  chapter_->setObjectName(QString::number(kChapterListId));
  chapter_->setEditable(true);
  chapter_->setInsertPolicy(QComboBox::NoInsert);
  chapter_->setCompleter(nullptr);
  chapter_->lineEdit()->setMaxLength(10);
  book_->setMaxVisibleItems(20);
  chapter_->setMaxVisibleItems(20);
  auto* label = new QLabel(QStringLiteral("&Reference:"), this);
  label->setBuddy(book_);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(book_, 1);
  row->addWidget(chapter_);
  buildLayout(row);

  const int books = module_ ? getBooksInBible(module_) : 0;
  if (reference_.book >= books) reference_ = Reference{};
  reference_.verse = 1;
  {
    const QSignalBlocker block(book_);
    for (int book = 0; book < books; ++book)
      book_->addItem(QString::fromUtf8(getBookName(static_cast<unsigned>(book), module_)));
    book_->setCurrentIndex(books > 0 ? reference_.book : -1);
  }
  refillChapters();
  checked(connect(book_, &QComboBox::currentIndexChanged, this, [this] { pickerChanged(); }));
  checked(connect(chapter_, &QComboBox::currentIndexChanged, this, [this] { pickerChanged(); }));
  checked(connect(chapter_, &QComboBox::editTextChanged, this, [this] { pickerChanged(); }));
  lookUpKey(keyOf(reference_));
}

std::string TMHCDlg::chapterKey(Reference reference) {
  return std::to_string(reference.chapter) + ":" + std::to_string(reference.book);
}

std::string TMHCDlg::keyOf(Reference reference) const {
  if (module_ == nullptr) return {};
  return std::string(getBookName(reference.book, module_)) + " " +
         std::to_string(reference.chapter);
}

void TMHCDlg::refillChapters() {
  const QSignalBlocker block(chapter_);
  chapter_->clear();
  const int chapters = module_ ? getChaptersInBook(reference_, module_) : 0;
  for (int chapter = 1; chapter <= chapters; ++chapter) chapter_->addItem(QString::number(chapter));
  chapter_->setCurrentIndex(reference_.chapter - 1);
  chapter_->setEditText(QString::number(reference_.chapter));
}

void TMHCDlg::pickerChanged() {
  if (changing_ || module_ == nullptr) return;
  changing_ = true;
  Reference picked = reference_;
  const int book = book_->currentIndex();
  const bool bookChanged = book >= 0 && book != reference_.book;
  if (bookChanged) picked.book = static_cast<std::uint8_t>(book);
  const int chapters = getChaptersInBook(picked, module_);
  const long typed =
      std::strtol(chapter_->currentText().left(10).toLatin1().constData(), nullptr, 10);
  picked.chapter = static_cast<std::uint8_t>(std::clamp<long>(typed, 1, std::max(chapters, 1)));
  reference_ = picked;
  if (bookChanged) refillChapters();
  lookUpKey(keyOf(reference_));
  changing_ = false;
}

bool TMHCDlg::lookup(std::string& key) {
  // The key names the chapter the picker shows; Back puts its own key into the picker first.
  (void)key;
  std::vector<char> buffer(kTextBufferSize, '\0');
  std::uint16_t length = 0;
  const std::string storeKey = chapterKey(reference_);
  if (store_ != nullptr && find_string_item(buffer.data(), &length, kTextBufferSize,
                                            storeKey.c_str(), store_) != nullptr) {
    showDefinition(fromStore(buffer.data(), length));
    return true;
  }
  showDefinition(QString(), store_ == nullptr
                                ? QStringLiteral("The commentary \"mhc.dic\" was not found.")
                                : QStringLiteral("There is no commentary on %1.")
                                      .arg(QString::fromUtf8(keyOf(reference_).c_str())));
  return false;
}

QString TMHCDlg::keyFieldText() const { return QString::fromUtf8(keyOf(reference_).c_str()); }

void TMHCDlg::setKeyFieldText(const QString& key) {
  // "Book C": the book by its exact name, the chapter after the last blank.
  if (module_ == nullptr) return;
  const qsizetype blank = key.lastIndexOf(u' ');
  if (blank <= 0) return;
  const QString name = key.left(blank);
  const int chapter = key.mid(blank + 1).toInt();
  for (int book = 0; book < getBooksInBible(module_); ++book) {
    if (name == QString::fromUtf8(getBookName(static_cast<unsigned>(book), module_))) {
      const bool wasChanging = changing_;
      changing_ = true;
      reference_ = Reference{static_cast<std::uint8_t>(book),
                             static_cast<std::uint8_t>(std::clamp(chapter, 1, 255)), 1};
      {
        const QSignalBlocker block(book_);
        book_->setCurrentIndex(book);
      }
      refillChapters();
      changing_ = wasChanging;
      return;
    }
  }
}

}  // namespace vellum::ui
