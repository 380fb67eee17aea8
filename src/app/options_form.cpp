// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and storing the Options dialog's settings.
#include "app/options_form.hpp"

#include <string>

#include "app/application.hpp"

namespace kestrum {
namespace {

std::string ShortcutKey(int n) {
  return "Device" + std::to_string(n + 1);
}

int FileTypeChoice(int stored) {
  return stored >= 0 && stored < kFileTypeChoices ? stored : 0;
}

}  // namespace

OptionsForm ReadOptionsForm(const SettingsStore& store, const DeviceList& list) {
  OptionsForm f;
  // The keys the operations read start from the same defaults as the operations themselves.
  const OperationOptions o = LoadOperationOptions(store);
  f.Progging = o.Progging;
  f.Erasing = o.Erasing;
  f.Warning = o.Warning;
  f.EnableMCLR = o.EnableMCLR;
  f.PageWrite = !o.ByteWrite;
  f.Verify = o.Verify;
  f.VerDurProg = o.VerDurProg;
  f.DeviceIdCheck = o.CheckDeviceId;
  f.OverwriteCalibration = o.OverwriteCalibration;
  f.ProgramErasedWords = o.ProgramErasedWords;
  f.WriteOnlyDiffers = o.WriteOnlyDiffers;
  f.Overwrite = store.ReadBool("Overwrite", false);
  f.IDCheck = store.ReadBool("IDCheck", false);
  f.ConfigCheck = store.ReadBool("ConfigCheck", false);
  for (int n = 0; n < kDeviceShortcuts; ++n) {
    const int index = store.ReadInteger(ShortcutKey(n), 0);
    f.Shortcuts[static_cast<std::size_t>(n)] = list.EntryAt(index) != nullptr ? index : 0;
  }
  f.DragDrop = store.ReadBool("DragDrop", false);
  f.CodeType = FileTypeChoice(store.ReadInteger("CodeType", 0));
  f.DataType = FileTypeChoice(store.ReadInteger("DataType", 0));
  f.SmartWiz = store.ReadBool("SmartWiz", false);
  const int priority = store.ReadInteger("Priority", 0);
  f.Priority = priority >= 0 && priority <= 2 ? priority : 0;
  f.UsesDriver = store.ReadBool("UsesDriver", false);
  f.PowerControl = store.ReadBool("PowerControl", false);
  return f;
}

void StoreOptionsForm(SettingsStore& store, const OptionsForm& f, bool portDriverSystem) {
  store.WriteBool("Progging", f.Progging);
  store.WriteBool("Erasing", f.Erasing);
  store.WriteBool("Overwrite", f.Overwrite);
  store.WriteBool("IDCheck", f.IDCheck);
  store.WriteBool("ConfigCheck", f.ConfigCheck);
  store.WriteBool("Verify", f.Verify);
  store.WriteInteger("Priority", f.Priority);
  store.WriteBool("VerDurProg", f.VerDurProg);
  store.WriteBool("EnableMCLR", f.EnableMCLR);
  store.WriteBool("ByteWrite", !f.PageWrite);
  store.WriteBool("PowerControl", f.PowerControl);
  store.WriteBool("Warning", f.Warning);
  for (int n = 0; n < kDeviceShortcuts; ++n) {
    store.WriteInteger(ShortcutKey(n), f.Shortcuts[static_cast<std::size_t>(n)]);
  }
  store.WriteInteger("CodeType", f.CodeType);
  store.WriteInteger("DataType", f.DataType);
  store.WriteBool("DragDrop", f.DragDrop);
  store.WriteBool("SmartWiz", f.SmartWiz);
  if (portDriverSystem) store.WriteBool("UsesDriver", f.UsesDriver);
  // The options of the parts added later come after the first program's.
  store.WriteBool("DeviceIdCheck", f.DeviceIdCheck);
  store.WriteBool("OverwriteCalibration", f.OverwriteCalibration);
  store.WriteBool("ProgramErasedWords", f.ProgramErasedWords);
  store.WriteBool("WriteOnlyDiffers", f.WriteOnlyDiffers);
}

int ShortcutChoice(const DeviceList& list, int lastValid, int chosen) {
  return list.EntryAt(chosen) != nullptr ? chosen : lastValid;
}

}  // namespace kestrum
