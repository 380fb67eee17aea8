// SPDX-License-Identifier: GPL-3.0-or-later
// Microwire and 4-wire EEPROM workers.
#include "protocols/microwire.hpp"

#include <algorithm>

#include "hardware/bus.hpp"

namespace kestrum {
namespace {

void Select(LineContext& lines) {
  lines.VppOnFast();
}

void Deselect(LineContext& lines) {
  lines.VppOff();
}

// At most 8 bits go out per shift: a wider field sends its high bits first, then the low 8.
void SendAddress(LineContext& lines, int address, int bits) {
  if (bits > 8) {
    ShiftOutBits(lines, static_cast<std::uint8_t>(address >> 8), bits - 8);
    bits = 8;
  }
  ShiftOutBits(lines, static_cast<std::uint8_t>(address), bits);
}

void SendInstruction(LineContext& lines, std::uint8_t instruction, int instructionBits, int address,
                     int addressBits) {
  ShiftOutBits(lines, instruction, instructionBits);
  SendAddress(lines, address, addressBits);
}

// One READ of the word at `address` into a selected part, which is deselected after it as the
// read worker does. The answer is resolved at once: whether a write follows depends on it.
std::uint16_t ReadNow(LineContext& lines, std::uint8_t read, int readBits, int address,
                      int addressBits) {
  std::uint16_t word = 0;
  SendInstruction(lines, read, readBits, address, addressBits);
  ShiftInWord(lines, word);
  Deselect(lines);
  lines.DelayMicroseconds(kEepromSelectWaitUs);
  lines.ResolveSamples();
  return word;
}

void PowerUp(LineContext& lines) {
  lines.AllLinesOff();
  lines.DelayMicroseconds(100);
  lines.PowerOn();
  lines.SleepMs(kEepromPowerUpMs);
}

// Data and clock are left low: the JDM, which has no supply switch to idle it, would otherwise
// keep its data line high after the part's last answer.
void PowerDown(LineContext& lines) {
  lines.SetDataClock(0);
  lines.AllLinesOff();
  lines.ClosePort();
}

std::vector<std::uint16_t> WordsFor(int count) {
  return std::vector<std::uint16_t>(static_cast<std::size_t>(std::max(count, 0)));
}

}  // namespace

int EepromAddressBits(int count, int addressWidthAdjust) {
  int bits = 0;
  for (int n = count; n > 1; n /= 2) ++bits;
  return bits + addressWidthAdjust;
}

int MicrowireAddressWidthAdjust(int variant) {
  return variant == 1 ? 1 : variant == 2 ? 2 : 0;
}

// ---- Microwire ----

TMicroReadThread::TMicroReadThread(const LineContext& lines, int count, int addressWidthAdjust)
    : OperationWorker(lines, count),
      AddressWidthAdjust(addressWidthAdjust),
      Words(WordsFor(count)) {}

void TMicroReadThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  Select(lines_);
  lines_.SleepMs(kEepromPowerUpMs);
  const int addressBits = EepromAddressBits(Count, AddressWidthAdjust);
  for (int i = 0; i < Count; ++i) {
    Select(lines_);
    lines_.DelayMicroseconds(kEepromSelectWaitUs);
    ProgressAt(i);
    SendInstruction(lines_, microwire::kRead, microwire::kInstructionBits, i, addressBits);
    ShiftInWord(lines_, Words[i]);
    Deselect(lines_);
    lines_.DelayMicroseconds(kEepromSelectWaitUs);
    if (StopRequested()) break;
  }
  ProgressDone();
  lines_.SleepMs(kEepromEndSettleMs);
  lines_.VppOff();
  PowerDown(lines_);
}

TMicroProgThread::TMicroProgThread(const LineContext& lines, int count, int addressWidthAdjust)
    : OperationWorker(lines, count),
      AddressWidthAdjust(addressWidthAdjust),
      Words(WordsFor(count)) {}

