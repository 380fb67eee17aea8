// SPDX-License-Identifier: GPL-3.0-or-later
// The Ui of a run without a window: information on standard output, warnings and errors on
// standard error, questions asked on the terminal, or answered by --yes when there is none.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "core/ui.hpp"

namespace kestrum {

class TerminalUi : public Ui {
 public:
  // `input` is read for answers only when `inputIsTerminal`; otherwise questions are answered
  // Yes with `yes`, No without it, and the answer is printed.
  TerminalUi(std::FILE* out, std::FILE* err, std::FILE* input, bool inputIsTerminal, bool yes);

  void Message(MessageKind kind, std::string_view text,
               MessageButton button = MessageButton::Ok) override;
  bool Question(std::string_view text) override;
  // Never asked on the terminal: the warning and the way round it (--force-fuses) as an error.
  bool RiskQuestion(std::string_view warning) override;
  // Each phase of an operation ("Programming Code (1024) bytes") is a line of its own.
  void SetProgressText(std::string_view text) override;
  // The progress window's Cancel button is the terminal's interrupt (Ctrl+C).
  void ShowProgressWindow(ProgressCancel& cancel) override;
  void HideProgressWindow() override;
  // Cancels the operation in progress and says so; false when none is. Any thread.
  bool Interrupt();

  // Number of warnings and errors shown so far: any makes the run fail.
  int Problems() const { return problems_; }
  // The errno of the first write to standard output that failed; 0 while none has. Writing
  // goes on regardless: the run, its power-down and its saves do not depend on it.
  int OutputError() const { return outputError_; }

 private:
  std::FILE* out_;
  std::FILE* err_;
  std::FILE* input_;
  bool inputIsTerminal_;
  bool yes_;
  void Out(const std::string& line);

  int problems_ = 0;
  int outputError_ = 0;
  std::string lastProgressText_;
  std::mutex progressMutex_;
  ProgressCancel* progress_ = nullptr;
};

}  // namespace kestrum
