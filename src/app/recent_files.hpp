// SPDX-License-Identifier: GPL-3.0-or-later
// "Recent Fi&les": at most eight file names, most recent first, each with the file type it was
// opened with, stored as "File0".."File7" and "Index0".."Index7".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings_store.hpp"

namespace kestrum {

struct RecentFile {
  std::string Path;
  int TypeIndex = 1;
  bool operator==(const RecentFile&) const = default;
};

class RecentFiles {
 public:
  static constexpr int kMaxEntries = 8;

  // Start-up: the stored entries, oldest inserted first, so the most recent ends on top.
  void Load(const SettingsStore& store);
  // `AddRecentFile`: the path (letter case ignored when looking for it) moves or goes to the
  // top; every entry is written.
  void Add(std::string_view path, int typeIndex, SettingsStore& store);
  // `OpenRecentFile`: entry `position` moves to the top; the file and type to open, or nullopt
  // for a bad position.
  std::optional<RecentFile> Open(int position, SettingsStore& store);

  const std::vector<RecentFile>& Entries() const { return entries_; }
  // The menu: the paths, or the single entry "<none>" when there are none.
  std::vector<std::string> MenuCaptions() const;

 private:
  void Store(SettingsStore& store) const;
  std::vector<RecentFile> entries_;
};

}  // namespace kestrum
