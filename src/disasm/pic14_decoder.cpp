// SPDX-License-Identifier: GPL-3.0-or-later
// The 14-bit PIC instruction table and the decoding of one word into listing columns.
#include "disasm/pic14_decoder.hpp"

#include <array>

#include "core/text.hpp"
#include "disasm/texts.hpp"

namespace kestrum {
namespace {

using K = OperandKind;

constexpr std::array<Instruction, 36> kInstructions = {{
    {text::kAsmAddwf, 0x0700, 0xFF00, K::FileDest},  {text::kAsmAndwf, 0x0500, 0xFF00, K::FileDest},
    {text::kAsmClrf, 0x0180, 0xFF80, K::File},       {text::kAsmClrw, 0x0100, 0xFF80, K::None},
    {text::kAsmComf, 0x0900, 0xFF00, K::FileDest},   {text::kAsmDecf, 0x0300, 0xFF00, K::FileDest},
    {text::kAsmDecfsz, 0x0B00, 0xFF00, K::FileDest}, {text::kAsmIncf, 0x0A00, 0xFF00, K::FileDest},
    {text::kAsmIncfsz, 0x0F00, 0xFF00, K::FileDest}, {text::kAsmIorwf, 0x0400, 0xFF00, K::FileDest},
    {text::kAsmMovf, 0x0800, 0xFF00, K::FileDest},   {text::kAsmMovwf, 0x0080, 0xFF80, K::File},
    {text::kAsmNop, 0x0000, 0xFF9F, K::None},        {text::kAsmRlf, 0x0D00, 0xFF00, K::FileDest},
    {text::kAsmRrf, 0x0C00, 0xFF00, K::FileDest},    {text::kAsmSubwf, 0x0200, 0xFF00, K::FileDest},
    {text::kAsmSwapf, 0x0E00, 0xFF00, K::FileDest},  {text::kAsmXorwf, 0x0600, 0xFF00, K::FileDest},
    {text::kAsmBcf, 0x1000, 0xFC00, K::FileBit},     {text::kAsmBsf, 0x1400, 0xFC00, K::FileBit},
    {text::kAsmBtfsc, 0x1800, 0xFC00, K::FileBit},   {text::kAsmBtfss, 0x1C00, 0xFC00, K::FileBit},
    {text::kAsmAddlw, 0x3E00, 0xFE00, K::Literal},   {text::kAsmAndlw, 0x3900, 0xFF00, K::Literal},
    {text::kAsmCall, 0x2000, 0xF800, K::Address},    {text::kAsmClrwdt, 0x0064, 0xFFFF, K::None},
    {text::kAsmGoto, 0x2800, 0xF800, K::Address},    {text::kAsmIorlw, 0x3800, 0xFF00, K::Literal},
    {text::kAsmMovlw, 0x3000, 0xFC00, K::Literal},   {text::kAsmRetfie, 0x0009, 0xFFFF, K::None},
    {text::kAsmRetlw, 0x3400, 0xFC00, K::Literal},   {text::kAsmReturn, 0x0008, 0xFFFF, K::None},
    {text::kAsmSleep, 0x0063, 0xFFFF, K::None},      {text::kAsmSublw, 0x3C00, 0xFE00, K::Literal},
    {text::kAsmXorlw, 0x3A00, 0xFF00, K::Literal},   {text::kAsmOption, 0x0062, 0xFFFF, K::None},
}};

// The 14-bit TRIS encodings 0x0060..0x0067 not taken by the table above.
constexpr std::uint16_t kTrisPattern = 0x0060;
constexpr std::uint16_t kTrisMask = 0xFFF8;

// STATUS is at file 3 in both banks and RP0 (bit 5) selects bank 1 on these parts.
constexpr unsigned kStatusFile = 0x03;
constexpr unsigned kBankBit = 5;

constexpr std::size_t kLabelWidth = 12;
constexpr std::size_t kMnemonicWidth = 8;
constexpr std::size_t kOperandWidth = 10;
constexpr std::size_t kBitOperandWidth = 10;
constexpr std::size_t kSuffixWidth = 10;

void AppendColumn(std::string& line, std::string_view field, std::size_t width) {
  field = field.substr(0, width);
  line += field;
  line.append(width - field.size(), ' ');
}

}  // namespace

std::string FormatListingLine(const ListingLine& line) {
  std::string text;
  AppendColumn(text, line.Label, kLabelWidth);
  AppendColumn(text, line.Mnemonic, kMnemonicWidth);
  AppendColumn(text, line.Operand, kOperandWidth);
  if (!line.BitOperand.empty()) {
    text += ", ";
    AppendColumn(text, line.BitOperand, kBitOperandWidth);
  }
  if (!line.Suffix.empty()) AppendColumn(text, line.Suffix, kSuffixWidth);
  const std::size_t end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 1 : end + 1);
  return text;
}

