// Headless runs on a real port or on the virtual programmer.
#include "app/terminal_run.hpp"

#include <sys/resource.h>

#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "app/application.hpp"
#include "app/interrupt_watcher.hpp"
#include "app/simulated_programmer.hpp"
#include "app/terminal_ui.hpp"
#include "app/texts.hpp"
#include "disasm/assembler_view.hpp"
#include "hardware/port_opener.hpp"
#include "sim/tracing_port.hpp"
#include "sim/vcd_writer.hpp"

namespace kestrum {
namespace {

// "Priority": high and real-time raise the scheduling priority as far as the user may. A
// real-time scheduling class is not used: a busy-waiting process in it could starve the
// machine.
void ApplyPriority(int priority) {
  if (priority == 1) setpriority(PRIO_PROCESS, 0, -10);
  if (priority == 2) setpriority(PRIO_PROCESS, 0, -20);
}

}  // namespace

int RunInTerminal(const CommandLine& commandLine, SettingsStore& settings,
                  const TerminalStreams& streams) {
  TerminalUi ui(streams.out, streams.err, streams.in, streams.inputIsTerminal, commandLine.Yes);
  const InterruptWatcher interrupts([&ui] { return ui.Interrupt(); });

  std::optional<SimulatedProgrammer> simulated;
  RealClock realClock;
  SystemPortOpener systemOpener;
  Clock* clock = &realClock;
  PortOpener* opener = &systemOpener;
  if (commandLine.SimulateDir) {
    simulated.emplace(commandLine.SimulateDir->empty() ? SimulatedProgrammer::DefaultFolder()
                                                       : *commandLine.SimulateDir);
    clock = &simulated->Clock();
    opener = &simulated->Programmer();
  }

  std::ofstream traceFile;
  std::unique_ptr<PinTrace> trace;
  std::unique_ptr<TracingOpener> tracingOpener;
  if (commandLine.TraceFile) {
    traceFile.open(*commandLine.TraceFile, std::ios::binary | std::ios::trunc);
    if (!traceFile) {
      ui.Message(MessageKind::Error, std::string(text::kTraceUnwritable) + *commandLine.TraceFile);
      return 1;
    }
    trace = std::make_unique<PinTrace>(traceFile);
    if (simulated) {
      simulated->Programmer().Board().SetTrace(trace.get());
    } else {
      tracingOpener = std::make_unique<TracingOpener>(systemOpener, *clock, *trace);
      opener = tracingOpener.get();
    }
  }

  Application app(settings, ui, *clock, *opener);
  app.WindowVisible = false;
  const Application::StartupOutcome started = app.Startup(commandLine);
  if (started.UnknownDevice) return 2;
  ApplyPriority(app.Options.Priority);
  if (simulated) {
    // In smartcard mode the card serves its own PIC and, through the reader, the EEPROMs.
    if (app.Operation.Smart &&
        SimulatedProgrammer::CardServes(app.Work.Device, app.Options.SmartWiz)) {
      simulated->InsertCard(app.Options.SmartWiz, ui);
    } else {
      simulated->InsertChipFor(app.Work.Device, ui);
    }
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
  if (simulated) succeeded &= simulated->SaveChip(ui);
  if (trace) {
    if (simulated) simulated->Programmer().Board().SetTrace(nullptr);
    trace->Finish(clock->nowUs());
  }
  return succeeded && ui.Problems() == 0 ? 0 : 1;
}

}  // namespace kestrum
