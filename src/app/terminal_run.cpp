// SPDX-License-Identifier: GPL-3.0-or-later
// Headless runs on a real port or on the virtual programmer.
#include "app/terminal_run.hpp"

#include <signal.h>

#include <cerrno>
#include <iostream>

#include "app/application.hpp"
#include "app/interrupt_watcher.hpp"
#include "app/run_environment.hpp"
#include "app/terminal_ui.hpp"
#include "app/texts.hpp"
#include "buffers/file_access.hpp"
#include "disasm/assembler_view.hpp"

namespace kestrum {

namespace {

// A reader that goes away (`| head -1`) makes writes to it fail with EPIPE instead of ending
// the process with SIGPIPE: the run goes on to power the programmer down and save its chips.
class BrokenPipeIgnored {
 public:
  BrokenPipeIgnored() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previous_);
  }
  ~BrokenPipeIgnored() { sigaction(SIGPIPE, &previous_, nullptr); }
  BrokenPipeIgnored(const BrokenPipeIgnored&) = delete;
  BrokenPipeIgnored& operator=(const BrokenPipeIgnored&) = delete;

 private:
  struct sigaction previous_ {};
};

}  // namespace

int RunInTerminal(const CommandLine& commandLine, SettingsStore& settings,
                  const TerminalStreams& streams, const PdfListingWriter& writePdf) {
  const BrokenPipeIgnored brokenPipe;
  TerminalUi ui(streams.out, streams.err, streams.in, streams.inputIsTerminal, commandLine.Yes);
  const InterruptWatcher interrupts([&ui] { return ui.Interrupt(); });

  RunEnvironment environment;
  if (!environment.Open(commandLine, settings, ui)) return 1;
  SimulatedProgrammer* simulated = environment.Simulated();

  Application app(settings, ui, environment.clock(), environment.opener());
  app.WindowVisible = false;
  const Application::StartupOutcome started = app.Startup(commandLine);
  if (started.UnknownDevice) return 2;
  ApplyProcessPriority(app.Options.Priority);
  // A chip file that cannot be used is kept as it is, and nothing runs on the chip.
  if (simulated &&
      !simulated->InsertFor(app.Work.Device, app.Operation.Smart, app.Options.SmartWiz, ui)) {
    return 1;
  }

  const Application::ActivationOutcome activated = app.OnActivate();
  bool succeeded = activated.Succeeded;
  if (activated.Cancelled) ui.Message(MessageKind::Warning, text::kRunCancelled);
  if (started.LoadFailed) succeeded = false;
  if (commandLine.Disassemble && !started.LoadFailed) {
    succeeded &= WriteDisassembly(ui, app.Work.Device, app.Work.Active(), *commandLine.Disassemble,
                                  std::cout);
    std::cout.flush();
  }
  if (commandLine.PrintPdf && !started.LoadFailed) {
    if (writePdf) {
      // The listing as the window prints it: the configuration box shows the slot's word.
      app.Work.ShowStoredConfigWord();
      succeeded &= writePdf(MakePrintJob(app.Work), *commandLine.PrintPdf, ui);
    } else {
      ui.Message(MessageKind::Error, text::kPrintNeedsWindow);
      succeeded = false;
    }
  }
  if (simulated) succeeded &= simulated->SaveChip(ui);
  succeeded &= environment.Finish(&ui);
  // Output that did not arrive is an error, unless its reader chose to stop reading.
  errno = 0;
  std::fflush(streams.out);
  int outputError = ui.OutputError();
  if (outputError == 0 && std::ferror(streams.out)) outputError = errno != 0 ? errno : EIO;
  if (outputError != 0 && outputError != EPIPE) {
    ui.Message(MessageKind::Error, std::string(text::kOutputFailed) + SystemReason(outputError));
  }
  return succeeded && ui.Problems() == 0 ? 0 : 1;
}

}  // namespace kestrum
