// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+C and SIGTERM in a terminal run. A signal handler may do almost nothing, so the signals
// are blocked in every thread of the run and a watcher thread reads them from a signalfd: the
// first presses the progress window's Cancel button (the worker stops after the unit it is
// transferring and switches the programmer off); a second, or one while nothing is in
// progress, ends the process at once as the signal would have.
#pragma once

#include <signal.h>

#include <functional>
#include <thread>

namespace kestrum {

class InterruptWatcher {
 public:
  // `cancel` runs on the watcher thread; it returns false when there was nothing to cancel.
  // Construct before any other thread of the run starts: threads inherit the blocked signals.
  explicit InterruptWatcher(std::function<bool()> cancel);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

 private:
  void Watch();

  std::function<bool()> cancel_;
  sigset_t signals_{};
  sigset_t previousMask_{};
  int signalFd_ = -1;
  int stopFd_ = -1;
  std::thread thread_;
};

}  // namespace kestrum
