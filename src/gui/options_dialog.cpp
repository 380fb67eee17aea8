// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialog.
#include "gui/options_dialog.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/byte_text.hpp"
#include "gui/texts.hpp"

namespace kestrum {
namespace {

// A page: its label on top, then its controls.
QWidget* Page(std::string_view label, QVBoxLayout*& layout) {
  auto* page = new QWidget;
  layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(Utf8(label)));
  return page;
}

}  // namespace

void FillDeviceBox(QComboBox& box, const DeviceList& list) {
  box.clear();
  for (int i = 0; i < list.Size(); ++i) {
    // The list's separator lines are drawn as separators, which cannot be chosen; each is
    // still one item, so the box's indexes are the list's.
    if (list.IsSeparator(i)) {
      box.insertSeparator(i);
    } else {
      box.addItem(Utf8(list.Items()[static_cast<std::size_t>(i)]));
    }
  }
  box.setMaxVisibleItems(24);
}

OptionsDialog::OptionsDialog(const DeviceList& list, QWidget* parent)
    : QDialog(parent), list_(list) {
  setWindowTitle(Utf8(text::kOptionsTitle));
  setModal(true);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint |
                 Qt::WindowCloseButtonHint);
  pages_ = new QTabWidget;
  pages_->setUsesScrollButtons(false);

  const auto box = [this](QVBoxLayout* layout, std::string_view key, std::string_view caption) {
    auto* check = new QCheckBox(Utf8(caption));
    layout->addWidget(check);
    boxes_.emplace_back(key, check);
    return check;
  };
  QVBoxLayout* l = nullptr;

  QWidget* confirmation = Page(text::kOptionsAskConfirmation, l);
  box(l, "Progging", text::kOptionProgramming);
  box(l, "Erasing", text::kOptionErasing);
  box(l, "Overwrite", text::kOptionOverwriting);
  box(l, "Warning", text::kOptionCodeProtecting);
  l->addStretch(1);
  pages_->addTab(confirmation, Utf8(text::kPageConfirmation));

  QWidget* notification = Page(text::kOptionsNotify, l);
  box(l, "IDCheck", text::kOptionIdMissing);
  box(l, "ConfigCheck", text::kOptionConfigMissing);
  l->addStretch(1);
  pages_->addTab(notification, Utf8(text::kPageNotification));

  QWidget* i2c = Page(text::kOptionsLabel, l);
  box(l, "EnableMCLR", text::kOptionMclrAsVcc);
  box(l, "PageWrite", text::kOptionPageWrite);
  l->addStretch(1);
  pages_->addTab(i2c, Utf8(text::kPageI2c));

  QWidget* programming = Page(text::kOptionsLabel, l);
  box(l, "Verify", text::kOptionVerifyAfter);
  box(l, "VerDurProg", text::kOptionVerifyDuring);
  box(l, "DeviceIdCheck", text::kOptionDeviceIdCheck);
  box(l, "OverwriteCalibration", text::kOptionOverwriteCalibration);
  box(l, "ProgramErasedWords", text::kOptionProgramErasedWords)
      ->setToolTip(Utf8(text::kProgramErasedWordsHint));
  box(l, "WriteOnlyDiffers", text::kOptionWriteOnlyDiffers)
      ->setToolTip(Utf8(text::kWriteOnlyDiffersHint));
  l->addStretch(1);
  pages_->addTab(programming, Utf8(text::kPageProgramming));

  QWidget* shortcuts = Page(text::kOptionsShortcuts, l);
  auto* grid = new QGridLayout;
  for (int n = 0; n < kDeviceShortcuts; ++n) {
    auto* combo = new QComboBox;
    FillDeviceBox(*combo, list);
    shortcuts_[static_cast<std::size_t>(n)] = combo;
    // A separator line puts the list back to its last device.
    connect(combo, &QComboBox::currentIndexChanged, this, [this, n, combo](int index) {
      auto& last = lastValid_[static_cast<std::size_t>(n)];
      const int choice = ShortcutChoice(list_, last, index);
      last = choice;
      if (choice != index) {
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(choice);
      }
    });
    auto* label = new QLabel(Utf8(text::kShortcutLabel) + QString::number(n + 1));
    label->setBuddy(combo);
    grid->addWidget(label, n / 2 * 2, n % 2);
    grid->addWidget(combo, n / 2 * 2 + 1, n % 2);
  }
  l->addLayout(grid);
  l->addStretch(1);
  pages_->addTab(shortcuts, Utf8(text::kPageShortcuts));

  QWidget* dragDrop = Page(text::kOptionsLabel, l);
  QCheckBox* dropBox = box(l, "DragDrop", text::kOptionDragDrop);
  const QStringList types = {Utf8(text::kTypeIhx8),     Utf8(text::kTypeIhx16),
                             Utf8(text::kTypeBinary),   Utf8(text::kTypeObject),
                             Utf8(text::kTypeMotorola), Utf8(text::kTypeEeprom),
                             Utf8(text::kTypeAny)};
  codeType_ = new QComboBox;
  dataType_ = new QComboBox;
  codeType_->addItems(types);
  dataType_->addItems(types);
  auto* codeTypeLabel = new QLabel(Utf8(text::kOptionCodeFileType));
  codeTypeLabel->setBuddy(codeType_);
  l->addWidget(codeTypeLabel);
  l->addWidget(codeType_);
  auto* dataTypeLabel = new QLabel(Utf8(text::kOptionDataFileType));
  dataTypeLabel->setBuddy(dataType_);
  l->addWidget(dataTypeLabel);
  l->addWidget(dataType_);
  connect(dropBox, &QCheckBox::toggled, this, [this](bool on) {
    codeType_->setEnabled(on);
    dataType_->setEnabled(on);
  });
  l->addStretch(1);
  pages_->addTab(dragDrop, Utf8(text::kPageDragDrop));

  QWidget* smartcard = Page(text::kOptionsLabel, l);
  pic16c84_ = new QRadioButton(Utf8(text::kOptionPic16C84));
  pic16f84_ = new QRadioButton(Utf8(text::kOptionPic16F84));
  l->addWidget(pic16c84_);
  l->addWidget(pic16f84_);
  l->addStretch(1);
  pages_->addTab(smartcard, Utf8(text::kPageSmartcard));

  QWidget* misc = Page(text::kOptionsLabel, l);
  auto* priority = new QGroupBox(Utf8(text::kPriorityGroup));
  auto* priorityLayout = new QHBoxLayout(priority);
  constexpr std::array<std::string_view, 3> kPriorities = {
      text::kPriorityNormal, text::kPriorityHigh, text::kPriorityRealtime};
  for (std::size_t i = 0; i < kPriorities.size(); ++i) {
    priority_[i] = new QRadioButton(Utf8(kPriorities[i]));
    priorityLayout->addWidget(priority_[i]);
  }
  priority->setToolTip(Utf8(text::kPriorityHint));
  l->addWidget(priority);
  QCheckBox* driver = box(l, "UsesDriver", text::kOptionDriver);
  // There is no port driver service on this system: the box stays unchecked and unseen.
  driver->setEnabled(false);
  driver->setVisible(false);
  box(l, "PowerControl", text::kOptionJdmVcc);
  l->addStretch(1);
  pages_->addTab(misc, Utf8(text::kPageMisc));

  auto* ok = new QPushButton(Utf8(text::kOk));
  auto* cancel = new QPushButton(Utf8(text::kCancel));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QCheckBox* OptionsDialog::Box(std::string_view key) const {
  for (const auto& [name, box] : boxes_) {
    if (name == key) return box;
  }
  return nullptr;
}

