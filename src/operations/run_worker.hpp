// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window's state that outlives one worker (the Cancel flag and the worker the
// Cancel button reaches) and RunWorker, which runs one worker on its own thread while the
// user-interface thread waits.
#pragma once

#include <atomic>
#include <mutex>

#include "core/ui.hpp"
#include "hardware/line_context.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

class ProgressWindow final : public ProgressCancel {
 public:
  // Set by Cancel; loops on the user-interface thread clear it before their first unit.
  std::atomic<bool> Cancelled{false};

  // The Cancel button: sets Cancelled and asks the running worker, if any, to stop after the
  // unit in progress. May be called from any thread.
  void Cancel() override;
  // Makes `worker` the one Cancel reaches; false (and nothing changed) once Cancel has been
  // pressed, so no worker starts after the user said stop.
  bool SetCurrentWorker(OperationWorker* worker);

 private:
  std::mutex mutex_;
  OperationWorker* currentWorker_ = nullptr;
};

// Starts the worker on a new thread, waits (through the Ui, without spinning) until its Done
// is set, and takes its line state back into `lines`. A worker that raised an exception has
// it raised again here, after its thread has ended. False when Cancel had been pressed
// before the worker could start: it never ran.
bool RunWorker(OperationWorker& worker, LineContext& lines, ProgressWindow& progress);

}  // namespace kestrum
