// SPDX-License-Identifier: GPL-3.0-or-later
// The ports this machine has, found by themselves: serial ports (on-board UARTs and USB
// adapters with their vendor, product, serial number and driver), parallel ports, FTDI chips
// and GPIO chips with their labels and line counts. sysfs and /dev are read through the
// injected OS interface, so a test can lay out any machine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hardware/hardware_settings.hpp"
#include "hardware/os_interface.hpp"
#include "hardware/port.hpp"

namespace kestrum {

// A serial device file's USB adapter, when it is on one.
struct UsbSerialAdapter {
  std::string vendor;   // "0403"
  std::string product;  // "6001"
  std::string manufacturer;
  std::string productName;
  std::string serial;
  std::string driver;  // "ftdi_sio", "cp210x", "cdc_acm"
  bool Ftdi() const { return vendor == "0403" || driver == "ftdi_sio"; }
};
std::optional<UsbSerialAdapter> UsbAdapterOf(OsInterface& os, const std::string& deviceFile);

std::vector<FoundPort> FindPorts(OsInterface& os, const HardwareSettings& settings);
// The ports of one kind, for the hardware dialog's port box.
std::vector<FoundPort> FindPorts(OsInterface& os, const HardwareSettings& settings, PortKind kind);
// `kestrum --list-ports`: one line a port under a heading per kind.
std::string PortListingText(const std::vector<FoundPort>& ports);

}  // namespace kestrum
