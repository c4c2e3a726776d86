#include "app/windows/word_list_dlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "app/utf8.h"
#include "app/window_utils.h"
#include "app/workbench.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/search/wordlists.h"
#include "support/strings.h"

namespace vellum::ui {
namespace {

constexpr int kWordFieldId = 10033;
constexpr int kWordListId = 10035;

}  // namespace

TWordListDlg::TWordListDlg(QWidget* owner, Workbench* frame, BibleHandle* module,
                           const QString& initialWord, int resourceId)
    : TOkCancelHelpDlg(owner, resourceId),
      frame_(frame),
      module_(module),
      word_(new QLineEdit(this)),
      list_(new QListWidget(this)) {
  const bool phonetic = resourceId == kPhoneticResource;
  setWindowTitle(phonetic ? QStringLiteral("Phonetic Search") : QStringLiteral("Wildcard Search"));
  setHelpContext(phonetic ? 1140 : 1150);
  word_->setObjectName(QString::number(kWordFieldId));
  word_->setMaxLength(kWordWidth - 1);
  word_->setText(initialWord);
  list_->setObjectName(QString::number(kWordListId));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);

  auto* layout = new QVBoxLayout(this);
  auto* label =
      new QLabel(phonetic ? QStringLiteral("&Word that sounds like:")
                          : QStringLiteral("&Word or pattern (* any letters, ? one letter):"),
                 this);
  label->setBuddy(word_);
  layout->addWidget(label);
  layout->addWidget(word_);
  auto* listLabel = new QLabel(QStringLiteral("Words &found (select those to search for):"), this);
  listLabel->setBuddy(list_);
  layout->addWidget(listLabel);
  layout->addWidget(list_, 1);
  addButtonRow(layout);
  resize(360, 420);

  checked(connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    if (item) {
      list_->clearSelection();
      item->setSelected(true);
    }
    CmOk();
  }));
  requestFocus(kWordFieldId);
}

void TWordListDlg::wordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                            const char* word) {
  getWildCardWordList(words, count, capacity, word, 0, module_);
}

void TWordListDlg::CmOk() {
  const QByteArray word = QByteArray::fromStdString(cutUtf8(word_->text(), kWordWidth - 1));
  if (trimmedLength(std::string_view(word.constData(), static_cast<std::size_t>(word.size()))) == 0)
    return;
  if (word != listedWord_ || listedCase_ != 0) {
    listedCase_ = 0;
    std::vector<std::string> words(kMaxWords);
    std::uint16_t count = 0;
    if (module_) wordList(words.data(), &count, kMaxWords, word.constData());
    list_->clear();
    std::vector<char*> sorted;
    for (std::uint16_t i = 0; i < count; ++i) sorted.push_back(words[i].data());
    if (!sorted.empty()) strSort(sorted.data(), static_cast<int>(sorted.size()));
    const char* previous = nullptr;
    for (char* entry : sorted) {
      if (previous && _stricmp(previous, entry) == 0) continue;
      list_->addItem(QString::fromUtf8(entry));
      previous = entry;
    }
    listedWord_ = word;
    if (list_->count() > 0) list_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    list_->setFocus();
    return;
  }

  std::vector<std::string> selected;
  for (int row = 0; row < list_->count() && selected.size() < kMaxWords; ++row) {
    QListWidgetItem* item = list_->item(row);
    if (item->isSelected()) selected.push_back(cutUtf8(item->text(), kWordWidth - 1));
  }
  if (selected.empty()) {
    TOkCancelHelpDlg::CmOk();
    return;
  }
  std::vector<std::uint16_t> verses(kVerseListCapacity, kVerseListEnd);
  std::uint16_t count = 0;
  wordListSearch(verses.data(), &count, kVerseListCapacity, selected.data(),
                 static_cast<std::uint16_t>(selected.size()), orOp, 0, module_);
  TOkCancelHelpDlg::CmOk();
  resultVerses_.assign(verses.begin(), verses.begin() + count);
  resultText_ = word;
  if (frame_) {
    verses[count] = kVerseListEnd;
    frame_->showVersesFound(verses.data(), count, false, word.constData(), module_);
  }
}

TPhoneticListDlg::TPhoneticListDlg(QWidget* owner, Workbench* frame, BibleHandle* module,
                                   const QString& initialWord)
    : TWordListDlg(owner, frame, module, initialWord, kPhoneticResource) {}

void TPhoneticListDlg::wordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                                const char* word) {
  getSoundexWordList(words, count, capacity, word, module());
}

}  // namespace vellum::ui
