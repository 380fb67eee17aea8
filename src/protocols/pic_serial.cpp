// SPDX-License-Identifier: GPL-3.0-or-later
// PIC serial programming: frames, erase and the three workers.
#include "protocols/pic_serial.hpp"

#include <algorithm>
#include <span>

namespace kestrum {

std::uint16_t AddParityBits(std::uint16_t word) {
  int even = 0;
  int odd = 0;
  for (int bit = 0; bit < 14; bit += 2) {
    even ^= (word >> bit) & 1;
    odd ^= (word >> (bit + 1)) & 1;
  }
  return static_cast<std::uint16_t>(((word << 2) & 0xFFFF) | ((odd ^ 1) << 1) | even);
}

std::uint16_t PicParityCell(std::uint16_t word) {
  word &= 0x3FFF;
  return word == 0x3FFF ? 0xFFFF : AddParityBits(word);
}

std::uint16_t PicParityData(std::uint16_t cell) {
  return static_cast<std::uint16_t>(cell >> 2);
}

void PicSerial::PicCommand(std::uint16_t command, std::int32_t data) {
  Frame(command, data, receivedWord_);
  // The caller looks at the word now.
  if (data == pic::kRead) lines_.ResolveSamples();
}

void PicSerial::ReadInto(std::uint16_t readCommand, std::uint16_t& word) {
  Frame(readCommand, pic::kRead, word);
}

void PicSerial::Frame(std::uint16_t command, std::int32_t data, std::uint16_t& word) {
  if (data == pic::kRead && timing_.ReadSettleMs > 0) {
    // The settle before a read is for serial ports whose modem lines slew slowly. A port that
    // streams sets its pins at their exact step, so only the part's own delay between command
    // and data (1 µs) and the cable's level shifters remain, well inside this margin.
    if (lines_.Streaming()) {
      lines_.DelayMicroseconds(std::min(timing_.ReadSettleMs * 1000, kStreamReadSettleUs));
    } else {
      lines_.SleepMs(timing_.ReadSettleMs);
    }
  }
  // With data -1 every bit from bit 7 up is a 1; bit 6, the start bit's slot, stays 0
  // because command codes are below 64.
  std::uint32_t shift = (command & 0xFFu) + static_cast<std::uint32_t>(data) * 128u;
  const int clocks = command >> 8;
  // The Data In sample at the falling edge of clock i (from 0) is bit i - 7 of the word: the
  // data bits of the 8th clock onwards; the sample after the last clock is not used.
  const int lastBit = clocks - 9;
  word = 0;
  lines_.EnterCritical();
  for (int i = 0; i < clocks; ++i) {
    const int bit = i - 7;
    const bool kept = data == pic::kRead && lastBit < 16 && bit >= 0 && bit <= lastBit;
    lines_.ClockBit(static_cast<std::uint8_t>(shift & 1), kept ? &word : nullptr, bit);
    shift >>= 1;
  }
  lines_.LeaveCritical();
}

void PicSerial::PicDisableCodeProtect() {
  lines_.VppOn();
  PicCommand(pic::kLoadConfiguration, 0x3FFF);
  for (int i = 0; i < 7; ++i) PicCommand(pic::kIncrementAddress, 0);
  // The begin commands here are the erase cycle's, not the device's BeginProgramCommand.
  PicCommand(pic::kProtectCommand1, 0);
  PicCommand(pic::kProtectCommand7, 0);
  PicCommand(pic::kBeginProgramming, 0);
  lines_.SleepMs(timing_.EraseWaitMs);
  PicCommand(pic::kLoadData, 0x3FFF);
  PicCommand(pic::kBeginProgramming, 0);
  lines_.SleepMs(timing_.EraseWaitMs);
  PicCommand(pic::kProtectCommand1, 0);
  PicCommand(pic::kProtectCommand7, 0);
}

namespace {

// Programming mode is entered with the lines at rest, VDD first, then VPP after a part-specific
// gap, then a settle time before the first frame; it is left with VPP off before the rest.
// Parts that may run their program as soon as they have VDD take VPP first (TPPDP 5 µs).
void EnterProgrammingMode(LineContext& lines, const PicTiming& timing, int vddToVppUs,
                          int settleMs) {
  lines.AllLinesOff();
  lines.DelayMicroseconds(100);
  if (timing.VppFirst) {
    lines.VppOn();
    lines.DelayMicroseconds(kPicVppToVddUs);
    lines.PowerOn();
  } else {
    lines.PowerOn();
    if (vddToVppUs > 0) lines.DelayMicroseconds(vddToVppUs);
    lines.VppOn();
  }
  if (timing.EntrySettleUs >= 0) {
    lines.DelayMicroseconds(timing.EntrySettleUs);
  } else {
    lines.SleepMs(settleMs);
  }
}

}  // namespace

void EnterPicProgrammingMode(LineContext& lines, const PicTiming& timing, int vddToVppUs,
                             int settleMs) {
  EnterProgrammingMode(lines, timing, vddToVppUs, settleMs);
}

namespace {

void LeaveProgrammingMode(LineContext& lines) {
  lines.VppOff();
  lines.AllLinesOff();
  lines.ClosePort();
}

}  // namespace

void LeavePicProgrammingMode(LineContext& lines) {
  LeaveProgrammingMode(lines);
}

bool PicErase(LineContext& lines, const PicTiming& timing) {
  if (!lines.OpenPort()) return false;
  EnterProgrammingMode(lines, timing, 20, 300);
  PicSerial link(lines, timing);
  link.PicDisableCodeProtect();
  LeaveProgrammingMode(lines);
  return true;
}

// ---- workers ----

TProgthread::TProgthread(const LineContext& lines, const PicTiming& timing, int count)
    : OperationWorker(lines, count),
      Words(static_cast<std::size_t>(std::max(count, 0))),
      timing_(timing) {}

void TProgthread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  EnterProgrammingMode(lines_, timing_, 20, 300);
  PicSerial link(lines_, timing_);
  link.PicCommand(StartCommand, 0);
  for (int i = 0; i < Count; ++i) {
    ProgressAt(i);
    // Nothing here depends on the word: on a port that streams, the reads go out together.
    link.ReadInto(ReadCommand, Words[i]);
    link.PicCommand(pic::kIncrementAddress, 0);
    if (StopRequested()) break;
  }
  ProgressDone();
  LeaveProgrammingMode(lines_);
}

