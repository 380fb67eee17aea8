// TOML positions and parsing.
#include "core/toml_file.hpp"

namespace kestrum {

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
  try {
    return toml::parse(text, file);
  } catch (const toml::parse_error& error) {
    problem = PositionText(file, error.source()) + std::string(error.description());
    return std::nullopt;
  }
}

}  // namespace kestrum
