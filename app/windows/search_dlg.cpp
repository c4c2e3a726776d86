#include "app/windows/search_dlg.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdlib>
#include <span>

#include "app/commands.h"
#include "app/utf8.h"
#include "app/window_utils.h"
#include "app/workbench.h"
#include "engine/search/boolean.h"
#include "engine/search/search.h"
#include "engine/search/verselist.h"
#include "engine/stores/dict.h"
#include "support/strings.h"

namespace vellum::ui {
namespace {

constexpr int kTopicListId = 10010;
constexpr int kPhraseId = 10019;
constexpr int kExpressionId = 10020;
constexpr int kWordIds[3] = {10021, 10022, 10023};
constexpr int kClearId = 910;

constexpr int kTopicLength = 39;
constexpr int kTextLength = 99;
constexpr int kWordLength = 39;
constexpr std::uint16_t kTopicReadSize = 4096;

char operatorCharacter(int checkedId, int first) {
  if (checkedId == first) return '&';
  if (checkedId == first + 2) return '!';
  return '|';
}

// The classic atoi: leading blanks, a sign, digits; "3 16" is 3, "living" is 0.
long leadingNumber(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

}  // namespace

TSearchDlg::TSearchDlg(QWidget* owner, Workbench* frame, BibleHandle* module, DictHandle* topics,
                       DictHandle* options, Reference current, const std::string& initialText,
                       const QString& bookSetName)
    : TReferenceDlg(owner, kResourceId, module, current),
      frame_(frame),
      topics_(topics),
      options_(options),
      initialText_(initialText),
      topic_(new QComboBox(this)),
      phrase_(new QLineEdit(this)),
      operators1_(new QButtonGroup(this)),
      operators2_(new QButtonGroup(this)),
      expression_(new QLineEdit(this)),
      versesFound_(new QRadioButton(QStringLiteral("&Verses Found"), this)),
      bookSet_(new QRadioButton(bookSetName, this)) {
  setWindowTitle(QStringLiteral("Search..."));
  setHelpContext(kHelpContext);

  topic_->setObjectName(QString::number(kTopicListId));
  topic_->setEditable(false);
  topic_->setMaxVisibleItems(20);
  phrase_->setObjectName(QString::number(kPhraseId));
  phrase_->setMaxLength(kTextLength);
  expression_->setObjectName(QString::number(kExpressionId));
  expression_->setMaxLength(kTextLength);
  for (std::size_t i = 0; i < words_.size(); ++i) {
    words_[i] = new QLineEdit(this);
    words_[i]->setObjectName(QString::number(kWordIds[i]));
    words_[i]->setMaxLength(kWordLength);
  }
  versesFound_->setObjectName(QString::number(kVersesFoundId));
  bookSet_->setObjectName(QString::number(kBookSetId));

  auto* layout = new QVBoxLayout(this);

  auto* verseBox = new QGroupBox(QStringLiteral("Specific verse"), this);
  auto* verseLayout = new QVBoxLayout(verseBox);
  addListRow(verseLayout);
  layout->addWidget(verseBox);

  auto* topicBox = new QGroupBox(QStringLiteral("&Topic"), this);
  auto* topicLayout = new QVBoxLayout(topicBox);
  topicLayout->addWidget(topic_);
  layout->addWidget(topicBox);

  auto* phraseBox = new QGroupBox(QStringLiteral("&Phrase or word"), this);
  auto* phraseLayout = new QVBoxLayout(phraseBox);
  phraseLayout->addWidget(phrase_);
  layout->addWidget(phraseBox);

  auto* wordsBox = new QGroupBox(QStringLiteral("&Words"), this);
  auto* wordsLayout = new QGridLayout(wordsBox);
  const auto addOperators = [this, wordsBox](QButtonGroup* group, int first) {
    auto* row = new QHBoxLayout;
    const char* labels[3] = {"and", "or", "and not"};
    for (int i = 0; i < 3; ++i) {
      auto* radio = new QRadioButton(QString::fromLatin1(labels[i]), wordsBox);
      radio->setObjectName(QString::number(first + i));
      group->addButton(radio, first + i);
      row->addWidget(radio);
    }
    return row;
  };
  wordsLayout->addWidget(words_[0], 0, 0);
  wordsLayout->addLayout(addOperators(operators1_, kAnd1), 0, 1);
  wordsLayout->addWidget(words_[1], 1, 0);
  wordsLayout->addLayout(addOperators(operators2_, kAnd2), 1, 1);
  wordsLayout->addWidget(words_[2], 2, 0);
  layout->addWidget(wordsBox);

  auto* expressionBox =
      new QGroupBox(QStringLiteral("&Expression (and, or, not, parentheses)"), this);
  auto* expressionLayout = new QVBoxLayout(expressionBox);
  expressionLayout->addWidget(expression_);
  layout->addWidget(expressionBox);

  auto* scopeBox = new QGroupBox(QStringLiteral("Search in"), this);
  auto* scopeLayout = new QHBoxLayout(scopeBox);
  scopeLayout->addWidget(versesFound_);
  scopeLayout->addWidget(bookSet_);
  layout->addWidget(scopeBox);

  auto* tools = new QHBoxLayout;
  auto* clearButton = new QPushButton(QStringLiteral("C&lear"), this);
  clearButton->setObjectName(QString::number(kClearId));
  clearButton->setAutoDefault(false);
  auto* phoneticButton = new QPushButton(QStringLiteral("Pho&netic..."), this);
  phoneticButton->setObjectName(QString::number(CmPhonetic));
  phoneticButton->setAutoDefault(false);
  auto* wildCardButton = new QPushButton(QStringLiteral("Wil&dCard..."), this);
  wildCardButton->setObjectName(QString::number(CmWildCard));
  wildCardButton->setAutoDefault(false);
  tools->addWidget(clearButton);
  tools->addWidget(phoneticButton);
  tools->addWidget(wildCardButton);
  tools->addStretch(1);
  layout->addLayout(tools);
  addButtonRow(layout);

  checked(connect(clearButton, &QPushButton::clicked, this, [this] { clear(); }));
  checked(connect(phoneticButton, &QPushButton::clicked, this,
                  [this] { postFrameCommand(CmPhonetic); }));
  checked(connect(wildCardButton, &QPushButton::clicked, this,
                  [this] { postFrameCommand(CmWildCard); }));

  checked(connect(topic_, &QComboBox::currentIndexChanged, this, [this] { topicGroupChanged(); }));
  checked(connect(phrase_, &QLineEdit::textChanged, this, [this] { phraseChanged(); }));
  checked(connect(expression_, &QLineEdit::textChanged, this, [this] { expressionChanged(); }));
  for (QLineEdit* word : words_)
    checked(connect(word, &QLineEdit::textChanged, this, [this] { wordsChanged(); }));
  for (QButtonGroup* group : {operators1_, operators2_})
    checked(connect(group, &QButtonGroup::idClicked, this, [this] { wordsChanged(); }));
  // A choice in a list makes the verse kind current, even Genesis picked while the headings
  // read as Genesis 1:1.
  onListChosen([this] { verseGroupChanged(); });

  // Set-up continues once the dialog is on screen (command 909).
  QMetaObject::invokeMethod(
      this, [this] { setUp(); }, Qt::QueuedConnection);
}

bool TSearchDlg::restrictToFound() const { return versesFound_->isChecked(); }

void TSearchDlg::setUp() {
  guard_ = true;
  {
    const QSignalBlocker block(topic_);
    topic_->clear();
    topic_->addItem(QStringLiteral("All Topics"));
    std::span<const std::string> names;
    std::uint16_t count = 0;
    get_item_list(&names, &count, topics_);
    for (std::uint16_t i = 0; i < count && i < names.size(); ++i)
      topic_->addItem(QString::fromUtf8(names[i].c_str()));
    topic_->setCurrentIndex(0);
  }
  guard_ = false;

  clearFields();
  QWidget* focus = phrase_;
  if (std::optional<SearchRecord> record = loadSearchRecord(options_)) focus = restore(*record);

  // The Bible window's selection becomes the phrase unless it reads as a verse number.
  std::string initial = initialText_;
  std::replace(initial.begin(), initial.end(), '\n', ' ');
  std::replace(initial.begin(), initial.end(), '\r', ' ');
  stripLeading(initial, ' ');
  normaliseSpaces(initial);
  if (trimmedLength(initial) > 0 && leadingNumber(initial) < 1) {
    trim(initial);
    guard_ = true;
    resetVerseGroup();
    resetTopic();
    emptyWords();
    expression_->clear();
    phrase_->setText(QString::fromUtf8(initial.c_str()));
    guard_ = false;
    kind_ = kKindPhrase;
    focus = phrase_;
  }
  focusField(focus);
}

void TSearchDlg::focusField(QWidget* field) {
  // Now and again once the dialog is on screen; a line edit loses its selection when the
  // focus leaves it, so the text is selected each time.
  const auto give = [field] {
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
  };
  give();
  QMetaObject::invokeMethod(this, give, Qt::QueuedConnection);
}

QWidget* TSearchDlg::restore(const SearchRecord& record) {
  guard_ = true;
  QWidget* focus = phrase_;
  switch (record.kind) {
    case kKindVerse: {
      bookList()->setCurrentIndex(record.book + 1 < bookList()->count() ? record.book + 1 : 0);
      chapterList()->setEditText(QString::number(record.chapter));
      verseList()->setEditText(QString::number(record.verse));
      ownListReference_ = listReference();
      focus = bookList();
      break;
    }
    case kKindTopic: {
      const int index = topic_->findText(QString::fromUtf8(record.topic.c_str()));
      topic_->setCurrentIndex(index >= 0 ? index : 0);
      focus = topic_;
      break;
    }
    case kKindPhrase:
      phrase_->setText(QString::fromUtf8(record.text.c_str()));
      focus = phrase_;
      break;
    case kKindWords:
      for (std::size_t i = 0; i < words_.size(); ++i)
        words_[i]->setText(QString::fromUtf8(record.words[i].c_str()));
      setOperator(operators1_, record.operator1 ? static_cast<int>(record.operator1) : kOr1);
      setOperator(operators2_, record.operator2 ? static_cast<int>(record.operator2) : kOr2);
      focus = words_[0];
      break;
    case kKindExpression:
      expression_->setText(QString::fromUtf8(record.text.c_str()));
      focus = expression_;
      break;
    default:
      break;
  }
  kind_ = static_cast<int>(record.kind);
  (record.scope == static_cast<std::uint32_t>(kVersesFoundId) ? versesFound_ : bookSet_)
      ->setChecked(true);
  guard_ = false;
  return focus;
}

void TSearchDlg::clear() {
  clearFields();
  focusField(phrase_);
}

void TSearchDlg::clearFields() {
  guard_ = true;
  phrase_->clear();
  resetVerseGroup();
  resetTopic();
  emptyWords();
  expression_->clear();
  bookSet_->setChecked(true);
  guard_ = false;
  kind_ = kKindPhrase;
}

void TSearchDlg::resetVerseGroup() {
  if (listsShowHeadings()) return;
  resetListsToHeadings();
  // The refresh that follows is this dialog's own doing, not the user's choice of a verse.
  ownListReference_ = listReference();
}

void TSearchDlg::resetTopic() { topic_->setCurrentIndex(0); }

void TSearchDlg::emptyWords() {
  for (QLineEdit* word : words_) word->clear();
  setOperator(operators1_, kOr1);
  setOperator(operators2_, kOr2);
}

void TSearchDlg::setOperator(QButtonGroup* group, int id) {
  if (QAbstractButton* button = group->button(id)) button->setChecked(true);
}

void TSearchDlg::listChanged() {
  if (guard_) return;
  if (ownListReference_) {
    const Reference own = *ownListReference_;
    ownListReference_.reset();
    const Reference now = reference();
    if (own.book == now.book && own.chapter == now.chapter && own.verse == now.verse) return;
  }
  verseGroupChanged();
}

void TSearchDlg::verseGroupChanged() {
  if (guard_) return;
  guard_ = true;
  resetTopic();
  phrase_->clear();
  expression_->clear();
  emptyWords();
  guard_ = false;
  kind_ = kKindVerse;
}

void TSearchDlg::topicGroupChanged() {
  if (guard_) return;
  guard_ = true;
  resetVerseGroup();
  phrase_->clear();
  expression_->clear();
  emptyWords();
  guard_ = false;
  kind_ = kKindTopic;
}

void TSearchDlg::phraseChanged() {
  if (guard_) return;
  guard_ = true;
  resetVerseGroup();
  resetTopic();
  expression_->clear();
  emptyWords();
  guard_ = false;
  kind_ = kKindPhrase;
}

void TSearchDlg::expressionChanged() {
  if (guard_) return;
  guard_ = true;
  resetVerseGroup();
  resetTopic();
  phrase_->clear();
  emptyWords();
  guard_ = false;
  kind_ = kKindExpression;
}

void TSearchDlg::wordsChanged() {
  if (guard_) return;
  guard_ = true;
  resetVerseGroup();
  resetTopic();
  phrase_->clear();
  expression_->clear();
  guard_ = false;
  kind_ = kKindWords;
}

QByteArray TSearchDlg::buildWordsExpression(const std::array<QByteArray, 3>& words, char op1,
                                            char op2) {
  // The words that are not empty, each joined to the one before it by the operator of its own
  // group; so word 1 and word 3 alone are joined by the second operator.
  QByteArray expression;
  const char operators[3] = {0, op1, op2};
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i].isEmpty()) continue;
    if (!expression.isEmpty()) expression += operators[i];
    expression += words[i];
  }
  return expression;
}

