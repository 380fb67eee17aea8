// Whole Microwire operations on the 93C86 model: Program All with verify in virtual time
// (processor time per word), and Program All with the real clock on the simulated port,
// measured against the sum of the waits the protocol prescribes for that run.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "hardware/line_context.hpp"
#include "operations/operations.hpp"
#include "protocols/microwire.hpp"
#include "sim/microwire_chip.hpp"
#include "sim/sim_port.hpp"

namespace kestrum {
namespace {

// Says yes and keeps nothing: the bench measures the operations, not a recorder.
class QuietUi final : public Ui {
 public:
  void Message(MessageKind kind, std::string_view, MessageButton) override {
    if (kind != MessageKind::Information) problems++;
  }
  bool Question(std::string_view) override { return true; }
  int problems = 0;
};

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
struct EepromBench {
  explicit EepromBench(std::string_view device)
      : chip(MicrowireChip::ForDevice(device)), lines(Settings(), clock, ui, board) {
    workspace.SelectDevice(*FindDeviceByName(device));
    board.Insert(chip.get());
    options.Progging = false;
    std::mt19937 random(86);
    for (int i = 0; i < workspace.Device.CodeSize; ++i) {
      workspace.Active().CodeBuffer[i] = static_cast<std::uint16_t>(random());
    }
  }
  static HardwareSettings Settings() {
    HardwareSettings s;
    s.Programmer = kType;
    s.Port = "LPT1";
    s.IODelay = 0;
    s.PinCount = 8;
    DerivePortBase(s);
    return s;
  }

  std::unique_ptr<MicrowireChip> chip;  // outlives the board
  ClockType clock;
  QuietUi ui;
  VirtualProgrammer board{clock};
  LineContext lines;
  MemorySettingsStore store;
  Workspace workspace{store};
  OperationOptions options;
  Operations ops{workspace, lines, options};
};

// Program All and the verify after it of the 1024 words of a 93C86, in virtual time.
void ProgramAllAndVerify93C86InVirtualTime(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<EepromBench<VirtualClock>>("93C86");
    state.ResumeTiming();
    const OperationResult result = bench->ops.ProgramAll();
    if (!result.VerifyPassed || bench->ui.problems) state.SkipWithError("not verified");
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  // Processor time (every thread of the process) per word.
  state.counters["cpu_per_word"] = benchmark::Counter(
      1024, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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
  double prescribedUs = 0;
  double wallUs = 0;
  double askedUs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<EepromBench<CountingClock>>("93C86");
    bench->board.Board().SetAccessTimeUs(state.range(0));
    bench->options.Verify = false;
    const DeviceDescriptor& d = bench->workspace.Device;
    prescribedUs += PrescribedUs(
        d.CodeSize, EepromAddressBits(d.CodeSize, MicrowireAddressWidthAdjust(d.Variant)),
        bench->chip->Description().writeUs);
    state.ResumeTiming();
    const std::int64_t start = bench->clock.nowUs();
    const OperationResult result = bench->ops.ProgramAll();
    wallUs += static_cast<double>(bench->clock.nowUs() - start);
    askedUs += bench->clock.askedUs;
    if (!result.Succeeded() || bench->ui.problems) state.SkipWithError("not programmed");
    if (bench->chip->CompletedWrites() != d.CodeSize) state.SkipWithError("writes lost");
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  state.counters["wall_per_prescribed_wait"] = wallUs / prescribedUs;
  // The waits the program asked for (the board's access times included), per prescribed wait.
  state.counters["asked_per_prescribed_wait"] = askedUs / prescribedUs;
  state.counters["prescribed_s"] = prescribedUs / 1e6 / static_cast<double>(state.iterations());
}
BENCHMARK(ProgramAll93C86WithTheRealClock)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum
