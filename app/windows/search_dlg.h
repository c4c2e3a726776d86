// Searching from the reader: the search dialog TSearchDlg (resource 3000), the word-list dialogs
// TWordListDlg (3006, wildcards) and TPhoneticListDlg (3005, sound-alike words), the books
// dialog TSearchSpecificBooksDlg (3007), and the book sets that restrict what a search keeps.
//
// Every search ends by handing a verse list to the frame's showVersesFound (or a reference list
// to showReferencesFound), which applies the book set or the "Verses Found" restriction. The
// dialogs also keep what they handed over (resultVerses(), resultText()), so they can be driven
// without a frame.
//
// Saved search record "SRCHDLG" in the options store: 284 bytes, little-endian, zero where the
// kind searched does not use a field. Text fields are NUL-terminated inside their width.
//
//   offset  width  field
//        0      3  kind 0: Reference (book, chapter, verse; one byte each)
//        3      1  reserved, zero
//        4      4  scope: 10002 "Verses Found" checked, else 10005
//        8     40  kind 1: topic name
//       48    100  kind 2: phrase, or kind 4: expression
//      148     40  kind 3: word 1, trimmed
//      188     40  kind 3: word 2, trimmed
//      228     40  kind 3: word 3, trimmed
//      268      4  kind 3: checked button of the first operator group (10024..10026), or 0
//      272      4  kind 3: the same for the second group (10027..10029), or 0
//      276      4  reserved, zero
//      280      4  kind (0 to 4)
//
// Book set, stored as "WHICHBOOKS" (the current book-set command, u32: 309 to 320) and
// "SEARCHBOOKS" (2000 u32 flags, one per 0-based book index; nonzero keeps the book's verses).
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/reference_dlg.h"
#include "engine/bible/bible.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace vellum {
struct DictHandle;
}

namespace vellum::ui {

class TMyMDIFrame;

// ---------------------------------------------------------------------------------------------
// Saved search record

enum SearchKind : std::uint32_t {
  kKindVerse = 0,
  kKindTopic = 1,
  kKindPhrase = 2,
  kKindWords = 3,
  kKindExpression = 4,
};

struct SearchRecord {
  static constexpr std::size_t kSize = 284;
  static constexpr std::size_t kTopicWidth = 40;
  static constexpr std::size_t kTextWidth = 100;
  static constexpr std::size_t kWordWidth = 40;

  std::uint8_t book = 0;
  std::uint8_t chapter = 0;
  std::uint8_t verse = 0;
  std::uint32_t scope = 0;
  std::string topic;                 // at most 39 bytes
  std::string text;                  // phrase or expression, at most 99 bytes
  std::array<std::string, 3> words;  // at most 39 bytes each
  std::uint32_t operator1 = 0;
  std::uint32_t operator2 = 0;
  std::uint32_t kind = 0;

  // Exactly kSize bytes; text fields longer than their width less one are cut.
  std::vector<std::uint8_t> encode() const;
  // None for a record of the wrong length, a kind above 4, a scope or operator that is no
  // button of its group, or a text field without its terminator.
  static std::optional<SearchRecord> decode(std::span<const std::uint8_t> bytes);
};

// The record stored as "SRCHDLG", or none when absent or damaged.
std::optional<SearchRecord> loadSearchRecord(DictHandle* options);
void storeSearchRecord(DictHandle* options, const SearchRecord& record);

// ---------------------------------------------------------------------------------------------
// Book sets

inline constexpr int kBookFlagCount = 2000;
using BookFlags = std::array<std::uint32_t, kBookFlagCount>;

struct BookSet {
  int command;       // 309 to 320
  const char* name;  // shown on the search dialog's scope button 10005
  int first;         // 0-based book range, inclusive; -1 for the sets without a fixed range
  int last;
};

// The set of a book-set command, or null for any other number.
const BookSet* findBookSet(int command);
// The flags of a named set (all 2000 for All Books). Specific Books (310) has no fixed flags.
BookFlags bookSetFlags(int command);
// "WHICHBOOKS" and "SEARCHBOOKS": both, or none when either is missing, short, names no
// book-set command or keeps no book at all.
struct StoredBookSet {
  int command;
  BookFlags flags;
};
std::optional<StoredBookSet> loadStoredBookSet(DictHandle* options);
void storeBookSet(DictHandle* options, int command, const BookFlags& flags);

// ---------------------------------------------------------------------------------------------
// The search dialog

class TSearchDlg : public TReferenceDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 3000;
  static constexpr int kHelpContext = 1080;
  static constexpr int kInitialTextCapacity = 40;

  // frame may be null: the results are then only kept. initialText is the Bible window's
  // selection (UTF-8); bookSetName labels the scope button 10005.
  TSearchDlg(QWidget* owner, TMyMDIFrame* frame, BibleHandle* module, DictHandle* topics,
             DictHandle* options, Reference current, const std::string& initialText,
             const QString& bookSetName);

  int kind() const { return kind_; }
  bool restrictToFound() const;

