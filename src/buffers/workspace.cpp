// SPDX-License-Identifier: GPL-3.0-or-later
// Device selection, slot switching and the device-dependent window state.
#include "buffers/workspace.hpp"

#include "device/texts.hpp"

namespace kestrum {
namespace {

constexpr int kStatusDeviceWidth = 36;
constexpr int kCodeViewHeightWithData = 196;
constexpr int kCodeViewHeightAlone = 349;

void HideList(ConfigListBox& list) {
  list.Visible = false;
  list.Enabled = false;
}

template <std::size_t N>
void FillList(ConfigListBox& list, const std::array<std::string, N>& names) {
  list.Items.clear();
  list.Selected = -1;
  for (const std::string& name : names) {
    if (!name.empty()) list.Items.push_back(name);
  }
  list.Visible = !list.Items.empty();
  list.Enabled = list.Visible;
}

}  // namespace

std::string StatusDeviceText(const DeviceDescriptor& device) {
  std::string text = std::string(text::kStatusDevice) + device.Name;
  const std::string number = "(" + std::to_string(device.MenuCommand) + ")";
  const int length = static_cast<int>(text.size() + number.size());
  if (length < kStatusDeviceWidth) text.append(kStatusDeviceWidth - length, ' ');
  return text + number;
}

std::string WindowCaption(const std::string& fileName) {
  std::string caption(text::kProgramTitle);
  if (!fileName.empty()) caption += std::string(text::kTitleFileSeparator) + fileName;
  return caption;
}

Workspace::Workspace(SettingsStore& settings) : settings_(settings) {
  Window.Caption = std::string(text::kProgramTitle);
}

void Workspace::SelectDevice(const CatalogueEntry& entry) {
  Device.MenuCommand = entry.MenuCommand;
  ResetForDevice();
  Window.CheckedDevice = entry.MenuCommand;
  // Every field is reset before the catalogue values are written, so nothing of the
  // previous device survives.
  BeginProgramCommand = kBeginProgramCommand;
  Device = DescriptorFor(entry);
  ApplyDevice();
  BeginProgramCommand = entry.BeginProgramCommand;
}

bool Workspace::SelectDeviceByNumber(int menuCommand) {
  const CatalogueEntry* entry = FindDeviceByNumber(menuCommand);
  if (entry == nullptr) return false;
  SelectDevice(*entry);
  return true;
}

void Workspace::ResetForDevice() {
  settings_.WriteInteger("Device", Device.MenuCommand);
  if (Observer) Observer->ClearViews();
  Window.CheckedDevice = 0;
  for (ConfigListBox* list : {&Config.Oscillator, &Config.CodeProtect, &Config.BrownOut}) {
    list->Items.clear();
    list->Selected = -1;
  }
  for (FuseCheckBox& box : Config.Fuses) box.Checked = false;
  Config.More.clear();
  Config.MoreConfigLabels.clear();
  Config.ChecksumText = "0000";
  Config.IdText = "0000";
  // Still the previous device's blank value; ApplyDevice refills every slot.
  Active().Fill(Device.BlankValue);
  for (BufferSlot& slot : Buffers.Slots) {
    slot.FileName.clear();
    slot.LoadProblem.clear();
  }
  Window.Caption = std::string(text::kProgramTitle);
}

void Workspace::ApplyDevice() {
  for (BufferSlot& slot : Buffers.Slots) {
    slot.Fill(Device.BlankValue);
    for (int k = 0; k < Device.ConfigWords; ++k) {
      slot.ConfigArea[static_cast<std::size_t>(Device.ConfigWordIndex + k)] =
          Device.ConfigDefaults[static_cast<std::size_t>(k)];
    }
  }
  ShowDeviceControls();

  if (Device.DataSize < 1) {
    Window.CodeViewHeight = kCodeViewHeightAlone;
    Window.DataViewVisible = false;
    Window.DataEntriesEnabled = false;
  } else {
    Window.CodeViewHeight = kCodeViewHeightWithData;
    Window.DataViewVisible = true;
    Window.DataEntriesEnabled = true;
    if (Observer) Observer->RebuildDataView();
  }
  Window.EraseEnabled = Device.Erasable;
  if (Observer) Observer->RebuildCodeView();

  const int listIndex = List.IndexOf(Device.Name);
  if (listIndex >= 0) {
    Window.DeviceListIndex = listIndex;
    previousListIndex_ = listIndex;
  }
  if (Observer) Observer->ShowDevice();
  Window.StatusDevice = StatusDeviceText(Device);
  Recent.Add(Device.Name, settings_);
}

void Workspace::ShowDeviceControls() {
  ConfigBox& box = Config;
  const DeviceFamily family = FamilyOf(Device);
  const bool plainEeprom =
      family == DeviceFamily::I2cEeprom || family == DeviceFamily::MicrowireEeprom ||
      family == DeviceFamily::FourWireEeprom || family == DeviceFamily::ImBusEeprom;
  if (plainEeprom) {
    // Only the checksum stays.
    Window.ProgramConfigEnabled = false;
    HideList(box.Oscillator);
    HideList(box.CodeProtect);
    HideList(box.BrownOut);
    box.FusesLabelVisible = false;
    for (FuseCheckBox& fuse : box.Fuses) {
      fuse.Visible = false;
      fuse.Enabled = false;
      fuse.Caption.clear();
      fuse.ToolTip.clear();
    }
    box.IdBoxVisible = false;
    box.IdBoxEnabled = false;
    box.ConfigLabelVisible = false;
    ShowConfigWord(0xFFFF);
    return;
  }

  box.FusesLabelVisible = true;
  FillList(box.Oscillator, Device.OscillatorNames);
  box.Oscillator.Caption = std::string(text::kOscillatorLabel);
  FillList(box.CodeProtect, Device.CodeProtectNames);
  FillList(box.BrownOut, Device.BrownOutNames);
  for (std::size_t i = 0; i < box.Fuses.size(); ++i) {
    FuseCheckBox& fuse = box.Fuses[i];
    // A hidden box keeps no caption, so it can never count as a code-protect fuse.
    fuse.Caption = Device.FuseNames[i];
    fuse.Visible = !fuse.Caption.empty();
    fuse.ToolTip = std::string(GetToolTip(fuse.Caption));
    fuse.Enabled = true;
  }
  box.More.clear();
  for (const ConfigField* field : MoreFields(Device)) {
    ConfigMoreControl control{.Caption = std::string(field->Caption)};
    if (field->Target == ConfigTarget::MoreList) {
      for (std::string_view name : field->Names) {
        if (!name.empty()) control.Items.emplace_back(name);
      }
    }
    box.More.push_back(std::move(control));
  }
  box.IdBoxEnabled = true;
  Window.ProgramConfigEnabled = true;

  const bool hasIdBox = family != DeviceFamily::AvrMicro && family != DeviceFamily::FlashMicro &&
                        family != DeviceFamily::SpiEeprom && family != DeviceFamily::SpiMicro89S;
  if (hasIdBox) {
    box.IdBoxVisible = true;
    box.ConfigLabelVisible = true;
    // A data layout shows what the slots hold: the erased words, or a user part's defaults.
    if (Device.Layout != nullptr) {
      ShowStoredConfigWord();
    } else {
      ShowConfigWord(0xFFFF);
    }
    return;
  }
  box.IdBoxVisible = false;
  box.ConfigLabelVisible = false;
  if (family == DeviceFamily::SpiEeprom) {
    box.Oscillator.Caption = std::string(text::kBlockWriteProtectLabel);
    box.FusesLabelVisible = false;
    Window.ProgramConfigEnabled = false;
  }
  if (Device.Layout != nullptr) {
    // The parts added later hold their defaults (an AVR's factory fuses, no block protected).
    ShowStoredConfigWord();
  } else if (family == DeviceFamily::SpiEeprom) {
    ShowConfigWord(0);  // no block protected
  } else {
    ShowConfigWord(0xFFFF);
  }
}

bool Workspace::ComboBox4Change(int index) {
  if (List.IsSeparator(index)) {
    Window.DeviceListIndex = previousListIndex_;
    return false;
  }
  const CatalogueEntry* entry = List.EntryAt(index);
  if (entry == nullptr) return false;
  Window.DeviceListIndex = index;
  previousListIndex_ = index;
  SelectDevice(*entry);
  return true;
}

bool Workspace::SelectRecentDevice(int position) {
  const int index = List.IndexOf(Recent.NameAt(position));
  if (index < 0) return false;
  Window.DeviceListIndex = index;
  return ComboBox4Change(index);
}

void Workspace::Buffer11Click(int index) {
  if (index < 0 || index >= kBufferSlots) return;
  Buffers.ActiveBuffer = index;
  if (Observer) {
    Observer->RebuildCodeView();
    if (Device.DataSize > 0) Observer->RebuildDataView();
  }
  ShowStoredConfigWord();
  UpdateCaption();
}

void Workspace::UpdateCaption() {
  Window.Caption = WindowCaption(Active().FileName);
}

}  // namespace kestrum
