// SPDX-License-Identifier: GPL-3.0-or-later
// The real clock on std::chrono::steady_clock.
#include "hardware/clock.hpp"

#include <chrono>
#include <thread>

namespace kestrum {

std::int64_t RealClock::nowUs() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void RealClock::delayUs(std::int64_t us) {
  if (us <= 0) return;
  // Sleeping would hand the processor to the scheduler for far longer than an edge may last.
  auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(us);
  while (std::chrono::steady_clock::now() < end) {
  }
}

void RealClock::sleepMs(std::int64_t ms) {
  if (ms <= 0) {
    std::this_thread::yield();
    return;
  }
  // The scheduler wakes a sleeper up to a few hundred microseconds late, which would stretch
  // every programming wait; the last stretch before the deadline is waited out busily.
  constexpr auto kBusyTail = std::chrono::microseconds(300);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  std::this_thread::sleep_until(end - kBusyTail);
  while (std::chrono::steady_clock::now() < end) {
  }
}

}  // namespace kestrum
