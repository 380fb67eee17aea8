// SPDX-License-Identifier: GPL-3.0-or-later
// The mid-range flash PICs in serial programming mode, as the parts carry it out on their pins.
#include "sim/chips/pic_chip_flash.hpp"

#include <algorithm>
#include <limits>

namespace kestrum {

namespace {

// Codes every family decodes alike.
constexpr int kLoadConfiguration = 0x00;
constexpr int kLoadProgram = 0x02;
constexpr int kLoadData = 0x03;
constexpr int kReadProgram = 0x04;
constexpr int kReadData = 0x05;
constexpr int kIncrement = 0x06;
constexpr int kBulkEraseProgram = 0x09;
constexpr int kBulkEraseData = 0x0B;
// Codes whose meaning depends on the family.
constexpr int kBegin08 = 0x08;
constexpr int kEnd0A = 0x0A;
constexpr int kEnd17 = 0x17;
constexpr int kBegin18 = 0x18;
constexpr int kChipErase = 0x1F;

constexpr int kConfigBase = 0x2000;
constexpr int kIdWords = 4;
constexpr int kDeviceIdOffset = 6;
constexpr int kConfigOffset = 7;
constexpr std::uint16_t kBlank = 0x3FFF;
constexpr int kRowWords = 32;  // the 16F87/88's erase row
// MCLR must reach VPP this soon after VDD on a 16F87/88 that would otherwise start running.
constexpr std::int64_t kPowerUpWindowUs = 250;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

// The times each family's cycles take, in µs: at least these must pass before the cycle is
// over (internally timed) or before End Programming (externally timed).
struct FamilyTimes {
  std::int64_t internal;  // Begin 08h, internally timed
  std::int64_t external;  // Begin 18h, ended by End Programming
  std::int64_t data;      // a data EEPROM byte
  std::int64_t row;       // a row erase
  std::int64_t bulk;      // a bulk erase
  std::int64_t chip;      // a chip erase
};

// DS41196G TPROG, TDPROG, TERA; DS39607B tprog1, tprog2, tprog3, tprog4 (data EEPROM not in
// its table: the 8 ms the other families take at most); DS41191D TPROG1, TPROG2, TERA;
// DS39589B tprog2 (8-word erase and write), tprog1, tprog3.
constexpr FamilyTimes TimesOf(PicFlashFamily family) {
  switch (family) {
    case PicFlashFamily::F62xA:
      return {4000, 0, 6000, 0, 6000, 0};
    case PicFlashFamily::F8x8:
      return {0, 1000, 8000, 1000, 2000, 8000};
    case PicFlashFamily::F6xx:
      return {2500, 2000, 6000, 0, 8000, 0};
    case PicFlashFamily::F87xA:
      return {8000, 1000, 8000, 0, 8000, 8000};
  }
  return {};
}

}  // namespace

PicFlashChip::PicFlashChip(const PicFlashDescription& description)
    : d_(description),
      code_(static_cast<std::size_t>(d_.programWords), kBlank),
      data_(static_cast<std::size_t>(d_.dataBytes), 0xFF),
      config_(d_.config2Bits ? 9 : 8, kBlank) {
  latchBlock_.fill(-1);
  config_[kDeviceIdOffset] = d_.deviceId;
  if (d_.calibration) {
    code_[static_cast<std::size_t>(CalibrationIndex())] = d_.calibration;
    config_[kConfigOffset] = static_cast<std::uint16_t>((kBlank & ~0x3000) | (d_.bandgap << 12));
  }
}

std::unique_ptr<PicFlashChip> PicFlashChip::ForDevice(std::string_view deviceName) {
  const PicFlashDescription* d = PicFlashChipFor(deviceName);
  return d ? std::make_unique<PicFlashChip>(*d) : nullptr;
}

// --- cells ---

std::uint16_t PicFlashChip::ConfigRead(int index) const {
  if (index < 0 || index >= static_cast<int>(config_.size())) return kBlank;
  const std::uint16_t cell = config_[static_cast<std::size_t>(index)];
  if (index == kConfigOffset)
    return static_cast<std::uint16_t>((cell & d_.configBits) | d_.configOnes);
  if (index == kConfigOffset + 1) {
    return static_cast<std::uint16_t>((cell & d_.config2Bits) | d_.config2Ones);
  }
  return cell;
}

std::uint16_t PicFlashChip::ConfigWord(int k) const {
  return ConfigRead(kConfigOffset + k);
}

bool PicFlashChip::CodeProtected() const {
  const int bit = d_.family == PicFlashFamily::F6xx ? 7 : 13;
  return ((ConfigWord() >> bit) & 1) == 0;
}

bool PicFlashChip::DataProtected() const {
  return ((ConfigWord() >> 8) & 1) == 0;
}

// With MCLR as a port pin and an oscillator of its own, a part that gets VDD first starts
// running its program (and may drive PGC and PGD) before VPP can stop it.
bool PicFlashChip::RunsAtPowerUp() const {
  const std::uint16_t c = ConfigWord();
  const bool mclrOff = ((c >> 5) & 1) == 0;
  switch (d_.family) {
    case PicFlashFamily::F62xA:
    case PicFlashFamily::F8x8:
      return mclrOff && ((c >> 4) & 1) != 0;
    case PicFlashFamily::F6xx:
      return mclrOff && ((c >> 2) & 1) != 0;
    case PicFlashFamily::F87xA:
      return false;
  }
  return false;
}

int PicFlashChip::LatchWords() const {
  switch (d_.family) {
    case PicFlashFamily::F8x8:
      return 4;
    case PicFlashFamily::F87xA:
      return 8;
    default:
      return 1;
  }
}

std::uint16_t PicFlashChip::ReadWord() const {
  if (pc_ >= kConfigBase) return ConfigRead(pc_ - kConfigBase);
  const int index = pc_ % d_.programWords;
  // A protected part reads zeros; the 12F629/675 still show their calibration word.
  if (CodeProtected() && index != CalibrationIndex()) return 0;
  return code_[static_cast<std::size_t>(index)];
}

int PicFlashChip::RegionSize(ChipRegion region) const {
  switch (region) {
    case ChipRegion::Code:
      return static_cast<int>(code_.size());
    case ChipRegion::Data:
      return static_cast<int>(data_.size());
    case ChipRegion::Config:
      return static_cast<int>(config_.size());
  }
  return 0;
}

std::uint16_t PicFlashChip::Element(ChipRegion region, int index) const {
  const auto i = static_cast<std::size_t>(index);
  switch (region) {
    case ChipRegion::Code:
      return code_[i];
    case ChipRegion::Data:
      return data_[i];
    case ChipRegion::Config:
      return ConfigRead(index);
  }
  return 0;
}

void PicFlashChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  const auto i = static_cast<std::size_t>(index);
  switch (region) {
    case ChipRegion::Code:
      code_[i] = value & kBlank;
      break;
    case ChipRegion::Data:
      data_[i] = static_cast<std::uint8_t>(value);
      break;
    case ChipRegion::Config:
      // The reserved words and the device ID are the factory's.
      if (index < kIdWords || index >= kConfigOffset) config_[i] = value & kBlank;
      break;
  }
}

