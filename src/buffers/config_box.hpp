// SPDX-License-Identifier: GPL-3.0-or-later
// The "Configuration " box as data: its lists, fuse boxes, ID box, checksum and config-word
// label, and the conversions between them and the active slot's configuration area.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "buffers/buffer_set.hpp"
#include "device/config_word.hpp"
#include "device/device_descriptor.hpp"
#include "device/texts.hpp"

namespace kestrum {

struct ConfigListBox {
  std::string Caption;  // the label beside the list
  std::vector<std::string> Items;
  int Selected = -1;
  bool Visible = true;
  bool Enabled = true;

  // Selects an item; an index outside the list leaves nothing selected.
  void Select(int index);
};

struct FuseCheckBox {
  std::string Caption;
  std::string ToolTip;
  bool Visible = true;
  bool Enabled = true;
  bool Checked = false;
};

// A further control of a data layout (the second configuration word's bits, say): a list when
// it has items, else a check box.
struct ConfigMoreControl {
  std::string Caption;
  std::vector<std::string> Items;
  int Selected = -1;
  bool Checked = false;
  bool operator==(const ConfigMoreControl&) const = default;
};

class ConfigBox {
 public:
  ConfigListBox Oscillator{.Caption = std::string(text::kOscillatorLabel)};
  ConfigListBox CodeProtect{.Caption = std::string(text::kCodeProtectLabel)};
  ConfigListBox BrownOut{.Caption = std::string(text::kBrownOutLabel)};
  bool FusesLabelVisible = true;
  std::array<FuseCheckBox, 7> Fuses{};
  bool IdBoxVisible = true;
  bool IdBoxEnabled = true;
  std::string IdText;
  bool ConfigLabelVisible = true;
  std::string ConfigLabel = std::string(text::kConfigWordInitial);
  std::string ChecksumText = "0000";
  // The layout's further controls, and a label per configuration word after the first.
  std::vector<ConfigMoreControl> More;
  std::vector<std::string> MoreConfigLabels;
  // Set while the display is refreshed, so the change events it fires do not rebuild the word.
  bool Updating = false;

  ConfigControls Controls() const;

  // `ShowConfigWord`: the controls from `word`, then ID box, checksum and label from the slot.
  void ShowConfigWord(const DeviceDescriptor& device, const BufferSlot& slot,
                      std::uint16_t word);
  // `CreateConfig`: the slot's configuration area and ID words from the controls.
  void CreateConfig(const DeviceDescriptor& device, BufferSlot& slot) const;
  // `ComboBox1Change`: a list or fuse box changed.
  void ControlChanged(const DeviceDescriptor& device, BufferSlot& slot);

  // `Edit3KeyPress` then `Edit3Change`: one key typed at the end of the ID box. Keys the
  // filter discards change nothing; backspace removes the last character.
  void IdKeyPress(const DeviceDescriptor& device, BufferSlot& slot, char key);
  // The ID box text replaced (paste, "&Use Checksum"): upper-cased, at most four characters,
  // the key filter not applied; then `Edit3Change`.
  void SetIdText(const DeviceDescriptor& device, BufferSlot& slot, const std::string& text);
  // "&Use Checksum": the checksum box's text into the ID box.
  void UseChecksum(const DeviceDescriptor& device, BufferSlot& slot);

  // True when the controls ask for code protection: a visible fuse box captioned "CP" ticked
  // (the last such box decides), or an enabled code-protect list on an item other than its
  // last ("CP OFF").
  bool CodeProtectSelected() const;

 private:
  void IdTextChanged(const DeviceDescriptor& device, BufferSlot& slot);
};

}  // namespace kestrum
