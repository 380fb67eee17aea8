// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware settings dialog.
#include "gui/hardware_dialog.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "app/texts.hpp"
#include "gui/byte_text.hpp"
#include "gui/texts.hpp"
#include "hardware/programmer_file.hpp"
#include "hardware/programmer_types.hpp"

namespace kestrum {

HardwareDialog::HardwareDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Utf8(text::kHardwareTitle));
  setModal(true);

  programmer_ = new QComboBox;
  for (const std::string& name : ProgrammerNames({})) programmer_->addItem(Utf8(name));
  auto* programmerLabel = new QLabel(Utf8(text::kHardwareProgrammer));
  programmerLabel->setBuddy(programmer_);
  connect(programmer_, &QComboBox::activated, this, &HardwareDialog::ProgrammerChosen);

  auto* portsBox = new QGroupBox(Utf8(text::kHardwarePorts));
  auto* portsLayout = new QGridLayout(portsBox);
  auto* portGroup = new QButtonGroup(this);
  for (int i = 0; i < kPortButtons; ++i) {
    auto* button = new QRadioButton;
    auto* file = new QLineEdit;
    file->setToolTip(Utf8(text::kHardwareDeviceFileHint));
    file->setMinimumWidth(file->fontMetrics().horizontalAdvance(QStringLiteral("/dev/parport00")) +
                          16);
    portGroup->addButton(button, i);
    ports_[static_cast<std::size_t>(i)] = button;
    files_[static_cast<std::size_t>(i)] = file;
    portsLayout->addWidget(button, i, 0);
    portsLayout->addWidget(file, i, 1);
    // An edited device file is tested again when the user leaves it.
    connect(file, &QLineEdit::editingFinished, this, [this] {
      if (!showing_) return;
      TakeControls();
      RetestPorts(form_, *opener_);
      ShowForm();
    });
  }
  // A button chosen: the list's choice no longer holds.
  connect(portGroup, &QButtonGroup::idClicked, this, [this] { found_->setCurrentIndex(0); });
  found_ = new QComboBox;
  found_->setToolTip(Utf8(text::kHardwareFoundHint));
  found_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  found_->setMinimumContentsLength(18);
  auto* foundLabel = new QLabel(Utf8(text::kHardwareFound));
  foundLabel->setBuddy(found_);
  portsLayout->addWidget(foundLabel, kPortButtons, 0);
  portsLayout->addWidget(found_, kPortButtons, 1);
  connect(found_, &QComboBox::activated, this, &HardwareDialog::FoundPortChosen);
  // The FTDI types: which chip, and the pins of a board wired by hand.
  ftdiDevice_ = new QLineEdit;
  ftdiDevice_->setToolTip(Utf8(text::kHardwareFtdiDeviceHint));
  bitBangPins_ = new QLineEdit;
  bitBangPins_->setToolTip(Utf8(text::kHardwareBitBangPinsHint));
  // Wide enough for a GPIO header's map, whose lines have two digits.
  bitBangPins_->setMinimumWidth(bitBangPins_->fontMetrics().horizontalAdvance(QStringLiteral(
                                    "DataOut=17 Clock=27 MCLR=23 VCC=!24 DataIn=22")) +
                                16);
  auto* ftdiLabel = new QLabel(Utf8(text::kHardwareFtdiDevice));
  ftdiLabel->setBuddy(ftdiDevice_);
  auto* pinsLabel = new QLabel(Utf8(text::kHardwareBitBangPins));
  pinsLabel->setBuddy(bitBangPins_);
  portsLayout->addWidget(ftdiLabel, kPortButtons + 1, 0);
  portsLayout->addWidget(ftdiDevice_, kPortButtons + 1, 1);
  portsLayout->addWidget(pinsLabel, kPortButtons + 2, 0);
  portsLayout->addWidget(bitBangPins_, kPortButtons + 2, 1);
  virtual_ = new QCheckBox(Utf8(text::kHardwareVirtual));
  virtual_->setToolTip(Utf8(text::kHardwareVirtualHint));
  portsLayout->addWidget(virtual_, kPortButtons + 3, 0, 1, 2);
  connect(virtual_, &QCheckBox::toggled, this, [this] {
    if (!showing_) return;
    TakeControls();
    RetestPorts(form_, *opener_);
    ShowForm();
  });

  auto* interfaceBox = new QGroupBox(Utf8(text::kHardwareInterface));
  auto* interfaceLayout = new QVBoxLayout(interfaceBox);
  directIo_ = new QRadioButton(Utf8(text::kHardwareDirectIo));
  api_ = new QRadioButton(Utf8(text::kHardwareApi));
  directIo_->setToolTip(Utf8(text::kHardwareDirectIoHint));
  api_->setToolTip(Utf8(text::kHardwareApiHint));
  interfaceLayout->addWidget(directIo_);
  interfaceLayout->addWidget(api_);

  auto* communication = new QGroupBox(Utf8(text::kHardwareCommunication));
  auto* communicationLayout = new QGridLayout(communication);
  constexpr std::array<std::string_view, kInvertBoxes> kInvertCaptions = {
      text::kInvertDataOut, text::kInvertDataIn, text::kInvertClock,
      text::kInvertMclr,    text::kInvertVcc,    text::kInvertVpp};
  for (int i = 0; i < kInvertBoxes; ++i) {
    auto* box = new QCheckBox(Utf8(kInvertCaptions[static_cast<std::size_t>(i)]));
    inverts_[static_cast<std::size_t>(i)] = box;
    communicationLayout->addWidget(box, i % 3, i / 3);
  }
  // No programmer drives a separate VPP line.
  inverts_[static_cast<std::size_t>(InvertBox::Vpp)]->setEnabled(false);

  delayLabel_ = new QLabel;
  delay_ = new QSlider(Qt::Horizontal);
  delay_->setRange(kMinIODelay, kMaxIODelay);
  delay_->setSingleStep(1);
  delay_->setPageStep(1);
  delay_->setTickPosition(QSlider::TicksBelow);
  delay_->setTickInterval(1);
  delayLabel_->setBuddy(delay_);
  connect(delay_, &QSlider::valueChanged, this, [this](int value) {
    form_.IODelay = value;
    delayLabel_->setText(Utf8(form_.IODelayCaption()));
  });

  ok_ = new QPushButton(Utf8(text::kOk));
  cancel_ = new QPushButton(Utf8(text::kCancel));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &HardwareDialog::reject);

  auto* left = new QVBoxLayout;
  auto* programmerRow = new QVBoxLayout;
  programmerRow->setSpacing(2);
  programmerRow->addWidget(programmerLabel);
  programmerRow->addWidget(programmer_);
  left->addLayout(programmerRow);
  left->addWidget(portsBox);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(interfaceBox);
  right->addWidget(communication);
  right->addWidget(delayLabel_);
  right->addWidget(delay_);
  right->addStretch(1);
  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 1);
  columns->addSpacing(8);
  columns->addLayout(right, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<HardwareForm> HardwareDialog::Run(const HardwareSettings& settings,
                                                PortOpener& opener, bool firstStart,
                                                bool virtualFixed) {
  Prepare(settings, opener, firstStart, virtualFixed);
  const int result = exec();
  showing_ = false;
  cancel_->setEnabled(true);
  firstStart_ = false;
  if (result != QDialog::Accepted) return std::nullopt;
  TakeControls();
  return form_;
}

void HardwareDialog::Prepare(const HardwareSettings& settings, PortOpener& opener, bool firstStart,
                             bool virtualFixed) {
  opener_ = &opener;
  HardwareSettings shown = settings;
  shown.Virtual = shown.Virtual || virtualFixed;
  form_ = FillHardwareForm(shown, opener, user_);
  {
    const QSignalBlocker block(programmer_);
    programmer_->clear();
    for (const std::string& name : ProgrammerNames(user_)) programmer_->addItem(Utf8(name));
  }
  virtual_->setEnabled(!virtualFixed);
  virtual_->setToolTip(
      Utf8(virtualFixed ? text::kHardwareVirtualFixedHint : text::kHardwareVirtualHint));
  firstStart_ = firstStart;
  cancel_->setEnabled(!firstStart);
  Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
  if (!firstStart) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
  setWindowFlags(flags);
  ShowForm();
  showing_ = true;
}

void HardwareDialog::ShowForm() {
  const QSignalBlocker blockVirtual(virtual_);
  programmer_->setCurrentIndex(form_.Programmer);
  for (int i = 0; i < kPortButtons; ++i) {
    QRadioButton* button = ports_[static_cast<std::size_t>(i)];
    button->setText(Utf8(form_.PortCaption(i)));
    files_[static_cast<std::size_t>(i)]->setAccessibleName(
        Utf8(std::string(text::kHardwareDeviceFileName) + form_.PortCaption(i)));
    button->setEnabled(form_.PortEnabled[static_cast<std::size_t>(i)]);
    files_[static_cast<std::size_t>(i)]->setText(
        Utf8(form_.ShownFiles()[static_cast<std::size_t>(i)]));
  }
  // Radio buttons in a group cannot all be cleared while it is exclusive.
  QButtonGroup* group = ports_[0]->group();
  group->setExclusive(false);
  for (int i = 0; i < kPortButtons; ++i) {
    ports_[static_cast<std::size_t>(i)]->setChecked(i == form_.SelectedPort);
  }
  group->setExclusive(true);
  // The ports found, and a port kept from the settings that is not among them now.
  found_->clear();
  found_->addItem(Utf8(text::kHardwareFoundAbove));
  bool listed = form_.OtherPort.empty();
  for (const FoundPort& port : form_.Found) {
    const std::string shown =
        port.classic.empty() ? port.name : port.name + " (" + port.classic + ")";
    found_->addItem(Utf8(shown + "  " + port.description), Utf8(port.name));
    listed = listed || port.name == form_.OtherPort;
  }
  if (!listed) found_->addItem(Utf8(form_.OtherPort), Utf8(form_.OtherPort));
  found_->setCurrentIndex(
      form_.OtherPort.empty() ? 0 : std::max(0, found_->findData(Utf8(form_.OtherPort))));
  virtual_->setChecked(form_.Virtual);
  const HardwareSettings chosen = form_.Chosen();
  const PortKind kind = PortKindOf(chosen);
  const bool usb = kind == PortKind::Usb;
  // Only the serial and the parallel ports have a device file a button stands for.
  for (QLineEdit* file : files_)
    file->setEnabled(kind == PortKind::Serial || kind == PortKind::Parallel);
  ftdiDevice_->setText(Utf8(form_.FtdiDevice));
  ftdiDevice_->setEnabled(usb);
  bitBangPins_->setText(Utf8(form_.Pins()));
  bitBangPins_->setEnabled(RowOf(chosen).pinsFromSettings);
  (form_.Api ? api_ : directIo_)->setChecked(true);
  for (int i = 0; i < kInvertBoxes; ++i) {
    inverts_[static_cast<std::size_t>(i)]->setChecked(form_.Invert[static_cast<std::size_t>(i)]);
  }
  delay_->setValue(form_.IODelay);
  delayLabel_->setText(Utf8(form_.IODelayCaption()));
}

void HardwareDialog::TakeControls() {
  // The edits hold the device files of the type shown last, which the list may have left.
  form_.SelectedPort = -1;
  for (int i = 0; i < kPortButtons; ++i) {
    if (ports_[static_cast<std::size_t>(i)]->isChecked()) form_.SelectedPort = i;
    form_.ShownFiles()[static_cast<std::size_t>(i)] =
        files_[static_cast<std::size_t>(i)]->text().trimmed().toStdString();
  }
  form_.Pins() = bitBangPins_->text().trimmed().toStdString();
  form_.OtherPort =
      found_->currentIndex() > 0 ? found_->currentData().toString().toStdString() : std::string();
  form_.Programmer = programmer_->currentIndex();
  form_.FtdiDevice = ftdiDevice_->text().trimmed().toStdString();
  form_.Virtual = virtual_->isChecked();
  form_.Api = api_->isChecked();
  for (int i = 0; i < kInvertBoxes; ++i) {
    form_.Invert[static_cast<std::size_t>(i)] = inverts_[static_cast<std::size_t>(i)]->isChecked();
  }
  form_.IODelay = delay_->value();
}

void HardwareDialog::ProgrammerChosen(int index) {
  // The controls still hold what the type shown last uses.
  const int shown = form_.Programmer;
  TakeControls();
  form_.Programmer = shown;
  ProgrammerChanged(form_, index, *opener_);
  ShowForm();
}

void HardwareDialog::FoundPortChosen(int index) {
  TakeControls();
  if (index > 0) {
    // A port with a classic name is that button's.
    form_.SelectedPort = -1;
    for (const FoundPort& port : form_.Found) {
      if (port.name != form_.OtherPort || port.classic.empty()) continue;
      for (int i = 0; i < kPortButtons; ++i) {
        if (form_.PortName(i) == port.classic) form_.SelectedPort = i;
      }
    }
    if (form_.SelectedPort >= 0) form_.OtherPort.clear();
  }
  ShowForm();
}

void HardwareDialog::accept() {
  TakeControls();
  if (const std::string problem = HardwareFormProblem(form_); !problem.empty()) {
    QMessageBox box(QMessageBox::Warning, Utf8(text::kTitleWarning), Utf8(problem), QMessageBox::Ok,
                    this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    if (problem.starts_with(text::kBadPinMapBefore)) {
      bitBangPins_->setFocus();
    } else if (problem.starts_with(text::kBadPortBefore)) {
      found_->setFocus();
    } else {
      ftdiDevice_->setFocus();
    }
    return;
  }
  QDialog::accept();
}

void HardwareDialog::reject() {
  // The first-start form is left with OK only (Escape does nothing).
  if (firstStart_) return;
  QDialog::reject();
}

void HardwareDialog::closeEvent(QCloseEvent* event) {
  if (firstStart_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace kestrum
