// A whole application state for operation tests: a workspace with a device selected, the
// virtual programmer with a scripted PIC shaped like that device, the lines on it in virtual
// time, the options, a recording Ui and the operation driver.
#pragma once

#include <random>
#include <string_view>

#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "operations/operations.hpp"
#include "pic_responder.hpp"
#include "pic_rig.hpp"

namespace kestrum::testing {

inline const CatalogueEntry& Entry(std::string_view name) {
  const CatalogueEntry* entry = FindDeviceByName(name);
  if (entry == nullptr) throw std::invalid_argument(std::string(name));
  return *entry;
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

  // Random code and data in the active slot (and the chip when `alsoChip`), within the
  // device's widths.
  void RandomImage(unsigned seed, int codeWords = -1) {
    std::mt19937 random(seed);
    const int words = codeWords < 0 ? device().CodeSize : codeWords;
    for (int i = 0; i < words; ++i) {
      slot().CodeBuffer[i] = static_cast<std::uint16_t>(random() & device().BlankValue);
    }
    for (int i = 0; i < device().DataSize; ++i) {
      slot().DataBuffer[i] = static_cast<std::uint16_t>(random() & 0xFF);
    }
  }
  // The chip holds what the active slot holds.
  void ChipFromSlot() {
    for (int i = 0; i < device().CodeSize; ++i) chip.code[i] = slot().CodeBuffer[i];
    for (int i = 0; i < device().DataSize; ++i) chip.data[i] = slot().DataBuffer[i];
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
