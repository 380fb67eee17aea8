// SPDX-License-Identifier: GPL-3.0-or-later
// Device selection, slot switching and the checksum, as the window would show them.
#include "buffers/workspace.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/text.hpp"

namespace kestrum {
namespace {

class Recorder : public WorkspaceObserver {
 public:
  void ClearViews() override { calls += "clear "; }
  void RebuildCodeView() override { calls += "code "; }
  void RebuildDataView() override { calls += "data "; }
  void ShowDevice() override { calls += "position "; }
  std::string calls;
};

class WorkspaceTest : public ::testing::Test {
 protected:
  void Select(std::string_view name) {
    const CatalogueEntry* entry = FindDeviceByName(name);
    ASSERT_NE(entry, nullptr) << name;
    ws.SelectDevice(*entry);
  }
  MemorySettingsStore store;
  Workspace ws{store};
};

TEST_F(WorkspaceTest, BlankChecksumsFollowTheDeviceLayout) {
  const std::pair<const char*, const char*> expected[] = {
      {"PIC 16F84", "3BFF"},  {"PIC 16C84", "3BFF"},  {"PIC 12C508", "EE20"},
      {"PIC 16F876", "1BFF"}, {"PIC 16F873", "2BFF"}, {"PIC 16F872", "33FF"},
      {"24C16", "F800"},
  };
  for (const auto& [device, checksum] : expected) {
    Select(device);
    EXPECT_EQ(ws.Config.ChecksumText, checksum) << device;
    EXPECT_EQ(Hex4(ws.Checksum()), checksum) << device;
  }
}

TEST_F(WorkspaceTest, ChecksumLeavesOutIdWordsCalibrationWordAndDataEeprom) {
  Select("PIC 12C508");
  const std::uint16_t blank = ws.Checksum();
  BufferSlot& slot = ws.Active();
  slot.CodeBuffer[511] = 0x0C55;  // calibration word
  slot.CodeBuffer[512] = 0x0001;  // ID words
  slot.DataBuffer[0] = 0x12;
  EXPECT_EQ(ws.Checksum(), blank);
  slot.CodeBuffer[510] = 0x0FFE;
  EXPECT_EQ(ws.Checksum(), static_cast<std::uint16_t>(blank - 1));

  // An EEPROM after a 12-bit PIC counts all its bytes: nothing of the PIC survives.
  Select("24C01A");
  ws.Active().CodeBuffer[127] = 0x00;
  EXPECT_EQ(ws.Checksum(), 127 * 0xFF);
}

TEST_F(WorkspaceTest, SelectionResetsEveryFieldAndEverySlot) {
  Select("PIC 16F84A");
  EXPECT_EQ(ws.BeginProgramCommand, 0x0618);
  for (BufferSlot& slot : ws.Buffers.Slots) {
    slot.FileName = "/tmp/x.hex";
    slot.CodeBuffer[3] = 0x1234;
  }
  Select("PIC 16F84");
  EXPECT_EQ(ws.BeginProgramCommand, 0x0608);

  Select("24C02");
  EXPECT_EQ(ws.Device.ConfigAreaWords, 0);
  EXPECT_EQ(ws.Device.DataAddress, 0);
  EXPECT_EQ(ws.Device.FuseNames[0], "");
  for (const BufferSlot& slot : ws.Buffers.Slots) {
    EXPECT_TRUE(slot.FileName.empty());
    EXPECT_TRUE(std::all_of(slot.CodeBuffer.begin(), slot.CodeBuffer.end(),
                            [](std::uint16_t v) { return v == 0xFF; }));
    EXPECT_TRUE(std::all_of(slot.DataBuffer.begin(), slot.DataBuffer.end(),
                            [](std::uint16_t v) { return v == 0xFF; }));
    EXPECT_TRUE(std::all_of(slot.ConfigArea.begin(), slot.ConfigArea.end(),
                            [](std::uint16_t v) { return v == 0xFF; }));
  }
  EXPECT_EQ(store.ReadInteger("Device", 0), 42);
  EXPECT_EQ(ws.Window.CheckedDevice, 42);
  EXPECT_EQ(ws.Window.Caption, "Kestrum 1.01 - Prototype Programmer");
}

TEST_F(WorkspaceTest, EepromsShowOnlyTheChecksum) {
  Select("PIC 16F877");
  Select("24C16");
  const ConfigBox& box = ws.Config;
  EXPECT_FALSE(ws.Window.ProgramConfigEnabled);
  EXPECT_FALSE(box.Oscillator.Visible);
  EXPECT_FALSE(box.CodeProtect.Visible);
  EXPECT_FALSE(box.BrownOut.Visible);
  EXPECT_FALSE(box.FusesLabelVisible);
  EXPECT_FALSE(box.IdBoxVisible);
  EXPECT_FALSE(box.ConfigLabelVisible);
  for (const FuseCheckBox& fuse : box.Fuses) EXPECT_FALSE(fuse.Visible);
  EXPECT_EQ(box.ChecksumText, "F800");
  // Nothing of the PIC's protection lingers on hidden controls.
  EXPECT_FALSE(box.CodeProtectSelected());

  // Back to a PIC: its lists are usable again.
  Select("PIC 16F877");
  EXPECT_TRUE(box.Oscillator.Visible && box.Oscillator.Enabled);
  EXPECT_TRUE(box.CodeProtect.Visible && box.CodeProtect.Enabled);
  EXPECT_TRUE(ws.Window.ProgramConfigEnabled);
}

TEST_F(WorkspaceTest, SpiEepromsShowBlockProtectWithNothingProtected) {
  Select("25010");
  const ConfigBox& box = ws.Config;
  EXPECT_EQ(box.Oscillator.Caption, "Block Write Protect:");
  ASSERT_GE(box.Oscillator.Selected, 0);
  EXPECT_EQ(box.Oscillator.Items[box.Oscillator.Selected], "BP None");
  EXPECT_FALSE(box.FusesLabelVisible);
  EXPECT_FALSE(box.IdBoxVisible);
  EXPECT_FALSE(ws.Window.ProgramConfigEnabled);
  Select("PIC 16F84");
  EXPECT_EQ(box.Oscillator.Caption, "Oscillator:");
}

TEST_F(WorkspaceTest, PicControlsCarryCaptionsTooltipsAndTheBlankWord) {
  Select("PIC 16F84");
  const ConfigBox& box = ws.Config;
  EXPECT_EQ(box.Oscillator.Items, (std::vector<std::string>{"LP", "XT", "HS", "RC"}));
  EXPECT_EQ(box.Oscillator.Selected, 3);  // 0xFFFF: RC
  EXPECT_FALSE(box.CodeProtect.Visible);
  EXPECT_FALSE(box.BrownOut.Visible);
  EXPECT_EQ(box.Fuses[0].Caption, "WDT");
  EXPECT_EQ(box.Fuses[0].ToolTip, "Watchdog Timer Enable");
  EXPECT_TRUE(box.Fuses[0].Checked);   // watchdog bit set
  EXPECT_FALSE(box.Fuses[1].Checked);  // power-up timer is active low
  EXPECT_FALSE(box.Fuses[2].Checked);  // code protection off
  EXPECT_FALSE(box.Fuses[3].Visible);
  EXPECT_TRUE(box.IdBoxVisible);
  EXPECT_EQ(box.IdText, "FFFF");
  EXPECT_EQ(box.ConfigLabel, "Config word : 3FFFh");
  EXPECT_TRUE(ws.Window.EraseEnabled);

  Select("PIC 16C62A");
  EXPECT_FALSE(ws.Window.EraseEnabled);
  EXPECT_EQ(box.CodeProtect.Items.back(), "CP OFF");
  EXPECT_EQ(box.CodeProtect.Selected, 3);

  Select("90S2313");
  EXPECT_FALSE(box.IdBoxVisible);
  EXPECT_FALSE(box.ConfigLabelVisible);
  EXPECT_TRUE(ws.Window.ProgramConfigEnabled);
  EXPECT_EQ(box.Fuses[0].Caption, "Lock Bit 1");
  EXPECT_EQ(box.Fuses[0].ToolTip, "Lock Bit 1");
}

TEST_F(WorkspaceTest, DataViewFollowsTheDataEeprom) {
  Recorder views;
  ws.Observer = &views;
  Select("PIC 16F84");
  EXPECT_TRUE(ws.Window.DataViewVisible);
  EXPECT_TRUE(ws.Window.DataEntriesEnabled);
  EXPECT_EQ(ws.Window.CodeViewHeight, 196);
  EXPECT_EQ(views.calls, "clear data code position ");
  views.calls.clear();
  Select("PIC 16C71");
  EXPECT_FALSE(ws.Window.DataViewVisible);
  EXPECT_FALSE(ws.Window.DataEntriesEnabled);
  EXPECT_EQ(ws.Window.CodeViewHeight, 349);
  EXPECT_EQ(views.calls, "clear code position ");
  Select("90S8515");
  EXPECT_TRUE(ws.Window.DataViewVisible);
}

TEST_F(WorkspaceTest, StatusTextPadsToThirtySixCharacters) {
  Select("PIC 16F84");
  EXPECT_EQ(ws.Window.StatusDevice, "Device: PIC 16F84" + std::string(15, ' ') + "(62)");
  EXPECT_EQ(ws.Window.StatusDevice.size(), 36u);
  DeviceDescriptor named;
  named.MenuCommand = 100;
  named.Name = "A device with a long n";  // 8 + 22 + 5 = 35: one blank
  EXPECT_EQ(StatusDeviceText(named), "Device: A device with a long n (100)");
  named.Name = "A device with a long na";  // 36 already: no blank
  EXPECT_EQ(StatusDeviceText(named), "Device: A device with a long na(100)");
  named.Name = "A device with a long name";
  EXPECT_EQ(StatusDeviceText(named), "Device: A device with a long name(100)");
}

TEST_F(WorkspaceTest, SameDeviceTwiceLeavesOneRecentEntry) {
  Select("PIC 16F84");
  Select("24C16");
  Select("PIC 16F84");
  Select("PIC 16F84");
  EXPECT_EQ(ws.Recent.Captions(), (std::vector<std::string>{"&1 PIC 16F84", "&2 24C16"}));
  EXPECT_EQ(store.ReadString("RecDevice0", ""), "   PIC 16F84");
  // Choosing the second recent entry selects that device through the toolbar list.
  EXPECT_TRUE(ws.SelectRecentDevice(1));
  EXPECT_EQ(ws.Device.Name, "24C16");
  EXPECT_EQ(ws.List.Items()[ws.Window.DeviceListIndex], "24C16");
}

TEST_F(WorkspaceTest, ToolbarListRefusesSeparatorsAndFindsThe12CE519) {
  Select("PIC 16F84");
  const int selected = ws.Window.DeviceListIndex;
  EXPECT_EQ(ws.List.Items()[selected], "PIC 16F84");
  EXPECT_FALSE(ws.ComboBox4Change(3));  // a separator line
  EXPECT_EQ(ws.Window.DeviceListIndex, selected);
  EXPECT_EQ(ws.Device.Name, "PIC 16F84");

  EXPECT_TRUE(ws.ComboBox4Change(ws.List.IndexOf("PIC 12CE519")));
  EXPECT_EQ(ws.Device.Name, "PIC 12CE519");
  EXPECT_EQ(ws.List.Items()[ws.Window.DeviceListIndex], "PIC 12CE519");
  // Its recent entry selects it again, though its menu caption has no blank.
  Select("24C02");
  EXPECT_TRUE(ws.SelectRecentDevice(1));
  EXPECT_EQ(ws.Device.Name, "PIC 12CE519");
}

TEST_F(WorkspaceTest, SwitchingSlotsShowsTheirFileAndConfiguration) {
  Recorder views;
  ws.Observer = &views;
  Select("PIC 16F84");
  ws.Buffers.Slots[2].FileName = "/home/user/blink.hex";
  ws.Buffers.Slots[2].ConfigArea[7] = 0x3FF1;
  views.calls.clear();
  ws.Buffer11Click(2);
  EXPECT_EQ(ws.Buffers.ActiveBuffer, 2);
  EXPECT_EQ(ws.Window.Caption, "Kestrum 1.01 - Prototype Programmer - /home/user/blink.hex");
  EXPECT_EQ(ws.Config.ConfigLabel, "Config word : 3FF1h");
  EXPECT_EQ(ws.Config.Oscillator.Selected, 1);
  EXPECT_EQ(views.calls, "code data ");

  ws.Buffer11Click(1);  // a slot that never had a file
  EXPECT_EQ(ws.Window.Caption, "Kestrum 1.01 - Prototype Programmer");
  ws.Buffer11Click(5);  // Ctrl+6: no such slot
  EXPECT_EQ(ws.Buffers.ActiveBuffer, 1);
  EXPECT_EQ(BufferTabCaption(0), "Buffer 1");
}

}  // namespace
}  // namespace kestrum
