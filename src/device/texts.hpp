// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the device model that the user sees, in one place.
#pragma once

#include <string_view>

namespace kestrum::text {

inline constexpr std::string_view kProgramTitle = "Kestrum 1.01 - Prototype Programmer";
inline constexpr std::string_view kTitleFileSeparator = " - ";

// Device information ("Device &Information" in "&View").
inline constexpr std::string_view kDeviceInformation = "Device Information:";
inline constexpr std::string_view kInfoName = "Name: ";
inline constexpr std::string_view kInfoType = "Type: ";
inline constexpr std::string_view kInfoCodeSize = "Program Mem Size: ";
inline constexpr std::string_view kInfoCore = "Program Mem Core: ";
inline constexpr std::string_view kInfoCoreUnit = " bit";
inline constexpr std::string_view kInfoPinCount = "Pin Count: ";

// "Type: " texts per family.
inline constexpr std::string_view kTypeSerialPic = "Serial programmable";
inline constexpr std::string_view kTypeParallelPic = "Parallel programmable";
inline constexpr std::string_view kTypeParity = " parity";
inline constexpr std::string_view kTypePicSuffix = " PIC Microcontroller";
inline constexpr std::string_view kTypeI2cEeprom = "I²C Eeprom";
inline constexpr std::string_view kTypeMicrowireEeprom = "Microwire Eeprom";
inline constexpr std::string_view kTypeFourWireEeprom = "4-Wire Eeprom";
inline constexpr std::string_view kTypeAvrMicro = "AVR µC";
inline constexpr std::string_view kTypeFlashMicro = "Flash µC";
inline constexpr std::string_view kTypeSpiEeprom = "SPI Eeprom";
inline constexpr std::string_view kTypeSpiMicro = "SPI µC";
inline constexpr std::string_view kTypeImBusEeprom = "IM-Bus Eeprom";

// Status bar device panel.
inline constexpr std::string_view kStatusDevice = "Device: ";

// Configuration box.
inline constexpr std::string_view kConfigBoxCaption = "Configuration ";
inline constexpr std::string_view kOscillatorLabel = "Oscillator:";
inline constexpr std::string_view kBlockWriteProtectLabel = "Block Write Protect:";
inline constexpr std::string_view kCodeProtectLabel = "Code Protect:";
inline constexpr std::string_view kBrownOutLabel = "Brown-out Voltage:";
inline constexpr std::string_view kFusesLabel = "Fuses:";
inline constexpr std::string_view kIdValueLabel = "ID Value";
inline constexpr std::string_view kChecksumLabel = "Checksum";
inline constexpr std::string_view kOscillatorHint = "Oscillator value";
inline constexpr std::string_view kCodeProtectHint = "Code Protect value";
inline constexpr std::string_view kIdHint = "Customer ID values";
inline constexpr std::string_view kChecksumHint = "Checksum value";
inline constexpr std::string_view kConfigWordHint = "Configuration word value";
inline constexpr std::string_view kConfigWordPrefix = "Config word : ";
inline constexpr std::string_view kConfigWordSuffix = "h";
inline constexpr std::string_view kConfigWordInitial = "Config word : 0000h";
// The words after the first: "Config word 2 : 3FFFh".
inline constexpr std::string_view kConfigWordNumberPrefix = "Config word ";
inline constexpr std::string_view kConfigWordNumberColon = " : ";
inline constexpr std::string_view kUseChecksum = "&Use Checksum";
inline constexpr std::string_view kIdPaste = "&Paste";
inline constexpr std::string_view kCodeProtectOff = "CP OFF";

// Fuse tooltips.
inline constexpr std::string_view kTipWdt = "Watchdog Timer Enable";
inline constexpr std::string_view kTipCp = "Code Protection Enable";
inline constexpr std::string_view kTipMclr = "Master Clear Enable";
inline constexpr std::string_view kTipPwrt = "Power Up Timer Enable";
inline constexpr std::string_view kTipBoden = "Brown Out Reset Enable";
inline constexpr std::string_view kTipLvp = "Low Voltage Programming Enable";
inline constexpr std::string_view kTipCpd = "Code Protection Data Enable";
inline constexpr std::string_view kTipDebugger = "Background Debugger Mode Enable";
inline constexpr std::string_view kTipWrt = "Flash Program Memory Write Enable";
inline constexpr std::string_view kTipWen = "Write Enable";
inline constexpr std::string_view kTipMpeen = "Memory Parity Error Enable";

// Fuse values that take an AVR away from a serial programmer: the bits named, then what
// follows. They are shown before such fuses are written, and when a file that carries them
// is loaded.
inline constexpr std::string_view kRiskRstdisbl =
    "RSTDISBL programmed: the RESET pin becomes an I/O pin, and the part no longer enters "
    "serial programming. Only a high-voltage programmer can undo it.";
inline constexpr std::string_view kRiskDwen =
    "DWEN programmed: debugWIRE takes over the RESET pin, and the part no longer enters serial "
    "programming until a debugWIRE tool switches it off.";
inline constexpr std::string_view kRiskSpien =
    "SPIEN unprogrammed: serial programming is switched off. Only a high-voltage programmer "
    "can switch it on again.";
inline constexpr std::string_view kRiskExternalClock4 =
    "CKSEL3..0 = 0000, an external clock: without a clock fed to the clock input the part no "
    "longer answers this programmer.";
inline constexpr std::string_view kRiskExternalClock2 =
    "CKSEL1..0 = 00, an external clock: without a clock fed to CLKI the part no longer answers "
    "this programmer.";
inline constexpr std::string_view kRiskCrystal =
    "CKSEL3..0 selects a crystal or resonator: without one fitted on the board the part no "
    "longer answers this programmer.";
inline constexpr std::string_view kRiskExternalRc =
    "CKSEL3..0 selects an external RC oscillator: without its resistor and capacitor on the "
    "board the part no longer answers this programmer.";
inline constexpr std::string_view kRiskReservedClock =
    "CKSEL3..0 is a reserved clock code: the part may no longer answer this programmer.";

// Menu entries whose state follows the selected device.
inline constexpr std::string_view kMenuProgramConfig = "Pro&gram Config";
inline constexpr std::string_view kMenuEraseAll = "&Erase All";
inline constexpr std::string_view kMenuFillDataBuffer = "Fill &Data Buffer...";
inline constexpr std::string_view kMenuFillDataBufferFrom = "Fill Data B&uffer From...";
inline constexpr std::string_view kMenuOpenDataFile = "Open &Data File...";
inline constexpr std::string_view kMenuCopyFromDataBuffer = "C&opy From Data Buffer";
inline constexpr std::string_view kMenuPasteToDataBuffer = "P&aste To Data Buffer";
inline constexpr std::string_view kMenuDevice = "&Device";
inline constexpr std::string_view kMenuRecentDevices = "&Recent Devices";
inline constexpr std::string_view kMenuMore = "More";

// Toolbar device list separator: 54 dashes.
inline constexpr std::string_view kDeviceListSeparator =
    "------------------------------------------------------";

// Buffer slots.
inline constexpr std::string_view kBufferTabPrefix = "Buffer ";

// The user's devices file (~/.config/kestrum/devices.toml). A problem reads
// "FILE:LINE:COLUMN: " and one of these; an entry with a problem is skipped.
inline constexpr std::string_view kUserUnreadable = "cannot be read; no device added";
inline constexpr std::string_view kUserNotToml = "not a TOML file: ";
inline constexpr std::string_view kUserNothingAdded = "; no device added";
inline constexpr std::string_view kUserNotDevice = "unknown table ";
inline constexpr std::string_view kUserNotDeviceAfter = ", devices are [[device]] entries";
inline constexpr std::string_view kUserUnknownKey = "unknown key ";
inline constexpr std::string_view kUserMissing = " is missing";
inline constexpr std::string_view kUserNotString = " must be a non-empty string";
inline constexpr std::string_view kUserNotInteger = " must be an integer";
inline constexpr std::string_view kUserRangeBefore = " must be within ";
inline constexpr std::string_view kUserRangeTo = "..";
inline constexpr std::string_view kUserWordsBefore = " must be an array of 1 to ";
inline constexpr std::string_view kUserWordsMiddle = " words of at most 0x";
inline constexpr std::string_view kUserWordsAfter = "";
inline constexpr std::string_view kUserDuplicate = "a device named ";
inline constexpr std::string_view kUserDuplicateAfter = " exists already";
inline constexpr std::string_view kUserUnknownParent = "unknown parent device ";
inline constexpr std::string_view kUserPins = "\"pins\" must be 8, 14, 18, 20, 28 or 40";
inline constexpr std::string_view kUserPageSize =
    "\"code_size\" is not a multiple of \"page_size\"";
inline constexpr std::string_view kUserIdOutsideMask =
    "\"device_id\" has bits outside \"device_id_mask\"";
inline constexpr std::string_view kUserSkipped = "; the entry is skipped";
// The menu caption of a user's part: its name and this mark.
inline constexpr std::string_view kUserCaptionMark = " (user)";
// What `--show-device` prints before the entry.
inline constexpr std::string_view kUserShowHeader =
    "# An entry of ~/.config/kestrum/devices.toml: give it a new name, keep the parent, change\n"
    "# what differs and leave out what does not.\n";

}  // namespace kestrum::text
