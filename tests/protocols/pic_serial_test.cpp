// SPDX-License-Identifier: GPL-3.0-or-later
// PIC serial programming on the virtual programmer in virtual time: the command frames on the
// pins, the parity form, and the programming workers' read-before-write and pulse counts on
// the chip models.
#include "protocols/pic_serial.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "../sim/rig.hpp"
#include "sim/chips/pic_chip.hpp"

namespace kestrum {
namespace {

// A PIC model that also counts the programming pulses and cycles it took at each address.
class CountingPic final : public Chip {
 public:
  // `programUs`: a flash part whose cycles take this long instead.
  explicit CountingPic(std::string_view device, std::int64_t programUs = 0) {
    PicChipDescription d = *PicChipFor(device);
    d.programUs = programUs ? programUs : d.programUs;
    part = std::make_unique<PicChip>(d);
  }
  int PinCount() const override { return part->PinCount(); }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override {
    const int address = part->AddressCounter();
    const int before = part->CountedPulses() + part->CompletedCycles();
    part->OnPins(pins, timeUs);
    if (part->CountedPulses() + part->CompletedCycles() != before) ++pulses[address];
  }
  DataDrive DataOut(std::int64_t timeUs) override { return part->DataOut(timeUs); }

  std::unique_ptr<PicChip> part;
  std::map<int, int> pulses;
};

// `count` bits of `value`, least significant first, after the bits of `before`.
std::vector<int> Bits(std::vector<int> before, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) before.push_back(static_cast<int>((value >> i) & 1));
  return before;
}

TEST(PicCommand, FramesOnThePins) {
  for (ProgrammerType type : {ProgrammerType::Jdm, ProgrammerType::TaitSerial}) {
    Rig rig(type);
    ASSERT_TRUE(rig.opened);
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

TEST(AddParityBits, WordMovesUpWithItsParityBelow) {
  EXPECT_EQ(AddParityBits(0x0000), 0x0002);
  EXPECT_EQ(AddParityBits(0x3FFF), 0xFFFD);
  EXPECT_EQ(AddParityBits(0x1234), 0x48D3);
  for (std::uint16_t w = 0; w < 0x4000; ++w) ASSERT_EQ(PicParityData(AddParityBits(w)), w);
  // A blank word stays an erased cell, which an EPROM worker leaves alone; bits above the
  // core do not make a word non-blank.
  EXPECT_EQ(PicParityCell(0x3FFF), 0xFFFF);
  EXPECT_EQ(PicParityCell(0xFFFF), 0xFFFF);
  EXPECT_EQ(PicParityCell(0x1234), 0x48D3);
}

// Read before write: only words that differ under the mask are programmed, each with its full
// 10 ms (the part here needs 9.9 ms). Not verifying as it goes, a word that does not take fails
// nothing; the operation tests show a verifying run stopping at it.
TEST(TProgramThread, ProgramsOnlyWordsThatDiffer) {
  Rig<CountingPic> rig(SettingsFor(ProgrammerType::Jdm), "PIC 16F84", 9900);
  PicChip& part = *rig.chip.part;
  for (int i = 0; i < 32; ++i) part.Code()[i] = static_cast<std::uint16_t>(i * 0x1D7);
  part.SetNeverProgram(PicRegion::Code, 20);
  TProgramThread writer(rig.lines, PicTiming{}, 32);
  writer.Words.assign(part.Code().begin(), part.Code().begin() + 32);
  writer.Words[3] |= 0xC000;
  writer.Words[5] = 0x0101, writer.Words[20] = 0, writer.Words[31] = 0x3FFF;
  writer.Run();
  EXPECT_TRUE(writer.Done.IsSet() && !writer.Failed);
  EXPECT_EQ(rig.chip.pulses, (std::map<int, int>{{5, 1}, {20, 1}, {31, 1}}));
  EXPECT_EQ(part.Code()[5], 0x0101);
  EXPECT_EQ(part.Code()[31], 0x3FFF);
  EXPECT_EQ(part.AbortedCycles(), 0);
  EXPECT_FALSE(writer.Lines().IsPortOpen());
  EXPECT_FALSE(rig.programmer.Board().Pins().mclr);
}

// Runs an EPROM writer of `words` from the start address with at most 25 pulses, then three
// times as many again; `setup` changes what else the test needs. The failing address, or -1.
int OverProgram(const LineContext& lines, std::vector<std::uint16_t> words, bool verify,
                const std::function<void(TOverProgThread&)>& setup = {}) {
  TOverProgThread writer(lines, PicTiming{}, static_cast<int>(words.size()));
  writer.Words = std::move(words);
  writer.PulseFactor = 3;
  writer.MaxPulses = 25;
  writer.VerifyDuringProgramming = verify;
  if (setup) setup(writer);
  writer.Run();
  EXPECT_EQ(writer.Lines().Lines().CriticalDepth, 0);
  return writer.Failed ? writer.FailAddress : -1;
}

// The waits real parts need beyond what the chip models insist on: 20 ms for each of the erase
// sequence's two cycles, 5 ms after every EPROM pulse (here a word that never takes: 25 tries,
// then three times as many).
TEST(PicWaits, EraseCyclesAndEpromPulses) {
  Rig rig(ProgrammerType::TaitSerial);
  auto gapsOfAtLeast = [&](std::int64_t us) {
    const auto edges = rig.chip.EdgesOf(ChipPin::Clock);
    int gaps = 0;
    for (std::size_t i = 1; i < edges.size(); ++i)
      gaps += edges[i].timeUs - edges[i - 1].timeUs >= us;
    rig.chip.ClearEdges();
    return gaps;
  };
  rig.lines.ClosePort();
  ASSERT_TRUE(PicErase(rig.lines, PicTiming{}));
  EXPECT_EQ(gapsOfAtLeast(20000), 2);
  EXPECT_EQ(OverProgram(rig.lines, {0x0000}, false), -1);
  EXPECT_EQ(gapsOfAtLeast(5000), 100);
}

TEST(TOverProgThread, PulsesUntilTakenThenOverProgramsByTheFactor) {
  Rig<CountingPic> rig(SettingsFor(ProgrammerType::TaitSerial), "PIC 16C622");
  rig.chip.part->SetPulsesNeeded(2);
  rig.chip.part->Code()[0] = 0x1234;
  rig.chip.part->Code()[4] = 0x0000;  // a 0 that should be 1 cannot be pulsed back
  // Not verifying: nothing is reported.
  EXPECT_EQ(OverProgram(rig.lines, {0x1234, 0x3FFF, 0x0F0F, 0x3FFF, 0x0001, 0x2AAA}, false), -1);
  // Taken after 2 pulses of at least 100 µs, then 3 x 2 more; the word already right, the
  // blank ones and the 0 that should be 1 get none.
  EXPECT_EQ(rig.chip.pulses, (std::map<int, int>{{2, 8}, {5, 8}}));
  EXPECT_EQ(rig.chip.part->Code()[5], 0x2AAA);
  EXPECT_FALSE(rig.programmer.Board().Pins().vcc);

  // At most 25 tries, then three times as many: without verifying, the 30 pulses this part
  // needs come in the second round. Verifying, a word that has not taken within 25 fails
  // there, before any over-programming.
  for (bool verify : {false, true}) {
    Rig<CountingPic> slow(SettingsFor(ProgrammerType::Jdm), "PIC 16C622");
    slow.chip.part->SetPulsesNeeded(30);
    const int failed = OverProgram(slow.lines, {0x3FFF, 0x0000, 0x1111, 0x2222}, verify);
    EXPECT_EQ(failed, verify ? 1 : -1);
    if (verify) {
      EXPECT_EQ(slow.chip.pulses, (std::map<int, int>{{1, 25}}));
    } else {
      EXPECT_EQ(slow.chip.pulses, (std::map<int, int>{{1, 100}, {2, 100}, {3, 100}}));
      EXPECT_EQ(slow.chip.part->Code()[1], 0);
    }
  }
}

TEST(TOverProgThread, ConfigurationWordPulses) {
  // 14-bit: the eighth word of the area gets exactly 100 pulses without a read-back loop.
  Rig<CountingPic> rig(SettingsFor(ProgrammerType::TaitSerial), "PIC 16C622");
  OverProgram(rig.lines, {1, 2, 3, 4, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FB1}, false, [](auto& w) {
    w.StartCommand = pic::kLoadConfiguration;
    w.ConfigWordSpecial = 1;
    w.ConfigPulseExtra = kConfigWordPulses;
  });
  EXPECT_EQ(rig.chip.pulses[0x2007], 100);
  EXPECT_EQ(rig.chip.pulses[0x2000], 3 + 9);
  EXPECT_EQ(rig.chip.part->IdWord(3), 4);
  EXPECT_EQ(rig.chip.part->ConfigWord(), 0x3FB1);

  // 12-bit: the one configuration word, at the first location, gets the normal loop.
  Rig<CountingPic> small(SettingsFor(ProgrammerType::TaitSerial), "PIC 12C508");
  small.chip.part->SetPulsesNeeded(2);
  OverProgram(small.lines, {0xFEA}, false, [](auto& w) {
    w.Mask = 0xFFF;
    w.PulseFactor = 11;
    w.MaxPulses = 8;
    w.ConfigWordSpecial = 1;
    w.ConfigPulseExtra = kConfigWordPulses;
  });
  EXPECT_EQ(small.chip.pulses, (std::map<int, int>{{0xFFF, 2 + 22}}));  // the reset address
  EXPECT_EQ(small.chip.part->ConfigWord(), 0xFEA);
}

}  // namespace
}  // namespace kestrum
