// The virtual programmer's chips between runs: every device with a chip model, programmed by
// one virtual programmer whose chips persist in a folder, is found whole by a second one that
// starts from that folder, cell for cell, and reads back as it was programmed.
#include "app/simulated_programmer.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
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
  if (testing::kSanitized) return {"PIC 16F84", "PIC 16C715", "PIC 12C508", "93C46", "59C11", "24C16"};
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
  ProgramRun first(folder_, entry);
  const DeviceDescriptor& d = first.workspace.Device;
  std::mt19937 random(2024);
  // Every bit of the core width in use: a word such as 208Dh needs all of its cell.
  for (int i = 0; i < d.CodeSize; ++i) {
    first.workspace.Active().CodeBuffer[i] = static_cast<std::uint16_t>(random() & d.BlankValue);
  }
  for (int i = 0; i < d.DataSize; ++i) first.workspace.Active().DataBuffer[i] = random() & 0xFF;
  ASSERT_TRUE(first.ops->ProgramAll().Succeeded()) << ::testing::PrintToString(first.ui.Messages());
  ASSERT_TRUE(first.simulated.SaveChip(first.ui));

  ProgramRun second(folder_, entry);
  ChipModel& was = *first.simulated.Model();
  ChipModel& is = *second.simulated.Model();
  for (ChipRegion region : {ChipRegion::Code, ChipRegion::Data, ChipRegion::Config}) {
    for (int i = 0; i < was.RegionSize(region); ++i) {
      ASSERT_EQ(is.Element(region, i), was.Element(region, i))
          << "region " << static_cast<int>(region) << " element " << i;
    }
  }
  if (auto* pic = dynamic_cast<PicChip*>(&was)) {
    auto* again = dynamic_cast<PicChip*>(&is);
    ASSERT_TRUE(std::ranges::equal(pic->Code(), again->Code()));
    ASSERT_TRUE(std::ranges::equal(pic->ConfigArea(), again->ConfigArea()));
  }
  second.workspace.Buffer11Click(3);
  second.ops->ReadAll();
  // The TAIT Parallel announces its pin-count setting before it reads; nothing else is said.
  const bool announces = TypeFor(d) == ProgrammerType::TaitParallel;
  EXPECT_EQ(second.ui.Messages(), announces ? std::vector<std::string>{"18 Pin PIC setting!"}
                                            : std::vector<std::string>{});
  for (int i = 0; i < d.CodeSize; ++i) {
    ASSERT_EQ(second.workspace.Active().CodeBuffer[i], was.Element(ChipRegion::Code, i)) << i;
  }
  for (int i = 0; i < std::max(d.DataSize, 0); ++i) {
    ASSERT_EQ(second.workspace.Active().DataBuffer[i], first.workspace.Buffers.Slots[0].DataBuffer[i])
        << i;
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
