// PIC serial programming on the virtual programmer in virtual time: the command frames on the
// pins, the parity form, and the three workers and the erase against a scripted chip.
#include "protocols/pic_serial.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include "pic_responder.hpp"
#include "pic_rig.hpp"
#include "sim/probe_chip.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;

constexpr ProgrammerType kTypes[] = {ProgrammerType::Jdm, ProgrammerType::TaitSerial};

std::vector<int> Bits(std::uint32_t value, int count) {
  std::vector<int> bits;
  for (int i = 0; i < count; ++i) bits.push_back(static_cast<int>((value >> i) & 1));
  return bits;
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(PicCommand, FramesOnThePins) {
  for (ProgrammerType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    ChipRig<ProbeChip> rig(type, 18);
    ASSERT_TRUE(rig.lines.OpenPort());
    PicTiming timing;
    PicSerial link(rig.lines, timing);
    rig.chip.ClearEdges();

    // A command word with no clocks (the 14-bit parts' code entry) sends nothing at all.
    const std::int64_t start = rig.clock.nowUs();
    link.PicCommand(0x0000, 0);
    link.PicCommand(0x0006, 0);
    EXPECT_TRUE(rig.chip.Edges().empty());
    EXPECT_EQ(rig.clock.nowUs(), start);

    // A read waits 3 ms, then: the command bits, the 0 start bit and fifteen 1s.
    link.PicCommand(pic::kReadProgram, pic::kRead);
    EXPECT_EQ(rig.chip.DataAtClock(false), Join({Bits(4, 6), {0}, std::vector<int>(15, 1)}));
    EXPECT_EQ(rig.chip.DataAtClock(true), rig.chip.DataAtClock(false));
    ASSERT_FALSE(rig.chip.EdgesOf(ChipPin::Clock).empty());
    EXPECT_GE(rig.chip.EdgesOf(ChipPin::Clock).front().timeUs - start, 3000);

    // A load: command, start 0, fourteen data bits, stop 0.
    rig.chip.ClearEdges();
    link.PicCommand(pic::kLoadProgram, 0x2A5C);
    EXPECT_EQ(rig.chip.DataAtClock(false), Join({Bits(2, 6), {0}, Bits(0x2A5C, 14), {0}}));

    // Parity parts: 24 clocks carry sixteen data bits.
    rig.chip.ClearEdges();
    link.PicCommand(pic::kLoadProgramParity, AddParityBits(0x1234));
    EXPECT_EQ(rig.chip.DataAtClock(false), Join({Bits(2, 6), {0}, Bits(0x48D3, 16), {0}}));
    rig.chip.ClearEdges();
    link.PicCommand(pic::kReadProgramParity, pic::kRead);
    EXPECT_EQ(rig.chip.DataAtClock(false), Join({Bits(4, 6), {0}, std::vector<int>(17, 1)}));

    rig.chip.ClearEdges();
    link.PicCommand(pic::kIncrementAddress, 0);
    EXPECT_EQ(rig.chip.DataAtClock(false), Bits(6, 6));
    EXPECT_EQ(rig.lines.Lines().CriticalDepth, 0);
  }
}

// Drives the data line high from chosen rising clock edges (1-based) to the next one.
class LineScriptChip final : public Chip {
 public:
  std::set<int> highFromRise;
  void Restart() { rises_ = 0; }
  int PinCount() const override { return 18; }
  void OnPins(const ChipPins& pins, std::int64_t) override {
    if (pins.clock && !clock_) ++rises_;
    clock_ = pins.clock;
  }
  DataDrive DataOut(std::int64_t) override {
    return highFromRise.count(rises_) ? DataDrive::High : DataDrive::Low;
  }

 private:
  int rises_ = 0;
  bool clock_ = false;
};

TEST(PicCommand, ReceivedWordHoldsTheSamplesOfTheDataClocks) {
  for (ProgrammerType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    ChipRig<LineScriptChip> rig(type);
    ASSERT_TRUE(rig.lines.OpenPort());
    PicTiming timing;
    PicSerial link(rig.lines, timing);
    // Clock 8 carries bit 0; the start clock (7) and the stop clock (22) do not count.
    rig.chip.highFromRise = {7, 8, 10, 21, 22};
    rig.chip.Restart();
    link.PicCommand(pic::kReadProgram, pic::kRead);
    EXPECT_EQ(link.ReceivedWord(), 0x2005);
    // 24 clocks: clocks 8 to 23 give bits 0 to 15.
    rig.chip.highFromRise = {8, 23, 24};
    rig.chip.Restart();
    link.PicCommand(pic::kReadProgramParity, pic::kRead);
    EXPECT_EQ(link.ReceivedWord(), 0x8001);
    // Short frames receive nothing.
    rig.chip.highFromRise = {1, 2, 3, 4, 5, 6};
    rig.chip.Restart();
    link.PicCommand(pic::kIncrementAddress, 0);
    EXPECT_EQ(link.ReceivedWord(), 0);
  }
}

TEST(AddParityBits, WordMovesUpWithItsParityBelow) {
  EXPECT_EQ(AddParityBits(0x0000), 0x0002);
  EXPECT_EQ(AddParityBits(0x3FFF), 0xFFFD);
  EXPECT_EQ(AddParityBits(0x1234), 0x48D3);
  for (std::uint32_t w = 0; w < 0x4000; ++w) {
    const std::uint16_t p = AddParityBits(static_cast<std::uint16_t>(w));
    ASSERT_EQ(p >> 2, w);
    int even = 0, odd = 0;
    for (int b = 0; b < 14; ++b) ((b % 2) ? odd : even) += (w >> b) & 1;
    ASSERT_EQ(p & 1, even % 2);            // bit 0: even parity of the even bits
    ASSERT_EQ((p >> 1) & 1, 1 - odd % 2);  // bit 1: odd parity of the odd bits
  }
}

std::vector<std::uint16_t> Pattern(int count, std::uint16_t mask, int seed = 1) {
  std::vector<std::uint16_t> words;
  for (int i = 0; i < count; ++i)
    words.push_back(static_cast<std::uint16_t>((i * 0x1D7 + seed * 0x5A3) & mask));
  return words;
}

void ExpectIdleAndClosed(ChipRig<PicResponder>& rig, OperationWorker& worker) {
  EXPECT_FALSE(worker.Lines().IsPortOpen());
  const ChipPins& pins = rig.programmer.Board().Pins();
  EXPECT_FALSE(pins.mclr);
  EXPECT_FALSE(pins.clock);
  EXPECT_FALSE(pins.data);
  if (rig.lines.Settings().Programmer != ProgrammerType::Jdm) {
    EXPECT_FALSE(pins.vcc);
  }
}

TEST(TProgthread, ReadsAfterPowerUpAndRests) {
  for (ProgrammerType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    ChipRig<PicResponder> rig(type, 48, 0, false);
    rig.chip.code = Pattern(48, 0x3FFF);
    TProgthread reader(rig.lines, PicTiming{}, 48);
    reader.Run();
    EXPECT_TRUE(reader.Done.IsSet());
    EXPECT_EQ(reader.Words, rig.chip.code);
    EXPECT_EQ(rig.chip.Count(4), 48);
    EXPECT_EQ(rig.chip.Count(6), 48);
    // VPP 300 ms before the first command, which then settles 3 ms.
    EXPECT_GE(rig.chip.commands.front().timeUs - rig.chip.enteredUs, 303000);
    ExpectIdleAndClosed(rig, reader);
    const auto ranges = rig.ui.OfType(Type::ProgressRange);
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].value2, 47);
    EXPECT_EQ(rig.ui.OfType(Type::ProgressPosition).back().value, 0);
  }
}

