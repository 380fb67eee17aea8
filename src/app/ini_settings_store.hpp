// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user settings file: an INI file in the XDG config folder, group [Settings], every
// value a string in the program's value forms. Each write reaches the disk at once.
#pragma once

#include <memory>
#include <string>

#include "core/settings_store.hpp"

class QSettings;

namespace kestrum {

class IniSettingsStore final : public SettingsStore {
 public:
  // The user's own file (~/.config/Kestrum/Kestrum.ini, or under $XDG_CONFIG_HOME).
  IniSettingsStore();
  // A file at an explicit path (tests, portable installs).
  explicit IniSettingsStore(const std::string& path);
  ~IniSettingsStore() override;

  bool Exists() const override;
  void Clear() override;
  std::string Problem() const override;
  std::string Path() const;

 protected:
  std::optional<std::string> Get(std::string_view key) const override;
  void Set(std::string_view key, std::string_view value) override;

 private:
  // Looks at the file once: whether it can be read and parsed, and whether it can be kept.
  void Check();

  std::unique_ptr<QSettings> settings_;
  // A file that cannot be read is used as if empty and never written: the user's settings
  // are still in it.
  bool unreadable_ = false;
  std::string problem_;
};

}  // namespace kestrum
