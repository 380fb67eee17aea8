// SPDX-License-Identifier: GPL-3.0-or-later
// I2C EEPROM workers.
#include "protocols/i2c_eeprom.hpp"

#include <algorithm>

#include "hardware/bus.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

void ShowNoAck(LineContext& lines) {
  lines.ui().Message(MessageKind::Error, text::kNoAcknowledge);
}

// The supply first, then (on boards that feed the socket from it) MCLR; the read worker puts
// the clock low before the part is powered.
void PowerUp(LineContext& lines, bool clockLow, bool mclrAsVcc) {
  lines.AllLinesOff();
  lines.DelayMicroseconds(kI2cPowerUpSettleUs);
  if (clockLow) lines.SetClockLine(0);
  lines.PowerOn();
  lines.SleepMs(kI2cSupplySettleMs);
  if (mclrAsVcc) {
    lines.VppOn();
    lines.SleepMs(kI2cSupplySettleMs);
  }
}

// After the stop condition the data line is brought low too, with the clock already low (no
// condition on the bus): the JDM's AllLinesOff leaves DTR alone, and the line would otherwise
// stay high after the operation.
void RestDataLine(LineContext& lines) {
  lines.SetDataLine(0);
}

}  // namespace

std::uint8_t I2cWriteAddress(int address, bool twoByteAddress, bool blockSelect) {
  if (blockSelect) return static_cast<std::uint8_t>(0xA0 | (((address >> 16) & 1) << 3));
  const int block = twoByteAddress ? 0 : (address >> 8) & 7;
  return static_cast<std::uint8_t>(0xA0 | (block << 1));
}

// ---- read ----

TEpromReadThread::TEpromReadThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TEpromReadThread::Body() {
  NoAck = false;
  ProgressRange();
  if (!OpenPort()) return;
  LineContext& l = lines_;
  PowerUp(l, true, McLrAsVcc);

  // A dummy write of the block's word address 0, then a repeated start into a read from
  // there. The acknowledges of the dummy write are not looked at: the read address tells.
  // The 24LC1025 is read a 64 KiB block at a time: its address counter does not leave one.
  const int blockBytes = BlockSelect ? kI2cSelectBlockBytes : std::max(Count, 1);
  for (int base = 0; !NoAck && base < Count && !StopRequested(); base += blockBytes) {
    const std::uint8_t control = I2cWriteAddress(base, TwoByteAddress, BlockSelect);
    I2cStart(l);
    ShiftOutByte(l, control);
    I2cPassAck(l, kI2cAckLimit);
    if (TwoByteAddress) {
      ShiftOutByte(l, 0x00);
      I2cPassAck(l, kI2cAckLimit);
    }
    ShiftOutByte(l, 0x00);
    I2cPassAck(l, kI2cAckLimit);
    I2cStart(l);
    ShiftOutByte(l, BlockSelect ? static_cast<std::uint8_t>(control | 1) : kI2cReadAddress);
    if (!I2cWaitAck(l, kI2cAckLimit)) {
      ShowNoAck(l);
      NoAck = true;
    }

    // The address counter runs on over the 24C04..16's blocks: one read covers them. Only a
    // byte that another follows is acknowledged, so a cancelled read ends like a whole one.
    const int end = std::min(base + blockBytes, Count);
    for (int i = base; !NoAck && i < end; ++i) {
      ProgressAt(i);
      ShiftInByte(l, Words[i]);
      if (StopRequested() || i == end - 1) break;
      I2cAck(l);
    }
    I2cNack(l);
    I2cStop(l);
  }
  RestDataLine(l);

  ProgressDone();
  l.VppOff();
  l.AllLinesOff();
  if (McLrAsVcc) l.VppOff();
  l.ClosePort();
}

// ---- program ----

TI2CProgThread::TI2CProgThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TI2CProgThread::Missed() {
  ++MissedAcks;
  ShowNoAck(lines_);
}

bool TI2CProgThread::PollAcknowledge(int address) {
  const std::uint8_t control = I2cWriteAddress(address, TwoByteAddress, BlockSelect);
  // The 24LC1025 is polled with the control byte that started its write cycle (DS21941
  // section 6.1); when the next page lies in the other block, that poll ends with a stop.
  if (BlockSelect && lastControl_ >= 0 && lastControl_ != control) {
    if (!Poll(static_cast<std::uint8_t>(lastControl_))) return false;
    I2cStop(lines_);
  }
  lastControl_ = control;
  return Poll(control);
}

