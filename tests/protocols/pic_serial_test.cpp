// PIC serial programming on the virtual programmer in virtual time: the command frames on the
// pins, the parity form, and the programming workers against a scripted chip.
#include "protocols/pic_serial.hpp"

#include <gtest/gtest.h>

#include <set>

#include "device/catalogue.hpp"
#include "pic_responder.hpp"
#include "pic_rig.hpp"
#include "sim/probe_chip.hpp"

namespace kestrum::testing {
namespace {

constexpr ProgrammerType kTypes[] = {ProgrammerType::Jdm, ProgrammerType::TaitSerial};

// `count` bits of `value`, least significant first, after the bits of `before`.
std::vector<int> Bits(std::vector<int> before, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) before.push_back(static_cast<int>((value >> i) & 1));
  return before;
}

TEST(PicCommand, FramesOnThePins) {
  for (ProgrammerType type : kTypes) {
    ChipRig<ProbeChip> rig(type, 18);
    ASSERT_TRUE(rig.lines.OpenPort());
    PicTiming timing;
    PicSerial link(rig.lines, timing);
    auto sent = [&](std::uint16_t command, std::int32_t data) {
      rig.chip.ClearEdges();
      link.PicCommand(command, data);
      return rig.chip.DataAtClock(false);
    };
    // A command word with no clocks (a 14-bit part's code entry) sends nothing, at once.
    const std::int64_t start = rig.clock.nowUs();
    EXPECT_TRUE(sent(0x0000, 0).empty());
    EXPECT_TRUE(sent(0x0006, 0).empty());
    EXPECT_EQ(rig.clock.nowUs(), start);
    // A read settles 3 ms, then sends the command bits, the 0 start bit and fifteen 1s.
    EXPECT_EQ(sent(pic::kReadProgram, pic::kRead), Bits(Bits({}, 4, 7), 0x7FFF, 15));
    EXPECT_EQ(rig.chip.DataAtClock(true), rig.chip.DataAtClock(false));
    EXPECT_GE(rig.chip.EdgesOf(ChipPin::Clock).front().timeUs - start, 3000);
    // Loads: command, start 0, 14 data bits, stop 0; parity parts send 16 data bits.
    EXPECT_EQ(sent(pic::kLoadProgram, 0x2A5C), Bits(Bits(Bits({}, 2, 7), 0x2A5C, 14), 0, 1));
    EXPECT_EQ(sent(pic::kLoadProgramParity, AddParityBits(0x1234)),
              Bits(Bits(Bits({}, 2, 7), 0x48D3, 16), 0, 1));
    EXPECT_EQ(sent(pic::kReadProgramParity, pic::kRead), Bits(Bits({}, 4, 7), 0x1FFFF, 17));
    EXPECT_EQ(sent(pic::kIncrementAddress, 0), Bits({}, 6, 6));
    EXPECT_EQ(rig.lines.Lines().CriticalDepth, 0);
  }
}

// Drives the data line high from chosen rising clock edges (1-based) to the next one.
class LineScriptChip final : public Chip {
 public:
  std::set<int> highFromRise;
  int rises = 0;
  int PinCount() const override { return 18; }
  void OnPins(const ChipPins& pins, std::int64_t) override {
    rises += pins.clock && !clock_ ? 1 : 0;
    clock_ = pins.clock;
  }
  DataDrive DataOut(std::int64_t) override {
    return highFromRise.count(rises) ? DataDrive::High : DataDrive::Low;
  }

