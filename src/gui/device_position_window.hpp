// SPDX-License-Identifier: GPL-3.0-or-later
// The "Device Position" window: a picture of the programmer with the chip drawn where it sits
// in the socket, the port and programmer above it and the device below. It follows the
// device selection and the hardware settings. The pictures are drawn here.
#pragma once

#include <QWidget>

#include "app/device_position.hpp"

class QGroupBox;
class QLabel;

namespace kestrum {

// The programmer picture (209 x 73) with the chip picture on top.
class DevicePicture final : public QWidget {
  Q_OBJECT

 public:
  explicit DevicePicture(QWidget* parent = nullptr);
  void Show(ProgrammerType programmer, ChipPlacement placement);
  ProgrammerType Programmer() const { return programmer_; }
  ChipPlacement Placement() const { return placement_; }
  // Where the chip picture sits, in the picture's coordinates.
  QRect ChipRect() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ProgrammerType programmer_ = ProgrammerType::Jdm;
  ChipPlacement placement_;
};

// Draws one programmer picture and one chip picture; the screenshots and the window use them.
void DrawProgrammerPicture(QPainter& painter, ProgrammerType programmer);
void DrawChipPicture(QPainter& painter, ChipPicture picture);

class DevicePositionWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit DevicePositionWindow(QWidget* parent = nullptr);

  // `ShowDevicePosition`: pictures, chip position and the two texts.
  void ShowDevicePosition(const HardwareSettings& settings, const DeviceDescriptor& device);

  QGroupBox* Group() const { return group_; }
  QLabel* DeviceLabel() const { return device_; }
  DevicePicture* Picture() const { return picture_; }

 signals:
  // The close icon: the owner runs the menu entry's toggle.
  void CloseRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QGroupBox* group_ = nullptr;
  DevicePicture* picture_ = nullptr;
  QLabel* device_ = nullptr;
};

}  // namespace kestrum
