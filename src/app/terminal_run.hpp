// SPDX-License-Identifier: GPL-3.0-or-later
// A run without a window (`-i`): start-up, the command line's actions, the long options'
// extras, and the exit status.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "app/command_line.hpp"
#include "app/print_listing.hpp"
#include "core/settings_store.hpp"
#include "core/ui.hpp"

namespace kestrum {

struct TerminalStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  std::FILE* in = stdin;
  bool inputIsTerminal = false;
};

// Writes the printed listing to a PDF file (the window build paints it); false when it could
// not (the user told why). Without one, --print-pdf answers that it needs the window build.
using PdfListingWriter = std::function<bool(const PrintJob&, const std::string& path, Ui&)>;

// 0 when the run showed no error or warning and every action did what it was asked (every
// verification passed), 1 otherwise, 2 for a device number that names no device.
int RunInTerminal(const CommandLine& commandLine, SettingsStore& settings,
                  const TerminalStreams& streams, const PdfListingWriter& writePdf = {});

}  // namespace kestrum