void OptionsDialog::Prepare(const OptionsForm& form) {
  pages_->setCurrentIndex(0);
  Show(form);
}

std::optional<OptionsForm> OptionsDialog::Run(const OptionsForm& form) {
  Prepare(form);
  if (exec() != QDialog::Accepted) return std::nullopt;
  return Take();
}

void OptionsDialog::Show(const OptionsForm& f) {
  const std::pair<std::string_view, bool> values[] = {
      {"Progging", f.Progging},
      {"Erasing", f.Erasing},
      {"Overwrite", f.Overwrite},
      {"Warning", f.Warning},
      {"IDCheck", f.IDCheck},
      {"ConfigCheck", f.ConfigCheck},
      {"EnableMCLR", f.EnableMCLR},
      {"PageWrite", f.PageWrite},
      {"Verify", f.Verify},
      {"VerDurProg", f.VerDurProg},
      {"DragDrop", f.DragDrop},
      {"UsesDriver", false},
      {"PowerControl", f.PowerControl},
      {"DeviceIdCheck", f.DeviceIdCheck},
      {"OverwriteCalibration", f.OverwriteCalibration},
      {"ProgramErasedWords", f.ProgramErasedWords},
      {"WriteOnlyDiffers", f.WriteOnlyDiffers}};
  for (const auto& [key, value] : values) Box(key)->setChecked(value);
  for (int n = 0; n < kDeviceShortcuts; ++n) {
    const auto i = static_cast<std::size_t>(n);
    lastValid_[i] = f.Shortcuts[i];
    const QSignalBlocker block(shortcuts_[i]);
    shortcuts_[i]->setCurrentIndex(f.Shortcuts[i]);
  }
  codeType_->setCurrentIndex(f.CodeType);
  dataType_->setCurrentIndex(f.DataType);
  codeType_->setEnabled(f.DragDrop);
  dataType_->setEnabled(f.DragDrop);
  (f.SmartWiz ? pic16c84_ : pic16f84_)->setChecked(true);
  priority_[static_cast<std::size_t>(f.Priority)]->setChecked(true);
}

OptionsForm OptionsDialog::Take() const {
  OptionsForm f;
  f.Progging = Box("Progging")->isChecked();
  f.Erasing = Box("Erasing")->isChecked();
  f.Overwrite = Box("Overwrite")->isChecked();
  f.Warning = Box("Warning")->isChecked();
  f.IDCheck = Box("IDCheck")->isChecked();
  f.ConfigCheck = Box("ConfigCheck")->isChecked();
  f.EnableMCLR = Box("EnableMCLR")->isChecked();
  f.PageWrite = Box("PageWrite")->isChecked();
  f.Verify = Box("Verify")->isChecked();
  f.VerDurProg = Box("VerDurProg")->isChecked();
  f.DeviceIdCheck = Box("DeviceIdCheck")->isChecked();
  f.OverwriteCalibration = Box("OverwriteCalibration")->isChecked();
  f.ProgramErasedWords = Box("ProgramErasedWords")->isChecked();
  f.WriteOnlyDiffers = Box("WriteOnlyDiffers")->isChecked();
  for (int n = 0; n < kDeviceShortcuts; ++n) {
    f.Shortcuts[static_cast<std::size_t>(n)] = lastValid_[static_cast<std::size_t>(n)];
  }
  f.DragDrop = Box("DragDrop")->isChecked();
  f.CodeType = codeType_->currentIndex();
  f.DataType = dataType_->currentIndex();
  f.SmartWiz = pic16c84_->isChecked();
  for (int i = 0; i < 3; ++i) {
    if (priority_[static_cast<std::size_t>(i)]->isChecked()) f.Priority = i;
  }
  f.UsesDriver = false;
  f.PowerControl = Box("PowerControl")->isChecked();
  return f;
}

}  // namespace kestrum
