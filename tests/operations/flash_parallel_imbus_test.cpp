// SPDX-License-Identifier: GPL-3.0-or-later
// The 89C1051/2051/4051 on the TAFE, the PIC 16C54 on the TAIT Parallel and the NVM 3060 on
// the IM-Bus through the operations, on their chip models in virtual time: whole lifecycles,
// the 16C54's pulse counts and pin-count settings, lock bits, faults and a cancelled run.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "../sanitized.hpp"
#include "lifecycle.hpp"
#include "pic_image.hpp"
#include "sim/chips/chip_models.hpp"
#include "sim/chips/flash_micro_chip.hpp"
#include "sim/chips/nvm3060_chip.hpp"
#include "sim/chips/parallel_pic_chip.hpp"

namespace kestrum::testing {
namespace {

const std::string kPin18(text::kPin18Setting);
const std::string kPin28(text::kPin28Setting);
const std::string kVerified(text::kVerifyOk);

ProgrammerType TypeFor(std::string_view device) {
  if (device.starts_with("89C")) return ProgrammerType::Tafe;
  if (device == "PIC 16C54") return ProgrammerType::TaitParallel;
  return ProgrammerType::ProPic2;
}

// The device's chip model in the socket of its programmer.
struct FamilyRig {
  explicit FamilyRig(std::string_view device) : FamilyRig(device, TypeFor(device)) {}
  FamilyRig(std::string_view device, ProgrammerType type)
      : chip(ChipModelFor(DescriptorFor(*FindDeviceByName(device)))),
        rig(device, type, chip.get()) {}
  template <class Model>
  Model& As() {
    return dynamic_cast<Model&>(*chip);
  }
  bool Pic() const { return rig.Device().ParallelOnly; }
  // What a successful run says: the TAIT Parallel announces its jumper for each pass.
  Strings Said(int passes, const std::string& last) const {
    Strings said(Pic() ? static_cast<std::size_t>(passes) : 0u, kPin18);
    if (!last.empty()) said.push_back(last);
    return said;
  }
  // A random image; the 16C54's configuration and ID words too, without code protection.
  void RandomImage(unsigned seed) {
    if (Pic()) {
      RandomPicImage(rig, seed);
    } else {
      std::mt19937 random(seed);
      for (int i = 0; i < rig.Device().CodeSize; ++i) rig.Slot().CodeBuffer[i] = random() & 0xFF;
    }
    // Never blank, so a part that did not take them shows at 0000h and 0005h.
    rig.Slot().CodeBuffer[0] = 0x12;
    rig.Slot().CodeBuffer[5] = 0x34;
  }
  // The regions as the part holds them after the slot was programmed.
  BufferSlot Held() {
    BufferSlot held = rig.Slot();
    if (Pic()) held.ConfigArea[0] = (held.ConfigArea[0] & 0x00F) | 0xFF0;
    return held;
  }
  ::testing::AssertionResult Holds(const BufferSlot& held) const {
    for (int i = 0; i < chip->RegionSize(ChipRegion::Code); ++i) {
      if (chip->Element(ChipRegion::Code, i) != held.CodeBuffer[i]) {
        return ::testing::AssertionFailure() << "code differs at " << i;
      }
    }
    if (Pic() && chip->Element(ChipRegion::Config, 0) != held.ConfigArea[0]) {
      return ::testing::AssertionFailure() << "configuration word differs";
    }
    return ::testing::AssertionSuccess();
  }

