// SPDX-License-Identifier: GPL-3.0-or-later
// The worker frame.
#include "protocols/operation_worker.hpp"

namespace kestrum {

OperationWorker::OperationWorker(const LineContext& lines, int count)
    : Count(count), PortName(lines.Settings().Port), lines_(lines) {}

void OperationWorker::Run() {
  try {
    Body();
  } catch (...) {
    failure_ = std::current_exception();
    // The port must not stay open (and the device powered) behind a failed worker.
    lines_.ClosePort();
  }
  Done.Set();
}

void OperationWorker::RethrowFailure() const {
  if (failure_) std::rethrow_exception(failure_);
}

void OperationWorker::ProgressRange() {
  Ui& ui = lines_.ui();
  ui.SetProgressRange(0, Count - 1);
  ui.SetProgressPosition(0);
}

void OperationWorker::ProgressAt(int index) {
  Index.store(index, std::memory_order_relaxed);
  lines_.ui().SetProgressPosition(index);
}

void OperationWorker::ProgressDone() {
  lines_.ui().SetProgressPosition(0);
}

bool OperationWorker::OpenPort() {
  if (lines_.OpenPort()) {
    lines_.OpenedPort()->ReportFailuresTo(&PortFailure);
    return true;
  }
  PortFailed = true;
  return false;
}

}  // namespace kestrum
