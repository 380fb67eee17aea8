// SPDX-License-Identifier: GPL-3.0-or-later
// Record files: 8-bit and 16-bit Intel HEX and Motorola S-records read into a 64K image of
// the buffers' address space, windows copied out of that image, and the 8-bit Intel HEX
// writer.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "buffers/file_access.hpp"
#include "core/ui.hpp"

namespace kestrum {

enum class RecordFormat {
  IntelHex8,   // byte addresses, one byte per data unit
  IntelHex16,  // word addresses, LL counts words, each word high byte first
  MotorolaS,   // byte addresses
};

// Everything a record file loaded, by address: bytes, or words for the 16-bit format. Units
// that no record loaded read erased (0xFF, or 0xFFFF for words).
struct RecordImage {
  static constexpr int kUnits = 131072;

  explicit RecordImage(RecordFormat format);

  std::uint16_t Erased;
  std::vector<std::uint16_t> Units;
  std::vector<std::uint8_t> Loaded;  // 1 where a record stored a unit
  // Data units in all data records, stored or not.
  int TotalCount = 0;
  // Bytes a record stored far beyond the image (an AVR's fuse and lock sections), by address.
  std::map<std::int64_t, std::uint8_t> Far;
  // Lines that should have been records (damaged ones, lines that are not records): with no
  // data loaded, the file failed rather than held nothing.
  int FailedLines = 0;
  // Data units addressed beyond the buffers' 128K (dropped): how many, and the first address.
  int BeyondCount = 0;
  std::int64_t BeyondFirst = -1;
  // The first problem met, for the user deciding whether to program what was loaded:
  // "Error in file! (line 12)"; empty when the file read cleanly.
  std::string Problem;

  // Addresses in [base, base + count) that a record loaded.
  int LoadedCount(int base, int count) const;
};

// Reads every record up to the end record or the end of the input. A UTF-8 byte-order mark
// and blanks before a record are passed over, blank lines too. A damaged record (a character
// pair that is not hexadecimal, a line that ends inside the record) or a line that is no
// record is dropped and shown once per file as "Error in file!" with the file (the stream's
// name) and the line on a second line; a record whose checksum is wrong shows "Checksum
// error!" the same way and ends the reading. Only records that pass their checksum store
// data; data beyond the buffers' 128K are dropped (counted in BeyondCount), but for the few
// bytes of an AVR's fuse and lock sections.
RecordImage ReadRecords(ByteStream& in, RecordFormat format, Ui& ui);

// "<file>, line <n>" (or "line <n>" for a stream without a name): where a problem is.
std::string WhereText(std::string_view name, int line);

// Copies units [base, base + target.size()) of the image into `target`; returns how many of
// them a record loaded. Addresses outside the image read erased.
int CopyWindow(const RecordImage& image, std::span<std::uint16_t> target, int base);
// Forms `target.size()` words from the byte image starting at byte address `byteBase`, low
// byte first; returns how many of the 2 × size bytes a record loaded.
int CopyWordWindow(const RecordImage& image, std::span<std::uint16_t> target, int byteBase);

// Appends `data` as 8-bit Intel HEX data records of at most 16 bytes from address `start`;
// lines end with CR LF. Addresses from 64K on are reached with extended linear address records
// (one before the first record of every 64K block that needs another).
void WriteHexBytes(std::string& out, std::span<const std::uint8_t> data, std::int64_t start);
// Appends the end record ":00000001FF".
void WriteHexEnd(std::string& out);

}  // namespace kestrum
