// SPDX-License-Identifier: GPL-3.0-or-later
// Recent files list.
#include "app/recent_files.hpp"

#include "app/texts.hpp"
#include "core/text.hpp"

namespace kestrum {
namespace {

std::string FileKey(int n) { return "File" + std::to_string(n); }
std::string IndexKey(int n) { return "Index" + std::to_string(n); }

}  // namespace

void RecentFiles::Load(const SettingsStore& store) {
  entries_.clear();
  for (int n = kMaxEntries - 1; n >= 0; --n) {
    std::string path = store.ReadString(FileKey(n), "");
    if (path.empty()) continue;
    entries_.insert(entries_.begin(), RecentFile{std::move(path), store.ReadInteger(IndexKey(n), 1)});
  }
}

void RecentFiles::Add(std::string_view path, int typeIndex, SettingsStore& store) {
  std::erase_if(entries_, [&](const RecentFile& e) { return EqualsIgnoreCase(e.Path, path); });
  if (static_cast<int>(entries_.size()) > kMaxEntries - 1) entries_.resize(kMaxEntries - 1);
  entries_.insert(entries_.begin(), RecentFile{std::string(path), typeIndex});
  Store(store);
}

std::optional<RecentFile> RecentFiles::Open(int position, SettingsStore& store) {
  if (position < 0 || position >= static_cast<int>(entries_.size())) return std::nullopt;
  RecentFile chosen = entries_[position];
  entries_.erase(entries_.begin() + position);
  entries_.insert(entries_.begin(), chosen);
  Store(store);
  return chosen;
}

std::vector<std::string> RecentFiles::MenuCaptions() const {
  if (entries_.empty()) return {std::string(text::kRecentFilesNone)};
  std::vector<std::string> captions;
  for (const RecentFile& e : entries_) captions.push_back(e.Path);
  return captions;
}

void RecentFiles::Store(SettingsStore& store) const {
  for (int n = 0; n < static_cast<int>(entries_.size()); ++n) {
    store.WriteString(FileKey(n), entries_[n].Path);
    store.WriteString(IndexKey(n), std::to_string(entries_[n].TypeIndex));
  }
}

}  // namespace kestrum
