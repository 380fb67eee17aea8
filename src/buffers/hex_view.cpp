// SPDX-License-Identifier: GPL-3.0-or-later
// Hex view lines, in-place editing and the Edit dialog's rules.
#include "buffers/hex_view.hpp"

#include <algorithm>
#include <array>

#include "buffers/texts.hpp"
#include "core/text.hpp"

namespace kestrum {
namespace {

// Code view columns (from 1): fields of five characters from column 6 (its blank) to 45, the
// separator column 46, the blank 47, the characters 48..55; 56 is the end of the line.
constexpr int kFieldStart = 6;
constexpr int kCodeFieldWidth = 5;
constexpr int kCodeLastSeparator = 46;
constexpr int kCodeBlank = 47;
constexpr int kCodeFirstChar = 48;
constexpr int kCodeLastChar = 55;
// Data view: fields of three characters from column 6 to 29, separator 30, blank 31,
// characters 32..39.
constexpr int kDataFieldWidth = 3;
constexpr int kDataLastSeparator = 30;
constexpr int kDataBlank = 31;
constexpr int kDataFirstChar = 32;
constexpr int kDataLastChar = 39;
constexpr int kDataLineEnd = 40;

// Lines from address 10000h on (the 24LC1025's upper half) show five address digits: their
// columns lie one further right.
int AddressExtra(int line) {
  return line * kElementsPerLine >= 0x10000 ? 1 : 0;
}

constexpr std::uint32_t kEscape = 27;
constexpr std::uint32_t kPasteKey = 22;
constexpr std::uint32_t kFirstPrintable = 28;
constexpr std::uint32_t kLastPrintable = 127;

bool Printable(std::uint32_t key) {
  return key >= kFirstPrintable && key <= kLastPrintable;
}

int HexKeyValue(std::uint32_t key) {
  return key < 128 ? HexDigitValue(static_cast<char>(key)) : -1;
}

// The leading digits of the blank value's four-digit form that are 0: never editable.
int LeadingZeroDigits(std::uint16_t blank) {
  const std::string digits = Hex4(blank);
  int n = 0;
  while (n < 3 && digits[static_cast<std::size_t>(n)] == '0') ++n;
  return n;
}

int NextLine(int line, int lines) {
  return (line + 1) % lines;
}

std::uint32_t ParseDecimal(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9' && value < 100000)
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

std::uint32_t ParseHex(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit >= 0 && value < 0x10000) value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

HexKeyResult TypeCodeKey(Workspace& workspace, HexCaret& caret, std::uint32_t key) {
  const DeviceDescriptor& device = workspace.Device;
  const int lines = HexViewLineCount(HexView::Code, device);
  HexKeyResult result;
  if (lines == 0) return result;
  const std::uint16_t blank = device.BlankValue;
  const int skip = LeadingZeroDigits(blank);

  if (caret.Column < kFieldStart) {
    caret.Column = kFieldStart + 1 + skip;
    return result;
  }
  if (caret.Column == kCodeLastSeparator) caret = {NextLine(caret.Line, lines), kFieldStart};
  if (caret.Column > kCodeLastChar) caret = {NextLine(caret.Line, lines), kCodeBlank};
  if (caret.Column == kCodeBlank) {
    caret.Column = kCodeFirstChar;
    return result;
  }

  BufferSlot& slot = workspace.Active();
  const int column = caret.Column;
  if (column < kCodeLastSeparator) {
    const int field = (column - kFieldStart) / kCodeFieldWidth;
    const int digit = (column - kFieldStart) % kCodeFieldWidth - 1;
    // A separator, or a digit that the core width keeps at 0: on to the first editable digit.
    if (digit < skip) {
      caret.Column = kFieldStart + field * kCodeFieldWidth + 1 + skip;
      return result;
    }
    int value = HexKeyValue(key);
    if (value < 0) return result;
    const int most = HexDigitValue(Hex4(blank)[static_cast<std::size_t>(digit)]);
    value = std::min(value, most);
    const int index = caret.Line * kElementsPerLine + field;
    const int shift = (3 - digit) * 4;
    std::uint16_t element = slot.CodeBuffer[static_cast<std::size_t>(index)];
    element = static_cast<std::uint16_t>((element & ~(0xF << shift)) | (value << shift));
    slot.CodeBuffer[static_cast<std::size_t>(index)] = element & blank;
    result.ChangedLine = caret.Line;
    if (digit < 3) {
      caret.Column = column + 1;
    } else if (field < kElementsPerLine - 1) {
      caret.Column = column + 2 + skip;
    } else {
      caret = {NextLine(caret.Line, lines), kFieldStart + 1 + skip};
    }
  } else {
    if (!Printable(key)) return result;
    const int index = caret.Line * kElementsPerLine + (column - kCodeFirstChar);
    slot.CodeBuffer[static_cast<std::size_t>(index)] = static_cast<std::uint16_t>(key) & blank;
    result.ChangedLine = caret.Line;
    if (column == kCodeLastChar) {
      caret = {NextLine(caret.Line, lines), kCodeFirstChar};
    } else {
      caret.Column = column + 1;
    }
  }
  workspace.ShowStoredConfigWord();
  return result;
}

HexKeyResult TypeDataKey(Workspace& workspace, HexCaret& caret, std::uint32_t key) {
  const DeviceDescriptor& device = workspace.Device;
  const int lines = HexViewLineCount(HexView::Data, device);
  HexKeyResult result;
  if (lines == 0) return result;

  if (caret.Column < kFieldStart) {
    caret.Column = kFieldStart + 1;
    return result;
  }
  if (caret.Column == kDataLastSeparator) caret = {NextLine(caret.Line, lines), kFieldStart};
  if (caret.Column >= kDataLineEnd) caret = {NextLine(caret.Line, lines), kDataBlank};

  BufferSlot& slot = workspace.Active();
  const int column = caret.Column;
  if (column < kDataLastSeparator) {
    if ((column - kFieldStart) % kDataFieldWidth == 0) {
      caret.Column = column + 1;
      return result;
    }
    const int value = HexKeyValue(key);
    if (value < 0) return result;
    const int field = (column - kFieldStart) / kDataFieldWidth;
    const bool second = column == field * kDataFieldWidth + kFieldStart + 2;
    const int index = caret.Line * kElementsPerLine + field;
    std::uint16_t byte = slot.DataBuffer[static_cast<std::size_t>(index)] & 0xFF;
    byte = second ? static_cast<std::uint16_t>((byte & 0xF0) | value)
                  : static_cast<std::uint16_t>((byte & 0x0F) | (value << 4));
    slot.DataBuffer[static_cast<std::size_t>(index)] = byte;
    result.ChangedLine = caret.Line;
    if (!second) {
      caret.Column = column + 1;
    } else if (field < kElementsPerLine - 1) {
      caret.Column = column + 2;
    } else {
      caret = {NextLine(caret.Line, lines), kFieldStart + 1};
    }
  } else if (column >= kDataFirstChar && column <= kDataLastChar) {
    if (!Printable(key)) return result;
    const int index = caret.Line * kElementsPerLine + (column - kDataFirstChar);
    slot.DataBuffer[static_cast<std::size_t>(index)] = static_cast<std::uint16_t>(key);
    result.ChangedLine = caret.Line;
    if (column == kDataLastChar) {
      caret = {NextLine(caret.Line, lines), kDataFirstChar};
    } else {
      caret.Column = column + 1;
    }
  } else if (column == kDataBlank) {
    caret.Column = kDataFirstChar;
  }
  return result;
}

}  // namespace

int HexViewLineCount(HexView view, const DeviceDescriptor& device) {
  const int elements = view == HexView::Code ? device.CodeSize : std::max(device.DataSize, 0);
  return std::min(elements, kBufferElements) / kElementsPerLine;
}

int HexViewLineLength(HexView view) {
  return view == HexView::Code ? kCodeLineLength : kDataLineLength;
}

char HexViewCharacter(HexView view, std::uint16_t element) {
  const auto byte = static_cast<unsigned char>(element & 0xFF);
  // The data view shows a blank as a blank; the code view counts it as unprintable.
  const unsigned firstShown = view == HexView::Code ? 33 : 32;
  return byte < firstShown ? '.' : static_cast<char>(byte);
}

std::string SelectionAsHex(HexView view, const BufferSlot& slot, int firstLine, int firstColumn,
                           int lastLine, int lastColumn) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  constexpr int kAddressColumns = 6;  // "0000: "
  const bool code = view == HexView::Code;
  const int fieldWidth = code ? 5 : 3;
  const int fieldsEnd = kAddressColumns + kElementsPerLine * fieldWidth;
  const int charactersStart = fieldsEnd + 1;
  const std::vector<std::uint16_t>& buffer = code ? slot.CodeBuffer : slot.DataBuffer;
  std::string text;
  for (int line = firstLine; line <= lastLine; ++line) {
    const int from = line == firstLine ? firstColumn : 0;
    const int to = line == lastLine ? lastColumn : HexViewLineLength(view);
    // The selected fields of a line decide; its characters count only where none is, so fields
    // selected on to the next line do not bring in the characters they pass over.
    std::array<bool, kElementsPerLine> byField{};
    std::array<bool, kElementsPerLine> byCharacter{};
    bool anyField = false;
    bool anyCharacter = false;
    for (int column = from; column < to; ++column) {
      if (column >= kAddressColumns && column < fieldsEnd) {
        byField[static_cast<std::size_t>((column - kAddressColumns) / fieldWidth)] = true;
        anyField = true;
      } else if (column >= charactersStart && column < charactersStart + kElementsPerLine) {
        byCharacter[static_cast<std::size_t>(column - charactersStart)] = true;
        anyCharacter = true;
      }
    }
    if (!anyField && !anyCharacter) continue;
    const std::array<bool, kElementsPerLine>& covered = anyField ? byField : byCharacter;
    if (!text.empty()) text += '\n';
    bool first = true;
    for (int i = 0; i < kElementsPerLine; ++i) {
      if (!covered[static_cast<std::size_t>(i)]) continue;
      const std::uint16_t e = buffer[static_cast<std::size_t>(line * kElementsPerLine + i)];
      if (!first) text += ' ';
      first = false;
      if (code) {
        text += kDigits[(e >> 12) & 0xF];
        text += kDigits[(e >> 8) & 0xF];
      }
      text += kDigits[(e >> 4) & 0xF];
      text += kDigits[e & 0xF];
    }
  }
  return text;
}

std::string HexViewLine(HexView view, const BufferSlot& slot, int line) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const bool code = view == HexView::Code;
  std::string text;
  text.reserve(static_cast<std::size_t>(HexViewLineLength(view)));
  const int first = line * kElementsPerLine;
  text += Hex4(static_cast<std::uint32_t>(first));
  text += ": ";
  const std::vector<std::uint16_t>& buffer = code ? slot.CodeBuffer : slot.DataBuffer;
  for (int i = 0; i < kElementsPerLine; ++i) {
    const std::uint16_t e = buffer[static_cast<std::size_t>(first + i)];
    if (code) {
      text += kDigits[(e >> 12) & 0xF];
      text += kDigits[(e >> 8) & 0xF];
    }
    text += kDigits[(e >> 4) & 0xF];
    text += kDigits[e & 0xF];
    text += ' ';
  }
  text += ' ';
  for (int i = 0; i < kElementsPerLine; ++i) {
    text += HexViewCharacter(view, buffer[static_cast<std::size_t>(first + i)]);
  }
  return text;
}

