// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware check dialog.
#include "gui/hardware_check_dialog.hpp"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/byte_text.hpp"
#include "gui/texts.hpp"

namespace kestrum {

SignalLamp::SignalLamp(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {
  setFocusPolicy(Qt::NoFocus);
  setAccessibleName(caption);
  setAccessibleDescription(Utf8(text::kSignalLow));
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void SignalLamp::SetHigh(bool high) {
  if (high == high_) return;
  high_ = high;
  setAccessibleDescription(Utf8(high ? text::kSignalHigh : text::kSignalLow));
  update();
}

QSize SignalLamp::sizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  const int lamp = metrics.height();
  return {lamp + metrics.averageCharWidth() + metrics.horizontalAdvance(caption_) + 2, lamp + 4};
}

void SignalLamp::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = palette();
  const int lamp = fontMetrics().height();
  const QRectF circle(1.5, (height() - lamp) / 2.0 + 0.5, lamp - 2.0, lamp - 2.0);
  p.setPen(QPen(pal.color(QPalette::Mid), 1.0));
  p.setBrush(high_ ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
  p.drawEllipse(circle);
  p.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  const QRect textRect(lamp + fontMetrics().averageCharWidth(), 0, width(), height());
  p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, caption_);
}

HardwareCheckDialog::HardwareCheckDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Utf8(text::kHardwareCheckTitle));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  auto* out = new QGroupBox(Utf8(text::kSignalsOut));
  auto* outLayout = new QVBoxLayout(out);
  constexpr std::array<std::string_view, kBoxes> kCaptions = {text::kEnableDataOut,
                                                              text::kEnableClock, text::kEnableMclr,
                                                              text::kEnableVcc, text::kEnableVpp};
  for (int i = 0; i < kBoxes; ++i) {
    auto* box = new QCheckBox(Utf8(kCaptions[static_cast<std::size_t>(i)]));
    boxes_[static_cast<std::size_t>(i)] = box;
    outLayout->addWidget(box);
  }
  // No programmer has a separate VPP output.
  boxes_[Vpp]->setEnabled(false);
  connect(boxes_[DataOut], &QCheckBox::clicked, this, &HardwareCheckDialog::DriveDataClock);
  connect(boxes_[Clock], &QCheckBox::clicked, this, &HardwareCheckDialog::DriveDataClock);
  connect(boxes_[Mclr], &QCheckBox::clicked, this, &HardwareCheckDialog::DriveMclr);
  connect(boxes_[Vcc], &QCheckBox::clicked, this, &HardwareCheckDialog::DriveVcc);

  auto* in = new QGroupBox(Utf8(text::kSignalsIn));
  auto* inLayout = new QVBoxLayout(in);
  dataIn_ = new SignalLamp(Utf8(text::kDataIn));
  inLayout->addWidget(dataIn_);
  inLayout->addStretch(1);

  ok_ = new QPushButton(Utf8(text::kOk));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  timer_ = new QTimer(this);
  timer_->setInterval(kIntervalMs);
  connect(timer_, &QTimer::timeout, this, &HardwareCheckDialog::SampleDataIn);

  auto* groups = new QHBoxLayout;
  groups->addWidget(out);
  groups->addWidget(in);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void HardwareCheckDialog::Run(LineContext& lines) {
  for (QCheckBox* box : boxes_) box->setChecked(false);
  dataIn_->SetHigh(false);
  if (!lines.OpenPort()) return;
  lines_ = &lines;
  timer_->start();
  exec();
  timer_->stop();
  lines.VppOff();
  lines.AllLinesOff();
  lines.ClosePort();
  lines_ = nullptr;
}

void HardwareCheckDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (lines_ == nullptr) return;
  DriveDataClock();
  DriveMclr();
  DriveVcc();
}

void HardwareCheckDialog::DriveDataClock() {
  if (lines_ == nullptr) return;
  const auto value = static_cast<std::uint8_t>((boxes_[DataOut]->isChecked() ? 1 : 0) |
                                               (boxes_[Clock]->isChecked() ? 2 : 0));
  lines_->SetDataClock(value);
}

void HardwareCheckDialog::DriveMclr() {
  if (lines_ == nullptr) return;
  if (boxes_[Mclr]->isChecked()) {
    lines_->VppOn();
  } else {
    lines_->VppOff();
  }
}

void HardwareCheckDialog::DriveVcc() {
  if (lines_ == nullptr) return;
  if (boxes_[Vcc]->isChecked()) {
    lines_->PowerOn();
  } else {
    lines_->AllLinesOff();
  }
}

void HardwareCheckDialog::SampleDataIn() {
  if (lines_ != nullptr) dataIn_->SetHigh(lines_->ReadDataIn() != 0);
}

}  // namespace kestrum
