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
  std::string Path() const;

 protected:
  std::optional<std::string> Get(std::string_view key) const override;
  void Set(std::string_view key, std::string_view value) override;

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace kestrum
