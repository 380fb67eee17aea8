// SPDX-License-Identifier: GPL-3.0-or-later
// Program All of the parts people buy today on the chip models: an ATmega328P with a full
// 32 KiB image and with a 2 KiB program (the pages the chip erase left blank are not written),
// an ATtiny85 and a 25LC256, on the STK200, each with RDY/BSY polling and with the datasheet's
// fixed waits (the 25LC256 always polls its write-in-progress bit). In virtual time: how long
// the run takes the user (virtual seconds) and what it costs the processor per byte; with the
// real clock: the wall time against the waits the protocol prescribes for that run (goal: at
// most 1.05).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "operations_rig.hpp"

namespace kestrum {
namespace {

struct Part {
  const char* device;
  int programBytes;  // 0: the whole part
};
constexpr Part kParts[] = {
    {"ATmega328P", 0}, {"ATmega328P", 2048}, {"ATtiny85", 0}, {"25LC256", 0}};

template <class ClockType>
std::unique_ptr<bench::OperationsRig<ClockType>> MakeRig(const Part& part, bool poll) {
  auto rig = std::make_unique<bench::OperationsRig<ClockType>>(part.device, ProgrammerType::Stk200);
  bench::FillRandom(rig->workspace, 328, 0xFF);
  if (part.programBytes > 0) {
    auto& code = rig->workspace.Active().CodeBuffer;
    std::fill(code.begin() + part.programBytes, code.begin() + rig->workspace.Device.CodeSize,
              0xFF);
  }
  rig->options.AvrPollReady = poll;
  return rig;
}

std::string Label(const Part& part, bool poll) {
  const bool avr = std::string_view(part.device).starts_with("AT");
  return std::string(part.device) + (part.programBytes > 0 ? " 2 KiB program" : " full") +
         (poll || !avr ? ", polled" : ", fixed waits");
}

// Program All without verify in virtual time: the virtual seconds it takes and the processor
// time per byte of the part.
void ProgramAllInVirtualTime(benchmark::State& state) {
  const Part& part = kParts[state.range(0)];
  const bool poll = state.range(1) != 0;
  bench::ProgramAllInVirtualTime(state, "cpu_per_byte",
                                 [&] { return MakeRig<VirtualClock>(part, poll); });
  state.SetLabel(Label(part, poll));
}
// Every part polled and with fixed waits; the 25LC256 has no fixed-wait mode.
void PartsAndModes(benchmark::internal::Benchmark* b) {
  for (int part = 0; part < 4; ++part) {
    b->Args({part, 1});
    if (part < 3) b->Args({part, 0});
  }
}

BENCHMARK(ProgramAllInVirtualTime)
    ->Apply(PartsAndModes)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// Program All with the real clock: wall time divided by the prescribed waits, register accesses
// free (the program's own overhead and the waits' lateness only).
void ProgramAllWithTheRealClock(benchmark::State& state) {
  const Part& part = kParts[state.range(0)];
  const bool poll = state.range(1) != 0;
  bench::Judgement twin;
  bench::ProgramAllAgainstPrescribedWaits(
      state, 0,
      [&] {
        twin = bench::PrescribedByVirtualTwin(*MakeRig<VirtualClock>(part, poll));
        return MakeRig<RealClock>(part, poll);
      },
      [&](const bench::OperationsRig<RealClock>&) { return twin; });
  state.SetLabel(Label(part, poll));
}
BENCHMARK(ProgramAllWithTheRealClock)
    ->Apply(PartsAndModes)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum
