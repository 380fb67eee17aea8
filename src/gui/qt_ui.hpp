// SPDX-License-Identifier: GPL-3.0-or-later
// The Ui port of the window: message boxes with the kinds, buttons and texts of the
// operations, Yes/No questions, the beep, the progress window and the main window's status
// panels. Calls from a worker thread are carried to the window thread and wait there until
// the window has done them; the window thread waits for a worker inside its event loop, woken
// when the worker is done, never spinning.
#pragma once

#include <QObject>

#include <memory>

#include "core/ui.hpp"

class QEventLoop;
class QWidget;

namespace kestrum {

class ProgressDialog;

// What the Ui port needs of the main window.
class QtUiWindow {
 public:
  virtual void SetStatusPanel(int panel, const QString& text) = 0;
  virtual void SetWindowEnabled(bool enabled) = 0;
  virtual void FocusCodeView() = 0;
  virtual void ResetCodeViewMarking() = 0;
  // The window message boxes belong to while it is enabled.
  virtual QWidget* WindowWidget() = 0;

 protected:
  ~QtUiWindow() = default;
};

class QtUi : public Ui {
 public:
  // On the window thread, once the application object exists.
  QtUi();
  ~QtUi() override;

  void AttachWindow(QtUiWindow* window) { window_ = window; }
  ProgressDialog& Progress() { return *progress_; }

  void Message(MessageKind kind, std::string_view text, MessageButton button) override;
  bool Question(std::string_view text) override;
  bool WarningQuestion(std::string_view text) override;
  bool CautionQuestion(std::string_view text) override;
  // A warning box whose default button is No.
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
  void ProcessEvents() override;
  void WaitFor(DoneFlag& done) override;

 private:
  template <class Function>
  void OnWindowThread(Function&& function);
  bool Ask(std::string_view text, bool warning, bool defaultNo = false);
  // Where a message box goes: over the progress window while it is up, else over the main
  // window while it is enabled, else on its own.
  QWidget* DialogParent() const;

  QObject receiver_;  // lives on the window thread; worker calls are queued to it
  std::unique_ptr<ProgressDialog> progress_;
  QtUiWindow* window_ = nullptr;
  QEventLoop* waitLoop_ = nullptr;
  bool busyCursor_ = false;
};

}  // namespace kestrum
