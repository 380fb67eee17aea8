// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual programmer as a port backend: a PortOpener whose ports are handles on one
// simulated programmer board with a chip in its socket. It serves whatever port name is set,
// the default "Com 2" included, and is available on every port. A port opened for the card
// reader is a handle on the virtual smartcard reader instead.
#pragma once

#include <memory>

#include "hardware/port.hpp"
#include "sim/boards/card_reader.hpp"
#include "sim/boards/sim_board.hpp"
#include "sim/boards/sim_ftdi.hpp"
#include "sim/boards/sim_gpio.hpp"

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

// The smartcard reader's serial port: the system calls reach the reader.
class ReaderPort final : public Port {
 public:
  ReaderPort(CardReader& reader, std::uint16_t base) : reader_(reader), base_(base) {
    reader_.PortOpened();
  }
  ReaderPort(const ReaderPort&) = delete;
  ReaderPort& operator=(const ReaderPort&) = delete;

  std::uint16_t Base() const override { return base_; }
  std::uint8_t In(std::uint16_t) override { return kFloatingBus; }
  void Out(std::uint16_t, std::uint8_t) override {}
  void SetDtr(bool on) override { reader_.SetDtr(on); }
  void SetRts(bool on) override { reader_.SetRts(on); }
  void SetLineFormat(const LineFormat& format) override { reader_.SetLineFormat(format); }
  void WriteByte(std::uint8_t value) override { reader_.WriteByte(value); }
  bool ReadByte(std::uint8_t& value, int timeoutMs) override {
    return reader_.ReadByte(value, timeoutMs);
  }

 private:
  CardReader& reader_;
  std::uint16_t base_;
};

class VirtualProgrammer final : public PortOpener {
 public:
  explicit VirtualProgrammer(Clock& clock)
      : board_(clock), reader_(clock), ftdi_(clock, board_), gpio_(clock, board_) {}

  SimBoard& Board() { return board_; }
  // The FTDI chip of the USB ports, wired to the board.
  SimFtdi& Ftdi() { return ftdi_; }
  // The GPIO chip of the GPIO ports, wired to the board.
  SimGpio& Gpio() { return gpio_; }
  void Insert(Chip* chip) { board_.Insert(chip); }
  // The smartcard reader on the same port, with its card (null: empty).
  CardReader& Reader() { return reader_; }
  void InsertCard(Smartcard* card) { reader_.Insert(card); }
  // Fault knob: every open fails with this errno (0 opens again), reported as a real port's.
  void FailOpen(int error) { openError_ = error; }
  int OpenCount() const { return openCount_; }

  // The board takes the programmer type of the settings; the base address comes from the port
  // name when it names one, else from PortBase, else the type's first port.
  std::unique_ptr<Port> Open(const HardwareSettings& settings, Ui& ui, bool report) override;
  bool Available(const HardwareSettings& settings, std::string_view portName) override;

 private:
  SimBoard board_;
  CardReader reader_;
  SimFtdi ftdi_;
  SimGpio gpio_;
  int openError_ = 0;
  int openCount_ = 0;
};

}  // namespace kestrum
