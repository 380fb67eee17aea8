// SPDX-License-Identifier: GPL-3.0-or-later
// The I2C EEPROM family driver.
#include "protocols/i2c_driver.hpp"

#include "protocols/i2c_eeprom.hpp"
#include "protocols/texts.hpp"

namespace kestrum {
namespace {

bool TwoByteAddress(const DeviceDescriptor& device) {
  return device.Variant == 1 || device.Variant == 2;
}

// The 24xx1025: address bit 16 as the block-select bit of the control byte.
bool BlockSelect(const DeviceDescriptor& device) {
  return device.Variant == 2;
}

}  // namespace

void I2cDriver::Read(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  context.ShowReadPhase(Region::Code, device.CodeSize);
  TEpromReadThread reader(context.Lines(), device.CodeSize);
  reader.TwoByteAddress = TwoByteAddress(device);
  reader.BlockSelect = BlockSelect(device);
  reader.McLrAsVcc = context.Options().EnableMCLR;
  if (!context.Run(reader)) return;
  // No byte was read: the slot keeps what it held (the worker's zeros would replace it), and
  // Verify and Blank Check give no verdict on a part they could not read.
  if (reader.NoAck) {
    context.Failed();
    return;
  }
  context.Store(Region::Code, 0, reader.Words);
}

ProgramOutcome I2cDriver::Program(FamilyContext& context) {
  const DeviceDescriptor& device = context.Device();
  const BufferSlot& slot = context.Work().Active();
  context.SetText(PhaseText(text::kProgrammingCode, device.CodeSize));
  TI2CProgThread programmer(context.Lines(), device.CodeSize);
  programmer.PageSize = device.PageSize;
  programmer.TwoByteAddress = TwoByteAddress(device);
  programmer.BlockSelect = BlockSelect(device);
  programmer.McLrAsVcc = context.Options().EnableMCLR;
  programmer.ByteWrite = context.Options().ByteWrite;
  programmer.WriteOnlyDiffers = context.Options().WriteOnlyDiffers;
  for (int i = 0; i < device.CodeSize; ++i) programmer.Words[i] = slot.CodeBuffer[i];
  if (!context.Run(programmer)) return {};
  // The user has been told of every acknowledge that did not come.
  if (programmer.NoAck || programmer.MissedAcks > 0) context.Failed();
  return {};
}

bool I2cDriver::Erase(FamilyContext& /*context*/) {
  return false;
}

bool I2cDriver::ProgramConfig(FamilyContext& /*context*/) {
  return false;
}

}  // namespace kestrum
