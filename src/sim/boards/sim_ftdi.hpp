// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual programmer's FTDI chip in synchronous bit-bang mode, behind the same thin
// interface the FTDI backend calls on libftdi: each byte written sets the pins one step after
// the other at the rate of the baud-rate setting, the inputs are sampled into the receive FIFO
// at every step, bytes cross USB at full-speed payload rate (1 MB/s), the transmit FIFO takes
// what the chip has not clocked out yet, and a read that has to wait for samples costs at
// least one latency-timer period; all in virtual time. The pins drive a board (the JDM behind
// the cable's inverters, or a bare board wired by a pin map), whose trace records them as on
// every port.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "hardware/clock.hpp"
#include "hardware/ftdi_interface.hpp"
#include "sim/boards/sim_board.hpp"

namespace kestrum {

class SimFtdi {
 public:
  SimFtdi(Clock& clock, SimBoard& board) : clock_(clock), board_(board) {}

  // The chip: an FT232R by default, vendor 0403, product 6001, serial "KS000001".
  void SetChip(FtdiChipType chip, int product) {
    chip_ = chip;
    product_ = product;
  }
  FtdiChipType Chip() const { return chip_; }

  // Fault knobs: every open fails with this errno; after this many more bytes written the
  // device vanishes (writes and reads fail); reads bring at most this many bytes; the chip
  // stops sending anything back.
  void FailOpen(int error) { openError_ = error; }
  void VanishAfter(long bytes) { vanishAfter_ = bytes; }
  void LimitReads(int bytes) { readLimit_ = bytes; }
  void StopAnswering(bool stop) { silent_ = stop; }

  // What the host did, one line per call ("Open 0403:6001 #0", "SetBitMode 1d 04",
  // "Write 256", "Read 256", "Close"), and what it left.
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  bool KernelDriverAttached() const { return driverAttached_; }
  bool InBitBang() const { return mode_ == kBitModeSyncBitBang; }
  bool Overflowed() const { return overflowed_; }
  std::int64_t LatencyUs() const { return latencyUs_; }

  // A handle for one open of the backend.
  std::unique_ptr<FtdiInterface> Handle();

  int Open(int vendor, int product, const std::string& serial, int index);
  int Close();
  int SetBitMode(std::uint8_t mask, std::uint8_t mode);
  int SetLatencyTimer(int ms);
  int SetBaudRate(int baud);
  int Purge();
  int Write(const std::uint8_t* data, int size);
  int Read(std::uint8_t* data, int size);

 private:
  struct Step {
    std::int64_t timeNs;
    std::uint8_t levels;
  };
  void Log(std::string line) { calls_.push_back(std::move(line)); }
  // Clocks out the steps due by now: each takes the sample of the pins before its levels.
  void CatchUp();
  std::int64_t NowNs() const { return clock_.nowUs() * 1000; }
  void WaitUntilNs(std::int64_t ns);
  std::uint8_t Driven(std::uint8_t levels) const {
    return static_cast<std::uint8_t>((levels & mask_) | ~mask_);
  }
  bool Gone();

  Clock& clock_;
  SimBoard& board_;
  FtdiChipType chip_ = FtdiChipType::Ft232R;
  int product_ = 0x6001;
  int openError_ = 0;
  long vanishAfter_ = -1;
  int readLimit_ = 0;
  bool silent_ = false;
  bool vanished_ = false;
  bool open_ = false;
  bool driverAttached_ = true;
  bool overflowed_ = false;
  std::uint8_t mask_ = 0;
  int lastDriven_ = -1;
  std::uint8_t mode_ = kBitModeReset;
  std::int64_t stepNs_ = 1000000000 / 9600;
  std::int64_t latencyUs_ = 16000;
  std::int64_t lastStepNs_ = 0;
  std::deque<Step> pending_;
  std::deque<std::uint8_t> received_;
  std::vector<std::string> calls_;
};

}  // namespace kestrum
