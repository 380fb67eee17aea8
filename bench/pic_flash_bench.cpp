// SPDX-License-Identifier: GPL-3.0-or-later
// Program All of the flash PICs people buy today on their chip models: a 16F628A and a 16F877A
// with a random image over the whole part (program memory, data EEPROM; configuration erased,
// so unprotected), on the ProPic 2 (VPP before VDD) and the JDM. In virtual time: how long the
// run takes the user (virtual seconds) and the processor time per word; with the real clock:
// the wall time against the waits the family's sequence prescribes for that run (goal: at most
// 1.05).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "operations_rig.hpp"

namespace kestrum {
namespace {

constexpr const char* kParts[] = {"PIC 16F628A", "PIC 16F877A"};
constexpr ProgrammerType kTypes[] = {ProgrammerType::ProPic2, ProgrammerType::Jdm};

template <class ClockType>
std::unique_ptr<bench::OperationsRig<ClockType>> MakeRig(const benchmark::State& state) {
  auto rig = std::make_unique<bench::OperationsRig<ClockType>>(kParts[state.range(0)],
                                                               kTypes[state.range(1)]);
  bench::FillRandom(rig->workspace, 628, 0x3FFF);
  return rig;
}

std::string Label(const benchmark::State& state) {
  return std::string(kParts[state.range(0)]) +
         (kTypes[state.range(1)] == ProgrammerType::Jdm ? ", JDM" : ", ProPic 2");
}

// Program All without verify in virtual time (register accesses 1 µs each): the virtual
// seconds it takes and the processor time per word of the part.
void PicFlashProgramAllInVirtualTime(benchmark::State& state) {
  bench::ProgramAllInVirtualTime(state, "cpu_per_word",
                                 [&] { return MakeRig<VirtualClock>(state); });
  state.SetLabel(Label(state));
}
BENCHMARK(PicFlashProgramAllInVirtualTime)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// Program All with the real clock: wall time divided by the prescribed waits (those of a twin
// run in virtual time on a board whose register accesses cost nothing), register accesses free
// here too: the program's own overhead and the waits' lateness only.
void PicFlashProgramAllWithTheRealClock(benchmark::State& state) {
  bench::Judgement twin;
  bench::ProgramAllAgainstPrescribedWaits(
      state, 0,
      [&] {
        twin = bench::PrescribedByVirtualTwin(*MakeRig<VirtualClock>(state));
        return MakeRig<RealClock>(state);
      },
      [&](const bench::OperationsRig<RealClock>&) { return twin; });
  state.SetLabel(Label(state));
}
BENCHMARK(PicFlashProgramAllWithTheRealClock)
    ->ArgsProduct({{0, 1}, {0}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum
