// SPDX-License-Identifier: GPL-3.0-or-later
// The device position window and its pictures.
#include "gui/device_position_window.hpp"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "gui/byte_text.hpp"
#include "gui/icons.hpp"
#include "gui/texts.hpp"

namespace kestrum {
namespace {

// Both picture lists have silver as their background.
const QColor kSilver(0xC0, 0xC0, 0xC0);
// 0.1 inch between pins at the pictures' scale: an 8-pin part is 28 pixels long, which is
// the JDM's shift from its PIC socket to its EEPROM socket.
constexpr int kPinPitch = 7;
constexpr int kSocketPins = 40;

struct BoardLook {
  QColor board;
  bool serialConnector;
  std::string_view name;
};

BoardLook LookOf(ProgrammerType programmer) {
  switch (programmer) {
    case ProgrammerType::Jdm:
      return {QColor(0x2f, 0x7d, 0x4a), true, text::kBoardJdm};
    case ProgrammerType::Conquest:
      return {QColor(0x2a, 0x5d, 0x8f), false, text::kBoardConquest};
    case ProgrammerType::Tafe:
      return {QColor(0x7a, 0x4a, 0x2a), false, text::kBoardTafe};
    case ProgrammerType::TaitSerial:
      return {QColor(0x35, 0x6e, 0x6e), false, text::kBoardTaitSerial};
    case ProgrammerType::FunCard:
      return {QColor(0x6b, 0x3f, 0x86), false, text::kBoardFunCard};
    case ProgrammerType::TaitParallel:
      return {QColor(0x3b, 0x6e, 0x35), false, text::kBoardTaitParallel};
    case ProgrammerType::ProPic2:
      return {QColor(0x1f, 0x4f, 0x7a), false, text::kBoardProPic2};
    case ProgrammerType::Schaer:
      return {QColor(0x8a, 0x3a, 0x3a), false, text::kBoardSchaer};
    case ProgrammerType::Stk200:
      return {QColor(0x2f, 0x62, 0x3c), false, text::kBoardStk200};
    case ProgrammerType::An589:
      return {QColor(0x55, 0x5a, 0x2a), false, text::kBoardAn589};
    // The JDM on a USB cable is the same board.
    case ProgrammerType::JdmFtdi:
      return {QColor(0x2f, 0x7d, 0x4a), true, text::kBoardJdm};
    case ProgrammerType::FtdiBitBang:
      return {QColor(0x3a, 0x3a, 0x44), false, text::kBoardFtdiBitBang};
    case ProgrammerType::GpioHeader:
      return {QColor(0x1d, 0x5c, 0x3a), false, text::kBoardGpioHeader};
    case ProgrammerType::User:
      return {QColor(0x44, 0x44, 0x44), false, text::kBoardUser};
  }
  return {QColor(0x2f, 0x7d, 0x4a), false, {}};
}

int PinsOf(ChipPicture picture) {
  switch (picture) {
    case ChipPicture::Dip8:
      return 8;
    case ChipPicture::Dip18:
      return 18;
    case ChipPicture::Dip14:
      return 14;
    case ChipPicture::Parallel:
      return 20;
    case ChipPicture::Dip28:
      return 28;
    case ChipPicture::Dip40:
      return 40;
    case ChipPicture::Dip20:
      return 20;
    case ChipPicture::Generic:
      return 0;
  }
  return 0;
}

}  // namespace

void DrawProgrammerPicture(QPainter& p, ProgrammerType programmer) {
  const BoardLook look = LookOf(programmer);
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillRect(QRect(0, 0, kProgrammerPictureWidth, kProgrammerPictureHeight), kSilver);
  // The board.
  p.setPen(QPen(look.board.darker(150), 1));
  p.setBrush(look.board);
  p.drawRoundedRect(QRectF(14.5, 2.5, 192, 68), 4, 4);
  // The port connector on its left edge: a DB9 for the serial port, a DB25 for the parallel.
  const qreal connectorHeight = look.serialConnector ? 26 : 44;
  const QRectF shell(2.5, 36.5 - connectorHeight / 2, 16, connectorHeight);
  p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
  p.setBrush(QColor(0xd8, 0xd8, 0xd8));
  p.drawRoundedRect(shell, 2, 2);
  p.setBrush(QColor(0x30, 0x30, 0x30));
  p.drawRoundedRect(shell.adjusted(4, 3, -4, -3), 1.5, 1.5);
  // Traces from the connector to the socket.
  p.setPen(QPen(look.board.lighter(140), 1.2));
  for (int i = 0; i < 4; ++i) {
    const qreal y = 26 + i * 6;
    p.drawLine(QPointF(19, y), QPointF(40, y));
    p.drawLine(QPointF(40, y), QPointF(50, 14 + i * 2));
  }
  // The ZIF socket with its lever, 40 pins from x = 58.
  const QRectF socket(kChipLeft - 3.5, kChipTop - 3.5, kSocketPins / 2 * kPinPitch + 6, 37);
  p.setPen(QPen(QColor(0x90, 0x90, 0x80), 1));
  p.setBrush(QColor(0xf0, 0xec, 0xd8));
  p.drawRoundedRect(socket, 2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x70, 0x70, 0x60));
  for (int i = 0; i < kSocketPins / 2; ++i) {
    const qreal x = kChipLeft + i * kPinPitch + 2;
    p.drawRect(QRectF(x, kChipTop + 2, 3, 3));
    p.drawRect(QRectF(x, kChipTop + 25, 3, 3));
  }
  p.setBrush(QColor(0x50, 0x50, 0x50));
  p.drawRoundedRect(QRectF(socket.left() - 2, socket.bottom() - 4, 5, 16), 2, 2);
  // The name on the board's lower edge.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(9);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0xf4, 0xf4, 0xe8));
  p.drawText(QRectF(60, 56, 140, 12), Qt::AlignLeft | Qt::AlignVCenter, Utf8(look.name));
  p.restore();
}

