// SPDX-License-Identifier: GPL-3.0-or-later
// Every serial PIC of the catalogue through its whole life on the chip models, in virtual time:
// Program All of a random image with verify after programming, the part holding it, Read All
// returning it, and Erase All with Blank Check where the part can be erased; on the JDM
// programmer and on the ProPic 2.
#include <gtest/gtest.h>

#include <cctype>

#include "../sanitized.hpp"
#include "pic_image.hpp"

namespace kestrum::testing {
namespace {

struct Case {
  std::string device;
  ProgrammerType type;
};

// Under sanitizers one part stands for each way of programming (flash with data memory, 14-bit
// EPROM, 12-bit EPROM with its calibration word, parity cells).
std::vector<Case> SerialPics() {
  if (kSanitized) {
    return {{"PIC 16F84", ProgrammerType::Jdm},
            {"PIC 16F84", ProgrammerType::JdmFtdi},
            {"PIC 16C621", ProgrammerType::Jdm},
            {"PIC 12C508", ProgrammerType::ProPic2},
            {"PIC 16C715", ProgrammerType::Jdm}};
  }
  std::vector<Case> cases;
  for (const CatalogueEntry& e : Catalogue()) {
    if (!PicChipFor(e.Name)) continue;
    cases.push_back({std::string(e.Name), ProgrammerType::Jdm});
    cases.push_back({std::string(e.Name), ProgrammerType::ProPic2});
  }
  // Erase and blank check on the FTDI cable; the app's FTDI lifecycle programs every part there.
  cases.push_back({"PIC 16F84", ProgrammerType::JdmFtdi});
  cases.push_back({"PIC 16F84", ProgrammerType::GpioHeader});
  return cases;
}

class PicLifecycle : public ::testing::TestWithParam<Case> {};

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

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (char ch : info.param.device) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  switch (info.param.type) {
    case ProgrammerType::Jdm:
      return name + "_Jdm";
    case ProgrammerType::JdmFtdi:
      return name + "_JdmFtdi";
    case ProgrammerType::FtdiBitBang:
      return name + "_FtdiBitBang";
    case ProgrammerType::GpioHeader:
      return name + "_GpioHeader";
    default:
      return name + "_ProPic2";
  }
}

INSTANTIATE_TEST_SUITE_P(EverySerialPic, PicLifecycle, ::testing::ValuesIn(SerialPics()), CaseName);

// The 16C715 keeps two parity bits under every word: what the part holds are the words'
// parity forms, and words left blank stay erased cells, which its parity check rejects.
TEST(PicParity, CellsCarryTheWordsWithTheirParity) {
  PicRig pic("PIC 16C715", ProgrammerType::TaitSerial);
  auto& [chip, rig] = pic;
  RandomPicImage(rig, 77, 100);
  rig.Slot().CodeBuffer[5] = 0x0000;
  rig.Slot().CodeBuffer[6] = 0x3FFE;
  ASSERT_TRUE(rig.ProgramAndVerify());
  for (std::size_t i = 0; i < chip->Code().size(); ++i) {
    const std::uint16_t word = rig.Slot().CodeBuffer[i];
    ASSERT_EQ(chip->Code()[i], word == 0x3FFF ? 0xFFFF : PicParityWord(word)) << i;
  }
  EXPECT_EQ(chip->Code()[5], 0x0002);
  EXPECT_EQ(chip->Code()[6], 0xFFF8);
  EXPECT_EQ(chip->ConfigWord(), PicParityWord(rig.Slot().ConfigArea[7]));
  // Read back, the configuration box shows the configuration word, not its cell.
  rig.workspace.Buffer11Click(3);
  rig.ops.ReadAll();
  EXPECT_EQ(rig.workspace.Config.ConfigLabel,
            "Config word : " + Hex4(chip->ConfigWord() >> 2) + "h");
}

}  // namespace
}  // namespace kestrum::testing
