// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC operations against the chip models: the failure messages, the questions,
// cancelling, the factory calibration word, the device-specific programming commands and
// waits, and parts that fail (hard EPROM cells, an empty socket). After every operation,
// finished, cancelled or failed, the lines rest, every port is closed and the part has left
// programming mode.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>

#include "pic_image.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;
using Command = OperationResult (Operations::*)();

void SetCodeProtect(ConfigBox& box) {
  for (FuseCheckBox& fuse : box.Fuses)
    fuse.Checked |= fuse.Caption == "CP" || fuse.Caption == "CPD";
  if (box.CodeProtect.Visible) box.CodeProtect.Select(0);
}

TEST(PicMessages, WordThatWillNotProgramStopsProgramAllAtItsAddress) {
  struct Case {
    const char* device;
    ProgrammerType type;
    PicRegion region;
    int address;
    const char* message;
  };
  for (const Case& c : {Case{"PIC 16F84", ProgrammerType::Jdm, PicRegion::Code, 0x23,
                             "Programming failed at Code address 0023h !"},
                        Case{"PIC 16F84", ProgrammerType::Jdm, PicRegion::Data, 5,
                             "Programming failed at Data address 0005h !"},
                        Case{"PIC 16C622", ProgrammerType::ProPic2, PicRegion::Code, 0x23,
                             "Programming failed at Code address 0023h !"}}) {
    PicRig pic(c.device, c.type);
    auto& [chip, rig] = pic;
    rig.options.VerDurProg = true;
    RandomPicImage(rig, 3, 0x40);
    rig.Slot().CodeBuffer[0x23] = 0x0ABC;
    rig.Slot().DataBuffer[5] = 0x12;
    chip->SetNeverProgram(c.region, c.address);
    const OperationResult result = rig.ops.ProgramAll();
    EXPECT_TRUE(result.Failed && !result.Verified);
    EXPECT_EQ(rig.ui.Messages(), Strings{c.message});
    EXPECT_EQ(rig.ui.OfType(Type::Message).at(0).kind, MessageKind::Error);
    EXPECT_TRUE(std::ranges::none_of(rig.ui.Texts(Type::ProgressText),
                                     [](auto& t) { return t.starts_with("Verifying"); }));
    // What comes before the word is programmed; nothing after it, configuration included.
    EXPECT_EQ(chip->Code()[0x22], rig.Slot().CodeBuffer[0x22]) << c.device;
    EXPECT_EQ(chip->ConfigWord(), 0x3FFF) << c.device;
    if (c.region == PicRegion::Code) {
      EXPECT_EQ(chip->Code()[0x24], 0x3FFF);
      EXPECT_EQ(std::ranges::count(chip->Data(), 0xFF), std::ssize(chip->Data()));
    }
    EXPECT_TRUE(pic.Rested());
  }
}

