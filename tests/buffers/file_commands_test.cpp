// Opening, saving and dropping files on the workspace: what the slot, the caption, the
// remembered folder and the user see.
#include "buffers/file_commands.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "buffers/hex_file.hpp"
#include "buffers/texts.hpp"
#include "device/texts.hpp"
#include "file_test_support.hpp"

namespace kestrum {
namespace {

using testing::Bench;
using testing::ReadAll;
using testing::ScratchDir;
using testing::WriteAll;
using Entry = RecordingUi::Entry;

class RecentFiles : public RecentFilesHook {
 public:
  void AddRecentFile(const std::string& path, FileType type) override {
    added.emplace_back(path, type);
  }
  std::vector<std::pair<std::string, FileType>> added;
};

class CountingObserver : public WorkspaceObserver {
 public:
  void RebuildCodeView() override { ++code; }
  void RebuildDataView() override { ++data; }
  int code = 0;
  int data = 0;
};

// An 8-bit Intel HEX file with runs of bytes at byte addresses.
std::string HexFile(const std::vector<std::pair<int, std::vector<std::uint8_t>>>& runs) {
  std::string out;
  for (const auto& [address, bytes] : runs) WriteHexBytes(out, bytes, address);
  WriteHexEnd(out);
  return out;
}

Entry MessageEntry(MessageKind kind, MessageButton button, std::string_view text) {
  return {Entry::Type::Message, kind, button, std::string(text)};
}

TEST(OpenFile, MissingConfigurationAndIdWordsAreToldOnlyWhenAskedFor) {
  ScratchDir dir;
  WriteAll(dir / "code.hex", HexFile({{0, {0x83, 0x16}}}));
  Bench quiet("PIC 16F84");
  EXPECT_EQ(quiet.files.OpenFile(dir / "code.hex", FileType::Ihx8), OpenResult::Loaded);
  EXPECT_TRUE(quiet.ui.Entries().empty());

  Bench told("PIC 16F84");
  told.settings.WriteBool("IDCheck", true);
  told.settings.WriteBool("ConfigCheck", true);
  told.files.OpenFile(dir / "code.hex", FileType::Ihx8);
  EXPECT_EQ(told.ui.Entries(),
            (std::vector<Entry>{
                MessageEntry(MessageKind::Warning, MessageButton::Ok, text::kNoConfigInFile),
                MessageEntry(MessageKind::Warning, MessageButton::Ok, text::kNoIdInFile)}));

  // A binary file never lacks them; a word device asks about the byte order instead.
  told.ui.Clear();
  told.files.OpenFile(dir / "code.hex", FileType::Binary);
  EXPECT_EQ(told.ui.Questions(), std::vector<std::string>{std::string(text::kSwapBytesQuestion)});
  EXPECT_TRUE(told.ui.Messages().empty());
}

TEST(OpenFile, IdWordsKeepOnlyTheirLastDigitWhenTheWindowIsShowing) {
  ScratchDir dir;
  WriteAll(dir / "id.hex",
           HexFile({{0x4000, {0x12, 0, 0x34, 0, 0x56, 0, 0x78, 0}}, {0x400E, {0xF1, 0x3F}}}));
  Bench shown("PIC 16F84");
  shown.files.OpenFile(dir / "id.hex", FileType::Ihx8);
  EXPECT_EQ(std::vector<std::uint16_t>(shown.Slot().ConfigArea.begin(),
                                       shown.Slot().ConfigArea.begin() + 4),
            (std::vector<std::uint16_t>{2, 4, 6, 8}));
  EXPECT_EQ(shown.ws.Config.IdText, "2468");
  EXPECT_EQ(shown.ws.Config.ConfigLabel, "Config word : 3FF1h");

  Bench headless("PIC 16F84");
  headless.files.MainWindowShowing = false;
  headless.files.OpenFile(dir / "id.hex", FileType::Ihx8);
  EXPECT_EQ(headless.Slot().ConfigArea[1], 0x34);
  EXPECT_EQ(headless.ws.Config.IdText, "2468");
}

TEST(OpenFile, CaptionFileNameFolderViewsAndRecentFilesFollowTheProgramFileOnly) {
  ScratchDir dir;
  const std::string code = dir / "code.hex";
  const std::string data = dir / "data.hex";
  WriteAll(code, HexFile({{0, {0x83, 0x16}}}));
  WriteAll(data, HexFile({{0, {0x5A}}}));
  Bench b("PIC 16F84");
  RecentFiles recent;
  CountingObserver views;
  b.files.Recent = &recent;
  b.ws.Observer = &views;

  EXPECT_EQ(b.files.Open1Click(code, FileType::Any), OpenResult::Loaded);
  EXPECT_EQ(b.ws.Window.Caption, std::string(text::kProgramTitle) + " - " + code);
  EXPECT_EQ(b.Slot().FileName, code);
  EXPECT_EQ(b.files.InitialDir(), dir.Path());
  EXPECT_EQ(b.settings.ReadString("InitDir", ""), dir.Path());
  EXPECT_EQ(recent.added, (std::vector<std::pair<std::string, FileType>>{{code, FileType::Any}}));
  EXPECT_EQ(views.code, 1);
  EXPECT_EQ(views.data, 1);

  EXPECT_EQ(b.files.OpenDataFile1Click(data, FileType::Ihx8), OpenResult::Loaded);
  EXPECT_EQ(b.Slot().DataBuffer[0], 0x5A);
  EXPECT_EQ(b.Slot().CodeBuffer[0], 0x1683);
  EXPECT_EQ(b.Slot().FileName, code);
  EXPECT_EQ(b.ws.Window.Caption, std::string(text::kProgramTitle) + " - " + code);
  EXPECT_EQ(recent.added.size(), 1u);
  EXPECT_EQ(views.code, 1);
  EXPECT_EQ(views.data, 2);
}

TEST(OpenFile, AFileThatCannotBeOpenedOrReadChangesNothing) {
  ScratchDir dir;
  Bench b("24C02");
  b.settings.WriteBool("IDCheck", true);
  b.settings.WriteBool("ConfigCheck", true);
  RecentFiles recent;
  b.files.Recent = &recent;
  b.Slot().CodeBuffer[0] = 0x42;

  const std::string missing = dir / "missing.hex";
  EXPECT_EQ(b.files.Open1Click(missing, FileType::Ihx8), OpenResult::NotOpened);
  EXPECT_EQ(b.files.Open1Click(dir.Path(), FileType::Any), OpenResult::NotOpened);
  EXPECT_EQ(
      b.ui.Entries(),
      (std::vector<Entry>{MessageEntry(MessageKind::Error, MessageButton::Cancel,
                                       "Cannot open " + missing + ": No such file or directory"),
                          MessageEntry(MessageKind::Error, MessageButton::Cancel,
                                       "Cannot read " + dir.Path() + ": Is a directory")}));
  EXPECT_EQ(b.Slot().CodeBuffer[0], 0x42);
  EXPECT_EQ(b.Slot().FileName, "");
  EXPECT_EQ(b.ws.Window.Caption, text::kProgramTitle);
  EXPECT_TRUE(recent.added.empty());
  EXPECT_EQ(b.files.InitialDir(), "");
}

TEST(OpenFile, AReadFailurePartWayKeepsWhatWasReadAndSaysWhy) {
  Bench b("PIC 16F84");
  std::string partial;
  WriteHexBytes(partial, std::vector<std::uint8_t>{0x01, 0x02}, 0);
  b.files.OpenForReading = [&](const std::string&, int&) {
    return std::make_unique<testing::FailingSource>(partial, EIO);
  };
  EXPECT_EQ(b.files.OpenFile("/media/card/blink.hex", FileType::Ihx8), OpenResult::ReadFailed);
  EXPECT_EQ(b.Slot().CodeBuffer[0], 0x0201);
  EXPECT_EQ(b.Slot().CodeBuffer[1], 0x3FFF);
  EXPECT_EQ(b.ui.Messages(),
            std::vector<std::string>{"Cannot read /media/card/blink.hex: Input/output error"});
  EXPECT_EQ(b.Slot().FileName, "/media/card/blink.hex");
}

TEST(OpenFile, FileTypesMeetTheDeviceAsTheyShould) {
  ScratchDir dir;
  // 16-bit Intel HEX has no byte-device form: refused, the slot stays blank.
  WriteAll(dir / "words.h16", ":0100000012349B\n:00000001FF\n");
  Bench avr("90S2313");
  avr.files.OpenFile(dir / "words.h16", FileType::Ihx16);
  avr.files.OpenDataFile(dir / "words.h16", FileType::Ihx16);
  EXPECT_EQ(avr.ui.Entries(),
            (std::vector<Entry>{
                MessageEntry(MessageKind::Information, MessageButton::Ok, text::kHex16NotForEeprom),
                MessageEntry(MessageKind::Information, MessageButton::Ok,
                             text::kHex16NotForEepromData)}));
  EXPECT_EQ(avr.Slot().CodeBuffer[0], 0xFF);

  // A binary larger than the device fills it and no more.
  std::string big(300, '\0');
  for (int i = 0; i < 300; ++i) big[i] = static_cast<char>(i);
  WriteAll(dir / "big.bin", big);
  Bench eeprom("24C02");
  eeprom.files.OpenFile(dir / "big.bin", FileType::Binary);
  EXPECT_EQ(eeprom.Slot().CodeBuffer[255], 255);
  EXPECT_EQ(eeprom.Slot().CodeBuffer[256], 0xFF);

  // EEPROM images carry a 152-byte header; empty files leave the slot blank.
  WriteAll(dir / "image.e2p", std::string(152, 'H') + "\x5A\xA5");
  eeprom.files.OpenFile(dir / "image.e2p", FileType::Eeprom);
  EXPECT_EQ(eeprom.Slot().CodeBuffer[1], 0xA5);
  EXPECT_EQ(eeprom.Slot().CodeBuffer[2], 0xFF);
  WriteAll(dir / "empty", "");
  EXPECT_EQ(eeprom.files.OpenFile(dir / "empty", FileType::Any), OpenResult::Loaded);
  EXPECT_EQ(eeprom.Slot().CodeBuffer[0], 0xFF);
  EXPECT_TRUE(eeprom.ui.Entries().empty());

  // Word devices read binaries as words, swapped when the user says so.
  WriteAll(dir / "words.bin", "\x01\x02\x03\x04");
  Bench pic("PIC 16F84");
  pic.ui.Answer(true);
  pic.files.OpenFile(dir / "words.bin", FileType::Binary);
  EXPECT_EQ(pic.Slot().CodeBuffer[0], 0x0102);
  EXPECT_EQ(pic.Slot().CodeBuffer[1], 0x0304);
}

TEST(OpenDataFile, EveryTypeFillsTheDataEepromOnlyWithinItsSize) {
  ScratchDir dir;
  Bench b("PIC 16F84");  // 64 data bytes
  b.Slot().CodeBuffer[0] = 0x1234;
  WriteAll(dir / "d.hex", HexFile({{0, {0x11, 0x22}}, {0x40, {0x99}}}));
  b.files.OpenDataFile(dir / "d.hex", FileType::Object);
  EXPECT_EQ(b.Slot().DataBuffer[1], 0x22);
  EXPECT_EQ(b.Slot().DataBuffer[2], 0xFF);
  EXPECT_EQ(b.Slot().DataBuffer[0x40], 0x3FFF);
  EXPECT_EQ(b.Slot().CodeBuffer[0], 0x1234);

  WriteAll(dir / "d.s19", "S1050000ABCD82\n");
  b.files.OpenDataFile(dir / "d.s19", FileType::Any);
  EXPECT_EQ(b.Slot().DataBuffer[1], 0xCD);

  WriteAll(dir / "d.bin", std::string(100, '\x77'));
  b.files.OpenDataFile(dir / "d.bin", FileType::Binary);
  EXPECT_EQ(b.Slot().DataBuffer[63], 0x77);
  EXPECT_EQ(b.Slot().DataBuffer[64], 0x3FFF);

  WriteAll(dir / "d.e2p", std::string(152, '\0') + "\x42");
  b.files.OpenDataFile(dir / "d.e2p", FileType::Eeprom);
  EXPECT_EQ(b.Slot().DataBuffer[0], 0x42);
  EXPECT_TRUE(b.ui.Entries().empty());
}

TEST(SaveFile, ExtensionsAreAddedOnlyToNamesWithoutADot) {
  EXPECT_FALSE(HasExtension("/home/me/work/blink"));
  EXPECT_TRUE(HasExtension("/home/me/my.dir/blink"));  // the folder's dot counts
  EXPECT_EQ(FolderPart("/home/me/blink"), "/home/me");
  EXPECT_EQ(FolderPart("/blink"), "/");
  EXPECT_EQ(FolderPart("blink"), "");

  ScratchDir dir;
  Bench b("PIC 16F84");
  ASSERT_TRUE(b.files.SaveFile(dir / "blink", SaveType::Ihx8, false));
  ASSERT_TRUE(b.files.SaveFile(dir / "blink", SaveType::Binary, false));
  ASSERT_TRUE(b.files.SaveAs1Click(dir / "blink.img", SaveType::Binary));
  EXPECT_EQ(ReadAll(dir / "blink.hex").substr(0, 9), ":10000000");
  EXPECT_EQ(ReadAll(dir / "blink.bin"), ReadAll(dir / "blink.img"));
  EXPECT_EQ(b.files.InitialDir(), dir.Path());
  EXPECT_EQ(b.Slot().FileName, "");
  EXPECT_EQ(b.ws.Window.Caption, text::kProgramTitle);
}

TEST(SaveFile, AFailedSaveTellsWhyAndLeavesWhatWasThere) {
  ScratchDir dir;
  Bench b("24C02");
  std::filesystem::create_directory(dir / "taken.hex");
  EXPECT_FALSE(b.files.SaveFile(dir / "nowhere/x", SaveType::Ihx8, false));
  EXPECT_FALSE(b.files.SaveFile(dir / "taken", SaveType::Ihx8, false));
  EXPECT_EQ(
      b.ui.Entries(),
      (std::vector<Entry>{
          MessageEntry(MessageKind::Error, MessageButton::Cancel,
                       "Cannot write " + (dir / "nowhere/x.hex") + ": No such file or directory"),
          MessageEntry(MessageKind::Error, MessageButton::Cancel,
                       "Cannot write " + (dir / "taken.hex") + ": Is a directory")}));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.hex"));
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator{}),
            1);
}

