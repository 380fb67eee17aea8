// SPDX-License-Identifier: GPL-3.0-or-later
// Parts the user adds in ~/.config/kestrum/devices.toml: each a variant of a shipped device
// (same family, protocol and configuration layout) with its own name, sizes, device ID, masks,
// defaults, page size and waits. A broken entry is skipped with a message naming the file, line
// and column and what is wrong; the others load. A shipped device prints in the same form, for
// the user to start from.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/catalogue.hpp"

namespace kestrum {

// One part read from the file: the entry the catalogue lookups return, and what it owns.
struct UserDevice {
  std::string Name;
  std::string Caption;  // the menu's: the name, marked as the user's
  std::string Parent;
  DeviceProfile Profile;
  CatalogueEntry Entry;
};

struct UserDevicesRead {
  std::vector<UserDevice> Devices;
  std::vector<std::string> Problems;  // one message per skipped entry (or for the whole file)
};

// Reads the text of a devices file; `fileName` is what the messages call it.
UserDevicesRead ReadUserDevices(std::string_view text, std::string_view fileName);

// Reads the devices file at `path`; a file that is not there adds nothing and says nothing.
UserDevicesRead LoadUserDevices(const std::string& path);

// The user's parts the catalogue lookups and the device menu include from now on, and the
// problems start-up tells; replaces any installed before. Done at start-up, before a workspace
// or a worker exists, or by a test.
void InstallUserDevices(UserDevicesRead read);
std::span<const CatalogueEntry> UserCatalogue();
std::span<const std::string> UserDeviceProblems();
// The shipped device a user's part is a variant of; null for a shipped device.
const CatalogueEntry* ParentOf(const CatalogueEntry& entry);

// $XDG_CONFIG_HOME/kestrum/devices.toml, or ~/.config/kestrum/devices.toml.
std::string UserDevicesPath();

// A device as an entry of the devices file (`--show-device`).
std::string DeviceAsToml(const CatalogueEntry& entry);

// Device numbers of the user's parts: from here on, in the file's order, for this run only.
inline constexpr std::uint16_t kFirstUserDeviceNumber = 1000;

}  // namespace kestrum
