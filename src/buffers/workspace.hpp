// SPDX-License-Identifier: GPL-3.0-or-later
// The selected device, the buffer set and what the main window shows of them, as plain data:
// device selection, slot switching, the configuration box and the device-dependent window
// state. The window mirrors this object; headless runs and tests use it alone.
#pragma once

#include <cstdint>
#include <string>

#include "buffers/buffer_set.hpp"
#include "buffers/config_box.hpp"
#include "core/settings_store.hpp"
#include "device/catalogue.hpp"
#include "device/device_descriptor.hpp"
#include "device/device_list.hpp"

namespace kestrum {

// Views that are rebuilt from the buffers live above this layer; they listen here.
class WorkspaceObserver {
 public:
  virtual ~WorkspaceObserver() = default;
  virtual void ClearViews() {}
  virtual void RebuildCodeView() {}
  virtual void RebuildDataView() {}
  // The device position window follows the selected device.
  virtual void ShowDevice() {}
};

// What the main window shows that follows the device and the active slot.
struct MainWindowState {
  std::string Caption;           // window caption and application title
  std::string StatusDevice;      // status bar panel 2
  bool ProgramConfigEnabled = true;
  bool EraseEnabled = true;
  bool DataViewVisible = true;
  // "Fill &Data Buffer", "Fill Data B&uffer From...", "Open &Data File...",
  // "C&opy From Data Buffer", "P&aste To Data Buffer".
  bool DataEntriesEnabled = true;
  int CodeViewHeight = 196;
  std::uint16_t CheckedDevice = 0;  // device menu entry carrying the check mark; 0 none
  int DeviceListIndex = 0;          // selection of the toolbar device list
};

class Workspace {
 public:
  explicit Workspace(SettingsStore& settings);

  DeviceDescriptor Device;
  // The PIC command word that starts one programming cycle.
  std::uint16_t BeginProgramCommand = kBeginProgramCommand;
  BufferSet Buffers;
  ConfigBox Config;
  MainWindowState Window;
  DeviceList List;
  RecentDevices Recent;
  WorkspaceObserver* Observer = nullptr;

  BufferSlot& Active() { return Buffers.Active(); }
  const BufferSlot& Active() const { return Buffers.Active(); }

  // Applies one catalogue entry: the whole selection sequence.
  void SelectDevice(const CatalogueEntry& entry);
  // Selects by device number (`MenuCommand`); false when no device has that number.
  bool SelectDeviceByNumber(int menuCommand);
  // The first half of a selection: settings, views, slots and caption reset.
  void ResetForDevice();
  // The second half: slots to the new blank value, configuration box, window state, recent
  // devices.
  void ApplyDevice();

  // `ComboBox4Change`: the toolbar device list's selection changed to `index`. A separator is
  // refused (the selection reverts); false when nothing was selected.
  bool ComboBox4Change(int index);
  // `SelectRecentDevice`: entry `position` (0-based) of "&Recent Devices".
  bool SelectRecentDevice(int position);

  // `Buffer11Click`: makes slot `index` (0..4) active; other indexes do nothing.
  void Buffer11Click(int index);

  // Configuration display and its change handlers, on the active slot.
  void ShowConfigWord(std::uint16_t word) { Config.ShowConfigWord(Device, Active(), word); }
  void ShowStoredConfigWord() { ShowConfigWord(Active().ConfigWord(Device)); }
  void CreateConfig() { Config.CreateConfig(Device, Active()); }
  void ComboBox1Change() { Config.ControlChanged(Device, Active()); }

  std::uint16_t Checksum() const { return Buffers.Checksum(Device); }
  std::string DeviceInformation() const { return DeviceInformationText(Device); }

 private:
  void ShowDeviceControls();
  void UpdateCaption();

  SettingsStore& settings_;
  int previousListIndex_ = 0;
};

// Status bar device text: "Device: " + name, blanks up to 36 characters, "(" + number + ")".
std::string StatusDeviceText(const DeviceDescriptor& device);
// Window caption for a slot: the program title, plus " - " and the file name when there is one.
std::string WindowCaption(const std::string& fileName);

}  // namespace kestrum
