// SPDX-License-Identifier: GPL-3.0-or-later
// The AVRs with a page buffer, on their pins.
#include "sim/chips/avr_paged_chip.hpp"

#include <algorithm>

#include "sim/chips/avr_chip.hpp"

namespace kestrum {
namespace {

constexpr int X = kExternalSource;

// Clock sources by CKSEL code. ATtiny13A (8126F, CKSEL1..0): 00 external clock, 01 4.8 MHz,
// 10 9.6 MHz, 11 128 kHz. ATtiny25/45/85 (2586Q): 0000 external clock, 0001 PLL (16 MHz),
// 0010 8 MHz, 0011 6.4 MHz, 0100 128 kHz, 0110 and 1xxx crystals and resonators. ATtiny2313A
// (8246B): 0010 4 MHz, 0100 8 MHz, 0110 128 kHz. ATmega8A (40001974A): 0001..0100 the
// calibrated RC oscillator at 1, 2, 4 and 8 MHz, 0101..1000 an external RC network, 1001 and
// up crystals. ATmega48PA..328P (DS40002061A): 0010 8 MHz, 0011 128 kHz, 0100 and up crystals.
constexpr std::array<int, 16> kT13AClocks = {X, 4800, 9600, 128};
constexpr std::array<int, 16> kT85Clocks = {X, 16000, 8000, 6400, 128, 0, X, 0,
                                            X, X,     X,    X,    X,   X, X, X};
constexpr std::array<int, 16> kT2313AClocks = {X, 0, 4000, 0, 8000, 0, 128, 0,
                                               X, X, X,    X, X,    X, X,   X};
constexpr std::array<int, 16> kM8AClocks = {X, 1000, 2000, 4000, 8000, X, X, X,
                                            X, X,    X,    X,    X,    X, X, X};
constexpr std::array<int, 16> kM48Clocks = {X, 0, 8000, 128, X, X, X, X, X, X, X, X, X, X, X, X};

// Signatures, memories and page sizes from the datasheets (the 168PA's and 328P's from
// avrdude.conf, see the facts file); fuse layouts and factory values from the fuse tables;
// the self-timed cycles are the datasheets' tWD_FLASH, tWD_EEPROM, tWD_ERASE and tWD_FUSE.
// The calibration values stand for what a factory writes.
constexpr AvrPagedDescription T85Like(std::string_view name, int words, int page, int eeprom,
                                      std::array<std::uint8_t, 3> signature) {
  return {.name = name,
          .pins = 8,
          .flashWords = words,
          .pageWords = page,
          .eepromBytes = eeprom,
          .eepromPageBytes = 4,
          .signature = signature,
          .calibration = {0x8C},
          .fuseMasks = {0xFF, 0xFF, 0x01},
          .fuseDefaults = {0x62, 0xDF, 0xFF},
          .spien = {1, 0x20},
          .rstdisbl = {1, 0x80},
          .dwen = {1, 0x40},
          .eesave = {1, 0x08},
          .ckdiv8 = {0, 0x80},
          .clockKHz = kT85Clocks,
          .flashUs = 4500,
          .eepromUs = 4000,
          .eraseUs = 9000,  // 2586Q; 4.0 ms in the older 2586D
          .fuseUs = 4500};
}

constexpr AvrPagedDescription M48Like(std::string_view name, int words, int page, int eeprom,
                                      std::array<std::uint8_t, 3> signature,
                                      std::array<std::uint8_t, 3> masks,
                                      std::array<std::uint8_t, 3> defaults, std::uint8_t lock) {
  return {.name = name,
          .pins = 28,
          .flashWords = words,
          .pageWords = page,
          .eepromBytes = eeprom,
          .eepromPageBytes = 4,
          .signature = signature,
          .calibration = {0x9A},
          .fuseMasks = masks,
          .fuseDefaults = defaults,
          .lockMask = lock,
          .spien = {1, 0x20},
          .rstdisbl = {1, 0x80},
          .dwen = {1, 0x40},
          .eesave = {1, 0x08},
          .ckdiv8 = {0, 0x80},
          .clockKHz = kM48Clocks,
          .flashUs = 4500,
          .eepromUs = 3600,
          .eraseUs = 9000,
          .fuseUs = 4500};
}

constexpr AvrPagedDescription kParts[] = {
    {.name = "ATtiny13A",
     .pins = 8,
     .flashWords = 512,
     .pageWords = 16,
     .eepromBytes = 64,
     .eepromPageBytes = 4,
     .signature = {0x1E, 0x90, 0x07},
     .calibration = {0x55, 0x61},
     .calibrationBytes = 2,
     .fuseMasks = {0xFF, 0x1F, 0x00},
     .fuseDefaults = {0x6A, 0xFF, 0xFF},
     .spien = {0, 0x80},
     .rstdisbl = {1, 0x01},
     .dwen = {1, 0x08},
     .eesave = {0, 0x40},
     .ckdiv8 = {0, 0x10},
     .ckselMask = 0x03,
     .clockKHz = kT13AClocks,
     .flashUs = 4500,
     .eepromUs = 4000,
     .eraseUs = 9000,
     .fuseUs = 4500},
    T85Like("ATtiny25", 1024, 16, 128, {0x1E, 0x91, 0x08}),
    T85Like("ATtiny45", 2048, 32, 256, {0x1E, 0x92, 0x06}),
    T85Like("ATtiny85", 4096, 32, 512, {0x1E, 0x93, 0x0B}),
    {.name = "ATtiny2313A",
     .pins = 20,
     .flashWords = 1024,
     .pageWords = 16,
     .eepromBytes = 128,
     .eepromPageBytes = 4,
     .signature = {0x1E, 0x91, 0x0A},
     .calibration = {0x5E, 0x6B},
     .calibrationBytes = 2,
     .fuseMasks = {0xFF, 0xFF, 0x01},
     .fuseDefaults = {0x64, 0xDF, 0xFF},
     .spien = {1, 0x20},
     .rstdisbl = {1, 0x01},
     .dwen = {1, 0x80},
     .eesave = {1, 0x40},
     .ckdiv8 = {0, 0x80},
     .clockKHz = kT2313AClocks,
     .flashUs = 4500,
     .eepromUs = 4000,
     .eraseUs = 4000,  // the ATtiny2313's value (2543H)
     .fuseUs = 4500},
    {.name = "ATmega8A",
     .pins = 28,
     .flashWords = 4096,
     .pageWords = 32,
     .eepromBytes = 512,
     .eepromPageBytes = 0,
     .readyPoll = false,
     .signature = {0x1E, 0x93, 0x07},
     .calibration = {0xA8, 0xA6, 0xA5, 0xA2},
     .calibrationBytes = 4,
     .fuseMasks = {0xFF, 0xFF, 0x00},
     .fuseDefaults = {0xE1, 0xD9, 0xFF},
     .lockMask = 0x3F,
     .spien = {1, 0x20},
     .rstdisbl = {1, 0x80},
     .eesave = {1, 0x08},
     .clockKHz = kM8AClocks,
     .flashUs = 4500,
     .eepromUs = 9000,
     .eraseUs = 9000,
     .fuseUs = 4500},
    M48Like("ATmega48PA", 2048, 32, 256, {0x1E, 0x92, 0x0A}, {0xFF, 0xFF, 0x01}, {0x62, 0xDF, 0xFF},
            0x03),
    M48Like("ATmega88PA", 4096, 32, 512, {0x1E, 0x93, 0x0F}, {0xFF, 0xFF, 0x07}, {0x62, 0xDF, 0xF9},
            0x3F),
    M48Like("ATmega168PA", 8192, 64, 512, {0x1E, 0x94, 0x0B}, {0xFF, 0xFF, 0x07},
            {0x62, 0xDF, 0xF9}, 0x3F),
    M48Like("ATmega328P", 16384, 64, 1024, {0x1E, 0x95, 0x0F}, {0xFF, 0xFF, 0x07},
            {0x62, 0xD9, 0xFF}, 0x3F),
};

// Serial programming instructions (DS40002061A table 28-19 and its kin).
constexpr std::uint8_t kEnable1 = 0xAC;
constexpr std::uint8_t kEnable2 = 0x53;
constexpr std::uint8_t kChipErase = 0x80;
constexpr std::uint8_t kWriteLock = 0xE0;
constexpr std::uint8_t kWriteFuseLow = 0xA0;
constexpr std::uint8_t kWriteFuseHigh = 0xA8;
constexpr std::uint8_t kWriteFuseExt = 0xA4;
constexpr std::uint8_t kPoll = 0xF0;
constexpr std::uint8_t kLoadLow = 0x40;
constexpr std::uint8_t kLoadHigh = 0x48;
constexpr std::uint8_t kWritePage = 0x4C;
constexpr std::uint8_t kReadLow = 0x20;
constexpr std::uint8_t kReadHigh = 0x28;
constexpr std::uint8_t kReadEeprom = 0xA0;
constexpr std::uint8_t kWriteEeprom = 0xC0;
constexpr std::uint8_t kLoadEepromPage = 0xC1;
constexpr std::uint8_t kWriteEepromPage = 0xC2;
constexpr std::uint8_t kReadSignature = 0x30;
constexpr std::uint8_t kReadCalibration = 0x38;
constexpr std::uint8_t kReadFuseOrLock = 0x58;  // 58 00: lock, 58 08: high fuse
constexpr std::uint8_t kReadFuse = 0x50;        // 50 00: low fuse, 50 08: extended fuse

}  // namespace

const AvrPagedDescription* AvrPagedFor(std::string_view deviceName) {
  for (const AvrPagedDescription& d : kParts) {
    if (d.name == deviceName) return &d;
  }
  return nullptr;
}

AvrPagedChip::AvrPagedChip(const AvrPagedDescription& description)
    : d_(description),
      flash_(static_cast<std::size_t>(2 * d_.flashWords), 0xFF),
      eeprom_(static_cast<std::size_t>(d_.eepromBytes), 0xFF),
      page_(static_cast<std::size_t>(2 * d_.pageWords), 0xFF) {
  for (std::size_t i = 0; i < fuses_.size(); ++i) {
    fuses_[i] = static_cast<std::uint8_t>(d_.fuseDefaults[i] | ~d_.fuseMasks[i]);
  }
  Latch();
}

std::unique_ptr<AvrPagedChip> AvrPagedChip::ForDevice(std::string_view deviceName) {
  const AvrPagedDescription* d = AvrPagedFor(deviceName);
  return d ? std::make_unique<AvrPagedChip>(*d) : nullptr;
}

// The same pattern as the older AVRs read when locked.
std::uint8_t AvrPagedChip::Garbage(int address) {
  return AvrChip::Garbage(address);
}

int AvrPagedChip::RegionSize(ChipRegion region) const {
  switch (region) {
    case ChipRegion::Code:
      return static_cast<int>(flash_.size());
    case ChipRegion::Data:
      return static_cast<int>(eeprom_.size());
    case ChipRegion::Config:
      return 4;
  }
  return 0;
}

std::uint16_t AvrPagedChip::Element(ChipRegion region, int index) const {
  const auto i = static_cast<std::size_t>(index);
  if (region == ChipRegion::Code) return flash_[i];
  if (region == ChipRegion::Data) return eeprom_[i];
  return index < 3 ? fuses_[i] : static_cast<std::uint8_t>(lock_ | ~d_.lockMask);
}

void AvrPagedChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  const auto i = static_cast<std::size_t>(index);
  const auto byte = static_cast<std::uint8_t>(value);
  if (region == ChipRegion::Code) {
    flash_[i] = byte;
  } else if (region == ChipRegion::Data) {
    eeprom_[i] = byte;
  } else if (index < 3) {
    fuses_[i] = static_cast<std::uint8_t>(byte | ~d_.fuseMasks[i]);
    Latch();
  } else {
    lock_ = static_cast<std::uint8_t>(byte | ~d_.lockMask);
  }
}

