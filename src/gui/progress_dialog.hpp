// The progress window of the operations: a caption, one line of text, a bar and "&Cancel";
// always on top, without border icons, centred on the screen. It is a window of its own, so
// it stays usable while the main window is disabled under a running operation.
#pragma once

#include <QDialog>

#include "core/ui.hpp"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrum {

class ProgressDialog final : public QDialog {
  Q_OBJECT

 public:
  ProgressDialog();

  void SetCaption(const QString& caption);
  void SetText(const QString& text);
  void SetRange(int min, int max);
  void SetPosition(int position);
  // Shows the window centred on the screen of `near` (the primary one without it); until it is
  // hidden again the Cancel button reaches `cancel`.
  void ShowCentred(ProgressCancel& cancel, QWidget* near);
  void HideWindow();

  QLabel* TextLabel() const { return text_; }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 public slots:
  // Esc and the window manager's close request press Cancel; the window stays up until the
  // operation hides it.
  void reject() override;

 private:
  void PressCancel();

  QLabel* text_;
  QProgressBar* bar_;
  QPushButton* cancelButton_;
  ProgressCancel* cancel_ = nullptr;
};

}  // namespace kestrum
