// SPDX-License-Identifier: GPL-3.0-or-later
// Every SPI EEPROM, AVR and 89S53 of the catalogue through its whole life on the chip models,
// in virtual time, on the ProPic 2 and the STK200: Program All of a random image with verify
// after programming, the part holding it and open (no lock bit, no block protected), Read All
// returning it, and Erase All with Blank Check where the part can be erased. The smallest
// parts also on every other programmer that can drive them.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "../sanitized.hpp"
#include "spi_rig.hpp"

namespace kestrum::testing {
namespace {

struct Case {
  std::string device;
  ProgrammerType type;
};

std::vector<Case> SpiParts() {
  if (kSanitized) {
    return {{"25040", ProgrammerType::Stk200},
            {"25LC080B", ProgrammerType::ProPic2},
            {"90S1200", ProgrammerType::ProPic2},
            {"ATtiny13A", ProgrammerType::Stk200},
            {"89S53", ProgrammerType::Stk200}};
  }
  std::vector<Case> cases;
  for (const CatalogueEntry& e : Catalogue()) {
    const DeviceFamily family = FamilyOf(DescriptorFor(e));
    if (!ModelOf(e.Name) ||
        (family != DeviceFamily::SpiEeprom && family != DeviceFamily::AvrMicro &&
         family != DeviceFamily::SpiMicro89S)) {
      continue;
    }
    cases.push_back({std::string(e.Name), ProgrammerType::ProPic2});
    cases.push_back({std::string(e.Name), ProgrammerType::Stk200});
  }
  // Those without a supply switch (JDM, AN589) leave the lines at rest themselves.
  for (ProgrammerType type :
       {ProgrammerType::Jdm, ProgrammerType::Conquest, ProgrammerType::TaitSerial,
        ProgrammerType::FunCard, ProgrammerType::Schaer, ProgrammerType::An589}) {
    cases.push_back({"25010", type});
    cases.push_back({"90S1200", type});
  }
  // Erase and blank check on the FTDI cable; the app's FTDI lifecycle programs every part there.
  cases.push_back({"90S1200", ProgrammerType::JdmFtdi});
  for (const char* device : {"25010", "90S1200", "89S53"}) {
    cases.push_back({device, ProgrammerType::GpioHeader});
  }
  return cases;
}

class SpiLifecycle : public ::testing::TestWithParam<Case> {};

TEST_P(SpiLifecycle, ProgramVerifyReadBackEraseBlank) {
  SpiRig<ChipModel> spi(GetParam().device, GetParam().type);
  LifecycleRig& rig = spi.rig;
  const DeviceDescriptor& d = rig.Device();
  RandomImage(rig, 4711);

  ASSERT_TRUE(rig.ProgramAndVerify());
  for (int i = 0; i < d.CodeSize; ++i) {
    ASSERT_EQ(spi.chip.Element(ChipRegion::Code, i), rig.Slot().CodeBuffer[i]) << i;
  }
  for (int i = 0; i < std::max(d.DataSize, 0); ++i) {
    ASSERT_EQ(spi.chip.Element(ChipRegion::Data, i), rig.Slot().DataBuffer[i]) << i;
  }
  BufferSlot expected = rig.Slot();
  if (d.ConfigAreaWords > 0) {
    // The parts added later hold what the configuration box held: an AVR's factory fuses with
    // no lock bit, an SPI EEPROM's status register with no block protected.
    for (int k = 0; k < d.ConfigAreaWords; ++k) {
      EXPECT_EQ(spi.chip.Element(ChipRegion::Config, k), rig.Slot().ConfigArea[k]) << k;
    }
  } else {
    // Open: no lock bit programmed, no block protected (bits 7..4 of the status read 1).
    EXPECT_EQ(spi.chip.Element(ChipRegion::Config, 0), d.IsSpiEeprom ? 0xF0 : 0xFF);
    if (d.IsSpiEeprom) expected.ConfigArea[0] = 0xF0;  // the status register as read
  }
  EXPECT_TRUE(rig.ReadBackEquals(expected));
  // The largest parts erase on one board only: the erase is the same on both, the blank
  // check's full read is not cheap.
  if (d.Erasable && (d.CodeSize < 16384 || GetParam().type == ProgrammerType::ProPic2)) {
    EXPECT_TRUE(rig.EraseThenBlank());
  }
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (char ch : info.param.device) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  return name + "_" + std::to_string(static_cast<int>(info.param.type));
}

INSTANTIATE_TEST_SUITE_P(EverySpiPart, SpiLifecycle, ::testing::ValuesIn(SpiParts()), CaseName);

}  // namespace
}  // namespace kestrum::testing
