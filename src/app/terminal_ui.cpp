// SPDX-License-Identifier: GPL-3.0-or-later
// Terminal Ui.
#include "app/terminal_ui.hpp"

#include <cerrno>
#include <string>

#include "app/texts.hpp"

namespace kestrum {
namespace {

// Message texts break lines with a carriage return in places; a terminal wants a line feed.
std::string ForTerminal(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r') c = '\n';
  }
  return line;
}

}  // namespace

TerminalUi::TerminalUi(std::FILE* out, std::FILE* err, std::FILE* input, bool inputIsTerminal,
                       bool yes)
    : out_(out), err_(err), input_(input), inputIsTerminal_(inputIsTerminal), yes_(yes) {}

void TerminalUi::Out(const std::string& line) {
  errno = 0;
  const bool written = std::fprintf(out_, "%s\n", line.c_str()) >= 0 && std::fflush(out_) == 0;
  if (!written && outputError_ == 0) outputError_ = errno != 0 ? errno : EIO;
}

void TerminalUi::Message(MessageKind kind, std::string_view text, MessageButton) {
  if (kind == MessageKind::Information) {
    Out(ForTerminal(text));
    return;
  }
  ++problems_;
  const std::string_view prefix =
      kind == MessageKind::Warning ? text::kWarningPrefix : text::kErrorPrefix;
  std::fprintf(err_, "%.*s%s\n", static_cast<int>(prefix.size()), prefix.data(),
               ForTerminal(text).c_str());
  std::fflush(err_);
}

void TerminalUi::SetProgressText(std::string_view text) {
  // A phase sets its text again when it starts; the terminal shows it once.
  if (text == lastProgressText_) return;
  lastProgressText_ = std::string(text);
  Out(ForTerminal(text));
}

void TerminalUi::ShowProgressWindow(ProgressCancel& cancel) {
  std::lock_guard lock(progressMutex_);
  progress_ = &cancel;
}

void TerminalUi::HideProgressWindow() {
  std::lock_guard lock(progressMutex_);
  progress_ = nullptr;
}

bool TerminalUi::Interrupt() {
  std::lock_guard lock(progressMutex_);
  if (progress_ == nullptr) return false;
  progress_->Cancel();
  std::fprintf(err_, "\n%.*s\n", static_cast<int>(text::kInterrupted.size()),
               text::kInterrupted.data());
  std::fflush(err_);
  return true;
}

bool TerminalUi::Question(std::string_view text) {
  const std::string question = ForTerminal(text);
  if (!inputIsTerminal_) {
    const std::string_view answer = yes_ ? text::kAnsweredYes : text::kAnsweredNo;
    std::fprintf(err_, "%s%.*s\n", question.c_str(), static_cast<int>(answer.size()),
                 answer.data());
    std::fflush(err_);
    return yes_;
  }
  std::fprintf(err_, "%s%.*s", question.c_str(), static_cast<int>(text::kAskYesNo.size()),
               text::kAskYesNo.data());
  std::fflush(err_);
  char line[64] = {};
  if (std::fgets(line, sizeof line, input_) == nullptr) return false;
  return line[0] == 'y' || line[0] == 'Y';
}

bool TerminalUi::RiskQuestion(std::string_view warning) {
  Message(MessageKind::Error, std::string(warning) + std::string(text::kRiskRefused));
  return false;
}

}  // namespace kestrum