bool AvrPagedChip::FuseProgrammed(const AvrFuseBit& bit, bool latched) const {
  if (bit.mask == 0) return false;
  const auto& fuses = latched ? latched_ : fuses_;
  return (fuses[static_cast<std::size_t>(bit.byte)] & bit.mask) == 0;
}

int AvrPagedChip::ClockKHz() const {
  int kHz = d_.clockKHz[static_cast<std::size_t>(latched_[0] & d_.ckselMask)];
  if (kHz == kExternalSource) kHz = boardClockKHz_;
  return std::max(kHz, 0);
}

// SCK high and low must each last two periods of the part's clock, three from 12 MHz up
// (DS40002061A, serial programming characteristics), with the clock CKDIV8 leaves.
std::int64_t AvrPagedChip::ComputeMinPhaseUs() const {
  const int kHz = ClockKHz();
  if (kHz <= 0) return 0;
  const std::int64_t hz = FuseProgrammed(d_.ckdiv8, true) ? kHz * 1000LL / 8 : kHz * 1000LL;
  const int periods = hz >= 12000000 ? 3 : 2;
  return (periods * 1000000LL + hz - 1) / hz;
}

bool AvrPagedChip::ComputeReachable() const {
  // A disabled RESET pin, or one debugWIRE has taken, no longer starts programming mode; a
  // part without a running clock cannot shift.
  if (FuseProgrammed(d_.rstdisbl, true) || FuseProgrammed(d_.dwen, true)) return false;
  if (d_.spien.mask != 0 && !FuseProgrammed(d_.spien, true)) return false;
  return ClockKHz() > 0;
}

