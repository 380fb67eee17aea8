// The PIC side of the lifecycle runs: a chip model of the device in the rig's socket, random
// images with code protection off, and what a part really holds after it was programmed.
#pragma once

#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "lifecycle.hpp"
#include "sim/pic_chip.hpp"

namespace kestrum::testing {

// The chip is declared first so that it outlives the board it sits in.
struct PicRig {
  explicit PicRig(std::string_view device, ProgrammerType type = ProgrammerType::Jdm)
      : chip(PicChip::ForDevice(device)), rig(device, type, chip.get()) {}
  // A part of the device with a description changed by the test (timing, say).
  PicRig(std::string_view device, const PicChipDescription& part,
         ProgrammerType type = ProgrammerType::Jdm)
      : chip(std::make_unique<PicChip>(part)), rig(device, type, chip.get()) {}

  // The rig at rest and the part out of programming mode.
  ::testing::AssertionResult Rested() {
    ::testing::AssertionResult rested = rig.Rested();
    if (rested && chip->InProgrammingMode()) {
      return ::testing::AssertionFailure() << "the part is still in programming mode";
    }
    return rested;
  }

  std::unique_ptr<PicChip> chip;
  LifecycleRig rig;
};

// Code protection off, in whichever controls the part has for it (data protection too).
inline void ProtectionOff(ConfigBox& box) {
  for (FuseCheckBox& fuse : box.Fuses) {
    if (fuse.Caption == "CP" || fuse.Caption == "CPD") fuse.Checked = false;
  }
  if (box.CodeProtect.Visible && !box.CodeProtect.Items.empty()) {
    box.CodeProtect.Select(static_cast<int>(box.CodeProtect.Items.size()) - 1);
  }
}

// A random image in the active slot: code (the first `codeWords`, all by default), data, the
// configuration controls and the ID box, with code protection off.
inline void RandomPicImage(LifecycleRig& rig, unsigned seed, int codeWords = -1) {
  std::mt19937 random(seed);
  const DeviceDescriptor& d = rig.Device();
  for (int i = 0; i < (codeWords < 0 ? d.CodeSize : codeWords); ++i) {
    rig.Slot().CodeBuffer[i] = static_cast<std::uint16_t>(random() & d.BlankValue);
  }
  for (int i = 0; i < d.DataSize; ++i) rig.Slot().DataBuffer[i] = random() & 0xFF;
  rig.workspace.ShowConfigWord(static_cast<std::uint16_t>(random() & d.BlankValue));
  ProtectionOff(rig.workspace.Config);
  std::string id;
  for (int i = 0; i < 4; ++i) id += "0123456789ABCDEF"[random() & 15];
  rig.workspace.Config.SetIdText(d, rig.Slot(), id);
}

// What a part holds after `slot` was programmed into it: the reserved words and the device ID
// of the configuration area are the part's own, and configuration bits it does not implement
// read 1.
inline BufferSlot HeldAfterProgramming(const BufferSlot& slot, const DeviceDescriptor& d,
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

// The chip's cells as the buffers hold them (a parity part's without the parity bits).
inline BufferSlot ChipImage(const PicChip& chip) {
  BufferSlot image;
  auto word = [&](std::uint16_t cell) {
    return static_cast<std::uint16_t>(chip.Description().parity ? cell >> 2 : cell);
  };
  for (std::size_t i = 0; i < chip.Code().size(); ++i) image.CodeBuffer[i] = word(chip.Code()[i]);
  for (std::size_t i = 0; i < chip.Data().size(); ++i) image.DataBuffer[i] = chip.Data()[i];
  for (std::size_t i = 0; i < chip.ConfigArea().size(); ++i) {
    image.ConfigArea[i] = word(chip.ConfigArea()[i]);
  }
  return image;
}

// The chip holds `expected` in every region of the device.
inline ::testing::AssertionResult ChipHolds(const PicChip& chip, const DeviceDescriptor& d,
                                            const BufferSlot& expected) {
  const BufferSlot image = ChipImage(chip);
  if (auto r = SameWords("chip code", image.CodeBuffer, expected.CodeBuffer, d.CodeSize); !r) {
    return r;
  }
  if (auto r = SameWords("chip data", image.DataBuffer, expected.DataBuffer, d.DataSize); !r) {
    return r;
  }
  return SameWords("chip configuration", image.ConfigArea, expected.ConfigArea, d.ConfigAreaWords);
}

}  // namespace kestrum::testing
