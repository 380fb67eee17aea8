// SPDX-License-Identifier: GPL-3.0-or-later
// The NVM 3060 IM-Bus EEPROM model.
#include "sim/chips/nvm3060_chip.hpp"

namespace kestrum {
namespace {

constexpr std::uint8_t kSelect = 0x80;
constexpr std::uint8_t kRead = 0x81;
constexpr std::uint8_t kWrite = 0x83;

}  // namespace

Nvm3060Chip::Nvm3060Chip() : cells_(kBytes, 0xFF) {}

void Nvm3060Chip::Settle(std::int64_t timeUs) {
  if (busyUntilUs_ < 0 || timeUs < busyUntilUs_) return;
  if (!neverProgram_.contains(pendingCell_)) {
    cells_[static_cast<std::size_t>(pendingCell_)] = pendingValue_;
  }
  busyUntilUs_ = -1;
}

void Nvm3060Chip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  const ChipPins before = pins_;
  pins_ = pins;
  if (absent_) return;
  Settle(timeUs);
  if (!pins.vcc) {
    busyUntilUs_ = -1;  // a write cut off by the supply is lost
    phase_ = Phase::Idle;
    driving_ = false;
    return;
  }
  if (!before.vcc || busyUntilUs_ >= 0) return;
  const bool identFell = before.mclr && !pins.mclr;
  const bool identRose = !before.mclr && pins.mclr;
  if (identFell) {
    if (phase_ == Phase::Data) Execute(timeUs);
    phase_ = Phase::Address;
    address_ = 0;
    addressBits_ = 0;
    driving_ = false;
    return;
  }
  if (identRose) {
    // Eight address bits open the data field; an IDENT pulse without them closes a transfer.
    if (phase_ == Phase::Address && addressBits_ == 8) {
      phase_ = Phase::Data;
      data_ = 0;
      dataBits_ = 0;
      out_ = cells_[static_cast<std::size_t>(selected_)];
    } else {
      phase_ = Phase::Idle;
    }
    return;
  }
  if (!before.clock && pins.clock) {
    if (phase_ == Phase::Address && addressBits_ < 8) {
      address_ = static_cast<std::uint8_t>(address_ | ((pins.data ? 1 : 0) << addressBits_));
      ++addressBits_;
    } else if (phase_ == Phase::Data && dataBits_ < 16) {
      if (address_ != kRead)
        data_ = static_cast<std::uint16_t>(data_ | ((pins.data ? 1 : 0) << dataBits_));
      ++dataBits_;
    }
  }
  if (before.clock && !pins.clock && phase_ == Phase::Data && address_ == kRead) {
    // The next bit of the cell goes out after each falling clock, least significant first.
    driving_ = dataBits_ < 8;
    outBit_ = (out_ >> dataBits_) & 1;
  }
}

void Nvm3060Chip::Execute(std::int64_t timeUs) {
  const auto field = static_cast<std::uint16_t>(address_ == kRead ? out_ : data_);
  transfers_.push_back({address_, field, dataBits_});
  if (address_ == kSelect && dataBits_ == 16) {
    selected_ = data_ % kBytes;
  } else if (address_ == kWrite && dataBits_ == 16) {
    std::uint8_t value;
    if (data_ == 0xFFFF) {
      value = 0xFF;
    } else if ((data_ >> 8) == 0xFF) {
      value = static_cast<std::uint8_t>(cells_[static_cast<std::size_t>(selected_)] & data_);
    } else {
      return;
    }
    pendingCell_ = selected_;
    pendingValue_ = value;
    busyUntilUs_ = timeUs + kNvmWriteUs;
    ++writes_;
  }
}

DataDrive Nvm3060Chip::DataOut(std::int64_t) {
  if (absent_ || !driving_ || !pins_.vcc) return DataDrive::Released;
  // An open-drain output: it pulls low or lets go.
  return outBit_ ? DataDrive::Released : DataDrive::Low;
}

int Nvm3060Chip::RegionSize(ChipRegion region) const {
  return region == ChipRegion::Code ? kBytes : 0;
}

std::uint16_t Nvm3060Chip::Element(ChipRegion region, int index) const {
  if (region != ChipRegion::Code || index < 0 || index >= kBytes) return 0xFF;
  return cells_[static_cast<std::size_t>(index)];
}

void Nvm3060Chip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  if (region != ChipRegion::Code || index < 0 || index >= kBytes) return;
  cells_[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
}

}  // namespace kestrum