void AvrPagedChip::StartSession(std::int64_t timeUs) {
  ++sessions_;
  sessionStartUs_ = timeUs;
  lastClockEdgeUs_ = timeUs;
  started_ = false;
  enabled_ = false;
  skipFall_ = false;
  bytes_ = 0;
  // SCK must be low when /RESET goes low, or the part frames bytes from the wrong edge.
  synced_ = !pins_.clock;
}

void AvrPagedChip::Start(Job job, std::int64_t durationUs, std::int64_t timeUs) {
  job_ = job;
  jobEndUs_ = timeUs + durationUs;
}

void AvrPagedChip::Settle(std::int64_t timeUs) {
  if (job_ == Job::None || stuckBusy_ || timeUs < jobEndUs_) return;
  const auto a = static_cast<std::size_t>(jobAddress_);
  auto programs = [this](ChipRegion region, int index) {
    return !neverProgram_.contains({region, index});
  };
  switch (job_) {
    case Job::Erase:
      std::fill(flash_.begin(), flash_.end(), 0xFF);
      // EESAVE acts at once, without waiting to be latched.
      if (!FuseProgrammed(d_.eesave, false)) std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
      lock_ = 0xFF;
      break;
    case Job::FlashPage:
      // Flash bits only go from 1 to 0; chip erase brings them back.
      for (std::size_t i = 0; i < jobPage_.size(); ++i) {
        if (programs(ChipRegion::Code, jobAddress_ + static_cast<int>(i)))
          flash_[a + i] &= jobPage_[i];
      }
      break;
    case Job::EepromByte:
      if (programs(ChipRegion::Data, jobAddress_)) eeprom_[a] = jobValue_;
      break;
    case Job::EepromPage:
      // Only the bytes loaded into the page buffer are written.
      for (std::size_t i = 0; i < jobPage_.size(); i += 2) {
        const int at = jobAddress_ + jobPage_[i];
        if (programs(ChipRegion::Data, at)) eeprom_[static_cast<std::size_t>(at)] = jobPage_[i + 1];
      }
      break;
    case Job::Fuse: {
      // SPIEN is not reachable in serial programming mode; unused bits read 1.
      std::uint8_t value = static_cast<std::uint8_t>(jobValue_ | ~d_.fuseMasks[a]);
      if (d_.spien.mask != 0 && static_cast<std::size_t>(d_.spien.byte) == a) {
        value = static_cast<std::uint8_t>((value & ~d_.spien.mask) | (fuses_[a] & d_.spien.mask));
      }
      if (programs(ChipRegion::Config, jobAddress_)) fuses_[a] = value;
      break;
    }
    case Job::Lock:
      // Lock bits are only ever programmed here; chip erase clears them.
      if (programs(ChipRegion::Config, 3))
        lock_ &= static_cast<std::uint8_t>(jobValue_ | ~d_.lockMask);
      break;
    case Job::None:
      break;
  }
  job_ = Job::None;
  jobPage_.clear();
}

void AvrPagedChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  const ChipPins was = pins_;
  pins_ = pins;
  if (absent_) return;
  if (!pins.vcc) {
    job_ = Job::None;  // a write cut off by the supply never lands
    jobPage_.clear();
    enabled_ = false;
    started_ = false;
    return;
  }
  Settle(timeUs);
  // The fuses written take effect when the part is powered up or runs out of reset.
  if (!was.vcc || pins.mclr) Latch();
  const bool wasInSession = was.vcc && !was.mclr && sessionOpen_;
  sessionOpen_ = InSession();
  if (!sessionOpen_) {
    enabled_ = false;
    return;
  }
  if (!wasInSession) {
    StartSession(timeUs);
    return;
  }
  if (!Awake(timeUs) || pins.clock == was.clock) return;
  Clock(pins.clock, timeUs);
}

void AvrPagedChip::Clock(bool rising, std::int64_t timeUs) {
  const std::int64_t phaseUs = timeUs - lastClockEdgeUs_;
  lastClockEdgeUs_ = timeUs;
  if (!started_) {
    // The first clock of a session: an attempt at programming enable.
    if (!rising) return;
    started_ = true;
    if (outOfSync_ > 0) {
      --outOfSync_;
      synced_ = false;
    }
    shifter_.Start(synced_ ? 0 : 1);
    if (shifter_.Rise(pins_.data)) Byte(shifter_.Received(), timeUs);
    return;
  }
  // A phase too short for the part's clock goes unseen.
  const bool tooShort = phaseUs < minPhaseUs_;
  if (rising) {
    if (tooShort) {
      ++missedEdges_;
      skipFall_ = true;
      return;
    }
    if (shifter_.Rise(pins_.data)) Byte(shifter_.Received(), timeUs);
  } else {
    if (skipFall_ || tooShort) {
      if (!skipFall_) ++missedEdges_;
      skipFall_ = false;
      return;
    }
    shifter_.Fall();
  }
}

