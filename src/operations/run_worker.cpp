// SPDX-License-Identifier: GPL-3.0-or-later
// Running a worker thread.
#include "operations/run_worker.hpp"

#include <thread>

namespace kestrum {

void ProgressWindow::Cancel() {
  std::lock_guard lock(mutex_);
  Cancelled.store(true, std::memory_order_release);
  if (currentWorker_) currentWorker_->TerminateRequested.store(true, std::memory_order_release);
}

bool ProgressWindow::SetCurrentWorker(OperationWorker* worker) {
  std::lock_guard lock(mutex_);
  // Checked under the lock Cancel takes: a Cancel either finds this worker or stops it here.
  if (worker != nullptr && Cancelled.load(std::memory_order_acquire)) return false;
  currentWorker_ = worker;
  return true;
}

bool RunWorker(OperationWorker& worker, LineContext& lines, ProgressWindow& progress) {
  if (!progress.SetCurrentWorker(&worker)) return false;
  // Linux gives a normal user no time-critical priority; the worker runs at the process's
  // own. Its busy waits keep a frame's timing; its sleeps let the user-interface thread in.
  std::thread thread([&worker] { worker.Run(); });
  lines.ui().WaitFor(worker.Done);
  thread.join();
  progress.SetCurrentWorker(nullptr);
  // Done was acquired: the worker's results and line state are ours now.
  lines.Lines() = worker.Lines().Lines();
  worker.RethrowFailure();
  return true;
}

}  // namespace kestrum
