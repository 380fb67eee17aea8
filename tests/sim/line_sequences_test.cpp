// The sequences of the line layer that are not a table row, watched on the simulated
// programmer's registers and pins: the JDM break/VPP sequence in both interfaces, the AN589
// strobe, the ProPic 2 socket choice, the TAIT Serial supply bit, Data In sampling, and what
// happens without a port.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "rig.hpp"

namespace kestrum {
namespace {

using Kind = PortAccessRecord::Kind;

int CountWrites(const std::vector<PortAccessRecord>& log, std::uint16_t address,
                std::optional<std::uint8_t> value = std::nullopt) {
  return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const PortAccessRecord& r) {
    return r.kind == Kind::Out && r.address == address && (!value || r.value == *value);
  }));
}

int CountRising(const ProbeChip& chip, ChipPin pin) {
  int n = 0;
  for (const ProbeChip::Edge& e : chip.EdgesOf(pin)) n += e.level ? 1 : 0;
  return n;
}

TEST(LineSequences, ConquestAllLinesOffRestsD0ToD4AndKeepsD5ToD7) {
  Rig rig(ProgrammerType::Conquest);
  rig.lines.PortOut(rig.base(), 0xFF);
  rig.lines.AllLinesOff();
  EXPECT_EQ(rig.board().DataRegister(), 0xE0);
  EXPECT_EQ(rig.pins(), (ChipPins{}));

  HardwareSettings s = SettingsFor(ProgrammerType::Conquest);
  s.InvertVCC = true;
  s.InvertMCLR = true;
  Rig inverted(s);
  inverted.lines.PortOut(inverted.base(), 0x00);
  inverted.lines.AllLinesOff();
  EXPECT_EQ(inverted.board().DataRegister(), kD2 | kD3 | kD4);
}

TEST(LineSequences, JdmDirectVppOnPumpsThreeZeroBytesThenHoldsBreak) {
  Rig rig(ProgrammerType::Jdm);
  std::uint16_t lcr = rig.base() + reg::kLcr;
  std::int64_t start = rig.clock.nowUs();
  rig.lines.DriveVppOn();
  const auto& log = rig.board().Log();
  EXPECT_EQ(CountWrites(log, rig.base() + reg::kThr, 0x00), 3);
  ASSERT_FALSE(log.empty());
  // Break first (it was off, so 350 ms to charge), then off for the bytes, then on to stay.
  EXPECT_EQ(CountWrites(log, lcr, 0x47), 2);
  EXPECT_EQ(CountWrites(log, lcr, 0x07), 1);
  EXPECT_GE(rig.clock.nowUs() - start, 350000 + 100);
  EXPECT_TRUE(rig.pins().mclr);
  // TXD: break, then each byte's start and data bits at space level, then break.
  EXPECT_EQ(CountRising(rig.chip, ChipPin::Mclr), 5);

  // With break already set there is no 350 ms wait, but the bytes are still sent.
  rig.board().ClearLog();
  start = rig.clock.nowUs();
  rig.lines.DriveVppOn();
  EXPECT_LT(rig.clock.nowUs() - start, 350000);
  EXPECT_EQ(CountWrites(rig.board().Log(), rig.base() + reg::kThr, 0x00), 3);

  rig.board().ClearLog();
  rig.lines.DriveVppOff();
  EXPECT_EQ(rig.board().Log().back(), (PortAccessRecord{rig.board().Log().back().timeUs, Kind::Out,
                                                        lcr, 0x07}));
  EXPECT_FALSE(rig.pins().mclr);
}

TEST(LineSequences, InvertMclrSwapsTheWholeJdmSequence) {
  HardwareSettings s = SettingsFor(ProgrammerType::Jdm);
  s.InvertMCLR = true;
  Rig rig(s);
  rig.lines.VppOff();  // runs the break sequence
  EXPECT_EQ(CountWrites(rig.board().Log(), rig.base() + reg::kThr, 0x00), 3);
  EXPECT_TRUE(rig.board().LineControl() & kLcrBreak);
  rig.board().ClearLog();
  rig.lines.VppOn();  // only clears break
  EXPECT_EQ(rig.board().Log().size(), 1u);
  EXPECT_FALSE(rig.board().LineControl() & kLcrBreak);
  rig.board().ClearLog();
  rig.lines.VppOnFast();  // clears break, no waits
  EXPECT_EQ(CountWrites(rig.board().Log(), rig.base() + reg::kLcr, 0x07), 1);
}

