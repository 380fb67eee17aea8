// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the reader of the user's devices file. Whatever the file holds, every part
// it adds stays within the sizes its family can address, and prints (as --show-device does) to
// an entry that reads back as the same part.
#include <cstdint>
#include <string_view>

#include "device/user_devices.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrum;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  UserDevicesRead read = ReadUserDevices(text, "devices.toml");
  for (const UserDevice& d : read.Devices) {
    if (d.Entry.CodeSize < 1 || d.Entry.DataSize < 0 || d.Entry.PinCount < 8) __builtin_trap();
    if (d.Entry.PageSize < 0 || (d.Entry.PageSize > 0 && d.Entry.CodeSize % d.Entry.PageSize))
      __builtin_trap();
  }
  InstallUserDevices(std::move(read));
  for (const CatalogueEntry& entry : UserCatalogue()) {
    UserDevicesRead again = ReadUserDevices(DeviceAsToml(entry), "again.toml");
    if (again.Devices.size() != 1 || !again.Problems.empty()) __builtin_trap();
    UserDevice& part = again.Devices[0];
    part.Entry.Profile = &part.Profile;  // as installing it would
    const DeviceDescriptor a = DescriptorFor(entry);
    const DeviceDescriptor b = DescriptorFor(part.Entry);
    if (a.CodeSize != b.CodeSize || a.DataSize != b.DataSize || a.DeviceId != b.DeviceId ||
        a.Waits != b.Waits || a.ConfigMask != b.ConfigMask) {
      __builtin_trap();
    }
  }
  InstallUserDevices({});
  return 0;
}
