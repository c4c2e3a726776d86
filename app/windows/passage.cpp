#include "app/windows/passage.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/config.h"
#include "app/reference_dlg.h"
#include "app/utf8.h"
#include "app/window_utils.h"
#include "app/windows/compose_passage.h"
#include "app/windows/hilight.h"
#include "app/windows/window_commands.h"
#include "engine/bible/parallel.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "engine/stores/notes.h"

namespace vellum::ui {

namespace {

const QColor kSelectedText(255, 255, 255);
const QColor kSelectedBackground(0, 0, 100);
const QColor kStrongsText(255, 0, 0);
const QColor kVerseNumberText(0, 0, 255);
// Indexed by highlight code 0 to 3 (red, blue, green, yellow); 4 is no highlight.
const std::array<QColor, 4> kHilightColors = {QColor(255, 0, 0), QColor(0, 0, 255),
                                              QColor(0, 255, 0), QColor(200, 200, 0)};
constexpr int kHilightBlue = 1;

constexpr std::size_t kVerseBufferSize = 4096;
constexpr std::size_t kReferenceBufferSize = 40;  // what parseReference is given of a text
constexpr std::size_t kHoverKeySize = 40;         // the remembered hovered word, terminator incl.
constexpr std::uint16_t kStatusBufferSize = 251;  // status texts of at most 250 characters
constexpr int kFaceNameSize = 25;

// The commands the Bible window answers itself (the command table's), so no other handler on
// the route takes them.
bool isWindowCommand(int id) { return ownedBy(id, Owner::BibleWindow); }

// The highlight code of a highlight command: red 0, blue 1, green 2, yellow 3, none 4.
int hilightCode(int id) {
  switch (id) {
    case CmHilightRed:
      return 0;
    case CmHilightBlue:
      return 1;
    case CmHilightGreen:
      return 2;
    case CmHilightYellow:
      return 3;
    default:
      return 4;
  }
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Appends at most `room` bytes of piece, never ending inside a UTF-8 sequence.
void appendWithin(std::string& text, std::string_view piece, std::size_t room) {
  text.append(piece.substr(0, utf8CutLength(piece, room)));
}

std::string fieldText(const char* field, std::size_t size) {
  return std::string(field, strnlen(field, size));
}

// The last hovered word and whether a hover put text in the message bar: shared by every Bible
// window, as there is one mouse and one message bar.
struct HoverState {
  std::string lastWord;
  bool statusShown = false;
};

HoverState& hoverState() {
  static HoverState state;
  return state;
}

}  // namespace

void TPassage::ModuleCloser::operator()(BibleHandle* module) const { closeBible(module); }

void TPassage::NotesCloser::operator()(NotesHandle* notes) const { VNClose(notes); }

TPassage::TPassage(const bibleName& bible, Workbench& workbench, std::string* why, QWidget* parent)
    : TTextWindowMDIChild(parent), workbench_(workbench) {
  module_.reset(openBible(&bible, why));
  if (!module_) return;
  notes_.reset(VNOpen(module_.get()));
  hilight_ = std::make_unique<THilight>(module_.get());
  applyScreenFont();
}

TPassage::~TPassage() {
  // The notes and highlight stores borrow the module: they go first.
  hilight_.reset();
  notes_.reset();
  module_.reset();
}

// ---- Showing a chapter ----

void TPassage::showPassage(Reference reference) {
  BibleHandle* module = module_.get();
  if (module == nullptr) return;
  const std::uint16_t verses = getVersesInChapter(reference, module);
  if (verses == 0) return;
  reference.verse = static_cast<std::uint8_t>(std::clamp<int>(reference.verse, 1, verses));

  std::uint32_t offset = 0;
  std::uint16_t verse = 0;
  refLookup(&offset, &verse, reference, module);
  std::vector<char> buffer(kChapterBufferSize);
  std::uint16_t length = 0;
  getChapter(buffer.data(), &length, kChapterBufferSize, offset, module);
  std::string text(buffer.data(), length);
  chapterLength_ = text.size();

  char referenceText[kReferenceBufferSize] = {};
  unparseReference(referenceText, reference, module);
  if (notes_) {
    std::uint16_t notesLength = 0;
    VNGetNotesForChapter(buffer.data(), &notesLength, kChapterBufferSize, referenceText,
                         notes_.get());
    if (notesLength > 0) {
      // The whole text stays within a chapter buffer, terminator included.
      const auto room = [&text] {
        return text.size() + 1 < std::size_t{kChapterBufferSize}
                   ? std::size_t{kChapterBufferSize} - 1 - text.size()
                   : std::size_t{0};
      };
      appendWithin(text, kNotesHeading, room());
      appendWithin(text, std::string_view(buffer.data(), notesLength), room());
    }
  }

  // Highlights are read afresh for the chapter shown: another program may have set some.
  if (hilight_) hilight_->forget();

  bibleName name;
  getBibleName(&name, module);
  setWindowTitle(QString::fromUtf8(referenceText) + " - " +
                 QString::fromStdString(fieldText(name.name, sizeof name.name)));
  setText(text);

  // The verse's line as the chapter holds it: getVerse's text after the reference's ':'. Only
  // an occurrence that starts a line is the verse itself.
  std::vector<char> verseText(kVerseBufferSize);
  std::uint16_t verseLength = 0;
  getVerse(verseText.data(), &verseLength, kVerseBufferSize, verse, module);
  const std::string_view line(verseText.data(), verseLength);
  const std::size_t colon = line.find(':');
  if (colon != std::string_view::npos && colon + 1 < line.size()) {
    const std::string_view verseLine = line.substr(colon + 1);
    const std::string& shown = this->text();
    std::size_t at = shown.find(verseLine);
    while (at != std::string::npos && at > 0 && shown[at - 1] != '\n')
      at = shown.find(verseLine, at + 1);
    if (at != std::string::npos) {
      const std::size_t lineEnd = shown.find('\n', at);
      selectCharacters(at, lineEnd == std::string::npos ? shown.size() - 1 : lineEnd);
    }
  }
  Q_EMIT passageShown();
}

void TPassage::showMissing(const QString& referenceText) {
  QString caption = windowTitle();
  const qsizetype note = caption.indexOf(" [");
  if (note >= 0) caption.truncate(note);
  setWindowTitle(caption + " [" + referenceText + ": not in this translation]");
}

int TPassage::verseOfWord(int index) const {
  if (index < 0 || index >= wordCount()) return 0;
  const std::string& shown = text();
  std::size_t start = word(index).start;
  if (start >= chapterLength_) return 0;
  while (start > 0 && shown[start - 1] != '\n') --start;
  std::uint16_t verse = 0;
  verseLineText(shown.c_str() + start, &verse);
  return verse;
}

void TPassage::mouseReleaseEvent(QMouseEvent* event) {
  const bool wasDragging = isDragging() && event->button() == Qt::LeftButton;
  TTextWindowMDIChild::mouseReleaseEvent(event);
  if (!wasDragging || !hasSelection()) return;
  const int verse = verseOfWord(selectionFirst());
  if (verse <= 0 || verse > 255) return;
  Reference reference = currentReference();
  reference.verse = static_cast<std::uint8_t>(verse);
  Q_EMIT verseClicked(reference);
}

Reference TPassage::currentReference() const {
  Reference reference{0, 1, 1};
  if (!module_) return reference;
  const QByteArray caption = windowTitle().toUtf8();
  parseReference(&reference, caption.constData(), module_.get());
  return reference;
}

int TPassage::strongsAtWord(int word, Reference chapter) const {
  BibleHandle* module = module_.get();
  if (module == nullptr || hasStrongs(module) == 0 || word < 0) return -1;
  if (getVersesInChapter(chapter, module) == 0) return -1;
  std::uint32_t offset = 0;
  std::uint16_t verse = 0;
  refLookup(&offset, &verse, chapter, module);
  std::vector<char> buffer(kChapterBufferSize);
  std::uint16_t length = 0;
  const int shown = getStrongs(module);
  setStrongs(module, 1);
  getChapter(buffer.data(), &length, kChapterBufferSize, offset, module);
  setStrongs(module, shown);

  // Count the displayed words piece by piece (pieces split at single spaces): a number carries
  // no displayed word, except that one holding a line feed carries the next verse's number; a
  // word holding a line feed is the word and the next verse's number.
  const std::string_view text(buffer.data(), length);
  int count = 0;
  bool reached = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t stop = text.find(' ', start);
    if (stop == std::string_view::npos) stop = text.size();
    const std::string_view piece = text.substr(start, stop - start);
    const bool number = !piece.empty() && isDigit(piece.front());
    if (reached) {
      // The number that follows the word: the first piece after it that starts with a digit.
      if (number) return std::atoi(std::string(piece).c_str());
    } else {
      const bool lineFeed = piece.find('\n') != std::string_view::npos;
      count += number ? (lineFeed ? 1 : 0) : (lineFeed ? 2 : 1);
      reached = count >= word;
    }
    start = stop + 1;
  }
  return -1;
}

// ---- Fonts ----

QFont screenFont(const QWidget& widget) {
  char face[kFaceNameSize] = {};
  getScreenFontName(face, sizeof face);
  const int points = std::max(1, getScreenFontSize());
  QFont font(QString::fromUtf8(face));
  font.setPixelSize(std::max(1, points * widget.logicalDpiY() / 72));
  font.setWeight(QFont::Normal);
  return font;
}

void TPassage::applyScreenFont() { setTextFont(screenFont(*this)); }

// ---- Painting ----

bool TPassage::canHilightNow() const {
  return module_ && getStrongs(module_.get()) == 0 && hilight_ && hilight_->canHilight();
}

void TPassage::beginPaintRange() { paintReference_ = currentReference(); }

WordColors TPassage::wordColors(int index) const { return colorsFor(index, currentReference()); }

WordColors wordLookColors(const WordLook& look, const QPalette& palette) {
  WordColors colors{palette.color(QPalette::Text), palette.color(QPalette::Base)};
  if (look.selected) colors = {kSelectedText, kSelectedBackground};
  bool highlightedBlue = false;
  if (look.strongsShown) {
    // Highlight positions count the words with the numbers hidden: none are drawn now.
    if (look.strongsNumber) colors.text = kStrongsText;
  } else if (look.hilight >= 0) {
    const bool highlighted = look.hilight < static_cast<int>(kHilightColors.size());
    const QColor hilight =
        highlighted ? kHilightColors[static_cast<std::size_t>(look.hilight)] : QColor();
    if (look.selected)
      colors.text = highlighted ? hilight : kSelectedText;
    else if (highlighted)
      colors.background = hilight;
    highlightedBlue = look.hilight == kHilightBlue;
  }
  if (look.verseNumber && !look.selected && !highlightedBlue) colors.text = kVerseNumberText;
  return colors;
}

WordColors TPassage::colorsFor(int index, Reference chapter) const {
  if (index < 0 || index >= wordCount()) return wordLookColors({}, palette());
  const std::string& shown = text();
  const Word& w = word(index);
  const bool startsWithDigit = w.length > 0 && isDigit(shown[w.start]);
  // Verse numbers start the text or follow a line end; any other digit word is a number.
  bool afterLineEnd = index == 0;
  if (index > 0) {
    const Word& previous = word(index - 1);
    const char last = shown[previous.start + previous.length - 1];
    afterLineEnd = last == '\n' || last == '\r';
  }
  WordLook look;
  look.selected = isSelected(index);
  look.verseNumber = startsWithDigit && afterLineEnd;
  // The notes below the chapter are the reader's own words: their digits are no Strong's
  // numbers.
  look.strongsNumber = startsWithDigit && !afterLineEnd && w.start < chapterLength_;
  look.strongsShown = module_ && getStrongs(module_.get()) != 0;
  if (!look.strongsShown && canHilightNow()) look.hilight = hilight_->getHilight(chapter, index);
  return wordLookColors(look, palette());
}

void TPassage::paintWord(QPainter& painter, int index) {
  const WordColors colors = colorsFor(index, paintReference_);
  drawWord(painter, index, colors.text, colors.background);
}

// ---- Mouse ----

void TPassage::forgetLastHover() { hoverState().lastWord.clear(); }

void TPassage::onHoverWord(const std::string& word) {
  HoverState& state = hoverState();
  const std::string key = word.substr(0, kHoverKeySize - 1);
  if (key == state.lastWord) return;

  QString status;
  LexiconHandle* lexicon = workbench_.lexicon();
  if (!word.empty() && isDigit(word.front()) && lexicon != nullptr) {
    std::vector<char> number(word.begin(), word.end());
    number.push_back('\0');
    formatStrongs(number.data());
    const long value = std::strtol(number.data(), nullptr, 10);
    std::vector<char> entry(kStatusBufferSize);
    std::uint16_t length = 0;
    if (value > 0 && value <= 0xFFFF &&
        lookupLexicon(entry.data(), &length, kStatusBufferSize, static_cast<std::uint16_t>(value),
                      isOldTestament(module_.get(), currentReference()), lexicon) != nullptr)
      status = QString::fromUtf8(entry.data(), length);
  } else {
    std::vector<char> entry(kStatusBufferSize);
    std::uint16_t length = 0;
    if (DictHandle* names = workbench_.hitchcock()) {
      std::string name = word;
      if (fuzzy_find_string_item(entry.data(), &length, kStatusBufferSize, name, names) != nullptr)
        status = QString::fromUtf8(name.data(), static_cast<int>(name.size())) + ':' +
                 QString::fromUtf8(entry.data(), length);
    }
    bool inDictionary = false;
    if (DictHandle* dictionary = workbench_.eastons()) {
      std::string name = word;
      inDictionary = fuzzy_find_string_item(entry.data(), &length, kStatusBufferSize, name,
                                            dictionary) != nullptr;
    }
    viewport()->setCursor(inDictionary ? Qt::WhatsThisCursor : Qt::ArrowCursor);
  }

  if (!status.isEmpty()) {
    // Only the first line, with its spaces tidied, fits the message bar.
    for (qsizetype i = 0; i < status.size(); ++i) {
      if (status[i] == u'\r' || status[i] == u'\n') {
        status.truncate(i);
        break;
      }
    }
    workbench_.setStatusText(status.simplified());
    state.statusShown = true;
  } else if (state.statusShown) {
    workbench_.setStatusText(QString());
    state.statusShown = false;
  }
  state.lastWord = key;
}

// ---- Setup and commands ----

TPassage::Place TPassage::place() const {
  const int top = firstVisibleWord();
  return Place{currentReference(), selectionAnchor(), selectionEnd(), top < wordCount() ? top : -1};
}

void TPassage::setupWindow() {
  TTextWindowMDIChild::setupWindow();
  buildPopupMenu();
  if (start_) {
    const Place place = *start_;
    start_.reset();
    showPassage(place.reference);
    const auto inText = [this](int index) { return index >= 0 && index < wordCount(); };
    if (inText(place.selectionAnchor) && inText(place.selectionEnd))
      selectWords(place.selectionAnchor, place.selectionEnd);
    if (inText(place.topWord)) scrollTo(word(place.topWord).top);
    return;
  }
  const QString boxText = workbench_.selectedVerseFound();
  if (!boxText.isEmpty() && module_) {
    setFocus();
    Reference reference;
    const QByteArray text = boxText.toUtf8().left(kReferenceBufferSize - 1);
    parseReference(&reference, text.constData(), module_.get());
    showPassage(reference);
  } else {
    postCommand(this, CmSearch);
  }
}

void TPassage::buildPopupMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName("PopupMenu");
  const auto add = [this, menu](int id, const char* text) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setObjectName(QString::number(id));
    action->setData(id);
    [[maybe_unused]] const bool connected = static_cast<bool>(
        connect(action, &QAction::triggered, this, [this, id] { dispatchCommandFrom(this, id); }));
    Q_ASSERT(connected);
  };
  add(CmSearch, "Search...");
  add(CmGoto, "Go to...");
  if (workbench_.lexicon() != nullptr) add(CmStrongsLookup, "Strong's Number...");
  if (workbench_.eastons() != nullptr) add(CmDictionary, "Easton's Dictionary...");
  menu->addSeparator();
  add(CmEditCopy, "Copy...");
  add(CmAppend, "Append...");
  add(CmFilePrint, "Print...");
  menu->addSeparator();
  add(CmHilightRed, "Hilight Red");
  add(CmHilightBlue, "Hilight Blue");
  add(CmHilightGreen, "Hilight Green");
  add(CmHilightYellow, "Hilight Yellow");
  add(CmUnhilight, "Unhilight");
  [[maybe_unused]] const bool connected =
      static_cast<bool>(connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        for (QAction* action : menu->actions()) {
          if (!action->isSeparator())
            action->setEnabled(queryCommandFrom(this, action->data().toInt()).enabled);
        }
      }));
  Q_ASSERT(connected);
  setPopupMenu(menu);
}

void TPassage::applyHilight(int code) {
  if (!canHilightNow() || !hasSelection()) return;
  if (!hilight_->setHilight(currentReference(), selectionFirst(), selectionLast(), code) &&
      hilight_->busy())
    showChangeRefused(this, hilight_->storeName(), windowTitle());
  repaintWords(selectionFirst(), selectionLast());
}

// Command 301: the go-to dialog on the window's module; on OK the reference is shown as a search
// for it would show it.
void TPassage::runGotoDialog() {
  Reference reference;
  QByteArray text;
  if (::vellum::ui::runGotoDialog(this, module_.get(), &reference, &text))
    workbench_.showReferencesFound(&reference, 1, false, text.constData(), module_.get());
}

bool TPassage::handleCommand(int id) {
  if (!isWindowCommand(id)) return false;
  switch (id) {
    case CmHilightRed:
    case CmHilightBlue:
    case CmHilightGreen:
    case CmHilightYellow:
    case CmUnhilight:
      applyHilight(hilightCode(id));
      break;
    case CmGoto:
      if (module_ && workbench_.hasMainWindow()) runGotoDialog();
      break;
    default:
      runSearchCommand(*this, id) || runReferenceCommand(*this, id) ||
          runCopyPrintCommand(*this, id);
      break;
  }
  return true;
}

bool TPassage::commandState(int id, CommandState& state) {
  if (!isWindowCommand(id)) return false;
  switch (id) {
    case CmHilightRed:
    case CmHilightBlue:
    case CmHilightGreen:
    case CmHilightYellow:
    case CmUnhilight:
      state.enabled = canHilightNow();
      break;
    case CmGoto:
      state.enabled = module_ && workbench_.hasMainWindow();
      break;
    default:
      state.enabled = false;
      searchCommandState(*this, id, state) || referenceCommandState(*this, id, state) ||
          copyPrintCommandState(*this, id, state);
      break;
  }
  return true;
}

void TPassage::onDoubleClickWord(const std::string& word) { onPassageDoubleClick(*this, word); }

}  // namespace vellum::ui
