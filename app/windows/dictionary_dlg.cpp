#include "app/windows/dictionary_dlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <span>
#include <vector>

#include "app/utf8.h"
#include "app/window_utils.h"
#include "app/windows/store_text.h"
#include "engine/stores/dict.h"
#include "support/strings.h"

namespace vellum::ui {

TDictionaryDlg::TDictionaryDlg(QWidget* parent, int resourceId, DictHandle* store,
                               const std::string& word, bool editableList)
    : TOkCancelHelpDlg(parent, resourceId), store_(store), words_(new QComboBox(this)) {
  setHelpContext(kHelpContext);
  words_->setObjectName(QString::number(kWordId));
  words_->setEditable(editableList);
  words_->setMaxVisibleItems(20);
  if (editableList) {
    words_->setInsertPolicy(QComboBox::NoInsert);
    words_->lineEdit()->setMaxLength(kMaxKeyBytes);
  }
  std::span<const std::string> list;
  std::uint16_t count = 0;
  get_item_list(&list, &count, store_);
  QStringList words;
  for (std::uint16_t i = 0; i < count && i < list.size(); ++i)
    words << QString::fromUtf8(list[i].c_str());
  words_->addItems(words);
  std::string initial = word;
  cutUtf8(initial, kMaxKeyBytes);
  const QString text = QString::fromUtf8(initial.c_str());
  if (editableList) {
    words_->setEditText(text);
  } else {
    const int index = text.isEmpty() ? 0 : words_->findText(text, Qt::MatchFixedString);
    words_->setCurrentIndex(index >= 0 ? index : 0);
  }
}

std::string TDictionaryDlg::chosenWord() const {
  std::string word = toUtf8(words_->currentText());
  cutUtf8(word, kMaxKeyBytes);
  stripLeading(word, ' ');
  stripTrailing(word, ' ');
  return word;
}

QString TDictionaryDlg::articleOf(const std::string& word) const {
  if (word.empty() || store_ == nullptr) return {};
  std::vector<char> buffer(kTextBufferSize, '\0');
  std::uint16_t length = 0;
  if (find_string_item(buffer.data(), &length, kTextBufferSize, word.c_str(), store_) == nullptr)
    return {};
  return fromStore(buffer.data(), length);
}

void TDictionaryDlg::refuse(const QString& text) {
  _MessageBox(this, text, windowTitle(), MB_OK | MB_ICONEXCLAMATION);
}

bool TDictionaryDlg::refusedAsBusy() {
  if (isBusy(store()) == 0) return false;
  showChangeRefused(this, dictFileName(store()), windowTitle());
  return true;
}

TInsertDictionaryDlg::TInsertDictionaryDlg(QWidget* parent, DictHandle* store,
                                           const std::string& word)
    : TDictionaryDlg(parent, kResourceId, store, word, true), text_(new QPlainTextEdit(this)) {
  setWindowTitle(QStringLiteral("Add Word..."));
  okButton()->setText(QStringLiteral("&Add"));
  text_->setObjectName(QString::number(kTextId));
  text_->setMinimumSize(420, 220);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Word:"), wordList());
  layout->addLayout(form);
  layout->addWidget(new QLabel(QStringLiteral("&Text:"), this));
  layout->addWidget(text_, 1);
  addButtonRow(layout);
  const auto show = [this] { text_->setPlainText(articleOf(chosenWord())); };
  checked(connect(wordList(), &QComboBox::activated, this, show));
  if (!chosenWord().empty()) show();
  requestFocus(kWordId);
}

void TInsertDictionaryDlg::CmOk() {
  const std::string word = chosenWord();
  std::string text = toUtf8(text_->toPlainText());
  std::string blankCheck = text;
  trim(blankCheck);
  if (word.empty() || blankCheck.empty()) {
    refuse(QStringLiteral("Type a word and its text to add it to the dictionary."));
    return;
  }
  if (text.size() > 65534) {
    refuse(QStringLiteral("The text is too long: at most 65534 bytes can be stored."));
    return;
  }
  if (!add_string_item(store(), word.c_str(), text.c_str())) {
    if (refusedAsBusy()) return;
    refuse(QStringLiteral("\"%1\" could not be added: the dictionary cannot be changed.")
               .arg(QString::fromUtf8(word.c_str())));
    return;
  }
  TOkCancelHelpDlg::CmOk();
}

TRenameDictionaryDlg::TRenameDictionaryDlg(QWidget* parent, DictHandle* store,
                                           const std::string& word)
    : TDictionaryDlg(parent, kResourceId, store, word, false), newName_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Rename Word"));
  newName_->setObjectName(QString::number(kNewNameId));
  newName_->setMaxLength(kMaxKeyBytes);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Old Name:"), wordList());
  form->addRow(QStringLiteral("&New Name:"), newName_);
  layout->addLayout(form);
  addButtonRow(layout);
  requestFocus(kNewNameId);
}

