// SPDX-License-Identifier: GPL-3.0-or-later
// Detect and the identity check before Program All, Verify and Erase All: the part in the
// socket found by its device ID, named with its revision and offered for selection; a wrong
// part stops a run before anything is erased; families without an ID say so.
#include <gtest/gtest.h>

#include "pic_image.hpp"
#include "sim/chips/pic_chip_flash.hpp"

namespace kestrum::testing {
namespace {

TEST(Detect, PartsWithoutAnIdAndSocketsWithoutAPartSaySo) {
  struct Case {
    const char* device;
    const char* chip;  // the part in the socket; empty: none
    std::string message;
  };
  const Case cases[] = {
      {"24C16", "", "24C16 has no device ID: Detect cannot find it."},
      {"PIC 12C508", "PIC 12C508", "PIC 12C508 has no device ID: Detect cannot find it."},
      {"PIC 16F84", "", "No device ID could be read: the socket is empty, or the part has none."},
      {"PIC 16F84", "PIC 16F84",
       "No device ID could be read: the socket is empty, or the part has none."},
      // A part whose ID no catalogue row claims.
      {"PIC 16F84", "PIC 16F877", "Found device ID 09A0h, which is no device this version knows."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device + std::string(" with ") + c.chip);
    std::unique_ptr<PicChip> chip = *c.chip ? PicChip::ForDevice(c.chip) : nullptr;
    LifecycleRig rig(c.device, ProgrammerType::Jdm, chip.get());
    const OperationResult result = rig.ops.Detect();
    EXPECT_EQ(rig.ui.Messages(), Strings{c.message});
    EXPECT_TRUE(result.Detected.empty());
    EXPECT_TRUE(rig.Rested());
  }
}

// Every part added with an ID is found by it, named with its revision, and selected on Yes.
TEST(Detect, EveryNewPartIsFoundByItsIdAndSelected) {
  for (const PicFlashDescription& part : PicFlashChips()) {
    SCOPED_TRACE(std::string(part.name));
    PicFlashChip chip(part);
    LifecycleRig rig("PIC 16F84", ProgrammerType::Jdm, &chip);
    const OperationResult result = rig.ops.Detect();
    const CatalogueEntry& entry = *FindDeviceByName(part.name);
    const int revision = part.deviceId & ~entry.Profile->DeviceIdMask & 0x3FFF;
    EXPECT_EQ(rig.ui.Questions(),
              Strings{"Found " + std::string(part.name) + ", revision " + std::to_string(revision) +
                      " (device ID " + Hex4(part.deviceId) + "h). Select it?"});
    EXPECT_EQ(result.Detected, part.name);
    EXPECT_EQ(rig.Device().Name, part.name);
    EXPECT_TRUE(rig.Rested());
    // Found again, it is the selected device.
    rig.ui.Clear();
    rig.ops.Detect();
    EXPECT_EQ(rig.ui.Messages().size(), 1u);
    EXPECT_TRUE(rig.ui.Messages()[0].ends_with("): the selected device."));
  }
}

// A 16F628A selected with a 16F88 in the socket: Program All, Verify and Erase All stop before
// they change anything, naming both; with the check off, the run goes on.
TEST(IdCheck, AnotherPartInTheSocketStopsTheRunBeforeTheErase) {
  using Command = OperationResult (Operations::*)();
  PicFlashChip chip(*PicFlashChipFor("PIC 16F88"));
  chip.SetElement(ChipRegion::Code, 0, 0x1234);
  LifecycleRig rig("PIC 16F628A", ProgrammerType::ProPic2, &chip);
  RandomPicImage(rig, 9, 16);
  const Strings wrong = {
      "Found PIC 16F88 in the socket, not the selected PIC 16F628A: nothing "
      "was done."};
  for (Command command : {&Operations::ProgramAll, &Operations::Verify, &Operations::EraseAll}) {
    EXPECT_TRUE(rig.Runs(command, false, wrong));
    EXPECT_EQ(chip.Erases(), 0);
    EXPECT_EQ(chip.Code()[0], 0x1234);
  }
  // An empty socket stops it too, the same way.
  rig.programmer.Insert(nullptr);
  EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false,
                       {"No device ID could be read, where the selected PIC 16F628A has one: "
                        "nothing was done."}));
  rig.programmer.Insert(&chip);
  // Unchecked, the 16F628A's erase runs, and the 16F88 takes none of its commands for one.
  rig.options.CheckDeviceId = false;
  EXPECT_TRUE(rig.Runs(&Operations::EraseAll, true, {"Device is erased."}));
  EXPECT_EQ(chip.Erases(), 0);
  EXPECT_EQ(chip.Code()[0], 0x1234);
}

}  // namespace
}  // namespace kestrum::testing
