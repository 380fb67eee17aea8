// SPDX-License-Identifier: GPL-3.0-or-later
// Opening, saving and dropping files on the workspace: what the slot, the caption, the
// remembered folder and the user see.
#include "buffers/file_commands.hpp"

#include <gtest/gtest.h>

#include <cerrno>

#include "buffers/hex_file.hpp"
#include "buffers/texts.hpp"
#include "device/texts.hpp"
#include "file_test_support.hpp"

namespace kestrum {
namespace {

using testing::Bench;
using testing::ScratchDir;
using testing::WriteAll;
using Entry = RecordingUi::Entry;
using Recent = std::vector<std::pair<std::string, FileType>>;

class RecentFiles : public RecentFilesHook {
 public:
  void AddRecentFile(const std::string& path, FileType type) override {
    added.emplace_back(path, type);
  }
  Recent added;
};

// An 8-bit Intel HEX file with runs of bytes at byte addresses.
std::string HexFile(const std::vector<std::pair<int, std::vector<std::uint8_t>>>& runs) {
  std::string out;
  for (const auto& [address, bytes] : runs) WriteHexBytes(out, bytes, address);
  WriteHexEnd(out);
  return out;
}

Entry Box(MessageKind kind, std::string_view text) {
  const MessageButton button =
      kind == MessageKind::Error ? MessageButton::Cancel : MessageButton::Ok;
  return {Entry::Type::Message, kind, button, std::string(text)};
}

std::string Caption(const std::string& name) {
  return std::string(text::kProgramTitle) + " - " + name;
}

TEST(OpenFile, MissingConfigurationAndIdWordsAreToldOnlyWhenAskedFor) {
  ScratchDir dir;
  WriteAll(dir / "code.hex", HexFile({{0, {0x83, 0x16}}}));
  Bench told("PIC 16F84");
  told.settings.WriteBool("IDCheck", true);
  told.settings.WriteBool("ConfigCheck", true);
  told.files.OpenFile(dir / "code.hex", FileType::Ihx8);
  EXPECT_EQ(told.ui.Entries(), (std::vector<Entry>{Box(MessageKind::Warning, text::kNoConfigInFile),
                                                   Box(MessageKind::Warning, text::kNoIdInFile)}));
  // A binary file never lacks them; a word device asks about the byte order instead.
  told.ui.Clear();
  told.files.OpenFile(dir / "code.hex", FileType::Binary);
  EXPECT_EQ(told.ui.Questions(), std::vector<std::string>{std::string(text::kSwapBytesQuestion)});
  EXPECT_TRUE(told.ui.Messages().empty());
}

// An AVR file's fuse and lock sections (where the GNU toolchain puts them) load into the
// configuration box; fuses that would lock the part out are told at once; a program file
// without fuses leaves the box's fuses as they were.
TEST(OpenFile, AvrFuseSectionsLoadAndRiskyOnesAreToldAtOnce) {
  ScratchDir dir;
  WriteAll(dir / "fuses.hex",
           HexFile({{0, {0x0C, 0x94}}, {0x820000, {0x6F, 0x59, 0xFD}}, {0x830000, {0xFC}}}));
  WriteAll(dir / "code.hex", HexFile({{0, {0x0C, 0x94}}}));
  Bench b("ATmega328P");
  b.files.OpenFile(dir / "fuses.hex", FileType::Ihx8);
  EXPECT_EQ(b.ui.Messages(), std::vector<std::string>{std::string(text::kFileRisks) +
                                                      std::string(text::kRiskRstdisbl) + "\n\n" +
                                                      std::string(text::kRiskCrystal)});
  const std::vector<std::uint16_t> fuses = {0x6F, 0x59, 0xFD, 0xFC};
  EXPECT_TRUE(std::equal(fuses.begin(), fuses.end(), b.Slot().ConfigArea.begin()));
  b.ui.Clear();
  b.files.OpenFile(dir / "code.hex", FileType::Ihx8);
  EXPECT_TRUE(b.ui.Messages().empty());
  EXPECT_TRUE(std::equal(fuses.begin(), fuses.end(), b.Slot().ConfigArea.begin()));
}

TEST(OpenFile, IdWordsKeepOnlyTheirLastDigitInAShowingWindow) {
  ScratchDir dir;
  WriteAll(dir / "id.hex", HexFile({{0x4000, {0x12, 0, 0x34, 0, 0x56, 0, 0x78, 0}}}));
  Bench shown("PIC 16F84");
  shown.files.OpenFile(dir / "id.hex", FileType::Ihx8);
  EXPECT_EQ(std::vector<std::uint16_t>(shown.Slot().ConfigArea.begin(),
                                       shown.Slot().ConfigArea.begin() + 4),
            (std::vector<std::uint16_t>{2, 4, 6, 8}));
  EXPECT_EQ(shown.ws.Config.IdText, "2468");
}

TEST(OpenFile, CaptionFileNameFolderAndRecentFilesFollowTheProgramFileOnly) {
  ScratchDir dir;
  const std::string code = dir / "code.hex";
  WriteAll(code, HexFile({{0, {0x83, 0x16}}}));
  WriteAll(dir / "data.hex", HexFile({{0, {0x5A}}}));
  Bench b("PIC 16F84");
  RecentFiles recent;
  b.files.Recent = &recent;

  EXPECT_EQ(b.files.Open1Click(code, FileType::Any), OpenResult::Loaded);
  EXPECT_EQ(b.ws.Window.Caption, Caption(code));
  EXPECT_EQ(b.Slot().FileName, code);
  EXPECT_EQ(b.files.InitialDir(), dir.Path());
  EXPECT_EQ(b.settings.ReadString("InitDir", ""), dir.Path());
  EXPECT_EQ(recent.added, (Recent{{code, FileType::Any}}));
  EXPECT_TRUE(b.ui.Entries().empty());  // no configuration word, but nobody asked to be told

  // Data files change neither.
  b.files.OpenDataFile1Click(dir / "data.hex", FileType::Ihx8);
  EXPECT_EQ(b.Slot().DataBuffer[0], 0x5A);
  EXPECT_EQ(b.Slot().FileName, code);
  EXPECT_EQ(recent.added.size(), 1u);
}

TEST(OpenFile, AFileThatCannotBeReadIsToldWithItsNameAndReason) {
  ScratchDir dir;
  Bench b("24C02");
  b.settings.WriteBool("IDCheck", true);
  b.settings.WriteBool("ConfigCheck", true);
  RecentFiles recent;
  b.files.Recent = &recent;
  b.Slot().CodeBuffer[0] = 0x42;
  // Neither a missing file nor a folder changes anything.
  EXPECT_EQ(b.files.Open1Click(dir / "gone.hex", FileType::Ihx8), OpenResult::NotOpened);
  EXPECT_EQ(b.files.Open1Click(dir.Path(), FileType::Any), OpenResult::NotOpened);
  EXPECT_EQ(b.ui.Entries(),
            (std::vector<Entry>{
                Box(MessageKind::Error,
                    "Cannot open " + (dir / "gone.hex") + ": No such file or directory"),
                Box(MessageKind::Error, "Cannot read " + dir.Path() + ": Is a directory")}));
  EXPECT_EQ(b.Slot().CodeBuffer[0], 0x42);
  EXPECT_EQ(b.Slot().FileName, "");
  EXPECT_EQ(b.ws.Window.Caption, text::kProgramTitle);
  EXPECT_TRUE(recent.added.empty());

  // A file whose reading fails part way keeps what was read.
  Bench pic("PIC 16F84");
  pic.files.OpenForReading = [](const std::string&, int&) {
    return std::make_unique<testing::FailingSource>(":020000000102FB\r\n", EIO);
  };
  EXPECT_EQ(pic.files.OpenFile("/media/card/a.hex", FileType::Ihx8), OpenResult::ReadFailed);
  EXPECT_EQ(pic.Slot().CodeBuffer[0], 0x0201);
  EXPECT_EQ(pic.ui.Messages(),
            std::vector<std::string>{"Cannot read /media/card/a.hex: Input/output error"});
  EXPECT_EQ(pic.ws.Window.Caption, Caption("/media/card/a.hex"));
}

TEST(OpenFile, AFileWithNothingToLoadIsToldAndChangesNothing) {
  struct Case {
    const char* device;
    std::string contents;
    FileType type;
    bool dataFileToo = true;  // nothing to load as a data file either
  };
  const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
  const std::vector<Case> cases = {
      {"PIC 16F84", jpeg, FileType::Ihx8},                      // not Intel HEX at all
      {"PIC 16F84", "", FileType::Ihx8},                        // empty
      {"PIC 16F84", ":00000001FF\r\n", FileType::Any},          // only the end record
      {"PIC 16F84", "", FileType::Any},                         // empty: binary, and no question
      {"PIC 16F84", "\x01", FileType::Binary, false},           // not one whole word
      {"PIC 16F84", std::string(152, '\0'), FileType::Eeprom},  // the header, no bytes
      {"24C02", "S00600004844521B\nS9030000FC\n", FileType::MotorolaS},  // a header only
      {"24C02", "", FileType::Binary},
      {"PIC 16F84", ":01000000123400\n", FileType::Ihx16, false},  // a checksum error first
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.device) + " " + std::to_string(static_cast<int>(c.type)) + " [" +
                 c.contents + "]");
    const std::string name = dir / "photo.jpg";
    WriteAll(name, c.contents);
    Bench b(c.device);
    RecentFiles recent;
    b.files.Recent = &recent;
    b.Slot().CodeBuffer[0] = 0x42;
    b.Slot().DataBuffer[0] = 0x17;
    b.Slot().FileName = "kept.hex";
    b.ws.Window.Caption = Caption("kept.hex");
    EXPECT_EQ(b.files.Open1Click(name, c.type), OpenResult::NoData);
    // A file whose records all failed says so.
    const bool checksum = c.type == FileType::Ihx16;
    std::vector<Entry> told = {
        Box(MessageKind::Warning,
            std::string(checksum ? text::kNoRecordRead : text::kNoDataInFile) + name)};
    if (checksum) {
      told.insert(told.begin(), Box(MessageKind::Error,
                                    std::string(text::kChecksumError) + "\r" + name + ", line 1"));
    }
    EXPECT_EQ(b.ui.Entries(), told);
    EXPECT_EQ(b.Slot().CodeBuffer[0], 0x42);
    EXPECT_EQ(b.Slot().FileName, "kept.hex");
    EXPECT_EQ(b.ws.Window.Caption, Caption("kept.hex"));
    EXPECT_TRUE(recent.added.empty());

