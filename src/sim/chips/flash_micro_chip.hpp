// SPDX-License-Identifier: GPL-3.0-or-later
// The 89C1051, 89C2051 and 89C4051 flash microcontrollers in their parallel programming mode,
// modelled from the chip's side: the mode on P3.3, P3.4, P3.5 and P3.7, the internal address
// counter (cleared at power-up, stepped by rising edges on XTAL1), PROG pulses on P3.2 with
// RST at 12 V, the self-timed byte write signalled busy on RDY/BSY (P3.1), the chip erase that
// needs a 10 ms pulse, and the two lock bits: the first stops further programming, the second
// stops reading too.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/chips/chip.hpp"
#include "sim/chips/parallel_chip.hpp"

namespace kestrum {

// Mode pins P3.3, P3.4, P3.5, P3.7 as bits 3..0.
namespace flash_mode {
inline constexpr std::uint8_t kChipErase = 0x08;
inline constexpr std::uint8_t kWriteCode = 0x07;
inline constexpr std::uint8_t kReadCode = 0x03;
inline constexpr std::uint8_t kWriteLockBit1 = 0x0F;
inline constexpr std::uint8_t kWriteLockBit2 = 0x0C;
}  // namespace flash_mode

// RDY/BSY stays low this long after a byte write's PROG pulse.
inline constexpr std::int64_t kFlashByteWriteUs = 1500;
// A chip erase needs PROG low this long.
inline constexpr std::int64_t kFlashErasePulseUs = 10000;

class FlashMicroChip final : public ChipModel, public ParallelChip {
 public:
  // A part with `bytes` of flash (1024, 2048 or 4096), erased, without lock bits.
  explicit FlashMicroChip(int bytes);

  int PinCount() const override { return 20; }
  // Not wired to the five logical lines.
  void OnPins(const ChipPins&, std::int64_t) override {}
  DataDrive DataOut(std::int64_t) override { return DataDrive::Released; }

  void OnParallelPins(const ParallelPins& pins, std::int64_t timeUs) override;
  BusDrive BusOut(std::int64_t timeUs) override;
  bool ReadyOut(std::int64_t timeUs) override;

  // Code: the flash bytes. Config: one element, bit 0 set while lock bit 1 is unprogrammed and
  // bit 1 while lock bit 2 is; every other bit reads 1 (FFFFh: no lock bit programmed).
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  std::vector<std::uint8_t>& Code() { return code_; }
  bool LockBit1() const { return lock1_; }
  bool LockBit2() const { return lock2_; }
  int AddressCounter() const { return counter_; }
  int Erases() const { return erases_; }

  // Fault knobs.
  void SetAbsent(bool absent) { absent_ = absent; }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }

 private:
  void Settle(std::int64_t timeUs);
  void EndPulse(std::int64_t timeUs);

  std::vector<std::uint8_t> code_;
  bool lock1_ = false;
  bool lock2_ = false;

  ParallelPins pins_;
  int counter_ = 0;
  // A PROG pulse in progress: its start, and the mode, address and data it began with.
  std::int64_t pulseStartUs_ = -1;
  std::uint8_t pulseMode_ = 0;
  int pulseAddress_ = 0;
  std::uint8_t pulseData_ = 0xFF;
  // A byte write in progress.
  std::int64_t busyUntilUs_ = -1;
  int writeAddress_ = 0;
  std::uint8_t writeData_ = 0xFF;

  bool absent_ = false;
  bool stuckBusy_ = false;
  int erases_ = 0;
};

}  // namespace kestrum
