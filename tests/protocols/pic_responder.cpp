// The scripted test PIC.
#include "pic_responder.hpp"

#include <algorithm>

namespace kestrum::testing {

PicResponder::PicResponder(int codeSize, int dataSize, bool twelveBit, int pinCount)
    : code(static_cast<std::size_t>(codeSize), twelveBit ? 0xFFF : 0x3FFF),
      data(static_cast<std::size_t>(std::max(dataSize, 0)), 0xFF),
      wordMask(twelveBit ? 0xFFF : 0x3FFF),
      pinCount_(pinCount),
      twelveBit_(twelveBit) {
  config.fill(wordMask);
}

PicResponder PicResponder::For(const DeviceDescriptor& device) {
  PicResponder chip(device.CodeSize, device.DataSize, device.Is12Bit, device.PinCount);
  chip.eprom = device.IsEprom;
  if (device.HasParity) chip.dataBits = 16, chip.wordMask = 0xFFFF;
  return chip;
}

void PicResponder::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  if (pins.mclr != previous_.mclr) {  // VPP on enters programming mode at the reset address
    entries += pins.mclr ? 1 : 0;
    enteredUs = timeUs;
    address_ = twelveBit_ ? -1 : 0;
    value_ = 0;
    bits_ = 0;
    frameBit_ = -1;
    drive_ = DataDrive::Released;
  } else if (pins.mclr && pins.clock && !previous_.clock && frameBit_ >= 0 && reading_) {
    const int bit = ++rises_ - 2;  // rise 1 is the start bit's clock
    drive_ = bit < 0 || bit >= dataBits ? DataDrive::Released
             : ((out_ >> bit) & 1)      ? DataDrive::High
                                        : DataDrive::Low;
  } else if (pins.mclr && !pins.clock && previous_.clock) {
    Falling(pins.data, timeUs);
  }
  previous_ = pins;
}

void PicResponder::Falling(bool bit, std::int64_t timeUs) {
  if (frameBit_ < 0) {
    value_ |= (bit ? 1u : 0u) << bits_;
    if (++bits_ == 6) Execute(timeUs);
    return;
  }
  if (frameBit_ >= 1 && frameBit_ <= dataBits && bit) value_ |= 1u << (frameBit_ - 1);
  if (++frameBit_ < dataBits + 2) return;
  frameBit_ = -1;
  drive_ = DataDrive::Released;
  Command& c = commands.back();
  const std::uint32_t word = value_;
  value_ = 0;
  c.data = reading_ ? out_ : static_cast<int>(word);
  if (reading_) return;
  if (c.code == 0) address_ = 0x2000;
  latchIsData_ = c.code == 3;
  latch_ = static_cast<std::uint16_t>(word & (latchIsData_ ? 0xFF : wordMask));
}

void PicResponder::Execute(std::int64_t timeUs) {
  const int command = static_cast<int>(value_);
  bits_ = 0;
  value_ = 0;
  commands.push_back({command, address_, -1, timeUs});
  const std::size_t dataIndex = data.empty() ? 0 : address_ % data.size();
  if (command == 0 || (command >= 2 && command <= 5)) {
    frameBit_ = 0;
    rises_ = 0;
    reading_ = command == 4 || command == 5;
    if (command == 4) out_ = Word(address_);
    if (command == 5) out_ = (data.empty() ? 0xFF : data[dataIndex]) | dataHighBits;
  } else if (command == 6) {
    ++address_;
  } else if (command == 8 || command == 24) {
    if (latchIsData_) {
      if (!data.empty() && address_ != stuckDataAddress) data[dataIndex] = latch_;
      return;
    }
    const int count = ++pulses[address_];
    if (address_ == stuckAddress) return;
    if (!eprom) Word(address_) = latch_;
    if (eprom && count >= pulsesNeeded) Word(address_) &= latch_;
  }
}

std::uint16_t& PicResponder::Word(int address) {
  if (address == -1) return config12;
  if (address >= 0 && address < static_cast<int>(code.size())) return code[address];
  if (address >= 0x2000 && address < 0x2008) return config[address - 0x2000];
  scratch_ = wordMask;  // nothing there: reads blank, writes vanish
  return scratch_;
}

std::vector<int> PicResponder::Codes() const {
  std::vector<int> codes;
  for (const Command& c : commands) codes.push_back(c.code);
  return codes;
}

int PicResponder::Count(int code) const {
  return static_cast<int>(std::count_if(commands.begin(), commands.end(),
                                        [code](const Command& c) { return c.code == code; }));
}

std::vector<std::int64_t> PicResponder::GapsAfterBegin(std::size_t from) const {
  std::vector<std::int64_t> gaps;
  for (std::size_t i = from; i + 1 < commands.size(); ++i) {
    if (commands[i].code == 8 || commands[i].code == 24) {
      gaps.push_back(commands[i + 1].timeUs - commands[i].timeUs);
    }
  }
  return gaps;
}

}  // namespace kestrum::testing
