// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo of the five buffers, and which of them hold changes that are not saved: one
// undo stack per slot (the active slot's is the one Undo and Redo act on), each step the
// difference a command made to its slot. A slot is unmodified at the step where it was
// loaded, saved or reset by a device change.
#pragma once

#include <QObject>
#include <QUndoGroup>

#include <array>

#include "buffers/buffer_set.hpp"
#include "buffers/slot_change.hpp"

class QUndoStack;

namespace kestrum {

class BufferHistory final : public QObject {
  Q_OBJECT

 public:
  // Steps kept per slot; older ones are dropped.
  static constexpr int kStepLimit = 200;

  explicit BufferHistory(BufferSet& buffers, QObject* parent = nullptr);

  // Every step forgotten and every slot unmodified as it is now (a device change, start-up).
  void Reset();
  // What changed in `slot` since the last step becomes one step named `label`; false when
  // nothing did.
  bool Record(int slot, const QString& label);
  // What changed in `slot` is taken as it is, without a step of its own: the program's own
  // adjustments (the configuration word rebuilt from its controls, bytes masked on saving).
  void Absorb(int slot);
  // The slot is as its file holds it.
  void MarkSaved(int slot);
  bool Modified(int slot) const;
  // Undo and Redo act on this slot's steps.
  void SetActive(int slot);
  QUndoGroup& Group() { return group_; }
  QUndoStack& Stack(int slot) { return *stacks_[static_cast<std::size_t>(slot)]; }

  // A step undone or redone.
  void Apply(int slot, const SlotChange& change, bool undo);

 signals:
  // An undo or redo changed `slot`.
  void SlotRestored(int slot);
  // A slot became modified or unmodified.
  void ModifiedChanged();

 private:
  BufferSet& buffers_;
  QUndoGroup group_;
  std::array<QUndoStack*, kBufferSlots> stacks_{};
  // Each slot as its steps leave it.
  std::array<BufferSlot, kBufferSlots> shadows_;
};

}  // namespace kestrum
