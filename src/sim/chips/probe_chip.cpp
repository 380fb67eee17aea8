// SPDX-License-Identifier: GPL-3.0-or-later
// Edge recorder chip.
#include "sim/chips/probe_chip.hpp"

namespace kestrum {

void ProbeChip::OnPins(const ChipPins& pins, std::int64_t timeUs) {
  if (!seen_) {
    seen_ = true;
    pins_ = pins;
    return;
  }
  auto note = [&](ChipPin pin, bool before, bool after) {
    if (before != after) edges_.push_back({pin, after, timeUs});
  };
  note(ChipPin::Vcc, pins_.vcc, pins.vcc);
  note(ChipPin::Mclr, pins_.mclr, pins.mclr);
  note(ChipPin::Data, pins_.data, pins.data);
  note(ChipPin::Clock, pins_.clock, pins.clock);
  note(ChipPin::CardClock, pins_.cardClock, pins.cardClock);
  note(ChipPin::Select, pins_.selects != 0, pins.selects != 0);
  bool clockChanged = pins.clock != pins_.clock;
  pins_ = pins;
  if (clockChanged) {
    // The line as the chip sees it: its own drive wins over the programmer's.
    int level = DataLineLevel(DataOut(timeUs), pins.data) ? 1 : 0;
    (pins.clock ? dataAtRising_ : dataAtFalling_).push_back(level);
  }
}

DataDrive ProbeChip::DataOut(std::int64_t timeUs) {
  return responder ? responder(pins_, timeUs) : drive;
}

std::vector<ProbeChip::Edge> ProbeChip::EdgesOf(ChipPin pin) const {
  std::vector<Edge> result;
  for (const Edge& e : edges_) {
    if (e.pin == pin) result.push_back(e);
  }
  return result;
}

std::vector<int> ProbeChip::DataAtClock(bool rising) const {
  return rising ? dataAtRising_ : dataAtFalling_;
}

}  // namespace kestrum
