// SPDX-License-Identifier: GPL-3.0-or-later
// The sequences of the line layer that are not a table row, watched on the simulated
// programmer's registers and pins (the JDM break/VPP sequence in both interfaces, the AN589
// strobe, the ProPic 2 socket, Data In sampling), and the line context's port rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "../rig.hpp"

namespace kestrum {
namespace {

using Kind = PortAccessRecord::Kind;

int Writes(Rig<>& rig, std::uint16_t offset, std::optional<std::uint8_t> value = std::nullopt) {
  const auto& log = rig.board().Log();
  return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const PortAccessRecord& r) {
    return r.kind == Kind::Out && r.address == rig.base() + offset && (!value || r.value == *value);
  }));
}

TEST(LineSequences, RowRulesBeyondThePins) {
  Rig conquest(ProgrammerType::Conquest);  // AllLinesOff rests D0..D4 and keeps D5..D7
  conquest.lines.PortOut(conquest.base(), 0xFF);
  conquest.lines.AllLinesOff();
  EXPECT_EQ(conquest.board().DataRegister(), 0xE0);
  HardwareSettings s = SettingsFor(ProgrammerType::TaitSerial);
  s.InvertVCC = true;  // the TAIT Serial's D4 comes on with the supply regardless
  Rig tait(s);
  tait.lines.PowerOn();
  EXPECT_EQ(tait.board().DataRegister() & (kD2 | kD4), kD4);
}

TEST(LineSequences, JdmVppOnPumpsThreeZeroBytesThenHoldsBreak) {
  Rig rig(ProgrammerType::Jdm);
  std::int64_t start = rig.clock.nowUs();
  rig.lines.DriveVppOn();
  // Break (it was off: 350 ms to charge), off for the three bytes, on to stay.
  EXPECT_EQ(Writes(rig, reg::kThr, 0x00), 3);
  EXPECT_EQ(Writes(rig, reg::kLcr), 3);
  EXPECT_GE(rig.clock.nowUs() - start, 350000);
  EXPECT_TRUE(rig.pins().mclr);
  // On TXD: break, then each byte's start and data bits at space level, then break again.
  auto mclr = rig.chip.EdgesOf(ChipPin::Mclr);
  EXPECT_EQ(std::count_if(mclr.begin(), mclr.end(), [](auto& e) { return e.level; }), 5);

  // With break already on: no 350 ms wait, but the bytes still go out.
  rig.board().ClearLog();
  start = rig.clock.nowUs();
  rig.lines.DriveVppOn();
  EXPECT_LT(rig.clock.nowUs() - start, 350000);
  EXPECT_EQ(Writes(rig, reg::kThr, 0x00), 3);

  // InvertMCLR swaps the whole sequence: VppOff pumps, VppOn only clears break.
  rig.lines.Settings().InvertMCLR = true;
  rig.board().ClearLog();
  rig.lines.VppOn();
  EXPECT_EQ(rig.board().Log().size(), 1u);
  EXPECT_FALSE(rig.pins().mclr);
  rig.lines.VppOff();
  EXPECT_EQ(Writes(rig, reg::kThr, 0x00), 3);
  EXPECT_TRUE(rig.pins().mclr);
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
  EXPECT_TRUE(rig.pins().mclr);  // it gave up and went on to break
}

TEST(LineSequences, JdmThroughTheSystemCalls) {
  HardwareSettings s = SettingsFor(ProgrammerType::Jdm);
  s.Api = true;
  s.IODelay = 1;
  Rig rig(s);
  rig.lines.DriveVppOn();
  rig.lines.SetDataClock(1);  // RTS first, then DTR; Data In by the modem status call
  std::vector<std::pair<Kind, int>> calls;
  for (const PortAccessRecord& r : rig.board().Log()) calls.emplace_back(r.kind, r.value);
  EXPECT_EQ(calls, (std::vector<std::pair<Kind, int>>{{Kind::SetBreak, 1},
                                                      {Kind::LineFormat, 0},
                                                      {Kind::SetBreak, 0},
                                                      {Kind::WriteByte, 0},
                                                      {Kind::WriteByte, 0},
                                                      {Kind::WriteByte, 0},
                                                      {Kind::SetBreak, 1},
                                                      {Kind::SetRts, 0},
                                                      {Kind::SetDtr, 1},
                                                      {Kind::Cts, 1},
                                                      {Kind::Cts, 1}}));
  EXPECT_GE(rig.board().Log()[2].timeUs - rig.board().Log()[1].timeUs, 350000);
}

