// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer one run drives: the real ports on the real clock, or the virtual programmer
// with persistent chip images; either traced to a VCD file (--trace=FILE). `--simulate[=DIR]`
// fixes the virtual programmer for the run. Otherwise the setting "Virtual" of the hardware
// settings chooses, except in a run whose command line names a programmer or port (-g, -o):
// that one means the hardware. In the window the choice follows the hardware dialog between
// operations. The terminal run and the window share this.
#pragma once

#include <atomic>
#include <fstream>
#include <memory>
#include <optional>
#include <string_view>

#include "app/command_line.hpp"
#include "app/simulated_programmer.hpp"
#include "core/settings_store.hpp"
#include "core/ui.hpp"
#include "hardware/clock.hpp"
#include "hardware/port.hpp"
#include "hardware/port_opener.hpp"
#include "sim/boards/tracing_port.hpp"
#include "sim/boards/vcd_writer.hpp"

namespace kestrum {

// What the hardware dialog switches: the programmer every later operation uses.
class ProgrammerSwitch {
 public:
  virtual ~ProgrammerSwitch() = default;
  // The virtual programmer (true) or the real ports (false) from now on. A run whose command
  // line chose the virtual programmer keeps it.
  virtual void UseVirtual(bool on) = 0;
  // The virtual programmer in use now, or null on the real ports.
  virtual SimulatedProgrammer* Simulated() = 0;
  // The real ports, for the hardware dialog's availability test.
  virtual PortOpener& HardwarePorts() = 0;
  // The command line fixed the virtual programmer for the whole run (--simulate).
  virtual bool VirtualFixed() const { return false; }
};

// A clock that forwards to the real or the virtual clock. Time never goes back when the
// target changes: the new clock continues from where the old one stood.
class SwitchingClock final : public Clock {
 public:
  explicit SwitchingClock(Clock& target) : target_(&target) {}
  void SetTarget(Clock& target);
  std::int64_t nowUs() const override;
  void delayUs(std::int64_t us) override { target_.load()->delayUs(us); }
  void sleepMs(std::int64_t ms) override { target_.load()->sleepMs(ms); }

 private:
  std::atomic<Clock*> target_;
  std::atomic<std::int64_t> offset_{0};
};

// A port opener that forwards to the real ports or the virtual programmer.
class SwitchingOpener final : public PortOpener {
 public:
  explicit SwitchingOpener(PortOpener& target) : target_(&target) {}
  void SetTarget(PortOpener& target) { target_.store(&target); }
  std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) override {
    return target_.load()->Open(settings, ui, report);
  }
  bool Available(const HardwareSettings& settings, std::string_view portName) override {
    return target_.load()->Available(settings, portName);
  }
  std::vector<FoundPort> ListPorts(const HardwareSettings& settings) override {
    return target_.load()->ListPorts(settings);
  }

 private:
  std::atomic<PortOpener*> target_;
};

// The virtual programmer's cost of a modem-line call in µs (0 by default): 1000 shows what a
// plain USB-serial adapter does to the JDM.
inline constexpr std::string_view kLineCallKey = "SimulatedLineCallUs";

class RunEnvironment final : public ProgrammerSwitch {
 public:
  RunEnvironment() = default;
  RunEnvironment(const RunEnvironment&) = delete;
  RunEnvironment& operator=(const RunEnvironment&) = delete;
  ~RunEnvironment() override;

  // Sets up what the command line and the settings ask for; false (the user told why) when
  // the trace file cannot be written.
  bool Open(const CommandLine& commandLine, const SettingsStore& settings, Ui& ui);

  Clock& clock() { return clock_; }
  PortOpener& opener() { return opener_; }

  // ProgrammerSwitch.
  void UseVirtual(bool on) override;
  SimulatedProgrammer* Simulated() override { return virtual_ ? &*simulated_ : nullptr; }
  PortOpener& HardwarePorts() override { return systemOpener_; }
  bool VirtualFixed() const override { return fixed_; }

  // Ends the trace file (once; the destructor does it too). False when it could not be written
  // completely (a full disk), told to `ui` when given.
  bool Finish(Ui* ui = nullptr);

 private:
  void MakeSimulated(const std::string& folder);

  RealClock realClock_;
  SystemPortOpener systemOpener_;
  std::optional<SimulatedProgrammer> simulated_;
  bool virtual_ = false;
  bool fixed_ = false;  // --simulate
  int lineCallUs_ = 0;
  SwitchingClock clock_{realClock_};
  SwitchingOpener opener_{systemOpener_};
  std::ofstream traceFile_;
  std::string tracePath_;
  std::unique_ptr<PinTrace> trace_;
  std::unique_ptr<TracingOpener> tracingOpener_;
};

}  // namespace kestrum