bool TI2CProgThread::Poll(std::uint8_t control) {
  LineContext& l = lines_;
  const int limit = ByteWrite ? kI2cBytePollLimit : kI2cPagePollLimit;
  bool acknowledged = false;
  for (int attempts = 0;;) {
    // A part busy with its previous write cycle leaves data high on the ninth clock. The
    // clock stays high into the next attempt, whose start condition needs no new edge.
    I2cStart(l);
    ShiftOutByte(l, control);
    l.DelayMicroseconds(kI2cPollStepUs);
    l.SetDataLine(1);
    l.DelayMicroseconds(kI2cPollStepUs);
    l.SetClockLine(1);
    l.DelayMicroseconds(kI2cPollStepUs);
    // Cancelled: the page is not begun. (Going on as if acknowledged would send the word
    // address to a part that may still be busy, and report each byte it ignores.)
    if (StopRequested()) break;
    ++attempts;
    if (ByteWrite) l.SleepMs(kI2cBytePollSleepMs);
    if (attempts > limit) {
      NoAck = true;
      ShowNoAck(l);
      break;
    }
    if (l.ReadDataIn() == 0) {
      acknowledged = true;
      break;
    }
  }
  // An acknowledged attempt goes on into the word address, without a stop.
  l.SetClockLine(0);
  if (!acknowledged && !NoAck) I2cStop(l);
  return acknowledged;
}

void TI2CProgThread::SendWordAddress(int address) {
  LineContext& l = lines_;
  if (TwoByteAddress) {
    ShiftOutByte(l, static_cast<std::uint8_t>(address >> 8));
    if (!I2cWaitAck(l, kI2cAckLimit)) Missed();
  }
  ShiftOutByte(l, static_cast<std::uint8_t>(address & 0xFF));
  if (!I2cWaitAck(l, kI2cAckLimit)) Missed();
}

bool TI2CProgThread::PageHolds(int address) {
  LineContext& l = lines_;
  SendWordAddress(address);
  I2cStart(l);
  ShiftOutByte(
      l, static_cast<std::uint8_t>(I2cWriteAddress(address, TwoByteAddress, BlockSelect) | 1));
  if (!I2cWaitAck(l, kI2cAckLimit)) {
    I2cStop(l);
    return false;
  }
  // The page comes in one run; nothing depends on a byte before the last is in.
  std::vector<std::uint16_t> held(static_cast<std::size_t>(PageSize));
  for (int k = 0; k < PageSize; ++k) {
    ShiftInByte(l, held[static_cast<std::size_t>(k)]);
    if (k < PageSize - 1) I2cAck(l);
  }
  I2cNack(l);
  I2cStop(l);
  l.ResolveSamples();
  for (int k = 0; k < PageSize; ++k) {
    if ((held[static_cast<std::size_t>(k)] & 0xFF) != (Words[address + k] & 0xFF)) return false;
  }
  return true;
}

void TI2CProgThread::Body() {
  NoAck = false;
  MissedAcks = 0;
  ProgressRange();
  if (!OpenPort()) return;
  LineContext& l = lines_;
  PowerUp(l, false, McLrAsVcc);

  if (ByteWrite) {
    for (int a = 0; a < Count; ++a) {
      if (!PollAcknowledge(a)) break;
      SendWordAddress(a);
      ProgressAt(a);
      ShiftOutByte(l, static_cast<std::uint8_t>(Words[a] & 0xFF));
      if (!I2cWaitAck(l, kI2cAckLimit)) Missed();
      I2cStop(l);
      if (StopRequested()) break;
    }
  } else if (PageSize > 0) {
    // A remainder short of a whole page is not written; every part's size is whole pages.
    const int pages = Count / PageSize;
    int a = 0;
    for (int page = 0; page < pages; ++page) {
      if (!PollAcknowledge(a)) break;
      if (WriteOnlyDiffers) {
        // A page that already holds its bytes costs a read and no write cycle.
        if (PageHolds(a)) {
          ProgressAt(a + PageSize - 1);
          a += PageSize;
          if (StopRequested()) break;
          continue;
        }
        if (!PollAcknowledge(a)) break;
      }
      SendWordAddress(a);
      for (int k = 0; k < PageSize; ++k) {
        ProgressAt(a + k);
        ShiftOutByte(l, static_cast<std::uint8_t>(Words[a + k] & 0xFF));
        // The part takes the page whole or not at all; its acknowledges tell nothing here.
        I2cPassAck(l, kI2cAckLimit);
        if (StopRequested()) break;
      }
      I2cStop(l);  // the part starts its write cycle
      a += PageSize;
      if (StopRequested()) break;
    }
  }
  RestDataLine(l);

  ProgressDone();
  l.SleepMs(kI2cLastWriteMs);
  l.VppOff();
  l.AllLinesOff();
  l.ClosePort();
}

}  // namespace kestrum
