#include "app/windows/topic_dlg.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <algorithm>
#include <span>

#include "app/utf8.h"
#include "app/window_utils.h"
#include "engine/stores/dict.h"
#include "support/strings.h"

namespace vellum::ui {
namespace {

constexpr int kTopicId = 10010;
constexpr int kNewNameId = 10012;
constexpr int kBookListId = 10013;
constexpr int kReferenceListId = 10015;
constexpr int kVerseTextId = 10016;

// A topic name as typed: UTF-8, at most 39 bytes, never cut inside a character.
std::string topicName(const QString& text) { return cutUtf8(text, kMaxTopicName); }

bool blank(const std::string& name) { return trimmedLength(name) == 0; }

QString referenceText(const Reference& reference, BibleHandle* module) {
  return QString::fromStdString(topicReferenceText(reference, module));
}

// After a failed change: when another program held the store, says so and returns true.
bool refusedAsBusy(QWidget* dialog, DictHandle* topics) {
  if (isBusy(topics) == 0) return false;
  showChangeRefused(dialog, dictFileName(topics), dialog->windowTitle());
  return true;
}

// A list entry keeps the reference's own bytes, so that an entry whose text cannot be parsed
// back (a book the module lacks) can still be deleted.
QVariant packReference(const Reference& reference) {
  return QVariant((reference.book << 16) | (reference.chapter << 8) | reference.verse);
}

Reference unpackReference(const QVariant& data) {
  const int packed = data.toInt();
  return Reference{static_cast<std::uint8_t>(packed >> 16), static_cast<std::uint8_t>(packed >> 8),
                   static_cast<std::uint8_t>(packed)};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TTopicCombo

TTopicCombo::TTopicCombo(QWidget* parent, DictHandle* topics, const QString& initialName,
                         bool editable)
    : QComboBox(parent), topics_(topics) {
  setObjectName(QString::number(kTopicId));
  setEditable(editable);
  setMaxVisibleItems(20);
  setMinimumContentsLength(24);
  if (editable) {
    // A typed name is a topic to be created, not an entry of the list.
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->setMaxLength(kMaxTopicName);
  }
  fill(initialName);
}

void TTopicCombo::fill(const QString& initialName) {
  const QSignalBlocker block(this);
  clear();
  std::span<const std::string> names;
  std::uint16_t count = 0;
  get_item_list(&names, &count, topics_);
  for (std::uint16_t i = 0; i < count && i < names.size(); ++i)
    addItem(QString::fromUtf8(names[i].c_str()));
  const int index = initialName.isEmpty() ? -1 : findText(initialName, Qt::MatchFixedString);
  setCurrentIndex(index >= 0 ? index : (count > 0 ? 0 : -1));
}

// ---------------------------------------------------------------------------------------------
// TTopicDlg and the name dialogs

TTopicDlg::TTopicDlg(QWidget* owner, int resourceId, DictHandle* topics, BibleHandle* module)
    : TOkCancelHelpDlg(owner, resourceId), topics_(topics), module_(module) {
  setHelpContext(kTopicHelpContext);
}

TAddTopicDlg::TAddTopicDlg(QWidget* owner, DictHandle* topics, BibleHandle* module)
    : TTopicDlg(owner, kResourceId, topics, module), name_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Insert Topic"));
  name_->setObjectName(QString::number(kTopicId));
  name_->setMaxLength(kMaxTopicName);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Topic"), name_);
  layout->addLayout(form);
  addButtonRow(layout);
  requestFocus(kTopicId);
}

void TAddTopicDlg::CmOk() {
  const std::string name = topicName(name_->text());
  if (blank(name)) return;
  if (topicExists(topics(), name)) {
    _MessageBox(this, QStringLiteral("There is already a topic named %1").arg(name_->text()),
                QStringLiteral("Insert Topic"), MB_OK);
    name_->setFocus();
    name_->selectAll();
    return;
  }
  if (!add_binary_item(topics(), name.c_str(), nullptr, 0) && refusedAsBusy(this, topics())) return;
  TTopicDlg::CmOk();
}

TTopicListDlg::TTopicListDlg(QWidget* owner, int resourceId, DictHandle* topics,
                             BibleHandle* module, const QString& initialName)
    : TTopicDlg(owner, resourceId, topics, module),
      combo_(new TTopicCombo(this, topics, initialName, false)) {}

TRenameTopicDlg::TRenameTopicDlg(QWidget* owner, DictHandle* topics, BibleHandle* module)
    : TTopicListDlg(owner, kResourceId, topics, module), newName_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Rename Topic"));
  newName_->setObjectName(QString::number(kNewNameId));
  newName_->setMaxLength(kMaxTopicName);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Old Name:"), topicList());
  form->addRow(QStringLiteral("&New Name:"), newName_);
  layout->addLayout(form);
  addButtonRow(layout);
  requestFocus(kNewNameId);
}

void TRenameTopicDlg::CmOk() {
  const std::string oldName = topicName(topicList()->currentText());
  const std::string newName = topicName(newName_->text());
  if (blank(oldName) || blank(newName)) return;
  // Names are compared ignoring case, so a change of case renames the topic itself.
  if (_stricmp(oldName.c_str(), newName.c_str()) != 0 && topicExists(topics(), newName)) {
    _MessageBox(this, QStringLiteral("There is already a topic named %1").arg(newName_->text()),
                QStringLiteral("Rename Topic"), MB_OK);
    newName_->setFocus();
    newName_->selectAll();
    return;
  }
  if (!rename_item(newName.c_str(), oldName.c_str(), topics()) && refusedAsBusy(this, topics()))
    return;
  TTopicDlg::CmOk();
}

TDeleteTopicDlg::TDeleteTopicDlg(QWidget* owner, DictHandle* topics, BibleHandle* module)
    : TTopicListDlg(owner, kResourceId, topics, module) {
  setWindowTitle(QStringLiteral("Delete Topic"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Topic Name:"), topicList());
  layout->addLayout(form);
  addButtonRow(layout);
}

void TDeleteTopicDlg::CmOk() {
  const std::string name = topicName(topicList()->currentText());
  if (blank(name)) return;
  const int answer = _MessageBox(
      this,
      QStringLiteral("Are you sure you want to delete topic: %1").arg(topicList()->currentText()),
      QStringLiteral("Warning"), MB_YESNO | MB_ICONQUESTION);
  if (answer != IDYES) return;
  if (!delete_item(name.c_str(), topics()) && refusedAsBusy(this, topics())) return;
  TTopicDlg::CmOk();
}

// ---------------------------------------------------------------------------------------------
// Insert Verse

TTopicInsertVerseDlg::TTopicInsertVerseDlg(QWidget* owner, DictHandle* topics, BibleHandle* module,
                                           Reference initial, const QString& initialTopic)
    : TReferenceDlgWithVerse(owner, kResourceId, module, initial),
      topics_(topics),
      combo_(new TTopicCombo(this, topics, initialTopic, true)) {
  setWindowTitle(QStringLiteral("Insert Verse"));
  setHelpContext(kTopicHelpContext);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Topic:"), combo_);
  layout->addLayout(form);
  addListRow(layout);
  verseText()->setMinimumWidth(360);
  layout->addWidget(verseText());
  addButtonRow(layout);
}

void TTopicInsertVerseDlg::CmOk() {
  const std::string name = topicName(combo_->currentText());
  if (blank(name)) return;
  transferData();
  const Reference picked = reference();
  bool added = false;
  bool written = false;
  {
    const DictChange change(topics_);
    if (!change.held() && refusedAsBusy(this, topics_)) return;
    std::vector<Reference> references = readTopic(topics_, name).value_or(std::vector<Reference>{});
    added = insertTopicReference(references, picked);
    written = added && writeTopic(topics_, name, references);
  }
  if (added) {
    char text[64] = {};
    if (module()) unparseReference(text, picked, module());
    if (!written) {
      if (refusedAsBusy(this, topics_)) return;
      _MessageBox(this,
                  QStringLiteral("%1 could not be added to %2: the topic is full or cannot be "
                                 "written")
                      .arg(QString::fromUtf8(text), QString::fromUtf8(name.c_str())),
                  QStringLiteral("Insert Verse"), MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    _MessageBox(this,
                QStringLiteral("%1 has been added to %2")
                    .arg(QString::fromUtf8(text), QString::fromUtf8(name.c_str())),
                QStringLiteral("Verse Added"), MB_OK);
    // A topic typed anew is now in the store: list it, keeping it chosen.
    const QString current = combo_->currentText();
    combo_->fill(current);
    combo_->setCurrentText(current);
  }
  bookList()->setFocus();
  requestFocus(kBookListId);
}

// ---------------------------------------------------------------------------------------------
// Delete Verse

TTopicDeleteVerseDlg::TTopicDeleteVerseDlg(QWidget* owner, DictHandle* topics, BibleHandle* module)
    : TTopicListDlg(owner, kResourceId, topics, module),
      list_(new QListWidget(this)),
      verseText_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Delete Verse"));
  list_->setObjectName(QString::number(kReferenceListId));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  verseText_->setObjectName(QString::number(kVerseTextId));
  verseText_->setTextFormat(Qt::PlainText);
  verseText_->setWordWrap(true);
  verseText_->setMinimumWidth(360);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Topic:"), topicList());
  form->addRow(QStringLiteral("&Reference:"), list_);
  layout->addLayout(form);
  layout->addWidget(verseText_);
  addButtonRow(layout);

  checked(connect(topicList(), &QComboBox::currentIndexChanged, this, [this] { refill(); }));
  checked(connect(list_, &QListWidget::currentRowChanged, this, [this] { showSelectedVerse(); }));
  refill();
}

void TTopicDeleteVerseDlg::refill() {
  const QSignalBlocker block(list_);
  list_->clear();
  const std::string name = topicName(topicList()->currentText());
  if (!blank(name)) {
    for (const Reference& reference :
         readTopic(topics(), name).value_or(std::vector<Reference>{})) {
      auto* item = new QListWidgetItem(referenceText(reference, module()), list_);
      item->setData(Qt::UserRole, packReference(reference));
    }
  }
  verseText_->clear();
}

void TTopicDeleteVerseDlg::showSelectedVerse() {
  QListWidgetItem* item = list_->currentItem();
  if (!item) {
    verseText_->clear();
    return;
  }
  const Reference reference = unpackReference(item->data(Qt::UserRole));
  // Text of a verse the module holds; nothing for one it lacks.
  if (referenceText(reference, module()).startsWith('('))
    verseText_->clear();
  else
    verseText_->setText(versePreview(reference, module()));
}

void TTopicDeleteVerseDlg::CmOk() {
  const std::string name = topicName(topicList()->currentText());
  if (blank(name)) return;
  QListWidgetItem* item = list_->currentItem();
  if (!item || !item->isSelected()) return;
  const int row = list_->row(item);
  const Reference chosen = unpackReference(item->data(Qt::UserRole));
  {
    const DictChange change(topics());
    if (!change.held() && refusedAsBusy(this, topics())) return;
    std::vector<Reference> references =
        readTopic(topics(), name).value_or(std::vector<Reference>{});
    if (removeTopicReference(references, chosen) && !writeTopic(topics(), name, references) &&
        refusedAsBusy(this, topics()))
      return;
  }
  refill();
  if (list_->count() > 0) {
    list_->setCurrentRow(std::min(row, list_->count() - 1));
    showSelectedVerse();
  }
  list_->setFocus();
}

// ---------------------------------------------------------------------------------------------

void runTopicCommand(QWidget* owner, int id, DictHandle* topics, BibleHandle* module,
                     Reference current) {
  switch (id) {
    case 401: {
      TAddTopicDlg dialog(owner, topics, module);
      dialog.exec();
      break;
    }
    case 402: {
      TRenameTopicDlg dialog(owner, topics, module);
      dialog.exec();
      break;
    }
    case 403: {
      TDeleteTopicDlg dialog(owner, topics, module);
      dialog.exec();
      break;
    }
    case 404: {
      TTopicInsertVerseDlg dialog(owner, topics, module, current);
      dialog.exec();
      break;
    }
    case 405: {
      TTopicDeleteVerseDlg dialog(owner, topics, module);
      dialog.exec();
      break;
    }
    default:
      break;
  }
}

}  // namespace vellum::ui