void PicFlashChip::SetAbsent(bool absent) {
  absent_ = absent;
  if (absent_) Leave();
}

// --- erasing and writing ---

void PicFlashChip::EraseCode() {
  std::fill(code_.begin(), code_.end(), kBlank);
}

void PicFlashChip::EraseData() {
  std::fill(data_.begin(), data_.end(), std::uint8_t{0xFF});
}

void PicFlashChip::EraseConfig() {
  for (std::size_t i = 0; i < config_.size(); ++i) {
    if (static_cast<int>(i) != kDeviceIdOffset) config_[i] = kBlank;
  }
}

void PicFlashChip::WriteLatch(bool eraseFirst) {
  const auto never = [&](PicFlashRegion r, int i) { return neverProgram_.count({r, i}) > 0; };
  if (loadForData_) {
    const int index = pc_ % std::max(d_.dataBytes, 1);
    if (!dataLoaded_ || d_.dataBytes == 0 || DataProtected()) {
      ++refused_;
    } else if (!never(PicFlashRegion::Data, index)) {
      // Data EEPROM bytes erase themselves before they are written.
      data_[static_cast<std::size_t>(index)] = dataLatch_;
    }
    dataLoaded_ = false;
    return;
  }
  const int words = LatchWords();
  const int block = pc_ / words;
  // Flash cells only lose ones when programmed; a cell that was not erased keeps them.
  auto program = [&](std::uint16_t& cell, std::uint16_t value) {
    if (eraseFirst) {
      cell = value;
      return;
    }
    if ((cell & value) != value) ++refused_;
    cell = static_cast<std::uint16_t>(cell & value);
  };
  if (pc_ >= kConfigBase) {
    // Configuration space takes one word at a time, the one at the address counter.
    const int offset = pc_ - kConfigBase;
    const int slot = pc_ % words;
    const bool writable = offset < kIdWords || offset == kConfigOffset ||
                          (offset == kConfigOffset + 1 && d_.config2Bits != 0);
    if (!writable || latchBlock_[static_cast<std::size_t>(slot)] != block) {
      ++refused_;
    } else if (!never(PicFlashRegion::Config, offset)) {
      program(config_[static_cast<std::size_t>(offset)], latch_[static_cast<std::size_t>(slot)]);
    }
  } else {
    const bool outside = std::any_of(latchBlock_.begin(), latchBlock_.begin() + words,
                                     [&](int b) { return b >= 0 && b != block; });
    if (outside || CodeProtected()) {
      ++refused_;
    } else {
      for (int slot = 0; slot < words; ++slot) {
        const int index = (block * words + slot) % d_.programWords;
        const bool loaded = latchBlock_[static_cast<std::size_t>(slot)] == block;
        if ((!loaded && !eraseFirst) || never(PicFlashRegion::Code, index)) continue;
        program(code_[static_cast<std::size_t>(index)],
                loaded ? latch_[static_cast<std::size_t>(slot)] : kBlank);
      }
    }
  }
  latchBlock_.fill(-1);
}

