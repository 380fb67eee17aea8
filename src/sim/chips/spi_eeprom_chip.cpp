// An SPI EEPROM as the part carries out its instructions on its pins.
#include "sim/chips/spi_eeprom_chip.hpp"

#include <array>

namespace kestrum {
namespace {

constexpr std::uint8_t kWrsr = 0x01;
constexpr std::uint8_t kWrite = 0x02;
constexpr std::uint8_t kRead = 0x03;
constexpr std::uint8_t kWrdi = 0x04;
constexpr std::uint8_t kRdsr = 0x05;
constexpr std::uint8_t kWren = 0x06;
constexpr std::uint8_t kA8 = 0x08;  // address bit 8 rides in the instruction
constexpr int kPageBytes = 16;

struct Part {
  std::string_view name;
  int bytes;
};
constexpr std::array<Part, 3> kParts = {{{"25010", 128}, {"25020", 256}, {"25040", 512}}};

}  // namespace

SpiEepromChip::SpiEepromChip(int bytes) : memory_(static_cast<std::size_t>(bytes), 0xFF) {}

std::unique_ptr<SpiEepromChip> SpiEepromChip::ForDevice(std::string_view deviceName) {
  for (const Part& p : kParts) {
    if (p.name == deviceName) return std::make_unique<SpiEepromChip>(p.bytes);
  }
  return nullptr;
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
  return static_cast<std::uint16_t>(0xF0 | (blockProtect_ << 2));
}

void SpiEepromChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  if (region == ChipRegion::Code) {
    memory_[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
  } else if (region == ChipRegion::Config) {
    blockProtect_ = (value >> 2) & 3;
  }
}

std::uint8_t SpiEepromChip::Status() const {
  return static_cast<std::uint8_t>(0xF0 | (blockProtect_ << 2) | (writeEnabled_ ? 2 : 0) |
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

void SpiEepromChip::Settle(std::int64_t timeUs) {
  if (busyUntil_ == 0 || timeUs < busyUntil_) return;
  busyUntil_ = 0;
  for (const auto& [address, value] : cycle_) {
    if (!neverProgram_.contains(address)) memory_[static_cast<std::size_t>(address)] = value;
  }
  cycle_.clear();
  if (cycleStatus_ >= 0) blockProtect_ = (cycleStatus_ >> 2) & 3;
  cycleStatus_ = -1;
}

void SpiEepromChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  const ChipPins was = pins_;
  pins_ = pins;
  if (absent_) return;
  if (!pins.vcc) {
    // Without supply the latch, a frame and a cycle in progress are gone.
    armed_ = selected_ = writeEnabled_ = false;
    busyUntil_ = 0;
    cycle_.clear();
    cycleStatus_ = -1;
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
  const int n = bytes_++;
  if (n == 0) {
    const auto code = static_cast<std::uint8_t>(value & ~kA8);
    // While a cycle runs the part only answers for its status.
    if (Busy() && value != kRdsr) {
      op_ = Op::Ignore;
      return;
    }
    address_ = (value & kA8) ? 0x100 : 0;
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
    } else {
      op_ = Op::Ignore;
    }
  }
  switch (op_) {
    case Op::ReadStatus:
      driving_ = true;
      shifter_.Send(Status());
      break;
    case Op::WriteStatus:
      if (n == 1) pendingStatus_ = value;
      break;
    case Op::Read:
      if (n == 1) address_ = (address_ | value) % size;
      if (n >= 1) {
        driving_ = true;
        shifter_.Send(memory_[static_cast<std::size_t>(address_)]);
        address_ = (address_ + 1) % size;
      }
      break;
    case Op::Write:
      if (n == 1) address_ = (address_ | value) % size;
      if (n >= 2) {
        // Bytes past the end of the page wrap to its start.
        const int start = address_ & ~(kPageBytes - 1);
        const int at = start + ((address_ - start + n - 2) % kPageBytes);
        page_.emplace_back(at, value);
      }
      break;
    default:
      break;
  }
}

void SpiEepromChip::EndFrame(std::int64_t timeUs) {
  driving_ = false;
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
      cycleStatus_ = pendingStatus_;
      busyUntil_ = timeUs + kSpiEepromWriteUs;
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
