// SPDX-License-Identifier: GPL-3.0-or-later
// Look-ups on the programmer type table.
#include "hardware/programmer_types.hpp"

#include "hardware/texts.hpp"

namespace kestrum {

bool IsValidProgrammerType(int index) {
  return index >= 0 && index < kProgrammerTypeCount;
}

const ProgrammerRow& RowOf(ProgrammerType type) {
  int index = static_cast<int>(type);
  return kProgrammerRows[IsValidProgrammerType(index) ? index : 0];
}

std::string_view ProgrammerListText(ProgrammerType type) {
  return RowOf(type).listText;
}

PortKind PortKindOf(ProgrammerType type) {
  return RowOf(type).portKind;
}

std::string_view PortPrefix(ProgrammerType type) {
  return PortPrefix(PortKindOf(type));
}

std::string_view PortPrefix(PortKind kind) {
  switch (kind) {
    case PortKind::Serial:
      return text::kSerialPortPrefix;
    case PortKind::Usb:
      return text::kUsbPortPrefix;
    case PortKind::Gpio:
      return text::kGpioPortPrefix;
    case PortKind::Parallel:
      break;
  }
  return text::kParallelPortPrefix;
}

std::uint8_t ProPic2VppBit(int pinCount) {
  switch (pinCount) {
    case 8:
    case 14:
    case 18:
    case 20:
      return kD3;
    case 28:
    case 40:
      return kD4;
    default:
      return 0;
  }
}

std::uint16_t PortBaseFor(PortKind kind, int digit) {
  if (digit < 1 || digit > 4 || kind == PortKind::Usb || kind == PortKind::Gpio) return 0;
  return kind == PortKind::Serial ? kSerialBases[digit - 1] : kParallelBases[digit - 1];
}

}  // namespace kestrum
