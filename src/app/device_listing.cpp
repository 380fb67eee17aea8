// Terminal listing of the device catalogue.
#include "app/device_listing.hpp"

#include "device/catalogue.hpp"
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

}  // namespace kestrum
