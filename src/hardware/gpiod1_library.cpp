// SPDX-License-Identifier: GPL-3.0-or-later
// The GPIO calls on libgpiod 1.x (the character device, no root).
#include <gpiod.h>

#include <cerrno>
#include <map>

#include "hardware/gpio_interface.hpp"

namespace kestrum {
namespace {

int Failed() {
  return errno != 0 ? -errno : -EIO;
}

class Gpiod1 final : public GpioInterface {
 public:
  Gpiod1() = default;
  ~Gpiod1() override { Close(); }
  Gpiod1(const Gpiod1&) = delete;
  Gpiod1& operator=(const Gpiod1&) = delete;

  int Open(const std::string& path) override {
    Close();
    errno = 0;
    chip_ = gpiod_chip_open(path.c_str());
    return chip_ ? 0 : Failed();
  }
  int LineCount() override { return chip_ ? static_cast<int>(gpiod_chip_num_lines(chip_)) : 0; }
  std::string Label() override {
    const char* label = chip_ ? gpiod_chip_label(chip_) : nullptr;
    return label ? label : "";
  }
  int RequestOutput(unsigned offset, int level) override {
    gpiod_line* line = Line(offset);
    if (!line) return Failed();
    errno = 0;
    return gpiod_line_request_output(line, kGpioConsumer, level) == 0 ? 0 : Failed();
  }
  int RequestInput(unsigned offset) override {
    gpiod_line* line = Line(offset);
    if (!line) return Failed();
    errno = 0;
    return gpiod_line_request_input(line, kGpioConsumer) == 0 ? 0 : Failed();
  }
  int Set(unsigned offset, int level) override {
    gpiod_line* line = Line(offset);
    errno = 0;
    return line && gpiod_line_set_value(line, level) == 0 ? 0 : Failed();
  }
  int Get(unsigned offset) override {
    gpiod_line* line = Line(offset);
    errno = 0;
    const int value = line ? gpiod_line_get_value(line) : -1;
    return value >= 0 ? value : Failed();
  }
  void Close() override {
    // Closing the chip releases its lines.
    if (chip_) gpiod_chip_close(chip_);
    chip_ = nullptr;
    lines_.clear();
  }

 private:
  gpiod_line* Line(unsigned offset) {
    if (!chip_) {
      errno = ENODEV;
      return nullptr;
    }
    auto found = lines_.find(offset);
    if (found != lines_.end()) return found->second;
    errno = 0;
    gpiod_line* line = gpiod_chip_get_line(chip_, offset);
    if (line) lines_[offset] = line;
    return line;
  }

  gpiod_chip* chip_ = nullptr;
  std::map<unsigned, gpiod_line*> lines_;
};

}  // namespace

std::unique_ptr<GpioInterface> SystemGpio() {
  return std::make_unique<Gpiod1>();
}

}  // namespace kestrum
