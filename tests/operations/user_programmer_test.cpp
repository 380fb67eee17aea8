// SPDX-License-Identifier: GPL-3.0-or-later
// A programmer its user described in programmers.toml, with a pin map none of the built-in
// types has, on the simulated parallel port: an I2C, a Microwire and an AVR part programmed,
// verified and read back, and the pins of its 24C16 run decoded by sigrok's I2C decoder to the
// bytes it programmed.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "../run_command.hpp"
#include "hardware/programmer_file.hpp"
#include "lifecycle.hpp"
#include "sim/boards/vcd_writer.hpp"
#include "sim/chips/chip_models.hpp"

namespace kestrum::testing {
namespace {

// Data and clock on D5 and D7, VPP switched on by D0 low, the supply from D2 and D3 together,
// and the data line read back inverted on SELECT.
constexpr std::string_view kBenchBoard = R"([[programmer]]
name = "Bench board"
port = "parallel"
[programmer.lines]
DataOut = 7
Clock = 9
MCLR = { pin = 2, active = "low" }
VCC = [4, 5]
DataIn = { pin = 13, active = "low" }
)";

struct UserRig {
  explicit UserRig(std::string_view device)
      : chip(ChipModelFor(DescriptorFor(*FindDeviceByName(device)))),
        rig(device, ProgrammerType::Conquest, chip.get()) {
    const ProgrammerFile file = ReadProgrammers(kBenchBoard, "programmers.toml");
    EXPECT_TRUE(file.problems.empty());
    HardwareSettings& settings = rig.lines.Settings();
    settings.Programmer = ProgrammerType::User;
    settings.User = file.programmers.at(0);
  }
  std::unique_ptr<ChipModel> chip;
  LifecycleRig rig;
};

void RandomImage(LifecycleRig& rig, unsigned seed, std::uint16_t mask) {
  std::mt19937 random(seed);
  const DeviceDescriptor& d = rig.Device();
  for (int i = 0; i < d.CodeSize; ++i) rig.Slot().CodeBuffer[i] = random() & mask;
  for (int i = 0; i < d.DataSize; ++i) rig.Slot().DataBuffer[i] = random() & 0xFF;
}

TEST(UserProgrammer, ProgramsVerifiesAndReadsBackAnI2cAMicrowireAndAnAvrPart) {
  const struct {
    const char* device;
    std::uint16_t mask;  // the code elements' width
  } cases[] = {{"24C16", 0xFF}, {"93C46", 0xFFFE}, {"90S2313", 0xFF}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    UserRig user(c.device);
    LifecycleRig& rig = user.rig;
    RandomImage(rig, 2313, c.mask);
    ASSERT_TRUE(rig.ProgramAndVerify());
    for (int i = 0; i < rig.Device().CodeSize; ++i) {
      ASSERT_EQ(user.chip->Element(ChipRegion::Code, i), rig.Slot().CodeBuffer[i]) << i;
    }
    BufferSlot expected = rig.Slot();
    // What Read All brings back beside the memories: the part's configuration as it reads.
    for (int i = 0; i < rig.Device().ConfigAreaWords; ++i) {
      expected.ConfigArea[i] = user.chip->Element(ChipRegion::Config, i);
    }
    EXPECT_TRUE(rig.ReadBackEquals(expected));
  }
}

TEST(UserProgrammer, ItsTraceDecodesToTheBytesItProgrammed) {
  if (RunCommand("command -v sigrok-cli").empty()) GTEST_SKIP() << "sigrok-cli is not installed";
  const std::string vcd = ::testing::TempDir() + "kestrum_user_24c16.vcd";
  UserRig user("24C16");
  LifecycleRig& rig = user.rig;
  RandomImage(rig, 77, 0xFF);
  rig.options.Verify = false;
  {
    std::ofstream out(vcd);
    PinTrace trace(out);
    rig.programmer.Board().SetTrace(&trace);
    EXPECT_TRUE(rig.Runs(&Operations::ProgramAll, false, {}));
    rig.programmer.Board().SetTrace(nullptr);
    trace.Finish();
  }
  const std::string decoded =
      RunCommand("sigrok-cli -I vcd:compress=1000 -i '" + vcd +
                 "' -P i2c:scl=clock:sda=data_in -A i2c=address-write:data-write 2>&1");
  // After each device address, the word address, then that page's bytes.
  std::string written;
  bool addressed = false;
  std::istringstream in(decoded);
  for (std::string line; std::getline(in, line);) {
    line = line.substr(line.find(':') + 2);
    const std::string value = line.substr(line.find(": ") + 2);
    if (line.starts_with("Address write: ")) {
      addressed = true;
    } else if (line.starts_with("Data write: ")) {
      if (!addressed) written += static_cast<char>(std::stoi(value, nullptr, 16));
      addressed = false;
    }
  }
  std::string image;
  for (int i = 0; i < rig.Device().CodeSize; ++i)
    image += static_cast<char>(rig.Slot().CodeBuffer[i]);
  EXPECT_EQ(written.size(), image.size());
  EXPECT_TRUE(written == image);
}

}  // namespace
}  // namespace kestrum::testing
