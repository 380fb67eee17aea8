// SPDX-License-Identifier: GPL-3.0-or-later
// The chip models behind the TAFE, the TAIT Parallel and the IM-Bus, driven pin by pin: what
// holds them to their parts (timing, pulses, protection) beyond what the operations show.
#include <gtest/gtest.h>

#include "sim/chips/flash_micro_chip.hpp"
#include "sim/chips/nvm3060_chip.hpp"
#include "sim/chips/parallel_pic_chip.hpp"

namespace kestrum {
namespace {

// A part's pins stepped in time.
template <class Chip>
struct PinDriver {
  Chip& chip;
  ParallelPins pins;
  std::int64_t now = 0;
  void Set(void (*change)(ParallelPins&), std::int64_t afterUs = 1) {
    now += afterUs;
    change(pins);
    chip.OnParallelPins(pins, now);
  }
};

TEST(FlashMicroChip, PulsesActOnlyWithStableVppLongEnoughAndWithinTheLockBits) {
  FlashMicroChip chip(1024);
  PinDriver<FlashMicroChip> d{chip};
  d.Set([](ParallelPins& p) { p.vcc = true; });
  for (int i = 0; i < 1025; ++i) {  // the counter wraps at the part's size
    d.Set([](ParallelPins& p) { p.counterClock = true; });
    d.Set([](ParallelPins& p) { p.counterClock = false; });
  }
  EXPECT_EQ(chip.AddressCounter(), 1);
  auto pulse = [&](std::uint8_t mode, std::uint8_t data, std::int64_t lengthUs) {
    d.pins.mode = mode;
    d.pins.bus = data;
    d.pins.busDriven = 0xFF;
    d.Set([](ParallelPins& p) { p.program = false; });
    d.Set([](ParallelPins& p) { p.program = true; }, lengthUs);
  };
  // PROG falling together with VPP rising is no pulse.
  d.pins.mode = flash_mode::kWriteCode;
  d.Set([](ParallelPins& p) { p.vpp = true, p.program = false; });
  d.Set([](ParallelPins& p) { p.program = true; }, 100);
  EXPECT_TRUE(chip.ReadyOut(d.now));
  auto written = [&] {
    d.now += kFlashByteWriteUs;
    return chip.ReadyOut(d.now);
  };
  pulse(flash_mode::kWriteCode, 0x3C, 100);
  EXPECT_FALSE(chip.ReadyOut(d.now + kFlashByteWriteUs - 1));
  EXPECT_TRUE(written());
  pulse(flash_mode::kWriteCode, 0xF0, 100);  // flash bits only go to 0
  EXPECT_TRUE(written());
  EXPECT_EQ(chip.Element(ChipRegion::Code, 1), 0x30);
  pulse(flash_mode::kChipErase, 0, kFlashErasePulseUs - 1);
  EXPECT_EQ(chip.Element(ChipRegion::Code, 1), 0x30);
  pulse(flash_mode::kWriteLockBit1, 0, 100);
  pulse(flash_mode::kWriteCode, 0x00, 100);  // locked: not written
  EXPECT_TRUE(written());
  EXPECT_EQ(chip.Element(ChipRegion::Code, 1), 0x30);
  pulse(flash_mode::kWriteLockBit2, 0, 100);
  d.pins.busDriven = 0;
  d.Set([](ParallelPins& p) { p.vpp = false, p.mode = flash_mode::kReadCode; });
  EXPECT_EQ(chip.BusOut(d.now).value, 0x00);  // locked against reading too
  EXPECT_EQ(chip.Element(ChipRegion::Config, 0), 0xFFFC);
  d.Set([](ParallelPins& p) { p.vpp = true; });
  pulse(flash_mode::kChipErase, 0, kFlashErasePulseUs);
  EXPECT_EQ(chip.Element(ChipRegion::Code, 1), 0xFF);
  EXPECT_EQ(chip.Element(ChipRegion::Config, 0), 0xFFFF);
}

TEST(ParallelPicChip, EntersAtTheConfigurationWordAndCountsOnlyFullPulses) {
  ParallelPicChip chip;
  chip.SetPulsesNeeded(2);
  PinDriver<ParallelPicChip> d{chip};
  d.Set([](ParallelPins& p) { p.vcc = true, p.counterClock = true; });
  d.Set([](ParallelPins& p) { p.vpp = true; });
  EXPECT_FALSE(chip.InProgrammingMode());  // T0CKI must be low
  d.Set([](ParallelPins& p) { p.vpp = false, p.counterClock = false; });
  d.Set([](ParallelPins& p) { p.vpp = true; });
  ASSERT_TRUE(chip.InProgrammingMode());
  EXPECT_EQ(chip.BusOut(d.now).value, 0xFFF);  // the configuration word
  d.Set([](ParallelPins& p) { p.counterClock = true; });
  d.Set([](ParallelPins& p) { p.counterClock = false; });
  EXPECT_EQ(chip.ProgramCounter(), 0);
  auto pulse = [&](std::int64_t lengthUs) {
    d.Set([](ParallelPins& p) { p.program = false; });
    d.Set([](ParallelPins& p) { p.program = true; }, lengthUs);
  };
  d.pins.bus = 0xA55;
  d.pins.busDriven = 0xFFF;
  pulse(kParallelPicMinimumPulseUs - 1);
  pulse(kParallelPicMinimumPulseUs);
  EXPECT_EQ(chip.Element(ChipRegion::Code, 0), 0xFFF);  // one pulse counted, two needed
  pulse(kParallelPicMinimumPulseUs);
  EXPECT_EQ(chip.Element(ChipRegion::Code, 0), 0xA55);
  EXPECT_EQ(chip.DrivenPulses(0), 2);
  d.pins.busDriven = 0;  // the part's own word back on its pins changes nothing
  pulse(100);
  EXPECT_EQ(chip.Element(ChipRegion::Code, 0), 0xA55);
  chip.SetElement(ChipRegion::Config, 0, 0x007);  // CP on: program memory reads as zeros
  EXPECT_EQ(chip.BusOut(d.now).value, 0x000);
  EXPECT_EQ(chip.Element(ChipRegion::Config, 0), 0xFF7);
}

TEST(Nvm3060Chip, AWriteTakesItsTimeAndOnlyClearsBitsUntilTheCellIsErased) {
  Nvm3060Chip chip;
  ChipPins pins{.vcc = true, .mclr = true};
  std::int64_t now = 0;
  chip.OnPins(pins, now);
  auto set = [&](auto change) {
    change(pins);
    chip.OnPins(pins, now += 10);
  };
  auto transfer = [&](std::uint8_t address, std::uint16_t data) {
    set([](ChipPins& p) { p.mclr = false; });
    for (int i = 0; i < 24; ++i) {
      if (i == 8) set([](ChipPins& p) { p.mclr = true; });
      const bool bit = i < 8 ? (address >> i) & 1 : (data >> (i - 8)) & 1;
      set([](ChipPins& p) { p.clock = false; });
      set([bit](ChipPins& p) { p.data = bit; });
      set([](ChipPins& p) { p.clock = true; });
    }
    set([](ChipPins& p) { p.mclr = false; });
    set([](ChipPins& p) { p.mclr = true; });
  };
  transfer(0x80, 0x0007);
  transfer(0x83, 0xFF0F);
  transfer(0x83, 0xFF00);  // within the write time: not taken
  now += kNvmWriteUs;
  transfer(0x83, 0xFFF3);
  now += kNvmWriteUs;
  set([](ChipPins& p) { p.clock = false; });
  EXPECT_EQ(chip.Element(ChipRegion::Code, 7), 0x03);
  EXPECT_EQ(chip.Writes(), 2);
  transfer(0x83, 0xFFFF);
  now += kNvmWriteUs;
  set([](ChipPins& p) { p.clock = true; });
  EXPECT_EQ(chip.Element(ChipRegion::Code, 7), 0xFF);
}

}  // namespace
}  // namespace kestrum
