// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration box widgets.
#include "gui/config_box_widget.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include "buffers/workspace.hpp"
#include "device/config_word.hpp"
#include "device/texts.hpp"
#include "gui/byte_text.hpp"

namespace kestrum {
namespace {

void ShowList(const ConfigListBox& model, QWidget* row, QLabel* label, QComboBox* list) {
  label->setText(Utf8(model.Caption));
  row->setVisible(model.Visible);
  list->setEnabled(model.Enabled);
  QStringList items;
  for (const std::string& item : model.Items) items << Utf8(item);
  QStringList shown;
  for (int i = 0; i < list->count(); ++i) shown << list->itemText(i);
  if (items != shown) {
    list->clear();
    list->addItems(items);
  }
  list->setCurrentIndex(model.Selected);
}

}  // namespace

IdLineEdit::IdLineEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(static_cast<int>(kIdBoxMaxLength));
}

void IdLineEdit::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  const bool chord = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
  // Printable keys pass the filter; editing keys and shortcuts (Ctrl+V) work as in any box.
  if (!chord && text.size() == 1 && text.at(0).unicode() >= 32 && text.at(0).unicode() != 127) {
    const char16_t c = text.at(0).unicode();
    const std::optional<char> accepted = c < 128 ? FilterIdKey(static_cast<char>(c)) : std::nullopt;
    if (!accepted) {
      event->accept();
      return;
    }
    if (*accepted != static_cast<char>(c)) {
      insert(QString(QLatin1Char(*accepted)));
      event->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}

void IdLineEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* useChecksum = menu.addAction(Utf8(text::kUseChecksum));
  QAction* paste = menu.addAction(Utf8(text::kIdPaste));
  paste->setShortcut(QKeySequence::Paste);
  paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen == useChecksum) emit UseChecksumRequested();
  if (chosen == paste) this->paste();
}