TEST(TProgthread, CancelStopsAfterTheCurrentWord) {
  ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 40, 0, false);
  rig.chip.code = Pattern(40, 0x3FFF, 7);
  TProgthread reader(rig.lines, PicTiming{}, 40);
  rig.ui.onEntry = [&](const RecordingUi::Entry& e) {
    if (e.type == Type::ProgressPosition && e.value == 5) reader.TerminateRequested = true;
  };
  reader.Run();
  EXPECT_EQ(rig.chip.Count(4), 6);
  EXPECT_TRUE(std::equal(reader.Words.begin(), reader.Words.begin() + 6, rig.chip.code.begin()));
  EXPECT_TRUE(std::all_of(reader.Words.begin() + 6, reader.Words.end(),
                          [](std::uint16_t w) { return w == 0; }));
  ExpectIdleAndClosed(rig, reader);
  EXPECT_EQ(rig.ui.OfType(Type::ProgressPosition).back().value, 0);
}

TEST(TProgramThread, ProgramsOnlyTheWordsThatDiffer) {
  ChipRig<PicResponder> rig(ProgrammerType::Jdm, 32, 0, false);
  rig.chip.code = Pattern(32, 0x3FFF);
  std::vector<std::uint16_t> wanted = rig.chip.code;
  wanted[5] ^= 0x0101;
  wanted[17] = 0;
  wanted[31] = 0x3FFF;
  PicTiming timing;
  timing.BeginProgramCommand = pic::kBeginProgrammingOnly;
  TProgramThread writer(rig.lines, timing, 32);
  // Bits above the core are masked off before the compare.
  writer.Words = wanted;
  writer.Words[3] |= 0xC000;
  writer.Mask = 0x3FFF;
  writer.Run();
  EXPECT_EQ(rig.chip.code, wanted);
  EXPECT_FALSE(writer.Failed);
  EXPECT_EQ(rig.chip.Count(2), 3);
  EXPECT_EQ(rig.chip.Count(24), 3);
  EXPECT_EQ(rig.chip.Count(8), 0);
  EXPECT_EQ(rig.chip.pulses, (std::map<int, int>{{5, 1}, {17, 1}, {31, 1}}));
  for (std::int64_t gap : rig.chip.GapsAfterBegin()) {
    EXPECT_GE(gap, 10000);
    EXPECT_LT(gap, 11000);
  }
  ExpectIdleAndClosed(rig, writer);
}

