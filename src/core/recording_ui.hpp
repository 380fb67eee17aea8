// SPDX-License-Identifier: GPL-3.0-or-later
// A Ui for tests: keeps every message, question and progress or status call in order and
// answers questions from a script, so a test can assert the exact texts the user would see.
// Calls may come from a worker thread; a hook lets a test act (press Cancel, say) at a
// chosen moment of an operation.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/ui.hpp"

namespace kestrum {

class RecordingUi : public Ui {
 public:
  struct Entry {
    enum class Type {
      Message,
      Question,
      Beep,
      ProgressCaption,
      ProgressText,
      ProgressRange,     // value = min, value2 = max
      ProgressPosition,  // value
      ProgressShown,
      ProgressHidden,
      StatusPanel,  // value = panel, text
      MainWindow,   // value = 1 enabled, 0 disabled
      BusyCursor,   // value = 1 busy, 0 normal
      FocusCodeView,
      ResetCodeViewMarking,
      Wait,  // the user-interface thread began waiting for a worker
    } type;
    MessageKind kind = MessageKind::Information;  // messages and questions
    MessageButton button = MessageButton::Ok;     // messages only
    std::string text;
    bool answer = false;  // questions only
    int value = 0;        // questions: 1 when No is the default
    int value2 = 0;

    bool operator==(const Entry&) const = default;
  };
  using Type = Entry::Type;

  void Message(MessageKind kind, std::string_view text, MessageButton button) override;
  bool Question(std::string_view text) override;
  bool WarningQuestion(std::string_view text) override;
  bool CautionQuestion(std::string_view text) override;
  // Recorded as a question of kind Error; a scripted answer, else No (its default).
  bool RiskQuestion(std::string_view warning) override;
  void Beep() override;
  void SetProgressCaption(std::string_view caption) override;
  void SetProgressText(std::string_view text) override;
  void SetProgressRange(int min, int max) override;
  void SetProgressPosition(int position) override;
  void ShowProgressWindow(ProgressCancel& cancel) override;
  void HideProgressWindow() override;
  void SetStatusPanel(int panel, std::string_view text) override;
  void SetMainWindowEnabled(bool enabled) override;
  void SetBusyCursor(bool busy) override;
  void FocusCodeView() override;
  void ResetCodeViewMarking() override;
  void WaitFor(DoneFlag& done) override;

  // Answers for the next questions, in order; when they run out, `defaultAnswer` is given.
  void Answer(bool yes);
  bool defaultAnswer = true;
  // Called after each entry is recorded, on the thread that made the call.
  std::function<void(const Entry&)> onEntry;
  // The Cancel button of the progress window; does nothing while the window is hidden.
  void PressCancel();

  // Read these once the operation has returned.
  const std::vector<Entry>& Entries() const { return entries_; }
  // The texts of all messages (not questions), in order.
  std::vector<std::string> Messages() const;
  std::vector<std::string> Questions() const;
  // The texts of the entries of one type, in order.
  std::vector<std::string> Texts(Type type) const;
  // The entries of one type, in order.
  std::vector<Entry> OfType(Type type) const;
  void Clear();

 private:
  void Record(Entry entry);
  // `fallbackNo`: without a scripted answer, No (else defaultAnswer).
  bool Ask(std::string_view text, MessageKind kind, bool defaultNo = false,
           bool fallbackNo = false);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::deque<bool> answers_;
  ProgressCancel* cancel_ = nullptr;
};

}  // namespace kestrum
