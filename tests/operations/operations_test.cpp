// Read All, Program All, Program Config and Erase All on PICs with a recording Ui: what the
// user is asked and told, in order, what reaches the chip, and what lands in the active slot.
#include "operations/operations.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "operations/texts.hpp"
#include "ops_rig.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;
using Strings = std::vector<std::string>;

const std::vector<int> kEraseCommands = {0, 6, 6, 6, 6, 6, 6, 6, 1, 7, 8, 3, 8, 1, 7};

// The entries without the per-word progress and the waits.
std::vector<RecordingUi::Entry> Frame(const RecordingUi& ui) {
  std::vector<RecordingUi::Entry> frame;
  for (const auto& e : ui.Entries()) {
    if (e.type != Type::ProgressPosition && e.type != Type::ProgressRange && e.type != Type::Wait) {
      frame.push_back(e);
    }
  }
  return frame;
}

void ExpectRested(OpsRig& rig) {
  EXPECT_FALSE(rig.lines.IsPortOpen());
  const ChipPins& pins = rig.programmer.Board().Pins();
  EXPECT_FALSE(pins.mclr);
  EXPECT_FALSE(pins.clock);
  EXPECT_FALSE(pins.data);
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

  const OperationResult result = rig.ops.ReadAll();
  EXPECT_TRUE(result.Succeeded());
  EXPECT_TRUE(rig.ui.Messages().empty());
  const BufferSlot& slot = rig.workspace.Buffers.Slots[2];
  EXPECT_TRUE(std::equal(rig.chip.code.begin(), rig.chip.code.end(), slot.CodeBuffer.begin()));
  EXPECT_TRUE(std::equal(rig.chip.data.begin(), rig.chip.data.end(), slot.DataBuffer.begin()));
  EXPECT_TRUE(std::equal(rig.chip.config.begin(), rig.chip.config.end(), slot.ConfigArea.begin()));
  EXPECT_EQ(rig.workspace.Buffers.Slots[0].CodeBuffer[0], 0x3FFF);  // other slots untouched
  EXPECT_EQ(rig.workspace.Config.ConfigLabel, "Config word : 3FF5h");

  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Reading Code (512) bytes", "Reading Code (512) bytes",
                     "Reading Data (64) bytes", "Reading Configuration"}));
  // The window comes up and goes down in this order.
  const auto frame = Frame(rig.ui);
  ASSERT_GE(frame.size(), 13u);
  EXPECT_EQ(frame[0].type, Type::FocusCodeView);
  EXPECT_EQ(frame[1], (RecordingUi::Entry{.type = Type::StatusPanel, .text = "Reading..."}));
  EXPECT_EQ(frame[2], (RecordingUi::Entry{.type = Type::MainWindow, .value = 0}));
  EXPECT_EQ(frame[3],
            (RecordingUi::Entry{.type = Type::ProgressCaption, .text = "Device: PIC 16F83"}));
  EXPECT_EQ(frame[5].type, Type::ProgressShown);
  EXPECT_EQ(frame[6], (RecordingUi::Entry{.type = Type::BusyCursor, .value = 1}));
  const std::size_t n = frame.size();
  EXPECT_EQ(frame[n - 4], (RecordingUi::Entry{.type = Type::BusyCursor, .value = 0}));
  EXPECT_EQ(frame[n - 3].type, Type::ProgressHidden);
  EXPECT_EQ(frame[n - 2], (RecordingUi::Entry{.type = Type::StatusPanel, .text = ""}));
  EXPECT_EQ(frame[n - 1], (RecordingUi::Entry{.type = Type::MainWindow, .value = 1}));
  EXPECT_EQ(rig.ui.OfType(Type::ProgressPosition).back().value, 0);
  ExpectRested(rig);
}

TEST(ReadAll, TwelveBitPartCountsProgramMemoryButReadsTheIdWordsToo) {
  OpsRig rig("PIC 12C508");
  std::mt19937 random(8);
  for (auto& w : rig.chip.code) w = random() & 0xFFF;
  rig.chip.config12 = 0xFEA;
  rig.ops.ReadAll();
  EXPECT_EQ(
      rig.ui.Texts(Type::ProgressText),
      (Strings{"Reading Code (516) bytes", "Reading Code (512) bytes", "Reading Configuration"}));
  EXPECT_TRUE(
      std::equal(rig.chip.code.begin(), rig.chip.code.end(), rig.slot().CodeBuffer.begin()));
  EXPECT_EQ(rig.chip.code.size(), 516u);
  EXPECT_EQ(rig.slot().ConfigArea[0], 0xFEA);
  EXPECT_EQ(rig.chip.Count(5), 0);  // no data memory: no data phase
}

