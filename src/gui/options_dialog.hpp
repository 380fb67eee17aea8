// SPDX-License-Identifier: GPL-3.0-or-later
// The "Options" dialog: eight pages of preferences (confirmations, notifications, I²C,
// programming, device shortcuts, drag and drop, smartcard, priority and driver). It shows an
// OptionsForm and hands it back on OK; the application applies and stores it.
#pragma once

#include <QDialog>

#include <array>
#include <optional>

#include "app/options_form.hpp"

class QCheckBox;
class QComboBox;
class QRadioButton;
class QTabWidget;

namespace kestrum {

// The device list in a box (the tool bar's, the shortcut lists): devices as items, the list's
// separator lines as the box's own separators, at the same indexes.
void FillDeviceBox(QComboBox& box, const DeviceList& list);

class OptionsDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit OptionsDialog(const DeviceList& list, QWidget* parent = nullptr);

  // Shows the "Confirmation" page first, every control from `form`; the form on OK.
  std::optional<OptionsForm> Run(const OptionsForm& form);
  // The filling alone, for a dialog shown without waiting (the screenshots).
  void Prepare(const OptionsForm& form);

  QTabWidget* Pages() const { return pages_; }
  // The check boxes by their settings key ("Progging", "PageWrite" for "Enable PAGE-WRITE").
  QCheckBox* Box(std::string_view key) const;
  QComboBox* ShortcutList(int n) const { return shortcuts_[static_cast<std::size_t>(n)]; }
  QComboBox* CodeTypeList() const { return codeType_; }
  QComboBox* DataTypeList() const { return dataType_; }
  QRadioButton* SmartWizButton(bool pic16c84) const { return pic16c84 ? pic16c84_ : pic16f84_; }
  QRadioButton* PriorityButton(int priority) const {
    return priority_[static_cast<std::size_t>(priority)];
  }

 private:
  void Show(const OptionsForm& form);
  OptionsForm Take() const;

  const DeviceList& list_;
  QTabWidget* pages_ = nullptr;
  std::vector<std::pair<std::string_view, QCheckBox*>> boxes_;
  std::array<QComboBox*, kDeviceShortcuts> shortcuts_{};
  std::array<int, kDeviceShortcuts> lastValid_{};
  QComboBox* codeType_ = nullptr;
  QComboBox* dataType_ = nullptr;
  QRadioButton* pic16c84_ = nullptr;
  QRadioButton* pic16f84_ = nullptr;
  std::array<QRadioButton*, 3> priority_{};
};

}  // namespace kestrum