TEST(PicMessages, VerifyReportsTheFirstDifferenceAndLeavesTheBuffers) {
  PicRig pic("PIC 16F84", ProgrammerType::TaitSerial);
  auto& [chip, rig] = pic;
  rig.options.VerDurProg = true;
  RandomPicImage(rig, 8);
  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Programming Code (1024) bytes", "Programming Code (1024) bytes",
                     "Programming Data (64) bytes", "Programming Configuration",
                     "Verifying Code (1024) bytes", "Verifying Data (64) bytes"}));
  ASSERT_TRUE(rig.Runs(&Operations::Verify, true, {"Device successfully verified!"}));
  EXPECT_EQ(rig.ui.OfType(Type::ResetCodeViewMarking).size(), 1u);
  EXPECT_EQ(rig.ui.Texts(Type::StatusPanel), (Strings{"Verifying...", ""}));
  EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
            (Strings{"Verifying Code (1024) bytes", "Verifying Data (64) bytes"}));
  BufferSlot programmed = rig.Slot();
  auto verdict = [&rig] {
    rig.ui.Clear();
    const OperationResult result = rig.ops.Verify();
    EXPECT_TRUE(result.Verified && !result.VerifyPassed && result.Failed);
    EXPECT_EQ(rig.ui.OfType(Type::Beep).size(), 1u);
    EXPECT_EQ(rig.ui.OfType(Type::Message).at(0).kind, MessageKind::Error);
    return rig.ui.Messages();
  };
  chip->Data()[5] ^= 0x10;
  chip->Data()[9] ^= 0x10;
  EXPECT_EQ(verdict(), Strings{"Verify failed at data address 0005h !"});
  chip->Code()[0x123] ^= 0x0100;  // code is compared first
  EXPECT_EQ(verdict(), Strings{"Verify failed at address 0123h !"});
  rig.Slot().CodeBuffer[0x10] |= 0xC000;  // bits above the core in the buffer never match
  programmed.CodeBuffer[0x10] |= 0xC000;
  EXPECT_EQ(verdict(), Strings{"Verify failed at address 0010h !"});
  EXPECT_EQ(rig.Slot().CodeBuffer, programmed.CodeBuffer);
  EXPECT_EQ(rig.Slot().DataBuffer, programmed.DataBuffer);
  EXPECT_TRUE(pic.Rested());

  // Neither the 12C508's calibration word nor its ID words are compared.
  PicRig otp("PIC 12C508");
  RandomPicImage(otp.rig, 14);
  ASSERT_TRUE(otp.rig.ProgramAndVerify());
  otp.chip->Code()[511] ^= 0x0FF, otp.chip->Code()[512] ^= 0xF, otp.chip->Code()[515] ^= 0xF;
  EXPECT_TRUE(otp.rig.Runs(&Operations::Verify, true, {"Device successfully verified!"}));
  EXPECT_EQ(otp.rig.ui.Texts(Type::ProgressText), Strings{"Verifying Code (512) bytes"});
}

TEST(PicMessages, QuestionsAnsweredNoProgramNothing) {
  const std::string program = "Do you really want to program the device?";
  for (const char* device : {"PIC 16F84", "PIC 16F877", "PIC 12C508"}) {
    for (bool protect : {false, true}) {
      PicRig pic(device);
      auto& [chip, rig] = pic;
      rig.options.Progging = true;
      rig.options.Warning = true;
      RandomPicImage(rig, 6, 0x40);
      if (protect) SetCodeProtect(rig.workspace.Config);
      // Without protection chosen only programming is asked about: No to it.
      rig.ui.Answer(protect);
      rig.ui.Answer(false);
      const OperationResult result = rig.ops.ProgramAll();
      EXPECT_TRUE(result.Declined && !result.Verified) << device;
      Strings asked{program};
      if (protect)
        asked.emplace_back("Do you really want to enable \"Code Protect\" for this device?");
      EXPECT_EQ(rig.ui.Questions(), asked);
      EXPECT_TRUE(rig.ui.Messages().empty());
      EXPECT_EQ(rig.programmer.OpenCount(), 0);
      EXPECT_TRUE(Untouched(*chip)) << device;
    }
  }
}

// Presses Cancel once, when the progress reaches `position` in the phase whose progress text
// is `phase`.
void CancelInPhase(LifecycleRig& rig, std::string phase, int position) {
  auto text = std::make_shared<std::string>();
  auto pressed = std::make_shared<std::atomic<bool>>(false);
  rig.ui.onEntry = [&rig, phase, position, text, pressed](const RecordingUi::Entry& e) {
    if (e.type == Type::ProgressText) *text = e.text;
    if (e.type == Type::ProgressPosition && e.value == position && *text == phase &&
        !pressed->exchange(true)) {
      rig.ui.PressCancel();
    }
  };
}

