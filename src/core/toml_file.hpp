// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the files users write in TOML (programmers.toml, devices.toml), read with
// toml++: where a node stands, as "file:line:column: " before what is wrong with it, and the
// parse of a whole text that turns a syntax error into such a message. Included only by the
// readers' sources: toml++ is a large header.
#pragma once

#include <toml++/toml.h>

#include <optional>
#include <string>
#include <string_view>

namespace kestrum {

// "programmers.toml:4:9: ".
std::string PositionText(std::string_view file, int line, int column);
std::string PositionText(std::string_view file, const toml::source_region& where);
std::string PositionText(std::string_view file, const toml::node& node);

// `text` as a TOML basic string: in quotes, with quotes, backslashes and control characters
// escaped, so that whatever a name holds reads back as itself.
std::string TomlQuoted(std::string_view text);

// The parsed text, or (in `problem`) the position and description of its first syntax error.
std::optional<toml::table> ParseTomlText(std::string_view text, std::string_view file,
                                         std::string& problem);

}  // namespace kestrum
