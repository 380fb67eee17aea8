// SPDX-License-Identifier: GPL-3.0-or-later
// Device memories in program and data files.
#include "buffers/device_image.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "buffers/hex_file.hpp"
#include "buffers/texts.hpp"
#include "core/text.hpp"

namespace kestrum {
namespace {

// Word-device binary files mirror the PIC word address space: configuration area at word
// 0x2000, data EEPROM at word 0x2100. No word device has more than 0x2000 program words.
constexpr std::size_t kBinaryConfigOffset = 0x4000;
constexpr std::size_t kBinaryDataOffset = 0x4200;
constexpr std::size_t kEepromHeaderBytes = 152;

// `count` elements of `v` from `start`, cut to the vector so a wrong size cannot overrun it.
std::span<std::uint16_t> Elements(std::vector<std::uint16_t>& v, int start, int count) {
  const std::size_t first = std::min<std::size_t>(std::max(start, 0), v.size());
  const std::size_t n = std::min<std::size_t>(std::max(count, 0), v.size() - first);
  return std::span<std::uint16_t>(v).subspan(first, n);
}

int CodeCount(const DeviceDescriptor& d) {
  return std::clamp(d.CodeSize, 0, kBufferElements);
}
int DataCount(const DeviceDescriptor& d) {
  return std::clamp(d.DataSize, 0, kBufferElements);
}

RecordFormat FormatOf(FileType type) {
  if (type == FileType::Ihx16) return RecordFormat::IntelHex16;
  if (type == FileType::MotorolaS) return RecordFormat::MotorolaS;
  return RecordFormat::IntelHex8;
}

bool IsRecordType(FileType type) {
  return type == FileType::Ihx8 || type == FileType::Ihx16 || type == FileType::Object ||
         type == FileType::MotorolaS;
}

// An AVR with fuse bytes keeps them, and its lock byte, as its configuration words.
bool HasFuseBytes(const DeviceDescriptor& d) {
  return FamilyOf(d) == DeviceFamily::AvrMicro && d.ConfigWords == kMaxConfigWords;
}

// The file address of configuration word `k` of an AVR: fuse bytes, then the lock byte.
std::int64_t FuseFileAddress(int k) {
  return k < kMaxConfigWords - 1 ? kAvrFuseFileAddress + k : kAvrLockFileAddress;
}

// The fuse and lock bytes the file carries (those the part has); true when it carries any.
bool LoadFuseBytes(const DeviceDescriptor& d, const RecordImage& image, BufferSlot& slot) {
  bool found = false;
  for (int k = 0; k < kMaxConfigWords; ++k) {
    const auto at = image.Far.find(FuseFileAddress(k));
    if (at == image.Far.end() || ConfigWordMask(d, k) == 0) continue;
    slot.ConfigArea[static_cast<std::size_t>(d.ConfigWordIndex + k)] = at->second;
    found = true;
  }
  return found;
}

// A far byte the device takes: one of its fuse bytes or its lock byte.
bool FuseTaken(const DeviceDescriptor& d, std::int64_t address) {
  if (!HasFuseBytes(d)) return false;
  for (int k = 0; k < kMaxConfigWords; ++k) {
    if (FuseFileAddress(k) == address && ConfigWordMask(d, k) != 0) return true;
  }
  return false;
}

// Data a file holds where the device has no memory is told once, with how much and the first
// address, and makes the file one that did not load cleanly.
void TellOutside(std::int64_t count, std::int64_t first, bool words, ByteStream& in, Ui& ui,
                 LoadResult& result) {
  if (count == 0) return;
  const std::string_view unit = words ? (count == 1 ? text::kOutsideWord : text::kOutsideWords)
                                      : (count == 1 ? text::kOutsideByte : text::kOutsideBytes);
  const auto shown = static_cast<std::uint32_t>(std::clamp<std::int64_t>(first, 0, UINT32_MAX));
  const std::string address = HexDigits(shown, 4);
  std::string message = std::string(text::kOutsideBefore) + std::to_string(count) +
                        std::string(unit) + std::string(text::kOutsideFirst) + address +
                        std::string(text::kOutsideAfter);
  if (!in.Name().empty()) message += std::string(text::kLineBreak) + in.Name();
  ui.Message(MessageKind::Warning, message, MessageButton::Ok);
  if (result.Problem.empty()) {
    result.Problem = std::string(text::kOutsideProblem) + std::to_string(count) +
                     std::string(unit) + std::string(text::kOutsideProblemFrom) + address +
                     std::string(text::kOutsideProblemAfter);
  }
}

// The units of a record image that the device's windows take; the rest is outside.
class Windows {
 public:
  // [first, first + count) in the image's units.
  void Add(std::int64_t first, std::int64_t count) {
    const std::int64_t from = std::clamp<std::int64_t>(first, 0, RecordImage::kUnits);
    const std::int64_t to = std::clamp<std::int64_t>(first + count, 0, RecordImage::kUnits);
    if (from < to) std::fill(covered_.begin() + from, covered_.begin() + to, 1);
  }
  // Far bytes (an AVR's fuse section) count as outside unless `taken` took them.
  void TellRest(const RecordImage& image, bool words, ByteStream& in, Ui& ui, LoadResult& result,
                const std::function<bool(std::int64_t)>& taken = nullptr) const {
    std::int64_t first = -1;
    std::int64_t count = image.BeyondCount;
    std::int64_t beyondFirst = image.BeyondFirst;
    for (const auto& [address, byte] : image.Far) {
      if (taken && taken(address)) continue;
      if (count++ == 0 || beyondFirst < 0) beyondFirst = address;
    }
    for (int a = 0; a < RecordImage::kUnits; ++a) {
      if (image.Loaded[a] == 0 || covered_[a] != 0) continue;
      if (first < 0) first = a;
      ++count;
    }
    TellOutside(count, first >= 0 ? first : beyondFirst, words, in, ui, result);
  }

