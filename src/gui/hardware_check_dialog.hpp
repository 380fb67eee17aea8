// SPDX-License-Identifier: GPL-3.0-or-later
// The "Hardware Check" dialog: each output line of the programmer switched by hand, and the
// Data In line shown live (read every 10 ms). The port is open while it shows; the lines go
// to idle and the port closes when it ends.
#pragma once

#include <QDialog>

#include <array>

#include "hardware/line_context.hpp"

class QCheckBox;
class QPushButton;
class QTimer;

namespace kestrum {

// A lamp with its caption: lit while the line it shows is high. It is an indicator, not a
// control: it takes no focus and no clicks.
class SignalLamp final : public QWidget {
  Q_OBJECT

 public:
  explicit SignalLamp(const QString& caption, QWidget* parent = nullptr);
  void SetHigh(bool high);
  bool IsHigh() const { return high_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  bool high_ = false;
};

class HardwareCheckDialog final : public QDialog {
  Q_OBJECT

 public:
  enum Box { DataOut, Clock, Mclr, Vcc, Vpp };
  static constexpr int kBoxes = 5;
  static constexpr int kIntervalMs = 10;

  explicit HardwareCheckDialog(QWidget* parent = nullptr);

  // The check on `lines`: the boxes cleared, the port opened (a port that does not open is
  // reported and ends it), the lines set from the boxes, the dialog shown modally; then the
  // lines to idle and the port closed.
  void Run(LineContext& lines);

  QCheckBox* EnableBox(Box box) const { return boxes_[static_cast<std::size_t>(box)]; }
  SignalLamp* DataInLamp() const { return dataIn_; }
  QPushButton* OkButton() const { return ok_; }
  QTimer* Timer() const { return timer_; }
  // The timer's work: "Data In" shows the line.
  void SampleDataIn();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void DriveDataClock();
  void DriveMclr();
  void DriveVcc();

  LineContext* lines_ = nullptr;
  std::array<QCheckBox*, kBoxes> boxes_{};
  SignalLamp* dataIn_ = nullptr;
  QPushButton* ok_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace kestrum
