// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port backend on a Linux tty. "Direct I/O" register access is emulated on the
// tty: the UART's modem control lines become TIOCMBIS/TIOCMBIC, its break bit
// TIOCSBRK/TIOCCBRK, its transmit register write(), its line status a tcdrain(), its modem
// status TIOCMGET. The serial system calls map onto the same ioctls directly.
#pragma once

#include <cstdint>
#include <string>

#include "hardware/os_interface.hpp"
#include "hardware/port.hpp"
#include "hardware/port_backends.hpp"

namespace kestrum {

class TtyPort final : public Port {
 public:
  TtyPort(OsInterface& os, int fd, std::string device, std::uint16_t base, std::uint8_t mcr);
  ~TtyPort() override;
  TtyPort(const TtyPort&) = delete;
  TtyPort& operator=(const TtyPort&) = delete;

  std::uint16_t Base() const override { return base_; }
  std::uint8_t In(std::uint16_t address) override;
  void Out(std::uint16_t address, std::uint8_t value) override;

  void SetDtr(bool on) override;
  void SetRts(bool on) override;
  void SetBreak(bool on) override;
  bool Cts() override;
  void SetLineFormat(const LineFormat& format) override;
  void WriteByte(std::uint8_t value) override;
  bool ReadByte(std::uint8_t& value, int timeoutMs) override;

 private:
  void ModemBits(unsigned long request, int bits);
  // An ioctl that drives or samples a line; a failure is told to the sink. The result as
  // the system call returns it.
  int LineIoctl(unsigned long request, void* arg, std::string_view name);

  OsInterface& os_;
  int fd_;
  std::string device_;
  std::uint16_t base_;
  std::uint8_t mcr_;
  std::uint8_t lcr_ = kLcr8N2;
  std::uint8_t ier_ = 0;
  std::uint8_t divisorLow_ = 1;
  std::uint8_t divisorHigh_ = 0;
};

}  // namespace kestrum
