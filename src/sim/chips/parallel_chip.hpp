// SPDX-License-Identifier: GPL-3.0-or-later
// The socket of the two programmers that drive a part register by register (the TAFE with the
// 89C1051/2051/4051, the TAIT Parallel with the PIC 16C54): a wider pin set than the five
// logical lines of the serial programmers, and the side a chip model implements to sit in it.
#pragma once

#include <cstdint>

namespace kestrum {

// Levels at a parallel-programming socket; true is high.
struct ParallelPins {
  bool vcc = false;
  // The programming voltage: RST at 12 V (89Cx051), MCLR at 13 V (16C54).
  bool vpp = false;
  // XTAL1 (89Cx051) or T0CKI (16C54): the clock of the part's address counter.
  bool counterClock = false;
  // PROG on P3.2 (89Cx051) or OSC1 (16C54): a low pulse programs.
  bool program = true;
  // The 89Cx051's mode pins P3.3, P3.4, P3.5 and P3.7 as bits 3..0.
  std::uint8_t mode = 0;
  // The data pins as the programmer drives them: P1 (89Cx051), or RB0..RB7 and RA0..RA3 as
  // bits 0..11 (16C54). Only the bits of `busDriven` are driven.
  std::uint16_t bus = 0xFFFF;
  std::uint16_t busDriven = 0;

  bool operator==(const ParallelPins&) const = default;
};

// What a part drives on its data pins.
struct BusDrive {
  std::uint16_t value = 0;
  std::uint16_t mask = 0;  // the pins it drives
};

class ParallelChip {
 public:
  // Called on every change of any input pin, in time order.
  virtual void OnParallelPins(const ParallelPins& pins, std::int64_t timeUs) = 0;
  virtual BusDrive BusOut(std::int64_t timeUs) = 0;
  // The 89Cx051's RDY/BSY output on P3.1: high when ready. A part without one leaves the
  // board's pull-up high.
  virtual bool ReadyOut(std::int64_t /*timeUs*/) { return true; }

 protected:
  ~ParallelChip() = default;
};

// The level on the data pins: the programmer's where it drives (it drives harder than a part
// in verify mode), else the part's, else the board's pull-ups.
inline std::uint16_t BusLevel(const ParallelPins& pins, const BusDrive& chip) {
  const std::uint16_t own = static_cast<std::uint16_t>(pins.bus & pins.busDriven);
  const std::uint16_t theirs = static_cast<std::uint16_t>(chip.value & chip.mask & ~pins.busDriven);
  const std::uint16_t floating = static_cast<std::uint16_t>(~(pins.busDriven | chip.mask));
  return static_cast<std::uint16_t>(own | theirs | floating);
}

}  // namespace kestrum
