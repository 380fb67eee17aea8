// A scripted operating system for the backend tests: records every call with its decoded
// argument and answers from the test's script.
#pragma once

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hardware/os_interface.hpp"

namespace kestrum {

struct OsCall {
  std::string name;  // "open", "close", "ioctl", "write", "tcgetattr", "tcsetattr", ...
  unsigned long request = 0;
  long value = 0;  // the int or byte argument, the byte written, the open flags, ...
  std::string path;

  bool operator==(const OsCall&) const = default;
};

inline void PrintTo(const OsCall& c, std::ostream* os) {
  *os << c.name << '(' << c.path << " request=0x" << std::hex << c.request << " value=0x"
      << c.value << std::dec << ')';
}

class FakeOs final : public OsInterface {
 public:
  std::vector<OsCall> calls;
  std::map<std::string, int> openErrors;     // path -> errno
  std::map<unsigned long, int> ioctlErrors;  // request -> errno
  int modemBits = 0;                         // TIOCMGET
  unsigned char dataRegister = 0;            // PPRDATA
  unsigned char statusRegister = 0;          // PPRSTATUS
  unsigned char controlRegister = 0;         // PPRCONTROL
  termios attributes{};                      // TcGetAttr
  std::optional<termios> written;            // TcSetAttr
  int ioPermError = 0;
  int ioPermFailFrom = -1;  // only this start address fails, when set
  std::map<std::uint16_t, std::uint8_t> inputs;

  int Open(const char* path, int flags) override {
    calls.push_back({"open", 0, flags, path});
    auto it = openErrors.find(path);
    return it == openErrors.end() ? 7 : -it->second;
  }
  int Close(int fd) override {
    calls.push_back({"close", 0, fd, {}});
    return 0;
  }
  int Ioctl(int, unsigned long request, void* arg) override {
    long value = 0;
    switch (request) {
      case TIOCMGET: *static_cast<int*>(arg) = modemBits; break;
      case TIOCMBIS:
      case TIOCMBIC:
      case PPDATADIR:
      case PPSETMODE: value = *static_cast<int*>(arg); break;
      case PPWDATA:
      case PPWCONTROL: value = *static_cast<unsigned char*>(arg); break;
      case PPRDATA: *static_cast<unsigned char*>(arg) = dataRegister; break;
      case PPRSTATUS: *static_cast<unsigned char*>(arg) = statusRegister; break;
      case PPRCONTROL: *static_cast<unsigned char*>(arg) = controlRegister; break;
      default: break;
    }
    calls.push_back({"ioctl", request, value, {}});
    auto it = ioctlErrors.find(request);
    return it == ioctlErrors.end() ? 0 : -it->second;
  }
  long Read(int, void*, std::size_t) override {
    calls.push_back({"read", 0, 0, {}});
    return 0;
  }
  long Write(int, const void* buffer, std::size_t count) override {
    calls.push_back({"write", 0, *static_cast<const unsigned char*>(buffer), {}});
    return static_cast<long>(count);
  }
  int TcGetAttr(int, termios* t) override {
    calls.push_back({"tcgetattr", 0, 0, {}});
    *t = attributes;
    return 0;
  }
  int TcSetAttr(int, const termios* t) override {
    calls.push_back({"tcsetattr", 0, 0, {}});
    written = *t;
    return 0;
  }
  int TcDrain(int) override {
    calls.push_back({"tcdrain", 0, 0, {}});
    return 0;
  }
  int IoPerm(unsigned long from, unsigned long count, bool on) override {
    calls.push_back({on ? "ioperm on" : "ioperm off", from, static_cast<long>(count), {}});
    if (on && ioPermError && (ioPermFailFrom < 0 || static_cast<long>(from) == ioPermFailFrom)) {
      return -ioPermError;
    }
    return 0;
  }
  std::uint8_t Inb(std::uint16_t address) override {
    calls.push_back({"inb", address, 0, {}});
    return inputs.count(address) ? inputs[address] : 0;
  }
  void Outb(std::uint8_t value, std::uint16_t address) override {
    calls.push_back({"outb", address, value, {}});
  }

  static OsCall IoctlCall(unsigned long request, long value = 0) {
    return {"ioctl", request, value, {}};
  }
};

}  // namespace kestrum
