// Printing a composed passage: TPrintText lays the text out page by page, word by word, in the
// printer font of "VLMR20.INI", and printPassage runs a printout through the print dialog and
// the printer with a progress dialog that can cancel.
//
// Layout rules (layoutPage), in device pixels of the page's printable area:
// - Both margins, left and top, are half a line height; the pen starts at (margin, margin).
// - A word runs up to and including a blank, or up to a line feed, a carriage return or the
//   end of the text. A word that would reach the right margin (page width less the margin)
//   starts the next line, unless it already starts a line: a word wider than the page gets a
//   line of its own and runs past the margin.
// - A word whose line would reach the bottom margin starts the next page. The first word of a
//   page is always placed, so every page moves the printout on, however large the font.
// - A line feed or a carriage return (a carriage return and line feed count once) moves the pen
//   down 1.3 line heights, to the left margin.
#pragma once

#include <QString>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QPainter;
class QPrinter;
class QWidget;

namespace vellum::ui {

// One word placed on a page: its top-left corner and its bytes (a trailing blank included).
struct PlacedWord {
  int x = 0;
  int y = 0;
  std::string text;
};

struct PageLayout {
  std::vector<PlacedWord> words;
  std::size_t next = 0;  // where the next page starts; the text's length when it is all placed
};

// Lays out one page of text from `start`. width(word) measures a word in the page's pixels.
PageLayout layoutPage(std::string_view text, std::size_t start, int pageWidth, int pageHeight,
                      int lineHeight, const std::function<int(std::string_view)>& width);

class TPrintText {
 public:
  // The text is not copied: it must outlive the printout.
  TPrintText(const QString& title, const std::string& text);
  TPrintText(const QString& title, std::string&& text) = delete;

  const QString& title() const { return title_; }
  // The printout does not know its page count: every page number is 0.
  void getPrintInfo(int& minPage, int& maxPage, int& selFromPage, int& selToPage) const;
  // Another page follows while text is left.
  bool hasPage() const { return position_ < length_; }
  std::size_t position() const { return position_; }
  // Back to the start, for another copy.
  void restart() { position_ = 0; }
  // Prints the next page on the painter's device in the printer font and moves on.
  void printPage(QPainter& painter);

 private:
  QString title_;
  const std::string& text_;
  std::size_t position_ = 0;
  std::size_t length_ = 0;
};

// The printer of this run: the print dialog starts from the choices made the last time.
QPrinter& programPrinter();

// Asks for the printer with the print dialog (owned by `owner`), then prints every page,
// showing a progress dialog whose Cancel aborts the printout. A printer that cannot be started
// is reported in a message box. Returns whether the printout was printed to the end.
bool printPassage(TPrintText& printout, QWidget* owner);

}  // namespace vellum::ui
