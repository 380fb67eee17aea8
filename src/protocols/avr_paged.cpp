// SPDX-License-Identifier: GPL-3.0-or-later
// Paged AVR serial programming: workers and the driver's steps.
#include "protocols/avr_paged.hpp"

#include <algorithm>

#include "buffers/workspace.hpp"
#include "core/text.hpp"
#include "hardware/bus.hpp"
#include "protocols/avr.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

// A polled write cycle that is still busy after ten times its datasheet wait (and at least
// 50 ms) never ends: the part is gone or broken.
constexpr std::int64_t kPollLimitFactor = 10;
constexpr std::int64_t kMinPollLimitUs = 50000;

void Send(LineContext& l, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  ShiftOutByte(l, a);
  ShiftOutByte(l, b);
  ShiftOutByte(l, c);
  ShiftOutByte(l, d);
}

// A read instruction whose answer comes into `into` once the deferred samples are in.
void Query(LineContext& l, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint16_t& into) {
  ShiftOutByte(l, a);
  ShiftOutByte(l, b);
  ShiftOutByte(l, c);
  ShiftInByte(l, into);
}

// The same, for an answer that decides the next step.
std::uint8_t Ask(LineContext& l, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  std::uint16_t value = 0;
  Query(l, a, b, c, value);
  l.ResolveSamples();
  return static_cast<std::uint8_t>(value);
}

std::uint8_t High(int address) {
  return static_cast<std::uint8_t>(address >> 8);
}
std::uint8_t Low(int address) {
  return static_cast<std::uint8_t>(address & 0xFF);
}

// After an instruction that starts a write cycle of at most `waitUs`: the RDY/BSY poll until
// the part is ready, or the wait. False when a polled part never got ready.
bool WaitReady(LineContext& l, const AvrPagedTiming& t, int waitUs) {
  if (!t.Poll) {
    l.DelayMicroseconds(waitUs);
    return true;
  }
  const std::int64_t limit = std::max(kPollLimitFactor * waitUs, kMinPollLimitUs);
  const std::int64_t start = l.clock().nowUs();
  for (;;) {
    // The verdict is taken from a poll made after the limit had passed, so a thread held up
    // past it still sees a part that finished meanwhile.
    const bool late = l.clock().nowUs() - start >= limit;
    if ((Ask(l, avr::kPoll, 0x00, 0x00) & 1) == 0) return true;
    if (late) return false;
  }
}

// The supply and /RESET off, the lines low, the port closed; the SCK phases as they were.
void PowerDown(LineContext& l, int busDelay) {
  l.SetDataLine(0);
  l.SetClockLine(0);
  l.VppOff();
  l.AllLinesOff();
  l.ClosePort();
  l.Lines().BusDelay = busDelay;
}

}  // namespace

AvrPagedTiming AvrTimingFor(const DeviceDescriptor& device, const OperationOptions& options) {
  return {.PageBytes = device.PageSize,
          .DataPageBytes = device.DataPageSize,
          .Waits = device.Waits,
          .Poll = device.ReadyPoll && options.AvrPollReady,
          .Attempts = std::max(device.Variant, 1),
          .BusDelayUs = options.AvrSlowSck ? avr::kSlowBusDelayUs : 0,
          .SkipErased = !options.ProgramErasedWords};
}

// ---- reading ----

TAvrPagedRead::TAvrPagedRead(const LineContext& lines, AvrStep step, int count,
                             const AvrPagedTiming& timing)
    : OperationWorker(lines, count),
      Bytes(static_cast<std::size_t>(std::max(count, 0))),
      step_(step),
      timing_(timing) {}

