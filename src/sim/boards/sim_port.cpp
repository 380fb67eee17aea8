// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual programmer's port opener.
#include "sim/boards/sim_port.hpp"

#include "hardware/port_opener.hpp"

namespace kestrum {
namespace {

// The virtual programmer serves whatever port is set: a GPIO type on a name that is no GPIO
// chip gets the first one.
std::string GpioPortName(const HardwareSettings& settings) {
  return ResolvePort(settings, settings.Port) ? settings.Port : "gpiochip0";
}

}  // namespace

std::unique_ptr<Port> VirtualProgrammer::Open(const HardwareSettings& settings, Ui& ui,
                                              bool report) {
  if (openError_) {
    if (report) {
      ui.Message(MessageKind::Error, PortOpenFailureText(settings, settings.Port, openError_));
    }
    return nullptr;
  }
  PortKind kind = PortKindOf(settings);
  std::uint16_t base = settings.PortBase ? settings.PortBase : PortBaseFor(kind, 1);
  if (std::optional<int> digit = PortDigit(settings)) base = PortBaseFor(kind, *digit);
  if (settings.CardReader) {
    ++openCount_;
    return std::make_unique<ReaderPort>(reader_, base);
  }
  if (kind == PortKind::Usb || kind == PortKind::Gpio) {
    board_.Configure(RowOf(settings), PinMapOf(settings), 0);
    BackendResult opened =
        kind == PortKind::Usb
            ? OpenFtdiPort(ftdi_.Handle(), FtdiRequestFor(settings, settings.Port))
            : OpenGpioPort(gpio_.Handle(), GpioRequestFor(settings, GpioPortName(settings)));
    if (!opened.port) {
      if (report) {
        ui.Message(MessageKind::Error, PortOpenFailureText(settings, settings.Port, opened.error));
      }
      return nullptr;
    }
    ++openCount_;
    return std::move(opened.port);
  }
  board_.Configure(RowOf(settings), PinMapOf(settings), base);
  ++openCount_;
  return std::make_unique<SimPort>(board_, base);
}

bool VirtualProgrammer::Available(const HardwareSettings&, std::string_view) {
  return openError_ == 0;
}

}  // namespace kestrum
