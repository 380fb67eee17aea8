// SPDX-License-Identifier: GPL-3.0-or-later
// The FTDI backend: a chip in synchronous bit-bang mode as a port that streams. Every step is
// one byte to the chip, which sets the pins and sends back the inputs it sampled; the backend
// writes in chunks the chip's FIFOs hold, reads every sample back so the receive FIFO never
// overflows, and gives the kernel's serial driver the device back however the port ends.
#include <algorithm>
#include <cerrno>
#include <deque>
#include <system_error>
#include <vector>

#include "hardware/ftdi_interface.hpp"
#include "hardware/port_backends.hpp"
#include "hardware/texts.hpp"

namespace kestrum {

FtdiFifos FifosOf(FtdiChipType chip) {
  switch (chip) {
    case FtdiChipType::Ft232R:
      return {128, 256};
    case FtdiChipType::Ft230X:
      return {512, 512};
    case FtdiChipType::Ft232H:
      return {1024, 1024};
    case FtdiChipType::Ft2232H:
      return {4096, 4096};
    case FtdiChipType::Ft4232H:
      return {2048, 2048};
  }
  return {128, 256};
}

namespace {

class FtdiPort final : public Port, public PinStream {
 public:
  FtdiPort(std::unique_ptr<FtdiInterface> ftdi, bool releaseToSerial)
      : ftdi_(std::move(ftdi)), fifos_(FifosOf(ftdi_->Chip())), releaseToSerial_(releaseToSerial) {}
  ~FtdiPort() override {
    if (!open_) return;
    // The last steps must be out on the pins before the chip leaves bit-bang mode.
    Send();
    ReadBack(sent_);
    if (open_ && releaseToSerial_) ftdi_->SetBitMode(0, kBitModeReset);
    if (open_) ftdi_->Close();
  }
  FtdiPort(const FtdiPort&) = delete;
  FtdiPort& operator=(const FtdiPort&) = delete;

  // The first step: the resting levels, written as the chip enters bit-bang mode.
  bool Start(std::uint8_t resting) {
    open_ = true;
    return Put(resting) == 0 && Send();
  }

  std::uint16_t Base() const override { return 0; }
  std::uint8_t In(std::uint16_t) override { return kFloatingBus; }
  void Out(std::uint16_t, std::uint8_t) override {}
  PinStream* Stream() override { return this; }

  std::int64_t StepNs() const override { return kFtdiStepNs; }
  std::uint64_t Put(std::uint8_t levels) override {
    queued_.push_back(levels);
    const std::uint64_t step = sent_ + queued_.size() - 1;
    if (queued_.size() >= Chunk()) Send();
    return step;
  }
  void Hold(std::int64_t count) override {
    const std::uint8_t levels = queued_.empty() ? last_ : queued_.back();
    for (std::int64_t i = 0; i < count; ++i) Put(levels);
  }
  std::int64_t Flush() override {
    Send();
    // The write returns once the chip has the bytes; those not known to be clocked out yet
    // are at most a transmit FIFO full.
    const auto unconfirmed = static_cast<std::int64_t>(sent_ - received_);
    return std::min<std::int64_t>(unconfirmed, fifos_.transmit) * kFtdiStepNs;
  }
  std::uint8_t Sample(std::uint64_t step) override {
    if (step >= sent_) Send();
    if (step >= sent_ || !ReadBack(step + 1) || step < samplesFrom_) return 0xFF;
    return samples_[static_cast<std::size_t>(step - samplesFrom_)];
  }
  void Release(std::uint64_t step) override {
    keepFrom_ = std::max(keepFrom_, step);
    while (samplesFrom_ < keepFrom_ && !samples_.empty()) {
      samples_.pop_front();
      ++samplesFrom_;
    }
  }
  std::string Failure() const override { return failure_; }

 private:
  // Writes of half the receive FIFO: one chunk's samples wait while the next goes out, so a
  // long run never waits for the latency timer, and the FIFO never overflows.
  std::size_t Chunk() const { return static_cast<std::size_t>(fifos_.receive / 2); }

