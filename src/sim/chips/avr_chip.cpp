// SPDX-License-Identifier: GPL-3.0-or-later
// An AVR 90S part in serial programming mode, on its pins.
#include "sim/chips/avr_chip.hpp"

#include <algorithm>
#include <array>

namespace kestrum {
namespace {

constexpr std::array<AvrChipDescription, 10> kParts = {{
    {"90S1200", 20, 512, 64},
    {"90S2313", 20, 1024, 128},
    {"90S2323", 8, 1024, 128},
    {"90S2333", 28, 1024, 128},
    {"90S2343", 8, 1024, 128},
    {"90S4414", 40, 2048, 256},
    {"90S4433", 28, 2048, 256},
    {"90S4434", 40, 2048, 256},
    {"90S8515", 40, 4096, 512},
    {"90S8535", 40, 4096, 512},
}};

constexpr std::uint8_t kEnable1 = 0xAC;
constexpr std::uint8_t kEnable2 = 0x53;
constexpr std::uint8_t kEraseByte = 0x80;
constexpr std::uint8_t kReadLow = 0x20;
constexpr std::uint8_t kReadHigh = 0x28;
constexpr std::uint8_t kWriteLow = 0x40;
constexpr std::uint8_t kWriteHigh = 0x48;
constexpr std::uint8_t kReadEeprom = 0xA0;
constexpr std::uint8_t kWriteEeprom = 0xC0;

}  // namespace

const AvrChipDescription* AvrChipFor(std::string_view deviceName) {
  for (const AvrChipDescription& d : kParts) {
    if (d.name == deviceName) return &d;
  }
  return nullptr;
}

AvrChip::AvrChip(const AvrChipDescription& description)
    : d_(description),
      flash_(static_cast<std::size_t>(2 * d_.flashWords), 0xFF),
      eeprom_(static_cast<std::size_t>(d_.eepromBytes), 0xFF) {}

std::unique_ptr<AvrChip> AvrChip::ForDevice(std::string_view deviceName) {
  const AvrChipDescription* d = AvrChipFor(deviceName);
  return d ? std::make_unique<AvrChip>(*d) : nullptr;
}

std::uint8_t AvrChip::Garbage(int address) {
  return static_cast<std::uint8_t>((address * 0x6D + 0x35) ^ (address >> 5));
}

int AvrChip::RegionSize(ChipRegion region) const {
  switch (region) {
    case ChipRegion::Code:
      return static_cast<int>(flash_.size());
    case ChipRegion::Data:
      return static_cast<int>(eeprom_.size());
    case ChipRegion::Config:
      return 1;
  }
  return 0;
}

std::uint16_t AvrChip::Element(ChipRegion region, int index) const {
  const auto i = static_cast<std::size_t>(index);
  if (region == ChipRegion::Code) return flash_[i];
  if (region == ChipRegion::Data) return eeprom_[i];
  return static_cast<std::uint16_t>(0xF9 | (lock1_ ? 0 : 2) | (lock2_ ? 0 : 4));
}

void AvrChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  const auto i = static_cast<std::size_t>(index);
  if (region == ChipRegion::Code) {
    flash_[i] = static_cast<std::uint8_t>(value);
  } else if (region == ChipRegion::Data) {
    eeprom_[i] = static_cast<std::uint8_t>(value);
  } else {
    lock1_ = (value & 2) == 0;
    lock2_ = (value & 4) == 0;
  }
}

void AvrChip::StartSession(std::int64_t timeUs) {
  ++sessions_;
  sessionStartUs_ = timeUs;
  started_ = false;
  enabled_ = false;
  bytes_ = 0;
  // SCK must be low when /RESET goes low, or the part frames bytes from the wrong edge.
  synced_ = !pins_.clock;
}

void AvrChip::Settle(std::int64_t timeUs) {
  if (job_ == Job::None || timeUs < jobEndUs_) return;
  const auto a = static_cast<std::size_t>(jobAddress_);
  switch (job_) {
    case Job::Erase:
      std::fill(flash_.begin(), flash_.end(), 0xFF);
      std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
      lock1_ = lock2_ = false;
      break;
    case Job::Flash:
      // Flash bits only go from 1 to 0; chip erase brings them back.
      if (!neverProgram_.contains({ChipRegion::Code, jobAddress_})) flash_[a] &= jobValue_;
      break;
    case Job::Eeprom:
      // EEPROM bytes erase themselves before the write.
      if (!neverProgram_.contains({ChipRegion::Data, jobAddress_})) eeprom_[a] = jobValue_;
      break;
    case Job::Lock:
      lock1_ = lock1_ || (jobValue_ & 2) == 0;
      lock2_ = lock2_ || (jobValue_ & 4) == 0;
      break;
    case Job::None:
      break;
  }
  job_ = Job::None;
}

void AvrChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  const ChipPins was = pins_;
  const bool wasInSession = InSession();
  pins_ = pins;
  if (absent_) return;
  if (!pins.vcc) {
    job_ = Job::None;  // a write cut off by the supply never lands
    enabled_ = false;
    return;
  }
  Settle(timeUs);
  if (!InSession()) {
    enabled_ = false;
    return;
  }
  if (!wasInSession) {
    StartSession(timeUs);
    return;
  }
  if (!Awake(timeUs)) return;
  if (!started_) {
    // The first clock of a session: an attempt at programming enable.
    if (!pins.clock || was.clock) return;
    started_ = true;
    if (outOfSync_ > 0) {
      --outOfSync_;
      synced_ = false;
    }
    shifter_.Start(synced_ ? 0 : 1);
  }
  if (pins.clock && !was.clock) {
    if (shifter_.Rise(pins.data)) Byte(shifter_.Received(), timeUs);
  } else if (!pins.clock && was.clock) {
    shifter_.Fall();
  }
}

std::uint8_t AvrChip::ReadByte(bool eeprom, int address) const {
  if (lock1_ && lock2_) return Garbage(address);
  if (job_ != Job::None) return 0xFF;
  return eeprom ? eeprom_[static_cast<std::size_t>(address)]
                : flash_[static_cast<std::size_t>(address)];
}

void AvrChip::Start(Job job, int address, std::uint8_t value, std::int64_t timeUs) {
  if (job_ != Job::None) {
    ++lost_;  // the part is still busy with the last one
    return;
  }
  if (lock1_ && (job == Job::Flash || job == Job::Eeprom)) return;
  job_ = job;
  jobAddress_ = address;
  jobValue_ = value;
  jobEndUs_ = timeUs + (job == Job::Erase ? kAvrEraseUs : kAvrWriteUs);
}

void AvrChip::Byte(std::uint8_t value, std::int64_t timeUs) {
  command_[bytes_++] = value;
  // The shift register hands back what it took, one byte later.
  shifter_.Send(value);
  if (!enabled_) {
    if (bytes_ == 2 && synced_ && command_[0] == kEnable1 && value == kEnable2) enabled_ = true;
    if (bytes_ == 4) bytes_ = 0;
    return;
  }
  const int word = ((command_[1] << 8) | command_[2]) % std::max(d_.flashWords, 1);
  const int byteAddress = ((command_[1] << 8) | command_[2]) % std::max(d_.eepromBytes, 1);
  if (bytes_ == 3) {
    if (command_[0] == kReadLow || command_[0] == kReadHigh) {
      shifter_.Send(ReadByte(false, 2 * word + (command_[0] == kReadHigh ? 1 : 0)));
    } else if (command_[0] == kReadEeprom && d_.eepromBytes > 0) {
      shifter_.Send(ReadByte(true, byteAddress));
    }
    return;
  }
  if (bytes_ < 4) return;
  bytes_ = 0;
  switch (command_[0]) {
    case kEnable1:
      if (command_[1] == kEraseByte) {
        Start(Job::Erase, 0, 0, timeUs);
      } else if ((command_[1] & 0xF9) == 0xF9) {
        Start(Job::Lock, 0, command_[1], timeUs);
      }
      break;
    case kWriteLow:
    case kWriteHigh:
      Start(Job::Flash, 2 * word + (command_[0] == kWriteHigh ? 1 : 0), value, timeUs);
      break;
    case kWriteEeprom:
      if (d_.eepromBytes > 0) Start(Job::Eeprom, byteAddress, value, timeUs);
      break;
    default:
      break;
  }
}

DataDrive AvrChip::DataOut(std::int64_t timeUs) {
  if (absent_ || !pins_.vcc) return DataDrive::Released;
  Settle(timeUs);
  // Out of byte sync the part echoes nothing a programmer could take for 53h.
  if (!Awake(timeUs) || !started_ || !synced_) return DataDrive::Released;
  return shifter_.Level() ? DataDrive::High : DataDrive::Low;
}

}  // namespace kestrum
