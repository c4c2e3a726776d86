#include "app/windows/specific_books_dlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QPushButton>
#include <algorithm>

#include "app/window_utils.h"

namespace vellum::ui {

const char* const kTemplateBookNames[66] = {"Genesis",
                                            "Exodus",
                                            "Leviticus",
                                            "Numbers",
                                            "Deuteronomy",
                                            "Joshua",
                                            "Judges",
                                            "Ruth",
                                            "1 Samuel",
                                            "2 Samuel",
                                            "1 Kings",
                                            "2 Kings",
                                            "1 Chronicles",
                                            "2 Chronicles",
                                            "Ezra",
                                            "Nehemiah",
                                            "Esther",
                                            "Job",
                                            "Psalms",
                                            "Proverbs",
                                            "Ecclesiastes",
                                            "Song of Solomon",
                                            "Isaiah",
                                            "Jeremiah",
                                            "Lamentations",
                                            "Ezekiel",
                                            "Daniel",
                                            "Hosea",
                                            "Joel",
                                            "Amos",
                                            "Obadiah",
                                            "Jonah",
                                            "Micah",
                                            "Nahum",
                                            "Habakkuk",
                                            "Zephaniah",
                                            "Haggai",
                                            "Zechariah",
                                            "Malachi",
                                            "Matthew",
                                            "Mark",
                                            "Luke",
                                            "John",
                                            "Acts",
                                            "Romans",
                                            "1 Corinthians",
                                            "2 Corinthians",
                                            "Galatians",
                                            "Ephesians",
                                            "Philippians",
                                            "Colossians",
                                            "1 Thessalonians",
                                            "2 Thessalonians",
                                            "1 Timothy",
                                            "2 Timothy",
                                            "Titus",
                                            "Philemon",
                                            "Hebrews",
                                            "James",
                                            "1 Peter",
                                            "2 Peter",
                                            "1 John",
                                            "2 John",
                                            "3 John",
                                            "Jude",
                                            "Revelation"};

TSearchSpecificBooksDlg::TSearchSpecificBooksDlg(QWidget* owner, BookFlags& flags,
                                                 BibleHandle* module)
    : TOkCancelHelpDlg(owner, kResourceId), flags_(flags) {
  setWindowTitle(QStringLiteral("Books"));
  setHelpContext(kHelpContext);
  const int books = std::min<int>(module ? getBooksInBible(module) : 66, 66);

  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  constexpr int kRows = 17;
  for (int book = 0; book < books; ++book) {
    auto* box = new QCheckBox(QString::fromLatin1(kTemplateBookNames[book]), this);
    box->setObjectName(QString::number(kFirstBoxId + book));
    box->setChecked(flags_[static_cast<std::size_t>(book)] != 0);
    grid->addWidget(box, book % kRows, book / kRows);
    boxes_.push_back(box);
  }
  layout->addLayout(grid);
  auto* row = new QHBoxLayout;
  auto* includeAll = new QPushButton(QStringLiteral("&Include All"), this);
  includeAll->setObjectName(QString::number(kIncludeAllId));
  includeAll->setAutoDefault(false);
  auto* excludeAll = new QPushButton(QStringLiteral("&Exclude All"), this);
  excludeAll->setObjectName(QString::number(kExcludeAllId));
  excludeAll->setAutoDefault(false);
  row->addWidget(includeAll);
  row->addWidget(excludeAll);
  row->addStretch(1);
  layout->addLayout(row);
  addButtonRow(layout);

  checked(connect(includeAll, &QPushButton::clicked, this, [this] {
    for (QCheckBox* box : boxes_) box->setChecked(true);
  }));
  checked(connect(excludeAll, &QPushButton::clicked, this, [this] {
    for (QCheckBox* box : boxes_) box->setChecked(false);
  }));
}

void TSearchSpecificBooksDlg::CmOk() {
  const bool any =
      std::any_of(boxes_.begin(), boxes_.end(), [](QCheckBox* box) { return box->isChecked(); });
  if (!any) {
    _MessageBox(
        this,
        QStringLiteral("I'm sorry but you really do need to select at least one book to search"),
        QStringLiteral("No books selected"), MB_OK);
    return;
  }
  for (std::size_t book = 0; book < boxes_.size(); ++book)
    flags_[book] = boxes_[book]->isChecked() ? 1 : 0;
  TOkCancelHelpDlg::CmOk();
}

}  // namespace vellum::ui
