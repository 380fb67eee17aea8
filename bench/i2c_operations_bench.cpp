// SPDX-License-Identifier: GPL-3.0-or-later
// Whole I2C EEPROM operations on the 24Cxx model: Program All of a 24C512 with the real clock on
// the simulated port, measured against the sum of the waits the protocol prescribes for that
// run; and Program All with the verify after it in virtual time (processor time per byte).
#include <benchmark/benchmark.h>

#include <memory>

#include "operations_rig.hpp"
#include "sim/chips/eeprom24_chip.hpp"

namespace kestrum {
namespace {

template <class ClockType>
using I2cRig = bench::OperationsRig<ClockType, Eeprom24Chip>;

// A 24C512 on the ProPic 2 with random bytes to program.
template <class ClockType>
std::unique_ptr<I2cRig<ClockType>> Random24C512() {
  auto rig = std::make_unique<I2cRig<ClockType>>("24C512", ProgrammerType::ProPic2);
  bench::FillRandom(rig->workspace, 512, 0xFF);
  return rig;
}

// The waits of one page-mode Program All on the ProPic 2, T being the bus delay: the power-up
// (100 µs, 100 ms); per polling attempt a start condition (5 T), the device address (17 T) and
// three 100 µs steps; per page two word address bytes and the page's data bytes, each 17 T and
// an acknowledge of 4 T and one 100 µs poll, and a stop condition (5 T); at the end 500 ms and
// the board's 100 µs after VPP off. The attempts are one per page plus those the part, busy
// with its write cycle, let pass.
double PrescribedUs(const Eeprom24& part, int busDelayUs) {
  const Eeprom24Description& d = part.Description();
  const double t = busDelayUs;
  const int pages = d.bytes / d.pageBytes;
  const double attempts = pages + part.IgnoredWhileBusy();
  const double byteWithAck = 21 * t + 100;
  return 100 + 100000.0 + attempts * (22 * t + 300) +
         pages * ((2 + d.pageBytes) * byteWithAck + 5 * t) + 500000.0 + 100;
}

// Program All of a 24C512 in page mode with the real clock on the simulated ProPic 2: wall time
// divided by the waits the protocol prescribes (1.0 would be no overhead at all). The argument
// is what one register access costs on the board, in microseconds: 1 is about what a real port
// access takes, 0 leaves only the program's own overhead and the sleeps' lateness.
void ProgramAll24C512WithTheRealClock(benchmark::State& state) {
  bench::ProgramAllAgainstPrescribedWaits(
      state, state.range(0), [] { return Random24C512<RealClock>(); },
      [](const I2cRig<RealClock>& rig) {
        return bench::Judgement{PrescribedUs(rig.chip->Part(), rig.lines.Lines().BusDelay), ""};
      });
}
BENCHMARK(ProgramAll24C512WithTheRealClock)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

// The same kind of waits with nothing between them: one bus delay (20 µs) after another on
// the real clock. What this comes to above 1.0 is the machine's (a busy or virtual machine
// stretches busy waits), not the program's; it is the floor for the run above.
void BusDelaysAloneWithTheRealClock(benchmark::State& state) {
  RealClock clock;
  constexpr int kWaits = 200000;
  double wallUs = 0;
  for (auto _ : state) {
    const std::int64_t start = clock.nowUs();
    for (int i = 0; i < kWaits; ++i) clock.delayUs(20);
    wallUs += static_cast<double>(clock.nowUs() - start);
  }
  state.counters["wall_per_prescribed_wait"] =
      wallUs / (20.0 * kWaits * static_cast<double>(state.iterations()));
}
BENCHMARK(BusDelaysAloneWithTheRealClock)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// Program All and the verify after it of all 65536 bytes of a 24C512 in virtual time on the
// ProPic 2; the argument 1 writes byte by byte, 0 a page at a time.
void ProgramAllAndVerify24C512InVirtualTime(benchmark::State& state) {
  bench::ProgramAllAndVerifyPerUnit(
      state, "cpu_per_byte",
      [&] {
        auto rig = Random24C512<VirtualClock>();
        rig->options.ByteWrite = state.range(0) != 0;
        return rig;
      },
      [](const I2cRig<VirtualClock>& rig) { return rig.workspace.Device.CodeSize; });
}
BENCHMARK(ProgramAllAndVerify24C512InVirtualTime)
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrum
