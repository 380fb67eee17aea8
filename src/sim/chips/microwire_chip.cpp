// SPDX-License-Identifier: GPL-3.0-or-later
// Microwire and 4-wire EEPROMs as the parts carry out their instructions on their pins.
#include "sim/chips/microwire_chip.hpp"

#include <algorithm>
#include <array>

namespace kestrum {
namespace {

using enum MicrowireFamily;

// Self-timed cycles: a word within the 93Cxx parts' 10 ms and the 59Cxx parts' write time, the
// bulk instructions within their 15 ms.
constexpr std::int64_t kWordWrite93Us = 4000;
constexpr std::int64_t kWordWrite59Us = 5000;
constexpr std::int64_t kBulkWriteUs = 15000;

// The x16 organisation. The 93C06, 93C56 and 93C76 take one or two address bits more than
// their size needs and ignore them.
constexpr std::array<MicrowireChipDescription, 10> kChips = {{
    {"93C06", Microwire93, 16, 6, kWordWrite93Us, kBulkWriteUs},
    {"93C46", Microwire93, 64, 6, kWordWrite93Us, kBulkWriteUs},
    {"93C56", Microwire93, 128, 8, kWordWrite93Us, kBulkWriteUs},
    {"93C57", Microwire93, 128, 7, kWordWrite93Us, kBulkWriteUs},
    {"93C66", Microwire93, 256, 8, kWordWrite93Us, kBulkWriteUs},
    {"93C76", Microwire93, 512, 10, kWordWrite93Us, kBulkWriteUs},
    {"93C86", Microwire93, 1024, 10, kWordWrite93Us, kBulkWriteUs},
    {"59C11", FourWire59, 64, 6, kWordWrite59Us, kBulkWriteUs},
    {"59C22", FourWire59, 128, 7, kWordWrite59Us, kBulkWriteUs},
    {"59C13", FourWire59, 256, 8, kWordWrite59Us, kBulkWriteUs},
}};

enum class Instruction { Read, Write, Erase, Ewen, Ewds, EraseAll, WriteAll, Unknown };

Instruction Decode(MicrowireFamily family, int opcode, int address, int addressBits) {
  if (family == Microwire93) {
    switch (opcode) {
      case 2:
        return Instruction::Read;
      case 1:
        return Instruction::Write;
      case 3:
        return Instruction::Erase;
      default:
        break;
    }
    // Opcode 00: the two top address bits say which.
    switch (address >> (addressBits - 2)) {
      case 3:
        return Instruction::Ewen;
      case 0:
        return Instruction::Ewds;
      case 2:
        return Instruction::EraseAll;
      default:
        return Instruction::WriteAll;
    }
  }
  switch (opcode) {
    case 0b1000:
      return Instruction::Read;
    case 0b0100:
      return Instruction::Write;
    case 0b0011:
      return Instruction::Ewen;
    case 0b0000:
      return Instruction::Ewds;
    default:
      return Instruction::Unknown;
  }
}

}  // namespace

const MicrowireChipDescription* MicrowireChipFor(std::string_view deviceName) {
  for (const MicrowireChipDescription& d : kChips) {
    if (d.name == deviceName) return &d;
  }
  return nullptr;
}

std::span<const MicrowireChipDescription> MicrowireChips() {
  return kChips;
}

MicrowireChip::MicrowireChip(const MicrowireChipDescription& description)
    : d_(description), cells_(static_cast<std::size_t>(d_.words), 0xFFFF) {}

std::unique_ptr<MicrowireChip> MicrowireChip::ForDevice(std::string_view deviceName) {
  const MicrowireChipDescription* d = MicrowireChipFor(deviceName);
  return d ? std::make_unique<MicrowireChip>(*d) : nullptr;
}

int MicrowireChip::RegionSize(ChipRegion region) const {
  return region == ChipRegion::Code ? d_.words : 0;
}

std::uint16_t MicrowireChip::Element(ChipRegion, int index) const {
  return cells_[static_cast<std::size_t>(index)];
}

void MicrowireChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  if (region == ChipRegion::Code) cells_[static_cast<std::size_t>(index)] = value;
}

void MicrowireChip::SetAbsent(bool absent) {
  absent_ = absent;
  if (absent_) Reset();
}

// --- time ---

void MicrowireChip::Settle(std::int64_t timeUs) {
  if (job_ == Job::None || stuckBusy_ || timeUs < jobEndUs_) return;
  auto store = [&](int index, std::uint16_t value) {
    if (!neverProgram_.contains(index)) cells_[static_cast<std::size_t>(index)] = value;
  };
  switch (job_) {
    case Job::Write:
      store(jobIndex_, jobValue_);
      break;
    case Job::Erase:
      store(jobIndex_, 0xFFFF);
      break;
    case Job::EraseAll:
    case Job::WriteAll:
      for (int i = 0; i < d_.words; ++i) store(i, job_ == Job::EraseAll ? 0xFFFF : jobValue_);
      break;
    case Job::None:
      break;
  }
  ++completedWrites_;
  job_ = Job::None;
}

