// Whole PIC operations on the chip models: Program All with verify of a 16F877 in virtual time
// (processor time per word), and Program All of a 16F84 with the real clock on the simulated
// port, measured against the sum of the waits the protocol prescribes for that run.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "hardware/line_context.hpp"
#include "operations/operations.hpp"
#include "sim/pic_chip.hpp"
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
struct PicBench {
  PicBench(std::string_view device, ProgrammerType type)
      : chip(PicChip::ForDevice(device)),
        lines(Settings(type, chip->PinCount()), clock, ui, board) {
    workspace.SelectDevice(*FindDeviceByName(device));
    board.Insert(chip.get());
    options.Progging = false;
  }
  static HardwareSettings Settings(ProgrammerType type, int pins) {
    HardwareSettings s;
    s.Programmer = type;
    s.Port = type == ProgrammerType::Jdm ? "Com1" : "LPT1";
    s.IODelay = 0;
    s.PinCount = pins;
    DerivePortBase(s);
    return s;
  }
  // Random code and data, random ID words, and a configuration word without protection.
  void RandomImage(unsigned seed) {
    std::mt19937 random(seed);
    const DeviceDescriptor& d = workspace.Device;
    BufferSlot& slot = workspace.Active();
    for (int i = 0; i < d.CodeSize; ++i) slot.CodeBuffer[i] = random() & d.BlankValue;
    for (int i = 0; i < d.DataSize; ++i) slot.DataBuffer[i] = random() & 0xFF;
    slot.ConfigArea[d.ConfigWordIndex] = d.BlankValue;
    workspace.ShowStoredConfigWord();
    workspace.Config.SetIdText(d, slot, "1A2B");
  }

  std::unique_ptr<PicChip> chip;  // outlives the board
  ClockType clock;
  QuietUi ui;
  VirtualProgrammer board{clock};
  LineContext lines;
  MemorySettingsStore store;
  Workspace workspace{store};
  OperationOptions options;
  Operations ops{workspace, lines, options};
};

// Program All and the verify after it of every word of a 16F877: 8192 code words, 256 data
// bytes and the 8 words of the configuration area, in virtual time on the JDM programmer.
void ProgramAllAndVerify16F877InVirtualTime(benchmark::State& state) {
  double words = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<PicBench<VirtualClock>>("PIC 16F877", ProgrammerType::Jdm);
    bench->RandomImage(877);
    const DeviceDescriptor& d = bench->workspace.Device;
    words = d.CodeSize + d.DataSize + d.ConfigAreaWords;
    state.ResumeTiming();
    const OperationResult result = bench->ops.ProgramAll();
    if (!result.VerifyPassed || bench->ui.problems) state.SkipWithError("not verified");
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  // Processor time (every thread of the process) per word.
  state.counters["cpu_per_word"] = benchmark::Counter(
      words, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(ProgramAllAndVerify16F877InVirtualTime)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The waits the protocol prescribes for one Program All of a flash part without a device ID,
// and the programming cycles it takes: the erase, then for each of the code, data and
// configuration workers the power-up waits, one read settle per word and one programming wait
// per word that differs from the erased part.
struct Prescribed {
  double waitUs = 0;
  int cycles = 2;  // the erase's two
};

Prescribed PrescribedFor(const DeviceDescriptor& d, const BufferSlot& slot) {
  const PicTiming timing;
  Prescribed p;
  p.waitUs = 100 + 20 + 300000.0 + 2 * timing.EraseWaitMs * 1000.0;  // PicErase
  auto worker = [&](int count, auto differs) {
    p.waitUs += 100 + 100 + 400000.0;
    for (int i = 0; i < count; ++i) {
      p.waitUs += timing.ReadSettleMs * 1000.0;
      if (differs(i)) p.waitUs += timing.ProgramWaitMs * 1000.0, ++p.cycles;
    }
  };
  worker(d.CodeSize, [&](int i) { return (slot.CodeBuffer[i] & d.BlankValue) != d.BlankValue; });
  worker(d.DataSize, [&](int i) { return (slot.DataBuffer[i] & 0xFF) != 0xFF; });
  worker(d.ConfigAreaWords, [&](int i) { return slot.ConfigArea[i] != d.BlankValue; });
  return p;
}

// Program All of a 16F84 with the real clock on the simulated TAIT Serial programmer: wall
// time divided by the waits the protocol prescribes (1.0 would be no overhead at all). The
// argument is what one register access costs on the board, in microseconds: 1 is about what
// a real port access takes, 0 leaves only the program's own overhead and the sleeps' lateness.
void ProgramAll16F84WithTheRealClock(benchmark::State& state) {
  double prescribedUs = 0;
  double wallUs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto bench = std::make_unique<PicBench<RealClock>>("PIC 16F84", ProgrammerType::TaitSerial);
    bench->board.Board().SetAccessTimeUs(state.range(0));
    bench->options.Verify = false;
    bench->RandomImage(84);
    bench->workspace.CreateConfig();  // the configuration area as Program All will fold it
    const Prescribed prescribed = PrescribedFor(bench->workspace.Device, bench->workspace.Active());
    prescribedUs += prescribed.waitUs;
    state.ResumeTiming();
    const std::int64_t start = bench->clock.nowUs();
    const OperationResult result = bench->ops.ProgramAll();
    wallUs += static_cast<double>(bench->clock.nowUs() - start);
    if (!result.Succeeded() || bench->ui.problems) state.SkipWithError("not programmed");
    // The count of programming waits holds only if the part went through as many cycles.
    if (bench->chip->CompletedCycles() != prescribed.cycles) state.SkipWithError("cycles differ");
    state.PauseTiming();
    bench.reset();
    state.ResumeTiming();
  }
  state.counters["wall_per_prescribed_wait"] = wallUs / prescribedUs;
  state.counters["prescribed_s"] = prescribedUs / 1e6 / static_cast<double>(state.iterations());
}
BENCHMARK(ProgramAll16F84WithTheRealClock)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum
