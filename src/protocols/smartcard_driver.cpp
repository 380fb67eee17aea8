// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard family driver.
#include "protocols/smartcard_driver.hpp"

#include "protocols/smartcard.hpp"

namespace kestrum {

void SmartcardDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  TSmartcardReadThread reader(context.Lines(), device.CodeSize);
  if (!context.Run(reader)) return;
  // What was read stays, also when the card stopped part way; the rest keeps its values.
  context.Store(Region::Code, 0,
                std::span<const std::uint16_t>(reader.Words.data(),
                                               static_cast<std::size_t>(reader.Transferred)));
  if (reader.Outcome != CardOutcome::Done) {
    context.ui().Message(MessageKind::Error,
                         CardFailureText(reader.Outcome, true, reader.FailAddress));
    context.Failed();
  }
}

ProgramOutcome SmartcardDriver::Program(FamilyContext& context) {
  auto writer = CardWriter(context.Lines(), context.Work().Active(), context.Device().CodeSize);
  if (!context.Run(*writer)) return {};
  if (writer->Outcome != CardOutcome::Done) {
    context.ui().Message(MessageKind::Error,
                         CardFailureText(writer->Outcome, false, writer->FailAddress));
    context.Failed();
  }
  return {};
}

bool SmartcardDriver::Erase(FamilyContext&) {
  return false;
}

bool SmartcardDriver::ProgramConfig(FamilyContext&) {
  return false;
}

}  // namespace kestrum