    if (b.ws.Device.DataSize > 0 && c.dataFileToo) {
      b.ui.Clear();
      EXPECT_EQ(b.files.OpenDataFile(name, c.type), OpenResult::NoData);
      EXPECT_EQ(b.ui.Messages(), std::vector<std::string>{told.back().text});
      EXPECT_EQ(b.Slot().DataBuffer[0], 0x17);
    }
  }
}

TEST(OpenFile, FileTypesMeetTheDeviceAsTheyShould) {
  ScratchDir dir;
  WriteAll(dir / "words.h16", ":0100000012349B\n:00000001FF\n");
  Bench avr("90S2313");
  avr.Slot().CodeBuffer[0] = 0x42;
  avr.files.OpenFile(dir / "words.h16", FileType::Ihx16);
  avr.files.OpenDataFile(dir / "words.h16", FileType::Ihx16);
  EXPECT_EQ(avr.ui.Entries(),
            (std::vector<Entry>{Box(MessageKind::Information, text::kHex16NotForEeprom),
                                Box(MessageKind::Information, text::kHex16NotForEepromData)}));
  EXPECT_EQ(avr.Slot().CodeBuffer[0], 0x42);  // a refused file changes nothing

  std::string big(300, '\0');
  for (int i = 0; i < 300; ++i) big[i] = static_cast<char>(i);
  WriteAll(dir / "big.bin", big);
  Bench eeprom("24C02");
  // Larger than the device: what does not fit is told.
  EXPECT_EQ(eeprom.files.OpenFile(dir / "big.bin", FileType::Binary), OpenResult::Damaged);
  EXPECT_EQ(eeprom.Slot().CodeBuffer[255], 255);
  EXPECT_EQ(eeprom.Slot().CodeBuffer[256], 0xFF);
  EXPECT_EQ(eeprom.ui.Messages(),
            std::vector<std::string>{"Not loaded, outside the device: 44 bytes, the first at "
                                     "0100h.\r" +
                                     (dir / "big.bin")});

  WriteAll(dir / "words.bin", "\x01\x02\x03\x04");
  Bench pic("PIC 16F84");
  pic.ui.Answer(true);  // swap
  pic.files.OpenFile(dir / "words.bin", FileType::Binary);
  EXPECT_EQ(pic.Slot().CodeBuffer[1], 0x0304);
}