  std::unique_ptr<ChipModel> chip;  // outlives the board it sits in
  LifecycleRig rig;
};

std::vector<std::string> Devices() {
  if (kSanitized) return {"89C1051 (U)", "PIC 16C54", "NVM 3060"};
  return {"89C1051 (U)", "89C2051", "89C4051", "PIC 16C54", "NVM 3060"};
}

class RegisterFamilies : public ::testing::TestWithParam<std::string> {};

TEST_P(RegisterFamilies, ProgramVerifyReadBackAndCheckBlank) {
  FamilyRig f(GetParam());
  ASSERT_TRUE(f.rig.Runs(&Operations::BlankCheck, true, f.Said(1, "Device is blank.")));
  f.RandomImage(4051);
  ASSERT_TRUE(f.rig.Runs(&Operations::ProgramAll, true, f.Said(2, kVerified)));
  const BufferSlot held = f.Held();
  EXPECT_TRUE(f.Holds(held));
  EXPECT_TRUE(f.rig.ReadBackEquals(held, 4, f.Said(1, "")));
  EXPECT_TRUE(
      f.rig.Runs(&Operations::BlankCheck, false, f.Said(1, "Device NOT blank at address 0000h !")));
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char ch : info.param) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryPart, RegisterFamilies, ::testing::ValuesIn(Devices()), CaseName);

// Single pulses until the word reads back, then three times the failed ones (at most 25) to
// make it last; a word that never takes gets 26 and 25, and the programming stops there. The
// configuration word takes 100 pulses.
TEST(PicParallel, PulseCountsFollowTheWordsThatTake) {
  struct Case {
    int pulsesNeeded;
    int neverAt;  // -1: every word takes
    int pulsesAtZero;
    Strings said;
  };
  for (const Case& c :
       {Case{1, -1, 1, {kPin18, kPin18, kVerified}},
        Case{9, -1, 9 + 24, {kPin18, kPin18, kVerified}},
        Case{3, 0, 26 + 25, {kPin18, "Programming failed at Code address 0000h !"}}}) {
    FamilyRig f("PIC 16C54");
    auto& chip = f.As<ParallelPicChip>();
    chip.SetPulsesNeeded(c.pulsesNeeded);
    if (c.neverAt >= 0) chip.SetNeverProgram(c.neverAt);
    f.RandomImage(54);
    f.rig.Slot().CodeBuffer[0] = 0x000;
    f.rig.Slot().CodeBuffer[1] = 0xFFF;
    EXPECT_TRUE(f.rig.Runs(&Operations::ProgramAll, c.neverAt < 0, c.said));
    EXPECT_EQ(chip.DrivenPulses(0), c.pulsesAtZero);
    if (c.neverAt < 0) {
      EXPECT_EQ(chip.DrivenPulses(1), 1);  // blank already: one pulse, no over-programming
      EXPECT_EQ(chip.DrivenPulses(ParallelPicChip::kConfigAddress), 100);
    } else {
      EXPECT_EQ(chip.DrivenPulses(1), 0);  // nothing after the failed word
    }
  }
}

// The jumper is announced, and words reach the part in its own bit order in either setting: the
// 18-pin setting's rearrangement on the way out is the inverse of the one on the way in.
TEST(PicParallel, BothPinSettingsAreAnnouncedAndProgramThePartAlike) {
  for (const int pins : {18, 28}) {
    FamilyRig f("PIC 16C54");
    SimBoard& board = f.rig.programmer.Board();
    board.Configure(ProgrammerType::TaitParallel, f.rig.lines.PortBase());  // the board's jumper
    dynamic_cast<TaitParallelBoard&>(*board.Parallel()).SetPinSetting(pins);
    f.RandomImage(static_cast<unsigned>(pins));
    const std::string& setting = pins == 18 ? kPin18 : kPin28;
    ASSERT_TRUE(f.rig.Runs(&Operations::ProgramAll, true, {setting, setting, kVerified}));
    EXPECT_TRUE(f.Holds(f.Held()));
  }
}

TEST(PicParallel, ProtectionWaitsForTheVerifyThatItWouldSpoil) {
  FamilyRig f("PIC 16C54");
  f.RandomImage(7);
  for (FuseCheckBox& fuse : f.rig.workspace.Config.Fuses) {
    if (fuse.Caption == "CP") fuse.Checked = true;
  }
  ASSERT_TRUE(f.rig.Runs(&Operations::ProgramAll, true, {kPin18, kPin18, kVerified}));
  auto& chip = f.As<ParallelPicChip>();
  EXPECT_EQ(chip.ConfigWord() & 0x008, 0);  // protected now, and reads as zeros
  EXPECT_TRUE(f.rig.Runs(&Operations::Verify, false, {kPin18, "Verify failed at address 0000h !"}));
}

TEST(FlashMicro, LockBitsWaitForTheVerifyAndThenHideTheCode) {
  FamilyRig f("89C2051");
  f.RandomImage(2051);
  for (FuseCheckBox& fuse : f.rig.workspace.Config.Fuses) fuse.Checked = false;
  ASSERT_TRUE(f.rig.ProgramAndVerify());
  auto& chip = f.As<FlashMicroChip>();
  EXPECT_TRUE(chip.LockBit1());
  EXPECT_TRUE(chip.LockBit2());
  EXPECT_EQ(chip.Element(ChipRegion::Config, 0), 0xFFFC);
  EXPECT_TRUE(f.rig.Runs(&Operations::Verify, false, {"Verify failed at address 0000h !"}));
  // Programming erases the part, lock bits included; ticked boxes leave them unprogrammed.
  for (FuseCheckBox& fuse : f.rig.workspace.Config.Fuses) fuse.Checked = true;
  ASSERT_TRUE(f.rig.ProgramAndVerify());
  EXPECT_EQ(chip.Element(ChipRegion::Config, 0), 0xFFFF);
  EXPECT_EQ(chip.Erases(), 2);
}

// Every fault ends with a message that says what went wrong, the socket at rest and the port
// closed.
TEST(RegisterFamilies, FaultsEndWithAClearMessageAndTheLinesAtRest) {
  struct Case {
    std::string device;
    std::function<void(ChipModel&)> fault;
    Strings said;
  };
  const std::vector<Case> cases = {
      {"89C2051",
       [](ChipModel& c) { dynamic_cast<FlashMicroChip&>(c).SetAbsent(true); },
       {"Verify failed at address 0000h !"}},
      {"89C2051",
       [](ChipModel& c) { dynamic_cast<FlashMicroChip&>(c).SetStuckBusy(true); },
       {"Device did not get ready at Code address 0000h !"}},
      {"PIC 16C54",
       [](ChipModel& c) { dynamic_cast<ParallelPicChip&>(c).SetAbsent(true); },
       {kPin18, "Programming failed at Code address 0000h !"}},
      {"PIC 16C54",
       [](ChipModel& c) { dynamic_cast<ParallelPicChip&>(c).SetNeverProgram(5); },
       {kPin18, "Programming failed at Code address 0005h !"}},
      {"NVM 3060",
       [](ChipModel& c) { dynamic_cast<Nvm3060Chip&>(c).SetAbsent(true); },
       {"Verify failed at address 0000h !"}},
  };
  for (const Case& c : cases) {
    FamilyRig f(c.device);
    c.fault(*f.chip);
    f.RandomImage(99);
    EXPECT_TRUE(f.rig.Runs(&Operations::ProgramAll, false, c.said)) << c.device;
  }
}

// A cancelled IM-Bus programming stops after the cell in progress, leaves the rest as they
// were and still powers the part down.
// The resting bus holds every line high, which runs a JDM's supply down during the power-up
// waits: the part has to be woken before the first transfer, or it misses that transfer's
// select and answers for the cell selected last (the last one of the program run).
TEST(ImBusEeprom, OnTheJdmTheFirstTransferAfterPowerUpIsTaken) {
  FamilyRig f("NVM 3060", ProgrammerType::Jdm);
  f.RandomImage(3060);
  f.rig.ui.Clear();
  const OperationResult result = f.rig.ops.ProgramAll();
  EXPECT_TRUE(result.Succeeded() && result.Verified);
  EXPECT_EQ(f.rig.ui.Messages(), Strings{kVerified});
  EXPECT_TRUE(f.Holds(f.Held()));
}

TEST(ImBusEeprom, ACancelledRunLeavesTheRemainingCells) {
  FamilyRig f("NVM 3060");
  auto& chip = f.As<Nvm3060Chip>();
  for (int i = 0; i < Nvm3060Chip::kBytes; ++i) chip.SetElement(ChipRegion::Code, i, 0xA5);
  f.RandomImage(3060);
  f.rig.options.Verify = false;
  CancelAt(f.rig, 100);
  EXPECT_TRUE(f.rig.Runs(&Operations::ProgramAll, false, {std::string(text::kProgramCancelled)}));
  for (int i = 0; i < Nvm3060Chip::kBytes; ++i) {
    ASSERT_EQ(chip.Element(ChipRegion::Code, i), i <= 100 ? f.rig.Slot().CodeBuffer[i] : 0xA5) << i;
  }
}

}  // namespace
}  // namespace kestrum::testing
