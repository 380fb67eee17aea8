// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and printing programmers.toml.
#include "hardware/programmer_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/toml_file.hpp"
#include "hardware/register_pins.hpp"
#include "hardware/texts.hpp"

namespace kestrum {
namespace {

constexpr int kDefaultVppWaitUs = 100;
constexpr std::int64_t kLongestWaitUs = 1000000;

struct PortKindName {
  std::string_view name;
  PortKind kind;
};
constexpr PortKindName kPortKinds[] = {{"parallel", PortKind::Parallel},
                                       {"serial", PortKind::Serial},
                                       {"ftdi", PortKind::Usb},
                                       {"gpio", PortKind::Gpio}};

std::string_view KindName(PortKind kind) {
  for (const PortKindName& k : kPortKinds) {
    if (k.kind == kind) return k.name;
  }
  return "parallel";
}

// A mistake in an entry: where, and what.
struct Mistake {
  std::string position;
  std::string what;
};

std::string PinProblem(PortKind kind, int pin, bool input) {
  std::string_view rest;
  switch (kind) {
    case PortKind::Parallel:
      rest = input ? text::kParallelInputs : text::kParallelOutputs;
      break;
    case PortKind::Serial:
      rest = input ? text::kSerialInputs : text::kSerialOutputs;
      break;
    case PortKind::Usb:
      rest = text::kFtdiPins;
      break;
    case PortKind::Gpio:
      rest = text::kGpioLines;
      break;
  }
  return std::string(text::kPin) + std::to_string(pin) + std::string(rest);
}

bool PinFits(PortKind kind, int pin, bool input) {
  switch (kind) {
    case PortKind::Parallel:
    case PortKind::Serial: {
      const ConnectorPin* p = FindConnectorPin(kind, pin);
      return p && p->output != input;
    }
    case PortKind::Usb:
      return pin >= 0 && pin < 8;
    case PortKind::Gpio:
      return pin >= 0 && pin < PinAssignment::kMaxPins;
  }
  return false;
}

// A line's value: a pin, a list of pins, or { pin = N | pins = [...], active = "high"|"low" }.
// The pins come back with their nodes, for the messages.
struct LinePins {
  std::vector<std::pair<int, const toml::node*>> pins;
  bool activeLow = false;
};

std::optional<Mistake> ReadPins(const toml::node& node, std::string_view file, LinePins& out) {
  const auto bad = [&](const toml::node& where, std::string_view what) {
    return Mistake{PositionText(file, where), std::string(what)};
  };
  const auto one = [&](const toml::node& n) -> std::optional<Mistake> {
    const auto* value = n.as_integer();
    if (!value) return bad(n, text::kBadLine);
    const std::int64_t pin = value->get();
    // Far out of range is a pin the kind's check turns down with its own words.
    const int clamped = pin < -1 ? -1 : pin > 1000 ? 1000 : static_cast<int>(pin);
    out.pins.emplace_back(clamped, &n);
    return std::nullopt;
  };
  const auto list = [&](const toml::array& items) -> std::optional<Mistake> {
    if (items.empty()) return bad(node, text::kBadLine);
    for (const toml::node& item : items) {
      if (auto m = one(item)) return m;
    }
    return std::nullopt;
  };
  if (node.is_integer()) return one(node);
  if (const auto* items = node.as_array()) return list(*items);
  const auto* table = node.as_table();
  if (!table) return bad(node, text::kBadLine);
  bool havePins = false;
  for (const auto& [key, value] : *table) {
    if (key == "pin") {
      if (auto m = one(value)) return m;
      havePins = true;
    } else if (key == "pins") {
      const auto* items = value.as_array();
      if (!items) return bad(value, text::kBadLine);
      if (auto m = list(*items)) return m;
      havePins = true;
    } else if (key == "active") {
      const auto level = value.value<std::string>();
      if (level != "high" && level != "low") return bad(value, text::kBadActive);
      out.activeLow = *level == "low";
    } else {
      return Mistake{PositionText(file, key.source()), std::string(text::kUnknownKeyBefore) +
                                                           std::string(key.str()) +
                                                           std::string(text::kUnknownKeyAfter)};
    }
  }
  if (!havePins) return bad(node, text::kBadLine);
  return std::nullopt;
}

std::optional<Mistake> ReadWait(const toml::table& entry, std::string_view key,
                                std::string_view file, int& wait) {
  const toml::node* node = entry.get(key);
  if (!node) return std::nullopt;
  const auto* value = node->as_integer();
  if (!value || value->get() < 0 || value->get() > kLongestWaitUs) {
    return Mistake{PositionText(file, *node), std::string(key) + std::string(text::kBadWaitAfter)};
  }
  wait = static_cast<int>(value->get());
  return std::nullopt;
}

// One [[programmer]] table; `name` is set as soon as it is known.
std::optional<Mistake> ReadEntry(const toml::table& entry, std::string_view file, std::string& name,
                                 std::shared_ptr<const ProgrammerDefinition>& definition) {
  const auto at = [&](const toml::node& where, std::string what) {
    return Mistake{PositionText(file, where), std::move(what)};
  };
  const toml::node* nameNode = entry.get("name");
  if (!nameNode || !nameNode->is_string() || nameNode->value<std::string>()->empty()) {
    return at(nameNode ? *nameNode : static_cast<const toml::node&>(entry),
              std::string(text::kNoName));
  }
  name = *nameNode->value<std::string>();
  for (const auto& [key, value] : entry) {
    const std::string_view k = key.str();
    if (k != "name" && k != "port" && k != "lines" && k != "vpp_on_wait_us" &&
        k != "vpp_off_wait_us") {
      return Mistake{PositionText(file, key.source()), std::string(text::kUnknownKeyBefore) +
                                                           std::string(k) +
                                                           std::string(text::kUnknownKeyAfter)};
    }
  }
  const toml::node* portNode = entry.get("port");
  std::optional<PortKind> kind;
  if (portNode) {
    for (const PortKindName& k : kPortKinds) {
      if (portNode->value<std::string>() == k.name) kind = k.kind;
    }
  }
  if (!kind)
    return at(portNode ? *portNode : static_cast<const toml::node&>(entry),
              std::string(text::kBadPort));
  int vppOn = kDefaultVppWaitUs;
  int vppOff = kDefaultVppWaitUs;
  if (auto m = ReadWait(entry, "vpp_on_wait_us", file, vppOn)) return m;
  if (auto m = ReadWait(entry, "vpp_off_wait_us", file, vppOff)) return m;

  const toml::node* linesNode = entry.get("lines");
  const toml::table* lines = linesNode ? linesNode->as_table() : nullptr;
  if (!lines) {
    return at(linesNode ? *linesNode : static_cast<const toml::node&>(entry),
              std::string(text::kNoLines));
  }
  PinMap map;
  // Which line holds each pin so far, for two lines on one pin.
  std::vector<std::pair<int, std::string_view>> taken;
  // In the order they are written, so that of two lines on one pin the second is named.
  std::vector<std::pair<const toml::key*, const toml::node*>> ordered;
  for (const auto& [key, value] : *lines) ordered.emplace_back(&key, &value);
  std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
    const auto& x = a.first->source().begin;
    const auto& y = b.first->source().begin;
    return x.line != y.line ? x.line < y.line : x.column < y.column;
  });
  for (const auto& [keyPointer, valuePointer] : ordered) {
    const toml::key& key = *keyPointer;
    const toml::node& value = *valuePointer;
    const PinLineName* line = nullptr;
    for (const PinLineName& l : kPinLineNames) {
      if (key.str() == l.name) line = &l;
    }
    if (!line) {
      return Mistake{PositionText(file, key.source()), std::string(text::kUnknownLineBefore) +
                                                           std::string(key.str()) +
                                                           std::string(text::kUnknownLineAfter)};
    }
    LinePins pins;
    if (auto m = ReadPins(value, file, pins)) return m;
    const bool input = line->member == &PinMap::dataIn;
    if (input && pins.pins.size() > 1) return at(value, std::string(text::kDataInOnePin));
    PinAssignment& assignment = map.*(line->member);
    assignment.activeLow = pins.activeLow;
    for (const auto& [pin, node] : pins.pins) {
      if (!PinFits(*kind, pin, input)) return at(*node, PinProblem(*kind, pin, input));
      for (const auto& [used, by] : taken) {
        if (used == pin) {
          return at(*node, std::string(by) + std::string(text::kBothOnPinMiddle) +
                               std::string(line->name) + std::string(text::kBothOnPinAfter) +
                               std::to_string(pin));
        }
      }
      taken.emplace_back(pin, line->name);
      if (!assignment.Connected()) {
        assignment.pin = pin;
      } else {
        assignment.also |= std::uint64_t{1} << pin;
      }
    }
  }
  for (const PinLineName& l : kPinLineNames) {
    if ((map.*(l.member)).Connected() || l.member == &PinMap::mclr || l.member == &PinMap::vcc) {
      continue;
    }
    return at(*linesNode, l.member == &PinMap::dataIn
                              ? std::string(text::kNoDataIn)
                              : std::string(text::kNoLineBefore) + std::string(l.name) +
                                    std::string(text::kNoLineAfter));
  }
  definition = DefineProgrammer(name, *kind, map, vppOn, vppOff);
  auto located = std::make_shared<ProgrammerDefinition>(*definition);
  located->row.listText = located->name;
  located->file = std::string(file);
  located->line = static_cast<int>(entry.source().begin.line);
  located->column = static_cast<int>(entry.source().begin.column);
  definition = std::move(located);
  return std::nullopt;
}

}  // namespace

