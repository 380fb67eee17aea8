// SPDX-License-Identifier: GPL-3.0-or-later
// Where a device's memories sit in program and data files, for every file type: loading a
// file into a buffer slot and producing the 8-bit Intel HEX and binary images of a slot.
//
// Word devices (PICs, Microwire and 4-wire EEPROMs) keep each element in two bytes, low byte
// first, at twice the word address (16-bit Intel HEX: one word at the word address). In
// binary files a word device's image is its word address space: program from offset 0, the
// configuration area at 0x4000, the data EEPROM at 0x4200 with one word per byte. Byte
// devices keep one byte per element.
#pragma once

#include <string>

#include "buffers/buffer_set.hpp"
#include "buffers/file_access.hpp"
#include "core/ui.hpp"
#include "device/device_descriptor.hpp"

namespace kestrum {

// File types in the order of the open dialog's filter list.
enum class FileType : int {
  Ihx8 = 1,
  Ihx16 = 2,
  Binary = 3,
  Object = 4,  // read as 8-bit Intel HEX
  MotorolaS = 5,
  Eeprom = 6,  // binary image behind a 152-byte header
  Any = 7,     // decided by the first byte
};

// A type number from a dialog, the settings or the recent files; a number outside 1..7 is
// treated as "Any file", which detects the format.
FileType FileTypeFromNumber(int number);

// The format a file of `type` is read as, given its first byte (-1 when empty): "Any file" is
// Intel HEX on ':', S-records on 'S', else binary; an EEPROM file starting with ':' and an
// object file are Intel HEX.
FileType EffectiveType(FileType type, int firstByte);

// Whether a file gave the reader anything to load.
enum class LoadOutcome {
  Data,     // the reader found data (in the device's memories or not)
  NoData,   // no data record, an empty file, an EEPROM file no longer than its header
  Refused,  // a format the device does not take; the user was told
};

struct LoadResult {
  bool IdFound = false;
  bool ConfigFound = false;
  LoadOutcome Outcome = LoadOutcome::Data;
  // The file did not load cleanly, and the user has been told: the first problem ("Error in
  // file! (line 12)", "data outside the device (512 bytes from 9000h)"). Empty when clean.
  std::string Problem;
  // Records were there, but none could be read (NoData then means that, not an empty file).
  bool RecordsFailed = false;
};

// Reads a program file into `slot`, which the caller has set to the blank value. Record
// errors, the swap-bytes question and the 16-bit HEX refusal for byte devices go to `ui`, and
// so do data outside the device's memories (once per file, with the first address and how
// much). A read failure ends the loading with what was read so far (see in.Error()). A file
// without data asks no question.
LoadResult LoadProgramFile(const DeviceDescriptor& device, BufferSlot& slot, FileType type,
                           ByteStream& in, Ui& ui);

// Reads a data EEPROM file into the first `DataSize` elements of the slot's DataBuffer.
LoadResult LoadDataFile(const DeviceDescriptor& device, BufferSlot& slot, FileType type,
                        ByteStream& in, Ui& ui);

// The 8-bit Intel HEX file of a slot: program memory, then on PICs the ID words (14-bit
// cores) and the configuration word, then the data EEPROM, then the end record. Words are
// written in the core width: a 12-bit part's file never carries bits it cannot hold.
std::string DeviceHexFile(const DeviceDescriptor& device, const BufferSlot& slot);
// The binary file of a slot, in the layout LoadProgramFile reads without swapping.
std::string DeviceBinaryFile(const DeviceDescriptor& device, const BufferSlot& slot);

}  // namespace kestrum
