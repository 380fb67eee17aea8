// SPDX-License-Identifier: GPL-3.0-or-later
// A port that streams: the output pins are set step by step at the port's own rate, the steps
// gather into one transfer, and the input pins come back sampled at every step once the
// transfer is back. FTDI chips in synchronous bit-bang mode work this way: a whole run of
// pin changes costs one USB round trip instead of one per change.
#pragma once

#include <cstdint>
#include <string>

namespace kestrum {

class PinStream {
 public:
  virtual ~PinStream() = default;

  // The time from one step to the next.
  virtual std::int64_t StepNs() const = 0;
  // Queues one step with the output pins at `levels` and returns its number (the steps of an
  // open port are numbered from 0). Full chunks go out on their own.
  virtual std::uint64_t Put(std::uint8_t levels) = 0;
  // Queues `count` more steps at the levels of the last one.
  virtual void Hold(std::int64_t count) = 0;
  // Sends every queued step without waiting for its samples. Returns how long the port may
  // still be clocking them out: a wait on the host that follows adds it, so the pins hold
  // their last levels at least as long as the wait asks.
  virtual std::int64_t Flush() = 0;
  // The input pins as step `step` found them, just before its levels took effect: the state
  // the previous step's levels produced. Sends and waits for the transfer when needed.
  virtual std::uint8_t Sample(std::uint64_t step) = 0;
  // The samples of the steps before `step` are no longer needed.
  virtual void Release(std::uint64_t step) = 0;
  // Empty while the port works; else why it stopped (the device went away, say). A port that
  // stopped drops what is put and samples every input high.
  virtual std::string Failure() const { return {}; }
};

}  // namespace kestrum
