// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of single 14-bit PIC instruction words into the columns of an assembler line. The
// register bank is followed in address order, so register names depend on the words decoded
// before.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrum {

// One line of the listing, column by column; a line is printed when it has a label or a
// mnemonic.
struct ListingLine {
  std::string Label;
  std::string Mnemonic;
  std::string Operand;
  std::string BitOperand;
  std::string Suffix;

  bool Printed() const { return !Label.empty() || !Mnemonic.empty(); }
  bool operator==(const ListingLine&) const = default;
};

// The columns as text: label 12, mnemonic 8, operand 10, then ", " and the bit operand in 10
// and the suffix in 10 when they are present; longer fields are cut. Trailing blanks are
// removed, but a line keeps at least one character.
std::string FormatListingLine(const ListingLine& line);

enum class OperandKind { None, File, FileDest, FileBit, Literal, Address };

struct Instruction {
  std::string_view Mnemonic;
  std::uint16_t Pattern;
  std::uint16_t Mask;
  OperandKind Kind;
};

// The 14-bit instruction set in search order; the first entry whose masked pattern matches
// wins, so the order matters where masks overlap.
std::span<const Instruction> InstructionTable();
const Instruction* FindInstruction(std::uint16_t word);

// "0x" and two or four upper-case hexadecimal digits.
std::string ByteText(unsigned value);
std::string WordText(unsigned value);

// Name of file register `file` (7 bits) in the selected bank, or its address as a byte.
std::string RegisterName(unsigned file, bool bankOne);
// Name of bit `bit` of the register named `registerName`, or the bit number.
std::string BitName(std::string_view registerName, unsigned bit);

struct DecodedWord {
  ListingLine Line;
  // Program address a CALL or GOTO jumps to; its operand is the label the caller assigns.
  std::optional<unsigned> Target;
};

class Pic14Decoder {
 public:
  // Decodes one word; BSF and BCF on the bank bit switch the bank for the following words.
  DecodedWord Decode(std::uint16_t word);
  bool BankOne() const { return bankOne_; }

 private:
  bool bankOne_ = false;
};

}  // namespace kestrum
