// SPDX-License-Identifier: GPL-3.0-or-later
// The frame every worker thread of a device protocol shares: the flags the user-interface
// thread and the worker exchange, the unit count and index, the fail report, and the
// worker's own copy of the programmer lines. A worker is built on the user-interface thread,
// run once on its own thread (the operations layer starts it) and read after Done.
#pragma once

#include <atomic>
#include <exception>
#include <string>

#include "core/done_flag.hpp"
#include "hardware/line_context.hpp"

namespace kestrum {

class OperationWorker {
 public:
  OperationWorker(const LineContext& lines, int count);
  virtual ~OperationWorker() = default;
  OperationWorker(const OperationWorker&) = delete;
  OperationWorker& operator=(const OperationWorker&) = delete;

  // Set as the very last action of the thread body, after every result has been stored.
  DoneFlag Done;
  // Set by the Cancel button; the worker stops after the unit in progress.
  std::atomic<bool> TerminateRequested{false};
  const int Count;
  // The unit being transferred.
  std::atomic<int> Index{0};
  const std::string PortName;
  // Programming workers that verify as they go: the first unit that did not take.
  bool Failed = false;
  int FailAddress = 0;
  // The port did not open (the user has been told); nothing was driven and the results hold
  // nothing read.
  bool PortFailed = false;
  // A call on the open port failed (the call, the device and the reason): the worker stopped
  // after the unit in progress, and what it read or wrote is incomplete. The user has not
  // been told yet.
  std::string PortFailure;

  // The worker's own lines: a copy of the caller's, with its own port. The caller takes the
  // line state back after Done.
  LineContext& Lines() { return lines_; }

  // The thread body: the protocol, then Done. An exception leaving the protocol still sets
  // Done; RethrowFailure() raises it again on the waiting thread.
  void Run();
  void RethrowFailure() const;

 protected:
  virtual void Body() = 0;

  // Calls on the progress window (synchronised by the Ui with its own thread).
  void ProgressRange();        // Min 0, Position 0, Max Count - 1
  void ProgressAt(int index);  // Index := index and the bar follows
  void ProgressDone();         // Position 0
  // Opens the worker's port; false (PortFailed set) when it does not open. The port tells
  // PortFailure of a call that fails.
  bool OpenPort();
  // Cancel was pressed, or the port failed: the loop ends after the unit in progress.
  bool StopRequested() const {
    return TerminateRequested.load(std::memory_order_acquire) || !PortFailure.empty();
  }

  LineContext lines_;

 private:
  std::exception_ptr failure_;
};

}  // namespace kestrum
