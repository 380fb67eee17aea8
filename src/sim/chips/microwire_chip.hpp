// SPDX-License-Identifier: GPL-3.0-or-later
// Clocked serial EEPROMs of 16-bit words, modelled from the chip's side: the Microwire 93Cxx
// parts in their x16 organisation and the 4-wire 59Cxx parts. Chip select high frames an
// instruction: a start bit (the first 1 on DI at a rising SK), the opcode, the address field,
// and for writes 16 data bits, all most significant bit first. A READ answers with a dummy 0
// as the last address bit is clocked in, then one data bit per rising SK (and the next words
// after that). Writes, erases and the bulk instructions act only after EWEN, until EWDS or power
// is removed; they are self-timed from the falling chip select, the part ignores instructions
// until they are done, and a 93Cxx reports BUSY (0) and READY (1) on DO while it is selected,
// until the next start bit.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "sim/chips/chip.hpp"

namespace kestrum {

enum class MicrowireFamily : std::uint8_t {
  Microwire93,  // 2-bit opcodes; EWEN, EWDS, ERAL and WRAL in the top address bits
  FourWire59,   // 4-bit opcodes; no status on DO
};

struct MicrowireChipDescription {
  std::string_view name;  // the device name it answers to
  MicrowireFamily family = MicrowireFamily::Microwire93;
  int words = 0;             // a power of two
  int addressBits = 0;       // the instruction's address field; bits above the words' are ignored
  std::int64_t writeUs = 0;  // WRITE and ERASE of one word
  std::int64_t bulkWriteUs = 0;  // ERAL and WRAL
};

const MicrowireChipDescription* MicrowireChipFor(std::string_view deviceName);
std::span<const MicrowireChipDescription> MicrowireChips();

class MicrowireChip final : public ChipModel {
 public:
  explicit MicrowireChip(const MicrowireChipDescription& description);
  static std::unique_ptr<MicrowireChip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  const MicrowireChipDescription& Description() const { return d_; }
  // The cells as of the last pin change (a write lands at the first pin change after its time).
  std::span<std::uint16_t> Words() { return cells_; }
  std::span<const std::uint16_t> Words() const { return cells_; }
  bool WriteEnabled() const { return writeEnabled_; }

  // Fault knobs.
  void SetAbsent(bool absent);  // an empty socket: nothing is driven, nothing is stored
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }  // no write cycle ever ends
  void SetNeverProgram(int index) { neverProgram_.insert(index); }

  // What the part went through.
  int CompletedWrites() const { return completedWrites_; }
  int RefusedWrites() const { return refusedWrites_; }  // asked for while write-disabled

 private:
  enum class Phase : std::uint8_t { WaitStart, Opcode, Address, Data, Output, Complete, Ignore };
  enum class Job : std::uint8_t { None, Write, Erase, EraseAll, WriteAll };

  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

  int OpcodeBits() const { return d_.family == MicrowireFamily::Microwire93 ? 2 : 4; }
  bool Busy() const { return job_ != Job::None; }
  void Settle(std::int64_t timeUs);
  void Reset();
  void Rising(bool di);
  void Decoded();
  void Deselected(std::int64_t timeUs);
  void NextOutputBit();

  MicrowireChipDescription d_;
  std::vector<std::uint16_t> cells_;
  ChipPins pins_;

  Phase phase_ = Phase::WaitStart;
  int opcode_ = 0;
  int address_ = 0;
  int count_ = 0;
  std::uint32_t shift_ = 0;
  bool writeEnabled_ = false;
  bool statusShown_ = false;  // DO carries READY/BUSY while selected
  DataDrive drive_ = DataDrive::Released;
  int outWord_ = 0;  // the word a READ is shifting out
  int outBit_ = 0;   // bits of it still to come

  Job pending_ = Job::None;  // started by the falling chip select
  std::uint16_t pendingValue_ = 0;
  Job job_ = Job::None;
  std::int64_t jobEndUs_ = 0;
  int jobIndex_ = 0;
  std::uint16_t jobValue_ = 0;

  bool absent_ = false;
  bool stuckBusy_ = false;
  std::set<int> neverProgram_;
  int completedWrites_ = 0;
  int refusedWrites_ = 0;
};

}  // namespace kestrum