void TAvrPagedRead::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  const int busDelay = lines_.Lines().BusDelay;
  if (timing_.BusDelayUs > 0) lines_.Lines().BusDelay = timing_.BusDelayUs;
  AvrPowerUp(lines_, 100);
  NoAnswer = !AvrProgrammingEnable(lines_, timing_.Attempts, &TerminateRequested);
  for (int i = 0; !NoAnswer && i < Count; ++i) {
    std::uint16_t& into = Bytes[static_cast<std::size_t>(i)];
    switch (step_) {
      case AvrStep::Code: {
        // Program memory by words, low byte first.
        const int word = i / 2;
        ProgressAt(i);
        Query(lines_, i % 2 == 0 ? avr::kReadLow : avr::kReadHigh, High(word), Low(word), into);
        break;
      }
      case AvrStep::Data:
        ProgressAt(i);
        Query(lines_, avr::kReadData, High(i), Low(i), into);
        break;
      case AvrStep::Config: {
        static constexpr std::uint8_t kOps[] = {avr::kReadFuseLowExt, avr::kReadFuseHighLock,
                                                avr::kReadFuseLowExt, avr::kReadFuseHighLock};
        static constexpr std::uint8_t kSelect[] = {0x00, 0x08, 0x08, 0x00};
        if (Masks[static_cast<std::size_t>(i)] == 0) {
          into = 0xFF;  // a fuse byte the part lacks
        } else {
          Query(lines_, kOps[i], kSelect[i], 0x00, into);
        }
        break;
      }
      case AvrStep::Signature:
        Query(lines_, avr::kReadSignature, 0x00, static_cast<std::uint8_t>(i), into);
        break;
      case AvrStep::Erase:
        break;
    }
    if (StopRequested()) break;
  }
  ProgressDone();
  PowerDown(lines_, busDelay);
}

// ---- programming ----

TAvrPagedProgram::TAvrPagedProgram(const LineContext& lines, AvrStep step, int count,
                                   const AvrPagedTiming& timing)
    : OperationWorker(lines, count),
      Bytes(static_cast<std::size_t>(std::max(count, 0)), 0xFF),
      step_(step),
      timing_(timing) {}

bool TAvrPagedProgram::ChipErase() {
  Send(lines_, avr::kEnable, avr::kChipErase, 0x00, 0x00);
  if (WaitReady(lines_, timing_, timing_.Waits.EraseUs)) return true;
  Failed = true;
  FailAddress = 0;
  return false;
}

// Each page: its words loaded into the page buffer, low byte then high byte, then Write
// Program Memory Page with the page's word address. A page all FFh is what the chip erase left:
// it is not written unless the options ask for every page.
bool TAvrPagedProgram::Flash() {
  const int page = std::max(timing_.PageBytes, 2);
  for (int start = 0; start < Count; start += page) {
    const auto first = Bytes.begin() + start;
    const auto end = Bytes.begin() + std::min(start + page, Count);
    if (timing_.SkipErased &&
        std::all_of(first, end, [](std::uint16_t b) { return (b & 0xFF) == 0xFF; })) {
      continue;
    }
    for (int i = start; i < std::min(start + page, Count); ++i) {
      ProgressAt(i);
      const int word = i / 2;
      Send(lines_, i % 2 == 0 ? avr::kLoadPageLow : avr::kLoadPageHigh, High(word), Low(word),
           static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(i)]));
    }
    const int word = start / 2;
    Send(lines_, avr::kWritePage, High(word), Low(word), 0x00);
    if (!WaitReady(lines_, timing_, timing_.Waits.ProgramUs)) {
      Failed = true;
      FailAddress = start;
      return false;
    }
    if (StopRequested()) return false;
  }
  return true;
}

// By pages through the EEPROM page buffer where the part has one, else byte by byte.
bool TAvrPagedProgram::Eeprom() {
  const int page = std::max(timing_.DataPageBytes, 1);
  for (int start = 0; start < Count; start += page) {
    for (int i = start; i < std::min(start + page, Count); ++i) {
      ProgressAt(i);
      const auto value = static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(i)]);
      if (timing_.DataPageBytes > 0) {
        Send(lines_, avr::kLoadDataPage, 0x00, static_cast<std::uint8_t>(i - start), value);
      } else {
        Send(lines_, avr::kWriteData, High(i), Low(i), value);
      }
    }
    if (timing_.DataPageBytes > 0) Send(lines_, avr::kWriteDataPage, High(start), Low(start), 0x00);
    if (!WaitReady(lines_, timing_, timing_.Waits.DataUs)) {
      Failed = true;
      FailAddress = start;
      return false;
    }
    if (StopRequested()) return false;
  }
  return true;
}

