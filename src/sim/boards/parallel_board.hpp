// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual programmer's parallel port at register level, for the two programmers that drive
// their socket register by register instead of through the five logical lines: the data latch
// with its direction bit, the control register (STROBE, AUTOFD and SELECTIN inverted by the
// port), the status inputs and the extended control register, and behind them each board's
// own wiring to its socket.
//
// TAFE (89C1051/2051/4051 in their parallel programming mode):
//   D0..D7    P1.0..P1.7, both ways (control bit 5 turns the port's data lines to input), and
//             the inputs of an 8-bit flip-flop clocked by AUTOFD going high, whose Q3..Q0 hold
//             the mode pins P3.3, P3.4, P3.5, P3.7
//   STROBE    XTAL1: the part's address counter steps on its rising edge
//   INIT      PROG (P3.2)
//   SELECTIN  switches RST from 5 V to 12 V while active (low)
//   supply    the socket is powered while AUTOFD (low) or INIT (high) is active, so the resting
//             control value 01h leaves the part unpowered
//   ACK       RDY/BSY (P3.1)
// TAIT Parallel (PIC 16C54 in its program/verify mode, words through shift registers):
//   D0        OSC1                    D1  T0CKI, and "load" for the reading registers
//   D2, D3    serial inputs of the writing registers for word bits 3..0 and 11..4
//   D4        shift clock of all four registers (rising edge)
//   D5        output enable of the writing registers onto the part's port (active low)
//   INIT      VDD                     SELECTIN  VPP on MCLR (both active high at the pin)
//   SELECT    serial output of the reading register for bits 11..4
//   PAPEROUT  serial output of the reading register for bits 3..0
//   ERROR     the pin-count jumper: low for the 18-pin setting
//   The reading registers take the port pins on a shift clock while T0CKI is high or OSC1 is
//   low (a gate on the board), and shift otherwise. With the 18-pin setting the word's bits
//   reach the socket rearranged (see TaitSocketOrder).
#pragma once

#include <cstdint>
#include <memory>

#include "hardware/programmer_types.hpp"
#include "sim/chips/chip.hpp"
#include "sim/chips/parallel_chip.hpp"
#include "sim/boards/vcd_writer.hpp"

namespace kestrum {

class ParallelBoard {
 public:
  // The board of `type`; null for the types that drive the five logical lines.
  static std::unique_ptr<ParallelBoard> For(ProgrammerType type);
  virtual ~ParallelBoard() = default;

  virtual ProgrammerType Type() const = 0;
  // The chip in the socket (its parallel side), or none when it has none.
  void Insert(Chip* chip, std::int64_t now);
  // A board inverter on the data the port reads back (what InvertDataIn undoes).
  void SetInvertedInput(bool inverted) { invertedInput_ = inverted; }

  // Registers by their offset from the port base: 0 data, 1 status, 2 control, 402h extended
  // control. Other offsets read like an empty bus.
  std::uint8_t In(std::uint16_t offset, std::int64_t now);
  void Out(std::uint16_t offset, std::uint8_t value, std::int64_t now);
  // For a trace of a real port: a value the real port returned.
  void Observe(std::uint16_t offset, std::uint8_t value);
  void SetObserver(bool observer) { observer_ = observer; }

  const ParallelPins& Pins() const { return pins_; }
  ParallelTracePins TracePins(std::int64_t now);
  std::uint8_t Data() const { return data_; }
  std::uint8_t Control() const { return control_; }
  std::uint8_t ExtendedControl() const { return extendedControl_; }

 protected:
  // The control register's bits 0, 1 and 3 reach their pins inverted.
  static constexpr std::uint8_t kInvertedControl = 0x0B;
  static constexpr std::uint8_t kDirection = 0x20;

  bool DataInput() const { return (control_ & kDirection) != 0; }
  // Pin levels of STROBE, AUTOFD, INIT, SELECTIN as bits 0..3.
  std::uint8_t ControlPins() const { return (control_ ^ kInvertedControl) & 0x0F; }
  // The levels on D0..D7: the port's latch while it drives them, else the socket's.
  std::uint8_t DataPins(std::int64_t now);
  BusDrive ChipBus(std::int64_t now) { return chip_ ? chip_->BusOut(now) : BusDrive{}; }
  bool ChipReady(std::int64_t now) { return chip_ ? chip_->ReadyOut(now) : true; }

  // The board's logic after a register write, given the pin levels before it.
  virtual void Clocked(std::uint8_t dataBefore, std::uint8_t controlBefore, std::int64_t now) = 0;
  virtual ParallelPins Socket() const = 0;
  // What the socket drives back onto D0..D7 (all ones where nothing drives).
  virtual std::uint8_t SocketData(std::int64_t now) = 0;
  // The status register as the port reads it.
  virtual std::uint8_t Status(std::int64_t now) = 0;

  std::uint8_t data_ = 0;
  std::uint8_t control_ = 0;

 private:
  void Update(std::int64_t now);

  ParallelChip* chip_ = nullptr;
  std::uint8_t extendedControl_ = 0x35;
  ParallelPins pins_;
  bool invertedInput_ = false;
  bool observer_ = false;
  std::uint8_t observedData_ = 0xFF;
  std::uint8_t observedStatus_ = 0x7F;
};

// The TAIT Parallel's two sockets: the 18-pin socket reaches the part's port with the bits of a
// word rearranged, the 28-pin socket in order. The jumper that says which one is in use is read
// on ERROR.
class TaitParallelBoard final : public ParallelBoard {
 public:
  ProgrammerType Type() const override { return ProgrammerType::TaitParallel; }
  void SetPinSetting(int pins) { pin18_ = pins != 28; }
  bool Pin18() const { return pin18_; }
  // Pulses on OSC1 of at least 90 µs with VPP up while the writing registers drove the port.
  int DrivenPulses() const { return drivenPulses_; }

 private:
  void Clocked(std::uint8_t dataBefore, std::uint8_t controlBefore, std::int64_t now) override;
  ParallelPins Socket() const override;
  std::uint8_t SocketData(std::int64_t) override { return 0xFF; }
  std::uint8_t Status(std::int64_t now) override;
  // The 12-bit word on the part's port, in the registers' bit order.
  std::uint16_t PortWord(std::int64_t now);

  bool pin18_ = true;
  std::uint8_t writeHigh_ = 0xFF;  // bits 11..4
  std::uint8_t writeLow_ = 0xFF;   // bits 3..0 in its last four stages
  std::uint8_t readHigh_ = 0xFF;
  std::uint8_t readLow_ = 0xFF;
  std::int64_t pulseStartUs_ = -1;
  int drivenPulses_ = 0;
};

// The 18-pin socket's wiring: register bit r of a word reaches port bit TaitSocketOrder(r).
// Bits 1..0 go to 3..2, 3..2 to 1..0, 4 to 11 and 11..5 to 10..4.
std::uint16_t TaitSocketOrder(std::uint16_t registers);
std::uint16_t TaitRegisterOrder(std::uint16_t port);

}  // namespace kestrum
