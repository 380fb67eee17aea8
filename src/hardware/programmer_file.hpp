// SPDX-License-Identifier: GPL-3.0-or-later
// Programmers described by their users in programmers.toml, beside the settings in the XDG
// config folder, and every programmer (built-in ones included) printed in that format so a
// user can start from one that works:
//
//   [[programmer]]
//   name = "Bench board"
//   port = "parallel"          # parallel, serial, ftdi or gpio
//   vpp_on_wait_us = 100       # optional
//   vpp_off_wait_us = 100      # optional
//   [programmer.lines]
//   DataOut = 2                # a pin, active high
//   Clock = 3
//   MCLR = { pin = 4, active = "low" }
//   VCC = [5, 6]               # a line on two pins
//   DataIn = 10
//
// Pins are the connector pins of a parallel (DB-25) or serial (DB-9) port, an FTDI chip's
// data bits 0..7 or a GPIO chip's line offsets. An entry with a mistake is left out with a
// message naming the file, line and column and what is wrong; the others load.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "hardware/hardware_settings.hpp"

namespace kestrum {

struct ProgrammerFile {
  ProgrammerDefinitions programmers;
  std::vector<std::string> problems;  // one per entry left out, in file order
};

// Reads the text of a programmers file; `file` names it in the messages.
ProgrammerFile ReadProgrammers(std::string_view text, std::string_view file);
// Reads the file at `path`; a file that is not there holds no programmers and no problems.
ProgrammerFile ReadProgrammerFile(const std::string& path);
// $XDG_CONFIG_HOME/kestrum/programmers.toml, or ~/.config/kestrum/programmers.toml.
std::string ProgrammersFilePath();

// The settings' programmer in the file's format (the pins the settings give a type wired by
// its user), with comments where a built-in type does more than its lines.
std::string FormatProgrammer(const HardwareSettings& settings);

// Every programmer's list text: the built-in types in their order, then `user`'s.
std::vector<std::string> ProgrammerNames(const ProgrammerDefinitions& user);
// The settings' programmer becomes the one of that list position.
void SelectProgrammer(HardwareSettings& settings, const ProgrammerDefinitions& user, int index);

}  // namespace kestrum
