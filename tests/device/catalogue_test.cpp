// SPDX-License-Identifier: GPL-3.0-or-later
// Self-check of the whole device catalogue and its menu.
#include "device/catalogue.hpp"

#include <gtest/gtest.h>

#include <set>

#include "device/device_descriptor.hpp"

namespace kestrum {
namespace {

int MemoryCoreWidth(DeviceFamily family, bool is12Bit) {
  switch (family) {
    case DeviceFamily::Pic:
      return is12Bit ? 12 : 14;
    case DeviceFamily::MicrowireEeprom:
    case DeviceFamily::FourWireEeprom:
      return 16;
    default:
      return 8;
  }
}

TEST(Catalogue, EveryDeviceIsFoundByNameAndByNumber) {
  ASSERT_EQ(Catalogue().size(), 111u);
  std::set<std::string_view> names;
  std::set<int> numbers;
  for (const CatalogueEntry& e : Catalogue()) {
    EXPECT_EQ(FindDeviceByName(e.Name), &e) << e.Name;
    EXPECT_EQ(FindDeviceByNumber(e.MenuCommand), &e) << e.Name;
    EXPECT_TRUE(names.insert(e.Name).second) << "duplicate name " << e.Name;
    EXPECT_TRUE(numbers.insert(e.MenuCommand).second) << "duplicate number " << e.MenuCommand;
    EXPECT_GE(e.MenuCommand, 37);
    EXPECT_LE(e.MenuCommand, 157);
  }
  // Parts added later keep the numbers they were given.
  EXPECT_EQ(FindDeviceByNumber(127)->Name, "PIC 16F627A");
  EXPECT_EQ(FindDeviceByNumber(131)->Name, "PIC 16F88");
  EXPECT_EQ(FindDeviceByNumber(137)->Name, "PIC 16F877A");
  EXPECT_EQ(FindDeviceByNumber(138)->Name, "ATtiny13A");
  EXPECT_EQ(FindDeviceByNumber(147)->Name, "ATmega328P");
  EXPECT_EQ(FindDeviceByNumber(148)->Name, "25LC080A");
  EXPECT_EQ(FindDeviceByNumber(156)->Name, "25LC512");
  EXPECT_EQ(FindDeviceByNumber(157)->Name, "24LC1025");
  EXPECT_EQ(FindDeviceByNumber(51), nullptr);  // "SDA2526": disabled, nothing behind it
  EXPECT_EQ(FindDeviceByNumber(57), nullptr);  // "MDA 2062"
  EXPECT_EQ(FindDeviceByName("SDA2526"), nullptr);
  EXPECT_EQ(FindDeviceByName("PIC12CE519"), nullptr);  // the name has its blank
  EXPECT_EQ(FindDeviceByNumber(62)->Name, "PIC 16F84");
  EXPECT_EQ(FindDeviceByNumber(58)->Name, "NVM 3060");
  EXPECT_EQ(FirstDeviceNumber(), 37);
}

TEST(Catalogue, InvariantsHoldForEveryRow) {
  for (const CatalogueEntry& e : Catalogue()) {
    SCOPED_TRACE(std::string(e.Name));
    const DeviceDescriptor d = DescriptorFor(e);
    const DeviceFamily family = FamilyOf(d);

    // The blank value is the erased cell of the family's core.
    EXPECT_EQ(CoreWidth(d.BlankValue), MemoryCoreWidth(family, d.Is12Bit));
    EXPECT_EQ(d.BlankValue, (1u << CoreWidth(d.BlankValue)) - 1);

    EXPECT_GT(d.CodeSize, 0);
    EXPECT_LE(d.CodeSize, kMaxDeviceElements);
    EXPECT_GE(d.DataSize, 0);
    if (d.PageSize > 0) {
      EXPECT_EQ(d.CodeSize % d.PageSize, 0);
    }
    // Pages: every I2C and SPI EEPROM, and the AVRs added later (the AVRs' EEPROM pages
    // divide the EEPROM too).
    const bool added = e.MenuCommand >= kFirstAddedDeviceNumber;
    EXPECT_EQ(d.PageSize > 0, family == DeviceFamily::I2cEeprom ||
                                  family == DeviceFamily::SpiEeprom ||
                                  (added && family == DeviceFamily::AvrMicro));
    if (d.DataPageSize > 0) {
      EXPECT_EQ(d.DataSize % d.DataPageSize, 0);
    }

    if (family == DeviceFamily::Pic) {
      if (d.Is12Bit) {
        // Program memory of 512 or 1024 words plus the four ID words.
        EXPECT_TRUE(d.CodeSize == 516 || d.CodeSize == 1028);
        EXPECT_EQ(d.IdAddress, d.CodeSize - 4);
        EXPECT_EQ(d.IdIndex, d.CodeSize - 4);
        EXPECT_EQ(d.ConfigAreaWords, 1);
        EXPECT_EQ(d.ConfigWordIndex, 0);
        EXPECT_EQ(d.ConfigAddress, 0xFFF);
        EXPECT_EQ(d.CodeEntryCommand, 0x0606);
        EXPECT_EQ(d.ConfigEntryCommand, 0);
        EXPECT_EQ(d.OverProgramFactor, 11);
        EXPECT_EQ(d.MaxProgramPulses, 8);
      } else {
        EXPECT_EQ(d.IdAddress, 0x2000);
        EXPECT_EQ(d.IdIndex, 0);
        EXPECT_EQ(d.ConfigAreaWords, 7 + d.ConfigWords);
        EXPECT_EQ(d.ConfigWordIndex, 7);
        EXPECT_EQ(d.ConfigAddress, 0x2007);
        EXPECT_EQ(d.ConfigEntryCommand, d.HasParity ? 0x1800 : 0x1600);
      }
      EXPECT_EQ(d.DataAddress, d.DataSize > 0 ? 0x2100 : 0);
      // Every PIC is either reprogrammable flash or an EPROM with over-programming.
      EXPECT_NE(d.Erasable, d.IsEprom);
      if (d.IsEprom) {
        EXPECT_GT(d.MaxProgramPulses, 0);
      }
      // The configuration mask covers only bits the core has.
      EXPECT_EQ(d.ConfigMask & ~d.BlankValue, 0);
      // The last code-protect item switches protection off.
      int items = 0;
      for (const auto& n : d.CodeProtectNames) items += n.empty() ? 0 : 1;
      if (items > 0) {
        EXPECT_EQ(d.CodeProtectNames[items - 1], "CP OFF");
      }
    } else if (added && family == DeviceFamily::AvrMicro) {
      // Fuse bytes low, high, extended and the lock byte, named by the signature.
      EXPECT_EQ(d.ConfigAreaWords, 4);
      EXPECT_EQ(d.ConfigWords, 4);
      EXPECT_EQ(d.DeviceIdMask, 0xFFFFFFu);
      EXPECT_EQ(d.DeviceId >> 16, 0x1Eu);
      EXPECT_NE(d.Layout, nullptr);
      EXPECT_EQ(d.DataAddress, d.CodeSize);
      for (int k = 0; k < d.ConfigWords; ++k) {
        // The factory values set no bit the part lacks to 0.
        EXPECT_EQ(d.ConfigDefaults[k] | ConfigWordMask(d, k), 0xFF) << k;
      }
    } else if (added && family == DeviceFamily::SpiEeprom) {
      EXPECT_EQ(d.ConfigAreaWords, 1);  // the status register
      EXPECT_EQ(d.AddressBytes, 2);
      EXPECT_EQ(d.ConfigDefaults[0], 0x00);  // no block protected
    } else {
      EXPECT_FALSE(d.Is12Bit);
      EXPECT_EQ(d.ConfigAreaWords, 0);
      EXPECT_EQ(d.IdAddress, 0);
      EXPECT_EQ(d.DataAddress, family == DeviceFamily::AvrMicro ? d.CodeSize : 0);
      EXPECT_EQ(d.DataSize > 0, family == DeviceFamily::AvrMicro);
    }
    EXPECT_TRUE(d.PinCount == 8 || d.PinCount == 14 || d.PinCount == 18 || d.PinCount == 20 ||
                d.PinCount == 28 || d.PinCount == 40);
    // The data EEPROM must fit the data buffer behind its file address.
    EXPECT_LE(d.DataSize, 65536);
    if (family == DeviceFamily::AvrMicro) {
      EXPECT_LE(d.CodeSize + d.DataSize, 65536);
    }
  }
}

TEST(Catalogue, MenuNumbersCountEveryEntryDepthFirst) {
  const std::vector<DeviceMenuItem> menu = DeviceMenu();
  ASSERT_FALSE(menu.empty());
  EXPECT_EQ(menu.front().Kind, MenuItemKind::Group);
  EXPECT_EQ(menu.front().Caption, "4-Wire Eeprom");
  EXPECT_EQ(menu.front().MenuCommand, 36);
  // The first catalogue's entries count on from one another; the parts added later take the
  // numbers from 127 on in the order they were added, each at the end of its group.
  std::uint16_t first = 0;
  std::set<int> added;
  int group = -1;
  std::uint16_t lastInGroup = 0;
  for (const DeviceMenuItem& item : menu) {
    if (item.Group != group) {
      group = item.Group;
      lastInGroup = 0;
    }
    if (item.Kind == MenuItemKind::Device || item.Kind == MenuItemKind::DisabledDevice) {
      EXPECT_GT(item.MenuCommand, lastInGroup) << item.Caption;
      lastInGroup = item.MenuCommand;
    }
    if (item.MenuCommand >= kFirstAddedDeviceNumber) {
      added.insert(item.MenuCommand);
    } else {
      if (first != 0) {
        EXPECT_EQ(item.MenuCommand, first + 1) << item.Caption;
      }
      first = item.MenuCommand;
    }
  }
  EXPECT_EQ(first, 126);
  ASSERT_EQ(added.size(), 31u);
  EXPECT_EQ(*added.begin(), kFirstAddedDeviceNumber);
  EXPECT_EQ(*added.rbegin(), 157);
  EXPECT_EQ(menu.back().Caption, "ATmega328P");

  int devices = 0;
  for (const DeviceMenuItem& item : menu) {
    if (item.Kind == MenuItemKind::Device) {
      ++devices;
      ASSERT_NE(item.Entry, nullptr);
      EXPECT_EQ(item.Entry->MenuCommand, item.MenuCommand);
    }
    if (item.Kind == MenuItemKind::DisabledDevice) {
      EXPECT_TRUE(item.Caption == "SDA2526" || item.Caption == "MDA 2062");
    }
  }
  EXPECT_EQ(devices, 111);
  // Every entry is captioned with its device's name, spelt one way.
  for (const DeviceMenuItem& item : menu) {
    if (item.Entry != nullptr) {
      EXPECT_EQ(item.Caption, item.Entry->Name);
    }
  }

  // "More" opens the PIC group and holds 61..78.
  const auto more = std::find_if(menu.begin(), menu.end(), [](const DeviceMenuItem& i) {
    return i.Kind == MenuItemKind::SubMenu;
  });
  ASSERT_NE(more, menu.end());
  EXPECT_EQ(more->Caption, "More");
  EXPECT_EQ(more->MenuCommand, 60);
  EXPECT_EQ((more - 1)->Caption, "Microchip PIC");
  EXPECT_EQ((more + 1)->Caption, "PIC 16F83");
  EXPECT_EQ((more + 18)->Caption, "PIC 16C924");
  EXPECT_TRUE((more + 18)->InMore);
  EXPECT_FALSE((more + 19)->InMore);
  EXPECT_EQ((more + 19)->Caption, "PIC 12C508");
}

TEST(DeviceFamily, FlagsAreTestedInTheirFixedOrder) {
  DeviceDescriptor d;
  EXPECT_EQ(FamilyOf(d), DeviceFamily::Pic);
  d.IsSpiMicro89S = true;
  EXPECT_EQ(FamilyOf(d), DeviceFamily::SpiMicro89S);
  d.IsAvrMicro = true;
  EXPECT_EQ(FamilyOf(d), DeviceFamily::AvrMicro);
  d.IsI2cEeprom = true;
  EXPECT_EQ(FamilyOf(d), DeviceFamily::I2cEeprom);
  d.IsImBusEeprom = true;
  EXPECT_EQ(FamilyOf(d), DeviceFamily::ImBusEeprom);
}

TEST(DeviceInformation, ListsNameTypeSizeCoreAndPins) {
  EXPECT_EQ(DeviceInformationText(DescriptorFor(*FindDeviceByName("PIC 16C715"))),
            "Device Information:                \n\n"
            "Name: PIC 16C715\n"
            "Type: Serial programmable parity PIC Microcontroller\n"
            "Program Mem Size: 0800h\n"
            "Program Mem Core: 14 bit\n"
            "Pin Count: 18");
  const DeviceDescriptor c54 = DescriptorFor(*FindDeviceByName("PIC 16C54"));
  EXPECT_EQ(FamilyTypeText(c54), "Parallel programmable PIC Microcontroller");
  EXPECT_NE(DeviceInformationText(c54).find("Program Mem Core: 12 bit"), std::string::npos);

  const std::string big = DeviceInformationText(DescriptorFor(*FindDeviceByName("24C512")));
  EXPECT_NE(big.find("Type: I²C Eeprom\nProgram Mem Size: 10000h\nProgram Mem Core: 8 bit"),
            std::string::npos);
  EXPECT_NE(DeviceInformationText(DescriptorFor(*FindDeviceByName("93C46")))
                .find("Program Mem Core: 16 bit"),
            std::string::npos);
}

}  // namespace
}  // namespace kestrum
