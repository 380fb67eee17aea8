// The PIC operations against the chip models: the failure and refusal messages, the questions,
// cancelling, the factory calibration word, the device-specific programming commands and
// waits, and parts that fail (hard EPROM cells, an empty socket). After every operation,
// finished, cancelled or failed, the lines rest, every port is closed and the part has left
// programming mode.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>

#include "pic_image.hpp"

namespace kestrum::testing {
namespace {

using Type = RecordingUi::Entry::Type;
using Strings = std::vector<std::string>;

// Presses Cancel once, from whichever thread records the first entry that `when` accepts.
void CancelWhen(LifecycleRig& rig, std::function<bool(const RecordingUi::Entry&)> when) {
  auto pressed = std::make_shared<std::atomic<bool>>(false);
  rig.ui.onEntry = [&rig, when, pressed](const RecordingUi::Entry& e) {
    if (when(e) && !pressed->exchange(true)) rig.ui.PressCancel();
  };
}

bool AtPosition(const RecordingUi::Entry& e, int position) {
  return e.type == Type::ProgressPosition && e.value == position;
}

// A part straight from the factory: blank but for its factory words.
bool Untouched(const PicChip& chip) {
  const PicChip fresh(chip.Description());
  return std::equal(chip.Code().begin(), chip.Code().end(), fresh.Code().begin()) &&
         std::equal(chip.Data().begin(), chip.Data().end(), fresh.Data().begin()) &&
         std::equal(chip.ConfigArea().begin(), chip.ConfigArea().end(), fresh.ConfigArea().begin());
}

bool Phase(const LifecycleRig& rig, std::string_view prefix) {
  for (const std::string& t : rig.ui.Texts(Type::ProgressText)) {
    if (t.starts_with(prefix)) return true;
  }
  return false;
}

TEST(PicMessages, WordThatWillNotProgramStopsProgramAllAtItsAddress) {
  // Flash part: code, then data; what follows the failing region is not programmed.
  for (PicRegion region : {PicRegion::Code, PicRegion::Data}) {
    PicRig pic("PIC 16F84");
    auto& [chip, rig] = pic;
    rig.options.VerDurProg = true;
    RandomPicImage(rig, 3);
    const int address = region == PicRegion::Code ? 0x23 : 5;
    chip->SetNeverProgram(region, address);
    rig.Slot().CodeBuffer[0x23] = 0x1234;
    rig.Slot().DataBuffer[5] = 0x12;
    const OperationResult result = rig.ops.ProgramAll();
    EXPECT_TRUE(result.Failed && !result.Verified);
    ASSERT_EQ(rig.ui.OfType(Type::Message).size(), 1u);
    EXPECT_EQ(rig.ui.OfType(Type::Message)[0].kind, MessageKind::Error);
    EXPECT_EQ(rig.ui.Messages()[0], region == PicRegion::Code
                                        ? "Programming failed at Code address 0023h !"
                                        : "Programming failed at Data address 0005h !");
    EXPECT_FALSE(Phase(rig, "Verifying"));
    EXPECT_EQ(chip->ConfigWord(), 0x3FFF);  // no configuration
    if (region == PicRegion::Code) {
      EXPECT_EQ(chip->Code()[0x24], 0x3FFF);  // nothing after the word
      EXPECT_EQ(std::count(chip->Data().begin(), chip->Data().end(), 0xFF), 64);  // no data
    }
    EXPECT_TRUE(pic.Rested());
  }
  // EPROM part: the configuration is not programmed either.
  PicRig pic("PIC 16C622", ProgrammerType::ProPic2);
  auto& [chip, rig] = pic;
  rig.options.VerDurProg = true;
  RandomPicImage(rig, 4, 0x40);
  rig.Slot().CodeBuffer[0x23] = 0x0ABC;
  chip->SetNeverProgram(PicRegion::Code, 0x23);
  EXPECT_TRUE(rig.ops.ProgramAll().Failed);
  EXPECT_EQ(rig.ui.Messages(), Strings{"Programming failed at Code address 0023h !"});
  EXPECT_EQ(chip->ConfigWord(), 0x3FFF);
  EXPECT_EQ(chip->Code()[0x22], rig.Slot().CodeBuffer[0x22]);
  EXPECT_TRUE(pic.Rested());
}

TEST(PicMessages, VerifyReportsTheFirstDifferenceInCodeThenInData) {
  PicRig pic("PIC 16F84", ProgrammerType::TaitSerial);
  auto& [chip, rig] = pic;
  RandomPicImage(rig, 8);
  ASSERT_TRUE(rig.ProgramAndVerify());
  const BufferSlot programmed = rig.Slot();
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
  // The buffers are what they were.
  EXPECT_EQ(rig.Slot().CodeBuffer, programmed.CodeBuffer);
  EXPECT_EQ(rig.Slot().DataBuffer, programmed.DataBuffer);
  EXPECT_TRUE(pic.Rested());
}

TEST(PicMessages, TafeProgrammerRefusesEveryPicOperation) {
  PicRig pic("PIC 16F84", ProgrammerType::Tafe);
  auto& [chip, rig] = pic;
  const std::string refused = "This device is not supported by the TAFE Programmer";
  rig.options.Progging = true;
  RandomPicImage(rig, 5);
  EXPECT_TRUE(rig.ops.ReadAll().Refused);
  EXPECT_EQ(rig.ui.Messages(), Strings{refused});
  rig.ui.Clear();
  EXPECT_TRUE(rig.ops.ProgramAll().Refused);  // and the verify after it says it again
  EXPECT_EQ(rig.ui.Messages(), (Strings{refused, refused}));
  for (auto command : {&Operations::Verify, &Operations::BlankCheck, &Operations::EraseAll,
                       &Operations::ProgramConfig}) {
    rig.ui.Clear();
    EXPECT_TRUE((rig.ops.*command)().Refused);
    EXPECT_EQ(rig.ui.Messages(), Strings{refused});
  }
  EXPECT_EQ(rig.programmer.OpenCount(), 0);
  EXPECT_TRUE(Untouched(*chip));
}

TEST(PicMessages, CodeProtectQuestionAnsweredNoProgramsNothing) {
  for (const char* device : {"PIC 16F84", "PIC 16F877", "PIC 12C508"}) {
    PicRig pic(device);
    auto& [chip, rig] = pic;
    rig.options.Progging = true;
    rig.options.Warning = true;
    RandomPicImage(rig, 6);
    // Protection on: the "CP" fuse box, or the first item of the protection list.
    for (FuseCheckBox& fuse : rig.workspace.Config.Fuses) {
      if (fuse.Caption == "CP") fuse.Checked = true;
    }
    if (rig.workspace.Config.CodeProtect.Visible) rig.workspace.Config.CodeProtect.Select(0);
    rig.ui.Answer(true);
    rig.ui.Answer(false);
    const OperationResult result = rig.ops.ProgramAll();
    EXPECT_TRUE(result.Declined && !result.Verified) << device;
    EXPECT_EQ(rig.ui.Questions(),
              (Strings{"Do you really want to program the device?",
                       "Do you really want to enable \"Code Protect\" for this device?"}));
    EXPECT_TRUE(rig.ui.Messages().empty());
    EXPECT_EQ(rig.programmer.OpenCount(), 0);
    EXPECT_TRUE(Untouched(*chip)) << device;
  }
}

TEST(PicCancel, ReadAllCancelledInTheCodePhaseStillReadsDataAndConfiguration) {
  for (ProgrammerType type : {ProgrammerType::Jdm, ProgrammerType::ProPic2}) {
    PicRig pic("PIC 16F84", type);
    auto& [chip, rig] = pic;
    for (std::size_t i = 0; i < chip->Code().size(); ++i) chip->Code()[i] = 0x2000 | i;
    for (std::size_t i = 0; i < chip->Data().size(); ++i) chip->Data()[i] = 0x80 | i;
    chip->SetConfigWord(0x3FF2);
    chip->SetIdWord(1, 0x0007);
    CancelWhen(rig, [](auto& e) { return AtPosition(e, 10); });
    const OperationResult result = rig.ops.ReadAll();
    EXPECT_TRUE(result.Cancelled && !result.Succeeded());
    const BufferSlot& slot = rig.Slot();
    // The word in progress is finished; after it the code buffer holds 0.
    EXPECT_TRUE(SameWords("code", slot.CodeBuffer, chip->Code(), 11));
    EXPECT_EQ(std::count(slot.CodeBuffer.begin() + 11, slot.CodeBuffer.begin() + 1024, 0),
              1024 - 11);
    EXPECT_TRUE(SameWords("data", slot.DataBuffer, chip->Data(), 64));
    EXPECT_EQ(slot.ConfigArea[7], 0x3FF2);
    EXPECT_EQ(slot.ConfigArea[1], 0x0007);
    EXPECT_EQ(rig.ui.Texts(Type::ProgressText),
              (Strings{"Reading Code (1024) bytes", "Reading Code (1024) bytes",
                       "Reading Data (64) bytes", "Reading Configuration"}));
    EXPECT_TRUE(pic.Rested());
  }
}

TEST(PicCancel, EveryOperationRestsWhenCancelledOrFailed) {
  using Command = OperationResult (Operations::*)();
  const std::pair<const char*, Command> commands[] = {
      {"Read All", &Operations::ReadAll},
      {"Program All", &Operations::ProgramAll},
      {"Verify", &Operations::Verify},
      {"Blank Check", &Operations::BlankCheck},
      {"Program Config", &Operations::ProgramConfig},
      {"Erase All", &Operations::EraseAll}};
  for (const char* device : {"PIC 16F84", "PIC 16C622", "PIC 12C508"}) {
    for (const auto& [name, command] : commands) {
      // Cancel pressed on the third unit of whatever runs first.
      PicRig cancelled(device, ProgrammerType::ProPic2);
      RandomPicImage(cancelled.rig, 9, 0x40);
      CancelWhen(cancelled.rig, [](auto& e) { return AtPosition(e, 2); });
      (cancelled.rig.ops.*command)();
      EXPECT_TRUE(cancelled.Rested()) << device << ", " << name << " cancelled";

      // The port does not open.
      PicRig refused(device);
      refused.rig.programmer.FailOpen(EBUSY);
      RandomPicImage(refused.rig, 9, 0x40);
      const OperationResult result = (refused.rig.ops.*command)();
      if (!(command == &Operations::EraseAll && !refused.rig.Device().Erasable)) {
        EXPECT_TRUE(result.PortFailed) << device << ", " << name;
        EXPECT_EQ(refused.rig.ui.Messages().size(), 1u) << device << ", " << name;
      }
      EXPECT_TRUE(refused.Rested()) << device << ", " << name << " without a port";
      EXPECT_TRUE(Untouched(*refused.chip));
    }
  }
  // A failed Program All, with verify during programming on a word that will not take.
  PicRig failed("PIC 16F628", ProgrammerType::ProPic2);
  failed.rig.options.VerDurProg = true;
  RandomPicImage(failed.rig, 10, 0x40);
  failed.chip->SetNeverProgram(PicRegion::Code, 3);
  EXPECT_TRUE(failed.rig.ops.ProgramAll().Failed);
  EXPECT_TRUE(failed.Rested());
}

// Protected memory reads as zeros, so with protection chosen Program All verifies code and data
// before the configuration that turns protection on, and protects only a part that verified.
TEST(PicProtection, VerifyComesBeforeTheConfigurationThatProtects) {
  for (const char* device : {"PIC 16F84", "PIC 16C622", "PIC 16F870"}) {
    PicRig pic(device, ProgrammerType::TaitSerial);
    auto& [chip, rig] = pic;
    RandomPicImage(rig, 17, 0x100);
    rig.workspace.Config.CodeProtect.Select(0);
    for (FuseCheckBox& fuse : rig.workspace.Config.Fuses) {
      if (fuse.Caption == "CP" || fuse.Caption == "CPD") fuse.Checked = true;
    }
    ASSERT_TRUE(rig.ProgramAndVerify()) << device;
    const Strings texts = rig.ui.Texts(Type::ProgressText);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "Programming Configuration") << device;
    EXPECT_EQ(chip->ConfigWord(),
              HeldAfterProgramming(rig.Slot(), rig.Device(), chip->Description()).ConfigArea[7]);
    // Now protected, the part reads as zeros.
    rig.ui.Clear();
    rig.ops.Verify();
    EXPECT_EQ(rig.ui.Messages(), Strings{"Verify failed at address 0000h !"}) << device;
    EXPECT_TRUE(pic.Rested());
  }
  // A part that does not verify is left unprotected.
  PicRig pic("PIC 16F84");
  auto& [chip, rig] = pic;
  RandomPicImage(rig, 18);
  rig.Slot().CodeBuffer[0x40] = 0x0000;
  chip->SetNeverProgram(PicRegion::Code, 0x40);
  for (FuseCheckBox& fuse : rig.workspace.Config.Fuses) fuse.Checked = fuse.Caption == "CP";
  rig.ops.ProgramAll();
  EXPECT_EQ(rig.ui.Messages(), Strings{"Verify failed at address 0040h !"});
  EXPECT_EQ(chip->ConfigWord(), 0x3FFF);
  EXPECT_TRUE(pic.Rested());
}

// The 12C508 carries its oscillator calibration as a MOVLW in its last program word, 01FFh.
TEST(PicCalibration, FactoryWordSurvivesAndABlankOneIsAskedAbout) {
  {
    PicRig pic("PIC 12C508");
    auto& [chip, rig] = pic;
    RandomPicImage(rig, 11, 0x20);
    rig.Slot().CodeBuffer[0x1FF] = 0x0C00;
    ASSERT_TRUE(rig.ProgramAndVerify());
    EXPECT_TRUE(rig.ui.Questions().empty());
    EXPECT_EQ(chip->Code()[0x1FF], 0x0C64);
    EXPECT_EQ(rig.Slot().CodeBuffer[0x1FF], 0x0C64);
  }
  const std::string question =
      "No \"Oscillator Callibration Value\" found.\rDo you want to use value from file "
      "(0C34) instead ?";
  struct Case {
    std::uint16_t onPart;
    bool answer;
    std::uint16_t buffer, part;  // afterwards
  };
  for (const Case c : {Case{0x0FFF, false, 0x0FFF, 0x0FFF}, Case{0x0000, false, 0x0000, 0x0000},
                       Case{0x0FFF, true, 0x0C34, 0x0C34}}) {
    PicRig pic("PIC 12C508", ProgrammerType::TaitSerial);
    auto& [chip, rig] = pic;
    chip->Code()[0x1FF] = c.onPart;  // erased under a lamp, or cleared
    RandomPicImage(rig, 12, 0x20);
    rig.Slot().CodeBuffer[0x1FF] = 0x0C34;
    rig.ui.Answer(c.answer);
    EXPECT_TRUE(rig.ops.ProgramAll().Succeeded());
    const auto questions = rig.ui.OfType(Type::Question);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, question);
    EXPECT_EQ(questions[0].kind, MessageKind::Warning);
    EXPECT_EQ(rig.Slot().CodeBuffer[0x1FF], c.buffer);
    EXPECT_EQ(chip->Code()[0x1FF], c.part);
    EXPECT_EQ(rig.ui.Messages(), Strings{"Device successfully verified!"});
    EXPECT_TRUE(pic.Rested());
  }
  // Cancelled before the calibration word was read, nothing is programmed over it.
  PicRig pic("PIC 12C508");
  auto& [chip, rig] = pic;
  RandomPicImage(rig, 12, 0x20);
  CancelWhen(rig, [](auto& e) { return AtPosition(e, 3); });
  const OperationResult result = rig.ops.ProgramAll();
  EXPECT_TRUE(result.Cancelled && !result.Verified);
  EXPECT_TRUE(rig.ui.Messages().empty() && rig.ui.Questions().empty());
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
  auto& [chip, rig] = pic;
  EXPECT_EQ(rig.workspace.BeginProgramCommand, 0x0618);
  RandomPicImage(rig, 13);
  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_TRUE(ChipHolds(*chip, rig.Device(), HeldAfterProgramming(rig.Slot(), rig.Device(), part)));