ConfigBoxWidget::ConfigBoxWidget(Workspace& workspace, QWidget* parent)
    : QGroupBox(Utf8(text::kConfigBoxCaption), parent),
      workspace_(workspace),
      oscillatorLabel_(new QLabel(Utf8(text::kOscillatorLabel))),
      oscillator_(new QComboBox),
      codeProtectLabel_(new QLabel(Utf8(text::kCodeProtectLabel))),
      codeProtect_(new QComboBox),
      brownOutLabel_(new QLabel(Utf8(text::kBrownOutLabel))),
      brownOut_(new QComboBox),
      fusesLabel_(new QLabel(Utf8(text::kFusesLabel))),
      idLabel_(new QLabel(Utf8(text::kIdValueLabel))),
      id_(new IdLineEdit),
      checksumLabel_(new QLabel(Utf8(text::kChecksumLabel))),
      checksum_(new QLineEdit),
      configWord_(new QLabel(Utf8(text::kConfigWordInitial))),
      moreConfigWords_(new QLabel) {
  oscillator_->setToolTip(Utf8(text::kOscillatorHint));
  codeProtect_->setToolTip(Utf8(text::kCodeProtectHint));
  id_->setToolTip(Utf8(text::kIdHint));
  checksum_->setToolTip(Utf8(text::kChecksumHint));
  checksum_->setReadOnly(true);
  checksum_->setFocusPolicy(Qt::ClickFocus);
  configWord_->setToolTip(Utf8(text::kConfigWordHint));
  oscillatorLabel_->setBuddy(oscillator_);
  codeProtectLabel_->setBuddy(codeProtect_);
  brownOutLabel_->setBuddy(brownOut_);
  idLabel_->setBuddy(id_);
  checksumLabel_->setBuddy(checksum_);
  // Room for four digits in either box, in the boxes' own font.
  const int digits = id_->fontMetrics().horizontalAdvance(QStringLiteral("DDDDD")) + 16;
  for (QLineEdit* box : {static_cast<QLineEdit*>(id_), checksum_}) {
    box->setMinimumWidth(digits);
    box->setMaximumWidth(2 * digits);
  }

  // Each row is a widget of its own, so a hidden row leaves no gap.
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(10);
  const auto row = [&](QLayout* content) {
    auto* widget = new QWidget;
    content->setContentsMargins(0, 0, 0, 0);
    widget->setLayout(content);
    layout->addWidget(widget);
    return widget;
  };
  const auto listRow = [&](QLabel* label, QComboBox* list) {
    auto* content = new QVBoxLayout;
    content->setSpacing(3);
    content->addWidget(label);
    content->addWidget(list);
    return row(content);
  };
  oscillatorRow_ = listRow(oscillatorLabel_, oscillator_);
  codeProtectRow_ = listRow(codeProtectLabel_, codeProtect_);
  brownOutRow_ = listRow(brownOutLabel_, brownOut_);
  auto* fuseContent = new QVBoxLayout;
  fuseContent->setSpacing(3);
  fuseContent->addWidget(fusesLabel_);
  auto* fuseGrid = new QGridLayout;
  fuseGrid->setHorizontalSpacing(12);
  fuseGrid->setVerticalSpacing(2);
  fuseGrid->setContentsMargins(4, 0, 0, 0);
  for (int i = 0; i < static_cast<int>(fuses_.size()); ++i) {
    auto* box = new QCheckBox;
    fuses_[static_cast<std::size_t>(i)] = box;
    fuseGrid->addWidget(box, i / 2, i % 2);
    connect(box, &QCheckBox::clicked, this, [this, i](bool checked) { FuseClicked(i, checked); });
  }
  fuseContent->addLayout(fuseGrid);
  fusesRow_ = row(fuseContent);
  moreRow_ = row(new QGridLayout);
  auto* idGrid = new QGridLayout;
  idGrid->setHorizontalSpacing(12);
  idGrid->setVerticalSpacing(3);
  idGrid->setColumnStretch(2, 1);
  idGrid->addWidget(idLabel_, 0, 0);
  idGrid->addWidget(checksumLabel_, 0, 1);
  idGrid->addWidget(id_, 1, 0);
  idGrid->addWidget(checksum_, 1, 1);
  row(idGrid);
  layout->addWidget(configWord_);
  moreConfigWords_->setToolTip(Utf8(text::kConfigWordHint));
  layout->addWidget(moreConfigWords_);
  layout->addStretch(1);

  connect(oscillator_, &QComboBox::activated, this, [this](int i) { ListChosen(0, i); });
  connect(codeProtect_, &QComboBox::activated, this, [this](int i) { ListChosen(1, i); });
  connect(brownOut_, &QComboBox::activated, this, [this](int i) { ListChosen(2, i); });
  connect(id_, &QLineEdit::textEdited, this, &ConfigBoxWidget::IdEdited);
  connect(id_, &IdLineEdit::UseChecksumRequested, this, &ConfigBoxWidget::UseChecksum);
  Sync();
}

void ConfigBoxWidget::Sync() {
  syncing_ = true;
  const ConfigBox& box = workspace_.Config;
  ShowList(box.Oscillator, oscillatorRow_, oscillatorLabel_, oscillator_);
  ShowList(box.CodeProtect, codeProtectRow_, codeProtectLabel_, codeProtect_);
  ShowList(box.BrownOut, brownOutRow_, brownOutLabel_, brownOut_);
  fusesLabel_->setVisible(box.FusesLabelVisible);
  bool anyFuse = false;
  for (const FuseCheckBox& fuse : box.Fuses) anyFuse |= fuse.Visible;
  fusesRow_->setVisible(anyFuse || box.FusesLabelVisible);
  for (std::size_t i = 0; i < fuses_.size(); ++i) {
    const FuseCheckBox& fuse = box.Fuses[i];
    QCheckBox* widget = fuses_[i];
    widget->setText(Utf8(fuse.Caption));
    widget->setToolTip(Utf8(fuse.ToolTip));
    widget->setVisible(fuse.Visible);
    widget->setEnabled(fuse.Enabled);
    widget->setChecked(fuse.Checked);
  }
  idLabel_->setVisible(box.IdBoxVisible);
  id_->setVisible(box.IdBoxVisible);
  id_->setEnabled(box.IdBoxEnabled);
  const QString idText = Utf8(box.IdText);
  if (id_->text() != idText) id_->setText(idText);
  checksum_->setText(Utf8(box.ChecksumText));
  configWord_->setVisible(box.ConfigLabelVisible);
  configWord_->setText(Utf8(box.ConfigLabel));
  RebuildMore();
  for (std::size_t i = 0; i < moreControls_.size(); ++i) {
    const ConfigMoreControl& control = box.More[i];
    if (auto* check = qobject_cast<QCheckBox*>(moreControls_[i])) {
      check->setChecked(control.Checked);
    } else if (auto* list = qobject_cast<QComboBox*>(moreControls_[i])) {
      list->setCurrentIndex(control.Selected);
    }
  }
  QStringList words;
  for (const std::string& label : box.MoreConfigLabels) words << Utf8(label);
  moreConfigWords_->setText(words.join(QLatin1Char('\n')));
  moreConfigWords_->setVisible(box.ConfigLabelVisible && !words.isEmpty());
  syncing_ = false;
}

