// SPDX-License-Identifier: GPL-3.0-or-later
// Whole Microwire operations on the 93C86 model: Program All with verify in virtual time
// (processor time per word), and Program All with the real clock on the simulated port,
// measured against the sum of the waits the protocol prescribes for that run.
#include <benchmark/benchmark.h>

#include <memory>

#include "operations_rig.hpp"
#include "protocols/microwire.hpp"
#include "sim/chips/microwire_chip.hpp"

namespace kestrum {
namespace {

constexpr ProgrammerType kType = ProgrammerType::TaitSerial;

// The real clock, adding up the waits asked of it: what the program asked for, beside what the
// protocol prescribes and what the wall clock saw.
class CountingClock final : public Clock {
 public:
  std::int64_t nowUs() const override { return real_.nowUs(); }
  void delayUs(std::int64_t us) override {
    if (us > 0) askedUs += static_cast<double>(us);
    real_.delayUs(us);
  }
  void sleepMs(std::int64_t ms) override {
    if (ms > 0) askedUs += static_cast<double>(ms) * 1000.0;
    real_.sleepMs(ms);
  }
  double askedUs = 0;

 private:
  RealClock real_;
};

template <class ClockType>
using EepromRig = bench::OperationsRig<ClockType, MicrowireChip>;

// A 93C86 on the bench's programmer with random words to program.
template <class ClockType>
std::unique_ptr<EepromRig<ClockType>> Random93C86() {
  auto rig = std::make_unique<EepromRig<ClockType>>("93C86", kType);
  bench::FillRandom(rig->workspace, 86, 0xFFFF);
  return rig;
}

// Program All and the verify after it of the 1024 words of a 93C86, in virtual time.
void ProgramAllAndVerify93C86InVirtualTime(benchmark::State& state) {
  bench::ProgramAllAndVerifyPerUnit(
      state, "cpu_per_word", [] { return Random93C86<VirtualClock>(); },
      [](const EepromRig<VirtualClock>& rig) { return rig.workspace.Device.CodeSize; });
}
BENCHMARK(ProgramAllAndVerify93C86InVirtualTime)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The waits TMicroProgThread prescribes for `words` words on the bench's programmer: the
// power-up, the write enable, for every word its bus delays (three per instruction bit, two
// per data bit), the pause after the deselect that starts the write and the ready polls until
// a part that takes `writeUs` is done, and the settle before power-down. Selecting and
// deselecting carry the programmer's VPP waits.
double PrescribedUs(int words, int addressBits, std::int64_t writeUs) {
  const ProgrammerRow& row = RowOf(kType);
  const double t = LineState{}.BusDelay;
  const double select = row.vppOnWaitUs;
  const double deselect = row.vppOffWaitUs;
  const int instructionBits = microwire::kInstructionBits + addressBits;
  double us = 100 + kEepromPowerUpMs * 1000.0 + select + kEepromPowerUpMs * 1000.0;
  us += instructionBits * 3 * t + deselect + t + select + kEepromPowerUpMs * 1000.0;
  // From the falling chip select to the first look at the part's status.
  const double beforePolls =
      deselect + kMicrowireWriteStartMs * 1000.0 + select + kEepromSelectWaitUs;
  double polls = 1;
  while (beforePolls + polls * kMicrowireReadyPollUs < static_cast<double>(writeUs)) ++polls;
  const double perWord =
      instructionBits * 3 * t + 16 * 2 * t + beforePolls + polls * kMicrowireReadyPollUs;
  us += words * perWord;
  return us + deselect + kEepromEndSettleMs * 1000.0;
}

// Program All of a 93C86 with the real clock on the simulated TAIT Serial programmer: wall
// time divided by the waits the protocol prescribes (1.0 would be no overhead at all). The
// argument is what one register access costs on the board, in microseconds: 1 is about what a
// real port access takes, 0 leaves only the program's own overhead and the sleeps' lateness.
void ProgramAll93C86WithTheRealClock(benchmark::State& state) {
  double askedUs = 0;
  const double prescribedUs = bench::ProgramAllAgainstPrescribedWaits(
      state, state.range(0), [] { return Random93C86<CountingClock>(); },
      [&](const EepromRig<CountingClock>& rig) {
        askedUs += rig.clock.askedUs;
        const DeviceDescriptor& d = rig.workspace.Device;
        const double us = PrescribedUs(
            d.CodeSize, EepromAddressBits(d.CodeSize, MicrowireAddressWidthAdjust(d.Variant)),
            rig.chip->Description().writeUs);
        const bool allWritten = rig.chip->CompletedWrites() == d.CodeSize;
        return bench::Judgement{us, allWritten ? "" : "writes lost"};
      });
  // The waits the program asked for (the board's access times included), per prescribed wait.
  state.counters["asked_per_prescribed_wait"] = askedUs / prescribedUs;
}
BENCHMARK(ProgramAll93C86WithTheRealClock)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum
