// SPDX-License-Identifier: GPL-3.0-or-later
// Completion flag of a worker thread.
#include "core/done_flag.hpp"

#include <utility>

namespace kestrum {

void DoneFlag::Set() {
  std::function<void()> wake;
  {
    // Under the hook's lock, so a hook installed concurrently is either run here or by
    // OnSet itself, never by both and never by neither.
    std::lock_guard lock(hookMutex_);
    done_.store(true, std::memory_order_release);
    wake = std::move(wake_);
    wake_ = nullptr;
  }
  done_.notify_all();
  if (wake) wake();
}

void DoneFlag::Wait() const {
  while (!done_.load(std::memory_order_acquire)) {
    done_.wait(false, std::memory_order_acquire);
  }
}

void DoneFlag::OnSet(std::function<void()> wake) {
  {
    std::lock_guard lock(hookMutex_);
    if (!done_.load(std::memory_order_acquire)) {
      wake_ = std::move(wake);
      return;
    }
  }
  if (wake) wake();
}

}  // namespace kestrum
