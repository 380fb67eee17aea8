// SPDX-License-Identifier: GPL-3.0-or-later
// Every logical line operation of every programmer type lands on the right socket pin at the
// right level, under every combination of the invert options (with a board whose inverters
// match them). The board's wiring is the simulator's own table, so this checks the line
// layer's table against it.
#include <gtest/gtest.h>

#include "../rig.hpp"

namespace kestrum {
namespace {

struct Variant {
  ProgrammerType type;
  bool api = false;
  bool powerControl = false;
  const char* name;
};

const Variant kVariants[] = {
    {ProgrammerType::Jdm, false, false, "JdmDirect"},
    {ProgrammerType::Jdm, true, false, "JdmApi"},
    {ProgrammerType::Jdm, false, true, "JdmPowerControl"},
    {ProgrammerType::Jdm, true, true, "JdmApiPowerControl"},
    {ProgrammerType::Conquest, false, false, "Conquest"},
    {ProgrammerType::TaitSerial, false, false, "TaitSerial"},
    {ProgrammerType::FunCard, false, false, "FunCard"},
    {ProgrammerType::ProPic2, false, false, "ProPic2"},
    {ProgrammerType::Schaer, false, false, "Schaer"},
    {ProgrammerType::Stk200, false, false, "Stk200"},
    {ProgrammerType::An589, false, false, "An589"},
};

class LinePins : public testing::TestWithParam<std::tuple<Variant, int>> {};

TEST_P(LinePins, LogicalLevelsReachTheSocket) {
  const auto& [variant, mask] = GetParam();
  HardwareSettings s = SettingsFor(variant.type);
  s.Api = variant.api;
  s.PowerControl = variant.powerControl;
  s.InvertDataOut = mask & 1;
  s.InvertDataIn = mask & 2;
  s.InvertSCK = mask & 4;
  s.InvertMCLR = mask & 8;
  s.InvertVCC = mask & 16;
  Rig rig(s);
  ASSERT_TRUE(rig.opened);
  rig.board().SetInversions({.dataOut = s.InvertDataOut,
                             .dataIn = s.InvertDataIn,
                             .clock = s.InvertSCK,
                             .mclr = s.InvertMCLR,
                             .vcc = s.InvertVCC});
  LineContext& l = rig.lines;
  const bool jdm = variant.type == ProgrammerType::Jdm;
  const bool an589 = variant.type == ProgrammerType::An589;
  // The JDM switches its supply only with power control; the AN589 has none to switch.
  const bool switchesVcc = jdm ? variant.powerControl : !an589;

  auto expectRest = [&](const char* when) {
    SCOPED_TRACE(when);
    const ChipPins& p = rig.pins();
    // The JDM with power control rests unpowered with every line high, break included.
    if (!(jdm && variant.powerControl)) {
      EXPECT_FALSE(p.mclr);
    }
    EXPECT_EQ(p.vcc, !switchesVcc);
    // The AN589 rests only its strobe; the JDM's lines stay where the sequence left them.
    if (!an589 && !jdm) {
      EXPECT_FALSE(p.data);
      EXPECT_FALSE(p.clock);
    }
  };

  l.VppOff();
  l.AllLinesOff();
  l.DelayMicroseconds(1000);
  expectRest("at the start");

  l.PowerOn();
  EXPECT_TRUE(rig.pins().vcc);

  for (std::uint8_t v = 0; v < 4; ++v) {
    l.SetDataClock(v);
    EXPECT_EQ(rig.pins().data, (v & 1) != 0) << int(v);
    EXPECT_EQ(rig.pins().clock, (v & 2) != 0) << int(v);
    // With the chip silent, Data In reads back the programmer's own data line.
    EXPECT_EQ(l.Lines().DataInBit, v & 1) << int(v);
  }

  l.SetDataLine(1);  // through the shadow: each keeps the other line where it was
  l.SetClockLine(1);
  EXPECT_TRUE(rig.pins().data);
  l.SetDataLine(0);
  EXPECT_TRUE(rig.pins().clock);
  l.SetClockLine(0);

  // Through the system calls, the JDM's zero bytes may still be on their way while break
  // hides them; they are out within a millisecond.
  auto settle = [&] { l.DelayMicroseconds(1000); };
  l.VppOn();
  EXPECT_TRUE(rig.pins().mclr);
  l.VppOff();
  settle();
  EXPECT_FALSE(rig.pins().mclr);
  l.VppOnFast();
  EXPECT_TRUE(rig.pins().mclr);
  l.VppOff();
  settle();
  EXPECT_FALSE(rig.pins().mclr);

  rig.chip.drive = DataDrive::High;
  EXPECT_EQ(l.ReadDataIn(), 1);
  rig.chip.drive = DataDrive::Low;
  l.SetDataLine(1);
  EXPECT_EQ(l.ReadDataIn(), 0);
  EXPECT_EQ(l.Lines().DataInBit, 0);
  rig.chip.drive = DataDrive::Released;
  EXPECT_EQ(l.ReadDataIn(), 1);

  rig.chip.ClearEdges();
  l.ClockBit(1);
  l.ClockBit(0);
  EXPECT_EQ(rig.chip.DataAtClock(false), (std::vector<int>{1, 0}));
  EXPECT_FALSE(rig.pins().clock);
  if (!an589) {
    EXPECT_FALSE(rig.pins().data);
  }

  rig.chip.ClearEdges();
  l.CardClockPulse();
  EXPECT_EQ(rig.chip.EdgesOf(ChipPin::CardClock).size(),
            variant.type == ProgrammerType::FunCard ? 2u : 0u);

  l.VppOff();
  l.AllLinesOff();
  l.DelayMicroseconds(1000);
  expectRest("at the end");
}

std::string Name(const testing::TestParamInfo<LinePins::ParamType>& info) {
  return std::string(std::get<0>(info.param).name) + "_invert" +
         std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(AllTypes, LinePins,
                         testing::Combine(testing::ValuesIn(kVariants), testing::Range(0, 32)),
                         Name);

TEST(LinePins, TafeAndTaitParallelLeaveThePortUntouched) {
  for (ProgrammerType type : {ProgrammerType::Tafe, ProgrammerType::TaitParallel}) {
    Rig rig(type);
    LineContext& l = rig.lines;
    l.AllLinesOff();
    l.PowerOn();
    l.VppOn();
    l.SetDataLine(1);
    l.ClockBit(1);
    l.CardClockPulse();
    EXPECT_EQ(l.ReadDataIn(), 0);
    EXPECT_TRUE(rig.board().Log().empty());
  }
}

}  // namespace
}  // namespace kestrum
