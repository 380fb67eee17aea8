// SPDX-License-Identifier: GPL-3.0-or-later
// The user's devices file: a broken entry is skipped with a message naming file, line, column
// and what is wrong while the others load; every shipped device prints as an entry that reads
// back as the same part; the user's parts join the lookups and the menu, marked.
#include "device/user_devices.hpp"

#include <gtest/gtest.h>

#include "device/device_list.hpp"

namespace kestrum {
namespace {

using Strings = std::vector<std::string>;

// The part every broken file also holds, after the broken entry.
constexpr std::string_view kGood =
    "[[device]]\nname = \"Good\"\nparent = \"PIC 16F628A\"\ncode_size = 1024\n";

Strings Names(const UserDevicesRead& read) {
  Strings names;
  for (const UserDevice& d : read.Devices) names.push_back(d.Name);
  return names;
}

TEST(UserDevices, ABrokenEntryIsSkippedWithItsPlaceAndTheRestLoads) {
  struct Case {
    std::string entry;  // the first entry of the file, before the good one
    std::string problem;
  };
  const std::string head = "[[device]]\nname = \"X\"\n";
  const Case cases[] = {
      {head + "parent = \"PIC 16F999\"\n",
       "devices.toml:3:10: unknown parent device \"PIC 16F999\"; the entry is skipped"},
      {head + "parent = \"PIC 16F628A\"\ncode_size = \"2048\"\n",
       "devices.toml:4:13: \"code_size\" must be an integer; the entry is skipped"},
      {head + "parent = 628\n",
       "devices.toml:3:10: \"parent\" must be a non-empty string; the entry is skipped"},
      {"[[device]]\nname = \"PIC 16F84A\"\nparent = \"PIC 16F628A\"\n",
       "devices.toml:2:8: a device named \"PIC 16F84A\" exists already; the entry is skipped"},
      {head + "parent = \"PIC 16F628A\"\ncode_size = 16384\n",
       "devices.toml:4:13: \"code_size\" must be within 1..8192; the entry is skipped"},
      {head + "parent = \"PIC 16F628A\"\ndata_size = 512\n",
       "devices.toml:4:13: \"data_size\" must be within 0..256; the entry is skipped"},
      {head + "parent = \"PIC 16F628A\"\npins = 19\n",
       "devices.toml:4:8: \"pins\" must be 8, 14, 18, 20, 28 or 40; the entry is skipped"},
      {head + "parent = \"PIC 16F88\"\nconfig_masks = [0x3FFF, 0x3, 0x1]\n",
       "devices.toml:4:16: \"config_masks\" must be an array of 1 to 2 words of at most 0x3FFF; "
       "the entry is skipped"},
      {head + "parent = \"PIC 16F628A\"\ndevice_id = 0x1061\n",
       "devices.toml:4:13: \"device_id\" has bits outside \"device_id_mask\"; the entry is "
       "skipped"},
      {head + "parent = \"PIC 16F628A\"\nspeed = 4\n",
       "devices.toml:4:1: unknown key \"speed\"; the entry is skipped"},
      {"[[device]]\nparent = \"PIC 16F628A\"\n",
       "devices.toml:1:1: \"name\" is missing; the entry is skipped"},
      {"[parts]\nname = \"X\"\n",
       "devices.toml:1:2: unknown table \"parts\", devices are [[device]] entries"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const UserDevicesRead read = ReadUserDevices(c.entry + std::string(kGood), "devices.toml");
    EXPECT_EQ(read.Problems, Strings{c.problem});
    EXPECT_EQ(Names(read), Strings{"Good"});
  }
  // A second entry of the same name is the one skipped.
  const UserDevicesRead twice =
      ReadUserDevices(std::string(kGood) + "\n" + std::string(kGood), "d");
  EXPECT_EQ(twice.Problems,
            Strings{"d:7:8: a device named \"Good\" exists already; the entry is skipped"});
  EXPECT_EQ(Names(twice), Strings{"Good"});
  // Not TOML at all: nothing from the file, the place of the fault told.
  const UserDevicesRead garbled =
      ReadUserDevices(std::string(kGood) + "[[device]\n", "devices.toml");
  EXPECT_EQ(
      garbled.Problems,
      Strings{"devices.toml:5:10: not a TOML file: Error while parsing table header: expected "
              "']', saw '\\n'; no device added"});
  EXPECT_TRUE(garbled.Devices.empty());
  // A character the reader cannot be asked about safely, wherever it stands.
  const UserDevicesRead accent = ReadUserDevices(std::string(kGood) + "# Größe\n", "d");
  EXPECT_EQ(
      accent.Problems,
      Strings{"d:5:5: not a TOML file: the character U+00F6 is not supported in this file; no "
              "device added"});
  EXPECT_EQ(ReadUserDevices(std::string(kGood) + "# 1 → 2 ✓ 日本\n", "d").Problems, Strings{});
}

// What --show-device prints, renamed, is the same part again: the user's starting point loses
// nothing of the shipped device.
TEST(UserDevices, EveryShippedDevicePrintsAsAnEntryThatReadsBackAsItself) {
  for (const CatalogueEntry& shipped : Catalogue()) {
    SCOPED_TRACE(std::string(shipped.Name));
    std::string entry = DeviceAsToml(shipped);
    const std::string name = "name = \"" + std::string(shipped.Name) + "\"";
    entry.replace(entry.find(name), name.size(), "name = \"Copy\"");
    UserDevicesRead read = ReadUserDevices(entry, "copy.toml");
    ASSERT_EQ(read.Problems, Strings{});
    ASSERT_EQ(read.Devices.size(), 1u);
    UserDevice& copy = read.Devices[0];
    copy.Entry.Profile = &copy.Profile;
    DeviceDescriptor expected = DescriptorFor(shipped);
    DeviceDescriptor got = DescriptorFor(copy.Entry);
    EXPECT_TRUE(got.UserDefined);
    got.Name = expected.Name;
    got.UserDefined = false;
    EXPECT_TRUE(got == expected) << entry << "----\n" << DeviceAsToml(copy.Entry);
  }
}

TEST(UserDevices, ANameWithQuotesBackslashesAndControlsPrintsAsAnEntryThatReadsBack) {
  InstallUserDevices(ReadUserDevices(
      "[[device]]\nname = \"\\\"4C16\\\\-\\tX\\u007F\"\nparent = \"24C16\"\n", "devices.toml"));
  ASSERT_EQ(UserCatalogue().size(), 1u);
  UserDevicesRead again = ReadUserDevices(DeviceAsToml(UserCatalogue()[0]), "again.toml");
  InstallUserDevices({});
  ASSERT_EQ(again.Problems, Strings{});
  ASSERT_EQ(again.Devices.size(), 1u);
  EXPECT_EQ(again.Devices[0].Name, "\"4C16\\-\tX\x7F");
}

TEST(UserDevices, InstalledPartsJoinTheLookupsAndTheMenuMarkedAsTheUsers) {
  InstallUserDevices(ReadUserDevices(
      "[[device]]\nname = \"PIC 16F628A-X\"\nparent = \"PIC 16F628A\"\ndevice_id = 0x1FE0\n"
      "[[device]]\nname = \"93C46-X\"\nparent = \"93C46\"\ncode_size = 32\n",
      "devices.toml"));
  const CatalogueEntry* pic = FindDeviceByName("PIC 16F628A-X");
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(FindDeviceByNumber(kFirstUserDeviceNumber), pic);
  EXPECT_EQ(FindDeviceById(DeviceFamily::Pic, 0x1FE3), pic);
  EXPECT_EQ(ParentOf(*pic), FindDeviceByName("PIC 16F628A"));
  EXPECT_EQ(DescriptorFor(*FindDeviceByName("93C46-X")).CodeSize, 32);
  // Each the last entry of its parent's group, marked; the toolbar list has it by name.
  const std::vector<DeviceMenuItem> menu = DeviceMenu();
  Strings users;
  for (std::size_t i = 0; i < menu.size(); ++i) {
    if (menu[i].Entry == nullptr || !menu[i].Entry->UserDefined) continue;
    const bool last = i + 1 == menu.size() || menu[i + 1].Kind == MenuItemKind::Group;
    users.push_back(std::string(menu[i].Caption) + (last ? " last" : ""));
  }
  EXPECT_EQ(users, (Strings{"PIC 16F628A-X (user) last", "93C46-X (user) last"}));
  EXPECT_GE(DeviceList().IndexOf("93C46-X"), 0);
  InstallUserDevices({});
  EXPECT_EQ(FindDeviceByName("PIC 16F628A-X"), nullptr);
}

}  // namespace
}  // namespace kestrum
