// SPDX-License-Identifier: GPL-3.0-or-later
// Flash microcontrollers on the TAFE: workers, lock bits and the family driver.
#include "protocols/flash_micro.hpp"

#include <algorithm>

#include "core/text.hpp"
#include "hardware/programmer_types.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

// Control register values. Bit 0 low steps the address counter (XTAL1 rises), bit 1 going low
// latches the mode, bit 2 is PROG, bit 3 puts 12 V on RST, bit 5 turns the data lines around.
constexpr std::uint8_t kPowerUpRead = 0x03;
constexpr std::uint8_t kLatchRead = 0x05;
constexpr std::uint8_t kReadByte = 0x27;
constexpr std::uint8_t kReadNext = 0x26;
constexpr std::uint8_t kProgramIdle = 0x0B;  // 12 V, PROG low
constexpr std::uint8_t kLatchProgram = 0x0D;
constexpr std::uint8_t kProgramHigh = 0x0F;  // 12 V, PROG high
constexpr std::uint8_t kProgramNext = 0x0E;
// Extended control: mode bits 7..5 to 001, byte (bidirectional) mode.
constexpr std::uint8_t kEcrModeMask = 0xE0;
constexpr std::uint8_t kEcrByteMode = 0x20;
constexpr std::uint8_t kReady = 0x40;

// The TAFE's registers on one set of lines.
class TafePort {
 public:
  explicit TafePort(LineContext& lines) : lines_(lines), base_(lines.PortBase()) {}
  void Data(std::uint8_t value) { lines_.PortOut(base_ + reg::kData, value); }
  void Control(std::uint8_t value) { lines_.PortOut(base_ + reg::kControl, value); }
  std::uint8_t Status() { return lines_.PortIn(base_ + reg::kStatus); }
  // The data register, read IODelay + 1 times; the last value counts.
  std::uint8_t ReadData() {
    std::uint8_t value = 0;
    for (int i = 0, n = std::max(lines_.Settings().IODelay, 0); i <= n; ++i) {
      value = lines_.PortIn(base_ + reg::kData);
    }
    return value;
  }
  void ByteMode() {
    const std::uint16_t ecr = base_ + reg::kExtendedControl;
    const std::uint8_t value = lines_.PortIn(ecr);
    lines_.PortOut(ecr, static_cast<std::uint8_t>((value & ~kEcrModeMask) | kEcrByteMode));
  }
  void Us(std::int64_t us) { lines_.DelayMicroseconds(us); }
  void Ms(std::int64_t ms) { lines_.SleepMs(ms); }

 private:
  LineContext& lines_;
  std::uint16_t base_;
};

// A lock-bit mode latched and one 10 ms PROG pulse with 12 V on RST.
void LockBitPulse(TafePort& port, std::uint8_t mode) {
  port.Control(kProgramIdle);
  port.Data(mode);
  port.Us(100);
  port.Control(kLatchProgram);
  port.Us(100);
  port.Control(kProgramHigh);
  port.Us(100);
  port.Control(kProgramIdle);
  port.Ms(10);
  port.Control(kProgramHigh);
  port.Us(100);
}

}  // namespace

TReadFlashMicro::TReadFlashMicro(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TReadFlashMicro::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  TafePort port(lines_);
  port.Ms(200);
  port.ByteMode();
  port.Us(100);
  port.Control(kPowerUpRead);
  port.Ms(200);
  port.Data(flash::kReadCode);
  port.Us(100);
  port.Control(kLatchRead);
  port.Us(100);
  port.Data(0x00);
  port.Ms(100);
  const bool invert = lines_.Settings().InvertDataIn;
  for (int i = 0; i < Count; ++i) {
    ProgressAt(i);
    port.Control(kReadByte);
    port.Us(100);
    // A byte stays a byte when the board's inverter is undone.
    Words[i] = static_cast<std::uint8_t>(port.ReadData() ^ (invert ? 0xFF : 0x00));
    port.Control(kReadNext);
    port.Us(100);
    if (StopRequested()) break;
  }
  // The part is left unpowered, as after programming.
  port.Control(flash::kControlRest);
  ProgressDone();
  lines_.ClosePort();
}

