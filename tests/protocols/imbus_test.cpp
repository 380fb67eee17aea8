// SPDX-License-Identifier: GPL-3.0-or-later
// The IM-Bus transfers on the wire: the framing of a cell read as the part sees it, and the
// erase-then-write of a cell as the NVM 3060 takes it.
#include "protocols/imbus.hpp"

#include <gtest/gtest.h>

#include "../sim/rig.hpp"
#include "sim/chips/nvm3060_chip.hpp"

namespace kestrum {
namespace {

// The bits clocked in on rising clocks, grouped by the IDENT level they came with: "0:" for a
// stretch with IDENT low, "1:" with IDENT high (an empty group is an IDENT pulse without bits).
std::string Framing(const std::vector<ProbeChip::Edge>& edges, bool ident) {
  std::string out = ident ? "1:" : "0:";
  bool data = false;
  for (const ProbeChip::Edge& e : edges) {
    if (e.pin == ChipPin::Data) data = e.level;
    if (e.pin == ChipPin::Mclr) out += e.level ? " 1:" : " 0:";
    if (e.pin == ChipPin::Clock && e.level) out += data ? '1' : '0';
  }
  return out;
}

TEST(ImBus, ReadingCell0123SendsSelectAddressThenReadLeastSignificantBitFirst) {
  Rig rig(SettingsFor(ProgrammerType::ProPic2, 8), 8);
  ImBusIdent(rig.lines, true);
  rig.lines.SetClockLine(1);
  rig.chip.ClearEdges();
  rig.chip.drive = DataDrive::Low;  // the cell reads 00h
  EXPECT_EQ(ImBusReadCell(rig.lines, 0x0123), 0x00);
  // 80h, the address 0123h, the closing pulse; 81h, eight clocks with the line released for
  // the part to pull, the closing pulse.
  EXPECT_EQ(Framing(rig.chip.Edges(), true),
            "1: 0:00000001 1:1100010010000000 0: 1: 0:10000001 1:11111111 0: 1:");
}

TEST(ImBus, AByteIsWrittenAsFF00hPlusItAfterAnEraseWithFFFFh) {
  Rig<Nvm3060Chip> rig(SettingsFor(ProgrammerType::ProPic2, 8));
  rig.chip.SetElement(ChipRegion::Code, 0x10, 0x00);
  ImBusIdent(rig.lines, true);
  rig.lines.SetClockLine(1);
  rig.lines.SetDataLine(1);
  rig.lines.PowerOn();
  ImBusWriteCell(rig.lines, 0x10, 0x5A);
  using T = Nvm3060Chip::Transfer;
  EXPECT_EQ(rig.chip.Transfers(),
            (std::vector<T>{
                {0x80, 0x0010, 16}, {0x83, 0xFFFF, 16}, {0x80, 0x0010, 16}, {0x83, 0xFF5A, 16}}));
  ImBusIdent(rig.lines, false);  // the part takes the write once the write time is over
  EXPECT_EQ(rig.chip.Element(ChipRegion::Code, 0x10), 0x5A);
  EXPECT_EQ(ImBusReadCell(rig.lines, 0x10), 0x5A);
}

}  // namespace
}  // namespace kestrum
