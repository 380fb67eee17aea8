// SPDX-License-Identifier: GPL-3.0-or-later
// One change of a buffer slot as data, for undo and redo: the runs of code, data and
// configuration elements that differ between two states of the slot, with their values before
// and after, and the slot's file name before and after. Small however large the slot is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "buffers/buffer_set.hpp"

namespace kestrum {

struct SlotChange {
  enum class Area : std::uint8_t { Code, Data, Config };
  struct Run {
    Area Where = Area::Code;
    int Start = 0;
    std::vector<std::uint16_t> Before;
    std::vector<std::uint16_t> After;
  };
  std::vector<Run> Runs;
  std::string FileBefore;
  std::string FileAfter;

  bool Empty() const { return Runs.empty() && FileBefore == FileAfter; }
};

// What turns `before` into `after`.
SlotChange DiffSlots(const BufferSlot& before, const BufferSlot& after);
// Puts the change's "after" values into `slot` (redo), or its "before" values (undo).
void ApplyChange(BufferSlot& slot, const SlotChange& change, bool undo);

}  // namespace kestrum