TEST(ReadAll, CancelInTheCodePhaseStillReadsDataAndConfiguration) {
  OpsRig rig("PIC 16F83", ProgrammerType::TaitSerial);
  std::mt19937 random(3);
  for (auto& w : rig.chip.code) w = random() & 0x3FFF;
  for (auto& b : rig.chip.data) b = random() & 0xFF;
  rig.chip.config[7] = 0x3FF2;
  // The hook runs on whichever thread makes the call: the worker's and the waiting one.
  std::atomic<bool> pressed{false};
  rig.ui.onEntry = [&](const RecordingUi::Entry& e) {
    if (e.type == Type::ProgressPosition && e.value == 10 && !pressed.exchange(true)) {
      rig.ui.PressCancel();
    }
  };
  const OperationResult result = rig.ops.ReadAll();
  EXPECT_TRUE(result.Cancelled);
  EXPECT_FALSE(result.Succeeded());
  EXPECT_TRUE(
      std::equal(rig.chip.code.begin(), rig.chip.code.begin() + 11, rig.slot().CodeBuffer.begin()));
  EXPECT_TRUE(std::all_of(rig.slot().CodeBuffer.begin() + 11, rig.slot().CodeBuffer.begin() + 512,
                          [](std::uint16_t w) { return w == 0; }));
  EXPECT_TRUE(
      std::equal(rig.chip.data.begin(), rig.chip.data.end(), rig.slot().DataBuffer.begin()));
  EXPECT_EQ(rig.slot().ConfigArea[7], 0x3FF2);
  EXPECT_EQ(rig.chip.entries, 3);
  ExpectRested(rig);
  EXPECT_FALSE(rig.programmer.Board().Pins().vcc);
}

TEST(Operations, PortThatDoesNotOpenEndsTheCommandCleanly) {
  OpsRig rig("PIC 16F83");
  rig.programmer.FailOpen(EACCES);
  rig.slot().CodeBuffer[0] = 0x1234;

  OperationResult result = rig.ops.ReadAll();
  EXPECT_TRUE(result.PortFailed);
  EXPECT_EQ(rig.ui.Messages().size(), 1u);  // the port's own message, nothing after it
  EXPECT_EQ(rig.slot().CodeBuffer[0], 0x1234);
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText).size(), 2u);  // no data or configuration phase
  EXPECT_EQ(rig.ui.Entries().back(), (RecordingUi::Entry{.type = Type::MainWindow, .value = 1}));

  for (auto command : {&Operations::ProgramAll, &Operations::Verify, &Operations::EraseAll,
                       &Operations::ProgramConfig}) {
    rig.ui.Clear();
    result = (rig.ops.*command)();
    EXPECT_TRUE(result.PortFailed);
    EXPECT_TRUE(result.ProblemShown());
    ASSERT_EQ(rig.ui.Messages().size(), 1u);
    EXPECT_EQ(rig.ui.OfType(Type::Message)[0].kind, MessageKind::Error);
  }
  EXPECT_EQ(rig.chip.entries, 0);
}

