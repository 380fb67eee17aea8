// Opening the programmer's real port: the port name picks the device file, the settings pick
// the backend, and a port that does not open is reported with the device file, the reason
// and, for permission errors, what the user can do about it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "hardware/os_interface.hpp"
#include "hardware/port.hpp"
#include "hardware/port_backends.hpp"

namespace kestrum {

class SystemPortOpener final : public PortOpener {
 public:
  explicit SystemPortOpener(OsInterface& os = SystemOs()) : os_(os) {}
  std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) override;
  bool Available(const HardwareSettings& settings, std::string_view portName) override;

 private:
  BackendResult OpenNamed(const HardwareSettings& settings, std::string_view portName);

  OsInterface& os_;
};

// The message for a port that did not open with the errno `error`.
std::string PortOpenFailureText(const HardwareSettings& settings, std::string_view portName,
                                int error);

}  // namespace kestrum
