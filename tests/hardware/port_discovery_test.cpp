// SPDX-License-Identifier: GPL-3.0-or-later
// Ports found by themselves on a machine laid out in a fake sysfs and /dev: every kind in the
// listing, the JDM's notice on a USB-serial adapter, and the classic port names of old
// settings files opening the same device files as their paths.
#include "hardware/port_discovery.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "core/recording_ui.hpp"
#include "fake_os.hpp"
#include "hardware/port_opener.hpp"

namespace kestrum {
namespace {

gpiochip_info Chip(const char* label, unsigned lines) {
  gpiochip_info info{};
  std::strncpy(info.label, label, sizeof info.label - 1);
  info.lines = lines;
  return info;
}

// A desktop with one UART (ttyS1 is a UART the kernel keeps but that is not there), an FTDI
// cable, an Arduino, a parallel card, an FT232H board and a single-board computer's GPIO.
FakeOs Machine() {
  FakeOs os;
  os.folders["/sys/class/tty"] = {"ttyUSB0", "ttyS1", "ttyS0", "ttyACM0", "tty0", "console"};
  os.files["/sys/class/tty/ttyS0/type"] = "4\n";
  os.files["/sys/class/tty/ttyS0/port"] = "0x3F8\n";
  os.files["/sys/class/tty/ttyS1/type"] = "0\n";
  const std::string cable = "/sys/devices/pci0000:00/usb1/1-2";
  os.links["/sys/class/tty/ttyUSB0/device"] = cable + "/1-2:1.0/ttyUSB0";
  os.links[cable + "/1-2:1.0/ttyUSB0/driver"] = "/sys/bus/usb-serial/drivers/ftdi_sio";
  os.folders[cable + "/1-2:1.0/ttyUSB0"] = {};
  os.files[cable + "/idVendor"] = "0403\n";
  os.files[cable + "/idProduct"] = "6001\n";
  os.files[cable + "/manufacturer"] = "FTDI\n";
  os.files[cable + "/product"] = "FT232R USB UART\n";
  os.files[cable + "/serial"] = "A50285BI\n";
  const std::string arduino = "/sys/devices/pci0000:00/usb1/1-3";
  os.links["/sys/class/tty/ttyACM0/device"] = arduino + "/1-3:1.0";
  os.links[arduino + "/1-3:1.0/driver"] = "/sys/bus/usb/drivers/cdc_acm";
  os.folders[arduino + "/1-3:1.0"] = {};
  os.files[arduino + "/idVendor"] = "2341\n";
  os.files[arduino + "/idProduct"] = "0043\n";
  os.files[arduino + "/product"] = "Arduino Uno\n";
  os.folders["/dev"] = {"ttyS0", "parport0", "gpiochip1", "gpiochip0", "null"};
  os.files["/proc/sys/dev/parport/parport0/base-addr"] = "888\t1912\n";
  os.folders["/sys/bus/usb/devices"] = {"usb1", "1-2", "1-2:1.0", "1-4"};
  os.files["/sys/bus/usb/devices/usb1/idVendor"] = "1d6b\n";
  os.files["/sys/bus/usb/devices/1-2/idVendor"] = "0403\n";
  os.files["/sys/bus/usb/devices/1-2/idProduct"] = "6001\n";
  os.files["/sys/bus/usb/devices/1-2/product"] = "FT232R USB UART\n";
  os.files["/sys/bus/usb/devices/1-2/serial"] = "A50285BI\n";
  os.files["/sys/bus/usb/devices/1-4/idVendor"] = "0403\n";
  os.files["/sys/bus/usb/devices/1-4/idProduct"] = "6014\n";
  os.files["/sys/bus/usb/devices/1-4/product"] = "Single RS232-HS\n";
  os.gpioChips["/dev/gpiochip0"] = Chip("pinctrl-bcm2835", 54);
  os.openErrors["/dev/gpiochip1"] = EACCES;
  return os;
}

TEST(PortDiscovery, ListsEveryKindOfPortWithWhatTellsThemApart) {
  FakeOs os = Machine();
  EXPECT_EQ(PortListingText(FindPorts(os, HardwareSettings{})),
            "Serial ports:\n"
            "  /dev/ttyS0 (Com1)         on-board UART at 0x3F8\n"
            "  /dev/ttyACM0              USB serial adapter Arduino Uno (2341:0043), driver "
            "cdc_acm\n"
            "  /dev/ttyUSB0              USB serial adapter FTDI FT232R USB UART (0403:6001), "
            "serial number A50285BI, driver ftdi_sio\n"
            "Parallel ports:\n"
            "  /dev/parport0 (LPT1)      parallel port at 0x378\n"
            "FTDI chips:\n"
            "  A50285BI (USB1)           FTDI chip FT232R USB UART (0403:6001), serial number "
            "A50285BI\n"
            "  USB2                      FTDI chip Single RS232-HS (0403:6014)\n"
            "GPIO chips:\n"
            "  gpiochip0                 GPIO chip pinctrl-bcm2835, 54 lines\n"
            "  gpiochip1                 GPIO chip (cannot be opened: Permission denied)\n");
  FakeOs empty;
  EXPECT_EQ(PortListingText(FindPorts(empty, HardwareSettings{})),
            "Serial ports:\n  none found\nParallel ports:\n  none found\nFTDI chips:\n"
            "  none found\nGPIO chips:\n  none found\n");
}

// The JDM on a USB-serial adapter works, but every line change is a USB round trip: said once,
// and for an FTDI adapter with the type that runs it at full speed.
TEST(PortDiscovery, TheJdmOnAUsbSerialAdapterIsToldOnce) {
  struct Case {
    std::string port;
    std::vector<std::string> messages;
  };
  const std::string slow =
      "): every change of a line costs a USB round trip, so programming a PIC takes minutes "
      "instead of seconds.";
  const Case cases[] = {
      {"/dev/ttyUSB0",
       {"The JDM Programmer is on a USB-serial adapter (/dev/ttyUSB0" + slow +
        " The adapter has an FTDI chip: the programmer type \"JDM (FTDI cable)\" drives the same "
        "programmer through it at full speed."}},
      {"/dev/ttyACM0", {"The JDM Programmer is on a USB-serial adapter (/dev/ttyACM0" + slow}},
      {"Com1", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    FakeOs os = Machine();
    SystemPortOpener opener(os);
    RecordingUi ui;
    HardwareSettings settings;
    settings.Port = c.port;
    for (int run = 0; run < 2; ++run) EXPECT_NE(opener.Open(settings, ui, true), nullptr);
    EXPECT_EQ(ui.Messages(), c.messages);
  }
}

// Settings files of old keep their classic names; a device file of the table is that port.
TEST(PortDiscovery, ClassicNamesAndTheirDeviceFilesOpenTheSamePort) {
  struct Case {
    std::string programmer;
    std::string port;
    std::string opened;
    std::uint16_t base;
  };
  const Case cases[] = {
      {"0", "Com2", "/dev/ttyS1", 0x2F8},       {"0", "/dev/ttyS1", "/dev/ttyS1", 0x2F8},
      {"1", "LPT1", "/dev/parport0", 0x378},    {"1", "/dev/parport0", "/dev/parport0", 0x378},
      {"0", "/dev/ttyUSB0", "/dev/ttyUSB0", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    FakeOs os;
    SystemPortOpener opener(os);
    RecordingUi ui;
    // As an old settings file has them.
    MemorySettingsStore store;
    store.SetRaw("Programmer", c.programmer);
    store.SetRaw("Port", c.port);
    std::vector<ReplacedSetting> replaced;
    HardwareSettings settings = LoadHardwareSettings(store, {}, &replaced);
    EXPECT_EQ(replaced, std::vector<ReplacedSetting>{});
    EXPECT_EQ(settings.Port, c.port);
    EXPECT_EQ(settings.PortBase, c.base);
    ASSERT_NE(opener.Open(settings, ui, true), nullptr);
    EXPECT_EQ(os.calls.front().path, c.opened);
  }
}

}  // namespace
}  // namespace kestrum
