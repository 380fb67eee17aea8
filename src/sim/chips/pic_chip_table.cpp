// SPDX-License-Identifier: GPL-3.0-or-later
// The serial PICs as parts: memory sizes, pin counts, cell technology, configuration bits,
// code protection, factory words and programming times, from the parts' own data. Kept apart
// from the device catalogue, so a size or pin count that is wrong in one shows up against the
// other.
#include <array>

#include "sim/chips/pic_chip.hpp"

namespace kestrum {

namespace {

// 12-bit EPROM parts: configuration word at the reset vector FFFh, four ID words after program
// memory, the oscillator calibration value as a MOVLW in the last program word.
constexpr PicChipDescription Twelve(std::string_view name, int pins, int words, int cpBit) {
  return {.name = name,
          .pins = pins,
          .core = PicCore::Twelve,
          .cells = PicCells::Eprom,
          .programWords = words,
          .configBits = 0xFFF,
          .protection = PicProtection::AllByBit,
          .protectShift = cpBit,
          .calibration = 0xC64};
}

constexpr PicChipDescription Eprom14(std::string_view name, int pins, int words,
                                     std::uint16_t configBits = 0x3F7F,
                                     PicProtection protection = PicProtection::Quarters) {
  return {.name = name,
          .pins = pins,
          .cells = PicCells::Eprom,
          .programWords = words,
          .configBits = configBits,
          .protection = protection};
}

// 12C67x: the protection pairs sit at bits 6:5, and the calibration value is a RETLW.
constexpr PicChipDescription Eprom67x(std::string_view name, int words) {
  PicChipDescription d = Eprom14(name, 8, words, 0x3FFF);
  d.protectShift = 5;
  d.calibration = 0x3480;
  return d;
}

// 16C715: program memory with two parity bits per word, reached through 16-bit frames.
constexpr PicChipDescription Eprom715() {
  PicChipDescription d = Eprom14("PIC 16C715", 18, 2048, 0x3FFF);
  d.parity = true;
  return d;
}

// 16F8x and 16C84: one protection field for program and data memory; an erase/program cycle
// is over well inside 10 ms.
constexpr PicChipDescription F84(std::string_view name, int words, std::uint16_t configBits,
                                 std::uint16_t protectBits) {
  return {.name = name,
          .programWords = words,
          .dataBytes = 64,
          .configBits = configBits,
          .protectBits = protectBits,
          .dataFollowsCode = true,
          .programUs = 8000};
}

constexpr PicChipDescription F84A() {
  PicChipDescription d = F84("PIC 16F84A", 1024, 0x3FFF, 0x3FF0);
  d.programOnlyCommand = true;
  d.programOnlyUs = 4000;
  d.deviceId = 0x0560;
  return d;
}

// 16F62x: fast cycles (the 2 ms wait is enough), protection from fixed addresses, CPD.
constexpr PicChipDescription F62x(std::string_view name, int words, std::uint16_t id) {
  return {.name = name,
          .programWords = words,
          .dataBytes = 128,
          .configBits = 0x3DFF,
          .protection = PicProtection::FromAddress,
          .protectShift = 10,
          .protectBits = 0x3D00,
          .dataProtectBit8 = true,
          .deviceId = id,
          .programUs = 1500};
}

constexpr PicChipDescription F87x(std::string_view name, int pins, int words, int dataBytes,
                                  std::uint16_t id) {
  return {.name = name,
          .pins = pins,
          .programWords = words,
          .dataBytes = dataBytes,
          .configBits = 0x3BFF,
          .protection = PicProtection::UpperSteps,
          .protectBits = 0x3130,
          .dataProtectBit8 = true,
          .deviceId = id,
          .programUs = 8000};
}

constexpr std::array kChips{
    Twelve("PIC 12C508", 8, 512, 3),
    Twelve("PIC 12C508A", 8, 512, 3),
    Twelve("PIC 12C509", 8, 1024, 3),
    Twelve("PIC 12C509A", 8, 1024, 3),
    Twelve("PIC 12CE518", 8, 512, 3),
    Twelve("PIC 12CE519", 8, 1024, 3),
    Twelve("PIC 16C505", 14, 1024, 4),
    Eprom67x("PIC 12C671", 1024),
    Eprom67x("PIC 12C672", 2048),
    Eprom67x("PIC 12CE673", 1024),
    Eprom67x("PIC 12CE674", 2048),
    Eprom14("PIC 16C62A", 28, 2048),
    Eprom14("PIC 16C62B", 28, 2048),
    Eprom14("PIC 16C63", 28, 4096),
    Eprom14("PIC 16C63A", 28, 4096),
    Eprom14("PIC 16C64A", 40, 2048),
    Eprom14("PIC 16C65A", 40, 4096),
    Eprom14("PIC 16C65B", 40, 4096),
    Eprom14("PIC 16C66", 28, 8192),
    Eprom14("PIC 16C67", 40, 8192),
    Eprom14("PIC 16C72", 28, 2048),
    Eprom14("PIC 16C72A", 28, 2048),
    Eprom14("PIC 16C621", 18, 1024),
    Eprom14("PIC 16C622", 18, 2048),
    Eprom14("PIC 16C923", 40, 4096, 0x3F3F),
    Eprom14("PIC 16C924", 40, 4096, 0x3F3F),
    Eprom715(),
    Eprom14("PIC 16C71", 18, 1024, 0x001F, PicProtection::AllByBit),
    F84("PIC 16C84", 1024, 0x001F, 0x0010),
    F84("PIC 16F83", 512, 0x3FFF, 0x3FF0),
    F84("PIC 16F84", 1024, 0x3FFF, 0x3FF0),
    F84A(),
    F62x("PIC 16F627", 1024, 0x07A0),
    F62x("PIC 16F628", 2048, 0x07C0),
    F87x("PIC 16F870", 28, 2048, 64, 0x0D00),
    F87x("PIC 16F871", 40, 2048, 64, 0x0D20),
    F87x("PIC 16F872", 28, 2048, 64, 0x08E0),
    F87x("PIC 16F873", 28, 4096, 128, 0x0960),
    F87x("PIC 16F874", 40, 4096, 128, 0x0920),
    F87x("PIC 16F876", 28, 8192, 256, 0x09E0),
    F87x("PIC 16F877", 40, 8192, 256, 0x09A0),
};

}  // namespace

std::span<const PicChipDescription> PicChips() {
  return kChips;
}

const PicChipDescription* PicChipFor(std::string_view deviceName) {
  for (const PicChipDescription& d : kChips) {
    if (d.name == deviceName) return &d;
  }
  return nullptr;
}

}  // namespace kestrum
