// SPDX-License-Identifier: GPL-3.0-or-later
// Hex view lines and the Edit dialog's rules without a window: line counts and texts by
// device, the edit position, the linked fields and the fill ranges.
#include "buffers/hex_view.hpp"

#include <gtest/gtest.h>

#include "device/catalogue.hpp"

namespace kestrum {
namespace {

struct LineCase {
  const char* device;
  int codeLines;
  int dataLines;
  const char* firstCodeLine;
};

TEST(HexView, LinesByDevice) {
  const LineCase cases[] = {
      {"PIC 12C508", 64, 0,
       "0000: 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF 0FFF  \xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"},
      {"93C06", 2, 0,
       "0000: FFFF FFFF FFFF FFFF FFFF FFFF FFFF FFFF  \xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"},
      {"24C512", 8192, 0,
       "0000: 00FF 00FF 00FF 00FF 00FF 00FF 00FF 00FF  \xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"},
      {"PIC 16F877", 1024, 32,
       "0000: 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF 3FFF  \xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"},
  };
  for (const LineCase& c : cases) {
    MemorySettingsStore store;
    Workspace work(store);
    work.SelectDevice(*FindDeviceByName(c.device));
    EXPECT_EQ(HexViewLineCount(HexView::Code, work.Device), c.codeLines) << c.device;
    EXPECT_EQ(HexViewLineCount(HexView::Data, work.Device), c.dataLines) << c.device;
    EXPECT_EQ(HexViewLine(HexView::Code, work.Active(), 0), c.firstCodeLine) << c.device;
  }
  // From 10000h on (the 24LC1025's upper half) the address has five digits, and typing and
  // the edit position follow its columns one further right.
  MemorySettingsStore store;
  Workspace big(store);
  big.SelectDevice(*FindDeviceByName("24LC1025"));
  EXPECT_EQ(HexViewLineCount(HexView::Code, big.Device), 16384);
  EXPECT_EQ(HexViewLine(HexView::Code, big.Active(), 8192).substr(0, 12), "10000: 00FF ");
  HexCaret caret{8192, 10};
  TypeKey(HexView::Code, big, caret, 'A');
  EXPECT_EQ(big.Active().CodeBuffer[0x10000], 0xAF);
  EXPECT_EQ(caret, (HexCaret{8192, 11}));
  EXPECT_EQ(EditLocationAddress(HexView::Code, 8192, 13), 0x10001);
  EXPECT_EQ(EditLocationAddress(HexView::Code, 8191, 13), 0xFFF9);

  // The code view counts a blank as unprintable, the data view does not; data fields keep
  // the low byte only.
  BufferSlot slot;
  slot.Fill(0x3FFF);
  slot.CodeBuffer[1] = ' ';
  slot.DataBuffer[1] = ' ';
  slot.DataBuffer[2] = 0x1F;
  EXPECT_EQ(HexViewLine(HexView::Code, slot, 0).substr(46, 3), " \xFF.");
  EXPECT_EQ(HexViewLine(HexView::Data, slot, 0),
            "0000: FF 20 1F FF FF FF FF FF  \xFF .\xFF\xFF\xFF\xFF\xFF");
}

TEST(HexView, EditPositionLinkedFieldsAndRanges) {
  EXPECT_EQ(EditLocationAddress(HexView::Code, 2, 5), std::nullopt);
  EXPECT_EQ(EditLocationAddress(HexView::Code, 2, 7), 16);
  EXPECT_EQ(EditLocationAddress(HexView::Code, 2, 45), 23);
  EXPECT_EQ(EditLocationAddress(HexView::Code, 2, 46), std::nullopt);
  EXPECT_EQ(EditLocationAddress(HexView::Data, 1, 29), 15);
  EXPECT_EQ(EditLocationAddress(HexView::Data, 1, 30), std::nullopt);

  const std::uint16_t mask = 0x3FFF;
  EXPECT_EQ(LinkEditFields(EditField::Decimal, {"65535", "", 0}, mask),
            (EditFields{"65535", "3FFF", '\xFF'}));
  EXPECT_EQ(LinkEditFields(EditField::Hex, {"", "41", 0}, mask), (EditFields{"65", "41", 'A'}));
  EXPECT_EQ(LinkEditFields(EditField::Ascii, {"", "", 'z'}, mask),
            (EditFields{"122", "007A", 'z'}));
  EXPECT_EQ(FilterHexKey('f'), 'F');
  EXPECT_EQ(FilterHexKey('g'), std::nullopt);
  EXPECT_EQ(FilterDecimalKey('A'), std::nullopt);

  MemorySettingsStore store;
  Workspace work(store);
  work.SelectDevice(*FindDeviceByName("PIC 12C508"));
  const EditDialogSetup from = SetupEditDialog(EditMode::FillCodeFrom, work);
  EXPECT_EQ(from.Caption, "Fill Buffer From...");
  EXPECT_EQ(from.To, "01FF");  // the ID words after program memory stay outside
  EXPECT_EQ(from.Width, 312);
  ApplyEditDialog(EditMode::FillCodeFrom, work, HexView::Code, 0, "0", "01F0", "FFFF");
  EXPECT_EQ(work.Active().CodeBuffer[0x1EF], 0xFFF);
  EXPECT_EQ(work.Active().CodeBuffer[0x203], 0);  // To is cut at the code size, IDs included
  EXPECT_EQ(work.Active().CodeBuffer[0x204], 0xFFF);
  ApplyEditDialog(EditMode::FillCodeFrom, work, HexView::Code, 0, "1", "0010", "000F");
  EXPECT_EQ(work.Active().CodeBuffer[0x10], 0xFFF);  // From after To fills nothing
}

}  // namespace
}  // namespace kestrum
