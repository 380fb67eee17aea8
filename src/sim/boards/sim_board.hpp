// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual programmer's hardware: the port registers (parallel data, status, control,
// extended control; the UART's registers and its serial system calls), turned into pin levels
// at the chip's socket by the programmer's own wiring, in virtual time. Register writes reach
// the chip as pin changes; reads of the Data In input return the chip's data line. The TAFE
// and TAIT Parallel, which drive their socket register by register, have a board of their own
// (parallel_board.hpp).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "hardware/clock.hpp"
#include "hardware/port.hpp"
#include "hardware/programmer_types.hpp"
#include "sim/boards/parallel_board.hpp"
#include "sim/boards/vcd_writer.hpp"
#include "sim/boards/wiring.hpp"
#include "sim/chips/chip.hpp"

namespace kestrum {

// Inverters a board may have between the port and the socket. A board with an inverter
// needs the matching invert option to work.
struct BoardInversions {
  bool dataOut = false;
  bool dataIn = false;
  bool clock = false;
  bool mclr = false;
  bool vcc = false;
};

// The JDM's supply collapses once data, clock and MCLR have all stayed high this long.
inline constexpr std::int64_t kJdmSupplyHoldUs = 250000;

struct PortAccessRecord {
  enum class Kind { In, Out, SetDtr, SetRts, SetBreak, Cts, LineFormat, WriteByte };
  std::int64_t timeUs;
  Kind kind;
  std::uint16_t address;  // In and Out only
  std::uint8_t value;     // the byte, or the level of a line call

  bool operator==(const PortAccessRecord&) const = default;
};

class SimBoard {
 public:
  explicit SimBoard(Clock& clock);

  void Configure(ProgrammerType type, std::uint16_t base);
  // A programmer by its row: the type's own wiring, or for a board wired by pins (FTDI
  // bit-bang, GPIO header, a user's programmer) the wiring of `map`.
  void Configure(const ProgrammerRow& row, const PinMap& map, std::uint16_t base);
  // The pin map of a board its user wired (FTDI bit-bang): the board follows it.
  void SetPinMap(const PinMap& map);
  ProgrammerType Type() const { return type_; }
  std::uint16_t Base() const { return base_; }
  // The chip in the socket, or null for an empty socket. Not owned.
  void Insert(Chip* chip);
  void SetInversions(const BoardInversions& inversions);
  void SetTrace(PinTrace* trace);
  // Virtual time each register access or system call costs (1 µs by default, about what an
  // ISA port access takes).
  void SetAccessTimeUs(std::int64_t us) { accessTimeUs_ = us; }
  // Virtual time each modem-line call (DTR, RTS, break, CTS) costs on top: 0 by default; about
  // 1000 for a plain USB-serial adapter, where each one is a USB round trip.
  void SetLineCallUs(std::int64_t us) { lineCallUs_ = us; }
  // Fault knob: the UART never reports its transmitter empty.
  void SetTransmitterStuck(bool stuck) { transmitterStuck_ = stuck; }
  // Pin count used to choose a socket while none is inserted.
  void SetDefaultPinCount(int pins) { defaultPinCount_ = pins; }

  std::uint8_t In(std::uint16_t address);
  void Out(std::uint16_t address, std::uint8_t value);
  void SetDtr(bool on);
  void SetRts(bool on);
  void SetBreak(bool on);
  bool Cts();
  void SetLineFormat(const LineFormat& format);
  void WriteByte(std::uint8_t value);
  // Closing a tty clears a break the program left on.
  void PortClosed();
  // A bit-bang port's pins: the levels it drives from time `now` on, and its inputs then
  // (the Data In pin from the data line, the others floating high). Not an access of the PC's
  // own: no access time, no log.
  void DrivePins(std::uint64_t levels, std::int64_t now);
  std::uint64_t SamplePins(std::int64_t now);

