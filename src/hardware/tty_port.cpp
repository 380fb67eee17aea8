// SPDX-License-Identifier: GPL-3.0-or-later
// Serial port backend on a Linux tty.
#include "hardware/tty_port.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace kestrum {

namespace {

speed_t SpeedFor(int baud) {
  switch (baud) {
    case 300:
      return B300;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

}  // namespace

BackendResult OpenTtyPort(OsInterface& os, const std::string& deviceFile, PortKind,
                          std::uint16_t base) {
  // Non-blocking, so that a port without carrier does not hang the open.
  int fd = os.Open(deviceFile.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {nullptr, -fd};
  // The programmer needs the lines to itself, as on a port opened without sharing.
  os.Ioctl(fd, TIOCEXCL, nullptr);
  int bits = 0;
  int result = os.Ioctl(fd, TIOCMGET, &bits);
  if (result < 0) {  // not a serial port
    os.Close(fd);
    return {nullptr, -result};
  }
  std::uint8_t mcr = static_cast<std::uint8_t>(((bits & TIOCM_DTR) ? kMcrDtr : 0) |
                                               ((bits & TIOCM_RTS) ? kMcrRts : 0));
  return {std::make_unique<TtyPort>(os, fd, deviceFile, base, mcr), 0};
}

TtyPort::TtyPort(OsInterface& os, int fd, std::string device, std::uint16_t base, std::uint8_t mcr)
    : os_(os), fd_(fd), device_(std::move(device)), base_(base), mcr_(mcr) {}

int TtyPort::LineIoctl(unsigned long request, void* arg, std::string_view name) {
  const int result = os_.Ioctl(fd_, request, arg);
  if (result < 0) CallFailed(PortCallFailedText(name, device_, -result));
  return result;
}

TtyPort::~TtyPort() {
  os_.Close(fd_);
}

std::uint8_t TtyPort::In(std::uint16_t address) {
  if (address < base_ || address > base_ + 7) return kFloatingBus;
  switch (address - base_) {
    case reg::kThr:
      return (lcr_ & kLcrDlab) ? divisorLow_ : 0;
    case reg::kDivisorHigh:
      return (lcr_ & kLcrDlab) ? divisorHigh_ : ier_;
    case 2:
      return 0x01;  // no interrupt pending
    case reg::kLcr:
      return lcr_;
    case reg::kMcr:
      return mcr_;
    case reg::kLsr:
      // The tty hides the UART's status; once tcdrain() returns, the transmitter is empty.
      if (const int result = os_.TcDrain(fd_); result < 0) {
        CallFailed(PortCallFailedText("tcdrain", device_, -result));
      }
      return kLsrThre | kLsrTemt;
    case reg::kMsr: {
      int bits = 0;
      if (LineIoctl(TIOCMGET, &bits, "TIOCMGET") < 0) return 0;
      return static_cast<std::uint8_t>(
          ((bits & TIOCM_CTS) ? kMsrCts : 0) | ((bits & TIOCM_DSR) ? 0x20 : 0) |
          ((bits & TIOCM_RI) ? 0x40 : 0) | ((bits & TIOCM_CD) ? 0x80 : 0));
    }
    default:
      return 0;
  }
}

void TtyPort::Out(std::uint16_t address, std::uint8_t value) {
  if (address < base_ || address > base_ + 7) return;
  switch (address - base_) {
    case reg::kThr:
      if (lcr_ & kLcrDlab) {
        divisorLow_ = value;
      } else {
        WriteByte(value);
      }
      break;
    case reg::kDivisorHigh:
      if (lcr_ & kLcrDlab) {
        divisorHigh_ = value;
      } else {
        ier_ = value;
      }
      break;
    case reg::kLcr:
      // The line format was set when the port opened; only the break bit reaches the line.
      if ((value ^ lcr_) & kLcrBreak) SetBreak((value & kLcrBreak) != 0);
      lcr_ = value;
      break;
    case reg::kMcr: {
      int on = 0;
      int off = 0;
      std::uint8_t changed = value ^ mcr_;
      if (changed & kMcrDtr) ((value & kMcrDtr) ? on : off) |= TIOCM_DTR;
      if (changed & kMcrRts) ((value & kMcrRts) ? on : off) |= TIOCM_RTS;
      if (on) ModemBits(TIOCMBIS, on);
      if (off) ModemBits(TIOCMBIC, off);
      mcr_ = value;
      break;
    }
    default:
      break;
  }
}

void TtyPort::ModemBits(unsigned long request, int bits) {
  LineIoctl(request, &bits, request == TIOCMBIS ? "TIOCMBIS" : "TIOCMBIC");
}

void TtyPort::SetDtr(bool on) {
  ModemBits(on ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
  mcr_ = static_cast<std::uint8_t>(on ? (mcr_ | kMcrDtr) : (mcr_ & ~kMcrDtr));
}

void TtyPort::SetRts(bool on) {
  ModemBits(on ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
  mcr_ = static_cast<std::uint8_t>(on ? (mcr_ | kMcrRts) : (mcr_ & ~kMcrRts));
}

void TtyPort::SetBreak(bool on) {
  LineIoctl(on ? TIOCSBRK : TIOCCBRK, nullptr, on ? "TIOCSBRK" : "TIOCCBRK");
  lcr_ = static_cast<std::uint8_t>(on ? (lcr_ | kLcrBreak) : (lcr_ & ~kLcrBreak));
}

bool TtyPort::Cts() {
  int bits = 0;
  return LineIoctl(TIOCMGET, &bits, "TIOCMGET") >= 0 && (bits & TIOCM_CTS) != 0;
}

void TtyPort::SetLineFormat(const LineFormat& format) {
  termios t{};
  if (os_.TcGetAttr(fd_, &t) < 0) return;
  // Raw bytes, no flow control, modem lines ignored; and no hang-up on close, so that closing
  // the port leaves DTR and RTS where the last operation put them.
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
  switch (format.dataBits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    default:
      t.c_cflag |= CS8;
      break;
  }
  if (format.parity != Parity::None) t.c_cflag |= PARENB;
  if (format.parity == Parity::Odd) t.c_cflag |= PARODD;
  if (format.stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_cflag |= CLOCAL | CREAD;
  speed_t speed = SpeedFor(format.baud);
  if (speed != B0) {
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
  }
  os_.TcSetAttr(fd_, &t);
  std::uint8_t bits = static_cast<std::uint8_t>(
      ((format.dataBits >= 5 && format.dataBits <= 8) ? format.dataBits - 5 : 3) |
      (format.stopBits == 2 ? 0x04 : 0) | (format.parity != Parity::None ? 0x08 : 0) |
      (format.parity == Parity::Even ? 0x10 : 0));
  lcr_ = static_cast<std::uint8_t>((lcr_ & (kLcrBreak | kLcrDlab)) | bits);
}

void TtyPort::WriteByte(std::uint8_t value) {
  if (const long result = os_.Write(fd_, &value, 1); result < 0) {
    CallFailed(PortCallFailedText("write", device_, static_cast<int>(-result)));
  }
}

bool TtyPort::ReadByte(std::uint8_t& value, int timeoutMs) {
  // The port is open non-blocking: poll for the byte, then take it. A signal that cuts the
  // wait short ends the wait early, which only a byte that never came can notice.
  int ready = os_.Poll(fd_, POLLIN, timeoutMs);
  if (ready == -EINTR) ready = os_.Poll(fd_, POLLIN, timeoutMs);
  if (ready <= 0) return false;
  return os_.Read(fd_, &value, 1) == 1;
}

}  // namespace kestrum
