// SPDX-License-Identifier: GPL-3.0-or-later
// Program All of an 89C4051 on the TAFE and of an NVM 3060 on the IM-Bus with the real clock on
// the simulated port, measured against the waits the protocols prescribe for the same run. The
// prescribed waits are what the same Program All takes in virtual time on a board whose
// register accesses cost nothing: every wait the protocol and the line layer ask for, and
// nothing else.
#include <benchmark/benchmark.h>

#include <memory>

#include "operations_rig.hpp"

namespace kestrum {
namespace {

// `device` on the programmer of `type` with random code to program.
template <class ClockType>
std::unique_ptr<bench::OperationsRig<ClockType>> RandomRig(std::string_view device,
                                                           ProgrammerType type) {
  auto rig = std::make_unique<bench::OperationsRig<ClockType>>(device, type);
  bench::FillRandom(rig->workspace, 4051, 0xFF);
  return rig;
}

// The part holds the image.
template <class ClockType>
bool Holds(const bench::OperationsRig<ClockType>& rig) {
  for (int i = 0; i < rig.chip->RegionSize(ChipRegion::Code); ++i) {
    if (rig.chip->Element(ChipRegion::Code, i) != rig.workspace.Buffers.Slots[0].CodeBuffer[i]) {
      return false;
    }
  }
  return true;
}

// Wall time divided by the prescribed waits (1.0 would be no overhead at all). The argument
// is what one register access costs on the board, in microseconds: 1 is about what a real port
// access takes (the IM-Bus changes a line some 300 times per cell, three accesses each), 0
// leaves only the program's own overhead and the sleeps' lateness.
void ProgramAllWithTheRealClock(benchmark::State& state, std::string_view device,
                                ProgrammerType type) {
  bench::Judgement twin;
  bench::ProgramAllAgainstPrescribedWaits(
      state, state.range(0),
      [&] {
        auto virtualRig = RandomRig<VirtualClock>(device, type);
        twin = bench::PrescribedByVirtualTwin(*virtualRig);
        if (twin.problem.empty() && !Holds(*virtualRig)) twin.problem = "not programmed";
        return RandomRig<RealClock>(device, type);
      },
      [&](const bench::OperationsRig<RealClock>& rig) {
        bench::Judgement judgement = twin;
        if (judgement.problem.empty() && !Holds(rig)) judgement.problem = "not programmed";
        return judgement;
      });
}
BENCHMARK_CAPTURE(ProgramAllWithTheRealClock, 89C4051, "89C4051", ProgrammerType::Tafe)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ProgramAllWithTheRealClock, NVM3060, "NVM 3060", ProgrammerType::ProPic2)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum
