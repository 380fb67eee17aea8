// SPDX-License-Identifier: GPL-3.0-or-later
// The SPI chip models held to their parts where the protocols never go: the write-enable
// latch that each write clears, reads that run on through memory, the AVR's lost write and
// its byte sync; the paged AVR's page buffer, EESAVE and fuses locked by LB1; the 25xx512's
// protected status register, page erase, deep power-down and signature; driven pin by pin.
#include <gtest/gtest.h>

#include "../rig.hpp"
#include "hardware/bus.hpp"
#include "sim/chips/avr_chip.hpp"
#include "sim/chips/avr_paged_chip.hpp"
#include "sim/chips/spi_eeprom_chip.hpp"

namespace kestrum {
namespace {

void Frame(LineContext& l, std::initializer_list<std::uint8_t> bytes) {
  l.VppOff();  // /CS low
  for (std::uint8_t b : bytes) ShiftOutByte(l, b);
  l.VppOn();
}

TEST(SpiEepromChip, EveryWriteNeedsItsOwnWriteEnableAndReadsRunOn) {
  Rig<SpiEepromChip> rig(SettingsFor(ProgrammerType::Conquest, 8), 128);
  LineContext& l = rig.lines;
  l.PowerOn();
  l.VppOn();
  l.SleepMs(1);
  Frame(l, {0x02, 0x10, 0x11});  // no write enable: refused
  l.SleepMs(10);
  Frame(l, {0x06});
  Frame(l, {0x02, 0x7F, 0x22});
  l.SleepMs(10);
  Frame(l, {0x02, 0x00, 0x33});  // the latch went with the last write
  l.SleepMs(10);
  EXPECT_EQ(rig.chip.Memory()[0x10], 0xFF);
  EXPECT_EQ(rig.chip.Memory()[0x7F], 0x22);
  EXPECT_EQ(rig.chip.Memory()[0x00], 0xFF);
  EXPECT_FALSE(rig.chip.WriteEnabled());
  // A read from the last byte carries on at address 0.
  rig.chip.SetElement(ChipRegion::Code, 0, 0x44);
  l.VppOff();
  ShiftOutByte(l, 0x03);
  ShiftOutByte(l, 0x7F);
  EXPECT_EQ(ShiftInByte(l), 0x22);
  EXPECT_EQ(ShiftInByte(l), 0x44);
  l.VppOn();
}

TEST(AvrChip, AWriteBeforeTheLastEndedIsLostAndSckHighSpoilsTheSync) {
  Rig<AvrChip> rig(SettingsFor(ProgrammerType::Stk200, 20), *AvrChipFor("90S2313"));
  LineContext& l = rig.lines;
  auto enable = [&] {
    l.VppOn();
    l.DelayMicroseconds(100);
    l.VppOff();
    l.SleepMs(25);
    for (std::uint8_t b : {0xAC, 0x53}) ShiftOutByte(l, b);
    const std::uint8_t echo = ShiftInByte(l);
    ShiftOutByte(l, 0x00);
    return echo;
  };
  l.PowerOn();
  l.SetClockLine(1);
  EXPECT_NE(enable(), 0x53);  // SCK high when /RESET fell
  l.SetClockLine(0);
  ASSERT_EQ(enable(), 0x53);
  for (std::uint8_t b : {0x40, 0x00, 0x01, 0x12}) ShiftOutByte(l, b);
  l.SleepMs(1);
  for (std::uint8_t b : {0x48, 0x00, 0x01, 0x34}) ShiftOutByte(l, b);  // too early
  l.SleepMs(10);
  l.VppOn();  // a cycle lands at the first pin change after its time
  EXPECT_EQ(rig.chip.Flash()[2], 0x12);
  EXPECT_EQ(rig.chip.Flash()[3], 0xFF);
  EXPECT_EQ(rig.chip.LostInstructions(), 1);
}

// A cycle lands at the first pin change after its time: one after a wait.
void Wait(LineContext& l, int ms) {
  l.SleepMs(ms);
  l.SetDataLine(1);
  l.SetDataLine(0);
}

// One four-byte instruction; with FFh as the fourth byte, what the part shifts out meanwhile.
std::uint8_t Instruction(LineContext& l, std::uint8_t a, std::uint8_t b, std::uint8_t c,
                         std::uint8_t d) {
  for (std::uint8_t x : {a, b, c}) ShiftOutByte(l, x);
  if (d != 0xFF) {
    ShiftOutByte(l, d);
    return 0xFF;
  }
  return ShiftInByte(l);
}

TEST(AvrPagedChip, PageBufferEesaveAndFusesLockedByLb1) {
  Rig<AvrPagedChip> rig(SettingsFor(ProgrammerType::Stk200, 8), *AvrPagedFor("ATtiny85"));
  LineContext& l = rig.lines;
  const auto& flash = rig.chip.Flash();
  l.PowerOn();
  l.VppOn();
  l.DelayMicroseconds(100);
  l.VppOff();
  l.SleepMs(25);
  Instruction(l, 0xAC, 0x53, 0x00, 0x00);
  ASSERT_TRUE(rig.chip.Enabled());
  // Word 1 loaded, the page of word 64 written: the byte lands in that page.
  Instruction(l, 0x40, 0x00, 0x01, 0x11);
  Instruction(l, 0x48, 0x00, 0x01, 0x22);
  Instruction(l, 0x4C, 0x00, 0x40, 0x00);
  Instruction(l, 0x4C, 0x00, 0x00, 0x00);  // before the last page is written: lost
  EXPECT_EQ(Instruction(l, 0xF0, 0x00, 0x00, 0xFF) & 1, 1);
  Wait(l, 5);
  EXPECT_EQ(Instruction(l, 0xF0, 0x00, 0x00, 0xFF) & 1, 0);
  EXPECT_EQ(flash[130], 0x11);
  EXPECT_EQ(flash[131], 0x22);
  EXPECT_EQ(flash[2], 0xFF);
  EXPECT_EQ(rig.chip.LostInstructions(), 1);
  // EESAVE programmed (at once): the chip erase keeps the EEPROM.
  Instruction(l, 0xC0, 0x00, 0x05, 0x5A);
  Wait(l, 5);
  Instruction(l, 0xAC, 0xA8, 0x00, 0xD7);
  Wait(l, 5);
  Instruction(l, 0xAC, 0x80, 0x00, 0x00);
  Wait(l, 10);
  EXPECT_EQ(rig.chip.Eeprom()[5], 0x5A);
  EXPECT_EQ(flash[130], 0xFF);
  // LB1 locks the fuses; SPIEN is out of reach anyway.
  Instruction(l, 0xAC, 0xA8, 0x00, 0xFF);
  Wait(l, 5);
  EXPECT_EQ(Instruction(l, 0x58, 0x08, 0x00, 0xFF), 0xDF);
  Instruction(l, 0xAC, 0xE0, 0x00, 0xFE);
  Wait(l, 5);
  Instruction(l, 0xAC, 0xA0, 0x00, 0x00);
  Wait(l, 5);
  EXPECT_EQ(Instruction(l, 0x50, 0x00, 0x00, 0xFF), 0x62);
  EXPECT_EQ(Instruction(l, 0x58, 0x00, 0x00, 0xFF), 0xFE);
  EXPECT_EQ(Instruction(l, 0x30, 0x00, 0x01, 0xFF), 0x93);
}

TEST(SpiEepromChip, The512sStatusProtectionPageEraseAndDeepPowerDown) {
  Rig<SpiEepromChip> rig(SettingsFor(ProgrammerType::Conquest, 8), *SpiEepromFor("25LC512"));
  LineContext& l = rig.lines;
  SpiEepromChip& chip = rig.chip;
  l.PowerOn();
  l.VppOn();
  l.SleepMs(1);
  auto status = [&](std::uint8_t value) {
    Frame(l, {0x06});
    Frame(l, {0x01, value});
    Wait(l, 6);
  };
  status(0x8C);
  chip.SetWriteProtectPinLow(true);
  status(0x00);  // WPEN with /WP low: the status register is protected
  EXPECT_EQ(chip.BlockProtect(), 3);
  chip.SetWriteProtectPinLow(false);
  status(0x00);
  EXPECT_EQ(chip.BlockProtect(), 0);
  for (int a : {0x17F, 0x180, 0x1FF, 0x200}) chip.SetElement(ChipRegion::Code, a, 0x00);
  Frame(l, {0x06});
  Frame(l, {0x42, 0x01, 0x9A});  // the page of 0x19A: 0x180..0x1FF
  Wait(l, 6);
  EXPECT_EQ(chip.Memory()[0x17F], 0x00);
  EXPECT_EQ(chip.Memory()[0x180], 0xFF);
  EXPECT_EQ(chip.Memory()[0x1FF], 0xFF);
  EXPECT_EQ(chip.Memory()[0x200], 0x00);
  // Asleep it answers nothing but RDID, which wakes it.
  Frame(l, {0xB9});
  l.VppOff();
  ShiftOutByte(l, 0x05);
  EXPECT_EQ(ShiftInByte(l), 0xFF);
  l.VppOn();
  l.VppOff();
  for (std::uint8_t b : {0xAB, 0x00, 0x00}) ShiftOutByte(l, b);
  EXPECT_EQ(ShiftInByte(l), 0x29);
  l.VppOn();
  EXPECT_FALSE(chip.DeepPowerDown());
}

}  // namespace
}  // namespace kestrum