HexKeyResult TypeKey(HexView view, Workspace& workspace, HexCaret& caret, std::uint32_t key) {
  if (key == kEscape) return {.Action = HexKeyAction::ClearSelection};
  if (key == kPasteKey) return {.Action = HexKeyAction::Paste};
  if (key < kFirstPrintable) return {};
  HexCaret inner{caret.Line, caret.Column - AddressExtra(caret.Line)};
  const HexKeyResult result = view == HexView::Code ? TypeCodeKey(workspace, inner, key)
                                                    : TypeDataKey(workspace, inner, key);
  caret = {inner.Line, inner.Column + AddressExtra(inner.Line)};
  return result;
}

std::optional<int> EditLocationAddress(HexView view, int editRow, int editColumn) {
  const int offset = editColumn - kFieldStart - AddressExtra(std::max(editRow, 0));
  const int width = view == HexView::Code ? kCodeFieldWidth : kDataFieldWidth;
  if (editRow < 0 || offset < 0 || offset >= width * kElementsPerLine) return std::nullopt;
  return editRow * kElementsPerLine + offset / width;
}

EditFields EditFieldsFor(std::uint32_t value, std::uint16_t mask) {
  const std::uint32_t masked = value & mask;
  return {std::to_string(value), Hex4(masked), static_cast<char>(masked & 0xFF)};
}

