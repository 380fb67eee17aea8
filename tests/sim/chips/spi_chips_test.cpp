// The SPI chip models held to their parts where the protocols never go: the write-enable
// latch that each write clears, reads that run on through memory, the AVR's lost write and
// its byte sync, driven pin by pin.
#include <gtest/gtest.h>

#include "hardware/bus.hpp"
#include "../rig.hpp"
#include "sim/chips/avr_chip.hpp"
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

}  // namespace
}  // namespace kestrum
