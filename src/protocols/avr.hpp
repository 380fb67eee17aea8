// SPDX-License-Identifier: GPL-3.0-or-later
// AVR 90S microcontrollers in serial programming mode: programming enable with retries, the
// four workers (code read, data EEPROM read, chip erase and code programming, data EEPROM
// programming), the lock bits and the chip erase, and the family driver. The MCLR line is the
// part's /RESET, active low: the part is held in programming mode with VPP off, and a VPP
// pulse is the positive /RESET pulse that resynchronises it.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "protocols/family_driver.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace avr {
inline constexpr std::uint8_t kEnable = 0xAC;  // AC 53 00 00; AC 80 00 00; AC lock 00 00
inline constexpr std::uint8_t kEnableEcho = 0x53;
inline constexpr std::uint8_t kChipErase = 0x80;
inline constexpr std::uint8_t kReadLow = 0x20;
inline constexpr std::uint8_t kReadHigh = 0x28;
inline constexpr std::uint8_t kWriteLow = 0x40;
inline constexpr std::uint8_t kWriteHigh = 0x48;
inline constexpr std::uint8_t kReadData = 0xA0;
inline constexpr std::uint8_t kWriteData = 0xC0;
inline constexpr int kWriteWaitMs = 10;  // after every flash or EEPROM byte
}  // namespace avr

// The lock byte of the write-lock instruction: FFh with bit 1 (LB1) cleared unless the first
// lock-bit box is ticked and bit 2 (LB2) unless the second is.
std::uint8_t AvrLockByte(bool box1, bool box2);

// Programming enable, up to `attempts` times (at least once) or until `stop` is set: a
// positive /RESET pulse, 25 ms, AC 53 00 00. True when the third byte came back as 53.
bool AvrProgrammingEnable(LineContext& lines, int attempts,
                          const std::atomic<bool>* stop = nullptr);

// The part powered with /RESET and SCK low, then `settleMs`.
void AvrPowerUp(LineContext& lines, int settleMs);

// The four workers. NoAnswer: programming enable failed after every attempt; nothing was
// read or programmed and the part was powered down.
class TSpiMicroReadThread final : public OperationWorker {
 public:
  TSpiMicroReadThread(const LineContext& lines, int count, int maxSyncAttempts);
  std::vector<std::uint16_t> Bytes;
  bool NoAnswer = false;

 protected:
  void Body() override;

 private:
  int attempts_;
};

class TSpiMicroReadDThread final : public OperationWorker {
 public:
  TSpiMicroReadDThread(const LineContext& lines, int count, int maxSyncAttempts);
  std::vector<std::uint16_t> Bytes;
  bool NoAnswer = false;

 protected:
  void Body() override;

 private:
  int attempts_;
};

class TSpiMicroProgThread final : public OperationWorker {
 public:
  TSpiMicroProgThread(const LineContext& lines, int count, int maxSyncAttempts);
  std::vector<std::uint16_t> Bytes;
  bool NoAnswer = false;
  // The chip erase before left every byte FFh: such bytes are not written.
  bool SkipErased = false;
  // Data polling ends each write cycle as soon as the byte reads back.
  bool PollReady = false;

 protected:
  void Body() override;

 private:
  int attempts_;
};

class TSpiMicroProgDataThread final : public OperationWorker {
 public:
  TSpiMicroProgDataThread(const LineContext& lines, int count, int maxSyncAttempts);
  std::vector<std::uint16_t> Bytes;
  bool NoAnswer = false;
  // The chip erase before left every byte FFh: such bytes are not written.
  bool SkipErased = false;
  // Data polling ends each write cycle as soon as the byte reads back.
  bool PollReady = false;

 protected:
  void Body() override;

 private:
  int attempts_;
};

// What a sequence on the caller's lines came to.
enum class SequenceResult { Done, PortFailed, NoAnswer };

// `ProgramSpiMicroConf`: the lock byte written, with the part powered up and down around it.
SequenceResult ProgramSpiMicroConf(LineContext& lines, std::uint8_t lockByte, int attempts);
// Chip erase: flash, EEPROM and lock bits.
SequenceResult AvrChipErase(LineContext& lines, int attempts);

// The family driver: the 90S parts as above; the parts with a page buffer through
// avr_paged, with their signature as the identity.
class AvrDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  void ProgramHeld(FamilyContext& context) override;
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
  bool HasId(const DeviceDescriptor& device) const override;
  IdReading ReadId(FamilyContext& context) override;
  // The three signature bytes: "1E950Fh".
  std::string IdText(std::uint32_t id) const override;

 private:
  // The lock bits from the configuration box; false when they were not programmed (the
  // user has been told).
  bool LockBits(FamilyContext& context);
};

}  // namespace kestrum