 private:
  std::vector<std::uint8_t> covered_ = std::vector<std::uint8_t>(RecordImage::kUnits, 0);
};

// What ReadRecords found wrong, and a file whose records all failed.
LoadResult RecordProblems(const RecordImage& image) {
  LoadResult result{.IdFound = true, .ConfigFound = true};
  result.Problem = image.Problem;
  if (image.TotalCount == 0) {
    result.Outcome = LoadOutcome::NoData;
    result.RecordsFailed = image.FailedLines > 0;
  }
  return result;
}

LoadResult LoadRecords(const DeviceDescriptor& d, BufferSlot& slot, FileType type, ByteStream& in,
                       Ui& ui) {
  const bool words = IsWordDevice(d);
  if (type == FileType::Ihx16 && !words) {
    ui.Message(MessageKind::Information, text::kHex16NotForEeprom, MessageButton::Ok);
    return {true, true, LoadOutcome::Refused};
  }
  const RecordImage image = ReadRecords(in, FormatOf(type), ui);
  LoadResult checked = RecordProblems(image);
  if (checked.Outcome == LoadOutcome::NoData) return checked;
  Windows windows;
  if (!words) {
    CopyWindow(image, Elements(slot.CodeBuffer, 0, d.CodeSize), 0);
    windows.Add(0, d.CodeSize);
    if (d.DataSize > 0) {
      CopyWindow(image, Elements(slot.DataBuffer, 0, d.DataSize), d.DataAddress);
      windows.Add(d.DataAddress, d.DataSize);
    }
    if (HasFuseBytes(d)) checked.ConfigFound = LoadFuseBytes(d, image, slot);
    windows.TellRest(image, false, in, ui, checked,
                     [&d](std::int64_t address) { return FuseTaken(d, address); });
    return checked;
  }

  // Word devices: the 16-bit form addresses words, the others bytes at twice the word address.
  auto copyWords = [&](std::span<std::uint16_t> target, int wordAddress) {
    return type == FileType::Ihx16 ? CopyWindow(image, target, wordAddress)
                                   : CopyWordWindow(image, target, 2 * wordAddress);
  };
  copyWords(Elements(slot.CodeBuffer, 0, d.CodeSize), 0);
  const int lastWordsLoaded =
      copyWords(Elements(slot.CodeBuffer, d.CodeSize - 4, 4), d.CodeSize - 4);
  LoadResult result;
  if (FamilyOf(d) == DeviceFamily::Pic) {
    if (d.Is12Bit) {
      result.IdFound = lastWordsLoaded > 0;  // the ID words close program memory
    } else {
      result.IdFound = copyWords(Elements(slot.ConfigArea, d.IdIndex, 4), d.IdAddress) > 0;
    }
  } else {
    result = {true, true};  // Microwire and 4-wire EEPROMs have neither
  }
  if (d.ConfigAreaWords > 0) {
    result.ConfigFound =
        copyWords(Elements(slot.ConfigArea, d.ConfigWordIndex, std::max(d.ConfigWords, 1)),
                  d.ConfigAddress) > 0;
  }
  if (d.DataSize > 0) copyWords(Elements(slot.DataBuffer, 0, d.DataSize), d.DataAddress);

  // The configuration area is the device's memory as a whole, reserved words included.
  const int scale = type == FileType::Ihx16 ? 1 : 2;
  windows.Add(0, scale * static_cast<std::int64_t>(d.CodeSize));
  if (d.ConfigAreaWords > 0) {
    windows.Add(scale * static_cast<std::int64_t>(d.ConfigAddress - d.ConfigWordIndex),
                scale * static_cast<std::int64_t>(d.ConfigAreaWords));
  }
  if (FamilyOf(d) == DeviceFamily::Pic && !d.Is12Bit) {
    windows.Add(scale * static_cast<std::int64_t>(d.IdAddress), scale * 4);
  }
  if (d.DataSize > 0) {
    windows.Add(scale * static_cast<std::int64_t>(d.DataAddress),
                scale * static_cast<std::int64_t>(d.DataSize));
  }
  result.Problem = checked.Problem;
  windows.TellRest(image, type == FileType::Ihx16, in, ui, result);
  return result;
}

// Bytes a binary file holds after the end of the layout the device reads: told, not loaded.
void TellBeyondEnd(std::size_t end, ByteStream& in, Ui& ui, LoadResult& result) {
  const std::size_t more = in.Skip(SIZE_MAX);
  TellOutside(static_cast<std::int64_t>(more), static_cast<std::int64_t>(end), false, in, ui,
              result);
}

// Words of two bytes from `bytes` at `offset`; a word the file does not hold completely keeps
// the slot's value.
void WordsFrom(std::span<const std::uint8_t> bytes, std::size_t offset,
               std::span<std::uint16_t> target, bool swap) {
  for (std::size_t i = 0; i < target.size() && offset + 2 * i + 1 < bytes.size(); ++i) {
    const std::uint8_t first = bytes[offset + 2 * i];
    const std::uint8_t second = bytes[offset + 2 * i + 1];
    target[i] = swap ? static_cast<std::uint16_t>(first << 8 | second)
                     : static_cast<std::uint16_t>(second << 8 | first);
  }
}

std::vector<std::uint8_t> ReadUpTo(ByteStream& in, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  bytes.resize(in.Read(bytes));
  return bytes;
}

LoadResult LoadBinary(const DeviceDescriptor& d, BufferSlot& slot, ByteStream& in, Ui& ui) {
  LoadResult result{.IdFound = true, .ConfigFound = true};
  if (!IsWordDevice(d)) {
    const std::vector<std::uint8_t> bytes = ReadUpTo(in, CodeCount(d));
    std::copy(bytes.begin(), bytes.end(), slot.CodeBuffer.begin());
    if (bytes.empty()) result.Outcome = LoadOutcome::NoData;
    TellBeyondEnd(bytes.size(), in, ui, result);
    return result;
  }
  std::size_t end = 2 * static_cast<std::size_t>(CodeCount(d));
  if (d.ConfigAreaWords > 0) end = kBinaryConfigOffset + 2 * d.ConfigAreaWords;
  if (d.DataSize > 0) end = kBinaryDataOffset + 2 * static_cast<std::size_t>(DataCount(d));
  const std::vector<std::uint8_t> bytes = ReadUpTo(in, end);
  // A single byte is not a word: nothing to load, nothing to ask.
  if (bytes.size() < 2) {
    result.Outcome = LoadOutcome::NoData;
    return result;
  }
  const bool swap = ui.Question(text::kSwapBytesQuestion);
  WordsFrom(bytes, 0, Elements(slot.CodeBuffer, 0, d.CodeSize), swap);
  if (d.ConfigAreaWords > 0) {
    WordsFrom(bytes, kBinaryConfigOffset, Elements(slot.ConfigArea, 0, d.ConfigAreaWords), swap);
  }
  if (d.DataSize > 0) {
    WordsFrom(bytes, kBinaryDataOffset, Elements(slot.DataBuffer, 0, d.DataSize), swap);
  }
  TellBeyondEnd(end, in, ui, result);
  return result;
}

void AppendWord(std::vector<std::uint8_t>& out, std::uint16_t word) {
  out.push_back(static_cast<std::uint8_t>(word & 0xFF));
  out.push_back(static_cast<std::uint8_t>(word >> 8));
}

std::string AsString(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

FileType FileTypeFromNumber(int number) {
  if (number < static_cast<int>(FileType::Ihx8) || number > static_cast<int>(FileType::Any)) {
    return FileType::Any;
  }
  return static_cast<FileType>(number);
}

FileType EffectiveType(FileType type, int firstByte) {
  if (type == FileType::Any) {
    if (firstByte == ':') return FileType::Ihx8;
    if (firstByte == 'S') return FileType::MotorolaS;
    return FileType::Binary;
  }
  if (type == FileType::Eeprom && firstByte == ':') return FileType::Ihx8;
  if (type == FileType::Object) return FileType::Ihx8;
  return type;
}

LoadResult LoadProgramFile(const DeviceDescriptor& device, BufferSlot& slot, FileType type,
                           ByteStream& in, Ui& ui) {
  type = EffectiveType(type, in.Peek());
  if (IsRecordType(type)) return LoadRecords(device, slot, type, in, ui);
  if (type == FileType::Binary) return LoadBinary(device, slot, in, ui);
  // EEPROM image
  in.Skip(kEepromHeaderBytes);
  if (in.Peek() < 0) return {true, true, LoadOutcome::NoData};
  const std::vector<std::uint8_t> bytes = ReadUpTo(in, CodeCount(device));
  for (std::size_t i = 0; i < bytes.size(); ++i) slot.CodeBuffer[i] = bytes[i] & device.BlankValue;
  LoadResult result{.IdFound = true, .ConfigFound = true};
  TellBeyondEnd(kEepromHeaderBytes + bytes.size(), in, ui, result);
  return result;
}

LoadResult LoadDataFile(const DeviceDescriptor& device, BufferSlot& slot, FileType type,
                        ByteStream& in, Ui& ui) {
  const std::span<std::uint16_t> target = Elements(slot.DataBuffer, 0, device.DataSize);
  type = EffectiveType(type, in.Peek());
  if (type == FileType::Ihx16) {
    ui.Message(MessageKind::Information, text::kHex16NotForEepromData, MessageButton::Ok);
    return {.Outcome = LoadOutcome::Refused};
  }
  if (IsRecordType(type)) {
    const RecordImage image = ReadRecords(in, FormatOf(type), ui);
    LoadResult result = RecordProblems(image);
    if (result.Outcome == LoadOutcome::NoData) return result;
    CopyWindow(image, target, 0);
    Windows windows;
    windows.Add(0, static_cast<std::int64_t>(target.size()));
    windows.TellRest(image, false, in, ui, result);
    return result;
  }
  const std::size_t header = type == FileType::Eeprom ? in.Skip(kEepromHeaderBytes) : 0;
  if (in.Peek() < 0) return {.Outcome = LoadOutcome::NoData};
  const std::vector<std::uint8_t> bytes = ReadUpTo(in, target.size());
  std::copy(bytes.begin(), bytes.end(), target.begin());
  LoadResult result;
  TellBeyondEnd(header + bytes.size(), in, ui, result);
  return result;
}

std::string DeviceHexFile(const DeviceDescriptor& d, const BufferSlot& slot) {
  std::string out;
  std::vector<std::uint8_t> bytes;
  const int codeCount = CodeCount(d);
  const int dataCount = DataCount(d);
  if (IsWordDevice(d)) {
    for (int i = 0; i < codeCount; ++i) AppendWord(bytes, slot.CodeBuffer[i] & d.BlankValue);
    WriteHexBytes(out, bytes, 0);
    if (FamilyOf(d) == DeviceFamily::Pic) {
      if (!d.Is12Bit) {  // 12-bit ID words are part of program memory
        bytes.clear();
        for (int i = 0; i < 4; ++i)
          AppendWord(bytes, slot.ConfigArea[d.IdIndex + i] & d.BlankValue);
        WriteHexBytes(out, bytes, 2 * d.IdAddress);
      }
      if (d.ConfigAreaWords > 0) {
        bytes.clear();
        for (int k = 0; k < std::max(d.ConfigWords, 1); ++k) {
          AppendWord(bytes, slot.ConfigArea[d.ConfigWordIndex + k] & d.BlankValue);
        }
        WriteHexBytes(out, bytes, 2 * d.ConfigAddress);
      }
    }
    if (dataCount > 0) {
      bytes.clear();
      for (int i = 0; i < dataCount; ++i) AppendWord(bytes, slot.DataBuffer[i] & 0xFF);
      WriteHexBytes(out, bytes, 2 * d.DataAddress);
    }
  } else {
    for (int i = 0; i < codeCount; ++i) bytes.push_back(slot.CodeBuffer[i] & 0xFF);
    WriteHexBytes(out, bytes, 0);
    if (dataCount > 0) {
      bytes.clear();
      for (int i = 0; i < dataCount; ++i) bytes.push_back(slot.DataBuffer[i] & 0xFF);
      WriteHexBytes(out, bytes, d.DataAddress);
    }
    if (HasFuseBytes(d)) {
      for (int k = 0; k < kMaxConfigWords; ++k) {
        if (ConfigWordMask(d, k) == 0) continue;  // a fuse byte the part lacks
        const std::uint8_t byte[] = {
            static_cast<std::uint8_t>(slot.ConfigArea[d.ConfigWordIndex + k] & 0xFF)};
        WriteHexBytes(out, byte, FuseFileAddress(k));
      }
    }
  }
  WriteHexEnd(out);
  return out;
}

std::string DeviceBinaryFile(const DeviceDescriptor& d, const BufferSlot& slot) {
  std::vector<std::uint8_t> bytes;
  const int codeCount = CodeCount(d);
  if (!IsWordDevice(d)) {
    for (int i = 0; i < codeCount; ++i) bytes.push_back(slot.CodeBuffer[i] & d.BlankValue);
    return AsString(bytes);
  }
  for (int i = 0; i < codeCount; ++i) AppendWord(bytes, slot.CodeBuffer[i] & d.BlankValue);
  if (d.ConfigAreaWords > 0) {
    bytes.resize(std::max(bytes.size(), kBinaryConfigOffset), 0xFF);
    for (int i = 0; i < d.ConfigAreaWords; ++i)
      AppendWord(bytes, slot.ConfigArea[i] & d.BlankValue);
  }
  if (d.DataSize > 0) {
    bytes.resize(std::max(bytes.size(), kBinaryDataOffset), 0xFF);
    for (int i = 0; i < DataCount(d); ++i) AppendWord(bytes, slot.DataBuffer[i] & 0xFF);
  }
  return AsString(bytes);
}

}  // namespace kestrum
