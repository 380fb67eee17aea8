// SPDX-License-Identifier: GPL-3.0-or-later
// The user's devices file.
#include "device/user_devices.hpp"

#include <toml++/toml.h>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "core/text.hpp"
#include "core/toml_file.hpp"
#include "device/texts.hpp"

namespace kestrum {
namespace {

// Installed once at start-up, read-only afterwards: a deque keeps every entry where it is.
std::deque<UserDevice>& Installed() {
  static std::deque<UserDevice> devices;
  return devices;
}
std::vector<CatalogueEntry>& InstalledEntries() {
  static std::vector<CatalogueEntry> entries;
  return entries;
}
std::vector<std::string>& InstalledProblems() {
  static std::vector<std::string> problems;
  return problems;
}

// Parents and names are looked up among the shipped devices only: a user's part is never the
// parent of another, and a file read again does not clash with the parts it installed before.
const CatalogueEntry* Shipped(std::string_view name) {
  for (const CatalogueEntry& e : Catalogue()) {
    if (e.Name == name) return &e;
  }
  return nullptr;
}

constexpr std::string_view kKeys[] = {"name",
                                      "parent",
                                      "code_size",
                                      "data_size",
                                      "pins",
                                      "device_id",
                                      "device_id_mask",
                                      "config_masks",
                                      "config_defaults",
                                      "page_size",
                                      "program_wait_us",
                                      "data_wait_us",
                                      "erase_wait_us"};

// Why an entry is skipped; thrown within one entry's reading.
struct Broken {
  toml::source_position where;
  std::string what;
};

class EntryReader {
 public:
  EntryReader(const toml::table& table, std::vector<UserDevice>& earlier)
      : table_(table), earlier_(earlier) {}

  UserDevice Read() {
    for (auto&& [key, node] : table_) {
      if (std::find(std::begin(kKeys), std::end(kKeys), key.str()) == std::end(kKeys)) {
        throw Broken{key.source().begin, std::string(text::kUserUnknownKey) + TomlQuoted(key.str())};
      }
    }
    UserDevice d;
    d.Name = String("name");
    d.Parent = String("parent");
    if (Shipped(d.Name) != nullptr || Named(d.Name)) {
      throw Broken{At("name"), std::string(text::kUserDuplicate) + TomlQuoted(d.Name) +
                                   std::string(text::kUserDuplicateAfter)};
    }
    const CatalogueEntry* parent = Shipped(d.Parent);
    if (parent == nullptr) {
      throw Broken{At("parent"), std::string(text::kUserUnknownParent) + TomlQuoted(d.Parent)};
    }
    const DeviceProfile& p = *parent->Profile;
    const bool pic14 = p.Family == DeviceFamily::Pic && !p.Is12Bit;
    d.Profile = p;
    d.Entry = *parent;
    d.Entry.UserDefined = true;
    d.Entry.MenuCaption = {};
    d.Entry.InMore = false;
    // 14-bit parts keep their configuration area at 2000h and data EEPROM at 2100h.
    d.Entry.CodeSize =
        Integer("code_size", 1, pic14 ? 0x2000 : kMaxDeviceElements, parent->CodeSize);
    d.Entry.DataSize = Integer("data_size", 0, pic14 ? 256 : kMaxDeviceElements, parent->DataSize);
    d.Entry.PinCount = Integer("pins", 8, 40, parent->PinCount);
    if (d.Entry.PinCount != 8 && d.Entry.PinCount != 14 && d.Entry.PinCount != 18 &&
        d.Entry.PinCount != 20 && d.Entry.PinCount != 28 && d.Entry.PinCount != 40) {
      throw Broken{At("pins"), std::string(text::kUserPins)};
    }
    d.Entry.PageSize = Integer("page_size", 0, kMaxDeviceElements, parent->PageSize);
    if (d.Entry.PageSize > 0 && d.Entry.CodeSize % d.Entry.PageSize != 0) {
      throw Broken{At("page_size"), std::string(text::kUserPageSize)};
    }
    const int idLimit = pic14 ? 0x3FFF : 0xFFFFFF;
    d.Entry.DeviceId = static_cast<std::uint32_t>(
        Integer("device_id", 0, idLimit, static_cast<int>(parent->DeviceId)));
    d.Profile.DeviceIdMask = static_cast<std::uint32_t>(
        Integer("device_id_mask", 0, idLimit, static_cast<int>(p.DeviceIdMask)));
    if ((d.Entry.DeviceId & ~d.Profile.DeviceIdMask) != 0) {
      throw Broken{At("device_id"), std::string(text::kUserIdOutsideMask)};
    }
    const int words = p.ConfigAreaWords > 0 ? std::max(p.ConfigWords, 1) : 0;
    if (auto masks = Words("config_masks", words, p.BlankValue)) {
      d.Profile.ConfigMask = (*masks)[0];
      for (std::size_t k = 1; k < masks->size(); ++k)
        d.Profile.MoreConfigMasks[k - 1] = (*masks)[k];
    }
    if (auto defaults = Words("config_defaults", words, p.BlankValue)) {
      // The words not given are the parent's.
      d.Profile.HasConfigDefaults = true;
      d.Profile.ConfigDefaults = DescriptorFor(*parent).ConfigDefaults;
      for (std::size_t k = 0; k < defaults->size(); ++k)
        d.Profile.ConfigDefaults[k] = (*defaults)[k];
    }
    d.Profile.Waits.ProgramUs = Integer("program_wait_us", 1, 1000000, p.Waits.ProgramUs);
    d.Profile.Waits.DataUs = Integer("data_wait_us", 1, 1000000, p.Waits.DataUs);
    d.Profile.Waits.EraseUs = Integer("erase_wait_us", 1, 1000000, p.Waits.EraseUs);
    return d;
  }

