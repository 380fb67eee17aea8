// Whole operations of the SPI families on the chip models: Program All with verify of a
// 90S8515 and a 25040 in virtual time (processor time per byte), and their Program All with
// the real clock on the simulated port, measured against the waits the protocol prescribes
// for that run. Those are the virtual time the same run takes when a register access costs
// nothing: every sleep, every bus delay between edges, and the write-in-progress polls that
// the part's own write time asks for.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "hardware/line_context.hpp"
#include "operations/operations.hpp"
#include "sim/chip_models.hpp"
#include "sim/sim_port.hpp"

namespace kestrum {
namespace {

class QuietUi final : public Ui {
 public:
  void Message(MessageKind kind, std::string_view text, MessageButton) override {
    if (kind != MessageKind::Information) {
      problems++;
      last = std::string(text);
    }
  }
  std::string last;
  bool Question(std::string_view) override { return true; }
  int problems = 0;
};

template <class ClockType>
struct SpiBench {
  SpiBench(std::string_view device, std::int64_t accessUs)
      : chip(ChipModelFor(DescriptorFor(*FindDeviceByName(device)))),
        lines(Settings(chip->PinCount()), clock, ui, board) {
    workspace.SelectDevice(*FindDeviceByName(device));
    board.Insert(chip.get());
    board.Board().SetAccessTimeUs(accessUs);
    options.Progging = false;
    std::mt19937 random(8515);
    const DeviceDescriptor& d = workspace.Device;
    for (int i = 0; i < d.CodeSize; ++i) workspace.Active().CodeBuffer[i] = random() & 0xFF;
    for (int i = 0; i < d.DataSize; ++i) workspace.Active().DataBuffer[i] = random() & 0xFF;
  }
  static HardwareSettings Settings(int pins) {
    HardwareSettings s;
    s.Programmer = ProgrammerType::Stk200;
    s.Port = "LPT1";
    s.IODelay = 0;
    s.PinCount = pins;
    DerivePortBase(s);
    return s;
  }
  // Wall (or virtual) microseconds of one Program All.
  double ProgramAll(bool verify) {
    options.Verify = verify;
    const std::int64_t start = clock.nowUs();
    const OperationResult result = ops.ProgramAll();
    ok = result.Succeeded() && ui.problems == 0;
    return static_cast<double>(clock.nowUs() - start);
  }

  std::unique_ptr<ChipModel> chip;  // outlives the board
  ClockType clock;
  QuietUi ui;
  VirtualProgrammer board{clock};
  LineContext lines;
  MemorySettingsStore store;
  Workspace workspace{store};
  OperationOptions options;
  Operations ops{workspace, lines, options};
  bool ok = false;
};

constexpr const char* kDevices[] = {"90S8515", "25040"};

// Program All and the verify after it, in virtual time on the STK200.
void ProgramAllAndVerifyInVirtualTime(benchmark::State& state) {
  const char* device = kDevices[state.range(0)];
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<SpiBench<VirtualClock>>(device, 1);
    bytes = bench->workspace.Device.CodeSize + std::max(bench->workspace.Device.DataSize, 0);
    state.ResumeTiming();
    bench->ProgramAll(true);
    if (!bench->ok) {
      state.SkipWithError("not verified");
      break;
    }
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  state.SetLabel(device);
  state.counters["cpu_per_byte"] = benchmark::Counter(
      bytes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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
  double prescribedUs = 0;
  double wallUs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    SpiBench<VirtualClock> twin(device, 0);
    prescribedUs += twin.ProgramAll(false);
    auto bench = std::make_unique<SpiBench<RealClock>>(device, state.range(1));
    state.ResumeTiming();
    wallUs += bench->ProgramAll(false);
    if (!twin.ok || !bench->ok) {
      state.SkipWithError((twin.ok ? bench->ui.last : twin.ui.last).c_str());
      break;
    }
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  state.SetLabel(device);
  state.counters["wall_per_prescribed_wait"] = wallUs / prescribedUs;
  state.counters["prescribed_s"] = prescribedUs / 1e6 / static_cast<double>(state.iterations());
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