EditFields LinkEditFields(EditField changed, const EditFields& fields, std::uint16_t mask) {
  EditFields result = fields;
  switch (changed) {
    case EditField::Decimal: {
      const std::uint32_t masked = ParseDecimal(fields.Decimal) & mask;
      result.Hex = Hex4(masked);
      result.Ascii = static_cast<char>(masked & 0xFF);
      break;
    }
    case EditField::Hex: {
      const std::uint32_t value = ParseHex(fields.Hex);
      result.Decimal = std::to_string(value);
      result.Ascii = static_cast<char>((value & mask) & 0xFF);
      break;
    }
    case EditField::Ascii: {
      const auto code = static_cast<unsigned char>(fields.Ascii);
      result.Decimal = std::to_string(code);
      result.Hex = Hex4(code);
      break;
    }
  }
  return result;
}

std::optional<char> FilterDecimalKey(char key) {
  const auto code = static_cast<unsigned char>(key);
  if ((key >= '0' && key <= '9') || code <= 13) return key;
  return std::nullopt;
}

std::optional<char> FilterHexKey(char key) {
  const auto code = static_cast<unsigned char>(key);
  if (code < 16 || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'F')) return key;
  if (key >= 'a' && key <= 'f') return AsciiUpper(key);
  return std::nullopt;
}

