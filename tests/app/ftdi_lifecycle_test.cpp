// SPDX-License-Identifier: GPL-3.0-or-later
// Every device the JDM programs, programmed through an FTDI cable on the virtual programmer:
// Program All of a random image with verify after programming, Read All returning it, and a
// second run, starting from the chip files the first left, reading the same. One part of each
// family also on a bare FTDI board wired by the default pin map, and on a GPIO header wired by
// its default map, where the second run erases it and checks it blank. After every operation the
// lines are idle, the port is closed, the cable is a serial port again and the GPIO chip's lines
// are released.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <random>
#include <set>

#include "../operations/lifecycle.hpp"
#include "../sanitized.hpp"
#include "app/simulated_programmer.hpp"
#include "protocols/families.hpp"
#include "sim/chips/chip_models.hpp"

namespace kestrum::testing {
namespace {

namespace fs = std::filesystem;

// One run of the program with the virtual programmer behind the settings' FTDI or GPIO port.
struct UsbRun {
  UsbRun(const std::string& folder, const CatalogueEntry& entry, ProgrammerType type)
      : simulated(folder), opener(simulated.Programmer()) {
    workspace.SelectDevice(entry);
    HardwareSettings settings;
    settings.Programmer = type;
    settings.Port = type == ProgrammerType::GpioHeader ? "gpiochip0" : "USB1";
    settings.IODelay = 0;
    settings.PinCount = workspace.Device.PinCount;
    DerivePortBase(settings);
    lines.emplace(settings, simulated.Clock(), ui, opener);
    ops.emplace(workspace, *lines, options);
    options.Progging = false;
    options.Verify = true;
    simulated.InsertChipFor(workspace.Device, ui);
  }

  // Runs `command` into slot `slot`; passes when it succeeds (and verifies, for Program All)
  // saying just `messages`, and everything rests afterwards.
  ::testing::AssertionResult Runs(OperationResult (Operations::*command)(), int slot,
                                  const Strings& messages) {
    workspace.Buffer11Click(slot);
    ui.Clear();
    const OperationResult result = ((*ops).*command)();
    const bool held = result.Succeeded() && (command != &Operations::ProgramAll || result.Verified);
    if (!held || ui.Messages() != messages) {
      return ::testing::AssertionFailure() << ::testing::PrintToString(ui.Messages());
    }
    const ChipPins& pins = simulated.Programmer().Board().Pins();
    const SimFtdi& ftdi = simulated.Programmer().Ftdi();
    const SimGpio& gpio = simulated.Programmer().Gpio();
    // The cable is a serial port again; a bare board keeps its pins at rest in bit-bang mode.
    const bool cable = lines->Settings().Programmer == ProgrammerType::JdmFtdi;
    if (lines->IsPortOpen() || opener.OpenPorts() != 0 || !ftdi.KernelDriverAttached() ||
        (cable && ftdi.InBitBang()) || ftdi.Overflowed() || gpio.Open() || gpio.Requested()) {
      return ::testing::AssertionFailure()
             << "the cable is still held: port " << lines->IsPortOpen() << opener.OpenPorts()
             << ", driver " << ftdi.KernelDriverAttached() << ", bit-bang " << ftdi.InBitBang()
             << ", overflow " << ftdi.Overflowed() << ", GPIO lines " << gpio.Requested();
    }
    if (lines->Settings().Programmer == ProgrammerType::GpioHeader && gpio.Changes() == 0) {
      return ::testing::AssertionFailure() << "the GPIO lines never moved";
    }
    if (pins.mclr || pins.clock || pins.data) {
      return ::testing::AssertionFailure() << "lines not idle: VPP " << pins.mclr << ", clock "
                                           << pins.clock << ", data " << pins.data;
    }
    return ::testing::AssertionSuccess();
  }

  ::testing::AssertionResult ReadInto(int slot, const BufferSlot& expected) {
    auto r = Runs(&Operations::ReadAll, slot, {});
    const BufferSlot& read = workspace.Buffers.Slots[static_cast<std::size_t>(slot)];
    const DeviceDescriptor& d = workspace.Device;
    if (r) r = SameWords("code", read.CodeBuffer, expected.CodeBuffer, d.CodeSize);
    if (r) r = SameWords("data", read.DataBuffer, expected.DataBuffer, std::max(d.DataSize, 0));
    return r;
  }

