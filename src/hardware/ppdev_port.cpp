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
  return {std::make_unique<PpdevPort>(os, fd, base, control), 0};
}

PpdevPort::PpdevPort(OsInterface& os, int fd, std::uint16_t base, std::uint8_t control)
    : os_(os), fd_(fd), base_(base), control_(control) {}

PpdevPort::~PpdevPort() {
  os_.Ioctl(fd_, PPRELEASE, nullptr);
  os_.Close(fd_);
}

std::uint8_t PpdevPort::In(std::uint16_t address) {
  unsigned char value = kFloatingBus;
  if (address == base_ + reg::kData) {
    os_.Ioctl(fd_, PPRDATA, &value);
  } else if (address == base_ + reg::kStatus) {
    os_.Ioctl(fd_, PPRSTATUS, &value);
  } else if (address == base_ + reg::kControl) {
    unsigned char lines = 0;
    os_.Ioctl(fd_, PPRCONTROL, &lines);
    value = static_cast<unsigned char>((lines & kControlLines) | (control_ & ~kControlLines));
  } else if (address == base_ + reg::kExtendedControl) {
    value = extendedControl_;
  }
  return value;
}

void PpdevPort::Out(std::uint16_t address, std::uint8_t value) {
  if (address == base_ + reg::kData) {
    unsigned char data = value;
    os_.Ioctl(fd_, PPWDATA, &data);
  } else if (address == base_ + reg::kControl) {
    if ((value ^ control_) & kControlDirection) {
      int reverse = (value & kControlDirection) ? 1 : 0;
      os_.Ioctl(fd_, PPDATADIR, &reverse);
    }
    unsigned char lines = value & kControlLines;
    os_.Ioctl(fd_, PPWCONTROL, &lines);
    control_ = value;
  } else if (address == base_ + reg::kExtendedControl) {
    if ((value ^ extendedControl_) & 0xE0) {
      int mode = ModeFor(value);
      os_.Ioctl(fd_, PPSETMODE, &mode);
    }
    extendedControl_ = value;
  }
}

}  // namespace kestrum