// The fuse bytes the part has, each read back and compared under its mask, then the lock byte
// (fuses first: a programmed LB1 locks them).
bool TAvrPagedProgram::Fuses() {
  static constexpr std::uint8_t kReadOps[] = {avr::kReadFuseLowExt, avr::kReadFuseHighLock,
                                              avr::kReadFuseLowExt};
  static constexpr std::uint8_t kReadSelect[] = {0x00, 0x08, 0x08};
  for (std::size_t k = 0; k < avr::kWriteFuse.size(); ++k) {
    if (Masks[k] == 0) continue;
    const auto value = static_cast<std::uint8_t>(Bytes[k]);
    Send(lines_, avr::kEnable, avr::kWriteFuse[k], 0x00, value);
    if (!WaitReady(lines_, timing_, timing_.Waits.FuseUs)) {
      Failed = true;
      return false;
    }
    const std::uint8_t read = Ask(lines_, kReadOps[k], kReadSelect[k], 0x00);
    if (((read ^ value) & Masks[k]) != 0) {
      FuseFailed = static_cast<int>(k);
      FuseRead = read;
      return false;
    }
  }
  const auto lock = static_cast<std::uint8_t>(Bytes[kAvrLockWord] | ~Masks[kAvrLockWord]);
  if (!WriteLock || lock == 0xFF) return true;  // nothing to program
  Send(lines_, avr::kEnable, avr::kWriteLock, 0x00,
       static_cast<std::uint8_t>(lock | avr::kLockWriteBits));
  if (!WaitReady(lines_, timing_, timing_.Waits.FuseUs)) {
    Failed = true;
    return false;
  }
  return true;
}

void TAvrPagedProgram::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  const int busDelay = lines_.Lines().BusDelay;
  if (timing_.BusDelayUs > 0) lines_.Lines().BusDelay = timing_.BusDelayUs;
  AvrPowerUp(lines_, 100);
  NoAnswer = !AvrProgrammingEnable(lines_, timing_.Attempts, &TerminateRequested);
  if (!NoAnswer) {
    switch (step_) {
      case AvrStep::Code:
        // Flash pages only program from an erased page; the erase clears EEPROM and lock
        // bits too (the EEPROM stays with EESAVE programmed).
        if (ChipErase()) Flash();
        break;
      case AvrStep::Data:
        Eeprom();
        break;
      case AvrStep::Config:
        Fuses();
        break;
      case AvrStep::Erase:
        ChipErase();
        break;
      case AvrStep::Signature:
        break;
    }
  }
  ProgressDone();
  PowerDown(lines_, busDelay);
}

// ---- driver steps ----

namespace avr_paged {
namespace {

// A worker's end: false when the command ends there (the user has been told).
bool Concluded(FamilyContext& context, bool ran, const TAvrPagedProgram& worker, Region region) {
  if (!ran) return false;
  if (worker.NoAnswer) {
    context.ui().Message(MessageKind::Error, text::kNoAnswer);
    context.Failed();
    return false;
  }
  if (worker.Failed) {
    context.ui().Message(MessageKind::Error,
                         region == Region::Config
                             ? std::string(text::kAvrNotReady)
                             : AddressText(text::kWriteNotFinished, worker.FailAddress));
    context.Failed();
    return false;
  }
  if (worker.FuseFailed >= 0) {
    const auto k = static_cast<std::size_t>(worker.FuseFailed);
    context.ui().Message(MessageKind::Error,
                         std::string(text::kFuseFailedBefore) + std::string(text::kFuseBytes[k]) +
                             std::string(text::kFuseFailedReads) + Hex2(worker.FuseRead) +
                             std::string(text::kFuseFailedNot) +
                             Hex2(static_cast<std::uint8_t>(worker.Bytes[k])) +
                             std::string(text::kFuseFailedAfter));
    context.Failed();
    return false;
  }
  return !context.Cancelled();
}

std::array<std::uint16_t, 4> MasksOf(const DeviceDescriptor& device) {
  std::array<std::uint16_t, 4> masks{};
  for (int k = 0; k < 4; ++k) masks[static_cast<std::size_t>(k)] = ConfigWordMask(device, k);
  return masks;
}

// The configuration words as the active slot stores them (the configuration box writes them
// there as it changes).
void TakeConfig(FamilyContext& context, TAvrPagedProgram& worker, bool writeLock) {
  const DeviceDescriptor& device = context.Device();
  const BufferSlot& slot = context.Work().Active();
  for (int k = 0; k < kMaxConfigWords; ++k) {
    worker.Bytes[static_cast<std::size_t>(k)] =
        slot.ConfigArea[static_cast<std::size_t>(device.ConfigWordIndex + k)] & 0xFF;
  }
  worker.Masks = MasksOf(device);
  worker.WriteLock = writeLock;
}

bool ProgramConfigWords(FamilyContext& context, bool writeLock) {
  TAvrPagedProgram config(context.Lines(), AvrStep::Config, kMaxConfigWords,
                          AvrTimingFor(context.Device(), context.Options()));
  TakeConfig(context, config, writeLock);
  return Concluded(context, context.Run(config), config, Region::Config);
}

// The lock byte programs a lock bit.
bool Locks(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  const std::uint16_t mask = ConfigWordMask(device, kAvrLockWord);
  return (context.Work().Active().ConfigArea[device.ConfigWordIndex + kAvrLockWord] & mask) != mask;
}

bool ReadRegion(FamilyContext& context, AvrStep step, Region region, int count) {
  const DeviceDescriptor& device = context.Device();
  context.ShowReadPhase(region, count);
  TAvrPagedRead reader(context.Lines(), step, count, AvrTimingFor(device, context.Options()));
  reader.Masks = MasksOf(device);
  if (!context.Run(reader)) return false;
  if (reader.NoAnswer) {
    context.ui().Message(MessageKind::Error, text::kNoAnswer);
    context.Failed();
    return false;
  }
  context.Store(region, region == Region::Config ? device.ConfigWordIndex : 0, reader.Bytes);
  return !context.Cancelled();
}

}  // namespace

void Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  if (!ReadRegion(context, AvrStep::Code, Region::Code, device.CodeSize)) return;
  if (device.DataSize > 0 && !ReadRegion(context, AvrStep::Data, Region::Data, device.DataSize)) {
    return;
  }
  if (context.Purpose() == ReadPurpose::ReadAll) {
    ReadRegion(context, AvrStep::Config, Region::Config, kMaxConfigWords);
  }
}

