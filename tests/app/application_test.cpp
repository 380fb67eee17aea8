// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and activation of the application without a window.
#include "app/application.hpp"

#include <gtest/gtest.h>

#include "core/recording_ui.hpp"
#include "sim/chips/pic_chip.hpp"
#include "sim/boards/sim_port.hpp"

namespace kestrum {
namespace {

class ApplicationTest : public ::testing::Test {
 protected:
  Application& Start(std::vector<std::string> args) {
    auto parsed = ParseCommandLine(args);
    app = std::make_unique<Application>(settings, ui, clock, programmer);
    app->WindowVisible = false;
    outcome = app->Startup(std::get<CommandLine>(parsed));
    return *app;
  }
  MemorySettingsStore settings;
  RecordingUi ui;
  VirtualClock clock;
  VirtualProgrammer programmer{clock};
  std::unique_ptr<Application> app;
  Application::StartupOutcome outcome;
};

TEST_F(ApplicationTest, AnEmptyStoreGivesTheDefaultsAndAFirstStart) {
  Application& a = Start({});
  EXPECT_TRUE(outcome.FirstStart);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{
                               "This is the first time you start Kestrum. Please configure your "
                               "hardware first!"});
  EXPECT_EQ(a.Work.Device.Name, "NVM 3060");
  EXPECT_EQ(a.Work.Device.MenuCommand, 58);
  EXPECT_EQ(a.Lines.Settings().Programmer, ProgrammerType::Jdm);
  EXPECT_EQ(a.Lines.Settings().Port, "Com 2");
  EXPECT_EQ(a.Lines.Settings().PortBase, 0);  // five characters: no base address
  EXPECT_TRUE(a.Operation.Progging);
  EXPECT_TRUE(a.Operation.Verify);
  EXPECT_EQ(a.PortStatusText(), "Com 2 on JDM Programmer");
  // The selection was written, so the next start is not a first start.
  EXPECT_TRUE(settings.Exists());
}

TEST_F(ApplicationTest, SavedDeviceOrFallbackToTheFirstDevice) {
  settings.WriteInteger("Device", 62);
  EXPECT_EQ(Start({}).Work.Device.Name, "PIC 16F84");
  EXPECT_FALSE(outcome.FirstStart);
  settings.WriteInteger("Device", 51);  // the disabled "SDA2526": no device behind it
  EXPECT_EQ(Start({}).Work.Device.Name, "59C11");
  settings.WriteInteger("Device", 12);
  EXPECT_EQ(Start({}).Work.Device.Name, "59C11");
}

TEST_F(ApplicationTest, CommandLineStepsApplyInOrderWithoutSavingTheProgrammer) {
  settings.WriteString("Port", "Com1");
  Application& a = Start({"-g1", "-t62", "-f3FF1"});
  EXPECT_EQ(a.Lines.Settings().Port, "LPT1");
  EXPECT_EQ(a.Lines.Settings().Programmer, ProgrammerType::Conquest);
  EXPECT_EQ(a.Lines.Settings().PortBase, 0x378);
  EXPECT_EQ(a.Work.Active().ConfigArea[7], 0x3FF1);
  EXPECT_EQ(a.Work.Config.Oscillator.Selected, 1);
  EXPECT_EQ(settings.ReadString("Port", ""), "Com1");
  EXPECT_FALSE(settings.Values().contains("Programmer"));

  Application& b = Start({"-o3"});
  EXPECT_EQ(b.Lines.Settings().Port, "Com3");
  EXPECT_EQ(b.Lines.Settings().PortBase, 0x3E8);
}

TEST_F(ApplicationTest, PendingActionsRunOnceInOrderAndQuitAfterTheNamedOne) {
  settings.WriteInteger("Device", 62);
  auto chip = PicChip::ForDevice("PIC 16F84");
  programmer.Insert(chip.get());
  settings.WriteBool("Progging", false);
  Application& a = Start({"-p", "-r", "-q"});
  a.Work.Active().CodeBuffer[0] = 0x2805;
  ui.Clear();
  const auto first = a.OnActivate();
  EXPECT_TRUE(first.Ran);
  EXPECT_TRUE(first.Succeeded);
  EXPECT_TRUE(first.Quit);  // the last of -p, -r was -r, and Read All ran
  const std::vector<std::string> expected = {"Device successfully verified!"};
  EXPECT_EQ(ui.Messages(), expected);
  EXPECT_EQ(a.Work.Active().CodeBuffer[0], 0x2805);  // read back
  const auto second = a.OnActivate();
  EXPECT_FALSE(second.Ran);
  EXPECT_EQ(ui.Messages(), expected);
}

TEST_F(ApplicationTest, RecentFilesReopenWithTheirType) {
  Application& a = Start({});
  a.AddRecentFile("/nowhere/a.hex", FileType::MotorolaS);
  a.AddRecentFile("/nowhere/b.hex", FileType::Ihx8);
  EXPECT_EQ(a.OpenRecentFile(1), OpenResult::NotOpened);
  EXPECT_EQ(a.Recent.Entries().front(), (RecentFile{"/nowhere/a.hex", 5}));
  EXPECT_EQ(settings.ReadString("Index0", ""), "5");
}

}  // namespace
}  // namespace kestrum