void TSearchDlg::CmOk() {
  record_ = SearchRecord{};
  std::vector<std::uint16_t> verses(kVerseListCapacity, kVerseListEnd);
  std::uint16_t count = 0;

  switch (kind_) {
    case kKindVerse: {
      transferData();
      const Reference picked = reference();
      record_.book = picked.book;
      record_.chapter = picked.chapter;
      record_.verse = picked.verse;
      finishRecord();
      closeWithOk(picked);
      if (picked.chapter >= 1 && picked.verse >= 1) {
        char text[64] = {};
        if (module()) unparseReference(text, picked, module());
        deliverReferences({picked}, QByteArray(text));
      }
      return;
    }
    case kKindTopic: {
      record_.topic = cutUtf8(topic_->currentText(), kTopicLength);
      finishRecord();
      TOkCancelHelpDlg::CmOk();
      if (trimmedLength(record_.topic) == 0) return;
      std::vector<std::uint8_t> bytes(kTopicReadSize);
      std::uint16_t length = 0;
      if (!find_binary_item(bytes.data(), &length, kTopicReadSize, record_.topic.c_str(), topics_))
        length = 0;
      std::vector<Reference> references;
      for (std::uint16_t i = 0; i + 3 <= length; i += 3)
        references.push_back(Reference{bytes[i], bytes[i + 1u], bytes[i + 2u]});
      deliverReferences(references, QByteArray::fromStdString(record_.topic));
      return;
    }
    case kKindPhrase: {
      record_.text = cutUtf8(phrase_->text(), kTextLength);
      if (trimmedLength(record_.text) == 0) return;
      std::string phrase = record_.text;
      trim(phrase);
      if (phrase.find(' ') != std::string::npos)
        phraseSearch(verses.data(), &count, kVerseListCapacity, phrase.c_str(), module());
      else
        wordSearch(verses.data(), &count, kVerseListCapacity, phrase.c_str(), module());
      finishRecord();
      if (count == 0) {
        noneFound(QStringLiteral("I'm sorry but no verses were found containing the phrase \"%1\"")
                      .arg(QString::fromUtf8(record_.text.c_str())),
                  phrase_);
        return;
      }
      TOkCancelHelpDlg::CmOk();
      verses.resize(count);
      deliverVerses(std::move(verses), QByteArray::fromStdString(record_.text));
      return;
    }
    case kKindWords: {
      std::array<QByteArray, 3> words;
      for (std::size_t i = 0; i < words_.size(); ++i) {
        std::string word = cutUtf8(words_[i]->text(), kWordLength);
        trim(word);
        record_.words[i] = word;
        words[i] = QByteArray::fromStdString(word);
      }
      const int id1 = operators1_->checkedId();
      const int id2 = operators2_->checkedId();
      record_.operator1 = id1 > 0 ? static_cast<std::uint32_t>(id1) : 0;
      record_.operator2 = id2 > 0 ? static_cast<std::uint32_t>(id2) : 0;
      const QByteArray expression =
          buildWordsExpression(words, operatorCharacter(id1, kAnd1), operatorCharacter(id2, kAnd2));
      if (expression.isEmpty()) return;
      std::array<std::string, 4> found;
      std::uint16_t foundCount = 0;
      booleanSearch(verses.data(), &count, kVerseListCapacity, found.data(), &foundCount, 4,
                    expression.constData(), 0, module());
      finishRecord();
      if (count == 0) {
        noneFound(QStringLiteral("I'm sorry but no verses were found containing the words \"%1\".")
                      .arg(QString::fromUtf8(expression)),
                  words_[0]);
        return;
      }
      TOkCancelHelpDlg::CmOk();
      verses.resize(count);
      deliverVerses(std::move(verses), expression);
      return;
    }
    case kKindExpression: {
      record_.text = cutUtf8(expression_->text(), kTextLength);
      if (trimmedLength(record_.text) == 0) return;
      std::array<std::string, 8> found;
      std::uint16_t foundCount = 0;
      booleanSearch(verses.data(), &count, kVerseListCapacity, found.data(), &foundCount, 8,
                    record_.text.c_str(), 0, module());
      finishRecord();
      if (count == 0) {
        noneFound(
            QStringLiteral("I'm sorry but no verses were found containing the expression \"%1\"")
                .arg(QString::fromUtf8(record_.text.c_str())),
            expression_);
        return;
      }
      TOkCancelHelpDlg::CmOk();
      verses.resize(count);
      deliverVerses(std::move(verses), QByteArray::fromStdString(record_.text));
      return;
    }
    default:
      return;
  }
}

