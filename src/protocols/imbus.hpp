// SPDX-License-Identifier: GPL-3.0-or-later
// The NVM 3060 EEPROM on the three-wire IM-Bus: the programmer's data and clock lines are the
// bus's DATA and CLOCK, its MCLR line is IDENT (high through VppOnFast, low through VppOff).
// A transfer is an 8-bit IM-Bus address with IDENT low, then a data field with IDENT high, closed
// by an IDENT pulse; bits go least significant first. Address 80h selects a cell, 81h reads it,
// 83h writes it (FFFFh erases, FF00h + byte writes the byte). The read and programming workers
// and the family driver.
#pragma once

#include <cstdint>
#include <vector>

#include "hardware/line_context.hpp"
#include "protocols/family_driver.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace imbus {
inline constexpr std::uint8_t kSelect = 0x80;
inline constexpr std::uint8_t kRead = 0x81;
inline constexpr std::uint8_t kWrite = 0x83;
inline constexpr std::uint16_t kErase = 0xFFFF;
inline constexpr std::uint16_t kWriteByte = 0xFF00;  // OR the byte
// The wait after each erase and each write of a cell.
inline constexpr int kWriteMs = 20;
}  // namespace imbus

void ImBusIdent(LineContext& lines, bool high);
// One transfer of a 16-bit data field to `address`.
void ImBusTransfer(LineContext& lines, std::uint8_t address, std::uint16_t data);
// The read of one cell as the read worker does it: the select (with an extra 10 µs before its
// address bits), then the read transfer, which ends with IDENT high.
std::uint8_t ImBusReadCell(LineContext& lines, int cell);
// The same with the byte deferred into `into` (LineContext::DeferDataIn).
void ImBusReadCell(LineContext& lines, int cell, std::uint16_t& into);
// Erase, then write, with the write time after each.
void ImBusWriteCell(LineContext& lines, int cell, std::uint8_t value);

// Reads `Count` cells.
class TIMBusRead final : public OperationWorker {
 public:
  TIMBusRead(const LineContext& lines, int count);
  std::vector<std::uint16_t> Words;  // 0 after a cancelled read's last cell

 private:
  void Body() override;
};

// Erases and writes `Count` cells; a cancel stops after the cell in progress. With
// WriteOnlyDiffers each cell is read first and one that holds its byte already is passed over.
class TIMBusProg final : public OperationWorker {
 public:
  TIMBusProg(const LineContext& lines, int count);
  std::vector<std::uint16_t> Words;
  bool WriteOnlyDiffers = false;

 private:
  void Body() override;
};

class ImBusDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
};

}  // namespace kestrum
