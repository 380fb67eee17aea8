// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user key-value store that every setting of the program lives in. Values are stored
// as strings under short CamelCase keys; the typed reads and writes here fix how integers and
// booleans look in the store, so every backend (INI file, memory) agrees.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kestrum {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // A missing value, or one that does not parse as a decimal integer, yields the default.
  int ReadInteger(std::string_view key, int defaultValue) const;
  // Booleans are integers: any non-zero value is true ("2" reads as true); a hand-edited
  // "true" or "false" (any case) reads as meant.
  bool ReadBool(std::string_view key, bool defaultValue) const;
  std::string ReadString(std::string_view key, std::string_view defaultValue) const;
  // The value as stored, or nothing when the key has none.
  std::optional<std::string> Raw(std::string_view key) const { return Get(key); }
  // Whether a stored value parses as ReadInteger and ReadBool read it.
  bool IsInteger(std::string_view key) const;
  bool IsBool(std::string_view key) const;

  void WriteInteger(std::string_view key, int value);
  void WriteBool(std::string_view key, bool value);
  void WriteString(std::string_view key, std::string_view value);

  // True once anything has been written since the store was created or last cleared.
  virtual bool Exists() const = 0;
  // Deletes every value; the next start of the program is a first start.
  virtual void Clear() = 0;
  // What stands in the way of reading or keeping the settings (a file that cannot be read,
  // a folder that cannot be written), to be told at start; empty when nothing does.
  virtual std::string Problem() const { return {}; }

 protected:
  virtual std::optional<std::string> Get(std::string_view key) const = 0;
  virtual void Set(std::string_view key, std::string_view value) = 0;
};

// A store that lives only as long as the object: for tests and for runs that must not touch
// the user's settings.
class MemorySettingsStore final : public SettingsStore {
 public:
  bool Exists() const override { return exists_; }
  void Clear() override {
    values_.clear();
    exists_ = false;
  }
  // The raw stored strings, as a backend would hold them.
  const std::map<std::string, std::string, std::less<>>& Values() const { return values_; }
  void SetRaw(std::string_view key, std::string_view value) { Set(key, value); }

 protected:
  std::optional<std::string> Get(std::string_view key) const override;
  void Set(std::string_view key, std::string_view value) override;

 private:
  std::map<std::string, std::string, std::less<>> values_;
  bool exists_ = false;
};

}  // namespace kestrum
