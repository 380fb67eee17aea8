// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC side of the lifecycle runs: a chip model of the device in the rig's socket, random
// images with code protection off, and what a part really holds after it was programmed.
#pragma once

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "lifecycle.hpp"
#include "sim/chips/pic_chip.hpp"

namespace kestrum::testing {

// A PIC model of the device in the rig's socket. The chip is declared first so that it outlives
// the board it sits in.
template <class Model>
struct PicRigOf {
  explicit PicRigOf(std::string_view device, ProgrammerType type = ProgrammerType::Jdm)
      : chip(Model::ForDevice(device)), rig(device, type, chip.get()) {}
  // A part of the device with a description changed by the test (timing, say).
  template <class Description>
  PicRigOf(std::string_view device, const Description& part,
           ProgrammerType type = ProgrammerType::Jdm)
      : chip(std::make_unique<Model>(part)), rig(device, type, chip.get()) {}

  // The rig at rest and the part out of programming mode.
  ::testing::AssertionResult Rested() {
    ::testing::AssertionResult rested = rig.Rested();
    if (rested && chip->InProgrammingMode()) {
      return ::testing::AssertionFailure() << "the part is still in programming mode";
    }
    return rested;
  }

  std::unique_ptr<Model> chip;
  LifecycleRig rig;
};
using PicRig = PicRigOf<PicChip>;

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

// The chip holds `expected` in every region of the device (a parity part's cells without their
// parity bits).
inline ::testing::AssertionResult ChipHolds(const PicChip& chip, const DeviceDescriptor& d,
                                            const BufferSlot& expected) {
  BufferSlot image;
  const int shift = chip.Description().parity ? 2 : 0;
  std::ranges::transform(chip.Code(), image.CodeBuffer.begin(), [&](auto w) { return w >> shift; });
  std::ranges::copy(chip.Data(), image.DataBuffer.begin());
  std::ranges::transform(chip.ConfigArea(), image.ConfigArea.begin(),
                         [&](auto w) { return w >> shift; });
  auto r = SameWords("chip code", image.CodeBuffer, expected.CodeBuffer, d.CodeSize);
  if (r) r = SameWords("chip data", image.DataBuffer, expected.DataBuffer, d.DataSize);
  if (r)
    r = SameWords("chip configuration", image.ConfigArea, expected.ConfigArea, d.ConfigAreaWords);
  return r;
}

// A part straight from the factory: blank but for its factory words.
inline bool Untouched(const PicChip& chip) {
  const PicChip fresh(chip.Description());
  return std::ranges::equal(chip.Code(), fresh.Code()) &&
         std::ranges::equal(chip.Data(), fresh.Data()) &&
         std::ranges::equal(chip.ConfigArea(), fresh.ConfigArea());
}

}  // namespace kestrum::testing
