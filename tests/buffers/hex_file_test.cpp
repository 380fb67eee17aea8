// Intel HEX and S-record reading into the address image, window copies, and the HEX writer.
#include "buffers/hex_file.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "buffers/texts.hpp"
#include "core/recording_ui.hpp"
#include "core/text.hpp"

namespace kestrum {
namespace {

// One record with its checksum computed here: `mark` then the hex bytes then the checksum
// (two's complement for Intel, one's complement for S-records).
std::string Record(std::string_view mark, std::vector<int> bytes, bool sRecord = false) {
  std::string line(mark);
  int sum = 0;
  for (int b : bytes) {
    line += Hex2(b);
    sum += b;
  }
  return line + Hex2(sRecord ? (~sum & 0xFF) : (-sum & 0xFF)) + "\n";
}

RecordImage Read(const std::string& text, RecordFormat format, RecordingUi& ui) {
  ByteStream in(text);
  return ReadRecords(in, format, ui);
}

TEST(HexWriter, WritesSixteenByteRecordsWithChecksumsAndTheEndRecord) {
  std::vector<std::uint8_t> data(40);
  for (int i = 0; i < 40; ++i) data[i] = static_cast<std::uint8_t>(i);
  std::string out;
  WriteHexBytes(out, data, 0x4200);
  WriteHexEnd(out);
  EXPECT_EQ(out,
            ":10420000000102030405060708090A0B0C0D0E0F36\r\n"
            ":10421000101112131415161718191A1B1C1D1E1F26\r\n"
            ":0842200020212223242526277A\r\n"
            ":00000001FF\r\n");
}

TEST(IntelHexReader, WindowsKeepOnlyTheirBytesAndFormWordsLowByteFirst) {
  RecordingUi ui;
  const RecordImage image = Read(Record(":", {8, 0x00, 0xFC, 0, 1, 2, 3, 4, 5, 6, 7, 8}) +
                                     Record(":", {1, 0x01, 0x04, 0, 0xAB}),
                                 RecordFormat::IntelHex8, ui);
  EXPECT_EQ(image.TotalCount, 9);
  std::vector<std::uint16_t> window(0x100, 0);
  // The record straddles the end of [0, 0x100): only its first four bytes fall inside.
  EXPECT_EQ(CopyWindow(image, window, 0), 4);
  EXPECT_EQ(window[0xFC], 1);
  EXPECT_EQ(window[0xFF], 4);
  EXPECT_EQ(window[0x00], 0xFF);

  std::vector<std::uint16_t> words(3, 0);
  EXPECT_EQ(CopyWordWindow(image, words, 0x100), 5);
  EXPECT_EQ(words, (std::vector<std::uint16_t>{0x0605, 0x0807, 0xFFAB}));
  EXPECT_TRUE(ui.Entries().empty());
}

TEST(IntelHexReader, ExtendedAddressesPlaceDataAndNothingWrapsIntoTheImageFromOutside) {
  RecordingUi ui;
  const RecordImage image =
      Read(Record(":", {2, 0, 0, 4, 0x00, 0x00}) + Record(":", {1, 0x00, 0x10, 0, 0x11}) +
               Record(":", {2, 0, 0, 4, 0x00, 0x01}) + Record(":", {1, 0x00, 0x20, 0, 0x22}) +
               Record(":", {2, 0, 0, 2, 0x01, 0x00}) + Record(":", {1, 0x00, 0x30, 0, 0x33}) +
               // Segment addresses wrap within their 64K, as plain 16-bit addresses do.
               Record(":", {2, 0, 0, 2, 0x00, 0x00}) + Record(":", {3, 0xFF, 0xFF, 0, 7, 8, 9}),
           RecordFormat::IntelHex8, ui);
  EXPECT_EQ(image.Units[0x0010], 0x11);  // linear 0: where the record says
  EXPECT_FALSE(image.Loaded[0x0020]);    // linear 0x10020 lies beyond the buffers
  EXPECT_EQ(image.Units[0x1030], 0x33);  // segment 0x100: 0x1000 + 0x30
  EXPECT_EQ(image.Units[0xFFFF], 7);
  EXPECT_EQ(image.Units[0x0000], 8);
  EXPECT_EQ(image.TotalCount, 6);
}

TEST(IntelHexReader, DamagedRecordsAreDroppedAndAChecksumErrorEndsTheReading) {
  RecordingUi ui;
  const std::string text = "; a comment line\n" + Record(":", {1, 0, 0, 0, 0x10}) +  // stored
                           ":0100010011\n" +                  // line ends inside the record
                           ":0100020G0012\n" +                // not hexadecimal
                           Record(":", {1, 0, 3, 0, 0x13}) +  // stored
                           ":0100040014FF\n" +                // wrong sum: not stored, stop
                           Record(":", {1, 0, 5, 0, 0x15});
  const RecordImage image = Read(text, RecordFormat::IntelHex8, ui);
  EXPECT_EQ(image.Units[0], 0x10);
  EXPECT_FALSE(image.Loaded[1]);
  EXPECT_FALSE(image.Loaded[2]);
  EXPECT_EQ(image.Units[3], 0x13);
  EXPECT_FALSE(image.Loaded[4]);
  EXPECT_FALSE(image.Loaded[5]);
  // One "Error in file!" for the file, then the checksum error.
  ASSERT_EQ(ui.Entries().size(), 2u);
  EXPECT_EQ(ui.Entries()[0],
            (RecordingUi::Entry{RecordingUi::Entry::Type::Message, MessageKind::Error,
                                MessageButton::Cancel, std::string(text::kErrorInFile)}));
  EXPECT_EQ(ui.Entries()[1].text, text::kChecksumError);
  EXPECT_EQ(ui.Entries()[1].button, MessageButton::Cancel);
}

TEST(IntelHexReader, ReadsAnyLineEndingAndStopsAtTheEndRecordOnly) {
  for (const std::string eol : {"\n", "\r\n", "\r"}) {
    std::string text;
    for (int a = 0; a < 3; ++a) {
      std::string line = Record(":", {1, 0, a, 0, 0x40 + a});
      line.pop_back();
      text += line + (a == 1 ? "trailing junk" : "") + eol;
    }
    RecordingUi ui;
    RecordImage image = Read(text + ":00000001FF" + eol + Record(":", {1, 0, 9, 0, 1}),
                             RecordFormat::IntelHex8, ui);
    EXPECT_EQ(image.LoadedCount(0, 10), 3) << "line end " << int(eol.back());
    EXPECT_TRUE(ui.Entries().empty());
    // Without an end record the file is read to its end.
    image = Read(text, RecordFormat::IntelHex8, ui);
    EXPECT_EQ(image.LoadedCount(0, 10), 3);
  }
}

TEST(IntelHex16Reader, CountsWordsAtWordAddressesHighByteFirst) {
  RecordingUi ui;
  const RecordImage image =
      Read(Record(":", {2, 0x20, 0x07, 0, 0x3F, 0xF1, 0x12, 0x34}), RecordFormat::IntelHex16, ui);
  EXPECT_EQ(image.Units[0x2007], 0x3FF1);
  EXPECT_EQ(image.Units[0x2008], 0x1234);
  EXPECT_EQ(image.Units[0x2009], 0xFFFF);
  EXPECT_TRUE(ui.Entries().empty());
}

TEST(SRecordReader, ReadsHeadersDataOfEveryAddressSizeAndEndRecords) {
  RecordingUi ui;
  const std::string text =
      Record("S0", {6, 0, 0, 'a', 'b', 'c'}, true) + "Some text that is no record\n" +
      Record("S1", {5, 0x12, 0x34, 0xAA, 0xBB}, true) +
      Record("S2", {5, 0x00, 0x01, 0x00, 0xCC}, true) +
      Record("S3", {6, 0x00, 0x00, 0x20, 0x00, 0xDD}, true) +
      Record("S2", {5, 0x01, 0x00, 0x00, 0xEE}, true) +  // 0x10000: beyond the buffers
      Record("S5", {3, 0x00, 0x04}, true) + Record("S9", {3, 0, 0}, true) +
      Record("S1", {4, 0, 0, 0x77}, true);
  const RecordImage image = Read(text, RecordFormat::MotorolaS, ui);
  EXPECT_EQ(image.Units[0x1234], 0xAA);
  EXPECT_EQ(image.Units[0x1235], 0xBB);
  EXPECT_EQ(image.Units[0x0100], 0xCC);
  EXPECT_EQ(image.Units[0x2000], 0xDD);
  EXPECT_EQ(image.LoadedCount(0, RecordImage::kUnits), 4);
  EXPECT_EQ(image.TotalCount, 5);
  EXPECT_TRUE(ui.Entries().empty());

  const RecordImage bad =
      Read("S1050000AABB00\n" + Record("S1", {4, 0, 1, 1}, true), RecordFormat::MotorolaS, ui);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{std::string(text::kChecksumError)});
  EXPECT_EQ(bad.LoadedCount(0, RecordImage::kUnits), 0);
}

}  // namespace
}  // namespace kestrum
