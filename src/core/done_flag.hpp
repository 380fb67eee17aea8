// SPDX-License-Identifier: GPL-3.0-or-later
// A flag that one thread sets once when it has finished its work and another thread waits for
// without spinning. Setting it releases everything the setter wrote before; seeing it set
// acquires it, so results may be read once IsSet() is true or Wait() has returned.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

namespace kestrum {

class DoneFlag {
 public:
  DoneFlag() = default;
  DoneFlag(const DoneFlag&) = delete;
  DoneFlag& operator=(const DoneFlag&) = delete;

  // Stores true with release, wakes every waiter and runs the wake hook (if any).
  void Set();
  bool IsSet() const { return done_.load(std::memory_order_acquire); }
  // Blocks the calling thread until Set() (returns at once when already set).
  void Wait() const;
  // `wake` runs once, on the setting thread, when the flag is set; at once on the calling
  // thread when it already is. An event loop uses it to wake itself.
  void OnSet(std::function<void()> wake);

 private:
  std::atomic<bool> done_{false};
  std::mutex hookMutex_;
  std::function<void()> wake_;
};

}  // namespace kestrum
