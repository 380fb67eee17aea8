// SPDX-License-Identifier: GPL-3.0-or-later
// PIC microcontrollers in serial programming mode, modelled from the chip's side: entry under
// VPP, the 6-bit commands and start/data/stop frames on the clock and data pins, the address
// counter, the data output of read commands, timed flash cycles, EPROM cells that need enough
// programming pulses, code protection and the erase sequence. One class serves every serial
// PIC; a description per part gives its memory, cells, protection and timing.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "sim/chips/chip.hpp"

namespace kestrum {

enum class PicCore : std::uint8_t { Twelve, Fourteen };

// Flash covers the electrically erasable parts (the 16C84's EEPROM cells behave alike here).
enum class PicCells : std::uint8_t { Flash, Eprom };

// How the configuration word protects program memory.
enum class PicProtection : std::uint8_t {
  AllByBit,     // one bit (`protectShift`) low protects all of it
  Quarters,     // two bits at `protectShift`: 00 all, 01 upper 3/4, 10 upper half, 11 none
  FromAddress,  // two bits at `protectShift`: 00 from 0, 01 from 0200h, 10 from 0400h, 11 none
  UpperSteps,   // two bits at `protectShift`: 00 all, 01 upper half, 10 last 256 words, 11 none;
                // parts of 2K words or less only know 00 and 11
};

struct PicChipDescription {
  std::string_view name;  // the device name it answers to
  int pins = 18;
  PicCore core = PicCore::Fourteen;
  PicCells cells = PicCells::Flash;
  int programWords = 0;  // without the 12-bit parts' four ID words
  int dataBytes = 0;
  std::uint16_t configBits = 0x3FFF;  // implemented bits of the configuration word; others read 1
  PicProtection protection = PicProtection::AllByBit;
  int protectShift = 4;
  // Bits of the configuration word that only the erase sequence can set again.
  std::uint16_t protectBits = 0;
  bool dataProtectBit8 = false;     // CPD: bit 8 low protects data EEPROM
  bool dataFollowsCode = false;     // the code-protect bit protects data EEPROM as well
  bool parity = false;              // 16-bit cells and frames: data word << 2 plus two parity bits
  bool programOnlyCommand = false;  // accepts Begin Programming Only (011000)
  std::uint16_t deviceId = 0;       // read-only word at 2006h; 0: none (reads blank)
  std::uint16_t calibration = 0;    // factory word in the last program location; 0: none
  std::int64_t programUs = 0;       // erase/program cycle of a flash part
  std::int64_t programOnlyUs = 0;   // programming-only cycle
};

// The description of the part behind a catalogue device name; null for parts that are not
// programmed serially (and for anything that is not a PIC).
const PicChipDescription* PicChipFor(std::string_view deviceName);
std::span<const PicChipDescription> PicChips();

// The 16-bit cell of a parity part for a 14-bit word: bit 0 makes the even-numbered bits even,
// bit 1 makes the odd-numbered bits odd.
std::uint16_t PicParityWord(std::uint16_t word);
bool PicParityHolds(std::uint16_t cell);

// A chip erase takes this long; like a programming cycle, it is lost to a clock edge that
// comes before it is over.
inline constexpr std::int64_t kPicChipEraseUs = 10000;
// An EPROM programming pulse shorter than this does not count.
inline constexpr std::int64_t kPicMinimumPulseUs = 90;
// Pulses a fresh EPROM bit needs to read 0.
inline constexpr int kPicDefaultPulsesNeeded = 3;

enum class PicRegion : std::uint8_t { Code, Data, Config };

class PicChip final : public ChipModel {
 public:
  explicit PicChip(const PicChipDescription& description);
  // A chip of the named catalogue device, blank but for its factory words; null when there is
  // no serial model of it.
  static std::unique_ptr<PicChip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return d_.pins; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  const PicChipDescription& Description() const { return d_; }
  // The erased cell: 0FFFh, 3FFFh, or FFFFh on parity parts.
  std::uint16_t BlankWord() const { return width_; }

