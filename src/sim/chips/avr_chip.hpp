// SPDX-License-Identifier: GPL-3.0-or-later
// The AVR 90S parts in serial programming mode, modelled from the chip's side: /RESET (the
// MCLR pin) held low with power on starts a programming session, which takes instructions
// once the part's 20 ms start-up has passed; the 4-byte instructions in SPI mode 0 with every
// byte echoed on MISO one byte later; programming enable (AC 53), honoured and echoed only
// when the part is in byte sync (a session that started with SCK high, or one the knob
// spoils, frames every byte one bit off and leaves MISO alone until a positive /RESET pulse
// starts a new one); chip erase (flash and
// EEPROM to FFh, lock bits cleared); flash low/high bytes and EEPROM bytes in timed write
// cycles, an instruction that comes while one runs being lost; and lock bits: LB1 stops
// writes, LB1 with LB2 also makes reads return garbage.
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

struct AvrChipDescription {
  std::string_view name;
  int pins = 40;
  int flashWords = 0;
  int eepromBytes = 0;
};

const AvrChipDescription* AvrChipFor(std::string_view deviceName);

inline constexpr std::int64_t kAvrStartUpUs = 20000;  // after /RESET low, before instructions
inline constexpr std::int64_t kAvrWriteUs = 4000;     // a flash or EEPROM byte, the lock bits
inline constexpr std::int64_t kAvrEraseUs = 16000;    // chip erase

class AvrChip final : public ChipModel {
 public:
  explicit AvrChip(const AvrChipDescription& description);
  static std::unique_ptr<AvrChip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return d_.pins; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  // Code: program memory as bytes, low then high byte of each word. Data: the EEPROM.
  // Config: one element, the lock bits as the write-lock instruction carries them (bit 1 LB1,
  // bit 2 LB2, 0 programmed; FFh unlocked).
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  const AvrChipDescription& Description() const { return d_; }
  std::span<const std::uint8_t> Flash() const { return flash_; }
  std::span<const std::uint8_t> Eeprom() const { return eeprom_; }
  bool Lock1() const { return lock1_; }
  bool Lock2() const { return lock2_; }
  bool Enabled() const { return enabled_; }
  int Sessions() const { return sessions_; }
  int LostInstructions() const { return lost_; }
  // What a locked part returns for a read of `address`.
  static std::uint8_t Garbage(int address);

  // Fault knobs.
  void SetAbsent(bool absent) { absent_ = absent; }
  // The next `attempts` sessions in which the part is clocked are out of byte sync.
  void SetOutOfSync(int attempts) { outOfSync_ = attempts; }
  void SetNeverProgram(ChipRegion region, int index) { neverProgram_.insert({region, index}); }

 private:
  enum class Job : std::uint8_t { None, Erase, Flash, Eeprom, Lock };

  bool InSession() const { return pins_.vcc && !pins_.mclr && !absent_; }
  bool Awake(std::int64_t timeUs) const {
    return InSession() && timeUs - sessionStartUs_ >= kAvrStartUpUs;
  }
  void StartSession(std::int64_t timeUs);
  void Settle(std::int64_t timeUs);
  void Byte(std::uint8_t value, std::int64_t timeUs);
  std::uint8_t ReadByte(bool eeprom, int address) const;
  void Start(Job job, int address, std::uint8_t value, std::int64_t timeUs);

  AvrChipDescription d_;
  std::vector<std::uint8_t> flash_;
  std::vector<std::uint8_t> eeprom_;
  bool lock1_ = false;
  bool lock2_ = false;

  ChipPins pins_;
  std::int64_t sessionStartUs_ = 0;
  bool started_ = false;  // the shifter has been set up for this session
  bool synced_ = true;
  bool enabled_ = false;
  SpiShifter shifter_;
  std::uint8_t command_[4] = {};
  int bytes_ = 0;

  Job job_ = Job::None;
  std::int64_t jobEndUs_ = 0;
  int jobAddress_ = 0;
  std::uint8_t jobValue_ = 0;

  bool absent_ = false;
  int outOfSync_ = 0;
  std::set<std::pair<ChipRegion, int>> neverProgram_;
  int sessions_ = 0;
  int lost_ = 0;
};

}  // namespace kestrum
