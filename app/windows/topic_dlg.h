// The topic dialogs: they edit the topical index "topics.dic", where each item is a topic name
// (at most 39 characters) holding an array of 3-byte Reference records (book, chapter, verse),
// ascending in byte order, without duplicates.
//
//   TAddTopicDlg          4000 "Insert Topic"   a new, empty topic
//   TRenameTopicDlg       4001 "Rename Topic"
//   TDeleteTopicDlg       4002 "Delete Topic"   after a Yes to "Are you sure..."
//   TTopicInsertVerseDlg  4003 "Insert Verse"   the picked verse into a topic; stays open
//   TTopicDeleteVerseDlg  4004 "Delete Verse"   the selected verse out of a topic; stays open
//
// A topic's references are read and written whole (engine/stores/topics.h), so editing a long
// topic never drops the references beyond the first few thousand bytes. A change that reads the
// topic first holds the store's lock from the read to the write, so a change made meanwhile by
// another program is never lost; one refused because another program held the store says so.
#pragma once

#include <QComboBox>
#include <QString>
#include <optional>
#include <vector>

#include "app/dialog_base.h"
#include "app/reference_dlg.h"
#include "engine/bible/bible.h"
#include "engine/stores/topics.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace vellum {
struct DictHandle;
}

namespace vellum::ui {

inline constexpr int kTopicHelpContext = 1230;
inline constexpr int kMaxTopicName = 39;

// Control 10010: the store's topic names, sorted ignoring case. Selects initialName when the
// store holds it, otherwise the first entry.
class TTopicCombo : public QComboBox {
  Q_OBJECT
 public:
  TTopicCombo(QWidget* parent, DictHandle* topics, const QString& initialName, bool editable);
  void fill(const QString& initialName);

 private:
  DictHandle* topics_;
};

class TTopicDlg : public TOkCancelHelpDlg {
  Q_OBJECT
 public:
  TTopicDlg(QWidget* owner, int resourceId, DictHandle* topics, BibleHandle* module);
  DictHandle* topics() const { return topics_; }
  BibleHandle* module() const { return module_; }

 private:
  DictHandle* topics_;
  BibleHandle* module_;
};

class TAddTopicDlg : public TTopicDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 4000;
  TAddTopicDlg(QWidget* owner, DictHandle* topics, BibleHandle* module);
  QLineEdit* name() const { return name_; }
  // Adds a topic with no references. A name already in use is refused with a message: adding
  // would empty that topic.
  void CmOk() override;

 private:
  QLineEdit* name_;
};

class TTopicListDlg : public TTopicDlg {
  Q_OBJECT
 public:
  TTopicListDlg(QWidget* owner, int resourceId, DictHandle* topics, BibleHandle* module,
                const QString& initialName = QString());
  TTopicCombo* topicList() const { return combo_; }

 private:
  TTopicCombo* combo_;
};

class TRenameTopicDlg : public TTopicListDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 4001;
  TRenameTopicDlg(QWidget* owner, DictHandle* topics, BibleHandle* module);
  QLineEdit* newName() const { return newName_; }
  // Renames when both names are filled. A new name that another topic already has is refused
  // with a message: the store would replace that topic.
  void CmOk() override;

 private:
  QLineEdit* newName_;
};

class TDeleteTopicDlg : public TTopicListDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 4002;
  TDeleteTopicDlg(QWidget* owner, DictHandle* topics, BibleHandle* module);
  void CmOk() override;
};

class TTopicInsertVerseDlg : public TReferenceDlgWithVerse {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 4003;
  TTopicInsertVerseDlg(QWidget* owner, DictHandle* topics, BibleHandle* module, Reference initial,
                       const QString& initialTopic = QString());
  TTopicCombo* topicList() const { return combo_; }
  // Inserts the picked verse in order, tells the user, and stays open for the next one.
  void CmOk() override;

 private:
  DictHandle* topics_;
  TTopicCombo* combo_;
};

class TTopicDeleteVerseDlg : public TTopicListDlg {
  Q_OBJECT
 public:
  static constexpr int kResourceId = 4004;
  TTopicDeleteVerseDlg(QWidget* owner, DictHandle* topics, BibleHandle* module);
  QListWidget* references() const { return list_; }
  QLabel* verseText() const { return verseText_; }
  // Removes the selected verse and keeps a selection at the same place; stays open.
  void CmOk() override;

 private:
  void refill();
  void showSelectedVerse();
  QListWidget* list_;
  QLabel* verseText_;
};

// Commands 401 to 405 of a Bible window: the dialog, modally.
void runTopicCommand(QWidget* owner, int id, DictHandle* topics, BibleHandle* module,
                     Reference current);

}  // namespace vellum::ui
