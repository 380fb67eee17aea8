// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the PIC disassembler that the user sees, in one place: the assembler view's
// messages and captions, and the words the listing is written with.
#pragma once

#include <array>
#include <string_view>

namespace kestrum::text {

// Assembler view command.
inline constexpr std::string_view kAssemblerMenuItem = "&Assembler";
inline constexpr std::string_view kAssemblerViewHint = "Assembler View";
inline constexpr std::string_view kDisassembling = "Disassembling...";
inline constexpr std::string_view kOnlyPicSupported = "Only 14/12 bit PIC supported!";
inline constexpr std::string_view kTwelveBitPicNotSupported = "12 bit PIC currently not supported!";
// Writing the listing to a file: "Cannot write " + path + ": " + reason.
inline constexpr std::string_view kCannotWriteListing = "Cannot write ";
inline constexpr std::string_view kCannotWriteReasonSeparator = ": ";

// Listing header and footer.
inline constexpr std::string_view kListingCommentPrefix = "; ";
inline constexpr std::string_view kListingGenerator = "Disassembled by ";
inline constexpr std::string_view kListingIndent = "            ";
inline constexpr std::string_view kListingProcessor = "LIST      P=16F84, F=INHX8M";
inline constexpr std::string_view kListingInclude = "include \"P16FXX.inc\"";
inline constexpr std::string_view kListingOrigin = "ORG     0x0000";
inline constexpr std::string_view kListingEnd = "END";

// Directives and fixed fields of listing lines.
inline constexpr std::string_view kAsmOrg = "ORG";
inline constexpr std::string_view kAsmData = "DATA";
inline constexpr std::string_view kAsmEqu = "EQU";
inline constexpr std::string_view kAsmSpaceLine = " ";
inline constexpr std::string_view kAsmLabelPrefix = "Label_";
inline constexpr std::string_view kAsmUnknownWord = "; ????";
inline constexpr std::string_view kAsmDestinationW = ", W";
inline constexpr std::string_view kAsmDestinationF = ", f";
inline constexpr std::string_view kAsmHexPrefix = "0x";

// Mnemonics of the 14-bit instruction set.
inline constexpr std::string_view kAsmAddwf = "ADDWF";
inline constexpr std::string_view kAsmAndwf = "ANDWF";
inline constexpr std::string_view kAsmClrf = "CLRF";
inline constexpr std::string_view kAsmClrw = "CLRW";
inline constexpr std::string_view kAsmComf = "COMF";
inline constexpr std::string_view kAsmDecf = "DECF";
inline constexpr std::string_view kAsmDecfsz = "DECFSZ";
inline constexpr std::string_view kAsmIncf = "INCF";
inline constexpr std::string_view kAsmIncfsz = "INCFSZ";
inline constexpr std::string_view kAsmIorwf = "IORWF";
inline constexpr std::string_view kAsmMovf = "MOVF";
inline constexpr std::string_view kAsmMovwf = "MOVWF";
inline constexpr std::string_view kAsmNop = "NOP";
inline constexpr std::string_view kAsmRlf = "RLF";
inline constexpr std::string_view kAsmRrf = "RRF";
inline constexpr std::string_view kAsmSubwf = "SUBWF";
inline constexpr std::string_view kAsmSwapf = "SWAPF";
inline constexpr std::string_view kAsmXorwf = "XORWF";
inline constexpr std::string_view kAsmBcf = "BCF";
inline constexpr std::string_view kAsmBsf = "BSF";
inline constexpr std::string_view kAsmBtfsc = "BTFSC";
inline constexpr std::string_view kAsmBtfss = "BTFSS";
inline constexpr std::string_view kAsmAddlw = "ADDLW";
inline constexpr std::string_view kAsmAndlw = "ANDLW";
inline constexpr std::string_view kAsmCall = "CALL";
inline constexpr std::string_view kAsmClrwdt = "CLRWDT";
inline constexpr std::string_view kAsmGoto = "GOTO";
inline constexpr std::string_view kAsmIorlw = "IORLW";
inline constexpr std::string_view kAsmMovlw = "MOVLW";
inline constexpr std::string_view kAsmRetfie = "RETFIE";
inline constexpr std::string_view kAsmRetlw = "RETLW";
inline constexpr std::string_view kAsmReturn = "RETURN";
inline constexpr std::string_view kAsmSleep = "SLEEP";
inline constexpr std::string_view kAsmSublw = "SUBLW";
inline constexpr std::string_view kAsmXorlw = "XORLW";
inline constexpr std::string_view kAsmOption = "OPTION";
inline constexpr std::string_view kAsmTris = "TRIS ";

// Special function register names by file address 0x00..0x0B; an empty name is written as the
// address itself.
inline constexpr std::array<std::string_view, 12> kAsmRegistersBank0 = {
    "INDF",  "TMR0", "PCL",    "STATUS", "FSR",    "PORTA",
    "PORTB", "",     "EEDATA", "EEADR",  "PCLATH", "INTCON"};
inline constexpr std::array<std::string_view, 12> kAsmRegistersBank1 = {
    "",      "OPTION_REG", "PCL",    "STATUS", "FSR",    "TRISA",
    "TRISB", "",           "EECON1", "EECON2", "PCLATH", "INTCON"};

// Bit names of the registers that have them, bit 0 first; an empty name is written as the
// bit number.
inline constexpr std::string_view kAsmStatus = "STATUS";
inline constexpr std::string_view kAsmOptionReg = "OPTION_REG";
inline constexpr std::string_view kAsmIntcon = "INTCON";
inline constexpr std::array<std::string_view, 8> kAsmStatusBits = {"C",      "DC",  "Z",   "NOT_PD",
                                                                   "NOT_TO", "RP0", "RP1", "IRP"};
inline constexpr std::array<std::string_view, 8> kAsmOptionRegBits = {
    "PS0", "PS1", "PS2", "PSA", "T0SE", "T0CS", "INTEDG", "NOT_RBPU"};
inline constexpr std::array<std::string_view, 8> kAsmIntconBits = {"RBIF", "INTF", "T0IF", "RBIE",
                                                                   "INTE", "T0IE", "0x06", "GIE"};

}  // namespace kestrum::text
