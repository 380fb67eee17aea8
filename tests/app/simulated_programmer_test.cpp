// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual programmer's chips between runs: every device with a chip model, programmed by
// one virtual programmer whose chips persist in a folder, is found whole by a second one that
// starts from that folder, cell for cell, and reads back as it was programmed.
#include "app/simulated_programmer.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <random>

#include "../sanitized.hpp"
#include "core/recording_ui.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "operations/operations.hpp"
#include "sim/chips/chip_models.hpp"
#include "sim/chips/pic_chip.hpp"

namespace kestrum {
namespace {

namespace fs = std::filesystem;

// A programmer type whose support group holds the device's family.
ProgrammerType TypeFor(const DeviceDescriptor& device) {
  switch (FamilyRowOf(FamilyKeyOf(device, OperationOptions{})).Group) {
    case SupportGroup::TafeOnly:
      return ProgrammerType::Tafe;
    case SupportGroup::TaitParallelOnly:
      return ProgrammerType::TaitParallel;
    default:
      return ProgrammerType::ProPic2;
  }
}

// One run of the program on the virtual programmer.
struct ProgramRun {
  ProgramRun(const std::string& folder, const CatalogueEntry& entry) : simulated(folder) {
    workspace.SelectDevice(entry);
    HardwareSettings settings;
    settings.Programmer = TypeFor(workspace.Device);
    settings.Port = settings.Programmer == ProgrammerType::Jdm ? "Com1" : "LPT1";
    settings.IODelay = 0;
    DerivePortBase(settings);
    lines.emplace(settings, simulated.Clock(), ui, simulated.Programmer());
    ops.emplace(workspace, *lines, options);
    options.Progging = false;
    simulated.InsertChipFor(workspace.Device, ui);
  }

  RecordingUi ui;
  MemorySettingsStore store;
  Workspace workspace{store};
  OperationOptions options;
  SimulatedProgrammer simulated;
  std::optional<LineContext> lines;
  std::optional<Operations> ops;
};

std::vector<std::string> ModelledDevices() {
  if (testing::kSanitized)
    return {"PIC 16F84", "PIC 16C715", "PIC 12C508", "93C46", "59C11", "24C16"};
  std::vector<std::string> names;
  for (const CatalogueEntry& e : Catalogue()) {
    if (ChipModelFor(DescriptorFor(e))) names.emplace_back(e.Name);
  }
  return names;
}

class ChipImages : public ::testing::TestWithParam<std::string> {
 protected:
  ChipImages() {
    char pattern[] = "/tmp/kestrum-chips-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  ~ChipImages() override { fs::remove_all(folder_); }
  std::string folder_;
};

TEST_P(ChipImages, ASecondRunFindsEveryCellAsTheFirstLeftIt) {
  const CatalogueEntry& entry = *FindDeviceByName(GetParam());
  // The first run ends (and lets go of the chip's file) before the second starts.
  auto first = std::make_unique<ProgramRun>(folder_, entry);
  const DeviceDescriptor d = first->workspace.Device;
  std::mt19937 random(2024);
  // Every bit of the core width in use: a word such as 208Dh needs all of its cell.
  for (int i = 0; i < d.CodeSize; ++i) {
    first->workspace.Active().CodeBuffer[i] = static_cast<std::uint16_t>(random() & d.BlankValue);
  }
  for (int i = 0; i < d.DataSize; ++i) first->workspace.Active().DataBuffer[i] = random() & 0xFF;
  ASSERT_TRUE(first->ops->ProgramAll().Succeeded())
      << ::testing::PrintToString(first->ui.Messages());
  ASSERT_TRUE(first->simulated.SaveChip(first->ui));
  constexpr ChipRegion kRegions[] = {ChipRegion::Code, ChipRegion::Data, ChipRegion::Config};
  std::vector<std::vector<std::uint16_t>> was;
  for (ChipRegion region : kRegions) {
    was.emplace_back();
    const ChipModel& chip = *first->simulated.Model();
    for (int i = 0; i < chip.RegionSize(region); ++i) was.back().push_back(chip.Element(region, i));
  }
  std::vector<std::uint16_t> picCells;  // a PIC's cells whole, parity bits and all
  if (auto* pic = dynamic_cast<PicChip*>(first->simulated.Model())) {
    std::ranges::copy(pic->Code(), std::back_inserter(picCells));
    std::ranges::copy(pic->ConfigArea(), std::back_inserter(picCells));
  }
  const std::vector<std::uint16_t> dataBuffer = first->workspace.Buffers.Slots[0].DataBuffer;
  first.reset();

  ProgramRun second(folder_, entry);
  ChipModel& is = *second.simulated.Model();
  for (std::size_t r = 0; r < std::size(kRegions); ++r) {
    for (int i = 0; i < is.RegionSize(kRegions[r]); ++i) {
      ASSERT_EQ(is.Element(kRegions[r], i), was[r].at(i)) << "region " << r << " element " << i;
    }
  }
  if (auto* again = dynamic_cast<PicChip*>(&is)) {
    std::vector<std::uint16_t> cells;
    std::ranges::copy(again->Code(), std::back_inserter(cells));
    std::ranges::copy(again->ConfigArea(), std::back_inserter(cells));
    ASSERT_EQ(cells, picCells);
  }
  second.workspace.Buffer11Click(3);
  second.ops->ReadAll();
  // The TAIT Parallel announces its pin-count setting before it reads; nothing else is said.
  const bool announces = TypeFor(d) == ProgrammerType::TaitParallel;
  EXPECT_EQ(second.ui.Messages(), announces ? std::vector<std::string>{"18 Pin PIC setting!"}
                                            : std::vector<std::string>{});
  for (int i = 0; i < d.CodeSize; ++i) {
    ASSERT_EQ(second.workspace.Active().CodeBuffer[i], was[0].at(i)) << i;
  }
  for (int i = 0; i < std::max(d.DataSize, 0); ++i) {
    ASSERT_EQ(second.workspace.Active().DataBuffer[i], dataBuffer[i]) << i;
  }
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char ch : info.param) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryModel, ChipImages, ::testing::ValuesIn(ModelledDevices()), CaseName);

}  // namespace
}  // namespace kestrum
