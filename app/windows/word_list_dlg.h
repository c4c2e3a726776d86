// The word-list dialogs: TWordListDlg (resource 3006) lists the words of the module that match
// a pattern with wildcards, TPhoneticListDlg (3005) the words that sound like the one typed. OK
// on the words chosen from the list searches for the verses holding any of them.
//
// The search ends by handing its verse list to the frame's showVersesFound. The dialog also
// keeps what it handed over (resultVerses(), resultText()), so it can be driven without a frame.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "app/dialog_base.h"
#include "engine/bible/bible.h"

class QLineEdit;
class QListWidget;

namespace vellum::ui {

class Workbench;

class TWordListDlg : public TOkCancelHelpDlg {
  Q_OBJECT
 public:
  static constexpr int kWildCardResource = 3006;
  static constexpr int kPhoneticResource = 3005;
  static constexpr int kMaxWords = 100;
  static constexpr int kWordWidth = 40;

  TWordListDlg(QWidget* owner, Workbench* frame, BibleHandle* module, const QString& initialWord,
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
  Workbench* frame_;
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
  TPhoneticListDlg(QWidget* owner, Workbench* frame, BibleHandle* module,
                   const QString& initialWord);

 protected:
  void wordList(std::string* words, std::uint16_t* count, std::uint16_t capacity,
                const char* word) override;
};

}  // namespace vellum::ui
