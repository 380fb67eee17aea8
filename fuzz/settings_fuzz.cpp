// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the settings reader. The input is the settings file; start-up reads every
// setting from it. Whatever the file holds, the values in use afterwards are ones the program
// can drive the hardware with.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/application.hpp"
#include "app/ini_settings_store.hpp"
#include "fuzz_support.hpp"
#include "sim/boards/sim_port.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrum;
  static const std::string path = [] {
    char pattern[] = "/tmp/kestrum-settings-fuzz-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    return std::string(pattern);
  }();
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  IniSettingsStore store(path);
  fuzz::QuietUi ui(false);
  VirtualClock clock;
  VirtualProgrammer programmer{clock};
  Application app(store, ui, clock, programmer);
  app.WindowVisible = false;
  app.Startup(CommandLine{});
  const HardwareSettings& used = app.Lines.Settings();
  if (!IsValidProgrammerType(static_cast<int>(used.Programmer))) __builtin_trap();
  if (used.IODelay < 0 || used.IODelay > kMaxIODelay) __builtin_trap();
  // A port is one the chosen programmer can open: a numbered one, a device file, a GPIO chip
  // or an FTDI serial number.
  if (!used.Port.empty() && used.Port != text::kDefaultPortName && !ResolvePort(used, used.Port)) {
    __builtin_trap();
  }
  return 0;
}
