#include "app/session.h"

#include <QMdiSubWindow>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/config.h"
#include "app/frame.h"
#include "app/profile.h"
#include "app/session_record.h"
#include "app/windows/parallel.h"
#include "engine/bible/parallel.h"

namespace vellum::ui {
namespace {

constexpr const char* kSection = "SESSION";
constexpr const char* kLinkedKey = "LINKED";
constexpr char kFileSeparator = '|';

std::vector<std::string> splitFiles(const std::string& files) {
  std::vector<std::string> result;
  std::size_t start = 0;
  for (std::size_t bar = files.find(kFileSeparator); bar != std::string::npos;
       bar = files.find(kFileSeparator, start)) {
    result.push_back(files.substr(start, bar - start));
    start = bar + 1;
  }
  result.push_back(files.substr(start));
  return result;
}

// The records are read and written by the window-free code of session_record.h, which the
// fuzz target reads too.
static_assert(kMinParallelColumns == TParallelView::kMinColumns &&
              kMaxParallelColumns == TParallelView::kMaxColumns);

SessionRecord toRecord(const SessionWindow& window) {
  SessionRecord record;
  record.file = window.file;
  record.parallel = window.parallel;
  record.reference = window.place.reference;
  record.selectionAnchor = window.place.selectionAnchor;
  record.selectionEnd = window.place.selectionEnd;
  record.topWord = window.place.topWord;
  record.strongs = window.strongs;
  record.x = window.geometry.x();
  record.y = window.geometry.y();
  record.width = window.geometry.width();
  record.height = window.geometry.height();
  record.state = window.state;
  return record;
}

SessionWindow fromRecord(const SessionRecord& record) {
  SessionWindow window;
  window.file = record.file;
  window.parallel = record.parallel;
  window.place = TPassage::Place{record.reference, record.selectionAnchor, record.selectionEnd,
                                 record.topWord};
  window.strongs = record.strongs;
  window.geometry = QRect(record.x, record.y, record.width, record.height);
  window.state = record.state;
  return window;
}

}  // namespace

std::string formatSessionWindow(const SessionWindow& window) {
  return formatSessionRecord(toRecord(window));
}

std::optional<SessionWindow> parseSessionWindow(const std::string& text) {
  const std::optional<SessionRecord> record = parseSessionRecord(text);
  if (!record) return std::nullopt;
  return fromRecord(*record);
}

bool rememberedLinkedWindows() {
  char text[8] = {};
  getPrivateProfileString(kSection, kLinkedKey, "", text, sizeof text, kIniFile);
  return std::strcmp(text, "TRUE") == 0;
}

void rememberLinkedWindows(bool linked) {
  writePrivateProfileString(kSection, kLinkedKey, linked ? "TRUE" : "FALSE", kIniFile);
}

namespace {

std::string moduleFile(BibleHandle* module) {
  bibleName name;
  getBibleName(&name, module);
  return std::string(name.path, strnlen(name.path, sizeof name.path));
}

// The window's record, or nullopt for a window that is not a document or cannot be named.
std::optional<SessionWindow> sessionWindow(QMdiSubWindow* sub) {
  SessionWindow window;
  if (auto* passage = qobject_cast<TPassage*>(sub->widget()); passage && passage->module()) {
    window.file = moduleFile(passage->module());
    window.place = passage->place();
    window.strongs = getStrongs(passage->module()) != 0;
  } else if (auto* view = qobject_cast<TParallelView*>(sub->widget()); view && view->isOpen()) {
    window.parallel = true;
    for (int column = 0; column < view->columnCount(); ++column) {
      const std::string file = moduleFile(view->module(column));
      if (file.find(kFileSeparator) != std::string::npos) return std::nullopt;
      window.file += (column > 0 ? "|" : "") + file;
    }
    const TParallelView::Place place = view->place();
    window.place = TPassage::Place{place.reference, place.anchor, place.end, place.topRow};
    window.strongs = view->strongsShown();
  } else {
    return std::nullopt;
  }
  window.geometry = sub->geometry();
  window.state = sub->isMinimized() ? 2 : sub->isMaximized() ? 1 : 0;
  return window;
}

// Opens a remembered window in the client, or returns null when its translations are gone or
// no longer hold its passage. A parallel view opens with those of its translations that are
// left, when two are.
QWidget* openSessionWindow(TMyMDIClient& client, const SessionWindow& window) {
  Qt::WindowStates states;
  if (window.state == 1) states = Qt::WindowMaximized;
  if (window.state == 2) states = Qt::WindowMinimized;
  const Reference reference = window.place.reference;
  if (window.parallel) {
    std::vector<bibleName> bibles;
    for (const std::string& file : splitFiles(window.file)) {
      bibleName name;
      std::memcpy(name.path, file.c_str(), file.size() + 1);
      bibleName found;
      if (BibleHandle* module = openBible(&name)) {
        bibles.push_back(*getBibleName(&found, module));
        closeBible(module);
      }
    }
    if (bibles.size() < TParallelView::kMinColumns) return nullptr;
    auto view = std::make_unique<TParallelView>(bibles);
    if (!view->isOpen()) return nullptr;
    bool held = false;
    for (int column = 0; column < view->columnCount(); ++column) {
      Reference mapped;
      held = held || mapReference(&mapped, reference, view->module(0), view->module(column));
    }
    if (!held) return nullptr;
    if (window.strongs != view->strongsShown()) view->toggleStrongs();
    view->startAt(TParallelView::Place{reference, window.place.selectionAnchor,
                                       window.place.selectionEnd, window.place.topWord});
    return client.showParallelWindow(view.release(), &window.geometry, states);
  }
  bibleName name;
  std::memcpy(name.path, window.file.c_str(), window.file.size() + 1);
  auto passage = std::make_unique<TPassage>(name, client.workbench());
  BibleHandle* module = passage->module();
  if (module == nullptr) return nullptr;
  const int verses = getVersesInChapter(reference, module);
  if (verses == 0 || reference.verse < 1 || reference.verse > verses) return nullptr;
  setStrongs(module, window.strongs ? 1 : 0);
  passage->startAt(window.place);
  return client.showBibleWindow(passage.release(), &window.geometry, states);
}

}  // namespace

void saveSession(const TMyMDIClient& client) {
  std::vector<SessionRecord> records;
  int active = 0;
  QMdiSubWindow* current =
      client.activeSubWindow() ? client.activeSubWindow() : client.currentSubWindow();
  for (QMdiSubWindow* sub : client.subWindowList(QMdiArea::StackingOrder)) {
    if (records.size() == static_cast<std::size_t>(kMaxSessionWindows)) break;
    const std::optional<SessionWindow> window = sessionWindow(sub);
    if (!window) continue;
    records.push_back(toRecord(*window));
    if (sub == current) active = static_cast<int>(records.size());
  }
  // writeSession replaces the whole section, so the link setting is written after it.
  writeSession(records, active);
  rememberLinkedWindows(client.linked());
}

bool restoreSession(TMyMDIClient& client) {
  const StoredSession session = readSession();
  QWidget* toActivate = nullptr;
  QWidget* last = nullptr;
  for (const StoredSession::Window& stored : session.windows) {
    // A translation that is gone, or no longer holds the passage, is left out.
    QWidget* opened = openSessionWindow(client, fromRecord(stored.record));
    if (opened == nullptr) continue;
    last = opened;
    if (stored.number == session.active) toActivate = last;
  }
  if (last == nullptr) return false;
  if (toActivate == nullptr) toActivate = last;
  client.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(toActivate->parentWidget()));
  toActivate->setFocus();
  return true;
}

}  // namespace vellum::ui
