// SPDX-License-Identifier: GPL-3.0-or-later
// The mid-range flash PICs of today (16F627A/628A/648A, 16F87/88, 12F629/675, 16F873A..877A)
// in high-voltage serial programming mode, modelled from the chip's side after their
// programming specifications (DS41196G, DS39607B, DS41191D, DS39589B): entry under VPP in
// either order of VPP and VDD, the 6-bit commands that each family decodes in its own way, the
// write latches, internally and externally timed cycles, the bulk and chip erases with the code
// protection each one does or does not clear, and the 12F629/675 factory calibration cells.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "sim/chips/chip.hpp"

namespace kestrum {

enum class PicFlashFamily : std::uint8_t { F62xA, F8x8, F6xx, F87xA };

struct PicFlashDescription {
  std::string_view name;
  PicFlashFamily family = PicFlashFamily::F62xA;
  int pins = 18;
  int programWords = 0;
  int dataBytes = 0;
  std::uint16_t deviceId = 0;  // the word at 2006h, revision bits included
  // Configuration words at 2007h (and 2008h): the bits the part implements, and the level its
  // unimplemented bits read.
  std::uint16_t configBits = 0x3FFF;
  std::uint16_t configOnes = 0;
  std::uint16_t config2Bits = 0;  // 0: no second word
  std::uint16_t config2Ones = 0;
  // 12F629/675: the factory's OSCCAL word (a RETLW at 3FFh) and bandgap bits 13:12.
  std::uint16_t calibration = 0;
  std::uint16_t bandgap = 0;
};

const PicFlashDescription* PicFlashChipFor(std::string_view deviceName);
std::span<const PicFlashDescription> PicFlashChips();

enum class PicFlashRegion : std::uint8_t { Code, Data, Config };

class PicFlashChip final : public ChipModel {
 public:
  explicit PicFlashChip(const PicFlashDescription& description);
  static std::unique_ptr<PicFlashChip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return d_.pins; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  // Elements as a read of the whole part gives them: program words, data bytes and the
  // configuration area from 2000h (ID words, reserved words, device ID, configuration words),
  // protection aside. Setting an element stores it as if programmed into an erased cell.
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  const PicFlashDescription& Description() const { return d_; }
  std::span<const std::uint16_t> Code() const { return code_; }
  std::span<const std::uint8_t> Data() const { return data_; }
  // The configuration word (k = 0) or the second one (k = 1) as the part reads it.
  std::uint16_t ConfigWord(int k = 0) const;
  std::uint16_t IdWord(int i) const { return config_[static_cast<std::size_t>(i)]; }
  bool CodeProtected() const;
  bool DataProtected() const;
  // The factory calibration's place in Code(); -1 on parts without one.
  int CalibrationIndex() const { return d_.calibration ? d_.programWords - 1 : -1; }

  // Fault knobs.
  void SetAbsent(bool absent);
  void SetNeverProgram(PicFlashRegion region, int index) { neverProgram_.insert({region, index}); }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }

  // What the part went through.
  bool InProgrammingMode() const { return mode_ != Mode::Off; }
  int CompletedCycles() const { return completed_; }
  int LostCycles() const { return lost_; }        // cut short, or ended before their time
  int RefusedWrites() const { return refused_; }  // not erased, outside the latch, protected
  int Erases() const { return erases_; }          // bulk, row or chip erases that took effect

 private:
  enum class Mode : std::uint8_t { Off, Command, Load, Read };
  enum class Job : std::uint8_t {
    None,
    Write,           // the latch (or a data byte) into the cells
    RowErase,        // the 32-word row at the address counter (16F87/88)
    BulkCode,        // program memory, where protection allows
    BulkData,        // data memory, where protection allows
    BulkFromConfig,  // 16F62xA, 12F6xx: from configuration space, everything
    ChipErase,       // 16F87/88, 16F87xA
  };

  std::uint16_t ReadWord() const;
  std::uint16_t ConfigRead(int index) const;
  bool RunsAtPowerUp() const;
  int LatchWords() const;

  void Enter();
  void Leave();
  void Settle(std::int64_t timeUs);
  void Falling(bool data, std::int64_t timeUs);
  void Rising();
  void Decode(int command, std::int64_t timeUs);
  void Begin(bool eraseFirst, bool internal, std::int64_t timeUs);
  void StartJob(Job job, bool eraseFirst, std::int64_t durationUs, bool internal,
                std::int64_t timeUs);
  void EndProgramming(std::int64_t timeUs);
  void Complete();
  void WriteLatch(bool eraseFirst);
  void EraseCode();
  void EraseConfig();
  void EraseData();

  PicFlashDescription d_;
  std::vector<std::uint16_t> code_;
  std::vector<std::uint8_t> data_;
  std::vector<std::uint16_t> config_;  // 2000h.. as stored cells

  ChipPins pins_;
  std::int64_t vddSinceUs_ = 0;
  Mode mode_ = Mode::Off;
  int pc_ = 0;
  int bits_ = 0;
  std::uint32_t shift_ = 0;
  int frameEdges_ = 0;
  bool loadForData_ = false;
  std::uint16_t out_ = 0;
  DataDrive drive_ = DataDrive::Released;
  bool loadedSinceEntry_ = false;
  bool discardLoad_ = false;  // the frame's word goes nowhere

  // The write latch: a word per slot, and the latch-sized block each slot was loaded for.
  std::array<std::uint16_t, 8> latch_{};
  std::array<int, 8> latchBlock_{};
  std::uint8_t dataLatch_ = 0xFF;
  bool dataLoaded_ = false;
  int armed_ = 0;  // 16F87/88, 16F87xA: the bulk erase command waiting for its Begin

  Job job_ = Job::None;
  bool jobInternal_ = false;
  bool jobEraseFirst_ = false;
  int jobPc_ = 0;
  std::int64_t jobStartUs_ = 0;
  std::int64_t jobEndUs_ = 0;

  bool absent_ = false;
  bool stuckBusy_ = false;
  std::set<std::pair<PicFlashRegion, int>> neverProgram_;
  int completed_ = 0;
  int lost_ = 0;
  int refused_ = 0;
  int erases_ = 0;
};

}  // namespace kestrum
