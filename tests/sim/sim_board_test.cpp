// The simulated board on its own: UART frames on TXD in virtual time, the transmitter status,
// the JDM's line-fed supply, what closing a tty does, and the parallel status inputs.
#include "sim/sim_board.hpp"

#include <gtest/gtest.h>

#include "sim/probe_chip.hpp"

namespace kestrum {
namespace {

constexpr std::uint16_t kCom1 = 0x3F8;

struct Board {
  Board(ProgrammerType type, std::uint16_t base) : board(clock) {
    board.Configure(type, base);
    board.SetAccessTimeUs(0);
    board.Insert(&chip);
  }
  VirtualClock clock{0};
  SimBoard board;
  ProbeChip chip;
};

TEST(SimBoard, AByteOnTxdHoldsSpaceForStartAndZeroBitsThenMark) {
  Board b(ProgrammerType::Jdm, kCom1);
  b.board.Out(kCom1 + reg::kLcr, kLcr8N2);  // 115200 baud: 8.68 µs a bit
  b.board.Out(kCom1 + reg::kThr, 0xF0);
  EXPECT_EQ(b.board.In(kCom1 + reg::kLsr) & kLsrThre, 0);
  b.clock.Advance(200);
  EXPECT_EQ(b.board.In(kCom1 + reg::kLsr), kLsrThre | kLsrTemt);
  // Start and the four low zero bits at space (VPP up on the JDM), the ones and stops at mark.
  auto mclr = b.chip.EdgesOf(ChipPin::Mclr);
  ASSERT_EQ(mclr.size(), 2u);
  EXPECT_TRUE(mclr[0].level);
  EXPECT_EQ(mclr[0].timeUs, 0);
  EXPECT_FALSE(mclr[1].level);
  EXPECT_EQ(mclr[1].timeUs, 44);  // 5 bits of 8680 ns, rounded up

  // 9600 baud through the divisor latch: an 11-bit frame takes 1146 µs.
  b.board.Out(kCom1 + reg::kLcr, kLcr8N2 | kLcrDlab);
  b.board.Out(kCom1 + reg::kThr, 12);
  b.board.Out(kCom1 + reg::kDivisorHigh, 0);
  b.board.Out(kCom1 + reg::kLcr, kLcr8N2);
  b.board.Out(kCom1 + reg::kThr, 0x00);
  b.clock.Advance(1140);
  EXPECT_EQ(b.board.In(kCom1 + reg::kLsr) & kLsrThre, 0);
  b.clock.Advance(10);
  EXPECT_EQ(b.board.In(kCom1 + reg::kLsr) & kLsrThre, kLsrThre);
}

TEST(SimBoard, BreakHoldsTxdAtSpaceOverAnyFrameAndClosingTheTtyDropsIt) {
  Board b(ProgrammerType::Jdm, kCom1);
  b.board.SetLineFormat(LineFormat{.baud = 115200});
  b.board.WriteByte(0xFF);
  b.board.SetBreak(true);
  b.clock.Advance(5);
  EXPECT_TRUE(b.board.Pins().mclr);
  b.clock.Advance(500);
  EXPECT_TRUE(b.board.Pins().mclr);
  b.board.PortClosed();
  EXPECT_FALSE(b.board.Pins().mclr);
}

TEST(SimBoard, JdmSupplyRunsDownWhenEveryLineStaysHigh) {
  Board b(ProgrammerType::Jdm, kCom1);
  EXPECT_TRUE(b.board.Pins().vcc);
  b.board.Out(kCom1 + reg::kMcr, kMcrDtr | kMcrRts);
  b.board.Out(kCom1 + reg::kLcr, kLcr8N2 | kLcrBreak);
  b.clock.Advance(kJdmSupplyHoldUs - 1);
  EXPECT_TRUE(b.board.Pins().vcc);
  // A moment with one line low recharges the rail.
  b.board.Out(kCom1 + reg::kMcr, kMcrRts);
  b.board.Out(kCom1 + reg::kMcr, kMcrDtr | kMcrRts);
  b.clock.Advance(kJdmSupplyHoldUs - 1);
  EXPECT_TRUE(b.board.Pins().vcc);
  b.clock.Advance(kJdmSupplyHoldUs);
  EXPECT_FALSE(b.board.Pins().vcc);
  auto vcc = b.chip.EdgesOf(ChipPin::Vcc);
  ASSERT_EQ(vcc.size(), 1u);
  EXPECT_EQ(vcc[0].timeUs, 2 * kJdmSupplyHoldUs - 1);  // the chip saw it when it happened
  b.board.Out(kCom1 + reg::kLcr, kLcr8N2);
  EXPECT_TRUE(b.board.Pins().vcc);
}

TEST(SimBoard, ParallelStatusInputsFloatHighAndBusyReadsInverted) {
  Board busy(ProgrammerType::Conquest, 0x378);
  busy.chip.drive = DataDrive::High;
  EXPECT_EQ(busy.board.In(0x379), 0x7F);
  busy.chip.drive = DataDrive::Low;
  EXPECT_EQ(busy.board.In(0x379), 0xFF);
  busy.board.SetInversions({.dataIn = true});
  EXPECT_EQ(busy.board.In(0x379), 0x7F);

  Board ack(ProgrammerType::Stk200, 0x278);
  ack.chip.drive = DataDrive::Low;
  EXPECT_EQ(ack.board.In(0x279), 0x3F);
  EXPECT_EQ(ack.board.DataInReads(), 1);
  // A released line shows the programmer's own data out (D5 on the STK200).
  ack.chip.drive = DataDrive::Released;
  ack.board.Out(0x278, kD5);
  EXPECT_EQ(ack.board.In(0x279), 0x7F);
  // Control and extended control keep what was written; other ports' addresses float.
  ack.board.Out(0x27A, 0x27);
  ack.board.Out(0x278 + 0x402, 0x34);
  EXPECT_EQ(ack.board.In(0x27A), 0x27);
  EXPECT_EQ(ack.board.In(0x278 + 0x402), 0x34);
  EXPECT_EQ(ack.board.In(0x379), kFloatingBus);
}

TEST(SimBoard, EveryAccessCostsItsTimeAndReachesTheLog) {
  VirtualClock clock(0);
  SimBoard board(clock);
  board.Configure(ProgrammerType::Conquest, 0x378);
  board.KeepLog(true);
  board.Out(0x378, 0x01);
  board.In(0x379);
  EXPECT_EQ(clock.nowUs(), 2);
  ASSERT_EQ(board.Log().size(), 2u);
  EXPECT_EQ(board.Log()[1].timeUs, 1);
  EXPECT_EQ(board.Log()[1].kind, PortAccessRecord::Kind::In);
}

}  // namespace
}  // namespace kestrum
