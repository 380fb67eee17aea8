// SPDX-License-Identifier: GPL-3.0-or-later
// Terminal listing of the device catalogue.
#include "app/device_listing.hpp"

#include "app/texts.hpp"
#include "core/name_match.hpp"
#include "device/catalogue.hpp"
#include "device/device_list.hpp"
#include "device/user_devices.hpp"

namespace kestrum {
namespace {

// Width on a terminal: UTF-8 continuation bytes take no column.
int Columns(const std::string& text) {
  int columns = 0;
  for (unsigned char c : text) columns += (c & 0xC0) != 0x80 ? 1 : 0;
  return columns;
}

std::string PadRight(const std::string& text, int width) {
  const int columns = Columns(text);
  return text + std::string(columns < width ? width - columns : 0, ' ');
}

std::string PadLeft(const std::string& text, int width) {
  const int columns = Columns(text);
  return std::string(columns < width ? width - columns : 0, ' ') + text;
}

}  // namespace

std::string DeviceListingText() {
  constexpr int kNameWidth = 13;
  constexpr int kFamilyWidth = 48;
  std::string out = PadLeft("No", 4) + "  " + PadRight("Name", kNameWidth) +
                    PadRight("Family", kFamilyWidth) + PadLeft("Code", 6) + PadLeft("Data", 6) +
                    "\n";
  for (auto list : {Catalogue(), UserCatalogue()}) {
    for (const CatalogueEntry& entry : list) {
      const DeviceDescriptor d = DescriptorFor(entry);
      // A long name of a user's part keeps a blank before the family.
      out += PadLeft(std::to_string(d.MenuCommand), 4) + "  " + PadRight(d.Name, kNameWidth - 1) +
             " " + PadRight(FamilyTypeText(d), kFamilyWidth) +
             PadLeft(std::to_string(d.CodeSize), 6) + PadLeft(std::to_string(d.DataSize), 6) + "\n";
    }
  }
  return out;
}

int ShowDevice(const std::string& name, std::FILE* out, std::FILE* err) {
  const DeviceList list;
  std::vector<std::string> names;
  std::vector<const CatalogueEntry*> entries;
  for (int i = 0; i < list.Size(); ++i) {
    if (const CatalogueEntry* entry = list.EntryAt(i)) {
      names.emplace_back(entry->Name);
      entries.push_back(entry);
    }
  }
  const NameMatch match = MatchName(name, names);
  std::string text;
  if (match.index >= 0) {
    text = DeviceAsToml(*entries[static_cast<std::size_t>(match.index)]);
  } else {
    std::string listed;
    for (int i : match.closest) listed += (listed.empty() ? "" : ", ") + names[i];
    text = std::string(text::kProgramName) + ": " +
           (match.ambiguous
                ? std::string(text::kAmbiguousBefore) + name + std::string(text::kAmbiguousMiddle) +
                      std::string(text::kKindDevice) + std::string(text::kAmbiguousAfter) + listed +
                      std::string(text::kAmbiguousEnd)
                : std::string(text::kNoNamedBefore) + std::string(text::kKindDevice) +
                      std::string(text::kNoNamedMiddle) + name + std::string(text::kClosestAfter) +
                      listed) +
           std::string(text::kSeeListDevices) + "\n";
  }
  std::fwrite(text.data(), 1, text.size(), match.index >= 0 ? out : err);
  return match.index >= 0 ? 0 : 2;
}

}  // namespace kestrum
