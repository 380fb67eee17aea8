// SPDX-License-Identifier: GPL-3.0-or-later
// The five buffer slots that hold device images in memory, and their checksum.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/device_descriptor.hpp"

namespace kestrum {

inline constexpr int kBufferElements = kMaxDeviceElements;
inline constexpr int kConfigAreaSize = 256;
inline constexpr int kBufferSlots = 5;

// One image of a whole device. The arrays always have their full size; only the first
// `CodeSize`, `DataSize` and `ConfigAreaWords` elements belong to the device.
struct BufferSlot {
  std::vector<std::uint16_t> CodeBuffer = std::vector<std::uint16_t>(kBufferElements);
  std::vector<std::uint16_t> DataBuffer = std::vector<std::uint16_t>(kBufferElements);
  std::vector<std::uint16_t> ConfigArea = std::vector<std::uint16_t>(kConfigAreaSize);
  std::string FileName;
  // Set when the file loaded last did not load cleanly: the file and its first problem
  // ("fw.hex (Error in file!, line 12)"). Program All asks before programming such an image;
  // a completed Read All clears it.
  std::string LoadProblem;

  // Sets every code, data and configuration-area element.
  void Fill(std::uint16_t value);
  std::uint16_t ConfigWord(const DeviceDescriptor& device) const {
    return ConfigArea[device.ConfigWordIndex];
  }
};

// 16-bit sum of program memory (without 12-bit ID words and the calibration word) plus the
// masked configuration word and the device's fill bits. Data EEPROM and ID words never count.
std::uint16_t Checksum(const DeviceDescriptor& device, const BufferSlot& slot);

struct BufferSet {
  std::array<BufferSlot, kBufferSlots> Slots;
  int ActiveBuffer = 0;

  BufferSlot& Active() { return Slots[ActiveBuffer]; }
  const BufferSlot& Active() const { return Slots[ActiveBuffer]; }
  std::uint16_t Checksum(const DeviceDescriptor& device) const {
    return kestrum::Checksum(device, Active());
  }
};

// Caption of a slot's tab: "Buffer 1" .. "Buffer 5".
std::string BufferTabCaption(int slot);

}  // namespace kestrum
