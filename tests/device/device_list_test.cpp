// SPDX-License-Identifier: GPL-3.0-or-later
// Toolbar device list and the recent-devices list.
#include "device/device_list.hpp"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(DeviceList, GroupsInMenuOrderWithMoreEntriesLastAndSeparatorsBetween) {
  const DeviceList list;
  const auto& items = list.Items();
  ASSERT_EQ(items.size(), 111u + 7u);  // eight groups, seven separators
  EXPECT_EQ(items.front(), "59C11");
  EXPECT_EQ(items.back(), "ATmega328P");
  EXPECT_EQ(list.IndexOf("ATtiny13A"), list.IndexOf("89S53") + 1);
  EXPECT_EQ(list.IndexOf("24LC1025"), list.IndexOf("24C512") + 1);
  EXPECT_TRUE(list.IsSeparator(3));
  EXPECT_EQ(items[3].size(), 54u);
  EXPECT_EQ(list.EntryAt(3), nullptr);
  // The PIC group: its own entries first, then those of "More".
  const int c508 = list.IndexOf("PIC 12C508");
  const int c84 = list.IndexOf("PIC 16C84");
  const int f83 = list.IndexOf("PIC 16F83");
  const int c924 = list.IndexOf("PIC 16C924");
  EXPECT_LT(c508, c84);
  // The parts added later close the group's own entries.
  EXPECT_EQ(list.IndexOf("PIC 16F627A"), c84 + 1);
  EXPECT_EQ(f83, list.IndexOf("PIC 16F877A") + 1);
  EXPECT_TRUE(list.IsSeparator(c924 + 1));
  EXPECT_EQ(list.IndexOf("SDA2526"), -1);
  EXPECT_EQ(list.IndexOf("MDA 2062"), -1);
  EXPECT_EQ(list.EntryAt(list.IndexOfNumber(62))->Name, "PIC 16F84");
  EXPECT_EQ(list.EntryAt(-1), nullptr);
  EXPECT_EQ(list.EntryAt(list.Size()), nullptr);
}

TEST(RecentDevices, MostRecentFirstWithoutDuplicatesAndAtMostEight) {
  MemorySettingsStore store;
  RecentDevices recent;
  recent.Add("PIC 16F84", store);
  recent.Add("24C16", store);
  recent.Add("pic 16f84", store);  // the same device, other letter case
  ASSERT_EQ(recent.Captions().size(), 2u);
  EXPECT_EQ(recent.Captions()[0], "&1 pic 16f84");
  EXPECT_EQ(recent.Captions()[1], "&2 24C16");

  const char* names[] = {"93C46", "25010", "90S2313", "89S53", "59C11", "NVM 3060", "24C02"};
  for (const char* name : names) recent.Add(name, store);
  ASSERT_EQ(recent.Captions().size(), 8u);
  EXPECT_EQ(recent.Captions()[0], "&1 24C02");
  EXPECT_EQ(recent.Captions()[7], "&8 pic 16f84");  // the oldest, "24C16", dropped out
  EXPECT_EQ(recent.NameAt(7), "pic 16f84");
  EXPECT_EQ(store.ReadString("RecDevice0", ""), "   24C02");
  EXPECT_EQ(store.ReadString("RecDevice7", ""), "   pic 16f84");

  // The stored form reads back into the same menu.
  RecentDevices loaded;
  loaded.Load(store);
  EXPECT_EQ(loaded.Captions(), recent.Captions());
}

TEST(RecentDevices, LoadSkipsEmptyValuesAndRenumbers) {
  MemorySettingsStore store;
  store.WriteString("RecDevice0", "   PIC 16F84");
  store.WriteString("RecDevice2", "   24C16");
  store.WriteString("RecDevice3", "");
  RecentDevices recent;
  recent.Load(store);
  EXPECT_EQ(recent.Captions(), (std::vector<std::string>{"&1 PIC 16F84", "&2 24C16"}));
  EXPECT_EQ(recent.NameAt(1), "24C16");
  EXPECT_EQ(recent.NameAt(2), "");
}

}  // namespace
}  // namespace kestrum