void TMicroProgThread::Body() {
  Failed = false;
  NotReady = false;
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  const int addressBits = EepromAddressBits(Count, AddressWidthAdjust);
  Select(lines_);
  lines_.SleepMs(kEepromPowerUpMs);
  SendInstruction(lines_, microwire::kEwen, microwire::kInstructionBits, (1 << addressBits) - 1,
                  addressBits);
  Deselect(lines_);
  lines_.DelayMicroseconds(lines_.Lines().BusDelay);
  Select(lines_);
  lines_.SleepMs(kEepromPowerUpMs);

  constexpr int kPolls = kMicrowireReadyLimitMs * 1000 / kMicrowireReadyPollUs;
  for (int i = 0; i < Count; ++i) {
    ProgressAt(i);
    if (WriteOnlyDiffers) {
      const bool held = ReadNow(lines_, microwire::kRead, microwire::kInstructionBits, i,
                                addressBits) == Words[i];
      // Selected again, as after a write's ready poll, for the next start bit.
      Select(lines_);
      lines_.DelayMicroseconds(kEepromSelectWaitUs);
      if (held) {
        if (StopRequested()) break;
        continue;
      }
    }
    // The chip select is still raised: the ready status of the last write ends at this start
    // bit.
    SendInstruction(lines_, microwire::kWrite, microwire::kInstructionBits, i, addressBits);
    ShiftOutWord(lines_, Words[i]);
    Deselect(lines_);  // the write cycle starts
    lines_.SleepMs(kMicrowireWriteStartMs);
    Select(lines_);
    lines_.DelayMicroseconds(kEepromSelectWaitUs);
    lines_.SetDataLine(1);  // released: the part drives its status
    for (int poll = 0;; ++poll) {
      lines_.DelayMicroseconds(kMicrowireReadyPollUs);
      if (StopRequested()) break;
      if (lines_.ReadDataIn() == 1) break;
      if (poll + 1 >= kPolls) {
        NotReady = true;
        Failed = true;
        FailAddress = i;
        break;
      }
    }
    if (NotReady || StopRequested()) break;
  }
  Deselect(lines_);
  lines_.SleepMs(kEepromEndSettleMs);
  ProgressDone();
  PowerDown(lines_);
}

// ---- 4-wire ----

TWire4ReadThread::TWire4ReadThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(WordsFor(count)) {}

void TWire4ReadThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  Select(lines_);
  lines_.SleepMs(kEepromPowerUpMs);
  const int addressBits = EepromAddressBits(Count);
  for (int i = 0; i < Count; ++i) {
    Select(lines_);
    lines_.DelayMicroseconds(kEepromSelectWaitUs);
    ProgressAt(i);
    SendInstruction(lines_, fourwire::kRead, fourwire::kInstructionBits, i, addressBits);
    ShiftInWord(lines_, Words[i]);
    Deselect(lines_);
    lines_.DelayMicroseconds(kEepromSelectWaitUs);
    if (StopRequested()) break;
  }
  ProgressDone();
  PowerDown(lines_);
}

TWire4ProgThread::TWire4ProgThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(WordsFor(count)) {}

void TWire4ProgThread::Body() {
  ProgressRange();
  if (!OpenPort()) return;
  PowerUp(lines_);
  const int addressBits = EepromAddressBits(Count);
  Select(lines_);
  lines_.SleepMs(kEepromPowerUpMs);
  SendInstruction(lines_, fourwire::kEwen, fourwire::kInstructionBits, 0, addressBits);
  Deselect(lines_);
  lines_.DelayMicroseconds(kEepromSelectWaitUs);
  Select(lines_);
  lines_.SleepMs(kEepromPowerUpMs);
  for (int i = 0; i < Count; ++i) {
    ProgressAt(i);
    if (WriteOnlyDiffers) {
      Select(lines_);
      lines_.DelayMicroseconds(kEepromSelectWaitUs);
      if (ReadNow(lines_, fourwire::kRead, fourwire::kInstructionBits, i, addressBits) ==
          Words[i]) {
        if (StopRequested()) break;
        continue;
      }
    }
    Select(lines_);
    lines_.DelayMicroseconds(kEepromSelectWaitUs);
    SendInstruction(lines_, fourwire::kWrite, fourwire::kInstructionBits, i, addressBits);
    ShiftOutWord(lines_, Words[i]);
    Deselect(lines_);  // the write cycle starts; the part gives no sign of its end
    lines_.SleepMs(kFourWireWriteMs);
    if (StopRequested()) break;
  }
  ProgressDone();
  lines_.SleepMs(kEepromEndSettleMs);
  PowerDown(lines_);
}

}  // namespace kestrum