TProgramThread::TProgramThread(const LineContext& lines, const PicTiming& timing, int count)
    : OperationWorker(lines, count),
      Words(static_cast<std::size_t>(std::max(count, 0))),
      timing_(timing) {}

void TProgramThread::Body() {
  Failed = false;
  ProgressRange();
  if (!OpenPort()) return;
  EnterProgrammingMode(lines_, timing_, 100, 400);
  PicSerial link(lines_, timing_);
  link.PicCommand(StartCommand, 0);
  for (int i = 0; i < Count; ++i) {
    ProgressAt(i);
    const std::uint16_t word = static_cast<std::uint16_t>(Words[i] & Mask);
    if (SkipErased && word == Mask) {
      link.PicCommand(pic::kIncrementAddress, 0);
      if (StopRequested()) break;
      continue;
    }
    // Read before write: a word that already holds its value costs no programming cycle.
    if (!link.Holds(ReadCommand, word, Mask)) {
      link.PicCommand(LoadCommand, word);
      link.PicCommand(timing_.BeginProgramCommand, 0);
      lines_.SleepMs(timing_.ProgramWaitMs);
      if (VerifyDuringProgramming && !link.Holds(ReadCommand, word, Mask)) {
        Failed = true;
        FailAddress = i;
        break;
      }
    }
    link.PicCommand(pic::kIncrementAddress, 0);
    if (StopRequested()) break;
  }
  ProgressDone();
  LeaveProgrammingMode(lines_);
}

TOverProgThread::TOverProgThread(const LineContext& lines, const PicTiming& timing, int count)
    : OperationWorker(lines, count),
      Words(static_cast<std::size_t>(std::max(count, 0))),
      timing_(timing) {}

void TOverProgThread::ProgramPulse(PicSerial& link, std::uint16_t word) {
  link.PicCommand(LoadCommand, word);
  // The inner frames only nest the critical section: the pulse from begin to end is not
  // stretched by an interruption.
  lines_.EnterCritical();
  link.PicCommand(timing_.BeginProgramCommand, 0);
  lines_.DelayMicroseconds(100);
  link.PicCommand(pic::kEndProgramming, 0);
  lines_.LeaveCritical();
  lines_.SleepMs(timing_.OverProgramWaitMs);
}

