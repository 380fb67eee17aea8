// Program All of an 89C4051 on the TAFE and of an NVM 3060 on the IM-Bus with the real clock on
// the simulated port, measured against the waits the protocols prescribe for the same run. The
// prescribed waits are what the same Program All takes in virtual time on a board whose
// register accesses cost nothing: every wait the protocol and the line layer ask for, and
// nothing else.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "hardware/line_context.hpp"
#include "operations/operations.hpp"
#include "sim/chip_models.hpp"
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

HardwareSettings Settings(ProgrammerType type, int pins) {
  HardwareSettings s;
  s.Programmer = type;
  s.Port = "LPT1";
  s.IODelay = 0;
  s.PinCount = pins;
  DerivePortBase(s);
  return s;
}

template <class ClockType>
struct FamilyBench {
  FamilyBench(std::string_view device, ProgrammerType type, std::int64_t accessUs)
      : chip(ChipModelFor(DescriptorFor(*FindDeviceByName(device)))),
        lines(Settings(type, chip->PinCount()), clock, ui, board) {
    workspace.SelectDevice(*FindDeviceByName(device));
    board.Insert(chip.get());
    board.Board().SetAccessTimeUs(accessUs);
    options.Progging = false;
    options.Verify = false;
    std::mt19937 random(4051);
    for (int i = 0; i < workspace.Device.CodeSize; ++i) {
      workspace.Active().CodeBuffer[i] = random() & 0xFF;
    }
  }
  // The part holds the image.
  bool Holds() const {
    for (int i = 0; i < chip->RegionSize(ChipRegion::Code); ++i) {
      if (chip->Element(ChipRegion::Code, i) != workspace.Buffers.Slots[0].CodeBuffer[i]) {
        return false;
      }
    }
    return true;
  }
  // The time one Program All takes on this clock, in µs.
  double ProgramAll() {
    const std::int64_t start = clock.nowUs();
    const OperationResult result = ops.ProgramAll();
    const double us = static_cast<double>(clock.nowUs() - start);
    return result.Succeeded() && ui.problems == 0 && Holds() ? us : -1;
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
};

// Wall time divided by the prescribed waits (1.0 would be no overhead at all). The argument
// is what one register access costs on the board, in microseconds: 1 is about what a real port
// access takes (the IM-Bus changes a line some 300 times per cell, three accesses each), 0
// leaves only the program's own overhead and the sleeps' lateness.
void ProgramAllWithTheRealClock(benchmark::State& state, std::string_view device,
                                ProgrammerType type) {
  double prescribedUs = 0;
  double wallUs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double prescribed = FamilyBench<VirtualClock>(device, type, 0).ProgramAll();
    auto bench = std::make_unique<FamilyBench<RealClock>>(device, type, state.range(0));
    state.ResumeTiming();
    const double wall = bench->ProgramAll();
    state.PauseTiming();
    if (prescribed < 0 || wall < 0) state.SkipWithError("not programmed");
    prescribedUs += prescribed;
    wallUs += wall;
    bench.reset();
    state.ResumeTiming();
  }
  state.counters["wall_per_prescribed_wait"] = wallUs / prescribedUs;
  state.counters["prescribed_s"] = prescribedUs / 1e6 / static_cast<double>(state.iterations());
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
