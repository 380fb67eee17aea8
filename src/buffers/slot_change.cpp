// SPDX-License-Identifier: GPL-3.0-or-later
// Differences between two states of a slot.
#include "buffers/slot_change.hpp"

#include <algorithm>

namespace kestrum {
namespace {

// Equal elements between two differing ones shorter than this stay inside one run: a run
// costs more than a few repeated values.
constexpr std::size_t kJoinGap = 8;

void DiffArea(SlotChange::Area area, const std::vector<std::uint16_t>& before,
              const std::vector<std::uint16_t>& after, std::vector<SlotChange::Run>& runs) {
  const std::size_t size = std::min(before.size(), after.size());
  std::size_t i = 0;
  while (i < size) {
    if (before[i] == after[i]) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    std::size_t end = i + 1;  // one past the last differing element
    for (std::size_t j = end; j < size && j < end + kJoinGap; ++j) {
      if (before[j] != after[j]) end = j + 1;
    }
    runs.push_back({area, static_cast<int>(start),
                    std::vector<std::uint16_t>(before.begin() + start, before.begin() + end),
                    std::vector<std::uint16_t>(after.begin() + start, after.begin() + end)});
    i = end;
  }
}

std::vector<std::uint16_t>& AreaOf(BufferSlot& slot, SlotChange::Area area) {
  switch (area) {
    case SlotChange::Area::Code:
      return slot.CodeBuffer;
    case SlotChange::Area::Data:
      return slot.DataBuffer;
    case SlotChange::Area::Config:
      break;
  }
  return slot.ConfigArea;
}

}  // namespace

SlotChange DiffSlots(const BufferSlot& before, const BufferSlot& after) {
  SlotChange change;
  DiffArea(SlotChange::Area::Code, before.CodeBuffer, after.CodeBuffer, change.Runs);
  DiffArea(SlotChange::Area::Data, before.DataBuffer, after.DataBuffer, change.Runs);
  DiffArea(SlotChange::Area::Config, before.ConfigArea, after.ConfigArea, change.Runs);
  change.FileBefore = before.FileName;
  change.FileAfter = after.FileName;
  return change;
}

void ApplyChange(BufferSlot& slot, const SlotChange& change, bool undo) {
  for (const SlotChange::Run& run : change.Runs) {
    const std::vector<std::uint16_t>& values = undo ? run.Before : run.After;
    std::vector<std::uint16_t>& target = AreaOf(slot, run.Where);
    std::copy(values.begin(), values.end(), target.begin() + run.Start);
  }
  slot.FileName = undo ? change.FileBefore : change.FileAfter;
}

}  // namespace kestrum
