// SPDX-License-Identifier: GPL-3.0-or-later
// The Edit dialog.
#include "gui/edit_dialog.hpp"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/byte_text.hpp"
#include "gui/texts.hpp"

namespace kestrum {
namespace {

QLineEdit* Field(int maxLength) {
  auto* edit = new QLineEdit;
  edit->setMaxLength(maxLength);
  const int width = edit->fontMetrics().horizontalAdvance(QString(maxLength + 2, QLatin1Char('D')));
  edit->setMinimumWidth(width + 12);
  return edit;
}

}  // namespace

EditDialog::EditDialog(QWidget* parent)
    : QDialog(parent),
      decimal_(Field(5)),
      hex_(Field(4)),
      ascii_(Field(1)),
      from_(Field(4)),
      to_(Field(4)),
      addressGroup_(new QGroupBox(Utf8(text::kEditAddressGroup))),
      lastField_(decimal_) {
  setModal(true);
  auto* dataGroup = new QGroupBox(Utf8(text::kEditDataGroup));
  auto* dataForm = new QFormLayout(dataGroup);
  dataForm->addRow(Utf8(text::kEditDecimal), decimal_);
  dataForm->addRow(Utf8(text::kEditHexadecimal), hex_);
  dataForm->addRow(Utf8(text::kEditAscii), ascii_);
  auto* addressForm = new QFormLayout(addressGroup_);
  addressForm->addRow(Utf8(text::kEditFrom), from_);
  addressForm->addRow(Utf8(text::kEditTo), to_);

  auto* buttons = new QDialogButtonBox;
  QPushButton* ok = buttons->addButton(Utf8(text::kOk), QDialogButtonBox::AcceptRole);
  buttons->addButton(Utf8(text::kCancel), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* groups = new QHBoxLayout;
  groups->addWidget(dataGroup);
  groups->addWidget(addressGroup_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  for (QLineEdit* edit : {decimal_, hex_, ascii_, from_, to_}) edit->installEventFilter(this);
  connect(decimal_, &QLineEdit::textEdited, this, [this] { Edited(EditField::Decimal); });
  connect(hex_, &QLineEdit::textEdited, this, [this] { Edited(EditField::Hex); });
  connect(ascii_, &QLineEdit::textEdited, this, [this] { Edited(EditField::Ascii); });
}

bool EditDialog::Run(const EditDialogSetup& setup, std::uint16_t mask) {
  mask_ = mask;
  setWindowTitle(Utf8(setup.Caption));
  ShowFields(setup.Fields);
  addressGroup_->setVisible(setup.AddressVisible);
  from_->setText(Utf8(setup.From));
  to_->setText(Utf8(setup.To));
  setMinimumWidth(setup.Width);
  lastField_->setFocus();
  lastField_->selectAll();
  return exec() == QDialog::Accepted;
}

std::string EditDialog::DecimalText() const {
  return decimal_->text().toStdString();
}
std::string EditDialog::FromText() const {
  return from_->text().toStdString();
}
std::string EditDialog::ToText() const {
  return to_->text().toStdString();
}

void EditDialog::ShowFields(const EditFields& fields) {
  showing_ = true;
  decimal_->setText(Utf8(fields.Decimal));
  hex_->setText(Utf8(fields.Hex));
  const auto byte = static_cast<unsigned char>(fields.Ascii);
  ascii_->setText(byte < 32 ? QString() : QString(ByteChar(byte)));
  showing_ = false;
}

EditFields EditDialog::Fields() const {
  EditFields fields;
  fields.Decimal = decimal_->text().toStdString();
  fields.Hex = hex_->text().toStdString();
  const QString ascii = ascii_->text();
  const int byte = ascii.isEmpty() ? 0 : CharByte(ascii.at(0));
  fields.Ascii = static_cast<char>(byte < 0 ? 0 : byte);
  return fields;
}

void EditDialog::Edited(EditField field) {
  if (showing_) return;
  ShowFields(LinkEditFields(field, Fields(), mask_));
}

bool EditDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == decimal_ || watched == hex_ || watched == ascii_) {
      lastField_ = static_cast<QLineEdit*>(watched);
    }
  }
  if (event->type() != QEvent::KeyPress || watched == ascii_) {
    return QDialog::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  const QString text = key->text();
  if (text.size() != 1 || text.at(0).unicode() < 32 || text.at(0).unicode() == 127 ||
      (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    return QDialog::eventFilter(watched, event);
  }
  const char16_t c = text.at(0).unicode();
  const char typed = c < 128 ? static_cast<char>(c) : '\x7f';
  const std::optional<char> accepted =
      watched == decimal_ ? FilterDecimalKey(typed) : FilterHexKey(typed);
  if (!accepted) return true;  // the key is discarded
  if (*accepted != typed) {
    auto* edit = static_cast<QLineEdit*>(watched);
    edit->insert(QString(QLatin1Char(*accepted)));
    if (edit == hex_) Edited(EditField::Hex);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace kestrum