  // The same part driven with the erase/program command loses its first word.
  PicRig other("PIC 16F84A", part);
  other.rig.workspace.BeginProgramCommand = 0x0608;
  RandomPicImage(other.rig, 13);
  other.rig.ops.ProgramAll();
  EXPECT_EQ(other.rig.ui.Messages(), Strings{"Verify failed at address 0000h !"});
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
  pic.rig.ui.Clear();
  EXPECT_TRUE(pic.rig.ops.ProgramConfig().Succeeded());
  EXPECT_EQ(pic.rig.ui.Messages(), Strings{"Configuration programmed!"});
  EXPECT_EQ(slowPart.ConfigWord(),
            HeldAfterProgramming(pic.rig.Slot(), pic.rig.Device(), part).ConfigArea[7]);
  EXPECT_EQ(slowPart.AbortedCycles(), 0);

  // A cycle of 2.1 ms does not fit the wait of a Program All: it is 2 ms, not 10; and a failed
  // run ends with 10 ms too.
  part.programUs = 2100;
  PicRig slow("PIC 16F628", part, ProgrammerType::ProPic2);
  RandomPicImage(slow.rig, 14);
  slow.rig.ops.ProgramAll();
  EXPECT_EQ(slow.rig.ui.Messages(), Strings{"Verify failed at address 0000h !"});
  EXPECT_GT(slow.chip->AbortedCycles(), 0);
  EXPECT_EQ(slow.rig.ops.Timing().ProgramWaitMs, 10);
}