TEST(ProgramAll, FlashPartErasesProgramsVerifiesAndReadsBack) {
  OpsRig rig("PIC 16F83");
  rig.options.VerDurProg = true;
  rig.RandomImage(11);
  rig.slot().ConfigArea = std::vector<std::uint16_t>(kConfigAreaSize, 0x3FFF);
  rig.slot().ConfigArea[0] = 0xA;
  rig.slot().ConfigArea[3] = 0x5;
  rig.slot().ConfigArea[7] = 0x3FF5;
  rig.workspace.ShowStoredConfigWord();

  const OperationResult result = rig.ops.ProgramAll();
  EXPECT_TRUE(result.Succeeded());
  EXPECT_TRUE(result.Verified && result.VerifyPassed);
  EXPECT_EQ(rig.ui.Questions(), Strings{std::string(text::kConfirmProgram)});
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device successfully verified!"});
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Programming Code (512) bytes", "Programming Code (512) bytes",
                     "Programming Data (64) bytes", "Programming Configuration",
                     "Verifying Code (512) bytes", "Verifying Data (64) bytes"}));
  const std::vector<int> codes = rig.chip.Codes();
  EXPECT_TRUE(std::equal(kEraseCommands.begin(), kEraseCommands.end(), codes.begin()));
  EXPECT_TRUE(
      std::equal(rig.chip.code.begin(), rig.chip.code.end(), rig.slot().CodeBuffer.begin()));
  EXPECT_TRUE(
      std::equal(rig.chip.data.begin(), rig.chip.data.end(), rig.slot().DataBuffer.begin()));
  EXPECT_EQ(rig.chip.config[0], 0xA);
  EXPECT_EQ(rig.chip.config[3], 0x5);
  EXPECT_EQ(rig.chip.config[7], 0x3FF5);
  // Every programming cycle of a 16F83 waits 10 ms.
  const auto gaps = rig.chip.GapsAfterBegin();
  EXPECT_TRUE(std::all_of(gaps.begin() + 2, gaps.end(), [](std::int64_t g) { return g >= 10000; }));
  ExpectRested(rig);

  // Read All into another slot returns the same image.
  rig.workspace.Buffer11Click(1);
  rig.ops.ReadAll();
  const BufferSlot& first = rig.workspace.Buffers.Slots[0];
  const BufferSlot& second = rig.workspace.Buffers.Slots[1];
  EXPECT_TRUE(std::equal(first.CodeBuffer.begin(), first.CodeBuffer.begin() + 512,
                         second.CodeBuffer.begin()));
  EXPECT_TRUE(std::equal(first.DataBuffer.begin(), first.DataBuffer.begin() + 64,
                         second.DataBuffer.begin()));
  EXPECT_TRUE(std::equal(first.ConfigArea.begin(), first.ConfigArea.begin() + 8,
                         second.ConfigArea.begin()));
}

TEST(ProgramAll, ConfirmationsDecideWhetherAnythingHappens) {
  {  // No to programming: nothing driven, no verify.
    OpsRig rig("PIC 16F84");
    rig.ui.Answer(false);
    const OperationResult result = rig.ops.ProgramAll();
    EXPECT_TRUE(result.Declined);
    EXPECT_EQ(rig.ui.Questions(), Strings{std::string(text::kConfirmProgram)});
    EXPECT_TRUE(rig.ui.Messages().empty());
    EXPECT_EQ(rig.programmer.OpenCount(), 0);
  }
  {  // Code protection chosen and the warning option on: No stops it all.
    OpsRig rig("PIC 16F84");
    rig.options.Warning = true;
    rig.workspace.Config.Fuses[2].Checked = true;  // "CP"
    ASSERT_TRUE(rig.workspace.Config.CodeProtectSelected());
    rig.ui.Answer(true);
    rig.ui.Answer(false);
    const OperationResult result = rig.ops.ProgramAll();
    EXPECT_TRUE(result.Declined);
    EXPECT_FALSE(result.Verified);
    EXPECT_EQ(rig.ui.Questions(), (Strings{"Do you really want to program the device?",
                                           "Do you really want to enable \"Code Protect\" for "
                                           "this device?"}));
    EXPECT_TRUE(rig.ui.Messages().empty());
    EXPECT_EQ(rig.programmer.OpenCount(), 0);
    EXPECT_EQ(rig.chip.entries, 0);
  }
  {  // Both options off: no question at all, straight to programming.
    OpsRig rig("PIC 16F83");
    rig.options.Progging = false;
    rig.options.Warning = true;  // no protection chosen: not asked
    rig.options.Verify = false;
    rig.ops.ProgramAll();
    EXPECT_TRUE(rig.ui.Questions().empty());
    EXPECT_TRUE(rig.ui.Messages().empty());
    EXPECT_GT(rig.chip.entries, 0);
  }
}

