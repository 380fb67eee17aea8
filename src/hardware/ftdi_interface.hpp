// SPDX-License-Identifier: GPL-3.0-or-later
// The thin layer through which the FTDI backend calls libftdi. The backend gets it injected,
// so tests can check exactly which calls it makes, and the virtual programmer's FTDI chip
// implements it. Every call returns 0 or a count on success and -errno on failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrum {

// The chips whose synchronous bit-bang mode the backend drives, with their FIFO sizes.
enum class FtdiChipType { Ft232R, Ft230X, Ft232H, Ft2232H, Ft4232H };

struct FtdiFifos {
  int transmit;  // bytes the chip takes from USB before it clocks them out
  int receive;   // samples the chip holds until the host reads them
};
FtdiFifos FifosOf(FtdiChipType chip);

// The products the backend looks for when the settings name none.
inline constexpr int kFtdiProducts[] = {0x6001, 0x6015, 0x6014, 0x6010, 0x6011};

inline constexpr std::uint8_t kBitModeReset = 0x00;
inline constexpr std::uint8_t kBitModeSyncBitBang = 0x04;

class FtdiInterface {
 public:
  virtual ~FtdiInterface() = default;
  // Opens the `index`th device (from 0) with this vendor and product and, when `serial` is not
  // empty, this serial number. The kernel's serial driver is let go while the device is open
  // and is given the device back by Close. -ENODEV: no such device; -EACCES: no permission;
  // -EBUSY: another program holds it.
  virtual int Open(int vendor, int product, const std::string& serial, int index) = 0;
  virtual int Close() = 0;
  virtual FtdiChipType Chip() const = 0;
  // `mask`: the pins that are outputs.
  virtual int SetBitMode(std::uint8_t mask, std::uint8_t mode) = 0;
  virtual int SetLatencyTimer(int ms) = 0;
  virtual int SetBaudRate(int baud) = 0;
  virtual int Purge() = 0;  // drops what waits in both FIFOs
  // Writes `size` bytes; returns when the chip has taken them.
  virtual int Write(const std::uint8_t* data, int size) = 0;
  // Reads what has come back, at most `size` bytes; 0 when nothing came within the latency
  // timer.
  virtual int Read(std::uint8_t* data, int size) = 0;
};

// libftdi on the running system.
std::unique_ptr<FtdiInterface> SystemFtdi();

}  // namespace kestrum
