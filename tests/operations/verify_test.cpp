// Verify and Blank Check verdicts, the support groups, and the families this version does
// not drive yet.
#include <gtest/gtest.h>

#include "operations/operations.hpp"
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

  // Bits above the core in the buffer never match, and the buffers stay as they were.
  rig.slot().CodeBuffer[0x10] = 0xFFFF;
  rig.chip.code[0x10] = 0x3FFF;
  rig.ui.Clear();
  rig.ops.Verify();
  EXPECT_EQ(rig.ui.Messages(), Strings{"Verify failed at address 0010h !"});
  rig.slot().CodeBuffer[0x10] = before.CodeBuffer[0x10];
  EXPECT_EQ(rig.slot().CodeBuffer, before.CodeBuffer);

  OpsRig otp("PIC 12C508");  // neither the calibration word nor the ID words are compared
  otp.RandomImage(14);
  otp.ChipFromSlot();
  otp.chip.code[511] ^= 0x0FF, otp.chip.code[512] ^= 0xF, otp.chip.code[515] ^= 0xF;
  otp.ops.Verify();
  EXPECT_EQ(otp.ui.Messages(), Strings{"Device successfully verified!"});
  EXPECT_EQ(otp.ui.Texts(Type::ProgressText), Strings{"Verifying Code (512) bytes"});
}

TEST(BlankCheck, Verdicts) {
  OpsRig rig("PIC 16F83");
  EXPECT_TRUE(rig.ops.BlankCheck().Blank);
  EXPECT_EQ(rig.ui.Messages(), Strings{"Device is blank."});
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
  rig.chip.data[3] = 0xFE;
  EXPECT_EQ(verdict(), Strings{"Device NOT blank at data address 0003h !"});
  rig.chip.code[0x10] = 0x3FFE;
  EXPECT_EQ(verdict(), Strings{"Device NOT blank at address 0010h !"});

  OpsRig otp("PIC 12C508");  // calibration and ID words set: still blank
  otp.chip.code[511] = 0x0C20, otp.chip.code[513] = 0x0003;
  otp.ops.BlankCheck();
  EXPECT_EQ(otp.ui.Messages(), Strings{"Device is blank."});
  EXPECT_EQ(otp.ui.Texts(Type::ProgressText), Strings{"Reading Code (512) bytes"});
}

TEST(Support, ParallelOnlyPic) {
  OpsRig tait("PIC 16C54", ProgrammerType::TaitParallel);
  EXPECT_TRUE(tait.ops.Verify().Refused);
  EXPECT_TRUE(tait.ops.BlankCheck().Refused);
  tait.ops.ReadAll();
  EXPECT_EQ(tait.ui.Messages(),
            (Strings{"Verify currently not supported!", "Blank check is currently not supported!",
                     "This version cannot drive the Parallel programmable PIC Microcontroller "
                     "family yet."}));
  EXPECT_EQ(tait.ui.OfType(Type::MainWindow).back().value, 1);
  EXPECT_EQ(tait.programmer.OpenCount(), 0);

  OpsRig jdm("PIC 16C54", ProgrammerType::Jdm);
  jdm.options.Progging = false;
  jdm.ops.Verify();
  jdm.ops.ProgramConfig();  // not programmed serially through another programmer either
  EXPECT_EQ(jdm.ui.Messages(), Strings(2, "This device is not supported by the JDM Programmer"));
  EXPECT_EQ(jdm.programmer.OpenCount(), 0);
}

TEST(Support, FamiliesWithoutAProtocolYetAreNotDriven) {
  struct Case {
    const char* device;
    ProgrammerType type;
    const char* message;
  };
  for (const Case& c : {
           Case{"24C16", ProgrammerType::Jdm,
                "This version cannot drive the I²C Eeprom family yet."},
           Case{"93C46", ProgrammerType::ProPic2,
                "This version cannot drive the Microwire Eeprom family yet."},
           Case{"89C2051", ProgrammerType::Jdm,
                "This device is not supported by the JDM Programmer"},
           Case{"89C2051", ProgrammerType::Tafe,
                "This version cannot drive the Flash µC family yet."},
           Case{"90S2313", ProgrammerType::Stk200,
                "This version cannot drive the AVR µC family yet."},
       }) {
    OpsRig rig(c.device, c.type);
    rig.options = {.Progging = false, .Verify = false};
    rig.ops.ReadAll();
    rig.ops.ProgramAll();
    rig.ops.Verify();
    EXPECT_EQ(rig.ui.Messages(), Strings(3, c.message)) << c.device;
    EXPECT_EQ(rig.programmer.OpenCount(), 0);
  }
  // The AVR erase comes with its protocol: nothing driven, and nothing claims it erased.
  OpsRig avr("90S2313", ProgrammerType::Stk200);
  EXPECT_TRUE(avr.ops.EraseAll().Refused);
  EXPECT_EQ(avr.ui.Messages(), Strings{"This version cannot drive the AVR µC family yet."});
  EXPECT_EQ(avr.programmer.OpenCount(), 0);
}

}  // namespace
}  // namespace kestrum::testing
