// SPDX-License-Identifier: GPL-3.0-or-later
// An SPI EEPROM as the part carries out its instructions on its pins.
#include "sim/chips/spi_eeprom_chip.hpp"

#include <algorithm>
#include <array>

namespace kestrum {
namespace {

constexpr std::uint8_t kWrsr = 0x01;
constexpr std::uint8_t kWrite = 0x02;
constexpr std::uint8_t kRead = 0x03;
constexpr std::uint8_t kWrdi = 0x04;
constexpr std::uint8_t kRdsr = 0x05;
constexpr std::uint8_t kWren = 0x06;
constexpr std::uint8_t kPageErase = 0x42;
constexpr std::uint8_t kSectorErase = 0xD8;
constexpr std::uint8_t kChipErase = 0xC7;
constexpr std::uint8_t kRdid = 0xAB;
constexpr std::uint8_t kDpd = 0xB9;
constexpr std::uint8_t kA8 = 0x08;  // address bit 8 rides in the 25010/20/40's instruction
constexpr std::uint8_t kWpen = 0x80;

// Sizes and pages: DS21808D (080A/B), the 25xx160A/B sheet, DS21828F (320A), the 25AA640A
// sheet, DS21831E (128), DS20005715A (256), DS20002021G (512: 16 KiB sectors). The 25xx512's
// signature is the value DS21836D gives for the 25xx1024; its own sheet's value was not at hand.
constexpr std::array<SpiEepromDescription, 12> kParts = {{
    {"25010", 128},
    {"25020", 256},
    {"25040", 512},
    {"25LC080A", 1024, 16, 2},
    {"25LC080B", 1024, 32, 2},
    {"25LC160A", 2048, 16, 2},
    {"25LC160B", 2048, 32, 2},
    {"25LC320A", 4096, 32, 2},
    {"25LC640A", 8192, 32, 2},
    {"25LC128", 16384, 64, 2},
    {"25LC256", 32768, 64, 2},
    {"25LC512", 65536, 128, 2, true, 0x29, 16384},
}};

}  // namespace

const SpiEepromDescription* SpiEepromFor(std::string_view deviceName) {
  for (const SpiEepromDescription& p : kParts) {
    if (p.name == deviceName) return &p;
  }
  return nullptr;
}

SpiEepromChip::SpiEepromChip(const SpiEepromDescription& description)
    : d_(description), memory_(static_cast<std::size_t>(d_.bytes), 0xFF) {}

SpiEepromChip::SpiEepromChip(int bytes) : SpiEepromChip(SpiEepromDescription{"", bytes}) {}

std::unique_ptr<SpiEepromChip> SpiEepromChip::ForDevice(std::string_view deviceName) {
  const SpiEepromDescription* d = SpiEepromFor(deviceName);
  return d ? std::make_unique<SpiEepromChip>(*d) : nullptr;
}

int SpiEepromChip::RegionSize(ChipRegion region) const {
  switch (region) {
    case ChipRegion::Code:
      return static_cast<int>(memory_.size());
    case ChipRegion::Data:
      return 0;
    case ChipRegion::Config:
      return 1;
  }
  return 0;
}

std::uint16_t SpiEepromChip::Element(ChipRegion region, int index) const {
  if (region == ChipRegion::Code) return memory_[static_cast<std::size_t>(index)];
  return static_cast<std::uint16_t>(Status() & ~0x03);
}

void SpiEepromChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  if (region == ChipRegion::Code) {
    memory_[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
  } else if (region == ChipRegion::Config) {
    blockProtect_ = (value >> 2) & 3;
    wpen_ = d_.addressBytes == 2 && (value & kWpen) != 0;
  }
}

std::uint8_t SpiEepromChip::Status() const {
  // The 25010/20/40 read 1 in bits 7..4; the later parts keep WPEN there and read 0 beside it.
  const int high = d_.addressBytes == 1 ? 0xF0 : (wpen_ ? kWpen : 0);
  return static_cast<std::uint8_t>(high | (blockProtect_ << 2) | (writeEnabled_ ? 2 : 0) |
                                   (Busy() ? 1 : 0));
}

bool SpiEepromChip::Protected(int address) const {
  const int size = static_cast<int>(memory_.size());
  switch (blockProtect_) {
    case 1:
      return address >= size - size / 4;
    case 2:
      return address >= size / 2;
    case 3:
      return true;
    default:
      return false;
  }
}

bool SpiEepromChip::AnyProtected(int first, int count) const {
  for (int a = first; a < first + count; ++a) {
    if (Protected(a)) return true;
  }
  return false;
}

void SpiEepromChip::Settle(std::int64_t timeUs) {
  if (busyUntil_ == 0 || timeUs < busyUntil_) return;
  busyUntil_ = 0;
  for (const auto& [address, value] : cycle_) {
    if (!neverProgram_.contains(address)) memory_[static_cast<std::size_t>(address)] = value;
  }
  cycle_.clear();
  std::fill_n(memory_.begin() + eraseFirst_, eraseCount_, 0xFF);
  eraseCount_ = 0;
  if (cycleStatus_ >= 0) {
    blockProtect_ = (cycleStatus_ >> 2) & 3;
    if (d_.addressBytes == 2) wpen_ = (cycleStatus_ & kWpen) != 0;
  }
  cycleStatus_ = -1;
}

void SpiEepromChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  const ChipPins was = pins_;
  pins_ = pins;
  if (absent_) return;
  if (!pins.vcc) {
    // Without supply the latch, a frame and a cycle in progress are gone.
    armed_ = selected_ = writeEnabled_ = deepPowerDown_ = false;
    busyUntil_ = 0;
    cycle_.clear();
    cycleStatus_ = -1;
    eraseCount_ = 0;
    return;
  }
  Settle(timeUs);
  const bool csLow = !pins.mclr;
  if (!was.vcc) {
    armed_ = !csLow;
    return;
  }
  if (!csLow) {
    if (selected_) EndFrame(timeUs);
    selected_ = false;
    armed_ = true;
    return;
  }
  if (was.mclr && armed_) {
    selected_ = true;
    shifter_.Start();
    op_ = Op::None;
    bytes_ = 0;
    driving_ = false;
    page_.clear();
    pendingStatus_ = -1;
    return;
  }
  if (!selected_) return;
  if (pins.clock && !was.clock) {
    if (shifter_.Rise(pins.data)) Byte(shifter_.Received());
  } else if (!pins.clock && was.clock) {
    shifter_.Fall();
  }
}

