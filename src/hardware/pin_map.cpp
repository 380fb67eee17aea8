// SPDX-License-Identifier: GPL-3.0-or-later
// The text form of pin maps.
#include "hardware/pin_map.hpp"

#include <charconv>
#include <utility>

#include "core/text.hpp"

namespace kestrum {
namespace {

constexpr const auto& kLines = kPinLineNames;

}  // namespace

std::string FormatPinMap(const PinMap& map) {
  std::string out;
  for (const auto& [name, member] : kLines) {
    const PinAssignment& line = map.*member;
    if (!line.Connected()) continue;
    if (!out.empty()) out += ' ';
    out.append(name).append("=").append(line.activeLow ? "!" : "");
    out += std::to_string(line.pin);
  }
  return out;
}

std::optional<PinMap> ParsePinMap(std::string_view text, int pinCount) {
  PinMap map;
  std::uint64_t used = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ' || text[at] == ',') {
      ++at;
      continue;
    }
    std::size_t end = text.find_first_of(" ,", at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = text.substr(at, end - at);
    at = end;
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = item.substr(0, equals);
    std::string_view value = item.substr(equals + 1);
    PinAssignment line;
    if (!value.empty() && value.front() == '!') {
      line.activeLow = true;
      value.remove_prefix(1);
    }
    const auto [rest, error] = std::from_chars(value.data(), value.data() + value.size(), line.pin);
    if (error != std::errc() || rest != value.data() + value.size() || line.pin < 0 ||
        line.pin >= pinCount || line.pin >= PinAssignment::kMaxPins || (used & line.Mask())) {
      return std::nullopt;
    }
    used |= line.Mask();
    bool known = false;
    for (const auto& [lineName, member] : kLines) {
      if (!EqualsIgnoreCase(name, lineName)) continue;
      if ((map.*member).Connected()) return std::nullopt;
      map.*member = line;
      known = true;
    }
    if (!known) return std::nullopt;
  }
  if (!map.dataOut.Connected() || !map.clock.Connected() || !map.dataIn.Connected()) {
    return std::nullopt;
  }
  return map;
}

}  // namespace kestrum
