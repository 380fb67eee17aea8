// SPDX-License-Identifier: GPL-3.0-or-later
// The SPI EEPROMs with 16-bit addresses at their edges: an "A" part (16-byte pages) in the
// socket of a "B" selection (32-byte pages) caught by the verify where its page wrapped; page
// writes that never cross a page, as sigrok-cli decodes a 25LC256's Program All; block
// protection lifted before the writes and the chosen one written after; a part stuck busy;
// the 25LC512's electronic signature as a presence check.
#include <gtest/gtest.h>

#include <sstream>

#include "../sanitized.hpp"
#include "sim/chips/spi_eeprom_chip.hpp"
#include "spi_rig.hpp"

namespace kestrum::testing {
namespace {

TEST(SpiEeprom16, AnAPartInTheSocketOfABSelectionFailsVerifyWhereItsPageWrapped) {
  const std::unique_ptr<SpiEepromChip> a = SpiEepromChip::ForDevice("25LC080A");
  LifecycleRig rig("25LC080B", ProgrammerType::ProPic2, a.get());
  RandomImage(rig, 80);
  const auto& image = rig.Slot().CodeBuffer;
  ASSERT_NE(image[0], image[16]);
  EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {"Verify failed at address 0000h !"}));
  // Each 32-byte write wrapped inside the 16-byte page: its second half overwrote the first.
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a->Memory()[i], image[16 + i]) << i;
  EXPECT_EQ(a->Memory()[16], 0xFF);
}

TEST(SpiEeprom16, ProtectionIsLiftedBeforeTheWritesAndTheChosenOneWrittenLast) {
  SpiRig<SpiEepromChip> spi("25LC160B");
  spi.chip.SetElement(ChipRegion::Config, 0, 0x8C);  // WPEN, everything protected
  LifecycleRig& rig = spi.rig;
  RandomImage(rig, 160);
  rig.workspace.Config.Oscillator.Select(1);    // "BP 0600h-07FFh"
  rig.workspace.Config.More[0].Checked = true;  // WPEN
  rig.workspace.ComboBox1Change();
  ASSERT_EQ(rig.Slot().ConfigArea[0], 0x84);
  ASSERT_TRUE(rig.ProgramAndVerify());
  EXPECT_EQ(spi.chip.BlockProtect(), 1);
  EXPECT_TRUE(spi.chip.WriteProtectEnabled());
  EXPECT_EQ(spi.chip.RefusedWrites(), 0);
  EXPECT_TRUE(rig.ReadBackEquals(rig.Slot()));
}

TEST(SpiEeprom16, AStuckPartAndTheSignature) {
  SpiRig<SpiEepromChip> stuck("25LC080A");
  stuck.chip.SetStuckBusy(true);
  EXPECT_TRUE(stuck.rig.Runs(&Operations::ProgramAll, false,
                             {"The device did not finish writing at address 0000h !"}));
  struct Case {
    bool present;
    std::string message;
  };
  for (const Case& c :
       {Case{true,
             "A part answers with the electronic signature 29h, which does not tell which part it "
             "is: the selected device stays."},
        Case{false, "No device ID could be read: the socket is empty, or the part has none."}}) {
    SpiRig<SpiEepromChip> spi("25LC512");
    spi.chip.SetAbsent(!c.present);
    spi.rig.ops.Detect();
    EXPECT_EQ(spi.rig.ui.Messages(), Strings{c.message});
    EXPECT_TRUE(spi.rig.Rested());
  }
}

TEST(SpiEeprom16Trace, A25LC256ProgramAllWritesPagesThatNeverCrossAPage) {
  if (RunCommand("command -v sigrok-cli").empty()) GTEST_SKIP() << "sigrok-cli is not installed";
  if (kSanitized) GTEST_SKIP() << "the decoder sees the same bytes without a sanitizer";
  SpiRig<SpiEepromChip> spi("25LC256");
  const std::string path = TracedProgramAll(spi, "kestrum_25lc256_trace.vcd");
  // One line per selection: the MOSI bytes from /CS falling to /CS rising.
  std::istringstream decoded(RunCommand("sigrok-cli -I vcd -i '" + path + "' -P " + kSpiChannels +
                                        " -A spi=mosi-transfer 2>&1"));
  std::vector<std::uint8_t> image(32768, 0xFF);
  std::vector<int> written(32768, 0);
  int writes = 0;
  for (std::string line; std::getline(decoded, line);) {
    std::istringstream bytes(line.substr(line.find(':') + 1));
    std::vector<int> b;
    for (std::string hex; bytes >> hex;) b.push_back(std::stoi(hex, nullptr, 16));
    if (b.size() < 4 || b[0] != 0x02) continue;
    ++writes;
    const int address = b[1] << 8 | b[2];
    const int last = address + static_cast<int>(b.size()) - 4;
    EXPECT_EQ(address / 64, last / 64) << "a write from " << address << " to " << last;
    for (std::size_t i = 3; i < b.size(); ++i) {
      image[static_cast<std::size_t>(address) + i - 3] = static_cast<std::uint8_t>(b[i]);
      ++written[static_cast<std::size_t>(address) + i - 3];
    }
  }
  EXPECT_EQ(writes, 32768 / 64);
  EXPECT_TRUE(std::ranges::all_of(written, [](int n) { return n == 1; }));
  EXPECT_TRUE(SameWords("decoded", image, spi.rig.Slot().CodeBuffer, image.size()));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kestrum::testing
