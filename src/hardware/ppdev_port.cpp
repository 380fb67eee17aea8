// SPDX-License-Identifier: GPL-3.0-or-later
// Parallel port backend on ppdev.
#include "hardware/ppdev_port.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>

#include <linux/parport.h>
#include <linux/ppdev.h>

#include "hardware/port_backends.hpp"

namespace kestrum {

namespace {

constexpr std::uint8_t kControlDirection = 0x20;  // data register reads the pins
// The bits ppdev lets a program write through PPWCONTROL; direction goes through PPDATADIR.
constexpr std::uint8_t kControlLines = 0x0F;

int ModeFor(std::uint8_t extendedControl) {
  switch (extendedControl >> 5) {
    case 1:
      return IEEE1284_MODE_BYTE;
    case 3:
      return IEEE1284_MODE_ECP;
    case 4:
      return IEEE1284_MODE_EPP;
    default:
      return IEEE1284_MODE_COMPAT;
  }
}

}  // namespace

BackendResult OpenPpdevPort(OsInterface& os, const std::string& deviceFile, PortKind,
                            std::uint16_t base) {
  int fd = os.Open(deviceFile.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return {nullptr, -fd};
  // Exclusive, so that no printer driver shares the port while we drive its lines.
  os.Ioctl(fd, PPEXCL, nullptr);
  int result = os.Ioctl(fd, PPCLAIM, nullptr);
  if (result < 0) {
    os.Close(fd);
    return {nullptr, -result};
  }
  unsigned char control = 0;
  os.Ioctl(fd, PPRCONTROL, &control);
  return {std::make_unique<PpdevPort>(os, fd, deviceFile, base, control), 0};
}

PpdevPort::PpdevPort(OsInterface& os, int fd, std::string device, std::uint16_t base,
                     std::uint8_t control)
    : os_(os), fd_(fd), device_(std::move(device)), base_(base), control_(control) {}

void PpdevPort::Call(unsigned long request, void* arg, std::string_view name) {
  if (const int result = os_.Ioctl(fd_, request, arg); result < 0) {
    CallFailed(PortCallFailedText(name, device_, -result));
  }
}

PpdevPort::~PpdevPort() {
  os_.Ioctl(fd_, PPRELEASE, nullptr);
  os_.Close(fd_);
}

std::uint8_t PpdevPort::In(std::uint16_t address) {
  unsigned char value = kFloatingBus;
  if (address == base_ + reg::kData) {
    Call(PPRDATA, &value, "PPRDATA");
  } else if (address == base_ + reg::kStatus) {
    Call(PPRSTATUS, &value, "PPRSTATUS");
  } else if (address == base_ + reg::kControl) {
    unsigned char lines = 0;
    Call(PPRCONTROL, &lines, "PPRCONTROL");
    value = static_cast<unsigned char>((lines & kControlLines) | (control_ & ~kControlLines));
  } else if (address == base_ + reg::kExtendedControl) {
    value = extendedControl_;
  }
  return value;
}

void PpdevPort::Out(std::uint16_t address, std::uint8_t value) {
  if (address == base_ + reg::kData) {
    unsigned char data = value;
    Call(PPWDATA, &data, "PPWDATA");
  } else if (address == base_ + reg::kControl) {
    if ((value ^ control_) & kControlDirection) {
      int reverse = (value & kControlDirection) ? 1 : 0;
      Call(PPDATADIR, &reverse, "PPDATADIR");
    }
    unsigned char lines = value & kControlLines;
    Call(PPWCONTROL, &lines, "PPWCONTROL");
    control_ = value;
  } else if (address == base_ + reg::kExtendedControl) {
    if ((value ^ extendedControl_) & 0xE0) {
      int mode = ModeFor(value);
      Call(PPSETMODE, &mode, "PPSETMODE");
    }
    extendedControl_ = value;
  }
}

}  // namespace kestrum