TEST(OpenDataFile, EveryTypeFillsTheDataEepromOnlyWithinItsSize) {
  ScratchDir dir;
  Bench b("PIC 16F84");  // 64 data bytes
  WriteAll(dir / "d.hex", HexFile({{0, {0x11, 0x22}}, {0x40, {0x99}}}));
  WriteAll(dir / "d.bin", std::string(100, '\x77'));
  WriteAll(dir / "d.e2p", std::string(152, '\0') + "\x42");
  b.files.OpenDataFile(dir / "d.hex", FileType::Object);
  EXPECT_EQ(b.Slot().DataBuffer[0x40], 0x3FFF);
  b.files.OpenDataFile(dir / "d.bin", FileType::Binary);
  EXPECT_EQ(b.Slot().DataBuffer[63], 0x77);
  EXPECT_EQ(b.Slot().DataBuffer[64], 0x3FFF);
  b.files.OpenDataFile(dir / "d.e2p", FileType::Eeprom);
  EXPECT_EQ(b.Slot().DataBuffer[0], 0x42);
  EXPECT_EQ(
      b.ui.Messages(),
      (std::vector<std::string>{
          "Not loaded, outside the device: 1 byte, the first at 0040h.\r" + (dir / "d.hex"),
          "Not loaded, outside the device: 36 bytes, the first at 0040h.\r" + (dir / "d.bin")}));
}