  // The cells, laid out as the program's buffers hold them. Code: program memory, followed on
  // 12-bit parts by the four ID words. Config: on 14-bit parts the eight words from 2000h (ID
  // words 0..3, device ID at 6, configuration word at 7); on 12-bit parts the one
  // configuration word. Parity parts hold the 16-bit cells. A programming cycle lands at the
  // first pin change after its time, so the cells are as of the last pin change.
  std::span<std::uint16_t> Code() { return code_; }
  std::span<const std::uint16_t> Code() const { return code_; }
  std::span<std::uint8_t> Data() { return data_; }
  std::span<const std::uint8_t> Data() const { return data_; }
  std::span<std::uint16_t> ConfigArea() { return config_; }
  std::span<const std::uint16_t> ConfigArea() const { return config_; }
  std::uint16_t ConfigWord() const { return config_[ConfigIndex()]; }
  void SetConfigWord(std::uint16_t word) { config_[ConfigIndex()] = word; }
  std::uint16_t IdWord(int i) const;
  void SetIdWord(int i, std::uint16_t word);
  // The factory oscillator calibration word: its index in Code(), -1 on parts without one.
  int CalibrationIndex() const { return d_.calibration ? d_.programWords - 1 : -1; }
  // Every cell blank, as after an ultraviolet eraser: the calibration word goes too.
  void EraseAll();

  // Fault knobs.
  void SetAbsent(bool absent);  // an empty socket: nothing is driven, nothing is stored
  void SetNeverProgram(PicRegion region, int index) { neverProgram_.insert({region, index}); }
  void SetPulsesNeeded(int pulses) { pulsesNeeded_ = pulses; }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }

  // What the part went through.
  bool InProgrammingMode() const { return mode_ != Mode::Off; }
  int AddressCounter() const { return pc_; }
  int CompletedCycles() const { return completedCycles_; }
  int AbortedCycles() const { return abortedCycles_; }
  int CountedPulses() const { return countedPulses_; }

 private:
  enum class Mode : std::uint8_t { Off, Command, Load, Read };
  enum class Job : std::uint8_t { None, Program, ProgramOnly, EraseChip, EraseCode, EraseData };

  // A cell the address counter points at.
  struct Cell {
    PicRegion region = PicRegion::Code;
    int index = -1;  // -1: nothing there
    bool writable = false;
  };

  int ConfigIndex() const { return d_.core == PicCore::Twelve ? 0 : 7; }
  int FrameBits() const { return d_.parity ? 16 : 14; }
  bool HasCommand(int code) const;
  std::uint16_t ConfigData() const;
  bool CodeProtected(int index) const;
  bool DataProtected() const;
  Cell CellAt(int pc) const;
  std::uint16_t ReadCell() const;
  std::uint16_t ProgrammableBits(const Cell& cell) const;

  void Enter();
  void Leave();
  void Settle(std::int64_t timeUs);
  void Abort();
  void Complete();
  void Rising();
  void Falling(bool data, std::int64_t timeUs);
  void Decode(int command, std::int64_t timeUs);
  void StartJob(Job job, std::int64_t durationUs, std::int64_t timeUs);
  void StartFrame(Mode mode);
  void WriteCell(const Cell& cell, std::uint16_t value, bool andOnly);
  void ApplyPulse();
  void Blank(PicRegion region);

  PicChipDescription d_;
  std::uint16_t width_;
  std::vector<std::uint16_t> code_;
  std::vector<std::uint8_t> data_;
  std::vector<std::uint16_t> config_;

  ChipPins pins_;
  Mode mode_ = Mode::Off;
  int pc_ = 0;
  std::uint16_t latch_ = 0;
  bool latchForData_ = false;
  int bits_ = 0;
  std::uint32_t shift_ = 0;
  int frameRises_ = 0;
  int frameFalls_ = 0;
  std::uint16_t out_ = 0;
  DataDrive drive_ = DataDrive::Released;
  int sequence_ = 0;  // 1 after command 1, 2 after 1 then 7: the next begin erases

  Job job_ = Job::None;
  std::int64_t jobEndUs_ = 0;
  Cell jobCell_;
  std::uint16_t jobValue_ = 0;

  bool pulseOn_ = false;
  std::int64_t pulseStartUs_ = 0;
  // Charge each EPROM bit has taken, by cell; a bit reads 0 once it has enough.
  std::map<std::pair<PicRegion, int>, std::array<std::uint8_t, 16>> charge_;

  bool absent_ = false;
  bool stuckBusy_ = false;
  int pulsesNeeded_ = kPicDefaultPulsesNeeded;
  std::set<std::pair<PicRegion, int>> neverProgram_;
  int completedCycles_ = 0;
  int abortedCycles_ = 0;
  int countedPulses_ = 0;
};

}  // namespace kestrum