void PicFlashChip::Complete() {
  const int pc = pc_;
  pc_ = jobPc_;
  const bool fromConfig = jobPc_ >= kConfigBase;
  bool erased = true;
  switch (job_) {
    case Job::Write:
      WriteLatch(jobEraseFirst_);
      erased = false;
      break;
    case Job::RowErase:
      if (CodeProtected() || fromConfig) {
        erased = false;
      } else {
        const int row = (jobPc_ % d_.programWords) / kRowWords * kRowWords;
        std::fill_n(code_.begin() + row, kRowWords, kBlank);
      }
      break;
    case Job::BulkCode:
      erased = !CodeProtected();
      if (erased) EraseCode();
      break;
    case Job::BulkData:
      erased = !DataProtected();
      if (erased) EraseData();
      break;
    case Job::BulkFromConfig: {
      // The only way back from code protection: program memory, configuration word and ID
      // words go, and data memory with them when it was protected.
      const bool data = DataProtected();
      EraseCode();
      EraseConfig();
      if (data) EraseData();
      break;
    }
    case Job::ChipErase:
      EraseCode();
      if (fromConfig) {
        EraseConfig();
        EraseData();
      } else if (d_.family == PicFlashFamily::F8x8) {
        // From program space the configuration words go too, the ID words and data stay.
        for (std::size_t i = kConfigOffset; i < config_.size(); ++i) config_[i] = kBlank;
      } else {
        EraseData();  // 16F87xA: the configuration word stays, and with it the protection
      }
      break;
    case Job::None:
      return;
  }
  if (erased) ++erases_;
  pc_ = pc;
  job_ = Job::None;
  ++completed_;
}

