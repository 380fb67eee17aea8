// SPDX-License-Identifier: GPL-3.0-or-later
// A PIC smartcard as the common cards are built: a PIC 16F84 or 16C84 and a 24C16 EEPROM. In a
// reader the PIC runs the program its model holds on the instruction-set simulator, clocked
// by the reader: contact I/O on RB7, CLK on OSC1 (and RB6), RST on MCLR, the 24C16's SCL on
// RB4 and SDA on RB5 with pull-ups. In a programmer the same PIC model is reached through the
// card's programming contacts, so what a programmer writes is what the reader then runs.
//
// Time is counted in ticks of the card clock, 3.579545 MHz (one instruction cycle is four).
// The card also watches itself: a line driven high that must only be pulled low or released,
// a driven clock contact, and PORTB latch bits left high on those lines.
#pragma once

#include <cstdint>
#include <memory>

#include "sim/chips/eeprom24_chip.hpp"
#include "sim/chips/pic14_core.hpp"
#include "sim/chips/pic_chip.hpp"

namespace kestrum {

inline constexpr std::int64_t kCardClockHz = 3579545;
// A reset pulse on MCLR shorter than this is not seen.
inline constexpr std::int64_t kCardResetPulseTicks = 8;  // 2 µs

std::int64_t CardTicksFromUs(std::int64_t us);     // rounded down
std::int64_t UsFromCardTicks(std::int64_t ticks);  // rounded down
std::int64_t UsCeilFromCardTicks(std::int64_t ticks);

// The reader's side of the I/O contact.
class CardIoListener {
 public:
  // The card began or stopped pulling I/O low at `tick`.
  virtual void CardIo(bool pulledLow, std::int64_t tick) = 0;

 protected:
  ~CardIoListener() = default;
};

// What the card did that a real card's lines would not take.
struct CardFaults {
  int ioDrivenHigh = 0;   // RB7 an output at 1, against the reader's line
  int sdaDrivenHigh = 0;  // RB5 an output at 1, against the EEPROM's acknowledge
  int clockDriven = 0;    // RB6 an output: it would fight the card clock
  int latchHigh = 0;      // a PORTB write left the latch high on RB4, RB5 or RB7
  int Total() const { return ioDrivenHigh + sdaDrivenHigh + clockDriven + latchHigh; }
};

class Smartcard final : private PicPortPins {
 public:
  // `pic` holds the program; `eeprom` is the 24C16 on SCL and SDA. Neither is owned.
  Smartcard(PicChip& pic, Eeprom24& eeprom);
  Smartcard(const Smartcard&) = delete;
  Smartcard& operator=(const Smartcard&) = delete;

  PicChip& Pic() { return pic_; }
  Eeprom24& Eeprom() { return eeprom_; }
  Pic14Core& Core() { return core_; }
  const CardFaults& Faults() const { return faults_; }

  // The reader's side. `listener` hears the I/O contact; set it before power comes on.
  void SetListener(CardIoListener* listener) { listener_ = listener; }
  void PowerOn(bool resetHeld, std::int64_t tick);
  void PowerOff(std::int64_t tick);
  bool Powered() const { return powered_; }
  void SetReset(bool held, std::int64_t tick);
  // Runs the card up to `tick` with the reader's side of I/O at `readerHigh` meanwhile.
  void RunUntil(std::int64_t tick, bool readerHigh);
  // From the listener during RunUntil: the run ends at `tick`.
  void StopAt(std::int64_t tick);
  bool IoPulledLow() const { return ioLow_; }

 private:
  std::uint8_t ReadPins(int port, std::uint64_t cycle) override;
  void Drive(int port, std::uint8_t latch, std::uint8_t tris, std::uint64_t cycle) override;
  std::int64_t TickOf(std::uint64_t cycle) const {
    return cycleZeroTick_ + 4 * static_cast<std::int64_t>(cycle);
  }
  void StartProgram(bool powerOn, std::int64_t tick);
  void EepromPins(std::int64_t tick);

  PicChip& pic_;
  Eeprom24& eeprom_;
  Pic14Core core_;
  CardIoListener* listener_ = nullptr;
  bool powered_ = false;
  bool resetHeld_ = true;
  std::int64_t resetSinceTick_ = 0;
  std::int64_t cycleZeroTick_ = 0;
  bool readerHigh_ = true;
  bool ioLow_ = false;
  bool sclLow_ = false;
  bool sdaLow_ = false;
  std::uint8_t latchB_ = 0;
  std::uint8_t trisB_ = 0xFF;
  CardFaults faults_;
};

// A card's core shape by the PIC on it: the 16C84 has 36 general-purpose registers, the
// 16F84 68.
Pic14CoreShape CardCoreShape(const PicChipDescription& pic);

}  // namespace kestrum
