// SPDX-License-Identifier: GPL-3.0-or-later
// The GPIO backend: the lines of a GPIO chip as the pins of a port, set and read one by one
// through the kernel's character device. The timing is the line layer's, on the host clock,
// as on the parallel port.
#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "hardware/gpio_interface.hpp"
#include "hardware/port_backends.hpp"
#include "hardware/texts.hpp"

namespace kestrum {
namespace {

class GpioPort final : public Port, public PinPort {
 public:
  GpioPort(std::unique_ptr<GpioInterface> gpio, const GpioRequest& request)
      : gpio_(std::move(gpio)),
        path_(request.path),
        outputs_(request.outputs),
        inputs_(request.inputs) {}
  ~GpioPort() override { gpio_->Close(); }
  GpioPort(const GpioPort&) = delete;
  GpioPort& operator=(const GpioPort&) = delete;

  std::uint16_t Base() const override { return 0; }
  std::uint8_t In(std::uint16_t) override { return kFloatingBus; }
  void Out(std::uint16_t, std::uint8_t) override {}
  PinPort* Pins() override { return this; }

  void Drive(std::uint64_t levels) override {
    for (auto& [offset, level] : outputs_) {
      const int wanted = (levels >> offset) & 1 ? 1 : 0;
      if (wanted == level || failed_) continue;
      if (const int result = gpio_->Set(offset, wanted); result < 0) {
        Fail(text::kGpioSetCall, -result);
        return;
      }
      level = wanted;
    }
  }
  std::uint64_t Sense() override {
    std::uint64_t levels = ~std::uint64_t{0};
    for (unsigned offset : inputs_) {
      if (failed_) break;
      const int value = gpio_->Get(offset);
      if (value < 0) {
        Fail(text::kGpioGetCall, -value);
        break;
      }
      if (value == 0) levels &= ~(std::uint64_t{1} << offset);
    }
    return levels;
  }

 private:
  void Fail(std::string_view call, int error) {
    failed_ = true;
    CallFailed(PortCallFailedText(call, path_, error));
  }

  std::unique_ptr<GpioInterface> gpio_;
  std::string path_;
  std::vector<std::pair<unsigned, int>> outputs_;  // offset, level driven now
  std::vector<unsigned> inputs_;
  bool failed_ = false;
};

}  // namespace

BackendResult OpenGpioPort(std::unique_ptr<GpioInterface> gpio, const GpioRequest& request) {
  if (const int result = gpio->Open(request.path); result < 0) return {nullptr, -result};
  const auto lines = static_cast<unsigned>(std::max(gpio->LineCount(), 0));
  auto fail = [&](int error) {
    gpio->Close();
    return BackendResult{nullptr, error};
  };
  for (const auto& [offset, level] : request.outputs) {
    if (offset >= lines) return fail(ERANGE);
  }
  for (unsigned offset : request.inputs) {
    if (offset >= lines) return fail(ERANGE);
  }
  // The outputs start at their resting levels: the programmer sees no glitch as they are
  // taken over.
  for (const auto& [offset, level] : request.outputs) {
    if (const int result = gpio->RequestOutput(offset, level); result < 0) return fail(-result);
  }
  for (unsigned offset : request.inputs) {
    if (const int result = gpio->RequestInput(offset); result < 0) return fail(-result);
  }
  return {std::make_unique<GpioPort>(std::move(gpio), request), 0};
}

GpioRequest GpioRequestFor(const PinMap& map, std::uint64_t resting, std::string path) {
  GpioRequest request;
  request.path = std::move(path);
  const std::uint64_t outputs = map.Outputs();
  for (unsigned offset = 0; offset < PinAssignment::kMaxPins; ++offset) {
    if ((outputs >> offset) & 1) request.outputs.emplace_back(offset, (resting >> offset) & 1);
  }
  if (map.dataIn.Connected()) request.inputs.push_back(static_cast<unsigned>(map.dataIn.pin));
  return request;
}

}  // namespace kestrum