// Cancel in any region of Program All: the part holds what the erase left plus the units up to
// the one in progress, nothing after them (no data, no configuration that could protect it),
// and no verify runs.
TEST(PicCancel, ProgramAllWritesNothingAfterTheCancel) {
  struct Case {
    const char* phase;
    int position;
    int codeWords, dataBytes, idWords;  // written before the stop
  };
  for (const Case& c : {Case{"Programming Code (1024) bytes", 10, 11, 0, 0},
                        Case{"Programming Data (64) bytes", 5, 1024, 6, 0},
                        Case{"Programming Configuration", 2, 1024, 64, 3}}) {
    PicRig pic("PIC 16F84");
    auto& [chip, rig] = pic;
    std::ranges::fill(chip->Code(), 0x1234);
    std::ranges::fill(chip->Data(), 0x56);
    RandomPicImage(rig, 5);
    CancelInPhase(rig, c.phase, c.position);
    const OperationResult result = rig.ops.ProgramAll();
    EXPECT_TRUE(result.Cancelled && !result.Verified) << c.phase;
    EXPECT_EQ(rig.ui.Messages(), Strings{std::string(text::kProgramCancelled)}) << c.phase;

    // The bulk erase blanked the part first.
    BufferSlot expected;
    expected.Fill(0x3FFF);
    std::fill_n(expected.DataBuffer.begin(), 64, 0xFF);
    std::copy_n(rig.Slot().CodeBuffer.begin(), c.codeWords, expected.CodeBuffer.begin());
    std::copy_n(rig.Slot().DataBuffer.begin(), c.dataBytes, expected.DataBuffer.begin());
    std::copy_n(rig.Slot().ConfigArea.begin(), c.idWords, expected.ConfigArea.begin());
    expected.ConfigArea[6] = chip->ConfigArea()[6];  // the device ID
    EXPECT_TRUE(ChipHolds(*chip, rig.Device(), expected)) << c.phase;
    EXPECT_TRUE(pic.Rested());
  }
}

// A cancelled Read All leaves the buffer exactly as it was, in whichever region it stopped,
// and says so.
TEST(PicCancel, ReadAllCancelledLeavesTheBufferAsItWas) {
  // On the FTDI cable too: what was queued goes out and the lines rest.
  for (const char* phase :
       {"Reading Code (1024) bytes", "Reading Data (64) bytes", "Reading Configuration"}) {
    for (ProgrammerType type : {ProgrammerType::ProPic2, ProgrammerType::JdmFtdi}) {
      PicRig pic("PIC 16F84", type);
      auto& [chip, rig] = pic;
      for (std::size_t i = 0; i < chip->Code().size(); ++i) chip->Code()[i] = 0x2000 | i;
      RandomPicImage(rig, 7);
      const BufferSlot before = rig.Slot();
      CancelInPhase(rig, phase, 3);
      const OperationResult result = rig.ops.ReadAll();
      EXPECT_TRUE(result.Cancelled && !result.Succeeded());
      EXPECT_EQ(rig.ui.Messages(), Strings{std::string(text::kReadCancelled)}) << phase;
      EXPECT_TRUE(SameWords("code", rig.Slot().CodeBuffer, before.CodeBuffer, 1024)) << phase;
      EXPECT_TRUE(SameWords("data", rig.Slot().DataBuffer, before.DataBuffer, 64)) << phase;
      EXPECT_TRUE(SameWords("config", rig.Slot().ConfigArea, before.ConfigArea, 8)) << phase;
      EXPECT_TRUE(pic.Rested());
    }
  }
}

