// SPDX-License-Identifier: GPL-3.0-or-later
// AVR serial programming: workers, lock bits, chip erase and the driver.
#include "protocols/avr.hpp"

#include <algorithm>

#include "core/text.hpp"
#include "hardware/bus.hpp"
#include "protocols/avr_paged.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

// The part counts 20 ms after /RESET went low before it takes an instruction.
constexpr int kEnableWaitMs = 25;
constexpr int kEraseWaitMs = 25;
// The lock bits are written in a timed cycle too: the supply stays on for it.
constexpr int kLockWaitMs = 10;

void Send(LineContext& lines, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  ShiftOutByte(lines, a);
  ShiftOutByte(lines, b);
  ShiftOutByte(lines, c);
  ShiftOutByte(lines, d);
}

// The byte comes into `into` once the line layer's deferred samples are resolved.
void Receive(LineContext& lines, std::uint8_t a, int address, std::uint16_t& into) {
  ShiftOutByte(lines, a);
  ShiftOutByte(lines, static_cast<std::uint8_t>(address >> 8));
  ShiftOutByte(lines, static_cast<std::uint8_t>(address & 0xFF));
  ShiftInByte(lines, into);
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

// Data polling of the 90S parts: while a byte is being written into flash or EEPROM, reading
// its location gives FFh; once the part is ready for the next byte it gives the value written.
// So the poll is sound for any value but FFh, which must wait the full write time. Bounded by
// that time: a byte that never reads back (a cell that will not program) costs what it did
// before, and the verify names it. Where reads cost more than half the wait several bytes in a
// row (a USB-serial adapter whose every modem-line call is a round trip), polling goes off and
// the rest of the run waits the datasheet's time; one slow read (the host busy elsewhere for a
// moment) does not decide that.
struct DataPolling {
  bool on;
  int slowInARow = 0;
};
constexpr int kSlowPollsBeforeFixedWaits = 3;

void WaitWritten(LineContext& lines, DataPolling& poll, std::uint8_t read, int address,
                 std::uint8_t value) {
  if (!poll.on || value == 0xFF) {
    lines.SleepMs(avr::kWriteWaitMs);
    return;
  }
  Clock& clock = lines.clock();
  const std::int64_t start = clock.nowUs();
  const std::int64_t limit = std::int64_t{avr::kWriteWaitMs} * 1000;
  for (;;) {
    const std::int64_t before = clock.nowUs();
    std::uint16_t got = 0;
    Receive(lines, read, address, got);
    lines.ResolveSamples();
    const std::int64_t now = clock.nowUs();
    if (now - before > limit / 2) {
      if (++poll.slowInARow >= kSlowPollsBeforeFixedWaits) poll.on = false;
      if (got != value && now - start < limit) lines.DelayMicroseconds(limit - (now - start));
      return;
    }
    poll.slowInARow = 0;
    if (got == value || now - start >= limit) return;
  }
}

std::vector<std::uint16_t> Zeros(int count) {
  return std::vector<std::uint16_t>(static_cast<std::size_t>(std::max(count, 0)));
}

}  // namespace

std::uint8_t AvrLockByte(bool box1, bool box2) {
  std::uint8_t lock = 0xFF;
  if (!box1) lock &= static_cast<std::uint8_t>(~0x02);
  if (!box2) lock &= static_cast<std::uint8_t>(~0x04);
  return lock;
}

void AvrPowerUp(LineContext& lines, int settleMs) {
  lines.AllLinesOff();
  lines.DelayMicroseconds(100);
  lines.VppOff();  // /RESET low
  lines.SetClockLine(0);
  lines.SleepMs(1);
  lines.PowerOn();
  lines.SleepMs(settleMs);
}

bool AvrProgrammingEnable(LineContext& lines, int attempts, const std::atomic<bool>* stop) {
  for (int attempt = 0; attempt < std::max(attempts, 1); ++attempt) {
    if (attempt > 0 && stop != nullptr && stop->load()) break;
    lines.SetClockLine(0);
    lines.VppOn();  // the positive /RESET pulse
    lines.DelayMicroseconds(100);
    lines.VppOff();
    lines.SleepMs(kEnableWaitMs);
    ShiftOutByte(lines, avr::kEnable);
    ShiftOutByte(lines, avr::kEnableEcho);
    const std::uint8_t echo = ShiftInByte(lines);
    ShiftOutByte(lines, 0x00);
    if (echo == avr::kEnableEcho) return true;
  }
  return false;
}

// ---- workers ----

TSpiMicroReadThread::TSpiMicroReadThread(const LineContext& lines, int count, int maxSyncAttempts)
    : OperationWorker(lines, count), Bytes(Zeros(count)), attempts_(maxSyncAttempts) {}

void TSpiMicroReadThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  AvrPowerUp(lines_, 100);
  NoAnswer = !AvrProgrammingEnable(lines_, attempts_, &TerminateRequested);
  for (int w = 0; !NoAnswer && w < Count / 2; ++w) {
    ProgressAt(2 * w);
    Receive(lines_, avr::kReadLow, w, Bytes[static_cast<std::size_t>(2 * w)]);
    ProgressAt(2 * w + 1);
    Receive(lines_, avr::kReadHigh, w, Bytes[static_cast<std::size_t>(2 * w + 1)]);
    if (StopRequested()) break;
  }
  ProgressDone();
  PowerDown(lines_);
}

TSpiMicroReadDThread::TSpiMicroReadDThread(const LineContext& lines, int count, int maxSyncAttempts)
    : OperationWorker(lines, count), Bytes(Zeros(count)), attempts_(maxSyncAttempts) {}

void TSpiMicroReadDThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  AvrPowerUp(lines_, 100);
  NoAnswer = !AvrProgrammingEnable(lines_, attempts_, &TerminateRequested);
  for (int i = 0; !NoAnswer && i < Count; ++i) {
    ProgressAt(i);
    Receive(lines_, avr::kReadData, i, Bytes[static_cast<std::size_t>(i)]);
    if (StopRequested()) break;
  }
  ProgressDone();
  PowerDown(lines_);
}

TSpiMicroProgThread::TSpiMicroProgThread(const LineContext& lines, int count, int maxSyncAttempts)
    : OperationWorker(lines, count), Bytes(Zeros(count)), attempts_(maxSyncAttempts) {}

void TSpiMicroProgThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  AvrPowerUp(lines_, 300);
  NoAnswer = !AvrProgrammingEnable(lines_, attempts_, &TerminateRequested);
  if (!NoAnswer) {
    Send(lines_, avr::kEnable, avr::kChipErase, 0x00, 0x00);
    lines_.SleepMs(kEraseWaitMs);
    // Only a new /RESET pulse ends the erase cycle.
    NoAnswer = !AvrProgrammingEnable(lines_, attempts_, &TerminateRequested);
  }
  DataPolling polling{PollReady};
  for (int w = 0; !NoAnswer && w < Count / 2; ++w) {
    const auto high = static_cast<std::uint8_t>(w >> 8);
    const auto low = static_cast<std::uint8_t>(w & 0xFF);
    for (int half = 0; half < 2; ++half) {
      ProgressAt(2 * w + half);
      const auto value = static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(2 * w + half)]);
      if (SkipErased && value == 0xFF) continue;
      Send(lines_, half == 0 ? avr::kWriteLow : avr::kWriteHigh, high, low, value);
      WaitWritten(lines_, polling, half == 0 ? avr::kReadLow : avr::kReadHigh, w, value);
    }
    if (StopRequested()) break;
  }
  if (!NoAnswer) lines_.SleepMs(500);
  ProgressDone();
  PowerDown(lines_);
}

TSpiMicroProgDataThread::TSpiMicroProgDataThread(const LineContext& lines, int count,
                                                 int maxSyncAttempts)
    : OperationWorker(lines, count), Bytes(Zeros(count)), attempts_(maxSyncAttempts) {}

void TSpiMicroProgDataThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  AvrPowerUp(lines_, 100);
  NoAnswer = !AvrProgrammingEnable(lines_, attempts_, &TerminateRequested);
  DataPolling polling{PollReady};
  for (int i = 0; !NoAnswer && i < Count; ++i) {
    ProgressAt(i);
    const auto value = static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(i)]);
    if (SkipErased && value == 0xFF) continue;
    Send(lines_, avr::kWriteData, static_cast<std::uint8_t>(i >> 8),
         static_cast<std::uint8_t>(i & 0xFF), value);
    WaitWritten(lines_, polling, avr::kReadData, i, value);
    if (StopRequested()) break;
  }
  if (!NoAnswer) lines_.SleepMs(500);
  ProgressDone();
  PowerDown(lines_);
}

// ---- sequences on the caller's lines ----

namespace {

template <class Steps>
SequenceResult Sequence(LineContext& lines, int attempts, Steps steps) {
  if (!lines.OpenPort()) return SequenceResult::PortFailed;
  AvrPowerUp(lines, 100);
  const bool enabled = AvrProgrammingEnable(lines, attempts);
  if (enabled) steps();
  PowerDown(lines);
  return enabled ? SequenceResult::Done : SequenceResult::NoAnswer;
}

}  // namespace

