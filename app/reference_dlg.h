// The reference-picking dialogs: the base with three linked drop-down lists for book, chapter
// and verse (TReferenceDlg), its variant that shows the chosen verse (TReferenceDlgWithVerse),
// "Go to..." (TSearchGotoDlg, resource 3010) and "Select Translation" (TOpenVersionDlg,
// resource 1000).
//
// The lists: entry 0 of each is a heading ("Book", "Chp", "Vse"); book list entry i + 1 is book
// i; the chapter and verse lists hold "1" up to the count and have an edit field, so a number
// can be typed. Reading the reference of the lists never fails: a heading reads as the first
// book, chapter or verse and a number beyond the end reads as the last chapter or verse.
//
// Every change of a list posts command 903 to the dialog; the refresh that runs then refills
// the lists that depend on the one that changed and calls listChanged(). Posting puts the
// refresh after the combo box has finished its own change handling.
#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/dialog_base.h"
#include "engine/bible/bible.h"

class QBoxLayout;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;

namespace vellum::ui {

class TReferenceDlg;

// A drop-down list of one module's books, chapters or verses. filled() stays false until the
// list has been filled once; the dialog refreshes nothing before all three are filled.
class TBibleCombo : public QComboBox {
  Q_OBJECT
 public:
  TBibleCombo(TReferenceDlg* owner, BibleHandle* module, int controlId, bool editable);

  TReferenceDlg* owner() const { return owner_; }
  BibleHandle* module() const { return module_; }
  int controlId() const { return controlId_; }
  bool filled() const { return filled_; }

 protected:
  // Empties the list and adds the heading and "1" up to count. An editable list gets back the
  // text its edit field held before, so a number being typed survives the refill.
  void refillNumbers(const char* heading, int count);
  void markFilled() { filled_ = true; }

 private:
  TReferenceDlg* owner_;
  BibleHandle* module_;
  int controlId_;
  bool filled_ = false;
};

// Control 10013: "Book" and the module's book names in book order. Not editable.
class TBookCombo : public TBibleCombo {
  Q_OBJECT
 public:
  TBookCombo(TReferenceDlg* owner, BibleHandle* module);
  // Lists the books and selects the reference's book (the heading when the module lacks it).
  void fill(Reference initial);
};

// Control 10001: "Chp" and the chapters of a book. Editable.
class TChapterCombo : public TBibleCombo {
  Q_OBJECT
 public:
  TChapterCombo(TReferenceDlg* owner, BibleHandle* module);
  // The chapters of the reference's book, with the reference's chapter as the text.
  void fill(Reference initial);
  // The chapters of the reference's book; the edit text is kept.
  void refill(Reference reference);
};

// Control 10015: "Vse" and the verses of a chapter. Editable.
class TVerseCombo : public TBibleCombo {
  Q_OBJECT
 public:
  TVerseCombo(TReferenceDlg* owner, BibleHandle* module);
  void fill(Reference initial);
  void refill(Reference reference);
};

class TReferenceDlg : public TOkCancelHelpDlg {
  Q_OBJECT
 public:
  // Creates and fills the three lists for the initial reference. The lists are not placed in a
  // layout: derived dialogs place them, usually with addListRow(). A null module gives lists
  // that hold only their headings and read as book 0, chapter 1, verse 1.
  TReferenceDlg(QWidget* owner, int resourceId, BibleHandle* module, Reference initial);
  ~TReferenceDlg() override;

  BibleHandle* module() const { return module_; }
  // The initial reference, then the reference of the lists as of the last refresh and, once
  // the dialog has closed with OK, as taken out at OK.
  Reference reference() const { return reference_; }
  // The reference the lists show now, with the clamping rules applied.
  Reference listReference() const;

  TBookCombo* bookList() const { return book_; }
  TChapterCombo* chapterList() const { return chapter_; }
  TVerseCombo* verseList() const { return verse_; }

  // Command 903: refills the lists that depend on the one that changed and calls
  // listChanged(). Does nothing until the lists are filled, or while a refresh is already
  // running anywhere in the program.
  void CmRefresh() override;
  // Takes the reference out of the lists, then closes with OK.
  void CmOk() override;

