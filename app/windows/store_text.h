// The reference-work stores' texts as the look-up windows and the word dialogs read, show and
// take them: the size of the buffer a text is read into, the longest key, the stores' line ends
// and typed keys as UTF-8.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vellum::ui {

// Articles, definitions and verses are read into buffers of this size, as everywhere.
inline constexpr std::uint16_t kTextBufferSize = 32766;
// A key typed into a look-up window or a word dialog keeps at most this many bytes.
inline constexpr int kMaxKeyBytes = 40;

// The texts the stores hand out carry "\r\n"; the panes show line breaks.
inline QString fromStore(const char* text, std::size_t length) {
  QString shown = QString::fromUtf8(text, static_cast<qsizetype>(length));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

// A typed text as UTF-8 bytes.
inline std::string toUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace vellum::ui