TEST(LineSequences, JdmWaitForAnEmptyTransmitterIsBounded) {
  Rig rig(ProgrammerType::Jdm);
  rig.board().SetTransmitterStuck(true);
  rig.lines.PortOut(rig.base() + reg::kLcr, 0x47);
  std::int64_t start = rig.clock.nowUs();
  rig.lines.DriveVppOn();
  std::int64_t elapsed = rig.clock.nowUs() - start;
  EXPECT_GE(elapsed, 3 * kTransmitterWaitLimitUs);
  EXPECT_LT(elapsed, 4 * kTransmitterWaitLimitUs);
  // It gave up and went on: break is on and VPP with it.
  EXPECT_TRUE(rig.board().LineControl() & kLcrBreak);
  EXPECT_TRUE(rig.pins().mclr);
}

TEST(LineSequences, JdmThroughTheSystemCalls) {
  HardwareSettings s = SettingsFor(ProgrammerType::Jdm);
  s.Api = true;
  Rig rig(s);
  rig.lines.DriveVppOn();
  std::vector<Kind> kinds;
  for (const PortAccessRecord& r : rig.board().Log()) kinds.push_back(r.kind);
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::SetBreak, Kind::LineFormat, Kind::SetBreak,
                                      Kind::WriteByte, Kind::WriteByte, Kind::WriteByte,
                                      Kind::SetBreak}));
  const auto& log = rig.board().Log();
  EXPECT_EQ(log[0].value, 1);
  EXPECT_EQ(log[2].value, 0);
  EXPECT_EQ(log[2].timeUs - log[1].timeUs, 350000 + 1);  // always the 350 ms
  EXPECT_EQ(log[6].value, 1);

  // RTS first, then DTR; Data In through the modem status call, IODelay + 1 times.
  rig.board().ClearLog();
  rig.lines.Settings().IODelay = 2;
  rig.lines.SetDataClock(1);
  kinds.clear();
  for (const PortAccessRecord& r : rig.board().Log()) kinds.push_back(r.kind);
  EXPECT_EQ(kinds, (std::vector<Kind>{Kind::SetRts, Kind::SetDtr, Kind::Cts, Kind::Cts, Kind::Cts}));
  EXPECT_TRUE(rig.pins().data);
  EXPECT_FALSE(rig.pins().clock);
}

TEST(LineSequences, JdmClockBitSettlesWhenTheChipDisagrees) {
  Rig rig(ProgrammerType::Jdm);
  std::uint16_t mcr = rig.base() + reg::kMcr;
  rig.lines.ClockBit(1);
  EXPECT_EQ(CountWrites(rig.board().Log(), mcr), 3);
  rig.board().ClearLog();
  rig.chip.drive = DataDrive::Low;
  rig.lines.ClockBit(1);
  EXPECT_EQ(CountWrites(rig.board().Log(), mcr), 3 + 5);
  // Clock low, idle, then five more idle writes.
  EXPECT_EQ(CountWrites(rig.board().Log(), mcr, 0), 2 + 5);
}

TEST(LineSequences, JdmPowerControlBringsVppUpAfterTheSupply) {
  HardwareSettings s = SettingsFor(ProgrammerType::Jdm);
  s.PowerControl = true;
  Rig rig(s);
  rig.lines.AllLinesOff();
  EXPECT_FALSE(rig.pins().vcc);
  rig.chip.ClearEdges();
  rig.lines.PowerOn();
  auto vcc = rig.chip.EdgesOf(ChipPin::Vcc);
  auto mclr = rig.chip.EdgesOf(ChipPin::Mclr);
  ASSERT_EQ(vcc.size(), 1u);
  ASSERT_FALSE(mclr.empty());
  EXPECT_TRUE(mclr.back().level);
  EXPECT_GE(mclr.back().timeUs - vcc.front().timeUs, 3500);
}

TEST(LineSequences, ProPic2SwitchesVppToTheSocketOfTheDevice) {
  // 32 pins: no socket, so no bit changes, but the wait after VPP off still happens.
  HardwareSettings s = SettingsFor(ProgrammerType::ProPic2);
  s.PinCount = 32;
  Rig none(s, 32);
  std::int64_t start = none.clock.nowUs();
  none.lines.DriveVppOn();
  EXPECT_EQ(none.clock.nowUs(), start);
  none.lines.DriveVppOff();
  EXPECT_EQ(none.clock.nowUs() - start, 100);
  EXPECT_TRUE(none.board().Log().empty());

  s.PinCount = 40;
  Rig large(s, 40);
  large.lines.VppOn();
  EXPECT_EQ(large.board().DataRegister() & (kD3 | kD4), kD4);
  EXPECT_TRUE(large.pins().mclr);
  large.lines.VppOff();
  EXPECT_FALSE(large.pins().mclr);

  s.PinCount = 8;
  Rig small(s, 8);
  small.lines.VppOn();
  EXPECT_EQ(small.board().DataRegister() & (kD3 | kD4), kD3);
  EXPECT_TRUE(small.pins().mclr);
}

