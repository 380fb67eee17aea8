// SPDX-License-Identifier: GPL-3.0-or-later
// The serial programming mode of a PIC as the part carries it out on its pins.
#include "sim/chips/pic_chip.hpp"

#include <algorithm>
#include <limits>

namespace kestrum {

namespace {

// Command codes the parts decode; any other code is ignored and takes no data frame.
constexpr int kLoadConfiguration = 0;
constexpr int kSequenceOne = 1;  // first of the two commands that arm a bulk erase
constexpr int kLoadProgram = 2;
constexpr int kLoadData = 3;
constexpr int kReadProgram = 4;
constexpr int kReadData = 5;
constexpr int kIncrement = 6;
constexpr int kSequenceSeven = 7;
constexpr int kBegin = 8;
constexpr int kEnd = 14;
constexpr int kBeginProgramOnly = 24;

constexpr int kConfigBase = 0x2000;
constexpr int kConfigWordAddress = 0x2007;
constexpr int kDeviceIdOffset = 6;
constexpr int kIdWords = 4;
constexpr int kTwelveBitReset = 0xFFF;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

int Xor(std::uint16_t word, int firstBit) {
  int x = 0;
  for (int b = firstBit; b < 14; b += 2) x ^= (word >> b) & 1;
  return x;
}

}  // namespace

std::uint16_t PicParityWord(std::uint16_t word) {
  word &= 0x3FFF;
  return static_cast<std::uint16_t>((word << 2) | ((Xor(word, 1) ^ 1) << 1) | Xor(word, 0));
}

bool PicParityHolds(std::uint16_t cell) {
  return PicParityWord(static_cast<std::uint16_t>(cell >> 2)) == cell;
}

PicChip::PicChip(const PicChipDescription& description)
    : d_(description),
      width_(d_.parity                    ? 0xFFFF
             : d_.core == PicCore::Twelve ? 0x0FFF
                                          : 0x3FFF),
      code_(static_cast<std::size_t>(d_.programWords + (d_.core == PicCore::Twelve ? kIdWords : 0)),
            width_),
      data_(static_cast<std::size_t>(d_.dataBytes), 0xFF),
      config_(d_.core == PicCore::Twelve ? 1 : 8, width_) {
  if (d_.deviceId) config_[kDeviceIdOffset] = d_.deviceId;
  if (d_.calibration) code_[static_cast<std::size_t>(CalibrationIndex())] = d_.calibration;
}

std::unique_ptr<PicChip> PicChip::ForDevice(std::string_view deviceName) {
  const PicChipDescription* d = PicChipFor(deviceName);
  return d ? std::make_unique<PicChip>(*d) : nullptr;
}

std::uint16_t PicChip::IdWord(int i) const {
  return d_.core == PicCore::Twelve ? code_[static_cast<std::size_t>(d_.programWords + i)]
                                    : config_[static_cast<std::size_t>(i)];
}

void PicChip::SetIdWord(int i, std::uint16_t word) {
  if (d_.core == PicCore::Twelve) {
    code_[static_cast<std::size_t>(d_.programWords + i)] = word;
  } else {
    config_[static_cast<std::size_t>(i)] = word;
  }
}

void PicChip::EraseAll() {
  Blank(PicRegion::Code);
  Blank(PicRegion::Data);
  Blank(PicRegion::Config);
  charge_.clear();
}

// --- memory as the program's buffers hold it ---

int PicChip::RegionSize(ChipRegion region) const {
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

std::uint16_t PicChip::Element(ChipRegion region, int index) const {
  if (region == ChipRegion::Data) return data_[static_cast<std::size_t>(index)];
  const std::uint16_t cell = region == ChipRegion::Code ? code_[static_cast<std::size_t>(index)]
                                                        : config_[static_cast<std::size_t>(index)];
  // A parity cell carries the word above its two parity bits.
  return d_.parity ? static_cast<std::uint16_t>(cell >> 2) : cell;
}

void PicChip::SetElement(ChipRegion region, int index, std::uint16_t value) {
  const auto i = static_cast<std::size_t>(index);
  if (region == ChipRegion::Data) {
    data_[i] = static_cast<std::uint8_t>(value);
    return;
  }
  // A blank word is an erased cell: a programmer never writes the parity form of 3FFFh.
  const std::uint16_t cell = !d_.parity                 ? static_cast<std::uint16_t>(value & width_)
                             : (value & 0x3FFF) == 0x3FFF ? width_
                                                        : PicParityWord(value);
  if (region == ChipRegion::Code) {
    code_[i] = cell;
    return;
  }
  // The reserved words and the device ID of a 14-bit part are the factory's.
  if (d_.core == PicCore::Fourteen && index >= kIdWords && index <= kDeviceIdOffset) return;
  config_[i] = cell;
}

void PicChip::SetAbsent(bool absent) {
  absent_ = absent;
  if (absent_) Leave();
}

// --- memory and protection ---

bool PicChip::HasCommand(int code) const {
  bool flash = d_.cells == PicCells::Flash;
  switch (code) {
    case kLoadConfiguration:
      return d_.core == PicCore::Fourteen;
    case kLoadProgram:
    case kReadProgram:
    case kIncrement:
    case kBegin:
      return true;
    case kLoadData:
    case kReadData:
      return d_.dataBytes > 0;
    case kSequenceOne:
    case kSequenceSeven:
      return flash;
    case kEnd:
      return !flash;
    case kBeginProgramOnly:
      return d_.programOnlyCommand;
    default:
      return false;
  }
}

std::uint16_t PicChip::ConfigData() const {
  std::uint16_t word = ConfigWord();
  return d_.parity ? static_cast<std::uint16_t>(word >> 2) : word;
}

bool PicChip::CodeProtected(int index) const {
  if (index >= d_.programWords) return false;  // ID words stay readable
  std::uint16_t c = ConfigData();
  int field = (c >> d_.protectShift) & 3;
  int words = d_.programWords;
  switch (d_.protection) {
    case PicProtection::AllByBit:
      return (field & 1) == 0;
    case PicProtection::Quarters:
      return field == 0 || (field == 1 && index >= words / 4) || (field == 2 && index >= words / 2);
    case PicProtection::FromAddress:
      return field == 0 || (field == 1 && index >= 0x200) || (field == 2 && index >= 0x400);
    case PicProtection::UpperSteps:
      if (field == 0) return true;
      if (words <= 2048) return false;
      return (field == 1 && index >= words / 2) || (field == 2 && index >= words - 256);
  }
  return false;
}

bool PicChip::DataProtected() const {
  if (d_.dataProtectBit8) return ((ConfigData() >> 8) & 1) == 0;
  return d_.dataFollowsCode && CodeProtected(0);
}

PicChip::Cell PicChip::CellAt(int pc) const {
  if (d_.core == PicCore::Twelve) {
    if (pc < d_.programWords + kIdWords) return {PicRegion::Code, pc, true};
    if (pc == kTwelveBitReset) return {PicRegion::Config, 0, true};
    return {};
  }
  if (pc < kConfigBase) return {PicRegion::Code, pc % d_.programWords, true};
  int offset = pc - kConfigBase;
  if (offset < kIdWords || offset == 7) return {PicRegion::Config, offset, true};
  if (offset < 8) return {PicRegion::Config, offset, false};  // reserved, device ID
  return {};
}

std::uint16_t PicChip::ReadCell() const {
  Cell cell = CellAt(pc_);
  if (cell.index < 0) return 0;
  if (cell.region == PicRegion::Config) return config_[static_cast<std::size_t>(cell.index)];
  // Protected program memory reads as zeros.
  return CodeProtected(cell.index) ? 0 : code_[static_cast<std::size_t>(cell.index)];
}

std::uint16_t PicChip::ProgrammableBits(const Cell& cell) const {
  bool configWord = cell.region == PicRegion::Config && cell.index == ConfigIndex();
  return configWord && !d_.parity ? d_.configBits : width_;
}

void PicChip::WriteCell(const Cell& cell, std::uint16_t value, bool andOnly) {
  if (cell.index < 0 || !cell.writable || neverProgram_.count({cell.region, cell.index})) return;
  auto index = static_cast<std::size_t>(cell.index);
  if (cell.region == PicRegion::Data) {
    // Data EEPROM bytes erase themselves before every write.
    if (!DataProtected()) data_[index] = static_cast<std::uint8_t>(value);
    return;
  }
  if (cell.region == PicRegion::Code && CodeProtected(cell.index)) return;
  std::uint16_t& word = cell.region == PicRegion::Code ? code_[index] : config_[index];
  auto v = static_cast<std::uint16_t>((value & ProgrammableBits(cell)) |
                                      (width_ & ~ProgrammableBits(cell)));
  if (cell.region == PicRegion::Config && cell.index == ConfigIndex()) {
    // Protection once set is only lifted by the erase sequence.
    v = static_cast<std::uint16_t>((v & ~d_.protectBits) | (v & word & d_.protectBits));
  }
  word = andOnly ? static_cast<std::uint16_t>(word & v) : v;
}

void PicChip::ApplyPulse() {
  Cell cell = CellAt(pc_);
  if (cell.index < 0 || !cell.writable) return;
  ++countedPulses_;
  if (neverProgram_.count({cell.region, cell.index})) return;
  auto index = static_cast<std::size_t>(cell.index);
  std::uint16_t& word = cell.region == PicRegion::Code ? code_[index] : config_[index];
  std::uint16_t programmable = ProgrammableBits(cell);
  auto& charge = charge_[{cell.region, cell.index}];
  // Each pulse charges the floating gates of the bits the latch holds at 0; a bit reads 0
  // once it has taken enough. Nothing brings a bit back to 1.
  for (int b = 0; b < 16; ++b) {
    auto mask = static_cast<std::uint16_t>(1u << b);
    if (!(programmable & mask) || (latch_ & mask) || !(word & mask)) continue;
    if (charge[static_cast<std::size_t>(b)] < 255) ++charge[static_cast<std::size_t>(b)];
    if (charge[static_cast<std::size_t>(b)] >= pulsesNeeded_) {
      word = static_cast<std::uint16_t>(word & ~mask);
    }
  }
}

void PicChip::Blank(PicRegion region) {
  switch (region) {
    case PicRegion::Code:
      std::fill(code_.begin(), code_.end(), width_);
      break;
    case PicRegion::Data:
      std::fill(data_.begin(), data_.end(), std::uint8_t{0xFF});
      break;
    case PicRegion::Config:
      for (std::size_t i = 0; i < config_.size(); ++i) {
        if (!(d_.deviceId && i == kDeviceIdOffset)) config_[i] = width_;
      }
      break;
  }
}

// --- pins ---

void PicChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  const ChipPins old = pins_;
  pins_ = pins;
  if (absent_) return;
  Settle(timeUs);
  if (mode_ != Mode::Off) {
    if (!pins.vcc || !pins.mclr) {
      Leave();
      return;
    }
  } else {
    // Programming mode only when VPP rises on a part already supplied, with clock and data
    // held low; VPP first, or a pin high, starts the part running its program instead.
    if (pins.mclr && !old.mclr && pins.vcc && old.vcc && !pins.clock && !pins.data && !old.clock &&
        !old.data) {
      Enter();
    }
    return;
  }
  bool rising = pins.clock && !old.clock;
  bool falling = !pins.clock && old.clock;
  // An internally timed cycle is lost to any clock activity before it has run its time.
  if ((rising || falling) && job_ != Job::None) Abort();
  if (rising) Rising();
  // Data must hold through the falling edge: the level before it is the one taken.
  if (falling) Falling(old.data, timeUs);
}

DataDrive PicChip::DataOut(std::int64_t) {
  return absent_ ? DataDrive::Released : drive_;
}

void PicChip::Enter() {
  mode_ = Mode::Command;
  // The 12-bit parts start at the configuration word in the reset vector; one increment
  // takes them to program memory.
  pc_ = d_.core == PicCore::Twelve ? kTwelveBitReset : 0;
  latch_ = width_;
  latchForData_ = false;
  bits_ = 0;
  shift_ = 0;
  drive_ = DataDrive::Released;
  sequence_ = 0;
  pulseOn_ = false;
}

void PicChip::Leave() {
  if (job_ != Job::None) Abort();
  pulseOn_ = false;
  mode_ = Mode::Off;
  drive_ = DataDrive::Released;
}

void PicChip::Settle(std::int64_t timeUs) {
  if (job_ != Job::None && timeUs >= jobEndUs_) Complete();
}

void PicChip::Abort() {
  job_ = Job::None;
  ++abortedCycles_;
}

void PicChip::Complete() {
  switch (job_) {
    case Job::Program:
      WriteCell(jobCell_, jobValue_, false);
      break;
    case Job::ProgramOnly:
      // Without the erase half a flash cell only loses ones; data EEPROM erases itself.
      WriteCell(jobCell_, jobValue_, jobCell_.region != PicRegion::Data);
      break;
    case Job::EraseChip:
      Blank(PicRegion::Code);
      Blank(PicRegion::Data);
      Blank(PicRegion::Config);
      break;
    case Job::EraseCode:
      if (!CodeProtected(0) && !CodeProtected(d_.programWords - 1)) Blank(PicRegion::Code);
      break;
    case Job::EraseData:
      if (!DataProtected()) Blank(PicRegion::Data);
      break;
    case Job::None:
      return;
  }
  job_ = Job::None;
  ++completedCycles_;
}

void PicChip::StartJob(Job job, std::int64_t durationUs, std::int64_t timeUs) {
  jobCell_ =
      latchForData_ ? Cell{PicRegion::Data, pc_ % std::max(d_.dataBytes, 1), true} : CellAt(pc_);
  jobValue_ = latch_;
  job_ = job;
  jobEndUs_ = stuckBusy_ ? kNever : timeUs + durationUs;
}

void PicChip::StartFrame(Mode mode) {
  mode_ = mode;
  frameRises_ = 0;
  frameFalls_ = 0;
  shift_ = 0;
}

void PicChip::Rising() {
  if (mode_ != Mode::Read) return;
  // The start bit's clock turns the pin around; each later rising edge puts out the next
  // bit, least significant first, and the stop bit's clock lets go of the line.
  ++frameRises_;
  int bit = frameRises_ - 2;
  if (bit >= 0 && bit < FrameBits()) {
    drive_ = ((out_ >> bit) & 1) ? DataDrive::High : DataDrive::Low;
  } else {
    drive_ = DataDrive::Released;
  }
}

void PicChip::Falling(bool data, std::int64_t timeUs) {
  switch (mode_) {
    case Mode::Command:
      shift_ |= static_cast<std::uint32_t>(data) << bits_;
      if (++bits_ == 6) {
        int command = static_cast<int>(shift_);
        bits_ = 0;
        shift_ = 0;
        Decode(command, timeUs);
      }
      break;
    case Mode::Load: {
      // Start bit, data bits, stop bit; start and stop are not looked at.
      int bit = frameFalls_++ - 1;
      if (bit >= 0 && bit < FrameBits()) shift_ |= static_cast<std::uint32_t>(data) << bit;
      if (frameFalls_ == FrameBits() + 2) {
        latch_ = static_cast<std::uint16_t>(shift_ & width_);
        mode_ = Mode::Command;
        shift_ = 0;
      }
      break;
    }
    case Mode::Read:
      if (++frameFalls_ == FrameBits() + 2) {
        mode_ = Mode::Command;
        drive_ = DataDrive::Released;
      }
      break;
    case Mode::Off:
      break;
  }
}

void PicChip::Decode(int command, std::int64_t timeUs) {
  if (pulseOn_) {
    // A programming pulse lasts until End Programming; ended by anything else it is lost.
    pulseOn_ = false;
    if (command == kEnd) {
      if (timeUs - pulseStartUs_ >= kPicMinimumPulseUs) ApplyPulse();
      return;
    }
  }
  int sequence = sequence_;
  sequence_ = 0;
  if (!HasCommand(command)) return;
  switch (command) {
    case kLoadConfiguration:
      pc_ = kConfigBase;
      latchForData_ = false;
      StartFrame(Mode::Load);
      break;
    case kLoadProgram:
      latchForData_ = false;
      StartFrame(Mode::Load);
      break;
    case kLoadData:
      latchForData_ = true;
      StartFrame(Mode::Load);
      break;
    case kReadProgram:
      out_ = ReadCell();
      StartFrame(Mode::Read);
      break;
    case kReadData:
      out_ = DataProtected() ? 0 : data_[static_cast<std::size_t>(pc_ % d_.dataBytes)];
      StartFrame(Mode::Read);
      break;
    case kIncrement:
      if (d_.core == PicCore::Twelve) {
        pc_ = (pc_ + 1) & 0xFFF;
      } else {
        // Program space wraps on itself; once in the configuration area the counter stays
        // there until the part leaves programming mode.
        pc_ = pc_ < kConfigBase ? (pc_ + 1) & 0x1FFF : kConfigBase | ((pc_ + 1) & 0x1FFF);
      }
      break;
    case kSequenceOne:
      sequence_ = 1;
      break;
    case kSequenceSeven:
      sequence_ = sequence == 1 ? 2 : 0;
      break;
    case kBegin:
      if (d_.cells == PicCells::Eprom) {
        pulseOn_ = true;
        pulseStartUs_ = timeUs;
      } else if (sequence == 2) {
        // Armed by 1 and 7: at the configuration word the whole chip and its protection go;
        // elsewhere only the memory last loaded, and only when it is not protected.
        Job erase = pc_ == kConfigWordAddress ? Job::EraseChip
                    : latchForData_           ? Job::EraseData
                                              : Job::EraseCode;
        StartJob(erase, kPicChipEraseUs, timeUs);
      } else {
        StartJob(Job::Program, d_.programUs, timeUs);
      }
      break;
    case kBeginProgramOnly:
      StartJob(Job::ProgramOnly, d_.programOnlyUs, timeUs);
      break;
    default:
      break;
  }
}

}  // namespace kestrum
