// SPDX-License-Identifier: GPL-3.0-or-later
// A part the user added: a variant of the 16F628A with half its program memory and a device ID
// of its own, in the virtual socket as the parent's silicon with the user's sizes. Program All
// of a random image verifies, Read All returns it, and Detect names it by its ID.
#include <gtest/gtest.h>

#include "device/user_devices.hpp"
#include "pic_image.hpp"
#include "sim/chips/chip_models.hpp"
#include "sim/chips/pic_chip_flash.hpp"

namespace kestrum::testing {
namespace {

TEST(UserDevice, AVariantPartProgramsVerifiesReadsBackAndIsDetected) {
  InstallUserDevices(
      ReadUserDevices("[[device]]\nname = \"PIC 16F628A-H\"\n"
                      "parent = \"PIC 16F628A\"\ncode_size = 1024\n"
                      "data_size = 64\ndevice_id = 0x1FE0\n",
                      "devices.toml"));
  const CatalogueEntry& entry = *FindDeviceByName("PIC 16F628A-H");
  const std::unique_ptr<ChipModel> model = ChipModelFor(DescriptorFor(entry));
  auto& chip = dynamic_cast<PicFlashChip&>(*model);
  LifecycleRig rig(entry.Name, ProgrammerType::ProPic2, &chip);
  RandomPicImage(rig, 626);
  // The identity check before the erase takes the part for the selected one.
  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_TRUE(rig.Rested());
  EXPECT_EQ(chip.RefusedWrites(), 0);
  EXPECT_EQ(chip.Code().size(), 1024u);

  BufferSlot held = rig.Slot();
  held.ConfigArea[4] = held.ConfigArea[5] = 0x3FFF;
  held.ConfigArea[6] = 0x1FE0;
  held.ConfigArea[7] = chip.ConfigWord();
  EXPECT_EQ(chip.ConfigWord() & 0x21FF, rig.Slot().ConfigArea[7] & 0x21FF);
  EXPECT_TRUE(rig.ReadBackEquals(held));

  // The parent selected: the part is found as the user's.
  rig.workspace.SelectDevice(*FindDeviceByName("PIC 16F628A"));
  rig.ui.Clear();
  EXPECT_EQ(rig.ops.Detect().Detected, "PIC 16F628A-H");
  EXPECT_EQ(rig.ui.Questions(),
            Strings{"Found PIC 16F628A-H, revision 0 (device ID 1FE0h). Select it?"});
  InstallUserDevices({});
}

}  // namespace
}  // namespace kestrum::testing
