// SPDX-License-Identifier: GPL-3.0-or-later
// Which devices the assembler view and --disassemble accept, the warnings for the others, and
// writing the listing to standard output.
#include "disasm/assembler_view.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "core/recording_ui.hpp"
#include "device/catalogue.hpp"
#include "disasm/disassembler.hpp"

namespace kestrum {
namespace {

DeviceDescriptor Device(std::string_view name) {
  return DescriptorFor(*FindDeviceByName(name));
}

TEST(AssemblerView, OnlyFourteenBitPicsAreListed) {
  const std::string twelveBit = "12 bit PIC currently not supported!";
  const std::string onlyPic = "Only 14/12 bit PIC supported!";
  struct Case {
    const char* device;
    bool viewed;
    std::string viewMessage;     // the assembler view command
    std::string commandMessage;  // --disassemble: a run without a window warns every time
  };
  for (const Case& c : std::vector<Case>{
           {"PIC 16F877", true, "", ""},
           {"PIC 12C508", false, twelveBit, twelveBit},
           {"24C02", false, onlyPic, onlyPic},
           {"90S1200", false, onlyPic, onlyPic},
           {"89C2051", false, "", onlyPic},
       }) {
    RecordingUi ui;
    EXPECT_EQ(AssemblerViewAllowed(ui, Device(c.device)), c.viewed) << c.device;
    std::ostringstream out;
    EXPECT_EQ(WriteDisassembly(ui, Device(c.device), BufferSlot(), "", out), c.viewed);
    std::vector<std::string> expected;
    for (const std::string& m : {c.viewMessage, c.commandMessage}) {
      if (!m.empty()) expected.push_back(m);
    }
    EXPECT_EQ(ui.Messages(), expected) << c.device;
    EXPECT_EQ(out.str().empty(), !c.viewed) << c.device;
  }
}

TEST(AssemblerView, ListingGoesToStandardOutputOrReportsTheFileItCannotWrite) {
  const DeviceDescriptor device = Device("PIC 16F84");
  BufferSlot slot;
  slot.Fill(0x3FFF);
  slot.CodeBuffer[0] = 0x2800;
  RecordingUi ui;
  std::ostringstream out;
  EXPECT_TRUE(WriteDisassembly(ui, device, slot, "", out));
  EXPECT_EQ(out.str(), DisassemblyText(device, slot));
  EXPECT_NE(out.str().find("\nLabel_0001  GOTO    Label_0001\n"), std::string::npos);

  const std::string path = std::string(KESTRUM_DISASM_WORK_DIR) + "/missing/listing.asm";
  EXPECT_FALSE(WriteDisassembly(ui, device, slot, path, out));
  ASSERT_EQ(ui.Entries().size(), 1u);
  EXPECT_EQ(ui.Entries()[0].kind, MessageKind::Error);
  EXPECT_EQ(ui.Entries()[0].text, "Cannot write " + path + ": No such file or directory");
}

}  // namespace
}  // namespace kestrum
