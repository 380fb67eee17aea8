// SPDX-License-Identifier: GPL-3.0-or-later
// Recording Ui for tests.
#include "core/recording_ui.hpp"

#include <utility>

namespace kestrum {

void RecordingUi::Record(Entry entry) {
  {
    std::lock_guard lock(mutex_);
    entries_.push_back(entry);
  }
  // Outside the lock: the hook may call back in (PressCancel, Answer).
  if (onEntry) onEntry(entry);
}

void RecordingUi::Message(MessageKind kind, std::string_view text, MessageButton button) {
  Record({.type = Type::Message, .kind = kind, .button = button, .text = std::string(text)});
}

bool RecordingUi::Ask(std::string_view text, MessageKind kind, bool defaultNo, bool fallbackNo) {
  bool answer = fallbackNo ? false : defaultAnswer;
  {
    std::lock_guard lock(mutex_);
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
  }
  Record({.type = Type::Question,
          .kind = kind,
          .text = std::string(text),
          .answer = answer,
          .value = defaultNo ? 1 : 0});
  return answer;
}

bool RecordingUi::Question(std::string_view text) {
  return Ask(text, MessageKind::Information);
}
bool RecordingUi::WarningQuestion(std::string_view text) {
  return Ask(text, MessageKind::Warning);
}
bool RecordingUi::RiskQuestion(std::string_view warning) {
  return Ask(warning, MessageKind::Error, true, true);
}
bool RecordingUi::CautionQuestion(std::string_view text) {
  return Ask(text, MessageKind::Warning, true);
}

void RecordingUi::Beep() {
  Record({.type = Type::Beep});
}

void RecordingUi::SetProgressCaption(std::string_view caption) {
  Record({.type = Type::ProgressCaption, .text = std::string(caption)});
}

void RecordingUi::SetProgressText(std::string_view text) {
  Record({.type = Type::ProgressText, .text = std::string(text)});
}

void RecordingUi::SetProgressRange(int min, int max) {
  Record({.type = Type::ProgressRange, .value = min, .value2 = max});
}

void RecordingUi::SetProgressPosition(int position) {
  Record({.type = Type::ProgressPosition, .value = position});
}

void RecordingUi::ShowProgressWindow(ProgressCancel& cancel) {
  {
    std::lock_guard lock(mutex_);
    cancel_ = &cancel;
  }
  Record({.type = Type::ProgressShown});
}

void RecordingUi::HideProgressWindow() {
  {
    std::lock_guard lock(mutex_);
    cancel_ = nullptr;
  }
  Record({.type = Type::ProgressHidden});
}

void RecordingUi::SetStatusPanel(int panel, std::string_view text) {
  Record({.type = Type::StatusPanel, .text = std::string(text), .value = panel});
}

void RecordingUi::SetMainWindowEnabled(bool enabled) {
  Record({.type = Type::MainWindow, .value = enabled ? 1 : 0});
}

void RecordingUi::SetBusyCursor(bool busy) {
  Record({.type = Type::BusyCursor, .value = busy ? 1 : 0});
}

void RecordingUi::FocusCodeView() {
  Record({.type = Type::FocusCodeView});
}

void RecordingUi::ResetCodeViewMarking() {
  Record({.type = Type::ResetCodeViewMarking});
}

void RecordingUi::WaitFor(DoneFlag& done) {
  Record({.type = Type::Wait});
  done.Wait();
}

void RecordingUi::Answer(bool yes) {
  std::lock_guard lock(mutex_);
  answers_.push_back(yes);
}

void RecordingUi::PressCancel() {
  ProgressCancel* cancel = nullptr;
  {
    std::lock_guard lock(mutex_);
    cancel = cancel_;
  }
  if (cancel) cancel->Cancel();
}

std::vector<std::string> RecordingUi::Messages() const {
  return Texts(Type::Message);
}

std::vector<std::string> RecordingUi::Questions() const {
  return Texts(Type::Question);
}

std::vector<std::string> RecordingUi::Texts(Type type) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  for (const Entry& e : entries_) {
    if (e.type == type) texts.push_back(e.text);
  }
  return texts;
}

std::vector<RecordingUi::Entry> RecordingUi::OfType(Type type) const {
  std::lock_guard lock(mutex_);
  std::vector<Entry> found;
  for (const Entry& e : entries_) {
    if (e.type == type) found.push_back(e);
  }
  return found;
}

void RecordingUi::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

}  // namespace kestrum