TEST(SaveFile, ExtensionsFoldersAndFailures) {
  EXPECT_TRUE(HasExtension("/home/me/my.dir/blink"));  // the folder's dot counts
  EXPECT_EQ(FolderPart("/blink"), "/");

  ScratchDir dir;
  Bench b("24C02");
  EXPECT_TRUE(b.files.SaveFile(dir / "blink", SaveType::Ihx8, false));
  EXPECT_TRUE(b.files.SaveFile(dir / "blink", SaveType::Binary, false));
  EXPECT_TRUE(b.files.SaveAs1Click(dir / "blink.img", SaveType::Binary));
  EXPECT_EQ(testing::ReadAll(dir / "blink.hex").substr(0, 9), ":10000000");
  EXPECT_EQ(testing::ReadAll(dir / "blink.bin"), std::string(256, '\xFF'));
  EXPECT_EQ(testing::ReadAll(dir / "blink.img"), std::string(256, '\xFF'));
  EXPECT_EQ(b.files.InitialDir(), dir.Path());
  // The last file written is the slot's.
  EXPECT_EQ(b.ws.Window.Caption, std::string(text::kProgramTitle) + " - " + (dir / "blink.img"));
  EXPECT_EQ(b.Slot().FileName, dir / "blink.img");

  std::filesystem::create_directory(dir / "taken.hex");
  EXPECT_FALSE(b.files.SaveFile(dir / "nowhere/x", SaveType::Ihx8, false));
  EXPECT_FALSE(b.files.SaveFile(dir / "taken", SaveType::Ihx8, false));
  EXPECT_EQ(b.ui.Entries(),
            (std::vector<Entry>{Box(MessageKind::Error, "Cannot write " + (dir / "nowhere/x.hex") +
                                                            ": No such file or directory"),
                                Box(MessageKind::Error,
                                    "Cannot write " + (dir / "taken.hex") + ": Is a directory")}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4);
}

TEST(DropFiles, TheLastFileOfADropIsOpenedWithTheOptionsType) {
  ScratchDir dir;
  for (const char* name : {"a", "b", "c"}) {
    WriteAll(dir / name, HexFile({{0, {static_cast<std::uint8_t>(name[0])}}}));
  }
  const std::vector<std::string> drop = {dir / "a", dir / "b", dir / "c"};
  Bench b("90S2313");
  RecentFiles recent;
  b.files.Recent = &recent;
  b.files.RichEdit1DropFiles(drop);  // dropping is off by default
  EXPECT_EQ(b.Slot().FileName, "");

  b.settings.WriteBool("DragDrop", true);
  b.settings.WriteInteger("CodeType", 6);  // "Any file (Auto)"
  b.settings.WriteInteger("DataType", 9);  // outside the list: IHX8
  b.files.RichEdit1DropFiles(drop);
  EXPECT_EQ(b.Slot().CodeBuffer[0], 'c');
  EXPECT_EQ(recent.added, (Recent{{dir / "c", FileType::Any}}));
  b.files.Data1DropFiles({dir / "a", dir / "b"});
  EXPECT_EQ(b.Slot().DataBuffer[0], 'b');
  EXPECT_EQ(b.Slot().FileName, dir / "c");  // data files leave the name
}

}  // namespace
}  // namespace kestrum
