// SPDX-License-Identifier: GPL-3.0-or-later
// The SPI families' side of the operation tests: the chip model of a 25010/20/40, an AVR or
// the 89S53 in the rig's socket behind an SPI tap, random images with the part left open
// (no lock bit programmed, "BP None"), and the lock-bit boxes.
#pragma once

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>

#include <unistd.h>

#include "../run_command.hpp"
#include "lifecycle.hpp"
#include "sim/boards/vcd_writer.hpp"
#include "sim/chips/chip_models.hpp"
#include "spi_sniffer.hpp"

namespace kestrum::testing {

inline std::unique_ptr<ChipModel> ModelOf(std::string_view device) {
  return ChipModelFor(DescriptorFor(*FindDeviceByName(device)));
}

// The chip and its tap are declared first so that they outlive the board they sit in.
template <class Model>
struct SpiRig {
  explicit SpiRig(std::string_view device, ProgrammerType type = ProgrammerType::ProPic2)
      : owned(ModelOf(device)),
        chip(dynamic_cast<Model&>(*owned)),
        tap(chip),
        rig(device, type, &tap) {}

  std::unique_ptr<ChipModel> owned;
  Model& chip;
  SpiSniffer tap;
  LifecycleRig rig;
};

// The lock-bit boxes as ticked here (a ticked box leaves its lock bit unprogrammed).
inline void SetLockBoxes(LifecycleRig& rig, std::array<bool, 3> ticked) {
  auto& fuses = rig.workspace.Config.Fuses;
  for (std::size_t i = 0; i < ticked.size(); ++i) fuses[i].Checked = ticked[i];
  rig.workspace.ComboBox1Change();
}

// Program All with verify after programming off: done, nothing said, the rig at rest.
inline ::testing::AssertionResult ProgramsWithoutVerify(LifecycleRig& rig) {
  rig.options.Verify = false;
  rig.ui.Clear();
  const OperationResult result = rig.ops.ProgramAll();
  if (!result.Succeeded() || !rig.ui.Messages().empty()) {
    return ::testing::AssertionFailure() << ::testing::PrintToString(rig.ui.Messages());
  }
  return rig.Rested();
}

// ---- traces ----

// Program All of `device` with a random image (only its first `bytes` of code, when given),
// traced into a VCD file.
template <class Model>
std::string TracedProgramAll(SpiRig<Model>& spi, const std::string& name, int bytes = 0) {
  // Named for this process: other runs of the suite may trace at the same time.
  const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
  std::ofstream file(path);
  PinTrace trace(file);
  spi.rig.programmer.Board().SetTrace(&trace);
  RandomImage(spi.rig, 2313);
  if (bytes > 0) {
    auto& code = spi.rig.Slot().CodeBuffer;
    std::fill(code.begin() + bytes, code.begin() + spi.rig.Device().CodeSize, 0xFF);
  }
  EXPECT_TRUE(ProgramsWithoutVerify(spi.rig));
  spi.rig.programmer.Board().SetTrace(nullptr);
  trace.Finish();
  return path;
}

inline constexpr const char* kSpiChannels = "spi:clk=clock:mosi=data_out:miso=data_in:cs=mclr";

// The trace at `path` decodes as an AVR programming session, enable and chip erase included,
// with neither a warning nor an error; the file is removed.
inline ::testing::AssertionResult DecodesAsAvrIsp(const std::string& path) {
  const std::string decoded = RunCommand("sigrok-cli -I vcd -i '" + path + "' -P " + kSpiChannels +
                                         ",avr_isp -A avr_isp 2>&1");
  std::remove(path.c_str());
  if (decoded.find("Programming enable") == std::string::npos ||
      decoded.find("Chip erase") == std::string::npos ||
      decoded.find("Warning") != std::string::npos || decoded.find("rror") != std::string::npos) {
    return ::testing::AssertionFailure() << decoded.substr(0, 500);
  }
  return ::testing::AssertionSuccess();
}

}  // namespace kestrum::testing
