// SPDX-License-Identifier: GPL-3.0-or-later
// Where the help pages are for a program in a given folder: installed, the program is
// <prefix>/bin/kestrum and the pages are in <prefix>/share/kestrum/help; in the build tree
// the program is build/kestrum and the build copies the pages to build/share/kestrum/help.
#pragma once

#include <string>

namespace kestrum {

// The help's front page (index.html) for the program in `programDir`, or "" when neither
// place holds it.
std::string FindHelpIndex(const std::string& programDir);

}  // namespace kestrum
