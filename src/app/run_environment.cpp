// SPDX-License-Identifier: GPL-3.0-or-later
// Real or virtual programmer for a run, with its trace.
#include "app/run_environment.hpp"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "app/texts.hpp"
#include "buffers/file_access.hpp"
#include "buffers/texts.hpp"
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

namespace {

// Whether two names lead to the same file: the same file where both exist, else the same
// place once made whole.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  const auto whole = [](const std::string& name) {
    std::error_code ignored;
    return std::filesystem::weakly_canonical(std::filesystem::absolute(name, ignored), ignored);
  };
  return whole(a) == whole(b);
}

}  // namespace

bool RunEnvironment::Open(const CommandLine& commandLine, const SettingsStore& settings, Ui& ui) {
  lineCallUs_ = std::max(0, settings.ReadInteger(kLineCallKey, 0));
  if (commandLine.TraceFile) {
    // Opening the trace empties its file: never one the run is to load.
    for (const CommandStep& step : commandLine.Steps) {
      if (step.Type == CommandStep::Kind::LoadFile && SameFile(*commandLine.TraceFile, step.Path)) {
        ui.Message(MessageKind::Error, std::string(text::kTraceIsInputBefore) +
                                           *commandLine.TraceFile +
                                           std::string(text::kTraceIsInputAfter));
        return false;
      }
    }
    traceFile_.open(*commandLine.TraceFile, std::ios::binary | std::ios::trunc);
    if (!traceFile_) {
      ui.Message(MessageKind::Error, std::string(text::kTraceUnwritable) + *commandLine.TraceFile);
      return false;
    }
    tracePath_ = *commandLine.TraceFile;
    trace_ = std::make_unique<PinTrace>(traceFile_);
    tracingOpener_ = std::make_unique<TracingOpener>(systemOpener_, realClock_, *trace_);
    opener_.SetTarget(*tracingOpener_);
  }
  if (commandLine.SimulateDir) {
    MakeSimulated(commandLine.SimulateDir->empty() ? SimulatedProgrammer::DefaultFolder()
                                                   : *commandLine.SimulateDir);
    if (commandLine.SocketPart && !simulated_->SetSocketPart(*commandLine.SocketPart, ui)) {
      return false;
    }
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

bool RunEnvironment::Finish(Ui* ui) {
  if (!trace_) return true;
  if (simulated_) simulated_->Programmer().Board().SetTrace(nullptr);
  trace_->Finish(virtual_ ? simulated_->Clock().nowUs() : realClock_.nowUs());
  trace_.reset();
  errno = 0;
  traceFile_.flush();
  const int error = errno;
  const bool written = !traceFile_.fail();
  traceFile_.close();
  // A full disk shows only now: the trace is not what the run did.
  if (written && !traceFile_.fail()) return true;
  if (ui != nullptr) {
    std::string message = std::string(text::kTraceIncomplete) + tracePath_;
    if (error != 0) message += std::string(text::kReasonSeparator) + SystemReason(error);
    ui->Message(MessageKind::Error, message);
  }
  return false;
}

}  // namespace kestrum