TEST(TProgramThread, DataBytesCompareUnderTheByteMask) {
  ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 4, 16, false);
  rig.chip.data = Pattern(16, 0xFF);
  rig.chip.dataHighBits = 0x3F00;  // what a real part may send above the byte
  std::vector<std::uint16_t> wanted = rig.chip.data;
  wanted[9] = 0x5A;
  TProgramThread writer(rig.lines, PicTiming{}, 16);
  writer.ReadCommand = pic::kReadData;
  writer.LoadCommand = pic::kLoadData;
  writer.Mask = 0xFF;
  writer.Words = wanted;
  writer.Words[2] |= 0x100;
  writer.VerifyDuringProgramming = true;
  writer.Run();
  EXPECT_FALSE(writer.Failed);
  EXPECT_EQ(rig.chip.data, wanted);
  EXPECT_EQ(rig.chip.Count(3), 1);
}

TEST(TProgramThread, VerifyDuringProgrammingReportsTheWordThatDidNotTake) {
  for (bool verify : {true, false}) {
    SCOPED_TRACE(verify);
    ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 16, 0, false);
    rig.chip.stuckAddress = 6;
    TProgramThread writer(rig.lines, PicTiming{}, 16);
    writer.Words = std::vector<std::uint16_t>(16, 0x1234);
    writer.VerifyDuringProgramming = verify;
    writer.Run();
    EXPECT_EQ(writer.Failed, verify);
    int last = 0;
    for (const auto& c : rig.chip.commands) last = std::max(last, c.address);
    if (verify) {
      EXPECT_EQ(writer.FailAddress, 6);
      EXPECT_EQ(last, 6);  // left at the failing word, not incremented
    } else {
      EXPECT_EQ(rig.chip.code[15], 0x1234);
      EXPECT_EQ(rig.chip.code[6], 0x3FFF);
    }
    ExpectIdleAndClosed(rig, writer);
  }
}

// Begin-programming pulses per address after an over-programming run.
struct OverRun {
  std::map<int, int> pulses;
  int readsAt(int address) const {
    int n = 0;
    for (const auto& c : chip->commands) n += (c.code == 4 && c.address == address) ? 1 : 0;
    return n;
  }
  const PicResponder* chip;
};

TEST(TOverProgThread, PulsesUntilTakenThenOverProgramsByTheFactor) {
  ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 6, 0, false);
  rig.chip.eprom = true;
  rig.chip.pulsesNeeded = 2;
  rig.chip.code[0] = 0x1234;
  TOverProgThread writer(rig.lines, PicTiming{}, 6);
  writer.Words = {0x1234, 0x3FFF, 0x0F0F, 0x3FFF, 0x3FFF, 0x2AAA};
  writer.Mask = 0x3FFF;
  writer.PulseFactor = 3;
  writer.MaxPulses = 25;
  writer.Run();
  const OverRun run{rig.chip.pulses, &rig.chip};
  EXPECT_EQ(rig.chip.pulses, (std::map<int, int>{{2, 8}, {5, 8}}));  // 2 to take, 3 x 2 more
  EXPECT_EQ(run.readsAt(0), 1);  // already right: read once, no pulse
  EXPECT_EQ(run.readsAt(1), 0);  // erased value: not even read
  EXPECT_EQ(rig.chip.code[2], 0x0F0F);
  // Each pulse: begin, 100 µs, end, then 5 ms before the next frame.
  for (std::size_t i = 0; i + 2 < rig.chip.commands.size(); ++i) {
    if (rig.chip.commands[i].code != 8) continue;
    ASSERT_EQ(rig.chip.commands[i + 1].code, 14);
    EXPECT_GE(rig.chip.commands[i + 1].timeUs - rig.chip.commands[i].timeUs, 100);
    EXPECT_GE(rig.chip.commands[i + 2].timeUs - rig.chip.commands[i + 1].timeUs, 5000);
  }
  EXPECT_EQ(rig.lines.Lines().CriticalDepth, 0);
  ExpectIdleAndClosed(rig, writer);
}