ProgramOutcome Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  const AvrPagedTiming timing = AvrTimingFor(device, context.Options());
  const BufferSlot& slot = context.Work().Active();
  TAvrPagedProgram code(context.Lines(), AvrStep::Code, device.CodeSize, timing);
  std::copy_n(slot.CodeBuffer.begin(), code.Bytes.size(), code.Bytes.begin());
  if (!Concluded(context, context.Run(code), code, Region::Code)) return {};
  if (device.DataSize > 0) {
    context.SetText(PhaseText(text::kProgrammingData, device.DataSize));
    TAvrPagedProgram data(context.Lines(), AvrStep::Data, device.DataSize, timing);
    std::copy_n(slot.DataBuffer.begin(), data.Bytes.size(), data.Bytes.begin());
    if (!Concluded(context, context.Run(data), data, Region::Data)) return {};
  }
  // Fuses after flash and EEPROM; the lock bits last, and only once the verify has passed (a
  // part locked against reading would fail it).
  context.SetText(text::kProgrammingConfiguration);
  const bool hold = context.Options().Verify && Locks(context);
  if (!ProgramConfigWords(context, !hold)) return {};
  return {.Held = hold};
}

void ProgramHeld(FamilyContext& context) {
  context.SetText(text::kProgrammingConfiguration);
  ProgramConfigWords(context, true);
}

bool Erase(FamilyContext& context) {
  TAvrPagedProgram erase(context.Lines(), AvrStep::Erase, 0,
                         AvrTimingFor(context.Device(), context.Options()));
  return Concluded(context, context.Run(erase), erase, Region::Code);
}

bool ProgramConfig(FamilyContext& context) {
  return ProgramConfigWords(context, true);
}

IdReading ReadId(FamilyContext& context) {
  TAvrPagedRead reader(context.Lines(), AvrStep::Signature, 3,
                       AvrTimingFor(context.Device(), context.Options()));
  if (!context.Run(reader)) return {.Result = IdReading::Outcome::PortFailed};
  const std::uint32_t id = (reader.Bytes[0] << 16) | (reader.Bytes[1] << 8) | reader.Bytes[2];
  // An erased or missing part reads all ones.
  if (reader.NoAnswer || id == 0xFFFFFF) return {};
  return {.Result = IdReading::Outcome::Read, .Value = id};
}

}  // namespace avr_paged
}  // namespace kestrum
