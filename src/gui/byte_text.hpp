// SPDX-License-Identifier: GPL-3.0-or-later
// Text of single bytes as the views and the Edit dialog show it: bytes 32..126 as ASCII,
// 128..255 as the Western code page of the program's files (Windows-1252, whose 0x80..0x9F
// are printable), anything without a glyph as '.'.
#pragma once

#include <QString>

#include <string_view>

namespace kestrum {

QChar ByteChar(unsigned char byte);
QString ByteText(std::string_view bytes);
// The byte a character stands for, or -1 when it has none.
int CharByte(QChar character);

// UTF-8 texts of the lower layers.
inline QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace kestrum
