// SPDX-License-Identifier: GPL-3.0-or-later
// Toolbar device list and recent devices.
#include "device/device_list.hpp"

#include "core/text.hpp"
#include "device/texts.hpp"
#include "device/user_devices.hpp"

namespace kestrum {

DeviceList::DeviceList() {
  const auto groups = MenuGroups();
  for (int g = 0; g < static_cast<int>(groups.size()); ++g) {
    for (bool inMore : {false, true}) {
      for (auto list : {Catalogue(), UserCatalogue()}) {
        for (const CatalogueEntry& e : list) {
          if (e.Group == g && e.InMore == inMore) {
            items_.emplace_back(e.Name);
            entries_.push_back(&e);
          }
        }
      }
    }
    if (g + 1 < static_cast<int>(groups.size())) {
      items_.emplace_back(text::kDeviceListSeparator);
      entries_.push_back(nullptr);
    }
  }
}

bool DeviceList::IsSeparator(int index) const {
  return index >= 0 && index < Size() && items_[index] == text::kDeviceListSeparator;
}

const CatalogueEntry* DeviceList::EntryAt(int index) const {
  if (index < 0 || index >= Size()) return nullptr;
  return entries_[index];
}

int DeviceList::IndexOf(std::string_view name) const {
  for (int i = 0; i < Size(); ++i) {
    if (entries_[i] != nullptr && items_[i] == name) return i;
  }
  return -1;
}

int DeviceList::IndexOfNumber(int menuCommand) const {
  for (int i = 0; i < Size(); ++i) {
    if (entries_[i] != nullptr && entries_[i]->MenuCommand == menuCommand) return i;
  }
  return -1;
}

std::string RecentDevices::StoredKey(int n) { return "RecDevice" + std::to_string(n); }

void RecentDevices::Load(const SettingsStore& store) {
  captions_.clear();
  for (int n = kMaxEntries - 1; n >= 0; --n) {
    std::string stored = store.ReadString(StoredKey(n), "");
    const auto first = stored.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    // Stored as three blanks and the name; the caption is "&n " and the name.
    captions_.insert(captions_.begin(), "&1 " + stored.substr(first));
  }
  Renumber();
}

void RecentDevices::Add(std::string_view name, SettingsStore& store) {
  const std::string wanted = " " + std::string(name);
  std::erase_if(captions_, [&](const std::string& caption) {
    return caption.size() >= 2 && EqualsIgnoreCase(caption.substr(2), wanted);
  });
  if (static_cast<int>(captions_.size()) > kMaxEntries - 1) {
    captions_.erase(captions_.begin() + (kMaxEntries - 1), captions_.end());
  }
  captions_.insert(captions_.begin(), "&1 " + std::string(name));
  Renumber();
  for (int n = 0; n < static_cast<int>(captions_.size()); ++n) {
    // The caption with its "&n" blanked: three blanks and the name.
    std::string stored = captions_[n];
    stored.replace(0, 2, 2, ' ');
    store.WriteString(StoredKey(n), stored);
  }
}

std::string RecentDevices::NameAt(int position) const {
  if (position < 0 || position >= static_cast<int>(captions_.size())) return {};
  const std::string& caption = captions_[position];
  const auto first = caption.find_first_not_of(' ', 2);
  return first == std::string::npos ? std::string() : caption.substr(first);
}

void RecentDevices::Renumber() {
  for (std::size_t i = 0; i < captions_.size(); ++i) {
    captions_[i][0] = '&';
    captions_[i][1] = static_cast<char>('1' + i);
  }
}

}  // namespace kestrum
