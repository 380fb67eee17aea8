// SPDX-License-Identifier: GPL-3.0-or-later
// The real operating system behind OsInterface.
#include "hardware/os_interface.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#if __has_include(<sys/io.h>)
#include <sys/io.h>
#define KESTRUM_HAS_PORT_IO 1
#else
#define KESTRUM_HAS_PORT_IO 0
#endif

namespace kestrum {

namespace {

long Result(long value) {
  return value < 0 ? -errno : value;
}

class LinuxOs final : public OsInterface {
 public:
  int Open(const char* path, int flags) override {
    return static_cast<int>(Result(::open(path, flags)));
  }
  int Close(int fd) override { return static_cast<int>(Result(::close(fd))); }
  int Ioctl(int fd, unsigned long request, void* arg) override {
    return static_cast<int>(Result(::ioctl(fd, request, arg)));
  }
  long Read(int fd, void* buffer, std::size_t count) override {
    return Result(::read(fd, buffer, count));
  }
  long Write(int fd, const void* buffer, std::size_t count) override {
    return Result(::write(fd, buffer, count));
  }
  int Poll(int fd, short events, int timeoutMs) override {
    pollfd entry{fd, events, 0};
    return static_cast<int>(Result(::poll(&entry, 1, timeoutMs)));
  }
  int TcGetAttr(int fd, termios* attributes) override {
    return static_cast<int>(Result(::tcgetattr(fd, attributes)));
  }
  int TcSetAttr(int fd, const termios* attributes) override {
    return static_cast<int>(Result(::tcsetattr(fd, TCSANOW, attributes)));
  }
  int TcDrain(int fd) override { return static_cast<int>(Result(::tcdrain(fd))); }
#if KESTRUM_HAS_PORT_IO
  int IoPerm(unsigned long from, unsigned long count, bool on) override {
    return static_cast<int>(Result(::ioperm(from, count, on ? 1 : 0)));
  }
  std::uint8_t Inb(std::uint16_t address) override {
    return ::inb(address);
  }
  void Outb(std::uint8_t value, std::uint16_t address) override {
    ::outb(value, address);
  }
#else
  // Processors without port instructions have no raw port access.
  int IoPerm(unsigned long, unsigned long, bool) override {
    return -ENOSYS;
  }
  std::uint8_t Inb(std::uint16_t) override {
    return 0xFF;
  }
  void Outb(std::uint8_t, std::uint16_t) override {}
#endif
  std::vector<std::string> ListDirectory(const std::string& path) override {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
  }
  std::optional<std::string> ReadTextFile(const std::string& path) override {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string RealPath(const std::string& path) override {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
  }
};

}  // namespace

OsInterface& SystemOs() {
  static LinuxOs os;
  return os;
}

}  // namespace kestrum
