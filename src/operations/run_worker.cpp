// Running a worker thread.
#include "operations/run_worker.hpp"

#include <thread>

namespace kestrum {

void ProgressWindow::Cancel() {
  std::lock_guard lock(mutex_);
  Cancelled.store(true, std::memory_order_release);
  if (currentWorker_) currentWorker_->TerminateRequested.store(true, std::memory_order_release);
}

void ProgressWindow::SetCurrentWorker(OperationWorker* worker) {
  std::lock_guard lock(mutex_);
  currentWorker_ = worker;
}

void RunWorker(OperationWorker& worker, LineContext& lines, ProgressWindow& progress) {
  progress.SetCurrentWorker(&worker);
  // Linux gives a normal user no time-critical priority; the worker runs at the process's
  // own. Its busy waits keep a frame's timing; its sleeps let the user-interface thread in.
  std::thread thread([&worker] { worker.Run(); });
  lines.ui().WaitFor(worker.Done);
  thread.join();
  progress.SetCurrentWorker(nullptr);
  // Done was acquired: the worker's results and line state are ours now.
  lines.Lines() = worker.Lines().Lines();
  worker.RethrowFailure();
}

}  // namespace kestrum