TEST(DropFiles, TheLastFileOfADropIsOpenedWithTheOptionsType) {
  ScratchDir dir;
  for (const char* name : {"a", "b", "c"})
    WriteAll(dir / name, HexFile({{0, {static_cast<std::uint8_t>(name[0])}}}));
  const std::vector<std::string> drop = {dir / "a", dir / "b", dir / "c"};
  Bench b("24C02");
  RecentFiles recent;
  b.files.Recent = &recent;

  b.files.RichEdit1DropFiles(drop);  // dropping is off by default
  EXPECT_EQ(b.Slot().FileName, "");

  b.settings.WriteBool("DragDrop", true);
  b.settings.WriteInteger("CodeType", 6);  // "Any file (Auto)"
  b.files.RichEdit1DropFiles(drop);
  EXPECT_EQ(b.Slot().FileName, dir / "c");
  EXPECT_EQ(b.Slot().CodeBuffer[0], 'c');
  EXPECT_EQ(recent.added,
            (std::vector<std::pair<std::string, FileType>>{{dir / "c", FileType::Any}}));

  // A stored type outside the list falls back to IHX8.
  b.settings.WriteInteger("CodeType", 9);
  EXPECT_EQ(FileOptions::Read(b.settings).CodeType, 0);

  Bench avr("90S2313");
  avr.settings.WriteBool("DragDrop", true);
  avr.settings.WriteInteger("DataType", 2);  // binary
  avr.files.Data1DropFiles(drop);
  EXPECT_EQ(avr.Slot().DataBuffer[0], ':');  // the HEX text read as raw bytes
  EXPECT_EQ(avr.Slot().FileName, "");
}

}  // namespace
}  // namespace kestrum
