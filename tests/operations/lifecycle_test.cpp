// SPDX-License-Identifier: GPL-3.0-or-later
// Every part of the catalogue that has a chip model through its whole life, in virtual time,
// one table of (part, programmer type) a family: Program All of a random image with verify
// after programming, the part holding it, Read All returning it, and Erase All with Blank Check
// where the part can be erased. Serial PICs, flash PICs and Microwire EEPROMs on the JDM and
// the ProPic 2; I2C EEPROMs in page and byte mode; the SPI families on the ProPic 2, the STK200
// and the smallest parts on every other programmer that can drive them. The FTDI and GPIO
// types run every family in the app's FTDI lifecycle.
#include <gtest/gtest.h>

#include <random>

#include "../sanitized.hpp"
#include "pic_image.hpp"
#include "sim/chips/eeprom24_chip.hpp"
#include "sim/chips/microwire_chip.hpp"
#include "sim/chips/pic_chip_flash.hpp"
#include "spi_rig.hpp"

namespace kestrum::testing {
namespace {

// ---- serial PICs ----

// Under sanitizers one part stands for each way of programming (flash with data memory, 14-bit
// EPROM, 12-bit EPROM with its calibration word, parity cells).
std::vector<PartOn> SerialPics() {
  using enum ProgrammerType;
  if (kSanitized) {
    return {{"PIC 16F84", Jdm},
            {"PIC 16F84", JdmFtdi},
            {"PIC 16C621", Jdm},
            {"PIC 12C508", ProPic2},
            {"PIC 16C715", Jdm}};
  }
  std::vector<std::string_view> devices;
  for (const CatalogueEntry& e : Catalogue()) {
    if (PicChipFor(e.Name)) devices.push_back(e.Name);
  }
  std::vector<PartOn> cases;
  AddEachOn(cases, devices, {Jdm, ProPic2});
  // Erase and blank check on the FTDI cable; the app's FTDI lifecycle programs every part there
  // and erases the first of each family on the GPIO header.
  cases.push_back({"PIC 16F84", JdmFtdi});
  return cases;
}

class PicLifecycle : public ::testing::TestWithParam<PartOn> {};

TEST_P(PicLifecycle, ProgramVerifyReadBackEraseBlank) {
  PicRig pic(GetParam().device, GetParam().type);
  auto& [chip, rig] = pic;
  const DeviceDescriptor& d = rig.Device();
  RandomPicImage(rig, 1234);

  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_TRUE(pic.Rested());
  // A one-time part keeps its factory calibration, and the buffer takes it over.
  if (chip->CalibrationIndex() >= 0) {
    EXPECT_EQ(rig.Slot().CodeBuffer[chip->CalibrationIndex()], chip->Description().calibration);
  }
  const BufferSlot held = HeldAfterProgramming(rig.Slot(), d, chip->Description());
  EXPECT_TRUE(ChipHolds(*chip, d, held));
  EXPECT_TRUE(rig.ReadBackEquals(held));
  if (d.Erasable) {
    EXPECT_TRUE(rig.EraseThenBlank());
    EXPECT_TRUE(pic.Rested());
  }
}

INSTANTIATE_TEST_SUITE_P(EverySerialPic, PicLifecycle, ::testing::ValuesIn(SerialPics()), PartName);

// ---- flash PICs ----

using FlashRig = PicRigOf<PicFlashChip>;

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

::testing::AssertionResult ChipHolds(const ChipModel& chip, const DeviceDescriptor& d,
                                     const BufferSlot& expected) {
  BufferSlot image;
  for (ChipRegion region : {ChipRegion::Code, ChipRegion::Data, ChipRegion::Config}) {
    auto& to = region == ChipRegion::Code   ? image.CodeBuffer
               : region == ChipRegion::Data ? image.DataBuffer
                                            : image.ConfigArea;
    for (int i = 0; i < chip.RegionSize(region); ++i) to[i] = chip.Element(region, i);
  }
  auto r = SameWords("chip code", image.CodeBuffer, expected.CodeBuffer, d.CodeSize);
  if (r) r = SameWords("chip data", image.DataBuffer, expected.DataBuffer, std::max(d.DataSize, 0));
  if (r) {
    r = SameWords("chip configuration", image.ConfigArea, expected.ConfigArea, d.ConfigAreaWords);
  }
  return r;
}

std::vector<PartOn> FlashPics() {
  using enum ProgrammerType;
  if (kSanitized) {
    return {{"PIC 16F628A", ProPic2},
            {"PIC 16F88", Jdm},
            {"PIC 12F675", ProPic2},
            {"PIC 16F877A", Jdm}};
  }
  std::vector<std::string_view> devices;
  for (const PicFlashDescription& part : PicFlashChips()) devices.push_back(part.name);
  std::vector<PartOn> cases;
  AddEachOn(cases, devices, {Jdm, ProPic2});
  return cases;
}

class PicFlashLifecycle : public ::testing::TestWithParam<PartOn> {};

// On the JDM (which cannot hold a part that runs at power-up) MCLR stays on; the ProPic 2
// switches VDD, so VPP comes first where the part asks.
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

INSTANTIATE_TEST_SUITE_P(EveryFlashPic, PicFlashLifecycle, ::testing::ValuesIn(FlashPics()),
                         PartName);

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

// ---- I2C EEPROMs ----

// Every part in both modes on both boards with an EEPROM socket; the three largest, whose
// byte-mode runs cost the most processor time, write pages on the ProPic 2 and bytes on the JDM
// (whose line changes take the fewest port accesses). Under sanitizers: a part with block bits
// and one with two address bytes.
std::vector<PartOn> I2cParts() {
  using enum ProgrammerType;
  if (kSanitized) {
    return {{"24C16", Jdm, false},
            {"24C16", ProPic2, true},
            {"24C32", ProPic2, false},
            {"24C02", Jdm, true}};
  }
  std::vector<PartOn> cases;
  for (const Eeprom24Description& d : Eeprom24Parts()) {
    const std::string name(d.name);
    if (d.blockSelect) {
      // 128 KiB: pages on both boards; byte mode is the same on the smaller parts.
      cases.insert(cases.end(), {{name, ProPic2, false}, {name, Jdm, false}});
    } else if (d.bytes > 8192) {
      cases.insert(cases.end(), {{name, ProPic2, false}, {name, Jdm, true}});
    } else {
      cases.insert(
          cases.end(),
          {{name, Jdm, false}, {name, Jdm, true}, {name, ProPic2, false}, {name, ProPic2, true}});
    }
  }
  // Every part writes pages on the FTDI cable in the app's FTDI lifecycle; bytes here.
  cases.insert(cases.end(), {{"24C16", JdmFtdi, true}, {"24C16", GpioHeader, false}});
  return cases;
}

class I2cLifecycle : public ::testing::TestWithParam<PartOn> {};

TEST_P(I2cLifecycle, ProgramVerifyReadBack) {
  auto chip = Eeprom24Chip::ForDevice(GetParam().device);  // outlives the board it sits in
  LifecycleRig rig(GetParam().device, GetParam().type, chip.get());
  rig.options.ByteWrite = GetParam().byteWrite;
  RandomImage(rig, 24);
  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_TRUE(rig.ReadBackEquals(rig.Slot()));
  const Eeprom24Description& d = chip->Part().Description();
  EXPECT_EQ(chip->Part().WriteCycles(), GetParam().byteWrite ? d.bytes : d.bytes / d.pageBytes);
}

INSTANTIATE_TEST_SUITE_P(EveryPart, I2cLifecycle, ::testing::ValuesIn(I2cParts()),
                         [](const ::testing::TestParamInfo<PartOn>& info) {
                           return PartName(info) + (info.param.byteWrite ? "_Bytes" : "_Pages");
                         });

// ---- Microwire and 4-wire EEPROMs ----

std::vector<PartOn> MicrowireParts() {
  using enum ProgrammerType;
  if (kSanitized) return {{"93C46", Jdm}, {"59C11", ProPic2}};
  std::vector<std::string_view> devices;
  for (const MicrowireChipDescription& part : MicrowireChips()) devices.push_back(part.name);
  std::vector<PartOn> cases;
  AddEachOn(cases, devices, {Jdm, ProPic2});
  cases.push_back({"93C46", GpioHeader});
  return cases;
}

class EepromLifecycle : public ::testing::TestWithParam<PartOn> {};

TEST_P(EepromLifecycle, BlankProgramVerifyReadBack) {
  auto chip = MicrowireChip::ForDevice(GetParam().device);  // outlives the board it sits in
  LifecycleRig rig(GetParam().device, GetParam().type, chip.get());
  EXPECT_TRUE(rig.Runs(&Operations::BlankCheck, true, {"Device is blank."}));
  // Every word different from the blank value, so a word the part did not take shows.
  std::mt19937 random(1993);
  for (int i = 0; i < rig.Device().CodeSize; ++i) {
    rig.Slot().CodeBuffer[i] = static_cast<std::uint16_t>(random() % 0xFFFF);
  }
  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_TRUE(SameWords("chip", chip->Words(), rig.Slot().CodeBuffer, chip->Words().size()));
  EXPECT_TRUE(rig.ReadBackEquals(rig.Slot()));
  EXPECT_TRUE(rig.Runs(&Operations::BlankCheck, false, {"Device NOT blank at address 0000h !"}));
}

INSTANTIATE_TEST_SUITE_P(EveryPart, EepromLifecycle, ::testing::ValuesIn(MicrowireParts()),
                         PartName);

// ---- SPI EEPROMs, AVRs and the 89S53 ----

std::vector<PartOn> SpiParts() {
  using enum ProgrammerType;
  if (kSanitized) {
    return {{"25040", Stk200},
            {"25LC080B", ProPic2},
            {"90S1200", ProPic2},
            {"ATtiny13A", Stk200},
            {"89S53", Stk200}};
  }
  std::vector<std::string_view> devices;
  for (const CatalogueEntry& e : Catalogue()) {
    const DeviceFamily family = FamilyOf(DescriptorFor(e));
    if (ModelOf(e.Name) && (family == DeviceFamily::SpiEeprom || family == DeviceFamily::AvrMicro ||
                            family == DeviceFamily::SpiMicro89S)) {
      devices.push_back(e.Name);
    }
  }
  std::vector<PartOn> cases;
  AddEachOn(cases, devices, {ProPic2, Stk200});
  // Those without a supply switch (JDM, AN589) leave the lines at rest themselves. The GPIO
  // header runs these parts, erase included, in the app's FTDI lifecycle.
  AddEachOn(cases, std::array{"25010", "90S1200"},
            {Jdm, Conquest, TaitSerial, FunCard, Schaer, An589});
  // Erase and blank check on the FTDI cable; the app's FTDI lifecycle programs every part there.
  cases.push_back({"90S1200", JdmFtdi});
  return cases;
}

class SpiLifecycle : public ::testing::TestWithParam<PartOn> {};

TEST_P(SpiLifecycle, ProgramVerifyReadBackEraseBlank) {
  SpiRig<ChipModel> spi(GetParam().device, GetParam().type);
  LifecycleRig& rig = spi.rig;
  const DeviceDescriptor& d = rig.Device();
  RandomImage(rig, 4711);

  ASSERT_TRUE(rig.ProgramAndVerify());
  BufferSlot expected = rig.Slot();
  expected.ConfigArea[0] = d.IsSpiEeprom ? 0xF0 : 0xFF;  // open: no lock bit, no block protected
  // The parts added later hold what the configuration box held: an AVR's factory fuses with no
  // lock bit, an SPI EEPROM's status register with no block protected (bits 7..4 read 1).
  const int configWords = std::max(d.ConfigAreaWords, 1);
  if (d.ConfigAreaWords > 0) expected.ConfigArea = rig.Slot().ConfigArea;
  for (auto [region, size, want] :
       {std::tuple{ChipRegion::Code, d.CodeSize, &expected.CodeBuffer[0]},
        {ChipRegion::Data, std::max(d.DataSize, 0), &expected.DataBuffer[0]},
        {ChipRegion::Config, configWords, &expected.ConfigArea[0]}}) {
    for (int i = 0; i < size; ++i) ASSERT_EQ(spi.chip.Element(region, i), want[i]) << i;
  }
  EXPECT_TRUE(rig.ReadBackEquals(expected));
  // The largest parts erase on one board only: the erase is the same on both, the blank
  // check's full read is not cheap.
  if (d.Erasable && (d.CodeSize < 16384 || GetParam().type == ProgrammerType::ProPic2)) {
    EXPECT_TRUE(rig.EraseThenBlank());
  }
}

INSTANTIATE_TEST_SUITE_P(EverySpiPart, SpiLifecycle, ::testing::ValuesIn(SpiParts()), PartName);

}  // namespace
}  // namespace kestrum::testing
