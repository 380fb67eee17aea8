// SPDX-License-Identifier: GPL-3.0-or-later
// Parallel PIC programming on the TAIT Parallel: the port, the workers and the family driver.
#include "protocols/parallel_pic.hpp"

#include <algorithm>

#include "hardware/programmer_types.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

// Data register lines.
constexpr std::uint8_t kProgramPulse = 0x01;
constexpr std::uint8_t kLatch = 0x02;
constexpr std::uint8_t kLowBits = 0x04;
constexpr std::uint8_t kHighBits = 0x08;
constexpr std::uint8_t kShiftClock = 0x10;
constexpr std::uint8_t kShifting = 0x20;  // low while a word is shifted or programmed
// Control shadow while programming mode is on (VDD and VPP); the port inverts bits 0, 1, 3.
constexpr std::uint8_t kProgrammingMode = 0x0C;
constexpr std::uint8_t kControlInverted = 0x0B;
// Status bits, with BUSY put right.
constexpr std::uint8_t kStatusInverted = 0x80;
constexpr std::uint8_t kHighBitIn = 0x10;
constexpr std::uint8_t kLowBitIn = 0x20;
constexpr std::uint8_t k28PinJumper = 0x08;

}  // namespace

std::uint16_t FromPin18Order(std::uint16_t w) {
  return static_cast<std::uint16_t>(((w & 0x3) << 2) | ((w >> 2) & 0x3) | ((w >> 1) & 0x7F0) |
                                    ((w & 0x10) << 7));
}

std::uint16_t ToPin18Order(std::uint16_t w) {
  return static_cast<std::uint16_t>(((w >> 2) & 0x3) | ((w & 0x3) << 2) | ((w & 0x7F0) << 1) |
                                    ((w >> 7) & 0x10));
}

ParallelPicPort::ParallelPicPort(LineContext& lines) : lines_(lines), base_(lines.PortBase()) {}

bool ParallelPicPort::SensePinCount() {
  pin18_ = !(Status() & k28PinJumper);
  return pin18_;
}

void ParallelPicPort::WriteData() {
  lines_.PortOut(base_ + reg::kData, data_);
}

void ParallelPicPort::Set(std::uint8_t mask) {
  data_ |= mask;
  WriteData();
}

void ParallelPicPort::Clear(std::uint8_t mask) {
  data_ = static_cast<std::uint8_t>(data_ & ~mask);
  WriteData();
}

void ParallelPicPort::SetControl(std::uint8_t shadow) {
  control_ = shadow;
  lines_.PortOut(base_ + reg::kControl, static_cast<std::uint8_t>(shadow ^ kControlInverted));
}

std::uint8_t ParallelPicPort::Status() {
  return static_cast<std::uint8_t>(lines_.PortIn(base_ + reg::kStatus) ^ kStatusInverted);
}

void ParallelPicPort::Pulse(std::uint8_t mask) {
  lines_.PortOut(base_ + reg::kData, static_cast<std::uint8_t>(data_ ^ mask));
  lines_.DelayMicroseconds(100);
  WriteData();
}

void ParallelPicPort::Off() {
  data_ = 0xFF;
  WriteData();
  SetControl(0);
  lines_.SleepMs(25);
}

void ParallelPicPort::EnterProgrammingMode() {
  Off();
  Set(kProgramPulse);
  Clear(kLatch);
  Clear(0x40);
  Clear(0x80);
  lines_.SleepMs(25);
  SetControl(kProgrammingMode);
  lines_.SleepMs(1);
}

void ParallelPicPort::ShiftOut(std::uint16_t word) {
  Clear(kShifting);
  if (pin18_) word = ToPin18Order(word);
  auto high = static_cast<std::uint8_t>(word >> 4);
  auto low = static_cast<std::uint8_t>(word & 0x0F);  // out on the last four clocks
  for (int i = 0; i < 8; ++i) {
    data_ =
        static_cast<std::uint8_t>((data_ & ~(kHighBits | kLowBits)) |
                                  ((high & 0x80) ? kHighBits : 0) | ((low & 0x80) ? kLowBits : 0));
    Pulse(kShiftClock);
    high = static_cast<std::uint8_t>(high << 1);
    low = static_cast<std::uint8_t>(low << 1);
  }
  Set(kShifting);
}

std::uint16_t ParallelPicPort::ShiftIn() {
  Clear(kShifting);
  unsigned high = 0;
  unsigned low = 0;
  for (int i = 0; i < 8; ++i) {
    const std::uint8_t status = Status();
    high = high * 2 + ((status & kHighBitIn) ? 1 : 0);
    low = low * 2 + ((status & kLowBitIn) ? 1 : 0);
    Pulse(kShiftClock);
  }
  auto word = static_cast<std::uint16_t>(high * 16 + (low & 0x0F));
  if (pin18_) word = FromPin18Order(word);
  Set(kShifting);
  return word;
}

std::uint16_t ParallelPicPort::LatchAndRead() {
  Set(kLatch);
  Pulse(kShiftClock);
  Clear(kLatch);
  lines_.DelayMicroseconds(100);
  return ShiftIn();
}

std::uint16_t ParallelPicPort::ProgramPulses(int n, std::uint16_t word) {
  ShiftOut(word);
  for (int k = 0; k < n; ++k) {
    Clear(kShifting);
    lines_.DelayMicroseconds(100);
    Pulse(kProgramPulse);
    lines_.DelayMicroseconds(100);
    Set(kShifting);
    lines_.DelayMicroseconds(100);
    if (k == n - 1) {
      // The reading registers take the part's word for the read-back.
      Clear(kProgramPulse);
      Pulse(kShiftClock);
      Set(kProgramPulse);
    } else {
      Pulse(kProgramPulse);
    }
    lines_.DelayMicroseconds(100);
  }
  return ShiftIn();
}

