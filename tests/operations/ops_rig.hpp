// A whole application state for operation tests: a workspace with a device selected, the
// virtual programmer with a scripted PIC shaped like that device, the lines on it in virtual
// time, the options, a recording Ui and the operation driver.
#pragma once

#include <algorithm>
#include <random>
#include <string_view>

#include "buffers/workspace.hpp"
#include "operations/operations.hpp"
#include "pic_responder.hpp"
#include "pic_rig.hpp"

namespace kestrum::testing {

inline const CatalogueEntry& Entry(std::string_view name) {
  return *FindDeviceByName(name);
}

struct OpsRig {
  explicit OpsRig(std::string_view device, ProgrammerType type = ProgrammerType::Jdm)
      : chip(PicResponder::For(DescriptorFor(Entry(device)))),
        lines(SettingsFor(type, chip.PinCount()), clock, ui, programmer) {
    workspace.SelectDevice(Entry(device));
    programmer.Insert(&chip);
  }

  const DeviceDescriptor& device() const { return workspace.Device; }
  BufferSlot& slot() { return workspace.Active(); }
  // Random code (the first `codeWords`, all by default) and data in the active slot.
  void RandomImage(unsigned seed, int codeWords = -1) {
    std::mt19937 random(seed);
    for (int i = 0; i < (codeWords < 0 ? device().CodeSize : codeWords); ++i) {
      slot().CodeBuffer[i] = static_cast<std::uint16_t>(random() & device().BlankValue);
    }
    for (int i = 0; i < device().DataSize; ++i) slot().DataBuffer[i] = random() & 0xFF;
  }
  void ChipFromSlot() {
    std::copy_n(slot().CodeBuffer.begin(), chip.code.size(), chip.code.begin());
    std::copy_n(slot().DataBuffer.begin(), chip.data.size(), chip.data.begin());
  }
  template <class Words>
  bool SlotHolds(const std::vector<std::uint16_t>& buffer, const Words& chipWords) const {
    return std::equal(chipWords.begin(), chipWords.end(), buffer.begin());
  }

  PicResponder chip;
  MemorySettingsStore store;
  Workspace workspace{store};
  VirtualClock clock{1000};
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  LineContext lines;
  OperationOptions options;
  Operations ops{workspace, lines, options};
};

}  // namespace kestrum::testing
