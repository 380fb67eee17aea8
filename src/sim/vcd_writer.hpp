// Value Change Dump (IEEE 1364) of one-bit signals with microsecond timestamps, readable by
// waveform viewers and logic analyser software; and the pin trace of the programmer written
// with it, for the virtual programmer and for real ports alike.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

class VcdWriter {
 public:
  // Timestamps are counted from `originUs`, which is #0; `initial` gives the values there.
  VcdWriter(std::ostream& out, std::string_view scope, std::vector<std::string> names,
            const std::vector<bool>& initial, std::int64_t originUs);
  ~VcdWriter();
  VcdWriter(const VcdWriter&) = delete;
  VcdWriter& operator=(const VcdWriter&) = delete;

  // Changes within one timestamp collapse to the last value; a change back to the value the
  // signal had before the timestamp is no change.
  void Change(std::size_t signal, bool level, std::int64_t timeUs);
  // Writes the last timestamp: one after the last change, or `endUs` if that is later.
  // Nothing may be changed afterwards.
  void Finish(std::optional<std::int64_t> endUs = std::nullopt);

 private:
  void Flush();
  std::string Id(std::size_t signal) const;

  std::ostream& out_;
  std::vector<bool> written_;
  std::vector<std::optional<bool>> pending_;
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

class PinTrace {
 public:
  explicit PinTrace(std::ostream& out) : out_(out) {}
  // The first record sets #0 and the initial values.
  void Record(const TracePins& pins, std::int64_t timeUs);
  void Finish(std::optional<std::int64_t> endUs = std::nullopt);

 private:
  std::ostream& out_;
  std::optional<VcdWriter> writer_;
  TracePins last_;
};

}  // namespace kestrum