 private:
  bool clock_ = false;
};

TEST(PicCommand, ReceivedWordHoldsTheSamplesOfTheDataClocks) {
  for (ProgrammerType type : kTypes) {
    ChipRig<LineScriptChip> rig(type);
    ASSERT_TRUE(rig.lines.OpenPort());
    PicTiming timing;
    PicSerial link(rig.lines, timing);
    auto received = [&](std::uint16_t command, std::set<int> high) {
      rig.chip.highFromRise = high;
      rig.chip.rises = 0;
      link.PicCommand(command, pic::kRead);
      return link.ReceivedWord();
    };
    // Clock 8 carries bit 0; the start clock (7) and the stop clock (22) do not count.
    EXPECT_EQ(received(pic::kReadProgram, {7, 8, 10, 21, 22}), 0x2005);
    EXPECT_EQ(received(pic::kReadProgramParity, {8, 23, 24}), 0x8001);
    EXPECT_EQ(received(pic::kIncrementAddress, {1, 2, 3, 4, 5, 6}), 0);
  }
}

TEST(AddParityBits, WordMovesUpWithItsParityBelow) {
  EXPECT_EQ(AddParityBits(0x0000), 0x0002);
  EXPECT_EQ(AddParityBits(0x3FFF), 0xFFFD);
  EXPECT_EQ(AddParityBits(0x1234), 0x48D3);
  for (std::uint32_t w = 0; w < 0x4000; ++w) {
    const std::uint16_t p = AddParityBits(static_cast<std::uint16_t>(w));
    int even = 0, odd = 0;
    for (int b = 0; b < 14; b += 2) even ^= (w >> b) & 1, odd ^= (w >> (b + 1)) & 1;
    ASSERT_EQ(p, (w << 2) | ((odd ^ 1) << 1) | even) << w;
  }
}

// The parity part's cells: what goes out in a 24-clock load comes back unchanged in a
// 24-clock read, so the word read is the cell without its two parity bits.
TEST(AddParityBits, ParityCellsRoundTripThroughTheReadPath) {
  const DeviceDescriptor d = DescriptorFor(*FindDeviceByName("PIC 16C715"));
  ASSERT_TRUE(d.HasParity);
  for (std::uint16_t w : {0x0000, 0x1234, 0x3FFE, 0x2AAA}) {
    EXPECT_EQ(PicParityCell(w), AddParityBits(w));
    EXPECT_EQ(PicCodeWord(d, PicParityCell(w)), w);
    EXPECT_EQ(PicConfigAreaWord(d, PicParityCell(w)), w);
  }
  // A blank word stays an erased cell, which an EPROM worker leaves alone; bits above the
  // core do not make a word non-blank.
  EXPECT_EQ(PicParityCell(0x3FFF), 0xFFFF);
  EXPECT_EQ(PicParityCell(0xFFFF), 0xFFFF);
  EXPECT_EQ(PicCodeWord(d, 0xFFFF), 0x3FFF);
  // Parts without parity keep the word as read (configuration words unmasked).
  const DeviceDescriptor f84 = DescriptorFor(*FindDeviceByName("PIC 16F84"));
  EXPECT_EQ(PicCodeWord(f84, 0xF234), 0x3234);
  EXPECT_EQ(PicConfigAreaWord(f84, 0xF234), 0xF234);
}

TEST(TProgramThread, ProgramsOnlyWordsThatDifferAndStopsAtOneThatDoesNotTake) {
  for (bool verify : {false, true}) {
    ChipRig<PicResponder> rig(ProgrammerType::Jdm, 32, 0, false);
    for (int i = 0; i < 32; ++i) rig.chip.code[i] = static_cast<std::uint16_t>(i * 0x1D7);
    rig.chip.stuckAddress = 20;
    PicTiming timing;
    timing.BeginProgramCommand = pic::kBeginProgrammingOnly;
    TProgramThread writer(rig.lines, timing, 32);
    writer.Words.assign(rig.chip.code.begin(), rig.chip.code.end());
    writer.Words[3] |= 0xC000;  // above the mask: no difference
    writer.Words[5] = 0x0101, writer.Words[20] = 0, writer.Words[31] = 0x3FFF;
    writer.VerifyDuringProgramming = verify;
    writer.Run();
    EXPECT_TRUE(writer.Done.IsSet());
    EXPECT_EQ(writer.Failed, verify);
    if (verify) {
      EXPECT_EQ(writer.FailAddress, 20);
      EXPECT_EQ(rig.chip.commands.back().address, 20);  // left there, not incremented
      EXPECT_EQ(rig.chip.pulses, (std::map<int, int>{{5, 1}, {20, 1}}));
    } else {
      EXPECT_EQ(rig.chip.pulses, (std::map<int, int>{{5, 1}, {20, 1}, {31, 1}}));
      EXPECT_EQ(rig.chip.code[31], 0x3FFF);
    }
    EXPECT_EQ(rig.chip.Count(8), 0);
    EXPECT_EQ(rig.chip.code[5], 0x0101);
    for (std::int64_t gap : rig.chip.GapsAfterBegin()) EXPECT_GE(gap, 10000);
    EXPECT_FALSE(writer.Lines().IsPortOpen());
    EXPECT_FALSE(rig.programmer.Board().Pins().mclr);
  }
}

TEST(TOverProgThread, PulsesUntilTakenThenOverProgramsByTheFactor) {
  ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 6, 0, false);
  rig.chip.eprom = true;
  rig.chip.pulsesNeeded = 2;
  rig.chip.code[0] = 0x1234;
  rig.chip.code[4] = 0x0000;  // a 0 that should be 1 cannot be pulsed back
  TOverProgThread writer(rig.lines, PicTiming{}, 6);
  writer.Words = {0x1234, 0x3FFF, 0x0F0F, 0x3FFF, 0x0001, 0x2AAA};
  writer.PulseFactor = 3;
  writer.MaxPulses = 25;
  writer.Run();
  EXPECT_FALSE(writer.Failed);  // not verifying: nothing is reported
  // Taken after 2 pulses, then 3 x 2 more; the word already right and the 0 that should be
  // 1 get none; the erased value is not even read.
  EXPECT_EQ(rig.chip.pulses, (std::map<int, int>{{2, 8}, {5, 8}}));
  EXPECT_EQ(rig.chip.Count(4), 1 + 3 + 1 + 3);
  EXPECT_EQ(rig.chip.code[5], 0x2AAA);
  // A pulse: begin, 100 µs, end, then 5 ms before the next frame.
  const auto& c = rig.chip.commands;
  for (std::size_t i = 0; i + 2 < c.size(); ++i) {
    if (c[i].code != 8) continue;
    ASSERT_EQ(c[i + 1].code, 14);
    EXPECT_GE(c[i + 1].timeUs - c[i].timeUs, 100);
    EXPECT_GE(c[i + 2].timeUs - c[i + 1].timeUs, 5000);
  }
  EXPECT_EQ(rig.lines.Lines().CriticalDepth, 0);
  EXPECT_FALSE(rig.programmer.Board().Pins().vcc);