// Failed runs rest as well: see the failure messages and faults.
TEST(PicCancel, EveryOperationRestsWhenCancelledOrWithoutAPort) {
  for (const char* device : {"PIC 16F84", "PIC 16C622", "PIC 12C508"}) {
    for (Command command :
         {&Operations::ReadAll, &Operations::ProgramAll, &Operations::Verify,
          &Operations::BlankCheck, &Operations::ProgramConfig, &Operations::EraseAll}) {
      // Cancel pressed on the third unit of whatever runs first.
      PicRig cancelled(device, ProgrammerType::ProPic2);
      RandomPicImage(cancelled.rig, 9, 0x40);
      CancelAt(cancelled.rig, 2);
      (cancelled.rig.ops.*command)();
      EXPECT_TRUE(cancelled.Rested()) << device << " cancelled";

      // The port does not open: its message and nothing after it, the buffers as they were.
      PicRig refused(device);
      LifecycleRig& rig = refused.rig;
      rig.programmer.FailOpen(EBUSY);
      RandomPicImage(rig, 9, 0x40);
      const BufferSlot before = rig.Slot();
      const OperationResult result = (rig.ops.*command)();
      if (command != &Operations::EraseAll || rig.Device().Erasable) {
        EXPECT_TRUE(result.PortFailed) << device;
        ASSERT_EQ(rig.ui.OfType(Type::Message).size(), 1u) << device;
        EXPECT_EQ(rig.ui.OfType(Type::Message)[0].kind, MessageKind::Error);
        const auto windows = rig.ui.OfType(Type::MainWindow);
        EXPECT_TRUE(windows.empty() || windows.back().value == 1);
      }
      EXPECT_LE(rig.ui.Texts(Type::ProgressText).size(), 2u);  // no further phase
      EXPECT_TRUE(SameWords("code", rig.Slot().CodeBuffer, before.CodeBuffer, 0x200));
      EXPECT_TRUE(refused.Rested()) << device << " without a port";
      EXPECT_TRUE(Untouched(*refused.chip));
    }
  }
}

// Protected memory reads as zeros, so with protection chosen Program All verifies code and data
// before the configuration that turns protection on, and protects only a part that verified.
TEST(PicProtection, VerifyComesBeforeTheConfigurationThatProtectsAndEraseLiftsIt) {
  for (const char* device : {"PIC 16F84", "PIC 16C622", "PIC 16F870"}) {
    PicRig pic(device, ProgrammerType::TaitSerial);
    auto& [chip, rig] = pic;
    RandomPicImage(rig, 17, 0x100);
    SetCodeProtect(rig.workspace.Config);
    ASSERT_TRUE(rig.ProgramAndVerify()) << device;
    EXPECT_EQ(rig.ui.Texts(Type::ProgressText).back(), "Programming Configuration") << device;
    EXPECT_EQ(chip->ConfigWord(),
              HeldAfterProgramming(rig.Slot(), rig.Device(), chip->Description()).ConfigArea[7]);
    // Now protected, the part reads as zeros; a flash part takes a new image after the erase
    // sequence.
    EXPECT_TRUE(rig.Runs(&Operations::Verify, false, {"Verify failed at address 0000h !"}));
    if (rig.Device().Erasable) {
      ProtectionOff(rig.workspace.Config);
      EXPECT_TRUE(rig.ProgramAndVerify()) << device;
    }
  }
  // A part that does not verify is left unprotected.
  PicRig pic("PIC 16F84");
  auto& [chip, rig] = pic;
  RandomPicImage(rig, 18);
  rig.Slot().CodeBuffer[0x40] = 0x0000;
  chip->SetNeverProgram(PicRegion::Code, 0x40);
  SetCodeProtect(rig.workspace.Config);
  EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {"Verify failed at address 0040h !"}));
  EXPECT_EQ(chip->ConfigWord(), 0x3FFF);
}

// The 12C508 carries its oscillator calibration as a MOVLW in its last program word, 01FFh; the
// lifecycle shows that the factory word survives. A blank or cleared one is asked about.
TEST(PicCalibration, ABlankOrClearedWordIsAskedAbout) {
  struct Case {
    std::uint16_t onPart;
    bool answer;
    std::uint16_t after;  // in the buffer and on the part
  };
  for (const Case c :
       {Case{0x0FFF, false, 0x0FFF}, Case{0x0000, false, 0x0000}, Case{0x0FFF, true, 0x0C34}}) {
    PicRig pic("PIC 12C508", ProgrammerType::TaitSerial);
    auto& [chip, rig] = pic;
    chip->Code()[0x1FF] = c.onPart;  // erased under a lamp, or cleared
    RandomPicImage(rig, 12, 0x20);
    rig.Slot().CodeBuffer[0x1FF] = 0x0C34;
    rig.ui.Answer(c.answer);
    EXPECT_TRUE(rig.ops.ProgramAll().Succeeded());
    const auto questions = rig.ui.OfType(Type::Question);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text,
              "No \"Oscillator Callibration Value\" found.\rDo you want to use value from file "
              "(0C34) instead ?");
    EXPECT_EQ(questions[0].kind, MessageKind::Warning);
    EXPECT_EQ(rig.Slot().CodeBuffer[0x1FF], c.after);
    EXPECT_EQ(chip->Code()[0x1FF], c.after);
    EXPECT_EQ(rig.ui.Messages(), Strings{"Device successfully verified!"});
    EXPECT_TRUE(pic.Rested());
  }
  // Cancelled before the calibration word was read, nothing is programmed over it.
  PicRig pic("PIC 12C508");
  auto& [chip, rig] = pic;
  RandomPicImage(rig, 12, 0x20);
  CancelAt(rig, 3);
  const OperationResult result = rig.ops.ProgramAll();
  EXPECT_TRUE(result.Cancelled && !result.Verified);
  EXPECT_EQ(rig.ui.Messages(), Strings{std::string(text::kProgramCancelled)});
  EXPECT_TRUE(rig.ui.Questions().empty());
  EXPECT_EQ(chip->CountedPulses(), 0);
  EXPECT_TRUE(Untouched(*chip));
  EXPECT_TRUE(pic.Rested());
}

