// The programmer one run drives, chosen by the command line: the real ports on the real clock,
// or the virtual programmer with persistent chip images (--simulate[=DIR]); either traced to a
// VCD file (--trace=FILE). The terminal run and the window share it.
#pragma once

#include <fstream>
#include <memory>
#include <optional>

#include "app/command_line.hpp"
#include "app/simulated_programmer.hpp"
#include "core/ui.hpp"
#include "hardware/clock.hpp"
#include "hardware/port.hpp"
#include "hardware/port_opener.hpp"
#include "sim/tracing_port.hpp"
#include "sim/vcd_writer.hpp"

namespace kestrum {

class RunEnvironment {
 public:
  RunEnvironment() = default;
  RunEnvironment(const RunEnvironment&) = delete;
  RunEnvironment& operator=(const RunEnvironment&) = delete;
  ~RunEnvironment();

  // Sets up what the command line asks for; false (the user told why) when the trace file
  // cannot be written.
  bool Open(const CommandLine& commandLine, Ui& ui);

  Clock& clock() { return *clock_; }
  PortOpener& opener() { return *opener_; }
  // The virtual programmer, or null on real hardware.
  SimulatedProgrammer* Simulated() { return simulated_ ? &*simulated_ : nullptr; }

  // Ends the trace file (once; the destructor does it too).
  void Finish();

 private:
  RealClock realClock_;
  SystemPortOpener systemOpener_;
  std::optional<SimulatedProgrammer> simulated_;
  Clock* clock_ = &realClock_;
  PortOpener* opener_ = &systemOpener_;
  std::ofstream traceFile_;
  std::unique_ptr<PinTrace> trace_;
  std::unique_ptr<TracingOpener> tracingOpener_;
};

}  // namespace kestrum