TEST(LineSequences, TaitSerialPowerOnSetsD4WhateverInvertVccSays) {
  for (bool invert : {false, true}) {
    HardwareSettings s = SettingsFor(ProgrammerType::TaitSerial);
    s.InvertVCC = invert;
    Rig rig(s);
    rig.lines.PowerOn();
    EXPECT_EQ(rig.board().DataRegister() & (kD2 | kD4), invert ? kD4 : (kD2 | kD4));
    rig.lines.AllLinesOff();
    EXPECT_TRUE(rig.board().DataRegister() & kD4);
  }
}

TEST(LineSequences, An589StrobesDataAndClockThroughItsLatch) {
  Rig rig(ProgrammerType::An589);
  std::uint16_t data = rig.base() + reg::kData;
  rig.lines.PortOut(data, kD2 | kD5);
  rig.board().ClearLog();
  rig.chip.ClearEdges();
  rig.lines.SetDataClock(3);
  const auto& log = rig.board().Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[1].value, kD0 | kD1);  // strobe and D5 low with the new levels
  EXPECT_EQ(log[2].value, kD0 | kD1 | kD2);
  EXPECT_GE(log[2].timeUs - log[1].timeUs, 50);
  // The socket sees the change only when the strobe opens the latch.
  auto edges = rig.chip.EdgesOf(ChipPin::Clock);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0].timeUs, log[2].timeUs);

  rig.lines.ClockBit(1);
  EXPECT_EQ(rig.board().DataRegister() & (kD2 | kD5), 0);
  rig.board().ClearLog();
  rig.lines.ReadDataIn();  // sets the strobe before it reads
  EXPECT_EQ(rig.board().Log()[1].value & kD2, kD2);
  EXPECT_EQ(rig.board().Log()[2].address, rig.base() + reg::kStatus);
  rig.lines.AllLinesOff();
  EXPECT_EQ(rig.board().DataRegister() & (kD2 | kD5), kD2 | kD5);
}

TEST(LineSequences, DataInIsSampledIoDelayPlusOneTimesAndTheLastSampleCounts) {
  HardwareSettings s = SettingsFor(ProgrammerType::Stk200);
  s.IODelay = 1;
  Rig rig(s);
  // The chip answers high to the first sample of each pair and low to the second.
  rig.chip.responder = [&](const ChipPins&, std::int64_t) {
    return rig.board().DataInReads() % 2 == 1 ? DataDrive::High : DataDrive::Low;
  };
  rig.board().ResetCounters();
  rig.lines.SetDataClock(1);
  EXPECT_EQ(rig.board().DataInReads(), 2);
  EXPECT_EQ(rig.lines.Lines().DataInBit, 0);

  rig.lines.Settings().InvertDataIn = true;
  rig.board().ResetCounters();
  rig.lines.SetDataClock(1);
  EXPECT_EQ(rig.lines.Lines().DataInBit, 1);  // inverted once, not per sample

  // A negative delay takes no sample and leaves the last one as it was.
  rig.lines.Settings().IODelay = -1;
  rig.board().ResetCounters();
  rig.lines.SetDataClock(0);
  rig.lines.SetDataClock(1);
  EXPECT_EQ(rig.board().DataInReads(), 0);
  EXPECT_EQ(rig.lines.Lines().DataInBit, 1);
}

TEST(LineSequences, TheVirtualProgrammerServesTheDefaultPortName) {
  HardwareSettings s;  // JDM on "Com 2", no port base derived
  ASSERT_EQ(s.PortBase, 0);
  Rig rig(s);
  ASSERT_TRUE(rig.opened);
  EXPECT_EQ(rig.base(), 0x3F8);
  rig.lines.SetDataClock(1);
  EXPECT_TRUE(rig.pins().data);
  EXPECT_TRUE(rig.ui.Entries().empty());
}

TEST(LineSequences, APortThatDoesNotOpenIsReportedAndNothingIsDriven) {
  VirtualClock clock;
  RecordingUi ui;
  VirtualProgrammer programmer(clock);
  programmer.Board().KeepLog(true);
  programmer.FailOpen(EACCES);
  LineContext lines(SettingsFor(ProgrammerType::Jdm), clock, ui, programmer);
  EXPECT_FALSE(lines.OpenPort());
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{
                               "Cannot open /dev/ttyS0 (Com1): Permission denied. Add your user "
                               "to the group \"dialout\" and log in again."});
  lines.AllLinesOff();
  lines.PowerOn();
  lines.VppOn();
  lines.SetDataClock(3);
  EXPECT_TRUE(programmer.Board().Log().empty());
  EXPECT_EQ(programmer.OpenCount(), 0);
}

}  // namespace
}  // namespace kestrum
