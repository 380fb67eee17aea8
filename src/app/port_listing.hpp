// SPDX-License-Identifier: GPL-3.0-or-later
// The listings of the hardware a run would use: `--list-ports` (the ports this machine has)
// and `--show-programmer NAME` (a programmer, built-in or the user's, in the format of
// programmers.toml).
#pragma once

#include <cstdio>
#include <string>

#include "app/command_line.hpp"
#include "core/settings_store.hpp"
#include "hardware/os_interface.hpp"

namespace kestrum {

// Writes the listing the command line asks for; returns the exit status (2 for a programmer
// name that names none or several). Problems of the programmers file go to `err`.
int RunListing(const CommandLine& commandLine, const SettingsStore& settings, std::FILE* out,
               std::FILE* err, OsInterface& os = SystemOs(),
               const std::string& programmersFile = {});

}  // namespace kestrum
