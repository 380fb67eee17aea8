// The scripted test PIC.
#include "pic_responder.hpp"

#include <algorithm>

namespace kestrum::testing {

PicResponder::PicResponder(int codeSize, int dataSize, bool twelveBit, int pinCount)
    : code(static_cast<std::size_t>(codeSize), twelveBit ? 0xFFF : 0x3FFF),
      data(static_cast<std::size_t>(dataSize), 0xFF),
      wordMask(twelveBit ? 0xFFF : 0x3FFF),
      pinCount_(pinCount),
      twelveBit_(twelveBit) {
  config.fill(wordMask);
  config12 = 0xFFF;
}

PicResponder PicResponder::For(const DeviceDescriptor& device) {
  PicResponder chip(device.CodeSize, std::max(device.DataSize, 0), device.Is12Bit, device.PinCount);
  chip.eprom = device.IsEprom;
  if (device.HasParity) {
    chip.dataBits = 16;
    chip.wordMask = 0xFFFF;
  }
  return chip;
}

void PicResponder::Enter(std::int64_t timeUs) {
  active_ = true;
  ++entries;
  enteredUs = timeUs;
  address_ = twelveBit_ ? -1 : 0;
  inFrame_ = false;
  command_ = 0;
  commandBits_ = 0;
  drive_ = DataDrive::Released;
}

void PicResponder::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  if (pins.mclr && !previous_.mclr) Enter(timeUs);
  if (!pins.mclr && previous_.mclr) {
    active_ = false;
    drive_ = DataDrive::Released;
  }
  if (active_ && pins.mclr) {
    if (pins.clock && !previous_.clock) Rising();
    if (!pins.clock && previous_.clock) Falling(pins.data, timeUs);
  }
  previous_ = pins;
}

void PicResponder::Rising() {
  if (!inFrame_ || !reading_) return;
  // Rise 1 is the start bit's clock; bit j goes out from rise j + 2.
  const int bit = ++frameRises_ - 2;
  if (bit >= 0 && bit < dataBits) {
    drive_ = ((out_ >> bit) & 1) ? DataDrive::High : DataDrive::Low;
  } else {
    drive_ = DataDrive::Released;
  }
}

void PicResponder::Falling(bool bit, std::int64_t timeUs) {
  if (!inFrame_) {
    command_ |= (bit ? 1 : 0) << commandBits_;
    if (++commandBits_ == 6) Dispatch(timeUs);
    return;
  }
  if (frameBit_ >= 1 && frameBit_ <= dataBits && bit) value_ |= 1u << (frameBit_ - 1);
  if (++frameBit_ == dataBits + 2) FinishFrame();
}

void PicResponder::Dispatch(std::int64_t timeUs) {
  const int code = command_;
  command_ = 0;
  commandBits_ = 0;
  commands.push_back({code, address_, -1, timeUs});
  switch (code) {
    case 0:
    case 2:
    case 3:
    case 4:
    case 5:
      inFrame_ = true;
      frameBit_ = 0;
      frameRises_ = 0;
      value_ = 0;
      reading_ = code == 4 || code == 5;
      if (code == 4) out_ = ReadWord(address_);
      if (code == 5) {
        const std::uint16_t byte = data.empty() ? 0xFF : data[address_ % data.size()];
        out_ = static_cast<std::uint16_t>(byte | dataHighBits);
      }
      break;
    case 6:
      ++address_;
      break;
    case 8:
    case 24:
      BeginProgramming();
      break;
    default:  // 1, 7 (protection sequence), 14 (end programming)
      break;
  }
}

void PicResponder::FinishFrame() {
  inFrame_ = false;
  drive_ = DataDrive::Released;
  const int code = commands.back().code;
  if (reading_) {
    commands.back().data = out_;
    return;
  }
  commands.back().data = static_cast<int>(value_);
  if (code == 0) address_ = 0x2000;
  latchIsData_ = code == 3;
  latch_ = static_cast<std::uint16_t>(value_ & (latchIsData_ ? 0xFF : wordMask));
}

void PicResponder::BeginProgramming() {
  if (latchIsData_) {
    if (!data.empty() && address_ != stuckDataAddress) data[address_ % data.size()] = latch_;
    return;
  }
  const int count = ++pulses[address_];
  if (address_ == stuckAddress) return;
  if (!eprom) {
    WriteWord(address_, latch_);
  } else if (count >= pulsesNeeded) {
    WriteWord(address_, static_cast<std::uint16_t>(ReadWord(address_) & latch_));
  }
}

std::uint16_t PicResponder::ReadWord(int address) const {
  if (address == -1) return config12;
  if (address >= 0 && address < static_cast<int>(code.size())) return code[address];
  if (address >= 0x2000 && address < 0x2008) return config[address - 0x2000];
  return wordMask;
}

void PicResponder::WriteWord(int address, std::uint16_t value) {
  if (address == -1) {
    config12 = value;
  } else if (address >= 0 && address < static_cast<int>(code.size())) {
    code[address] = value;
  } else if (address >= 0x2000 && address < 0x2008) {
    config[address - 0x2000] = value;
  }
}

std::vector<int> PicResponder::Codes() const {
  std::vector<int> codes;
  for (const Command& c : commands) codes.push_back(c.code);
  return codes;
}

std::vector<std::int64_t> PicResponder::GapsAfterBegin() const {
  std::vector<std::int64_t> gaps;
  for (std::size_t i = 0; i + 1 < commands.size(); ++i) {
    if (commands[i].code == 8 || commands[i].code == 24) {
      gaps.push_back(commands[i + 1].timeUs - commands[i].timeUs);
    }
  }
  return gaps;
}

int PicResponder::Count(int code) const {
  int n = 0;
  for (const Command& c : commands) n += c.code == code ? 1 : 0;
  return n;
}

}  // namespace kestrum::testing
