// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration box working on the active slot: display, rebuild, ID box.
#include "buffers/config_box.hpp"

#include <gtest/gtest.h>

#include "buffers/workspace.hpp"
#include "core/text.hpp"

namespace kestrum {
namespace {

class ConfigBoxTest : public ::testing::Test {
 protected:
  void Select(std::string_view name) { ws.SelectDevice(*FindDeviceByName(name)); }
  void Tick(std::string_view fuse, bool on) {
    for (FuseCheckBox& box : ws.Config.Fuses) {
      if (box.Caption == fuse) box.Checked = on;
    }
    ws.ComboBox1Change();
  }
  void Choose(ConfigListBox& list, std::string_view item) {
    const auto it = std::find(list.Items.begin(), list.Items.end(), item);
    ASSERT_NE(it, list.Items.end()) << item;
    list.Selected = static_cast<int>(it - list.Items.begin());
    ws.ComboBox1Change();
  }
  void Type(std::string_view keys) {
    for (char key : keys) ws.Config.IdKeyPress(ws.Device, ws.Active(), key);
  }
  MemorySettingsStore store;
  Workspace ws{store};
};

TEST_F(ConfigBoxTest, ChangingControlsRebuildsTheStoredWordAndLabel) {
  Select("PIC 16F84");
  Choose(ws.Config.Oscillator, "XT");
  Tick("WDT", false);
  Tick("PWRT", true);
  EXPECT_EQ(ws.Active().ConfigArea[7], 0x3FF1);
  EXPECT_EQ(ws.Config.ConfigLabel, "Config word : 3FF1h");
  EXPECT_FALSE(ws.Config.CodeProtectSelected());
  // The checksum follows the masked configuration word.
  EXPECT_EQ(ws.Config.ChecksumText, Hex4(static_cast<std::uint16_t>(1024 * 0x3FFF + 0x3FF1)));

  Tick("CP", true);
  EXPECT_TRUE(ws.Config.CodeProtectSelected());
  EXPECT_EQ(ws.Active().ConfigArea[7], 0x0001);
}

TEST_F(ConfigBoxTest, ShowingAWordNeverChangesTheStoredOne) {
  Select("PIC 16F84");
  ws.Active().ConfigArea[7] = 0x2A55;  // bits no control represents
  ws.ShowConfigWord(0x0000);
  EXPECT_EQ(ws.Active().ConfigArea[7], 0x2A55);
  EXPECT_EQ(ws.Config.ConfigLabel, "Config word : 2A55h");
  EXPECT_TRUE(ws.Config.Fuses[1].Checked);  // PWRT bit 0 in the shown word
  // The next rebuild keeps only what the controls represent.
  ws.ShowStoredConfigWord();
  ws.CreateConfig();
  EXPECT_EQ(ws.Active().ConfigArea[7], 0x3FF5);  // XT, WDT, PWRT, protection off
}

TEST_F(ConfigBoxTest, CodeProtectListCountsUnlessOnItsLastItem) {
  Select("PIC 16F877");
  EXPECT_FALSE(ws.Config.CodeProtectSelected());
  Choose(ws.Config.CodeProtect, "CP 1000h-1FFFh");
  EXPECT_TRUE(ws.Config.CodeProtectSelected());
  EXPECT_EQ(ws.Active().ConfigArea[7] & 0x3030, 0x1010);
  Choose(ws.Config.CodeProtect, "CP OFF");
  EXPECT_FALSE(ws.Config.CodeProtectSelected());
}

TEST_F(ConfigBoxTest, IdBoxTypingStoresOneDigitPerWord) {
  Select("PIC 16F84");
  ws.Config.IdText.clear();
  Type("1g2");
  EXPECT_EQ(ws.Config.IdText, "12");
  const auto& area = ws.Active().ConfigArea;
  EXPECT_EQ((std::vector<std::uint16_t>{area[0], area[1], area[2], area[3]}),
            (std::vector<std::uint16_t>{1, 2, 0, 0}));
  Type("abcd");  // only two more fit
  EXPECT_EQ(ws.Config.IdText, "12AB");
  Type("\b");
  EXPECT_EQ(ws.Config.IdText, "12A");
  EXPECT_EQ(area[2], 0xA);
}

TEST_F(ConfigBoxTest, UseChecksumStoresTheChecksumDigits) {
  Select("PIC 16F84");
  ASSERT_EQ(ws.Config.ChecksumText, "3BFF");
  ws.Config.UseChecksum(ws.Device, ws.Active());
  EXPECT_EQ(ws.Config.IdText, "3BFF");
  const auto& area = ws.Active().ConfigArea;
  EXPECT_EQ((std::vector<std::uint16_t>{area[0], area[1], area[2], area[3]}),
            (std::vector<std::uint16_t>{3, 11, 15, 15}));
}

TEST_F(ConfigBoxTest, TwelveBitIdWordsLiveInTheCodeBuffer) {
  Select("PIC 12C509");
  ws.Config.SetIdText(ws.Device, ws.Active(), "c0de5");  // pasted: upper-cased, cut to four
  EXPECT_EQ(ws.Config.IdText, "C0DE");
  const auto& code = ws.Active().CodeBuffer;
  EXPECT_EQ((std::vector<std::uint16_t>{code[1024], code[1025], code[1026], code[1027]}),
            (std::vector<std::uint16_t>{12, 0, 13, 14}));
  EXPECT_EQ(ws.Active().ConfigArea[1], 0xFFF);  // the rest of the area is blank
  // The ID box shows the words back.
  ws.ShowStoredConfigWord();
  EXPECT_EQ(ws.Config.IdText, "C0DE");
}

TEST_F(ConfigBoxTest, UpdatingSuppressesRebuilds) {
  Select("PIC 16F84");
  ws.Active().ConfigArea[7] = 0x1234;
  ws.Config.Updating = true;
  ws.ComboBox1Change();
  ws.Config.IdKeyPress(ws.Device, ws.Active(), '7');
  EXPECT_EQ(ws.Active().ConfigArea[7], 0x1234);
  EXPECT_FALSE(ws.Config.Updating);  // the refresh at the end of the change clears it
}

// The 16F87/88 carry a second configuration word: its boxes follow the fuses, its label the
// first word's, and it is stored at 2008h and counted in the checksum under its mask 0003h.
TEST_F(ConfigBoxTest, SecondConfigurationWordHasItsControlsLabelAndChecksumShare) {
  Select("PIC 16F88");
  ASSERT_EQ(ws.Config.More.size(), 2u);
  EXPECT_EQ(ws.Config.More[0].Caption, "IESO");
  EXPECT_EQ(ws.Config.More[1].Caption, "FCMEN");
  EXPECT_TRUE(ws.Config.More[1].Checked);  // erased: fail-safe clock monitor on
  EXPECT_EQ(ws.Config.MoreConfigLabels, std::vector<std::string>{"Config word 2 : 3FFFh"});
  const std::uint16_t before = ws.Checksum();
  ws.Config.More[1].Checked = false;
  ws.ComboBox1Change();
  EXPECT_EQ(ws.Active().ConfigArea[8], 0x3FFE);
  EXPECT_EQ(ws.Config.MoreConfigLabels[0], "Config word 2 : 3FFEh");
  EXPECT_EQ(static_cast<std::uint16_t>(before - ws.Checksum()), 1);
  // A word read from the part shows in the controls.
  ws.Active().ConfigArea[8] = 0x3FFD;
  ws.ShowStoredConfigWord();
  EXPECT_FALSE(ws.Config.More[0].Checked);
  EXPECT_TRUE(ws.Config.More[1].Checked);
}

}  // namespace
}  // namespace kestrum
