// SPDX-License-Identifier: GPL-3.0-or-later
// Value Change Dump (IEEE 1364) of one-bit signals and bit vectors with microsecond
// timestamps, readable by waveform viewers and logic analyser software; and the pin trace of
// the programmer written with it, for the virtual programmer and for real ports alike.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

struct VcdSignal {
  std::string name;
  int width = 1;  // bits; a signal wider than one is a vector
};

class VcdWriter {
 public:
  // Timestamps are counted from `originUs`, which is #0; `initial` gives the values there.
  VcdWriter(std::ostream& out, std::string_view scope, std::vector<std::string> names,
            const std::vector<bool>& initial, std::int64_t originUs);
  VcdWriter(std::ostream& out, std::string_view scope, std::span<const VcdSignal> channels,
            std::span<const std::uint32_t> initial, std::int64_t originUs);
  ~VcdWriter();
  VcdWriter(const VcdWriter&) = delete;
  VcdWriter& operator=(const VcdWriter&) = delete;

  // Changes within one timestamp collapse to the last value; a change back to the value the
  // signal had before the timestamp is no change.
  void Change(std::size_t signal, bool level, std::int64_t timeUs) {
    ChangeValue(signal, level ? 1 : 0, timeUs);
  }
  void ChangeValue(std::size_t signal, std::uint32_t value, std::int64_t timeUs);
  // Writes the last timestamp: one after the last change, or `endUs` if that is later.
  // Nothing may be changed afterwards.
  void Finish(std::optional<std::int64_t> endUs = std::nullopt);

 private:
  void Flush();
  std::string Id(std::size_t signal) const;
  void WriteValue(std::size_t signal, std::uint32_t value);

  std::ostream& out_;
  std::vector<int> widths_;
  std::vector<std::uint32_t> written_;
  std::vector<std::optional<std::uint32_t>> pending_;
  std::int64_t origin_;
  std::int64_t pendingTime_ = 0;
  std::int64_t lastWrittenTime_ = 0;
  bool finished_ = false;
};

// The logical pins of the programmer: what reaches the chip and what the programmer reads.
struct TracePins {
  bool vcc = false;
  bool mclr = false;
  bool dataOut = false;  // the programmer's Data Out
  bool clock = false;
  bool dataIn = false;  // the data line as Data In sees it (for a bidirectional line, the bus)
  bool cardClock = false;

  bool operator==(const TracePins&) const = default;
};

// The VCD signal names, in order: vcc, mclr, data_out, clock, data_in, card_clock.
const std::vector<std::string>& TracePinNames();

// The pins of a parallel port driven register by register (TAFE, TAIT Parallel), as levels on
// the connector, with the supply and programming voltage the board makes of them.
struct ParallelTracePins {
  bool vcc = false;
  bool vpp = false;
  std::uint8_t data = 0xFF;  // D0..D7 (pins 2..9), whoever drives them
  bool dataInput = false;    // the port reads the data pins (control bit 5)
  std::uint8_t control = 0;  // bit 0 STROBE (pin 1), 1 AUTOFD (14), 2 INIT (16), 3 SELECTIN (17)
  // bit 3 ERROR (pin 15), 4 SELECT (13), 5 PAPEROUT (12), 6 ACK (10), 7 BUSY (11)
  std::uint8_t status = 0;

  bool operator==(const ParallelTracePins&) const = default;
};

// The VCD channels of a parallel trace, in order: vcc, vpp, data (8 bits), data_input, strobe,
// autofd, init, selectin, error, select, paperout, ack, busy.
const std::vector<VcdSignal>& ParallelTraceSignals();

class PinTrace {
 public:
  explicit PinTrace(std::ostream& out) : out_(out) {}
  // The first record sets #0 and the initial values. Which of the two pin sets the trace has
  // is the one of the last record before the first change (a board set up for one programmer
  // type and then opened for another traces the second).
  void Record(const TracePins& pins, std::int64_t timeUs);
  void Record(const ParallelTracePins& pins, std::int64_t timeUs);
  void Finish(std::optional<std::int64_t> endUs = std::nullopt);

 private:
  void Start();

  std::ostream& out_;
  std::optional<VcdWriter> writer_;
  bool started_ = false;
  std::int64_t originUs_ = 0;
  bool parallel_ = false;
  TracePins last_;
  ParallelTracePins lastParallel_;
};

}  // namespace kestrum
