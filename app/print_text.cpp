#include "app/print_text.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <memory>

#include "app/config.h"
#include "app/window_utils.h"

namespace vellum::ui {
namespace {

constexpr int kFaceNameSize = 25;

bool isBreak(char c) { return c == '\n' || c == '\r'; }

}  // namespace

PageLayout layoutPage(std::string_view text, std::size_t start, int pageWidth, int pageHeight,
                      int lineHeight, const std::function<int(std::string_view)>& width) {
  PageLayout page;
  const int margin = lineHeight / 2;
  const int rightEdge = pageWidth - margin;
  const int bottomEdge = pageHeight - margin;
  int x = margin;
  int y = margin;
  std::size_t wordStart = start;
  // The walk reaches the end of the text itself, which ends the last word.
  for (std::size_t at = start; at <= text.size(); ++at) {
    const bool atEnd = at == text.size();
    const char c = atEnd ? '\0' : text[at];
    if (!atEnd && c != ' ' && !isBreak(c)) continue;
    const std::size_t wordEnd = c == ' ' ? at + 1 : at;
    const std::string_view word = text.substr(wordStart, wordEnd - wordStart);
    const int wordWidth = word.empty() ? 0 : width(word);
    if (x + wordWidth >= rightEdge && x > margin) {
      x = margin;
      y += lineHeight;
    }
    if (y + lineHeight >= bottomEdge && wordStart > start) {
      page.next = wordStart;
      return page;
    }
    if (!word.empty()) page.words.push_back({x, y, std::string(word)});
    if (isBreak(c)) {
      x = margin;
      y += static_cast<int>(lineHeight * 1.3);
      if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    } else {
      x += wordWidth;
    }
    wordStart = at + 1;
  }
  page.next = text.size();
  return page;
}

TPrintText::TPrintText(const QString& title, const std::string& text)
    : title_(title), text_(text), length_(text.size()) {}

void TPrintText::getPrintInfo(int& minPage, int& maxPage, int& selFromPage, int& selToPage) const {
  minPage = maxPage = selFromPage = selToPage = 0;
}

void TPrintText::printPage(QPainter& painter) {
  QPaintDevice* device = painter.device();
  if (device == nullptr || !hasPage()) return;
  // Read for every page, as the file may have changed since the last one.
  char face[kFaceNameSize] = {};
  getPrinterFontName(face, sizeof face);
  QFont font(QString::fromUtf8(face));
  font.setPixelSize(std::max(1, getPrinterFontSize() * device->logicalDpiY() / 72));
  font.setWeight(QFont::Normal);
  painter.setFont(font);
  const QFontMetrics metrics(font, device);

  const QPoint extent = _GetWindowExt(nullptr, device);
  const PageLayout page =
      layoutPage(text_, position_, extent.x(), extent.y(), std::max(1, metrics.height()),
                 [&metrics](std::string_view word) {
                   return metrics.horizontalAdvance(
                       QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size())));
                 });
  for (const PlacedWord& word : page.words) {
    painter.drawText(QPoint(word.x, word.y + metrics.ascent()), QString::fromStdString(word.text));
  }
  position_ = page.next;
}

QPrinter& programPrinter() {
  static std::unique_ptr<QPrinter> printer;
  if (!printer) {
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // The printer's resources belong to the application: release them while it still stands.
    qAddPostRoutine([] { printer.reset(); });
  }
  return *printer;
}

bool printPassage(TPrintText& printout, QWidget* owner) {
  QPrinter& printer = programPrinter();
  printer.setDocName(printout.title());
  int minPage = 0, maxPage = 0, fromPage = 0, toPage = 0;
  printout.getPrintInfo(minPage, maxPage, fromPage, toPage);
  printer.setFromTo(fromPage, toPage);

  QPrintDialog dialog(&printer, owner);
  // The page count is known only once printed: there is no page range to choose.
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setMinMax(minPage, maxPage);
  if (dialog.exec() != QDialog::Accepted) return false;

  QPainter painter;
  if (!painter.begin(&printer)) {
    const QString where = printer.outputFileName().isEmpty()
                              ? QStringLiteral("the printer \"%1\"").arg(printer.printerName())
                              : QStringLiteral("the file \"%1\"").arg(printer.outputFileName());
    _MessageBox(owner, QStringLiteral("Printing to %1 could not be started.").arg(where),
                QStringLiteral("Print"), MB_OK | MB_ICONSTOP);
    return false;
  }

  QProgressDialog progress(QStringLiteral("Printing..."), QStringLiteral("Cancel"), 0, 0, owner);
  progress.setObjectName(QStringLiteral("PrintProgress"));
  progress.setWindowTitle(QStringLiteral("Print"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.setAutoReset(false);
  progress.setAutoClose(false);
  progress.show();

  // A printer that cannot make copies itself gets the document once per copy.
  const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
  int page = 0;
  for (int copy = 0; copy < copies; ++copy) {
    printout.restart();
    while (printout.hasPage()) {
      if (page > 0) printer.newPage();
      ++page;
      progress.setLabelText(
          QStringLiteral("Printing page %1 of \"%2\"").arg(page).arg(printout.title()));
      QCoreApplication::processEvents();
      if (progress.wasCanceled()) {
        printer.abort();
        painter.end();
        return false;
      }
      printout.printPage(painter);
    }
  }
  return painter.end();
}

}  // namespace vellum::ui
