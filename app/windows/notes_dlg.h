// TNotesDlg: writing, editing and deleting verse notes. One class on three resources:
//   7001 "Insert Note"  note field 10017 editable
//   7002 "Edit Note"    note field 10017 editable
//   7003 "Delete Note"  note field 10017 read-only
// The verse is picked with the reference lists and its text shown in 10016. The note of the
// picked verse is loaded into the field; when the picker moves, a changed note is saved under
// the verse it belongs to before the next one is loaded, so several notes can be written in one
// dialog. OK saves the field; Cancel drops only the field's unsaved text.
//
// Line ends: the field gives line feeds and notes are stored with them; a stored "\r\n" reads
// as a line break, and a note compares equal to the field by what the field shows, so opening
// and confirming a note never rewrites it.
#pragma once

#include "app/reference_dlg.h"

class QPlainTextEdit;

namespace vellum {
struct NotesHandle;
}

namespace vellum::ui {

class TNotesDlg : public TReferenceDlgWithVerse {
  Q_OBJECT
 public:
  static constexpr int kInsertResourceId = 7001;
  static constexpr int kEditResourceId = 7002;
  static constexpr int kDeleteResourceId = 7003;
  static constexpr int kNoteId = 10017;
  static constexpr int kHelpContext = 1240;
  // The longest note the field takes and saves, in UTF-8 bytes; longer notes read cut.
  static constexpr int kMaxNoteLength = 32766;

  TNotesDlg(QWidget* owner, int resourceId, BibleHandle* module, NotesHandle* notes,
            Reference initial);

  QPlainTextEdit* noteField() const { return note_; }
  // The verse whose note the field holds.
  Reference noteReference() const { return noteReference_; }
  // Whether any note was written while the dialog was open (also by moving the picker).
  bool savedAny() const { return savedAny_; }

  // Saves the field under its verse, then closes with OK.
  void CmOk() override;

 protected:
  void listChanged() override;

 private:
  void load(Reference reference);
  // Writes a changed field under its verse; false (after saying so) when the store refused it.
  bool save();
  void limitLength();

  NotesHandle* notes_;
  QPlainTextEdit* note_;
  Reference noteReference_;
  QString loaded_;  // the stored note as the field shows it, to tell whether it changed
  bool noteLoaded_ = false;
  bool savedAny_ = false;
  bool limiting_ = false;
};

// Runs the dialog modally on the resource; true when it closed with OK. *picked receives the
// verse picked at OK, *saved whether any note was written.
bool runNotesDialog(QWidget* owner, int resourceId, BibleHandle* module, NotesHandle* notes,
                    Reference initial, Reference* picked, bool* saved);

}  // namespace vellum::ui
