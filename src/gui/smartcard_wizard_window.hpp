// SPDX-License-Identifier: GPL-3.0-or-later
// The "Smartcard Wizard" window: the instructions and what to click, a picture of the
// programmer to connect, the "Hardware" and "Open File..." buttons and Continue/OK. It shows
// what the wizard's state machine holds after each action.
#pragma once

#include <QDialog>

#include <functional>

#include "app/smartcard_wizard.hpp"

class QLabel;
class QPushButton;
class QToolButton;

namespace kestrum {

// Image1's two pictures: 0 a PIC programmer with the card's PIC, 1 a smartcard programmer.
class WizardPicture final : public QWidget {
  Q_OBJECT

 public:
  explicit WizardPicture(QWidget* parent = nullptr);
  void SetImage(int image);
  int Image() const { return image_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int image_ = 0;
};

class SmartcardWizardWindow final : public QDialog {
  Q_OBJECT

 public:
  // `openHardware` runs the hardware settings dialog (SpeedButton1).
  SmartcardWizardWindow(SmartcardWizard& wizard, std::function<void()> openHardware,
                        QWidget* parent = nullptr);

  // Wizard entry: back to step 0, shown modally until it is closed.
  void Run();

  QLabel* Label1() const { return label1_; }
  QLabel* Label2() const { return label2_; }
  WizardPicture* Picture() const { return picture_; }
  QToolButton* HardwareButton() const { return hardware_; }
  QToolButton* OpenFileButton() const { return openFile_; }
  QPushButton* Button1() const { return button1_; }

 protected:
  bool event(QEvent* event) override;

 private:
  void ShowView();
  void Continue();

  SmartcardWizard& wizard_;
  std::function<void()> openHardware_;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  WizardPicture* picture_ = nullptr;
  QToolButton* hardware_ = nullptr;
  QToolButton* openFile_ = nullptr;
  QPushButton* button1_ = nullptr;
};

}  // namespace kestrum
