// SPDX-License-Identifier: GPL-3.0-or-later
// The "Hardware settings" dialog: programmer type, port (with the device file each port
// opens), the virtual programmer, interface, inversions and I/O delay. It shows a
// HardwareForm and hands it back on OK; the application applies and stores it.
#pragma once

#include <QDialog>

#include <array>
#include <optional>

#include "app/hardware_form.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace kestrum {

class HardwareDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit HardwareDialog(QWidget* parent = nullptr);

  // Fills the controls from `settings` (ports tested with `opener`) and shows the dialog
  // modally. The first-start form has Cancel disabled and no close icon: only OK leaves it.
  // `virtualFixed`: the run uses the virtual programmer whatever is chosen (--simulate), so
  // its box shows it ticked and cannot be changed. The form on OK, nothing on Cancel.
  std::optional<HardwareForm> Run(const HardwareSettings& settings, PortOpener& opener,
                                  bool firstStart, bool virtualFixed = false);
  // The programmers of the user's programmers.toml, listed after the types from the next
  // filling on.
  void SetUserProgrammers(ProgrammerDefinitions user) { user_ = std::move(user); }
  // The filling alone, for a dialog shown without waiting (the screenshots).
  void Prepare(const HardwareSettings& settings, PortOpener& opener, bool firstStart,
               bool virtualFixed = false);

  QComboBox* ProgrammerList() const { return programmer_; }
  QRadioButton* PortButton(int index) const { return ports_[static_cast<std::size_t>(index)]; }
  QLineEdit* DeviceFileEdit(int index) const { return files_[static_cast<std::size_t>(index)]; }
  // The ports found: first "the port chosen above", then one entry a port.
  QComboBox* FoundPortList() const { return found_; }
  QLineEdit* FtdiDeviceEdit() const { return ftdiDevice_; }
  QLineEdit* PinMapEdit() const { return bitBangPins_; }
  QCheckBox* VirtualBox() const { return virtual_; }
  QRadioButton* DirectIoButton() const { return directIo_; }
  QRadioButton* ApiButton() const { return api_; }
  QCheckBox* InvertBox(InvertBox box) const { return inverts_[static_cast<std::size_t>(box)]; }
  QSlider* DelaySlider() const { return delay_; }
  QLabel* DelayLabel() const { return delayLabel_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  bool FirstStartForm() const { return firstStart_; }

 public slots:
  // OK: refused, with the reason, while the pin map or the FTDI device cannot be used.
  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowForm();
  void TakeControls();
  void ProgrammerChosen(int index);
  void FoundPortChosen(int index);

  HardwareForm form_;
  ProgrammerDefinitions user_;
  PortOpener* opener_ = nullptr;
  bool firstStart_ = false;
  bool showing_ = false;

  QComboBox* programmer_ = nullptr;
  std::array<QRadioButton*, kPortButtons> ports_{};
  std::array<QLineEdit*, kPortButtons> files_{};
  QComboBox* found_ = nullptr;
  QLineEdit* ftdiDevice_ = nullptr;
  QLineEdit* bitBangPins_ = nullptr;
  QCheckBox* virtual_ = nullptr;
  QRadioButton* directIo_ = nullptr;
  QRadioButton* api_ = nullptr;
  std::array<QCheckBox*, kInvertBoxes> inverts_{};
  QSlider* delay_ = nullptr;
  QLabel* delayLabel_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace kestrum
