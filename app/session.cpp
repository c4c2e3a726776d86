#include "app/session.h"

#include <QMdiSubWindow>
#include <cstring>
#include <memory>

#include "app/frame.h"
#include "app/session_record.h"
#include "app/windows/passage.h"

namespace vellum::ui {

void saveSession(const TMyMDIClient& client) {
  std::vector<SessionRecord> windows;
  int active = 0;
  for (QMdiSubWindow* sub : client.subWindowList(QMdiArea::StackingOrder)) {
    auto* passage = qobject_cast<TPassage*>(sub->widget());
    if (passage == nullptr || passage->module() == nullptr ||
        windows.size() == static_cast<std::size_t>(kMaxSessionWindows))
      continue;
    bibleName name;
    getBibleName(&name, passage->module());
    SessionRecord record;
    record.file.assign(name.path, strnlen(name.path, sizeof name.path));
    const TPassage::Place place = passage->place();
    record.reference = place.reference;
    record.selectionAnchor = place.selectionAnchor;
    record.selectionEnd = place.selectionEnd;
    record.topWord = place.topWord;
    record.strongs = getStrongs(passage->module()) != 0;
    const QRect geometry = sub->geometry();
    record.x = geometry.x();
    record.y = geometry.y();
    record.width = geometry.width();
    record.height = geometry.height();
    record.state = sub->isMinimized() ? 2 : sub->isMaximized() ? 1 : 0;
    windows.push_back(std::move(record));
    if (passage == client.activePassage()) active = static_cast<int>(windows.size());
  }
  writeSession(windows, active);
}

bool restoreSession(TMyMDIClient& client) {
  const StoredSession session = readSession();
  TPassage* toActivate = nullptr;
  TPassage* last = nullptr;
  for (const StoredSession::Window& window : session.windows) {
    const SessionRecord& record = window.record;
    bibleName name;
    std::memcpy(name.path, record.file.c_str(), record.file.size() + 1);
    auto passage = std::make_unique<TPassage>(name);
    // A translation that is gone, or no longer holds the passage, is left out.
    BibleHandle* module = passage->module();
    if (module == nullptr) continue;
    const Reference reference = record.reference;
    const int verses = getVersesInChapter(reference, module);
    if (verses == 0 || reference.verse < 1 || reference.verse > verses) continue;
    setStrongs(module, record.strongs ? 1 : 0);
    passage->startAt({reference, record.selectionAnchor, record.selectionEnd, record.topWord});
    Qt::WindowStates states;
    if (record.state == 1) states = Qt::WindowMaximized;
    if (record.state == 2) states = Qt::WindowMinimized;
    const QRect geometry(record.x, record.y, record.width, record.height);
    last = client.showBibleWindow(passage.release(), &geometry, states);
    if (window.number == session.active) toActivate = last;
  }
  if (last == nullptr) return false;
  if (toActivate == nullptr) toActivate = last;
  client.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(toActivate->parentWidget()));
  toActivate->setFocus();
  return true;
}

}  // namespace vellum::ui
