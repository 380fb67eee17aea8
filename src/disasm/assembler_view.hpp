// SPDX-License-Identifier: GPL-3.0-or-later
// What the assembler view command and the command line's --disassemble option need besides
// the listing itself: which devices can be listed, the warnings for the others, and writing
// the listing to a file or to standard output.
#pragma once

#include <ostream>
#include <string_view>

#include "buffers/buffer_set.hpp"
#include "core/ui.hpp"
#include "device/device_descriptor.hpp"

namespace kestrum {

enum class DisassemblyCheck {
  Listed,        // a 14-bit PIC
  NotOffered,    // flash and 89S microcontrollers: the view command does nothing
  NotPic,        // any other non-PIC device
  TwelveBitPic,  // a PIC whose core is not 14 bits wide
};

DisassemblyCheck CheckDisassembly(const DeviceDescriptor& device);

// The device check of the assembler view command: warns where the device is refused with a
// message; true when the listing is to be built.
bool AssemblerViewAllowed(Ui& ui, const DeviceDescriptor& device);

// --disassemble[=FILE]: writes the listing of `slot` to the file `path`, or to
// `standardOutput` when `path` is empty. A device that cannot be listed gets a warning (and
// nothing is written), a file that cannot be written an error naming it; false then.
bool WriteDisassembly(Ui& ui, const DeviceDescriptor& device, const BufferSlot& slot,
                      std::string_view path, std::ostream& standardOutput);

}  // namespace kestrum