void TOverProgThread::Body() {
  Failed = false;
  ProgressRange();
  if (!OpenPort()) return;
  EnterProgrammingMode(lines_, timing_, 0, 100);
  PicSerial link(lines_, timing_);
  link.PicCommand(StartCommand, 0);
  lines_.SetDataLine(0);
  int factor = PulseFactor;
  int maxPulses = MaxPulses;
  int extra = PulseExtra;
  for (int i = 0; i < Count; ++i) {
    ProgressAt(i);
    const std::uint16_t word = static_cast<std::uint16_t>(Words[i] & Mask);
    // An erased word needs no pulse and is not even read.
    if (word != Mask) {
      if (ConfigWordSpecial == 1 && Count == 8 && i == 7) {
        factor = ConfigPulseFactor;
        maxPulses = ConfigMaxPulses;
        extra = ConfigPulseExtra;
      }
      link.PicCommand(ReadCommand, pic::kRead);
      int pulses = 0;
      // EPROM bits only go from 1 to 0: pulse while a bit that must be 0 still reads 1.
      auto unprogrammed = [&] {
        return (link.ReceivedWord() & Mask & ~static_cast<std::uint32_t>(word)) != 0;
      };
      while (unprogrammed() && pulses < maxPulses) {
        ++pulses;
        ProgramPulse(link, word);
        link.PicCommand(ReadCommand, pic::kRead);
      }
      // A word that has not taken within the maximum is a failing cell: over-programming
      // may still make it read right, but it would not hold its charge.
      if (VerifyDuringProgramming && maxPulses > 0 && unprogrammed()) {
        Failed = true;
        FailAddress = i;
        break;
      }
      const int overPulses = factor * pulses + extra;
      for (int k = 0; k < overPulses; ++k) ProgramPulse(link, word);
      if (VerifyDuringProgramming && !link.Holds(ReadCommand, word, Mask)) {
        Failed = true;
        FailAddress = i;
        break;
      }
    }
    link.PicCommand(pic::kIncrementAddress, 0);
    if (StopRequested()) break;
  }
  ProgressDone();
  LeaveProgrammingMode(lines_);
}

// ---- setup ----

int PicCodeCountShown(const DeviceDescriptor& device) {
  return device.Is12Bit ? device.CodeSize - 4 : device.CodeSize;
}

int PicCalibrationIndex(const DeviceDescriptor& device) {
  return PicCodeCountShown(device) - 1;
}

std::uint16_t PicCodeWord(const DeviceDescriptor& device, std::uint16_t received) {
  // A 24-clock read frame brings the whole 16-bit cell of a parity part, bit 0 first: the
  // word sits above the two parity bits.
  if (device.HasParity) received = PicParityData(received);
  return static_cast<std::uint16_t>(received & device.BlankValue);
}

std::uint16_t PicConfigAreaWord(const DeviceDescriptor& device, std::uint16_t received) {
  return device.HasParity ? PicParityData(received) : received;
}

std::uint16_t PicDataByte(std::uint16_t received) {
  return static_cast<std::uint16_t>(received & 0xFF);
}

namespace {

std::uint16_t ReadCommandFor(const DeviceDescriptor& device) {
  return device.HasParity ? pic::kReadProgramParity : pic::kReadProgram;
}

std::uint16_t LoadCommandFor(const DeviceDescriptor& device) {
  return device.HasParity ? pic::kLoadProgramParity : pic::kLoadProgram;
}

// The words a worker is given: the buffer's, as the part's cells on parity parts.
void CopyWords(const DeviceDescriptor& device, std::vector<std::uint16_t>& to,
               std::span<const std::uint16_t> from) {
  std::copy_n(from.begin(), std::min(to.size(), from.size()), to.begin());
  if (device.HasParity) {
    for (std::uint16_t& w : to) w = PicParityCell(w);
  }
}

std::unique_ptr<TOverProgThread> OverProgrammer(const DeviceDescriptor& device,
                                                const LineContext& lines, const PicTiming& timing,
                                                int count) {
  auto worker = std::make_unique<TOverProgThread>(lines, timing, count);
  worker->ReadCommand = ReadCommandFor(device);
  worker->LoadCommand = LoadCommandFor(device);
  worker->Mask = device.HasParity ? 0xFFFF : device.BlankValue;
  worker->PulseFactor = device.OverProgramFactor;
  worker->PulseExtra = device.OverProgramExtra;
  worker->MaxPulses = device.MaxProgramPulses;
  return worker;
}

}  // namespace

