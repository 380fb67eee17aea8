// The pins every programmer type drives, pinned down: Program All and Read All of a random
// image on each type's board, traced as VCD in virtual time with the port's register accesses
// and system calls, and the digest compared with the one these runs have always given. A change to
// the line layer, the bus routines or the protocols that moves one edge by a microsecond shows
// here.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <sstream>

#include "lifecycle.hpp"
#include "pic_image.hpp"
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
    {"25040", ProgrammerType::Stk200, false, 0x2971eb43eb043287u},
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

}  // namespace
}  // namespace kestrum::testing
