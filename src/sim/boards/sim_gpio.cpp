// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated GPIO chip.
#include "sim/boards/sim_gpio.hpp"

#include <cerrno>

namespace kestrum {
namespace {

class Handle final : public GpioInterface {
 public:
  explicit Handle(SimGpio& chip) : chip_(chip) {}
  ~Handle() override {
    if (opened_) chip_.Close();
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  int Open(const std::string& path) override {
    const int result = chip_.OpenChip(path);
    opened_ = result == 0;
    return result;
  }
  int LineCount() override { return chip_.LineCount(); }
  std::string Label() override { return chip_.Label(); }
  int RequestOutput(unsigned offset, int level) override {
    return chip_.RequestOutput(offset, level);
  }
  int RequestInput(unsigned offset) override { return chip_.RequestInput(offset); }
  int Set(unsigned offset, int level) override { return chip_.Set(offset, level); }
  int Get(unsigned offset) override { return chip_.Get(offset); }
  void Close() override {
    if (opened_) chip_.Close();
    opened_ = false;
  }

 private:
  SimGpio& chip_;
  bool opened_ = false;
};

}  // namespace

std::unique_ptr<GpioInterface> SimGpio::Handle() {
  return std::make_unique<kestrum::Handle>(*this);
}

int SimGpio::OpenChip(const std::string& path) {
  calls_.push_back("Open " + path);
  if (openError_) return -openError_;
  if (path != path_) return -ENOENT;
  if (open_) return -EBUSY;
  open_ = true;
  return 0;
}

int SimGpio::Request(unsigned offset, bool output) {
  if (!open_) return -ENODEV;
  if (static_cast<int>(offset) >= lines_) return -EINVAL;
  if (static_cast<int>(offset) == heldElsewhere_ || requested_.count(offset)) return -EBUSY;
  clock_.delayUs(kGpioCallUs);
  requested_[offset] = output;
  return 0;
}

int SimGpio::RequestOutput(unsigned offset, int level) {
  calls_.push_back("Output " + std::to_string(offset) + " " + std::to_string(level));
  if (const int result = Request(offset, true); result < 0) return result;
  return Set(offset, level);
}

int SimGpio::RequestInput(unsigned offset) {
  calls_.push_back("Input " + std::to_string(offset));
  return Request(offset, false);
}

int SimGpio::Set(unsigned offset, int level) {
  const auto found = requested_.find(offset);
  if (!open_ || found == requested_.end() || !found->second) return -EPERM;
  clock_.delayUs(kGpioCallUs);
  const std::uint64_t bit = std::uint64_t{1} << offset;
  levels_ = level ? (levels_ | bit) : (levels_ & ~bit);
  ++changes_;
  board_.DrivePins(levels_, clock_.nowUs());
  return 0;
}

int SimGpio::Get(unsigned offset) {
  const auto found = requested_.find(offset);
  if (!open_ || found == requested_.end()) return -EPERM;
  clock_.delayUs(kGpioCallUs);
  return (board_.SamplePins(clock_.nowUs()) >> offset) & 1 ? 1 : 0;
}

void SimGpio::Close() {
  calls_.push_back("Close");
  // Released lines keep the level they were left at, as the kernel leaves them.
  requested_.clear();
  open_ = false;
}

}  // namespace kestrum
