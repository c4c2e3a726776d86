#include "app/session.h"

#include <QMdiSubWindow>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/config.h"
#include "app/frame.h"
#include "app/profile.h"

namespace vellum::ui {
namespace {

constexpr const char* kSection = "SESSION";
constexpr int kFields = 12;  // the numbers before the file name
// More windows than anyone reads side by side; a larger count is a damaged file.
constexpr int kMaxWindows = 64;
// A record: twelve numbers of at most eleven characters, the commas and a bare file name.
constexpr std::size_t kRecordSize = 256;

std::string windowKey(int number) { return "WINDOW" + std::to_string(number); }

int readNumber(const char* key, int fallback) {
  char text[16] = {};
  getPrivateProfileString(kSection, key, "", text, sizeof text, kIniFile);
  int value = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, value);
  return error == std::errc() && stop == end && stop != text ? value : fallback;
}

}  // namespace

std::string formatSessionWindow(const SessionWindow& window) {
  const TPassage::Place& place = window.place;
  char numbers[kRecordSize];
  std::snprintf(numbers, sizeof numbers, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,",
                place.reference.book, place.reference.chapter, place.reference.verse,
                place.selectionAnchor, place.selectionEnd, place.topWord, window.strongs ? 1 : 0,
                window.geometry.x(), window.geometry.y(), window.geometry.width(),
                window.geometry.height(), window.state);
  return numbers + window.file;
}

std::optional<SessionWindow> parseSessionWindow(const std::string& text) {
  std::array<int, kFields> field{};
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (int& value : field) {
    const auto [stop, error] = std::from_chars(at, end, value);
    if (error != std::errc() || stop == end || *stop != ',') return std::nullopt;
    at = stop + 1;
  }
  const auto [book, chapter, verse, anchor, last, top, strongs, x, y, width, height, state] = field;
  const auto byte = [](int value) { return value >= 0 && value <= 255; };
  const auto word = [](int value) { return value >= -1 && value <= 0xFFFF; };
  const auto coordinate = [](int value) { return value >= -(1 << 20) && value <= (1 << 20); };
  const auto extent = [](int value) { return value >= 0 && value <= (1 << 20); };
  if (!byte(book) || !byte(chapter) || !byte(verse) || !word(anchor) || !word(last) || !word(top) ||
      (strongs != 0 && strongs != 1) || !coordinate(x) || !coordinate(y) || !extent(width) ||
      !extent(height) || state < 0 || state > 2)
    return std::nullopt;
  SessionWindow window;
  window.file.assign(at, end);
  // A bare file name that fits a translation's record, as the data path looks it up.
  if (window.file.empty() || window.file.size() >= sizeof(bibleName::path) ||
      window.file.find_first_of("/\\") != std::string::npos)
    return std::nullopt;
  window.place.reference =
      Reference{static_cast<std::uint8_t>(book), static_cast<std::uint8_t>(chapter),
                static_cast<std::uint8_t>(verse)};
  window.place.selectionAnchor = anchor;
  window.place.selectionEnd = last;
  window.place.topWord = top;
  window.strongs = strongs == 1;
  window.geometry = QRect(x, y, width, height);
  window.state = state;
  return window;
}

void saveSession(const TMyMDIClient& client) {
  writePrivateProfileString(kSection, nullptr, nullptr, kIniFile);
  int count = 0;
  int active = 0;
  for (QMdiSubWindow* sub : client.subWindowList(QMdiArea::StackingOrder)) {
    auto* passage = qobject_cast<TPassage*>(sub->widget());
    if (passage == nullptr || passage->module() == nullptr || count == kMaxWindows) continue;
    bibleName name;
    getBibleName(&name, passage->module());
    SessionWindow window;
    window.file.assign(name.path, strnlen(name.path, sizeof name.path));
    window.place = passage->place();
    window.strongs = getStrongs(passage->module()) != 0;
    window.geometry = sub->geometry();
    window.state = sub->isMinimized() ? 2 : sub->isMaximized() ? 1 : 0;
    ++count;
    if (passage == client.activePassage()) active = count;
    writePrivateProfileString(kSection, windowKey(count).c_str(),
                              formatSessionWindow(window).c_str(), kIniFile);
  }
  if (count == 0) return;
  writePrivateProfileString(kSection, "ACTIVE", std::to_string(active).c_str(), kIniFile);
  writePrivateProfileString(kSection, "WINDOWS", std::to_string(count).c_str(), kIniFile);
}

bool restoreSession(TMyMDIClient& client) {
  const int count = readNumber("WINDOWS", 0);
  if (count <= 0 || count > kMaxWindows) return false;
  const int active = readNumber("ACTIVE", 0);
  TPassage* toActivate = nullptr;
  TPassage* last = nullptr;
  for (int number = 1; number <= count; ++number) {
    char text[kRecordSize] = {};
    getPrivateProfileString(kSection, windowKey(number).c_str(), "", text, sizeof text, kIniFile);
    const std::optional<SessionWindow> window = parseSessionWindow(text);
    if (!window) continue;
    bibleName name;
    std::memcpy(name.path, window->file.c_str(), window->file.size() + 1);
    auto passage = std::make_unique<TPassage>(name);
    // A translation that is gone, or no longer holds the passage, is left out.
    BibleHandle* module = passage->module();
    if (module == nullptr) continue;
    const Reference reference = window->place.reference;
    const int verses = getVersesInChapter(reference, module);
    if (verses == 0 || reference.verse < 1 || reference.verse > verses) continue;
    setStrongs(module, window->strongs ? 1 : 0);
    passage->startAt(window->place);
    Qt::WindowStates states;
    if (window->state == 1) states = Qt::WindowMaximized;
    if (window->state == 2) states = Qt::WindowMinimized;
    last = client.showBibleWindow(passage.release(), &window->geometry, states);
    if (number == active) toActivate = last;
  }
  if (last == nullptr) return false;
  if (toActivate == nullptr) toActivate = last;
  client.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(toActivate->parentWidget()));
  toActivate->setFocus();
  return true;
}

}  // namespace vellum::ui
