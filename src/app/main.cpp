// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry point: the command line decides between the terminal run and the window.
// A build without the window (-DKESTRUM_GUI=OFF) runs everything in the terminal.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "app/command_line.hpp"
#include "app/device_listing.hpp"
#include "app/ini_settings_store.hpp"
#include "app/port_listing.hpp"
#include "app/terminal_run.hpp"
#include "app/texts.hpp"
#include "device/user_devices.hpp"
#ifdef KESTRUM_WINDOW
#include "gui/listing_printer.hpp"
#include "gui/window_run.hpp"
#endif

namespace {

void Print(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrum;
  // Qt's own options (-style, -platform, ...) go to Qt, the rest to the program's parser.
  const SplitArguments args = SplitToolkitOptions(std::vector<std::string>(argv + 1, argv + argc));
  auto parsed = ParseCommandLine(args.Program);
  if (const auto* error = std::get_if<UsageError>(&parsed)) {
    Print(stderr, std::string(text::kProgramName) + ": " + error->Reason +
                      std::string(text::kTryHelp) + "\n");
    return 2;
  }
  const CommandLine& commandLine = std::get<CommandLine>(parsed);
  if (commandLine.Help) {
    Print(stdout, text::kHelp);
    return 0;
  }
  if (commandLine.Version) {
    Print(stdout, std::string(text::kVersion) + "\n");
    return 0;
  }
  // The user's parts join the catalogue before anything selects a device; start-up tells what
  // was wrong with the file, the listings tell it here.
  InstallUserDevices(LoadUserDevices(UserDevicesPath()));
  if (commandLine.ListDevices || commandLine.ShowDevice) {
    for (const std::string& problem : UserDeviceProblems()) Print(stderr, problem + "\n");
  }
  if (commandLine.ListDevices) {
    Print(stdout, DeviceListingText());
    return 0;
  }
  if (commandLine.ShowDevice) return ShowDevice(*commandLine.ShowDevice, stdout, stderr);
  if (commandLine.ListPorts || commandLine.ShowProgrammer) {
    IniSettingsStore settings;
    return RunListing(commandLine, settings, stdout, stderr);
  }
  // A listing for standard output or a file is a terminal job, window or not.
  if (!commandLine.NoWindow && !commandLine.Disassemble && !commandLine.PrintPdf) {
#ifdef KESTRUM_WINDOW
    IniSettingsStore settings;
    return RunWindow(argv[0], args.Toolkit, commandLine, settings);
#else
    if (args.Program.empty()) {
      Print(stdout, text::kHelp);
      return 0;
    }
    Print(stderr, std::string(text::kNoWindowInBuild) + "\n");
#endif
  }

  IniSettingsStore settings;
  TerminalStreams streams;
  streams.inputIsTerminal = isatty(STDIN_FILENO) != 0;
#ifdef KESTRUM_WINDOW
  return RunInTerminal(commandLine, settings, streams, &WritePdfListing);
#else
  return RunInTerminal(commandLine, settings, streams);
#endif
}
