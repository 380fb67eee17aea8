// SPDX-License-Identifier: GPL-3.0-or-later
// The listing of a whole slot: header and END, labels, ORG lines at gaps, jump targets without
// an instruction, the ID, configuration and data sections, and what is taken from the slot.
#include "disasm/disassembler.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "device/catalogue.hpp"
#include "disasm/pic14_decoder.hpp"

namespace kestrum {
namespace {

const std::string kIndent(12, ' ');

// The header, the lines given, then the closing empty line and END.
std::vector<std::string> Listing(std::initializer_list<std::string> body) {
  std::vector<std::string> lines = {"; Disassembled by Kestrum 1.01 - Prototype Programmer",
                                    "",
                                    kIndent + "LIST      P=16F84, F=INHX8M",
                                    kIndent + "include \"P16FXX.inc\"",
                                    kIndent + "ORG     0x0000",
                                    ""};
  lines.insert(lines.end(), body);
  lines.insert(lines.end(), {"", kIndent + "END"});
  return lines;
}

std::string Line(const std::string& mnemonic, const std::string& operand = "") {
  return FormatListingLine({.Mnemonic = mnemonic, .Operand = operand});
}

class Disassembler : public ::testing::Test {
 protected:
  Disassembler() { Select("PIC 16F84"); }
  void Select(std::string_view name) {
    device = DescriptorFor(*FindDeviceByName(name));
    slot.Fill(0x3FFF);
  }
  void Code(int address, std::initializer_list<std::uint16_t> words) {
    std::ranges::copy(words, slot.CodeBuffer.begin() + address);
  }
  std::vector<std::string> List() const { return Disassemble(device, slot); }

  DeviceDescriptor device;
  BufferSlot slot;
};

TEST_F(Disassembler, LabelsJumpTargetsAndStartsEveryRunOfCodeWithOrg) {
  EXPECT_EQ(List(), Listing({}));
  Code(0, {0x2805, 0x0000});
  Code(5, {0x0805, 0x2805, 0x2001});
  EXPECT_EQ(List(),
            Listing({kIndent + "GOTO    Label_0001", "Label_0002  NOP", Line("ORG", "0x0005"),
                     "Label_0001  MOVF    PORTA     , W", kIndent + "GOTO    Label_0001",
                     kIndent + "CALL    Label_0002", " ", " "}));
}

TEST_F(Disassembler, TargetsWithoutAnInstructionAreDefinedByValue) {
  // Word 2 lies in a gap, word 3 carries the ORG line for word 4, word 6 is the first one past
  // the code and 0x7FF is past program memory: none of them has a line to carry a label.
  Code(0, {0x2803, 0x2802});
  Code(4, {0x2FFF, 0x2006});
  std::vector<std::string> expected = Listing(
      {"Label_0002  EQU     0x0002", "Label_0001  EQU     0x0003", "Label_0004  EQU     0x0006",
       "Label_0003  EQU     0x07FF", "", kIndent + "GOTO    Label_0001",
       kIndent + "GOTO    Label_0002", Line("ORG", "0x0004"), kIndent + "GOTO    Label_0003",
       kIndent + "CALL    Label_0004", " ", " "});
  EXPECT_EQ(List(), expected);
}

TEST_F(Disassembler, SectionsFollowTheCodeInOrder) {
  Code(0, {0x0000});
  std::ranges::copy(std::initializer_list<std::uint16_t>{0x3F01, 0x3FFF, 0x007F, 0x0012},
                    slot.ConfigArea.begin());
  slot.ConfigArea[7] = 0x3FF1;
  const std::initializer_list<std::uint16_t> data = {0x10, 0x11, 0x7F, 0x13, 0x14, 0x15,
                                                     0x16, 0xFF, 0x20, 0x7F, 0x7F};
  std::ranges::copy(data, slot.DataBuffer.begin());
  // The data are one run from 0x2100, erased bytes included; one byte past the last used one
  // still shows.
  EXPECT_EQ(List(), Listing({Line("NOP"),
                             " ",
                             Line("ORG", "0x2000"),
                             Line("DATA", "0x01"),
                             Line("DATA", "0xFF"),
                             Line("DATA", "0x7F"),
                             Line("DATA", "0x12"),
                             " ",
                             Line("ORG", "0x2007"),
                             Line("DATA", "0x3FF1"),
                             " ",
                             Line("ORG", "0x2100"),
                             Line("DATA", "0x10"),
                             Line("DATA", "0x11"),
                             Line("DATA", "0x7F"),
                             Line("DATA", "0x13"),
                             Line("DATA", "0x14"),
                             Line("DATA", "0x15"),
                             Line("DATA", "0x16"),
                             Line("DATA", "0xFF"),
                             Line("DATA", "0x20"),
                             Line("DATA", "0x7F")}));

  // The configuration word needs both code and IDs.
  slot.ConfigArea.assign(slot.ConfigArea.size(), 0x3FFF);
  slot.ConfigArea[7] = 0x3FF1;
  std::ranges::fill(slot.DataBuffer, 0xFF);
  EXPECT_EQ(List(), Listing({Line("NOP"), " ", " "}));
  slot.CodeBuffer[0] = 0x3FFF;
  slot.ConfigArea[0] = 0x0005;
  slot.DataBuffer[5] = 0x42;
  EXPECT_EQ(List(),
            Listing({Line("ORG", "0x2000"), Line("DATA", "0x05"), Line("DATA", "0xFF"),
                     Line("DATA", "0xFF"), Line("DATA", "0xFF"), " ", " ", Line("ORG", "0x2100"),
                     Line("DATA", "0xFF"), Line("DATA", "0xFF"), Line("DATA", "0xFF"),
                     Line("DATA", "0xFF"), Line("DATA", "0xFF"), Line("DATA", "0x42")}));
}

TEST_F(Disassembler, ImageTakesOnlyWhatTheDeviceHolds) {
  Select("PIC 16F83");  // 512 program words
  slot.CodeBuffer[600] = 0x0000;
  slot.CodeBuffer[1] = 0xFFFF;  // the upper two bits are not stored: blank
  EXPECT_EQ(List(), Listing({}));

  Select("PIC 16F877");  // only the first 1024 words are listed
  slot.CodeBuffer[1024] = 0x0000;
  slot.CodeBuffer[2] = 0xC805;
  EXPECT_EQ(List(), Listing({Line("ORG", "0x0002"), kIndent + "MOVF    PORTA     , W", " ", " "}));

  Select("PIC 16C621");  // no data EEPROM
  slot.DataBuffer[0] = 0x12;
  EXPECT_EQ(List(), Listing({}));

  // The configuration word is listed whole (the 16F84 round trips show that); bits a part
  // does not implement are listed erased.
  Select("PIC 16C84");
  Code(0, {0x0000});
  slot.ConfigArea[0] = 0x0001;
  slot.ConfigArea[7] = 0x001B;
  EXPECT_EQ(std::ranges::count(List(), Line("DATA", "0x3FFB")), 1);
}

}  // namespace
}  // namespace kestrum