// The further controls are built again only when the device's layout asks for others.
void ConfigBoxWidget::RebuildMore() {
  std::vector<ConfigMoreShape> shape;
  for (const ConfigMoreControl& control : workspace_.Config.More) {
    shape.push_back({control.Caption, control.Items});
  }
  if (shape == moreShape_) return;
  moreShape_ = shape;
  for (QWidget* widget : moreCells_) delete widget;
  moreCells_.clear();
  moreControls_.clear();
  auto* grid = static_cast<QGridLayout*>(moreRow_->layout());
  for (int i = 0; i < static_cast<int>(shape.size()); ++i) {
    if (shape[i].Items.empty()) {
      auto* check = new QCheckBox(Utf8(shape[i].Caption));
      connect(check, &QCheckBox::clicked, this, [this, i](bool on) { MoreChanged(i, on ? 1 : 0); });
      grid->addWidget(check, i / 2, i % 2);
      moreCells_.push_back(check);
      moreControls_.push_back(check);
      continue;
    }
    auto* cell = new QWidget;
    auto* content = new QVBoxLayout(cell);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(3);
    auto* label = new QLabel(Utf8(shape[i].Caption));
    auto* list = new QComboBox;
    for (const std::string& item : shape[i].Items) list->addItem(Utf8(item));
    label->setBuddy(list);
    content->addWidget(label);
    content->addWidget(list);
    connect(list, &QComboBox::activated, this, [this, i](int index) { MoreChanged(i, index); });
    grid->addWidget(cell, i / 2, i % 2);
    moreCells_.push_back(cell);
    moreControls_.push_back(list);
  }
  // Widgets put into a shown box would only show later.
  for (QWidget* cell : moreCells_) cell->show();
  moreRow_->setVisible(!shape.empty());
}

void ConfigBoxWidget::MoreChanged(int index, int value) {
  if (syncing_) return;
  ConfigMoreControl& control = workspace_.Config.More[static_cast<std::size_t>(index)];
  if (control.Items.empty()) {
    control.Checked = value != 0;
  } else {
    control.Selected = value;
  }
  workspace_.ComboBox1Change();
  Finish();
}

void ConfigBoxWidget::ListChosen(int list, int index) {
  if (syncing_) return;
  ConfigBox& box = workspace_.Config;
  ConfigListBox* lists[] = {&box.Oscillator, &box.CodeProtect, &box.BrownOut};
  lists[list]->Select(index);
  workspace_.ComboBox1Change();
  Finish();
}

void ConfigBoxWidget::FuseClicked(int index, bool checked) {
  if (syncing_) return;
  workspace_.Config.Fuses[static_cast<std::size_t>(index)].Checked = checked;
  workspace_.ComboBox1Change();
  Finish();
}

void ConfigBoxWidget::IdEdited(const QString& text) {
  if (syncing_) return;
  workspace_.Config.SetIdText(workspace_.Device, workspace_.Active(), text.toStdString());
  Finish();
}

void ConfigBoxWidget::UseChecksum() {
  workspace_.Config.UseChecksum(workspace_.Device, workspace_.Active());
  Finish();
}

void ConfigBoxWidget::Finish() {
  Sync();
  emit Changed();
}

}  // namespace kestrum
