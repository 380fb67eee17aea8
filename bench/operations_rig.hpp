// SPDX-License-Identifier: GPL-3.0-or-later
// What the whole-operation benches share: a Ui that answers yes and stays quiet, a rig of a chip
// model in the virtual programmer with the line layer, a workspace and Operations on a chosen
// clock, a random image, and the two measuring loops: Program All with verify in virtual time
// (processor time per unit), and Program All with the real clock against the waits the
// protocol prescribes for that run. What a family prescribes stays with its bench.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "hardware/line_context.hpp"
#include "operations/operations.hpp"
#include "sim/boards/sim_port.hpp"
#include "sim/chips/chip_models.hpp"

namespace kestrum::bench {

// Says yes and keeps only the count of warnings and errors and the last one's text: the benches
// measure the operations, not a recorder.
class QuietUi final : public Ui {
 public:
  void Message(MessageKind kind, std::string_view text, MessageButton) override {
    if (kind != MessageKind::Information) {
      problems++;
      last = std::string(text);
    }
  }
  bool Question(std::string_view) override { return true; }
  int problems = 0;
  std::string last;
};

// The programmer of `type` on its usual port (the JDM on a serial port, the others on the
// printer port) with no extra I/O delay, for a part of `pins` pins.
inline HardwareSettings RigSettings(ProgrammerType type, int pins) {
  HardwareSettings s;
  s.Programmer = type;
  s.Port = type == ProgrammerType::Jdm ? "Com1" : "LPT1";
  s.IODelay = 0;
  s.PinCount = pins;
  DerivePortBase(s);
  return s;
}

// A fresh part of `device` in the socket of the virtual programmer of `type`, the line layer, a
// workspace with the device selected and Operations over them, all on a `ClockType`. `Model` is
// the chip model's own type, for benches that ask the part what it went through.
template <class ClockType, class Model = ChipModel>
struct OperationsRig {
  OperationsRig(std::string_view device, ProgrammerType type)
      : chip(ModelOf(device)), lines(RigSettings(type, chip->PinCount()), clock, ui, board) {
    workspace.SelectDevice(*FindDeviceByName(device));
    board.Insert(chip.get());
    options.Progging = false;
  }
  OperationsRig(const OperationsRig&) = delete;
  OperationsRig& operator=(const OperationsRig&) = delete;

  static std::unique_ptr<Model> ModelOf(std::string_view device) {
    std::unique_ptr<ChipModel> any = ChipModelFor(DescriptorFor(*FindDeviceByName(device)));
    if (dynamic_cast<Model*>(any.get()) == nullptr) {
      throw std::logic_error("no chip model of the asked type for " + std::string(device));
    }
    return std::unique_ptr<Model>(static_cast<Model*>(any.release()));
  }

  // Empty when `result` went through and no warning or error was shown; otherwise `what`,
  // with the last message shown.
  std::string Trouble(const OperationResult& result, std::string_view what) const {
    if (result.Succeeded() && ui.problems == 0) return {};
    return ui.last.empty() ? std::string(what) : std::string(what) + ": " + ui.last;
  }

