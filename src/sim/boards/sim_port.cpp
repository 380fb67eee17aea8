// The virtual programmer's port opener.
#include "sim/boards/sim_port.hpp"

#include "hardware/port_opener.hpp"

namespace kestrum {

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
  if (kind == PortKind::Usb) {
    board_.Configure(settings.Programmer, 0);
    board_.SetPinMap(settings.BitBangPins);
    BackendResult opened = OpenFtdiPort(ftdi_.Handle(), FtdiRequestFor(settings, settings.Port));
    if (!opened.port) {
      if (report) {
        ui.Message(MessageKind::Error, PortOpenFailureText(settings, settings.Port, opened.error));
      }
      return nullptr;
    }
    ++openCount_;
    return std::move(opened.port);
  }
  board_.Configure(settings.Programmer, base);
  ++openCount_;
  return std::make_unique<SimPort>(board_, base);
}

bool VirtualProgrammer::Available(const HardwareSettings&, std::string_view) {
  return openError_ == 0;
}

}  // namespace kestrum
