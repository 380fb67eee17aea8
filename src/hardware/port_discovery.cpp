// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the ports in sysfs and /dev.
#include "hardware/port_discovery.hpp"

#include <fcntl.h>
#include <linux/gpio.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "hardware/texts.hpp"

namespace kestrum {
namespace {

std::string Trimmed(std::optional<std::string> text) {
  if (!text) return {};
  std::string s = *text;
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string Parent(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "ttyUSB10" after "ttyUSB9": by prefix, then by number.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& s) {
    std::size_t digits = s.size();
    while (digits > 0 && s[digits - 1] >= '0' && s[digits - 1] <= '9') --digits;
    const std::string number = s.substr(digits);
    return std::pair{s.substr(0, digits), number.empty() ? -1L : std::stol(number)};
  };
  return split(a) < split(b);
}

bool HasNumberAfter(const std::string& name, std::string_view prefix) {
  if (!name.starts_with(prefix) || name.size() == prefix.size() ||
      name.size() > prefix.size() + 4) {
    return false;
  }
  return std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

std::string Classic(const HardwareSettings& settings, PortKind kind, const std::string& file) {
  const auto& table = kind == PortKind::Serial ? settings.SerialDevices : settings.ParallelDevices;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i] == file) return std::string(PortPrefix(kind)) + std::to_string(i + 1);
  }
  return {};
}

std::string AdapterText(const UsbSerialAdapter& usb) {
  std::string text(text::kFoundUsbSerial);
  std::string name = usb.manufacturer;
  if (!usb.productName.empty()) name += (name.empty() ? "" : " ") + usb.productName;
  if (!name.empty()) text += " " + name;
  text += " (" + usb.vendor + ":" + usb.product + ")";
  if (!usb.serial.empty()) text += std::string(text::kFoundSerialNumber) + usb.serial;
  if (!usb.driver.empty()) text += std::string(text::kFoundDriver) + usb.driver;
  return text;
}

void FindSerialPorts(OsInterface& os, const HardwareSettings& settings,
                     std::vector<FoundPort>& found) {
  // The on-board UARTs first, then the USB adapters.
  const std::vector<std::string> names = Sorted(os.ListDirectory("/sys/class/tty"));
  for (int pass = 0; pass < 2; ++pass)
    for (const std::string& name : names) {
      const bool uart = HasNumberAfter(name, "ttyS") || HasNumberAfter(name, "ttyAMA");
      const bool usb = HasNumberAfter(name, "ttyUSB") || HasNumberAfter(name, "ttyACM");
      if (pass == 0 ? !uart : !usb) continue;
      const std::string file = "/dev/" + name;
      FoundPort port{PortKind::Serial, file, Classic(settings, PortKind::Serial, file), {}};
      if (usb) {
        const std::optional<UsbSerialAdapter> adapter = UsbAdapterOf(os, file);
        if (!adapter) continue;
        port.description = AdapterText(*adapter);
      } else {
        // The kernel keeps a ttyS for every UART it might have; type 0 is one that is not there.
        const std::string type = Trimmed(os.ReadTextFile("/sys/class/tty/" + name + "/type"));
        if (HasNumberAfter(name, "ttyS") && (type.empty() || type == "0")) continue;
        port.description = std::string(text::kFoundUart);
        const std::string address = Trimmed(os.ReadTextFile("/sys/class/tty/" + name + "/port"));
        if (!address.empty() && address != "0x0")
          port.description += std::string(text::kFoundAt) + address;
      }
      found.push_back(std::move(port));
    }
}

void FindParallelPorts(OsInterface& os, const HardwareSettings& settings,
                       std::vector<FoundPort>& found) {
  for (const std::string& name : Sorted(os.ListDirectory("/dev"))) {
    if (!HasNumberAfter(name, "parport")) continue;
    const std::string file = "/dev/" + name;
    FoundPort port{PortKind::Parallel, file, Classic(settings, PortKind::Parallel, file),
                   std::string(text::kFoundParallel)};
    // "888 1912": the base address (and the extended registers') in decimal.
    const std::string base =
        Trimmed(os.ReadTextFile("/proc/sys/dev/parport/" + name + "/base-addr"));
    if (!base.empty() && base[0] >= '0' && base[0] <= '9') {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%lx",
                    std::stoul(base.substr(0, base.find_first_of(" \t"))));
      port.description += std::string(text::kFoundAt) + hex;
    }
    found.push_back(std::move(port));
  }
}

