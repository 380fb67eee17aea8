// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the virtual programmer for QtTest, offscreen: an application object on a
// memory settings store, the window with its Qt Ui, a PIC chip model per selected device, file
// dialogs answered from a queue, and modal boxes answered (and recorded) as they appear.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

#include "../counting_opener.hpp"
#include "app/application.hpp"
#include "app/simulated_programmer.hpp"
#include "gui/file_dialogs.hpp"
#include "gui/main_window.hpp"
#include "gui/progress_dialog.hpp"
#include "gui/qt_ui.hpp"

namespace kestrum::testing {

// Every modal box is recorded when it shows and answered from the event loop it runs: message
// boxes with the next scripted answer (Yes when none is left, else their only button), other
// modal dialogs by `onDialog`. The progress window is recorded as it shows.
class ModalAnswerer final : public QObject {
 public:
  struct Box {
    QMessageBox::Icon icon;
    QString text;
    QMessageBox::StandardButtons buttons;
    bool onWindowThread;
    bool noIsDefault;  // Enter would answer No
  };
  struct ProgressShow {
    QString caption;
    QString text;
    QString button;
    Qt::WindowFlags flags;
    QPoint centre;
  };

  ModalAnswerer() { qApp->installEventFilter(this); }
  ~ModalAnswerer() override { qApp->removeEventFilter(this); }

  QStringList Texts() const {
    QStringList texts;
    for (const Box& box : boxes) texts << box.text;
    return texts;
  }

  std::vector<Box> boxes;
  std::vector<ProgressShow> progress;
  std::deque<QMessageBox::StandardButton> answers;
  std::function<void(QDialog&)> onDialog;
  QStringList dialogs;  // captions of the other modal dialogs shown

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    if (auto* box = qobject_cast<QMessageBox*>(watched)) {
      boxes.push_back({box->icon(), box->text(), box->standardButtons(),
                       QThread::currentThread() == qApp->thread(),
                       box->defaultButton() != nullptr &&
                           box->defaultButton() == box->button(QMessageBox::No)});
      QMessageBox::StandardButton answer = QMessageBox::NoButton;
      if (box->standardButtons() & QMessageBox::Yes) {
        answer = QMessageBox::Yes;
        if (!answers.empty()) {
          answer = answers.front();
          answers.pop_front();
        }
      } else if (box->standardButtons() & QMessageBox::Discard) {
        // Unsaved changes: Discard unless the script says otherwise.
        answer = QMessageBox::Discard;
        if (!answers.empty() && (box->standardButtons() & answers.front())) {
          answer = answers.front();
          answers.pop_front();
        }
      }
      QPointer<QMessageBox> target(box);
      QMetaObject::invokeMethod(
          box,
          [target, answer] {
            if (!target) return;
            QAbstractButton* button = answer != QMessageBox::NoButton ? target->button(answer)
                                                                      : target->buttons().value(0);
            if (button) button->click();
          },
          Qt::QueuedConnection);
    } else if (auto* progressWindow = qobject_cast<ProgressDialog*>(watched)) {
      progress.push_back({progressWindow->windowTitle(), progressWindow->TextLabel()->text(),
                          progressWindow->CancelButton()->text(), progressWindow->windowFlags(),
                          progressWindow->geometry().center()});
    } else if (auto* dialog = qobject_cast<QDialog*>(watched); dialog && dialog->isModal()) {
      dialogs << dialog->windowTitle();
      QPointer<QDialog> target(dialog);
      QMetaObject::invokeMethod(
          dialog,
          [this, target] {
            if (!target) return;
            if (onDialog) onDialog(*target);
            // Without an answer (or after a failed check in one) the dialog is cancelled; one
            // that cannot be cancelled (the first-start hardware settings) is confirmed.
            if (target && target->isVisible()) target->reject();
            if (target && target->isVisible()) target->accept();
          },
          Qt::QueuedConnection);
    }
    return false;
  }
};

class QueuedFileDialogs final : public FileDialogs {
 public:
  std::optional<ChosenFile> ChooseOpen(QWidget*, const std::string& folder, bool) override {
    lastFolder = folder;
    return Next();
  }
  std::optional<ChosenFile> ChooseSave(QWidget*, const std::string& folder, const std::string&,
                                       bool confirm) override {
    lastFolder = folder;
    lastConfirmOverwrite = confirm;
    return Next();
  }
  std::deque<ChosenFile> files;
  std::string lastFolder;
  bool lastConfirmOverwrite = false;

 private:
  std::optional<ChosenFile> Next() {
    if (files.empty()) return std::nullopt;
    ChosenFile file = files.front();
    files.pop_front();
    return file;
  }
};

struct WindowRig {
  WindowRig() { window.SetFileDialogs(&dialogs); }

  // Start-up with these arguments; the window is shown and active.
  void Start(const std::vector<std::string>& args = {}) {
    auto parsed = ParseCommandLine(args);
    window.Start(std::get<CommandLine>(parsed));
    window.show();
    window.activateWindow();
    QCoreApplication::processEvents();
  }
  // The window becomes the active one again (the boxes of an operation took that from it),
  // so its shortcuts reach it.
  void Activate() {
    window.activateWindow();
    QCoreApplication::processEvents();
    QVERIFY(window.isActiveWindow());
  }
  // Starts with a device already chosen in an earlier run (no first start).
  void StartWith(int device, const std::vector<std::string>& args = {}) {
    settings.WriteInteger("Device", device);
    Start(args);
  }

  // The menu entry with this caption (its text), anywhere in the menu bar.
  QAction* Action(const QString& caption) {
    for (QAction* action : window.findChildren<QAction*>()) {
      if (action->text() == caption) return action;
    }
    return nullptr;
  }
  Workspace& Work() { return app.Work; }
  BufferSlot& Slot() { return app.Work.Active(); }

  ModalAnswerer answerer;
  MemorySettingsStore settings;
  QtUi ui;
  SimulatedProgrammer simulated{""};
  CountingOpener opener{simulated.Programmer()};
  Application app{settings, ui, simulated.Clock(), opener};
  MainWindow window{app, ui, &simulated};
  QueuedFileDialogs dialogs;
};

}  // namespace kestrum::testing