ProgrammerFile ReadProgrammers(std::string_view text, std::string_view file) {
  ProgrammerFile result;
  std::string problem;
  const std::optional<toml::table> root = ParseTomlText(text, file, problem);
  if (!root) {
    // The position is the syntax error's; the description follows.
    const std::size_t split = problem.find(": ") + 2;
    result.problems.push_back(problem.substr(0, split) + std::string(text::kNotToml) +
                              problem.substr(split) + std::string(text::kNothingLoaded));
    return result;
  }
  for (const auto& [key, value] : *root) {
    if (key.str() == "programmer") continue;
    result.problems.push_back(PositionText(file, key.source()) +
                              std::string(text::kUnknownTopKeyBefore) + std::string(key.str()) +
                              std::string(text::kUnknownTopKeyAfter) + ".");
  }
  const toml::node* entries = root->get("programmer");
  if (!entries) return result;
  const toml::array* list = entries->as_array();
  if (!list || !list->is_array_of_tables()) {
    result.problems.push_back(PositionText(file, *entries) + std::string(text::kNotEntries));
    return result;
  }
  for (const toml::node& node : *list) {
    const toml::table& entry = *node.as_table();
    std::string name;
    std::shared_ptr<const ProgrammerDefinition> definition;
    std::optional<Mistake> mistake = ReadEntry(entry, file, name, definition);
    if (!mistake) {
      // Names are what the settings and the command line know a programmer by.
      for (int i = 0; i < kProgrammerTypeCount && !mistake; ++i) {
        if (RowOf(static_cast<ProgrammerType>(i)).listText == name) {
          mistake = Mistake{
              PositionText(file, *entry.get("name")),
              std::string(text::kDuplicateBefore) + name + std::string(text::kBuiltInNameAfter)};
        }
      }
      for (const auto& earlier : result.programmers) {
        if (!mistake && earlier->name == name) {
          mistake = Mistake{PositionText(file, *entry.get("name")),
                            std::string(text::kDuplicateBefore) + name +
                                std::string(text::kDuplicateAfter) + std::to_string(earlier->line)};
        }
      }
    }
    if (mistake) {
      result.problems.push_back(mistake->position + mistake->what +
                                (name.empty() ? std::string(text::kLeftOutNameless)
                                              : std::string(text::kLeftOutBefore) + name +
                                                    std::string(text::kLeftOutAfter)));
      continue;
    }
    result.programmers.push_back(std::move(definition));
  }
  return result;
}

