// The bus primitives on the simulated pins: bit order, which edge carries data, the I2C
// conditions, acknowledge polling, the IM-Bus phases and the bus delay.
#include "hardware/bus.hpp"

#include <gtest/gtest.h>

#include "rig.hpp"

namespace kestrum {
namespace {

// A chip that shifts a value out on its data line, one bit per clock, as serial EEPROMs do:
// the first bit is there before the first clock and the next follows each falling edge.
// `ahead` false: the bit appears only after a falling edge (IM-Bus).
class ShiftOutChip final : public Chip {
 public:
  ShiftOutChip(std::uint32_t value, int width, bool msbFirst, bool ahead)
      : value_(value), width_(width), msbFirst_(msbFirst), index_(ahead ? 0 : -1) {}
  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t) override {
    if (clock_ && !pins.clock) ++index_;
    clock_ = pins.clock;
  }
  DataDrive DataOut(std::int64_t) override {
    if (index_ < 0 || index_ >= width_) return DataDrive::Released;
    int bit = msbFirst_ ? width_ - 1 - index_ : index_;
    return (value_ >> bit) & 1 ? DataDrive::High : DataDrive::Low;
  }

 private:
  std::uint32_t value_;
  int width_;
  bool msbFirst_;
  int index_;
  bool clock_ = false;
};

// Data edges while the clock is high, as (new data level) in order: the I2C conditions.
std::vector<int> DataEdgesWhileClockHigh(const ProbeChip& chip) {
  std::vector<int> result;
  bool clock = false;
  for (const ProbeChip::Edge& e : chip.Edges()) {
    if (e.pin == ChipPin::Clock) clock = e.level;
    if (e.pin == ChipPin::Data && clock) result.push_back(e.level ? 1 : 0);
  }
  return result;
}

// Timing tests count only the bus's own waits: no port access time, no I/O delay samples.
Rig& Quiet(Rig& rig) {
  rig.board().SetAccessTimeUs(0);
  rig.lines.Settings().IODelay = -1;
  return rig;
}

TEST(Bus, ShiftOutBitsSendsTheLowBitsMostSignificantFirst) {
  Rig rig(ProgrammerType::Conquest);
  ShiftOutBits(rig.lines, 0x05, 3);
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{1, 0, 1}));
  EXPECT_FALSE(rig.pins().clock);

  rig.chip.ClearEdges();
  ShiftOutBits(rig.lines, 0xFF, 0);
  EXPECT_TRUE(rig.chip.Edges().empty());
  ShiftOutBits(rig.lines, 0x81, 9);  // at most a byte
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(Bus, ByteAndWordShiftsChangeDataOnlyWhileTheClockIsLow) {
  Rig rig(ProgrammerType::Schaer);
  ShiftOutByte(rig.lines, 0xA5);
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{1, 0, 1, 0, 0, 1, 0, 1}));
  EXPECT_TRUE(DataEdgesWhileClockHigh(rig.chip).empty());
  EXPECT_FALSE(rig.pins().clock);

  rig.chip.ClearEdges();
  ShiftOutWord(rig.lines, 0xBEEF);
  std::vector<int> bits;
  for (int i = 15; i >= 0; --i) bits.push_back((0xBEEF >> i) & 1);
  EXPECT_EQ(rig.chip.DataAtClock(true), bits);
  EXPECT_TRUE(DataEdgesWhileClockHigh(rig.chip).empty());
  EXPECT_FALSE(rig.pins().clock);
}

TEST(Bus, ShiftInReadsMostSignificantFirst) {
  Rig rig(ProgrammerType::Stk200);
  ShiftOutChip byteChip(0x3C, 8, true, true);
  rig.programmer.Insert(&byteChip);
  EXPECT_EQ(ShiftInByte(rig.lines), 0x3C);
  EXPECT_FALSE(rig.pins().clock);

  ShiftOutChip wordChip(0x8421, 16, true, true);
  rig.programmer.Insert(&wordChip);
  EXPECT_EQ(ShiftInWord(rig.lines), 0x8421);
  EXPECT_FALSE(rig.pins().clock);
}

TEST(Bus, ShiftInByteWithDataInHeldHigh) {
  Rig rig(ProgrammerType::TaitSerial);
  rig.chip.drive = DataDrive::High;
  EXPECT_EQ(ShiftInByte(rig.lines), 0xFF);
  rig.lines.Settings().InvertDataIn = true;
  EXPECT_EQ(ShiftInByte(rig.lines), 0x00);
  // Released, the line follows the programmer's own released (high) data line.
  rig.lines.Settings().InvertDataIn = false;
  rig.chip.drive = DataDrive::Released;
  EXPECT_EQ(ShiftInByte(rig.lines), 0xFF);
}

