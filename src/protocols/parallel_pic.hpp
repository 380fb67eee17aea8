// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC 16C54 (and any PIC programmed in parallel only) on the TAIT Parallel programmer: words
// go to and from the part's port through shift registers on the data register, VDD and VPP are
// control lines, and the registers' serial outputs and the pin-count jumper are status bits.
// ParallelPicPort holds the shadows of the data and control registers and the elementary
// sequences; the workers read the part and program it word by word with over-programming; the
// family driver puts them together for the operations.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "hardware/line_context.hpp"
#include "protocols/family_driver.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace parallel_pic {
// A word that has not read back right after this many single pulses gets no more of them.
inline constexpr int kMaxRetries = 25;
// Over-programming: three times the failed single pulses, at most 25.
inline constexpr int kOverProgramFactor = 3;
inline constexpr int kMaxOverProgramPulses = 25;
inline constexpr int kConfigWordPulses = 100;
inline constexpr std::uint16_t kWordMask = 0xFFF;
}  // namespace parallel_pic

// The word order of the 18-pin setting: a word shifted in has its bits 1..0 moved to 3..2, 3..2
// to 1..0, 11..5 to 10..4 and 4 to 11; a word to be shifted out is given the inverse first, so
// that it reads back as it was written.
std::uint16_t FromPin18Order(std::uint16_t shifted);
std::uint16_t ToPin18Order(std::uint16_t word);

class ParallelPicPort {
 public:
  explicit ParallelPicPort(LineContext& lines);

  // The pin-count jumper (status bit 08h low: 18 pins); later shifts follow it.
  bool SensePinCount();
  bool Pin18Setting() const { return pin18_; }

  void Set(std::uint8_t mask);
  void Clear(std::uint8_t mask);
  void SetControl(std::uint8_t shadow);
  // The status register with its inverted BUSY bit put right.
  std::uint8_t Status();
  // The mask's data lines the other way for 100 µs.
  void Pulse(std::uint8_t mask);
  // Data lines high, VDD and VPP off, 25 ms.
  void Off();
  void EnterProgrammingMode();
  void ShiftOut(std::uint16_t word);
  std::uint16_t ShiftIn();
  // The word at the part's counter, which then steps to the next.
  std::uint16_t LatchAndRead();
  // `n` programming pulses with `word` on the port; what the part holds afterwards.
  std::uint16_t ProgramPulses(int n, std::uint16_t word);
  // Single pulses until the word reads back (at most kMaxRetries + 1), then over-programming;
  // whether the part holds the word afterwards.
  bool ProgramWord(std::uint16_t word);

 private:
  void WriteData();

  LineContext& lines_;
  std::uint16_t base_;
  std::uint8_t data_ = 0xFF;
  std::uint8_t control_ = 0;
  bool pin18_ = true;
};

// Reads `Count` words of program memory (the configuration word before them, and for Read All
// once more after them).
class TParallelPicReadThread final : public OperationWorker {
 public:
  TParallelPicReadThread(const LineContext& lines, int count);
  bool ReadConfigAgain = true;
  std::vector<std::uint16_t> Words;  // 0 after a cancelled read's last word
  std::uint16_t ConfigWord = 0;

 private:
  void Body() override;
};

// Programs `Count` words of program memory, then the configuration word when one is given.
// Failed and FailAddress name a word that did not read back after its pulses.
class TParallelPicProgThread final : public OperationWorker {
 public:
  TParallelPicProgThread(const LineContext& lines, int count);
  std::vector<std::uint16_t> Words;
  std::optional<std::uint16_t> ConfigWord;
  // The pin-count setting is announced (not for a step held back within one Program All).
  bool Announce = true;

 private:
  void Body() override;
};

class ParallelPicDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  void ProgramHeld(FamilyContext& context) override;
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
  int CodeCheckCount(const DeviceDescriptor& device) const override;
  bool WarnsOfCodeProtect() const override { return true; }
};

}  // namespace kestrum
