// SPDX-License-Identifier: GPL-3.0-or-later
// The refusals of the operation driver: a programmer that cannot handle the device's family,
// and a family this version has no protocol for.
#pragma once

#include <string>

#include "device/device_descriptor.hpp"
#include "hardware/hardware_settings.hpp"

namespace kestrum {

// "This device is not supported by the " + the programmer's list text.
std::string NotSupportedText(ProgrammerType type);
std::string NotSupportedText(const HardwareSettings& settings);
// The information given for a family whose protocol this version does not have yet.
std::string FamilyNotAvailableText(const DeviceDescriptor& device);

}  // namespace kestrum
