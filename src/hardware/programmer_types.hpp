// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer types as data: for each type, which port register bits carry Data Out,
// Clock, MCLR/VPP and VCC, and where Data In is read. The line operations (line_context.cpp)
// read these rows; only the sequences that are not a row (the JDM break sequence, the AN589
// strobe, the ProPic 2 socket choice) are code.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "hardware/pin_map.hpp"
#include "hardware/texts.hpp"

namespace kestrum {

// Stored as its index in the settings; the order is the order of the programmer list.
enum class ProgrammerType : int {
  Jdm = 0,
  Conquest = 1,
  Tafe = 2,
  TaitSerial = 3,
  FunCard = 4,
  TaitParallel = 5,
  ProPic2 = 6,
  Schaer = 7,
  Stk200 = 8,
  An589 = 9,
  JdmFtdi = 10,
  FtdiBitBang = 11,
  GpioHeader = 12,
  // A programmer its user described (programmers.toml): not a row of the table, stored in
  // the settings by its name.
  User = 1000,
};
inline constexpr int kProgrammerTypeCount = 13;

// Usb: an FTDI chip in synchronous bit-bang mode, named "USB1".."USB4" in the order the
// chips are found, or by its serial number. Gpio: a GPIO chip of the kernel's character
// device ("gpiochip0"), its lines driven one by one.
enum class PortKind { Serial, Parallel, Usb, Gpio };

// The logical lines of a programmer. `Vpp` (a separate VPP output) is shown in the dialogs but
// never driven.
enum class SignalLine { DataOut, Clock, Mclr, Vcc, Vpp, DataIn };

// Register offsets from the port base address.
namespace reg {
inline constexpr std::uint16_t kData = 0;     // parallel data, D0..D7 on pins 2..9
inline constexpr std::uint16_t kStatus = 1;   // parallel status: bit 6 ACK, bit 7 BUSY (inverted)
inline constexpr std::uint16_t kControl = 2;  // parallel control
inline constexpr std::uint16_t kExtendedControl = 0x402;  // ECP extended control (mode bits 7..5)
inline constexpr std::uint16_t kThr = 0;                  // UART transmit holding register
inline constexpr std::uint16_t kDivisorHigh = 1;          // UART divisor latch high (DLAB set)
inline constexpr std::uint16_t kLcr = 3;                  // UART line control
inline constexpr std::uint16_t kMcr = 4;                  // UART modem control
inline constexpr std::uint16_t kLsr = 5;                  // UART line status
inline constexpr std::uint16_t kMsr = 6;                  // UART modem status
}  // namespace reg

// UART register bits the JDM sequences use.
inline constexpr std::uint8_t kMcrDtr = 0x01;
inline constexpr std::uint8_t kMcrRts = 0x02;
inline constexpr std::uint8_t kLcrBreak = 0x40;
inline constexpr std::uint8_t kLcrDlab = 0x80;
inline constexpr std::uint8_t kLcr8N2 = 0x07;  // 8 data bits, no parity, two stop bits
inline constexpr std::uint8_t kLsrThre = 0x20;
inline constexpr std::uint8_t kLsrTemt = 0x40;
inline constexpr std::uint8_t kMsrCts = 0x10;
// Parallel status bits.
inline constexpr std::uint8_t kStatusAck = 0x40;
inline constexpr std::uint8_t kStatusBusy = 0x80;  // reads 0 while the BUSY pin is high

// Parallel data register bits.
inline constexpr std::uint8_t kD0 = 0x01, kD1 = 0x02, kD2 = 0x04, kD3 = 0x08, kD4 = 0x10,
                              kD5 = 0x20, kD6 = 0x40, kD7 = 0x80;

enum class DataInRule : std::uint8_t {
  None,        // no Data In line (TAFE, TAIT Parallel)
  ModemCts,    // UART modem status CTS, mask 0x10
  StatusAck,   // parallel status bit 6
  StatusBusy,  // parallel status bit 7, which the port inverts: 1 when the bit reads 0
};

// One programmer type. Bit masks are data register bits (for the JDM: modem control bits);
// levels are those with every invert option off.
struct ProgrammerRow {
  ProgrammerType type;
  std::string_view listText;
  PortKind portKind;
  bool driven;  // false: the line operations leave the port untouched
  std::uint8_t dataOutBit = 0;
  std::uint8_t clockBit = 0;
  // DriveVppOn sets the bits of vppMask to vppOnLevels, DriveVppOff to their complement.
  std::uint8_t vppMask = 0;
  std::uint8_t vppOnLevels = 0;
  bool vppBySocket = false;  // ProPic 2: the VPP bit depends on the device's pin count
  int vppOnWaitUs = 0;
  int vppOffWaitUs = 0;
  std::uint8_t vccBits = 0;       // set by PowerOn (cleared with InvertVCC)
  std::uint8_t vccFixedBits = 0;  // set by PowerOn whatever InvertVCC says
  // AllLinesOff: the MCLR bits and their resting levels (flipped by InvertMCLR); whether it
  // rests Data Out, Clock and VCC too; and bits it always sets.
  std::uint8_t idleMclrMask = 0;
  std::uint8_t idleMclrLevels = 0;
  bool idleDataClockVcc = true;
  std::uint8_t idleSetBits = 0;
  // AN589: a strobe that SetDataClock pulses and every Data In read sets first, and the bits
  // cleared with every clocked bit.
  std::uint8_t strobeBit = 0;
  std::uint8_t clockedClearBits = 0;
  std::uint8_t cardClockBit = 0;  // Fun-Card: the smartcard's clock
  DataInRule dataIn = DataInRule::None;
  // The JDM's sequences: VPP from TXD held at space (break), pumped by zero bytes first, and
  // the supply taken from the lines (power control by their levels).
  bool jdm = false;
  // A programmer driven pin by pin on a port that streams: its lines' pins, or the user's
  // (the hardware settings' BitBangPins) when the board is wired by the user.
  PinMap pins{};
  bool pinsFromSettings = false;
};

// A bare bit-bang board as the help pages draw it: Data Out on pin 0, Data In on pin 1, Clock
// on pin 2, the supply switched on by pin 3 low (a PNP high-side switch) and VPP by pin 4 high
// (a transistor pair from the 13 V supply).
inline constexpr PinMap kBitBangDefaultPins{.dataOut = {0, false},
                                            .clock = {2, false},
                                            .mclr = {4, false},
                                            .vcc = {3, true},
                                            .dataIn = {1, false}};

// The JDM on an FTDI USB-RS-232 cable in bit-bang mode: TXD (pin 0), RTS (2) and DTR (4) are
// outputs and CTS (3) the input, all through the cable's RS-232 drivers, which invert: a pin
// low is the line's positive level, TXD low is the space level (the break that charges VPP).
// A GPIO header as the help pages draw it, in the line offsets of a Raspberry Pi's gpiochip0
// (BCM numbers): Data Out on GPIO 17 (header pin 11), Clock on GPIO 27 (pin 13), Data In on
// GPIO 22 (pin 15), VPP switched on by GPIO 23 high (pin 16) and the supply by GPIO 24 low
// (pin 18, a PNP high-side switch).
inline constexpr PinMap kGpioHeaderDefaultPins{.dataOut = {17, false},
                                               .clock = {27, false},
                                               .mclr = {23, false},
                                               .vcc = {24, true},
                                               .dataIn = {22, false}};

inline constexpr PinMap kJdmCablePins{
    .dataOut = {4, true}, .clock = {2, true}, .mclr = {0, true}, .dataIn = {3, true}};

inline constexpr std::array<ProgrammerRow, kProgrammerTypeCount> kProgrammerRows{{
    {.type = ProgrammerType::Jdm,
     .listText = text::kProgrammerJdm,
     .portKind = PortKind::Serial,
     .driven = true,
     .dataOutBit = kMcrDtr,
     .clockBit = kMcrRts,
     .idleDataClockVcc = false,
     .dataIn = DataInRule::ModemCts,
     .jdm = true},
    {.type = ProgrammerType::Conquest,
     .listText = text::kProgrammerConquest,
     .portKind = PortKind::Parallel,
     .driven = true,
     .dataOutBit = kD0,
     .clockBit = kD1,
     .vppMask = kD2,
     .vppOnLevels = kD2,
     .vppOnWaitUs = 100,
     .vppOffWaitUs = 100,
     .vccBits = kD3 | kD4,
     .idleMclrMask = kD2,
     .dataIn = DataInRule::StatusBusy},
    {.type = ProgrammerType::Tafe,
     .listText = text::kProgrammerTafe,
     .portKind = PortKind::Parallel,
     .driven = false},
    {.type = ProgrammerType::TaitSerial,
     .listText = text::kProgrammerTaitSerial,
     .portKind = PortKind::Parallel,
     .driven = true,
     .dataOutBit = kD0,
     .clockBit = kD1,
     .vppMask = kD3,
     .vppOnLevels = kD3,
     .vppOnWaitUs = 100,
     .vppOffWaitUs = 0,
     .vccBits = kD2,
     .vccFixedBits = kD4,
     .idleMclrMask = kD3,
     .dataIn = DataInRule::StatusAck},
    // VPP is active low on D4; its resting level is therefore 1.
    {.type = ProgrammerType::FunCard,
     .listText = text::kProgrammerFunCard,
     .portKind = PortKind::Parallel,
     .driven = true,
     .dataOutBit = kD5,
     .clockBit = kD6,
     .vppMask = kD4,
     .vppOnLevels = 0,
     .vppOnWaitUs = 100,
     .vppOffWaitUs = 100,
     .vccBits = kD0 | kD1 | kD2,
     .idleMclrMask = kD4,
     .idleMclrLevels = kD4,
     .cardClockBit = kD3,
     .dataIn = DataInRule::StatusAck},
    {.type = ProgrammerType::TaitParallel,
     .listText = text::kProgrammerTaitParallel,
     .portKind = PortKind::Parallel,
     .driven = false},
    {.type = ProgrammerType::ProPic2,
     .listText = text::kProgrammerProPic2,
     .portKind = PortKind::Parallel,
     .driven = true,
     .dataOutBit = kD0,
     .clockBit = kD1,
     .vppBySocket = true,
     .vppOnWaitUs = 0,
     .vppOffWaitUs = 100,
     .vccBits = kD2,
     .idleMclrMask = kD3 | kD4 | kD5,
     .dataIn = DataInRule::StatusAck},
    {.type = ProgrammerType::Schaer,
     .listText = text::kProgrammerSchaer,
     .portKind = PortKind::Parallel,
     .driven = true,
     .dataOutBit = kD0,
     .clockBit = kD1,
     .vppMask = kD2,
     .vppOnLevels = kD2,
     .vppOnWaitUs = 100,
     .vppOffWaitUs = 100,
     .vccBits = kD3 | kD4,
     .idleMclrMask = kD2,
     .dataIn = DataInRule::StatusBusy},
    {.type = ProgrammerType::Stk200,
     .listText = text::kProgrammerStk200,
     .portKind = PortKind::Parallel,
     .driven = true,
     .dataOutBit = kD5,
     .clockBit = kD4,
     .vppMask = kD7,
     .vppOnLevels = kD7,
     .vppOnWaitUs = 100,
     .vppOffWaitUs = 100,
     .vccBits = kD2 | kD3,
     .idleMclrMask = kD7,
     .dataIn = DataInRule::StatusAck},
    {.type = ProgrammerType::An589,
     .listText = text::kProgrammerAn589,
     .portKind = PortKind::Parallel,
     .driven = true,
     .dataOutBit = kD0,
     .clockBit = kD1,
     .vppMask = kD3 | kD4,
     .vppOnLevels = kD3,
     .vppOnWaitUs = 100,
     .vppOffWaitUs = 100,
     .idleDataClockVcc = false,
     .idleSetBits = kD2 | kD5,
     .strobeBit = kD2,
     .clockedClearBits = kD2 | kD5,
     .dataIn = DataInRule::StatusAck},
    {.type = ProgrammerType::JdmFtdi,
     .listText = text::kProgrammerJdmFtdi,
     .portKind = PortKind::Usb,
     .driven = true,
     .idleDataClockVcc = false,
     .jdm = true,
     .pins = kJdmCablePins},
    {.type = ProgrammerType::FtdiBitBang,
     .listText = text::kProgrammerFtdiBitBang,
     .portKind = PortKind::Usb,
     .driven = true,
     .vppOnWaitUs = 100,
     .vppOffWaitUs = 100,
     .pins = kBitBangDefaultPins,
     .pinsFromSettings = true},
    {.type = ProgrammerType::GpioHeader,
     .listText = text::kProgrammerGpioHeader,
     .portKind = PortKind::Gpio,
     .driven = true,
     .vppOnWaitUs = 100,
     .vppOffWaitUs = 100,
     .pins = kGpioHeaderDefaultPins,
     .pinsFromSettings = true},
}};

constexpr bool RowsInTypeOrder() {
  for (int i = 0; i < kProgrammerTypeCount; ++i) {
    if (static_cast<int>(kProgrammerRows[i].type) != i) return false;
  }
  return true;
}
static_assert(RowsInTypeOrder(), "programmer rows must be in type index order");

// The row of a type; an index outside the table (a damaged setting) gets the JDM row.
const ProgrammerRow& RowOf(ProgrammerType type);
bool IsValidProgrammerType(int index);

// The list text, as shown in the hardware settings and in "not supported" messages.
std::string_view ProgrammerListText(ProgrammerType type);
// "Com" for the JDM, "USB" for the FTDI types, "gpiochip" for the GPIO header, "LPT" for
// every other type.
std::string_view PortPrefix(ProgrammerType type);
std::string_view PortPrefix(PortKind kind);
PortKind PortKindOf(ProgrammerType type);
// Whether a row's lines are pins of its pin map rather than register bits.
constexpr bool PinDriven(const ProgrammerRow& row) {
  return row.pins.dataOut.Connected();
}

// ProPic 2: the data register bit that switches VPP to the socket of a device with this many
// pins (D3 for 8 to 20 pins, D4 for 28 and 40), or 0 when no socket fits.
std::uint8_t ProPic2VppBit(int pinCount);

// The USB vendor of FTDI chips.
inline constexpr int kFtdiVendorId = 0x0403;

// I/O base addresses by port digit 1..4.
inline constexpr std::array<std::uint16_t, 4> kSerialBases{0x3F8, 0x2F8, 0x3E8, 0x2E8};
inline constexpr std::array<std::uint16_t, 4> kParallelBases{0x378, 0x278, 0x3BC, 0x2BC};
std::uint16_t PortBaseFor(PortKind kind, int digit);

}  // namespace kestrum
