// A run with the main window: what `kestrum` without -i does. No Qt header here, so the
// program's entry point stays free of them.
#pragma once

#include "app/command_line.hpp"
#include "core/settings_store.hpp"

namespace kestrum {

// Start-up, the window, the event loop; the command line's actions run when the window first
// becomes active. Returns the exit status: 0, or 1 when a quit mode's action did not do all it
// was asked (or there is no display to show the window on).
int RunWindow(const char* programPath, const CommandLine& commandLine, SettingsStore& settings);

}  // namespace kestrum
