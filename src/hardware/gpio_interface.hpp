// SPDX-License-Identifier: GPL-3.0-or-later
// The thin layer through which the GPIO backend calls the kernel's GPIO character device. One
// implementation per library generation (gpiod1_library.cpp for libgpiod 1.x; 2.x goes beside
// it), and the virtual programmer's GPIO chip. Every call returns 0 or a value on success and
// -errno on failure.
#pragma once

#include <memory>
#include <string>

namespace kestrum {

// The consumer name the lines are requested under (shown by gpioinfo).
inline constexpr const char* kGpioConsumer = "kestrum";

class GpioInterface {
 public:
  virtual ~GpioInterface() = default;
  // Opens the chip's device file ("/dev/gpiochip0"). -ENOENT: no such chip; -EACCES: no
  // permission.
  virtual int Open(const std::string& path) = 0;
  virtual int LineCount() = 0;
  virtual std::string Label() = 0;
  // Requests a line as an output at `level` or as an input. -EBUSY: another program holds it.
  virtual int RequestOutput(unsigned offset, int level) = 0;
  virtual int RequestInput(unsigned offset) = 0;
  virtual int Set(unsigned offset, int level) = 0;
  virtual int Get(unsigned offset) = 0;  // 0 or 1
  // Releases every line and the chip.
  virtual void Close() = 0;
};

// libgpiod on the running system.
std::unique_ptr<GpioInterface> SystemGpio();

}  // namespace kestrum
