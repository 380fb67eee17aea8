// Read All, Program All, Program Config and Erase All on PICs with a recording Ui: what the
// user is asked and told, in order, what reaches the chip, and what lands in the active slot.
#include "operations/operations.hpp"

#include <gtest/gtest.h>

#include <cerrno>

#include "operations/texts.hpp"
#include "ops_rig.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;
using Strings = std::vector<std::string>;

const std::vector<int> kEraseCommands = {0, 6, 6, 6, 6, 6, 6, 6, 1, 7, 8, 3, 8, 1, 7};

void ExpectRested(OpsRig& rig) {
  EXPECT_FALSE(rig.lines.IsPortOpen());
  const ChipPins& pins = rig.programmer.Board().Pins();
  EXPECT_FALSE(pins.mclr || pins.clock || pins.data);
  EXPECT_EQ(rig.lines.Lines().CriticalDepth, 0);
}

TEST(ReadAll, CodeDataAndConfigurationIntoTheActiveSlot) {
  OpsRig rig("PIC 16F83");
  std::mt19937 random(5);
  for (auto& w : rig.chip.code) w = random() & 0x3FFF;
  for (auto& b : rig.chip.data) b = random() & 0xFF;
  rig.chip.config = {1, 2, 3, 4, 0x3FFF, 0x3FFF, 0x0560, 0x3FF5};
  rig.chip.dataHighBits = 0x3F00;  // only the byte belongs in the buffer
  rig.workspace.Buffer11Click(2);

  EXPECT_TRUE(rig.ops.ReadAll().Succeeded());
  EXPECT_TRUE(rig.ui.Messages().empty());
  EXPECT_TRUE(rig.SlotHolds(rig.slot().CodeBuffer, rig.chip.code));
  EXPECT_TRUE(rig.SlotHolds(rig.slot().DataBuffer, rig.chip.data));
  EXPECT_TRUE(rig.SlotHolds(rig.slot().ConfigArea, rig.chip.config));
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
  ExpectRested(rig);
}

TEST(ReadAll, TwelveBitPartCountsProgramMemoryButReadsTheIdWordsToo) {
  OpsRig rig("PIC 12C508");
  for (std::size_t i = 0; i < rig.chip.code.size(); ++i) rig.chip.code[i] = (i * 37) & 0xFFF;
  rig.chip.config12 = 0xFEA;
  rig.ops.ReadAll();
  EXPECT_EQ(
      rig.ui.Texts(Type::ProgressText),
      (Strings{"Reading Code (516) bytes", "Reading Code (512) bytes", "Reading Configuration"}));
  EXPECT_TRUE(rig.SlotHolds(rig.slot().CodeBuffer, rig.chip.code));  // all 516 words
  EXPECT_EQ(rig.slot().ConfigArea[0], 0xFEA);
  EXPECT_EQ(rig.chip.Count(5), 0);  // no data memory, no data phase
}

TEST(Operations, PortThatDoesNotOpenEndsTheCommandCleanly) {
  OpsRig rig("PIC 16F83");
  rig.programmer.FailOpen(EACCES);
  rig.slot().CodeBuffer[0] = 0x1234;
  EXPECT_TRUE(rig.ops.ReadAll().PortFailed);
  EXPECT_EQ(rig.slot().CodeBuffer[0], 0x1234);
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText).size(), 2u);  // no data or configuration phase
  EXPECT_EQ(rig.ui.OfType(Type::MainWindow).back().value, 1);
  for (auto command : {&Operations::ReadAll, &Operations::ProgramAll, &Operations::Verify,
                       &Operations::EraseAll, &Operations::ProgramConfig}) {
    rig.ui.Clear();
    const OperationResult result = (rig.ops.*command)();
    EXPECT_TRUE(result.PortFailed && result.ProblemShown());
    // The port's own message and nothing after it: no verdict, no verify, no "done".
    ASSERT_EQ(rig.ui.Messages().size(), 1u);
    EXPECT_EQ(rig.ui.OfType(Type::Message)[0].kind, MessageKind::Error);
  }
  EXPECT_EQ(rig.chip.entries, 0);
}

