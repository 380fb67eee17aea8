// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration word codec: how a stored configuration word maps onto the configuration
// box's lists and fuse boxes for each configuration layout (`Variant`), and back; the ID box
// rules and the fuse tooltips.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_descriptor.hpp"

namespace kestrum {

// What the configuration box's controls hold: selected list indexes (-1: nothing selected),
// the ticks of the seven fuse boxes, and the state of the layout's further controls (a list
// index, or 1 for a ticked box), in the layout's order.
struct ConfigControls {
  int Oscillator = -1;
  int CodeProtect = -1;
  std::array<bool, 7> Fuses{};
  std::vector<int> More;
};

// A configuration layout as data, for parts whose configuration bits are plain fields (the
// parts added after the first catalogue, and the families that follow them): each field is one
// control bound to bits of one configuration word.
enum class ConfigTarget : std::uint8_t {
  Oscillator,   // the oscillator list (item names from the descriptor)
  CodeProtect,  // the code-protect list (item names from the descriptor)
  Fuse,         // fuse box `Box`, one bit, polarity from the descriptor's FuseActiveLow
  MoreList,     // a further list: `Caption`, `Names`
  MoreBox,      // a further check box: `Caption`, one bit, `ActiveLow`
};

// The most items a list of a data layout has (a four-bit field has sixteen codes).
inline constexpr std::size_t kMaxConfigItems = 16;

struct ConfigField {
  ConfigTarget Target = ConfigTarget::Fuse;
  int Word = 0;            // 0: the first configuration word; 1..: the words after it
  std::uint16_t Mask = 0;  // the bits of that word the control sets
  // Lists: the bits of each item, within Mask, in list order.
  std::array<std::uint16_t, kMaxConfigItems> Items{};
  int Box = 0;  // Fuse: box index 0..6
  std::string_view Caption{};
  std::array<std::string_view, kMaxConfigItems> Names{};
  bool ActiveLow = false;
};

// A configuration value that takes the part away from the programmer (an AVR whose RESET pin
// is disabled, say): the bits of `Mask` in word `Word` holding one of `Values`. `Text` names
// the bits and what follows.
struct ConfigRisk {
  int Word = 0;
  std::uint16_t Mask = 0;
  std::array<std::uint16_t, kMaxConfigItems> Values{};
  int Count = 0;
  std::string_view Text{};
};

struct ConfigLayout {
  std::span<const ConfigField> Fields;
  std::span<const ConfigRisk> Risks{};
};

// The warnings of every risk the configuration words `words` (from the first) run into, in
// the layout's order; empty when the device's layout has none or none applies.
std::vector<std::string_view> ConfigRisks(const DeviceDescriptor& device,
                                          std::span<const std::uint16_t> words);
// The same warnings as one text, one a paragraph.
std::string ConfigRiskText(const std::vector<std::string_view>& risks);

// The further controls of a device's layout (MoreList and MoreBox fields), in order.
std::vector<const ConfigField*> MoreFields(const DeviceDescriptor& device);

// Word to controls. Only the controls that the device's layout defines are set; the others
// keep their state. List indexes are raw: the caller drops those beyond its list. A data layout
// takes the later words from `more` (words 1..); missing ones count as erased.
void DecodeConfigWord(const DeviceDescriptor& device, std::uint16_t word, ConfigControls& controls,
                      std::span<const std::uint16_t> more = {});

// Controls to word (the word part of `CreateConfig`).
std::uint16_t EncodeConfigWord(const DeviceDescriptor& device, const ConfigControls& controls);
// Controls to every configuration word of the device (`ConfigWords` of them are meaningful).
std::array<std::uint16_t, kMaxConfigWords> EncodeConfigWords(const DeviceDescriptor& device,
                                                             const ConfigControls& controls);

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
// The label of configuration word `k` (1..) after the first: "Config word 2 : 3FFFh".
std::string MoreConfigWordLabel(int k, std::uint16_t storedWord, std::uint16_t blankValue);

// Tooltip of a fuse box by its caption; empty for names without one.
std::string_view GetToolTip(std::string_view fuseName);

}  // namespace kestrum
