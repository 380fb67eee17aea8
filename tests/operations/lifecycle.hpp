// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-lifecycle runs for every device family: an application state (workspace, options,
// recording Ui, operation driver) on the virtual programmer with a chip model in its socket,
// in virtual time, and the steps every family goes through: program all with verify after
// programming, read back into another slot and compare, erase and blank check. A family
// supplies the chip, the random image and what the part really holds.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "../counting_opener.hpp"
#include "../sim/rig.hpp"
#include "buffers/workspace.hpp"
#include "core/recording_ui.hpp"
#include "core/text.hpp"
#include "device/catalogue.hpp"
#include "hardware/line_context.hpp"
#include "operations/operations.hpp"
#include "operations/texts.hpp"
#include "sim/chips/chip.hpp"

namespace kestrum::testing {

using Strings = std::vector<std::string>;

// A test name's suffix for the programmer type.
inline std::string TypeSuffix(ProgrammerType type) {
  switch (type) {
    case ProgrammerType::Jdm:
      return "_Jdm";
    case ProgrammerType::ProPic2:
      return "_ProPic2";
    case ProgrammerType::Tafe:
      return "_Tafe";
    case ProgrammerType::TaitParallel:
      return "_TaitParallel";
    case ProgrammerType::Stk200:
      return "_Stk200";
    case ProgrammerType::JdmFtdi:
      return "_JdmFtdi";
    case ProgrammerType::FtdiBitBang:
      return "_FtdiBitBang";
    case ProgrammerType::GpioHeader:
      return "_GpioHeader";
    default:
      return "_" + std::to_string(static_cast<int>(type));
  }
}

// A part on a programmer type: the parameter of the per-part lifecycle suites.
struct PartOn {
  std::string device;
  ProgrammerType type;
  bool byteWrite = false;  // an I2C EEPROM written a byte at a time
};

// Each of `devices` on each of `types`, appended to `cases`.
template <class Devices>
void AddEachOn(std::vector<PartOn>& cases, const Devices& devices,
               std::initializer_list<ProgrammerType> types) {
  for (const auto& device : devices) {
    for (ProgrammerType type : types) cases.push_back({std::string(device), type});
  }
}

// A test name for a part on a type: "PIC16F84_Jdm".
inline std::string PartName(const ::testing::TestParamInfo<PartOn>& info) {
  std::string name;
  for (char ch : info.param.device) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  return name + TypeSuffix(info.param.type);
}

// The first element where two regions differ, or success.
template <class A, class B>
::testing::AssertionResult SameWords(std::string_view region, const A& got, const B& want,
                                     std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (static_cast<unsigned>(got[i]) != static_cast<unsigned>(want[i])) {
      return ::testing::AssertionFailure()
             << region << " differs at " << Hex4(static_cast<std::uint32_t>(i))
             << "h: " << Hex4(got[i]) << "h, expected " << Hex4(want[i]) << "h";
    }
  }
  return ::testing::AssertionSuccess();
}

class LifecycleRig {
 public:
  // `chip` may be null for an empty socket; it must outlive the rig.
  LifecycleRig(std::string_view device, ProgrammerType type, Chip* chip)
      : lines(SettingsFor(type, chip ? chip->PinCount() : 18), clock, ui, opener) {
    workspace.SelectDevice(*FindDeviceByName(device));
    if (chip) programmer.Insert(chip);
    // The user said yes to programming already; verify after programming is on.
    options.Progging = false;
    options.Verify = true;
  }

  const DeviceDescriptor& Device() const { return workspace.Device; }
  BufferSlot& Slot() { return workspace.Active(); }

  // Lines idle, every port closed, nothing left masked: how every operation must end.
  ::testing::AssertionResult Rested() {
    const ChipPins& pins = programmer.Board().Pins();
    if (lines.IsPortOpen() || opener.OpenPorts() != 0) {
      return ::testing::AssertionFailure() << "a port is still open";
    }
    if (pins.mclr || pins.clock || pins.data || lines.Lines().CriticalDepth != 0) {
      return ::testing::AssertionFailure()
             << "lines not idle: VPP " << pins.mclr << ", clock " << pins.clock << ", data "
             << pins.data << ", critical depth " << lines.Lines().CriticalDepth;
    }
    // The boards driven register by register: the part unpowered, no programming voltage.
    if (const ParallelBoard* parallel = programmer.Board().Parallel();
        parallel && (parallel->Pins().vcc || parallel->Pins().vpp)) {
      return ::testing::AssertionFailure() << "socket not at rest: VCC " << parallel->Pins().vcc
                                           << ", VPP " << parallel->Pins().vpp;
    }
    return ::testing::AssertionSuccess();
  }