// The 16F84A starts its cycles with Begin Programming Only (011000): a part whose erase/program
// cycle (001000) would not finish within the wait still programs.
TEST(PicTiming, SixteenF84AUsesTheProgramOnlyCommand) {
  PicChipDescription part = *PicChipFor("PIC 16F84A");
  part.programUs = 50000;
  PicRig pic("PIC 16F84A", part);
  EXPECT_EQ(pic.rig.workspace.BeginProgramCommand, 0x0618);
  RandomPicImage(pic.rig, 13);
  ASSERT_TRUE(pic.rig.ProgramAndVerify());
  EXPECT_TRUE(ChipHolds(*pic.chip, pic.rig.Device(),
                        HeldAfterProgramming(pic.rig.Slot(), pic.rig.Device(), part)));

  // The same part driven with the erase/program command loses its first word.
  PicRig other("PIC 16F84A", part);
  other.rig.workspace.BeginProgramCommand = 0x0608;
  RandomPicImage(other.rig, 13);
  EXPECT_TRUE(other.rig.Runs(&Operations::ProgramAll, false, {"Verify failed at address 0000h !"}));
}

// The 16F627/628 get 2 ms per cycle through one Program All, and 10 ms again afterwards.
TEST(PicTiming, SixteenF628WaitsTwoMillisecondsForOneProgramAll) {
  PicChipDescription part = *PicChipFor("PIC 16F628");
  part.programUs = 9900;
  PicChip slowPart(part);  // outlives the board it is put into below
  part.programUs = 1900;
  PicRig pic("PIC 16F628", part, ProgrammerType::ProPic2);
  RandomPicImage(pic.rig, 14);
  ASSERT_TRUE(pic.rig.ProgramAndVerify());
  EXPECT_EQ(pic.rig.ops.Timing().ProgramWaitMs, 10);
  // After that run a part whose cycle takes 9.9 ms gets its configuration word.
  pic.rig.programmer.Insert(&slowPart);
  pic.rig.workspace.ShowConfigWord(0x3F62);
  EXPECT_TRUE(pic.rig.Runs(&Operations::ProgramConfig, true, {"Configuration programmed!"}));
  EXPECT_EQ(slowPart.ConfigWord(),
            HeldAfterProgramming(pic.rig.Slot(), pic.rig.Device(), part).ConfigArea[7]);
  EXPECT_EQ(slowPart.AbortedCycles(), 0);

  // A cycle of 2.1 ms does not fit the wait of a Program All: it is 2 ms, not 10; and a failed
  // run ends with 10 ms too.
  part.programUs = 2100;
  PicRig slow("PIC 16F628", part, ProgrammerType::ProPic2);
  RandomPicImage(slow.rig, 14);
  EXPECT_TRUE(slow.rig.Runs(&Operations::ProgramAll, false, {"Verify failed at address 0000h !"}));
  EXPECT_GT(slow.chip->AbortedCycles(), 0);
  EXPECT_EQ(slow.rig.ops.Timing().ProgramWaitMs, 10);
}

