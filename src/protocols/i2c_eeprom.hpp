// SPDX-License-Identifier: GPL-3.0-or-later
// I2C serial EEPROMs (24C01A to 24C512, 24LC1025) on the programmer's data and clock lines:
// the read worker, one sequential read of the whole part from address 0 (on the 24LC1025 one
// per 64 KiB block, which its address counter does not leave), and the program worker, page
// writes (or one byte per write cycle) each started by acknowledge polling. Parts up to 2 KiB
// carry address bits 8 to 10 as block bits in the device address; from the 24C32 up the word
// address is two bytes, high byte first; the 24LC1025 carries address bit 16 as the block
// select bit B0 (bit 3) of its control byte. With "MCLR as Vcc" the MCLR line is raised after
// the supply, for boards that feed the EEPROM socket from it.
#pragma once

#include <cstdint>
#include <vector>

#include "hardware/line_context.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

// The acknowledge of one byte is polled this often (100 µs before each look) before it counts
// as missing.
inline constexpr int kI2cAckLimit = 10000;
// Polling attempts for one write cycle before the part counts as gone: page mode polls without
// pause, byte mode sleeps kI2cBytePollSleepMs after each attempt.
inline constexpr int kI2cPagePollLimit = 1000;
inline constexpr int kI2cBytePollLimit = 5000;
inline constexpr int kI2cBytePollSleepMs = 1;
// Each attempt of acknowledge polling: after the device address, before the ninth clock and
// before Data In is looked at.
inline constexpr int kI2cPollStepUs = 100;
inline constexpr int kI2cPowerUpSettleUs = 100;
inline constexpr int kI2cSupplySettleMs = 100;  // after the supply, and after MCLR as supply
inline constexpr int kI2cLastWriteMs = 500;     // lets the last write cycle finish

// The device address byte that writes `address`: 0xA0 with address bits 8 to 10 as block bits
// on the one-address-byte parts, plain 0xA0 on the others, and with address bit 16 as the
// block-select bit B0 (bit 3) on the 24LC1025 (`blockSelect`).
std::uint8_t I2cWriteAddress(int address, bool twoByteAddress, bool blockSelect = false);
// The 24LC1025's address counter stays inside a block of this size.
inline constexpr int kI2cSelectBlockBytes = 65536;
inline constexpr std::uint8_t kI2cReadAddress = 0xA1;

// Reads Count bytes from address 0 in one sequential read.
class TEpromReadThread final : public OperationWorker {
 public:
  TEpromReadThread(const LineContext& lines, int count);

  bool TwoByteAddress = false;
  bool BlockSelect = false;
  bool McLrAsVcc = false;
  // The part did not acknowledge its read address: nothing was read (the user has been told).
  bool NoAck = false;
  std::vector<std::uint16_t> Words;  // 0 after a cancelled read's last byte

 private:
  void Body() override;
};

// Writes Count bytes from Words, a page (or one byte) per write cycle.
class TI2CProgThread final : public OperationWorker {
 public:
  TI2CProgThread(const LineContext& lines, int count);

  int PageSize = 0;
  bool TwoByteAddress = false;
  bool BlockSelect = false;
  bool McLrAsVcc = false;
  bool ByteWrite = false;
  // Pages (page writes only) are read first and written only where they differ from Words.
  bool WriteOnlyDiffers = false;
  // Acknowledge polling ran out: programming stopped there (the user has been told).
  bool NoAck = false;
  // "No Acknowledge received!" boxes shown for word address or data bytes the part did not
  // take; programming went on past them.
  int MissedAcks = 0;
  std::vector<std::uint16_t> Words;  // only the low byte of each is written

 private:
  void Body() override;
  // Starts the write transaction of `address`: polls until the part, done with its previous
  // write cycle, acknowledges its device address. False when it never did.
  bool PollAcknowledge(int address);
  // The word address of `address`, each byte's acknowledge checked.
  void SendWordAddress(int address);
  // With the write transaction of `address` open: a random read of its page, ended with a
  // stop. True when the part holds the page's bytes already.
  bool PageHolds(int address);
  // A missing acknowledge where the write goes on.
  void Missed();
  // Polls with `control` until the part acknowledges it: true then, with the transaction
  // open; false when the polling ran out or was cancelled.
  bool Poll(std::uint8_t control);

  // The device address byte of the last write cycle started.
  int lastControl_ = -1;
};

}  // namespace kestrum
