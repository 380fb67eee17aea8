// SPDX-License-Identifier: GPL-3.0-or-later
// The code and data hex views without widgets: the text of their lines, in-place editing at
// the caret (one typed character at a time), the edit position of the Edit dialog, the
// dialog's linked fields and key filters, and the fills it runs on OK.
//
// A line is text in single bytes: the character columns show an element's low byte as the
// byte itself (a window maps bytes 128..255 to its own characters).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "buffers/workspace.hpp"

namespace kestrum {

enum class HexView { Code, Data };

inline constexpr int kElementsPerLine = 8;
// Line lengths without the line break: "0000: " + eight fields + " " + eight characters.
inline constexpr int kCodeLineLength = 55;
inline constexpr int kDataLineLength = 39;

// Only complete lines are shown (the four ID words that end a 12-bit PIC's code are not).
int HexViewLineCount(HexView view, const DeviceDescriptor& device);
int HexViewLineLength(HexView view);
std::string HexViewLine(HexView view, const BufferSlot& slot, int line);
// The character a view shows for a byte: the byte, or '.' below 33 (code) or 32 (data).
char HexViewCharacter(HexView view, std::uint16_t element);

// The elements a selection of a view covers (by their fields or their characters), as hex
// words (4 digits in the code view, 2 in the data view) parted by blanks, one text line per
// view line. Columns count from 0 and the last one is left out. Pasted at a field, the text
// types the same values back.
std::string SelectionAsHex(HexView view, const BufferSlot& slot, int firstLine, int firstColumn,
                           int lastLine, int lastColumn);

// The caret of a view: Line counts from 0, Column from 1 and is the column of the character
// to the right of the caret (1 is the start of a line, one past the last character its end).
struct HexCaret {
  int Line = 0;
  int Column = 1;
  bool operator==(const HexCaret&) const = default;
};

enum class HexKeyAction { None, ClearSelection, Paste };

struct HexKeyResult {
  HexKeyAction Action = HexKeyAction::None;
  // The line whose text changed (an element was stored), or -1.
  int ChangedLine = -1;
};

// `RichEdit1KeyPress` and `Data1KeyPress`: one typed character (its code; Esc is 27, Ctrl+V
// 22) at the caret of the view. Stores what the key means in the active slot, moves the caret,
// and after a stored code element refreshes the configuration display (the checksum).
HexKeyResult TypeKey(HexView view, Workspace& workspace, HexCaret& caret, std::uint32_t key);

// The element address the Edit dialog edits for the edit position (row from 0, column from
// 1), or nothing when the position is outside the word or byte fields.
std::optional<int> EditLocationAddress(HexView view, int editRow, int editColumn);

// The Edit dialog's three linked data fields.
struct EditFields {
  std::string Decimal;
  std::string Hex;
  char Ascii = 0;  // one byte
  bool operator==(const EditFields&) const = default;
};
enum class EditField { Decimal, Hex, Ascii };

// The fields after one of them changed: the other two follow it. `mask` is the device's
// `BlankValue`.
EditFields LinkEditFields(EditField changed, const EditFields& fields, std::uint16_t mask);
// The fields showing a value (decimal as given, the others masked).
EditFields EditFieldsFor(std::uint32_t value, std::uint16_t mask);
// Key filters: "Decimal" takes digits and control characters up to 13; the hexadecimal fields
// take hexadecimal digits ('a'..'f' upper-cased) and control characters below 16.
std::optional<char> FilterDecimalKey(char key);
std::optional<char> FilterHexKey(char key);

enum class EditMode {
  Location,      // one element of the code or data view
  FillCode,      // "&Fill Buffer"
  FillCodeFrom,  // "Fill &Buffer From..."
  FillData,      // "Fill &Data Buffer"
  FillDataFrom,  // "Fill Data B&uffer From..."
};

// How the dialog opens for a command.
struct EditDialogSetup {
  std::string Caption;
  EditFields Fields;
  bool AddressVisible = false;  // the "Address " group with "From..." and "To..."
  int Width = 200;              // pixels: 312 with the address group
  std::string From;
  std::string To;
};

// `view` and `address` only matter for EditMode::Location.
EditDialogSetup SetupEditDialog(EditMode mode, const Workspace& workspace,
                                HexView view = HexView::Code, int address = 0);

// What OK stores: the "Decimal" field's value, masked, at the address or over the fill range.
// Returns the view whose buffer changed. A code change refreshes the configuration display.
HexView ApplyEditDialog(EditMode mode, Workspace& workspace, HexView view, int address,
                        std::string_view decimal, std::string_view from, std::string_view to);

}  // namespace kestrum
