// SPDX-License-Identifier: GPL-3.0-or-later
// The 89C1051, 89C2051 and 89C4051 flash microcontrollers on the TAFE programmer, which drives
// the parallel port register by register: the data register carries the part's data bus and,
// through a latch, its programming mode; the control register carries the address counter
// clock (bit 0), the mode latch clock (bit 1), PROG (bit 2), the 12 V on RST (bit 3) and the
// data direction (bit 5); status bit 6 is RDY/BSY. The workers read and program the part;
// FlashConf programs its lock bits; the family driver puts them together.
#pragma once

#include <cstdint>
#include <vector>

#include "hardware/line_context.hpp"
#include "protocols/family_driver.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace flash {
// Mode codes on the data register's low four bits.
inline constexpr std::uint8_t kChipErase = 0x08;
inline constexpr std::uint8_t kWriteCode = 0x07;
inline constexpr std::uint8_t kReadCode = 0x03;
inline constexpr std::uint8_t kWriteLockBit1 = 0x0F;
inline constexpr std::uint8_t kWriteLockBit2 = 0x0C;
// The control register at rest: the part unpowered, no 12 V, data lines driven.
inline constexpr std::uint8_t kControlRest = 0x01;
// The ready wait after each byte: a poll every 5 ms, and a part that has not signalled ready
// after this long has failed (a byte write takes 2 ms at most).
inline constexpr int kReadyPollMs = 5;
inline constexpr int kReadyLimitMs = 100;
}  // namespace flash

// Reads `Count` bytes of the part.
class TReadFlashMicro final : public OperationWorker {
 public:
  TReadFlashMicro(const LineContext& lines, int count);
  std::vector<std::uint16_t> Words;  // 0 after a cancelled read's last byte

 private:
  void Body() override;
};

// Erases the part and programs `Count` bytes; Failed and FailAddress name a byte after which
// the part never signalled ready.
class TProgFlashMicro final : public OperationWorker {
 public:
  TProgFlashMicro(const LineContext& lines, int count);
  std::vector<std::uint16_t> Words;
  // The chip erase at the start leaves every byte FFh: such bytes only step the address.
  bool SkipErased = false;

 private:
  void Body() override;
};

// Programs the lock bits, each one whose box is not ticked (a ticked box leaves its lock bit
// unprogrammed), on the caller's lines: opens the port, and rests the part and closes it
// again. False when the port did not open (the user has been told).
bool FlashConf(LineContext& lines, bool lockBit1Ticked, bool lockBit2Ticked);

class FlashMicroDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  void ProgramHeld(FamilyContext& context) override;
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
};

}  // namespace kestrum
