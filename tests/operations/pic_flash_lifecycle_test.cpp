// SPDX-License-Identifier: GPL-3.0-or-later
// The mid-range flash PICs through their whole life on their chip models, in virtual time:
// Program All of a random image (code, data EEPROM, ID words, configuration words, protection
// off) with verify after programming, the part holding it, Read All returning it, Erase All
// and Blank Check; on the JDM (which cannot hold a part that runs at power-up, so MCLR stays
// on) and on the ProPic 2 (which switches VDD, so VPP comes first where the part asks).
#include <gtest/gtest.h>

#include <cctype>

#include "../sanitized.hpp"
#include "pic_image.hpp"
#include "sim/chips/pic_chip_flash.hpp"

namespace kestrum::testing {
namespace {

struct FlashRig {
  FlashRig(std::string_view device, ProgrammerType type)
      : chip(PicFlashChip::ForDevice(device)), rig(device, type, chip.get()) {}
  ::testing::AssertionResult Rested() {
    auto rested = rig.Rested();
    if (rested && chip->InProgrammingMode()) {
      return ::testing::AssertionFailure() << "the part is still in programming mode";
    }
    return rested;
  }
  std::unique_ptr<PicFlashChip> chip;
  LifecycleRig rig;
};

// What the part holds after `slot` went in: its own reserved words and device ID, its own
// calibration (which the buffer took over), and its configuration bits as they read.
BufferSlot Held(const BufferSlot& slot, const PicFlashChip& chip) {
  const PicFlashDescription& part = chip.Description();
  BufferSlot held = slot;
  held.ConfigArea[4] = held.ConfigArea[5] = 0x3FFF;
  held.ConfigArea[6] = part.deviceId;
  std::uint16_t& word = held.ConfigArea[7];
  word = static_cast<std::uint16_t>((word & part.configBits) | part.configOnes);
  if (part.config2Bits) {
    std::uint16_t& second = held.ConfigArea[8];
    second = static_cast<std::uint16_t>((second & part.config2Bits) | part.config2Ones);
  }
  return held;
}

::testing::AssertionResult ChipHolds(const PicFlashChip& chip, const DeviceDescriptor& d,
                                     const BufferSlot& expected) {
  BufferSlot image;
  for (ChipRegion region : {ChipRegion::Code, ChipRegion::Data, ChipRegion::Config}) {
    auto& to = region == ChipRegion::Code   ? image.CodeBuffer
               : region == ChipRegion::Data ? image.DataBuffer
                                            : image.ConfigArea;
    for (int i = 0; i < chip.RegionSize(region); ++i) to[i] = chip.Element(region, i);
  }
  auto r = SameWords("chip code", image.CodeBuffer, expected.CodeBuffer, d.CodeSize);
  if (r) r = SameWords("chip data", image.DataBuffer, expected.DataBuffer, d.DataSize);
  if (r) {
    r = SameWords("chip configuration", image.ConfigArea, expected.ConfigArea, d.ConfigAreaWords);
  }
  return r;
}

struct Case {
  std::string device;
  ProgrammerType type;
};

std::vector<Case> FlashPics() {
  if (kSanitized) {
    return {{"PIC 16F628A", ProgrammerType::ProPic2},
            {"PIC 16F88", ProgrammerType::Jdm},
            {"PIC 12F675", ProgrammerType::ProPic2},
            {"PIC 16F877A", ProgrammerType::Jdm}};
  }
  std::vector<Case> cases;
  for (const PicFlashDescription& part : PicFlashChips()) {
    cases.push_back({std::string(part.name), ProgrammerType::Jdm});
    cases.push_back({std::string(part.name), ProgrammerType::ProPic2});
  }
  return cases;
}

class PicFlashLifecycle : public ::testing::TestWithParam<Case> {};

TEST_P(PicFlashLifecycle, ProgramVerifyReadBackEraseBlank) {
  FlashRig pic(GetParam().device, GetParam().type);
  auto& [chip, rig] = pic;
  const DeviceDescriptor& d = rig.Device();
  RandomPicImage(rig, 4321);
  if (GetParam().type == ProgrammerType::Jdm) {
    for (FuseCheckBox& fuse : rig.workspace.Config.Fuses) fuse.Checked |= fuse.Caption == "MCLR";
    rig.workspace.ComboBox1Change();
  }
  const PicFlashDescription& part = chip->Description();
  if (part.calibration) {
    // The image's calibration differs from the part's; the part keeps its own.
    rig.Slot().CodeBuffer[1023] = 0x3412;
  }

  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_TRUE(pic.Rested());
  EXPECT_EQ(chip->LostCycles(), 0);
  EXPECT_EQ(chip->RefusedWrites(), 0);
  const BufferSlot held = Held(rig.Slot(), *chip);
  EXPECT_TRUE(ChipHolds(*chip, d, held));
  EXPECT_EQ(chip->IdWord(2), rig.Slot().ConfigArea[2]);
  EXPECT_TRUE(rig.ReadBackEquals(held));
  EXPECT_TRUE(rig.EraseThenBlank());
  EXPECT_TRUE(pic.Rested());
  if (part.calibration) {
    EXPECT_EQ(chip->Code()[1023], part.calibration);
    EXPECT_EQ(chip->ConfigWord() >> 12, part.bandgap);
  }
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (char ch : info.param.device) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  return name + (info.param.type == ProgrammerType::Jdm ? "_Jdm" : "_ProPic2");
}

INSTANTIATE_TEST_SUITE_P(EveryFlashPic, PicFlashLifecycle, ::testing::ValuesIn(FlashPics()),
                         CaseName);

// The 12F675's factory calibration (OSCCAL at 3FFh, bandgap bits 13:12 of the configuration
// word) outlives Program All and Erase All whatever the buffer holds; only the explicit option
// writes the buffer's; an OSCCAL that is no RETLW stops the run before anything is erased.
TEST(Calibration, TwelveF675KeepsItsOwnUnlessOverwrittenOnPurpose) {
  struct Case {
    bool overwrite;
    std::uint16_t partOsccal;  // what the part holds at 3FFh
    std::uint16_t keptOsccal;  // and holds after Program All and Erase All
    std::uint16_t keptBandgap;
    Strings program;  // what Program All says
  };
  const std::uint16_t factory = 0x345C;
  const Case cases[] = {
      {false, factory, factory, 1, {"Device successfully verified!"}},
      {true, factory, 0x3412, 2, {"Device successfully verified!"}},
      {false,
       0x3FFF,
       0x3FFF,
       1,
       {"OSCCAL invalid: the word at 03FFh reads 3FFFh, which is not a RETLW. Nothing was "
        "erased; the part's calibration is to be restored first, or overwritten from the "
        "buffer on purpose."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex4(c.partOsccal) + (c.overwrite ? " overwritten" : ""));
    FlashRig pic("PIC 12F675", ProgrammerType::ProPic2);
    auto& [chip, rig] = pic;
    chip->SetElement(ChipRegion::Code, 1023, c.partOsccal);
    chip->SetElement(ChipRegion::Code, 5, 0x0123);
    rig.options.OverwriteCalibration = c.overwrite;
    RandomPicImage(rig, 11);
    // The image's calibration differs from the part's: another OSCCAL, bandgap "BG 10".
    rig.Slot().CodeBuffer[1023] = 0x3412;
    rig.workspace.Config.More[0].Selected = 2;
    rig.workspace.ComboBox1Change();

    const bool valid = c.partOsccal == factory || c.overwrite;
    EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, valid, c.program));
    EXPECT_TRUE(pic.Rested());
    if (!valid) {
      EXPECT_EQ(chip->Erases(), 0);
      EXPECT_EQ(chip->Code()[5], 0x0123);
      continue;
    }
    EXPECT_EQ(chip->Code()[1023], c.keptOsccal);
    EXPECT_EQ(chip->ConfigWord() >> 12, c.keptBandgap);
    // Read All shows both: the word in the code buffer, the bits in the configuration box.
    rig.workspace.Buffer11Click(2);
    rig.ops.ReadAll();
    EXPECT_EQ(rig.Slot().CodeBuffer[1023], c.keptOsccal);
    EXPECT_EQ(rig.workspace.Config.More[0].Selected, c.keptBandgap);
    rig.workspace.Buffer11Click(0);

    EXPECT_TRUE(rig.EraseThenBlank());
    EXPECT_EQ(chip->Code()[1023], c.keptOsccal);
    EXPECT_EQ(chip->ConfigWord() >> 12, c.keptBandgap);
    EXPECT_EQ(chip->Code()[5], 0x3FFF);
  }
}

}  // namespace
}  // namespace kestrum::testing
