// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window.
#include "gui/progress_dialog.hpp"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <chrono>

#include "gui/texts.hpp"
#include "operations/texts.hpp"

namespace kestrum {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString TimeLeftText(qint64 elapsedMs, int done, int remaining) {
  // A second and one step at least, so the first words (which include switching the part on)
  // do not decide it alone.
  if (done <= 0 || remaining < 0 || elapsedMs < 1000) return {};
  const qint64 seconds =
      (elapsedMs * remaining / done + 999) / 1000;  // rounded up: never "0 s" before the end
  if (seconds < 60) return FromUtf8(text::kTimeLeftSeconds).arg(seconds);
  return FromUtf8(text::kTimeLeftMinutes).arg(seconds / 60).arg(seconds % 60);
}

ProgressDialog::ProgressDialog(std::function<qint64()> nowMs)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint),
      nowMs_(std::move(nowMs)),
      text_(new QLabel(FromUtf8(text::kProgressInitialText))),
      bar_(new QProgressBar),
      timeLeft_(new QLabel),
      cancelButton_(new QPushButton(FromUtf8(text::kProgressCancel))) {
  if (!nowMs_) {
    nowMs_ = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  }
  setWindowTitle(FromUtf8(text::kProgressInitialCaption));
  setModal(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(true);
  bar_->setFormat(QStringLiteral("%p%"));
  text_->setMinimumWidth(text_->fontMetrics().averageCharWidth() * 36);
  // The line keeps its height while it is empty, so the window does not jump.
  timeLeft_->setMinimumHeight(timeLeft_->fontMetrics().height());

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 16, 18, 14);
  layout->setSpacing(10);
  layout->addWidget(text_);
  layout->addWidget(bar_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(timeLeft_, 1);
  buttons->addWidget(cancelButton_);
  layout->addLayout(buttons);
  connect(cancelButton_, &QPushButton::clicked, this, &ProgressDialog::PressCancel);
  setFixedSize(sizeHint().expandedTo(QSize(360, 0)));
}

void ProgressDialog::SetCaption(const QString& caption) {
  setWindowTitle(caption);
}

void ProgressDialog::SetText(const QString& text) {
  text_->setText(text);
}

void ProgressDialog::SetRange(int min, int max) {
  // An empty range would turn the bar into a busy indicator that animates for ever.
  bar_->setRange(min, std::max(max, min + 1));
  StartEstimate();
}

void ProgressDialog::SetPosition(int position) {
  // The worker of a step reports here once it runs: it is the one to stop.
  if (cancelling_) PressCancel();
  // A phase starts again from its beginning: its estimate too.
  if (position < bar_->value()) {
    bar_->setValue(position);
    StartEstimate();
    return;
  }
  bar_->setValue(position);
  timeLeft_->setText(
      TimeLeftText(nowMs_() - startMs_, position - startPosition_, bar_->maximum() - position));
}

void ProgressDialog::StartEstimate() {
  startMs_ = nowMs_();
  startPosition_ = bar_->value();
  timeLeft_->clear();
}

void ProgressDialog::CancelOperation() {
  cancelling_ = true;
  PressCancel();
}

void ProgressDialog::ShowCentred(ProgressCancel& cancel, QWidget* near) {
  cancel_ = &cancel;
  if (cancelling_) cancel.Cancel();
  StartEstimate();
  QWidget* window = near != nullptr ? near->window() : nullptr;
  if (window != nullptr && window->isVisible()) {
    move(window->frameGeometry().center() - QPoint(width() / 2, height() / 2));
  } else if (QScreen* screen =
                 window != nullptr ? window->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  // It belongs to the main window: the window manager keeps it over it and gives it no
  // minimise or maximise buttons.
  if (window != nullptr && window->windowHandle() != nullptr) {
    winId();
    windowHandle()->setTransientParent(window->windowHandle());
  }
  show();
  raise();
}

void ProgressDialog::HideWindow() {
  cancel_ = nullptr;
  hide();
}

void ProgressDialog::reject() {
  PressCancel();
}

void ProgressDialog::PressCancel() {
  if (cancel_ != nullptr) cancel_->Cancel();
}

}  // namespace kestrum
