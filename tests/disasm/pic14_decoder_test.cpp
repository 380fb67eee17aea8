// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of single words in address order: table order where encodings overlap, the bank
// bit followed along the way, bit names, in the listing's columns.
#include "disasm/pic14_decoder.hpp"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace kestrum {
namespace {

TEST(Pic14Decoder, DecodesInAddressOrderFollowingTheBank) {
  const std::vector<std::pair<std::uint16_t, std::string>> words = {
      // NOP's mask takes 0x0060 before TRIS is considered.
      {0x0060, "NOP"},
      {0x0103, "CLRW"},
      {0x3FFE, "ADDLW   0xFE"},
      {0x33A5, "MOVLW   0xA5"},
      {0x0065, "TRIS    PORTA"},
      {0x0067, "TRIS    0x07"},
      // No instruction: kept as data at its address.
      {0x3B12, "DATA    0x3B12    ; ????"},
      {0x0805, "MOVF    PORTA     , W"},
      {0x0885, "MOVF    PORTA     , f"},
      {0x1781, "BSF     TMR0      , 07"},
      {0x170B, "BSF     INTCON    , 0x06"},
      {0x1983, "BTFSC   STATUS    , NOT_PD"},
      {0x1683, "BSF     STATUS    , RP0"},
      {0x0081, "MOVWF   OPTION_REG"},
      {0x0085, "MOVWF   TRISA"},
      {0x0080, "MOVWF   0x00"},
      {0x1781, "BSF     OPTION_REG, NOT_RBPU"},
      // Other STATUS bits, and testing RP0, keep the bank.
      {0x1703, "BSF     STATUS    , RP1"},
      {0x1E83, "BTFSS   STATUS    , RP0"},
      {0x0088, "MOVWF   EECON1"},
      {0x1283, "BCF     STATUS    , RP0"},
      {0x0085, "MOVWF   PORTA"}};
  Pic14Decoder decoder;
  for (const auto& [word, line] : words) {
    EXPECT_EQ(FormatListingLine(decoder.Decode(word).Line), std::string(12, ' ') + line)
        << std::hex << word;
  }
}

}  // namespace
}  // namespace kestrum
