// SPDX-License-Identifier: GPL-3.0-or-later
// Watching for Ctrl+C.
#include "app/interrupt_watcher.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

namespace kestrum {

InterruptWatcher::InterruptWatcher(std::function<bool()> cancel) : cancel_(std::move(cancel)) {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, &previousMask_);
  signalFd_ = signalfd(-1, &signals_, SFD_CLOEXEC);
  stopFd_ = eventfd(0, EFD_CLOEXEC);
  if (signalFd_ < 0 || stopFd_ < 0) {
    // Without the descriptors the signals keep their default action.
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
    return;
  }
  thread_ = std::thread([this] { Watch(); });
}

InterruptWatcher::~InterruptWatcher() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    if (write(stopFd_, &one, sizeof one) == sizeof one) thread_.join();
    else thread_.detach();  // cannot happen with an eventfd; never block the exit on it
  }
  if (signalFd_ >= 0) close(signalFd_);
  if (stopFd_ >= 0) close(stopFd_);
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void InterruptWatcher::Watch() {
  bool cancelling = false;
  for (;;) {
    pollfd fds[2] = {{.fd = signalFd_, .events = POLLIN, .revents = 0},
                     {.fd = stopFd_, .events = POLLIN, .revents = 0}};
    if (poll(fds, 2, -1) < 0) continue;  // EINTR
    if (fds[1].revents != 0) return;
    signalfd_siginfo info{};
    if (read(signalFd_, &info, sizeof info) != sizeof info) continue;
    if (!cancelling && cancel_()) {
      cancelling = true;
      continue;
    }
    // The default action of the signal, now: this thread lets it through and raises it.
    const int number = static_cast<int>(info.ssi_signo);
    signal(number, SIG_DFL);
    sigset_t just{};
    sigemptyset(&just);
    sigaddset(&just, number);
    pthread_sigmask(SIG_UNBLOCK, &just, nullptr);
    raise(number);
  }
}

}  // namespace kestrum
