// SPDX-License-Identifier: GPL-3.0-or-later
// Whole PIC operations on the chip models: Program All with verify of a 16F877 in virtual time
// (processor time per word), and Program All of a 16F84 with the real clock on the simulated
// port, measured against the sum of the waits the protocol prescribes for that run.
#include <benchmark/benchmark.h>

#include <memory>

#include "operations_rig.hpp"
#include "sim/chips/pic_chip.hpp"

namespace kestrum {
namespace {

template <class ClockType>
using PicRig = bench::OperationsRig<ClockType, PicChip>;

// Random code and data, random ID words, and a configuration word without protection.
template <class ClockType>
std::unique_ptr<PicRig<ClockType>> RandomPic(std::string_view device, ProgrammerType type,
                                             unsigned seed) {
  auto rig = std::make_unique<PicRig<ClockType>>(device, type);
  Workspace& workspace = rig->workspace;
  const DeviceDescriptor& d = workspace.Device;
  bench::FillRandom(workspace, seed, d.BlankValue);
  BufferSlot& slot = workspace.Active();
  slot.ConfigArea[d.ConfigWordIndex] = d.BlankValue;
  workspace.ShowStoredConfigWord();
  workspace.Config.SetIdText(d, slot, "1A2B");
  return rig;
}

// Program All and the verify after it of every word of a 16F877: 8192 code words, 256 data
// bytes and the 8 words of the configuration area, in virtual time on the JDM programmer.
void ProgramAllAndVerify16F877InVirtualTime(benchmark::State& state) {
  bench::ProgramAllAndVerifyPerUnit(
      state, "cpu_per_word",
      [] { return RandomPic<VirtualClock>("PIC 16F877", ProgrammerType::Jdm, 877); },
      [](const PicRig<VirtualClock>& rig) {
        const DeviceDescriptor& d = rig.workspace.Device;
        return d.CodeSize + d.DataSize + d.ConfigAreaWords;
      });
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
  Prescribed prescribed;
  bench::ProgramAllAgainstPrescribedWaits(
      state, state.range(0),
      [&] {
        auto rig = RandomPic<RealClock>("PIC 16F84", ProgrammerType::TaitSerial, 84);
        rig->workspace.CreateConfig();  // the configuration area as Program All will fold it
        prescribed = PrescribedFor(rig->workspace.Device, rig->workspace.Active());
        return rig;
      },
      [&](const PicRig<RealClock>& rig) {
        // The count of programming waits holds only if the part went through as many cycles.
        const bool sameCycles = rig.chip->CompletedCycles() == prescribed.cycles;
        return bench::Judgement{prescribed.waitUs, sameCycles ? "" : "cycles differ"};
      });
}
BENCHMARK(ProgramAll16F84WithTheRealClock)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestrum
