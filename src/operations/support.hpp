// Which programmer types can handle which device families, and the order in which the
// operations look at a device's family.
#pragma once

#include <string>

#include "device/device_descriptor.hpp"
#include "hardware/programmer_types.hpp"

namespace kestrum {

enum class SupportGroup {
  StandardProgrammers,  // every type but TAFE and TAIT Parallel
  TafeOnly,             // the 89C1051/2051/4051 flash parts
  TaitParallelOnly,     // PICs that program in parallel only
};

bool ProgrammerSupports(ProgrammerType type, SupportGroup group);

// One row of the operations' dispatch tables, tested in this order.
enum class DispatchRow {
  ImBusEeprom,
  SpiMicro89S,
  SpiEeprom,
  FlashMicro,
  AvrMicro,
  FourWireEeprom,
  MicrowireEeprom,
  I2cEeprom,
  Pic,
  PicParallel,
};

DispatchRow DispatchRowOf(const DeviceDescriptor& device);
SupportGroup GroupOf(DispatchRow row);
// Whether this version has the protocol of the row.
bool RowAvailable(DispatchRow row);

// "This device is not supported by the " + the programmer's list text.
std::string NotSupportedText(ProgrammerType type);
// The information given for a family whose protocol this version does not have yet.
std::string FamilyNotAvailableText(const DeviceDescriptor& device);

}  // namespace kestrum