 protected:
  // Called by the refresh after the lists have been refilled, with reference() already set to
  // the lists' new reference.
  virtual void listChanged() {}
  // Stores the reference of the lists as the dialog's reference.
  virtual void transferData();
  // Closes with OK and this reference as the answer, which no refresh still queued may change.
  void closeWithOk(Reference answer);
  // Adds book list, chapter list, ":" and verse list side by side to the layout.
  void addListRow(QBoxLayout* layout);
  // Sets all three lists back to their headings.
  void resetListsToHeadings();
  // All three lists show their headings.
  bool listsShowHeadings() const;
  // Calls chosen on every choice the user makes in a list (picked, or a number typed into the
  // chapter or verse list), even one that reads as the reference the lists already had, which
  // the refresh cannot tell from no change at all.
  void onListChosen(const std::function<void()>& chosen);

 private:
  BibleHandle* module_;
  Reference reference_;
  Reference lastSeen_;
  bool answered_ = false;
  TBookCombo* book_;
  TChapterCombo* chapter_;
  TVerseCombo* verse_;
};

// A reference dialog that shows the text of the chosen verse, without Strong's numbers, in the
// static control 10016.
class TReferenceDlgWithVerse : public TReferenceDlg {
  Q_OBJECT
 public:
  TReferenceDlgWithVerse(QWidget* owner, int resourceId, BibleHandle* module, Reference initial);

  QLabel* verseText() const { return verseText_; }

 protected:
  void listChanged() override;

 private:
  void showVerse(Reference reference);
  QLabel* verseText_;
};

// The verse as getVerse gives it ("Genesis 1:1 In the beginning..."), with Strong's numbers
// removed after the leading reference: from the first blank after the first colon on. A text
// without a colon, or without a blank after it, is returned whole.
QString versePreview(Reference reference, BibleHandle* module);

// "Go to...": a reference from the three lists or typed into edit 10018. The dialog starts
// with the lists at their headings and the focus in the typed field.
class TSearchGotoDlg : public TReferenceDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 3010;
  static constexpr int kHelpContext = 1090;
  static constexpr int kMaxTypedLength = 40;

  TSearchGotoDlg(QWidget* owner, BibleHandle* module);

  QLineEdit* typedReference() const { return typed_; }
  // After OK: the text to hand on with the reference, either the typed text or the list
  // reference written out ("Genesis 1:1"), UTF-8.
  const QByteArray& resultText() const { return resultText_; }

  // An empty or blank typed field takes the lists' reference. Anything else must parse:
  // otherwise "%s is not a valid reference" is shown and the dialog stays open.
  void CmOk() override;

 protected:
  // A change of the lists clears the typed field, except when the lists went back to their
  // headings because the user typed.
  void listChanged() override;

 private:
  void typedTextChanged();
  void clearTypedText();

  QLineEdit* typed_;
  QByteArray resultText_;
  // Set while one input clears the other, so that the clearing is not taken for user input.
  bool guard_ = false;
};

// Runs "Go to..." modally. On OK fills *out and *text (the text to show with the reference) and
// returns true.
bool runGotoDialog(QWidget* owner, BibleHandle* module, Reference* out, QByteArray* text);

// "Select Translation": the modules found along a directory list (at most 10), a check box
// "Open this translation by default". With no module found OK stays disabled.
class TOpenVersionDlg : public TOkCancelHelpDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 1000;
  static constexpr int kMaxModules = 10;
  static constexpr int kMaxTitleLength = 80;

  // Looks for the modules at once; title (UTF-8) replaces the caption, directories is the
  // data path text.
  TOpenVersionDlg(QWidget* owner, int resourceId, const char* title, const char* directories);

  int count() const { return count_; }
  const bibleName& found(int index) const { return names_[static_cast<std::size_t>(index)]; }
  // The index chosen at OK, or -1 until then.
  int selectedIndex() const { return selected_; }
  // A copy of the chosen record (both fields); an empty record before OK.
  bibleName selected() const;

  QListWidget* list() const { return list_; }
  QCheckBox* makeDefault() const { return makeDefault_; }

  // Takes the list's current entry, writes it as the default translation when the check box
  // is checked, and closes with OK. Does nothing when no entry is current.
  void CmOk() override;

 private:
  void updateOkButton();

  std::array<bibleName, kMaxModules> names_{};
  std::uint16_t count_ = 0;
  int selected_ = -1;
  QListWidget* list_;
  QCheckBox* makeDefault_;
};

// Runs "Select Translation" modally with the title; the chosen record when it ended with OK.
std::optional<bibleName> runOpenVersionDlg(QWidget* owner, const char* title,
                                           const char* directories);

}  // namespace vellum::ui
