// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo of the buffers.
#include "gui/buffer_history.hpp"

#include <QUndoCommand>
#include <QUndoStack>

namespace kestrum {
namespace {

class SlotCommand final : public QUndoCommand {
 public:
  SlotCommand(BufferHistory& history, int slot, SlotChange change, const QString& label)
      : QUndoCommand(label), history_(history), slot_(slot), change_(std::move(change)) {}

  void undo() override { history_.Apply(slot_, change_, true); }
  void redo() override {
    // Pushed after the change was made: the first redo has nothing to do.
    if (done_) {
      done_ = false;
      return;
    }
    history_.Apply(slot_, change_, false);
  }

 private:
  BufferHistory& history_;
  int slot_;
  SlotChange change_;
  bool done_ = true;
};

}  // namespace

BufferHistory::BufferHistory(BufferSet& buffers, QObject* parent)
    : QObject(parent), buffers_(buffers), group_(this) {
  for (std::size_t i = 0; i < stacks_.size(); ++i) {
    stacks_[i] = new QUndoStack(&group_);
    stacks_[i]->setUndoLimit(kStepLimit);
    connect(stacks_[i], &QUndoStack::cleanChanged, this, &BufferHistory::ModifiedChanged);
  }
  Reset();
  SetActive(buffers_.ActiveBuffer);
}

void BufferHistory::Reset() {
  for (std::size_t i = 0; i < stacks_.size(); ++i) {
    stacks_[i]->clear();
    shadows_[i] = buffers_.Slots[i];
  }
  emit ModifiedChanged();
}

bool BufferHistory::Record(int slot, const QString& label) {
  const auto n = static_cast<std::size_t>(slot);
  SlotChange change = DiffSlots(shadows_[n], buffers_.Slots[n]);
  if (change.Empty()) return false;
  ApplyChange(shadows_[n], change, false);
  stacks_[n]->push(new SlotCommand(*this, slot, std::move(change), label));
  return true;
}

void BufferHistory::Absorb(int slot) {
  const auto n = static_cast<std::size_t>(slot);
  ApplyChange(shadows_[n], DiffSlots(shadows_[n], buffers_.Slots[n]), false);
}

void BufferHistory::MarkSaved(int slot) {
  Absorb(slot);
  stacks_[static_cast<std::size_t>(slot)]->setClean();
}

bool BufferHistory::Modified(int slot) const {
  return !stacks_[static_cast<std::size_t>(slot)]->isClean();
}

void BufferHistory::SetActive(int slot) {
  group_.setActiveStack(stacks_[static_cast<std::size_t>(slot)]);
}

void BufferHistory::Apply(int slot, const SlotChange& change, bool undo) {
  const auto n = static_cast<std::size_t>(slot);
  ApplyChange(buffers_.Slots[n], change, undo);
  ApplyChange(shadows_[n], change, undo);
  emit SlotRestored(slot);
}

}  // namespace kestrum