TEST(Bus, I2cConditionsMoveDataWhileTheClockIsHigh) {
  Rig rig(ProgrammerType::Conquest);
  I2cStart(rig.lines);
  EXPECT_EQ(DataEdgesWhileClockHigh(rig.chip), (std::vector<int>{0}));
  EXPECT_FALSE(rig.pins().clock);
  EXPECT_FALSE(rig.pins().data);

  rig.chip.ClearEdges();
  I2cStop(rig.lines);
  EXPECT_EQ(DataEdgesWhileClockHigh(rig.chip), (std::vector<int>{1}));
  EXPECT_FALSE(rig.pins().clock);

  rig.chip.ClearEdges();
  I2cAck(rig.lines);
  I2cNack(rig.lines);
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{0, 1}));
  EXPECT_TRUE(DataEdgesWhileClockHigh(rig.chip).empty());
  EXPECT_FALSE(rig.pins().clock);
}

TEST(Bus, I2cWaitAckPollsAtMostLimitTimesEachAfter100Us) {
  Rig rig(ProgrammerType::Conquest);
  Quiet(rig);
  rig.lines.Lines().BusDelay = 0;

  // Limit 0: Data In is never read, and the answer comes after one 100 µs wait.
  rig.board().ResetCounters();
  std::int64_t start = rig.clock.nowUs();
  EXPECT_FALSE(I2cWaitAck(rig.lines, 0));
  EXPECT_EQ(rig.clock.nowUs() - start, 100);
  EXPECT_EQ(rig.board().DataInReads(), 0);

  // No acknowledge: limit reads, limit + 1 waits.
  rig.board().ResetCounters();
  start = rig.clock.nowUs();
  EXPECT_FALSE(I2cWaitAck(rig.lines, 3));
  EXPECT_EQ(rig.clock.nowUs() - start, 400);
  EXPECT_EQ(rig.board().DataInReads(), 3);

  // The device pulls data low during the ninth clock.
  rig.chip.ClearEdges();
  rig.chip.responder = [](const ChipPins& pins, std::int64_t) {
    return pins.clock ? DataDrive::Low : DataDrive::Released;
  };
  rig.board().ResetCounters();
  EXPECT_TRUE(I2cWaitAck(rig.lines, 10000));
  EXPECT_EQ(rig.board().DataInReads(), 1);
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{0}));
  EXPECT_FALSE(rig.pins().clock);
}

TEST(Bus, ImBusSendsAndReceivesLeastSignificantFirstAndLeavesTheClockHigh) {
  Rig rig(ProgrammerType::ProPic2);
  ImBusSend(rig.lines, 0x0001, 3);
  EXPECT_EQ(rig.chip.DataAtClock(true), (std::vector<int>{1, 0, 0}));
  EXPECT_TRUE(rig.pins().clock);

  rig.chip.ClearEdges();
  ImBusSend(rig.lines, 0xFFFF, 0);
  EXPECT_EQ(ImBusReceive(rig.lines, 0), 0);
  EXPECT_TRUE(rig.chip.Edges().empty());

  ShiftOutChip chip(0b1010, 4, false, false);
  rig.programmer.Insert(&chip);
  EXPECT_EQ(ImBusReceive(rig.lines, 4), 0b1010);
  EXPECT_TRUE(rig.pins().clock);
}

TEST(Bus, WaitsAreBusDelaysAndFixedImBusPhases) {
  Rig rig(ProgrammerType::Conquest);
  Quiet(rig);
  std::int64_t start = rig.clock.nowUs();
  ShiftOutByte(rig.lines, 0x00);
  EXPECT_EQ(rig.clock.nowUs() - start, 17 * 20);
  rig.lines.Lines().BusDelay = 7;
  start = rig.clock.nowUs();
  ShiftOutBits(rig.lines, 0, 2);
  EXPECT_EQ(rig.clock.nowUs() - start, 2 * 3 * 7);
  start = rig.clock.nowUs();
  ImBusSend(rig.lines, 0, 2);
  ImBusReceive(rig.lines, 1);
  EXPECT_EQ(rig.clock.nowUs() - start, 2 * 3 * 10 + 4 * 10);
}

TEST(Bus, TheFunCardClocksItsSmartcardWhileBytesAreShifted) {
  Rig funCard(ProgrammerType::FunCard);
  ShiftOutByte(funCard.lines, 0x5A);
  EXPECT_EQ(funCard.chip.EdgesOf(ChipPin::CardClock).size(), 2u * 17);
  EXPECT_EQ(funCard.chip.DataAtClock(true), (std::vector<int>{0, 1, 0, 1, 1, 0, 1, 0}));
  Rig conquest(ProgrammerType::Conquest);
  ShiftOutByte(conquest.lines, 0x5A);
  EXPECT_TRUE(conquest.chip.EdgesOf(ChipPin::CardClock).empty());
}

}  // namespace
}  // namespace kestrum
