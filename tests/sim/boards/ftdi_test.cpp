// SPDX-License-Identifier: GPL-3.0-or-later
// The FTDI backend on the simulated chip: the calls it makes to libftdi, its chunks, the
// kernel driver given back on close and on every failure, and the messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "../rig.hpp"
#include "hardware/bus.hpp"
#include "hardware/port_opener.hpp"

namespace kestrum {
namespace {

using Calls = std::vector<std::string>;

HardwareSettings Usb(ProgrammerType type) {
  HardwareSettings s = SettingsFor(type);
  s.Port = "USB1";
  s.IODelay = 10;
  return s;
}

struct FtdiRig {
  explicit FtdiRig(ProgrammerType type = ProgrammerType::JdmFtdi)
      : lines(Usb(type), clock, ui, programmer) {
    programmer.Insert(&chip);
  }
  SimFtdi& ftdi() { return programmer.Ftdi(); }
  // The calls without the reads and writes between the first and the last.
  Calls Setup() {
    Calls calls;
    for (const std::string& c : programmer.Ftdi().Calls()) {
      if (c.starts_with("Read") || c.starts_with("Write")) continue;
      calls.push_back(c);
    }
    return calls;
  }
  int LargestWrite() {
    int largest = 0;
    for (const std::string& c : programmer.Ftdi().Calls()) {
      if (c.starts_with("Write ")) largest = std::max(largest, std::stoi(c.substr(6)));
    }
    return largest;
  }

  VirtualClock clock{1000};
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  ProbeChip chip{18};
  LineContext lines;
};

TEST(FtdiPort, OpensInSyncBitBangAndGivesTheCableBackAsASerialPort) {
  struct Case {
    ProgrammerType type;
    Calls calls;
  };
  const Case cases[] = {
      // The cable: DTR, RTS and TXD are outputs; leaving, the chip is a UART again.
      {ProgrammerType::JdmFtdi,
       {"Open 0403:6001 #0", "SetLatencyTimer 1", "SetBaudRate 500000", "SetBitMode 15 04", "Purge",
        "SetBitMode 00 00", "Close"}},
      // A board wired by hand keeps its pins at rest instead.
      {ProgrammerType::FtdiBitBang,
       {"Open 0403:6001 #0", "SetLatencyTimer 1", "SetBaudRate 500000", "SetBitMode 1d 04", "Purge",
        "Close"}},
  };
  for (const Case& c : cases) {
    FtdiRig rig(c.type);
    ASSERT_TRUE(rig.lines.OpenPort());
    EXPECT_FALSE(rig.ftdi().KernelDriverAttached());
    rig.lines.ClosePort();
    EXPECT_EQ(rig.Setup(), c.calls);
    EXPECT_TRUE(rig.ftdi().KernelDriverAttached());
  }
}

TEST(FtdiPort, ALongRunGoesOutInChunksTheFifosHoldAndEverySampleComesBack) {
  FtdiRig rig;
  ASSERT_TRUE(rig.lines.OpenPort());
  std::vector<std::uint16_t> bytes(200);
  for (std::uint16_t& byte : bytes) ShiftInByte(rig.lines, byte);
  rig.lines.ClosePort();
  EXPECT_LE(rig.LargestWrite(), 128);
  EXPECT_FALSE(rig.ftdi().Overflowed());
  // The probe chip leaves the line released: every bit reads high.
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0xFF; }));
}

TEST(FtdiPort, DeferredReadsCostOneRoundTripAndADecidingReadOneEach) {
  FtdiRig rig;
  ASSERT_TRUE(rig.lines.OpenPort());
  auto roundTrip = [&](auto body) {
    const std::int64_t start = rig.clock.nowUs();
    body();
    rig.lines.ResolveSamples();
    return rig.clock.nowUs() - start;
  };
  std::vector<std::uint16_t> bytes(16);
  const std::int64_t deferred = roundTrip([&] {
    for (std::uint16_t& byte : bytes) ShiftInByte(rig.lines, byte);
  });
  const std::int64_t deciding = roundTrip([&] {
    for (std::uint16_t& byte : bytes) byte = ShiftInByte(rig.lines);
  });
  const std::int64_t latency = rig.ftdi().LatencyUs();
  EXPECT_LT(deferred, deciding - 14 * latency);
  rig.lines.ClosePort();
}

