// SPDX-License-Identifier: GPL-3.0-or-later
// Bit-level bus routines of the EEPROM and microcontroller protocols (I2C, Microwire and
// 4-wire, SPI, IM-Bus), built on the line layer's Data Out and Clock lines and Data In. Every
// edge goes through the line shadow; between edges they wait the bus delay (the IM-Bus a
// fixed 10 µs). Chip select, reset and IDENT are the MCLR line and are the caller's business.
#pragma once

#include <cstdint>

#include "hardware/line_context.hpp"

namespace kestrum {

// Data falls while the clock is high; also the repeated start.
void I2cStart(LineContext& lines);
// Data rises while the clock is high; the clock is then brought low again.
void I2cStop(LineContext& lines);
// Releases data and gives the ninth clock; polls Data In (100 µs before each look) at most
// `limit` times. True when the device pulled data low.
bool I2cWaitAck(LineContext& lines, int limit);
// An acknowledge nobody looks at: I2cWaitAck on a port that changes one thing at a time; on a
// port that streams, the ninth clock with one look (100 µs after it, deferred), so a page of
// bytes needs no round trip per byte. A part that acknowledges at once sees the same clock.
void I2cPassAck(LineContext& lines, int limit);
void I2cAck(LineContext& lines);
void I2cNack(LineContext& lines);

// Most significant bit first; the device samples on the rising clock.
void ShiftOutByte(LineContext& lines, std::uint8_t value);
std::uint8_t ShiftInByte(LineContext& lines);
// The same read with its samples deferred (LineContext::DeferDataIn): `into` holds the byte
// once the samples are resolved. A memory read shifts whole blocks in this way without
// waiting for each byte.
void ShiftInByte(LineContext& lines, std::uint16_t& into);
// The low `count` bits of value (1..8; 0 sends nothing, more than 8 sends 8).
void ShiftOutBits(LineContext& lines, std::uint8_t value, int count);
void ShiftOutWord(LineContext& lines, std::uint16_t value);
std::uint16_t ShiftInWord(LineContext& lines);
void ShiftInWord(LineContext& lines, std::uint16_t& into);

// IM-Bus: least significant bit first; the clock is left high.
void ImBusSend(LineContext& lines, std::uint16_t value, std::uint16_t count);
std::uint16_t ImBusReceive(LineContext& lines, std::uint16_t count);
void ImBusReceive(LineContext& lines, std::uint16_t count, std::uint16_t& into);

inline constexpr std::int64_t kAckPollUs = 100;
inline constexpr std::int64_t kImBusPhaseUs = 10;

}  // namespace kestrum