  std::unique_ptr<Model> chip;  // outlives the board
  ClockType clock;
  QuietUi ui;
  VirtualProgrammer board{clock};
  LineContext lines;
  MemorySettingsStore store;
  Workspace workspace{store};
  OperationOptions options;
  Operations ops{workspace, lines, options};
};

// Fills the active slot from `seed`: first the code region with random words under `codeMask`,
// then the data region with random bytes.
inline void FillRandom(Workspace& workspace, unsigned seed, std::uint16_t codeMask) {
  std::mt19937 random(seed);
  BufferSlot& slot = workspace.Active();
  for (int i = 0; i < workspace.Device.CodeSize; ++i) slot.CodeBuffer[i] = random() & codeMask;
  for (int i = 0; i < workspace.Device.DataSize; ++i) slot.DataBuffer[i] = random() & 0xFF;
}

// Program All with the verify after it, on a fresh rig from `make()` in each iteration (making
// and dropping it is not timed). The counter `counter` is the processor time (every thread of
// the process, so register the benchmark with MeasureProcessCPUTime) per unit, one run handling
// `units(rig)` of them.
template <class Make, class Units>
void ProgramAllAndVerifyPerUnit(benchmark::State& state, const char* counter, Make make,
                                Units units) {
  double perRun = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto rig = make();
    rig->options.Verify = true;
    perRun = static_cast<double>(units(*rig));
    state.ResumeTiming();
    const OperationResult result = rig->ops.ProgramAll();
    if (!result.VerifyPassed || !rig->Trouble(result, "").empty()) {
      state.SkipWithError("not verified");
      break;
    }
    state.PauseTiming();
    rig.reset();
    state.ResumeTiming();
  }
  state.counters[counter] = benchmark::Counter(
      perRun, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Program All without verify in virtual time (register accesses 1 µs each) on a fresh rig from
// `make()` in each iteration: the counter "virtual_s" is the run's virtual seconds, `counter`
// the processor time per code and data element of the part.
template <class Make>
void ProgramAllInVirtualTime(benchmark::State& state, const char* counter, Make make) {
  double virtualUs = 0;
  int elements = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto rig = make();
    rig->board.Board().SetAccessTimeUs(1);
    rig->options.Verify = false;
    elements = rig->workspace.Device.CodeSize + std::max(rig->workspace.Device.DataSize, 0);
    state.ResumeTiming();
    const std::int64_t start = rig->clock.nowUs();
    const OperationResult result = rig->ops.ProgramAll();
    virtualUs = static_cast<double>(rig->clock.nowUs() - start);
    if (const std::string trouble = rig->Trouble(result, "not programmed"); !trouble.empty()) {
      state.SkipWithError(trouble.c_str());
      break;
    }
    state.PauseTiming();
    rig.reset();
    state.ResumeTiming();
  }
  state.counters["virtual_s"] = virtualUs / 1e6;
  state.counters[counter] = benchmark::Counter(
      elements, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// What a bench makes of one run with the real clock: the waits the protocol prescribes for it,
// in µs, and what went wrong with it (empty when nothing did).
struct Judgement {
  double prescribedUs = 0;
  std::string problem;
};

// Program All without verify on a fresh rig from `make()` in each iteration, with register
// accesses on the board costing `accessUs`: the wall time of the run on the rig's clock, divided
// by the waits `judge(rig)` finds prescribed once the run is over (1.0 would be no overhead at
// all). Making the rig and judging the run are not timed. Returns the prescribed µs of all runs.
template <class Make, class Judge>
double ProgramAllAgainstPrescribedWaits(benchmark::State& state, std::int64_t accessUs, Make make,
                                        Judge judge) {
  double prescribedUs = 0;
  double wallUs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto rig = make();
    rig->board.Board().SetAccessTimeUs(accessUs);
    rig->options.Verify = false;
    state.ResumeTiming();
    const std::int64_t start = rig->clock.nowUs();
    const OperationResult result = rig->ops.ProgramAll();
    wallUs += static_cast<double>(rig->clock.nowUs() - start);
    state.PauseTiming();
    const Judgement judgement = judge(*rig);
    prescribedUs += judgement.prescribedUs;
    std::string problem = rig->Trouble(result, "not programmed");
    if (problem.empty()) problem = judgement.problem;
    if (!problem.empty()) {
      state.SkipWithError(problem.c_str());
      break;
    }
    rig.reset();
    state.ResumeTiming();
  }
  state.counters["wall_per_prescribed_wait"] = wallUs / prescribedUs;
  state.counters["prescribed_s"] = prescribedUs / 1e6 / static_cast<double>(state.iterations());
  return prescribedUs;
}

// The waits the protocol and the line layer prescribe for Program All of `twin`'s image, found
// as the virtual time that run takes without verify on a board whose register accesses cost
// nothing: every sleep and bus delay asked for, and nothing else.
template <class Model>
Judgement PrescribedByVirtualTwin(OperationsRig<VirtualClock, Model>& twin) {
  twin.board.Board().SetAccessTimeUs(0);
  twin.options.Verify = false;
  const std::int64_t start = twin.clock.nowUs();
  const OperationResult result = twin.ops.ProgramAll();
  return {static_cast<double>(twin.clock.nowUs() - start), twin.Trouble(result, "not programmed")};
}

}  // namespace kestrum::bench
