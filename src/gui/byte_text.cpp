// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes to characters and back.
#include "gui/byte_text.hpp"

#include <array>

#include "core/text.hpp"

namespace kestrum {

QChar ByteChar(unsigned char byte) {
  return QChar(static_cast<char16_t>(ByteCodePoint(byte)));
}

QString ByteText(std::string_view bytes) {
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[static_cast<qsizetype>(i)] = ByteChar(static_cast<unsigned char>(bytes[i]));
  }
  return text;
}

int CharByte(QChar character) {
  const char16_t c = character.unicode();
  if (c < 0x80) return c;
  if (c >= 0xA0 && c <= 0xFF) return c;
  for (int b = 0x80; b < 0xA0; ++b) {
    if (ByteCodePoint(static_cast<unsigned char>(b)) == c && c != u'.') return b;
  }
  return -1;
}

}  // namespace kestrum
