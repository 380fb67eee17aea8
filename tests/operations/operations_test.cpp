// SPDX-License-Identifier: GPL-3.0-or-later
// Read All, Program Config, Erase All and Blank Check on the PIC chip models with a
// recording Ui: what the user is asked and told, in order, what reaches the part and what lands
// in the active slot; and the devices this version does not drive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "pic_image.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;

TEST(PicReadAll, FillsTheActiveSlotInsideTheProgressWindow) {
  PicRig pic("PIC 16F83");
  auto& [chip, rig] = pic;
  std::mt19937 random(5);
  for (auto& w : chip->Code()) w = random() & 0x3FFF;
  for (auto& b : chip->Data()) b = random() & 0xFF;
  for (int i = 0; i < 4; ++i) chip->SetIdWord(i, static_cast<std::uint16_t>(i + 1));
  chip->SetConfigWord(0x3FF5);
  rig.workspace.Buffer11Click(2);
  ASSERT_TRUE(rig.Runs(&Operations::ReadAll, true, {}));
  EXPECT_TRUE(ChipHolds(*chip, rig.Device(), rig.Slot()));
  EXPECT_EQ(rig.workspace.Buffers.Slots[0].CodeBuffer[0], 0x3FFF);
  EXPECT_EQ(rig.workspace.Config.ConfigLabel, "Config word : 3FF5h");
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Reading Code (512) bytes", "Reading Code (512) bytes",
                     "Reading Data (64) bytes", "Reading Configuration"}));
  // The window comes up and goes down in this order around the phases.
  std::vector<Type> frame;
  for (const auto& e : rig.ui.Entries()) {
    if (e.type != Type::ProgressPosition && e.type != Type::ProgressRange && e.type != Type::Wait &&
        e.type != Type::ProgressText) {
      frame.push_back(e.type);
    }
  }
  EXPECT_EQ(frame, (std::vector<Type>{Type::FocusCodeView, Type::StatusPanel, Type::MainWindow,
                                      Type::ProgressCaption, Type::ProgressShown, Type::BusyCursor,
                                      Type::BusyCursor, Type::ProgressHidden, Type::StatusPanel,
                                      Type::MainWindow}));
  EXPECT_EQ(rig.ui.Texts(Type::StatusPanel), (Strings{"Reading...", ""}));
  EXPECT_EQ(rig.ui.Texts(Type::ProgressCaption), Strings{"Device: PIC 16F83"});
  EXPECT_EQ(rig.ui.OfType(Type::MainWindow).back().value, 1);

  // A 12-bit part shows its program memory but reads the ID words after it too; it has no
  // data memory, so no data phase.
  PicRig otp("PIC 12C508");
  for (std::size_t i = 0; i < otp.chip->Code().size(); ++i) otp.chip->Code()[i] = (i * 37) & 0xFFF;
  otp.chip->SetConfigWord(0xFEA);
  ASSERT_TRUE(otp.rig.Runs(&Operations::ReadAll, true, {}));
  EXPECT_EQ(
      otp.rig.ui.Texts(Type::ProgressText),
      (Strings{"Reading Code (516) bytes", "Reading Code (512) bytes", "Reading Configuration"}));
  EXPECT_TRUE(ChipHolds(*otp.chip, otp.rig.Device(), otp.rig.Slot()));
}

TEST(PicProgramConfig, ProgramsTheConfigurationAreaOnly) {
  PicRig pic("PIC 16F83");
  auto& [chip, rig] = pic;
  rig.options.Progging = true;
  chip->Code()[0] = 0x1234;
  rig.workspace.ShowConfigWord(0x3FF6);
  rig.workspace.Config.SetIdText(rig.Device(), rig.Slot(), "1234");
  rig.ui.Answer(false);
  EXPECT_TRUE(rig.ops.ProgramConfig().Declined);
  EXPECT_EQ(rig.programmer.OpenCount(), 0);
  rig.ui.Clear();
  EXPECT_TRUE(rig.ops.ProgramConfig().Succeeded());
  EXPECT_EQ(rig.ui.Questions(), Strings{"Do you really want to program the configuration?"});
  EXPECT_EQ(rig.ui.Messages(), Strings{"Configuration programmed!"});
  EXPECT_EQ(chip->ConfigWord(), 0x3FF6);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(chip->IdWord(i), i + 1);
  EXPECT_EQ(chip->Code()[0], 0x1234);
  EXPECT_EQ(chip->Data()[0], 0xFF);
  const auto windows = rig.ui.OfType(Type::MainWindow);
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0].value * 2 + windows[1].value, 1);  // disabled, then enabled
  EXPECT_TRUE(pic.Rested());

  // The configuration word of an EPROM part takes exactly 100 pulses; ID words already right
  // take none.
  PicRig eprom("PIC 16C622");
  eprom.rig.workspace.ShowConfigWord(0x3FB1);
  eprom.rig.workspace.Config.SetIdText(eprom.rig.Device(), eprom.rig.Slot(), "1234");
  for (int i = 0; i < 4; ++i) eprom.chip->SetIdWord(i, static_cast<std::uint16_t>(i + 1));
  EXPECT_TRUE(eprom.rig.Runs(&Operations::ProgramConfig, true, {"Configuration programmed!"}));
  EXPECT_EQ(eprom.chip->CountedPulses(), 100);
  EXPECT_EQ(eprom.chip->ConfigWord(),
            HeldAfterProgramming(eprom.rig.Slot(), eprom.rig.Device(), eprom.chip->Description())
                .ConfigArea[7]);
}

TEST(PicEraseAll, AsksErasesAndSaysSo) {
  PicRig pic("PIC 16F83");
  auto& [chip, rig] = pic;
  std::ranges::fill(chip->Code(), 0x1555);
  std::ranges::fill(chip->Data(), 0x12);
  chip->SetConfigWord(0x3FE5);  // protected
  rig.options.Erasing = true;
  rig.ui.Answer(false);
  EXPECT_TRUE(rig.ops.EraseAll().Declined);
  EXPECT_EQ(rig.programmer.OpenCount(), 0);
  rig.ui.Clear();
  EXPECT_TRUE(rig.ops.EraseAll().Succeeded());
  EXPECT_EQ(rig.ui.Questions(), Strings{"Do you really want to erase the device?"});
  EXPECT_EQ(rig.ui.Texts(Type::StatusPanel), (Strings{"Erasing...", ""}));
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device is erased."});
  EXPECT_TRUE(Untouched(*chip));
  EXPECT_TRUE(pic.Rested());

  PicRig eprom("PIC 16C622");  // not offered for a part that cannot be erased
  EXPECT_TRUE(eprom.rig.ops.EraseAll().Declined);
  EXPECT_TRUE(eprom.rig.ui.Entries().empty());
}

TEST(PicBlankCheck, VerdictsNameTheFirstUsedCell) {
  PicRig pic("PIC 16F83");
  auto& [chip, rig] = pic;
  ASSERT_TRUE(rig.Runs(&Operations::BlankCheck, true, {"Device is blank."}));
  EXPECT_EQ(rig.ui.Texts(Type::StatusPanel), (Strings{"Blank Check...", ""}));
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Reading Code (512) bytes", "Reading Data (64) bytes"}));
  auto verdict = [&rig] {
    rig.ui.Clear();
    EXPECT_FALSE(rig.ops.BlankCheck().Blank);
    EXPECT_EQ(rig.ui.OfType(Type::Beep).size(), 1u);
    EXPECT_EQ(rig.ui.OfType(Type::Message).at(0).kind, MessageKind::Warning);
    return rig.ui.Messages();
  };
  chip->Data()[3] = 0xFE;
  EXPECT_EQ(verdict(), Strings{"Device NOT blank at data address 0003h !"});
  chip->Code()[0x10] = 0x3FFE;
  EXPECT_EQ(verdict(), Strings{"Device NOT blank at address 0010h !"});

  PicRig otp("PIC 12C508");  // the factory calibration word and an ID word set: still blank
  otp.chip->SetIdWord(1, 0x0003);
  EXPECT_TRUE(otp.rig.Runs(&Operations::BlankCheck, true, {"Device is blank."}));
  EXPECT_EQ(otp.rig.ui.Texts(Type::ProgressText), Strings{"Reading Code (512) bytes"});
}

// Every command says the same, drives nothing and leaves the main window enabled: a device on a
// programmer that cannot program it (the TAFE and the TAIT Parallel serve one family each, the
// others neither of those), and the families this version has no protocol for.
TEST(Support, DevicesThisProgrammerOrVersionCannotDriveAreRefused) {
  struct Case {
    const char* device;
    ProgrammerType type;
    const char* message;
  };
  for (const Case& c : {
           Case{"PIC 16F84", ProgrammerType::Tafe,
                "This device is not supported by the TAFE Programmer"},
           Case{"PIC 16C54", ProgrammerType::Jdm,
                "This device is not supported by the JDM Programmer"},
           Case{"24C16", ProgrammerType::Tafe,
                "This device is not supported by the TAFE Programmer"},
           Case{"93C46", ProgrammerType::TaitParallel,
                "This device is not supported by the TAIT Parallel Programmer"},
           Case{"89C2051", ProgrammerType::Jdm,
                "This device is not supported by the JDM Programmer"},
           Case{"90S2313", ProgrammerType::Tafe,
                "This device is not supported by the TAFE Programmer"},
           Case{"25040", ProgrammerType::TaitParallel,
                "This device is not supported by the TAIT Parallel Programmer"},
           // The TAFE drives the flash parts only, the TAIT Parallel the parallel-only PICs.
           Case{"PIC 16C54", ProgrammerType::Tafe,
                "This device is not supported by the TAFE Programmer"},
           Case{"NVM 3060", ProgrammerType::Tafe,
                "This device is not supported by the TAFE Programmer"},
           Case{"89C2051", ProgrammerType::TaitParallel,
                "This device is not supported by the TAIT Parallel Programmer"},
           Case{"PIC 16F84", ProgrammerType::TaitParallel,
                "This device is not supported by the TAIT Parallel Programmer"},
           Case{"24C16", ProgrammerType::TaitParallel,
                "This device is not supported by the TAIT Parallel Programmer"},
       }) {
    LifecycleRig rig(c.device, c.type, nullptr);
    for (auto command :
         {&Operations::ReadAll, &Operations::ProgramAll, &Operations::Verify,
          &Operations::BlankCheck, &Operations::EraseAll, &Operations::ProgramConfig}) {
      const OperationResult result = (rig.ops.*command)();
      EXPECT_TRUE(result.Refused || result.Declined) << c.device;
    }
    EXPECT_THAT(rig.ui.Messages(), ::testing::Each(std::string(c.message))) << c.device;
    EXPECT_GE(rig.ui.Messages().size(), 4u) << c.device;
    EXPECT_EQ(rig.ui.OfType(Type::MainWindow).back().value, 1) << c.device;
    EXPECT_EQ(rig.programmer.OpenCount(), 0);
  }
}

}  // namespace
}  // namespace kestrum::testing
