// SPDX-License-Identifier: GPL-3.0-or-later
// A programmer its user described in programmers.toml, with a pin map none of the built-in
// types has, on the simulated parallel port: an I2C, a Microwire and an AVR part programmed,
// verified and read back, and the pins of its 24C16 run decoded by sigrok's I2C decoder to the
// bytes it programmed.
#include <gtest/gtest.h>

#include <random>

#include "hardware/programmer_file.hpp"
#include "i2c_trace.hpp"
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
  UserRig user("24C16");
  LifecycleRig& rig = user.rig;
  RandomImage(rig, 77, 0xFF);
  const I2cWrites writes = TracedI2cProgramAll(rig, "kestrum_user_24c16.vcd");
  std::string image;
  for (int i = 0; i < rig.Device().CodeSize; ++i)
    image += static_cast<char>(rig.Slot().CodeBuffer[i]);
  EXPECT_EQ(writes.bytes.size(), image.size()) << writes.decoded.substr(0, 2000);
  EXPECT_TRUE(writes.bytes == image);
}

}  // namespace
}  // namespace kestrum::testing