SequenceResult ProgramSpiMicroConf(LineContext& lines, std::uint8_t lockByte, int attempts) {
  return Sequence(lines, attempts, [&] {
    Send(lines, avr::kEnable, lockByte, 0x00, 0x00);
    lines.SleepMs(kLockWaitMs);
  });
}

SequenceResult AvrChipErase(LineContext& lines, int attempts) {
  return Sequence(lines, attempts, [&] {
    Send(lines, avr::kEnable, avr::kChipErase, 0x00, 0x00);
    lines.SleepMs(kEraseWaitMs);
  });
}

// ---- driver ----

namespace {

// The worker's outcome: false when the command ends here (the user has been told).
bool Answered(FamilyContext& context, bool noAnswer) {
  if (!noAnswer) return true;
  context.ui().Message(MessageKind::Error, text::kNoAnswer);
  context.Failed();
  return false;
}

bool Concluded(FamilyContext& context, SequenceResult result) {
  if (result == SequenceResult::PortFailed) {
    context.PortFailed();
    return false;
  }
  return Answered(context, result == SequenceResult::NoAnswer);
}

std::uint8_t BoxLockByte(FamilyContext& context) {
  const auto& fuses = context.Work().Config.Fuses;
  return AvrLockByte(fuses[0].Checked, fuses[1].Checked);
}

}  // namespace

void AvrDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  if (IsPagedAvr(device)) return avr_paged::Read(context);
  context.ShowReadPhase(Region::Code, device.CodeSize);
  TSpiMicroReadThread code(context.Lines(), device.CodeSize, device.Variant);
  if (!context.Run(code) || !Answered(context, code.NoAnswer)) return;
  context.Store(Region::Code, 0, code.Bytes);
  if (device.DataSize <= 0) return;
  context.ShowReadPhase(Region::Data, device.DataSize);
  TSpiMicroReadDThread data(context.Lines(), device.DataSize, device.Variant);
  if (!context.Run(data) || !Answered(context, data.NoAnswer)) return;
  context.Store(Region::Data, 0, data.Bytes);
}

ProgramOutcome AvrDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  if (IsPagedAvr(device)) return avr_paged::Program(context);
  const BufferSlot& slot = context.Work().Active();
  // The code worker's chip erase clears flash and EEPROM alike.
  const bool skipErased = !context.Options().ProgramErasedWords;
  TSpiMicroProgThread code(context.Lines(), device.CodeSize, device.Variant);
  code.SkipErased = skipErased;
  code.PollReady = context.Options().AvrPollReady;
  std::copy_n(slot.CodeBuffer.begin(), code.Bytes.size(), code.Bytes.begin());
  if (!context.Run(code) || !Answered(context, code.NoAnswer)) return {};
  if (device.DataSize > 0) {
    context.SetText(PhaseText(text::kProgrammingData, device.DataSize));
    TSpiMicroProgDataThread data(context.Lines(), device.DataSize, device.Variant);
    data.SkipErased = skipErased;
    data.PollReady = context.Options().AvrPollReady;
    std::copy_n(slot.DataBuffer.begin(), data.Bytes.size(), data.Bytes.begin());
    if (!context.Run(data) || !Answered(context, data.NoAnswer)) return {};
  }
  // A cancelled run leaves the part open; a part with both lock bits reads back as garbage,
  // so the verify comes first.
  if (context.Cancelled()) return {};
  if (context.Options().Verify && BoxLockByte(context) != 0xFF) return {.Held = true};
  LockBits(context);
  return {};
}

void AvrDriver::ProgramHeld(FamilyContext& context) {
  if (IsPagedAvr(context.Device())) return avr_paged::ProgramHeld(context);
  LockBits(context);
}

bool AvrDriver::LockBits(FamilyContext& context) {
  context.SetText(text::kProgrammingConfiguration);
  context.Work().CreateConfig();
  return Concluded(context, ProgramSpiMicroConf(context.Lines(), BoxLockByte(context),
                                                context.Device().Variant));
}

bool AvrDriver::Erase(FamilyContext& context) {
  if (IsPagedAvr(context.Device())) return avr_paged::Erase(context);
  return Concluded(context, AvrChipErase(context.Lines(), context.Device().Variant));
}

bool AvrDriver::ProgramConfig(FamilyContext& context) {
  if (IsPagedAvr(context.Device())) return avr_paged::ProgramConfig(context);
  return LockBits(context);
}

bool AvrDriver::HasId(const DeviceDescriptor& device) const {
  return IsPagedAvr(device);
}

IdReading AvrDriver::ReadId(FamilyContext& context) {
  return avr_paged::ReadId(context);
}

std::string AvrDriver::IdText(std::uint32_t id) const {
  return HexDigits(id, 6) + "h";
}

}  // namespace kestrum
