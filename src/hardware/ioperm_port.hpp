// SPDX-License-Identifier: GPL-3.0-or-later
// Raw port access: inb/outb on the port's own registers after ioperm() has granted them.
// Needs root or CAP_SYS_RAWIO; the device-file backends are the default.
#pragma once

#include <cstdint>
#include <vector>

#include "hardware/os_interface.hpp"
#include "hardware/port.hpp"

namespace kestrum {

struct IoRange {
  std::uint16_t from;
  std::uint16_t count;
};

class IopermPort final : public Port {
 public:
  IopermPort(OsInterface& os, std::uint16_t base, std::vector<IoRange> ranges);
  ~IopermPort() override;
  IopermPort(const IopermPort&) = delete;
  IopermPort& operator=(const IopermPort&) = delete;

  std::uint16_t Base() const override { return base_; }
  std::uint8_t In(std::uint16_t address) override;
  void Out(std::uint16_t address, std::uint8_t value) override;

 private:
  bool Granted(std::uint16_t address) const;

  OsInterface& os_;
  std::uint16_t base_;
  std::vector<IoRange> ranges_;
};

// The registers of a port: eight UART registers, or the three parallel registers and the
// three ECP registers from base + 0x400.
std::vector<IoRange> PortRanges(PortKind kind, std::uint16_t base);

}  // namespace kestrum