std::span<const Instruction> InstructionTable() {
  return kInstructions;
}

const Instruction* FindInstruction(std::uint16_t word) {
  for (const Instruction& instruction : kInstructions) {
    if ((word & instruction.Mask) == instruction.Pattern) return &instruction;
  }
  return nullptr;
}

std::string ByteText(unsigned value) {
  return std::string(text::kAsmHexPrefix) + Hex2(value);
}
std::string WordText(unsigned value) {
  return std::string(text::kAsmHexPrefix) + Hex4(value);
}

std::string RegisterName(unsigned file, bool bankOne) {
  const auto& names = bankOne ? text::kAsmRegistersBank1 : text::kAsmRegistersBank0;
  if (file < names.size() && !names[file].empty()) return std::string(names[file]);
  return ByteText(file);
}

std::string BitName(std::string_view registerName, unsigned bit) {
  const std::array<std::string_view, 8>* names = nullptr;
  if (registerName == text::kAsmStatus) names = &text::kAsmStatusBits;
  if (registerName == text::kAsmOptionReg) names = &text::kAsmOptionRegBits;
  if (registerName == text::kAsmIntcon) names = &text::kAsmIntconBits;
  if (names != nullptr && bit < names->size()) return std::string((*names)[bit]);
  return Hex2(bit);
}

DecodedWord Pic14Decoder::Decode(std::uint16_t word) {
  DecodedWord decoded;
  ListingLine& line = decoded.Line;
  const unsigned file = word & 0x7F;
  const Instruction* instruction = FindInstruction(word);
  if (instruction == nullptr) {
    if ((word & kTrisMask) == kTrisPattern) {
      line.Mnemonic = text::kAsmTris;
      line.Operand = RegisterName(word & 0x07, bankOne_);
    } else {
      // Written as a plain data word so that the word keeps its address when the listing is
      // assembled again; the marker shows it decoded to no instruction.
      line.Mnemonic = text::kAsmData;
      line.Operand = WordText(word);
      line.Suffix = text::kAsmUnknownWord;
    }
    return decoded;
  }
  line.Mnemonic = instruction->Mnemonic;
  switch (instruction->Kind) {
    case OperandKind::None:
      break;
    case OperandKind::File:
      line.Operand = RegisterName(file, bankOne_);
      break;
    case OperandKind::FileDest:
      line.Operand = RegisterName(file, bankOne_);
      line.Suffix = (word & 0x80) != 0 ? text::kAsmDestinationF : text::kAsmDestinationW;
      break;
    case OperandKind::FileBit: {
      const unsigned bit = (word >> 7) & 0x07;
      line.Operand = RegisterName(file, bankOne_);
      line.BitOperand = BitName(line.Operand, bit);
      if (file == kStatusFile && bit == kBankBit) {
        if (instruction->Mnemonic == text::kAsmBsf) bankOne_ = true;
        if (instruction->Mnemonic == text::kAsmBcf) bankOne_ = false;
      }
      break;
    }
    case OperandKind::Literal:
      line.Operand = ByteText(word & 0xFF);
      break;
    case OperandKind::Address:
      decoded.Target = word & 0x7FF;
      break;
  }
  return decoded;
}

}  // namespace kestrum