void TRenameDictionaryDlg::CmOk() {
  const std::string oldName = chosenWord();
  std::string newName = toUtf8(newName_->text());
  stripLeading(newName, ' ');
  stripTrailing(newName, ' ');
  if (oldName.empty() || newName.empty()) {
    refuse(QStringLiteral("Choose a word and type its new name."));
    return;
  }
  // Renaming onto another word would silently discard that word's article.
  if (_stricmp(oldName.c_str(), newName.c_str()) != 0) {
    std::uint8_t probe = 0;
    std::uint16_t length = 0;
    if (find_binary_item(&probe, &length, 1, newName.c_str(), store()) != nullptr) {
      refuse(QStringLiteral("\"%1\" is already in the dictionary.")
                 .arg(QString::fromUtf8(newName.c_str())));
      return;
    }
  }
  if (!rename_item(newName.c_str(), oldName.c_str(), store())) {
    if (refusedAsBusy()) return;
    refuse(QStringLiteral("\"%1\" could not be renamed: the dictionary cannot be changed.")
               .arg(QString::fromUtf8(oldName.c_str())));
    return;
  }
  TOkCancelHelpDlg::CmOk();
}

TDeleteDictionaryDlg::TDeleteDictionaryDlg(QWidget* parent, DictHandle* store,
                                           const std::string& word)
    : TDictionaryDlg(parent, kResourceId, store, word, false), text_(new QPlainTextEdit(this)) {
  setWindowTitle(QStringLiteral("Delete Word"));
  okButton()->setText(QStringLiteral("&Delete"));
  text_->setObjectName(QString::number(kTextId));
  text_->setReadOnly(true);
  text_->setMinimumSize(420, 220);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Word:"), wordList());
  layout->addLayout(form);
  layout->addWidget(text_, 1);
  addButtonRow(layout);
  const auto show = [this] { text_->setPlainText(articleOf(chosenWord())); };
  checked(connect(wordList(), &QComboBox::currentIndexChanged, this, show));
  show();
  requestFocus(kWordId);
}

void TDeleteDictionaryDlg::CmOk() {
  const std::string word = chosenWord();
  if (word.empty()) {
    refuse(QStringLiteral("Choose the word to delete."));
    return;
  }
  if (!delete_item(word.c_str(), store())) {
    if (refusedAsBusy()) return;
    refuse(QStringLiteral("\"%1\" could not be deleted: the dictionary cannot be changed.")
               .arg(QString::fromUtf8(word.c_str())));
    return;
  }
  TOkCancelHelpDlg::CmOk();
}

bool runInsertWord(QWidget* parent, DictHandle* store, const std::string& word) {
  TInsertDictionaryDlg dialog(parent, store, word);
  return dialog.exec() == QDialog::Accepted;
}

bool runRenameWord(QWidget* parent, DictHandle* store, const std::string& word) {
  TRenameDictionaryDlg dialog(parent, store, word);
  return dialog.exec() == QDialog::Accepted;
}

bool runDeleteWord(QWidget* parent, DictHandle* store, const std::string& word) {
  TDeleteDictionaryDlg dialog(parent, store, word);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace vellum::ui
