// SPDX-License-Identifier: GPL-3.0-or-later
// The family table: for every device family (the parallel-only PICs and the smartcard reader
// as rows of their own) the programmers that can drive it and the driver that does, or none
// where this version has no protocol for it yet.
#pragma once

#include <cstddef>
#include <memory>

#include "device/device_descriptor.hpp"
#include "protocols/family_driver.hpp"

namespace kestrum {

enum class FamilyKey {
  Pic,
  PicParallel,
  I2cEeprom,
  Smartcard,  // I2C EEPROMs while the smartcard (Phoenix) mode is on
  MicrowireEeprom,
  FourWireEeprom,
  AvrMicro,
  FlashMicro,
  SpiEeprom,
  SpiMicro89S,
  ImBusEeprom,
};
inline constexpr std::size_t kFamilyKeys = static_cast<std::size_t>(FamilyKey::ImBusEeprom) + 1;

struct FamilyRow {
  FamilyKey Key;
  SupportGroup Group;
  // Builds the family's driver; null while this version has none.
  std::unique_ptr<FamilyDriver> (*MakeDriver)();
};

FamilyKey FamilyKeyOf(const DeviceDescriptor& device, const OperationOptions& options);
const FamilyRow& FamilyRowOf(FamilyKey key);

}  // namespace kestrum
