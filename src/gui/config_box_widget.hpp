// SPDX-License-Identifier: GPL-3.0-or-later
// The "Configuration " box: the widgets of the configuration box model. Every change the user
// makes goes into the model (which runs `CreateConfig`), and the widgets then show what the
// model holds; Sync() shows it after anything else changed the model.
#pragma once

#include <QGroupBox>
#include <QLineEdit>

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;

namespace kestrum {

class Workspace;

// The ID box: its key filter lets only hexadecimal digits (and editing keys) through; its
// context menu holds "&Use Checksum" and "&Paste".
class IdLineEdit final : public QLineEdit {
  Q_OBJECT

 public:
  explicit IdLineEdit(QWidget* parent = nullptr);

 signals:
  void UseChecksumRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
};

// What the further controls were built for: a caption and its items.
struct ConfigMoreShape {
  std::string Caption;
  std::vector<std::string> Items;
  bool operator==(const ConfigMoreShape&) const = default;
};

class ConfigBoxWidget final : public QGroupBox {
  Q_OBJECT

 public:
  explicit ConfigBoxWidget(Workspace& workspace, QWidget* parent = nullptr);

  // Shows the model's state (without firing the change handlers).
  void Sync();

  QComboBox* OscillatorList() const { return oscillator_; }
  QComboBox* CodeProtectList() const { return codeProtect_; }
  QComboBox* BrownOutList() const { return brownOut_; }
  QLabel* OscillatorLabel() const { return oscillatorLabel_; }
  QCheckBox* FuseBox(int index) const { return fuses_[static_cast<std::size_t>(index)]; }
  IdLineEdit* IdBox() const { return id_; }
  QLineEdit* ChecksumBox() const { return checksum_; }
  QLabel* ConfigWordLabel() const { return configWord_; }
  // The layout's further controls (a QCheckBox or a QComboBox each), in the model's order, and
  // the labels of the configuration words after the first.
  const std::vector<QWidget*>& MoreControls() const { return moreControls_; }
  QLabel* MoreConfigWordLabel() const { return moreConfigWords_; }

 signals:
  // A control changed the slot's configuration.
  void Changed();

 private:
  void ListChosen(int list, int index);
  void FuseClicked(int index, bool checked);
  void MoreChanged(int index, int value);
  void RebuildMore();
  void IdEdited(const QString& text);
  void UseChecksum();
  void Finish();

  Workspace& workspace_;
  bool syncing_ = false;
  QWidget* oscillatorRow_ = nullptr;
  QWidget* codeProtectRow_ = nullptr;
  QWidget* brownOutRow_ = nullptr;
  QWidget* fusesRow_ = nullptr;
  QLabel* oscillatorLabel_;
  QComboBox* oscillator_;
  QLabel* codeProtectLabel_;
  QComboBox* codeProtect_;
  QLabel* brownOutLabel_;
  QComboBox* brownOut_;
  QLabel* fusesLabel_;
  std::array<QCheckBox*, 7> fuses_{};
  QLabel* idLabel_;
  IdLineEdit* id_;
  QLabel* checksumLabel_;
  QLineEdit* checksum_;
  QLabel* configWord_;
  QWidget* moreRow_ = nullptr;
  std::vector<QWidget*> moreControls_;
  std::vector<QWidget*> moreCells_;  // what the grid holds: the boxes, or a list with its label
  std::vector<ConfigMoreShape> moreShape_;
  QLabel* moreConfigWords_;
};

}  // namespace kestrum