 private:
  bool Named(std::string_view name) const {
    return std::any_of(earlier_.begin(), earlier_.end(),
                       [&](const UserDevice& u) { return u.Name == name; });
  }
  toml::source_position At(std::string_view key) const {
    const toml::node* node = table_.get(key);
    return node != nullptr ? node->source().begin : table_.source().begin;
  }
  std::string String(std::string_view key) const {
    const toml::node* node = table_.get(key);
    if (node == nullptr) {
      throw Broken{table_.source().begin, TomlQuoted(key) + std::string(text::kUserMissing)};
    }
    const auto* value = node->as_string();
    if (value == nullptr || value->get().empty()) {
      throw Broken{node->source().begin, TomlQuoted(key) + std::string(text::kUserNotString)};
    }
    return value->get();
  }
  int Integer(std::string_view key, int low, int high, int otherwise) const {
    const toml::node* node = table_.get(key);
    if (node == nullptr) return otherwise;
    const auto* value = node->as_integer();
    if (value == nullptr) {
      throw Broken{node->source().begin, TomlQuoted(key) + std::string(text::kUserNotInteger)};
    }
    if (value->get() < low || value->get() > high) {
      throw Broken{node->source().begin, TomlQuoted(key) + std::string(text::kUserRangeBefore) +
                                             std::to_string(low) + std::string(text::kUserRangeTo) +
                                             std::to_string(high)};
    }
    return static_cast<int>(value->get());
  }
  // An array of 1..`count` words within `blank`; nullopt when the key is not there.
  std::optional<std::vector<std::uint16_t>> Words(std::string_view key, int count,
                                                  std::uint16_t blank) const {
    const toml::node* node = table_.get(key);
    if (node == nullptr) return std::nullopt;
    const auto* array = node->as_array();
    const auto wrong = [&] {
      return Broken{node->source().begin, TomlQuoted(key) + std::string(text::kUserWordsBefore) +
                                              std::to_string(count) +
                                              std::string(text::kUserWordsMiddle) + Hex4(blank) +
                                              std::string(text::kUserWordsAfter)};
    };
    if (array == nullptr || array->empty() || static_cast<int>(array->size()) > count) {
      throw wrong();
    }
    std::vector<std::uint16_t> words;
    for (const toml::node& element : *array) {
      const auto* value = element.as_integer();
      if (value == nullptr || value->get() < 0 || value->get() > blank) throw wrong();
      words.push_back(static_cast<std::uint16_t>(value->get()));
    }
    return words;
  }