void PicFlashChip::StartJob(Job job, bool eraseFirst, std::int64_t durationUs, bool internal,
                            std::int64_t timeUs) {
  job_ = job;
  jobEraseFirst_ = eraseFirst;
  jobInternal_ = internal;
  jobPc_ = pc_;
  jobStartUs_ = timeUs;
  jobEndUs_ = stuckBusy_ ? kNever : timeUs + durationUs;
}

// A write cycle of the latch or of a data byte.
void PicFlashChip::Begin(bool eraseFirst, bool internal, std::int64_t timeUs) {
  const FamilyTimes t = TimesOf(d_.family);
  // 16F87/88: nothing is written or erased before the first Load Data after entry.
  if (d_.family == PicFlashFamily::F8x8 && !loadedSinceEntry_) return;
  const std::int64_t duration = loadForData_ ? t.data : internal ? t.internal : t.external;
  StartJob(Job::Write, eraseFirst, duration, internal, timeUs);
}

void PicFlashChip::EndProgramming(std::int64_t timeUs) {
  if (job_ == Job::None || jobInternal_) return;
  if (timeUs >= jobEndUs_) {
    Complete();
  } else {
    job_ = Job::None;
    ++lost_;
  }
}

// --- pins ---

void PicFlashChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  const ChipPins old = pins_;
  pins_ = pins;
  if (pins.vcc && !old.vcc) vddSinceUs_ = timeUs;
  if (absent_) return;
  Settle(timeUs);
  const bool quiet = !pins.clock && !pins.data && !old.clock && !old.data;
  if (mode_ == Mode::Off) {
    if (!quiet) return;
    // VPP raised on a supplied part: unless the part already runs its program.
    if (pins.mclr && !old.mclr && pins.vcc && old.vcc) {
      const bool inWindow =
          d_.family == PicFlashFamily::F8x8 && timeUs - vddSinceUs_ <= kPowerUpWindowUs;
      if (!RunsAtPowerUp() || inWindow) Enter();
      return;
    }
    // VDD raised under VPP: the part never starts its program.
    if (pins.vcc && !old.vcc && pins.mclr && old.mclr) Enter();
    return;
  }
  if (!pins.vcc || !pins.mclr) {
    Leave();
    return;
  }
  const bool rising = pins.clock && !old.clock;
  const bool falling = !pins.clock && old.clock;
  // An internally timed cycle is lost to any clock activity before its time is up.
  if ((rising || falling) && job_ != Job::None && jobInternal_) {
    job_ = Job::None;
    ++lost_;
  }
  if (rising) Rising();
  if (falling) Falling(old.data, timeUs);
}

DataDrive PicFlashChip::DataOut(std::int64_t) {
  return absent_ ? DataDrive::Released : drive_;
}

void PicFlashChip::Enter() {
  mode_ = Mode::Command;
  pc_ = 0;
  bits_ = 0;
  shift_ = 0;
  drive_ = DataDrive::Released;
  loadedSinceEntry_ = false;
  latchBlock_.fill(-1);
  dataLoaded_ = false;
  loadForData_ = false;
  armed_ = 0;
}

void PicFlashChip::Leave() {
  if (job_ != Job::None) {
    job_ = Job::None;
    ++lost_;
  }
  mode_ = Mode::Off;
  drive_ = DataDrive::Released;
}

void PicFlashChip::Settle(std::int64_t timeUs) {
  if (job_ != Job::None && jobInternal_ && timeUs >= jobEndUs_) Complete();
}

void PicFlashChip::Rising() {
  if (mode_ != Mode::Read) return;
  // The start bit's clock turns the pin around; the next fourteen put out the word, least
  // significant bit first; the stop bit's clock lets go of the line.
  ++frameEdges_;
  const int bit = frameEdges_ - 2;
  drive_ = bit >= 0 && bit < 14 ? (((out_ >> bit) & 1) ? DataDrive::High : DataDrive::Low)
                                : DataDrive::Released;
}

