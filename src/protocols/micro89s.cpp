// SPDX-License-Identifier: GPL-3.0-or-later
// 89S53 serial programming: workers, lock bits, chip erase and the driver.
#include "protocols/micro89s.hpp"

#include <algorithm>

#include "hardware/bus.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

// The chip erase takes up to 16 ms; nothing is sent or switched off before it is over.
constexpr int kEraseWaitMs = 20;
constexpr int kLockWaitMs = 10;

void Send(LineContext& lines, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  ShiftOutByte(lines, a);
  ShiftOutByte(lines, b);
  ShiftOutByte(lines, c);
}

// RST follows the supply, then programming enable; the part gives no echo.
void PowerUpAndEnable(LineContext& lines) {
  lines.AllLinesOff();
  lines.VppOff();
  lines.SleepMs(1);
  lines.PowerOn();
  lines.SleepMs(1);
  lines.VppOn();
  lines.SleepMs(10);
  Send(lines, s89::kSpecial, s89::kEnable, 0x00);
}

// Programmers without a supply switch (the JDM without power control, the AN589) keep the
// part powered: data and clock go low themselves.
void PowerDown(LineContext& lines) {
  lines.SetDataLine(0);
  lines.SetClockLine(0);
  lines.VppOff();
  lines.AllLinesOff();
  lines.ClosePort();
}

template <class Steps>
SequenceResult Sequence(LineContext& lines, Steps steps) {
  if (!lines.OpenPort()) return SequenceResult::PortFailed;
  PowerUpAndEnable(lines);
  lines.SleepMs(10);
  steps();
  PowerDown(lines);
  return SequenceResult::Done;
}

}  // namespace

std::uint8_t Micro89SHigh(int address) {
  const int high = address >> 8;
  return static_cast<std::uint8_t>(((high << 3) & 0xF8) | ((high & 0x20) >> 3));
}

std::uint8_t Micro89SLockByte(bool box1, bool box2, bool box3) {
  return static_cast<std::uint8_t>(0x07 | (box1 ? 0x80 : 0) | (box2 ? 0x40 : 0) |
                                   (box3 ? 0x20 : 0));
}

T89SReadThread::T89SReadThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Bytes(static_cast<std::size_t>(std::max(count, 0))) {}

void T89SReadThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  PowerUpAndEnable(lines_);
  for (int a = 0; a < Count; ++a) {
    ProgressAt(a);
    ShiftOutByte(lines_, static_cast<std::uint8_t>(Micro89SHigh(a) | s89::kRead));
    ShiftOutByte(lines_, static_cast<std::uint8_t>(a & 0xFF));
    ShiftInByte(lines_, Bytes[static_cast<std::size_t>(a)]);
    if (StopRequested()) break;
  }
  ProgressDone();
  PowerDown(lines_);
}

T89SProgThread::T89SProgThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Bytes(static_cast<std::size_t>(std::max(count, 0))) {}

void T89SProgThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  PowerUpAndEnable(lines_);
  lines_.SleepMs(10);
  Send(lines_, s89::kSpecial, s89::kChipErase, 0x00);
  lines_.SleepMs(kEraseWaitMs);
  for (int a = 0; a < Count; ++a) {
    ProgressAt(a);
    if (SkipErased && (Bytes[static_cast<std::size_t>(a)] & 0xFF) == 0xFF) continue;
    Send(lines_, static_cast<std::uint8_t>(Micro89SHigh(a) | s89::kWrite),
         static_cast<std::uint8_t>(a & 0xFF),
         static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(a)]));
    lines_.SleepMs(s89::kWriteWaitMs);
    if (StopRequested()) break;
  }
  ProgressDone();
  PowerDown(lines_);
}

SequenceResult Micro89SLockBits(LineContext& lines, std::uint8_t lockByte) {
  return Sequence(lines, [&] {
    Send(lines, s89::kSpecial, lockByte, 0x00);
    lines.SleepMs(kLockWaitMs);
  });
}

SequenceResult Micro89SChipErase(LineContext& lines) {
  return Sequence(lines, [&] {
    Send(lines, s89::kSpecial, s89::kChipErase, 0xFF);
    lines.SleepMs(kEraseWaitMs);
  });
}

// ---- driver ----

namespace {

std::uint8_t BoxLockByte(FamilyContext& context) {
  const auto& fuses = context.Work().Config.Fuses;
  return Micro89SLockByte(fuses[0].Checked, fuses[1].Checked, fuses[2].Checked);
}

constexpr std::uint8_t kUnlocked = 0xE7;

}  // namespace

void Micro89SDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  context.ShowReadPhase(Region::Code, device.CodeSize);
  T89SReadThread reader(context.Lines(), device.CodeSize);
  if (!context.Run(reader)) return;
  context.Store(Region::Code, 0, reader.Bytes);
}

ProgramOutcome Micro89SDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  T89SProgThread writer(context.Lines(), device.CodeSize);
  writer.SkipErased = !context.Options().ProgramErasedWords;
  const BufferSlot& slot = context.Work().Active();
  std::copy_n(slot.CodeBuffer.begin(), writer.Bytes.size(), writer.Bytes.begin());
  if (!context.Run(writer) || context.Cancelled()) return {};
  // LB2 makes the part read back as garbage: the verify comes first.
  if (context.Options().Verify && BoxLockByte(context) != kUnlocked) return {.Held = true};
  LockBits(context);
  return {};
}

void Micro89SDriver::ProgramHeld(FamilyContext& context) {
  LockBits(context);
}

bool Micro89SDriver::LockBits(FamilyContext& context) {
  context.SetText(text::kProgrammingConfiguration);
  context.Work().CreateConfig();
  if (Micro89SLockBits(context.Lines(), BoxLockByte(context)) == SequenceResult::Done) {
    return true;
  }
  context.PortFailed();
  return false;
}

bool Micro89SDriver::Erase(FamilyContext& context) {
  if (Micro89SChipErase(context.Lines()) == SequenceResult::Done) return true;
  context.PortFailed();
  return false;
}

bool Micro89SDriver::ProgramConfig(FamilyContext& context) {
  return LockBits(context);
}

}  // namespace kestrum
