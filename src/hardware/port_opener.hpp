// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the programmer's real port: the port name picks the device file, the settings pick
// the backend, and a port that does not open is reported with the device file, the reason
// and, for permission errors, what the user can do about it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "hardware/os_interface.hpp"
#include "hardware/port.hpp"
#include "hardware/port_backends.hpp"

namespace kestrum {

using FtdiFactory = std::function<std::unique_ptr<FtdiInterface>()>;
using GpioFactory = std::function<std::unique_ptr<GpioInterface>()>;

class SystemPortOpener final : public PortOpener {
 public:
  explicit SystemPortOpener(OsInterface& os = SystemOs(), FtdiFactory ftdi = SystemFtdi,
                            GpioFactory gpio = SystemGpio)
      : os_(os), ftdi_(std::move(ftdi)), gpio_(std::move(gpio)) {}
  std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) override;
  bool Available(const HardwareSettings& settings, std::string_view portName) override;
  std::vector<FoundPort> ListPorts(const HardwareSettings& settings) override;

 private:
  BackendResult OpenNamed(const HardwareSettings& settings, std::string_view portName);

  OsInterface& os_;
  FtdiFactory ftdi_;
  GpioFactory gpio_;
  bool toldUsbSerial_ = false;
};

// The notice for the JDM on the serial device `deviceFile`, when that is a USB adapter.
std::optional<std::string> UsbSerialNotice(OsInterface& os, const std::string& deviceFile);

// What the GPIO backend opens for the settings' programmer on the port `portName`.
GpioRequest GpioRequestFor(const HardwareSettings& settings, std::string_view portName);

// What the FTDI backend opens for a USB port name ("USB1".."USB4") of the settings.
FtdiRequest FtdiRequestFor(const HardwareSettings& settings, std::string_view portName);

// The message for a port that did not open with the errno `error`.
std::string PortOpenFailureText(const HardwareSettings& settings, std::string_view portName,
                                int error);

}  // namespace kestrum
