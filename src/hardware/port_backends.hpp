// SPDX-License-Identifier: GPL-3.0-or-later
// The registry of port backends on Linux: which backend opens a port, by register access and
// port kind. The virtual programmer is not a row here: it is its own PortOpener (sim/).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hardware/ftdi_interface.hpp"
#include "hardware/gpio_interface.hpp"
#include "hardware/hardware_settings.hpp"
#include "hardware/os_interface.hpp"
#include "hardware/port.hpp"

namespace kestrum {

// An opened backend, or the errno that stopped it.
struct BackendResult {
  std::unique_ptr<Port> port;
  int error = 0;
};

using BackendOpenFunction = BackendResult (*)(OsInterface& os, const std::string& deviceFile,
                                              PortKind kind, std::uint16_t base);

struct BackendRow {
  std::string_view name;
  PortAccess access;
  PortKind kind;
  bool usesDeviceFile;  // false: raw port instructions, no device file
  BackendOpenFunction open;
};

BackendResult OpenTtyPort(OsInterface& os, const std::string& deviceFile, PortKind kind,
                          std::uint16_t base);
BackendResult OpenPpdevPort(OsInterface& os, const std::string& deviceFile, PortKind kind,
                            std::uint16_t base);
BackendResult OpenIopermPort(OsInterface& os, const std::string& deviceFile, PortKind kind,
                             std::uint16_t base);

inline constexpr std::array<BackendRow, 4> kBackends{{
    {"tty", PortAccess::DeviceFile, PortKind::Serial, true, &OpenTtyPort},
    {"ppdev", PortAccess::DeviceFile, PortKind::Parallel, true, &OpenPpdevPort},
    {"ioperm", PortAccess::RawIo, PortKind::Serial, false, &OpenIopermPort},
    {"ioperm", PortAccess::RawIo, PortKind::Parallel, false, &OpenIopermPort},
}};

// FTDI chips in synchronous bit-bang mode: one step every 2 µs (500,000 steps a second, which
// a full-speed USB link carries both ways), the latency timer at its shortest, and a chip
// that sends nothing back for this many latency periods in a row taken as gone.
inline constexpr std::int64_t kFtdiStepNs = 2000;
inline constexpr int kFtdiBaud = 500000;
inline constexpr int kFtdiLatencyMs = 1;
inline constexpr int kFtdiEmptyReadLimit = 1000;

struct FtdiRequest {
  int vendor = kFtdiVendorId;
  int product = 0;  // 0: the first of kFtdiProducts that is there
  std::string serial;
  int index = 0;             // among the devices that match
  std::uint8_t outputs = 0;  // the pins the programmer drives
  std::uint8_t resting = 0;  // their levels at rest, set as bit-bang mode starts
  // Leave bit-bang mode on close, so a cable is a serial port again; a board wired by hand
  // keeps its pins at rest instead (in serial mode they would all float high).
  bool releaseToSerial = true;
};
// Opens the device, sets it up and starts synchronous bit-bang mode at the resting levels; on
// any failure the device is closed (the kernel driver gets it back) and the errno returned.
BackendResult OpenFtdiPort(std::unique_ptr<FtdiInterface> ftdi, const FtdiRequest& request);
// Only opens the device (the first product that is there, when the request names none).
int OpenFtdiDevice(FtdiInterface& ftdi, const FtdiRequest& request);
// The lines a GPIO port requests: the outputs with their resting levels, and the inputs.
struct GpioRequest {
  std::string path;  // the chip's device file
  std::vector<std::pair<unsigned, int>> outputs;
  std::vector<unsigned> inputs;
};
GpioRequest GpioRequestFor(const PinMap& map, std::uint64_t resting, std::string path);
// Opens the chip and requests the lines; on any failure the chip is closed again and the errno
// returned (ERANGE: a line beyond the chip's).
BackendResult OpenGpioPort(std::unique_ptr<GpioInterface> gpio, const GpioRequest& request);

// A system call on an open port that failed: "TIOCMBIS on /dev/ttyS0: Input/output error".
std::string PortCallFailedText(std::string_view call, std::string_view device, int error);

// The backend for the settings: the "Windows API" interface needs the serial system calls,
// which only the tty has; otherwise the settings' access and the type's port kind decide.
const BackendRow& BackendFor(const HardwareSettings& settings);

}  // namespace kestrum
