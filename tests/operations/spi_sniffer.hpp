// SPDX-License-Identifier: GPL-3.0-or-later
// A chip socket tap for the SPI families: it passes every pin change on to the chip model
// and decodes what went over the wire in SPI mode 0, MOSI as the chip sees it and MISO as the
// programmer reads it, in frames that a change of the MCLR line (the chip select or reset)
// ends.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/chips/chip.hpp"

namespace kestrum::testing {

class SpiSniffer final : public Chip {
 public:
  struct Frame {
    std::vector<std::uint8_t> mosi;
    std::vector<std::uint8_t> miso;
  };

  explicit SpiSniffer(Chip& chip) : chip_(chip) {}

  int PinCount() const override { return chip_.PinCount(); }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override {
    if (pins.mclr != pins_.mclr || pins.vcc != pins_.vcc) Close();
    if (pins.clock && !pins_.clock && pins.vcc) {
      // The programmer samples MISO while the clock is high; the chip drives it from the
      // falling edge before.
      const bool miso = DataLineLevel(chip_.DataOut(timeUs), pins.data);
      mosiByte_ = static_cast<std::uint8_t>((mosiByte_ << 1) | (pins.data ? 1 : 0));
      misoByte_ = static_cast<std::uint8_t>((misoByte_ << 1) | (miso ? 1 : 0));
      if (++bits_ == 8) {
        current_.mosi.push_back(mosiByte_);
        current_.miso.push_back(misoByte_);
        bits_ = 0;
      }
    }
    pins_ = pins;
    chip_.OnPins(pins, timeUs);
  }
  DataDrive DataOut(std::int64_t timeUs) override { return chip_.DataOut(timeUs); }

  // Every frame with at least one whole byte, the running one included.
  std::vector<Frame> Frames() {
    Close();
    return frames_;
  }
  // The MOSI bytes of every frame, in order.
  std::vector<std::uint8_t> Mosi() {
    std::vector<std::uint8_t> all;
    for (const Frame& f : Frames()) all.insert(all.end(), f.mosi.begin(), f.mosi.end());
    return all;
  }
  void Clear() {
    frames_.clear();
    current_ = {};
    bits_ = 0;
  }

 private:
  void Close() {
    if (!current_.mosi.empty()) frames_.push_back(current_);
    current_ = {};
    bits_ = 0;
  }

  Chip& chip_;
  ChipPins pins_;
  Frame current_;
  std::vector<Frame> frames_;
  int bits_ = 0;
  std::uint8_t mosiByte_ = 0;
  std::uint8_t misoByte_ = 0;
};

}  // namespace kestrum::testing
