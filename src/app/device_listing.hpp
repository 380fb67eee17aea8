// SPDX-License-Identifier: GPL-3.0-or-later
// The device catalogue as a plain-text table for the terminal (`--list-devices`), and one
// device as an entry of the user's devices file (`--show-device`).
#pragma once

#include <cstdio>
#include <string>

namespace kestrum {

// One line per device: number, name, family, code size and data size, under a header line.
std::string DeviceListingText();

// Writes the device `name` names (as --device takes it) to `out` as an entry of the user's
// devices file; returns 0, or 2 with the reason on `err` when it names none or several.
int ShowDevice(const std::string& name, std::FILE* out, std::FILE* err);

}  // namespace kestrum
