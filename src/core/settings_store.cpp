// SPDX-License-Identifier: GPL-3.0-or-later
// Typed access to the settings store: the value forms every backend shares.
#include "core/settings_store.hpp"

#include <algorithm>
#include <charconv>

namespace kestrum {

namespace {

// Surrounding blanks are tolerated, as a hand-edited file may carry them.
std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::optional<int> Integer(std::string_view text) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<bool> Boolean(std::string_view text) {
  if (const std::optional<int> value = Integer(text)) return *value != 0;
  text = Trimmed(text);
  const auto is = [text](std::string_view word) {
    return text.size() == word.size() &&
           std::equal(text.begin(), text.end(), word.begin(),
                      [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
  };
  if (is("true")) return true;
  if (is("false")) return false;
  return std::nullopt;
}

}  // namespace

int SettingsStore::ReadInteger(std::string_view key, int defaultValue) const {
  const std::optional<std::string> raw = Get(key);
  return raw ? Integer(*raw).value_or(defaultValue) : defaultValue;
}

bool SettingsStore::ReadBool(std::string_view key, bool defaultValue) const {
  const std::optional<std::string> raw = Get(key);
  return raw ? Boolean(*raw).value_or(defaultValue) : defaultValue;
}

bool SettingsStore::IsInteger(std::string_view key) const {
  const std::optional<std::string> raw = Get(key);
  return raw && Integer(*raw).has_value();
}

bool SettingsStore::IsBool(std::string_view key) const {
  const std::optional<std::string> raw = Get(key);
  return raw && Boolean(*raw).has_value();
}

std::string SettingsStore::ReadString(std::string_view key, std::string_view defaultValue) const {
  std::optional<std::string> raw = Get(key);
  return raw ? std::move(*raw) : std::string(defaultValue);
}

void SettingsStore::WriteInteger(std::string_view key, int value) {
  Set(key, std::to_string(value));
}

void SettingsStore::WriteBool(std::string_view key, bool value) {
  Set(key, value ? "1" : "0");
}

void SettingsStore::WriteString(std::string_view key, std::string_view value) {
  Set(key, value);
}

std::optional<std::string> MemorySettingsStore::Get(std::string_view key) const {
  const auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void MemorySettingsStore::Set(std::string_view key, std::string_view value) {
  values_.insert_or_assign(std::string(key), std::string(value));
  exists_ = true;
}

}  // namespace kestrum
