// SPDX-License-Identifier: GPL-3.0-or-later
// Changes of a slot for undo and redo: what a change keeps, and that undoing and redoing it
// gives back either state exactly.
#include <gtest/gtest.h>

#include <functional>

#include "buffers/slot_change.hpp"

namespace kestrum {
namespace {

struct Case {
  const char* what;
  std::function<void(BufferSlot&)> change;
  std::size_t runs;
};

TEST(SlotChange, UndoAndRedoGiveBackEitherState) {
  const std::vector<Case> cases = {
      {"nothing", [](BufferSlot&) {}, 0},
      {"one word", [](BufferSlot& s) { s.CodeBuffer[5] = 0x1234; }, 1},
      {"near words are one run", [](BufferSlot& s) { s.CodeBuffer[5] = s.CodeBuffer[9] = 1; }, 1},
      {"far words are two", [](BufferSlot& s) { s.CodeBuffer[5] = s.CodeBuffer[500] = 1; }, 2},
      {"the last element", [](BufferSlot& s) { s.DataBuffer[kBufferElements - 1] = 7; }, 1},
      {"every area and the file",
       [](BufferSlot& s) {
         s.CodeBuffer.assign(s.CodeBuffer.size(), 0);
         s.DataBuffer[0] = 1;
         s.ConfigArea[7] = 0x3FF2;
         s.FileName = "blink.hex";
       },
       3},
  };
  for (const Case& c : cases) {
    BufferSlot before;
    before.Fill(0x3FFF);
    before.FileName = "old.hex";
    BufferSlot after = before;
    c.change(after);
    const SlotChange change = DiffSlots(before, after);
    EXPECT_EQ(change.Runs.size(), c.runs) << c.what;
    EXPECT_EQ(change.Empty(), c.runs == 0 && after.FileName == before.FileName) << c.what;
    BufferSlot slot = after;
    ApplyChange(slot, change, true);
    EXPECT_TRUE(slot.CodeBuffer == before.CodeBuffer && slot.DataBuffer == before.DataBuffer &&
                slot.ConfigArea == before.ConfigArea && slot.FileName == before.FileName)
        << c.what;
    ApplyChange(slot, change, false);
    EXPECT_TRUE(slot.CodeBuffer == after.CodeBuffer && slot.DataBuffer == after.DataBuffer &&
                slot.ConfigArea == after.ConfigArea && slot.FileName == after.FileName)
        << c.what;
  }
}

}  // namespace
}  // namespace kestrum
