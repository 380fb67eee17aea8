// A virtual programmer with a probe chip in its socket, the line layer opened on it, and
// virtual time: what most tests of the lines, the bus and the trace start from.
#pragma once

#include "core/recording_ui.hpp"
#include "hardware/line_context.hpp"
#include "sim/probe_chip.hpp"
#include "sim/sim_port.hpp"

namespace kestrum {

inline HardwareSettings SettingsFor(ProgrammerType type) {
  HardwareSettings s;
  s.Programmer = type;
  s.Port = type == ProgrammerType::Jdm ? "Com1" : "LPT1";
  s.IODelay = 0;
  s.PinCount = 18;
  DerivePortBase(s);
  return s;
}

struct Rig {
  explicit Rig(const HardwareSettings& settings, int pinCount = 18)
      : chip(pinCount), lines(settings, clock, ui, programmer) {
    programmer.Insert(&chip);
    programmer.Board().KeepLog(true);
    opened = lines.OpenPort();
    programmer.Board().ClearLog();
    chip.ClearEdges();
  }
  explicit Rig(ProgrammerType type) : Rig(SettingsFor(type)) {}

  SimBoard& board() { return programmer.Board(); }
  const ChipPins& pins() { return board().Pins(); }
  std::uint16_t base() const { return lines.PortBase(); }

  VirtualClock clock{1000};
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  ProbeChip chip;
  LineContext lines;
  bool opened = false;
};

}  // namespace kestrum
