// Verify and Blank Check verdicts, the support groups and the families this version does
// not drive yet, and the worker wait across threads.
#include <gtest/gtest.h>

#include <algorithm>

#include "operations/operations.hpp"
#include "operations/texts.hpp"
#include "ops_rig.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;
using Strings = std::vector<std::string>;

TEST(Verify, VerdictsWithTheFirstDifference) {
  OpsRig rig("PIC 16F83");
  rig.RandomImage(9);
  rig.ChipFromSlot();
  const BufferSlot before = rig.slot();

  OperationResult result = rig.ops.Verify();
  EXPECT_TRUE(result.Verified && result.VerifyPassed && result.Succeeded());
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device successfully verified!"});
  EXPECT_EQ(rig.ui.OfType(Type::ResetCodeViewMarking).size(), 1u);
  EXPECT_EQ(rig.ui.Texts(Type::StatusPanel), (Strings{"Verifying...", ""}));
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Verifying Code (512) bytes", "Verifying Data (64) bytes"}));

  // Data byte 5: the data-address message, after a beep.
  rig.ui.Clear();
  rig.chip.data[5] ^= 0x10;
  rig.chip.data[9] ^= 0x10;
  result = rig.ops.Verify();
  EXPECT_TRUE(result.Failed && result.InData);
  EXPECT_EQ(result.FailIndex, 5);
  const auto messages = rig.ui.OfType(Type::Message);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Verify failed at data address 0005h !");
  EXPECT_EQ(messages[0].kind, MessageKind::Error);
  EXPECT_EQ(rig.ui.OfType(Type::Beep).size(), 1u);

  // A code difference is reported first, with its word index.
  rig.ui.Clear();
  rig.chip.code[0x123] ^= 0x2000;
  rig.ops.Verify();
  EXPECT_EQ(rig.ui.Messages(), Strings{"Verify failed at address 0123h !"});

  // A buffer word with bits above the core never matches.
  rig.ui.Clear();
  rig.ChipFromSlot();
  rig.slot().CodeBuffer[0x10] = 0xFFFF;
  rig.chip.code[0x10] = 0x3FFF;
  rig.ops.Verify();
  EXPECT_EQ(rig.ui.Messages(), Strings{"Verify failed at address 0010h !"});

  // The buffers are never changed by a verify.
  rig.slot().CodeBuffer[0x10] = before.CodeBuffer[0x10];
  EXPECT_EQ(rig.slot().CodeBuffer, before.CodeBuffer);
  EXPECT_EQ(rig.slot().DataBuffer, before.DataBuffer);
}

TEST(Verify, TwelveBitPartSkipsCalibrationAndIdWords) {
  OpsRig rig("PIC 12C508");
  rig.RandomImage(14);
  rig.ChipFromSlot();
  rig.chip.code[511] ^= 0x0FF;  // calibration word
  rig.chip.code[512] ^= 0x00F;  // ID words
  rig.chip.code[515] ^= 0x00F;
  rig.ops.Verify();
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device successfully verified!"});
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText), Strings{"Verifying Code (512) bytes"});
  EXPECT_EQ(rig.chip.Count(5), 0);
}

TEST(BlankCheck, Verdicts) {
  OpsRig rig("PIC 16F83");
  OperationResult result = rig.ops.BlankCheck();
  EXPECT_TRUE(result.Blank && result.Succeeded());
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device is blank."});
  EXPECT_EQ(rig.ui.Texts(Type::StatusPanel), (Strings{"Blank Check...", ""}));
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Reading Code (512) bytes", "Reading Data (64) bytes"}));

  rig.ui.Clear();
  rig.chip.data[3] = 0xFE;
  result = rig.ops.BlankCheck();
  EXPECT_FALSE(result.Blank);
  ASSERT_EQ(rig.ui.OfType(Type::Message).size(), 1u);
  EXPECT_EQ(rig.ui.OfType(Type::Message)[0].kind, MessageKind::Warning);
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device NOT blank at data address 0003h !"});

  rig.ui.Clear();
  rig.chip.code[0x10] = 0x3FFE;
  rig.ops.BlankCheck();
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device NOT blank at address 0010h !"});
  EXPECT_EQ(rig.ui.OfType(Type::Beep).size(), 1u);

  // A 12-bit part with its factory calibration word and ID words set is still blank.
  OpsRig otp("PIC 12C508");
  otp.chip.code[511] = 0x0C20;
  otp.chip.code[513] = 0x0003;
  otp.ops.BlankCheck();
  EXPECT_EQ(otp.ui.Messages(), Strings{"Device is blank."});
  EXPECT_EQ(otp.ui.Texts(Type::ProgressText), Strings{"Reading Code (512) bytes"});
}

TEST(Support, TafeProgrammerWithAPic) {
  OpsRig rig("PIC 16F84", ProgrammerType::Tafe);
  const std::string refused = "This device is not supported by the TAFE Programmer";
  EXPECT_TRUE(rig.ops.ReadAll().Refused);
  EXPECT_EQ(rig.ui.Messages(), Strings{refused});
  EXPECT_TRUE(rig.ui.OfType(Type::ProgressShown).empty());

  // Program All says so, and the verify that follows says it again.
  rig.ui.Clear();
  const OperationResult program = rig.ops.ProgramAll();
  EXPECT_TRUE(program.Refused);
  EXPECT_FALSE(program.Succeeded());
  EXPECT_EQ(rig.ui.Messages(), (Strings{refused, refused}));
  EXPECT_EQ(rig.ui.OfType(Type::ProgressShown).size(), 1u);  // the verify's, hidden again
  EXPECT_EQ(rig.ui.OfType(Type::ProgressHidden).size(), 1u);

  for (auto command : {&Operations::Verify, &Operations::BlankCheck, &Operations::EraseAll,
                       &Operations::ProgramConfig}) {
    rig.ui.Clear();
    EXPECT_TRUE((rig.ops.*command)().Refused);
    EXPECT_EQ(rig.ui.Messages(), Strings{refused});
  }
  EXPECT_EQ(rig.programmer.OpenCount(), 0);
}