void TSearchDlg::finishRecord() {
  record_.kind = static_cast<std::uint32_t>(kind_);
  record_.scope = static_cast<std::uint32_t>(restrictToFound() ? kVersesFoundId : kBookSetId);
  storeSearchRecord(options_, record_);
}

void TSearchDlg::noneFound(const QString& message, QLineEdit* field) {
  _MessageBox(this, message, QStringLiteral("No verses found"), MB_OK);
  focusField(field);
}

void TSearchDlg::deliverVerses(std::vector<std::uint16_t> verses, const QByteArray& text) {
  resultVerses_ = std::move(verses);
  resultText_ = text;
  if (!frame_) return;
  std::vector<std::uint16_t> list = resultVerses_;
  list.push_back(kVerseListEnd);
  frame_->showVersesFound(list.data(), static_cast<std::uint16_t>(resultVerses_.size()),
                          restrictToFound(), text.constData(), module());
}

void TSearchDlg::deliverReferences(const std::vector<Reference>& references,
                                   const QByteArray& text) {
  // Only references the module holds: referenceToVerse reads any other as Genesis 1:1. A topic
  // is kept in book order, but a damaged one need not be; the verses-found box must be.
  std::vector<std::uint16_t> verses;
  for (const Reference& reference : references) {
    if (!module() || reference.book >= getBooksInBible(module())) continue;
    if (reference.chapter < 1 || reference.chapter > getChaptersInBook(reference, module()))
      continue;
    if (reference.verse < 1 || reference.verse > getVersesInChapter(reference, module())) continue;
    verses.push_back(referenceToVerse(reference, module()));
  }
  std::sort(verses.begin(), verses.end());
  verses.erase(std::unique(verses.begin(), verses.end()), verses.end());
  if (verses.size() >= kVerseListCapacity) verses.resize(kVerseListCapacity - 1);
  deliverVerses(std::move(verses), text);
}

void TSearchDlg::postFrameCommand(int id) {
  // To the Bible window that opened the dialog: it handles 306 and 307.
  if (QWidget* owner = parentWidget()) postCommand(owner, id);
  CmCancel();
}

}  // namespace vellum::ui
