// SPDX-License-Identifier: GPL-3.0-or-later
// The IM-Bus EEPROM: transfers, workers and the family driver.
#include "protocols/imbus.hpp"

#include <algorithm>

#include "hardware/bus.hpp"

namespace kestrum {

void ImBusIdent(LineContext& lines, bool high) {
  if (high) {
    lines.VppOnFast();
  } else {
    lines.VppOff();
  }
}

void ImBusTransfer(LineContext& lines, std::uint8_t address, std::uint16_t data) {
  ImBusIdent(lines, false);
  ImBusSend(lines, address, 8);
  ImBusIdent(lines, true);
  lines.DelayMicroseconds(kImBusPhaseUs);
  ImBusSend(lines, data, 16);
  // The IDENT pulse that closes the transfer.
  ImBusIdent(lines, false);
  lines.DelayMicroseconds(kImBusPhaseUs);
  ImBusIdent(lines, true);
  lines.DelayMicroseconds(kImBusPhaseUs);
}

std::uint8_t ImBusReadCell(LineContext& lines, int cell) {
  std::uint16_t value = 0;
  ImBusReadCell(lines, cell, value);
  lines.ResolveSamples();
  return static_cast<std::uint8_t>(value);
}

void ImBusReadCell(LineContext& lines, int cell, std::uint16_t& into) {
  ImBusIdent(lines, false);
  lines.DelayMicroseconds(kImBusPhaseUs);
  ImBusSend(lines, imbus::kSelect, 8);
  ImBusIdent(lines, true);
  lines.DelayMicroseconds(kImBusPhaseUs);
  ImBusSend(lines, static_cast<std::uint16_t>(cell), 16);
  ImBusIdent(lines, false);
  lines.DelayMicroseconds(kImBusPhaseUs);
  ImBusIdent(lines, true);
  lines.DelayMicroseconds(kImBusPhaseUs);

  ImBusIdent(lines, false);
  lines.DelayMicroseconds(kImBusPhaseUs);
  ImBusSend(lines, imbus::kRead, 8);
  ImBusIdent(lines, true);
  lines.DelayMicroseconds(kImBusPhaseUs);
  // Eight clocks bring eight bits: the cell's byte.
  ImBusReceive(lines, 8, into);
  ImBusIdent(lines, false);
  lines.DelayMicroseconds(kImBusPhaseUs);
  ImBusIdent(lines, true);
}

void ImBusWriteCell(LineContext& lines, int cell, std::uint8_t value) {
  ImBusTransfer(lines, imbus::kSelect, static_cast<std::uint16_t>(cell));
  ImBusTransfer(lines, imbus::kWrite, imbus::kErase);
  lines.SleepMs(imbus::kWriteMs);
  ImBusTransfer(lines, imbus::kSelect, static_cast<std::uint16_t>(cell));
  ImBusTransfer(lines, imbus::kWrite, static_cast<std::uint16_t>(imbus::kWriteByte | value));
  lines.SleepMs(imbus::kWriteMs);
}

namespace {

void PowerUp(LineContext& lines) {
  ImBusIdent(lines, true);
  lines.SetClockLine(1);
  // The JDM feeds the part from the port lines and pumps its rail from their low levels: with
  // IDENT, CLOCK and DATA all high through the power-up, the rail runs down and comes back
  // only with the first transfer's IDENT edge, which the part then misses (and with it the
  // cell address). DATA rests low there instead; the bus ignores it outside a transfer.
  lines.SetDataLine(lines.Settings().Programmer == ProgrammerType::Jdm ? 0 : 1);
  lines.SleepMs(100);
  lines.PowerOn();
  lines.SleepMs(800);
  if (lines.SupplyFromLines()) {
    // The bus rests with every line high, which starves a JDM's supply: the part went down
    // during the waits and comes up again as IDENT falls, too late to take that fall as the
    // start of a transfer. An IDENT pulse without address bits, long enough to pump the supply
    // up, wakes it; the part takes the pulse as the end of a transfer that never began.
    ImBusIdent(lines, false);
    lines.DelayMicroseconds(lines.Lines().PowerUpDelay);
    ImBusIdent(lines, true);
    lines.DelayMicroseconds(kImBusPhaseUs);
  }
}

}  // namespace

TIMBusRead::TIMBusRead(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TIMBusRead::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  for (int a = 0; a < Count; ++a) {
    ProgressAt(a);
    ImBusReadCell(lines_, a, Words[a]);
    if (StopRequested()) break;
  }
  lines_.SleepMs(300);
  ImBusIdent(lines_, false);
  lines_.AllLinesOff();
  ProgressDone();
  lines_.ClosePort();
}

TIMBusProg::TIMBusProg(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TIMBusProg::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  for (int a = 0; a < Count; ++a) {
    ProgressAt(a);
    const auto value = static_cast<std::uint8_t>(Words[a]);
    // A read costs under 2 ms of bus time; the erase and the write, 40 ms of waits.
    if (!WriteOnlyDiffers || ImBusReadCell(lines_, a) != value) {
      ImBusWriteCell(lines_, a, value);
    }
    if (StopRequested()) break;
  }
  // The end steps run after a cancel too.
  lines_.SleepMs(500);
  ImBusIdent(lines_, false);
  lines_.AllLinesOff();
  ProgressDone();
  lines_.ClosePort();
}

void ImBusDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  context.ShowReadPhase(Region::Code, device.CodeSize);
  TIMBusRead reader(context.Lines(), device.CodeSize);
  if (!context.Run(reader)) return;
  context.Store(Region::Code, 0, reader.Words);
}

ProgramOutcome ImBusDriver::Program(FamilyContext& context) {
  TIMBusProg programmer(context.Lines(), context.Device().CodeSize);
  const std::vector<std::uint16_t>& code = context.Work().Active().CodeBuffer;
  std::copy_n(code.begin(), programmer.Words.size(), programmer.Words.begin());
  programmer.WriteOnlyDiffers = context.Options().WriteOnlyDiffers;
  context.Run(programmer);
  return {};
}

bool ImBusDriver::Erase(FamilyContext& /*context*/) {
  // Not offered: every cell is erased as it is written.
  return false;
}

bool ImBusDriver::ProgramConfig(FamilyContext& /*context*/) {
  // Not offered: the part has no configuration.
  return false;
}

}  // namespace kestrum
