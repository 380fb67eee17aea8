// SPDX-License-Identifier: GPL-3.0-or-later
// Time for the line layer: a microsecond busy wait for edges and short waits, and sleeps for
// waits of a millisecond or more. The real clock runs on the monotonic clock; the virtual one
// advances at once and is shared with the virtual programmer, whose chips see the elapsed time.
#pragma once

#include <atomic>
#include <cstdint>

namespace kestrum {

class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds since an arbitrary start; never goes back.
  virtual std::int64_t nowUs() const = 0;
  // Busy wait; never yields the processor. Counts of 0 or less return at once.
  virtual void delayUs(std::int64_t us) = 0;
  // Gives the processor away for at least this long; 0 only yields.
  virtual void sleepMs(std::int64_t ms) = 0;
};

class RealClock final : public Clock {
 public:
  std::int64_t nowUs() const override;
  void delayUs(std::int64_t us) override;
  void sleepMs(std::int64_t ms) override;
};

// Time passes only when someone waits. Safe to read from another thread.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(std::int64_t startUs = 0) : now_(startUs) {}
  std::int64_t nowUs() const override { return now_.load(std::memory_order_acquire); }
  void delayUs(std::int64_t us) override { Advance(us); }
  void sleepMs(std::int64_t ms) override { Advance(ms * 1000); }
  void Advance(std::int64_t us) {
    if (us > 0) now_.fetch_add(us, std::memory_order_acq_rel);
  }

 private:
  std::atomic<std::int64_t> now_;
};

}  // namespace kestrum
