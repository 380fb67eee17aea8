// SPDX-License-Identifier: GPL-3.0-or-later
// The Ui port: everything an operation or a file command tells or asks the user goes through
// this interface, never through widgets. The window, the terminal and the tests each provide
// an implementation.
//
// Threads: while an operation runs a worker, the user-interface thread sits in WaitFor() and
// the worker calls Message, the progress calls and the status calls from its own thread. An
// implementation with a user-interface thread of its own runs those calls there and lets the
// worker wait for them (a blocking queued call); the others may run them where they arrive.
#pragma once

#include <string>
#include <string_view>

#include "core/done_flag.hpp"

namespace kestrum {

enum class MessageKind { Information, Warning, Error };
// The single button of a message box.
enum class MessageButton { Ok, Cancel };

// What the progress window's "&Cancel" button reaches while the window is up.
class ProgressCancel {
 public:
  virtual void Cancel() = 0;

 protected:
  ~ProgressCancel() = default;
};

// Status bar panels: the running operation, the port and programmer, the device.
inline constexpr int kStatusOperationPanel = 0;
inline constexpr int kStatusPortPanel = 1;
inline constexpr int kStatusDevicePanel = 2;

class Ui {
 public:
  virtual ~Ui() = default;

  // A modal message box; returns when the user has closed it.
  virtual void Message(MessageKind kind, std::string_view text,
                       MessageButton button = MessageButton::Ok) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool Question(std::string_view text) = 0;
  // The same in a warning box, for questions about something that may be lost.
  virtual bool WarningQuestion(std::string_view text) { return Question(text); }
  // A warning question where Yes may do harm (programming an image that did not load
  // cleanly): No is the default button.
  virtual bool CautionQuestion(std::string_view text) { return WarningQuestion(text); }
  // A step that cannot be undone from here (fuses that lock a part out of the programmer):
  // `warning` says what it does; true when the user still wants it. No is the default, and a
  // Ui with nobody to ask refuses, showing the warning as an error.
  virtual bool RiskQuestion(std::string_view warning) {
    Message(MessageKind::Error, warning);
    return false;
  }
  // The system's simple beep, given before a failed verdict.
  virtual void Beep() {}

  // The progress window: caption, one line of text, a bar with its range and position, and a
  // Cancel button that reaches `cancel` until the window is hidden again.
  virtual void SetProgressCaption(std::string_view /*caption*/) {}
  virtual void SetProgressText(std::string_view /*text*/) {}
  virtual void SetProgressRange(int /*min*/, int /*max*/) {}
  virtual void SetProgressPosition(int /*position*/) {}
  // Shows the window and repaints it at once.
  virtual void ShowProgressWindow(ProgressCancel& /*cancel*/) {}
  virtual void HideProgressWindow() {}

  // The main window while an operation runs.
  virtual void SetStatusPanel(int /*panel*/, std::string_view /*text*/) {}
  virtual void SetMainWindowEnabled(bool /*enabled*/) {}
  virtual void SetBusyCursor(bool /*busy*/) {}
  // The code view takes the keyboard focus, when the main window is visible.
  virtual void FocusCodeView() {}
  // A successful verify resets the code view's display marking and repaints it.
  virtual void ResetCodeViewMarking() {}

  // Handles pending user-interface events (repaints, the Cancel button) and returns; loops
  // that transfer on the user-interface thread call it after every unit.
  virtual void ProcessEvents() {}
  // Returns once `done` is set, keeping the user interface alive meanwhile without spinning
  // a processor. The default blocks the calling thread: right wherever the worker's calls
  // need no thread of their own.
  virtual void WaitFor(DoneFlag& done) { done.Wait(); }
};

}  // namespace kestrum