void SpiEepromChip::Byte(std::uint8_t value) {
  const int size = static_cast<int>(memory_.size());
  const int addressEnd = d_.addressBytes;  // the byte index of the address's last byte
  const int n = bytes_++;
  if (n == 0) {
    const bool wide = d_.addressBytes == 2;
    const auto code = wide ? value : static_cast<std::uint8_t>(value & ~kA8);
    // While a cycle runs the part only answers for its status; in deep power-down only RDID
    // wakes it.
    if ((Busy() && value != kRdsr) || (deepPowerDown_ && value != kRdid)) {
      op_ = Op::Ignore;
      return;
    }
    address_ = !wide && (value & kA8) ? 0x100 : 0;
    if (value == kWren) {
      op_ = Op::Wren;
    } else if (value == kWrdi) {
      op_ = Op::Wrdi;
    } else if (value == kRdsr) {
      op_ = Op::ReadStatus;
    } else if (value == kWrsr) {
      op_ = Op::WriteStatus;
    } else if (code == kRead) {
      op_ = Op::Read;
    } else if (code == kWrite) {
      op_ = Op::Write;
    } else if (d_.eraseAndId && value == kPageErase) {
      op_ = Op::PageErase;
    } else if (d_.eraseAndId && value == kSectorErase) {
      op_ = Op::SectorErase;
    } else if (d_.eraseAndId && value == kChipErase) {
      op_ = Op::ChipErase;
    } else if (d_.eraseAndId && value == kRdid) {
      op_ = Op::ReadId;
      deepPowerDown_ = false;
    } else if (d_.eraseAndId && value == kDpd) {
      op_ = Op::PowerDown;
    } else {
      op_ = Op::Ignore;
    }
  }
  const bool addressing =
      op_ == Op::Read || op_ == Op::Write || op_ == Op::PageErase || op_ == Op::SectorErase;
  if (addressing && n >= 1 && n <= addressEnd) {
    address_ = d_.addressBytes == 2 && n == 1 ? value << 8 : (address_ | value);
    if (n == addressEnd) address_ %= size;
  }
  switch (op_) {
    case Op::ReadStatus:
      driving_ = true;
      shifter_.Send(Status());
      break;
    case Op::WriteStatus:
      if (n == 1) pendingStatus_ = value;
      break;
    case Op::ReadId:
      // A dummy address of two bytes, then the signature as long as it is clocked.
      if (n >= 2) {
        driving_ = true;
        shifter_.Send(d_.signature);
      }
      break;
    case Op::Read:
      if (n >= addressEnd) {
        driving_ = true;
        shifter_.Send(memory_[static_cast<std::size_t>(address_)]);
        address_ = (address_ + 1) % size;
      }
      break;
    case Op::Write:
      if (n > addressEnd) {
        // Bytes past the end of the page wrap to its start.
        const int start = address_ - address_ % d_.pageBytes;
        const int at = start + ((address_ - start + n - addressEnd - 1) % d_.pageBytes);
        page_.emplace_back(at, value);
      }
      break;
    default:
      break;
  }
}

