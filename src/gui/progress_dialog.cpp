// The progress window.
#include "gui/progress_dialog.hpp"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "operations/texts.hpp"

namespace kestrum {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ProgressDialog::ProgressDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint),
      text_(new QLabel(FromUtf8(text::kProgressInitialText))),
      bar_(new QProgressBar),
      cancelButton_(new QPushButton(FromUtf8(text::kProgressCancel))) {
  setWindowTitle(FromUtf8(text::kProgressInitialCaption));
  setModal(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  text_->setMinimumWidth(text_->fontMetrics().averageCharWidth() * 36);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 16, 18, 14);
  layout->setSpacing(10);
  layout->addWidget(text_);
  layout->addWidget(bar_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
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
}

void ProgressDialog::SetPosition(int position) {
  bar_->setValue(position);
}

void ProgressDialog::ShowCentred(ProgressCancel& cancel, QWidget* near) {
  cancel_ = &cancel;
  QScreen* screen = near != nullptr ? near->screen() : QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
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
