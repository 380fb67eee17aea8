// SPDX-License-Identifier: GPL-3.0-or-later
// Intel HEX and S-record reading into the address image, window copies, and the HEX writer.
#include "buffers/hex_file.hpp"

#include <gtest/gtest.h>

#include "buffers/texts.hpp"
#include "core/recording_ui.hpp"
#include "core/text.hpp"

namespace kestrum {
namespace {

// One record with its checksum computed here: two's complement for Intel, one's for S.
std::string Record(std::string_view mark, std::vector<int> bytes, bool sRecord = false) {
  std::string line(mark);
  int sum = 0;
  for (int b : bytes) {
    line += Hex2(b);
    sum += b;
  }
  return line + Hex2((sRecord ? ~sum : -sum) & 0xFF) + "\n";
}

RecordImage Read(const std::string& text, RecordFormat format, RecordingUi& ui) {
  ByteStream in(text);
  return ReadRecords(in, format, ui);
}

TEST(IntelHexReader, AWindowTakesOnlyTheBytesInsideIt) {
  RecordingUi ui;
  const RecordImage image =
      Read(Record(":", {8, 0x00, 0xFC, 0, 1, 2, 3, 4, 5, 6, 7, 8}), RecordFormat::IntelHex8, ui);
  std::vector<std::uint16_t> window(0x100, 0);
  EXPECT_EQ(CopyWindow(image, window, 0), 4);  // the record straddles the window's end
  EXPECT_EQ(window[0xFF], 4);
  EXPECT_EQ(window[0x00], 0xFF);
  EXPECT_TRUE(ui.Entries().empty());
}

TEST(IntelHexReader, ExtendedAddressesPlaceDataAndNothingPastTheBuffersIsStored) {
  RecordingUi ui;
  const RecordImage image =
      Read(Record(":", {2, 0, 0, 4, 0x00, 0x00}) + Record(":", {1, 0x00, 0x10, 0, 0x11}) +
               Record(":", {2, 0, 0, 4, 0x00, 0x01}) + Record(":", {1, 0x00, 0x20, 0, 0x22}) +
               Record(":", {2, 0, 0, 2, 0x01, 0x00}) + Record(":", {1, 0x00, 0x30, 0, 0x33}) +
               Record(":", {2, 0, 0, 2, 0x00, 0x00}) + Record(":", {3, 0xFF, 0xFF, 0, 7, 8, 9}),
           RecordFormat::IntelHex8, ui);
  EXPECT_EQ(image.Units[0x0010], 0x11);  // linear 0 changes nothing
  EXPECT_FALSE(image.Loaded[0x0020]);    // linear 0x10020 is not 0x20
  EXPECT_EQ(image.Units[0x10020], 0x22);
  EXPECT_EQ(image.Units[0x1030], 0x33);  // segment 0x100
  EXPECT_EQ(image.Units[0xFFFF], 7);     // a segment wraps within its 64K
  EXPECT_EQ(image.Units[0x0000], 8);
  EXPECT_EQ(image.TotalCount, 6);
}

// Past 64K the writer sets the upper address with an extended linear address record, splits
// records at the 64K line, and sets it back for lower addresses; the reader places all of it,
// an AVR's fuse section included.
TEST(IntelHexWriter, ExtendedLinearRecordsFrom64KAndTheFuseSectionReadBack) {
  std::vector<std::uint8_t> run(40);
  for (std::size_t i = 0; i < run.size(); ++i) run[i] = static_cast<std::uint8_t>(i);
  std::string out;
  WriteHexBytes(out, run, 0xFFF0);
  WriteHexBytes(out, std::vector<std::uint8_t>{0x62, 0xD9}, 0x820000);
  WriteHexBytes(out, std::vector<std::uint8_t>{0x55}, 0x10);
  WriteHexEnd(out);
  std::vector<std::string> uppers;
  for (std::size_t at = 0; (at = out.find(":02000004", at)) != std::string::npos; ++at) {
    uppers.push_back(out.substr(at, 15));
  }
  EXPECT_EQ(uppers,
            (std::vector<std::string>{":020000040001F9", ":02000004008278", ":020000040000FA"}));
  EXPECT_EQ(out.substr(0, 9), ":10FFF000");  // 16 bytes up to the line, not one more
  RecordingUi ui;
  const RecordImage image = Read(out, RecordFormat::IntelHex8, ui);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(image.Units[0xFFF0 + i], i);
  EXPECT_EQ(image.Far.at(0x820000), 0x62);
  EXPECT_EQ(image.Far.at(0x820001), 0xD9);
  EXPECT_EQ(image.Units[0x10], 0x55);
  EXPECT_TRUE(ui.Entries().empty());
}

// Each message names the file and the line on a second line; "Error in file!" comes once.
TEST(IntelHexReader, DamagedRecordsAreDroppedAndAChecksumErrorEndsTheReading) {
  using Entry = RecordingUi::Entry;
  const auto box = [](std::string_view message, int line) {
    return Entry{Entry::Type::Message, MessageKind::Error, MessageButton::Cancel,
                 std::string(message) + "\r/tmp/fw.hex, line " + std::to_string(line)};
  };
  for (const std::string eol : {"\n", "\r\n", "\r"}) {
    RecordingUi ui;
    const std::string text = "; a comment line" + eol + ":0100000010EF junk after it" + eol +
                             ":0100010011" + eol +    // the line ends inside the record
                             ":0100020G0012" + eol +  // not hexadecimal
                             ":0100030013E9" + eol + ":0100040014FF" + eol +  // wrong sum
                             ":0100050015E5" + eol;
    ByteStream in(text, "/tmp/fw.hex");
    const RecordImage image = ReadRecords(in, RecordFormat::IntelHex8, ui);
    EXPECT_EQ(image.Units[0], 0x10);
    EXPECT_EQ(image.Units[3], 0x13);
    EXPECT_EQ(image.LoadedCount(0, 6), 2) << static_cast<int>(eol.back());
    EXPECT_EQ(ui.Entries(),
              (std::vector<Entry>{box(text::kErrorInFile, 1), box(text::kChecksumError, 6)}));
    EXPECT_EQ(image.Problem, "Error in file! (line 1)");
  }
  // Reading stops at the end record, or goes to the end of a file without one.
  RecordingUi ui;
  EXPECT_FALSE(Read(":00000001FF\n:0100050015E5\n", RecordFormat::IntelHex8, ui).Loaded[5]);
  EXPECT_TRUE(Read(":0100050015E5", RecordFormat::IntelHex8, ui).Loaded[5]);
}

// A byte-order mark, blanks before a record and blank lines are an editor's, not damage; a
// line among records that is not one is; a file without any record holds no data.
TEST(IntelHexReader, WhatIsObviouslyARecordIsReadAndTheRestIsTold) {
  struct Case {
    std::string text;
    int loaded;
    std::string problem;
  };
  for (const Case& c :
       {Case{"\xEF\xBB\xBF:0100050015E5\n  \t:0100060016E3\n \n\x1A", 2, ""},
        Case{":0100050015E5\nnot a record\n:0100060016E3\n", 2, "Error in file! (line 2)"},
        Case{"#!/bin/sh\necho hello\n", 0, ""}}) {
    RecordingUi ui;
    const RecordImage image = Read(c.text, RecordFormat::IntelHex8, ui);
    EXPECT_EQ(image.LoadedCount(0, 16), c.loaded) << c.text;
    EXPECT_EQ(image.Problem, c.problem) << c.text;
    EXPECT_EQ(ui.Messages().size(), c.problem.empty() ? 0u : 1u) << c.text;
  }
}

TEST(SRecordReader, ReadsHeadersDataOfEveryAddressSizeAndEndRecords) {
  RecordingUi ui;
  const std::string text =
      Record("S0", {6, 0, 0, 'a', 'b', 'c'}, true) +
      Record("S1", {5, 0x12, 0x34, 0xAA, 0xBB}, true) +
      Record("S2", {5, 0x00, 0x01, 0x00, 0xCC}, true) +
      Record("S3", {6, 0x00, 0x00, 0x20, 0x00, 0xDD}, true) +
      Record("S2", {5, 0x02, 0x00, 0x00, 0xEE}, true) +  // 0x20000: beyond the buffers
      Record("S5", {3, 0x00, 0x04}, true) + Record("S9", {3, 0, 0}, true) +
      Record("S1", {4, 0, 0, 0x77}, true);
  const RecordImage image = Read(text, RecordFormat::MotorolaS, ui);
  EXPECT_EQ(image.Units[0x1235], 0xBB);
  EXPECT_EQ(image.Units[0x0100], 0xCC);
  EXPECT_EQ(image.Units[0x2000], 0xDD);
  EXPECT_EQ(image.LoadedCount(0, RecordImage::kUnits), 4);
  EXPECT_EQ(image.BeyondCount, 1);  // told by the loader, with the address
  EXPECT_EQ(image.BeyondFirst, 0x20000);
  EXPECT_TRUE(ui.Entries().empty());
}

}  // namespace
}  // namespace kestrum
