// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated FTDI chip.
#include "sim/boards/sim_ftdi.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kestrum {
namespace {

// Full-speed USB carries about a megabyte of payload a second.
constexpr std::int64_t kUsbByteNs = 1000;

std::string Hex(int value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

class Handle final : public FtdiInterface {
 public:
  explicit Handle(SimFtdi& chip) : chip_(chip) {}
  int Open(int vendor, int product, const std::string& serial, int index) override {
    return chip_.Open(vendor, product, serial, index);
  }
  int Close() override { return chip_.Close(); }
  FtdiChipType Chip() const override { return chip_.Chip(); }
  int SetBitMode(std::uint8_t mask, std::uint8_t mode) override {
    return chip_.SetBitMode(mask, mode);
  }
  int SetLatencyTimer(int ms) override { return chip_.SetLatencyTimer(ms); }
  int SetBaudRate(int baud) override { return chip_.SetBaudRate(baud); }
  int Purge() override { return chip_.Purge(); }
  int Write(const std::uint8_t* data, int size) override { return chip_.Write(data, size); }
  int Read(std::uint8_t* data, int size) override { return chip_.Read(data, size); }

 private:
  SimFtdi& chip_;
};

}  // namespace

std::unique_ptr<FtdiInterface> SimFtdi::Handle() {
  return std::make_unique<kestrum::Handle>(*this);
}

int SimFtdi::Open(int vendor, int product, const std::string& serial, int index) {
  Log("Open " + Hex(vendor, 4) + ":" + Hex(product, 4) + " #" + std::to_string(index));
  if (openError_) return -openError_;
  if (vendor != kFtdiVendorId || product != product_ || index != 0 ||
      (!serial.empty() && serial != "KS000001")) {
    return -ENODEV;
  }
  if (open_) return -EBUSY;
  open_ = true;
  driverAttached_ = false;
  vanished_ = false;
  return 0;
}

int SimFtdi::Close() {
  Log("Close");
  CatchUp();
  open_ = false;
  driverAttached_ = true;
  return 0;
}

bool SimFtdi::Gone() {
  return !open_ || vanished_;
}

int SimFtdi::SetBitMode(std::uint8_t mask, std::uint8_t mode) {
  Log("SetBitMode " + Hex(mask, 2) + " " + Hex(mode, 2));
  if (Gone()) return -EIO;
  CatchUp();
  mask_ = mode == kBitModeReset ? 0 : mask;
  mode_ = mode;
  // Out of bit-bang mode the pins are the UART's again, all at rest high.
  if (mode == kBitModeReset) board_.DrivePins(0xFF, clock_.nowUs());
  lastDriven_ = -1;
  return 0;
}

int SimFtdi::SetLatencyTimer(int ms) {
  Log("SetLatencyTimer " + std::to_string(ms));
  if (Gone()) return -EIO;
  latencyUs_ = std::max(ms, 1) * 1000;
  return 0;
}

int SimFtdi::SetBaudRate(int baud) {
  Log("SetBaudRate " + std::to_string(baud));
  if (Gone() || baud <= 0) return -EIO;
  stepNs_ = 1000000000 / baud;
  return 0;
}

int SimFtdi::Purge() {
  Log("Purge");
  if (Gone()) return -EIO;
  CatchUp();
  pending_.clear();
  received_.clear();
  return 0;
}

void SimFtdi::WaitUntilNs(std::int64_t ns) {
  const std::int64_t now = NowNs();
  if (ns > now) clock_.delayUs((ns - now + 999) / 1000);
}

void SimFtdi::CatchUp() {
  const std::int64_t now = NowNs();
  const FtdiFifos fifos = FifosOf(chip_);
  while (!pending_.empty() && pending_.front().timeNs <= now) {
    const Step step = pending_.front();
    pending_.pop_front();
    const std::int64_t us = step.timeNs / 1000;
    const std::uint8_t sample = board_.SamplePins(us);
    const std::uint8_t driven = Driven(step.levels);
    if (driven != lastDriven_) board_.DrivePins(driven, us);
    lastDriven_ = driven;
    if (static_cast<int>(received_.size()) >= fifos.receive) {
      overflowed_ = true;  // the sample is lost
    } else {
      received_.push_back(sample);
    }
  }
}

int SimFtdi::Write(const std::uint8_t* data, int size) {
  Log("Write " + std::to_string(size));
  if (Gone() || mode_ != kBitModeSyncBitBang) return -EIO;
  if (vanishAfter_ >= 0) {
    if (size > vanishAfter_) {
      vanished_ = true;
      return -EIO;
    }
    vanishAfter_ -= size;
  }
  CatchUp();
  const std::int64_t start = NowNs();
  std::int64_t at = std::max(lastStepNs_, start);
  for (int k = 0; k < size; ++k) {
    // A byte is clocked out once it has crossed USB and a step after the one before.
    at = std::max(start + (k + 1) * kUsbByteNs, at + stepNs_);
    pending_.push_back({at, data[k]});
  }
  lastStepNs_ = at;
  // The write returns once the chip has taken the last byte: when what it has not clocked
  // out yet fits its transmit FIFO.
  std::int64_t done = start + size * kUsbByteNs;
  const int fifo = FifosOf(chip_).transmit;
  if (static_cast<int>(pending_.size()) > fifo) {
    done = std::max(done, pending_[pending_.size() - 1 - static_cast<std::size_t>(fifo)].timeNs);
  }
  WaitUntilNs(done);
  CatchUp();
  return size;
}

int SimFtdi::Read(std::uint8_t* data, int size) {
  if (Gone()) {
    Log("Read failed");
    return -EIO;
  }
  CatchUp();
  if (received_.empty() || silent_) {
    // Nothing to send yet: the chip answers when the latency timer runs out after the next
    // sample (or with an empty packet).
    const std::int64_t next = pending_.empty() ? NowNs() : pending_.front().timeNs;
    WaitUntilNs(std::max(next, NowNs()) + latencyUs_ * 1000);
    CatchUp();
  }
  int count = silent_ ? 0 : std::min<int>(size, static_cast<int>(received_.size()));
  if (readLimit_ > 0) count = std::min(count, readLimit_);
  for (int i = 0; i < count; ++i) {
    data[i] = received_.front();
    received_.pop_front();
  }
  Log("Read " + std::to_string(count));
  return count;
}

}  // namespace kestrum