  bool Send() {
    std::size_t at = 0;
    while (open_ && at < queued_.size()) {
      const std::size_t n = std::min(queued_.size() - at, Chunk());
      // Room for this chunk's samples first.
      const std::uint64_t room = 2 * Chunk();
      if (!ReadBack(sent_ + n > received_ + room ? sent_ + n - room : received_)) break;
      const int written = ftdi_->Write(queued_.data() + at, static_cast<int>(n));
      if (written != static_cast<int>(n)) {
        Fail(text::kFtdiWriteCall, written < 0 ? -written : EIO);
        break;
      }
      last_ = queued_[at + n - 1];
      at += n;
      sent_ += n;
    }
    if (!open_) {
      // A stopped port drops the steps but keeps their numbers.
      sent_ += queued_.size() - at;
      received_ = sent_;
    }
    queued_.clear();
    return open_;
  }

  // Reads until the samples of the steps before `through` are in.
  bool ReadBack(std::uint64_t through) {
    int empty = 0;
    std::uint8_t buffer[4096];
    while (open_ && received_ < through) {
      const auto want = static_cast<int>(std::min<std::uint64_t>(sent_ - received_, sizeof buffer));
      const int got = ftdi_->Read(buffer, want);
      if (got < 0) {
        Fail(text::kFtdiReadCall, -got);
        break;
      }
      // Each empty read has waited a latency period: the chip has stopped answering.
      if (got == 0 && ++empty > kFtdiEmptyReadLimit) {
        Fail(text::kFtdiReadCall, ETIMEDOUT);
        break;
      }
      for (int i = 0; i < got; ++i, ++received_) {
        if (received_ >= keepFrom_) {
          if (samples_.empty()) samplesFrom_ = received_;
          samples_.push_back(buffer[i]);
        }
      }
    }
    return open_;
  }

  void Fail(std::string_view call, int error) {
    failure_ = PortCallFailedText(call, text::kFtdiChip, error);
    CallFailed(failure_);
    open_ = false;
    // Whatever went wrong, the kernel's serial driver gets the device back.
    ftdi_->Close();
  }

  std::unique_ptr<FtdiInterface> ftdi_;
  FtdiFifos fifos_;
  bool releaseToSerial_;
  bool open_ = false;
  std::vector<std::uint8_t> queued_;
  std::uint8_t last_ = 0;
  std::uint64_t sent_ = 0;
  std::uint64_t received_ = 0;
  std::uint64_t keepFrom_ = 0;
  std::deque<std::uint8_t> samples_;
  std::uint64_t samplesFrom_ = 0;
  std::string failure_;
};

}  // namespace

int OpenFtdiDevice(FtdiInterface& ftdi, const FtdiRequest& request) {
  if (request.product != 0) {
    return ftdi.Open(request.vendor, request.product, request.serial, request.index);
  }
  int result = -ENODEV;
  for (int product : kFtdiProducts) {
    result = ftdi.Open(request.vendor, product, request.serial, request.index);
    if (result != -ENODEV) break;
  }
  return result;
}

BackendResult OpenFtdiPort(std::unique_ptr<FtdiInterface> ftdi, const FtdiRequest& request) {
  if (int result = OpenFtdiDevice(*ftdi, request); result < 0) return {nullptr, -result};
  FtdiInterface& chip = *ftdi;
  int result = chip.SetLatencyTimer(kFtdiLatencyMs);
  if (result >= 0) result = chip.SetBaudRate(kFtdiBaud);
  if (result >= 0) result = chip.SetBitMode(request.outputs, kBitModeSyncBitBang);
  if (result >= 0) result = chip.Purge();
  if (result < 0) {
    chip.Close();
    return {nullptr, -result};
  }
  auto port = std::make_unique<FtdiPort>(std::move(ftdi), request.releaseToSerial);
  // A port that fails here has closed the device already.
  if (!port->Start(request.resting)) return {nullptr, EIO};
  return {std::move(port), 0};
}

}  // namespace kestrum
