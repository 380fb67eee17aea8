// SPDX-License-Identifier: GPL-3.0-or-later
// The JDM three ways, in virtual time: on a COM port (a register access costs 1 µs), on a plain
// USB-serial adapter (each modem-line call a 1 ms USB round trip) and on an FTDI cable in
// synchronous bit-bang mode (a read that waits costs the 1 ms latency timer). Each run is
// measured against the waits its sequence prescribes: the same run on a COM port whose
// accesses cost nothing, with the datasheet's fixed write waits where the other runs poll the
// part for the end of a write (the 90S parts' data polling). The counter `virtual_s` is the run's
// virtual time in seconds.
#include <benchmark/benchmark.h>

#include "operations_rig.hpp"

namespace kestrum {
namespace {

enum class Wire { Prescribed, ComPort, UsbSerial, FtdiCable };

enum class Job { ProgramAllAndVerify, ReadAll, ProgramAll };

void Run(benchmark::State& state, const char* device, Job job, Wire wire) {
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    using Rig = bench::OperationsRig<VirtualClock>;
    auto rig = std::make_unique<Rig>(
        device, wire == Wire::FtdiCable ? ProgrammerType::JdmFtdi : ProgrammerType::Jdm);
    HardwareSettings& s = rig->lines.Settings();
    if (wire == Wire::FtdiCable) s.Port = "USB1";
    s.Api = wire == Wire::UsbSerial;
    rig->board.Board().SetAccessTimeUs(wire == Wire::Prescribed ? 0 : 1);
    rig->board.Board().SetLineCallUs(wire == Wire::UsbSerial ? 1000 : 0);
    bench::FillRandom(rig->workspace, 8515, rig->workspace.Device.BlankValue);
    rig->options.Verify = job == Job::ProgramAllAndVerify;
    rig->options.AvrPollReady = wire != Wire::Prescribed;
    state.ResumeTiming();
    const std::int64_t start = rig->clock.nowUs();
    const OperationResult result = job == Job::ReadAll ? rig->ops.ReadAll() : rig->ops.ProgramAll();
    seconds = static_cast<double>(rig->clock.nowUs() - start) / 1e6;
    if (!result.Succeeded() || (job == Job::ProgramAllAndVerify && !result.VerifyPassed)) {
      state.SkipWithError("the operation failed");
      break;
    }
  }
  state.counters["virtual_s"] = seconds;
}

#define KESTRUM_JDM_BENCH(name, device, job)                                               \
  BENCHMARK_CAPTURE(Run, name##_Prescribed, device, job, Wire::Prescribed)->Iterations(1); \
  BENCHMARK_CAPTURE(Run, name##_ComPort, device, job, Wire::ComPort)->Iterations(1);       \
  BENCHMARK_CAPTURE(Run, name##_UsbSerial, device, job, Wire::UsbSerial)->Iterations(1);   \
  BENCHMARK_CAPTURE(Run, name##_FtdiCable, device, job, Wire::FtdiCable)->Iterations(1)

KESTRUM_JDM_BENCH(PIC16F84_ProgramAllAndVerify, "PIC 16F84", Job::ProgramAllAndVerify);
KESTRUM_JDM_BENCH(PIC16F84_ReadAll, "PIC 16F84", Job::ReadAll);
KESTRUM_JDM_BENCH(24C512_ProgramAll, "24C512", Job::ProgramAll);
KESTRUM_JDM_BENCH(90S8515_ProgramAll, "90S8515", Job::ProgramAll);

}  // namespace
}  // namespace kestrum