void SpiEepromChip::EndFrame(std::int64_t timeUs) {
  driving_ = false;
  auto erase = [&](int first, int count, std::int64_t us) {
    if (!writeEnabled_) return;
    writeEnabled_ = false;
    if (AnyProtected(first, count)) {
      ++refusedWrites_;
      return;
    }
    eraseFirst_ = first;
    eraseCount_ = count;
    busyUntil_ = timeUs + us;
  };
  switch (op_) {
    case Op::Wren:
      writeEnabled_ = true;
      break;
    case Op::Wrdi:
      writeEnabled_ = false;
      break;
    case Op::Write: {
      if (!writeEnabled_ || page_.empty()) break;
      writeEnabled_ = false;
      bool refused = false;
      for (const auto& entry : page_) refused = refused || Protected(entry.first);
      if (refused) {
        ++refusedWrites_;
        break;
      }
      cycle_ = page_;
      busyUntil_ = timeUs + kSpiEepromWriteUs;
      break;
    }
    case Op::WriteStatus:
      if (!writeEnabled_ || pendingStatus_ < 0) break;
      writeEnabled_ = false;
      // WPEN with /WP low protects the status register itself.
      if (wpen_ && wpLow_) {
        ++refusedWrites_;
        break;
      }
      cycleStatus_ = pendingStatus_;
      busyUntil_ = timeUs + kSpiEepromWriteUs;
      break;
    case Op::PageErase:
      if (bytes_ > d_.addressBytes) {
        erase(address_ - address_ % d_.pageBytes, d_.pageBytes, kSpiPageEraseUs);
      }
      break;
    case Op::SectorErase:
      if (bytes_ > d_.addressBytes) {
        erase(address_ - address_ % d_.sectorBytes, d_.sectorBytes, kSpiSectorEraseUs);
      }
      break;
    case Op::ChipErase:
      erase(0, static_cast<int>(memory_.size()), kSpiChipEraseUs);
      break;
    case Op::PowerDown:
      deepPowerDown_ = true;
      break;
    default:
      break;
  }
  op_ = Op::None;
}

DataDrive SpiEepromChip::DataOut(std::int64_t timeUs) {
  if (absent_ || !pins_.vcc) return DataDrive::Released;
  Settle(timeUs);
  if (!selected_ || !driving_) return DataDrive::Released;
  return shifter_.Level() ? DataDrive::High : DataDrive::Low;
}

}  // namespace kestrum
