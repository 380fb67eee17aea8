// SPDX-License-Identifier: GPL-3.0-or-later
// How fast PIC command frames go out: on the virtual programmer in virtual time (processor
// time per frame), and with the real clock on the simulated port (wall time per frame, which
// the programmer's own busy waits bound from below).
#include <benchmark/benchmark.h>

#include "core/recording_ui.hpp"
#include "hardware/line_context.hpp"
#include "protocols/pic_serial.hpp"
#include "sim/chips/probe_chip.hpp"
#include "sim/boards/sim_port.hpp"

namespace kestrum {
namespace {

template <class ClockType>
struct FrameBench {
  explicit FrameBench(ProgrammerType type) : lines(Settings(type), clock, ui, programmer) {
    programmer.Insert(&chip);
    lines.OpenPort();
  }
  static HardwareSettings Settings(ProgrammerType type) {
    HardwareSettings s;
    s.Programmer = type;
    s.Port = type == ProgrammerType::Jdm ? "Com1" : "LPT1";
    s.IODelay = 0;
    return s;
  }
  ProbeChip chip;
  ClockType clock;
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  LineContext lines;
};

void PicReadFrameInVirtualTime(benchmark::State& state) {
  FrameBench<VirtualClock> b(static_cast<ProgrammerType>(state.range(0)));
  PicTiming timing;
  PicSerial link(b.lines, timing);
  for (auto _ : state) {
    link.PicCommand(pic::kReadProgram, pic::kRead);
    b.chip.ClearEdges();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PicReadFrameInVirtualTime)
    ->Arg(static_cast<int>(ProgrammerType::Jdm))
    ->Arg(static_cast<int>(ProgrammerType::TaitSerial));

void PicLoadFrameWithTheRealClock(benchmark::State& state) {
  FrameBench<RealClock> b(ProgrammerType::TaitSerial);
  PicTiming timing;
  PicSerial link(b.lines, timing);
  for (auto _ : state) {
    link.PicCommand(pic::kLoadProgram, 0x1234);
    b.chip.ClearEdges();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PicLoadFrameWithTheRealClock)->UseRealTime();

}  // namespace
}  // namespace kestrum
