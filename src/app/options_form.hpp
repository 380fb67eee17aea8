// SPDX-License-Identifier: GPL-3.0-or-later
// The Options dialog as data: one field per control with the setting it shows, the reading
// and the writing order of OK, and the shortcut lists that skip separator lines.
#pragma once

#include <array>

#include "core/settings_store.hpp"
#include "device/device_list.hpp"

namespace kestrum {

inline constexpr int kDeviceShortcuts = 4;  // Ctrl+F1 .. Ctrl+F4
inline constexpr int kFileTypeChoices = 7;

struct OptionsForm {
  // "Confirmation".
  bool Progging = true;
  bool Erasing = false;
  bool Overwrite = false;
  bool Warning = false;
  // "Notification".
  bool IDCheck = false;
  bool ConfigCheck = false;
  // "I²C".
  bool EnableMCLR = false;
  bool PageWrite = true;  // the inverse of "ByteWrite"
  // "Programming".
  bool Verify = true;
  bool VerDurProg = false;
  bool DeviceIdCheck = true;          // the part's ID before Program All, Verify, Erase All
  bool OverwriteCalibration = false;  // the buffer's OSCCAL and bandgap bits, not the part's
  bool ProgramErasedWords = false;    // write the words an erase already left as they should be
  bool WriteOnlyDiffers = false;      // EEPROMs: read each page, write only those that differ
  // "Shortcuts": the device list index of each of Ctrl+F1 .. Ctrl+F4.
  std::array<int, kDeviceShortcuts> Shortcuts{};
  // "Drag && Drop".
  bool DragDrop = false;
  int CodeType = 0;
  int DataType = 0;
  // "Smartcard": true "PIC 16C84", false "PIC 16F84".
  bool SmartWiz = false;
  // "Misc".
  int Priority = 0;
  bool UsesDriver = false;
  bool PowerControl = false;
};

// Every control from its setting. A shortcut index that names no device of `list` is 0.
OptionsForm ReadOptionsForm(const SettingsStore& store, const DeviceList& list);
// OK: the settings in their order; "UsesDriver" only where a port driver exists (never here).
void StoreOptionsForm(SettingsStore& store, const OptionsForm& form, bool portDriverSystem);

// A shortcut list's choice: a separator line puts the list back to `lastValid`.
int ShortcutChoice(const DeviceList& list, int lastValid, int chosen);

}  // namespace kestrum
