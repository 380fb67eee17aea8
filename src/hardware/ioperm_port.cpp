// SPDX-License-Identifier: GPL-3.0-or-later
// Raw port access through ioperm().
#include "hardware/ioperm_port.hpp"

#include "hardware/port_backends.hpp"

namespace kestrum {

std::vector<IoRange> PortRanges(PortKind kind, std::uint16_t base) {
  if (kind == PortKind::Serial) return {{base, 8}};
  return {{base, 3}, {static_cast<std::uint16_t>(base + 0x400), 3}};
}

BackendResult OpenIopermPort(OsInterface& os, const std::string&, PortKind kind,
                             std::uint16_t base) {
  std::vector<IoRange> ranges = PortRanges(kind, base);
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    int result = os.IoPerm(ranges[i].from, ranges[i].count, true);
    if (result < 0) {
      for (std::size_t j = 0; j < i; ++j) os.IoPerm(ranges[j].from, ranges[j].count, false);
      return {nullptr, -result};
    }
  }
  return {std::make_unique<IopermPort>(os, base, std::move(ranges)), 0};
}

IopermPort::IopermPort(OsInterface& os, std::uint16_t base, std::vector<IoRange> ranges)
    : os_(os), base_(base), ranges_(std::move(ranges)) {}

IopermPort::~IopermPort() {
  for (const IoRange& r : ranges_) os_.IoPerm(r.from, r.count, false);
}

bool IopermPort::Granted(std::uint16_t address) const {
  for (const IoRange& r : ranges_) {
    if (address >= r.from && address < r.from + r.count) return true;
  }
  return false;
}

std::uint8_t IopermPort::In(std::uint16_t address) {
  // An address outside the grant would fault the process; it reads like an empty bus instead.
  return Granted(address) ? os_.Inb(address) : kFloatingBus;
}

void IopermPort::Out(std::uint16_t address, std::uint8_t value) {
  if (Granted(address)) os_.Outb(value, address);
}

}  // namespace kestrum
