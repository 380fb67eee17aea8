// SPDX-License-Identifier: GPL-3.0-or-later
// The 89S53 in serial programming mode, on its pins.
#include "sim/chips/micro89s_chip.hpp"

#include <algorithm>

namespace kestrum {
namespace {

constexpr std::uint8_t kSpecial = 0xAC;
constexpr std::uint8_t kEnable = 0x53;

}  // namespace

Micro89SChip::Micro89SChip() : code_(kMicro89SBytes, 0xFF) {}

std::unique_ptr<Micro89SChip> Micro89SChip::ForDevice(std::string_view deviceName) {
  return deviceName == "89S53" ? std::make_unique<Micro89SChip>() : nullptr;
}

std::uint8_t Micro89SChip::Garbage(int address) {
  return static_cast<std::uint8_t>((address * 0x3B + 0x91) ^ (address >> 6));
}

int Micro89SChip::RegionSize(ChipRegion region) const {
  switch (region) {
    case ChipRegion::Code:
      return kMicro89SBytes;
    case ChipRegion::Data:
      return 0;
    case ChipRegion::Config:
      return 1;
  }
  return 0;
}

std::uint16_t Micro89SChip::Element(ChipRegion region, int index) const {
  if (region == ChipRegion::Code) return code_[static_cast<std::size_t>(index)];
  return static_cast<std::uint16_t>(0x1F | ((locks_ & 1) ? 0 : 0x80) | ((locks_ & 2) ? 0 : 0x40) |
                                    ((locks_ & 4) ? 0 : 0x20));
}

void Micro89SChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  if (region == ChipRegion::Code) {
    code_[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
  } else if (region == ChipRegion::Config) {
    locks_ = ((value & 0x80) ? 0 : 1) | ((value & 0x40) ? 0 : 2) | ((value & 0x20) ? 0 : 4);
  }
}

void Micro89SChip::Settle(std::int64_t timeUs) {
  if (job_ == Job::None || timeUs < jobEndUs_) return;
  switch (job_) {
    case Job::Erase:
      std::fill(code_.begin(), code_.end(), 0xFF);
      locks_ = 0;
      break;
    case Job::Write:
      if (!neverProgram_.contains(jobAddress_)) {
        code_[static_cast<std::size_t>(jobAddress_)] &= jobValue_;
      }
      break;
    case Job::Lock:
      locks_ |= ((jobValue_ & 0x80) ? 0 : 1) | ((jobValue_ & 0x40) ? 0 : 2) |
                ((jobValue_ & 0x20) ? 0 : 4);
      break;
    case Job::None:
      break;
  }
  job_ = Job::None;
}

void Micro89SChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  const ChipPins was = pins_;
  const bool wasInSession = InSession();
  pins_ = pins;
  if (absent_) return;
  if (!pins.vcc) {
    job_ = Job::None;
    enabled_ = false;
    return;
  }
  Settle(timeUs);
  if (!InSession()) {
    enabled_ = false;
    return;
  }
  if (!wasInSession) {
    enabled_ = false;
    bytes_ = 0;
    driving_ = driveNext_ = boundary_ = false;
    shifter_.Start();
    return;
  }
  if (pins.clock && !was.clock) {
    if (shifter_.Rise(pins.data)) {
      boundary_ = true;
      Byte(shifter_.Received(), timeUs);
    }
  } else if (!pins.clock && was.clock) {
    // MISO is driven from the falling edge after the address to the end of the data byte.
    if (boundary_) driving_ = driveNext_;
    boundary_ = driveNext_ = false;
    shifter_.Fall();
  }
}

int Micro89SChip::Address() const {
  const int high = ((command_[0] >> 3) & 0x1F) | (((command_[0] >> 2) & 1) << 5);
  return ((high << 8) | command_[1]) % kMicro89SBytes;
}

void Micro89SChip::Start(Job job, int address, std::uint8_t value, std::int64_t timeUs) {
  if (job_ != Job::None) {
    ++lost_;
    return;
  }
  if (job == Job::Write && (locks_ & 1)) return;
  job_ = job;
  jobAddress_ = address;
  jobValue_ = value;
  jobEndUs_ = timeUs + (job == Job::Erase ? kMicro89SEraseUs : kMicro89SWriteUs);
}

void Micro89SChip::Byte(std::uint8_t value, std::int64_t timeUs) {
  command_[bytes_++] = value;
  const bool special = command_[0] == kSpecial;
  if (bytes_ == 2 && !special && enabled_ && (command_[0] & 3) == 1) {
    const int a = Address();
    std::uint8_t data = 0xFF;
    if (locks_ & 2) {
      data = Garbage(a);
    } else if (job_ == Job::None) {
      data = code_[static_cast<std::size_t>(a)];
    }
    driveNext_ = true;
    shifter_.Send(data);
    return;
  }
  if (bytes_ < 3) return;
  bytes_ = 0;
  if (special) {
    if (command_[1] == kEnable) {
      enabled_ = true;
    } else if (enabled_ && (command_[1] & 7) == 4) {
      Start(Job::Erase, 0, 0, timeUs);
    } else if (enabled_ && (command_[1] & 7) == 7) {
      Start(Job::Lock, 0, command_[1], timeUs);
    }
  } else if (enabled_ && (command_[0] & 3) == 2) {
    Start(Job::Write, Address(), value, timeUs);
  }
}

DataDrive Micro89SChip::DataOut(std::int64_t timeUs) {
  if (absent_ || !InSession()) return DataDrive::Released;
  Settle(timeUs);
  if (!driving_) return DataDrive::Released;
  return shifter_.Level() ? DataDrive::High : DataDrive::Low;
}

}  // namespace kestrum
