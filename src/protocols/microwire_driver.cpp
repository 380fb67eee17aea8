// SPDX-License-Identifier: GPL-3.0-or-later
// The Microwire and 4-wire EEPROM family drivers.
#include "protocols/microwire_driver.hpp"

#include <algorithm>

#include "protocols/microwire.hpp"
#include "protocols/texts.hpp"

namespace kestrum {

void MicrowireDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  context.ShowReadPhase(Region::Code, device.CodeSize);
  auto store = [&](auto& worker) {
    if (!context.Run(worker)) return;
    context.Store(Region::Code, 0, worker.Words);
  };
  if (fourWire_) {
    TWire4ReadThread worker(context.Lines(), device.CodeSize);
    store(worker);
  } else {
    TMicroReadThread worker(context.Lines(), device.CodeSize,
                            MicrowireAddressWidthAdjust(device.Variant));
    store(worker);
  }
}

ProgramOutcome MicrowireDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  const std::vector<std::uint16_t>& code = context.Work().Active().CodeBuffer;
  context.SetText(PhaseText(text::kProgrammingCode, device.CodeSize));
  auto run = [&](auto& worker) {
    std::copy_n(code.begin(), worker.Words.size(), worker.Words.begin());
    worker.WriteOnlyDiffers = context.Options().WriteOnlyDiffers;
    context.Run(worker);
  };
  if (fourWire_) {
    TWire4ProgThread worker(context.Lines(), device.CodeSize);
    run(worker);
    return {};
  }
  TMicroProgThread worker(context.Lines(), device.CodeSize,
                          MicrowireAddressWidthAdjust(device.Variant));
  run(worker);
  if (worker.NotReady) {
    // The port is closed and the part unpowered by now.
    context.ui().Message(MessageKind::Error,
                         AddressText(text::kMicrowireNotReady, worker.FailAddress));
    context.Failed();
  }
  return {};
}

}  // namespace kestrum