void PicFlashChip::Falling(bool data, std::int64_t timeUs) {
  switch (mode_) {
    case Mode::Command:
      shift_ |= static_cast<std::uint32_t>(data) << bits_;
      if (++bits_ == 6) {
        const int command = static_cast<int>(shift_);
        bits_ = 0;
        shift_ = 0;
        Decode(command, timeUs);
      }
      break;
    case Mode::Load: {
      const int bit = frameEdges_++ - 1;  // start and stop bits are not looked at
      if (bit >= 0 && bit < 14) shift_ |= static_cast<std::uint32_t>(data) << bit;
      if (frameEdges_ == 16) {
        const auto word = static_cast<std::uint16_t>(shift_ & kBlank);
        if (discardLoad_) {
          discardLoad_ = false;
        } else if (loadForData_) {
          dataLatch_ = static_cast<std::uint8_t>(word);
          dataLoaded_ = true;
        } else {
          const int slot = pc_ % LatchWords();
          latch_[static_cast<std::size_t>(slot)] = word;
          latchBlock_[static_cast<std::size_t>(slot)] = pc_ / LatchWords();
        }
        shift_ = 0;
        mode_ = Mode::Command;
      }
      break;
    }
    case Mode::Read:
      if (frameEdges_ >= 16) {
        mode_ = Mode::Command;
        drive_ = DataDrive::Released;
      }
      break;
    case Mode::Off:
      break;
  }
}

void PicFlashChip::Decode(int command, std::int64_t timeUs) {
  const PicFlashFamily f = d_.family;
  const FamilyTimes t = TimesOf(f);
  const int armed = armed_;
  armed_ = 0;
  auto frame = [&](Mode mode) {
    mode_ = mode;
    frameEdges_ = 0;
    shift_ = 0;
  };
  switch (command) {
    case kLoadConfiguration:
      pc_ = kConfigBase;
      loadForData_ = false;
      // The 16F87/88 discard the word; the others latch it for 2000h.
      discardLoad_ = f == PicFlashFamily::F8x8;
      frame(Mode::Load);
      break;
    case kLoadProgram:
      loadForData_ = false;
      loadedSinceEntry_ = true;
      frame(Mode::Load);
      break;
    case kLoadData:
      loadForData_ = true;
      loadedSinceEntry_ = true;
      frame(Mode::Load);
      break;
    case kReadProgram:
      out_ = ReadWord();
      frame(Mode::Read);
      break;
    case kReadData: {
      const int index = pc_ % std::max(d_.dataBytes, 1);
      out_ = d_.dataBytes == 0 || DataProtected() ? 0 : data_[static_cast<std::size_t>(index)];
      frame(Mode::Read);
      break;
    }
    case kIncrement:
      // Program space wraps; configuration space stays until the part leaves the mode.
      pc_ = pc_ < kConfigBase ? (pc_ + 1) & 0x1FFF : kConfigBase | ((pc_ + 1) & 0x1FFF);
      break;
    case kBulkEraseProgram:
    case kBulkEraseData:
      if (f == PicFlashFamily::F8x8 || f == PicFlashFamily::F87xA) {
        armed_ = command;  // waits for its Begin
      } else if (command == kBulkEraseData) {
        StartJob(Job::BulkData, false, t.bulk, true, timeUs);
      } else {
        StartJob(pc_ >= kConfigBase ? Job::BulkFromConfig : Job::BulkCode, false, t.bulk, true,
                 timeUs);
      }
      break;
    case kBegin08:
      switch (f) {
        case PicFlashFamily::F62xA:
        case PicFlashFamily::F6xx:
          Begin(false, true, timeUs);
          break;
        case PicFlashFamily::F8x8:
          if (!loadedSinceEntry_) break;
          if (armed == kBulkEraseProgram) {
            StartJob(Job::BulkCode, false, t.bulk, false, timeUs);
          } else if (armed == kBulkEraseData) {
            StartJob(Job::BulkData, false, t.bulk, false, timeUs);
          } else {
            StartJob(Job::RowErase, false, t.row, false, timeUs);
          }
          break;
        case PicFlashFamily::F87xA:
          if (armed == kBulkEraseProgram) {
            StartJob(Job::BulkCode, false, t.bulk, true, timeUs);
          } else if (armed == kBulkEraseData) {
            StartJob(Job::BulkData, false, t.bulk, true, timeUs);
          } else {
            Begin(true, true, timeUs);
          }
          break;
      }
      break;
    case kBegin18:
      if (f != PicFlashFamily::F62xA) Begin(false, false, timeUs);
      break;
    case kEnd0A:
      if (f == PicFlashFamily::F6xx) EndProgramming(timeUs);
      break;
    case kEnd17:
      if (f == PicFlashFamily::F8x8 || f == PicFlashFamily::F87xA) EndProgramming(timeUs);
      break;
    case kChipErase:
      if (f == PicFlashFamily::F8x8 || f == PicFlashFamily::F87xA) {
        StartJob(Job::ChipErase, false, t.chip, true, timeUs);
      }
      break;
    default:
      break;
  }
}

