// SPDX-License-Identifier: GPL-3.0-or-later
// Which pin of a port carries each logical line of a programmer, and at which level the line
// is active. Programmers that drive pins one by one (FTDI bit-bang boards, GPIO headers, and
// any board a user wires by hand) are described by one of these instead of register bits.
// Pins are numbered as the port numbers them: FTDI data bits 0..7, GPIO line offsets, the
// connector pins of a parallel or serial port.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrum {

struct PinAssignment {
  int pin = -1;  // -1: the line is not connected
  bool activeLow = false;
  // Further pins that carry the same line at the same level (a supply fed from two port pins).
  std::uint64_t also = 0;

  constexpr bool Connected() const { return pin >= 0; }
  // The pin's bit in a byte of pin levels (0 when it is not connected or beyond bit 7).
  constexpr std::uint8_t Bit() const {
    return pin >= 0 && pin < 8 ? static_cast<std::uint8_t>(1u << pin) : 0;
  }
  // The pin's bit in a word of pin levels (0 when it is not connected or beyond bit 63).
  constexpr std::uint64_t Mask() const { return PinMask() | (pin >= 0 ? also : 0); }
  // The first pin's bit alone: the one an input is read on.
  constexpr std::uint64_t PinMask() const {
    return pin >= 0 && pin < kMaxPins ? std::uint64_t{1} << pin : 0;
  }
  static constexpr int kMaxPins = 64;
  bool operator==(const PinAssignment&) const = default;
};

struct PinMap {
  PinAssignment dataOut;
  PinAssignment clock;
  PinAssignment mclr;  // MCLR/VPP, through the board's switch
  PinAssignment vcc;
  PinAssignment dataIn;

  bool operator==(const PinMap&) const = default;
  // The pins the port drives.
  constexpr std::uint8_t OutputMask() const {
    return static_cast<std::uint8_t>(dataOut.Bit() | clock.Bit() | mclr.Bit() | vcc.Bit());
  }
  constexpr std::uint64_t Outputs() const {
    return dataOut.Mask() | clock.Mask() | mclr.Mask() | vcc.Mask();
  }
  // The levels of `levels` with `line` made active (or inactive).
  static constexpr std::uint64_t With(std::uint64_t levels, PinAssignment line, bool active) {
    const bool high = active != line.activeLow;
    return high ? (levels | line.Mask()) : (levels & ~line.Mask());
  }
  // Whether `line` is active in the sampled `levels`.
  static constexpr bool Active(std::uint64_t levels, PinAssignment line) {
    return ((levels & line.PinMask()) != 0) != line.activeLow;
  }
};

// The text form, as kept in the settings: "DataOut=0 Clock=2 MCLR=!3 VCC=!4 DataIn=1", a
// '!' before the pin number for an active-low line; a line not named is not connected.
std::string FormatPinMap(const PinMap& map);
// Nothing when the text names an unknown line, a pin outside 0..`pinCount` - 1, one pin
// for two lines, or leaves Data Out, Clock or Data In out.
std::optional<PinMap> ParsePinMap(std::string_view text, int pinCount = 8);

// The lines by their names in the text forms, in the order they are written.
struct PinLineName {
  std::string_view name;
  PinAssignment PinMap::*member;
};
inline constexpr std::array<PinLineName, 5> kPinLineNames{{
    {"DataOut", &PinMap::dataOut},
    {"Clock", &PinMap::clock},
    {"MCLR", &PinMap::mclr},
    {"VCC", &PinMap::vcc},
    {"DataIn", &PinMap::dataIn},
}};

}  // namespace kestrum
