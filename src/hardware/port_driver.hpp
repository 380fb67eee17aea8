// SPDX-License-Identifier: GPL-3.0-or-later
// The port I/O driver service of the Windows NT family. Linux grants port access through the
// device files (or ioperm), so there is no driver: the system is never of that family, and
// start-up and the options never touch a driver.
#pragma once

#include <string>

namespace kestrum {

// The system's "not supported" error number, answered by every driver operation.
inline constexpr int kDriverNotSupported = 50;

bool IsWindowsNT();
int InstallDriver();
int StartDriver();
int StopDriver();
int RemoveDriver();
int OpenDriver();
// The system's text for an error code of the driver operations.
std::string SystemErrorText(int code);

}  // namespace kestrum
