// SPDX-License-Identifier: GPL-3.0-or-later
// The NVM 3060, a 512-byte EEPROM on the three-wire IM-Bus, modelled from the chip's side: with
// IDENT low it clocks in an 8-bit IM-Bus address, least significant bit first, on the rising
// clock; with IDENT high the data field follows (it takes 16 bits, or gives 8 bits of the
// selected cell after each falling clock); IDENT falling again ends the transfer and the part
// acts on it. Address 80h selects a cell, 81h reads it, 83h writes it: FFFFh erases the cell,
// FFh in the high byte programs the low byte (bits only from 1 to 0 until the next erase).
// Each erase or write takes its write time, during which the part ignores the bus.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "sim/chips/chip.hpp"

namespace kestrum {

inline constexpr std::int64_t kNvmWriteUs = 10000;

class Nvm3060Chip final : public ChipModel {
 public:
  static constexpr int kBytes = 512;

  Nvm3060Chip();

  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  std::vector<std::uint8_t>& Cells() { return cells_; }

  // Every transfer the part took, in order.
  struct Transfer {
    std::uint8_t address;
    std::uint16_t data;  // the data field (for a read: what the part sent)
    int bits;
    bool operator==(const Transfer&) const = default;
  };
  const std::vector<Transfer>& Transfers() const { return transfers_; }
  void ClearTransfers() { transfers_.clear(); }
  int Writes() const { return writes_; }

  // Fault knobs: an empty socket; a cell whose erases and writes never take.
  void SetAbsent(bool absent) { absent_ = absent; }
  void SetNeverProgram(int cell) { neverProgram_.insert(cell); }

 private:
  enum class Phase { Idle, Address, Data };
  void Settle(std::int64_t timeUs);
  void Execute(std::int64_t timeUs);

  std::vector<std::uint8_t> cells_;
  ChipPins pins_;
  Phase phase_ = Phase::Idle;
  std::uint8_t address_ = 0;
  int addressBits_ = 0;
  std::uint16_t data_ = 0;
  int dataBits_ = 0;
  std::uint8_t out_ = 0xFF;
  bool driving_ = false;
  bool outBit_ = true;
  int selected_ = 0;
  std::int64_t busyUntilUs_ = -1;
  int pendingCell_ = 0;
  std::uint8_t pendingValue_ = 0xFF;

  bool absent_ = false;
  std::set<int> neverProgram_;
  int writes_ = 0;
  std::vector<Transfer> transfers_;
};

}  // namespace kestrum
