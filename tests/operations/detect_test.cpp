// Detect and the identity check before Program All, Verify and Erase All: the part in the
// socket found by its device ID, named with its revision and offered for selection; a wrong
// part stops a run before anything is erased; families without an ID say so.
#include <gtest/gtest.h>

#include "pic_image.hpp"

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

}  // namespace
}  // namespace kestrum::testing
