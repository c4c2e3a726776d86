// Byte limits on UTF-8 text. Stores and buffers count bytes, the windows show characters: a
// text cut to a byte limit must never end inside a character, or it no longer decodes to what
// it shows.
#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

namespace vellum::ui {

// The length of text cut to at most limit bytes, stepping back over the continuation bytes
// (10xxxxxx) of a character that did not fit.
inline std::size_t utf8CutLength(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

// Cuts text in place to at most limit bytes.
inline void cutUtf8(std::string& text, std::size_t limit) {
  text.resize(utf8CutLength(text, limit));
}

// The UTF-8 bytes of a typed text, at most limit of them.
inline std::string cutUtf8(const QString& text, std::size_t limit) {
  std::string bytes = text.toStdString();
  cutUtf8(bytes, limit);
  return bytes;
}

}  // namespace vellum::ui