  const toml::table& table_;
  std::vector<UserDevice>& earlier_;
};

std::string Where(std::string_view file, const toml::source_position& at) {
  return std::string(file) + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": ";
}

}  // namespace

UserDevicesRead ReadUserDevices(std::string_view text, std::string_view fileName) {
  UserDevicesRead read;
  std::string problem;
  std::optional<toml::table> parsed = ParseTomlText(text, fileName, problem);
  if (!parsed) {
    // The position is the syntax error's; the description follows.
    const std::size_t split = problem.find(": ", fileName.size()) + 2;
    read.Problems.push_back(problem.substr(0, split) + std::string(text::kUserNotToml) +
                            problem.substr(split) + std::string(text::kUserNothingAdded));
    return read;
  }
  const toml::table& document = *parsed;
  for (auto&& [key, node] : document) {
    const toml::array* entries = key.str() == "device" ? node.as_array() : nullptr;
    if (entries == nullptr || !entries->is_array_of_tables()) {
      read.Problems.push_back(Where(fileName, key.source().begin) +
                              std::string(text::kUserNotDevice) + TomlQuoted(key.str()) +
                              std::string(text::kUserNotDeviceAfter));
      continue;
    }
    for (const toml::node& entry : *entries) {
      try {
        read.Devices.push_back(EntryReader(*entry.as_table(), read.Devices).Read());
      } catch (const Broken& broken) {
        read.Problems.push_back(Where(fileName, broken.where) + broken.what +
                                std::string(text::kUserSkipped));
      }
    }
  }
  return read;
}

UserDevicesRead LoadUserDevices(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) return {{}, {path + ": " + std::string(text::kUserUnreadable)}};
  return ReadUserDevices(text.str(), path);
}

void InstallUserDevices(UserDevicesRead read) {
  InstalledProblems() = std::move(read.Problems);
  std::vector<UserDevice>& devices = read.Devices;
  std::deque<UserDevice>& installed = Installed();
  std::vector<CatalogueEntry>& entries = InstalledEntries();
  installed.assign(std::make_move_iterator(devices.begin()),
                   std::make_move_iterator(devices.end()));
  entries.clear();
  std::uint16_t number = kFirstUserDeviceNumber;
  for (UserDevice& d : installed) {
    d.Caption = d.Name + std::string(text::kUserCaptionMark);
    d.Entry.Name = d.Name;
    d.Entry.MenuCaption = d.Caption;
    d.Entry.Profile = &d.Profile;
    d.Entry.MenuCommand = number++;
    entries.push_back(d.Entry);
  }
}

std::span<const CatalogueEntry> UserCatalogue() {
  return InstalledEntries();
}
std::span<const std::string> UserDeviceProblems() {
  return InstalledProblems();
}

const CatalogueEntry* ParentOf(const CatalogueEntry& entry) {
  if (!entry.UserDefined) return nullptr;
  for (const UserDevice& d : Installed()) {
    if (d.Name == entry.Name) return Shipped(d.Parent);
  }
  return nullptr;
}

std::string UserDevicesPath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (configHome != nullptr && *configHome != '\0') {
    base = configHome;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr ? home : ".") / ".config";
  }
  return (base / "kestrum" / "devices.toml").string();
}

std::string DeviceAsToml(const CatalogueEntry& entry) {
  const DeviceDescriptor d = DescriptorFor(entry);
  const CatalogueEntry* parent = ParentOf(entry);
  std::ostringstream out;
  const auto hex = [](std::uint32_t v) { return "0x" + Hex4(v); };
  out << text::kUserShowHeader;
  out << "[[device]]\n";
  out << "name = " << TomlQuoted(d.Name) << "\n";
  out << "parent = " << TomlQuoted(parent != nullptr ? parent->Name : entry.Name) << "\n";
  out << "code_size = " << d.CodeSize << "\n";
  out << "data_size = " << std::max(d.DataSize, 0) << "\n";
  out << "pins = " << d.PinCount << "\n";
  out << "device_id = " << hex(d.DeviceId) << "\n";
  out << "device_id_mask = " << hex(d.DeviceIdMask) << "\n";
  if (d.ConfigWords > 0) {
    std::string masks;
    std::string defaults;
    for (int k = 0; k < d.ConfigWords; ++k) {
      masks += (k ? ", " : "") + hex(ConfigWordMask(d, k));
      defaults += (k ? ", " : "") + hex(d.ConfigDefaults[static_cast<std::size_t>(k)]);
    }
    out << "config_masks = [" << masks << "]\n";
    out << "config_defaults = [" << defaults << "]\n";
  }
  out << "page_size = " << d.PageSize << "\n";
  if (d.Waits.ProgramUs > 0) out << "program_wait_us = " << d.Waits.ProgramUs << "\n";
  if (d.Waits.DataUs > 0) out << "data_wait_us = " << d.Waits.DataUs << "\n";
  if (d.Waits.EraseUs > 0) out << "erase_wait_us = " << d.Waits.EraseUs << "\n";
  return out.str();
}

}  // namespace kestrum
