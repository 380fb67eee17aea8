// A small scripted PIC for the protocol and operation tests: 6-bit commands and start/data/
// stop frames least significant bit first on falling clock edges, one address counter, reads
// answered from the rising edge after the start bit's clock, flash words programmed at once,
// EPROM words (1 to 0 only) after enough pulses. Every command is logged with its time.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "device/device_descriptor.hpp"
#include "sim/chip.hpp"

namespace kestrum::testing {

class PicResponder final : public Chip {
 public:
  struct Command {
    int code, address, data;  // data: the frame's word, -1 without one
    std::int64_t timeUs;
  };

  PicResponder(int codeSize, int dataSize, bool twelveBit, int pinCount = 18);
  // Shaped like the device (sizes, core, EPROM, parity frames), memory blank.
  static PicResponder For(const DeviceDescriptor& device);

  int PinCount() const override { return pinCount_; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t) override { return drive_; }

  // Program memory (12-bit: with the ID words), data memory, the 14-bit configuration area
  // at 0x2000 and the 12-bit configuration word (address -1).
  std::vector<std::uint16_t> code, data;
  std::array<std::uint16_t, 8> config{};
  std::uint16_t config12 = 0xFFF;

  int dataBits = 14;  // 16 with the 24-clock frames of parity parts
  std::uint16_t wordMask;
  bool eprom = false;
  int pulsesNeeded = 1;
  std::optional<int> stuckAddress, stuckDataAddress;  // words that never take
  std::uint16_t dataHighBits = 0;                     // what a data read sends above the byte

  std::vector<Command> commands;
  std::map<int, int> pulses;  // begin-programming commands per program-space address
  int entries = 0;            // times programming mode was entered
  std::int64_t enteredUs = 0;

  std::vector<int> Codes() const;
  int Count(int code) const;
  // Time from each begin-programming command (from index `from` on) to the next command.
  std::vector<std::int64_t> GapsAfterBegin(std::size_t from = 0) const;

 private:
  void Falling(bool bit, std::int64_t timeUs);
  void Execute(std::int64_t timeUs);
  std::uint16_t& Word(int address);

  int pinCount_;
  bool twelveBit_;
  ChipPins previous_;
  int address_ = 0, bits_ = 0, frameBit_ = -1, rises_ = 0;
  std::uint32_t value_ = 0;
  std::uint16_t out_ = 0, latch_ = 0, scratch_ = 0;
  bool reading_ = false, latchIsData_ = false;
  DataDrive drive_ = DataDrive::Released;
};

}  // namespace kestrum::testing