TEST(PicFaults, EpromCellsThatNeedMorePulsesThanTheMaximum) {
  // 26 pulses: verifying as it goes, the word has not taken within 25 and fails there.
  PicRig hard("PIC 16C622", ProgrammerType::TaitSerial);
  hard.chip->SetPulsesNeeded(26);
  hard.rig.options.VerDurProg = true;
  RandomPicImage(hard.rig, 15, 4);
  hard.rig.Slot().CodeBuffer[0] = 0x3FFF;  // blank: skipped
  hard.rig.Slot().CodeBuffer[1] = 0x2801;
  EXPECT_TRUE(hard.rig.ops.ProgramAll().Failed);
  EXPECT_EQ(hard.rig.ui.Messages(), Strings{"Programming failed at Code address 0001h !"});
  EXPECT_EQ(hard.chip->ConfigWord(), 0x3FFF);
  EXPECT_TRUE(hard.Rested());

  // More than the maximum and the over-programming together: not verifying as it goes, the
  // verify after programming finds the word.
  PicRig harder("PIC 16C622", ProgrammerType::TaitSerial);
  harder.chip->SetPulsesNeeded(101);
  RandomPicImage(harder.rig, 15, 4);
  harder.rig.Slot().CodeBuffer[0] = 0x3FFF;
  harder.rig.Slot().CodeBuffer[1] = 0x2801;
  harder.rig.ops.ProgramAll();
  EXPECT_EQ(harder.rig.ui.Messages(), Strings{"Verify failed at address 0001h !"});
  EXPECT_EQ(harder.chip->Code()[1], 0x3FFF);
  EXPECT_TRUE(harder.Rested());
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
      const OperationResult result = rig.ops.ProgramAll();
      EXPECT_FALSE(result.Succeeded()) << device;
      EXPECT_EQ(rig.ui.Messages(),
                Strings{verifyDuring ? "Programming failed at Code address 0000h !"
                                     : "Verify failed at address 0000h !"})
          << device;
      EXPECT_EQ(rig.ui.Questions().size(), chip->CalibrationIndex() >= 0 ? 1u : 0u);
      rig.ui.Clear();
      EXPECT_FALSE(rig.ops.Verify().Succeeded());
      EXPECT_EQ(rig.ui.Messages(), Strings{"Verify failed at address 0000h !"});
      EXPECT_TRUE(pic.Rested());
    }
  }
}

}  // namespace
}  // namespace kestrum::testing