  QComboBox* topicList() const { return topic_; }
  QLineEdit* phrase() const { return phrase_; }
  QLineEdit* expression() const { return expression_; }
  QLineEdit* word(int index) const { return words_[static_cast<std::size_t>(index)]; }

  // What OK handed over (empty until a search ran).
  const std::vector<std::uint16_t>& resultVerses() const { return resultVerses_; }
  const QByteArray& resultText() const { return resultText_; }
  // The record OK stored (or would store with no options store).
  const SearchRecord& savedRecord() const { return record_; }

  // Runs the current kind's search; see search_dlg.cpp for when the dialog stays open.
  void CmOk() override;
  // Command 910: the phrase kind, everything else emptied, scope 10005.
  void clear();
  // The words kind's expression: the words that are not empty, each joined to the one before it
  // by its own group's operator ('&', '|' or '!'); so words 1 and 3 alone take the second.
  static QByteArray buildWordsExpression(const std::array<QByteArray, 3>& words, char op1,
                                         char op2);

 protected:
  void listChanged() override;

 private:
  void setUp();  // command 909, queued from the constructor
  // Puts the record back and returns the field to focus.
  QWidget* restore(const SearchRecord& record);
  void clearFields();
  void focusField(QWidget* field);
  // The reactions to a change of one group: make it current and reset the others.
  void verseGroupChanged();
  void topicGroupChanged();
  void phraseChanged();
  void expressionChanged();
  void wordsChanged();
  void resetVerseGroup();
  void resetTopic();
  void emptyWords();
  void setOperator(QButtonGroup* group, int id);
  void finishRecord();
  void deliverVerses(std::vector<std::uint16_t> verses, const QByteArray& text);
  void deliverReferences(const std::vector<Reference>& references, const QByteArray& text);
  void noneFound(const QString& message, QLineEdit* field);
  void postFrameCommand(int id);

  TMyMDIFrame* frame_;
  DictHandle* topics_;
  DictHandle* options_;
  std::string initialText_;
  int kind_ = kKindPhrase;
  bool guard_ = false;
  // The reference the lists read after the dialog's own change, until its refresh has run.
  std::optional<Reference> ownListReference_;

  QComboBox* topic_;
  QLineEdit* phrase_;
  std::array<QLineEdit*, 3> words_{};
  QButtonGroup* operators1_;
  QButtonGroup* operators2_;
  QLineEdit* expression_;
  QRadioButton* versesFound_;
  QRadioButton* bookSet_;

  SearchRecord record_;
  std::vector<std::uint16_t> resultVerses_;
  QByteArray resultText_;
};

// ---------------------------------------------------------------------------------------------
// Word-list dialogs

class TWordListDlg : public TOkCancelHelpDlg {
  Q_OBJECT
 public:
  static constexpr int kWildCardResource = 3006;
  static constexpr int kPhoneticResource = 3005;
  static constexpr int kMaxWords = 100;
  static constexpr int kWordWidth = 40;

  TWordListDlg(QWidget* owner, TMyMDIFrame* frame, BibleHandle* module, const QString& initialWord,
               int resourceId = kWildCardResource);

  QLineEdit* wordField() const { return word_; }
  QListWidget* list() const { return list_; }
  const std::vector<std::uint16_t>& resultVerses() const { return resultVerses_; }
  const QByteArray& resultText() const { return resultText_; }

  // First press (or a new word): list the words. Same word again: search the selected ones.
  void CmOk() override;

 protected:
  // Fills words with at most capacity copies of the words matching word.
  virtual void wordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                        const char* word);
  BibleHandle* module() const { return module_; }

 private:
  TMyMDIFrame* frame_;
  BibleHandle* module_;
  QLineEdit* word_;
  QListWidget* list_;
  QByteArray listedWord_;  // the word the list now shown was made for
  int listedCase_ = 0;     // the templates have no case box (10036): always 0
  bool listed_ = false;
  std::vector<std::uint16_t> resultVerses_;
  QByteArray resultText_;
};

class TPhoneticListDlg : public TWordListDlg {
  Q_OBJECT
 public:
  TPhoneticListDlg(QWidget* owner, TMyMDIFrame* frame, BibleHandle* module,
                   const QString& initialWord);

 protected:
  void wordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                const char* word) override;
};

// ---------------------------------------------------------------------------------------------
// Books dialog

class TSearchSpecificBooksDlg : public TOkCancelHelpDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 3007;
  static constexpr int kHelpContext = 1160;
  static constexpr int kFirstBoxId = 11000;
  static constexpr int kIncludeAllId = 11066;
  static constexpr int kExcludeAllId = 11067;

  // One box per book of the module (at most the 66 of the template); flags is changed only
  // when the dialog ends with OK.
  TSearchSpecificBooksDlg(QWidget* owner, BookFlags& flags, BibleHandle* module);

  void CmOk() override;

 private:
  BookFlags& flags_;
  std::vector<QCheckBox*> boxes_;
};

// The 66 book names of the books dialog's template.
extern const char* const kTemplateBookNames[66];

}  // namespace vellum::ui
