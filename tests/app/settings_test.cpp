// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file and the recent-files list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/application.hpp"
#include "app/ini_settings_store.hpp"
#include "app/recent_files.hpp"
#include "core/recording_ui.hpp"
#include "sim/boards/sim_port.hpp"

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

// A file that cannot be read is told as such, not as a first start, and never written; a
// folder that cannot take the file is told as well.
TEST(IniSettingsStore, AFileThatCannotBeReadOrKeptIsToldAndLeftAlone) {
  TempDir dir;
  const std::string folder = dir.File("Kestrum.ini");
  std::filesystem::create_directory(folder);  // read() fails: a folder, as root too
  const std::string plain = dir.File("plain");
  std::ofstream(plain) << "x";
  struct Case {
    std::string path;
    std::string problem;
    bool firstStart;
  };
  for (const Case& c :
       {Case{folder,
             "Cannot read the settings file " + folder +
                 ": Is a directory. Kestrum runs with the default settings and leaves the file "
                 "as it is.",
             false},
        Case{plain + "/Kestrum.ini",
             "The settings cannot be saved in " + plain +
                 "/Kestrum.ini: Not a directory. Changes to the settings last only until "
                 "Kestrum ends.",
             true}}) {
    IniSettingsStore store(c.path);
    RecordingUi ui;
    VirtualClock clock;
    VirtualProgrammer programmer{clock};
    Application app(store, ui, clock, programmer);
    app.WindowVisible = false;
    EXPECT_EQ(app.Startup(CommandLine{}).FirstStart, c.firstStart);
    ASSERT_FALSE(ui.Messages().empty());
    EXPECT_EQ(ui.Messages()[0], c.problem);
    store.WriteInteger("Device", 62);
    EXPECT_EQ(ui.Messages().size(), c.firstStart ? 2u : 1u);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// Each hardware key the program cannot use is told once, by name, and replaced by its default
// in use and in the file; "true" is a boolean as well as "1".
TEST(HardwareSettingsRead, ValuesOutOfRangeAreReplacedWithOneMessageEach) {
  struct Case {
    std::string key, value, shown;
  };
  for (const Case& c : {Case{"Programmer", "13", "0"}, Case{"Port", "Com9", "Com 2"},
                        Case{"Port", "LPT1", "Com 2"}, Case{"IODelay", "2147483647", "10"},
                        Case{"IODelay", "-1", "10"}, Case{"Virtual", "maybe", "0"}}) {
    MemorySettingsStore store;
    store.SetRaw("Virtual", "true");
    store.SetRaw(c.key, c.value);
    RecordingUi ui;
    VirtualClock clock;
    VirtualProgrammer programmer{clock};
    Application app(store, ui, clock, programmer);
    app.WindowVisible = false;
    app.Startup(CommandLine{});
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"The setting " + c.key + "=" + c.value +
                                                      " in the settings file is out of range; "
                                                      "its default is used: " +
                                                      c.shown});
    EXPECT_EQ(store.Values().at(c.key), c.shown);
    // Every value in use is the default, but the hand-edited "true".
    const HardwareSettings& used = app.Lines.Settings();
    EXPECT_TRUE(used.Programmer == ProgrammerType::Jdm && used.IODelay == 10 &&
                used.Port == "Com 2");
    EXPECT_EQ(used.Virtual, c.key != "Virtual");
  }
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
