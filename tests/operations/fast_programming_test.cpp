// SPDX-License-Identifier: GPL-3.0-or-later
// Program All without the write cycles that change nothing: for every family that erases first,
// the part ends up holding the same whatever "Program erased words too" says, and for the serial
// EEPROMs whatever "Write only what differs" says, for a random image, a mostly blank one and
// one with erased values in the middle of the code; the verify passes; and a cell that will not
// program is still named at its address.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "../sanitized.hpp"
#include "lifecycle.hpp"
#include "sim/chips/avr_chip.hpp"
#include "sim/chips/avr_paged_chip.hpp"
#include "sim/chips/chip_models.hpp"
#include "sim/chips/micro89s_chip.hpp"
#include "sim/chips/microwire_chip.hpp"
#include "sim/chips/nvm3060_chip.hpp"
#include "sim/chips/pic_chip.hpp"
#include "sim/chips/pic_chip_flash.hpp"
#include "sim/chips/spi_eeprom_chip.hpp"

namespace kestrum::testing {
namespace {

enum class Image { Random, MostlyBlank, ErasedInTheMiddle };

// Code words under the part's blank value and data bytes; the configuration as selected.
void FillImage(LifecycleRig& rig, Image image, unsigned seed) {
  std::mt19937 random(seed);
  const DeviceDescriptor& d = rig.Device();
  const std::uint16_t blank = d.BlankValue;
  for (int i = 0; i < d.CodeSize; ++i) {
    const auto word = static_cast<std::uint16_t>(random() & blank);
    const bool erased =
        (image == Image::MostlyBlank && i >= 40) ||
        // A run that covers whole write blocks, and single words among programmed ones.
        (image == Image::ErasedInTheMiddle && i >= d.CodeSize / 2 &&
         (i < d.CodeSize / 2 + 24 || i % 5 == 0) && i < d.CodeSize * 3 / 4);
    rig.Slot().CodeBuffer[i] = erased ? blank : word;
  }
  for (int i = 0; i < std::max(d.DataSize, 0); ++i) {
    const bool erased = (image == Image::MostlyBlank && i >= 4) ||
                        (image == Image::ErasedInTheMiddle && i % 3 == 0);
    rig.Slot().DataBuffer[i] = erased ? 0xFF : random() & 0xFF;
  }
}

// What the part holds: code then data.
std::vector<std::uint16_t> Contents(const ChipModel& chip) {
  std::vector<std::uint16_t> out;
  for (ChipRegion region : {ChipRegion::Code, ChipRegion::Data}) {
    for (int i = 0; i < chip.RegionSize(region); ++i) out.push_back(chip.Element(region, i));
  }
  return out;
}

// Something other than the image in every cell, so only the erase makes a cell blank.
void FillOld(ChipModel& chip, std::uint16_t blank) {
  for (ChipRegion region : {ChipRegion::Code, ChipRegion::Data}) {
    for (int i = 0; i < chip.RegionSize(region); ++i) {
      chip.SetElement(region, i, static_cast<std::uint16_t>((i * 37 + 1) & blank & 0x5A5A));
    }
  }
}

struct Family {
  const char* device;
  ProgrammerType type;
  // Makes the cell at code element `index` refuse to program; null where the model has no
  // such fault.
  std::function<void(ChipModel&, int)> stuck;
  const char* stuckMessage;
};

const Family kFamilies[] = {
    {"PIC 16F84", ProgrammerType::Jdm,
     [](ChipModel& c, int i) { dynamic_cast<PicChip&>(c).SetNeverProgram(PicRegion::Code, i); },
     "Verify failed at address 0123h !"},
    {"PIC 16F627A", ProgrammerType::Jdm,
     [](ChipModel& c, int i) {
       dynamic_cast<PicFlashChip&>(c).SetNeverProgram(PicFlashRegion::Code, i);
     },
     "Verify failed at address 0123h !"},
    {"PIC 16F873A", ProgrammerType::Jdm,
     [](ChipModel& c, int i) {
       dynamic_cast<PicFlashChip&>(c).SetNeverProgram(PicFlashRegion::Code, i);
     },
     "Verify failed at address 0123h !"},
    {"90S2313", ProgrammerType::ProPic2,
     [](ChipModel& c, int i) { dynamic_cast<AvrChip&>(c).SetNeverProgram(ChipRegion::Code, i); },
     "Verify failed at address 0123h !"},
    {"ATtiny25", ProgrammerType::ProPic2,
     [](ChipModel& c, int i) {
       dynamic_cast<AvrPagedChip&>(c).SetNeverProgram(ChipRegion::Code, i);
     },
     "Verify failed at address 0123h !"},
    {"89S53", ProgrammerType::ProPic2,
     [](ChipModel& c, int i) { dynamic_cast<Micro89SChip&>(c).SetNeverProgram(i); },
     "Verify failed at address 0123h !"},
    {"89C1051 (U)", ProgrammerType::Tafe, nullptr, nullptr},
};

std::string Name(const Family& f, Image image, bool every) {
  return std::string(f.device) + " image " + std::to_string(static_cast<int>(image)) +
         (every ? " every word" : " erased skipped");
}

TEST(SkipErased, ContentsAreTheSameWithAndWithoutTheOptionAndVerifyPasses) {
  const std::vector<Image> images =
      kSanitized ? std::vector{Image::ErasedInTheMiddle}
                 : std::vector{Image::Random, Image::MostlyBlank, Image::ErasedInTheMiddle};
  for (const Family& f : kFamilies) {
    for (Image image : images) {
      std::vector<std::uint16_t> held[2];
      for (bool every : {false, true}) {
        auto chip = ChipModelFor(DescriptorFor(*FindDeviceByName(f.device)));
        LifecycleRig rig(f.device, f.type, chip.get());
        FillOld(*chip, rig.Device().BlankValue);
        FillImage(rig, image, 28);
        rig.options.ProgramErasedWords = every;
        EXPECT_TRUE(rig.ProgramAndVerify()) << Name(f, image, every);
        held[every] = Contents(*chip);
      }
      EXPECT_EQ(held[0], held[1]) << Name(f, image, false);
    }
  }
}

TEST(SkipErased, ACellThatWillNotProgramIsNamedAtItsAddress) {
  for (const Family& f : kFamilies) {
    if (!f.stuck) continue;
    auto chip = ChipModelFor(DescriptorFor(*FindDeviceByName(f.device)));
    LifecycleRig rig(f.device, f.type, chip.get());
    FillImage(rig, Image::ErasedInTheMiddle, 5);
    rig.Slot().CodeBuffer[0x123] = 0x12;
    f.stuck(*chip, 0x123);
    EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {f.stuckMessage})) << f.device;
  }
}

