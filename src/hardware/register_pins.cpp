// SPDX-License-Identifier: GPL-3.0-or-later
// Connector pins through the port registers.
#include "hardware/register_pins.hpp"

namespace kestrum {

std::span<const ConnectorPin> ConnectorPinsOf(PortKind kind) {
  if (kind == PortKind::Parallel) return kParallelPins;
  if (kind == PortKind::Serial) return kSerialPins;
  return {};
}

const ConnectorPin* FindConnectorPin(PortKind kind, int pin) {
  for (const ConnectorPin& p : ConnectorPinsOf(kind)) {
    if (p.pin == pin) return &p;
  }
  return nullptr;
}

namespace {

constexpr std::uint64_t PinBit(int pin) {
  return std::uint64_t{1} << pin;
}

class ParallelPins final : public PinPort {
 public:
  ParallelPins(Port& port, std::uint64_t outputs) : port_(port) {
    for (const ConnectorPin& p : kParallelPins) {
      if (p.output && (outputs & PinBit(p.pin))) mask_ |= p.bit;
    }
  }
  void Drive(std::uint64_t levels) override {
    // Read-modify-write of the data register, as every parallel programmer does: the data
    // pins the programmer does not use keep what they had.
    std::uint8_t bits = 0;
    for (const ConnectorPin& p : kParallelPins) {
      if (p.output && (levels & PinBit(p.pin))) bits |= p.bit;
    }
    const std::uint16_t data = port_.Base() + reg::kData;
    const std::uint8_t before = port_.In(data);
    port_.Out(data, static_cast<std::uint8_t>((before & ~mask_) | (bits & mask_)));
  }
  std::uint64_t Sense() override {
    const std::uint8_t status = port_.In(port_.Base() + reg::kStatus);
    std::uint64_t levels = ~std::uint64_t{0};
    for (const ConnectorPin& p : kParallelPins) {
      if (p.output) continue;
      const bool high = ((status & p.bit) != 0) != (p.pin == kBusyPin);
      if (!high) levels &= ~PinBit(p.pin);
    }
    return levels;
  }

 private:
  Port& port_;
  std::uint8_t mask_ = 0;
};

class SerialPins final : public PinPort {
 public:
  SerialPins(Port& port, bool api) : port_(port), api_(api) {}
  void Drive(std::uint64_t levels) override {
    const bool txd = levels & PinBit(kTxdPin);
    std::uint8_t modem = 0;
    for (const ConnectorPin& p : kSerialPins) {
      if (p.output && p.bit && (levels & PinBit(p.pin))) modem |= p.bit;
    }
    if (api_) {
      if (first_ || modem != modem_) {
        if (first_ || ((modem ^ modem_) & kMcrRts)) port_.SetRts(modem & kMcrRts);
        if (first_ || ((modem ^ modem_) & kMcrDtr)) port_.SetDtr(modem & kMcrDtr);
      }
      if (first_ || txd != txd_) port_.SetBreak(txd);
    } else {
      if (first_ || modem != modem_) port_.Out(port_.Base() + reg::kMcr, modem);
      if (first_ || txd != txd_) {
        port_.Out(port_.Base() + reg::kLcr, txd ? (kLcr8N2 | kLcrBreak) : kLcr8N2);
      }
    }
    first_ = false;
    modem_ = modem;
    txd_ = txd;
  }
  std::uint64_t Sense() override {
    std::uint64_t levels = ~std::uint64_t{0};
    if (api_) {
      // The serial system calls read CTS only.
      if (!port_.Cts()) levels &= ~PinBit(8);
      return levels;
    }
    const std::uint8_t status = port_.In(port_.Base() + reg::kMsr);
    for (const ConnectorPin& p : kSerialPins) {
      if (!p.output && !(status & p.bit)) levels &= ~PinBit(p.pin);
    }
    return levels;
  }

 private:
  Port& port_;
  bool api_;
  bool first_ = true;
  std::uint8_t modem_ = 0;
  bool txd_ = false;
};

}  // namespace

std::unique_ptr<PinPort> MakeRegisterPins(Port& port, PortKind kind, bool api,
                                          std::uint64_t outputs) {
  if (kind == PortKind::Parallel) return std::make_unique<ParallelPins>(port, outputs);
  if (kind == PortKind::Serial) return std::make_unique<SerialPins>(port, api);
  return nullptr;
}

}  // namespace kestrum