TEST(Support, ParallelOnlyPic) {
  OpsRig tait("PIC 16C54", ProgrammerType::TaitParallel);
  EXPECT_TRUE(tait.ops.Verify().Refused);
  EXPECT_EQ(tait.ui.Messages(), Strings{"Verify currently not supported!"});
  EXPECT_EQ(tait.ui.OfType(Type::Message)[0].kind, MessageKind::Information);
  EXPECT_EQ(tait.ui.Entries().back(), (RecordingUi::Entry{.type = Type::MainWindow, .value = 1}));
  tait.ui.Clear();
  tait.ops.BlankCheck();
  EXPECT_EQ(tait.ui.Messages(), Strings{"Blank check is currently not supported!"});
  tait.ui.Clear();
  tait.ops.ReadAll();
  EXPECT_EQ(tait.ui.Messages(),
            Strings{"This version cannot drive the Parallel programmable PIC Microcontroller "
                    "family yet."});
  EXPECT_EQ(tait.programmer.OpenCount(), 0);

  OpsRig jdm("PIC 16C54", ProgrammerType::Jdm);
  jdm.ops.Verify();
  EXPECT_EQ(jdm.ui.Messages(), Strings{"This device is not supported by the JDM Programmer"});
  jdm.ui.Clear();
  jdm.options.Progging = false;
  jdm.ops.ProgramConfig();
  EXPECT_EQ(jdm.ui.Messages(), Strings{"This device is not supported by the JDM Programmer"});
  EXPECT_EQ(jdm.programmer.OpenCount(), 0);
}

TEST(Support, FamiliesWithoutAProtocolYetAreNotDriven) {
  struct Case {
    const char* device;
    ProgrammerType type;
    const char* message;
  };
  const Case cases[] = {
      {"24C16", ProgrammerType::Jdm, "This version cannot drive the I²C Eeprom family yet."},
      {"93C46", ProgrammerType::ProPic2,
       "This version cannot drive the Microwire Eeprom family yet."},
      {"89C2051", ProgrammerType::Jdm, "This device is not supported by the JDM Programmer"},
      {"89C2051", ProgrammerType::Tafe, "This version cannot drive the Flash µC family yet."},
      {"90S2313", ProgrammerType::Stk200, "This version cannot drive the AVR µC family yet."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    OpsRig rig(c.device, c.type);
    rig.options.Progging = false;
    rig.options.Verify = false;
    rig.ops.ReadAll();
    rig.ops.ProgramAll();
    rig.ops.Verify();
    EXPECT_EQ(rig.ui.Messages(), Strings(3, c.message));
    EXPECT_EQ(rig.programmer.OpenCount(), 0);
  }
  // The AVR erase comes with its protocol: nothing is driven and nothing claims it erased.
  OpsRig avr("90S2313", ProgrammerType::Stk200);
  const OperationResult erase = avr.ops.EraseAll();
  EXPECT_TRUE(erase.Refused);
  EXPECT_EQ(avr.ui.Messages(), Strings{"This version cannot drive the AVR µC family yet."});
  EXPECT_EQ(avr.programmer.OpenCount(), 0);
}

// The user-interface thread presses Cancel while it waits; the worker on its own thread sees
// it after some word. However the two threads interleave, each region holds a prefix of what
// the chip holds and 0 after it, and the lines end at rest.
class CancellingUi final : public RecordingUi {
 public:
  void WaitFor(DoneFlag& done) override {
    PressCancel();
    RecordingUi::WaitFor(done);
  }
};

bool PrefixThenZeros(const std::vector<std::uint16_t>& read,
                     const std::vector<std::uint16_t>& chip) {
  std::size_t i = 0;
  while (i < chip.size() && read[i] == chip[i]) ++i;
  return std::all_of(read.begin() + static_cast<long>(i),
                     read.begin() + static_cast<long>(chip.size()),
                     [](std::uint16_t w) { return w == 0; });
}

TEST(RunWorker, CancelFromTheWaitingThread) {
  const DeviceDescriptor device = DescriptorFor(Entry("PIC 16F83"));
  PicResponder chip = PicResponder::For(device);
  for (std::size_t i = 0; i < chip.code.size(); ++i) chip.code[i] = 0x2000 | (i & 0x1FFF);
  for (std::size_t i = 0; i < chip.data.size(); ++i) chip.data[i] = 0x80 | (i & 0x7F);
  MemorySettingsStore store;
  Workspace workspace(store);
  workspace.SelectDevice(Entry("PIC 16F83"));
  VirtualClock clock;
  CancellingUi ui;
  VirtualProgrammer programmer(clock);
  programmer.Insert(&chip);
  LineContext lines(SettingsFor(ProgrammerType::TaitSerial), clock, ui, programmer);
  OperationOptions options;
  Operations ops(workspace, lines, options);

  const OperationResult result = ops.ReadAll();
  EXPECT_TRUE(result.Cancelled);
  EXPECT_TRUE(PrefixThenZeros(workspace.Active().CodeBuffer, chip.code));
  EXPECT_TRUE(PrefixThenZeros(workspace.Active().DataBuffer, chip.data));
  EXPECT_EQ(chip.entries, 3);
  EXPECT_FALSE(lines.IsPortOpen());
  EXPECT_FALSE(programmer.Board().Pins().vcc);
  EXPECT_FALSE(programmer.Board().Pins().mclr);
}

}  // namespace
}  // namespace kestrum::testing
