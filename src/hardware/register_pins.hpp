// SPDX-License-Identifier: GPL-3.0-or-later
// The connector pins of the parallel and serial ports, for programmers their users wire: which
// pins the port drives and which it reads, and the registers (or serial system calls) behind
// each. A programmer described by pins on such a port drives them through these.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "hardware/port.hpp"
#include "hardware/programmer_types.hpp"

namespace kestrum {

struct ConnectorPin {
  int pin;
  bool output;
  std::string_view signal;
  // Parallel: the data register bit (outputs) or status register bit (inputs; BUSY reads
  // inverted). Serial: the modem control bit (DTR, RTS), 0 for TXD (the break), or the modem
  // status bit (inputs).
  std::uint8_t bit;
};

// The DB-25 of a parallel port: D0..D7 on pins 2..9 are outputs; ACK, BUSY, PE, SELECT and
// ERROR are inputs.
inline constexpr ConnectorPin kParallelPins[] = {
    {2, true, "D0", 0x01},      {3, true, "D1", 0x02},   {4, true, "D2", 0x04},
    {5, true, "D3", 0x08},      {6, true, "D4", 0x10},   {7, true, "D5", 0x20},
    {8, true, "D6", 0x40},      {9, true, "D7", 0x80},   {10, false, "ACK", 0x40},
    {11, false, "BUSY", 0x80},  {12, false, "PE", 0x20}, {13, false, "SELECT", 0x10},
    {15, false, "ERROR", 0x08},
};
// The DB-9 of a serial port: TXD (high: held at space, the break), DTR and RTS are outputs;
// DCD, DSR, CTS and RI are inputs. A pin is high while its line is at the positive level.
inline constexpr ConnectorPin kSerialPins[] = {
    {1, false, "DCD", 0x80}, {3, true, "TXD", 0x00}, {4, true, "DTR", 0x01},
    {6, false, "DSR", 0x20}, {7, true, "RTS", 0x02}, {8, false, "CTS", 0x10},
    {9, false, "RI", 0x40},
};
inline constexpr int kBusyPin = 11;
inline constexpr int kTxdPin = 3;

// The connector pins of a port kind (empty for FTDI chips and GPIO chips, whose pins are
// numbered 0..7 and by line offset).
std::span<const ConnectorPin> ConnectorPinsOf(PortKind kind);
const ConnectorPin* FindConnectorPin(PortKind kind, int pin);

// The pins of a parallel or serial `port` set one by one through its registers, or through
// the serial system calls when `api` (which read CTS only). `outputs`: the pins the programmer
// drives; a parallel port's other data pins keep their levels.
std::unique_ptr<PinPort> MakeRegisterPins(Port& port, PortKind kind, bool api,
                                          std::uint64_t outputs);

}  // namespace kestrum
