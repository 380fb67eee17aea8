// SPDX-License-Identifier: GPL-3.0-or-later
// An open programmer port. Register access keeps the meaning of the PC's port instructions
// (one byte at a 16-bit I/O address); the backend answers for the addresses of its own
// port's registers. The serial system calls are the "Windows API" interface of the JDM
// programmer, and the smartcard reader's byte stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui.hpp"
#include "hardware/hardware_settings.hpp"
#include "hardware/pin_stream.hpp"

namespace kestrum {

// Every register address a port does not own reads like an empty bus.
inline constexpr std::uint8_t kFloatingBus = 0xFF;

enum class Parity { None, Odd, Even };

struct LineFormat {
  int baud = 0;  // 0 keeps the port's rate
  int dataBits = 8;
  Parity parity = Parity::None;
  int stopBits = 2;
};

// A port whose pins are set and read one by one (a GPIO chip's lines, or the connector pins
// of a parallel or serial port for a programmer wired by its user). Pins are numbered as the
// port numbers them; bit n of a levels word is pin n, 1 for high.
// A port found on this machine.
struct FoundPort {
  PortKind kind;
  // What the settings take as the port: a device file, an FTDI chip's serial number ("USB1"..
  // when it has none) or a GPIO chip ("gpiochip0").
  std::string name;
  // The classic name of the same port ("Com1", "LPT2"), when it is one of the settings'
  // per-port device files.
  std::string classic;
  std::string description;
};

class PinPort {
 public:
  virtual ~PinPort() = default;
  // The output pins take their bits of `levels`; the other bits are ignored. Only the pins
  // that change are touched.
  virtual void Drive(std::uint64_t levels) = 0;
  // The input pins' levels now (the other bits read 1, as pins nothing drives).
  virtual std::uint64_t Sense() = 0;
};

class Port {
 public:
  virtual ~Port() = default;

  // The I/O address of register 0 (the serial or parallel base of the port).
  virtual std::uint16_t Base() const = 0;
  virtual std::uint8_t In(std::uint16_t address) = 0;
  virtual void Out(std::uint16_t address, std::uint8_t value) = 0;

  // Serial system calls. A port without them (parallel, raw I/O) ignores them; Cts reads false.
  virtual void SetDtr(bool /*on*/) {}
  virtual void SetRts(bool /*on*/) {}
  virtual void SetBreak(bool /*on*/) {}
  virtual bool Cts() { return false; }
  virtual void SetLineFormat(const LineFormat& /*format*/) {}
  virtual void WriteByte(std::uint8_t /*value*/) {}
  // Takes the next received byte, waiting for one at most `timeoutMs`; false when none came.
  // Received bytes wait in the port's input until they are read (nothing purges it).
  virtual bool ReadByte(std::uint8_t& /*value*/, int /*timeoutMs*/) { return false; }

  // A port that streams its pins (its registers and serial calls then do nothing); null for
  // the ports that change one thing at a time.
  virtual PinStream* Stream() { return nullptr; }
  // A port whose pins are set one by one; null for the register ports.
  virtual PinPort* Pins() { return nullptr; }

  // Where the port tells of the first of its system calls that failed, as a text naming the
  // call and the device ("TIOCMBIS on /dev/ttyS0: Input/output error"). A failed call left a
  // line where it was, so whatever runs on the port must stop. Null: not told. A port that
  // wraps another passes the sink on.
  virtual void ReportFailuresTo(std::string* sink) { failureSink_ = sink; }

 protected:
  void CallFailed(const std::string& text) {
    if (failureSink_ != nullptr && failureSink_->empty()) *failureSink_ = text;
  }

 private:
  std::string* failureSink_ = nullptr;
};

// Opens ports for operations. Called from whichever thread runs the operation.
class PortOpener {
 public:
  virtual ~PortOpener() = default;
  // Opens the port the settings name. On failure, tells the user why (unless `report` is
  // false) and returns null; nothing has been driven then.
  virtual std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) = 0;
  // The availability test of the hardware settings: whether the named port (for the settings'
  // programmer type) opens. It is closed again at once; nothing is reported.
  virtual bool Available(const HardwareSettings& settings, std::string_view portName) = 0;
  // The ports of the settings' kind this machine has (the hardware dialog's list); none where
  // nothing can be found.
  virtual std::vector<FoundPort> ListPorts(const HardwareSettings&) { return {}; }
};

}  // namespace kestrum
