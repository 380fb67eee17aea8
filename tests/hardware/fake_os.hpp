// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted operating system for the backend tests: records every call with its decoded
// argument and answers from the test's script.
#pragma once

#include <linux/gpio.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hardware/os_interface.hpp"

namespace kestrum {

struct OsCall {
  std::string name;           // "open", "ioctl", "write", "ioperm on", ...
  unsigned long request = 0;  // ioctl request, or the address of ioperm/inb/outb
  long value = 0;             // the int or byte argument, open flags, byte written, count
  std::string path;
  bool operator==(const OsCall&) const = default;
};

inline void PrintTo(const OsCall& c, std::ostream* os) {
  *os << c.name << '(' << c.path << std::hex << " 0x" << c.request << " 0x" << c.value << ')';
}

inline OsCall Ioctl(unsigned long request, long value = 0) {
  return {"ioctl", request, value};
}

class FakeOs final : public OsInterface {
 public:
  std::vector<OsCall> calls;
  std::map<std::string, int> openErrors;     // path -> errno
  std::map<unsigned long, int> ioctlErrors;  // request -> errno
  int modemBits = 0;                         // TIOCMGET
  unsigned char parallelIn = 0;              // PPRDATA, PPRSTATUS, PPRCONTROL
  termios attributes{};                      // TcGetAttr; TcSetAttr stores here
  std::optional<unsigned long> refusedIoRange;

  // A machine's sysfs and /dev: folders with their names, files with their contents,
  // symbolic links resolved, and GPIO chips by device file.
  std::map<std::string, std::vector<std::string>> folders;
  std::map<std::string, std::string> files;
  std::map<std::string, std::string> links;
  std::map<std::string, gpiochip_info> gpioChips;

  int Open(const char* path, int flags) override {
    calls.push_back({"open", 0, flags, path});
    lastOpened_ = path;
    return openErrors.count(path) ? -openErrors[path] : 7;
  }
  std::vector<std::string> ListDirectory(const std::string& path) override {
    return folders.count(path) ? folders[path] : std::vector<std::string>{};
  }
  std::optional<std::string> ReadTextFile(const std::string& path) override {
    if (!files.count(path)) return std::nullopt;
    return files[path];
  }
  std::string RealPath(const std::string& path) override {
    for (const auto& [from, to] : links) {
      if (path == from) return to;
      if (path.starts_with(from + "/")) return RealPath(to + path.substr(from.size()));
    }
    return files.count(path) || folders.count(path) ? path : std::string();
  }
  int Close(int fd) override { return Record("close", 0, fd); }
  int Ioctl(int, unsigned long request, void* arg) override {
    long value = 0;
    if (request == TIOCMGET) *static_cast<int*>(arg) = modemBits;
    if (request == TIOCMBIS || request == TIOCMBIC || request == PPDATADIR ||
        request == PPSETMODE) {
      value = *static_cast<int*>(arg);
    }
    if (request == PPWDATA || request == PPWCONTROL) value = *static_cast<unsigned char*>(arg);
    if (request == PPRDATA || request == PPRSTATUS || request == PPRCONTROL) {
      *static_cast<unsigned char*>(arg) = parallelIn;
    }
    if (request == GPIO_GET_CHIPINFO_IOCTL)
      *static_cast<gpiochip_info*>(arg) = gpioChips[lastOpened_];
    Record("ioctl", request, value);
    return ioctlErrors.count(request) ? -ioctlErrors[request] : 0;
  }
  std::deque<unsigned char> input;  // bytes the line has brought in, for Poll and Read

  long Read(int, void* buffer, std::size_t count) override {
    if (input.empty() || count == 0) return Record("read", 0, 0);
    *static_cast<unsigned char*>(buffer) = input.front();
    input.pop_front();
    Record("read", 0, 1);
    return 1;
  }
  int Poll(int, short events, int timeoutMs) override {
    Record("poll", static_cast<unsigned long>(events), timeoutMs);
    return input.empty() ? 0 : 1;
  }
  long Write(int, const void* buffer, std::size_t count) override {
    Record("write", 0, *static_cast<const unsigned char*>(buffer));
    return static_cast<long>(count);
  }
  int TcGetAttr(int, termios* t) override {
    *t = attributes;
    return Record("tcgetattr", 0, 0);
  }
  int TcSetAttr(int, const termios* t) override {
    attributes = *t;
    return Record("tcsetattr", 0, 0);
  }
  int TcDrain(int) override { return Record("tcdrain", 0, 0); }
  int IoPerm(unsigned long from, unsigned long count, bool on) override {
    Record(on ? "ioperm on" : "ioperm off", from, static_cast<long>(count));
    return on && refusedIoRange == from ? -EPERM : 0;
  }
  std::uint8_t Inb(std::uint16_t address) override { return Record("inb", address, 0) + 0x5F; }
  void Outb(std::uint8_t value, std::uint16_t address) override { Record("outb", address, value); }

 private:
  std::string lastOpened_;
  int Record(const char* name, unsigned long request, long value) {
    calls.push_back({name, request, value, {}});
    return 0;
  }
};

}  // namespace kestrum
