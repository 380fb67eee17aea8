// A run without a window (`-i`): start-up, the command line's actions, the long options'
// extras, and the exit status.
#pragma once

#include <cstdio>

#include "app/command_line.hpp"
#include "core/settings_store.hpp"

namespace kestrum {

struct TerminalStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  std::FILE* in = stdin;
  bool inputIsTerminal = false;
};

// 0 when the run showed no error or warning and every action did what it was asked (every
// verification passed), 1 otherwise, 2 for a device number that names no device.
int RunInTerminal(const CommandLine& commandLine, SettingsStore& settings,
                  const TerminalStreams& streams);

}  // namespace kestrum
