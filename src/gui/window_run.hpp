// SPDX-License-Identifier: GPL-3.0-or-later
// A run with the main window: what `kestrum` without -i does. No Qt header here, so the
// program's entry point stays free of them.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "core/settings_store.hpp"

namespace kestrum {

// The program name and the toolkit's own options as the argc/argv pair its application object
// takes (it keeps both for its whole life, so this object must outlive it).
class ToolkitArguments {
 public:
  ToolkitArguments(const char* programPath, const std::vector<std::string>& options);
  int& Count() { return count_; }
  char** Values() { return pointers_.data(); }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
  int count_ = 0;
};

// Start-up, the window, the event loop; the command line's actions run when the window first
// becomes active. Returns the exit status: 0, or 1 when a quit mode's action did not do all it
// was asked (or there is no display to show the window on). `toolkitOptions` go to Qt.
int RunWindow(const char* programPath, const std::vector<std::string>& toolkitOptions,
              const CommandLine& commandLine, SettingsStore& settings);

}  // namespace kestrum