TProgFlashMicro::TProgFlashMicro(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TProgFlashMicro::Body() {
  Failed = false;
  ProgressRange();
  if (!OpenPort()) return;
  TafePort port(lines_);
  port.ByteMode();
  port.Ms(100);
  // Chip erase: a 10 ms PROG pulse in erase mode.
  port.Control(kProgramIdle);
  port.Ms(200);
  port.Data(flash::kChipErase);
  port.Us(100);
  port.Control(kLatchProgram);
  port.Us(100);
  port.Control(kProgramHigh);
  port.Us(100);
  port.Control(kProgramIdle);
  port.Ms(10);
  port.Control(kProgramHigh);
  port.Us(100);
  port.Data(flash::kWriteCode);
  port.Us(100);
  port.Control(kLatchProgram);
  port.Ms(100);
  for (int i = 0; i < Count; ++i) {
    ProgressAt(i);
    if (SkipErased && (Words[i] & 0xFF) == 0xFF) {
      // XTAL1 rises with bit 0 going low: the address counter steps without a PROG pulse.
      port.Control(kProgramHigh);
      port.Control(kProgramNext);
      if (StopRequested()) break;
      continue;
    }
    port.Data(static_cast<std::uint8_t>(Words[i]));
    port.Control(kProgramHigh);
    port.Control(kProgramIdle);
    port.Us(100);
    port.Control(kProgramHigh);
    port.Us(100);
    // RDY/BSY: bounded, so a part that never gets ready cannot hold the operation.
    bool ready = false;
    for (int waited = 0; !ready && waited < flash::kReadyLimitMs && !StopRequested();
         waited += flash::kReadyPollMs) {
      port.Ms(flash::kReadyPollMs);
      ready = (port.Status() & kReady) != 0;
    }
    if (!ready && !StopRequested()) {
      Failed = true;
      FailAddress = i;
      break;
    }
    port.Control(kProgramNext);
    if (StopRequested()) break;
  }
  port.Ms(2);
  port.Control(flash::kControlRest);
  ProgressDone();
  port.Ms(500);
  lines_.ClosePort();
}

bool FlashConf(LineContext& lines, bool lockBit1Ticked, bool lockBit2Ticked) {
  if (!lines.OpenPort()) return false;
  TafePort port(lines);
  if (!lockBit1Ticked) LockBitPulse(port, flash::kWriteLockBit1);
  port.Control(flash::kControlRest);
  port.Us(100);
  if (!lockBit2Ticked) {
    LockBitPulse(port, flash::kWriteLockBit2);
    // Not left with 12 V on RST.
    port.Control(flash::kControlRest);
  }
  lines.ClosePort();
  return true;
}

// ---- the family driver ----

namespace {

bool LockBoxTicked(FamilyContext& context, int box) {
  return context.Work().Config.Fuses[static_cast<std::size_t>(box)].Checked;
}

bool LockBits(FamilyContext& context) {
  if (FlashConf(context.Lines(), LockBoxTicked(context, 0), LockBoxTicked(context, 1))) {
    return true;
  }
  context.PortFailed();
  return false;
}

}  // namespace

void FlashMicroDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  context.ShowReadPhase(Region::Code, device.CodeSize);
  TReadFlashMicro reader(context.Lines(), device.CodeSize);
  if (!context.Run(reader)) return;
  context.Store(Region::Code, 0, reader.Words);
}

ProgramOutcome FlashMicroDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  ProgramOutcome outcome;
  TProgFlashMicro programmer(context.Lines(), device.CodeSize);
  programmer.SkipErased = !context.Options().ProgramErasedWords;
  const std::vector<std::uint16_t>& code = context.Work().Active().CodeBuffer;
  std::copy_n(code.begin(), programmer.Words.size(), programmer.Words.begin());
  if (!context.Run(programmer)) return outcome;
  if (programmer.Failed) {
    context.ui().Message(MessageKind::Error,
                         AddressText(text::kFlashNotReady, programmer.FailAddress));
    context.Failed();
    return outcome;
  }
  // A programmed lock bit 2 makes the part unreadable: the lock bits wait for the verify.
  const bool locks = !LockBoxTicked(context, 0) || !LockBoxTicked(context, 1);
  if (locks && context.Options().Verify) {
    outcome.Held = true;
    return outcome;
  }
  context.SetText(text::kProgrammingConfiguration);
  LockBits(context);
  return outcome;
}

void FlashMicroDriver::ProgramHeld(FamilyContext& context) {
  context.SetText(text::kProgrammingConfiguration);
  LockBits(context);
}

bool FlashMicroDriver::Erase(FamilyContext& /*context*/) {
  // Not offered: programming erases the part first.
  return false;
}

bool FlashMicroDriver::ProgramConfig(FamilyContext& context) {
  return LockBits(context);
}

}  // namespace kestrum
