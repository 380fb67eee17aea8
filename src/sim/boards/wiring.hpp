// SPDX-License-Identifier: GPL-3.0-or-later
// The programmers as the hardware sees them: which port register bit reaches which pin of
// the chip's socket, at which level, and which port input the chip's data line comes back
// on. Written from the boards' side and kept apart from the line layer's table, so a mistake
// in one shows up against the other.
#pragma once

#include <array>
#include <cstdint>

#include "hardware/programmer_types.hpp"

namespace kestrum::sim {

constexpr std::uint8_t Bit(int n) {
  return static_cast<std::uint8_t>(1u << n);
}

enum class Source : std::uint8_t {
  None,          // pin not driven by this board
  ParallelData,  // parallel data register, D0..D7 on pins 2..9
  ModemControl,  // UART modem control register: bit 0 DTR, bit 1 RTS
  TxdSpace,      // TXD at the space level (break, or a 0 bit of a frame being sent)
  JdmSupply,     // derived from the RS-232 lines (see SimBoard)
  Always,        // an external supply
  Pins,          // the pins of a bit-bang port (an FTDI chip's D0..D7, a GPIO chip's lines)
};

// A pin is active while (register & mask) == match. TXD: active at space while match is set
// or the mask is empty, at mark otherwise.
struct OutputWire {
  Source source = Source::None;
  std::uint64_t mask = 0;
  std::uint64_t match = 0;
};

constexpr OutputWire High(Source source, std::uint64_t bits) {
  return {source, bits, bits};
}
constexpr OutputWire Low(Source source, std::uint64_t bits) {
  return {source, bits, 0};
}

// Where the chip's data line comes back: the RS-232 CTS input (modem status bit 4), or the
// parallel ACK (status bit 6) or BUSY (status bit 7, which the port reads inverted) pin.
// Or one pin of a bit-bang port, one status register bit of a parallel port (BUSY read
// inverted) or one modem status bit of a serial port (BoardWiring::inputPin).
enum class InputPin : std::uint8_t { None, Cts, Ack, Busy, Pin, Status, Modem };

struct BoardWiring {
  ProgrammerType type;
  OutputWire vcc;
  OutputWire mclr;
  OutputWire mclrLargeSocket;  // ProPic 2: VPP switch of the 28/40-pin socket
  OutputWire data;
  OutputWire clock;
  OutputWire cardClock;
  // Data and clock reach the chip through a latch that follows the register while this
  // wire is active and holds otherwise (AN589).
  OutputWire latchOpen;
  InputPin dataIn = InputPin::None;
  // InputPin::Pin, Status, Modem: the pin's bit, and whether it reads low while the data line
  // is high.
  std::uint64_t inputPin = 0;
  bool inputLow = false;
};

constexpr Source kD = Source::ParallelData;

constexpr Source kP = Source::Pins;

inline constexpr std::array<BoardWiring, 13> kBoards{{
    // JDM: the chip's data and clock hang on DTR and RTS, MCLR is pumped from TXD, the supply
    // comes from the lines themselves, and the data line is read on CTS.
    {.type = ProgrammerType::Jdm,
     .vcc = {Source::JdmSupply},
     .mclr = {Source::TxdSpace},
     .data = High(Source::ModemControl, Bit(0)),
     .clock = High(Source::ModemControl, Bit(1)),
     .dataIn = InputPin::Cts},
    {.type = ProgrammerType::Conquest,
     .vcc = High(kD, Bit(3) | Bit(4)),
     .mclr = High(kD, Bit(2)),
     .data = High(kD, Bit(0)),
     .clock = High(kD, Bit(1)),
     .dataIn = InputPin::Busy},
    // TAFE and TAIT Parallel drive their sockets register by register; no serial pins.
    {.type = ProgrammerType::Tafe},
    {.type = ProgrammerType::TaitSerial,
     .vcc = High(kD, Bit(2)),
     .mclr = High(kD, Bit(3)),
     .data = High(kD, Bit(0)),
     .clock = High(kD, Bit(1)),
     .dataIn = InputPin::Ack},
    // Fun-Card: the VPP transistor conducts while D4 is low.
    {.type = ProgrammerType::FunCard,
     .vcc = High(kD, Bit(0) | Bit(1) | Bit(2)),
     .mclr = Low(kD, Bit(4)),
     .data = High(kD, Bit(5)),
     .clock = High(kD, Bit(6)),
     .cardClock = High(kD, Bit(3)),
     .dataIn = InputPin::Ack},
    {.type = ProgrammerType::TaitParallel},
    // ProPic 2: D3 switches VPP to the 8- to 20-pin sockets, D4 to the 28/40-pin socket.
    {.type = ProgrammerType::ProPic2,
     .vcc = High(kD, Bit(2)),
     .mclr = High(kD, Bit(3)),
     .mclrLargeSocket = High(kD, Bit(4)),
     .data = High(kD, Bit(0)),
     .clock = High(kD, Bit(1)),
     .dataIn = InputPin::Ack},
    {.type = ProgrammerType::Schaer,
     .vcc = High(kD, Bit(3) | Bit(4)),
     .mclr = High(kD, Bit(2)),
     .data = High(kD, Bit(0)),
     .clock = High(kD, Bit(1)),
     .dataIn = InputPin::Busy},
    // STK200: MOSI on D5, SCK on D4, RESET on D7.
    {.type = ProgrammerType::Stk200,
     .vcc = High(kD, Bit(2) | Bit(3)),
     .mclr = High(kD, Bit(7)),
     .data = High(kD, Bit(5)),
     .clock = High(kD, Bit(4)),
     .dataIn = InputPin::Ack},
    // AN589: D0 and D1 pass a latch that follows while D2 is high; VPP is on with D3 high
    // and D4 low; the socket has its own supply.
    {.type = ProgrammerType::An589,
     .vcc = {Source::Always},
     .mclr = {kD, Bit(3) | Bit(4), Bit(3)},
     .data = High(kD, Bit(0)),
     .clock = High(kD, Bit(1)),
     .latchOpen = High(kD, Bit(2)),
     .dataIn = InputPin::Ack},
    // The JDM behind an FTDI cable: the cable's RS-232 drivers invert, so DTR (pin 4) and RTS
    // (pin 2) are high on the board while their pins are low, TXD (pin 0) is at space while
    // its pin is low, and CTS (pin 3) reads low while the data line is high.
    {.type = ProgrammerType::JdmFtdi,
     .vcc = {Source::JdmSupply},
     .mclr = Low(kP, Bit(0)),
     .data = Low(kP, Bit(4)),
     .clock = Low(kP, Bit(2)),
     .dataIn = InputPin::Pin,
     .inputPin = Bit(3),
     .inputLow = true},
    // A bare FTDI board and a GPIO header are wired as their user's pin map says
    // (BoardFromPinMap).
    {.type = ProgrammerType::FtdiBitBang},
    {.type = ProgrammerType::GpioHeader},
}};

// The board of a pin map on a port of `kind`: each line on its pin at its active level (the
// connector pins of a parallel or serial port through the registers behind them); a board
// without a supply line has its own supply.
BoardWiring BoardFromPinMap(PortKind kind, const PinMap& map);

const BoardWiring& BoardFor(ProgrammerType type);

// ProPic 2 sockets by pin count: 0 for none, 1 for the small sockets, 2 for the large one.
int ProPic2Socket(int pinCount);

}  // namespace kestrum::sim
