// SPDX-License-Identifier: GPL-3.0-or-later
// The port I/O driver operations, as answered on a system outside the Windows NT family.
#include "hardware/port_driver.hpp"

#include <cerrno>
#include <system_error>

namespace kestrum {

bool IsWindowsNT() {
  return false;
}
int InstallDriver() {
  return kDriverNotSupported;
}
int StartDriver() {
  return kDriverNotSupported;
}
int StopDriver() {
  return kDriverNotSupported;
}
int RemoveDriver() {
  return kDriverNotSupported;
}
int OpenDriver() {
  return kDriverNotSupported;
}

std::string SystemErrorText(int code) {
  return std::generic_category().message(code == kDriverNotSupported ? ENOSYS : code);
}

}  // namespace kestrum
