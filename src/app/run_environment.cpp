// Real or virtual programmer for a run, with its trace.
#include "app/run_environment.hpp"

#include <algorithm>

#include "app/texts.hpp"
#include "hardware/hardware_settings.hpp"

namespace kestrum {

void SwitchingClock::SetTarget(Clock& target) {
  const std::int64_t now = nowUs();
  target_.store(&target);
  offset_.store(now - target.nowUs());
}

std::int64_t SwitchingClock::nowUs() const {
  return target_.load()->nowUs() + offset_.load();
}

RunEnvironment::~RunEnvironment() {
  Finish();
}

void RunEnvironment::MakeSimulated(const std::string& folder) {
  if (simulated_) return;
  simulated_.emplace(folder);
  simulated_->Programmer().Board().SetLineCallUs(lineCallUs_);
  if (trace_) simulated_->Programmer().Board().SetTrace(trace_.get());
}

bool RunEnvironment::Open(const CommandLine& commandLine, const SettingsStore& settings, Ui& ui) {
  lineCallUs_ = std::max(0, settings.ReadInteger(kLineCallKey, 0));
  if (commandLine.TraceFile) {
    traceFile_.open(*commandLine.TraceFile, std::ios::binary | std::ios::trunc);
    if (!traceFile_) {
      ui.Message(MessageKind::Error, std::string(text::kTraceUnwritable) + *commandLine.TraceFile);
      return false;
    }
    trace_ = std::make_unique<PinTrace>(traceFile_);
    tracingOpener_ = std::make_unique<TracingOpener>(systemOpener_, realClock_, *trace_);
    opener_.SetTarget(*tracingOpener_);
  }
  if (commandLine.SimulateDir) {
    MakeSimulated(commandLine.SimulateDir->empty() ? SimulatedProgrammer::DefaultFolder()
                                                   : *commandLine.SimulateDir);
    fixed_ = true;
    UseVirtual(true);
    return true;
  }
  // A programmer or port on the command line means the hardware, whatever the settings say.
  const bool namesHardware =
      std::any_of(commandLine.Steps.begin(), commandLine.Steps.end(), [](const CommandStep& s) {
        return s.Type == CommandStep::Kind::Programmer || s.Type == CommandStep::Kind::Port;
      });
  if (!namesHardware && settings.ReadBool(kVirtualKey, false)) UseVirtual(true);
  return true;
}

void RunEnvironment::UseVirtual(bool on) {
  if (fixed_) on = true;
  if (on == virtual_) return;
  if (on) {
    MakeSimulated(SimulatedProgrammer::DefaultFolder());
    clock_.SetTarget(simulated_->Clock());
    opener_.SetTarget(simulated_->Programmer());
  } else {
    clock_.SetTarget(realClock_);
    opener_.SetTarget(tracingOpener_ ? static_cast<PortOpener&>(*tracingOpener_)
                                     : static_cast<PortOpener&>(systemOpener_));
  }
  virtual_ = on;
}

void RunEnvironment::Finish() {
  if (!trace_) return;
  if (simulated_) simulated_->Programmer().Board().SetTrace(nullptr);
  trace_->Finish(virtual_ ? simulated_->Clock().nowUs() : realClock_.nowUs());
  trace_.reset();
  traceFile_.close();
}

}  // namespace kestrum