// Power-up (and an empty socket): write-disabled, nothing selected, a cycle in progress lost.
void MicrowireChip::Reset() {
  phase_ = Phase::WaitStart;
  writeEnabled_ = false;
  statusShown_ = false;
  drive_ = DataDrive::Released;
  pending_ = Job::None;
  job_ = Job::None;
}

// --- pins ---

void MicrowireChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  Settle(timeUs);
  const ChipPins before = pins_;
  // DI and DO share the programmer's data line: what DI sees is the line, the part's own
  // output included.
  const bool di = DataLineLevel(DataOut(timeUs), pins.data);
  pins_ = pins;
  if (absent_) return;
  if (!pins.vcc) {
    if (before.vcc) Reset();
    return;
  }
  if (!before.vcc) Reset();
  if (pins.mclr && !before.mclr) {
    phase_ = Phase::WaitStart;
    drive_ = DataDrive::Released;
  }
  if (!pins.mclr && before.mclr) Deselected(timeUs);
  if (pins.mclr && before.mclr && pins.clock && !before.clock) Rising(di);
}

DataDrive MicrowireChip::DataOut(std::int64_t timeUs) {
  Settle(timeUs);
  if (absent_ || !pins_.vcc || !pins_.mclr) return DataDrive::Released;
  if (phase_ == Phase::Output) return drive_;
  if (statusShown_ && phase_ == Phase::WaitStart) return Busy() ? DataDrive::Low : DataDrive::High;
  return DataDrive::Released;
}

void MicrowireChip::Rising(bool di) {
  // A part in its write cycle takes no instruction; its status stays on DO.
  if (Busy()) return;
  auto shiftIn = [&] {
    shift_ = (shift_ << 1) | (di ? 1u : 0u);
    return ++count_;
  };
  switch (phase_) {
    case Phase::WaitStart:
      if (!di) return;  // leading zeros are no start bit
      statusShown_ = false;
      phase_ = Phase::Opcode;
      count_ = 0;
      shift_ = 0;
      return;
    case Phase::Opcode:
      if (shiftIn() < OpcodeBits()) return;
      opcode_ = static_cast<int>(shift_);
      phase_ = Phase::Address;
      count_ = 0;
      shift_ = 0;
      return;
    case Phase::Address:
      if (shiftIn() < d_.addressBits) return;
      address_ = static_cast<int>(shift_);
      Decoded();
      return;
    case Phase::Data:
      if (shiftIn() < 16) return;
      pendingValue_ = static_cast<std::uint16_t>(shift_);
      phase_ = Phase::Complete;
      return;
    case Phase::Output:
      NextOutputBit();
      return;
    case Phase::Complete:
    case Phase::Ignore:
      return;
  }
}

void MicrowireChip::Decoded() {
  count_ = 0;
  shift_ = 0;
  phase_ = Phase::Complete;
  switch (Decode(d_.family, opcode_, address_, d_.addressBits)) {
    case Instruction::Read:
      // The dummy 0 comes with the last address bit; the data follow on the next rising edges.
      outWord_ = address_ & (d_.words - 1);
      outBit_ = 16;
      drive_ = DataDrive::Low;
      phase_ = Phase::Output;
      return;
    case Instruction::Write:
      pending_ = Job::Write;
      phase_ = Phase::Data;
      return;
    case Instruction::WriteAll:
      pending_ = Job::WriteAll;
      phase_ = Phase::Data;
      return;
    case Instruction::Erase:
      pending_ = Job::Erase;
      return;
    case Instruction::EraseAll:
      pending_ = Job::EraseAll;
      return;
    case Instruction::Ewen:
      writeEnabled_ = true;
      return;
    case Instruction::Ewds:
      writeEnabled_ = false;
      return;
    case Instruction::Unknown:
      phase_ = Phase::Ignore;
      return;
  }
}

void MicrowireChip::NextOutputBit() {
  // Clocking on reads the following words.
  if (outBit_ == 0) {
    outWord_ = (outWord_ + 1) % d_.words;
    outBit_ = 16;
  }
  --outBit_;
  drive_ = (cells_[static_cast<std::size_t>(outWord_)] >> outBit_) & 1 ? DataDrive::High
                                                                       : DataDrive::Low;
}

void MicrowireChip::Deselected(std::int64_t timeUs) {
  // A write starts only with its data complete; one cut short is dropped.
  const bool complete = phase_ == Phase::Complete;
  phase_ = Phase::WaitStart;
  drive_ = DataDrive::Released;
  const Job job = complete ? pending_ : Job::None;
  pending_ = Job::None;
  if (job == Job::None || Busy()) return;
  if (!writeEnabled_) {
    ++refusedWrites_;
    return;
  }
  job_ = job;
  jobIndex_ = address_ & (d_.words - 1);
  jobValue_ = pendingValue_;
  const bool bulk = job == Job::EraseAll || job == Job::WriteAll;
  jobEndUs_ = timeUs + (bulk ? d_.bulkWriteUs : d_.writeUs);
  statusShown_ = d_.family == Microwire93;
}

}  // namespace kestrum
