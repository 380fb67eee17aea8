// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the backend and telling the user why a port did not open.
#include "hardware/port_opener.hpp"

#include <gtest/gtest.h>

#include "core/recording_ui.hpp"
#include "fake_os.hpp"

namespace kestrum {
namespace {

HardwareSettings On(ProgrammerType type, std::string port) {
  HardwareSettings s;
  s.Programmer = type;
  s.Port = std::move(port);
  return s;
}

TEST(PortOpener, AFailedOpenNamesTheDeviceFileTheReasonAndWhatToDo) {
  FakeOs os;
  os.openErrors = {{"/dev/ttyS0", EACCES}, {"/dev/parport1", EPERM}, {"/dev/ttyS2", ENOENT}};
  SystemPortOpener opener(os);
  RecordingUi ui;
  EXPECT_FALSE(opener.Open(On(ProgrammerType::Jdm, "Com1"), ui, true));
  EXPECT_FALSE(opener.Open(On(ProgrammerType::Stk200, "LPT2"), ui, true));
  EXPECT_FALSE(opener.Open(On(ProgrammerType::Jdm, "COM3"), ui, true));
  HardwareSettings raw = On(ProgrammerType::Conquest, "LPT1");
  raw.Access = PortAccess::RawIo;
  os.refusedIoRange = 0x378;
  EXPECT_FALSE(opener.Open(raw, ui, true));
  EXPECT_EQ(ui.Entries().at(0).kind, MessageKind::Error);
  EXPECT_EQ(ui.Messages(),
            (std::vector<std::string>{
                "Cannot open /dev/ttyS0 (Com1): Permission denied. Add your user to the group "
                "\"dialout\" and log in again.",
                "Cannot open /dev/parport1 (LPT2): Operation not permitted. Add your user to the "
                "group \"lp\" and log in again.",
                "Cannot open /dev/ttyS2 (COM3): No such file or directory.",
                "Cannot access the I/O ports at 0378h (LPT1): Operation not permitted. Raw port "
                "access needs root or the capability CAP_SYS_RAWIO."}));
}

TEST(PortOpener, NoUsablePortNameMeansNoPortSelected) {
  FakeOs os;
  SystemPortOpener opener(os);
  RecordingUi ui;
  // The first-run default, an empty name, a name of the other port kind, a fifth port.
  for (const char* name : {"Com 2", "", "LPT1", "Com5"}) {
    EXPECT_FALSE(opener.Open(On(ProgrammerType::Jdm, name), ui, true)) << name;
  }
  EXPECT_EQ(ui.Messages(), std::vector<std::string>(4, std::string(text::kNoPortSelected)));
  EXPECT_TRUE(os.calls.empty());
}

TEST(PortOpener, BackendAndDeviceFileFollowTheSettings) {
  FakeOs os;
  os.openErrors["/dev/parport3"] = ENOENT;
  SystemPortOpener opener(os);
  RecordingUi ui;
  HardwareSettings s = On(ProgrammerType::Jdm, "Com2");
  s.SerialDevices[1] = "/dev/ttyUSB0";
  std::unique_ptr<Port> port = opener.Open(s, ui, true);
  ASSERT_TRUE(port);
  EXPECT_EQ(os.calls.front().path, "/dev/ttyUSB0");
  EXPECT_EQ(port->Base(), 0x2F8);
  // Only the tty has the serial system calls, whatever access is chosen.
  s.Access = PortAccess::RawIo;
  EXPECT_EQ(BackendFor(s).name, "ioperm");
  s.Api = true;
  EXPECT_EQ(BackendFor(s).name, "tty");

  HardwareSettings lpt = On(ProgrammerType::FunCard, "LPT1");
  EXPECT_TRUE(opener.Available(lpt, "LPT3"));
  EXPECT_FALSE(opener.Available(lpt, "LPT4"));
  EXPECT_TRUE(ui.Entries().empty());
  EXPECT_EQ(os.calls.at(os.calls.size() - 2), (OsCall{"close", 0, 7}));  // LPT3 closed at once
}

// The card reader is a serial port by name whatever the programmer, always through the tty.
TEST(PortOpener, TheCardReaderOpensTheSerialPortWhateverTheProgrammer) {
  FakeOs os;
  SystemPortOpener opener(os);
  RecordingUi ui;
  HardwareSettings reader = On(ProgrammerType::ProPic2, "Com3");
  reader.CardReader = true;
  reader.Access = PortAccess::RawIo;
  ASSERT_TRUE(opener.Open(reader, ui, true));
  EXPECT_EQ(os.calls.front().path, "/dev/ttyS2");
  reader.Port = "LPT1";
  EXPECT_FALSE(opener.Open(reader, ui, true));
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{std::string(text::kNoReaderPort)});
}

}  // namespace
}  // namespace kestrum