ProgrammerFile ReadProgrammerFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ProgrammerFile none;
    if (errno != ENOENT && std::filesystem::exists(path)) {
      none.problems.push_back(std::string(text::kProgrammersFileUnreadable) + path + ": " +
                              std::generic_category().message(errno) + ".");
    }
    return none;
  }
  std::ostringstream contents;
  contents << in.rdbuf();
  return ReadProgrammers(contents.str(), path);
}

std::string ProgrammersFilePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (config != nullptr && *config == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr ? home : ".") / ".config";
  }
  return (base / "kestrum" / "programmers.toml").string();
}

namespace {

// The pins of register bits: data register bit n is pin n + 2.
std::vector<int> ParallelPinsOf(std::uint8_t bits) {
  std::vector<int> pins;
  for (int bit = 0; bit < 8; ++bit) {
    if (bits & (1u << bit)) pins.push_back(bit + 2);
  }
  return pins;
}

PinAssignment Assignment(const std::vector<int>& pins, bool activeLow) {
  PinAssignment line;
  for (int pin : pins) {
    if (!line.Connected()) {
      line.pin = pin;
    } else {
      line.also |= std::uint64_t{1} << pin;
    }
  }
  line.activeLow = activeLow;
  return line;
}

// A register row as pins of its port, with what the lines cannot say.
PinMap RegisterRowPins(const ProgrammerRow& row, std::vector<std::string>& notes) {
  PinMap map;
  if (row.jdm) {
    map.dataOut = {4};
    map.clock = {7};
    map.mclr = {3};
    map.dataIn = {8};
    notes.emplace_back(
        "VPP comes from TXD held at space, pumped by three zero bytes first, and the supply "
        "from the lines themselves; a copy drives TXD as a plain line.");
    return map;
  }
  map.dataOut = Assignment(ParallelPinsOf(row.dataOutBit), false);
  map.clock = Assignment(ParallelPinsOf(row.clockBit), false);
  if (row.vppBySocket) {
    map.mclr = {5};
    notes.emplace_back("VPP is D3 (pin 5) for 8 to 20 pins and D4 (pin 6) for 28 and 40 pins.");
  } else if (row.vppMask) {
    const auto on = static_cast<std::uint8_t>(row.vppMask & row.vppOnLevels);
    const auto off = static_cast<std::uint8_t>(row.vppMask & ~row.vppOnLevels);
    map.mclr = on ? Assignment(ParallelPinsOf(on), false) : Assignment(ParallelPinsOf(off), true);
    if (on && off) notes.emplace_back("VPP on also takes D4 (pin 6) low.");
  }
  if (row.vccBits) map.vcc = Assignment(ParallelPinsOf(row.vccBits), false);
  if (row.vccFixedBits) notes.emplace_back("The supply on also sets D4 (pin 6) high.");
  if (row.strobeBit) {
    notes.emplace_back("Data Out and Clock pass a latch strobed by D2 (pin 4).");
  }
  if (row.cardClockBit) notes.emplace_back("D3 (pin 5) clocks the smartcard.");
  if (row.dataIn == DataInRule::StatusAck) map.dataIn = {10};
  if (row.dataIn == DataInRule::StatusBusy) map.dataIn = {11};
  return map;
}

std::string PinComment(PortKind kind, int pin) {
  const ConnectorPin* p = FindConnectorPin(kind, pin);
  return p ? std::string(p->signal) : std::string();
}

}  // namespace

