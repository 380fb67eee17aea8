// SPDX-License-Identifier: GPL-3.0-or-later
// A pin trace of a real port: every register write and serial call goes to the real port and
// to a board model without a chip, which turns it into pin levels by the programmer's wiring;
// every Data In read records the level the real port returned.
#pragma once

#include <memory>

#include "hardware/port.hpp"
#include "sim/boards/sim_board.hpp"

namespace kestrum {

class TracingPort final : public Port, public PinPort {
 public:
  TracingPort(std::unique_ptr<Port> inner, SimBoard& board)
      : inner_(std::move(inner)), board_(board) {}
  ~TracingPort() override { board_.PortClosed(); }
  TracingPort(const TracingPort&) = delete;
  TracingPort& operator=(const TracingPort&) = delete;

  std::uint16_t Base() const override { return inner_->Base(); }
  std::uint8_t In(std::uint16_t address) override;
  void Out(std::uint16_t address, std::uint8_t value) override;
  void SetDtr(bool on) override;
  void SetRts(bool on) override;
  void SetBreak(bool on) override;
  bool Cts() override;
  void SetLineFormat(const LineFormat& format) override;
  void WriteByte(std::uint8_t value) override;
  void ReportFailuresTo(std::string* sink) override { inner_->ReportFailuresTo(sink); }
  // A port that streams is driven through its stream; its pins are not traced here.
  PinStream* Stream() override { return inner_->Stream(); }
  // A port whose pins are set one by one: the levels go to the board as they are driven.
  PinPort* Pins() override { return inner_->Pins() ? this : nullptr; }
  void Drive(std::uint64_t levels) override;
  std::uint64_t Sense() override;

 private:
  std::unique_ptr<Port> inner_;
  SimBoard& board_;
};

// Wraps another opener (the system's) so that every port it opens is traced.
class TracingOpener final : public PortOpener {
 public:
  TracingOpener(PortOpener& inner, Clock& clock, PinTrace& trace);
  std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) override;
  bool Available(const HardwareSettings& settings, std::string_view portName) override {
    return inner_.Available(settings, portName);
  }

 private:
  PortOpener& inner_;
  SimBoard board_;
  PinTrace& trace_;
};

}  // namespace kestrum
