// SPDX-License-Identifier: GPL-3.0-or-later
// The device catalogue: profiles shared by several parts, then one row per device in menu
// order. Rows hold values only; DescriptorFor() copies them into a descriptor.
#include "device/catalogue.hpp"

#include <algorithm>
#include <initializer_list>

#include "device/texts.hpp"
#include "device/user_devices.hpp"

namespace kestrum {
namespace {

using DF = DeviceFamily;

// 14-bit PIC core: configuration area at 0x2000 (ID words 0..3, configuration word 7).
constexpr DeviceProfile Pic14(DeviceProfile p) {
  p.Family = DF::Pic;
  p.BlankValue = 0x3FFF;
  // 2000h..2007h, and the configuration words after the first (the 16F87/88's at 2008h).
  p.ConfigAreaWords = 7 + std::max(p.ConfigWords, 1);
  p.ConfigWordIndex = 7;
  p.ConfigAddress = 0x2007;
  p.CodeEntryCommand = 0;
  if (p.ConfigEntryCommand == 0) p.ConfigEntryCommand = 0x1600;
  return p;
}

// 12-bit PIC core: the configuration word is the first location after entering programming
// mode, shown in files at 0xFFF; the four ID words follow program memory.
constexpr DeviceProfile Pic12(DeviceProfile p) {
  p.Family = DF::Pic;
  p.BlankValue = 0xFFF;
  p.ConfigAreaWords = 1;
  p.ConfigWordIndex = 0;
  p.ConfigAddress = 0xFFF;
  p.CodeEntryCommand = 0x0606;
  p.ConfigEntryCommand = 0;
  p.Is12Bit = true;
  return p;
}

constexpr NameList<8> kOscLxhr = {"LP", "XT", "HS", "RC"};
constexpr NameList<4> kCpC6x = {"CP ALL", "CP UPPER 3/4", "CP UPPER 1/2", "CP OFF"};
constexpr std::array<bool, 7> kActiveLow(std::initializer_list<int> bits) {
  std::array<bool, 7> flags{};
  std::size_t i = 0;
  for (int b : bits) flags[i++] = b != 0;
  return flags;
}

// ---- PIC profiles ----
constexpr DeviceProfile kPF84 = Pic14({.Variant = 0,
                                       .ConfigMask = 0x3FFF,
                                       .Oscillator = kOscLxhr,
                                       .Fuses = {"WDT", "PWRT", "CP"},
                                       .FuseActiveLow = kActiveLow({0, 1, 1}),
                                       .Erasable = true});
constexpr DeviceProfile kPC84 = Pic14({.Variant = 0,
                                       .ConfigMask = 0x1F,
                                       .Oscillator = kOscLxhr,
                                       .Fuses = {"WDT", "PWRT", "CP"},
                                       .FuseActiveLow = kActiveLow({0, 0, 1}),
                                       .Erasable = true,
                                       .ConfigFillBits = 0x3FE0});
constexpr DeviceProfile kPC5xx = Pic12({.Variant = 0,
                                        .ConfigMask = 0x1F,
                                        .Oscillator = {"LP", "XT", "IntRC", "ExtRC"},
                                        .Fuses = {"WDT", "CP", "MCLR"},
                                        .FuseActiveLow = kActiveLow({0, 1, 0}),
                                        .IsEprom = true,
                                        .HasOscCal = true,
                                        .OverProgramFactor = 11,
                                        .MaxProgramPulses = 8});
constexpr DeviceProfile kPC67x = Pic14(
    {.Variant = 1,
     .ConfigMask = 0x3FFF,
     .Oscillator = {"LP", "XT", "HS", "IntRC GP4", "IntRC CLKOUT", "ExtRC GP4", "ExtRC CLKOUT"},
     .CodeProtect = {"CP 0000h-07FFh", "CP 0200h-07FFh", "CP 0400h-07FFh", "CP OFF"},
     .Fuses = {"WDT", "PWRT", "MCLR"},
     .FuseActiveLow = kActiveLow({0, 1, 0}),
     .IsEprom = true,
     .HasOscCal = true,
     .OverProgramFactor = 3,
     .MaxProgramPulses = 25});
constexpr DeviceProfile kPC6x = Pic14({.Variant = 2,
                                       .ConfigMask = 0x3F7F,
                                       .Oscillator = kOscLxhr,
                                       .CodeProtect = kCpC6x,
                                       .Fuses = {"WDT", "PWRT", "BODEN"},
                                       .FuseActiveLow = kActiveLow({0, 1, 0}),
                                       .IsEprom = true,
                                       .OverProgramFactor = 3,
                                       .MaxProgramPulses = 25});
constexpr DeviceProfile kPC92x = Pic14({.Variant = 2,
                                        .ConfigMask = 0x3F3F,
                                        .Oscillator = kOscLxhr,
                                        .CodeProtect = kCpC6x,
                                        .Fuses = {"WDT", "PWRT"},
                                        .FuseActiveLow = kActiveLow({0, 1}),
                                        .IsEprom = true,
                                        .OverProgramFactor = 3,
                                        .MaxProgramPulses = 25});
constexpr DeviceProfile kPC621 = Pic14({.Variant = 10,
                                        .ConfigMask = 0x3F7F,
                                        .Oscillator = kOscLxhr,
                                        .CodeProtect = {"CP ALL", "CP UPPER 1/2", "CP OFF"},
                                        .Fuses = {"WDT", "PWRT", "BODEN"},
                                        .FuseActiveLow = kActiveLow({0, 1, 0}),
                                        .IsEprom = true,
                                        .OverProgramFactor = 3,
                                        .MaxProgramPulses = 25});
constexpr DeviceProfile kPC715 = Pic14({.Variant = 8,
                                        .ConfigMask = 0x3FFF,
                                        .Oscillator = kOscLxhr,
                                        .CodeProtect = kCpC6x,
                                        .Fuses = {"WDT", "PWRT", "BODEN", "MPEEN"},
                                        .FuseActiveLow = kActiveLow({0, 1, 0, 0}),
                                        .ConfigEntryCommand = 0x1800,
                                        .IsEprom = true,
                                        .HasParity = true,
                                        .OverProgramFactor = 3,
                                        .MaxProgramPulses = 25});
constexpr DeviceProfile kPC71 = Pic14({.Variant = 5,
                                       .ConfigMask = 0x1F,
                                       .Oscillator = kOscLxhr,
                                       .Fuses = {"WDT", "PWRT", "CP"},
                                       .FuseActiveLow = kActiveLow({0, 0, 1}),
                                       .IsEprom = true,
                                       .ConfigFillBits = 0x3FE0,
                                       .OverProgramFactor = 3,
                                       .MaxProgramPulses = 25});
constexpr DeviceProfile kPC54 = Pic12({.Variant = 4,
                                       .ConfigMask = 0xF,
                                       .Oscillator = kOscLxhr,
                                       .Fuses = {"WDT", "CP"},
                                       .FuseActiveLow = kActiveLow({0, 1}),
                                       .IsEprom = true,
                                       .ParallelOnly = true,
                                       .ConfigFillBits = 0xFF0,
                                       .OverProgramFactor = 11,
                                       .MaxProgramPulses = 8});
constexpr DeviceProfile kPC505 = Pic12(
    {.Variant = 9,
     .ConfigMask = 0xFFF,
     .Oscillator = {"LP", "XT", "HS", "IntRC RB4", "IntRC CLKOUT", "ExtRC RB4", "ExtRC CLKOUT"},
     .Fuses = {"WDT", "CP", "MCLR"},
     .FuseActiveLow = kActiveLow({0, 1, 0}),
     .IsEprom = true,
     .HasOscCal = true,
     .OverProgramFactor = 11,
     .MaxProgramPulses = 8});
constexpr DeviceProfile kPF87x =
    Pic14({.Variant = 3,
           .ConfigMask = 0x3BFF,
           .Oscillator = kOscLxhr,
           .Fuses = {"WDT", "PWRT", "BODEN", "LVP", "CPD", "WRT", "DEBUGGER"},
           .FuseActiveLow = kActiveLow({0, 1, 0, 0, 1, 0, 1}),
           .Erasable = true,
           .OverProgramFactor = 11,
           .MaxProgramPulses = 8});
constexpr DeviceProfile kPF62x = Pic14(
    {.Variant = 7,
     .ConfigMask = 0x3DFF,
     .Oscillator = {"LP", "XT", "HS", "ExtClk", "IntRC I/O", "IntRC CLKOUT", "ER I/O", "ER CLKOUT"},
     .Fuses = {"WDT", "PWRT", "MCLR", "BODEN", "LVP", "CPD"},
     .FuseActiveLow = kActiveLow({0, 1, 0, 0, 0, 1}),
     .Erasable = true,
     .OverProgramFactor = 3,
     .MaxProgramPulses = 25});

// ---- the PICs added after the first catalogue ----
// Configuration layouts of the mid-range flash parts (bit maps from DS41196G, DS39607B,
// DS41191D and DS39589B): FOSC at bits 4,1:0 or 2:0 or 1:0, one code-protect bit, the fuses.
constexpr NameList<8> kOscF62xA = {"LP",        "XT",           "HS",     "ExtClk",
                                   "IntRC I/O", "IntRC CLKOUT", "ER I/O", "ER CLKOUT"};
constexpr NameList<8> kOscF6xx = {"LP",        "XT",           "HS",        "ExtClk",
                                  "IntRC GP4", "IntRC CLKOUT", "ExtRC GP4", "ExtRC CLKOUT"};
constexpr NameList<4> kCpOnOff = {"CP ALL", "CP OFF"};
constexpr std::array<std::uint16_t, 8> kFoscBit4 = {0x00, 0x01, 0x02, 0x03, 0x10, 0x11, 0x12, 0x13};
constexpr std::array<std::uint16_t, 8> kFosc3 = {0, 1, 2, 3, 4, 5, 6, 7};

constexpr ConfigField Osc(std::uint16_t mask, std::array<std::uint16_t, 8> items) {
  ConfigField f{.Target = ConfigTarget::Oscillator, .Mask = mask};
  std::copy(items.begin(), items.end(), f.Items.begin());
  return f;
}
constexpr ConfigField Cp(std::uint16_t bit) {
  return {.Target = ConfigTarget::CodeProtect, .Mask = bit, .Items = {0, bit}};
}
constexpr ConfigField Fuse(int box, std::uint16_t bit) {
  return {.Target = ConfigTarget::Fuse, .Mask = bit, .Box = box};
}
constexpr ConfigField MoreBox(std::string_view caption, int word, std::uint16_t bit) {
  return {.Target = ConfigTarget::MoreBox, .Word = word, .Mask = bit, .Caption = caption};
}

constexpr ConfigField kF62xAFields[] = {Osc(0x13, kFoscBit4), Cp(0x2000),    Fuse(0, 0x04),
                                        Fuse(1, 0x08),        Fuse(2, 0x20), Fuse(3, 0x40),
                                        Fuse(4, 0x80),        Fuse(5, 0x100)};
constexpr ConfigLayout kF62xALayout{kF62xAFields};
// CONFIG2 at 2008h: IESO (bit 1), FCMEN (bit 0).
constexpr ConfigField kF8x8Fields[] = {
    Osc(0x13, kFoscBit4),    Cp(0x2000),    Fuse(0, 0x04),  Fuse(1, 0x08),  Fuse(2, 0x20),
    Fuse(3, 0x40),           Fuse(4, 0x80), Fuse(5, 0x100), Fuse(6, 0x800), MoreBox("IESO", 1, 0x2),
    MoreBox("FCMEN", 1, 0x1)};
constexpr ConfigLayout kF8x8Layout{kF8x8Fields};
// Bits 13:12 are the factory bandgap calibration: shown, and kept unless the user overwrites.
constexpr ConfigField kF6xxFields[] = {Osc(0x07, kFosc3),
                                       Cp(0x80),
                                       Fuse(0, 0x08),
                                       Fuse(1, 0x10),
                                       Fuse(2, 0x20),
                                       Fuse(3, 0x40),
                                       Fuse(4, 0x100),
                                       {.Target = ConfigTarget::MoreList,
                                        .Mask = 0x3000,
                                        .Items = {0x0000, 0x1000, 0x2000, 0x3000},
                                        .Caption = "Bandgap:",
                                        .Names = {"BG 00", "BG 01", "BG 10", "BG 11"}}};
constexpr ConfigLayout kF6xxLayout{kF6xxFields};
constexpr ConfigField kF87xAFields[] = {Osc(0x03, kFosc3), Cp(0x2000),    Fuse(0, 0x04),
                                        Fuse(1, 0x08),     Fuse(2, 0x40), Fuse(3, 0x80),
                                        Fuse(4, 0x100),    Fuse(5, 0x800)};
constexpr ConfigLayout kF87xALayout{kF87xAFields};

// The waits are the minimum times of the programming datasheets at VDD 4.5-5.5 V: DS41196G
// TPROG, TDPROG, TERA; DS39607B tprog1, tprog4 (data EEPROM: the 8 ms of the other parts, the
// datasheet gives none); DS41191D TPROG1, TERA; DS39589B tprog1, tprog2, tprog3.
constexpr DeviceProfile kPF62xA =
    Pic14({.Variant = 0,
           .ConfigMask = 0x21FF,
           .Oscillator = kOscF62xA,
           .CodeProtect = kCpOnOff,
           .Fuses = {"WDT", "PWRT", "MCLR", "BODEN", "LVP", "CPD"},
           .FuseActiveLow = kActiveLow({0, 1, 0, 0, 0, 1}),
           .Erasable = true,
           .Layout = &kF62xALayout,
           .Algorithm = PicAlgorithm::F62xA,
           .DeviceIdMask = 0x3FE0,
           .Waits = {.ProgramUs = 4000, .DataUs = 6000, .EraseUs = 6000}});
constexpr DeviceProfile kPF8x8 =
    Pic14({.Variant = 0,
           .ConfigMask = 0x3FFF,
           .Oscillator = kOscF62xA,
           .CodeProtect = kCpOnOff,
           .Fuses = {"WDT", "PWRT", "MCLR", "BODEN", "LVP", "CPD", "DEBUGGER"},
           .FuseActiveLow = kActiveLow({0, 1, 0, 0, 0, 1, 1}),
           .Erasable = true,
           .ConfigWords = 2,
           .MoreConfigMasks = {0x0003},
           .Layout = &kF8x8Layout,
           .Algorithm = PicAlgorithm::F8x8,
           .DeviceIdMask = 0x3FF0,
           .Waits = {.ProgramUs = 1000, .DataUs = 8000, .EraseUs = 8000}});
// The checksum leaves the bandgap bits out: the configuration mask is 01FFh.
constexpr DeviceProfile kPF6xx =
    Pic14({.Variant = 0,
           .ConfigMask = 0x01FF,
           .Oscillator = kOscF6xx,
           .CodeProtect = kCpOnOff,
           .Fuses = {"WDT", "PWRT", "MCLR", "BODEN", "CPD"},
           .FuseActiveLow = kActiveLow({0, 1, 0, 0, 1}),
           .Erasable = true,
           .HasOscCal = true,
           .Layout = &kF6xxLayout,
           .Algorithm = PicAlgorithm::F6xx,
           .DeviceIdMask = 0x3FE0,
           .Waits = {.ProgramUs = 2500, .DataUs = 6000, .EraseUs = 8000}});
constexpr DeviceProfile kPF87xA =
    Pic14({.Variant = 0,
           .ConfigMask = 0x2FCF,
           .Oscillator = kOscLxhr,
           .CodeProtect = kCpOnOff,
           .Fuses = {"WDT", "PWRT", "BODEN", "LVP", "CPD", "DEBUGGER"},
           .FuseActiveLow = kActiveLow({0, 1, 0, 0, 1, 1}),
           .Erasable = true,
           .Layout = &kF87xALayout,
           .Algorithm = PicAlgorithm::F87xA,
           .DeviceIdMask = 0x3FF0,
           .Waits = {.ProgramUs = 1000, .DataUs = 8000, .EraseUs = 8000}});

constexpr NameList<4> kCpF870 = {"CP 0000h-07FFh", "CP OFF"};
constexpr NameList<4> kCpF873 = {"CP 0000h-0FFFh", "CP 0800h-0FFFh", "CP 0F00h-0FFFh", "CP OFF"};
constexpr NameList<4> kCpF876 = {"CP 0000h-1FFFh", "CP 1000h-1FFFh", "CP 1F00h-1FFFh", "CP OFF"};
constexpr NameList<4> kCpF627 = {"CP 0000h-03FFh", "CP 0200h-03FFh", "CP OFF", "CP OFF"};
constexpr NameList<4> kCpF628 = {"CP 0000h-07FFh", "CP 0200h-07FFh", "CP 0400h-07FFh", "CP OFF"};

// ---- other families ----
constexpr DeviceProfile kI2cSmall = {
    .Family = DF::I2cEeprom, .Variant = 0, .BlankValue = 0xFF, .ConfigMask = 0xFFFF};
constexpr DeviceProfile kI2cLarge = {
    .Family = DF::I2cEeprom, .Variant = 1, .BlankValue = 0xFF, .ConfigMask = 0xFFFF};
constexpr DeviceProfile kMicrowire = {
    .Family = DF::MicrowireEeprom, .Variant = 0, .BlankValue = 0xFFFF, .ConfigMask = 0xFFFF};
// Variants 1 and 2: the address field has one or two bits more than the size needs, which the
// part ignores (93C56 and 93C76, 93C06).
constexpr DeviceProfile kMicrowireSpareBit = {
    .Family = DF::MicrowireEeprom, .Variant = 1, .BlankValue = 0xFFFF, .ConfigMask = 0xFFFF};
constexpr DeviceProfile kMicrowire06 = {
    .Family = DF::MicrowireEeprom, .Variant = 2, .BlankValue = 0xFFFF, .ConfigMask = 0xFFFF};
constexpr DeviceProfile kFourWire = {
    .Family = DF::FourWireEeprom, .Variant = 0, .BlankValue = 0xFFFF, .ConfigMask = 0xFFFF};
constexpr DeviceProfile kSpiEeprom = {
    .Family = DF::SpiEeprom, .Variant = 6, .BlankValue = 0xFF, .ConfigMask = 0xFFFF};
constexpr DeviceProfile kImBus = {
    .Family = DF::ImBusEeprom, .Variant = 0, .BlankValue = 0xFF, .ConfigMask = 0xFFFF};
constexpr DeviceProfile kAvr1200 = {.Family = DF::AvrMicro,
                                    .Variant = 1,
                                    .BlankValue = 0xFF,
                                    .ConfigMask = 0,
                                    .Fuses = {"Lock Bit 1", "Lock Bit 2"},
                                    .Erasable = true};
constexpr DeviceProfile kAvr = {.Family = DF::AvrMicro,
                                .Variant = 32,
                                .BlankValue = 0xFF,
                                .ConfigMask = 0,
                                .Fuses = {"Lock Bit 1", "Lock Bit 2"},
                                .Erasable = true};
constexpr DeviceProfile kFlashMicro = {.Family = DF::FlashMicro,
                                       .Variant = 0,
                                       .BlankValue = 0xFF,
                                       .ConfigMask = 0,
                                       .Fuses = {"Lock Bit 1", "Lock Bit 2"}};
constexpr DeviceProfile kSpiMicro89S = {.Family = DF::SpiMicro89S,
                                        .Variant = 1,
                                        .BlankValue = 0xFF,
                                        .ConfigMask = 0,
                                        .Fuses = {"Lock Bit 1", "Lock Bit 2", "Lock Bit 3"},
                                        .Erasable = true};

// ---- AVRs programmed by pages over SPI ----
// The fuse and lock bytes are configuration words: 0 the low fuse byte, 1 the high, 2 the
// extended, 3 the lock byte. A programmed fuse bit reads 0, and its box is ticked; the lock-bit
// boxes keep the polarity of the older parts (ticked: the bit is left unprogrammed).
constexpr int kLowFuse = 0;
constexpr int kHighFuse = 1;
constexpr int kExtFuse = 2;
constexpr int kLockByte = 3;

constexpr std::array<std::string_view, kMaxConfigItems> kCodes2 = {"00", "01", "10", "11"};
constexpr std::array<std::string_view, kMaxConfigItems> kCodes3 = {"000", "001", "010", "011",
                                                                   "100", "101", "110", "111"};
constexpr std::array<std::string_view, kMaxConfigItems> kCodes4 = {
    "0000", "0001", "0010", "0011", "0100", "0101", "0110", "0111",
    "1000", "1001", "1010", "1011", "1100", "1101", "1110", "1111"};

// One fuse bit: a box captioned as the datasheet names the bit.
constexpr ConfigField Bit(std::string_view name, int word, int bit) {
  return {.Target = ConfigTarget::MoreBox,
          .Word = word,
          .Mask = static_cast<std::uint16_t>(1u << bit),
          .Caption = name,
          .ActiveLow = true};
}
// A field of `width` bits from bit `low`: a list of its codes, most significant bit first.
constexpr ConfigField Code(std::string_view name, int word, int low, int width) {
  ConfigField f{.Target = ConfigTarget::MoreList,
                .Word = word,
                .Mask = static_cast<std::uint16_t>(((1u << width) - 1) << low),
                .Caption = name};
  f.Names = width == 2 ? kCodes2 : width == 3 ? kCodes3 : kCodes4;
  for (int v = 0; v < (1 << width); ++v) f.Items[v] = static_cast<std::uint16_t>(v << low);
  return f;
}
constexpr ConfigField LockBit(int box, int bit) {
  return {.Target = ConfigTarget::Fuse,
          .Word = kLockByte,
          .Mask = static_cast<std::uint16_t>(1u << bit),
          .Box = box};
}
constexpr ConfigRisk Risk(int word, std::uint16_t mask, std::initializer_list<int> values,
                          std::string_view warning) {
  ConfigRisk r{.Word = word, .Mask = mask, .Text = warning};
  for (int v : values)
    r.Values[static_cast<std::size_t>(r.Count++)] = static_cast<std::uint16_t>(v);
  return r;
}
// A fuse bit whose programmed state (0) takes the part away.
constexpr ConfigRisk WhenProgrammed(int word, int bit, std::string_view warning) {
  return Risk(word, static_cast<std::uint16_t>(1u << bit), {0}, warning);
}

// ATtiny13A (8126F; fuse tables of the ATtiny13, 2535J): SPIEN sits in the low byte; CKSEL1..0
// 00 is the external clock, the other codes the internal oscillators.
constexpr ConfigField kT13AFields[] = {Bit("SPIEN", kLowFuse, 7),
                                       Bit("EESAVE", kLowFuse, 6),
                                       Bit("WDTON", kLowFuse, 5),
                                       Bit("CKDIV8", kLowFuse, 4),
                                       Code("SUT1..0", kLowFuse, 2, 2),
                                       Code("CKSEL1..0", kLowFuse, 0, 2),
                                       Bit("SELFPRGEN", kHighFuse, 4),
                                       Bit("DWEN", kHighFuse, 3),
                                       Code("BODLEVEL1..0", kHighFuse, 1, 2),
                                       Bit("RSTDISBL", kHighFuse, 0),
                                       LockBit(0, 0),
                                       LockBit(1, 1)};
constexpr ConfigRisk kT13ARisks[] = {WhenProgrammed(kHighFuse, 0, text::kRiskRstdisbl),
                                     WhenProgrammed(kHighFuse, 3, text::kRiskDwen),
                                     Risk(kLowFuse, 0x80, {0x80}, text::kRiskSpien),
                                     Risk(kLowFuse, 0x03, {0x00}, text::kRiskExternalClock2)};
constexpr ConfigLayout kT13ALayout{kT13AFields, kT13ARisks};

// ATtiny25/45/85 (2586Q): CKSEL3..0 0000 external clock, 0110 and 1000..1111 crystals and
// resonators, 0101 and 0111 reserved; 0001 (PLL), 0010, 0011 and 0100 run on the chip's own
// oscillators.
constexpr ConfigField kT85Fields[] = {Bit("CKDIV8", kLowFuse, 7),
                                      Bit("CKOUT", kLowFuse, 6),
                                      Code("SUT1..0", kLowFuse, 4, 2),
                                      Code("CKSEL3..0", kLowFuse, 0, 4),
                                      Bit("RSTDISBL", kHighFuse, 7),
                                      Bit("DWEN", kHighFuse, 6),
                                      Bit("SPIEN", kHighFuse, 5),
                                      Bit("WDTON", kHighFuse, 4),
                                      Bit("EESAVE", kHighFuse, 3),
                                      Code("BODLEVEL2..0", kHighFuse, 0, 3),
                                      Bit("SELFPRGEN", kExtFuse, 0),
                                      LockBit(0, 0),
                                      LockBit(1, 1)};
constexpr ConfigRisk kT85Risks[] = {
    WhenProgrammed(kHighFuse, 7, text::kRiskRstdisbl),
    WhenProgrammed(kHighFuse, 6, text::kRiskDwen),
    Risk(kHighFuse, 0x20, {0x20}, text::kRiskSpien),
    Risk(kLowFuse, 0x0F, {0x0}, text::kRiskExternalClock4),
    Risk(kLowFuse, 0x0F, {0x6, 0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF}, text::kRiskCrystal),
    Risk(kLowFuse, 0x0F, {0x5, 0x7}, text::kRiskReservedClock)};
constexpr ConfigLayout kT85Layout{kT85Fields, kT85Risks};

// ATtiny2313A (8246B; the ATtiny2313's 2543L where the A's tables were not at hand): RSTDISBL
// is bit 0 of the high byte and DWEN bit 7; CKSEL3..0 0010, 0100 and 0110 are the internal
// oscillators, 0000 the external clock, 1000..1111 crystals and resonators, the rest reserved.
constexpr ConfigField kT2313AFields[] = {Bit("CKDIV8", kLowFuse, 7),
                                         Bit("CKOUT", kLowFuse, 6),
                                         Code("SUT1..0", kLowFuse, 4, 2),
                                         Code("CKSEL3..0", kLowFuse, 0, 4),
                                         Bit("DWEN", kHighFuse, 7),
                                         Bit("EESAVE", kHighFuse, 6),
                                         Bit("SPIEN", kHighFuse, 5),
                                         Bit("WDTON", kHighFuse, 4),
                                         Code("BODLEVEL2..0", kHighFuse, 1, 3),
                                         Bit("RSTDISBL", kHighFuse, 0),
                                         Bit("SELFPRGEN", kExtFuse, 0),
                                         LockBit(0, 0),
                                         LockBit(1, 1)};
constexpr ConfigRisk kT2313ARisks[] = {
    WhenProgrammed(kHighFuse, 0, text::kRiskRstdisbl),
    WhenProgrammed(kHighFuse, 7, text::kRiskDwen),
    Risk(kHighFuse, 0x20, {0x20}, text::kRiskSpien),
    Risk(kLowFuse, 0x0F, {0x0}, text::kRiskExternalClock4),
    Risk(kLowFuse, 0x0F, {0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF}, text::kRiskCrystal),
    Risk(kLowFuse, 0x0F, {0x1, 0x3, 0x5, 0x7}, text::kRiskReservedClock)};
constexpr ConfigLayout kT2313ALayout{kT2313AFields, kT2313ARisks};

// ATmega8A (40001974A): no debugWIRE; CKSEL3..0 0001..0100 the calibrated RC oscillator, 0000
// the external clock, 0101..1000 an external RC network, 1001..1111 crystals and resonators.
constexpr ConfigField kM8AFields[] = {Bit("BODLEVEL", kLowFuse, 7),
                                      Bit("BODEN", kLowFuse, 6),
                                      Code("SUT1..0", kLowFuse, 4, 2),
                                      Code("CKSEL3..0", kLowFuse, 0, 4),
                                      Bit("RSTDISBL", kHighFuse, 7),
                                      Bit("WDTON", kHighFuse, 6),
                                      Bit("SPIEN", kHighFuse, 5),
                                      Bit("CKOPT", kHighFuse, 4),
                                      Bit("EESAVE", kHighFuse, 3),
                                      Code("BOOTSZ1..0", kHighFuse, 1, 2),
                                      Bit("BOOTRST", kHighFuse, 0),
                                      LockBit(0, 0),
                                      LockBit(1, 1)};
constexpr ConfigRisk kM8ARisks[] = {
    WhenProgrammed(kHighFuse, 7, text::kRiskRstdisbl),
    Risk(kHighFuse, 0x20, {0x20}, text::kRiskSpien),
    Risk(kLowFuse, 0x0F, {0x0}, text::kRiskExternalClock4),
    Risk(kLowFuse, 0x0F, {0x5, 0x6, 0x7, 0x8}, text::kRiskExternalRc),
    Risk(kLowFuse, 0x0F, {0x9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF}, text::kRiskCrystal)};
constexpr ConfigLayout kM8ALayout{kM8AFields, kM8ARisks};

// ATmega48PA..328P (DS40002061A): CKSEL3..0 0010 and 0011 the internal oscillators, 0000 the
// external clock, 0100..1111 crystals and resonators, 0001 reserved.
constexpr ConfigRisk kM328Risks[] = {
    WhenProgrammed(kHighFuse, 7, text::kRiskRstdisbl),
    WhenProgrammed(kHighFuse, 6, text::kRiskDwen),
    Risk(kHighFuse, 0x20, {0x20}, text::kRiskSpien),
    Risk(kLowFuse, 0x0F, {0x0}, text::kRiskExternalClock4),
    Risk(kLowFuse, 0x0F, {0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xF},
         text::kRiskCrystal),
    Risk(kLowFuse, 0x0F, {0x1}, text::kRiskReservedClock)};
// The low byte and the first five bits of the high byte, alike on the four parts; the rest
// of the high byte and the extended byte differ.
template <std::size_t N>
constexpr std::array<ConfigField, 11 + N> M48Fields(std::array<ConfigField, N> rest) {
  std::array<ConfigField, 11 + N> f = {Bit("CKDIV8", kLowFuse, 7),
                                       Bit("CKOUT", kLowFuse, 6),
                                       Code("SUT1..0", kLowFuse, 4, 2),
                                       Code("CKSEL3..0", kLowFuse, 0, 4),
                                       Bit("RSTDISBL", kHighFuse, 7),
                                       Bit("DWEN", kHighFuse, 6),
                                       Bit("SPIEN", kHighFuse, 5),
                                       Bit("WDTON", kHighFuse, 4),
                                       Bit("EESAVE", kHighFuse, 3),
                                       LockBit(0, 0),
                                       LockBit(1, 1)};
  // The lock bits stay last.
  f[9 + N] = f[9];
  f[10 + N] = f[10];
  for (std::size_t i = 0; i < N; ++i) f[9 + i] = rest[i];
  return f;
}
constexpr auto kM48PAFields =
    M48Fields<2>({Code("BODLEVEL2..0", kHighFuse, 0, 3), Bit("SELFPRGEN", kExtFuse, 0)});
constexpr auto kM88PAFields =
    M48Fields<3>({Code("BODLEVEL2..0", kHighFuse, 0, 3), Code("BOOTSZ1..0", kExtFuse, 1, 2),
                  Bit("BOOTRST", kExtFuse, 0)});
constexpr auto kM328PFields =
    M48Fields<3>({Code("BOOTSZ1..0", kHighFuse, 1, 2), Bit("BOOTRST", kHighFuse, 0),
                  Code("BODLEVEL2..0", kExtFuse, 0, 3)});
constexpr ConfigLayout kM48PALayout{kM48PAFields, kM328Risks};
constexpr ConfigLayout kM88PALayout{kM88PAFields, kM328Risks};
constexpr ConfigLayout kM328PLayout{kM328PFields, kM328Risks};

// Serial programming of the parts with a page buffer: programming enable as the older parts
// (up to 32 attempts), the signature as the identity, four configuration words.
struct AvrFuses {
  const ConfigLayout* Layout;
  std::array<std::uint16_t, kMaxConfigWords> Masks;     // low, high, extended, lock
  std::array<std::uint16_t, kMaxConfigWords> Defaults;  // as the parts leave the factory
};
constexpr DeviceProfile AvrPaged(AvrFuses fuses, DeviceWaits waits, int dataPage, bool poll) {
  DeviceProfile p{.Family = DF::AvrMicro,
                  .Variant = 32,
                  .BlankValue = 0xFF,
                  .ConfigMask = fuses.Masks[0],
                  .Fuses = {"Lock Bit 1", "Lock Bit 2"},
                  .ConfigAreaWords = kMaxConfigWords,
                  .Erasable = true,
                  .ConfigWords = kMaxConfigWords,
                  .MoreConfigMasks = {fuses.Masks[1], fuses.Masks[2], fuses.Masks[3]},
                  .Layout = fuses.Layout,
                  .DeviceIdMask = 0xFFFFFF,
                  .Waits = waits,
                  .HasConfigDefaults = true,
                  .ConfigDefaults = fuses.Defaults,
                  .DataPageSize = dataPage,
                  .ReadyPoll = poll};
  return p;
}

// The waits when the part is not polled, in µs: tWD_FLASH, tWD_EEPROM, tWD_ERASE, tWD_FUSE of
// the datasheets, or the longer value where another source gives one (the parts' avrdude.conf
// entries, see the facts file).
// clang-format off
constexpr DeviceProfile kAvrT13A = AvrPaged({&kT13ALayout, {0xFF, 0x1F, 0x00, 0x03}, {0x6A, 0xFF, 0xFF, 0xFF}},
                                            {.ProgramUs = 4500, .DataUs = 4000, .EraseUs = 9000, .FuseUs = 4500}, 4, true);
constexpr DeviceProfile kAvrT85 = AvrPaged({&kT85Layout, {0xFF, 0xFF, 0x01, 0x03}, {0x62, 0xDF, 0xFF, 0xFF}},
                                           {.ProgramUs = 4500, .DataUs = 4500, .EraseUs = 9000, .FuseUs = 9000}, 4, true);
// The low byte as the datasheet ships the part: the 8 MHz oscillator (CKSEL 0100) divided by 8.
constexpr DeviceProfile kAvrT2313A = AvrPaged({&kT2313ALayout, {0xFF, 0xFF, 0x01, 0x03}, {0x64, 0xDF, 0xFF, 0xFF}},
                                              {.ProgramUs = 4500, .DataUs = 4500, .EraseUs = 9000, .FuseUs = 9000}, 4, true);
// No RDY/BSY poll and no EEPROM page access on the ATmega8A: fixed waits, bytes.
constexpr DeviceProfile kAvrM8A = AvrPaged({&kM8ALayout, {0xFF, 0xFF, 0x00, 0x3F}, {0xE1, 0xD9, 0xFF, 0xFF}},
                                           {.ProgramUs = 4500, .DataUs = 9000, .EraseUs = 9000, .FuseUs = 4500}, 0, false);
constexpr DeviceProfile kAvrM48PA = AvrPaged({&kM48PALayout, {0xFF, 0xFF, 0x01, 0x03}, {0x62, 0xDF, 0xFF, 0xFF}},
                                             {.ProgramUs = 4500, .DataUs = 3600, .EraseUs = 45000, .FuseUs = 4500}, 4, true);
constexpr DeviceProfile kAvrM88PA = AvrPaged({&kM88PALayout, {0xFF, 0xFF, 0x07, 0x3F}, {0x62, 0xDF, 0xF9, 0xFF}},
                                             {.ProgramUs = 4500, .DataUs = 3600, .EraseUs = 9000, .FuseUs = 4500}, 4, true);
constexpr DeviceProfile kAvrM328P = AvrPaged({&kM328PLayout, {0xFF, 0xFF, 0x07, 0x3F}, {0x62, 0xD9, 0xFF, 0xFF}},
                                             {.ProgramUs = 4500, .DataUs = 3600, .EraseUs = 9000, .FuseUs = 4500}, 4, true);
// clang-format on

// ---- SPI EEPROMs with 16-bit addresses ----
// The status register is the configuration word: BP1:BP0 (bits 3:2) in the block-protect
// list, WPEN (bit 7) in a box; the write-in-progress and write-enable bits are not kept.
constexpr ConfigField kSpi16Fields[] = {
    Osc(0x0C, {0x00, 0x04, 0x08, 0x0C, 0, 0, 0, 0}),
    {.Target = ConfigTarget::MoreBox, .Mask = 0x80, .Caption = "WPEN"}};
constexpr ConfigLayout kSpi16Layout{kSpi16Fields};
constexpr DeviceProfile kSpiEeprom16 = {.Family = DF::SpiEeprom,
                                        .Variant = 6,
                                        .BlankValue = 0xFF,
                                        .ConfigMask = 0x8C,
                                        .ConfigAreaWords = 1,
                                        .Layout = &kSpi16Layout,
                                        .HasConfigDefaults = true,
                                        .ConfigDefaults = {0x00},
                                        .AddressBytes = 2};
// The 25xx512 also erases by instruction (page, sector, chip) and reads its signature.
constexpr DeviceProfile kSpiEeprom512 = [] {
  DeviceProfile p = kSpiEeprom16;
  p.Erasable = true;
  p.HasEraseInstructions = true;
  return p;
}();
constexpr NameList<8> kBp25080 = {"BP None", "BP 0300h-03FFh", "BP 0200h-03FFh", "BP 0000h-03FFh"};
constexpr NameList<8> kBp25160 = {"BP None", "BP 0600h-07FFh", "BP 0400h-07FFh", "BP 0000h-07FFh"};
constexpr NameList<8> kBp25320 = {"BP None", "BP 0C00h-0FFFh", "BP 0800h-0FFFh", "BP 0000h-0FFFh"};
constexpr NameList<8> kBp25640 = {"BP None", "BP 1800h-1FFFh", "BP 1000h-1FFFh", "BP 0000h-1FFFh"};
constexpr NameList<8> kBp25128 = {"BP None", "BP 3000h-3FFFh", "BP 2000h-3FFFh", "BP 0000h-3FFFh"};
constexpr NameList<8> kBp25256 = {"BP None", "BP 6000h-7FFFh", "BP 4000h-7FFFh", "BP 0000h-7FFFh"};
constexpr NameList<8> kBp25512 = {"BP None", "BP C000h-FFFFh", "BP 8000h-FFFFh", "BP 0000h-FFFFh"};

// The 24xx1025 (DS21941): two address bytes and the block-select bit B0 (address bit 16) in
// the control byte.
constexpr DeviceProfile kI2cBlockSelect = {.Family = DF::I2cEeprom,
                                           .Variant = 2,
                                           .BlankValue = 0xFF,
                                           .ConfigMask = 0xFFFF,
                                           .AddressBytes = 2};

constexpr NameList<8> kBp25010 = {"BP None", "BP 60h-7Fh", "BP 40h-7Fh", "BP 00h-7Fh"};
constexpr NameList<8> kBp25020 = {"BP None", "BP C0h-FFh", "BP 80h-FFh", "BP 00h-FFh"};
constexpr NameList<8> kBp25040 = {"BP None", "BP 180h-1FFh", "BP 100h-1FFh", "BP 000h-1FFh"};

// Menu groups of "&Settings" -> "&Device", in menu order, with their menu command numbers.
enum Group : int {
  kFourWireGroup,
  kI2cGroup,
  kFlashGroup,
  kImBusGroup,
  kPicGroup,
  kMicrowireGroup,
  kSpiGroup,
  kSpiMicroGroup
};
constexpr std::array<MenuGroup, 8> kMenuGroups = {{
    {"4-Wire Eeprom", 36},
    {"I²C Eeprom", 40},
    {"Flash µC", 52},
    {"IM-Bus Eeprom", 56},
    {"Microchip PIC", 59},
    {"Microwire Eeprom", 103},
    {"SPI Eeprom", 111},
    {"SPI µC", 115},
}};
constexpr std::uint16_t kMoreMenuCommand = 60;

// Menu entries with no device behind them; they are never enabled.
struct DisabledEntry {
  std::string_view Caption;
  std::uint16_t MenuCommand;
  int Group;
};
constexpr std::array<DisabledEntry, 2> kDisabledEntries = {{
    {"SDA2526", 51, kI2cGroup},
    {"MDA 2062", 57, kImBusGroup},
}};

constexpr CatalogueEntry Added(std::string_view name, std::uint16_t number,
                               const DeviceProfile* profile, int code, int data, int pins,
                               std::uint32_t id) {
  return {.Name = name,
          .MenuCommand = number,
          .Group = kPicGroup,
          .Profile = profile,
          .CodeSize = code,
          .DataSize = data,
          .PinCount = pins,
          .DeviceId = id};
}

constexpr CatalogueEntry AddedTo(int group, std::string_view name, std::uint16_t number,
                                 const DeviceProfile* profile, int code, int data, int pins,
                                 int page, std::uint32_t id) {
  CatalogueEntry e = Added(name, number, profile, code, data, pins, id);
  e.Group = group;
  e.PageSize = page;
  return e;
}
constexpr CatalogueEntry AddedSpi(std::string_view name, std::uint16_t number, int bytes, int page,
                                  const NameList<8>* blocks,
                                  const DeviceProfile* profile = &kSpiEeprom16) {
  CatalogueEntry e = AddedTo(kSpiGroup, name, number, profile, bytes, 0, 8, page, 0);
  e.Oscillator = blocks;
  return e;
}

// Device rows: name, number, group, in "More", profile, code size, data size, pins, page size.
// clang-format off
constexpr auto kCatalogue = std::to_array<CatalogueEntry>({
    {"59C11", 37, kFourWireGroup, false, &kFourWire, 64, 0, 8},
    {"59C22", 38, kFourWireGroup, false, &kFourWire, 128, 0, 8},
    {"59C13", 39, kFourWireGroup, false, &kFourWire, 256, 0, 8},

    {"24C01A", 41, kI2cGroup, false, &kI2cSmall, 128, 0, 8, 8},
    {"24C02", 42, kI2cGroup, false, &kI2cSmall, 256, 0, 8, 8},
    {"24C04", 43, kI2cGroup, false, &kI2cSmall, 512, 0, 8, 16},
    {"24C08", 44, kI2cGroup, false, &kI2cSmall, 1024, 0, 8, 16},
    {"24C16", 45, kI2cGroup, false, &kI2cSmall, 2048, 0, 8, 16},
    {"24C32", 46, kI2cGroup, false, &kI2cLarge, 4096, 0, 8, 32},
    {"24C64", 47, kI2cGroup, false, &kI2cLarge, 8192, 0, 8, 32},
    {"24C128", 48, kI2cGroup, false, &kI2cLarge, 16384, 0, 8, 64},
    {"24C256", 49, kI2cGroup, false, &kI2cLarge, 32768, 0, 8, 64},
    {"24C512", 50, kI2cGroup, false, &kI2cLarge, 65536, 0, 8, 128},

    {"89C1051 (U)", 53, kFlashGroup, false, &kFlashMicro, 1024, 0, 20},
    {"89C2051", 54, kFlashGroup, false, &kFlashMicro, 2048, 0, 20},
    {"89C4051", 55, kFlashGroup, false, &kFlashMicro, 4096, 0, 20},

    {"NVM 3060", 58, kImBusGroup, false, &kImBus, 512, 0, 8},

    {"PIC 16F83", 61, kPicGroup, true, &kPF84, 512, 64, 18},
    {"PIC 16F84", 62, kPicGroup, true, &kPF84, 1024, 64, 18},
    {"PIC 16F84A", 63, kPicGroup, true, &kPF84, 1024, 64, 18, 0, nullptr, nullptr,
     kBeginProgramCommand16F84A},
    {"PIC 16C505", 64, kPicGroup, true, &kPC505, 1028, 0, 14},
    {"PIC 16C621", 65, kPicGroup, true, &kPC621, 1024, 0, 18},
    {"PIC 16C622", 66, kPicGroup, true, &kPC6x, 2048, 0, 18},
    {"PIC 16F627", 67, kPicGroup, true, &kPF62x, 1024, 128, 18, 0, nullptr, &kCpF627},
    {"PIC 16F628", 68, kPicGroup, true, &kPF62x, 2048, 128, 18, 0, nullptr, &kCpF628},
    {"PIC 16C715", 69, kPicGroup, true, &kPC715, 2048, 0, 18},
    {"PIC 16F870", 70, kPicGroup, true, &kPF87x, 2048, 64, 28, 0, nullptr, &kCpF870},
    {"PIC 16F871", 71, kPicGroup, true, &kPF87x, 2048, 64, 40, 0, nullptr, &kCpF870},
    {"PIC 16F872", 72, kPicGroup, true, &kPF87x, 2048, 64, 28, 0, nullptr, &kCpF870},
    {"PIC 16F873", 73, kPicGroup, true, &kPF87x, 4096, 128, 28, 0, nullptr, &kCpF873},
    {"PIC 16F874", 74, kPicGroup, true, &kPF87x, 4096, 128, 40, 0, nullptr, &kCpF873},
    {"PIC 16F876", 75, kPicGroup, true, &kPF87x, 8192, 256, 28, 0, nullptr, &kCpF876},
    {"PIC 16F877", 76, kPicGroup, true, &kPF87x, 8192, 256, 40, 0, nullptr, &kCpF876},
    {"PIC 16C923", 77, kPicGroup, true, &kPC92x, 4096, 0, 40},
    {"PIC 16C924", 78, kPicGroup, true, &kPC92x, 4096, 0, 40},

    {"PIC 12C508", 79, kPicGroup, false, &kPC5xx, 516, 0, 8},
    {"PIC 12C508A", 80, kPicGroup, false, &kPC5xx, 516, 0, 8},
    {"PIC 12C509", 81, kPicGroup, false, &kPC5xx, 1028, 0, 8},
    {"PIC 12C509A", 82, kPicGroup, false, &kPC5xx, 1028, 0, 8},
    {"PIC 12CE518", 83, kPicGroup, false, &kPC5xx, 516, 0, 8},
    {"PIC 12CE519", 84, kPicGroup, false, &kPC5xx, 1028, 0, 8},
    {"PIC 12C671", 85, kPicGroup, false, &kPC67x, 1024, 0, 8},
    {"PIC 12C672", 86, kPicGroup, false, &kPC67x, 2048, 0, 8},
    {"PIC 12CE673", 87, kPicGroup, false, &kPC67x, 1024, 0, 8},
    {"PIC 12CE674", 88, kPicGroup, false, &kPC67x, 2048, 0, 8},
    {"PIC 16C54", 89, kPicGroup, false, &kPC54, 516, 0, 18},
    {"PIC 16C62A", 90, kPicGroup, false, &kPC6x, 2048, 0, 28},
    {"PIC 16C62B", 91, kPicGroup, false, &kPC6x, 2048, 0, 28},
    {"PIC 16C63", 92, kPicGroup, false, &kPC6x, 4096, 0, 28},
    {"PIC 16C63A", 93, kPicGroup, false, &kPC6x, 4096, 0, 28},
    {"PIC 16C64A", 94, kPicGroup, false, &kPC6x, 2048, 0, 40},
    {"PIC 16C65A", 95, kPicGroup, false, &kPC6x, 4096, 0, 40},
    {"PIC 16C65B", 96, kPicGroup, false, &kPC6x, 4096, 0, 40},
    {"PIC 16C66", 97, kPicGroup, false, &kPC6x, 8192, 0, 28},
    {"PIC 16C67", 98, kPicGroup, false, &kPC6x, 8192, 0, 40},
    {"PIC 16C71", 99, kPicGroup, false, &kPC71, 1024, 0, 18},
    {"PIC 16C72", 100, kPicGroup, false, &kPC6x, 2048, 0, 28},
    {"PIC 16C72A", 101, kPicGroup, false, &kPC6x, 2048, 0, 28},
    {"PIC 16C84", 102, kPicGroup, false, &kPC84, 1024, 64, 18},

    {"93C06", 104, kMicrowireGroup, false, &kMicrowire06, 16, 0, 8},
    {"93C46", 105, kMicrowireGroup, false, &kMicrowire, 64, 0, 8},
    {"93C57", 106, kMicrowireGroup, false, &kMicrowire, 128, 0, 8},
    {"93C56", 107, kMicrowireGroup, false, &kMicrowireSpareBit, 128, 0, 8},  // 2 Kbit
    {"93C66", 108, kMicrowireGroup, false, &kMicrowire, 256, 0, 8},
    {"93C76", 109, kMicrowireGroup, false, &kMicrowireSpareBit, 512, 0, 8},
    {"93C86", 110, kMicrowireGroup, false, &kMicrowire, 1024, 0, 8},

    {"25010", 112, kSpiGroup, false, &kSpiEeprom, 128, 0, 8, 16, &kBp25010},
    {"25020", 113, kSpiGroup, false, &kSpiEeprom, 256, 0, 8, 16, &kBp25020},
    {"25040", 114, kSpiGroup, false, &kSpiEeprom, 512, 0, 8, 16, &kBp25040},

    {"90S1200", 116, kSpiMicroGroup, false, &kAvr1200, 1024, 64, 20},
    {"90S2313", 117, kSpiMicroGroup, false, &kAvr, 2048, 128, 20},
    {"90S2323", 118, kSpiMicroGroup, false, &kAvr, 2048, 128, 8},
    {"90S2333", 119, kSpiMicroGroup, false, &kAvr, 2048, 128, 28},
    {"90S2343", 120, kSpiMicroGroup, false, &kAvr, 2048, 128, 8},
    {"90S4414", 121, kSpiMicroGroup, false, &kAvr, 4096, 256, 40},
    {"90S4433", 122, kSpiMicroGroup, false, &kAvr, 4096, 256, 28},
    {"90S4434", 123, kSpiMicroGroup, false, &kAvr, 4096, 256, 40},
    {"90S8515", 124, kSpiMicroGroup, false, &kAvr, 8192, 512, 40},
    {"90S8535", 125, kSpiMicroGroup, false, &kAvr, 8192, 512, 40},
    {"89S53", 126, kSpiMicroGroup, false, &kSpiMicro89S, 12288, 0, 40},

    // Added after the first catalogue: numbers from 127 on, in the PIC group. Sizes and device
    // IDs from the programming specifications.
    Added("PIC 16F627A", 127, &kPF62xA, 1024, 128, 18, 0x1040),
    Added("PIC 16F628A", 128, &kPF62xA, 2048, 128, 18, 0x1060),
    Added("PIC 16F648A", 129, &kPF62xA, 4096, 256, 18, 0x1100),
    Added("PIC 16F87", 130, &kPF8x8, 4096, 256, 18, 0x0720),
    Added("PIC 16F88", 131, &kPF8x8, 4096, 256, 18, 0x0760),
    Added("PIC 12F629", 132, &kPF6xx, 1024, 128, 8, 0x0F80),
    Added("PIC 12F675", 133, &kPF6xx, 1024, 128, 8, 0x0FC0),
    Added("PIC 16F873A", 134, &kPF87xA, 4096, 128, 28, 0x0E40),
    Added("PIC 16F874A", 135, &kPF87xA, 4096, 128, 40, 0x0E60),
    Added("PIC 16F876A", 136, &kPF87xA, 8192, 256, 28, 0x0E00),
    Added("PIC 16F877A", 137, &kPF87xA, 8192, 256, 40, 0x0E20),

    // AVRs (signatures, page sizes and memories from the datasheets and avrdude.conf, see
    // the facts file); code size in bytes, the flash page in bytes.
    AddedTo(kSpiMicroGroup, "ATtiny13A", 138, &kAvrT13A, 1024, 64, 8, 32, 0x1E9007),
    AddedTo(kSpiMicroGroup, "ATtiny25", 139, &kAvrT85, 2048, 128, 8, 32, 0x1E9108),
    AddedTo(kSpiMicroGroup, "ATtiny45", 140, &kAvrT85, 4096, 256, 8, 64, 0x1E9206),
    AddedTo(kSpiMicroGroup, "ATtiny85", 141, &kAvrT85, 8192, 512, 8, 64, 0x1E930B),
    AddedTo(kSpiMicroGroup, "ATtiny2313A", 142, &kAvrT2313A, 2048, 128, 20, 32, 0x1E910A),
    AddedTo(kSpiMicroGroup, "ATmega8A", 143, &kAvrM8A, 8192, 512, 28, 64, 0x1E9307),
    AddedTo(kSpiMicroGroup, "ATmega48PA", 144, &kAvrM48PA, 4096, 256, 28, 64, 0x1E920A),
    AddedTo(kSpiMicroGroup, "ATmega88PA", 145, &kAvrM88PA, 8192, 512, 28, 64, 0x1E930F),
    AddedTo(kSpiMicroGroup, "ATmega168PA", 146, &kAvrM88PA, 16384, 512, 28, 128, 0x1E940B),
    AddedTo(kSpiMicroGroup, "ATmega328P", 147, &kAvrM328P, 32768, 1024, 28, 128, 0x1E950F),

    // SPI EEPROMs with 16-bit addresses; the A and B parts differ only in their page.
    AddedSpi("25LC080A", 148, 1024, 16, &kBp25080),
    AddedSpi("25LC080B", 149, 1024, 32, &kBp25080),
    AddedSpi("25LC160A", 150, 2048, 16, &kBp25160),
    AddedSpi("25LC160B", 151, 2048, 32, &kBp25160),
    AddedSpi("25LC320A", 152, 4096, 32, &kBp25320),
    AddedSpi("25LC640A", 153, 8192, 32, &kBp25640),
    AddedSpi("25LC128", 154, 16384, 64, &kBp25128),
    AddedSpi("25LC256", 155, 32768, 64, &kBp25256),
    AddedSpi("25LC512", 156, 65536, 128, &kBp25512, &kSpiEeprom512),

    AddedTo(kI2cGroup, "24LC1025", 157, &kI2cBlockSelect, 131072, 0, 8, 128, 0),
});
// clang-format on

// Checks that hold for every row, at compile time.
constexpr bool RowsAreConsistent() {
  for (std::size_t i = 0; i < kCatalogue.size(); ++i) {
    const CatalogueEntry& e = kCatalogue[i];
    if (e.Profile == nullptr || e.Name.empty() || e.CodeSize <= 0) return false;
    if (e.CodeSize > kMaxDeviceElements || e.DataSize > 65536) return false;
    // Pages divide the memory.
    if (e.PageSize > 0 && e.CodeSize % e.PageSize != 0) return false;
    // Rows are in device number order.
    if (i > 0 && kCatalogue[i - 1].MenuCommand >= e.MenuCommand) return false;
    // A device number of the first catalogue lies between its group's number and the next
    // group's. Numbers are stored in settings and command lines, so parts added later take
    // numbers after the last of them, whatever their group; the menu sorts by number within
    // the group, so they follow the group's older entries.
    const std::uint16_t next = e.Group + 1 < static_cast<int>(kMenuGroups.size())
                                   ? kMenuGroups[e.Group + 1].MenuCommand
                                   : 0xFFFF;
    if (e.MenuCommand < kFirstAddedDeviceNumber &&
        (e.MenuCommand <= kMenuGroups[e.Group].MenuCommand || e.MenuCommand >= next)) {
      return false;
    }
    if (e.InMore && e.Group != kPicGroup) return false;
    for (std::size_t j = i + 1; j < kCatalogue.size(); ++j) {
      if (kCatalogue[j].Name == e.Name) return false;
    }
  }
  return true;
}
static_assert(RowsAreConsistent(), "catalogue rows out of order or inconsistent");

template <std::size_t N>
void CopyNames(std::array<std::string, N>& to, const NameList<N>& from) {
  for (std::size_t i = 0; i < N; ++i) to[i] = std::string(from[i]);
}

}  // namespace

std::span<const CatalogueEntry> Catalogue() {
  return kCatalogue;
}
std::span<const MenuGroup> MenuGroups() {
  return kMenuGroups;
}

std::vector<DeviceMenuItem> DeviceMenu() {
  std::vector<DeviceMenuItem> items;
  for (int g = 0; g < static_cast<int>(kMenuGroups.size()); ++g) {
    items.push_back({MenuItemKind::Group, kMenuGroups[g].Caption, kMenuGroups[g].MenuCommand, g,
                     false, nullptr});
    if (g == kPicGroup) {
      items.push_back({MenuItemKind::SubMenu, "More", kMoreMenuCommand, g, false, nullptr});
    }
    std::vector<DeviceMenuItem> entries;
    for (auto list : {Catalogue(), UserCatalogue()}) {
      for (const CatalogueEntry& e : list) {
        if (e.Group == g) {
          entries.push_back({MenuItemKind::Device, e.Caption(), e.MenuCommand, g, e.InMore, &e});
        }
      }
    }
    for (const DisabledEntry& d : kDisabledEntries) {
      if (d.Group == g) {
        entries.push_back(
            {MenuItemKind::DisabledDevice, d.Caption, d.MenuCommand, g, false, nullptr});
      }
    }
    // Numbers were assigned in menu order, so they give the order of the entries.
    std::sort(entries.begin(), entries.end(), [](const DeviceMenuItem& a, const DeviceMenuItem& b) {
      return a.MenuCommand < b.MenuCommand;
    });
    items.insert(items.end(), entries.begin(), entries.end());
  }
  return items;
}

const CatalogueEntry* FindDeviceByName(std::string_view name) {
  for (auto list : {Catalogue(), UserCatalogue()}) {
    for (const CatalogueEntry& e : list) {
      if (e.Name == name) return &e;
    }
  }
  return nullptr;
}

const CatalogueEntry* FindDeviceByNumber(int menuCommand) {
  for (auto list : {Catalogue(), UserCatalogue()}) {
    for (const CatalogueEntry& e : list) {
      if (e.MenuCommand == menuCommand) return &e;
    }
  }
  return nullptr;
}

std::string_view DisabledEntryCaption(int menuCommand) {
  for (const DisabledEntry& d : kDisabledEntries) {
    if (d.MenuCommand == menuCommand) return d.Caption;
  }
  return {};
}

std::uint16_t FirstDeviceNumber() {
  return kCatalogue.front().MenuCommand;
}

const CatalogueEntry* FindDeviceById(DeviceFamily family, std::uint32_t id) {
  for (auto list : {Catalogue(), UserCatalogue()}) {
    for (const CatalogueEntry& e : list) {
      const std::uint32_t mask = e.Profile->DeviceIdMask;
      if (e.Profile->Family == family && mask != 0 && (id & mask) == e.DeviceId) return &e;
    }
  }
  return nullptr;
}

std::optional<std::uint32_t> IdRevision(const CatalogueEntry& entry, std::uint32_t id) {
  const std::uint32_t mask = entry.Profile->DeviceIdMask;
  if (mask == 0 || (mask & 1) != 0) return std::nullopt;
  const std::uint32_t below = (mask & (~mask + 1)) - 1;  // the bits under the lowest mask bit
  return id & below;
}

DeviceDescriptor DescriptorFor(const CatalogueEntry& entry) {
  const DeviceProfile& p = *entry.Profile;
  DeviceDescriptor d;
  d.Name = std::string(entry.Name);
  d.MenuCommand = entry.MenuCommand;
  d.CodeSize = entry.CodeSize;
  d.DataSize = entry.DataSize;
  d.PinCount = entry.PinCount;
  d.PageSize = entry.PageSize;
  d.Variant = p.Variant;
  d.BlankValue = p.BlankValue;
  d.ConfigMask = p.ConfigMask;
  CopyNames(d.OscillatorNames, entry.Oscillator != nullptr ? *entry.Oscillator : p.Oscillator);
  CopyNames(d.CodeProtectNames, entry.CodeProtect != nullptr ? *entry.CodeProtect : p.CodeProtect);
  CopyNames(d.FuseNames, p.Fuses);
  d.FuseActiveLow = p.FuseActiveLow;
  d.ConfigAreaWords = p.ConfigAreaWords;
  d.ConfigWordIndex = p.ConfigWordIndex;
  d.ConfigAddress = p.ConfigAddress;
  d.CodeEntryCommand = p.CodeEntryCommand;
  d.ConfigEntryCommand = p.ConfigEntryCommand;
  d.Is12Bit = p.Is12Bit;
  d.IsEprom = p.IsEprom;
  d.Erasable = p.Erasable;
  d.HasOscCal = p.HasOscCal;
  d.ParallelOnly = p.ParallelOnly;
  d.HasParity = p.HasParity;
  d.ConfigFillBits = p.ConfigFillBits;
  d.OverProgramFactor = p.OverProgramFactor;
  d.MaxProgramPulses = p.MaxProgramPulses;
  d.MoreConfigMasks = p.MoreConfigMasks;
  d.Layout = p.Layout;
  d.Algorithm = p.Algorithm;
  d.DeviceId = entry.DeviceId;
  d.DeviceIdMask = p.DeviceIdMask;
  d.Waits = p.Waits;
  d.UserDefined = entry.UserDefined;
  d.DataPageSize = p.DataPageSize;
  d.ReadyPoll = p.ReadyPoll;
  d.AddressBytes = p.AddressBytes;
  d.HasEraseInstructions = p.HasEraseInstructions;
  SetFamilyFlag(d, p.Family);
  if (p.ConfigAreaWords > 0) {
    d.ConfigWords = std::max(p.ConfigWords, 1);
    d.ConfigDefaults.fill(d.BlankValue);
    if (p.HasConfigDefaults) d.ConfigDefaults = p.ConfigDefaults;
  }

  if (p.Family == DeviceFamily::Pic) {
    if (p.Is12Bit) {
      // The ID words follow program memory, inside the code buffer.
      d.IdAddress = entry.CodeSize - 4;
      d.IdIndex = entry.CodeSize - 4;
    } else {
      d.IdAddress = 0x2000;
      d.IdIndex = 0;
      if (entry.DataSize > 0) d.DataAddress = 0x2100;
    }
  } else if (p.Family == DeviceFamily::AvrMicro) {
    // AVR data EEPROM bytes follow program memory in files.
    d.DataAddress = entry.CodeSize;
  }
  return d;
}

}  // namespace kestrum
