// SPDX-License-Identifier: GPL-3.0-or-later
// The toolbar device list (device names grouped by menu group, separated by dashed lines) and
// the recent-devices list with its stored form.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/settings_store.hpp"
#include "device/catalogue.hpp"

namespace kestrum {

class DeviceList {
 public:
  // Groups in menu order; within a group its entries in menu order, the entries of its "More"
  // sub-menu after the others; a separator line after each group but the last.
  DeviceList();

  const std::vector<std::string>& Items() const { return items_; }
  int Size() const { return static_cast<int>(items_.size()); }
  bool IsSeparator(int index) const;
  // The catalogue entry behind an item, or nullptr for a separator or a bad index.
  const CatalogueEntry* EntryAt(int index) const;
  // Index of the item for a device name, or -1.
  int IndexOf(std::string_view name) const;
  int IndexOfNumber(int menuCommand) const;

 private:
  std::vector<std::string> items_;
  std::vector<const CatalogueEntry*> entries_;
};

// "&Recent Devices": at most eight entries "&1 " + name ..., most recent first, stored as
// "RecDevice0".."RecDevice7" with the caption's first two characters blanked.
class RecentDevices {
 public:
  static constexpr int kMaxEntries = 8;

  // Start-up: the stored values, oldest first inserted at the top, then renumbered.
  void Load(const SettingsStore& store);
  // `AddRecentDevice`: moves or inserts the name at the top and writes every entry.
  void Add(std::string_view name, SettingsStore& store);

  const std::vector<std::string>& Captions() const { return captions_; }
  // The device name behind entry `position` (0-based), or empty.
  std::string NameAt(int position) const;
  static std::string StoredKey(int n);

 private:
  void Renumber();
  std::vector<std::string> captions_;
};

}  // namespace kestrum
