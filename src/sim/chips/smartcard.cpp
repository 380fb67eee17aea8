// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard: its PIC running on the core, wired to the contacts and to the 24C16.
#include "sim/chips/smartcard.hpp"

namespace kestrum {

namespace {

constexpr std::int64_t kMillion = 1000000;
constexpr std::uint8_t kIo = 0x80;     // RB7: contact I/O
constexpr std::uint8_t kClock = 0x40;  // RB6: contact CLK
constexpr std::uint8_t kSda = 0x20;    // RB5
constexpr std::uint8_t kScl = 0x10;    // RB4
constexpr std::uint8_t kRbpu = 0x80;   // OPTION: PORTB pull-ups off while set

}  // namespace

std::int64_t CardTicksFromUs(std::int64_t us) {
  return us / kMillion * kCardClockHz + us % kMillion * kCardClockHz / kMillion;
}

std::int64_t UsFromCardTicks(std::int64_t ticks) {
  return ticks / kCardClockHz * kMillion + ticks % kCardClockHz * kMillion / kCardClockHz;
}

std::int64_t UsCeilFromCardTicks(std::int64_t ticks) {
  const std::int64_t rest = ticks % kCardClockHz * kMillion;
  return ticks / kCardClockHz * kMillion + (rest + kCardClockHz - 1) / kCardClockHz;
}

Pic14CoreShape CardCoreShape(const PicChipDescription& pic) {
  Pic14CoreShape shape;
  shape.programWords = pic.programWords;
  shape.lastGpr = pic.name == "PIC 16C84" ? 0x2F : 0x4F;
  return shape;
}

Smartcard::Smartcard(PicChip& pic, Eeprom24& eeprom)
    : pic_(pic), eeprom_(eeprom), core_(CardCoreShape(pic.Description()), *this) {}

void Smartcard::PowerOn(bool resetHeld, std::int64_t tick) {
  if (powered_) return;
  powered_ = true;
  resetHeld_ = true;
  resetSinceTick_ = tick;
  EepromPins(tick);
  // Power-on reset: the program starts from the values it comes up with once MCLR is high.
  StartProgram(true, tick);
  if (resetHeld) {
    Drive(kPortB, latchB_, 0xFF, core_.Cycles());
  } else {
    resetHeld_ = false;
  }
}

void Smartcard::PowerOff(std::int64_t tick) {
  if (!powered_) return;
  Drive(kPortB, latchB_, 0xFF, core_.Cycles());
  powered_ = false;
  EepromPins(tick);
}

void Smartcard::SetReset(bool held, std::int64_t tick) {
  if (!powered_ || held == resetHeld_) return;
  resetHeld_ = held;
  if (held) {
    // MCLR low makes every pin an input at once; the program stops where it is.
    resetSinceTick_ = tick;
    const std::uint8_t tris = trisB_;
    Drive(kPortB, latchB_, 0xFF, core_.Cycles());
    trisB_ = tris;  // kept for a pulse too short to reset
    return;
  }
  if (tick - resetSinceTick_ < kCardResetPulseTicks) {
    // Too short for the part to see: it goes on where it was.
    cycleZeroTick_ = tick - 4 * static_cast<std::int64_t>(core_.Cycles());
    Drive(kPortB, latchB_, trisB_, core_.Cycles());
    return;
  }
  StartProgram(false, tick);
}

void Smartcard::StartProgram(bool powerOn, std::int64_t tick) {
  // The program is taken as the PIC model holds it now: a programmer may have changed it.
  cycleZeroTick_ = tick - 4 * static_cast<std::int64_t>(core_.Cycles());
  core_.Reset(pic_.Code(), pic_.Data(), powerOn);
}

void Smartcard::RunUntil(std::int64_t tick, bool readerHigh) {
  readerHigh_ = readerHigh;
  if (!powered_ || resetHeld_) return;
  const std::int64_t cycles = (tick - cycleZeroTick_) / 4;
  if (cycles > 0) core_.RunUntil(static_cast<std::uint64_t>(cycles));
}

void Smartcard::StopAt(std::int64_t tick) {
  const std::int64_t cycles = (tick - cycleZeroTick_ + 3) / 4;
  core_.StopAt(static_cast<std::uint64_t>(cycles < 0 ? 0 : cycles));
}

std::uint8_t Smartcard::ReadPins(int port, std::uint64_t) {
  if (port == kPortA) {
    // Nothing is wired to port A: outputs read their latch, inputs float low.
    return static_cast<std::uint8_t>(core_.Latch(kPortA) & ~core_.Tris(kPortA));
  }
  const auto drivenLow = static_cast<std::uint8_t>(~trisB_ & ~latchB_);
  const auto drivenHigh = static_cast<std::uint8_t>(~trisB_ & latchB_);
  // RB0..RB3 are open: the weak pull-ups, when on, hold the inputs high.
  std::uint8_t levels = (core_.Option() & kRbpu) ? 0 : 0x0F;
  levels = static_cast<std::uint8_t>((levels & trisB_) | (latchB_ & ~trisB_ & 0x0F));
  // The clock is sampled at the same phase of every instruction cycle.
  levels |= kClock;
  if (!(drivenLow & kScl)) levels |= kScl;
  if (!(drivenLow & kSda) && ((drivenHigh & kSda) || !eeprom_.PullsSdaLow())) levels |= kSda;
  if (!(drivenLow & kIo) && (readerHigh_ || (drivenHigh & kIo))) levels |= kIo;
  return levels;
}

void Smartcard::Drive(int port, std::uint8_t latch, std::uint8_t tris, std::uint64_t cycle) {
  if (port != kPortB) return;
  // A hazard counts once, when it begins.
  const auto high = [](std::uint8_t l, std::uint8_t t, std::uint8_t bit) {
    return !(t & bit) && (l & bit);
  };
  if (high(latch, tris, kIo) && !high(latchB_, trisB_, kIo)) ++faults_.ioDrivenHigh;
  if (high(latch, tris, kSda) && !high(latchB_, trisB_, kSda)) ++faults_.sdaDrivenHigh;
  if (!(tris & kClock) && (trisB_ & kClock)) ++faults_.clockDriven;
  constexpr std::uint8_t kOpenDrain = kIo | kSda | kScl;
  if ((latch & kOpenDrain) && !(latchB_ & kOpenDrain) && powered_ && !resetHeld_) {
    ++faults_.latchHigh;
  }
  latchB_ = latch;
  trisB_ = tris;
  const std::int64_t tick = TickOf(cycle);
  const bool ioLow = !(tris & kIo) && !(latch & kIo);
  if (ioLow != ioLow_) {
    ioLow_ = ioLow;
    if (listener_) listener_->CardIo(ioLow, tick);
  }
  const bool sclLow = !(tris & kScl) && !(latch & kScl);
  const bool sdaLow = !(tris & kSda) && !(latch & kSda);
  if (sclLow != sclLow_ || sdaLow != sdaLow_) {
    sclLow_ = sclLow;
    sdaLow_ = sdaLow;
    EepromPins(tick);
  }
}

void Smartcard::EepromPins(std::int64_t tick) {
  // SDA as the PIC and the pull-up hold it; WP and A2..A0 are tied low on the card.
  Eeprom24Pins pins;
  pins.vcc = powered_;
  pins.scl = !sclLow_;
  pins.sda = !sdaLow_;
  eeprom_.OnPins(pins, UsFromCardTicks(tick));
}

}  // namespace kestrum
