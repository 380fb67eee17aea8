// The virtual programmer as a port backend: a PortOpener whose ports are handles on one
// simulated programmer board with a chip in its socket. It serves whatever port name is set,
// the default "Com 2" included, and is available on every port.
#pragma once

#include <memory>

#include "hardware/port.hpp"
#include "sim/sim_board.hpp"

namespace kestrum {

class SimPort final : public Port {
 public:
  SimPort(SimBoard& board, std::uint16_t base) : board_(board), base_(base) {}
  ~SimPort() override { board_.PortClosed(); }
  SimPort(const SimPort&) = delete;
  SimPort& operator=(const SimPort&) = delete;

  std::uint16_t Base() const override { return base_; }
  std::uint8_t In(std::uint16_t address) override { return board_.In(address); }
  void Out(std::uint16_t address, std::uint8_t value) override { board_.Out(address, value); }
  void SetDtr(bool on) override { board_.SetDtr(on); }
  void SetRts(bool on) override { board_.SetRts(on); }
  void SetBreak(bool on) override { board_.SetBreak(on); }
  bool Cts() override { return board_.Cts(); }
  void SetLineFormat(const LineFormat& format) override { board_.SetLineFormat(format); }
  void WriteByte(std::uint8_t value) override { board_.WriteByte(value); }

 private:
  SimBoard& board_;
  std::uint16_t base_;
};

class VirtualProgrammer final : public PortOpener {
 public:
  explicit VirtualProgrammer(Clock& clock) : board_(clock) {}

  SimBoard& Board() { return board_; }
  void Insert(Chip* chip) { board_.Insert(chip); }
  // Fault knob: every open fails with this errno (0 opens again), reported as a real port's.
  void FailOpen(int error) { openError_ = error; }
  int OpenCount() const { return openCount_; }

  // The board takes the programmer type of the settings; the base address comes from the port
  // name when it names one, else from PortBase, else the type's first port.
  std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) override;
  bool Available(const HardwareSettings& settings, std::string_view portName) override;

 private:
  SimBoard board_;
  int openError_ = 0;
  int openCount_ = 0;
};

}  // namespace kestrum
