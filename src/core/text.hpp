// SPDX-License-Identifier: GPL-3.0-or-later
// Small text helpers shared by every layer: the hexadecimal forms shown to the user (upper
// case, fixed width) and ASCII-only case handling for names and paths.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrum {

// Upper-case hexadecimal with at least `digits` digits ("%0*X").
std::string HexDigits(std::uint32_t value, int digits);
inline std::string Hex4(std::uint32_t value) { return HexDigits(value, 4); }
inline std::string Hex2(std::uint32_t value) { return HexDigits(value, 2); }

char AsciiUpper(char c);
std::string AsciiUpper(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Value of one hexadecimal digit (either case), or -1.
int HexDigitValue(char c);

// The character a byte of a hex view line stands for: 32..126 as ASCII, 128..255 as the
// Western code page of the program's files (Windows-1252), anything without a glyph as '.'.
char32_t ByteCodePoint(unsigned char byte);
// A line of such bytes as UTF-8 text.
std::string BytesToUtf8(std::string_view bytes);

}  // namespace kestrum
