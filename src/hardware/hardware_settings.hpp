// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware settings: programmer type, port, interface, inversion options, I/O delay and
// the addresses derived from the port name. Workers receive a copy when they start.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings_store.hpp"
#include "hardware/pin_map.hpp"
#include "hardware/programmer_types.hpp"
#include "hardware/texts.hpp"

namespace kestrum {

// The I/O delay the hardware dialog offers. A stored 0 is used as well (one Data In sample per
// line change, the least there is); anything else outside the range is replaced when read.
inline constexpr int kMinIODelay = 1;
inline constexpr int kMaxIODelay = 20;
inline constexpr int kDefaultIODelay = 10;

// How a port's registers are reached on Linux.
enum class PortAccess {
  DeviceFile,  // the tty or ppdev device file: no root needed
  RawIo,       // inb/outb after ioperm(): root or CAP_SYS_RAWIO
};

// A programmer its user described (programmers.toml): its name, where it was described, and
// its row, whose list text is the name.
struct ProgrammerDefinition {
  std::string name;
  std::string file;
  int line = 0;
  int column = 0;
  ProgrammerRow row{
      .type = ProgrammerType::User, .listText = {}, .portKind = PortKind::Parallel, .driven = true};
};
// A definition of a programmer on `kind` with these pins and VPP waits; its row lists it by
// its name.
std::shared_ptr<const ProgrammerDefinition> DefineProgrammer(std::string name, PortKind kind,
                                                             const PinMap& pins, int vppOnWaitUs,
                                                             int vppOffWaitUs);
using ProgrammerDefinitions = std::vector<std::shared_ptr<const ProgrammerDefinition>>;

struct HardwareSettings {
  ProgrammerType Programmer = ProgrammerType::Jdm;
  std::string Port{text::kDefaultPortName};
  bool Api = false;  // false: "Direct I/O", true: "Windows API" (the serial system calls)
  bool InvertDataOut = false;
  bool InvertDataIn = false;
  bool InvertSCK = false;
  bool InvertMCLR = false;
  bool InvertVCC = false;
  bool InvertVPP = false;  // stored and shown only
  int IODelay = 10;
  bool PowerControl = false;
  std::uint16_t PortBase = 0;
  std::uint16_t LcrPort = 0;
  std::uint16_t McrPort = 0;
  std::uint16_t LsrPort = 0;
  std::uint16_t MsrPort = 0;
  int PinCount = 0;  // of the selected device
  // Not stored: the port is opened for the smartcard reader, which is a serial port by name
  // ("Com1".."Com4") reached through the tty's system calls, whatever the programmer type.
  bool CardReader = false;

