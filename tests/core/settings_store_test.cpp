// SPDX-License-Identifier: GPL-3.0-or-later
// Value forms of the settings store.
#include "core/settings_store.hpp"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(SettingsStore, TypedReadsFallBackToDefaultsAndParseStoredStrings) {
  MemorySettingsStore store;
  EXPECT_FALSE(store.Exists());
  EXPECT_EQ(store.ReadInteger("Device", 58), 58);
  EXPECT_TRUE(store.ReadBool("Verify", true));
  EXPECT_EQ(store.ReadString("Port", "Com 2"), "Com 2");

  store.SetRaw("Smart", "2");
  EXPECT_TRUE(store.ReadBool("Smart", false));  // any non-zero value is true
  store.SetRaw("IODelay", "abc");
  EXPECT_EQ(store.ReadInteger("IODelay", 10), 10);
  store.SetRaw("IODelay", "12x");
  EXPECT_EQ(store.ReadInteger("IODelay", 10), 10);
  store.SetRaw("IODelay", "");
  EXPECT_EQ(store.ReadInteger("IODelay", 10), 10);
  store.SetRaw("IODelay", "-3");
  EXPECT_EQ(store.ReadInteger("IODelay", 10), -3);
  EXPECT_TRUE(store.Exists());
}

TEST(SettingsStore, WritesUseDecimalAndZeroOne) {
  MemorySettingsStore store;
  store.WriteInteger("Device", 62);
  store.WriteBool("Api", true);
  store.WriteBool("Smart", false);
  store.WriteString("Port", "LPT1");
  EXPECT_EQ(store.Values().at("Device"), "62");
  EXPECT_EQ(store.Values().at("Api"), "1");
  EXPECT_EQ(store.Values().at("Smart"), "0");
  EXPECT_EQ(store.ReadString("Port", ""), "LPT1");
  store.Clear();
  EXPECT_FALSE(store.Exists());
  EXPECT_EQ(store.ReadInteger("Device", 58), 58);
}

}  // namespace
}  // namespace kestrum
