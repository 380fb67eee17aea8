// SPDX-License-Identifier: GPL-3.0-or-later
// The 24Cxx parts on their pins, and the programmer socket they sit in.
#include "sim/chips/eeprom24_chip.hpp"

#include <algorithm>
#include <array>

namespace kestrum {
namespace {

// Write cycles as the datasheets give them at most: the older small parts take 10 ms, the
// parts with two address bytes 5 ms.
constexpr std::int64_t kSmallWriteUs = 10000;
constexpr std::int64_t kLargeWriteUs = 5000;

constexpr std::array<Eeprom24Description, 11> kParts = {{
    {"24C01A", 128, 8, false, kSmallWriteUs},
    {"24C02", 256, 8, false, kSmallWriteUs},
    {"24C04", 512, 16, false, kSmallWriteUs},
    {"24C08", 1024, 16, false, kSmallWriteUs},
    {"24C16", 2048, 16, false, kSmallWriteUs},
    {"24C32", 4096, 32, true, kLargeWriteUs},
    {"24C64", 8192, 32, true, kLargeWriteUs},
    {"24C128", 16384, 64, true, kLargeWriteUs},
    {"24C256", 32768, 64, true, kLargeWriteUs},
    {"24C512", 65536, 128, true, kLargeWriteUs},
    {"24LC1025", 131072, 128, true, kLargeWriteUs, true},
}};

constexpr int kSelectBlockBytes = 65536;

// The control code every 24Cxx answers to in the top four bits of the device address.
constexpr std::uint8_t kControlCode = 0xA0;

}  // namespace

const Eeprom24Description* Eeprom24For(std::string_view deviceName) {
  for (const Eeprom24Description& d : kParts) {
    if (d.name == deviceName) return &d;
  }
  return nullptr;
}

std::span<const Eeprom24Description> Eeprom24Parts() {
  return kParts;
}

Eeprom24::Eeprom24(const Eeprom24Description& description)
    : d_(description),
      memory_(static_cast<std::size_t>(d_.bytes), 0xFF),
      page_(static_cast<std::size_t>(d_.pageBytes), 0xFF),
      loaded_(static_cast<std::size_t>(d_.pageBytes), false) {}

int Eeprom24::BlockBits() const {
  if (d_.twoAddressBytes) return 0;
  int bits = 0;
  while ((256 << bits) < d_.bytes) ++bits;
  return bits;
}

bool Eeprom24::Busy(std::int64_t timeUs) const {
  return writing_ && (stuckBusy_ || timeUs < writeEndUs_);
}

void Eeprom24::Record(Eeprom24Event::Kind kind, std::int64_t timeUs, int value, bool acknowledged,
                      int address) {
  if (keepLog_) log_.push_back({kind, timeUs, value, acknowledged, address});
}

// --- supply ---

void Eeprom24::PowerUp(std::int64_t timeUs) {
  powered_ = true;
  phase_ = Phase::Idle;
  pull_ = false;
  acknowledging_ = false;
  clocks_ = 0;
  counter_ = 0;
  Record(Eeprom24Event::Kind::PowerUp, timeUs);
}

void Eeprom24::PowerDown(std::int64_t timeUs) {
  if (writing_) {
    // The cells of an unfinished write keep what they held.
    writing_ = false;
    Record(Eeprom24Event::Kind::WriteLost, timeUs, loadedCount_, false, pageStart_);
  }
  powered_ = false;
  pull_ = false;
  phase_ = Phase::Idle;
  Record(Eeprom24Event::Kind::PowerDown, timeUs);
}

void Eeprom24::FinishWrite(std::int64_t timeUs) {
  if (!writing_ || Busy(timeUs)) return;
  writing_ = false;
  for (int i = 0; i < d_.pageBytes; ++i) {
    if (loaded_[static_cast<std::size_t>(i)]) {
      memory_[static_cast<std::size_t>(pageStart_ + i)] = page_[static_cast<std::size_t>(i)];
    }
  }
}

// --- conditions ---

void Eeprom24::Start(std::int64_t timeUs) {
  if (Busy(timeUs)) {
    ++ignoredWhileBusy_;
    return;
  }
  // A repeated start in the middle of a write leaves the page buffer unwritten.
  phase_ = Phase::DeviceAddress;
  clocks_ = 0;
  shift_ = 0;
  pull_ = false;
  acknowledging_ = false;
  loadedCount_ = 0;
  std::fill(loaded_.begin(), loaded_.end(), false);
  Record(Eeprom24Event::Kind::Start, timeUs);
}

void Eeprom24::Stop(std::int64_t timeUs) {
  if (Busy(timeUs)) return;
  const bool write = phase_ == Phase::WriteData && loadedCount_ > 0;
  Record(Eeprom24Event::Kind::Stop, timeUs);
  phase_ = Phase::Idle;
  pull_ = false;
  acknowledging_ = false;
  if (!write || pins_.wp) return;
  writing_ = true;
  writeEndUs_ = timeUs + d_.writeCycleUs;
  ++writeCycles_;
  Record(Eeprom24Event::Kind::WriteCycle, timeUs, loadedCount_, false, pageStart_);
}

// --- bytes ---

bool Eeprom24::Take(std::uint8_t byte, std::int64_t timeUs) {
  bool acknowledge = true;
  switch (phase_) {
    case Phase::DeviceAddress: {
      if (d_.blockSelect) {
        // 1010 B0 A1 A0 R/W: A1 and A0 select the chip; the part works only with A2 high.
        acknowledge = (byte & 0xF0) == kControlCode && ((byte >> 1) & 3) == (pins_.address & 3) &&
                      (pins_.address & 4) != 0;
        if (!acknowledge) break;
        block_ = (byte >> 3) & 1;
        if (byte & 1) {
          counter_ = (block_ * kSelectBlockBytes) | (counter_ % kSelectBlockBytes);
          phase_ = Phase::ReadData;
        } else {
          phase_ = Phase::WordHigh;
        }
        break;
      }
      // The chip-select bits that are not block bits must match A2..A0.
      const int blockMask = (1 << BlockBits()) - 1;
      const int select = (byte >> 1) & 7;
      acknowledge = (byte & 0xF0) == kControlCode &&
                    (select & ~blockMask) == (pins_.address & 7 & ~blockMask);
      if (!acknowledge) break;
      if (byte & 1) {
        // A read runs on from the address counter, whatever block bits it carries.
        phase_ = Phase::ReadData;
      } else {
        block_ = select & blockMask;
        phase_ = d_.twoAddressBytes ? Phase::WordHigh : Phase::WordLow;
      }
      break;
    }
    case Phase::WordHigh:
      wordHigh_ = byte;
      phase_ = Phase::WordLow;
      break;
    case Phase::WordLow: {
      const int high = d_.twoAddressBytes ? wordHigh_ : block_;
      counter_ = ((high << 8) | byte) & (d_.bytes - 1);
      if (d_.blockSelect) counter_ = block_ * kSelectBlockBytes + ((high << 8) | byte);
      pageStart_ = counter_ - counter_ % d_.pageBytes;
      phase_ = Phase::WriteData;
      break;
    }
    case Phase::WriteData: {
      // Only the low address bits count up: past the page's end the next byte goes to its
      // start.
      const int offset = counter_ - pageStart_;
      page_[static_cast<std::size_t>(offset)] = byte;
      if (!loaded_[static_cast<std::size_t>(offset)]) {
        loaded_[static_cast<std::size_t>(offset)] = true;
        ++loadedCount_;
      }
      counter_ = pageStart_ + (offset + 1) % d_.pageBytes;
      break;
    }
    case Phase::Idle:
    case Phase::ReadData:
      acknowledge = false;
      break;
  }
  if (neverAcknowledge_) acknowledge = false;
  Record(Eeprom24Event::Kind::Received, timeUs, byte, acknowledge);
  return acknowledge;
}

void Eeprom24::DriveBit() {
  // Bit 7 first, changed only while SCL is low.
  pull_ = !neverAcknowledge_ &&
          ((memory_[static_cast<std::size_t>(counter_)] >> (7 - clocks_)) & 1) == 0;
}

void Eeprom24::Rising(bool sda) {
  if (phase_ == Phase::Idle) return;
  if (acknowledging_) {
    ++clocks_;  // the ninth clock of the part's own acknowledge
    return;
  }
  if (clocks_ < 8) {
    if (phase_ != Phase::ReadData) shift_ = static_cast<std::uint8_t>((shift_ << 1) | sda);
  } else if (phase_ == Phase::ReadData && clocks_ == 8) {
    masterAcknowledged_ = !sda;
  }
  ++clocks_;
}

void Eeprom24::Falling(std::int64_t timeUs) {
  if (phase_ == Phase::Idle && !acknowledging_) return;
  if (phase_ == Phase::ReadData && !acknowledging_) {
    if (clocks_ < 8) {
      DriveBit();
    } else if (clocks_ == 8) {
      pull_ = false;  // the master's acknowledge
    } else {
      Record(Eeprom24Event::Kind::Sent, timeUs, memory_[static_cast<std::size_t>(counter_)],
             masterAcknowledged_);
      // The counter runs on over every block and wraps at the end of memory; the 24LC1025's
      // wraps inside its 64 KiB block.
      counter_ = d_.blockSelect
                     ? counter_ - counter_ % kSelectBlockBytes + (counter_ + 1) % kSelectBlockBytes
                     : (counter_ + 1) % d_.bytes;
      clocks_ = 0;
      if (masterAcknowledged_) {
        DriveBit();
      } else {
        phase_ = Phase::Idle;
      }
    }
    return;
  }
  if (clocks_ == 8 && !acknowledging_) {
    const bool acknowledge = Take(shift_, timeUs);
    if (!acknowledge) phase_ = Phase::Idle;
    acknowledging_ = acknowledge;
    pull_ = acknowledge;
  } else if (clocks_ >= 9) {
    acknowledging_ = false;
    pull_ = false;
    clocks_ = 0;
    shift_ = 0;
    if (phase_ == Phase::ReadData) DriveBit();
  }
}

void Eeprom24::OnPins(const Eeprom24Pins& pins, std::int64_t timeUs) {
  if (writing_) FinishWrite(timeUs);
  if (pins.vcc != powered_) {
    if (pins.vcc) {
      PowerUp(timeUs);
    } else {
      PowerDown(timeUs);
    }
  }
  const Eeprom24Pins before = pins_;
  pins_ = pins;
  if (!powered_) {
    lineSda_ = pins.sda;
    return;
  }
  const bool sda = pins.sda && !pull_;
  const bool sdaChanged = sda != lineSda_;
  lineSda_ = sda;
  if (pins.scl != before.scl) {
    if (pins.scl) {
      Rising(sda);
    } else {
      Falling(timeUs);
      lineSda_ = pins.sda && !pull_;
    }
  } else if (pins.scl && sdaChanged) {
    if (sda) {
      Stop(timeUs);
    } else {
      Start(timeUs);
    }
    lineSda_ = pins.sda && !pull_;
  }
}

// --- the socket ---

std::unique_ptr<Eeprom24Chip> Eeprom24Chip::ForDevice(std::string_view deviceName) {
  const Eeprom24Description* d = Eeprom24For(deviceName);
  return d ? std::make_unique<Eeprom24Chip>(*d) : nullptr;
}

void Eeprom24Chip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  if (absent_) return;
  part_.OnPins({.vcc = supply_ == Supply::Vcc ? pins.vcc : pins.mclr,
                .scl = pins.clock,
                .sda = pins.data,
                .wp = writeProtect_,
                .address = addressPins_},
               timeUs);
}

DataDrive Eeprom24Chip::DataOut(std::int64_t /*timeUs*/) {
  return !absent_ && part_.PullsSdaLow() ? DataDrive::Low : DataDrive::Released;
}

int Eeprom24Chip::RegionSize(ChipRegion region) const {
  return region == ChipRegion::Code ? part_.Description().bytes : 0;
}

std::uint16_t Eeprom24Chip::Element(ChipRegion region, int index) const {
  return region == ChipRegion::Code ? part_.Memory()[static_cast<std::size_t>(index)] : 0;
}

void Eeprom24Chip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  if (region == ChipRegion::Code) {
    part_.Memory()[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
  }
}

}  // namespace kestrum