  // For a trace of a real port: the board only decodes what the program wrote; Data In comes
  // from the values the real port returned.
  void SetObserver(bool observer) {
    observer_ = observer;
    if (parallel_) parallel_->SetObserver(observer);
  }
  void ObserveRead(std::uint16_t address, std::uint8_t value);
  void ObserveCts(bool cts);
  void ObservePins(std::uint64_t levels);
  std::int64_t Now() const { return clock_.nowUs(); }

  // What the socket sees now (after the time that has passed).
  const ChipPins& Pins();
  // The data line as the programmer's Data In input sees it, before any board inverter.
  bool DataLine();
  std::uint8_t DataRegister() const { return data_; }
  std::uint8_t ModemControl() const { return mcr_; }
  std::uint8_t LineControl() const { return lcr_; }
  int DataInReads() const { return dataInReads_; }
  void ResetCounters() { dataInReads_ = 0; }
  void KeepLog(bool keep) { keepLog_ = keep; }
  const std::vector<PortAccessRecord>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  // The register-level board of the TAFE or TAIT Parallel; null for the other types.
  ParallelBoard* Parallel() const { return parallel_.get(); }

 private:
  struct Frame {
    std::uint8_t value;
  };

  std::int64_t BeginAccess();
  void EndAccess();
  void EndLineCall();
  void Record(PortAccessRecord::Kind kind, std::uint16_t address, std::uint8_t value,
              std::int64_t now);
  void AdvanceTo(std::int64_t now);
  std::int64_t NextEventUs() const;
  void Recompute(std::int64_t now);
  bool Eval(const sim::OutputWire& wire, std::uint8_t data, std::int64_t now) const;
  bool TxdSpace(std::int64_t now) const;
  void PopFinishedFrames(std::int64_t now);
  int FrameBits() const;
  std::int64_t BitNs() const;
  std::uint8_t StatusRegister(bool line) const;
  std::uint8_t ModemStatus(bool line) const;
  bool ReadsDataIn(std::uint16_t address) const;
  bool ChipDataLine(std::int64_t now);
  int SocketPinCount() const;
  bool Serial() const;
  bool ParallelRegister(std::uint16_t address) const;

  Clock& clock_;
  ProgrammerType type_ = ProgrammerType::Jdm;
  PortKind kind_ = PortKind::Serial;
  sim::BoardWiring wiring_ = sim::BoardFor(ProgrammerType::Jdm);
  PinMap pinMap_ = kBitBangDefaultPins;
  std::uint64_t pinLevels_ = ~std::uint64_t{0};
  std::uint16_t base_ = 0;
  Chip* chip_ = nullptr;
  BoardInversions inversions_;
  PinTrace* trace_ = nullptr;
  std::int64_t accessTimeUs_ = 1;
  std::int64_t lineCallUs_ = 0;
  bool transmitterStuck_ = false;
  int defaultPinCount_ = 18;
  bool observer_ = false;
  bool observedDataIn_ = false;

  // Parallel port.
  std::uint8_t data_ = 0;
  std::uint8_t latched_ = 0;
  std::uint8_t control_ = 0;
  std::uint8_t extendedControl_ = 0x35;
  // UART.
  std::uint8_t mcr_ = 0;
  std::uint8_t lcr_ = 0x03;  // 8N1 after reset
  std::uint8_t ier_ = 0;
  std::uint8_t scratch_ = 0;
  std::uint16_t divisor_ = 1;  // 115200 baud
  std::deque<std::uint8_t> txQueue_;
  std::int64_t frameStartNs_ = 0;
  std::int64_t allHighSinceUs_ = -1;

  std::int64_t lastUs_ = 0;
  ChipPins pins_;
  bool pinsValid_ = false;
  int dataInReads_ = 0;
  bool keepLog_ = false;
  std::vector<PortAccessRecord> log_;
  std::unique_ptr<ParallelBoard> parallel_;
};

}  // namespace kestrum
