// SPDX-License-Identifier: GPL-3.0-or-later
// The VCD pin trace: its file format, a trace of the simulated programmer, a trace of a real
// port through the board model, an I2C trace decoded by sigrok-cli, and the trace of a board
// driven register by register.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "../../run_command.hpp"
#include "../rig.hpp"
#include "hardware/bus.hpp"
#include "sim/boards/tracing_port.hpp"
#include "sim/boards/vcd_writer.hpp"
#include "sim/chips/flash_micro_chip.hpp"
#include "sim/chips/probe_chip.hpp"

namespace kestrum {
namespace {

TEST(VcdWriter, WritesIeeeVcdWithMicrosecondsFromZero) {
  std::ostringstream out;
  {
    VcdWriter vcd(out, "programmer", {"scl", "sda"}, {true, true}, 5000);
    vcd.Change(1, false, 5010);
    vcd.Change(0, false, 5020);
    vcd.Change(0, true, 5020);  // a glitch within one microsecond is no change
    vcd.Change(1, true, 5030);
    vcd.Change(1, false, 5030);  // the last value of a timestamp counts
    vcd.Change(0, false, 5030);
    vcd.Change(0, false, 5040);  // same value: nothing to write
    vcd.Finish(5020);            // the end is one after the last change at least
    vcd.Change(1, true, 5050);   // after the end: ignored
  }
  EXPECT_EQ(out.str(),
            "$version Kestrum pin trace $end\n"
            "$timescale 1 us $end\n"
            "$scope module programmer $end\n"
            "$var wire 1 ! scl $end\n"
            "$var wire 1 \" sda $end\n"
            "$upscope $end\n"
            "$enddefinitions $end\n"
            "#0\n"
            "$dumpvars\n"
            "1!\n"
            "1\"\n"
            "$end\n"
            "#10\n"
            "0\"\n"
            "#30\n"
            "0!\n"
            "#31\n");
}

TEST(PinTrace, ARealPortIsTracedByWhatWasDrivenAndSampled) {
  // The "real" port here is a virtual programmer; the trace sees only its registers.
  std::ostringstream out;
  PinTrace trace(out);
  VirtualClock clock(0);
  RecordingUi ui;
  VirtualProgrammer real(clock);
  ProbeChip chip;
  real.Insert(&chip);
  TracingOpener tracing(real, clock, trace);
  LineContext lines(SettingsFor(ProgrammerType::Conquest), clock, ui, tracing);
  ASSERT_TRUE(lines.OpenPort());
  clock.Advance(10);
  lines.SetDataClock(1);  // read and written from #10, Data In (BUSY) sampled high after
  chip.drive = DataDrive::Low;
  EXPECT_EQ(lines.ReadDataIn(), 0);
  lines.ClosePort();
  trace.Finish();
  // data_out is '#', data_in is '%'.
  // Data out at the write, Data In at each read: one microsecond of port access apart.
  EXPECT_NE(out.str().find("#11\n1#\n#13\n1%\n#14\n0%\n#15\n"), std::string::npos) << out.str();
}

TEST(PinTrace, AnI2cTraceDecodesWithSigrok) {
  if (RunCommand("command -v sigrok-cli").empty()) GTEST_SKIP() << "sigrok-cli is not installed";
  std::string path = testing::TempDir() + "kestrum_i2c_trace.vcd";
  {
    std::ofstream file(path);
    PinTrace trace(file);
    Rig rig(ProgrammerType::Conquest);
    rig.board().SetTrace(&trace);
    LineContext& l = rig.lines;
    // The device holds data low from the end of the eighth clock to the end of the ninth.
    bool acknowledging = false;
    rig.chip.responder = [&](const ChipPins&, std::int64_t) {
      return acknowledging ? DataDrive::Low : DataDrive::Released;
    };
    l.SetDataClock(3);  // idle bus: both lines high
    l.DelayMicroseconds(100);
    I2cStart(l);
    for (std::uint8_t byte : {0xA0, 0x12, 0xC3}) {
      ShiftOutByte(l, byte);
      acknowledging = true;
      EXPECT_TRUE(I2cWaitAck(l, 10));
      acknowledging = false;
    }
    I2cStop(l);
    l.SetDataClock(3);
    l.DelayMicroseconds(100);
    trace.Finish();
  }
  std::string decoded = RunCommand(
      "sigrok-cli -I vcd -i '" + path +
      "' -P i2c:scl=clock:sda=data_in -A i2c=start:address-write:data-write:ack:stop 2>&1");
  // One annotation a line: start, the address with the direction bit, each byte and its
  // acknowledge, stop.
  std::vector<std::string> lines;
  std::istringstream in(decoded);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find(':') + 2));
  EXPECT_EQ(lines,
            (std::vector<std::string>{"Start", "Write", "Address write: 50", "ACK",
                                      "Data write: 12", "ACK", "Data write: C3", "ACK", "Stop"}));
  std::remove(path.c_str());
}

// The TAFE's port: the data bus as one 8-bit vector (what the part drives once the lines are
// turned around), the control and status lines one by one, and the socket's supply.
TEST(PinTrace, AParallelBoardIsTracedWithTheDataBusAsAVector) {
  std::ostringstream out;
  PinTrace trace(out);
  Rig<FlashMicroChip> rig(SettingsFor(ProgrammerType::Tafe, 20), 1024);
  rig.chip.Code()[0] = 0x5A;
  rig.chip.Code()[1] = 0xC3;
  rig.board().SetTrace(&trace);
  const std::uint16_t base = rig.base();
  for (auto [offset, value] : std::initializer_list<std::pair<int, std::uint8_t>>{
           {2, 0x03}, {0, 0x03}, {2, 0x05}, {2, 0x27}, {2, 0x26}, {2, 0x01}}) {
    rig.board().Out(static_cast<std::uint16_t>(base + offset), value);
  }
  trace.Finish();
  const std::string vcd = out.str();
  std::size_t at = 0;
  // Signals: vcc !, vpp ", data #, data_input $, strobe %, autofd &, init ', selectin (, ...
  for (const char* expected :
       {"$var wire 1 ! vcc $end\n$var wire 1 \" vpp $end\n$var wire 8 # data $end\n",
        "$var wire 1 - busy $end\n", "$dumpvars\n0!\n0\"\nb00000000 #\n",
        "$end\n1!\n0%\n",                // 03h at #0: powered, XTAL1 low
        "#1\nb00000011 #\n",             // the read mode on the data lines
        "#3\nb01011010 #\n1$\n",         // turned around: the part's byte at address 0
        "#4\nb11000011 #\n1%\n",         // XTAL1 up: address 1
        "#5\n0!\nb00000011 #\n0$\n"}) {  // at rest: unpowered, driving the latch again
    at = vcd.find(expected, at);
    ASSERT_NE(at, std::string::npos) << expected << "\nin\n" << vcd;
  }
}

}  // namespace
}  // namespace kestrum
