// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window of the operations: a caption, one line of text, a bar with the
// percentage, the time left once it can be estimated, and "&Cancel"; always on top, without
// border icons, centred on the main window. It is a window of its own, so it stays usable
// while the main window is disabled under a running operation.
#pragma once

#include <QDialog>

#include <functional>

#include "core/ui.hpp"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrum {

// "About 40 s left", "About 3 min 10 s left" for `remaining` more steps when `done` steps
// took `elapsedMs`; empty while too little has happened to tell.
QString TimeLeftText(qint64 elapsedMs, int done, int remaining);

class ProgressDialog final : public QDialog {
  Q_OBJECT

 public:
  // `nowMs` is the clock the time left is estimated with (a steady one by default).
  explicit ProgressDialog(std::function<qint64()> nowMs = {});

  void SetCaption(const QString& caption);
  void SetText(const QString& text);
  void SetRange(int min, int max);
  void SetPosition(int position);
  // Shows the window centred on `near` while it is visible, else on its screen (the primary
  // one without it); until it is hidden again the Cancel button reaches `cancel`.
  void ShowCentred(ProgressCancel& cancel, QWidget* near);
  void HideWindow();
  // The main window closes during an operation: what the Cancel button does, now and for
  // every step the operation still shows, until EndCancelling().
  void CancelOperation();
  void EndCancelling() { cancelling_ = false; }

  QLabel* TextLabel() const { return text_; }
  QProgressBar* Bar() const { return bar_; }
  QLabel* TimeLeftLabel() const { return timeLeft_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 public slots:
  // Esc and the window manager's close request press Cancel; the window stays up until the
  // operation hides it.
  void reject() override;

 private:
  void PressCancel();
  void StartEstimate();

  std::function<qint64()> nowMs_;
  qint64 startMs_ = 0;
  int startPosition_ = 0;
  QLabel* text_;
  QProgressBar* bar_;
  QLabel* timeLeft_;
  QPushButton* cancelButton_;
  ProgressCancel* cancel_ = nullptr;
  bool cancelling_ = false;
};

}  // namespace kestrum
