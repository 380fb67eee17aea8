// SPDX-License-Identifier: GPL-3.0-or-later
// The 89S53 in serial programming mode, modelled from the chip's side: RST (the MCLR pin)
// high with power on starts a session; 3-byte instructions in SPI mode 0; programming enable
// (AC 53), chip erase (AC xxxx x100: code to FFh, lock bits cleared), code bytes read and
// written with address bits 12..8 in bits 7..3 of the first byte and bit 13 in bit 2, writes
// in a timed cycle (an instruction that comes while one runs is lost), and the lock bits
// (AC, LB1 LB2 LB3 in bits 7..5 with 0 programming them, 00): LB1 stops writes, LB2 makes
// reads return garbage.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "sim/chips/chip.hpp"
#include "sim/chips/spi_slave.hpp"

namespace kestrum {

inline constexpr int kMicro89SBytes = 12288;
inline constexpr std::int64_t kMicro89SWriteUs = 2000;   // a code byte, the lock bits
inline constexpr std::int64_t kMicro89SEraseUs = 16000;  // chip erase

class Micro89SChip final : public ChipModel {
 public:
  Micro89SChip();
  static std::unique_ptr<Micro89SChip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return 40; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  // Code: the 12 KB of program memory. Config: one element, the lock bits as the write-lock
  // instruction carries them (bit 7 LB1, bit 6 LB2, bit 5 LB3, 0 programmed; FFh unlocked).
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  std::span<const std::uint8_t> Code() const { return code_; }
  // Bit i set: lock bit i + 1 programmed.
  int LockBits() const { return locks_; }
  bool Enabled() const { return enabled_; }
  int LostInstructions() const { return lost_; }
  static std::uint8_t Garbage(int address);

  // Fault knobs.
  void SetAbsent(bool absent) { absent_ = absent; }
  void SetNeverProgram(int index) { neverProgram_.insert(index); }

 private:
  enum class Job : std::uint8_t { None, Erase, Write, Lock };

  bool InSession() const { return pins_.vcc && pins_.mclr && !absent_; }
  void Settle(std::int64_t timeUs);
  void Byte(std::uint8_t value, std::int64_t timeUs);
  void Start(Job job, int address, std::uint8_t value, std::int64_t timeUs);
  int Address() const;

  std::vector<std::uint8_t> code_;
  int locks_ = 0;

  ChipPins pins_;
  bool enabled_ = false;
  SpiShifter shifter_;
  std::uint8_t command_[3] = {};
  int bytes_ = 0;
  bool driving_ = false;
  bool driveNext_ = false;
  bool boundary_ = false;

  Job job_ = Job::None;
  std::int64_t jobEndUs_ = 0;
  int jobAddress_ = 0;
  std::uint8_t jobValue_ = 0;

  bool absent_ = false;
  std::set<int> neverProgram_;
  int lost_ = 0;
};

}  // namespace kestrum
