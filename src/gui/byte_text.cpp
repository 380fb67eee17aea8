// Bytes to characters and back.
#include "gui/byte_text.hpp"

#include <array>

namespace kestrum {
namespace {

// Windows-1252 at 0x80..0x9F; 0 where the code page has no character.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QChar ByteChar(unsigned char byte) {
  if (byte < 32 || byte == 127) return QLatin1Char('.');
  if (byte >= 0x80 && byte < 0xA0) {
    const char16_t c = kHighControls[byte - 0x80];
    return c == 0 ? QLatin1Char('.') : QChar(c);
  }
  return QChar(byte);
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
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == c) return static_cast<int>(0x80 + i);
  }
  return -1;
}

}  // namespace kestrum