// --- the parts ---

namespace {

// Sizes, device IDs (with a revision in the low bits) and configuration bits from the parts'
// programming specifications; the unimplemented configuration bits read 1 on the 16F62xA and
// 16F87xA and 0 on the 12F6xx.
constexpr PicFlashDescription F62xA(std::string_view name, int words, int data, std::uint16_t id) {
  return {.name = name,
          .family = PicFlashFamily::F62xA,
          .programWords = words,
          .dataBytes = data,
          .deviceId = id,
          .configBits = 0x21FF,
          .configOnes = 0x1E00};
}
constexpr PicFlashDescription F8x8(std::string_view name, std::uint16_t id) {
  return {.name = name,
          .family = PicFlashFamily::F8x8,
          .programWords = 4096,
          .dataBytes = 256,
          .deviceId = id,
          .config2Bits = 0x0003,
          .config2Ones = 0x3FFC};
}
constexpr PicFlashDescription F6xx(std::string_view name, std::uint16_t id,
                                   std::uint16_t calibration, std::uint16_t bandgap) {
  return {.name = name,
          .family = PicFlashFamily::F6xx,
          .pins = 8,
          .programWords = 1024,
          .dataBytes = 128,
          .deviceId = id,
          .configBits = 0x31FF,
          .calibration = calibration,
          .bandgap = bandgap};
}
constexpr PicFlashDescription F87xA(std::string_view name, int pins, int words, int data,
                                    std::uint16_t id) {
  return {.name = name,
          .family = PicFlashFamily::F87xA,
          .pins = pins,
          .programWords = words,
          .dataBytes = data,
          .deviceId = id,
          .configBits = 0x2FCF,
          .configOnes = 0x1030};
}

constexpr PicFlashDescription kParts[] = {
    F62xA("PIC 16F627A", 1024, 128, 0x1042),
    F62xA("PIC 16F628A", 2048, 128, 0x1066),
    F62xA("PIC 16F648A", 4096, 256, 0x1101),
    F8x8("PIC 16F87", 0x0723),
    F8x8("PIC 16F88", 0x0765),
    F6xx("PIC 12F629", 0x0F84, 0x3480, 2),
    F6xx("PIC 12F675", 0x0FC3, 0x345C, 1),
    F87xA("PIC 16F873A", 28, 4096, 128, 0x0E42),
    F87xA("PIC 16F874A", 40, 4096, 128, 0x0E63),
    F87xA("PIC 16F876A", 28, 8192, 256, 0x0E07),
    F87xA("PIC 16F877A", 40, 8192, 256, 0x0E27),
};

}  // namespace

std::span<const PicFlashDescription> PicFlashChips() {
  return kParts;
}

const PicFlashDescription* PicFlashChipFor(std::string_view deviceName) {
  for (const PicFlashDescription& d : kParts) {
    if (d.name == deviceName) return &d;
  }
  return nullptr;
}

}  // namespace kestrum