TEST(ProgramAll, FlashPartErasesThenProgramsAndVerifies) {
  OpsRig rig("PIC 16F83");
  rig.options.VerDurProg = true;
  rig.RandomImage(11);
  std::copy_n(std::begin({0xA, 1, 2, 5}), 4, rig.slot().ConfigArea.begin());
  rig.slot().ConfigArea[7] = 0x3FF5;
  rig.workspace.ShowStoredConfigWord();

  const OperationResult result = rig.ops.ProgramAll();
  EXPECT_TRUE(result.Succeeded() && result.Verified && result.VerifyPassed);
  EXPECT_EQ(rig.ui.Questions(), Strings{"Do you really want to program the device?"});
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device successfully verified!"});
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Programming Code (512) bytes", "Programming Code (512) bytes",
                     "Programming Data (64) bytes", "Programming Configuration",
                     "Verifying Code (512) bytes", "Verifying Data (64) bytes"}));
  EXPECT_TRUE(std::equal(kEraseCommands.begin(), kEraseCommands.end(), rig.chip.Codes().begin()));
  EXPECT_TRUE(rig.SlotHolds(rig.slot().CodeBuffer, rig.chip.code));
  EXPECT_TRUE(rig.SlotHolds(rig.slot().DataBuffer, rig.chip.data));
  EXPECT_EQ(rig.chip.config,
            (std::array<std::uint16_t, 8>{0xA, 1, 2, 5, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FF5}));
  for (std::int64_t gap : rig.chip.GapsAfterBegin(kEraseCommands.size())) EXPECT_GE(gap, 10000);
  ExpectRested(rig);
}

TEST(ProgramAll, ConfirmationsDecideWhetherAnythingHappens) {
  OpsRig no("PIC 16F84");  // No to programming: nothing driven, no verify
  no.ui.Answer(false);
  EXPECT_TRUE(no.ops.ProgramAll().Declined);
  EXPECT_EQ(no.ui.Questions(), Strings{"Do you really want to program the device?"});
  EXPECT_TRUE(no.ui.Messages().empty());
  EXPECT_EQ(no.programmer.OpenCount(), 0);

  OpsRig quiet("PIC 16F83");  // confirmation off; no protection chosen: nothing asked
  quiet.options = {.Progging = false, .Verify = false, .Warning = true};
  quiet.ops.ProgramAll();
  EXPECT_TRUE(quiet.ui.Questions().empty() && quiet.ui.Messages().empty());
  EXPECT_GT(quiet.chip.entries, 0);
}

TEST(ProgramConfig, ProgramsTheConfigurationArea) {
  OpsRig rig("PIC 16F83");
  rig.slot().ConfigArea[7] = 0x3FF6;
  rig.workspace.ShowStoredConfigWord();
  EXPECT_TRUE(rig.ops.ProgramConfig().Succeeded());
  EXPECT_EQ(rig.ui.Questions(), Strings{"Do you really want to program the configuration?"});
  EXPECT_EQ(rig.ui.Messages(), Strings{"Configuration programmed!"});
  // The ID words (from the ID box) and the configuration word; nothing outside the area.
  EXPECT_EQ(rig.chip.pulses,
            (std::map<int, int>{{0x2000, 1}, {0x2001, 1}, {0x2002, 1}, {0x2003, 1}, {0x2007, 1}}));
  EXPECT_EQ(rig.chip.config[7], 0x3FF6);
  const auto windows = rig.ui.OfType(Type::MainWindow);
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0].value * 2 + windows[1].value, 1);  // disabled, then enabled

  OpsRig eprom("PIC 16C622");  // the configuration word of an EPROM part: exactly 100 pulses
  eprom.options.Progging = false;
  eprom.slot().ConfigArea[7] = 0x3FB1;
  eprom.workspace.ShowStoredConfigWord();
  eprom.ops.ProgramConfig();
  EXPECT_EQ(eprom.chip.pulses[0x2007], 100);
  EXPECT_EQ(eprom.chip.config[7], eprom.slot().ConfigArea[7]);

  OpsRig no("PIC 16F83");
  no.ui.Answer(false);
  EXPECT_TRUE(no.ops.ProgramConfig().Declined);
  EXPECT_EQ(no.programmer.OpenCount(), 0);
}

TEST(EraseAll, AsksErasesAndSaysSo) {
  OpsRig rig("PIC 16F83");
  rig.options.Erasing = true;
  rig.ui.Answer(false);
  EXPECT_TRUE(rig.ops.EraseAll().Declined);
  EXPECT_EQ(rig.programmer.OpenCount(), 0);
  rig.ui.Clear();
  EXPECT_TRUE(rig.ops.EraseAll().Succeeded());
  EXPECT_EQ(rig.ui.Questions(), Strings{"Do you really want to erase the device?"});
  EXPECT_EQ(rig.ui.Texts(Type::StatusPanel), (Strings{"Erasing...", ""}));
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device is erased."});
  EXPECT_EQ(rig.chip.Codes(), kEraseCommands);
  for (std::int64_t gap : rig.chip.GapsAfterBegin()) EXPECT_GE(gap, 20000);
  ExpectRested(rig);

  OpsRig eprom("PIC 16C622");  // not offered for a part that cannot be erased
  EXPECT_TRUE(eprom.ops.EraseAll().Declined);
  EXPECT_TRUE(eprom.ui.Entries().empty());
}

}  // namespace
}  // namespace kestrum::testing
