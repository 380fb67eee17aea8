// Device memories in program and data files.
#include "buffers/device_image.hpp"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "buffers/hex_file.hpp"
#include "buffers/texts.hpp"

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

LoadResult LoadRecords(const DeviceDescriptor& d, BufferSlot& slot, FileType type, ByteStream& in,
                       Ui& ui) {
  const bool words = IsWordDevice(d);
  if (type == FileType::Ihx16 && !words) {
    ui.Message(MessageKind::Information, text::kHex16NotForEeprom, MessageButton::Ok);
    return {true, true, LoadOutcome::Refused};
  }
  const RecordImage image = ReadRecords(in, FormatOf(type), ui);
  if (image.TotalCount == 0) return {true, true, LoadOutcome::NoData};
  if (!words) {
    CopyWindow(image, Elements(slot.CodeBuffer, 0, d.CodeSize), 0);
    if (d.DataSize > 0) CopyWindow(image, Elements(slot.DataBuffer, 0, d.DataSize), d.DataAddress);
    LoadResult result{true, true};
    if (HasFuseBytes(d)) result.ConfigFound = LoadFuseBytes(d, image, slot);
    return result;
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
  return result;
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

LoadOutcome LoadBinary(const DeviceDescriptor& d, BufferSlot& slot, ByteStream& in, Ui& ui) {
  if (!IsWordDevice(d)) {
    const std::vector<std::uint8_t> bytes = ReadUpTo(in, CodeCount(d));
    std::copy(bytes.begin(), bytes.end(), slot.CodeBuffer.begin());
    return bytes.empty() ? LoadOutcome::NoData : LoadOutcome::Data;
  }
  std::size_t end = 2 * static_cast<std::size_t>(CodeCount(d));
  if (d.ConfigAreaWords > 0) end = kBinaryConfigOffset + 2 * d.ConfigAreaWords;
  if (d.DataSize > 0) end = kBinaryDataOffset + 2 * static_cast<std::size_t>(DataCount(d));
  const std::vector<std::uint8_t> bytes = ReadUpTo(in, end);
  // A single byte is not a word: nothing to load, nothing to ask.
  if (bytes.size() < 2) return LoadOutcome::NoData;
  const bool swap = ui.Question(text::kSwapBytesQuestion);
  WordsFrom(bytes, 0, Elements(slot.CodeBuffer, 0, d.CodeSize), swap);
  if (d.ConfigAreaWords > 0) {
    WordsFrom(bytes, kBinaryConfigOffset, Elements(slot.ConfigArea, 0, d.ConfigAreaWords), swap);
  }
  if (d.DataSize > 0) {
    WordsFrom(bytes, kBinaryDataOffset, Elements(slot.DataBuffer, 0, d.DataSize), swap);
  }
  return LoadOutcome::Data;
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
  if (type == FileType::Binary) return {true, true, LoadBinary(device, slot, in, ui)};
  // EEPROM image
  in.Skip(kEepromHeaderBytes);
  if (in.Peek() < 0) return {true, true, LoadOutcome::NoData};
  const std::vector<std::uint8_t> bytes = ReadUpTo(in, CodeCount(device));
  for (std::size_t i = 0; i < bytes.size(); ++i) slot.CodeBuffer[i] = bytes[i] & device.BlankValue;
  return {true, true};
}

LoadOutcome LoadDataFile(const DeviceDescriptor& device, BufferSlot& slot, FileType type,
                         ByteStream& in, Ui& ui) {
  const std::span<std::uint16_t> target = Elements(slot.DataBuffer, 0, device.DataSize);
  type = EffectiveType(type, in.Peek());
  if (type == FileType::Ihx16) {
    ui.Message(MessageKind::Information, text::kHex16NotForEepromData, MessageButton::Ok);
    return LoadOutcome::Refused;
  }
  if (IsRecordType(type)) {
    const RecordImage image = ReadRecords(in, FormatOf(type), ui);
    if (image.TotalCount == 0) return LoadOutcome::NoData;
    CopyWindow(image, target, 0);
    return LoadOutcome::Data;
  }
  if (type == FileType::Eeprom) in.Skip(kEepromHeaderBytes);
  if (in.Peek() < 0) return LoadOutcome::NoData;
  const std::vector<std::uint8_t> bytes = ReadUpTo(in, target.size());
  std::copy(bytes.begin(), bytes.end(), target.begin());
  return LoadOutcome::Data;
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
