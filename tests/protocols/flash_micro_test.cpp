// SPDX-License-Identifier: GPL-3.0-or-later
// The TAFE flash protocol at register level: the exact ppdev calls of a read and a write, the
// data register reads of the flash read, and the lock-bit sequence.
#include "protocols/flash_micro.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/parport.h>

#include "../hardware/fake_os.hpp"
#include "../sim/rig.hpp"
#include "hardware/port_opener.hpp"
#include "sim/chips/flash_micro_chip.hpp"

namespace kestrum {
namespace {

using Calls = std::vector<OsCall>;

TEST(FlashMicroPpdev, ReadAndWriteIssueExactlyTheseIoctls) {
  FakeOs os;
  SystemPortOpener opener(os);
  VirtualClock clock;
  RecordingUi ui;
  HardwareSettings settings = SettingsFor(ProgrammerType::Tafe);
  settings.IODelay = 1;
  LineContext lines(settings, clock, ui, opener);
  const Calls open{{"open", 0, O_RDWR | O_CLOEXEC, "/dev/parport0"},
                   Ioctl(PPEXCL),
                   Ioctl(PPCLAIM),
                   Ioctl(PPRCONTROL)};
  const Calls close{Ioctl(PPRELEASE), {"close", 0, 7}};
  auto control = [](long value) { return Ioctl(PPWCONTROL, value); };
  auto data = [](long value) { return Ioctl(PPWDATA, value); };

  os.parallelIn = 0x5A;  // every byte read, and the control lines found at open
  TReadFlashMicro reader(lines, 2);
  reader.Run();
  Calls read = open;
  // The extended control register's byte mode through ppdev's mode call.
  read.insert(read.end(), {Ioctl(PPSETMODE, IEEE1284_MODE_BYTE), control(0x03), data(0x03),
                           control(0x05), data(0x00)});
  // The data lines turned to input (they stay so), each byte read IODelay + 1 times, the
  // address counter stepped.
  read.push_back(Ioctl(PPDATADIR, 1));
  for (int i = 0; i < 2; ++i) {
    read.insert(read.end(), {control(0x07), Ioctl(PPRDATA), Ioctl(PPRDATA), control(0x06)});
  }
  read.insert(read.end(), {Ioctl(PPDATADIR, 0), control(0x01)});
  read.insert(read.end(), close.begin(), close.end());
  EXPECT_EQ(os.calls, read);
  EXPECT_EQ(reader.Words, (std::vector<std::uint16_t>{0x5A, 0x5A}));

  os.calls.clear();
  os.parallelIn = 0x40;  // RDY/BSY high
  TProgFlashMicro programmer(lines, 1);
  programmer.Words[0] = 0xC3;
  programmer.Run();
  Calls write = open;
  write.insert(write.end(), {Ioctl(PPSETMODE, IEEE1284_MODE_BYTE), control(0x0B),
                             data(flash::kChipErase), control(0x0D), control(0x0F), control(0x0B),
                             control(0x0F), data(flash::kWriteCode), control(0x0D),
                             // The byte, its PROG pulse, the ready wait, the address step.
                             data(0xC3), control(0x0F), control(0x0B), control(0x0F),
                             Ioctl(PPRSTATUS), control(0x0E), control(0x01)});
  write.insert(write.end(), close.begin(), close.end());
  EXPECT_EQ(os.calls, write);
  EXPECT_FALSE(programmer.Failed);
}

struct TafeRig : Rig<FlashMicroChip> {
  explicit TafeRig(const HardwareSettings& settings) : Rig(settings, 1024) {}
  std::vector<PortAccessRecord> Accesses(PortAccessRecord::Kind kind, std::uint16_t offset) {
    std::vector<PortAccessRecord> found;
    for (const PortAccessRecord& r : board().Log()) {
      if (r.kind == kind && r.address == base() + offset) found.push_back(r);
    }
    return found;
  }
};

TEST(FlashMicroRead, InvertedDataInKeepsBytesAndIoDelaySetsTheReadsPerByte) {
  struct Case {
    bool invertOption;
    bool boardInverter;
    int ioDelay;
    std::vector<std::uint16_t> expected;
  };
  for (const Case& c : {Case{false, false, 0, {0x00, 0x5A, 0xFF, 0x81}},
                        Case{true, false, 3, {0xFF, 0xA5, 0x00, 0x7E}},
                        Case{true, true, 1, {0x00, 0x5A, 0xFF, 0x81}}}) {
    HardwareSettings settings = SettingsFor(ProgrammerType::Tafe, 20);
    settings.InvertDataIn = c.invertOption;
    settings.IODelay = c.ioDelay;
    TafeRig rig(settings);
    rig.board().SetInversions({.dataIn = c.boardInverter});
    const std::uint8_t bytes[] = {0x00, 0x5A, 0xFF, 0x81};
    for (int i = 0; i < 4; ++i) rig.chip.Code()[i] = bytes[i];
    TReadFlashMicro reader(rig.lines, 4);
    reader.Run();
    EXPECT_EQ(reader.Words, c.expected) << c.ioDelay;
    EXPECT_EQ(rig.Accesses(PortAccessRecord::Kind::In, reg::kData).size(),
              static_cast<std::size_t>(4 * (c.ioDelay + 1)));
    EXPECT_FALSE(rig.board().Parallel()->Pins().vcc);  // left unpowered
  }
}

TEST(FlashConf, ATickedBoxLeavesItsLockBitAndTheSequenceEndsAtRest) {
  struct Case {
    bool box1;
    bool box2;
    bool lock1;
    bool lock2;
    std::size_t controlWrites;
  };
  for (const Case& c : {Case{true, true, false, false, 1}, Case{false, true, true, false, 6},
                        Case{true, false, false, true, 7}, Case{false, false, true, true, 12}}) {
    TafeRig rig(SettingsFor(ProgrammerType::Tafe, 20));
    ASSERT_TRUE(FlashConf(rig.lines, c.box1, c.box2));
    EXPECT_EQ(rig.chip.LockBit1(), c.lock1);
    EXPECT_EQ(rig.chip.LockBit2(), c.lock2);
    const auto writes = rig.Accesses(PortAccessRecord::Kind::Out, reg::kControl);
    ASSERT_EQ(writes.size(), c.controlWrites);
    EXPECT_EQ(writes.back().value, flash::kControlRest);
    // Both boxes ticked: the rest value and nothing else.
    if (c.box1 && c.box2) {
      EXPECT_TRUE(rig.Accesses(PortAccessRecord::Kind::Out, reg::kData).empty());
    }
    EXPECT_FALSE(rig.board().Parallel()->Pins().vpp);
    EXPECT_FALSE(rig.board().Parallel()->Pins().vcc);
  }
}

}  // namespace
}  // namespace kestrum
