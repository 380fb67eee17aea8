// SPDX-License-Identifier: GPL-3.0-or-later
// Intel HEX and Motorola S-record reading, and the Intel HEX writer.
#include "buffers/hex_file.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "buffers/texts.hpp"
#include "core/text.hpp"
#include "device/device_descriptor.hpp"

namespace kestrum {
namespace {

// The AVR sections kept beyond the image: the fuse bytes and the lock byte.
bool IsFarSection(std::int64_t address) {
  return (address >= kAvrFuseFileAddress && address < kAvrFuseFileAddress + 3) ||
         address == kAvrLockFileAddress;
}

// The longest record: 4 header bytes, 255 words of data and the checksum.
constexpr int kMaxRecordBytes = 4 + 2 * 255 + 1;

class RecordReader {
 public:
  RecordReader(ByteStream& in, RecordFormat format, Ui& ui, RecordImage& image)
      : in_(in), format_(format), ui_(ui), image_(image) {}

  void Run() {
    const int mark = format_ == RecordFormat::MotorolaS ? 'S' : ':';
    SkipByteOrderMark();
    for (;;) {
      lineEnded_ = false;
      ++line_;
      int c = LineChar();
      // Blanks before a record are an editor's, not a damage.
      while (c == ' ' || c == '\t') c = LineChar();
      if (c == kEndOfText) return;
      // Among records, a line that is not one is a damaged one (whatever it held is lost). A
      // file without a single record is no record file at all: it simply holds no data.
      bool stop = false;
      if (c == mark) {
        if (recordLines_++ == 0 && firstOtherLine_ > 0) OtherLine(firstOtherLine_);
        stop = format_ == RecordFormat::MotorolaS ? SRecord() : IntelRecord();
      } else if (c >= 0) {
        if (recordLines_ > 0) {
          OtherLine(line_);
        } else if (firstOtherLine_ == 0) {
          firstOtherLine_ = line_;
        }
      }
      SkipRestOfLine();
      if (stop || in_.Peek() < 0) return;
    }
  }

 private:
  // DOS editors end a text with Ctrl+Z.
  static constexpr int kEndOfText = 0x1A;

  void SkipByteOrderMark() {
    static constexpr std::array<int, 3> kMark = {0xEF, 0xBB, 0xBF};
    if (in_.Peek() != kMark[0]) return;
    for (int byte : kMark) {
      if (in_.Peek() != byte) return;
      in_.Get();
    }
  }

  // The next character of the current line; -1 at its end. CR, LF and CR LF each end a line,
  // so files of every convention read alike.
  int LineChar() {
    if (lineEnded_) return -1;
    const int c = in_.Get();
    if (c == '\r' && in_.Peek() == '\n') in_.Get();
    if (c < 0 || c == '\r' || c == '\n') {
      lineEnded_ = true;
      return -1;
    }
    return c;
  }

  void SkipRestOfLine() {
    while (LineChar() >= 0) continue;
  }

  // Appends one hex byte to the record; false when the line ends first.
  bool Pair() {
    const int high = LineChar();
    if (high < 0) return false;
    const int low = LineChar();
    if (low < 0) return false;
    const int h = HexDigitValue(static_cast<char>(high));
    const int l = HexDigitValue(static_cast<char>(low));
    if (h < 0 || l < 0) notHex_ = true;
    bytes_[count_++] = static_cast<std::uint8_t>(h < 0 || l < 0 ? 0 : h * 16 + l);
    return true;
  }

  bool Pairs(int n) {
    for (int i = 0; i < n; ++i) {
      if (!Pair()) return false;
    }
    return true;
  }

  // Drops the current record; the reading goes on with the next line.
  bool Damaged() {
    ++image_.FailedLines;
    if (!errorShown_) Tell(text::kErrorInFile, line_);
    return false;
  }

  void OtherLine(int line) {
    ++image_.FailedLines;
    if (!errorShown_) Tell(text::kErrorInFile, line);
  }

  bool ChecksumFailed() {
    ++image_.FailedLines;
    Tell(text::kChecksumError, line_);
    return true;
  }

  void Tell(std::string_view message, int line) {
    if (message == text::kErrorInFile) errorShown_ = true;
    ui_.Message(MessageKind::Error,
                std::string(message) + std::string(text::kLineBreak) + WhereText(in_.Name(), line),
                MessageButton::Cancel);
    if (image_.Problem.empty()) {
      image_.Problem = std::string(message) + std::string(text::kProblemLineBefore) +
                       std::to_string(line) + std::string(text::kProblemLineAfter);
    }
  }

  int Sum() const {
    int sum = 0;
    for (int i = 0; i < count_; ++i) sum += bytes_[i];
    return sum & 0xFF;
  }

  void Store(std::int64_t address, std::uint16_t value) {
    ++image_.TotalCount;
    if (format_ == RecordFormat::IntelHex8 && IsFarSection(address)) {
      image_.Far[address] = static_cast<std::uint8_t>(value);
      return;
    }
    if (address < 0 || address >= RecordImage::kUnits) {
      if (image_.BeyondCount++ == 0) image_.BeyondFirst = address;
      return;
    }
    image_.Units[address] = value;
    image_.Loaded[address] = 1;
  }

  // ':' LL AAAA TT data CC. Returns true when the reading ends.
  bool IntelRecord() {
    count_ = 0;
    notHex_ = false;
    if (!Pairs(4)) return Damaged();
    const int length = bytes_[0];
    const int offset = bytes_[1] << 8 | bytes_[2];
    const int type = bytes_[3];
    const int unitBytes = format_ == RecordFormat::IntelHex16 ? 2 : 1;
    if (!Pairs(length * unitBytes + 1)) return Damaged();
    if (notHex_) return Damaged();
    if (Sum() != 0) return ChecksumFailed();

    const std::uint8_t* data = &bytes_[4];
    switch (type) {
      case 0x00:
        for (int i = 0; i < length; ++i) {
          const std::uint16_t value =
              unitBytes == 1 ? data[i]
                             : static_cast<std::uint16_t>(data[2 * i] << 8 | data[2 * i + 1]);
          // A segment address wraps within its 64K, a linear address does not.
          const std::int64_t address =
              linear_ ? extended_ + offset + i : extended_ + ((offset + i) & 0xFFFF);
          Store(address, value);
        }
        return false;
      case 0x01:
        return true;
      case 0x02:  // extended segment address: paragraph number
      case 0x04:  // extended linear address: upper 16 bits
        if (length * unitBytes >= 2) {
          const std::int64_t value = data[0] << 8 | data[1];
          linear_ = type == 0x04;
          extended_ = linear_ ? value << 16 : value << 4;
        }
        return false;
      default:  // start addresses and unknown types carry nothing to load
        return false;
    }
  }

  // 'S' type NN address data CC. Returns true when the reading ends.
  bool SRecord() {
    count_ = 0;
    notHex_ = false;
    // S0 header, S1-S3 data, S5-S6 record count, S7-S9 end; the digit sets the address size.
    static constexpr std::string_view kTypes = "0123456789";
    static constexpr std::array<int, 10> kAddressBytes = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
    const int type = LineChar();
    const std::size_t digit = type < 0 ? kTypes.npos : kTypes.find(static_cast<char>(type));
    if (digit == kTypes.npos) return Damaged();
    if (kAddressBytes[digit] == 0) return false;  // S4 is reserved: nothing to load
    const int addressBytes = kAddressBytes[digit];
    if (!Pair()) return Damaged();
    const int length = bytes_[0];
    if (length < addressBytes + 1) return Damaged();
    if (!Pairs(length)) return Damaged();
    if (notHex_) return Damaged();
    if (Sum() != 0xFF) return ChecksumFailed();

    if (digit >= 7) return true;
    if (digit >= 1 && digit <= 3) {
      std::int64_t address = 0;
      for (int i = 0; i < addressBytes; ++i) address = address << 8 | bytes_[1 + i];
      for (int i = 0; i < length - addressBytes - 1; ++i) {
        Store(address + i, bytes_[1 + addressBytes + i]);
      }
    }
    return false;
  }

