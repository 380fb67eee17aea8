// SPDX-License-Identifier: GPL-3.0-or-later
// The boot loader the program embeds: the committed HEX file is what gpasm makes of the source
// today, and the configuration area the wizard writes after it.
#include "protocols/boot_loader.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "buffers/device_image.hpp"
#include "core/recording_ui.hpp"
#include "device/catalogue.hpp"

namespace kestrum {
namespace {

namespace fs = std::filesystem;

TEST(BootLoader, TheEmbeddedHexIsWhatGpasmMakesOfTheSource) {
  if (std::system("command -v gpasm >/dev/null 2>&1") != 0) GTEST_SKIP() << "no gpasm (gputils)";
  const fs::path work = fs::path(KESTRUM_PROTOCOLS_WORK_DIR) / "boot_loader";
  fs::create_directories(work);
  const fs::path hex = work / "boot_loader.hex";
  const std::string command = "gpasm -a inhx8m -o '" + hex.string() + "' '" KESTRUM_FIRMWARE_DIR
                              "/boot_loader.asm' >'" + (work / "gpasm.log").string() + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::stringstream stream;
  stream << std::ifstream(hex).rdbuf();
  const std::string text = stream.str();
  BufferSlot slot;
  slot.Fill(0x3FFF);
  ByteStream in(text);
  RecordingUi ui;
  LoadProgramFile(DescriptorFor(*FindDeviceByName("PIC 16F84")), slot, FileType::Ihx8, in, ui);
  ASSERT_TRUE(ui.Entries().empty());
  // gpasm fills the gaps inside a record with FFh bytes: a 14-bit part takes them as 3FFFh.
  for (int i = 0; i < kBootLoaderWords; ++i) {
    ASSERT_EQ(BootLoaderImage()[static_cast<std::size_t>(i)], slot.CodeBuffer[i] & 0x3FFF) << i;
  }
  EXPECT_EQ(text, BootLoaderHex()) << "run firmware/make.sh";
  // The source's own configuration word is the one the wizard writes for the 16F84.
  EXPECT_EQ(slot.ConfigArea[7], BootLoaderConfig(false)[7]);
}

TEST(BootLoader, ConfigurationAreaForEitherPic) {
  using Words = std::array<std::uint16_t, 8>;
  EXPECT_EQ(BootLoaderConfig(true), (Words{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0x3FF1}));
  EXPECT_EQ(BootLoaderConfig(false), (Words{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0x3FF9}));
}

}  // namespace
}  // namespace kestrum
