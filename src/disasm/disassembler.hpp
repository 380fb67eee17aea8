// SPDX-License-Identifier: GPL-3.0-or-later
// The assembler listing of a buffer slot for a 14-bit PIC, written for the 16F84 memory model
// (1024 program words, four ID locations, the configuration word, 64 data EEPROM bytes) so
// that an assembler turns it back into the same image.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "buffers/buffer_set.hpp"
#include "device/device_descriptor.hpp"

namespace kestrum {

inline constexpr int kListedCodeWords = 1024;
inline constexpr int kListedIdBytes = 4;
inline constexpr int kListedDataBytes = 64;
inline constexpr std::uint16_t kBlankCodeWord = 0x3FFF;

// What the listing is made from, taken from the slot each time a listing is built.
struct DisasmImage {
  std::array<std::uint16_t, kListedCodeWords> CodeImage{};
  std::array<std::uint8_t, kListedIdBytes> IdImage{};
  std::uint16_t ConfigImage = kBlankCodeWord;
  std::array<std::uint8_t, kListedDataBytes> DataImage{};
};

// Code words beyond the device's program memory and data bytes beyond its data EEPROM are
// blank; code words keep their 14 implemented bits, the configuration word its implemented
// bits with the others erased (1).
DisasmImage MakeDisasmImage(const DeviceDescriptor& device, const BufferSlot& slot);

// The listing, one text per line, without line ends.
std::vector<std::string> Disassemble(const DisasmImage& image);
std::vector<std::string> Disassemble(const DeviceDescriptor& device, const BufferSlot& slot);
// The whole listing as text, every line ended by '\n'.
std::string DisassemblyText(const DeviceDescriptor& device, const BufferSlot& slot);

}  // namespace kestrum
