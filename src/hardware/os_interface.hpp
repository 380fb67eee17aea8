// SPDX-License-Identifier: GPL-3.0-or-later
// The thin layer through which the port backends call the operating system. The backends get
// it injected, so tests can check exactly which calls, ioctls and bits a backend issues.
// Every call returns what the system call returns, except that failures come back as -errno.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrum {

class OsInterface {
 public:
  virtual ~OsInterface() = default;
  virtual int Open(const char* path, int flags) = 0;
  virtual int Close(int fd) = 0;
  // `arg` points to the ioctl's argument, or is null for ioctls without one.
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
  virtual long Read(int fd, void* buffer, std::size_t count) = 0;
  virtual long Write(int fd, const void* buffer, std::size_t count) = 0;
  // poll() on one descriptor: > 0 when one of `events` is ready, 0 after `timeoutMs`.
  virtual int Poll(int fd, short events, int timeoutMs) = 0;
  virtual int TcGetAttr(int fd, termios* attributes) = 0;
  virtual int TcSetAttr(int fd, const termios* attributes) = 0;  // applied at once
  virtual int TcDrain(int fd) = 0;  // waits until every written byte has left the UART
  virtual int IoPerm(unsigned long from, unsigned long count, bool on) = 0;
  virtual std::uint8_t Inb(std::uint16_t address) = 0;
  virtual void Outb(std::uint8_t value, std::uint16_t address) = 0;

  // What port discovery reads (sysfs and /dev). The names in a folder, without "." and "..";
  // empty when it cannot be read.
  virtual std::vector<std::string> ListDirectory(const std::string& /*path*/) { return {}; }
  // A small file's contents (a sysfs attribute); nothing when it cannot be read.
  virtual std::optional<std::string> ReadTextFile(const std::string& /*path*/) {
    return std::nullopt;
  }
  // The path with its symbolic links resolved; empty when it does not exist.
  virtual std::string RealPath(const std::string& /*path*/) { return {}; }
};

// The running system's calls.
OsInterface& SystemOs();

}  // namespace kestrum