TEST(TOverProgThread, PulseLimitAndVerify) {
  ChipRig<PicResponder> rig(ProgrammerType::Jdm, 4, 0, false);
  rig.chip.eprom = true;
  rig.chip.pulsesNeeded = 30;  // more than the 25 allowed
  rig.chip.stuckAddress = 2;
  TOverProgThread writer(rig.lines, PicTiming{}, 4);
  writer.Words = {0x0000, 0x3FFF, 0x1111, 0x2222};
  writer.Mask = 0x3FFF;
  writer.PulseFactor = 3;
  writer.MaxPulses = 25;
  writer.VerifyDuringProgramming = true;
  writer.Run();
  // 25 tries, then 75 more, which take at the 30th: the word reads right in the end.
  EXPECT_EQ(rig.chip.pulses[0], 100);
  EXPECT_EQ(rig.chip.code[0], 0x0000);
  EXPECT_TRUE(writer.Failed);
  EXPECT_EQ(writer.FailAddress, 2);
  EXPECT_EQ(rig.chip.pulses.count(3), 0u);
}

TEST(TOverProgThread, ConfigurationWordPulses) {
  // 14-bit: the eighth word of the area gets exactly 100 pulses and no read-back loop.
  {
    ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 4, 0, false);
    rig.chip.eprom = true;
    rig.chip.pulsesNeeded = 3;
    TOverProgThread writer(rig.lines, PicTiming{}, 8);
    writer.StartCommand = pic::kLoadConfiguration;
    writer.Words = {1, 2, 3, 4, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FF1};
    writer.Mask = 0x3FFF;
    writer.PulseFactor = 3;
    writer.MaxPulses = 25;
    writer.ConfigWordSpecial = 1;
    writer.ConfigPulseExtra = kConfigWordPulses;
    writer.Run();
    EXPECT_EQ(rig.chip.pulses[0x2007], 100);
    EXPECT_EQ(rig.chip.pulses[0x2000], 3 + 9);  // ID words: the normal loop
    EXPECT_EQ(rig.chip.pulses.count(0x2004), 0u);
    EXPECT_EQ((OverRun{{}, &rig.chip}.readsAt(0x2007)), 1);
    EXPECT_EQ(rig.chip.config[7], 0x3FF1);
  }
  // 12-bit: the area is the one configuration word, which gets the normal loop.
  {
    ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 4, 0, true);
    rig.chip.eprom = true;
    rig.chip.pulsesNeeded = 2;
    TOverProgThread writer(rig.lines, PicTiming{}, 1);
    writer.Words = {0xFEA};
    writer.Mask = 0xFFF;
    writer.PulseFactor = 11;
    writer.MaxPulses = 8;
    writer.ConfigWordSpecial = 1;
    writer.ConfigPulseExtra = kConfigWordPulses;
    writer.Run();
    EXPECT_EQ(rig.chip.pulses[-1], 2 + 22);
    EXPECT_EQ(rig.chip.config12, 0xFEA);
  }
}

TEST(PicErase, DisablesProtectionAndErasesThenRests) {
  ChipRig<PicResponder> rig(ProgrammerType::TaitSerial, 16, 16, false);
  EXPECT_TRUE(PicErase(rig.lines, PicTiming{}));
  EXPECT_EQ(rig.chip.Codes(), (std::vector<int>{0, 6, 6, 6, 6, 6, 6, 6, 1, 7, 8, 3, 8, 1, 7}));
  EXPECT_EQ(rig.chip.commands[0].data, 0x3FFF);
  EXPECT_EQ(rig.chip.commands[11].data, 0x3FFF);
  for (std::int64_t gap : rig.chip.GapsAfterBegin()) EXPECT_GE(gap, 20000);
  EXPECT_FALSE(rig.lines.IsPortOpen());
  EXPECT_FALSE(rig.programmer.Board().Pins().mclr);
  EXPECT_FALSE(rig.programmer.Board().Pins().vcc);

  // A port that does not open: told once, nothing driven.
  rig.chip.commands.clear();
  rig.programmer.FailOpen(EACCES);
  EXPECT_FALSE(PicErase(rig.lines, PicTiming{}));
  EXPECT_TRUE(rig.chip.commands.empty());
  EXPECT_EQ(rig.ui.Messages().size(), 1u);
}

}  // namespace
}  // namespace kestrum::testing
