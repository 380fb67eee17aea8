// SPDX-License-Identifier: GPL-3.0-or-later
// A chip that only watches: it records every edge on its pins with the virtual time, and
// drives its data output as the test says. Family chip models replace it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sim/chips/chip.hpp"

namespace kestrum {

class ProbeChip final : public Chip {
 public:
  struct Edge {
    ChipPin pin;
    bool level;
    std::int64_t timeUs;
    bool operator==(const Edge&) const = default;
  };

  explicit ProbeChip(int pinCount = 18) : pinCount_(pinCount) {}

  int PinCount() const override { return pinCount_; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  // A fixed drive, or a function of the pins and time when set.
  DataDrive drive = DataDrive::Released;
  std::function<DataDrive(const ChipPins& pins, std::int64_t timeUs)> responder;

  const ChipPins& Pins() const { return pins_; }
  const std::vector<Edge>& Edges() const { return edges_; }
  void ClearEdges() {
    edges_.clear();
    dataAtRising_.clear();
    dataAtFalling_.clear();
  }
  // The edges of one pin.
  std::vector<Edge> EdgesOf(ChipPin pin) const;
  // The data line's level at each rising (or falling) clock edge, in order.
  std::vector<int> DataAtClock(bool rising) const;

 private:
  int pinCount_;
  bool seen_ = false;
  ChipPins pins_;
  std::vector<Edge> edges_;
  std::vector<int> dataAtRising_;
  std::vector<int> dataAtFalling_;
};

}  // namespace kestrum
