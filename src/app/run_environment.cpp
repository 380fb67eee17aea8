// Real or virtual programmer for a run, with its trace.
#include "app/run_environment.hpp"

#include "app/texts.hpp"

namespace kestrum {

RunEnvironment::~RunEnvironment() {
  Finish();
}

bool RunEnvironment::Open(const CommandLine& commandLine, Ui& ui) {
  if (commandLine.SimulateDir) {
    simulated_.emplace(commandLine.SimulateDir->empty() ? SimulatedProgrammer::DefaultFolder()
                                                        : *commandLine.SimulateDir);
    clock_ = &simulated_->Clock();
    opener_ = &simulated_->Programmer();
  }
  if (!commandLine.TraceFile) return true;
  traceFile_.open(*commandLine.TraceFile, std::ios::binary | std::ios::trunc);
  if (!traceFile_) {
    ui.Message(MessageKind::Error, std::string(text::kTraceUnwritable) + *commandLine.TraceFile);
    return false;
  }
  trace_ = std::make_unique<PinTrace>(traceFile_);
  if (simulated_) {
    simulated_->Programmer().Board().SetTrace(trace_.get());
  } else {
    tracingOpener_ = std::make_unique<TracingOpener>(systemOpener_, *clock_, *trace_);
    opener_ = tracingOpener_.get();
  }
  return true;
}

void RunEnvironment::Finish() {
  if (!trace_) return;
  if (simulated_) simulated_->Programmer().Board().SetTrace(nullptr);
  trace_->Finish(clock_->nowUs());
  trace_.reset();
  traceFile_.close();
}

}  // namespace kestrum
