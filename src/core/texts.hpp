// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the core layer that the user sees.
#pragma once

#include <string_view>

namespace kestrum::text {

// A character of a user's TOML file that is refused before parsing: "the character U+00E9 is
// not supported in this file".
inline constexpr std::string_view kTomlCharacter = "the character U+";
inline constexpr std::string_view kTomlCharacterAfter = " is not supported in this file";

}  // namespace kestrum::text
