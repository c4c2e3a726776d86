// The dictionary's word dialogs (TDictionaryDlg): 6000 "Add Word...", 6001 "Rename Word", 6002
// "Delete Word", each with the word list 10033 filled from the store. A change the store refuses
// (read-only file, full store) is reported and the dialog stays open, so nothing typed is lost.
#pragma once

#include <QString>
#include <string>

#include "app/dialog_base.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace vellum {
struct DictHandle;
}  // namespace vellum

namespace vellum::ui {

// The word dialogs' base: list 10033 of the store's words, the initial word put into it.
class TDictionaryDlg : public TOkCancelHelpDlg {
  Q_OBJECT
 public:
  static constexpr int kHelpContext = 1250;
  static constexpr int kWordId = 10033;

  TDictionaryDlg(QWidget* parent, int resourceId, DictHandle* store, const std::string& word,
                 bool editableList);

  QComboBox* wordList() const { return words_; }
  DictHandle* store() const { return store_; }

 protected:
  // The list's text, trimmed of blanks at both ends, as UTF-8.
  std::string chosenWord() const;
  // The article of a word (empty when there is none), line ends as line feeds.
  QString articleOf(const std::string& word) const;
  // Reports a refused change; the dialog stays open.
  void refuse(const QString& text);
  // After a failed change: when another program held the store, says so and returns true.
  bool refusedAsBusy();

 private:
  DictHandle* store_;
  QComboBox* words_;
};

// 6000: adds a word with its article, or replaces the article of a word already there.
class TInsertDictionaryDlg : public TDictionaryDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 6000;
  static constexpr int kTextId = 11070;
  TInsertDictionaryDlg(QWidget* parent, DictHandle* store, const std::string& word);
  QPlainTextEdit* textField() const { return text_; }
  void CmOk() override;

 private:
  QPlainTextEdit* text_;
};

// 6001: renames a word; a new name that another word already has is refused, so that word's
// article is never overwritten.
class TRenameDictionaryDlg : public TDictionaryDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 6001;
  static constexpr int kNewNameId = 10034;
  TRenameDictionaryDlg(QWidget* parent, DictHandle* store, const std::string& word);
  QLineEdit* newName() const { return newName_; }
  void CmOk() override;

 private:
  QLineEdit* newName_;
};

// 6002: deletes the chosen word, its article shown read-only in 11070.
class TDeleteDictionaryDlg : public TDictionaryDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 6002;
  static constexpr int kTextId = 11070;
  TDeleteDictionaryDlg(QWidget* parent, DictHandle* store, const std::string& word);
  QPlainTextEdit* textField() const { return text_; }
  void CmOk() override;

 private:
  QPlainTextEdit* text_;
};

// The word dialogs run modally; true when they changed the store.
bool runInsertWord(QWidget* parent, DictHandle* store, const std::string& word);
bool runRenameWord(QWidget* parent, DictHandle* store, const std::string& word);
bool runDeleteWord(QWidget* parent, DictHandle* store, const std::string& word);

}  // namespace vellum::ui
