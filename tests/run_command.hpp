// SPDX-License-Identifier: GPL-3.0-or-later
// A shell command's standard output, for the tests that hand a pin trace to sigrok-cli.
#pragma once

#include <cstdio>
#include <string>

namespace kestrum {

inline std::string RunCommand(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    for (int c; (c = fgetc(pipe)) != EOF;) output += static_cast<char>(c);
    pclose(pipe);
  }
  return output;
}

}  // namespace kestrum
