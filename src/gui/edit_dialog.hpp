// SPDX-License-Identifier: GPL-3.0-or-later
// The hex views' "Edit" dialog: the linked "Decimal", "Hexadecimal" and "Ascii" fields and,
// for the ranged fills, "From..." and "To...". It opens for editing one location and for the
// four fills; the dialog remembers which data field was entered last and starts there.
#pragma once

#include <QDialog>

#include <cstdint>

#include "buffers/hex_view.hpp"

class QGroupBox;
class QLineEdit;

namespace kestrum {

class EditDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit EditDialog(QWidget* parent = nullptr);

  // Shows the dialog modally, set up for a command; true on OK. `mask` is the device's
  // `BlankValue`, which links the fields.
  bool Run(const EditDialogSetup& setup, std::uint16_t mask);

  std::string DecimalText() const;
  std::string FromText() const;
  std::string ToText() const;

  QLineEdit* DecimalEdit() const { return decimal_; }
  QLineEdit* HexEdit() const { return hex_; }
  QLineEdit* AsciiEdit() const { return ascii_; }
  QLineEdit* FromEdit() const { return from_; }
  QLineEdit* ToEdit() const { return to_; }
  QGroupBox* AddressGroup() const { return addressGroup_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowFields(const EditFields& fields);
  EditFields Fields() const;
  void Edited(EditField field);

  QLineEdit* decimal_;
  QLineEdit* hex_;
  QLineEdit* ascii_;
  QLineEdit* from_;
  QLineEdit* to_;
  QGroupBox* addressGroup_;
  std::uint16_t mask_ = 0xFFFF;
  QLineEdit* lastField_;
  bool showing_ = false;
};

}  // namespace kestrum