std::uint8_t AvrPagedChip::Output(std::uint8_t op, int address, std::uint8_t select) const {
  const int word = address % std::max(d_.flashWords, 1);
  switch (op) {
    case kReadLow:
    case kReadHigh: {
      const int at = 2 * word + (op == kReadHigh ? 1 : 0);
      if (ReadLocked()) return Garbage(at);
      return Busy() ? 0xFF : flash_[static_cast<std::size_t>(at)];
    }
    case kReadEeprom: {
      const int at = address % std::max(d_.eepromBytes, 1);
      if (ReadLocked()) return Garbage(at);
      return Busy() ? 0xFF : eeprom_[static_cast<std::size_t>(at)];
    }
    case kReadSignature:
      return (select & 3) < 3 ? d_.signature[select & 3] : 0xFF;
    case kReadCalibration:
      return (select & 3) < d_.calibrationBytes ? d_.calibration[select & 3] : 0xFF;
    case kReadFuse:
      return (address >> 8) == 0x08 ? fuses_[2] : fuses_[0];
    case kReadFuseOrLock:
      return (address >> 8) == 0x08 ? fuses_[1] : static_cast<std::uint8_t>(lock_ | ~d_.lockMask);
    case kPoll:
      return d_.readyPoll && Busy() ? 0xFF : 0xFE;
    default:
      return 0xFF;
  }
}