  // At most 25 tries, then three times as many: without verifying, the 30 pulses this part
  // needs come in the second round. Verifying, a word that has not taken within 25 fails
  // there, before any over-programming.
  for (bool verify : {false, true}) {
    ChipRig<PicResponder> slow(ProgrammerType::Jdm, 4, 0, false);
    slow.chip.eprom = true;
    slow.chip.pulsesNeeded = 30;
    TOverProgThread second(slow.lines, PicTiming{}, 4);
    second.Words = {0x3FFF, 0x0000, 0x1111, 0x2222};
    second.PulseFactor = 3;
    second.MaxPulses = 25;
    second.VerifyDuringProgramming = verify;
    second.Run();
    EXPECT_EQ(second.Failed, verify);
    if (verify) {
      EXPECT_EQ(second.FailAddress, 1);
      EXPECT_EQ(slow.chip.pulses, (std::map<int, int>{{1, 25}}));
    } else {
      EXPECT_EQ(slow.chip.pulses, (std::map<int, int>{{1, 100}, {2, 100}, {3, 100}}));
      EXPECT_EQ(slow.chip.code[1], 0);
    }
    EXPECT_EQ(slow.lines.Lines().CriticalDepth, 0);
  }
  // A word that never takes, on a part that otherwise takes its pulses, stops a verifying run
  // at its address.
  ChipRig<PicResponder> stuck(ProgrammerType::Jdm, 4, 0, false);
  stuck.chip.eprom = true;
  stuck.chip.stuckAddress = 2;
  TOverProgThread third(stuck.lines, PicTiming{}, 4);
  third.Words = {0x0000, 0x3FFF, 0x1111, 0x2222};
  third.PulseFactor = 3;
  third.MaxPulses = 25;
  third.VerifyDuringProgramming = true;
  third.Run();
  EXPECT_TRUE(third.Failed);
  EXPECT_EQ(third.FailAddress, 2);
  EXPECT_EQ(stuck.chip.pulses, (std::map<int, int>{{0, 4}, {2, 25}}));
}

TEST(TOverProgThread, ConfigurationWordPulses) {
  // 14-bit: the eighth word of the area gets exactly 100 pulses without a read-back loop.
  ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 4, 0, false);
  rig.chip.eprom = true;
  rig.chip.pulsesNeeded = 3;
  TOverProgThread writer(rig.lines, PicTiming{}, 8);
  writer.StartCommand = pic::kLoadConfiguration;
  writer.Words = {1, 2, 3, 4, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FF1};
  writer.PulseFactor = 3;
  writer.MaxPulses = 25;
  writer.ConfigWordSpecial = 1;
  writer.ConfigPulseExtra = kConfigWordPulses;
  writer.Run();
  EXPECT_EQ(rig.chip.pulses[0x2007], 100);
  EXPECT_EQ(rig.chip.pulses[0x2000], 3 + 9);
  EXPECT_EQ(rig.chip.Count(4), 4 * 4 + 1);
  EXPECT_EQ(rig.chip.config[7], 0x3FF1);

  // 12-bit: the one configuration word gets the normal loop.
  ChipRig<PicResponder> small(ProgrammerType::TaitSerial, 4, 0, true);
  small.chip.eprom = true;
  small.chip.pulsesNeeded = 2;
  TOverProgThread config(small.lines, PicTiming{}, 1);
  config.Words = {0xFEA};
  config.Mask = 0xFFF;
  config.PulseFactor = 11;
  config.MaxPulses = 8;
  config.ConfigWordSpecial = 1;
  config.ConfigPulseExtra = kConfigWordPulses;
  config.Run();
  EXPECT_EQ(small.chip.pulses[-1], 2 + 22);
  EXPECT_EQ(small.chip.config12, 0xFEA);
}

}  // namespace
}  // namespace kestrum::testing