TEST(ProgramAll, WordThatWillNotProgramEndsTheCommand) {
  {
    OpsRig rig("PIC 16F83");
    rig.options.VerDurProg = true;
    rig.chip.stuckAddress = 0x23;
    rig.RandomImage(2);
    const OperationResult result = rig.ops.ProgramAll();
    EXPECT_TRUE(result.Failed);
    EXPECT_FALSE(result.Verified);
    const auto messages = rig.ui.OfType(Type::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Programming failed at Code address 0023h !");
    EXPECT_EQ(messages[0].kind, MessageKind::Error);
    EXPECT_EQ(rig.chip.Count(3), 1);  // the erase's; no data programmed
    EXPECT_EQ(rig.chip.Count(0), 1);  // nor the configuration
    ExpectRested(rig);
  }
  {
    OpsRig rig("PIC 16F83");
    rig.options.VerDurProg = true;
    rig.chip.stuckDataAddress = 5;
    rig.RandomImage(4);
    rig.slot().DataBuffer[5] = 0x12;
    const OperationResult result = rig.ops.ProgramAll();
    EXPECT_TRUE(result.Failed);
    EXPECT_EQ(rig.ui.Messages(), Strings{"Programming failed at Data address 0005h !"});
    EXPECT_EQ(rig.chip.Count(0), 1);
  }
}

TEST(ProgramAll, SixteenF628WaitsTwoMillisecondsForOneRunOnly) {
  OpsRig rig("PIC 16F628");
  rig.options.Verify = false;
  rig.slot().CodeBuffer[1] = 0x1234;
  rig.slot().CodeBuffer[2000] = 0x0ABC;
  rig.slot().DataBuffer[7] = 0x42;
  rig.ops.ProgramAll();
  EXPECT_EQ(rig.ops.Timing().ProgramWaitMs, 10);
  const std::size_t erase = kEraseCommands.size();
  std::vector<std::int64_t> gaps;
  for (std::size_t i = erase; i + 1 < rig.chip.commands.size(); ++i) {
    if (rig.chip.commands[i].code == 8) {
      gaps.push_back(rig.chip.commands[i + 1].timeUs - rig.chip.commands[i].timeUs);
    }
  }
  // Two code words, one data byte and the configuration word.
  ASSERT_GE(gaps.size(), 4u);
  for (std::int64_t gap : gaps) {
    EXPECT_GE(gap, 2000);
    EXPECT_LT(gap, 3000);
  }
  EXPECT_EQ(rig.chip.code[2000], 0x0ABC);
  EXPECT_EQ(rig.chip.data[7], 0x42);

  // The next run that programs takes 10 ms again.
  rig.chip.commands.clear();
  rig.chip.config[7] = 0;
  rig.ops.ProgramConfig();
  const auto configGaps = rig.chip.GapsAfterBegin();
  ASSERT_FALSE(configGaps.empty());
  for (std::int64_t gap : configGaps) EXPECT_GE(gap, 10000);
}

TEST(ProgramAll, SixteenF84AStartsCyclesWithTheProgramOnlyCommand) {
  OpsRig rig("PIC 16F84A");
  rig.options.Verify = false;
  rig.slot().CodeBuffer[3] = 0x0F0F;
  rig.ops.ProgramAll();
  EXPECT_EQ(rig.chip.code[3], 0x0F0F);
  EXPECT_EQ(rig.chip.Count(8), 2);  // the erase's own
  EXPECT_GE(rig.chip.Count(24), 2);
}

// A 12-bit EPROM part with a factory calibration word at its last program word (511).
struct CalibrationCase {
  std::uint16_t device;
  std::uint16_t file;
  bool answer;
};

TEST(ProgramAll, FactoryCalibrationWordSurvives) {
  OpsRig rig("PIC 12C508");
  rig.chip.code[511] = 0x0C20;
  rig.RandomImage(21, 40);  // the rest of program memory stays blank: no pulses needed
  rig.slot().CodeBuffer[511] = 0x0C00;
  const OperationResult result = rig.ops.ProgramAll();
  EXPECT_TRUE(result.Succeeded()) << ::testing::PrintToString(rig.ui.Messages());
  EXPECT_EQ(rig.ui.Questions(), Strings{std::string(text::kConfirmProgram)});
  EXPECT_EQ(rig.slot().CodeBuffer[511], 0x0C20);
  EXPECT_EQ(rig.chip.code[511], 0x0C20);
  EXPECT_TRUE(
      std::equal(rig.chip.code.begin(), rig.chip.code.begin() + 40, rig.slot().CodeBuffer.begin()));
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Programming Code (516) bytes", "Reading Code (512) bytes",
                     "Programming Code (512) bytes", "Programming Configuration",
                     "Verifying Code (512) bytes"}));
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device successfully verified!"});
  EXPECT_EQ(rig.chip.config12, rig.slot().ConfigArea[0] & 0xFFF);
}

TEST(ProgramAll, BlankCalibrationWordAsksWhichValueToUse) {
  for (const CalibrationCase c :
       {CalibrationCase{0xFFF, 0x0C34, false}, CalibrationCase{0x000, 0x0C34, false},
        CalibrationCase{0xFFF, 0x0C34, true}}) {
    SCOPED_TRACE(c.device);
    OpsRig rig("PIC 12C508");
    rig.options.Verify = false;
    rig.chip.code[511] = c.device;
    rig.slot().CodeBuffer[511] = c.file;
    rig.ui.Answer(true);
    rig.ui.Answer(c.answer);
    rig.ops.ProgramAll();
    const auto questions = rig.ui.OfType(Type::Question);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[1].text,
              "No \"Oscillator Callibration Value\" found.\rDo you want to use value from file "
              "(0C34) instead ?");
    EXPECT_EQ(questions[1].kind, MessageKind::Warning);
    const std::uint16_t expected = c.answer ? c.file : c.device;
    EXPECT_EQ(rig.slot().CodeBuffer[511], expected);
    EXPECT_EQ(rig.chip.code[511], c.device & expected);
  }
}

