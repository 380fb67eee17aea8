// Whole I2C EEPROM operations on the 24Cxx model: Program All of a 24C512 with the real clock on
// the simulated port, measured against the sum of the waits the protocol prescribes for that
// run; and Program All with the verify after it in virtual time (processor time per byte).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "hardware/line_context.hpp"
#include "operations/operations.hpp"
#include "sim/eeprom24_chip.hpp"
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

template <class ClockType>
struct I2cBench {
  explicit I2cBench(std::string_view device)
      : chip(Eeprom24Chip::ForDevice(device)), lines(Settings(), clock, ui, board) {
    workspace.SelectDevice(*FindDeviceByName(device));
    board.Insert(chip.get());
    options.Progging = false;
    std::mt19937 random(512);
    BufferSlot& slot = workspace.Active();
    for (int i = 0; i < workspace.Device.CodeSize; ++i) slot.CodeBuffer[i] = random() & 0xFF;
  }
  static HardwareSettings Settings() {
    HardwareSettings s;
    s.Programmer = ProgrammerType::ProPic2;
    s.Port = "LPT1";
    s.IODelay = 0;
    s.PinCount = 8;
    DerivePortBase(s);
    return s;
  }

  std::unique_ptr<Eeprom24Chip> chip;  // outlives the board
  ClockType clock;
  QuietUi ui;
  VirtualProgrammer board{clock};
  LineContext lines;
  MemorySettingsStore store;
  Workspace workspace{store};
  OperationOptions options;
  Operations ops{workspace, lines, options};
};

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
  double prescribedUs = 0;
  double wallUs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<I2cBench<RealClock>>("24C512");
    bench->board.Board().SetAccessTimeUs(state.range(0));
    bench->options.Verify = false;
    state.ResumeTiming();
    const std::int64_t start = bench->clock.nowUs();
    const OperationResult result = bench->ops.ProgramAll();
    wallUs += static_cast<double>(bench->clock.nowUs() - start);
    if (!result.Succeeded() || bench->ui.problems) state.SkipWithError("not programmed");
    prescribedUs += PrescribedUs(bench->chip->Part(), bench->lines.Lines().BusDelay);
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  state.counters["wall_per_prescribed_wait"] = wallUs / prescribedUs;
  state.counters["prescribed_s"] = prescribedUs / 1e6 / static_cast<double>(state.iterations());
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
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<I2cBench<VirtualClock>>("24C512");
    bench->options.ByteWrite = state.range(0) != 0;
    bytes = bench->workspace.Device.CodeSize;
    state.ResumeTiming();
    const OperationResult result = bench->ops.ProgramAll();
    if (!result.VerifyPassed || bench->ui.problems) state.SkipWithError("not verified");
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  // Processor time (every thread of the process) per byte.
  state.counters["cpu_per_byte"] = benchmark::Counter(
      bytes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(ProgramAllAndVerify24C512InVirtualTime)
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrum
