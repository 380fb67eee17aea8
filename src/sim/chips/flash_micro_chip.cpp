// SPDX-License-Identifier: GPL-3.0-or-later
// The 89Cx051 flash microcontroller model.
#include "sim/chips/flash_micro_chip.hpp"

#include <algorithm>

namespace kestrum {

FlashMicroChip::FlashMicroChip(int bytes) : code_(static_cast<std::size_t>(bytes), 0xFF) {}

void FlashMicroChip::Settle(std::int64_t timeUs) {
  if (busyUntilUs_ < 0 || timeUs < busyUntilUs_ || stuckBusy_) return;
  // Flash cells only go from 1 to 0 until the next chip erase.
  code_[static_cast<std::size_t>(writeAddress_)] &= writeData_;
  busyUntilUs_ = -1;
}

void FlashMicroChip::OnParallelPins(const ParallelPins& pins, std::int64_t timeUs) {
  const ParallelPins before = pins_;
  pins_ = pins;
  if (absent_) return;
  Settle(timeUs);
  if (!pins.vcc) {
    // A write cut off by the supply is lost.
    busyUntilUs_ = -1;
    pulseStartUs_ = -1;
    return;
  }
  if (!before.vcc) {
    counter_ = 0;  // power-up clears the address counter
    return;
  }
  if (!before.counterClock && pins.counterClock) {
    counter_ = (counter_ + 1) % static_cast<int>(code_.size());
  }
  if (!pins.vpp) pulseStartUs_ = -1;
  // A pulse counts only with RST already at 12 V when PROG falls.
  if (before.program && !pins.program && before.vpp && pins.vpp) {
    pulseStartUs_ = timeUs;
    pulseMode_ = pins.mode;
    pulseAddress_ = counter_;
    pulseData_ = static_cast<std::uint8_t>(BusLevel(pins, {}));
  }
  if (!before.program && pins.program && pulseStartUs_ >= 0) EndPulse(timeUs);
}

void FlashMicroChip::EndPulse(std::int64_t timeUs) {
  const std::int64_t length = timeUs - pulseStartUs_;
  pulseStartUs_ = -1;
  switch (pulseMode_) {
    case flash_mode::kWriteCode:
      // RDY/BSY goes low once PROG is back high, and the byte is in when it rises again.
      if (lock1_ || busyUntilUs_ >= 0) return;
      busyUntilUs_ = timeUs + kFlashByteWriteUs;
      writeAddress_ = pulseAddress_;
      writeData_ = pulseData_;
      break;
    case flash_mode::kChipErase:
      if (length < kFlashErasePulseUs) return;
      std::fill(code_.begin(), code_.end(), 0xFF);
      lock1_ = lock2_ = false;
      ++erases_;
      break;
    case flash_mode::kWriteLockBit1:
      lock1_ = true;
      break;
    case flash_mode::kWriteLockBit2:
      lock2_ = true;
      break;
    default:
      break;
  }
}

BusDrive FlashMicroChip::BusOut(std::int64_t timeUs) {
  if (absent_ || !pins_.vcc || pins_.vpp || !pins_.program || pins_.mode != flash_mode::kReadCode) {
    return {};
  }
  Settle(timeUs);
  // With lock bit 2 programmed the part does not give its code away.
  const std::uint8_t value = lock2_ ? 0x00 : code_[static_cast<std::size_t>(counter_)];
  return {value, 0xFF};
}

bool FlashMicroChip::ReadyOut(std::int64_t timeUs) {
  if (absent_ || !pins_.vcc) return true;  // the board's pull-up
  if (stuckBusy_) return false;
  Settle(timeUs);
  return busyUntilUs_ < 0;
}

int FlashMicroChip::RegionSize(ChipRegion region) const {
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

std::uint16_t FlashMicroChip::Element(ChipRegion region, int index) const {
  if (index < 0 || index >= RegionSize(region)) return 0xFFFF;
  if (region == ChipRegion::Code) return code_[static_cast<std::size_t>(index)];
  return static_cast<std::uint16_t>(0xFFFC | (lock1_ ? 0 : 1) | (lock2_ ? 0 : 2));
}

void FlashMicroChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  if (index < 0 || index >= RegionSize(region)) return;
  if (region == ChipRegion::Code) {
    code_[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
  } else {
    lock1_ = !(value & 1);
    lock2_ = !(value & 2);
  }
}

}  // namespace kestrum