TEST(ProgramAll, CancelBeforeTheCalibrationWordIsReadProgramsNothing) {
  OpsRig rig("PIC 12C508");
  rig.chip.code[511] = 0x0C20;
  rig.slot().CodeBuffer[0] = 0x123;
  // The hook runs on whichever thread makes the call: the worker's and the waiting one.
  std::atomic<bool> pressed{false};
  rig.ui.onEntry = [&](const RecordingUi::Entry& e) {
    if (e.type == Type::ProgressPosition && e.value == 3 && !pressed.exchange(true)) {
      rig.ui.PressCancel();
    }
  };
  const OperationResult result = rig.ops.ProgramAll();
  EXPECT_TRUE(result.Cancelled);
  EXPECT_FALSE(result.Verified);
  EXPECT_TRUE(rig.ui.Messages().empty());
  EXPECT_EQ(rig.chip.Count(2), 0);
  EXPECT_EQ(rig.slot().CodeBuffer[511], 0xFFF);
  ExpectRested(rig);
}

TEST(ProgramConfig, ProgramsTheConfigurationArea) {
  {
    OpsRig rig("PIC 16F83");
    rig.slot().ConfigArea[7] = 0x3FF6;
    rig.workspace.ShowStoredConfigWord();
    const OperationResult result = rig.ops.ProgramConfig();
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(rig.ui.Questions(), Strings{"Do you really want to program the configuration?"});
    EXPECT_EQ(rig.ui.Messages(), Strings{"Configuration programmed!"});
    EXPECT_EQ(rig.chip.config[7], 0x3FF6);
    // The ID words (from the ID box) and the configuration word; nothing outside the area.
    EXPECT_EQ(
        rig.chip.pulses,
        (std::map<int, int>{{0x2000, 1}, {0x2001, 1}, {0x2002, 1}, {0x2003, 1}, {0x2007, 1}}));
    const auto windows = rig.ui.OfType(Type::MainWindow);
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].value, 0);
    EXPECT_EQ(windows[1].value, 1);
  }
  {  // EPROM: the configuration word takes exactly 100 pulses.
    OpsRig rig("PIC 16C622");
    rig.options.Progging = false;
    rig.slot().ConfigArea[7] = 0x3FB1;
    rig.workspace.ShowStoredConfigWord();
    rig.ops.ProgramConfig();
    EXPECT_EQ(rig.chip.pulses[0x2007], 100);
    EXPECT_EQ(rig.chip.config[7], rig.slot().ConfigArea[7]);
    EXPECT_EQ(rig.ui.Messages(), Strings{"Configuration programmed!"});
  }
  {  // Answered No: nothing.
    OpsRig rig("PIC 16F83");
    rig.ui.Answer(false);
    EXPECT_TRUE(rig.ops.ProgramConfig().Declined);
    EXPECT_EQ(rig.programmer.OpenCount(), 0);
  }
}

TEST(EraseAll, AsksErasesAndSaysSo) {
  OpsRig rig("PIC 16F83");
  rig.options.Erasing = true;
  rig.ui.Answer(false);
  EXPECT_TRUE(rig.ops.EraseAll().Declined);
  EXPECT_EQ(rig.programmer.OpenCount(), 0);

  rig.ui.Clear();
  const OperationResult result = rig.ops.EraseAll();
  EXPECT_TRUE(result.Succeeded());
  EXPECT_EQ(rig.ui.Questions(), Strings{"Do you really want to erase the device?"});
  EXPECT_EQ(rig.ui.Texts(Type::StatusPanel), (Strings{"Erasing...", ""}));
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device is erased."});
  EXPECT_EQ(rig.chip.Codes(), kEraseCommands);
  ExpectRested(rig);

  // Not offered for a part that cannot be erased.
  OpsRig eprom("PIC 16C622");
  EXPECT_TRUE(eprom.ops.EraseAll().Declined);
  EXPECT_TRUE(eprom.ui.Entries().empty());
}

}  // namespace
}  // namespace kestrum::testing