void DrawChipPicture(QPainter& p, ChipPicture picture) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const int pins = PinsOf(picture);
  if (pins == 0) {
    // A part this socket does not take directly: its adapter or in-circuit cable, outlined.
    p.setPen(QPen(QColor(0xb0, 0x20, 0x20), 1.5, Qt::DashLine));
    p.setBrush(QColor(0xff, 0xff, 0xff, 150));
    p.drawRoundedRect(QRectF(1.5, 4.5, 140, 21), 3, 3);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(9);
    p.setFont(font);
    p.setPen(QColor(0x80, 0x10, 0x10));
    p.drawText(QRectF(1.5, 4.5, 140, 21), Qt::AlignCenter, QStringLiteral("adapter / ICSP"));
    p.restore();
    return;
  }
  const int length = pins / 2 * kPinPitch;
  // Legs on both long sides, over the socket's contacts.
  p.setPen(QPen(QColor(0x50, 0x50, 0x58), 0.8));
  p.setBrush(QColor(0xa8, 0xa8, 0xb4));
  for (int i = 0; i < pins / 2; ++i) {
    const qreal x = i * kPinPitch + 2;
    p.drawRect(QRectF(x, 1, 3, 5));
    p.drawRect(QRectF(x, 24, 3, 5));
  }
  const QRectF body(0.5, 5.5, length - 1, 19);
  p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1));
  p.setBrush(QColor(0x2a, 0x2c, 0x30));
  p.drawRoundedRect(body, 1.5, 1.5);
  // The notch at pin 1's end, and pin 1's dot.
  p.setBrush(QColor(0x14, 0x14, 0x16));
  p.drawPie(QRectF(-3.5, 11, 7, 7), -90 * 16, 180 * 16);
  p.setBrush(QColor(0x80, 0x80, 0x88));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(5, 20), 1.6, 1.6);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(8);
  p.setFont(font);
  p.setPen(QColor(0xe0, 0xe0, 0xe0));
  const QString label =
      picture == ChipPicture::Parallel ? QStringLiteral("20 par") : QString::number(pins);
  p.drawText(body.adjusted(6, 0, 0, 0), Qt::AlignCenter, label);
  p.restore();
}

DevicePicture::DevicePicture(QWidget* parent) : QWidget(parent) {
  setFixedSize(sizeHint());
}

QSize DevicePicture::sizeHint() const {
  return {kProgrammerPictureWidth, kProgrammerPictureHeight};
}

void DevicePicture::Show(ProgrammerType programmer, ChipPlacement placement) {
  programmer_ = programmer;
  placement_ = placement;
  update();
}

QRect DevicePicture::ChipRect() const {
  return {kChipLeft + placement_.Offset, kChipTop, kChipPictureWidth, kChipPictureHeight};
}

void DevicePicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawProgrammerPicture(painter, programmer_);
  // The chip picture is drawn transparently over the programmer, clipped to it.
  painter.setClipRect(rect());
  painter.translate(ChipRect().topLeft());
  DrawChipPicture(painter, placement_.Picture);
}

DevicePositionWindow::DevicePositionWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                          Qt::CustomizeWindowHint) {
  setWindowTitle(Utf8(text::kDevicePositionTitle));
  setWindowIcon(ProgramIcon());
  group_ = new QGroupBox;
  picture_ = new DevicePicture;
  auto* inner = new QVBoxLayout(group_);
  inner->addWidget(picture_, 0, Qt::AlignHCenter);
  device_ = new QLabel;
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group_);
  layout->addWidget(device_);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void DevicePositionWindow::ShowDevicePosition(const HardwareSettings& settings,
                                              const DeviceDescriptor& device) {
  picture_->Show(settings.Programmer, PlaceChip(settings.Programmer, device));
  group_->setTitle(Utf8(DevicePositionCaption(settings)));
  device_->setText(Utf8(DevicePositionDeviceText(device)));
}

void DevicePositionWindow::closeEvent(QCloseEvent* event) {
  // The menu entry's check mark and the setting follow the window: the owner toggles.
  event->ignore();
  emit CloseRequested();
}

}  // namespace kestrum
