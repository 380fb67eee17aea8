// The configuration word codec: how a stored configuration word maps onto the configuration
// box's lists and fuse boxes for each configuration layout (`Variant`), and back; the ID box
// rules and the fuse tooltips.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "device/device_descriptor.hpp"

namespace kestrum {

// What the configuration box's controls hold: selected list indexes (-1: nothing selected)
// and the ticks of the seven fuse boxes.
struct ConfigControls {
  int Oscillator = -1;
  int CodeProtect = -1;
  std::array<bool, 7> Fuses{};
};

// Word to controls. Only the controls that the device's layout defines are set; the others
// keep their state. List indexes are raw: the caller drops those beyond its list.
void DecodeConfigWord(const DeviceDescriptor& device, std::uint16_t word,
                      ConfigControls& controls);

// Controls to word (the word part of `CreateConfig`).
std::uint16_t EncodeConfigWord(const DeviceDescriptor& device, const ConfigControls& controls);

// ID box key filter: 'a'..'j' are upper-cased, then only hexadecimal digits and control
// characters below 16 (backspace) pass; nullopt discards the key.
std::optional<char> FilterIdKey(char key);
// ID box text to the four ID words: '0'..'9' and 'A'..'F' give 0..15, anything else (or a
// missing character) 0; an empty box counts as "0000".
std::array<std::uint16_t, 4> IdWordsFromText(std::string_view text);
// Four ID words to the ID box text: the last hexadecimal digit of each.
std::string IdTextFromWords(const std::array<std::uint16_t, 4>& words);
inline constexpr std::size_t kIdBoxMaxLength = 4;

// "Config word : " + (stored AND blank) in four digits + "h".
std::string ConfigWordLabel(std::uint16_t storedWord, std::uint16_t blankValue);

// Tooltip of a fuse box by its caption; empty for names without one.
std::string_view GetToolTip(std::string_view fuseName);

}  // namespace kestrum