  RecordingUi ui;
  MemorySettingsStore store;
  Workspace workspace{store};
  OperationOptions options;
  SimulatedProgrammer simulated;
  CountingOpener opener;
  std::optional<LineContext> lines;
  std::optional<Operations> ops;
};

// Every device with a model that the JDM can program, on the cable; the first of each family
// on the bare board and on the GPIO header. Under sanitizers the bare board's parts only, without
// the long microcontroller runs.
std::vector<PartOn> Cases() {
  std::vector<PartOn> cases;
  std::set<FamilyKey> families;
  for (const CatalogueEntry& e : Catalogue()) {
    const DeviceDescriptor d = DescriptorFor(e);
    const FamilyKey family = FamilyKeyOf(d, OperationOptions{});
    if (!ProgrammerSupports(ProgrammerType::Jdm, FamilyRowOf(family).Group) ||
        FamilyRowOf(family).Group == SupportGroup::AnyProgrammer || !ChipModelFor(d) ||
        (kSanitized && (family == FamilyKey::AvrMicro || family == FamilyKey::SpiMicro89S))) {
      continue;
    }
    if (families.insert(family).second) {
      cases.push_back({std::string(e.Name), ProgrammerType::FtdiBitBang});
      cases.push_back({std::string(e.Name), ProgrammerType::GpioHeader});
    }
    if (!kSanitized) cases.push_back({std::string(e.Name), ProgrammerType::JdmFtdi});
  }
  return cases;
}

class FtdiLifecycle : public ::testing::TestWithParam<PartOn> {
 protected:
  FtdiLifecycle() {
    char pattern[] = "/tmp/kestrum-ftdi-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  ~FtdiLifecycle() override { fs::remove_all(folder_); }
  std::string folder_;
};

TEST_P(FtdiLifecycle, ProgramVerifyReadAndReadAgainInASecondRun) {
  const CatalogueEntry& entry = *FindDeviceByName(GetParam().device);
  BufferSlot image;
  {
    UsbRun first(folder_, entry, GetParam().type);
    const DeviceDescriptor& d = first.workspace.Device;
    std::mt19937 random(4242);
    BufferSlot& slot = first.workspace.Buffers.Slots[0];
    for (int i = 0; i < d.CodeSize; ++i) {
      slot.CodeBuffer[i] = static_cast<std::uint16_t>(random() & d.BlankValue);
    }
    for (int i = 0; i < d.DataSize; ++i) slot.DataBuffer[i] = random() & 0xFF;
    // A 12-bit part's last four code words are its ID, one digit each as the ID box keeps it.
    if (d.Is12Bit) {
      for (int i = d.CodeSize - 4; i < d.CodeSize; ++i) slot.CodeBuffer[i] &= 0xF;
    }
    ASSERT_TRUE(first.Runs(&Operations::ProgramAll, 0, {std::string(text::kVerifyOk)}));
    // What the part holds: a one-time part's calibration word is taken into the buffer.
    image = slot;
    ASSERT_TRUE(first.ReadInto(3, image));
    ASSERT_TRUE(first.simulated.SaveChip(first.ui));
  }
  UsbRun second(folder_, entry, GetParam().type);
  EXPECT_TRUE(second.ReadInto(4, image));
  // The bare board and the GPIO header also erase the part and find it blank.
  if (GetParam().type != ProgrammerType::JdmFtdi && second.workspace.Device.Erasable) {
    EXPECT_TRUE(second.Runs(&Operations::EraseAll, 0, {std::string(text::kDeviceErased)}));
    EXPECT_TRUE(second.Runs(&Operations::BlankCheck, 0, {std::string(text::kDeviceBlank)}));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryJdmDevice, FtdiLifecycle, ::testing::ValuesIn(Cases()), PartName);

}  // namespace
}  // namespace kestrum::testing