// A step holds its levels from the moment it is put, so a wait after a change counts from the
// change; the I/O delay (10 here: 11 µs) is the least time between changes, not a wait added to
// the ones that follow. Each row: the wait after a change and the time to the next change.
TEST(FtdiPort, WaitsCountFromTheChangeAndTheIoDelayIsTheirFloor) {
  FtdiRig rig;
  ASSERT_TRUE(rig.lines.OpenPort());
  const std::pair<int, std::int64_t> rows[] = {{0, 12}, {5, 12}, {20, 20}, {21, 22}, {3, 12}};
  rig.chip.ClearEdges();
  int level = 1;
  for (const auto& [wait, expected] : rows) {
    rig.lines.SetClockLine(level);
    rig.lines.DelayMicroseconds(wait);
    level ^= 1;
  }
  rig.lines.SetClockLine(level);
  rig.lines.ClosePort();
  const auto edges = rig.chip.EdgesOf(ChipPin::Clock);
  ASSERT_GT(edges.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(edges[i + 1].timeUs - edges[i].timeUs, rows[i].second) << "wait " << rows[i].first;
  }
}

TEST(FtdiPort, EveryFailureGivesTheKernelDriverBackAndSaysWhy) {
  struct Case {
    const char* what;
    void (*fault)(SimFtdi&);
    std::string message;
  };
  const Case cases[] = {
      {"vanishes mid-write", [](SimFtdi& f) { f.VanishAfter(300); },
       "ftdi_write_data on the FTDI chip: Input/output error"},
      {"stops answering", [](SimFtdi& f) { f.StopAnswering(true); },
       "ftdi_read_data on the FTDI chip: Connection timed out"},
      {"short reads", [](SimFtdi& f) { f.LimitReads(3); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FtdiRig rig;
    ASSERT_TRUE(rig.lines.OpenPort());
    std::string failure;
    rig.lines.OpenedPort()->ReportFailuresTo(&failure);
    c.fault(rig.ftdi());
    std::vector<std::uint16_t> bytes(100);
    for (std::uint16_t& byte : bytes) ShiftInByte(rig.lines, byte);
    // A port that stopped samples its inputs high: on the cable, CTS inactive.
    EXPECT_EQ(rig.lines.ReadDataIn(), c.message.empty() ? 1 : 0);
    rig.lines.ClosePort();
    EXPECT_TRUE(rig.ftdi().KernelDriverAttached());
    EXPECT_EQ(failure, c.message);
    EXPECT_EQ(rig.ftdi().Calls().back(), "Close");
  }
}

TEST(FtdiPort, AnOpenThatFailsNamesTheDeviceTheReasonAndTheFix) {
  struct Case {
    int error;
    std::string device;
    std::string message;
  };
  const Case cases[] = {
      {EACCES, "",
       "Cannot open the FTDI device 0403 (any FTDI chip) (USB1): Permission denied. Add your user "
       "to the group \"plugdev\" and log in again (the package's udev rule gives that group the "
       "FTDI chips)."},
      {EBUSY, "0403:6001:KS000001",
       "Cannot open the FTDI device 0403:6001:KS000001 (USB1): Device or resource busy. Another "
       "program holds it: close it and try again."},
      {ENODEV, "0403:6014",
       "Cannot open the FTDI device 0403:6014 (USB1): No such device. Plug it in, or check the "
       "FTDI device setting."},
  };
  for (const Case& c : cases) {
    FtdiRig rig;
    rig.ftdi().FailOpen(c.error == ENODEV ? 0 : c.error);
    rig.lines.Settings().FtdiDevice = c.device;
    EXPECT_FALSE(rig.lines.OpenPort());
    EXPECT_EQ(rig.ui.Messages(), Calls{c.message});
    EXPECT_TRUE(rig.ftdi().KernelDriverAttached());
  }
}

}  // namespace
}  // namespace kestrum
