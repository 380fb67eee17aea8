// SPDX-License-Identifier: GPL-3.0-or-later
// The pins every programmer type drives, pinned down: Program All and Read All of a random
// image on each type's board, traced as VCD in virtual time with the port's register accesses
// and system calls, and the digest compared with the one these runs have always given. A change to
// the line layer, the bus routines or the protocols that moves one edge by a microsecond shows
// here.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <sstream>

#include "../sanitized.hpp"
#include "lifecycle.hpp"
#include "pic_image.hpp"
#include "protocols/pic_serial.hpp"
#include "sim/boards/vcd_writer.hpp"
#include "sim/chips/chip_models.hpp"

namespace kestrum::testing {
namespace {

struct Case {
  std::string_view device;
  ProgrammerType type;
  bool api;  // the serial system calls instead of the UART registers
  std::uint64_t digest;
};

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 0xCBF29CE484222325u;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3u;
  }
  return hash;
}

// The VCD of the pins, then every register access and system call with its time.
std::string TraceOf(const Case& c) {
  const DeviceDescriptor device = DescriptorFor(*FindDeviceByName(c.device));
  std::unique_ptr<ChipModel> chip = ChipModelFor(device);
  LifecycleRig rig(c.device, c.type, chip.get());
  rig.lines.Settings().Api = c.api;
  // Word by word and on the datasheet waits, as these runs were first pinned: the options
  // bring back exactly that sequence.
  rig.options.ProgramErasedWords = true;
  rig.options.AvrPollReady = false;
  if (FamilyOf(device) == DeviceFamily::Pic) {
    RandomPicImage(rig, 24);
  } else {
    std::mt19937 random(24);
    for (int i = 0; i < device.CodeSize; ++i) {
      rig.Slot().CodeBuffer[i] = static_cast<std::uint16_t>(random() & device.BlankValue);
    }
    for (int i = 0; i < device.DataSize; ++i) rig.Slot().DataBuffer[i] = random() & 0xFF;
  }
  std::ostringstream vcd;
  PinTrace trace(vcd);
  rig.programmer.Board().SetTrace(&trace);
  rig.programmer.Board().KeepLog(true);
  rig.ops.ProgramAll();
  rig.workspace.Buffer11Click(4);
  rig.ops.ReadAll();
  rig.programmer.Board().SetTrace(nullptr);
  trace.Finish(rig.clock.nowUs());
  for (const PortAccessRecord& r : rig.programmer.Board().Log()) {
    vcd << r.timeUs << ' ' << static_cast<int>(r.kind) << ' ' << r.address << ' '
        << static_cast<int>(r.value) << '\n';
  }
  return vcd.str();
}

class TraceDigest : public ::testing::TestWithParam<Case> {};

TEST_P(TraceDigest, IsTheOneTheseRunsHaveAlwaysGiven) {
  // The two long microcontroller runs are left to the plain build.
  if (kSanitized && GetParam().type == ProgrammerType::Stk200 &&
      (GetParam().device.starts_with("90S") || GetParam().device.starts_with("89S"))) {
    GTEST_SKIP();
  }
  EXPECT_EQ(Fnv1a(TraceOf(GetParam())), GetParam().digest)
      << std::hex << "0x" << Fnv1a(TraceOf(GetParam()));
}

