// SPDX-License-Identifier: GPL-3.0-or-later
// The 89S53 in serial programming mode: power-up and programming enable, the read worker,
// the programming worker (chip erase first, then byte by byte with a fixed write wait), the
// lock bits and the chip erase, and the family driver. The MCLR line is the part's RST,
// active high: VPP on holds it in programming mode. Code addresses travel as the byte
// H OR command, H carrying address bits 12..8 in bits 7..3 and bit 13 in bit 2, then the low
// address byte.
#pragma once

#include <cstdint>
#include <vector>

#include "protocols/avr.hpp"
#include "protocols/family_driver.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace s89 {
inline constexpr std::uint8_t kSpecial = 0xAC;  // AC 53 00; AC 04 00; AC lock 00
inline constexpr std::uint8_t kEnable = 0x53;
inline constexpr std::uint8_t kChipErase = 0x04;
inline constexpr std::uint8_t kRead = 0x01;
inline constexpr std::uint8_t kWrite = 0x02;
inline constexpr int kWriteWaitMs = 3;
}  // namespace s89

std::uint8_t Micro89SHigh(int address);
// 07h, plus 80h, 40h and 20h for ticked lock-bit boxes 1, 2 and 3 (a 1 leaves the bit open).
std::uint8_t Micro89SLockByte(bool box1, bool box2, bool box3);

class T89SReadThread final : public OperationWorker {
 public:
  T89SReadThread(const LineContext& lines, int count);
  std::vector<std::uint16_t> Bytes;

 protected:
  void Body() override;
};

class T89SProgThread final : public OperationWorker {
 public:
  T89SProgThread(const LineContext& lines, int count);
  std::vector<std::uint16_t> Bytes;
  // The chip erase at the start leaves every byte FFh: such bytes are not written.
  bool SkipErased = false;

 protected:
  void Body() override;
};

// On the caller's lines, each with power-up and enable before and power-down after.
SequenceResult Micro89SLockBits(LineContext& lines, std::uint8_t lockByte);
SequenceResult Micro89SChipErase(LineContext& lines);

class Micro89SDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  void ProgramHeld(FamilyContext& context) override;
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;

 private:
  bool LockBits(FamilyContext& context);
};

}  // namespace kestrum
