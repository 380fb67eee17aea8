// SPDX-License-Identifier: GPL-3.0-or-later
// The chip models of the virtual programmer, one table row per device family: the model that
// answers for a catalogue device in the socket.
#pragma once

#include <memory>

#include "device/device_descriptor.hpp"
#include "sim/chips/chip.hpp"

namespace kestrum {

// A part of `device` as it comes from the factory (blank, with its factory words); null when
// the virtual programmer has no model of it.
std::unique_ptr<ChipModel> ChipModelFor(const DeviceDescriptor& device);

}  // namespace kestrum
