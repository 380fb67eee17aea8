// The registry of port backends on Linux: which backend opens a port, by register access and
// port kind. The virtual programmer is not a row here: it is its own PortOpener (sim/).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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

// A system call on an open port that failed: "TIOCMBIS on /dev/ttyS0: Input/output error".
std::string PortCallFailedText(std::string_view call, std::string_view device, int error);

// The backend for the settings: the "Windows API" interface needs the serial system calls,
// which only the tty has; otherwise the settings' access and the type's port kind decide.
const BackendRow& BackendFor(const HardwareSettings& settings);

}  // namespace kestrum