EditDialogSetup SetupEditDialog(EditMode mode, const Workspace& workspace, HexView view,
                                int address) {
  const DeviceDescriptor& device = workspace.Device;
  const std::uint16_t blank = device.BlankValue;
  EditDialogSetup setup;
  switch (mode) {
    case EditMode::Location: {
      setup.Caption = std::string(text::kEditAddressCaption) +
                      Hex4(static_cast<std::uint32_t>(address)) +
                      std::string(text::kEditAddressCaptionEnd);
      const BufferSlot& slot = workspace.Active();
      const std::uint16_t element = view == HexView::Code
                                        ? slot.CodeBuffer[static_cast<std::size_t>(address)]
                                        : slot.DataBuffer[static_cast<std::size_t>(address)] & 0xFF;
      setup.Fields = EditFieldsFor(element, blank);
      return setup;
    }
    case EditMode::FillCode:
      setup.Caption = std::string(text::kFillBufferCaption);
      setup.Fields = EditFieldsFor(blank, blank);
      return setup;
    case EditMode::FillData:
      setup.Caption = std::string(text::kFillDataBufferCaption);
      setup.Fields = EditFieldsFor(0xFF, blank);
      return setup;
    case EditMode::FillCodeFrom:
    case EditMode::FillDataFrom: {
      const bool code = mode == EditMode::FillCodeFrom;
      setup.Caption =
          std::string(code ? text::kFillBufferFromCaption : text::kFillDataBufferFromCaption);
      setup.Fields = EditFieldsFor(blank, blank);
      setup.AddressVisible = true;
      setup.Width = 312;
      setup.From = "0000";
      // On 12-bit PICs the ID words after program memory stay outside the default range.
      const int last = code ? device.CodeSize - 1 - (device.Is12Bit ? 4 : 0) : device.DataSize - 1;
      setup.To = Hex4(static_cast<std::uint32_t>(std::max(last, 0)));
      return setup;
    }
  }
  return setup;
}

HexView ApplyEditDialog(EditMode mode, Workspace& workspace, HexView view, int address,
                        std::string_view decimal, std::string_view from, std::string_view to) {
  const DeviceDescriptor& device = workspace.Device;
  BufferSlot& slot = workspace.Active();
  const std::uint32_t value = ParseDecimal(decimal);
  const auto codeValue = static_cast<std::uint16_t>(value & device.BlankValue);
  const auto dataValue = static_cast<std::uint16_t>(value & 0xFF);
  const auto fill = [](std::vector<std::uint16_t>& buffer, std::uint32_t first, std::uint32_t last,
                       int size, std::uint16_t v) {
    const std::uint32_t end = std::min<std::uint32_t>(last, static_cast<std::uint32_t>(size - 1));
    if (size < 1 || first > end) return;
    std::fill(buffer.begin() + first, buffer.begin() + end + 1, v);
  };
  const int dataSize = std::max(device.DataSize, 0);
  HexView changed = HexView::Code;
  switch (mode) {
    case EditMode::Location:
      changed = view;
      if (view == HexView::Code) {
        if (address < device.CodeSize)
          slot.CodeBuffer[static_cast<std::size_t>(address)] = codeValue;
      } else if (address < dataSize) {
        slot.DataBuffer[static_cast<std::size_t>(address)] = dataValue;
      }
      break;
    case EditMode::FillCode:
      fill(slot.CodeBuffer, 0, kBufferElements - 1, device.CodeSize, codeValue);
      break;
    case EditMode::FillCodeFrom:
      fill(slot.CodeBuffer, ParseHex(from), ParseHex(to), device.CodeSize, codeValue);
      break;
    case EditMode::FillData:
      changed = HexView::Data;
      fill(slot.DataBuffer, 0, 0xFFFF, dataSize, dataValue);
      break;
    case EditMode::FillDataFrom:
      changed = HexView::Data;
      fill(slot.DataBuffer, ParseHex(from), ParseHex(to), dataSize, dataValue);
      break;
  }
  if (changed == HexView::Code) workspace.ShowStoredConfigWord();
  return changed;
}

}  // namespace kestrum
