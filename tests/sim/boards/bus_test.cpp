// SPDX-License-Identifier: GPL-3.0-or-later
// The bus primitives on the simulated pins: bit order, which edge carries data, the I2C
// conditions, acknowledge polling, the IM-Bus phases and the bus delay.
#include "hardware/bus.hpp"

#include <gtest/gtest.h>

#include "../rig.hpp"

namespace kestrum {
namespace {

// Shifts a value out on the data line as a serial device does: one bit per clock, the next
// after each falling edge; `ahead` puts the first bit out before the first clock.
struct ShiftOutChip final : Chip {
  ShiftOutChip(std::uint32_t value, int width, bool msbFirst, bool ahead)
      : value(value), width(width), msbFirst(msbFirst), index(ahead ? 0 : -1) {}
  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t) override {
    index += clock && !pins.clock ? 1 : 0;
    clock = pins.clock;
  }
  DataDrive DataOut(std::int64_t) override {
    if (index < 0 || index >= width) return DataDrive::Released;
    return (value >> (msbFirst ? width - 1 - index : index)) & 1 ? DataDrive::High : DataDrive::Low;
  }
  std::uint32_t value;
  int width;
  bool msbFirst;
  int index;
  bool clock = false;
};

// The new data levels of the data edges that happen while the clock is high.
std::vector<int> DataEdgesWhileClockHigh(const ProbeChip& chip) {
  std::vector<int> result;
  bool clock = false;
  for (const ProbeChip::Edge& e : chip.Edges()) {
    if (e.pin == ChipPin::Clock) clock = e.level;
    if (e.pin == ChipPin::Data && clock) result.push_back(e.level);
  }
  return result;
}

TEST(Bus, ShiftsOutMostSignificantFirstChangingDataOnlyWhileTheClockIsLow) {
  Rig rig(ProgrammerType::Schaer);
  ShiftOutBits(rig.lines, 0x05, 3);
  ShiftOutBits(rig.lines, 0xFF, 0);
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{1, 0, 1}));
  rig.chip.ClearEdges();
  ShiftOutByte(rig.lines, 0xA5);
  ShiftOutWord(rig.lines, 0x8001);
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 0, 0,
                                                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_TRUE(DataEdgesWhileClockHigh(rig.chip).empty());
  EXPECT_FALSE(rig.pins().clock);
}

TEST(Bus, ShiftsInMostSignificantFirst) {
  ShiftOutChip byteChip(0x3C, 8, true, true);  // chips outlive the programmer they sit in
  ShiftOutChip wordChip(0x8421, 16, true, true);
  Rig rig(ProgrammerType::Stk200);
  rig.chip.drive = DataDrive::High;
  EXPECT_EQ(ShiftInByte(rig.lines), 0xFF);
  rig.lines.Settings().InvertDataIn = true;
  EXPECT_EQ(ShiftInByte(rig.lines), 0x00);
  rig.lines.Settings().InvertDataIn = false;
  rig.programmer.Insert(&byteChip);
  EXPECT_EQ(ShiftInByte(rig.lines), 0x3C);
  rig.programmer.Insert(&wordChip);
  EXPECT_EQ(ShiftInWord(rig.lines), 0x8421);
}

TEST(Bus, I2cConditionsMoveDataWhileTheClockIsHigh) {
  Rig rig(ProgrammerType::Conquest);
  I2cStart(rig.lines);
  I2cAck(rig.lines);
  I2cNack(rig.lines);
  I2cStop(rig.lines);
  EXPECT_EQ(DataEdgesWhileClockHigh(rig.chip), (std::vector<int>{0, 1}));  // start, stop
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{1, 0, 1, 0}));
  EXPECT_FALSE(rig.pins().clock);
}

TEST(Bus, I2cWaitAckPollsAtMostLimitTimesEachAfter100Us) {
  Rig rig(ProgrammerType::Conquest);
  // Count only the acknowledge waits: no access time, no bus delay, no Data In samples.
  rig.board().SetAccessTimeUs(0);
  rig.lines.Settings().IODelay = -1;
  rig.lines.Lines().BusDelay = 0;
  for (auto [limit, reads, waitedUs] : {std::tuple{0, 0, 100}, {3, 3, 400}}) {
    rig.board().ResetCounters();
    std::int64_t start = rig.clock.nowUs();
    EXPECT_FALSE(I2cWaitAck(rig.lines, limit));
    EXPECT_EQ(rig.clock.nowUs() - start, waitedUs);
    EXPECT_EQ(rig.board().DataInReads(), reads);
  }
  // The device pulls data low during the ninth clock.
  rig.chip.responder = [](const ChipPins& pins, std::int64_t) {
    return pins.clock ? DataDrive::Low : DataDrive::Released;
  };
  rig.board().ResetCounters();
  EXPECT_TRUE(I2cWaitAck(rig.lines, 10000));
  EXPECT_EQ(rig.board().DataInReads(), 1);
  EXPECT_FALSE(rig.pins().clock);
}

TEST(Bus, ImBusIsLeastSignificantFirstWithTenMicrosecondPhasesAndTheClockLeftHigh) {
  ShiftOutChip chip(0b1010, 4, false, false);
  Rig rig(ProgrammerType::ProPic2);
  rig.board().SetAccessTimeUs(0);
  rig.lines.Settings().IODelay = -1;
  std::int64_t start = rig.clock.nowUs();
  ImBusSend(rig.lines, 0x0001, 3);
  EXPECT_EQ(rig.clock.nowUs() - start, 3 * 30);
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{1, 0, 0}));
  EXPECT_TRUE(rig.pins().clock);
  rig.programmer.Insert(&chip);
  EXPECT_EQ(ImBusReceive(rig.lines, 4), 0b1010);
  EXPECT_EQ(ImBusReceive(rig.lines, 0), 0);
  EXPECT_TRUE(rig.pins().clock);
}

TEST(Bus, AByteTakesSeventeenBusDelaysAndClocksTheFunCardsSmartcard) {
  Rig rig(ProgrammerType::FunCard);
  rig.board().SetAccessTimeUs(0);
  rig.lines.Settings().IODelay = -1;
  std::int64_t start = rig.clock.nowUs();
  ShiftOutByte(rig.lines, 0x5A);
  EXPECT_EQ(rig.clock.nowUs() - start, 17 * 20);
  EXPECT_EQ(rig.chip.EdgesOf(ChipPin::CardClock).size(), 2u * 17);
}

}  // namespace
}  // namespace kestrum
