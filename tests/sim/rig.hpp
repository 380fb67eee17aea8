// SPDX-License-Identifier: GPL-3.0-or-later
// A virtual programmer with a chip in its socket (a probe chip unless a test says otherwise),
// the line layer opened on it, and virtual time: what the tests of the lines, the bus, the
// trace, the protocols and the operations start from.
#pragma once

#include <utility>

#include "core/recording_ui.hpp"
#include "hardware/line_context.hpp"
#include "sim/chips/probe_chip.hpp"
#include "sim/boards/sim_port.hpp"

namespace kestrum {

inline HardwareSettings SettingsFor(ProgrammerType type, int pinCount = 18) {
  HardwareSettings s;
  s.Programmer = type;
  s.Port = type == ProgrammerType::Jdm ? "Com1" : "LPT1";
  s.IODelay = 0;
  s.PinCount = pinCount;
  DerivePortBase(s);
  return s;
}

template <class ChipType = ProbeChip>
struct Rig {
  // `chipArgs` make the chip: a probe chip's pin count, a model's description.
  template <class... Args>
  explicit Rig(const HardwareSettings& settings, Args&&... chipArgs)
      : chip(std::forward<Args>(chipArgs)...), lines(settings, clock, ui, programmer) {
    programmer.Insert(&chip);
    programmer.Board().KeepLog(true);
    opened = lines.OpenPort();
    programmer.Board().ClearLog();
    if constexpr (requires { chip.ClearEdges(); }) chip.ClearEdges();
  }
  explicit Rig(ProgrammerType type) : Rig(SettingsFor(type)) {}

  SimBoard& board() { return programmer.Board(); }
  const ChipPins& pins() { return board().Pins(); }
  std::uint16_t base() const { return lines.PortBase(); }

  VirtualClock clock{1000};
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  ChipType chip;  // outlives the port, whose closing the board still passes on
  LineContext lines;
  bool opened = false;
};

}  // namespace kestrum
