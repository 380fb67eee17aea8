// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the virtual programmer runs the line layer and the bus primitives (bytes of bus
// traffic per second of processor time), and how closely the real clock's busy wait keeps to
// the microseconds asked for.
#include <benchmark/benchmark.h>

#include "core/recording_ui.hpp"
#include "hardware/bus.hpp"
#include "hardware/line_context.hpp"
#include "sim/chips/probe_chip.hpp"
#include "sim/boards/sim_port.hpp"

namespace kestrum {
namespace {

struct Bench {
  explicit Bench(ProgrammerType type) : lines(Settings(type), clock, ui, programmer) {
    programmer.Insert(&chip);
    lines.OpenPort();
  }
  static HardwareSettings Settings(ProgrammerType type) {
    HardwareSettings s;
    s.Programmer = type;
    s.Port = type == ProgrammerType::Jdm ? "Com1" : "LPT1";
    return s;
  }
  VirtualClock clock;
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  ProbeChip chip;
  LineContext lines;
};

void ShiftOutByteOnTheVirtualProgrammer(benchmark::State& state) {
  Bench b(static_cast<ProgrammerType>(state.range(0)));
  for (auto _ : state) {
    ShiftOutByte(b.lines, 0xA5);
    b.chip.ClearEdges();
  }
  state.SetBytesProcessed(state.iterations());
}
BENCHMARK(ShiftOutByteOnTheVirtualProgrammer)
    ->Arg(static_cast<int>(ProgrammerType::Jdm))
    ->Arg(static_cast<int>(ProgrammerType::Conquest));

void ClockBitOnTheVirtualProgrammer(benchmark::State& state) {
  Bench b(ProgrammerType::Jdm);
  for (auto _ : state) {
    b.lines.ClockBit(1);
    b.chip.ClearEdges();
  }
}
BENCHMARK(ClockBitOnTheVirtualProgrammer);

void RealClockDelayOvershoot(benchmark::State& state) {
  RealClock clock;
  std::int64_t asked = state.range(0);
  std::int64_t overshoot = 0;
  for (auto _ : state) {
    std::int64_t start = clock.nowUs();
    clock.delayUs(asked);
    overshoot += clock.nowUs() - start - asked;
  }
  state.counters["overshoot_us"] =
      benchmark::Counter(static_cast<double>(overshoot), benchmark::Counter::kAvgIterations);
}
BENCHMARK(RealClockDelayOvershoot)->Arg(1)->Arg(20)->Arg(100);

}  // namespace
}  // namespace kestrum