void AvrPagedChip::Byte(std::uint8_t value, std::int64_t timeUs) {
  command_[bytes_++] = value;
  // The shift register hands back what it took, one byte later.
  shifter_.Send(value);
  if (!enabled_) {
    if (bytes_ == 2 && synced_ && command_[0] == kEnable1 && value == kEnable2) enabled_ = true;
    if (bytes_ == 4) bytes_ = 0;
    return;
  }
  const std::uint8_t op = command_[0];
  const bool reads = op == kReadLow || op == kReadHigh || op == kReadEeprom ||
                     op == kReadSignature || op == kReadCalibration || op == kReadFuse ||
                     op == kReadFuseOrLock || (op == kPoll && d_.readyPoll);
  if (bytes_ == 3 && reads) {
    shifter_.Send(Output(op, (command_[1] << 8) | command_[2], command_[2]));
    return;
  }
  if (bytes_ < 4) return;
  bytes_ = 0;
  Execute(timeUs);
}

void AvrPagedChip::Execute(std::int64_t timeUs) {
  const std::uint8_t op = command_[0];
  const std::uint8_t value = command_[3];
  const int address = (command_[1] << 8) | command_[2];
  const bool changes = (op == kEnable1 && command_[1] != kEnable2) || op == kLoadLow ||
                       op == kLoadHigh || op == kWritePage || op == kWriteEeprom ||
                       op == kLoadEepromPage || op == kWriteEepromPage;
  if (!changes) return;
  if (Busy()) {
    ++lost_;  // the part is still busy with the last one
    return;
  }
  switch (op) {
    case kEnable1:
      if (command_[1] == kChipErase) {
        Start(Job::Erase, d_.eraseUs, timeUs);
      } else if (command_[1] == kWriteLock) {
        jobValue_ = value;
        Start(Job::Lock, d_.fuseUs, timeUs);
      } else if (!Locked() && (command_[1] == kWriteFuseLow || command_[1] == kWriteFuseHigh ||
                               command_[1] == kWriteFuseExt)) {
        // LB1 locks the fuses too.
        jobAddress_ = command_[1] == kWriteFuseLow ? 0 : command_[1] == kWriteFuseHigh ? 1 : 2;
        if (d_.fuseMasks[static_cast<std::size_t>(jobAddress_)] == 0) return;
        jobValue_ = value;
        Start(Job::Fuse, d_.fuseUs, timeUs);
      }
      break;
    case kLoadLow:
    case kLoadHigh: {
      const int offset = (address & (d_.pageWords - 1)) * 2 + (op == kLoadHigh ? 1 : 0);
      page_[static_cast<std::size_t>(offset)] = value;
      break;
    }
    case kWritePage:
      if (Locked()) break;
      jobAddress_ = 2 * ((address % d_.flashWords) & ~(d_.pageWords - 1));
      jobPage_ = page_;
      std::fill(page_.begin(), page_.end(), 0xFF);
      ++pageWrites_;
      Start(Job::FlashPage, d_.flashUs, timeUs);
      break;
    case kWriteEeprom:
      if (Locked()) break;
      jobAddress_ = address % d_.eepromBytes;
      jobValue_ = value;
      Start(Job::EepromByte, d_.eepromUs, timeUs);
      break;
    case kLoadEepromPage:
      if (d_.eepromPageBytes > 0) {
        eepromPage_.emplace_back(command_[2] & (d_.eepromPageBytes - 1), value);
      }
      break;
    case kWriteEepromPage:
      if (d_.eepromPageBytes == 0 || Locked()) break;
      jobAddress_ = (address % d_.eepromBytes) & ~(d_.eepromPageBytes - 1);
      jobPage_.clear();
      for (const auto& [offset, byte] : eepromPage_) {
        jobPage_.push_back(static_cast<std::uint8_t>(offset));
        jobPage_.push_back(byte);
      }
      eepromPage_.clear();
      Start(Job::EepromPage, d_.eepromUs, timeUs);
      break;
    default:
      break;
  }
}

DataDrive AvrPagedChip::DataOut(std::int64_t timeUs) {
  if (absent_ || !pins_.vcc) return DataDrive::Released;
  Settle(timeUs);
  // Out of byte sync the part echoes nothing a programmer could take for 53h.
  if (!sessionOpen_ || !Awake(timeUs) || !started_ || !synced_) return DataDrive::Released;
  return shifter_.Level() ? DataDrive::High : DataDrive::Low;
}

}  // namespace kestrum