void FindFtdiChips(OsInterface& os, std::vector<FoundPort>& found) {
  int index = 0;
  for (const std::string& name : Sorted(os.ListDirectory("/sys/bus/usb/devices"))) {
    if (name.find(':') != std::string::npos) continue;  // an interface, not a device
    const std::string dir = "/sys/bus/usb/devices/" + name + "/";
    if (Trimmed(os.ReadTextFile(dir + "idVendor")) != "0403") continue;
    ++index;
    UsbSerialAdapter chip;
    chip.vendor = "0403";
    chip.product = Trimmed(os.ReadTextFile(dir + "idProduct"));
    chip.manufacturer = Trimmed(os.ReadTextFile(dir + "manufacturer"));
    chip.productName = Trimmed(os.ReadTextFile(dir + "product"));
    chip.serial = Trimmed(os.ReadTextFile(dir + "serial"));
    std::string description(text::kFoundFtdi);
    std::string label = chip.manufacturer;
    if (!chip.productName.empty()) label += (label.empty() ? "" : " ") + chip.productName;
    if (!label.empty()) description += " " + label;
    description += " (0403:" + chip.product + ")";
    if (!chip.serial.empty()) description += std::string(text::kFoundSerialNumber) + chip.serial;
    const std::string portName = chip.serial.empty() || index > 4
                                     ? std::string(text::kUsbPortPrefix) + std::to_string(index)
                                     : chip.serial;
    found.push_back({PortKind::Usb, portName,
                     index <= 4 ? std::string(text::kUsbPortPrefix) + std::to_string(index) : "",
                     description});
  }
}

void FindGpioChips(OsInterface& os, std::vector<FoundPort>& found) {
  for (const std::string& name : Sorted(os.ListDirectory("/dev"))) {
    if (!HasNumberAfter(name, text::kGpioPortPrefix)) continue;
    const std::string file = "/dev/" + name;
    FoundPort port{PortKind::Gpio, name, {}, std::string(text::kFoundGpio)};
    const int fd = os.Open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      port.description +=
          std::string(text::kFoundUnopenable) + std::generic_category().message(-fd) + ")";
    } else {
      gpiochip_info info{};
      if (os.Ioctl(fd, GPIO_GET_CHIPINFO_IOCTL, &info) >= 0) {
        info.label[sizeof info.label - 1] = '\0';
        port.description += std::string(" ") + info.label + ", " + std::to_string(info.lines) +
                            std::string(text::kFoundLines);
      }
      os.Close(fd);
    }
    found.push_back(std::move(port));
  }
}

}  // namespace

std::optional<UsbSerialAdapter> UsbAdapterOf(OsInterface& os, const std::string& deviceFile) {
  const std::string tty = "/sys/class/tty/" + BaseName(deviceFile);
  const std::string device = os.RealPath(tty + "/device");
  if (device.empty() || device.find("/usb") == std::string::npos) return std::nullopt;
  UsbSerialAdapter adapter;
  adapter.driver = BaseName(os.RealPath(device + "/driver"));
  // The USB device is the interface's parent (ttyACM) or the one above it (ttyUSB).
  std::string dir = device;
  for (int up = 0; up < 4 && !dir.empty(); ++up) {
    const std::optional<std::string> vendor = os.ReadTextFile(dir + "/idVendor");
    if (vendor) {
      adapter.vendor = Trimmed(vendor);
      adapter.product = Trimmed(os.ReadTextFile(dir + "/idProduct"));
      adapter.manufacturer = Trimmed(os.ReadTextFile(dir + "/manufacturer"));
      adapter.productName = Trimmed(os.ReadTextFile(dir + "/product"));
      adapter.serial = Trimmed(os.ReadTextFile(dir + "/serial"));
      return adapter;
    }
    dir = Parent(dir);
  }
  return adapter;
}

std::vector<FoundPort> FindPorts(OsInterface& os, const HardwareSettings& settings) {
  std::vector<FoundPort> found;
  FindSerialPorts(os, settings, found);
  FindParallelPorts(os, settings, found);
  FindFtdiChips(os, found);
  FindGpioChips(os, found);
  return found;
}

std::vector<FoundPort> FindPorts(OsInterface& os, const HardwareSettings& settings, PortKind kind) {
  std::vector<FoundPort> found;
  switch (kind) {
    case PortKind::Serial:
      FindSerialPorts(os, settings, found);
      break;
    case PortKind::Parallel:
      FindParallelPorts(os, settings, found);
      break;
    case PortKind::Usb:
      FindFtdiChips(os, found);
      break;
    case PortKind::Gpio:
      FindGpioChips(os, found);
      break;
  }
  return found;
}

std::string PortListingText(const std::vector<FoundPort>& ports) {
  std::string out;
  const struct {
    PortKind kind;
    std::string_view heading;
  } kinds[] = {{PortKind::Serial, text::kListSerial},
               {PortKind::Parallel, text::kListParallel},
               {PortKind::Usb, text::kListFtdi},
               {PortKind::Gpio, text::kListGpio}};
  for (const auto& [kind, heading] : kinds) {
    out.append(heading).append("\n");
    bool any = false;
    for (const FoundPort& port : ports) {
      if (port.kind != kind) continue;
      any = true;
      std::string name = port.name;
      if (!port.classic.empty() && port.classic != port.name) name += " (" + port.classic + ")";
      out += "  " + name;
      out += std::string(name.size() < 26 ? 26 - name.size() : 1, ' ');
      out += port.description + "\n";
    }
    if (!any) out.append("  ").append(text::kListNone).append("\n");
  }
  return out;
}

}  // namespace kestrum