  // Runs `command`; passes when its verdict holds, the messages are `messages` and nothing was
  // asked, and the rig rests afterwards.
  ::testing::AssertionResult Runs(OperationResult (Operations::*command)(), bool verdict,
                                  const Strings& messages) {
    ui.Clear();
    const OperationResult result = (ops.*command)();
    const bool held = command == &Operations::BlankCheck   ? result.Blank
                      : command == &Operations::ProgramAll ? result.Succeeded() && result.Verified
                                                           : result.Succeeded();
    if (held != verdict || ui.Messages() != messages || !ui.Questions().empty()) {
      auto failure = ::testing::AssertionFailure() << "unexpected verdict or texts:";
      for (const RecordingUi::Entry& e : ui.Entries()) {
        if (!e.text.empty()) failure << " [" << e.text << "]";
      }
      return failure;
    }
    return Rested();
  }
  ::testing::AssertionResult ProgramAndVerify() {
    return Runs(&Operations::ProgramAll, true, {std::string(text::kVerifyOk)});
  }
  ::testing::AssertionResult EraseThenBlank() {
    if (auto r = Runs(&Operations::EraseAll, true, {std::string(text::kDeviceErased)}); !r) {
      return r;
    }
    return Runs(&Operations::BlankCheck, true, {std::string(text::kDeviceBlank)});
  }

  // Read All into slot `into` (the active slot comes back afterwards), telling the user
  // `messages`; the regions of the device compared with `expected`.
  ::testing::AssertionResult ReadBackEquals(const BufferSlot& expected, int into = 4,
                                            const Strings& messages = {}) {
    const int active = workspace.Buffers.ActiveBuffer;
    workspace.Buffer11Click(into);
    auto r = Runs(&Operations::ReadAll, true, messages);
    const BufferSlot& read = workspace.Buffers.Slots[static_cast<std::size_t>(into)];
    workspace.Buffer11Click(active);
    const DeviceDescriptor& d = Device();
    if (r) r = SameWords("code", read.CodeBuffer, expected.CodeBuffer, d.CodeSize);
    if (r) r = SameWords("data", read.DataBuffer, expected.DataBuffer, std::max(d.DataSize, 0));
    if (r) r = SameWords("configuration", read.ConfigArea, expected.ConfigArea, d.ConfigAreaWords);
    return r;
  }

  MemorySettingsStore store;
  Workspace workspace{store};
  VirtualClock clock{1000};
  RecordingUi ui;
  VirtualProgrammer programmer{clock};
  CountingOpener opener{programmer};
  LineContext lines;
  OperationOptions options;
  Operations ops{workspace, lines, options};
};

// Presses Cancel once, from whichever thread records the progress position `position`.
inline void CancelAt(LifecycleRig& rig, int position) {
  auto pressed = std::make_shared<std::atomic<bool>>(false);
  rig.ui.onEntry = [&rig, position, pressed](const RecordingUi::Entry& e) {
    if (e.type == RecordingUi::Entry::Type::ProgressPosition && e.value == position &&
        !pressed->exchange(true)) {
      rig.ui.PressCancel();
    }
  };
}

// Random code and data; the configuration box as a new selection leaves it.
inline void RandomImage(LifecycleRig& rig, unsigned seed) {
  std::mt19937 random(seed);
  const DeviceDescriptor& d = rig.Device();
  for (int i = 0; i < d.CodeSize; ++i) rig.Slot().CodeBuffer[i] = random() & 0xFF;
  for (int i = 0; i < d.DataSize; ++i) rig.Slot().DataBuffer[i] = random() & 0xFF;
}

}  // namespace kestrum::testing