// 26 pulses: verifying as it goes, the word has not taken within 25 and fails there. More than
// the maximum and the over-programming together: not verifying as it goes, the programming
// never fails and the verify after it finds the word.
TEST(PicFaults, EpromCellsThatNeedMorePulsesThanTheMaximum) {
  for (auto [pulses, verifyDuring, message] :
       {std::tuple{26, true, "Programming failed at Code address 0001h !"},
        std::tuple{101, false, "Verify failed at address 0001h !"}}) {
    PicRig pic("PIC 16C622", ProgrammerType::TaitSerial);
    pic.chip->SetPulsesNeeded(pulses);
    pic.rig.options.VerDurProg = verifyDuring;
    RandomPicImage(pic.rig, 15, 4);
    pic.rig.Slot().CodeBuffer[0] = 0x3FFF;  // blank: skipped
    pic.rig.Slot().CodeBuffer[1] = 0x2801;
    EXPECT_TRUE(pic.rig.Runs(&Operations::ProgramAll, false, {message}));
    EXPECT_EQ(pic.chip->Code()[1], 0x3FFF);
    if (verifyDuring) {
      EXPECT_EQ(pic.chip->ConfigWord(), 0x3FFF);
    }
  }
}

// An empty socket reads like an erased part (the programmer's own level comes back on the
// data line), so anything that must have reached the part fails clearly.
TEST(PicFaults, EmptySocketNeverPassesForAProgrammedImage) {
  for (const char* device : {"PIC 16F84", "PIC 16C622", "PIC 12C508"}) {
    for (bool verifyDuring : {false, true}) {
      PicRig pic(device);
      auto& [chip, rig] = pic;
      chip->SetAbsent(true);
      rig.options.VerDurProg = verifyDuring;
      RandomPicImage(rig, 16, 8);
      rig.Slot().CodeBuffer[0] = 0x0123;
      rig.ui.Answer(false);  // a one-time part finds no calibration word and asks
      EXPECT_FALSE(rig.ops.ProgramAll().Succeeded()) << device;
      EXPECT_EQ(rig.ui.Messages(),
                Strings{verifyDuring ? "Programming failed at Code address 0000h !"
                                     : "Verify failed at address 0000h !"})
          << device;
      EXPECT_EQ(rig.ui.Questions().size(), chip->CalibrationIndex() >= 0 ? 1u : 0u);
      EXPECT_TRUE(rig.Runs(&Operations::Verify, false, {"Verify failed at address 0000h !"}));
    }
  }
}

// The 16C715 keeps two parity bits under every word: what the part holds are the words'
// parity forms, and words left blank stay erased cells, which its parity check rejects.
TEST(PicParity, CellsCarryTheWordsWithTheirParity) {
  PicRig pic("PIC 16C715", ProgrammerType::TaitSerial);
  auto& [chip, rig] = pic;
  RandomPicImage(rig, 77, 100);
  rig.Slot().CodeBuffer[5] = 0x0000;
  rig.Slot().CodeBuffer[6] = 0x3FFE;
  ASSERT_TRUE(rig.ProgramAndVerify());
  for (std::size_t i = 0; i < chip->Code().size(); ++i) {
    const std::uint16_t word = rig.Slot().CodeBuffer[i];
    ASSERT_EQ(chip->Code()[i], word == 0x3FFF ? 0xFFFF : PicParityWord(word)) << i;
  }
  EXPECT_EQ(chip->Code()[5], 0x0002);
  EXPECT_EQ(chip->Code()[6], 0xFFF8);
  EXPECT_EQ(chip->ConfigWord(), PicParityWord(rig.Slot().ConfigArea[7]));
  // Read back, the configuration box shows the configuration word, not its cell.
  rig.workspace.Buffer11Click(3);
  rig.ops.ReadAll();
  EXPECT_EQ(rig.workspace.Config.ConfigLabel,
            "Config word : " + Hex4(chip->ConfigWord() >> 2) + "h");
}

}  // namespace
}  // namespace kestrum::testing
