// The settings file and the recent-files list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/ini_settings_store.hpp"
#include "app/recent_files.hpp"

namespace kestrum {
namespace {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/kestrum-test-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

TEST(IniSettingsStore, ValuesSurviveReopeningAsStrings) {
  TempDir dir;
  const std::string path = dir.File("Kestrum.ini");
  {
    IniSettingsStore store(path);
    EXPECT_FALSE(store.Exists());
    store.WriteInteger("Device", 62);
    store.WriteBool("Verify", false);
    store.WriteString("RecDevice0", "   PIC 16F84");
    store.WriteString("File0", "/home/u/a, b; c=d.hex");
    EXPECT_TRUE(store.Exists());
  }
  IniSettingsStore store(path);
  EXPECT_TRUE(store.Exists());
  EXPECT_EQ(store.ReadInteger("Device", 58), 62);
  EXPECT_FALSE(store.ReadBool("Verify", true));
  EXPECT_EQ(store.ReadString("RecDevice0", ""), "   PIC 16F84");
  EXPECT_EQ(store.ReadString("File0", ""), "/home/u/a, b; c=d.hex");
  EXPECT_EQ(store.ReadString("Port", "Com 2"), "Com 2");

  store.Clear();
  EXPECT_FALSE(store.Exists());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(store.ReadInteger("Device", 58), 58);
}

TEST(RecentFiles, LetterCaseCountsAsTheSameFile) {
  MemorySettingsStore store;
  RecentFiles recent;
  EXPECT_EQ(recent.MenuCaptions(), std::vector<std::string>{"<none>"});
  recent.Add("/home/u/Blink.hex", 1, store);
  recent.Add("/home/u/other.bin", 3, store);
  recent.Add("/home/u/BLINK.HEX", 5, store);
  EXPECT_EQ(recent.MenuCaptions(),
            (std::vector<std::string>{"/home/u/BLINK.HEX", "/home/u/other.bin"}));
  EXPECT_EQ(store.ReadString("File0", ""), "/home/u/BLINK.HEX");
  EXPECT_EQ(store.ReadString("Index0", ""), "5");
  EXPECT_EQ(store.ReadString("Index1", ""), "3");
}

TEST(RecentFiles, EightAtMostAndReopeningMovesToTheTop) {
  MemorySettingsStore store;
  RecentFiles recent;
  for (int i = 0; i < 10; ++i) recent.Add("/f" + std::to_string(i), 1 + i % 7, store);
  ASSERT_EQ(recent.Entries().size(), 8u);
  EXPECT_EQ(recent.Entries().front().Path, "/f9");
  EXPECT_EQ(recent.Entries().back().Path, "/f2");

  const auto opened = recent.Open(7, store);
  ASSERT_TRUE(opened);
  EXPECT_EQ(*opened, (RecentFile{"/f2", 3}));
  EXPECT_EQ(store.ReadString("File0", ""), "/f2");
  EXPECT_EQ(store.ReadString("File7", ""), "/f3");
  EXPECT_FALSE(recent.Open(8, store));

  RecentFiles loaded;
  loaded.Load(store);
  EXPECT_EQ(loaded.Entries(), recent.Entries());
}

}  // namespace
}  // namespace kestrum
