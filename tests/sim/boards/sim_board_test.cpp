// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated board on its own: UART frames on TXD in virtual time, the transmitter status,
// and the JDM's line-fed supply.
#include "sim/boards/sim_board.hpp"

#include <gtest/gtest.h>

#include "sim/chips/probe_chip.hpp"

namespace kestrum {
namespace {

constexpr std::uint16_t kCom1 = 0x3F8;

struct JdmBoard {
  JdmBoard() {
    board.Configure(ProgrammerType::Jdm, kCom1);
    board.SetAccessTimeUs(0);
    board.Insert(&chip);
    board.Out(kCom1 + reg::kLcr, kLcr8N2);  // 115200 baud: 8.68 µs a bit
  }
  VirtualClock clock{0};
  SimBoard board{clock};
  ProbeChip chip;
};

TEST(SimBoard, AByteOnTxdHoldsSpaceForItsZeroBitsUntilTheFrameIsOut) {
  JdmBoard b;
  b.board.Out(kCom1 + reg::kThr, 0xF0);
  EXPECT_EQ(b.board.In(kCom1 + reg::kLsr) & kLsrThre, 0);
  b.clock.Advance(96);  // 11 bits
  EXPECT_EQ(b.board.In(kCom1 + reg::kLsr), kLsrThre | kLsrTemt);
  // Start and four zero bits at space (VPP up on the JDM), then the ones and stops at mark.
  EXPECT_EQ(b.chip.Edges(),
            (std::vector<ProbeChip::Edge>{{ChipPin::Mclr, true, 0}, {ChipPin::Mclr, false, 44}}));
  // 9600 baud through the divisor latch: 1146 µs a frame. Break holds space over it.
  b.board.Out(kCom1 + reg::kLcr, kLcr8N2 | kLcrDlab);
  b.board.Out(kCom1 + reg::kThr, 12);
  b.board.Out(kCom1 + reg::kLcr, kLcr8N2 | kLcrBreak);
  b.board.Out(kCom1 + reg::kThr, 0xFF);
  b.clock.Advance(1140);
  EXPECT_EQ(b.board.In(kCom1 + reg::kLsr) & kLsrThre, 0);
  b.clock.Advance(10);
  EXPECT_EQ(b.board.In(kCom1 + reg::kLsr) & kLsrThre, kLsrThre);
  EXPECT_TRUE(b.board.Pins().mclr);
  b.board.PortClosed();  // the tty driver clears break on close
  EXPECT_FALSE(b.board.Pins().mclr);
}

TEST(SimBoard, JdmSupplyRunsDownWhenEveryLineStaysHigh) {
  JdmBoard b;
  b.board.Out(kCom1 + reg::kMcr, kMcrDtr | kMcrRts);
  b.board.Out(kCom1 + reg::kLcr, kLcr8N2 | kLcrBreak);
  b.clock.Advance(kJdmSupplyHoldUs - 1);
  b.board.Out(kCom1 + reg::kMcr, kMcrRts);  // a moment with a line low recharges the rail
  b.board.Out(kCom1 + reg::kMcr, kMcrDtr | kMcrRts);
  b.clock.Advance(kJdmSupplyHoldUs - 1);
  EXPECT_TRUE(b.board.Pins().vcc);
  b.clock.Advance(kJdmSupplyHoldUs);
  EXPECT_FALSE(b.board.Pins().vcc);
  // The chip saw the supply go when it went, not when someone looked.
  EXPECT_EQ(b.chip.EdgesOf(ChipPin::Vcc),
            (std::vector<ProbeChip::Edge>{{ChipPin::Vcc, false, 2 * kJdmSupplyHoldUs - 1}}));
}

}  // namespace
}  // namespace kestrum
