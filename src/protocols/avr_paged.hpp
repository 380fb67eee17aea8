// SPDX-License-Identifier: GPL-3.0-or-later
// AVRs with a flash page buffer (ATtiny13A, ATtiny25/45/85, ATtiny2313A, ATmega8A,
// ATmega48PA..328P) in serial programming mode: the workers that read flash, EEPROM, fuse and
// lock bytes and the signature, and those that erase the part, program the flash page by page,
// the EEPROM by pages or bytes, and the fuse and lock bytes. Every write cycle is followed by
// the RDY/BSY poll (bounded) where the part answers it, or by the datasheet's wait.
//
// The session is the older parts' one: /RESET (the MCLR line) low with the supply on, a
// positive /RESET pulse before each programming-enable attempt, 20 ms, AC 53 00 00.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "device/device_descriptor.hpp"
#include "protocols/family_driver.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace avr {
inline constexpr std::uint8_t kPoll = 0xF0;
inline constexpr std::uint8_t kLoadPageLow = 0x40;
inline constexpr std::uint8_t kLoadPageHigh = 0x48;
inline constexpr std::uint8_t kWritePage = 0x4C;
inline constexpr std::uint8_t kLoadDataPage = 0xC1;
inline constexpr std::uint8_t kWriteDataPage = 0xC2;
inline constexpr std::uint8_t kReadSignature = 0x30;
// Fuse and lock bytes: the second instruction byte selects which.
inline constexpr std::uint8_t kReadFuseLowExt = 0x50;    // 50 00: low, 50 08: extended
inline constexpr std::uint8_t kReadFuseHighLock = 0x58;  // 58 08: high, 58 00: lock
inline constexpr std::uint8_t kWriteLock = 0xE0;         // AC E0 00 lock
inline constexpr std::array<std::uint8_t, 3> kWriteFuse = {0xA0, 0xA8, 0xA4};  // AC xx 00 fuse
// The lock byte's bits 7:6 are written as 1.
inline constexpr std::uint8_t kLockWriteBits = 0xC0;
// SCK phases for parts clocked below 100 kHz (128 kHz with CKDIV8: 16 kHz): each phase must
// last two of the part's clock periods, 125 µs there.
inline constexpr int kSlowBusDelayUs = 150;
}  // namespace avr

// The configuration words of these parts: fuse bytes low, high, extended, then the lock byte.
inline constexpr int kAvrLockWord = 3;

// How a paged part is driven.
struct AvrPagedTiming {
  int PageBytes = 0;       // the flash page
  int DataPageBytes = 0;   // the EEPROM page; 0: byte writes
  DeviceWaits Waits;       // the datasheet waits, µs
  bool Poll = false;       // RDY/BSY poll instead of the waits
  int Attempts = 32;       // programming-enable attempts
  int BusDelayUs = 0;      // SCK phases; 0: the line layer's
  bool SkipErased = true;  // flash pages all FFh after the chip erase are not written
};
AvrPagedTiming AvrTimingFor(const DeviceDescriptor& device, const OperationOptions& options);
// A part whose flash is written through a page buffer.
inline bool IsPagedAvr(const DeviceDescriptor& device) {
  return FamilyOf(device) == DeviceFamily::AvrMicro && device.PageSize > 0;
}

// What a worker does in its session.
enum class AvrStep {
  Code,       // read: the flash; program: chip erase, then the flash
  Data,       // the EEPROM
  Config,     // read: fuse and lock bytes; program: fuse bytes, then the lock byte
  Signature,  // read: the three signature bytes
  Erase,      // program: chip erase only
};

class TAvrPagedRead final : public OperationWorker {
 public:
  TAvrPagedRead(const LineContext& lines, AvrStep step, int count, const AvrPagedTiming& timing);

  // Code and Data: the bytes; Config: low, high, extended fuse and lock byte (FFh for a fuse
  // byte the part lacks, per `Masks`); Signature: three bytes.
  std::vector<std::uint16_t> Bytes;
  std::array<std::uint16_t, 4> Masks{0xFF, 0xFF, 0xFF, 0xFF};
  bool NoAnswer = false;

 protected:
  void Body() override;

 private:
  AvrStep step_;
  AvrPagedTiming timing_;
};

class TAvrPagedProgram final : public OperationWorker {
 public:
  TAvrPagedProgram(const LineContext& lines, AvrStep step, int count, const AvrPagedTiming& timing);

  std::vector<std::uint16_t> Bytes;  // Config: the four configuration words
  std::array<std::uint16_t, 4> Masks{0xFF, 0xFF, 0xFF, 0xFF};
  bool WriteLock = true;  // Config: the lock byte too
  bool NoAnswer = false;
  // Failed / FailAddress: a polled write cycle that never ended (the byte address of its page,
  // or 0 for an erase or a fuse byte). FuseFailed: configuration word `FuseFailed` reads back
  // as `FuseRead` (under its mask) after it was written.
  int FuseFailed = -1;
  std::uint8_t FuseRead = 0;

 protected:
  void Body() override;

 private:
  bool ChipErase();
  bool Flash();
  bool Eeprom();
  bool Fuses();

  AvrStep step_;
  AvrPagedTiming timing_;
};

// The driver's side: Read All, Verify and Blank Check, Program All, Erase All, Program Config
// and the identity of the paged parts.
namespace avr_paged {
void Read(FamilyContext& context);
ProgramOutcome Program(FamilyContext& context);
void ProgramHeld(FamilyContext& context);
bool Erase(FamilyContext& context);
bool ProgramConfig(FamilyContext& context);
IdReading ReadId(FamilyContext& context);
}  // namespace avr_paged

}  // namespace kestrum
