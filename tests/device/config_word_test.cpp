// SPDX-License-Identifier: GPL-3.0-or-later
// Configuration word layouts, ID box rules and fuse tooltips.
#include "device/config_word.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "device/catalogue.hpp"
#include "device/texts.hpp"

namespace kestrum {
namespace {

DeviceDescriptor Device(std::string_view name) {
  return DescriptorFor(*FindDeviceByName(name));
}

int Count(const auto& names) {
  int n = 0;
  for (const auto& s : names) n += s.empty() ? 0 : 1;
  return n;
}

// Controls given as the user sees them: list item texts and the captions of ticked boxes.
ConfigControls Controls(const DeviceDescriptor& d, std::string_view osc, std::string_view cp,
                        std::initializer_list<std::string_view> ticked) {
  ConfigControls c;
  for (int i = 0; i < 8; ++i) {
    if (!osc.empty() && d.OscillatorNames[i] == osc) c.Oscillator = i;
  }
  for (int i = 0; i < 4; ++i) {
    if (!cp.empty() && d.CodeProtectNames[i] == cp && c.CodeProtect < 0) c.CodeProtect = i;
  }
  for (std::string_view name : ticked) {
    bool found = false;
    for (int i = 0; i < 7; ++i) {
      if (d.FuseNames[i] == name) c.Fuses[i] = found = true;
    }
    EXPECT_TRUE(found) << name;
  }
  return c;
}

TEST(ConfigWord, FlashPartsEncodeTheFusesWithTheirPolarity) {
  // WDT off, PWRT on (active low), CP off, XT oscillator.
  const DeviceDescriptor f84 = Device("PIC 16F84");
  EXPECT_EQ(EncodeConfigWord(f84, Controls(f84, "XT", "", {"PWRT"})), 0x3FF1);
  EXPECT_EQ(ConfigWordLabel(0x3FF1, f84.BlankValue), "Config word : 3FF1h");
  // The 16C84 power-up timer is active high.
  const DeviceDescriptor c84 = Device("PIC 16C84");
  EXPECT_EQ(EncodeConfigWord(c84, Controls(c84, "XT", "", {"PWRT"})), 0x3FF9);
  // CP ticked clears the whole replicated code-protect field 13:4.
  EXPECT_EQ(EncodeConfigWord(f84, Controls(f84, "RC", "", {"WDT", "CP"})), 0x000F);
}

TEST(ConfigWord, CodeProtectListsSetTheReplicatedBitPairs) {
  const DeviceDescriptor f877 = Device("PIC 16F877");
  const std::uint16_t w = EncodeConfigWord(f877, Controls(f877, "HS", "CP 1000h-1FFFh", {}));
  EXPECT_EQ(w & 0x3030, 0x1010);  // bits 12 and 4 set, 13 and 5 clear

  // 16F627: the two "CP OFF" items encode as 10 and 11 in bits 11:10 and 13:12.
  const DeviceDescriptor f627 = Device("PIC 16F627");
  ConfigControls c = Controls(f627, "XT", "", {});
  c.CodeProtect = 2;
  EXPECT_EQ(EncodeConfigWord(f627, c) & 0x3C00, 0x2800);
  c.CodeProtect = 3;
  EXPECT_EQ(EncodeConfigWord(f627, c) & 0x3C00, 0x3C00);

  // 12C508 with CP ticked: AND 0x17 clears bit 3 and bits 11:5.
  const DeviceDescriptor c508 = Device("PIC 12C508");
  const std::uint16_t p = EncodeConfigWord(c508, Controls(c508, "XT", "", {"CP", "MCLR"}));
  EXPECT_EQ(p & 0x0FE8, 0);
  EXPECT_EQ(p & 0x1F, 0x11);  // MCLR kept, XT
}

TEST(ConfigWord, SixteenF628InternalOscillatorUsesBitFour) {
  const DeviceDescriptor f628 = Device("PIC 16F628");
  ASSERT_EQ(f628.OscillatorNames[5], "IntRC CLKOUT");
  const std::uint16_t w = EncodeConfigWord(f628, Controls(f628, "IntRC CLKOUT", "CP OFF", {}));
  EXPECT_EQ(w & 0x13, 0x11);
  ConfigControls back;
  DecodeConfigWord(f628, w, back);
  EXPECT_EQ(back.Oscillator, 5);
}

// For every device, every choice the configuration box offers survives the trip to the word
// and back: a wrong bit in either direction of any layout shows here.
TEST(ConfigWord, EveryOfferedChoiceSurvivesEncodeAndDecode) {
  for (const CatalogueEntry& e : Catalogue()) {
    const DeviceDescriptor d = DescriptorFor(e);
    SCOPED_TRACE(std::string(e.Name));
    const int oscItems = Count(d.OscillatorNames);
    const int cpItems = Count(d.CodeProtectNames);
    const int fuses = Count(d.FuseNames);
    for (int osc = 0; osc < std::max(oscItems, 1); ++osc) {
      for (int cp = 0; cp < std::max(cpItems, 1); ++cp) {
        for (int mask = 0; mask < (1 << fuses); ++mask) {
          ConfigControls in;
          in.Oscillator = oscItems > 0 ? osc : -1;
          in.CodeProtect = cpItems > 0 ? cp : -1;
          for (int f = 0; f < fuses; ++f) in.Fuses[f] = (mask >> f) & 1;
          ConfigControls out;
          out.Oscillator = out.CodeProtect = -7;
          const auto words = EncodeConfigWords(d, in);
          ASSERT_EQ(words[0], EncodeConfigWord(d, in));
          DecodeConfigWord(d, words[0], out, std::span(words).subspan(1));
          if (oscItems > 0) {
            ASSERT_EQ(out.Oscillator, osc) << "cp " << cp << " fuses " << mask;
          }
          if (cpItems > 0) {
            // 16F627 offers "CP OFF" twice; both read back as a "CP OFF" item.
            ASSERT_EQ(d.CodeProtectNames[out.CodeProtect], d.CodeProtectNames[cp])
                << "osc " << osc << " fuses " << mask;
          }
          for (int f = 0; f < fuses; ++f) {
            ASSERT_EQ(out.Fuses[f], in.Fuses[f])
                << d.FuseNames[f] << " osc " << osc << " cp " << cp;
          }
        }
      }
    }
  }
}

// Every further control (an AVR's fuse bits and fields, a second configuration word's boxes)
// takes each of its choices to the words and back, the other controls as they start.
TEST(ConfigWord, EveryFurtherChoiceSurvivesEncodeAndDecode) {
  for (const CatalogueEntry& e : Catalogue()) {
    const DeviceDescriptor d = DescriptorFor(e);
    const std::vector<const ConfigField*> more = MoreFields(d);
    for (std::size_t k = 0; k < more.size(); ++k) {
      int choices = 2;
      if (more[k]->Target == ConfigTarget::MoreList) {
        choices = static_cast<int>(
            std::ranges::count_if(more[k]->Names, [](std::string_view n) { return !n.empty(); }));
      }
      for (int choice = 0; choice < choices; ++choice) {
        ConfigControls in;
        in.More.assign(more.size(), 0);
        in.More[k] = choice;
        const auto words = EncodeConfigWords(d, in);
        ConfigControls out;
        DecodeConfigWord(d, words[0], out, std::span(words).subspan(1));
        ASSERT_EQ(out.More[k], choice) << e.Name << " " << more[k]->Caption;
      }
    }
  }
}

// The fuse values that take an AVR away from the programmer, each named; the factory values
// and the internal oscillators none.
TEST(ConfigWord, FuseRisksNameEverySettingThatLocksThePartOut) {
  struct Case {
    const char* device;
    std::array<std::uint16_t, 4> words;
    std::vector<std::string_view> risks;
  };
  const Case cases[] = {
      {"ATmega328P", {0x62, 0xD9, 0xFF, 0xFF}, {}},
      {"ATmega328P", {0x63, 0xD9, 0xFF, 0xFC}, {}},  // 128 kHz, locked: no brick
      {"ATmega328P",
       {0x60, 0x19, 0xFF, 0xFF},
       {text::kRiskRstdisbl, text::kRiskDwen, text::kRiskExternalClock4}},
      {"ATmega328P", {0x71, 0xF9, 0xFF, 0xFF}, {text::kRiskSpien, text::kRiskReservedClock}},
      {"ATtiny85", {0x61, 0xDF, 0xFF, 0xFF}, {}},  // the PLL
      {"ATtiny85", {0x66, 0x5F, 0xFF, 0xFF}, {text::kRiskRstdisbl, text::kRiskCrystal}},
      {"ATtiny13A", {0x6B, 0xF7, 0xFF, 0xFF}, {text::kRiskDwen}},
      {"ATtiny13A", {0xE8, 0xFF, 0xFF, 0xFF}, {text::kRiskSpien, text::kRiskExternalClock2}},
      {"ATtiny2313A", {0x62, 0xDE, 0xFF, 0xFF}, {text::kRiskRstdisbl}},
      {"ATtiny2313A", {0x63, 0x5F, 0xFF, 0xFF}, {text::kRiskDwen, text::kRiskReservedClock}},
      {"ATmega8A", {0xE4, 0xD9, 0xFF, 0xFF}, {}},
      {"ATmega8A", {0xE8, 0xD9, 0xFF, 0xFF}, {text::kRiskExternalRc}},
      {"ATmega8A", {0xEF, 0x59, 0xFF, 0xFF}, {text::kRiskRstdisbl, text::kRiskCrystal}},
      {"ATmega88PA", {0x64, 0xDF, 0xF8, 0xFF}, {text::kRiskCrystal}},
      {"PIC 16F88", {0x0000, 0x0000, 0, 0}, {}},
  };
  for (const Case& c : cases) {
    const DeviceDescriptor d = DescriptorFor(*FindDeviceByName(c.device));
    EXPECT_EQ(ConfigRisks(d, c.words), c.risks) << c.device << " " << c.words[0];
  }
  EXPECT_EQ(ConfigRiskText({text::kRiskDwen, text::kRiskSpien}),
            std::string(text::kRiskDwen) + "\n\n" + std::string(text::kRiskSpien));
}

// The later parts' layouts are data: each control owns its bits and leaves the others erased;
// the 16F87/88's further boxes sit in the second word, the 12F6xx bandgap list in bits 13:12.
TEST(ConfigWord, DataLayoutsPutEachControlInItsOwnBits) {
  struct Case {
    std::string_view device, osc, cp;
    std::initializer_list<std::string_view> ticked;
    std::vector<int> more;
    std::uint16_t first, second;
  };
  const Case cases[] = {
      // FOSC2 at bit 4; PWRT and CPD active low; CP at bit 13.
      {"PIC 16F628A", "IntRC CLKOUT", "CP OFF", {"PWRT", "MCLR"}, {}, 0x3F31, 0x3FFF},
      {"PIC 16F628A", "XT", "CP ALL", {"CPD", "WDT"}, {}, 0x1E0D, 0x3FFF},
      // IESO off, FCMEN on; DEBUGGER ticked clears bit 11.
      {"PIC 16F88", "HS", "CP OFF", {"DEBUGGER"}, {0, 1}, 0x370A, 0x3FFD},
      // Bandgap "BG 01"; FOSC 2:0, CP at bit 7.
      {"PIC 12F675", "IntRC GP4", "CP ALL", {"BODEN"}, {1}, 0x1F54, 0x3FFF},
      {"PIC 16F877A", "RC", "CP OFF", {"LVP", "PWRT"}, {}, 0x3FB3, 0x3FFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.device));
    const DeviceDescriptor d = Device(c.device);
    ConfigControls in = Controls(d, c.osc, c.cp, c.ticked);
    in.More = c.more;
    const auto words = EncodeConfigWords(d, in);
    EXPECT_EQ(words[0], c.first);
    EXPECT_EQ(words[1], c.second);
    ConfigControls out;
    const std::uint16_t second = words[1];
    DecodeConfigWord(d, words[0], out, std::span(&second, 1));
    EXPECT_EQ(out.Oscillator, in.Oscillator);
    EXPECT_EQ(out.CodeProtect, in.CodeProtect);
    EXPECT_EQ(out.Fuses, in.Fuses);
    EXPECT_EQ(out.More, c.more);
  }
  EXPECT_EQ(MoreConfigWordLabel(1, 0xFFFD, 0x3FFF), "Config word 2 : 3FFDh");
}

TEST(ConfigWord, DecodeLeavesControlsOutsideTheLayoutAlone) {
  const DeviceDescriptor c54 = Device("PIC 16C54");  // two fuses, no code-protect list
  ConfigControls c;
  c.CodeProtect = 2;
  c.Fuses[4] = true;
  DecodeConfigWord(c54, 0xFFF, c);
  EXPECT_EQ(c.CodeProtect, 2);
  EXPECT_TRUE(c.Fuses[4]);
  EXPECT_EQ(c.Oscillator, 3);
  EXPECT_TRUE(c.Fuses[0]);   // WDT bit set: ticked
  EXPECT_FALSE(c.Fuses[1]);  // CP bit set: protection off

  // AVR lock bits sit at bits 2 and 3 whatever the variant says.
  const DeviceDescriptor avr = Device("90S2313");
  ConfigControls lock;
  DecodeConfigWord(avr, 0x0004, lock);
  EXPECT_TRUE(lock.Fuses[0]);
  EXPECT_FALSE(lock.Fuses[1]);
  EXPECT_EQ(lock.Oscillator, -1);
  lock.Fuses[1] = true;
  EXPECT_EQ(EncodeConfigWord(avr, lock), 0x000C);

  // SPI EEPROM block-protect bits 3:2 of the status register; "BP None" is 0.
  const DeviceDescriptor spi = Device("25020");
  ConfigControls bp;
  DecodeConfigWord(spi, 0, bp);
  EXPECT_EQ(bp.Oscillator, 0);
  bp.Oscillator = 3;
  EXPECT_EQ(EncodeConfigWord(spi, bp), 0x0C);
}

TEST(ConfigWord, TwoKilowordSeventeenSeventiesShowAtMostTheSecondProtectItem) {
  const DeviceDescriptor f870 = Device("PIC 16F870");
  ConfigControls c;
  DecodeConfigWord(f870, 0x3FDF, c);  // bits 5:4 = 01: not an item of a 2-item list
  EXPECT_EQ(c.CodeProtect, 1);
}

TEST(IdBox, KeyFilterPassesOnlyHexDigitsAndBackspace) {
  std::string typed;
  for (char key : std::string("1g2")) {
    if (auto c = FilterIdKey(key)) typed += *c;
  }
  EXPECT_EQ(typed, "12");
  EXPECT_EQ(FilterIdKey('a'), 'A');
  EXPECT_EQ(FilterIdKey('f'), 'F');
  EXPECT_EQ(FilterIdKey('F'), 'F');
  EXPECT_EQ(FilterIdKey('\b'), '\b');
  for (char key : {'j', 'G', ' ', '/', ':', '@', 'z', '\x7f'})
    EXPECT_FALSE(FilterIdKey(key)) << key;
}

TEST(IdBox, TextToWordsAndBack) {
  EXPECT_EQ(IdWordsFromText("12"), (std::array<std::uint16_t, 4>{1, 2, 0, 0}));
  EXPECT_EQ(IdWordsFromText("3BFF"), (std::array<std::uint16_t, 4>{3, 11, 15, 15}));
  EXPECT_EQ(IdWordsFromText(""), (std::array<std::uint16_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(IdWordsFromText("X9Z?"), (std::array<std::uint16_t, 4>{0, 9, 0, 0}));
  // Each ID word shows only its last hexadecimal digit.
  EXPECT_EQ(IdTextFromWords({0x0012, 0x0034, 0x0056, 0x3FFF}), "246F");
}

TEST(FuseToolTips, KnownNamesOnly) {
  EXPECT_EQ(GetToolTip("WDT"), "Watchdog Timer Enable");
  EXPECT_EQ(GetToolTip("DEBUGGER"), "Background Debugger Mode Enable");
  EXPECT_EQ(GetToolTip("MPEEN"), "Memory Parity Error Enable");
  EXPECT_EQ(GetToolTip("Lock Bit 2"), "Lock Bit 2");
  EXPECT_EQ(GetToolTip("wdt"), "");
  EXPECT_EQ(GetToolTip(""), "");
}

}  // namespace
}  // namespace kestrum
