// The search dialog TSearchDlg (resource 3000): one search of five kinds (a verse, a topic, a
// phrase, up to three words joined by operators, an expression), whose last run is kept in the
// options store and put back the next time the dialog opens.
//
// Every search ends by handing a verse list to the frame's showVersesFound, which applies the
// book set or the "Verses Found" restriction. The dialog also keeps what it handed over
// (resultVerses(), resultText()), so it can be driven without a frame.
//
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/reference_dlg.h"
#include "app/windows/search_record.h"
#include "engine/bible/bible.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace vellum {
struct DictHandle;
}

namespace vellum::ui {

class Workbench;

class TSearchDlg : public TReferenceDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 3000;
  static constexpr int kHelpContext = 1080;
  static constexpr int kInitialTextCapacity = 40;

  // frame may be null: the results are then only kept. initialText is the Bible window's
  // selection (UTF-8); bookSetName labels the scope button 10005.
  TSearchDlg(QWidget* owner, Workbench* frame, BibleHandle* module, DictHandle* topics,
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

  Workbench* frame_;
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

}  // namespace vellum::ui