  ByteStream& in_;
  RecordFormat format_;
  Ui& ui_;
  RecordImage& image_;
  std::array<std::uint8_t, kMaxRecordBytes> bytes_{};
  int count_ = 0;
  bool notHex_ = false;
  bool lineEnded_ = false;
  bool errorShown_ = false;
  int line_ = 0;
  int recordLines_ = 0;     // lines that begin with the record mark
  int firstOtherLine_ = 0;  // the first line that does not (0: none)
  bool linear_ = false;
  std::int64_t extended_ = 0;
};

// The upper address bits the last extended linear address record in `out` set (0 before any).
std::int64_t UpperInForce(const std::string& out) {
  static constexpr std::string_view kRecord = ":02000004";
  const std::size_t at = out.rfind(kRecord);
  if (at == std::string::npos || at + kRecord.size() + 4 > out.size()) return 0;
  return std::stoll(out.substr(at + kRecord.size(), 4), nullptr, 16);
}

// The part of [base, base + count) that lies inside the image.
std::pair<std::int64_t, std::int64_t> Inside(std::int64_t base, std::int64_t count) {
  return {std::clamp<std::int64_t>(base, 0, RecordImage::kUnits),
          std::clamp<std::int64_t>(base + count, 0, RecordImage::kUnits)};
}

}  // namespace

RecordImage::RecordImage(RecordFormat format)
    : Erased(format == RecordFormat::IntelHex16 ? 0xFFFF : 0xFF),
      Units(kUnits, Erased),
      Loaded(kUnits, 0) {}

int RecordImage::LoadedCount(int base, int count) const {
  const auto [first, last] = Inside(base, count);
  return static_cast<int>(std::count(Loaded.begin() + first, Loaded.begin() + last, 1));
}

std::string WhereText(std::string_view name, int line) {
  std::string where(name);
  if (!where.empty()) where += text::kLineSeparator;
  return where + std::string(text::kLine) + std::to_string(line);
}

RecordImage ReadRecords(ByteStream& in, RecordFormat format, Ui& ui) {
  RecordImage image(format);
  RecordReader(in, format, ui, image).Run();
  return image;
}

int CopyWindow(const RecordImage& image, std::span<std::uint16_t> target, int base) {
  std::fill(target.begin(), target.end(), image.Erased);
  const auto [first, last] = Inside(base, static_cast<std::int64_t>(target.size()));
  if (first < last) {
    std::copy(image.Units.begin() + first, image.Units.begin() + last,
              target.begin() + (first - base));
  }
  return image.LoadedCount(base, static_cast<int>(target.size()));
}

int CopyWordWindow(const RecordImage& image, std::span<std::uint16_t> target, int byteBase) {
  const auto byteAt = [&image](std::int64_t a) -> std::uint16_t {
    return a >= 0 && a < RecordImage::kUnits ? image.Units[a] & 0xFF : 0xFF;
  };
  for (std::size_t i = 0; i < target.size(); ++i) {
    const std::int64_t a = byteBase + 2 * static_cast<std::int64_t>(i);
    target[i] = static_cast<std::uint16_t>(byteAt(a) | byteAt(a + 1) << 8);
  }
  return image.LoadedCount(byteBase, static_cast<int>(2 * target.size()));
}

void WriteHexBytes(std::string& out, std::span<const std::uint8_t> data, std::int64_t start) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto put = [&out](int byte) {
    out += kDigits[(byte >> 4) & 0xF];
    out += kDigits[byte & 0xF];
  };
  auto record = [&](int type, int address, std::span<const std::uint8_t> bytes) {
    int sum = static_cast<int>(bytes.size()) + (address >> 8) + (address & 0xFF) + type;
    out += ':';
    put(static_cast<int>(bytes.size()));
    put(address >> 8);
    put(address & 0xFF);
    put(type);
    for (std::uint8_t b : bytes) {
      put(b);
      sum += b;
    }
    put(-sum & 0xFF);
    out += "\r\n";
  };
  std::int64_t upper = UpperInForce(out);
  std::int64_t address = std::max<std::int64_t>(start, 0);
  while (!data.empty()) {
    if (address >> 16 != upper) {
      upper = address >> 16;
      const std::uint8_t high[] = {static_cast<std::uint8_t>(upper >> 8),
                                   static_cast<std::uint8_t>(upper & 0xFF)};
      record(0x04, 0, high);
    }
    // A record never runs over the end of its 64K block.
    const std::size_t n = std::min<std::size_t>(
        {data.size(), 16, static_cast<std::size_t>(0x10000 - (address & 0xFFFF))});
    record(0x00, static_cast<int>(address & 0xFFFF), data.first(n));
    data = data.subspan(n);
    address += static_cast<std::int64_t>(n);
  }
}

void WriteHexEnd(std::string& out) {
  out += ":00000001FF\r\n";
}

}  // namespace kestrum
