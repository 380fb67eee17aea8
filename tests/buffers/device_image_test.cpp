// SPDX-License-Identifier: GPL-3.0-or-later
// Device memories in files: files made by real tools load where they belong, and every family
// reads back what it saved.
#include "buffers/device_image.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "file_test_support.hpp"

namespace kestrum {
namespace {

using testing::Bench;
using testing::ReadAll;
using testing::TestData;
using Words = std::vector<std::uint16_t>;

Words Part(const Words& v, int start, int n) {
  return Words(v.begin() + start, v.begin() + start + n);
}

TEST(RealToolFiles, SixteenF84ImageLoadsAlikeFromEveryFormat) {
  Bench ref("PIC 16F84");
  ref.settings.WriteBool("IDCheck", true);
  ref.settings.WriteBool("ConfigCheck", true);
  ASSERT_EQ(ref.files.OpenFile(TestData("blink84.hex"), FileType::Ihx8), OpenResult::Loaded);
  EXPECT_TRUE(ref.ui.Entries().empty());  // ID words and configuration word were found
  const BufferSlot& s = ref.Slot();
  EXPECT_EQ(Part(s.CodeBuffer, 0, 9),
            (Words{0x1683, 0x1006, 0x1283, 0x3001, 0x0686, 0x0B8C, 0x2805, 0x2803, 0x3FFF}));
  EXPECT_EQ(Part(s.ConfigArea, 0, 8), (Words{1, 2, 3, 4, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FF1}));
  EXPECT_EQ(Part(s.DataBuffer, 0, 4), (Words{0x12, 0x34, 0xA5, 0x3FFF}));

  const std::pair<const char*, FileType> others[] = {
      {"blink84.h16", FileType::Ihx16},       {"blink84_inhx32.hex", FileType::Ihx8},
      {"blink84_i16hex.hex", FileType::Ihx8}, {"blink84.s19", FileType::MotorolaS},
      {"blink84.s19", FileType::Any},         {"blink84.hex", FileType::Eeprom},
      {"blink84.bin", FileType::Binary},      {"blink84.bin", FileType::Any}};
  for (const auto& [file, type] : others) {
    Bench b("PIC 16F84");
    b.ui.Answer(false);  // the binary image is not swapped
    EXPECT_EQ(b.files.OpenFile(TestData(file), type), OpenResult::Loaded) << file;
    EXPECT_TRUE(testing::SameImage(b.ws.Device, b.Slot(), s)) << file;
    EXPECT_TRUE(b.ui.Messages().empty()) << file;
  }
}

TEST(RealToolFiles, TwelveBitPicAvrAndEepromFilesLoad) {
  Bench pic("PIC 12C508");
  pic.settings.WriteBool("IDCheck", true);
  pic.settings.WriteBool("ConfigCheck", true);
  pic.files.OpenFile(TestData("blink508.hex"), FileType::Ihx8);
  EXPECT_EQ(Part(pic.Slot().CodeBuffer, 0, 7),
            (Words{0x025, 0xC0E, 0x006, 0xC01, 0x1A6, 0xA03, 0xFFF}));
  EXPECT_EQ(Part(pic.Slot().CodeBuffer, 0x200, 4), (Words{0, 10, 11, 12}));
  EXPECT_EQ(pic.ws.Config.ConfigLabel, "Config word : 0FEAh");
  // Saved again, the configuration word is the record the assembler wrote.
  EXPECT_NE(DeviceHexFile(pic.ws.Device, pic.Slot()).find(":021FFE00EA0FE8\r\n"),
            std::string::npos);
  EXPECT_TRUE(pic.ui.Entries().empty());

  Bench avr("90S2313");
  avr.files.OpenFile(TestData("blink2313.hex"), FileType::Ihx8);
  avr.files.OpenDataFile(TestData("blink2313.eep.hex"), FileType::Ihx8);
  EXPECT_EQ(Part(avr.Slot().CodeBuffer, 10, 3), (Words{0xFC, 0xCF, 0xFF}));
  EXPECT_EQ(Part(avr.Slot().DataBuffer, 0, 4), (Words{0x11, 0x22, 0x33, 0xFF}));
  EXPECT_TRUE(avr.ui.Entries().empty());

  // A 100-byte binary for a 256-byte EEPROM fills bytes 0 to 99; the rest stay erased.
  Bench eeprom("24C02");
  eeprom.files.OpenFile(TestData("text100.bin"), FileType::Binary);
  const std::string text = ReadAll(TestData("text100.bin"));
  EXPECT_EQ(Part(eeprom.Slot().CodeBuffer, 0, 256), [&] {
    Words w(text.begin(), text.end());
    w.resize(256, 0xFF);
    return w;
  }());
  EXPECT_TRUE(eeprom.ui.Entries().empty());  // byte devices are never asked to swap
}

TEST(RoundTrip, EveryFamilyReadsBackItsHexAndBinaryFiles) {
  testing::ScratchDir dir;
  for (const char* device : {"PIC 16F84", "PIC 16F877", "PIC 16F88", "PIC 12C508", "PIC 16C505",
                             "24C16", "24C512", "93C46", "59C11", "90S2313", "89C2051", "25040",
                             "89S53", "NVM 3060", "ATtiny13A", "ATmega328P", "24LC1025"}) {
    for (const SaveType type : {SaveType::Ihx8, SaveType::Binary}) {
      Bench saver(device);
      const DeviceDescriptor& d = saver.ws.Device;
      // Binary files hold program memory only on byte devices.
      if (type == SaveType::Binary && !IsWordDevice(d) && d.DataSize > 0) continue;
      BufferSlot& slot = saver.Slot();
      for (int i = 0; i < d.CodeSize; ++i) slot.CodeBuffer[i] = (i * 0x9E37u + 5) & d.BlankValue;
      for (int i = 0; i < d.DataSize; ++i) slot.DataBuffer[i] = (i * 37 + 5) & 0xFF;
      for (int i = 0; i < d.ConfigAreaWords; ++i)
        slot.ConfigArea[i] = (i * 0x531 + 7) & d.BlankValue;
      // An AVR's fuses as it leaves the factory, bits it lacks at 1, and a lock bit.
      if (d.IsAvrMicro && d.ConfigAreaWords > 0) {
        std::copy_n(d.ConfigDefaults.begin(), d.ConfigAreaWords, slot.ConfigArea.begin());
        slot.ConfigArea[3] = 0xFE;
      }
      saver.ws.ShowStoredConfigWord();  // the controls show the word, as after a device read
      ASSERT_TRUE(saver.files.SaveFile(dir / "image", type, false));

      Bench loader(device);
      loader.settings.WriteBool("IDCheck", true);
      loader.settings.WriteBool("ConfigCheck", true);
      loader.ui.Answer(false);
      const bool hex = type == SaveType::Ihx8;
      loader.files.OpenFile(dir / (hex ? "image.hex" : "image.bin"),
                            hex ? FileType::Ihx8 : FileType::Binary);
      EXPECT_TRUE(testing::SameImage(d, loader.Slot(), slot)) << device << " hex " << hex;
      EXPECT_TRUE(loader.ui.Messages().empty()) << device;
    }
  }
}

TEST(SavedLayout, BlankSixteenF84AsIntelHex) {
  testing::ScratchDir dir;
  Bench b("PIC 16F84");
  b.Slot().DataBuffer[3] = 0x12;
  ASSERT_TRUE(b.files.SaveFile(dir / "pic", SaveType::Ihx8, false));
  std::vector<std::string> lines;
  std::istringstream in(ReadAll(dir / "pic.hex"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 128u + 1 + 1 + 8 + 1);
  EXPECT_EQ(lines[0], ":10000000FF3FFF3FFF3FFF3FFF3FFF3FFF3FFF3F00\r");
  EXPECT_EQ(lines[127].substr(0, 9), ":1007F000");
  EXPECT_EQ(lines[128], ":084000000F000F000F000F007C\r");  // ID words as the ID box gives them
  EXPECT_EQ(lines[129], ":02400E00FF3F72\r");              // from the configuration controls
  EXPECT_EQ(lines[130], ":10420000FF00FF00FF001200FF00FF00FF00FF00A3\r");
  EXPECT_EQ(lines[137].substr(0, 9), ":10427000");
  EXPECT_EQ(lines[138], ":00000001FF\r");
}

}  // namespace
}  // namespace kestrum
