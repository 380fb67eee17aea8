// SPDX-License-Identifier: GPL-3.0-or-later
// Configuration box model.
#include "buffers/config_box.hpp"

#include <algorithm>

#include "core/text.hpp"

namespace kestrum {

void ConfigListBox::Select(int index) {
  Selected = (index >= 0 && index < static_cast<int>(Items.size())) ? index : -1;
}

ConfigControls ConfigBox::Controls() const {
  ConfigControls c;
  c.Oscillator = Oscillator.Selected;
  c.CodeProtect = CodeProtect.Selected;
  for (std::size_t i = 0; i < Fuses.size(); ++i) c.Fuses[i] = Fuses[i].Checked;
  for (const ConfigMoreControl& m : More) {
    c.More.push_back(m.Items.empty() ? (m.Checked ? 1 : 0) : m.Selected);
  }
  return c;
}

namespace {

// The stored configuration words after the first.
std::vector<std::uint16_t> MoreStoredWords(const DeviceDescriptor& device, const BufferSlot& slot) {
  std::vector<std::uint16_t> words;
  for (int k = 1; k < device.ConfigWords; ++k) {
    words.push_back(slot.ConfigArea[static_cast<std::size_t>(device.ConfigWordIndex + k)]);
  }
  return words;
}

}  // namespace

void ConfigBox::ShowConfigWord(const DeviceDescriptor& device, const BufferSlot& slot,
                               std::uint16_t word) {
  Updating = true;
  ConfigControls c = Controls();
  const std::vector<std::uint16_t> more = MoreStoredWords(device, slot);
  DecodeConfigWord(device, word, c, more);
  if (c.Oscillator != Oscillator.Selected) Oscillator.Select(c.Oscillator);
  if (c.CodeProtect != CodeProtect.Selected) CodeProtect.Select(c.CodeProtect);
  for (std::size_t i = 0; i < Fuses.size(); ++i) Fuses[i].Checked = c.Fuses[i];
  for (std::size_t i = 0; i < More.size() && i < c.More.size(); ++i) {
    ConfigMoreControl& m = More[i];
    if (m.Items.empty()) {
      m.Checked = c.More[i] != 0;
    } else {
      m.Selected = c.More[i] >= 0 && c.More[i] < static_cast<int>(m.Items.size()) ? c.More[i] : -1;
    }
  }
  MoreConfigLabels.clear();
  for (std::size_t k = 0; k < more.size(); ++k) {
    MoreConfigLabels.push_back(
        MoreConfigWordLabel(static_cast<int>(k + 1), more[k], device.BlankValue));
  }

  std::array<std::uint16_t, 4> ids{};
  for (int i = 0; i < 4; ++i) {
    ids[i] = device.Is12Bit ? slot.CodeBuffer[device.IdIndex + i]
                            : slot.ConfigArea[device.IdIndex + i];
  }
  IdText = IdTextFromWords(ids);
  ChecksumText = Hex4(Checksum(device, slot));
  ConfigLabel = ConfigWordLabel(slot.ConfigWord(device), device.BlankValue);
  Updating = false;
}

void ConfigBox::CreateConfig(const DeviceDescriptor& device, BufferSlot& slot) const {
  std::fill(slot.ConfigArea.begin(), slot.ConfigArea.end(), device.BlankValue);
  const auto words = EncodeConfigWords(device, Controls());
  const auto ids = IdWordsFromText(IdText);
  for (int i = 0; i < 4; ++i) {
    if (device.Is12Bit) {
      slot.CodeBuffer[device.IdIndex + i] = ids[i];
    } else {
      slot.ConfigArea[device.IdIndex + i] = ids[i];
    }
  }
  for (int k = 0; k < std::max(device.ConfigWords, 1); ++k) {
    slot.ConfigArea[static_cast<std::size_t>(device.ConfigWordIndex + k)] = words[k];
  }
}

void ConfigBox::ControlChanged(const DeviceDescriptor& device, BufferSlot& slot) {
  if (!Updating) CreateConfig(device, slot);
  ConfigLabel = ConfigWordLabel(slot.ConfigWord(device), device.BlankValue);
  ShowConfigWord(device, slot, slot.ConfigWord(device));
}

void ConfigBox::IdKeyPress(const DeviceDescriptor& device, BufferSlot& slot, char key) {
  const std::optional<char> accepted = FilterIdKey(key);
  if (!accepted) return;
  if (*accepted == '\b') {
    if (IdText.empty()) return;
    IdText.pop_back();
  } else if (static_cast<unsigned char>(*accepted) < 16) {
    return;  // other control characters pass the filter but do not edit the text
  } else {
    if (IdText.size() >= kIdBoxMaxLength) return;
    IdText += *accepted;
  }
  IdTextChanged(device, slot);
}

void ConfigBox::SetIdText(const DeviceDescriptor& device, BufferSlot& slot,
                          const std::string& text) {
  IdText = AsciiUpper(text.substr(0, kIdBoxMaxLength));
  IdTextChanged(device, slot);
}

void ConfigBox::UseChecksum(const DeviceDescriptor& device, BufferSlot& slot) {
  SetIdText(device, slot, ChecksumText);
}

void ConfigBox::IdTextChanged(const DeviceDescriptor& device, BufferSlot& slot) {
  if (!Updating) CreateConfig(device, slot);
}

bool ConfigBox::CodeProtectSelected() const {
  bool selected = false;
  for (const FuseCheckBox& box : Fuses) {
    if (box.Visible && box.Caption == "CP") selected = box.Checked;
  }
  if (selected) return true;
  const int last = static_cast<int>(CodeProtect.Items.size()) - 1;
  return CodeProtect.Enabled && CodeProtect.Visible && last >= 0 && CodeProtect.Selected >= 0 &&
         CodeProtect.Selected != last;
}

}  // namespace kestrum
