// SPDX-License-Identifier: GPL-3.0-or-later
// The Microwire and 4-wire EEPROM models driven bit by bit through the virtual programmer by a
// small bench driver of their own: what keeps the models as strict as the parts (writes only
// while enabled, the READ answer with its dummy bit and the don't-care address bits, the write
// cycle with its status and its deafness). The protocol and operation tests show the rest.
#include "sim/chips/microwire_chip.hpp"

#include <gtest/gtest.h>

#include <string>

#include "device/catalogue.hpp"
#include "../rig.hpp"

namespace kestrum {
namespace {

struct Bench : Rig<MicrowireChip> {
  explicit Bench(std::string_view device)
      : Rig<MicrowireChip>(SettingsFor(ProgrammerType::ProPic2, 8), *MicrowireChipFor(device)) {
    PowerUp();
  }
  void PowerUp() { lines.AllLinesOff(), lines.PowerOn(), lines.SleepMs(1); }
  void PowerDown() { lines.AllLinesOff(), lines.SleepMs(1); }
  void Select() { lines.VppOn(); }
  void Deselect() { lines.VppOff(); }
  // Time passes; the part, asked for its output, sees it.
  void Wait(int ms) { lines.SleepMs(ms), board().DataLine(); }
  // The part takes DI at the rising clock.
  void Bit(int b) { lines.SetDataLine(b & 1), lines.SetClockLine(1), lines.SetClockLine(0); }
  // Bits written as in a datasheet ("1 01 000101 ..."), blanks ignored.
  void Send(std::string_view bits) {
    for (char c : bits) {
      if (c != ' ') Bit(c == '1');
    }
  }
  // One instruction in a select of its own.
  void Instruction(std::string_view bits) { Select(), Send(bits), Deselect(); }
  // DO as the programmer reads it with its own data line released.
  int Out() { return lines.SetDataLine(1), lines.ReadDataIn(); }
  std::uint16_t ClockInWord() {
    std::uint16_t word = 0;
    lines.SetDataLine(1);
    for (int i = 0; i < 16; ++i) {
      lines.SetClockLine(1);
      word = static_cast<std::uint16_t>(word << 1 | lines.ReadDataIn());
      lines.SetClockLine(0);
    }
    return word;
  }
};

std::string Bits(unsigned value, int count) {
  std::string s;
  for (int i = count - 1; i >= 0; --i) s += (value >> i) & 1 ? '1' : '0';
  return s;
}

// Every write instruction is refused before EWEN, after EWDS and after power was removed, and
// acts once enabled.
TEST(MicrowireChip, WritesActOnlyWhileEnabled) {
  struct Case {
    const char* device;
    std::string write;  // sets word 5 to 1234h (or, as a bulk write, every word)
    std::string enable, disable;
    std::uint16_t word5, word6;  // afterwards
  };
  const std::string data = Bits(0x1234, 16);
  for (const Case& c : {
           Case{"93C46", "1 01 000101 " + data, "1 00 11xxxx", "1 00 00xxxx", 0x1234, 0x0F0F},
           Case{"93C46", "1 11 000101", "1 00 110000", "1 00 000000", 0xFFFF, 0x0F0F},  // ERASE
           Case{"93C46", "1 00 100000", "1 00 111111", "1 00 001111", 0xFFFF, 0xFFFF},  // ERAL
           Case{"93C46", "1 00 010000 " + data, "1 00 110000", "1 00 000000", 0x1234, 0x1234},
           Case{"59C11", "1 0100 000101 " + data, "1 0011 000000", "1 0000 000000", 0x1234, 0x0F0F},
       }) {
    SCOPED_TRACE(c.write);
    Bench bench(c.device);
    MicrowireChip& chip = bench.chip;
    auto send = [&](std::string bits) {
      for (char& b : bits) b = b == 'x' ? '1' : b;
      bench.Instruction(bits);
      bench.Wait(20);  // longer than any write cycle
    };
    auto untouched = [&] { return chip.Words()[5] == 0x0F0F && chip.Words()[6] == 0x0F0F; };
    chip.SetElement(ChipRegion::Code, 5, 0x0F0F);
    chip.SetElement(ChipRegion::Code, 6, 0x0F0F);

    send(c.write);
    EXPECT_TRUE(untouched()) << "before EWEN";
    send(c.enable);
    send(c.disable);
    send(c.write);
    EXPECT_TRUE(untouched()) << "after EWDS";
    send(c.enable);
    bench.PowerDown();
    bench.PowerUp();
    send(c.write);
    EXPECT_TRUE(untouched()) << "after power-up";
    EXPECT_EQ(chip.RefusedWrites(), 3);

    send(c.enable);
    send(c.write);
    EXPECT_EQ(chip.Words()[5], c.word5);
    EXPECT_EQ(chip.Words()[6], c.word6);
    EXPECT_EQ(chip.CompletedWrites(), 1);
  }
}

// As the last address bit is clocked in, DO drops to the dummy 0; each rising clock then gives
// the next data bit, and clocking on reads the following word. Address bits above the part's
// size are not looked at.
TEST(MicrowireChip, ReadAnswersWithADummyZeroThenTheWords) {
  struct Case {
    const char* device;
    std::string read;  // of word 5, with the don't-care bits set
  };
  for (const Case& c : {Case{"93C06", "1 10 110101"}, Case{"93C46", "1 10 000101"},
                        Case{"93C56", "1 10 10000101"}, Case{"93C57", "1 10 0000101"},
                        Case{"93C76", "1 10 1000000101"}, Case{"59C13", "1 1000 00000101"}}) {
    SCOPED_TRACE(c.device);
    Bench bench(c.device);
    bench.chip.SetElement(ChipRegion::Code, 5, 0x8421);
    bench.chip.SetElement(ChipRegion::Code, 6, 0xBEEF);
    bench.Select();
    EXPECT_EQ(bench.Out(), 1) << "DO drives nothing before the address is in";
    bench.Send(c.read);
    EXPECT_EQ(bench.Out(), 0) << "the dummy bit";
    EXPECT_EQ(bench.ClockInWord(), 0x8421);
    EXPECT_EQ(bench.ClockInWord(), 0xBEEF);
    bench.Deselect();
    EXPECT_EQ(bench.Out(), 1) << "DO released once deselected";
  }
}

// A 93Cxx shows BUSY on DO while selected until its cycle is over, then READY until the next
// start bit, and takes no instruction meanwhile; a 59Cxx shows nothing.
TEST(MicrowireChip, AWriteCycleShowsItsStatusAndTakesNoInstruction) {
  Bench bench("93C46");
  MicrowireChip& chip = bench.chip;
  chip.SetElement(ChipRegion::Code, 2, 0x7777);
  bench.Instruction("1 00 110000");
  bench.Instruction("1 01 000011 " + Bits(0x5555, 16));  // the cycle starts as CS falls
  bench.Select();
  EXPECT_EQ(bench.Out(), 0);
  bench.Send("1 10 000010");  // a READ of word 2 during the cycle goes unheard
  EXPECT_EQ(bench.Out(), 0);
  EXPECT_EQ(bench.ClockInWord(), 0x0000);
  bench.lines.SleepMs(4);
  EXPECT_EQ(bench.Out(), 1);
  EXPECT_EQ(chip.Words()[3], 0x5555);
  bench.Send("1 10 000010");  // the start bit ends the status; the READ is taken
  EXPECT_EQ(bench.ClockInWord(), 0x7777);
  bench.Deselect();

  Bench four("59C11");
  four.Instruction("1 0011 000000");
  four.Instruction("1 0100 000011 " + Bits(0x5555, 16));
  four.Select();
  four.lines.SetDataLine(0);
  EXPECT_EQ(four.lines.ReadDataIn(), 0) << "the line is the programmer's";
  four.Wait(5);
  EXPECT_EQ(four.chip.Words()[3], 0x5555);
}

// The models answer for the catalogue's parts with the same number of words.
TEST(MicrowireChip, EveryPartOfTheFamiliesHasItsModel) {
  int parts = 0;
  for (const CatalogueEntry& e : Catalogue()) {
    const DeviceDescriptor d = DescriptorFor(e);
    const DeviceFamily family = FamilyOf(d);
    if (family != DeviceFamily::MicrowireEeprom && family != DeviceFamily::FourWireEeprom) continue;
    const MicrowireChipDescription* part = MicrowireChipFor(e.Name);
    ASSERT_NE(part, nullptr) << e.Name;
    EXPECT_EQ(part->words, d.CodeSize) << e.Name;
    ++parts;
  }
  EXPECT_EQ(parts, 10);
}

}  // namespace
}  // namespace kestrum
