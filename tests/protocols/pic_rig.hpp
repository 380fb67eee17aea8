// A virtual programmer with a chip in its socket and the lines on it, in virtual time: what
// the protocol and operation tests start from.
#pragma once

#include <utility>

#include "core/recording_ui.hpp"
#include "hardware/line_context.hpp"
#include "sim/sim_port.hpp"

namespace kestrum::testing {

inline HardwareSettings SettingsFor(ProgrammerType type, int pinCount = 18) {
  HardwareSettings s;
  s.Programmer = type;
  s.Port = type == ProgrammerType::Jdm ? "Com1" : "LPT1";
  s.IODelay = 0;
  s.PinCount = pinCount;
  DerivePortBase(s);
  return s;
}

// The chip comes first so that it outlives the board it sits in.
template <class ChipType>
struct ChipRig {
  template <class... Args>
  explicit ChipRig(ProgrammerType type, Args&&... args)
      : chip(std::forward<Args>(args)...),
        lines(SettingsFor(type, chip.PinCount()), clock, ui, programmer) {
    programmer.Insert(&chip);
  }

  ChipType chip;
  VirtualClock clock{1000};
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  LineContext lines;
};

}  // namespace kestrum::testing