bool ParallelPicPort::ProgramWord(std::uint16_t word) {
  int retries = 0;
  bool taken = ProgramPulses(1, word) == word;
  while (!taken && retries < parallel_pic::kMaxRetries) {
    ++retries;
    taken = ProgramPulses(1, word) == word;
  }
  const int over =
      std::min(parallel_pic::kOverProgramFactor * retries, parallel_pic::kMaxOverProgramPulses);
  const std::uint16_t after = ProgramPulses(over, word);
  // Without over-programming pulses nothing is read back, and the single pulse's read counts.
  return taken && (over == 0 || after == word);
}

// ---- workers ----

namespace {

void AnnouncePinCount(LineContext& lines, ParallelPicPort& port) {
  lines.ui().Message(MessageKind::Information,
                     port.SensePinCount() ? text::kPin18Setting : text::kPin28Setting);
}

}  // namespace

TParallelPicReadThread::TParallelPicReadThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TParallelPicReadThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  ParallelPicPort port(lines_);
  AnnouncePinCount(lines_, port);
  port.Off();
  lines_.SleepMs(100);
  port.EnterProgrammingMode();
  lines_.SleepMs(400);
  ConfigWord = port.LatchAndRead();
  for (int i = 0; i < Count; ++i) {
    ProgressAt(i);
    Words[i] = port.LatchAndRead() & parallel_pic::kWordMask;
    if (StopRequested()) break;
  }
  if (ReadConfigAgain && !StopRequested()) {
    port.Off();
    lines_.SleepMs(200);
    port.EnterProgrammingMode();
    lines_.SleepMs(400);
    ConfigWord = port.LatchAndRead();
  }
  port.Off();
  ProgressDone();
  lines_.ClosePort();
}

TParallelPicProgThread::TParallelPicProgThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TParallelPicProgThread::Body() {
  Failed = false;
  ProgressRange();
  if (!OpenPort()) return;
  ParallelPicPort port(lines_);
  if (Announce) {
    AnnouncePinCount(lines_, port);
  } else {
    port.SensePinCount();
  }
  if (Count > 0) {
    port.Off();
    lines_.SleepMs(100);
    port.EnterProgrammingMode();
    lines_.SleepMs(400);
    port.LatchAndRead();  // steps from the configuration word to address 0
    for (int i = 0; i < Count; ++i) {
      ProgressAt(i);
      if (!port.ProgramWord(Words[i] & parallel_pic::kWordMask)) {
        Failed = true;
        FailAddress = i;
        break;
      }
      port.LatchAndRead();
      if (StopRequested()) break;
    }
  }
  // After Cancel the configuration word, which may protect the part, is not written.
  if (ConfigWord && !Failed && !StopRequested()) {
    // Entering programming mode again puts the counter on the configuration word.
    port.Off();
    lines_.SleepMs(200);
    port.EnterProgrammingMode();
    lines_.SleepMs(400);
    port.ProgramPulses(parallel_pic::kConfigWordPulses, *ConfigWord & parallel_pic::kWordMask);
  }
  port.Off();
  ProgressDone();
  lines_.ClosePort();
}

// ---- the family driver ----

void ParallelPicDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  TParallelPicReadThread reader(context.Lines(), device.CodeSize);
  reader.ReadConfigAgain = context.Purpose() == ReadPurpose::ReadAll;
  if (!context.Run(reader)) return;
  context.Store(Region::Code, 0, reader.Words);
  const std::uint16_t config = reader.ConfigWord;
  context.Store(Region::Config, device.ConfigWordIndex, std::span(&config, 1));
}

namespace {

// The configuration box folded into the slot: its configuration word.
std::uint16_t ConfigurationWord(FamilyContext& context) {
  context.Work().CreateConfig();
  return context.Work()
      .Active()
      .ConfigArea[static_cast<std::size_t>(context.Device().ConfigWordIndex)];
}

bool ProgramConfiguration(FamilyContext& context, bool announce) {
  TParallelPicProgThread programmer(context.Lines(), 0);
  programmer.ConfigWord = ConfigurationWord(context);
  programmer.Announce = announce;
  return context.Run(programmer);
}

}  // namespace

ProgramOutcome ParallelPicDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  ProgramOutcome outcome;
  TParallelPicProgThread programmer(context.Lines(), device.CodeSize);
  const std::vector<std::uint16_t>& code = context.Work().Active().CodeBuffer;
  std::copy_n(code.begin(), programmer.Words.size(), programmer.Words.begin());
  // A protected part reads back as zeros: with protection chosen, the configuration word
  // waits for the verify.
  const bool hold = context.Options().Verify && context.Work().Config.CodeProtectSelected();
  const std::uint16_t config = ConfigurationWord(context);
  if (!hold) programmer.ConfigWord = config;
  if (!context.Run(programmer)) return outcome;
  if (programmer.Failed) {
    context.ProgrammingFailed(Region::Code, programmer.FailAddress);
    return outcome;
  }
  outcome.Held = hold;
  return outcome;
}

void ParallelPicDriver::ProgramHeld(FamilyContext& context) {
  context.SetText(text::kProgrammingConfiguration);
  ProgramConfiguration(context, false);
}

bool ParallelPicDriver::Erase(FamilyContext& /*context*/) {
  // Not offered: an EPROM part is erased with ultraviolet light.
  return false;
}

bool ParallelPicDriver::ProgramConfig(FamilyContext& context) {
  return ProgramConfiguration(context, true);
}

int ParallelPicDriver::CodeCheckCount(const DeviceDescriptor& device) const {
  // The four ID words after program memory are not compared.
  return device.CodeSize - (device.Is12Bit ? 4 : 0);
}

}  // namespace kestrum
