// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the virtual programmer's chip-file reader. The input is a chip's file in
// the simulation folder. A file that loads is saved back as it was loaded (a second start
// finds the same chip); one that does not is left exactly as it was.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/simulated_programmer.hpp"
#include "fuzz_support.hpp"

namespace {

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The chip's cells, region by region.
std::vector<std::uint16_t> Cells(kestrum::ChipModel& chip) {
  std::vector<std::uint16_t> cells;
  for (auto region :
       {kestrum::ChipRegion::Code, kestrum::ChipRegion::Data, kestrum::ChipRegion::Config}) {
    for (int i = 0; i < chip.RegionSize(region); ++i) cells.push_back(chip.Element(region, i));
  }
  return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrum;
  static const std::string folder = [] {
    char pattern[] = "/tmp/kestrum-chips-fuzz-XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  const DeviceDescriptor device =
      DescriptorFor(*FindDeviceByName(fuzz::kDevices[size % std::size(fuzz::kDevices)]));
  const std::string path = SimulatedProgrammer::ImagePath(folder, device.Name);
  const std::string input(reinterpret_cast<const char*>(data), size);
  { std::ofstream(path, std::ios::binary | std::ios::trunc) << input; }
  fuzz::QuietUi ui(false);
  std::vector<std::uint16_t> loaded;
  {
    SimulatedProgrammer first(folder);
    const bool in = first.InsertChipFor(device, ui);
    if (in && first.Model() != nullptr) loaded = Cells(*first.Model());
    first.SaveChip(ui);
    if (!in && Contents(path) != input) __builtin_trap();  // never overwritten
    if (!in) return 0;
  }
  SimulatedProgrammer second(folder);
  if (!second.InsertChipFor(device, ui)) __builtin_trap();
  if (second.Model() != nullptr && Cells(*second.Model()) != loaded) __builtin_trap();
  return 0;
}
