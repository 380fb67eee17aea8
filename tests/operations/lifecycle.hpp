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
#include <memory>
#include <string>
#include <string_view>

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

// The virtual programmer's ports, counted while they are open, so a test can tell that every
// worker closed the port it opened.
class CountingOpener final : public PortOpener {
 public:
  explicit CountingOpener(VirtualProgrammer& programmer) : programmer_(programmer) {}
  std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) override {
    std::unique_ptr<Port> port = programmer_.Open(settings, ui, report);
    return port ? std::make_unique<CountedPort>(std::move(port), open_) : nullptr;
  }
  bool Available(const HardwareSettings& settings, std::string_view portName) override {
    return programmer_.Available(settings, portName);
  }
  int OpenPorts() const { return open_.load(); }

 private:
  class CountedPort final : public Port {
   public:
    CountedPort(std::unique_ptr<Port> port, std::atomic<int>& open)
        : port_(std::move(port)), open_(open) {
      ++open_;
    }
    ~CountedPort() override { --open_; }
    CountedPort(const CountedPort&) = delete;
    CountedPort& operator=(const CountedPort&) = delete;
    std::uint16_t Base() const override { return port_->Base(); }
    std::uint8_t In(std::uint16_t address) override { return port_->In(address); }
    void Out(std::uint16_t address, std::uint8_t value) override { port_->Out(address, value); }
    void SetDtr(bool on) override { port_->SetDtr(on); }
    void SetRts(bool on) override { port_->SetRts(on); }
    void SetBreak(bool on) override { port_->SetBreak(on); }
    bool Cts() override { return port_->Cts(); }
    void SetLineFormat(const LineFormat& format) override { port_->SetLineFormat(format); }
    void WriteByte(std::uint8_t value) override { port_->WriteByte(value); }
    bool ReadByte(std::uint8_t& value, int timeoutMs) override {
      return port_->ReadByte(value, timeoutMs);
    }
    PinStream* Stream() override { return port_->Stream(); }
    PinPort* Pins() override { return port_->Pins(); }
    void ReportFailuresTo(std::string* sink) override { port_->ReportFailuresTo(sink); }

   private:
    std::unique_ptr<Port> port_;
    std::atomic<int>& open_;
  };

  VirtualProgrammer& programmer_;
  std::atomic<int> open_{0};
};

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

}  // namespace kestrum::testing