TEST(LineSequences, JdmClockBitSettlesWhenTheChipDisagrees) {
  Rig rig(ProgrammerType::Jdm);
  rig.lines.ClockBit(1);
  EXPECT_EQ(Writes(rig, reg::kMcr), 3);  // clock high, clock low, idle
  rig.board().ClearLog();
  rig.chip.drive = DataDrive::Low;
  rig.lines.ClockBit(1);
  EXPECT_EQ(Writes(rig, reg::kMcr), 3 + 5);
}

TEST(LineSequences, ProPic2SwitchesVppToTheSocketOfTheDevice) {
  HardwareSettings s = SettingsFor(ProgrammerType::ProPic2);
  s.PinCount = 32;  // no socket: no bit changes, but the wait after VPP off still happens
  Rig none(s, 32);
  std::int64_t start = none.clock.nowUs();
  none.lines.DriveVppOn();
  none.lines.DriveVppOff();
  EXPECT_EQ(none.clock.nowUs() - start, 100);
  EXPECT_TRUE(none.board().Log().empty());
  s.PinCount = 40;
  Rig large(s, 40);
  large.lines.VppOn();
  EXPECT_EQ(large.board().DataRegister() & (kD3 | kD4), kD4);
  EXPECT_TRUE(large.pins().mclr);
}

TEST(LineSequences, An589StrobesDataAndClockThroughItsLatch) {
  Rig rig(ProgrammerType::An589);
  rig.lines.PortOut(rig.base(), kD2 | kD5);
  rig.board().ClearLog();
  rig.lines.SetDataClock(3);
  const auto& log = rig.board().Log();
  EXPECT_EQ(log.at(1).value, kD0 | kD1);  // strobe and D5 low with the new levels
  EXPECT_EQ(log.at(2).value, kD0 | kD1 | kD2);
  EXPECT_GE(log.at(2).timeUs - log.at(1).timeUs, 50);
  auto clock = rig.chip.EdgesOf(ChipPin::Clock);  // the socket sees it at the strobe
  ASSERT_EQ(clock.size(), 1u);
  EXPECT_EQ(clock[0].timeUs, log.at(2).timeUs);
  rig.lines.ClockBit(1);
  EXPECT_EQ(rig.board().DataRegister() & (kD2 | kD5), 0);
}

TEST(LineSequences, DataInIsSampledIoDelayPlusOneTimesAndTheLastSampleCounts) {
  HardwareSettings s = SettingsFor(ProgrammerType::Stk200);
  s.IODelay = 1;
  Rig rig(s);
  // High to the first sample of each pair, low to the second.
  rig.chip.responder = [&](const ChipPins&, std::int64_t) {
    return rig.board().DataInReads() % 2 == 1 ? DataDrive::High : DataDrive::Low;
  };
  rig.lines.SetDataClock(1);
  EXPECT_EQ(rig.board().DataInReads(), 2);
  EXPECT_EQ(rig.lines.Lines().DataInBit, 0);
  rig.lines.Settings().InvertDataIn = true;
  rig.lines.SetDataClock(1);
  EXPECT_EQ(rig.lines.Lines().DataInBit, 1);  // inverted once, not per sample
  // A negative delay takes no sample and leaves the last one alone.
  rig.lines.Settings().IODelay = -1;
  rig.board().ResetCounters();
  rig.lines.SetDataClock(0);
  rig.lines.SetDataClock(0);
  EXPECT_EQ(rig.board().DataInReads(), 0);
  EXPECT_EQ(rig.lines.Lines().DataInBit, 1);
}

TEST(LineContext, APortThatDoesNotOpenIsReportedAndNothingIsDriven) {
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
  lines.PowerOn();
  lines.VppOn();
  lines.SetDataClock(3);
  lines.IdleLines();  // quiet: start-up does not report
  EXPECT_EQ(ui.Entries().size(), 1u);
  EXPECT_TRUE(programmer.Board().Log().empty());
}

}  // namespace
}  // namespace kestrum
