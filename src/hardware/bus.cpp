// SPDX-License-Identifier: GPL-3.0-or-later
// Bus primitives on the line layer.
#include "hardware/bus.hpp"

namespace kestrum {

namespace {

void T(LineContext& l) {
  l.DelayMicroseconds(l.Lines().BusDelay);
}
void D(LineContext& l, int bit) {
  l.SetDataLine(bit ? 1 : 0);
}
void C(LineContext& l, int bit) {
  l.SetClockLine(bit ? 1 : 0);
}

}  // namespace

void I2cStart(LineContext& l) {
  T(l), D(l, 1), T(l), C(l, 1), T(l), D(l, 0), T(l), C(l, 0), T(l);
}

void I2cStop(LineContext& l) {
  T(l), D(l, 0), T(l), C(l, 1), T(l), D(l, 1), T(l), C(l, 0), T(l);
}

void I2cAck(LineContext& l) {
  T(l), D(l, 0), T(l), C(l, 1), T(l), C(l, 0), T(l);
}

void I2cNack(LineContext& l) {
  T(l), D(l, 1), T(l), C(l, 1), T(l), C(l, 0), T(l);
}

bool I2cWaitAck(LineContext& l, int limit) {
  T(l), D(l, 1), T(l), C(l, 1), T(l);
  bool acknowledged = false;
  for (int n = 1;; ++n) {
    l.DelayMicroseconds(kAckPollUs);
    if (n > limit) break;
    if (l.ReadDataIn() == 0) {
      acknowledged = true;
      break;
    }
  }
  C(l, 0), T(l);
  return acknowledged;
}

void I2cPassAck(LineContext& l, int limit) {
  if (!l.Streaming()) {
    I2cWaitAck(l, limit);
    return;
  }
  T(l), D(l, 1), T(l), C(l, 1), T(l);
  l.DelayMicroseconds(kAckPollUs);
  if (limit > 0) l.DeferDataIn(nullptr, 0);
  C(l, 0), T(l);
}

void ShiftOutByte(LineContext& l, std::uint8_t value) {
  T(l);
  for (int i = 7; i >= 0; --i) {
    D(l, (value >> i) & 1);
    T(l);
    C(l, 1);
    // The Fun-Card's smartcard runs on this clock while bytes are shifted.
    l.CardClockPulse();
    T(l);
    C(l, 0);
    l.CardClockPulse();
  }
  l.CardClockPulse();
}

void ShiftInByte(LineContext& l, std::uint16_t& into) {
  into = 0;
  for (int i = 0; i < 8; ++i) {
    D(l, 1);
    T(l);
    C(l, 1);
    T(l);
    l.DeferDataIn(&into, 7 - i);
    T(l);
    C(l, 0);
    T(l);
  }
}

std::uint8_t ShiftInByte(LineContext& l) {
  std::uint16_t result = 0;
  ShiftInByte(l, result);
  l.ResolveSamples();
  return static_cast<std::uint8_t>(result);
}

void ShiftOutBits(LineContext& l, std::uint8_t value, int count) {
  if (count <= 0) return;
  if (count > 8) count = 8;
  std::uint8_t bits = static_cast<std::uint8_t>(value << (8 - count));
  for (int i = 0; i < count; ++i) {
    D(l, bits & 0x80);
    T(l);
    C(l, 1);
    bits = static_cast<std::uint8_t>(bits << 1);
    T(l);
    C(l, 0);
    T(l);
  }
}

void ShiftOutWord(LineContext& l, std::uint16_t value) {
  for (int i = 15; i >= 0; --i) {
    D(l, (value >> i) & 1);
    C(l, 1);
    T(l);
    C(l, 0);
    T(l);
  }
}

void ShiftInWord(LineContext& l, std::uint16_t& into) {
  into = 0;
  for (int i = 0; i < 16; ++i) {
    D(l, 1);
    C(l, 1);
    l.DeferDataIn(&into, 15 - i);
    T(l);
    C(l, 0);
    T(l);
  }
}

std::uint16_t ShiftInWord(LineContext& l) {
  std::uint16_t result = 0;
  ShiftInWord(l, result);
  l.ResolveSamples();
  return result;
}

void ImBusSend(LineContext& l, std::uint16_t value, std::uint16_t count) {
  for (int i = 0; i < count; ++i) {
    C(l, 0);
    l.DelayMicroseconds(kImBusPhaseUs);
    D(l, i < 16 ? (value >> i) & 1 : 0);
    l.DelayMicroseconds(kImBusPhaseUs);
    C(l, 1);
    l.DelayMicroseconds(kImBusPhaseUs);
  }
}

void ImBusReceive(LineContext& l, std::uint16_t count, std::uint16_t& into) {
  into = 0;
  for (int i = 0; i < count; ++i) {
    D(l, 1);
    l.DelayMicroseconds(kImBusPhaseUs);
    C(l, 0);
    l.DelayMicroseconds(kImBusPhaseUs);
    C(l, 1);
    l.DelayMicroseconds(kImBusPhaseUs);
    l.DeferDataIn(i < 16 ? &into : nullptr, i);
    l.DelayMicroseconds(kImBusPhaseUs);
  }
}

std::uint16_t ImBusReceive(LineContext& l, std::uint16_t count) {
  std::uint16_t result = 0;
  ImBusReceive(l, count, result);
  l.ResolveSamples();
  return result;
}

}  // namespace kestrum