std::unique_ptr<TProgthread> PicCodeReader(const DeviceDescriptor& device, const LineContext& lines,
                                           const PicTiming& timing) {
  auto worker = std::make_unique<TProgthread>(lines, timing, device.CodeSize);
  worker->StartCommand = device.CodeEntryCommand;
  worker->ReadCommand = ReadCommandFor(device);
  return worker;
}

std::unique_ptr<TProgthread> PicDataReader(const DeviceDescriptor& device, const LineContext& lines,
                                           const PicTiming& timing) {
  auto worker = std::make_unique<TProgthread>(lines, timing, std::max(device.DataSize, 0));
  worker->StartCommand = 0;
  worker->ReadCommand = pic::kReadData;
  return worker;
}

std::unique_ptr<TProgthread> PicConfigReader(const DeviceDescriptor& device,
                                             const LineContext& lines, const PicTiming& timing) {
  auto worker = std::make_unique<TProgthread>(lines, timing, device.ConfigAreaWords);
  worker->StartCommand = device.ConfigEntryCommand;
  worker->ReadCommand = ReadCommandFor(device);
  return worker;
}

std::unique_ptr<OperationWorker> PicCodeProgrammer(const DeviceDescriptor& device,
                                                   const LineContext& lines,
                                                   const PicTiming& timing, const BufferSlot& slot,
                                                   bool verify, bool skipErased) {
  if (device.IsEprom) {
    auto worker = OverProgrammer(device, lines, timing, device.CodeSize);
    worker->StartCommand = device.CodeEntryCommand;
    worker->VerifyDuringProgramming = verify;
    CopyWords(device, worker->Words, slot.CodeBuffer);
    return worker;
  }
  auto worker = std::make_unique<TProgramThread>(lines, timing, device.CodeSize);
  worker->StartCommand = device.CodeEntryCommand;
  worker->ReadCommand = ReadCommandFor(device);
  worker->LoadCommand = LoadCommandFor(device);
  worker->Mask = device.HasParity ? 0xFFFF : device.BlankValue;
  worker->VerifyDuringProgramming = verify;
  worker->SkipErased = skipErased;
  CopyWords(device, worker->Words, slot.CodeBuffer);
  return worker;
}

std::unique_ptr<TProgramThread> PicDataProgrammer(const DeviceDescriptor& device,
                                                  const LineContext& lines, const PicTiming& timing,
                                                  const BufferSlot& slot, bool verify,
                                                  bool skipErased) {
  auto worker = std::make_unique<TProgramThread>(lines, timing, std::max(device.DataSize, 0));
  worker->SkipErased = skipErased;
  worker->StartCommand = 0;
  worker->ReadCommand = pic::kReadData;
  worker->LoadCommand = pic::kLoadData;
  worker->Mask = 0xFF;
  worker->VerifyDuringProgramming = verify;
  // Data bytes have no parity bits.
  std::copy_n(slot.DataBuffer.begin(), worker->Words.size(), worker->Words.begin());
  return worker;
}

std::unique_ptr<OperationWorker> PicConfigProgrammer(const DeviceDescriptor& device,
                                                     const LineContext& lines,
                                                     const PicTiming& timing,
                                                     const BufferSlot& slot) {
  if (device.IsEprom) {
    auto worker = OverProgrammer(device, lines, timing, device.ConfigAreaWords);
    worker->StartCommand = device.ConfigEntryCommand;
    worker->ConfigWordSpecial = 1;
    worker->ConfigPulseFactor = 0;
    worker->ConfigMaxPulses = 0;
    worker->ConfigPulseExtra = kConfigWordPulses;
    CopyWords(device, worker->Words, slot.ConfigArea);
    return worker;
  }
  auto worker = std::make_unique<TProgramThread>(lines, timing, device.ConfigAreaWords);
  worker->StartCommand = device.ConfigEntryCommand;
  // The cells of a parity part travel in 24-clock frames here too.
  worker->ReadCommand = ReadCommandFor(device);
  worker->LoadCommand = LoadCommandFor(device);
  worker->Mask = 0xFFFF;
  CopyWords(device, worker->Words, slot.ConfigArea);
  return worker;
}

}  // namespace kestrum
