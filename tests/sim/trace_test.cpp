// The VCD pin trace: its file format, a trace of the simulated programmer, a trace of a real
// port through the board model, and an I2C trace decoded by sigrok-cli.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "hardware/bus.hpp"
#include "rig.hpp"
#include "sim/tracing_port.hpp"
#include "sim/vcd_writer.hpp"

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

TEST(VcdWriter, EndsOneAfterTheLastChangeOrAtTheEndGiven) {
  std::ostringstream quiet;
  VcdWriter(quiet, "p", {"a"}, {false}, 0).Finish();
  EXPECT_TRUE(quiet.str().ends_with("$end\n#1\n"));
  std::ostringstream later;
  VcdWriter vcd(later, "p", {"a"}, {false}, 100);
  vcd.Change(0, true, 150);
  vcd.Finish(400);
  vcd.Change(0, false, 500);  // after the end: ignored
  EXPECT_TRUE(later.str().ends_with("#50\n1!\n#300\n"));
}

TEST(PinTrace, RecordsTheSimulatedPinsInTime) {
  std::ostringstream out;
  PinTrace trace(out);
  Rig rig(ProgrammerType::Conquest);
  rig.board().SetTrace(&trace);
  rig.lines.PowerOn();
  rig.lines.DelayMicroseconds(100);
  rig.lines.SetDataClock(2);
  trace.Finish();
  std::string vcd = out.str();
  // vcc is '!', clock is '$'; PowerOn is a read then a write, so vcc rises at #1.
  EXPECT_NE(vcd.find("#1\n1!\n"), std::string::npos) << vcd;
  EXPECT_NE(vcd.find("#103\n1$\n"), std::string::npos) << vcd;
}

// A port that stands for real hardware: it only answers reads from a script.
class ScriptedPort final : public Port {
 public:
  explicit ScriptedPort(std::uint8_t& status) : status_(status) {}
  std::uint16_t Base() const override { return 0x378; }
  std::uint8_t In(std::uint16_t address) override { return address == 0x379 ? status_ : data_; }
  void Out(std::uint16_t address, std::uint8_t value) override {
    if (address == 0x378) data_ = value;
  }

 private:
  std::uint8_t& status_;
  std::uint8_t data_ = 0;
};

class ScriptedOpener final : public PortOpener {
 public:
  std::uint8_t status = 0x7F;
  std::unique_ptr<Port> Open(const HardwareSettings&, Ui&, bool) override {
    return std::make_unique<ScriptedPort>(status);
  }
  bool Available(const HardwareSettings&, std::string_view) override { return true; }
};

TEST(PinTrace, ARealPortIsTracedByWhatWasDrivenAndSampled) {
  std::ostringstream out;
  PinTrace trace(out);
  VirtualClock clock(0);
  RecordingUi ui;
  ScriptedOpener real;
  real.status = 0xFF;  // BUSY low
  TracingOpener tracing(real, clock, trace);
  LineContext lines(SettingsFor(ProgrammerType::Conquest), clock, ui, tracing);
  ASSERT_TRUE(lines.OpenPort());
  clock.Advance(10);
  real.status = 0x7F;  // BUSY high
  lines.SetDataClock(1);
  EXPECT_EQ(lines.Lines().DataInBit, 1);
  clock.Advance(10);
  real.status = 0xFF;  // BUSY low
  EXPECT_EQ(lines.ReadDataIn(), 0);
  lines.ClosePort();
  trace.Finish();
  // data_out is '#', data_in is '%'.
  EXPECT_NE(out.str().find("#10\n1#\n1%\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("#20\n0%\n"), std::string::npos) << out.str();
}

// Acknowledges every ninth clock after a start condition, as an I2C device does.
class I2cAcknowledger final : public Chip {
 public:
  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t) override {
    if (pins.clock && last_.clock && last_.data && !pins.data) bits_ = 0;  // start
    if (pins.clock && !last_.clock) ++bits_;
    if (!pins.clock && last_.clock) {
      if (bits_ == 8) ack_ = true;
      if (bits_ == 9) {
        ack_ = false;
        bits_ = 0;
      }
    }
    last_ = pins;
  }
  DataDrive DataOut(std::int64_t) override { return ack_ ? DataDrive::Low : DataDrive::Released; }

 private:
  ChipPins last_;
  int bits_ = 0;
  bool ack_ = false;
};

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  pclose(pipe);
  return output;
}

TEST(PinTrace, AnI2cTraceDecodesWithSigrok) {
  if (RunCommand("command -v sigrok-cli").empty()) GTEST_SKIP() << "sigrok-cli is not installed";
  std::string path = testing::TempDir() + "kestrum_i2c_trace.vcd";
  {
    std::ofstream file(path);
    PinTrace trace(file);
    Rig rig(ProgrammerType::Conquest);
    I2cAcknowledger eeprom;
    rig.programmer.Insert(&eeprom);
    rig.board().SetTrace(&trace);
    LineContext& l = rig.lines;
    l.SetDataClock(3);  // idle bus: both lines high
    l.DelayMicroseconds(100);
    I2cStart(l);
    ShiftOutByte(l, 0xA0);
    EXPECT_TRUE(I2cWaitAck(l, 10));
    ShiftOutByte(l, 0x12);
    EXPECT_TRUE(I2cWaitAck(l, 10));
    ShiftOutByte(l, 0xC3);
    EXPECT_TRUE(I2cWaitAck(l, 10));
    I2cStop(l);
    l.SetDataClock(3);
    l.DelayMicroseconds(100);
    trace.Finish();
  }
  std::string decoded = RunCommand("sigrok-cli -I vcd -i '" + path +
                            "' -P i2c:scl=clock:sda=data_in -A i2c=start:address-write:data-write:ack:stop 2>&1");
  EXPECT_NE(decoded.find("Address write: 50"), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("Data write: 12"), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("Data write: C3"), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("Stop"), std::string::npos) << decoded;
  std::size_t acks = 0;
  for (std::size_t at = decoded.find("ACK"); at != std::string::npos;
       at = decoded.find("ACK", at + 1)) {
    ++acks;
  }
  EXPECT_EQ(acks, 3u) << decoded;
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kestrum
