// SPDX-License-Identifier: GPL-3.0-or-later
// Whole operations of the SPI families on the chip models: Program All with verify of a
// 90S8515 and a 25040 in virtual time (processor time per byte), and their Program All with
// the real clock on the simulated port, measured against the waits the protocol prescribes
// for that run. Those are the virtual time the same run takes when a register access costs
// nothing: every sleep, every bus delay between edges, and the write-in-progress polls that
// the part's own write time asks for.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "operations_rig.hpp"

namespace kestrum {
namespace {

constexpr const char* kDevices[] = {"90S8515", "25040"};

// `device` on the STK200 with random code and data to program.
template <class ClockType>
std::unique_ptr<bench::OperationsRig<ClockType>> RandomRig(const char* device) {
  auto rig = std::make_unique<bench::OperationsRig<ClockType>>(device, ProgrammerType::Stk200);
  bench::FillRandom(rig->workspace, 8515, 0xFF);
  return rig;
}

// Program All and the verify after it, in virtual time on the STK200.
void ProgramAllAndVerifyInVirtualTime(benchmark::State& state) {
  const char* device = kDevices[state.range(0)];
  bench::ProgramAllAndVerifyPerUnit(
      state, "cpu_per_byte",
      [&] {
        auto rig = RandomRig<VirtualClock>(device);
        rig->board.Board().SetAccessTimeUs(1);
        return rig;
      },
      [](const bench::OperationsRig<VirtualClock>& rig) {
        return rig.workspace.Device.CodeSize + std::max(rig.workspace.Device.DataSize, 0);
      });
  state.SetLabel(device);
}
BENCHMARK(ProgramAllAndVerifyInVirtualTime)
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// Program All with the real clock: wall time divided by the prescribed waits (1.0 would be no
// overhead at all). The second argument is what one register access costs on the board, in
// microseconds: 1 is about what a real port access takes, 0 leaves only the program's own
// overhead and the sleeps' lateness.
void ProgramAllWithTheRealClock(benchmark::State& state) {
  const char* device = kDevices[state.range(0)];
  bench::Judgement twin;
  bench::ProgramAllAgainstPrescribedWaits(
      state, state.range(1),
      [&] {
        twin = bench::PrescribedByVirtualTwin(*RandomRig<VirtualClock>(device));
        return RandomRig<RealClock>(device);
      },
      [&](const bench::OperationsRig<RealClock>&) { return twin; });
  state.SetLabel(device);
}
BENCHMARK(ProgramAllWithTheRealClock)
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum
