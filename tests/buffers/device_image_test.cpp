// Device memories in files: files made by real tools load where they belong, and every family
// reads back what it saved.
#include "buffers/device_image.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "buffers/texts.hpp"
#include "file_test_support.hpp"

namespace kestrum {
namespace {

using testing::Bench;
using testing::ReadAll;
using testing::SameImage;
using testing::ScratchDir;
using testing::TestData;

std::vector<std::uint16_t> First(const std::vector<std::uint16_t>& v, int start, int n) {
  return std::vector<std::uint16_t>(v.begin() + start, v.begin() + start + n);
}

TEST(RealToolFiles, SixteenF84ImageLoadsAlikeFromEveryFormat) {
  Bench ref("PIC 16F84");
  ref.settings.WriteBool("IDCheck", true);
  ref.settings.WriteBool("ConfigCheck", true);
  ASSERT_EQ(ref.files.OpenFile(TestData("blink84.hex"), FileType::Ihx8), OpenResult::Loaded);
  EXPECT_TRUE(ref.ui.Entries().empty());  // ID words and configuration word were found
  const BufferSlot& s = ref.Slot();
  EXPECT_EQ(First(s.CodeBuffer, 0, 9),
            (std::vector<std::uint16_t>{0x1683, 0x1006, 0x1283, 0x3001, 0x0686, 0x0B8C, 0x2805,
                                        0x2803, 0x3FFF}));
  EXPECT_EQ(s.CodeBuffer[1023], 0x3FFF);
  EXPECT_EQ(First(s.ConfigArea, 0, 8),
            (std::vector<std::uint16_t>{1, 2, 3, 4, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FF1}));
  EXPECT_EQ(First(s.DataBuffer, 0, 4), (std::vector<std::uint16_t>{0x12, 0x34, 0xA5, 0x3FFF}));
  EXPECT_EQ(ref.ws.Config.IdText, "1234");

  const std::pair<const char*, FileType> others[] = {
      {"blink84.h16", FileType::Ihx16},       {"blink84_inhx32.hex", FileType::Ihx8},
      {"blink84_i16hex.hex", FileType::Ihx8}, {"blink84.s19", FileType::MotorolaS},
      {"blink84.s19", FileType::Any},         {"blink84.hex", FileType::Eeprom},
      {"blink84.bin", FileType::Binary},      {"blink84.bin", FileType::Any}};
  for (const auto& [file, type] : others) {
    Bench b("PIC 16F84");
    b.ui.Answer(false);  // the binary image is not swapped
    EXPECT_EQ(b.files.OpenFile(TestData(file), type), OpenResult::Loaded) << file;
    EXPECT_TRUE(SameImage(b.Device(), b.Slot(), s)) << file;
    EXPECT_TRUE(b.ui.Messages().empty()) << file;
  }
}

TEST(RealToolFiles, TwelveBitPicAvrAndEepromFilesLoad) {
  Bench pic("PIC 12C508");
  pic.settings.WriteBool("IDCheck", true);
  pic.settings.WriteBool("ConfigCheck", true);
  ASSERT_EQ(pic.files.OpenFile(TestData("blink508.hex"), FileType::Ihx8), OpenResult::Loaded);
  EXPECT_TRUE(pic.ui.Entries().empty());
  EXPECT_EQ(First(pic.Slot().CodeBuffer, 0, 7),
            (std::vector<std::uint16_t>{0x025, 0xC0E, 0x006, 0xC01, 0x1A6, 0xA03, 0xFFF}));
  EXPECT_EQ(First(pic.Slot().CodeBuffer, 0x200, 4), (std::vector<std::uint16_t>{0, 10, 11, 12}));
  EXPECT_EQ(pic.Slot().ConfigArea[0] & 0xFFF, 0xFEA);
  EXPECT_EQ(pic.ws.Config.ConfigLabel, "Config word : 0FEAh");

  Bench avr("90S2313");
  ASSERT_EQ(avr.files.OpenFile(TestData("blink2313.hex"), FileType::Ihx8), OpenResult::Loaded);
  ASSERT_EQ(avr.files.OpenDataFile(TestData("blink2313.eep.hex"), FileType::Ihx8),
            OpenResult::Loaded);
  EXPECT_EQ(First(avr.Slot().CodeBuffer, 0, 13),
            (std::vector<std::uint16_t>{0x01, 0xE0, 0x07, 0xBB, 0x18, 0xB3, 0x10, 0x27, 0x18, 0xBB,
                                        0xFC, 0xCF, 0xFF}));
  EXPECT_EQ(First(avr.Slot().DataBuffer, 0, 4),
            (std::vector<std::uint16_t>{0x11, 0x22, 0x33, 0xFF}));
  EXPECT_TRUE(avr.ui.Entries().empty());

  // A 100-byte binary for a 256-byte EEPROM fills bytes 0 to 99; the rest stay erased.
  Bench eeprom("24C02");
  ASSERT_EQ(eeprom.files.OpenFile(TestData("text100.bin"), FileType::Binary), OpenResult::Loaded);
  const std::string text = ReadAll(TestData("text100.bin"));
  for (int i = 0; i < 256; ++i) {
    const int expected = i < 100 ? static_cast<unsigned char>(text[i]) : 0xFF;
    ASSERT_EQ(eeprom.Slot().CodeBuffer[i], expected) << i;
  }
  EXPECT_TRUE(eeprom.ui.Entries().empty());  // byte devices are never asked to swap
}

// Fills what belongs to the device with a pattern that differs from element to element.
void FillPattern(const DeviceDescriptor& d, BufferSlot& slot) {
  for (int i = 0; i < d.CodeSize; ++i) slot.CodeBuffer[i] = (i * 0x9E37u + 0x1234) & d.BlankValue;
  for (int i = 0; i < d.DataSize; ++i) slot.DataBuffer[i] = (i * 37 + 5) & 0xFF;
  for (int i = 0; i < d.ConfigAreaWords; ++i) slot.ConfigArea[i] = (i * 0x531 + 7) & d.BlankValue;
}

TEST(RoundTrip, EveryFamilyReadsBackItsHexFile) {
  ScratchDir dir;
  for (const char* device :
       {"PIC 16F84", "PIC 16F877", "PIC 12C508", "PIC 16C505", "24C16", "24C512", "93C46", "59C11",
        "90S2313", "89C2051", "25040", "89S53", "NVM 3060"}) {
    Bench saver(device);
    FillPattern(saver.Device(), saver.Slot());
    saver.ws.ShowStoredConfigWord();  // the controls show the word, as after a device read
    ASSERT_TRUE(saver.files.SaveFile(dir / "image", SaveType::Ihx8, false)) << device;
    Bench loader(device);
    loader.settings.WriteBool("IDCheck", true);
    loader.settings.WriteBool("ConfigCheck", true);
    EXPECT_EQ(loader.files.OpenFile(dir / "image.hex", FileType::Ihx8), OpenResult::Loaded);
    EXPECT_TRUE(SameImage(loader.Device(), loader.Slot(), saver.Slot()));
    EXPECT_TRUE(loader.ui.Entries().empty()) << device;
  }
}

TEST(RoundTrip, BinaryFilesReadBackForWordAndByteDevices) {
  ScratchDir dir;
  for (const char* device : {"PIC 16F84", "PIC 16F877", "PIC 12C508", "93C46", "24C16", "89S53"}) {
    Bench saver(device);
    FillPattern(saver.Device(), saver.Slot());
    saver.ws.ShowStoredConfigWord();  // the controls show the word, as after a device read
    ASSERT_TRUE(saver.files.SaveFile(dir / "image", SaveType::Binary, false)) << device;
    Bench loader(device);
    loader.ui.Answer(false);
    EXPECT_EQ(loader.files.OpenFile(dir / "image.bin", FileType::Binary), OpenResult::Loaded);
    EXPECT_TRUE(SameImage(loader.Device(), loader.Slot(), saver.Slot()));
  }
}

TEST(SavedLayout, WordDeviceBinaryMirrorsTheWordAddressSpace) {
  ScratchDir dir;
  Bench b("PIC 16F84");
  b.Slot().CodeBuffer[1] = 0x2A5B;
  b.Slot().DataBuffer[3] = 0x12;
  ASSERT_TRUE(b.files.SaveFile(dir / "pic", SaveType::Binary, false));
  const std::string bin = ReadAll(dir / "pic.bin");
  ASSERT_EQ(bin.size(), 0x4200u + 2 * 64);
  EXPECT_EQ(bin.substr(0, 4), std::string("\xFF\x3F\x5B\x2A", 4));
  EXPECT_EQ(bin.substr(0x4000, 2), std::string("\x0F\x00", 2));  // ID word 0 from the ID box
  EXPECT_EQ(bin.substr(0x400E, 2), std::string("\xFF\x3F", 2));  // configuration word
  EXPECT_EQ(bin.substr(0x4206, 2), std::string("\x12\x00", 2));  // data byte 3

  // The same slot as 8-bit Intel HEX, line by line.
  ASSERT_TRUE(b.files.SaveFile(dir / "pic", SaveType::Ihx8, false));
  std::istringstream hex(ReadAll(dir / "pic.hex"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(hex, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 128u + 1 + 1 + 8 + 1);
  EXPECT_EQ(lines[0], ":10000000FF3F5B2AFF3FFF3FFF3FFF3FFF3FFF3FB9\r");
  EXPECT_EQ(lines[127].substr(0, 9), ":1007F000");
  EXPECT_EQ(lines[128], ":084000000F000F000F000F007C\r");
  EXPECT_EQ(lines[129], ":02400E00FF3F72\r");
  EXPECT_EQ(lines[130], ":10420000FF00FF00FF001200FF00FF00FF00FF00A3\r");
  EXPECT_EQ(lines[137].substr(0, 9), ":10427000");
  EXPECT_EQ(lines[138], ":00000001FF\r");
}

}  // namespace
}  // namespace kestrum
