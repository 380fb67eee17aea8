// SPDX-License-Identifier: GPL-3.0-or-later
// The window's costs: rebuilding and first painting a code view (24C512: 8192 lines, and the
// 16F877), selecting a device through the menu with its repaint, scrolling a page, and how
// much of a core the window thread takes while a worker runs Program All of a PIC 16F84 with
// the real clock on the simulated port.
#include <benchmark/benchmark.h>

#include <time.h>

#include <QApplication>
#include <QScrollBar>

#include <chrono>
#include <memory>

#include "app/application.hpp"
#include "device/catalogue.hpp"
#include "gui/main_window.hpp"
#include "gui/qt_ui.hpp"
#include "sim/chips/pic_chip.hpp"
#include "sim/boards/sim_port.hpp"

namespace kestrum {
namespace {

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A window on a programmer driven by `clock`, with no question asked.
template <class ClockType>
struct WindowBench {
  explicit WindowBench(int device) {
    settings.WriteInteger("Device", device);
    settings.WriteBool("Progging", false);
    settings.WriteBool("Verify", false);
    settings.WriteString("Port", "Com1");
    settings.WriteInteger("IODelay", 0);
    window.Start(CommandLine{});
    window.resize(1000, 700);
    window.show();
    QCoreApplication::processEvents();
  }
  MemorySettingsStore settings;
  QtUi ui;
  ClockType clock;
  VirtualProgrammer programmer{clock};
  Application app{settings, ui, clock, programmer};
  MainWindow window{app, ui};
};

void CodeViewRebuildAndFirstPaint(benchmark::State& state, int device) {
  WindowBench<VirtualClock> bench(device);
  TextView* view = bench.window.CodeView();
  for (auto _ : state) {
    view->Rebuild();
    view->viewport()->repaint();
  }
  state.counters["lines"] = view->LineCount();
}
BENCHMARK_CAPTURE(CodeViewRebuildAndFirstPaint, 24C512, 50)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CodeViewRebuildAndFirstPaint, 16F877, 76)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CodeViewRebuildAndFirstPaint, 16F84, 62)->Unit(benchmark::kMillisecond);

// The whole selection as the menu does it (five slots reset, configuration box, views), then
// the repaint of the window.
void SelectDeviceAndPaint(benchmark::State& state, const char* name) {
  WindowBench<VirtualClock> bench(62);
  const CatalogueEntry* entry = FindDeviceByName(name);
  for (auto _ : state) {
    bench.app.Work.SelectDevice(*entry);
    bench.window.repaint();
  }
}
BENCHMARK_CAPTURE(SelectDeviceAndPaint, 24C512, "24C512")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SelectDeviceAndPaint, 16F84, "PIC 16F84")->Unit(benchmark::kMillisecond);

void ScrollOnePage(benchmark::State& state, int device) {
  WindowBench<VirtualClock> bench(device);
  TextView* view = bench.window.CodeView();
  QScrollBar* bar = view->verticalScrollBar();
  for (auto _ : state) {
    bar->setValue(bar->value() + bar->pageStep() > bar->maximum() ? 0
                                                                  : bar->value() + bar->pageStep());
    view->viewport()->repaint();
  }
}
BENCHMARK_CAPTURE(ScrollOnePage, 24C512, 50)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ScrollOnePage, 16F84, 62)->Unit(benchmark::kMicrosecond);

// Program All of a 16F84 (erase, 1024 code words and 64 data bytes with their 10 ms waits,
// configuration) while the window thread waits in its event loop and serves the worker's
// progress calls. The counter is the window thread's processor time over the wall time.
void WindowThreadDuringProgramAll(benchmark::State& state) {
  WindowBench<RealClock> bench(62);
  auto chip = PicChip::ForDevice("PIC 16F84");
  bench.programmer.Insert(chip.get());
  BufferSlot& slot = bench.app.Work.Active();
  for (int i = 0; i < 1024; ++i)
    slot.CodeBuffer[static_cast<std::size_t>(i)] = (i * 7 + 1) & 0x3FFF;
  for (int i = 0; i < 64; ++i) slot.DataBuffer[static_cast<std::size_t>(i)] = (i * 3) & 0xFF;
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    const double cpuStart = ThreadCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    QAction* program = nullptr;
    for (QAction* action : bench.window.findChildren<QAction*>()) {
      if (action->text() == QStringLiteral("&Program All")) program = action;
    }
    program->trigger();
    cpu += ThreadCpuSeconds() - cpuStart;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  }
  bench.programmer.Insert(nullptr);
  state.counters["window_thread_cpu_percent"] = 100.0 * cpu / wall;
  state.counters["wall_s"] = wall / static_cast<double>(state.iterations());
  state.counters["programmed"] = chip->Code()[1000] == slot.CodeBuffer[1000] ? 1 : 0;
}
BENCHMARK(WindowThreadDuringProgramAll)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
