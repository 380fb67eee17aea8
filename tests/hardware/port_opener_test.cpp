// Choosing the backend and telling the user why a port did not open.
#include "hardware/port_opener.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/recording_ui.hpp"
#include "fake_os.hpp"
#include "hardware/port_driver.hpp"

namespace kestrum {
namespace {

HardwareSettings On(ProgrammerType type, std::string port) {
  HardwareSettings s;
  s.Programmer = type;
  s.Port = std::move(port);
  DerivePortBase(s);
  return s;
}

TEST(PortOpener, PermissionErrorsNameTheDeviceFileAndTheGroupToJoin) {
  FakeOs os;
  os.openErrors["/dev/ttyS0"] = EACCES;
  os.openErrors["/dev/parport1"] = EPERM;
  os.openErrors["/dev/ttyS2"] = ENOENT;
  SystemPortOpener opener(os);
  RecordingUi ui;

  EXPECT_FALSE(opener.Open(On(ProgrammerType::Jdm, "Com1"), ui, true));
  EXPECT_FALSE(opener.Open(On(ProgrammerType::Stk200, "LPT2"), ui, true));
  EXPECT_FALSE(opener.Open(On(ProgrammerType::Jdm, "COM3"), ui, true));
  ASSERT_EQ(ui.Entries().size(), 3u);
  EXPECT_EQ(ui.Entries()[0].kind, MessageKind::Error);
  EXPECT_EQ(ui.Messages(),
            (std::vector<std::string>{
                "Cannot open /dev/ttyS0 (Com1): Permission denied. Add your user to the group "
                "\"dialout\" and log in again.",
                "Cannot open /dev/parport1 (LPT2): Operation not permitted. Add your user to the "
                "group \"lp\" and log in again.",
                "Cannot open /dev/ttyS2 (COM3): No such file or directory."}));
  // Nothing but the failed opens happened.
  for (const OsCall& call : os.calls) EXPECT_EQ(call.name, "open");
}

TEST(PortOpener, RawAccessFailureNamesTheAddressesAndTheCapability) {
  FakeOs os;
  os.ioPermError = EPERM;
  SystemPortOpener opener(os);
  RecordingUi ui;
  HardwareSettings s = On(ProgrammerType::Conquest, "LPT1");
  s.Access = PortAccess::RawIo;
  EXPECT_FALSE(opener.Open(s, ui, true));
  EXPECT_EQ(ui.Messages(),
            (std::vector<std::string>{"Cannot access the I/O ports at 0378h (LPT1): Operation not "
                                      "permitted. Raw port access needs root or the capability "
                                      "CAP_SYS_RAWIO."}));
}

TEST(PortOpener, NoUsablePortNameMeansNoPortSelected) {
  FakeOs os;
  SystemPortOpener opener(os);
  RecordingUi ui;
  // The first-run default, an empty name, and a name of the other port kind.
  for (const char* name : {"Com 2", "", "LPT1", "Com5"}) {
    EXPECT_FALSE(opener.Open(On(ProgrammerType::Jdm, name), ui, true)) << name;
  }
  EXPECT_EQ(ui.Messages(), std::vector<std::string>(4, std::string(text::kNoPortSelected)));
  EXPECT_TRUE(os.calls.empty());
  // Quiet opens (start-up idling, the availability test) report nothing.
  ui.Clear();
  EXPECT_FALSE(opener.Open(On(ProgrammerType::Jdm, "Com 2"), ui, false));
  EXPECT_TRUE(ui.Entries().empty());
}

TEST(PortOpener, BackendAndDeviceFileFollowTheSettings) {
  FakeOs os;
  SystemPortOpener opener(os);
  RecordingUi ui;
  HardwareSettings s = On(ProgrammerType::Jdm, "Com2");
  s.SerialDevices[1] = "/dev/ttyUSB0";
  std::unique_ptr<Port> port = opener.Open(s, ui, true);
  ASSERT_TRUE(port);
  EXPECT_EQ(os.calls.front().path, "/dev/ttyUSB0");
  EXPECT_EQ(port->Base(), 0x2F8);

  // The serial system calls exist only on the tty, whatever access is chosen.
  s.Access = PortAccess::RawIo;
  EXPECT_EQ(BackendFor(s).name, "ioperm");
  s.Api = true;
  EXPECT_EQ(BackendFor(s).name, "tty");
  HardwareSettings parallel = On(ProgrammerType::FunCard, "LPT3");
  EXPECT_EQ(BackendFor(parallel).name, "ppdev");

  os.calls.clear();
  os.openErrors["/dev/parport3"] = ENOENT;
  EXPECT_TRUE(opener.Available(parallel, "LPT3"));
  EXPECT_FALSE(opener.Available(parallel, "LPT4"));
  EXPECT_FALSE(opener.Available(parallel, "Com1"));
  EXPECT_TRUE(ui.Entries().empty());
  // Each available port was closed again at once.
  EXPECT_EQ(os.calls.back().name, "open");
  EXPECT_EQ(std::count_if(os.calls.begin(), os.calls.end(),
                          [](const OsCall& c) { return c.name == "close"; }),
            1);
}

TEST(PortDriver, LinuxIsNotOfTheWindowsNtFamily) {
  EXPECT_FALSE(IsWindowsNT());
  EXPECT_EQ(StartDriver(), kDriverNotSupported);
  EXPECT_EQ(OpenDriver(), kDriverNotSupported);
  EXPECT_FALSE(SystemErrorText(StartDriver()).empty());
}

}  // namespace
}  // namespace kestrum
