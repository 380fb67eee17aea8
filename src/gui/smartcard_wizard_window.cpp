// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard wizard window.
#include "gui/smartcard_wizard_window.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/device_position.hpp"
#include "gui/byte_text.hpp"
#include "gui/device_position_window.hpp"
#include "gui/icons.hpp"
#include "gui/texts.hpp"

namespace kestrum {
namespace {

// The state machine's texts break lines with "\r".
QString LabelText(const std::string& text) {
  QString shown = Utf8(text);
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

// A smartcard with its contacts and the reader it goes in.
void DrawCardReader(QPainter& p) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillRect(QRect(0, 0, kProgrammerPictureWidth, kProgrammerPictureHeight),
             QColor(0xC0, 0xC0, 0xC0));
  // The reader, with its serial cable on the left.
  p.setPen(QPen(QColor(0x30, 0x30, 0x38), 1));
  p.setBrush(QColor(0x44, 0x48, 0x52));
  p.drawRoundedRect(QRectF(20.5, 30.5, 150, 38), 5, 5);
  p.setBrush(QColor(0x20, 0x20, 0x24));
  p.drawRect(QRectF(40.5, 30.5, 110, 5));
  p.setPen(QPen(QColor(0x30, 0x30, 0x30), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(20, 52), QPointF(4, 52));
  // The card half way in.
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
  p.setBrush(QColor(0xf4, 0xf0, 0xe6));
  p.drawRoundedRect(QRectF(48.5, 2.5, 96, 40), 4, 4);
  p.setBrush(QColor(0xd4, 0xaf, 0x37));
  p.setPen(QPen(QColor(0x9a, 0x7b, 0x1c), 1));
  const QRectF contacts(60.5, 10.5, 20, 16);
  p.drawRoundedRect(contacts, 2, 2);
  p.drawLine(QPointF(contacts.center().x(), contacts.top()),
             QPointF(contacts.center().x(), contacts.bottom()));
  p.drawLine(QPointF(contacts.left(), contacts.center().y()),
             QPointF(contacts.right(), contacts.center().y()));
  // The card's two parts, seen through.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(8);
  p.setFont(font);
  p.setPen(QColor(0x60, 0x60, 0x60));
  p.drawText(QRectF(86, 8, 56, 10), Qt::AlignLeft, QStringLiteral("PIC 16F84"));
  p.drawText(QRectF(86, 18, 56, 10), Qt::AlignLeft, QStringLiteral("24C16"));
  p.restore();
}

}  // namespace

WizardPicture::WizardPicture(QWidget* parent) : QWidget(parent) {
  setFixedSize(sizeHint());
}

QSize WizardPicture::sizeHint() const {
  return {kProgrammerPictureWidth, kProgrammerPictureHeight};
}

void WizardPicture::SetImage(int image) {
  image_ = image;
  update();
}

void WizardPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_ == 0) {
    // The card's PIC in a PIC programmer's socket.
    DrawProgrammerPicture(painter, ProgrammerType::Jdm);
    painter.translate(kChipLeft, kChipTop);
    DrawChipPicture(painter, ChipPicture::Dip18);
  } else {
    DrawCardReader(painter);
  }
}

SmartcardWizardWindow::SmartcardWizardWindow(SmartcardWizard& wizard,
                                             std::function<void()> openHardware, QWidget* parent)
    : QDialog(parent), wizard_(wizard), openHardware_(std::move(openHardware)) {
  setWindowTitle(Utf8(text::kWizardTitle));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                 Qt::WindowCloseButtonHint);
  label1_ = new QLabel;
  label2_ = new QLabel;
  label1_->setTextFormat(Qt::PlainText);
  label2_->setTextFormat(Qt::PlainText);
  picture_ = new WizardPicture;
  hardware_ = new QToolButton;
  hardware_->setIcon(MakeToolIcon(ToolIcon::Hardware));
  hardware_->setIconSize(QSize(24, 24));
  hardware_->setToolTip(Utf8(text::kHintHardware));
  hardware_->setAutoRaise(true);
  openFile_ = new QToolButton;
  openFile_->setIcon(MakeToolIcon(ToolIcon::Open));
  openFile_->setIconSize(QSize(24, 24));
  openFile_->setToolTip(Utf8(text::kHintOpenFile));
  openFile_->setAutoRaise(true);
  button1_ = new QPushButton;
  button1_->setDefault(true);
  button1_->setAutoDefault(true);
  connect(button1_, &QPushButton::clicked, this, &SmartcardWizardWindow::Continue);
  connect(hardware_, &QToolButton::clicked, this, [this] {
    if (openHardware_) openHardware_();
  });
  connect(openFile_, &QToolButton::clicked, this, [this] {
    wizard_.OpenFile();
    ShowView();
  });

  auto* tools = new QVBoxLayout;
  tools->addWidget(picture_);
  auto* toolRow = new QHBoxLayout;
  toolRow->addWidget(hardware_);
  toolRow->addWidget(openFile_);
  toolRow->addStretch(1);
  tools->addLayout(toolRow);
  tools->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addLayout(tools);
  top->addSpacing(12);
  top->addWidget(label1_, 1, Qt::AlignTop);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(label2_, 1);
  bottom->addWidget(button1_, 0, Qt::AlignBottom);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(10);
  layout->addLayout(bottom);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SmartcardWizardWindow::Run() {
  wizard_.Enter();
  wizard_.Activate();
  ShowView();
  exec();
}

bool SmartcardWizardWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    wizard_.Activate();
    ShowView();
  }
  return QDialog::event(event);
}

void SmartcardWizardWindow::ShowView() {
  const SmartcardWizard::View& view = wizard_.Shown();
  label1_->setText(LabelText(view.Label1));
  label2_->setText(LabelText(view.Label2));
  picture_->SetImage(view.Image);
  hardware_->setVisible(view.HardwareVisible);
  openFile_->setVisible(view.OpenFileVisible);
  button1_->setText(Utf8(view.ButtonCaption));
  setEnabled(view.Enabled);
}

void SmartcardWizardWindow::Continue() {
  const int step = wizard_.WizardStep();
  // While a part is programmed nothing here can be pressed again; the file steps open the
  // open dialog from an enabled wizard.
  const bool programs = step == 0 || step == 2 || step == 4;
  if (programs) setEnabled(false);
  const bool open = wizard_.Continue();
  ShowView();
  // After the last step the wizard closes (as Cancel).
  if (!open) reject();
}

}  // namespace kestrum