std::string FormatProgrammer(const HardwareSettings& settings) {
  const ProgrammerRow& row = RowOf(settings);
  std::vector<std::string> notes;
  PinMap map;
  if (PinDriven(row) || row.pinsFromSettings) {
    map = PinMapOf(settings);
    if (row.type == ProgrammerType::JdmFtdi) {
      notes.emplace_back(
          "The cable's RS-232 drivers invert every pin; VPP comes from TXD held at space, pumped "
          "as on a COM port.");
    }
  } else if (row.driven) {
    map = RegisterRowPins(row, notes);
  } else {
    notes.emplace_back("It drives its socket register by register: it has no lines to describe.");
  }
  // The name as the entry writes it, without the quotes: a control character in it would end
  // the comment.
  const std::string name = TomlQuoted(row.listText);
  std::string out = std::string(text::kShownProgrammerBefore) + name.substr(1, name.size() - 2) +
                    std::string(text::kShownProgrammerAfter);
  for (const std::string& note : notes) out += "# " + note + "\n";
  out += "[[programmer]]\n";
  out += "name = " + TomlQuoted(row.listText) + "\n";
  out += "port = " + TomlQuoted(KindName(row.portKind)) + "\n";
  if (!row.driven) return out;
  out += "vpp_on_wait_us = " + std::to_string(row.vppOnWaitUs) + "\n";
  out += "vpp_off_wait_us = " + std::to_string(row.vppOffWaitUs) + "\n";
  out += "\n[programmer.lines]\n";
  for (const PinLineName& l : kPinLineNames) {
    const PinAssignment& line = map.*(l.member);
    if (!line.Connected()) continue;
    std::vector<int> pins{line.pin};
    for (int pin = 0; pin < PinAssignment::kMaxPins; ++pin) {
      if ((line.also >> pin) & 1) pins.push_back(pin);
    }
    std::string value;
    if (pins.size() == 1) {
      value = std::to_string(pins.front());
    } else {
      value = "[";
      for (std::size_t i = 0; i < pins.size(); ++i) {
        value += (i ? ", " : "") + std::to_string(pins[i]);
      }
      value += "]";
    }
    if (line.activeLow) {
      value = (pins.size() == 1 ? "{ pin = " : "{ pins = ") + value + ", active = \"low\" }";
    }
    out += std::string(l.name) + " = " + value;
    std::string signals;
    for (int pin : pins) {
      const std::string signal = PinComment(row.portKind, pin);
      if (!signal.empty()) signals += (signals.empty() ? "" : ", ") + signal;
    }
    if (!signals.empty()) out += "  # " + signals;
    out += "\n";
  }
  return out;
}

std::vector<std::string> ProgrammerNames(const ProgrammerDefinitions& user) {
  std::vector<std::string> names;
  for (int i = 0; i < kProgrammerTypeCount; ++i) {
    names.emplace_back(RowOf(static_cast<ProgrammerType>(i)).listText);
  }
  for (const auto& definition : user) names.push_back(definition->name);
  return names;
}

void SelectProgrammer(HardwareSettings& settings, const ProgrammerDefinitions& user, int index) {
  if (index < kProgrammerTypeCount) {
    settings.Programmer = static_cast<ProgrammerType>(index);
    settings.User.reset();
    return;
  }
  settings.Programmer = ProgrammerType::User;
  settings.User = user[static_cast<std::size_t>(index - kProgrammerTypeCount)];
}

}  // namespace kestrum
