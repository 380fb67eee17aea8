// SPDX-License-Identifier: GPL-3.0-or-later
// Program All in virtual time where the waits are the cost: a small PIC program and a full one,
// a 25040, a small 90S8515 program, and a 24C16, a 93C46, a 59C11 and an NVM 3060 programmed again
// with the image it holds. The
// counter `virtual_s` is the run's virtual time in seconds (register accesses 1 µs each).
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "operations_rig.hpp"

namespace kestrum {
namespace {

using Rig = bench::OperationsRig<VirtualClock>;

// An 8-bit Intel HEX file of a 14-bit PIC into the active slot: program words, the
// configuration area from 2000h and data from 2100h (byte addresses twice the word's).
void LoadPicHex(Rig& rig, const std::string& path) {
  std::ifstream in(path);
  BufferSlot& slot = rig.workspace.Active();
  const DeviceDescriptor& d = rig.workspace.Device;
  std::uint32_t base = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 11 || line[0] != ':') continue;
    const auto byte = [&](std::size_t i) {
      return static_cast<std::uint8_t>(std::stoi(line.substr(1 + 2 * i, 2), nullptr, 16));
    };
    const int count = byte(0);
    const std::uint32_t offset = (byte(1) << 8) | byte(2);
    const int type = byte(3);
    if (type == 4) base = ((byte(4) << 8) | byte(5)) << 16;
    if (type != 0) continue;
    for (int k = 0; k < count; ++k) {
      const std::uint32_t at = base + offset + static_cast<std::uint32_t>(k);
      const std::uint32_t word = at / 2;
      const int shift = at % 2 == 0 ? 0 : 8;
      const auto put = [&](std::uint16_t& w) {
        w = static_cast<std::uint16_t>((w & ~(0xFF << shift)) | (byte(4 + k) << shift));
      };
      if (word < static_cast<std::uint32_t>(d.CodeSize)) {
        put(slot.CodeBuffer[word]);
      } else if (word >= 0x2100 && word < 0x2100u + static_cast<std::uint32_t>(d.DataSize)) {
        if (shift == 0) slot.DataBuffer[word - 0x2100] = byte(4 + k);
      } else if (word >= 0x2000 && word < 0x2000u + static_cast<std::uint32_t>(d.ConfigAreaWords)) {
        put(slot.ConfigArea[word - 0x2000]);
      }
    }
  }
  rig.workspace.ShowConfigWord(slot.ConfigArea[static_cast<std::size_t>(d.ConfigWordIndex)]);
}

enum class Image { BlinkHex, Random, SmallProgram, HeldImage };

void Run(benchmark::State& state, const char* device, ProgrammerType type, Image image,
         bool verify) {
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto rig = std::make_unique<Rig>(device, type);
    if (type == ProgrammerType::JdmFtdi) rig->lines.Settings().Port = "USB1";
    rig->board.Board().SetAccessTimeUs(1);
    rig->options.Verify = verify;
    const std::uint16_t mask = rig->workspace.Device.BlankValue;
    switch (image) {
      case Image::BlinkHex:
        for (auto& w : rig->workspace.Active().CodeBuffer) w = mask;
        for (auto& b : rig->workspace.Active().DataBuffer) b = 0xFF;
        LoadPicHex(*rig, KESTRUM_EXAMPLES "/blink.hex");
        break;
      case Image::Random:
        bench::FillRandom(rig->workspace, 84, mask);
        break;
      case Image::SmallProgram: {
        bench::FillRandom(rig->workspace, 85, mask);
        auto& code = rig->workspace.Active().CodeBuffer;
        for (std::size_t i = 256; i < code.size(); ++i) code[i] = 0xFF;
        for (auto& b : rig->workspace.Active().DataBuffer) b = 0xFF;
        break;
      }
      case Image::HeldImage:
        bench::FillRandom(rig->workspace, 16, mask);
        rig->ops.ProgramAll();
        rig->options.WriteOnlyDiffers = true;
        break;
    }
    state.ResumeTiming();
    const std::int64_t start = rig->clock.nowUs();
    const OperationResult result = rig->ops.ProgramAll();
    seconds = static_cast<double>(rig->clock.nowUs() - start) / 1e6;
    if (!result.Succeeded() || (verify && !result.VerifyPassed)) {
      state.SkipWithError("the operation failed");
      break;
    }
  }
  state.counters["virtual_s"] = seconds;
}

BENCHMARK_CAPTURE(Run, PIC16F84_BlinkHex_ProgramAllAndVerify_Com, "PIC 16F84", ProgrammerType::Jdm,
                  Image::BlinkHex, true)
    ->Iterations(1);
BENCHMARK_CAPTURE(Run, PIC16F84_BlinkHex_ProgramAllAndVerify_FtdiCable, "PIC 16F84",
                  ProgrammerType::JdmFtdi, Image::BlinkHex, true)
    ->Iterations(1);
BENCHMARK_CAPTURE(Run, PIC16F84_Random_ProgramAllAndVerify_Com, "PIC 16F84", ProgrammerType::Jdm,
                  Image::Random, true)
    ->Iterations(1);
BENCHMARK_CAPTURE(Run, 25040_ProgramAll, "25040", ProgrammerType::Stk200, Image::Random, false)
    ->Iterations(1);
BENCHMARK_CAPTURE(Run, 90S8515_SmallProgram_ProgramAll, "90S8515", ProgrammerType::Stk200,
                  Image::SmallProgram, false)
    ->Iterations(1);
BENCHMARK_CAPTURE(Run, 24C16_HeldImage_ProgramAll, "24C16", ProgrammerType::Jdm, Image::HeldImage,
                  false)
    ->Iterations(1);
BENCHMARK_CAPTURE(Run, 93C46_HeldImage_ProgramAll, "93C46", ProgrammerType::Jdm, Image::HeldImage,
                  false)
    ->Iterations(1);
BENCHMARK_CAPTURE(Run, 59C11_HeldImage_ProgramAll, "59C11", ProgrammerType::Jdm, Image::HeldImage,
                  false)
    ->Iterations(1);
BENCHMARK_CAPTURE(Run, NVM3060_HeldImage_ProgramAll, "NVM 3060", ProgrammerType::Jdm,
                  Image::HeldImage, false)
    ->Iterations(1);

}  // namespace
}  // namespace kestrum
