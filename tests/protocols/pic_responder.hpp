// A small scripted PIC for the protocol and operation tests: it takes 6-bit commands and
// start/data/stop frames least significant bit first on falling clock edges, keeps one
// address counter, answers reads on its data line from the rising edge after the start bit's
// clock, and programs flash words at once or EPROM words (1 to 0 only) after enough pulses.
// It logs every command with its virtual time. Fault knobs: a word that never takes, a part
// that needs more pulses.
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
    int code;
    int address;          // the address counter when the command arrived
    int data;             // the frame's data word (loads and reads), else -1
    std::int64_t timeUs;  // the falling edge of its last command bit
  };

  PicResponder(int codeSize, int dataSize, bool twelveBit, int pinCount = 18);
  // Shaped like the device: sizes, core, EPROM, parity frames; memory blank.
  static PicResponder For(const DeviceDescriptor& device);

  int PinCount() const override { return pinCount_; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t) override { return drive_; }

  // Memory: program memory (12-bit parts: with the ID words after it), data memory, the
  // 14-bit configuration area at 0x2000, and the 12-bit configuration word (address -1).
  std::vector<std::uint16_t> code;
  std::vector<std::uint16_t> data;
  std::array<std::uint16_t, 8> config{};
  std::uint16_t config12 = 0;

  // Knobs.
  int dataBits = 14;  // 16: the 24-clock frames of parity parts
  std::uint16_t wordMask = 0x3FFF;
  bool eprom = false;  // bits go only from 1 to 0, after `pulsesNeeded` pulses
  int pulsesNeeded = 1;
  std::optional<int> stuckAddress;      // a program-space word that never takes
  std::optional<int> stuckDataAddress;  // a data byte that never takes
  std::uint16_t dataHighBits = 0;       // what a data read sends above the byte

  // What happened.
  std::vector<Command> commands;
  std::map<int, int> pulses;   // begin-programming commands per program-space address
  int entries = 0;             // times programming mode was entered
  std::int64_t enteredUs = 0;  // when it was last entered

  std::vector<int> Codes() const;
  // Begin-programming (8 or 24) commands and the time from each to the next command.
  std::vector<std::int64_t> GapsAfterBegin() const;
  int Count(int code) const;

 private:
  void Enter(std::int64_t timeUs);
  void Rising();
  void Falling(bool bit, std::int64_t timeUs);
  void Dispatch(std::int64_t timeUs);
  void FinishFrame();
  void BeginProgramming();
  std::uint16_t ReadWord(int address) const;
  void WriteWord(int address, std::uint16_t value);

  int pinCount_;
  bool twelveBit_;
  ChipPins previous_;
  bool active_ = false;
  int address_ = 0;
  bool inFrame_ = false;
  int command_ = 0;
  int commandBits_ = 0;
  int frameBit_ = 0;
  int frameRises_ = 0;
  std::uint32_t value_ = 0;
  bool reading_ = false;
  std::uint16_t out_ = 0;
  std::uint16_t latch_ = 0;
  bool latchIsData_ = false;
  DataDrive drive_ = DataDrive::Released;
};

}  // namespace kestrum::testing
