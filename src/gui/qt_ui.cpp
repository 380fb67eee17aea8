// SPDX-License-Identifier: GPL-3.0-or-later
// The window's Ui port.
#include "gui/qt_ui.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QThread>

#include "gui/progress_dialog.hpp"
#include "gui/texts.hpp"

namespace kestrum {
namespace {

QString FromUtf8(std::string_view text) {
  QString result = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  // Some messages break their lines the old way.
  result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return result;
}

}  // namespace

QtUi::QtUi() : progress_(std::make_unique<ProgressDialog>()) {}

QtUi::~QtUi() = default;

template <class Function>
void QtUi::OnWindowThread(Function&& function) {
  if (QThread::currentThread() == receiver_.thread()) {
    function();
    return;
  }
  // The worker waits here until the window thread has run the call.
  QMetaObject::invokeMethod(&receiver_, std::forward<Function>(function),
                            Qt::BlockingQueuedConnection);
}

QWidget* QtUi::DialogParent() const {
  if (progress_->isVisible()) return progress_.get();
  if (window_ != nullptr && window_->WindowWidget()->isEnabled() &&
      window_->WindowWidget()->isVisible()) {
    return window_->WindowWidget();
  }
  return nullptr;
}

void QtUi::Message(MessageKind kind, std::string_view text, MessageButton button) {
  OnWindowThread([&] {
    QMessageBox::Icon icon = QMessageBox::Information;
    std::string_view title = text::kTitleInformation;
    if (kind == MessageKind::Warning) {
      icon = QMessageBox::Warning;
      title = text::kTitleWarning;
    } else if (kind == MessageKind::Error) {
      icon = QMessageBox::Critical;
      title = text::kTitleError;
    }
    QMessageBox box(icon, FromUtf8(title), FromUtf8(text),
                    button == MessageButton::Ok ? QMessageBox::Ok : QMessageBox::Cancel,
                    DialogParent());
    box.setTextFormat(Qt::PlainText);  // file names and device texts are not markup
    box.exec();
  });
}

bool QtUi::Ask(std::string_view text, bool warning, bool defaultNo) {
  bool yes = false;
  OnWindowThread([&] {
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question,
                    FromUtf8(warning ? text::kTitleWarning : text::kTitleConfirm), FromUtf8(text),
                    QMessageBox::Yes | QMessageBox::No, DialogParent());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    yes = box.exec() == QMessageBox::Yes;
  });
  return yes;
}

bool QtUi::Question(std::string_view text) {
  return Ask(text, false);
}

bool QtUi::WarningQuestion(std::string_view text) {
  return Ask(text, true);
}

bool QtUi::CautionQuestion(std::string_view text) {
  return Ask(text, true, true);
}

bool QtUi::RiskQuestion(std::string_view warning) {
  return Ask(std::string(warning) + std::string(text::kRiskQuestion), true, true);
}

void QtUi::Beep() {
  OnWindowThread([] { QApplication::beep(); });
}

void QtUi::SetProgressCaption(std::string_view caption) {
  OnWindowThread([&] { progress_->SetCaption(FromUtf8(caption)); });
}

void QtUi::SetProgressText(std::string_view text) {
  OnWindowThread([&] { progress_->SetText(FromUtf8(text)); });
}

void QtUi::SetProgressRange(int min, int max) {
  OnWindowThread([&] { progress_->SetRange(min, max); });
}

void QtUi::SetProgressPosition(int position) {
  OnWindowThread([&] { progress_->SetPosition(position); });
}

void QtUi::ShowProgressWindow(ProgressCancel& cancel) {
  OnWindowThread([&] {
    progress_->ShowCentred(cancel, window_ != nullptr ? window_->WindowWidget() : nullptr);
  });
}

void QtUi::HideProgressWindow() {
  OnWindowThread([&] { progress_->HideWindow(); });
}

void QtUi::SetStatusPanel(int panel, std::string_view text) {
  OnWindowThread([&] {
    if (window_ != nullptr) window_->SetStatusPanel(panel, FromUtf8(text));
  });
}

void QtUi::SetMainWindowEnabled(bool enabled) {
  OnWindowThread([&] {
    if (window_ != nullptr) window_->SetWindowEnabled(enabled);
  });
}

void QtUi::SetBusyCursor(bool busy) {
  OnWindowThread([&] {
    if (busy == busyCursor_) return;
    busyCursor_ = busy;
    if (busy) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  });
}

void QtUi::FocusCodeView() {
  OnWindowThread([&] {
    if (window_ != nullptr) window_->FocusCodeView();
  });
}

void QtUi::ResetCodeViewMarking() {
  OnWindowThread([&] {
    if (window_ != nullptr) window_->ResetCodeViewMarking();
  });
}

void QtUi::ProcessEvents() {
  if (QThread::currentThread() == receiver_.thread()) QCoreApplication::processEvents();
}

void QtUi::WaitFor(DoneFlag& done) {
  if (QThread::currentThread() != receiver_.thread()) {
    done.Wait();
    return;
  }
  QEventLoop loop;
  QEventLoop* const outer = waitLoop_;
  waitLoop_ = &loop;
  // The worker's wake-up is queued to an object that outlives every wait, and quits whichever
  // wait is current when it arrives; a late one only makes a later wait look at its flag again.
  done.OnSet([this] {
    QMetaObject::invokeMethod(
        &receiver_,
        [this] {
          if (waitLoop_ != nullptr) waitLoop_->quit();
        },
        Qt::QueuedConnection);
  });
  while (!done.IsSet()) loop.exec();
  waitLoop_ = outer;
}

}  // namespace kestrum