  // Linux: the device file of each port (Com1..Com4, LPT1..LPT4), and the register access.
  std::array<std::string, 4> SerialDevices{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
  std::array<std::string, 4> ParallelDevices{"/dev/parport0", "/dev/parport1", "/dev/parport2",
                                             "/dev/parport3"};
  PortAccess Access = PortAccess::DeviceFile;
  // "Virtual": every operation uses the virtual programmer instead of the port (the run
  // environment above this layer acts on it; the line layer never looks at it).
  bool Virtual = false;
  // The pins of a programmer wired by the user to a bit-bang port ("FTDI bit-bang").
  PinMap BitBangPins = kBitBangDefaultPins;
  // The lines of the GPIO header, as offsets of the GPIO chip the port names.
  PinMap GpioPins = kGpioHeaderDefaultPins;
  // The programmer of type User.
  std::shared_ptr<const ProgrammerDefinition> User;
  // The FTDI chip of the USB ports: "vendor:product" in hex, optionally ":serial"; empty for
  // any FTDI chip. USB1..USB4 are the first to fourth that match.
  std::string FtdiDevice;
};

// The FTDI device setting taken apart; nothing when it is not of the form above.
struct FtdiDeviceId {
  int vendor = 0;
  int product = 0;  // 0: any
  std::string serial;
};
std::optional<FtdiDeviceId> ParseFtdiDevice(std::string_view text);

// The row of the settings' programmer: the type's, or the user's definition for type User (the
// JDM's when that is missing).
const ProgrammerRow& RowOf(const HardwareSettings& settings);
// Its list text, as shown in the hardware settings, the status bar and messages.
std::string_view ProgrammerListText(const HardwareSettings& settings);
// The pin map the line layer drives for the settings' programmer type: the type's own, or the
// user's for a type wired by the user.
const PinMap& PinMapOf(const HardwareSettings& settings);
// The pin levels of a programmer at rest on a bit-bang port: every line of the map inactive,
// as the invert options see it.
std::uint8_t RestingPinLevels(const HardwareSettings& settings);
std::uint64_t RestingLevels(const HardwareSettings& settings);

// Sets PortBase from the port name when the name has exactly four characters and ends in a
// digit 1..4 (serial table for the JDM, parallel otherwise); otherwise PortBase keeps its
// value. The four UART register addresses follow PortBase in every case.
void DerivePortBase(HardwareSettings& settings);

// The kind of port the settings open: the programmer type's, or serial for the card reader.
PortKind PortKindOf(const HardwareSettings& settings);

// What a port name names for a kind of port: "Com1".."Com4", "LPT1".."LPT4" (their device
// files from the per-port table), "USB1".."USB4" (the first to fourth FTDI chip), a device
// file ("/dev/ttyUSB0", "/dev/parport1", "/dev/gpiochip0"), a GPIO chip ("gpiochip0") or an
// FTDI chip's serial number. A device file that is one of the table's has that port's digit.
struct PortTarget {
  int digit = 0;  // 1..4 for the numbered ports, else 0
  std::string deviceFile;
  std::string ftdiSerial;
};
std::optional<PortTarget> ResolvePort(const HardwareSettings& settings, std::string_view name);

// A port name the backends can open: the kind's prefix ("Com" or "LPT", any case) and one
// digit 1..4. Returns the digit, or nothing ("Com 2", "", "LPT1" for the JDM).
std::optional<int> PortDigit(const HardwareSettings& settings);
std::optional<int> PortDigit(ProgrammerType type, std::string_view portName);
std::optional<int> PortDigit(PortKind kind, std::string_view portName);

// The device file of a port name, from the per-port table; empty when the name is not usable.
std::string DeviceFileFor(const HardwareSettings& settings, std::string_view portName);

// Reads every hardware setting from the store (defaults for missing values) and derives the
// port addresses. The device files are kept under "DeviceFileCom1".."DeviceFileLPT4" and the
// raw access under "RawPortIo".
inline constexpr std::string_view kVirtualKey = "Virtual";
inline constexpr std::string_view kFtdiDeviceKey = "FtdiDevice";
inline constexpr std::string_view kBitBangPinsKey = "BitBangPins";
inline constexpr std::string_view kGpioPinsKey = "GpioPins";
std::string DeviceFileKey(std::string_view prefix, int digit);
// A stored value that the reader could not use: its key, the value as stored and the default
// used instead.
struct ReplacedSetting {
  std::string Key;
  std::string Value;
  std::string Default;
  bool operator==(const ReplacedSetting&) const = default;
};
// "Programmer" holds a type's number, or the name of a programmer of `user`. `replaced`, when
// given, receives every value out of range ("Programmer", "Port", "IODelay", "Virtual"); each
// is used as its default.
HardwareSettings LoadHardwareSettings(const SettingsStore& store,
                                      const ProgrammerDefinitions& user = {},
                                      std::vector<ReplacedSetting>* replaced = nullptr);
// The stored form of "Programmer": the number, or the name of a user's programmer.
std::string StoredProgrammer(const HardwareSettings& settings);
// Writes what the hardware settings dialog writes: "Programmer", "Api", the six invert
// flags, "IODelay", "Port" and "Virtual".
void SaveHardwareSettings(SettingsStore& store, const HardwareSettings& settings);

}  // namespace kestrum
