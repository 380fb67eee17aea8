// SPDX-License-Identifier: GPL-3.0-or-later
// Tracing of real ports through the board model.
#include "sim/boards/tracing_port.hpp"

namespace kestrum {

std::uint8_t TracingPort::In(std::uint16_t address) {
  std::uint8_t value = inner_->In(address);
  board_.ObserveRead(address, value);
  return value;
}

// Writes are traced when the program makes them, reads when their value is known.
void TracingPort::Out(std::uint16_t address, std::uint8_t value) {
  board_.Out(address, value);
  inner_->Out(address, value);
}

void TracingPort::SetDtr(bool on) {
  board_.SetDtr(on);
  inner_->SetDtr(on);
}

void TracingPort::SetRts(bool on) {
  board_.SetRts(on);
  inner_->SetRts(on);
}

void TracingPort::SetBreak(bool on) {
  board_.SetBreak(on);
  inner_->SetBreak(on);
}

bool TracingPort::Cts() {
  bool cts = inner_->Cts();
  board_.ObserveCts(cts);
  return cts;
}

void TracingPort::Drive(std::uint64_t levels) {
  board_.DrivePins(levels, board_.Now());
  inner_->Pins()->Drive(levels);
}

std::uint64_t TracingPort::Sense() {
  const std::uint64_t levels = inner_->Pins()->Sense();
  board_.ObservePins(levels);
  return levels;
}

void TracingPort::SetLineFormat(const LineFormat& format) {
  board_.SetLineFormat(format);
  inner_->SetLineFormat(format);
}

void TracingPort::WriteByte(std::uint8_t value) {
  board_.WriteByte(value);
  inner_->WriteByte(value);
}

TracingOpener::TracingOpener(PortOpener& inner, Clock& clock, PinTrace& trace)
    : inner_(inner), board_(clock), trace_(trace) {
  // Real time passes on its own; the model must not add any.
  board_.SetAccessTimeUs(0);
  board_.SetObserver(true);
}

std::unique_ptr<Port> TracingOpener::Open(const HardwareSettings& settings, Ui& ui, bool report) {
  std::unique_ptr<Port> port = inner_.Open(settings, ui, report);
  if (!port) return nullptr;
  board_.Configure(RowOf(settings), PinMapOf(settings), port->Base());
  // The trace starts with the first port, on the wiring of its programmer.
  board_.SetTrace(&trace_);
  return std::make_unique<TracingPort>(std::move(port), board_);
}

}  // namespace kestrum
