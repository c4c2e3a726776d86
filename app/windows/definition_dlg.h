// The reference-work windows (modal, one per command, history and lexicon handle go with them):
//   TStrongsDlg   8001 "Strong's Number Lookup"              lexicon.lex (its own handle)
//   TEastonsDlg   8002 "Easton's Dictionary"                 eastons.dic
//   TMHCDlg       8003 "Search Matthew Henry's Commentary"   mhc.dic, keys "%d:%d" (chapter,
//                                                            0-based book)
// They share TDefinitionDlg: a key, the definition pane 11070 (double click posts 515 to the
// window), "C&opy" 24323, "&Print..." 24337, "&Back" 904, Cancel and Help, and a history of at
// most kHistoryLimit earlier keys. Only a successful look-up changes the current key and pushes
// the one before it; a look-up that finds nothing empties the pane and keeps both.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/dialog_base.h"
#include "app/windows/store_text.h"
#include "engine/bible/bible.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vellum {
struct DictHandle;
struct LexiconHandle;
}  // namespace vellum

namespace vellum::ui {

class TEditWithDoubleClick;

class TDefinitionDlg : public TOkCancelHelpDlg, public CommandHandler {
  Q_OBJECT
 public:
  static constexpr int kHistoryLimit = 50;
  static constexpr int kMaxKeyLength = kMaxKeyBytes;
  static constexpr int kBackId = 904;
  static constexpr int kKeyId = 10033;
  static constexpr int kPaneId = 11070;

  TDefinitionDlg(QWidget* parent, int resourceId);
  ~TDefinitionDlg() override;

  // Reads the key field, cleans it and looks it up when it differs from the current key. Return
  // in the key field comes here (the dialog has no OK button).
  void CmOk() override;
  // Pops the newest earlier key, shows it in the key field and looks it up without pushing.
  void CmBack();
  // Command 515: the pane's selected text becomes the key and is looked up.
  virtual void CmDefinitionDoubleClick();
  // The current key, two line feeds and the pane's text, to the clipboard.
  void CmEditCopy() override;
  // The key, two line feeds and the pane's text printed, with the key as the title.
  void CmFilePrint() override;

  const std::string& currentKey() const { return current_; }
  const std::vector<std::string>& history() const { return history_; }
  QString paneText() const;
  TEditWithDoubleClick* pane() const { return pane_; }

  bool handleCommand(int id) override;
  bool commandState(int id, CommandState& state) override;

 protected:
  // Fills the pane for the key and reports whether anything was found; may rewrite the key into
  // the form that matched. An empty pane on failure.
  virtual bool lookup(std::string& key) = 0;
  // Whether the key (cleaned) asks for something other than what is shown now.
  virtual bool keyDiffers(const std::string& key) const;
  // The key field's text, and putting a key back into it.
  virtual QString keyFieldText() const = 0;
  virtual void setKeyFieldText(const QString& key) = 0;

  // The common look-up: pushes the current key on success (when there is one and it differs).
  bool lookUpKey(std::string key, bool pushHistory = true);
  // Shows text in the pane (line ends of the stores' "\r\n" shown as line breaks); an empty text
  // shows why nothing is there.
  void showDefinition(const QString& text, const QString& missing = QString());
  // Builds the window: the key row (label and control), the pane and the buttons.
  void buildLayout(QLayout* keyRow);
  // Cleans a key as every key is cleaned on entry: trimmed, cut to kMaxKeyLength bytes.
  static std::string cleanKey(const QString& text);
  // The pane's selection widened to the whole blank-delimited word around it (a chapter and
  // verse such as 3:16 is one word, as the reader sees it); its start and end in the pane text.
  QString selectedWord(int* start = nullptr, int* end = nullptr) const;

  QPushButton* backButton() const { return back_; }

 private:
  void updateBack();

  TEditWithDoubleClick* pane_;
  QPushButton* copy_;
  QPushButton* print_;
  QPushButton* back_;
  std::string current_;
  std::vector<std::string> history_;
};

// 8001: a Strong's number in the Hebrew (check box 11071 checked) or Greek table.
class TStrongsDlg : public TDefinitionDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 8001;
  static constexpr int kHelpContext = 1180;
  static constexpr int kOldTestamentId = 11071;

  // Opens its own handle on "lexicon.lex"; shows the initial number (when any) at once.
  TStrongsDlg(QWidget* parent, const std::string& initialKey, bool oldTestament);
  ~TStrongsDlg() override;

  QLineEdit* keyField() const { return key_; }
  QCheckBox* oldTestamentBox() const { return testament_; }
  bool hasLexicon() const { return lexicon_ != nullptr; }

 protected:
  bool lookup(std::string& key) override;
  bool keyDiffers(const std::string& key) const override;
  QString keyFieldText() const override;
  void setKeyFieldText(const QString& key) override;

 private:
  LexiconHandle* lexicon_;
  QLineEdit* key_;
  QCheckBox* testament_;
  bool shownTestament_;
};

// 8002: an Easton's article, or a verse when the key reads as a reference.
class TEastonsDlg : public TDefinitionDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 8002;
  static constexpr int kHelpContext = 1200;
  static constexpr int kAddId = 502;

  TEastonsDlg(QWidget* parent, DictHandle* store, BibleHandle* module,
              const std::string& initialWord);

  QComboBox* keyField() const { return key_; }
  QPushButton* addButton() const { return add_; }

  // A reference read around the pane's selection, else the word itself.
  void CmDefinitionDoubleClick() override;
  // "&Add...": "Add Word..." on the key field's text; the word list is refilled afterwards.
  void CmAdd();
  // The reference a double click on the pane's selection stands for, "" when none.
  std::string referenceAroundSelection() const;

 protected:
  bool lookup(std::string& key) override;
  QString keyFieldText() const override;
  void setKeyFieldText(const QString& key) override;

 private:
  void fillWords();

  DictHandle* store_;
  BibleHandle* module_;
  QComboBox* key_;
  QPushButton* add_;
};

// 8003: the commentary on a chapter picked with book list 10013 and chapter box 10001. The key
// is the chapter written "Book C" ("John 3").
class TMHCDlg : public TDefinitionDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 8003;
  static constexpr int kHelpContext = 1190;
  static constexpr int kBookListId = 10013;
  static constexpr int kChapterListId = 10001;

  TMHCDlg(QWidget* parent, DictHandle* store, BibleHandle* module, Reference initial);

  Reference reference() const { return reference_; }
  QComboBox* bookList() const { return book_; }
  QComboBox* chapterList() const { return chapter_; }
  // The store key of a chapter: "%d:%d", chapter first, 0-based book second.
  static std::string chapterKey(Reference reference);

  // Commentary has no word look-up: a double click only selects.
  void CmDefinitionDoubleClick() override {}

 protected:
  bool lookup(std::string& key) override;
  QString keyFieldText() const override;
  void setKeyFieldText(const QString& key) override;

 private:
  void pickerChanged();
  void refillChapters();
  std::string keyOf(Reference reference) const;

  DictHandle* store_;
  BibleHandle* module_;
  Reference reference_;
  QComboBox* book_;
  QComboBox* chapter_;
  bool changing_ = false;
};

// Word splitter of the double-click reference reading: the words of `length` bytes of text
// before (forward false) or from (forward true) the position, the span moved out to whole
// words, cut at blanks, line ends and the separator punctuation; in text order.
std::vector<std::string> splitWords(const std::string& text, std::size_t position,
                                    std::size_t length, bool forward);

}  // namespace vellum::ui
