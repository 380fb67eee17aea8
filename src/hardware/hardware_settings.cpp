// SPDX-License-Identifier: GPL-3.0-or-later
// Port name rules and the stored form of the hardware settings.
#include "hardware/hardware_settings.hpp"

#include <algorithm>

#include "core/text.hpp"

namespace kestrum {

std::string DeviceFileKey(std::string_view prefix, int digit) {
  return "DeviceFile" + std::string(prefix) + std::to_string(digit);
}

std::shared_ptr<const ProgrammerDefinition> DefineProgrammer(std::string name, PortKind kind,
                                                             const PinMap& pins, int vppOnWaitUs,
                                                             int vppOffWaitUs) {
  auto definition = std::make_shared<ProgrammerDefinition>();
  definition->name = std::move(name);
  ProgrammerRow& row = definition->row;
  row.listText = definition->name;
  row.portKind = kind;
  row.vppOnWaitUs = vppOnWaitUs;
  row.vppOffWaitUs = vppOffWaitUs;
  row.pins = pins;
  return definition;
}

const ProgrammerRow& RowOf(const HardwareSettings& settings) {
  if (settings.Programmer == ProgrammerType::User && settings.User) return settings.User->row;
  return RowOf(settings.Programmer);
}

std::string_view ProgrammerListText(const HardwareSettings& settings) {
  return RowOf(settings).listText;
}

void DerivePortBase(HardwareSettings& settings) {
  const std::string& port = settings.Port;
  if (port.size() == 4 && port[3] >= '1' && port[3] <= '4') {
    settings.PortBase = PortBaseFor(RowOf(settings).portKind, port[3] - '0');
  } else if (const auto target = ResolvePort(settings, port); target && target->digit) {
    // A device file of the per-port table is that port.
    settings.PortBase = PortBaseFor(RowOf(settings).portKind, target->digit);
  }
  settings.LcrPort = static_cast<std::uint16_t>(settings.PortBase + reg::kLcr);
  settings.McrPort = static_cast<std::uint16_t>(settings.PortBase + reg::kMcr);
  settings.LsrPort = static_cast<std::uint16_t>(settings.PortBase + reg::kLsr);
  settings.MsrPort = static_cast<std::uint16_t>(settings.PortBase + reg::kMsr);
}

const PinMap& PinMapOf(const HardwareSettings& settings) {
  const ProgrammerRow& row = RowOf(settings);
  if (!row.pinsFromSettings) return row.pins;
  return row.portKind == PortKind::Gpio ? settings.GpioPins : settings.BitBangPins;
}

std::uint8_t RestingPinLevels(const HardwareSettings& settings) {
  return static_cast<std::uint8_t>(RestingLevels(settings));
}

std::uint64_t RestingLevels(const HardwareSettings& settings) {
  const PinMap& map = PinMapOf(settings);
  std::uint64_t levels = 0;
  levels = PinMap::With(levels, map.dataOut, settings.InvertDataOut);
  levels = PinMap::With(levels, map.clock, settings.InvertSCK);
  levels = PinMap::With(levels, map.mclr, settings.InvertMCLR);
  levels = PinMap::With(levels, map.vcc, settings.InvertVCC);
  return levels;
}

std::optional<FtdiDeviceId> ParseFtdiDevice(std::string_view text) {
  FtdiDeviceId id{kFtdiVendorId, 0, {}};
  if (text.empty()) return id;
  auto hex = [](std::string_view field, int& value) {
    if (field.size() != 4) return false;
    value = 0;
    for (char c : field) {
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    return true;
  };
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || !hex(text.substr(0, colon), id.vendor)) {
    return std::nullopt;
  }
  std::string_view rest = text.substr(colon + 1);
  const std::size_t second = rest.find(':');
  if (!hex(rest.substr(0, second), id.product)) return std::nullopt;
  if (second != std::string_view::npos) id.serial = std::string(rest.substr(second + 1));
  return id;
}

PortKind PortKindOf(const HardwareSettings& settings) {
  return settings.CardReader ? PortKind::Serial : RowOf(settings).portKind;
}

std::optional<int> PortDigit(ProgrammerType type, std::string_view portName) {
  return PortDigit(PortKindOf(type), portName);
}

namespace {

bool IsNumberedPortName(std::string_view name) {
  for (PortKind kind : {PortKind::Serial, PortKind::Parallel, PortKind::Usb}) {
    if (PortDigit(kind, name)) return true;
  }
  return false;
}

// "gpiochip" and a number.
bool IsGpioChipName(std::string_view name) {
  const std::string_view prefix = text::kGpioPortPrefix;
  if (name.size() <= prefix.size() || name.size() > prefix.size() + 3) return false;
  if (!name.starts_with(prefix)) return false;
  for (char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// FTDI serial numbers are short runs of letters and digits.
bool IsSerialNumber(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  for (char c : name) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!alnum) return false;
  }
  return true;
}

}  // namespace

std::optional<PortTarget> ResolvePort(const HardwareSettings& settings, std::string_view name) {
  const PortKind kind = PortKindOf(settings);
  PortTarget target;
  if (const std::optional<int> digit = PortDigit(kind, name)) {
    target.digit = *digit;
    if (kind == PortKind::Serial) target.deviceFile = settings.SerialDevices[*digit - 1];
    if (kind == PortKind::Parallel) target.deviceFile = settings.ParallelDevices[*digit - 1];
    return target;
  }
  if (name.starts_with("/dev/") && name.size() > 5 && kind != PortKind::Usb) {
    target.deviceFile = std::string(name);
    const auto& table =
        kind == PortKind::Serial ? settings.SerialDevices : settings.ParallelDevices;
    if (kind == PortKind::Serial || kind == PortKind::Parallel) {
      for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i] == name) target.digit = static_cast<int>(i) + 1;
      }
    }
    return target;
  }
  if (kind == PortKind::Gpio && IsGpioChipName(name)) {
    target.deviceFile = "/dev/" + std::string(name);
    return target;
  }
  if (kind == PortKind::Usb && IsSerialNumber(name) && !IsNumberedPortName(name) &&
      !IsGpioChipName(name)) {
    target.ftdiSerial = std::string(name);
    return target;
  }
  return std::nullopt;
}

