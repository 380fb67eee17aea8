// SPDX-License-Identifier: GPL-3.0-or-later
// Buffer slots and the checksum shown in the configuration box.
#include "buffers/buffer_set.hpp"

#include <algorithm>

#include "device/texts.hpp"

namespace kestrum {

void BufferSlot::Fill(std::uint16_t value) {
  std::fill(CodeBuffer.begin(), CodeBuffer.end(), value);
  std::fill(DataBuffer.begin(), DataBuffer.end(), value);
  std::fill(ConfigArea.begin(), ConfigArea.end(), value);
}

std::uint16_t Checksum(const DeviceDescriptor& device, const BufferSlot& slot) {
  int last = std::min(device.CodeSize, kBufferElements) - 1;
  if (device.Is12Bit) last -= 4;    // the ID words after program memory
  if (device.HasOscCal) last -= 1;  // the factory calibration word
  std::uint32_t sum = 0;
  for (int i = 0; i <= last; ++i) sum += slot.CodeBuffer[i];
  if (device.ConfigAreaWords > 0) {
    sum += (slot.ConfigArea[device.ConfigWordIndex] & device.ConfigMask) + device.ConfigFillBits;
    for (int k = 1; k < device.ConfigWords; ++k) {
      sum += slot.ConfigArea[static_cast<std::size_t>(device.ConfigWordIndex + k)] &
             ConfigWordMask(device, k);
    }
  }
  return static_cast<std::uint16_t>(sum & 0xFFFF);
}

std::string BufferTabCaption(int slot) {
  return std::string(text::kBufferTabPrefix) + std::to_string(slot + 1);
}

}  // namespace kestrum
