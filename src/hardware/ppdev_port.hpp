// SPDX-License-Identifier: GPL-3.0-or-later
// The parallel port backend on Linux's ppdev: the port is claimed for the whole operation,
// and its data, status, control and extended control registers map onto the ppdev ioctls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hardware/os_interface.hpp"
#include "hardware/port.hpp"

namespace kestrum {

class PpdevPort final : public Port {
 public:
  PpdevPort(OsInterface& os, int fd, std::string device, std::uint16_t base, std::uint8_t control);
  ~PpdevPort() override;
  PpdevPort(const PpdevPort&) = delete;
  PpdevPort& operator=(const PpdevPort&) = delete;

  std::uint16_t Base() const override { return base_; }
  std::uint8_t In(std::uint16_t address) override;
  void Out(std::uint16_t address, std::uint8_t value) override;

 private:
  // A ppdev call on the open port; a failure is told to the sink.
  void Call(unsigned long request, void* arg, std::string_view name);

  OsInterface& os_;
  int fd_;
  std::string device_;
  std::uint16_t base_;
  std::uint8_t control_;
  // The extended control register is not reached through ppdev; its mode bits stand for
  // ppdev's transfer mode, which is compatibility mode (000) after the port is opened, so a
  // protocol that asks for byte mode gets it through PPSETMODE. Error interrupts off, service
  // bit set, FIFO empty.
  std::uint8_t extendedControl_ = 0x15;
};

}  // namespace kestrum