// Each of the ten types, the JDM through its registers and through the serial system calls,
// and each bus family on a board of its own.
const Case kCases[] = {
    {"PIC 16F84", ProgrammerType::Jdm, false, 0x39aa9dde000b3cfbu},
    {"PIC 16F84", ProgrammerType::Jdm, true, 0xec92ec1e05e6982au},
    {"PIC 16F84", ProgrammerType::Conquest, false, 0x91969032dd854373u},
    {"89C2051", ProgrammerType::Tafe, false, 0x9a09b59e7a2f169cu},
    {"PIC 16F84", ProgrammerType::TaitSerial, false, 0xbb9285e04f3cffa4u},
    {"PIC 16F84", ProgrammerType::FunCard, false, 0x65da68fdc291b571u},
    {"PIC 16C54", ProgrammerType::TaitParallel, false, 0x8195527458e0cf0eu},
    {"PIC 16F84", ProgrammerType::ProPic2, false, 0xb0c767095086dcc7u},
    {"PIC 16F84", ProgrammerType::Schaer, false, 0x91969032dd854373u},
    {"PIC 16F84", ProgrammerType::Stk200, false, 0x74979d4627d447d3u},
    {"PIC 16F84", ProgrammerType::An589, false, 0x5abc0decc278d6d4u},
    {"24C16", ProgrammerType::Jdm, false, 0x2c16813a91e132ceu},
    {"93C46", ProgrammerType::Conquest, false, 0xfe804b4f8e3da3a5u},
    {"25040", ProgrammerType::Stk200, false, 0x044d6ad4951e1361u},
    {"90S8515", ProgrammerType::Stk200, false, 0x289c66fda37ca877u},
    {"89S53", ProgrammerType::Stk200, false, 0xad2db7b3162e7334u},
    {"NVM 3060", ProgrammerType::ProPic2, false, 0x794afb4483a36e2cu},
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (char ch : info.param.device) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  return name + "_" + std::to_string(static_cast<int>(info.param.type)) +
         (info.param.api ? "_Api" : "");
}

INSTANTIATE_TEST_SUITE_P(EveryType, TraceDigest, ::testing::ValuesIn(kCases), CaseName);

// The PIC frames of a trace as the part reads them: the line at each falling clock edge, six
// command bits, then for the load and read commands a 16-bit data field, least significant bit
// first; with the idle time before each frame's first rising edge.
struct Frame {
  int command;
  int data;  // -1: none
  std::int64_t idleUs;
  bool operator==(const Frame& o) const { return command == o.command && data == o.data; }
};

std::vector<Frame> Frames(const std::string& vcd) {
  std::vector<Frame> frames;
  std::istringstream in(vcd.substr(vcd.find("$enddefinitions")));
  std::string line;
  std::int64_t time = 0;
  bool clock = false;
  bool data = false;
  bool mclr = false;
  std::int64_t lastFall = 0;
  std::vector<int> bits;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (line[0] == '#') {
      time = std::stoll(line.substr(1));
      continue;
    }
    if (line.size() != 2 || (line[0] != '0' && line[0] != '1')) continue;
    const bool level = line[0] == '1';
    if (line[1] == '"') mclr = level;
    if (line[1] == '%') data = level;
    if (line[1] != '$' || level == clock) continue;
    clock = level;
    if (!mclr) {
      bits.clear();
      continue;
    }
    if (clock && bits.empty()) frames.push_back({-1, -1, time - lastFall});
    if (clock) continue;
    lastFall = time;
    bits.push_back(data);
    if (bits.size() == 6) {
      int command = 0;
      for (int i = 0; i < 6; ++i) command |= bits[i] << i;
      frames.back().command = command;
      if (command > 5) bits.clear();
    } else if (bits.size() == 22) {
      int word = 0;
      for (int i = 0; i < 16; ++i) word |= bits[6 + i] << i;
      frames.back().data = word;
      bits.clear();
    }
  }
  return frames;
}

// The JDM on an FTDI cable drives the same PIC frames as on a COM port, and every wait the part
// needs is kept: after each programming command at least the 10 ms of its write cycle, and
// before each read the settle of a port that streams (a COM port waits 3 ms there).
TEST(FtdiTrace, AProgramAllDecodesLikeTheComPortsWithEveryWaitKept) {
  const std::vector<Frame> com = Frames(TraceOf({"PIC 16F84", ProgrammerType::Jdm, false, 0}));
  const std::vector<Frame> usb = Frames(TraceOf({"PIC 16F84", ProgrammerType::JdmFtdi, false, 0}));
  ASSERT_GT(com.size(), 4000u);
  EXPECT_EQ(usb, com);
  for (std::size_t i = 1; i < usb.size(); ++i) {
    const int before = usb[i - 1].command;
    if (before == 8 || before == 24) {
      EXPECT_GE(usb[i].idleUs, 10000) << i;
    }
    if (usb[i].command == 4 || usb[i].command == 5) {
      EXPECT_GE(usb[i].idleUs, kStreamReadSettleUs) << i;
    }
  }
}

}  // namespace
}  // namespace kestrum::testing
