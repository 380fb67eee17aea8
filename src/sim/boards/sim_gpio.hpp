// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual programmer's GPIO chip, behind the same thin interface the GPIO backend calls
// on libgpiod: its lines drive a board wired by a pin map (the GPIO header's, or a user's
// programmer's) and read the chip's data line back, each call costing about what the kernel's
// character device takes, in virtual time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hardware/clock.hpp"
#include "hardware/gpio_interface.hpp"
#include "sim/boards/sim_board.hpp"

namespace kestrum {

// One line request or value change through the character device.
inline constexpr std::int64_t kGpioCallUs = 1;

class SimGpio {
 public:
  SimGpio(Clock& clock, SimBoard& board) : clock_(clock), board_(board) {}

  // The chip: "/dev/gpiochip0", 54 lines, labelled "pinctrl-bcm2835" by default.
  void SetChip(std::string path, int lines, std::string label) {
    path_ = std::move(path);
    lines_ = lines;
    label_ = std::move(label);
  }
  // Fault knobs: every open fails with this errno; line `offset` is held by another program.
  void FailOpen(int error) { openError_ = error; }
  void HoldLine(int offset) { heldElsewhere_ = offset; }

  // What the host did ("Open /dev/gpiochip0", "Output 17 0", "Input 22", "Close"; value
  // changes and reads are counted, not logged) and what it holds now.
  const std::vector<std::string>& Calls() const { return calls_; }
  long Changes() const { return changes_; }
  bool Open() const { return open_; }
  std::size_t Requested() const { return requested_.size(); }

  std::unique_ptr<GpioInterface> Handle();

  int OpenChip(const std::string& path);
  int LineCount() const { return open_ ? lines_ : 0; }
  std::string Label() const { return label_; }
  int RequestOutput(unsigned offset, int level);
  int RequestInput(unsigned offset);
  int Set(unsigned offset, int level);
  int Get(unsigned offset);
  void Close();

 private:
  int Request(unsigned offset, bool output);

  Clock& clock_;
  SimBoard& board_;
  std::string path_ = "/dev/gpiochip0";
  int lines_ = 54;
  std::string label_ = "pinctrl-bcm2835";
  int openError_ = 0;
  int heldElsewhere_ = -1;
  bool open_ = false;
  std::map<unsigned, bool> requested_;  // offset, output
  // Lines nobody drives float high (the pull-ups a header's pins come up with).
  std::uint64_t levels_ = ~std::uint64_t{0};
  long changes_ = 0;
  std::vector<std::string> calls_;
};

}  // namespace kestrum
