// SPDX-License-Identifier: GPL-3.0-or-later
// TOML positions and parsing.
#include "core/toml_file.hpp"

#include <cstdio>

#include "core/text.hpp"
#include "core/texts.hpp"

namespace kestrum {
namespace {

// The TOML reader (3.3) asks whether a character is whitespace through a table that is
// undefined for some non-ASCII ones: U+00A1..U+0499, U+2C5E..U+3057 but U+3000, and
// U+FB26..U+FEFE. It may ask about any character of a key or value, so a file holding one is
// refused before it gets there. The first such character and its place, if any.
struct Unsafe {
  toml::source_position where;
  char32_t character;
};
std::optional<Unsafe> UnsafeCharacter(std::string_view text) {
  toml::source_position at{1, 1};
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    // The sequence's length and first bits; malformed ones are the reader's to refuse.
    const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    char32_t c = length == 1 ? byte : byte & (0x7F >> length);
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    // The table's blocks of 3FAh characters from U+00A0 that it leaves undefined.
    const std::uint32_t block = (c - 0xA0) / 0x3FA;
    if (c > 0xA0 && c < 0xFEFF && c != 0x3000 && (block == 0 || block == 11 || block == 63)) {
      return Unsafe{at, c};
    }
    i += length;
    if (c == '\n') {
      ++at.line;
      at.column = 1;
    } else {
      ++at.column;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string PositionText(std::string_view file, int line, int column) {
  return std::string(file) + ":" + std::to_string(line) + ":" + std::to_string(column) + ": ";
}

std::string PositionText(std::string_view file, const toml::source_region& where) {
  return PositionText(file, static_cast<int>(where.begin.line),
                      static_cast<int>(where.begin.column));
}

std::string PositionText(std::string_view file, const toml::node& node) {
  return PositionText(file, node.source());
}

std::optional<toml::table> ParseTomlText(std::string_view text, std::string_view file,
                                         std::string& problem) {
  if (const std::optional<Unsafe> unsafe = UnsafeCharacter(text)) {
    problem = PositionText(file, static_cast<int>(unsafe->where.line),
                           static_cast<int>(unsafe->where.column)) +
              std::string(text::kTomlCharacter) +
              HexDigits(static_cast<std::uint32_t>(unsafe->character), 4) +
              std::string(text::kTomlCharacterAfter);
    return std::nullopt;
  }
  try {
    return toml::parse(text, file);
  } catch (const toml::parse_error& error) {
    problem = PositionText(file, error.source()) + std::string(error.description());
    return std::nullopt;
  }
}

std::string TomlQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace kestrum