// The 90S parts' writes end when the byte reads back instead of after the datasheet's wait:
// the part holds the same either way, FFh bytes (which cannot be polled) included.
TEST(ReadyPolling, A90SPartHoldsTheSameAsWithTheDatasheetWaits) {
  for (Image image : {Image::Random, Image::ErasedInTheMiddle}) {
    std::vector<std::uint16_t> held[2];
    for (bool poll : {false, true}) {
      auto chip = ChipModelFor(DescriptorFor(*FindDeviceByName("90S2313")));
      LifecycleRig rig("90S2313", ProgrammerType::ProPic2, chip.get());
      FillOld(*chip, 0xFF);
      FillImage(rig, image, 7);
      rig.options.AvrPollReady = poll;
      rig.options.ProgramErasedWords = true;
      EXPECT_TRUE(rig.ProgramAndVerify()) << static_cast<int>(image) << poll;
      held[poll] = Contents(*chip);
    }
    EXPECT_EQ(held[0], held[1]) << static_cast<int>(image);
  }
}

// ---- "Write only what differs" on the serial EEPROMs ----

struct Eeprom {
  const char* device;
  ProgrammerType type;
  // Makes the cell at code element `index` refuse to program; null where the model has no
  // such fault.
  std::function<void(ChipModel&, int)> stuck;
};

const auto kSpiStuck = [](ChipModel& c, int i) {
  dynamic_cast<SpiEepromChip&>(c).SetNeverProgram(i);
};
const auto kWordStuck = [](ChipModel& c, int i) {
  dynamic_cast<MicrowireChip&>(c).SetNeverProgram(i);
};

const Eeprom kEeproms[] = {
    {"24C16", ProgrammerType::Jdm, nullptr},
    {"25040", ProgrammerType::Stk200, kSpiStuck},
    {"25LC080A", ProgrammerType::Stk200, kSpiStuck},
    {"93C46", ProgrammerType::Jdm, kWordStuck},
    {"59C11", ProgrammerType::Jdm, kWordStuck},
    {"NVM 3060", ProgrammerType::ProPic2,
     [](ChipModel& c, int i) { dynamic_cast<Nvm3060Chip&>(c).SetNeverProgram(i); }},
};

// The part holds the image already, except for one byte in every third 16-byte page.
void HoldMostOf(ChipModel& chip, const BufferSlot& slot) {
  for (int i = 0; i < chip.RegionSize(ChipRegion::Code); ++i) {
    const bool changed = i % 48 == 7;
    chip.SetElement(ChipRegion::Code, i,
                    static_cast<std::uint16_t>(slot.CodeBuffer[i] ^ (changed ? 0x5A : 0)));
  }
}

TEST(WriteOnlyDiffers, ContentsAreTheSameWithAndWithoutTheOptionAndVerifyPasses) {
  for (const Eeprom& e : kEeproms) {
    for (Image image : {Image::Random, Image::MostlyBlank, Image::ErasedInTheMiddle}) {
      std::vector<std::uint16_t> held[2];
      for (bool differs : {false, true}) {
        auto chip = ChipModelFor(DescriptorFor(*FindDeviceByName(e.device)));
        LifecycleRig rig(e.device, e.type, chip.get());
        FillImage(rig, image, 16);
        HoldMostOf(*chip, rig.Slot());
        rig.options.WriteOnlyDiffers = differs;
        EXPECT_TRUE(rig.ProgramAndVerify()) << e.device << " image " << static_cast<int>(image);
        held[differs] = Contents(*chip);
      }
      EXPECT_EQ(held[0], held[1]) << e.device << " image " << static_cast<int>(image);
    }
  }
}

TEST(WriteOnlyDiffers, ACellThatWillNotProgramIsNamedAtItsAddress) {
  for (const Eeprom& e : kEeproms) {
    if (!e.stuck) continue;
    auto chip = ChipModelFor(DescriptorFor(*FindDeviceByName(e.device)));
    LifecycleRig rig(e.device, e.type, chip.get());
    FillImage(rig, Image::Random, 3);
    HoldMostOf(*chip, rig.Slot());
    rig.Slot().CodeBuffer[0x27] = 0x12;
    chip->SetElement(ChipRegion::Code, 0x27, 0xFF);
    e.stuck(*chip, 0x27);
    rig.options.WriteOnlyDiffers = true;
    EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {"Verify failed at address 0027h !"}))
        << e.device;
  }
}

}  // namespace
}  // namespace kestrum::testing
