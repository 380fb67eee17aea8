// Every serial PIC of the catalogue through its whole life on the real chip models: Program All
// with a random image and verify, Read All back, and Erase All with Blank Check where the
// part can be erased; on the JDM programmer and on a parallel one.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "lifecycle.hpp"
#include "sim/pic_chip.hpp"

namespace kestrum::testing {
namespace {

// Code protection off, in whichever controls the part has for it.
void ProtectionOff(ConfigBox& box) {
  for (FuseCheckBox& fuse : box.Fuses) {
    if (fuse.Caption == "CP" || fuse.Caption == "CPD") fuse.Checked = false;
  }
  if (box.CodeProtect.Visible && !box.CodeProtect.Items.empty()) {
    box.CodeProtect.Select(static_cast<int>(box.CodeProtect.Items.size()) - 1);
  }
}

// A random image in the active slot: code, data, the configuration controls and the ID box.
void RandomPicImage(LifecycleRig& rig, unsigned seed) {
  std::mt19937 random(seed);
  const DeviceDescriptor& d = rig.Device();
  for (int i = 0; i < d.CodeSize; ++i) {
    rig.Slot().CodeBuffer[i] = static_cast<std::uint16_t>(random() & d.BlankValue);
  }
  for (int i = 0; i < d.DataSize; ++i) rig.Slot().DataBuffer[i] = random() & 0xFF;
  rig.workspace.ShowConfigWord(static_cast<std::uint16_t>(random() & d.BlankValue));
  ProtectionOff(rig.workspace.Config);
  std::string id;
  for (int i = 0; i < 4; ++i) id += "0123456789ABCDEF"[random() & 15];
  rig.workspace.Config.SetIdText(d, rig.Slot(), id);
}

// What a part holds after programming `slot`: the reserved words and the device ID of the
// configuration area are the part's own, and configuration bits it does not implement read 1.
BufferSlot HeldAfterProgramming(const BufferSlot& slot, const DeviceDescriptor& d,
                                const PicChipDescription& part) {
  BufferSlot held = slot;
  if (!d.Is12Bit) {
    held.ConfigArea[4] = held.ConfigArea[5] = d.BlankValue;
    held.ConfigArea[6] = part.deviceId ? part.deviceId : d.BlankValue;
  }
  const std::uint16_t implemented = part.parity ? d.BlankValue : part.configBits;
  std::uint16_t& word = held.ConfigArea[d.ConfigWordIndex];
  word = static_cast<std::uint16_t>((word & implemented) | (d.BlankValue & ~implemented));
  return held;
}

// The chip's cells as the buffers hold them.
BufferSlot ChipImage(const PicChip& chip, const DeviceDescriptor& d) {
  BufferSlot image;
  auto word = [&](std::uint16_t cell) {
    return static_cast<std::uint16_t>(chip.Description().parity ? cell >> 2 : cell);
  };
  for (std::size_t i = 0; i < chip.Code().size(); ++i) image.CodeBuffer[i] = word(chip.Code()[i]);
  for (std::size_t i = 0; i < chip.Data().size(); ++i) image.DataBuffer[i] = chip.Data()[i];
  for (std::size_t i = 0; i < chip.ConfigArea().size(); ++i) {
    image.ConfigArea[i] = word(chip.ConfigArea()[i]);
  }
  (void)d;
  return image;
}

struct Case {
  std::string device;
  ProgrammerType type;
};

std::vector<Case> SerialPics() {
  std::vector<Case> cases;
  for (const CatalogueEntry& e : Catalogue()) {
    if (!PicChipFor(e.Name)) continue;
    cases.push_back({std::string(e.Name), ProgrammerType::Jdm});
    cases.push_back({std::string(e.Name), ProgrammerType::ProPic2});
  }
  return cases;
}

class PicLifecycle : public ::testing::TestWithParam<Case> {};

TEST_P(PicLifecycle, ProgramVerifyReadBackEraseBlank) {
  const Case& c = GetParam();
  auto chip = PicChip::ForDevice(c.device);
  LifecycleRig rig(c.device, c.type, chip.get());
  const DeviceDescriptor& d = rig.Device();
  RandomPicImage(rig, 1234);

  ASSERT_TRUE(rig.ProgramAndVerify());
  const BufferSlot held = HeldAfterProgramming(rig.Slot(), d, chip->Description());
  if (chip->CalibrationIndex() >= 0) {
    EXPECT_EQ(rig.Slot().CodeBuffer[chip->CalibrationIndex()], chip->Description().calibration);
  }
  const BufferSlot inChip = ChipImage(*chip, d);
  EXPECT_TRUE(SameWords("chip code", inChip.CodeBuffer, held.CodeBuffer, d.CodeSize));
  EXPECT_TRUE(SameWords("chip data", inChip.DataBuffer, held.DataBuffer, d.DataSize));
  EXPECT_TRUE(SameWords("chip configuration", inChip.ConfigArea, held.ConfigArea,
                        d.ConfigAreaWords));
  EXPECT_TRUE(rig.ReadBackEquals(held));
  if (d.Erasable) {
    EXPECT_TRUE(rig.EraseThenBlank());
  }
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (char ch : info.param.device) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  return name + (info.param.type == ProgrammerType::Jdm ? "_Jdm" : "_ProPic2");
}

INSTANTIATE_TEST_SUITE_P(EverySerialPic, PicLifecycle, ::testing::ValuesIn(SerialPics()),
                         CaseName);

}  // namespace
}  // namespace kestrum::testing
