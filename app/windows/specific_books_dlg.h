// The books dialog TSearchSpecificBooksDlg (resource 3007): the books a search keeps while the
// book set is Specific Books (310). The book sets and their storage are in search_record.h.
#pragma once

#include <vector>

#include "app/dialog_base.h"
#include "app/windows/search_record.h"
#include "engine/bible/bible.h"

class QCheckBox;

namespace vellum::ui {

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
