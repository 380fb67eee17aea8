// The device catalogue as a plain-text table for the terminal (`--list-devices`).
#pragma once

#include <string>

namespace kestrum {

// One line per device: number, name, family, code size and data size, under a header line.
std::string DeviceListingText();

}  // namespace kestrum