std::optional<int> PortDigit(PortKind kind, std::string_view portName) {
  if (kind == PortKind::Gpio) return std::nullopt;
  std::string_view prefix = PortPrefix(kind);
  if (portName.size() != prefix.size() + 1) return std::nullopt;
  if (!EqualsIgnoreCase(portName.substr(0, prefix.size()), prefix)) return std::nullopt;
  char digit = portName.back();
  if (digit < '1' || digit > '4') return std::nullopt;
  return digit - '0';
}

std::optional<int> PortDigit(const HardwareSettings& settings) {
  return PortDigit(PortKindOf(settings), settings.Port);
}

std::string DeviceFileFor(const HardwareSettings& settings, std::string_view portName) {
  const std::optional<PortTarget> target = ResolvePort(settings, portName);
  return target ? target->deviceFile : std::string();
}

std::string StoredProgrammer(const HardwareSettings& settings) {
  if (settings.Programmer == ProgrammerType::User && settings.User) return settings.User->name;
  return std::to_string(static_cast<int>(settings.Programmer));
}

HardwareSettings LoadHardwareSettings(const SettingsStore& store, const ProgrammerDefinitions& user,
                                      std::vector<ReplacedSetting>* replaced) {
  HardwareSettings s;
  // A value the program cannot use is replaced where it is read, so nothing below ever meets
  // it: an index that addresses no row, a port the type cannot open, a delay that would spin
  // for ever.
  const auto replace = [&](std::string_view key, std::string_view shown) {
    if (replaced != nullptr) {
      replaced->push_back({std::string(key), *store.Raw(key), std::string(shown)});
    }
  };
  const auto integer = [&](std::string_view key, int lowest, int highest, int fallback) {
    const int value = store.ReadInteger(key, fallback);
    const bool stored = store.Raw(key).has_value();
    if (stored && (value < lowest || value > highest || !store.IsInteger(key))) {
      replace(key, std::to_string(fallback));
      return fallback;
    }
    return value;
  };
  // A user's programmer is stored by its name.
  const std::string stored = store.ReadString("Programmer", "0");
  const auto named = std::find_if(
      user.begin(), user.end(), [&](const auto& definition) { return definition->name == stored; });
  // A name that none of them has now (an entry of programmers.toml left out for a mistake, or
  // the file gone) runs the first type but stays stored, with its port: the mended file brings
  // the programmer back.
  const bool missingUser = named == user.end() && !store.IsInteger("Programmer") &&
                           !stored.empty() && (stored[0] < '0' || stored[0] > '9') &&
                           stored[0] != '-';
  if (named != user.end()) {
    s.Programmer = ProgrammerType::User;
    s.User = *named;
  } else if (!missingUser) {
    s.Programmer =
        static_cast<ProgrammerType>(integer("Programmer", 0, kProgrammerTypeCount - 1, 0));
  }
  s.Port = store.ReadString("Port", text::kDefaultPortName);
  if (store.Raw("Port") && !s.Port.empty() && !ResolvePort(s, s.Port)) {
    // The missing programmer's port stays stored for it; the first type runs on the default.
    if (!missingUser) replace("Port", text::kDefaultPortName);
    s.Port = std::string(text::kDefaultPortName);
  }
  s.Api = store.ReadBool("Api", false);
  s.InvertDataOut = store.ReadBool("InvertDataOut", false);
  s.InvertDataIn = store.ReadBool("InvertDataIn", false);
  s.InvertSCK = store.ReadBool("InvertSCK", false);
  s.InvertMCLR = store.ReadBool("InvertMCLR", false);
  s.InvertVCC = store.ReadBool("InvertVCC", false);
  s.InvertVPP = store.ReadBool("InvertVPP", false);
  s.IODelay = integer("IODelay", 0, kMaxIODelay, kDefaultIODelay);
  s.PowerControl = store.ReadBool("PowerControl", false);
  for (int digit = 1; digit <= 4; ++digit) {
    std::string& serial = s.SerialDevices[digit - 1];
    serial = store.ReadString(DeviceFileKey(text::kSerialPortPrefix, digit), serial);
    std::string& parallel = s.ParallelDevices[digit - 1];
    parallel = store.ReadString(DeviceFileKey(text::kParallelPortPrefix, digit), parallel);
  }
  s.Access = store.ReadBool("RawPortIo", false) ? PortAccess::RawIo : PortAccess::DeviceFile;
  s.Virtual = store.ReadBool(kVirtualKey, false);
  if (store.Raw(kVirtualKey) && !store.IsBool(kVirtualKey)) replace(kVirtualKey, "0");
  s.FtdiDevice = store.ReadString(kFtdiDeviceKey, "");
  // A damaged map would drive pins nobody wired: the default one is used instead.
  s.BitBangPins = ParsePinMap(store.ReadString(kBitBangPinsKey, "")).value_or(kBitBangDefaultPins);
  s.GpioPins = ParsePinMap(store.ReadString(kGpioPinsKey, ""), PinAssignment::kMaxPins)
                   .value_or(kGpioHeaderDefaultPins);
  DerivePortBase(s);
  return s;
}

void SaveHardwareSettings(SettingsStore& store, const HardwareSettings& s) {
  store.WriteString("Programmer", StoredProgrammer(s));
  store.WriteBool("Api", s.Api);
  store.WriteBool("InvertDataOut", s.InvertDataOut);
  store.WriteBool("InvertDataIn", s.InvertDataIn);
  store.WriteBool("InvertSCK", s.InvertSCK);
  store.WriteBool("InvertMCLR", s.InvertMCLR);
  store.WriteBool("InvertVCC", s.InvertVCC);
  store.WriteBool("InvertVPP", s.InvertVPP);
  store.WriteInteger("IODelay", s.IODelay);
  store.WriteString("Port", s.Port);
  store.WriteBool(kVirtualKey, s.Virtual);
}

}  // namespace kestrum
