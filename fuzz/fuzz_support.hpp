// SPDX-License-Identifier: GPL-3.0-or-later
// The body every file-reader fuzz target shares: one input file is loaded, as a program file
// and as a data file, into a device of one of the memory layouts (chosen by the input's
// length); what was loaded must come back from a saved file of the same kind.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include "buffers/buffer_set.hpp"
#include "buffers/device_image.hpp"
#include "buffers/file_access.hpp"
#include "core/ui.hpp"
#include "device/catalogue.hpp"

namespace kestrum::fuzz {

class QuietUi final : public Ui {
 public:
  explicit QuietUi(bool answer) : answer_(answer) {}
  void Message(MessageKind, std::string_view, MessageButton) override {}
  bool Question(std::string_view) override { return answer_; }

 private:
  bool answer_;
};

// 14-bit PIC with data EEPROM, 12-bit PIC, 16-bit Microwire words, a plain byte device, and a
// byte device whose data EEPROM follows program memory. (A device filling all 64K would make
// every input a 64K save and reload; the unit tests cover that size.)
inline constexpr std::string_view kDevices[] = {"PIC 16F84", "PIC 12C508", "93C46", "24C16",
                                                "90S8515"};

// Sets what belongs to the device to its blank value. The slots are reused between inputs,
// and the elements beyond the device are never read, so only the device's part is cleared.
inline void Blank(const DeviceDescriptor& d, BufferSlot& slot) {
  std::fill_n(slot.CodeBuffer.begin(), d.CodeSize, d.BlankValue);
  std::fill_n(slot.DataBuffer.begin(), std::max(d.DataSize, 0), d.BlankValue);
  std::fill(slot.ConfigArea.begin(), slot.ConfigArea.end(), d.BlankValue);
}

inline void ReloadAndCompare(const DeviceDescriptor& d, const BufferSlot& slot,
                             const std::string& file, FileType type) {
  static BufferSlot again;
  Blank(d, again);
  QuietUi noSwap(false);
  ByteStream in(file);
  LoadProgramFile(d, again, type, in, noSwap);
  // The writers keep the core width, as a load into the workspace does.
  for (int i = 0; i < d.CodeSize; ++i) {
    if ((slot.CodeBuffer[i] & d.BlankValue) != again.CodeBuffer[i]) __builtin_trap();
  }
}

inline void LoadEverywhere(const std::uint8_t* data, std::size_t size, FileType type) {
  static BufferSlot slot;
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  constexpr std::size_t kLayouts = std::size(kDevices);
  const DeviceDescriptor d = DescriptorFor(*FindDeviceByName(kDevices[size % kLayouts]));
  Blank(d, slot);
  QuietUi ui(size / kLayouts % 2 == 1);  // the answer to the swap-bytes question
  ByteStream program(file);
  LoadProgramFile(d, slot, type, program, ui);
  ByteStream dataFile(file);
  LoadDataFile(d, slot, type, dataFile, ui);
  if (type == FileType::Binary || type == FileType::Eeprom) {
    ReloadAndCompare(d, slot, DeviceBinaryFile(d, slot), FileType::Binary);
  } else {
    ReloadAndCompare(d, slot, DeviceHexFile(d, slot), FileType::Ihx8);
  }
}

}  // namespace kestrum::fuzz
