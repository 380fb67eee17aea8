// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC 16C54 model in program/verify mode.
#include "sim/chips/parallel_pic_chip.hpp"

namespace kestrum {
namespace {

constexpr int kConfigCell = ParallelPicChip::kConfigAddress;
constexpr std::uint16_t kWordMask = 0xFFF;
constexpr std::uint16_t kConfigImplemented = 0x00F;
constexpr std::uint16_t kCodeProtectBit = 0x008;

}  // namespace

ParallelPicChip::ParallelPicChip()
    : code_(static_cast<std::size_t>(kProgramWords + kIdWords), kWordMask) {}

std::unique_ptr<ParallelPicChip> ParallelPicChip::ForDevice(const DeviceDescriptor& device) {
  if (FamilyOf(device) != DeviceFamily::Pic || !device.ParallelOnly) return nullptr;
  return std::make_unique<ParallelPicChip>();
}

bool ParallelPicChip::Protected(int cell) const {
  return !(config_ & kCodeProtectBit) && cell >= 0 && cell < kProgramWords;
}

int ParallelPicChip::CellAt(int pc) const {
  if (pc >= 0 && pc < kProgramWords + kIdWords) return pc;
  return pc == kConfigAddress ? kConfigCell : -1;
}

std::uint16_t ParallelPicChip::ReadCell(int pc) const {
  const int cell = CellAt(pc);
  if (cell < 0) return kWordMask;
  if (cell == kConfigCell) return config_;
  return Protected(cell) ? 0 : code_[static_cast<std::size_t>(cell)];
}

void ParallelPicChip::OnParallelPins(const ParallelPins& pins, std::int64_t timeUs) {
  const ParallelPins before = pins_;
  pins_ = pins;
  if (absent_) return;
  if (!pins.vcc || !pins.vpp) {
    mode_ = false;
    pulseStartUs_ = -1;
    return;
  }
  if (!before.vpp || !before.vcc) {
    // Program/verify mode starts at the configuration word.
    mode_ = !pins.counterClock;
    pc_ = kConfigAddress;
    pulseStartUs_ = -1;
    return;
  }
  if (!mode_) return;
  if (before.counterClock && !pins.counterClock) pc_ = (pc_ + 1) & kWordMask;
  if (before.program && !pins.program) pulseStartUs_ = timeUs;
  if (!before.program && pins.program && pulseStartUs_ >= 0) {
    if (timeUs - pulseStartUs_ >= kParallelPicMinimumPulseUs) {
      Pulse(BusLevel(pins, BusOut(timeUs)), pins.busDriven != 0);
    }
    pulseStartUs_ = -1;
  }
}

void ParallelPicChip::Pulse(std::uint16_t levels, bool driven) {
  const int cell = CellAt(pc_);
  if (cell < 0) return;
  if (driven) ++drivenPulses_[cell];
  if (Protected(cell) || neverProgram_.count(cell)) return;
  std::uint16_t& word = cell == kConfigCell ? config_ : code_[static_cast<std::size_t>(cell)];
  const std::uint16_t programmable = cell == kConfigCell ? kConfigImplemented : kWordMask;
  auto& charge = charge_[cell];
  for (int bit = 0; bit < 12; ++bit) {
    const std::uint16_t mask = static_cast<std::uint16_t>(1u << bit);
    if (!(programmable & mask) || (levels & mask) || !(word & mask)) continue;
    if (++charge[static_cast<std::size_t>(bit)] >= pulsesNeeded_) {
      word = static_cast<std::uint16_t>(word & ~mask);
    }
  }
}

BusDrive ParallelPicChip::BusOut(std::int64_t) {
  if (absent_ || !mode_) return {};
  return {ReadCell(pc_), kWordMask};
}

int ParallelPicChip::DrivenPulses(int address) const {
  const auto it = drivenPulses_.find(address);
  return it == drivenPulses_.end() ? 0 : it->second;
}

int ParallelPicChip::RegionSize(ChipRegion region) const {
  switch (region) {
    case ChipRegion::Code:
      return static_cast<int>(code_.size());
    case ChipRegion::Config:
      return 1;
    case ChipRegion::Data:
      break;
  }
  return 0;
}

std::uint16_t ParallelPicChip::Element(ChipRegion region, int index) const {
  if (index < 0 || index >= RegionSize(region)) return kWordMask;
  return region == ChipRegion::Code ? code_[static_cast<std::size_t>(index)] : config_;
}

void ParallelPicChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  if (index < 0 || index >= RegionSize(region)) return;
  if (region == ChipRegion::Code) {
    code_[static_cast<std::size_t>(index)] = value & kWordMask;
    charge_.erase(index);
  } else {
    config_ = static_cast<std::uint16_t>((value & kConfigImplemented) |
                                         (kWordMask & ~kConfigImplemented));
    charge_.erase(kConfigCell);
  }
}

}  // namespace kestrum
