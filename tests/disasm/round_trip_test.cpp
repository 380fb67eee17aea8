// SPDX-License-Identifier: GPL-3.0-or-later
// Round trips through a real assembler: programs for a 16F84 or a 16C84 are assembled by gpasm,
// listed, and the listing assembled again must give the same program words, ID bytes,
// configuration word and data bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "buffers/device_image.hpp"
#include "core/recording_ui.hpp"
#include "device/catalogue.hpp"
#include "disasm/assembler_view.hpp"
#include "disasm/disassembler.hpp"

namespace kestrum {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::stringstream content;
  content << std::ifstream(path).rdbuf();
  return content.str();
}

// gpasm looks for include files in the directories given, not beside the source.
void Assemble(const fs::path& source, const fs::path& hex) {
  const fs::path log = fs::path(hex).replace_extension(".log");
  const std::string command = "gpasm -q -I '" + source.parent_path().string() + "' -o '" +
                              hex.string() + "' '" + source.string() + "' >'" + log.string() +
                              "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command << "\n" << ReadFile(log);
}

void LoadHex(const DeviceDescriptor& device, const fs::path& path, BufferSlot& slot) {
  slot.Fill(0x3FFF);
  const std::string text = ReadFile(path);
  ByteStream in(text);
  RecordingUi ui;
  LoadProgramFile(device, slot, FileType::Ihx8, in, ui);
  ASSERT_TRUE(!text.empty() && ui.Entries().empty()) << path;
}

std::vector<int> Masked(const std::vector<std::uint16_t>& buffer, int count, int mask) {
  std::vector<int> values(buffer.begin(), buffer.begin() + count);
  for (int& v : values) v &= mask;
  return values;
}

struct Program {
  const char* name;
  const char* listed;  // a line part the listing must show
  const char* device = "PIC 16F84";
};
void PrintTo(const Program& program, std::ostream* out) {
  *out << program.name;
}

class RoundTrip : public ::testing::TestWithParam<Program> {};

TEST_P(RoundTrip, ListingAssemblesToTheSameImage) {
  if (std::system("command -v gpasm >/dev/null 2>&1") != 0) GTEST_SKIP() << "no gpasm (gputils)";
  const fs::path data = KESTRUM_DISASM_DATA_DIR;
  const fs::path work = fs::path(KESTRUM_DISASM_WORK_DIR) / GetParam().name;
  fs::remove_all(work);
  fs::create_directories(work);
  fs::copy_file(data / "P16FXX.inc", work / "P16FXX.inc");

  const DeviceDescriptor device = DescriptorFor(*FindDeviceByName(GetParam().device));
  BufferSlot original, listed;
  ASSERT_NO_FATAL_FAILURE(Assemble(data / (GetParam().name + std::string(".asm")), work / "a.hex"));
  ASSERT_NO_FATAL_FAILURE(LoadHex(device, work / "a.hex", original));
  RecordingUi ui;
  std::ostringstream unused;
  ASSERT_TRUE(WriteDisassembly(ui, device, original, (work / "listing.asm").string(), unused));
  EXPECT_NE(ReadFile(work / "listing.asm").find(GetParam().listed), std::string::npos);
  ASSERT_NO_FATAL_FAILURE(Assemble(work / "listing.asm", work / "listing.hex"));
  ASSERT_NO_FATAL_FAILURE(LoadHex(device, work / "listing.hex", listed));

  EXPECT_EQ(Masked(listed.CodeBuffer, kListedCodeWords, 0x3FFF),
            Masked(original.CodeBuffer, kListedCodeWords, 0x3FFF));
  EXPECT_EQ(Masked(listed.ConfigArea, 8, 0xFF), Masked(original.ConfigArea, 8, 0xFF));
  EXPECT_EQ(listed.ConfigArea[7] & device.ConfigMask, original.ConfigArea[7] & device.ConfigMask);
  EXPECT_EQ(Masked(listed.DataBuffer, kListedDataBytes, 0xFF),
            Masked(original.DataBuffer, kListedDataBytes, 0xFF));
}

// The data runs are listed from 0x2100 with the gaps erased: gpasm places every ORG inside the
// data EEPROM by bytes, not words, so a second run would land at the wrong address.
INSTANTIATE_TEST_SUITE_P(Programs, RoundTrip,
                         ::testing::Values(Program{"banks_and_calls", "MOVWF   OPTION_REG"},
                                           Program{"gaps_and_odd_words", "0x3BFF    ; ????"},
                                           Program{"ends_early", "EQU     0x07FF"},
                                           Program{"no_code", "ORG     0x2000"},
                                           Program{"data_runs_16f84", "DATA    0x5A"},
                                           Program{"data_runs_16c84", "DATA    0x3C", "PIC 16C84"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestrum
