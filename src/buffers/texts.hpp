// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the file readers, writers and file commands that the user sees, in one place.
#pragma once

#include <string_view>

namespace kestrum::text {

// Record readers. Their messages gain a second line: the file, kLineSeparator, kLine and the
// line number ("Error in file!\r/tmp/fw.hex, line 12").
inline constexpr std::string_view kErrorInFile = "Error in file!";
inline constexpr std::string_view kChecksumError = "Checksum error!";
inline constexpr std::string_view kLineBreak = "\r";
inline constexpr std::string_view kLineSeparator = ", ";
inline constexpr std::string_view kLine = "line ";
// The same problem as a short text: "Error in file! (line 12)".
inline constexpr std::string_view kProblemLineBefore = " (line ";
inline constexpr std::string_view kProblemLineAfter = ")";

// Data a file holds outside the device's memories: the text, the amount and its unit, the
// text before the first address, the address in hexadecimal, "h.", a line break and the file
// ("Not loaded, outside the device: 512 bytes, the first at 9000h.\r/tmp/fw.hex").
inline constexpr std::string_view kOutsideBefore = "Not loaded, outside the device: ";
inline constexpr std::string_view kOutsideBytes = " bytes";
inline constexpr std::string_view kOutsideByte = " byte";
inline constexpr std::string_view kOutsideWords = " words";
inline constexpr std::string_view kOutsideWord = " word";
inline constexpr std::string_view kOutsideFirst = ", the first at ";
inline constexpr std::string_view kOutsideAfter = "h.";
// The same as a short text: "data outside the device (512 bytes from 9000h)".
inline constexpr std::string_view kOutsideProblem = "data outside the device (";
inline constexpr std::string_view kOutsideProblemFrom = " from ";
inline constexpr std::string_view kOutsideProblemAfter = "h)";

// Opening files.
inline constexpr std::string_view kHex16NotForEeprom =
    "This filetype is not supported for eeprom files.";
inline constexpr std::string_view kHex16NotForEepromData =
    "This filetype is not supported for eeprom files!";
inline constexpr std::string_view kSwapBytesQuestion = "Do you want to swap bytes?";
inline constexpr std::string_view kNoConfigInFile =
    "The file does not contain any configuration information!";
inline constexpr std::string_view kNoIdInFile = "The file does not contain a device ID value!";
// A file whose fuses take the part away from the programmer: this, then each warning.
inline constexpr std::string_view kFileRisks =
    "The file carries fuses that would take the part away from this programmer:\n\n";
// A file in which the reader found nothing to load: the text, then the file name.
inline constexpr std::string_view kNoDataInFile = "Nothing loaded, the file holds no data: ";
// A file whose every record failed: the text, then the file name.
inline constexpr std::string_view kNoRecordRead =
    "Nothing loaded, no record of the file could be read: ";

// A file that cannot be opened, read or written: the text, the file name, the separator and
// the system's reason ("Cannot open /home/me/a.hex: No such file or directory").
inline constexpr std::string_view kCannotOpenFile = "Cannot open ";
inline constexpr std::string_view kCannotReadFile = "Cannot read ";
inline constexpr std::string_view kCannotWriteFile = "Cannot write ";
inline constexpr std::string_view kReasonSeparator = ": ";

// File types of the open dialog, in filter order (type 1 first), with their patterns.
inline constexpr std::string_view kFilterIhx8 = "IHX8 files (*.hex,*.h8)";
inline constexpr std::string_view kPatternIhx8 = "*.HEX;*.H8";
inline constexpr std::string_view kFilterIhx16 = "IHX16 files (*.hex,*.h16)";
inline constexpr std::string_view kPatternIhx16 = "*.HEX;*.H16";
inline constexpr std::string_view kFilterBinary = "Binary files (*.bin)";
inline constexpr std::string_view kPatternBinary = "*.BIN";
inline constexpr std::string_view kFilterObject = "Object files (*.obj)";
inline constexpr std::string_view kPatternObject = "*.OBJ";
inline constexpr std::string_view kFilterMotorolaS = "Motorola S files (*.mot,*.s19)";
inline constexpr std::string_view kPatternMotorolaS = "*.MOT;*.S19";
inline constexpr std::string_view kFilterEeprom = "Eeprom files (*.e2p,*.epp)";
inline constexpr std::string_view kPatternEeprom = "*.E2P;*.EEP";
inline constexpr std::string_view kFilterAny = "Any file (*.*)";
inline constexpr std::string_view kPatternAny = "*.*";
inline constexpr std::string_view kOpenDefaultExtension = "hex";

// File types of the save dialog: type 1 and type 2.
inline constexpr std::string_view kSaveFilterIhx8 = "IHX8 files (*.hex)";
inline constexpr std::string_view kSavePatternIhx8 = "*.HEX";
inline constexpr std::string_view kSaveFilterBinary = "Binary files (*.bin)";
inline constexpr std::string_view kSavePatternBinary = "*.BIN";

// Extensions a save adds to a name that has none.
inline constexpr std::string_view kHexExtension = ".hex";
inline constexpr std::string_view kBinaryExtension = ".bin";

// The Edit dialog of the hex views: its captions by command.
inline constexpr std::string_view kEditAddressCaption = "Edit Address ";
inline constexpr std::string_view kEditAddressCaptionEnd = "h";
inline constexpr std::string_view kFillBufferCaption = "Fill Buffer";
inline constexpr std::string_view kFillBufferFromCaption = "Fill Buffer From...";
inline constexpr std::string_view kFillDataBufferCaption = "Fill Data Buffer";
inline constexpr std::string_view kFillDataBufferFromCaption = "Fill Data Buffer From...";

}  // namespace kestrum::text
