// SPDX-License-Identifier: GPL-3.0-or-later
// The shift register of an SPI slave in mode 0, as the SPI EEPROMs, AVRs and the 89S53 carry
// it: the input pin is sampled on the rising clock edge, most significant bit first, and the
// output changes on the falling edge, so the first bit of a byte to send is on the pin after
// the falling edge that ends the byte before it.
#pragma once

#include <cstdint>

namespace kestrum {

class SpiShifter {
 public:
  // A new frame: no bit counted yet. A part that has lost byte sync counts `bitsAhead` bits
  // that were never clocked, so every byte it takes is framed wrongly.
  void Start(int bitsAhead = 0) {
    bits_ = bitsAhead % 8;
    in_ = 0;
    next_ = 0xFF;
    out_ = 0xFF;
    level_ = true;
  }
  // Rising clock: true when a byte is complete (Received()).
  bool Rise(bool mosi) {
    in_ = static_cast<std::uint8_t>((in_ << 1) | (mosi ? 1 : 0));
    if (++bits_ < 8) return false;
    bits_ = 0;
    received_ = in_;
    return true;
  }
  std::uint8_t Received() const { return received_; }
  // The byte shifted out while the next one is clocked in.
  void Send(std::uint8_t value) { next_ = value; }
  // Falling clock: the next output bit goes onto the pin.
  void Fall() {
    if (bits_ == 0) out_ = next_;
    level_ = ((out_ >> (7 - bits_)) & 1) != 0;
  }
  bool Level() const { return level_; }

 private:
  int bits_ = 0;
  std::uint8_t in_ = 0;
  std::uint8_t received_ = 0;
  std::uint8_t next_ = 0xFF;
  std::uint8_t out_ = 0xFF;
  bool level_ = true;
};

}  // namespace kestrum
