// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the device protocols and family drivers that the user sees, in one place.
#pragma once

#include <string_view>

namespace kestrum::text {

// Phase texts: "Reading Code (" + count + ") " + "bytes".
inline constexpr std::string_view kReadingCode = "Reading Code (";
inline constexpr std::string_view kReadingData = "Reading Data (";
inline constexpr std::string_view kProgrammingCode = "Programming Code (";
inline constexpr std::string_view kProgrammingData = "Programming Data (";
inline constexpr std::string_view kVerifyingCode = "Verifying Code (";
inline constexpr std::string_view kVerifyingData = "Verifying Data (";
inline constexpr std::string_view kCountEnd = ") ";
inline constexpr std::string_view kBytes = "bytes";
inline constexpr std::string_view kReadingConfiguration = "Reading Configuration";
inline constexpr std::string_view kProgrammingConfiguration = "Programming Configuration";

// Addresses in messages: four upper-case hexadecimal digits, then this.
inline constexpr std::string_view kAddressEnd = "h !";
inline constexpr std::string_view kProgrammingFailedCode = "Programming failed at Code address ";
inline constexpr std::string_view kProgrammingFailedData = "Programming failed at Data address ";

// The factory calibration word of an EPROM part reads blank or 0: the question, around the
// buffer's value in four hexadecimal digits.
inline constexpr std::string_view kCalibrationQuestionBefore =
    "No \"Oscillator Callibration Value\" found.\rDo you want to use value from file (";
inline constexpr std::string_view kCalibrationQuestionAfter = ") instead ?";
// A 12F629/675 whose OSCCAL word is no RETLW: the address, the word, then the rest.
inline constexpr std::string_view kOsccalInvalidBefore = "OSCCAL invalid: the word at ";
inline constexpr std::string_view kOsccalInvalidReads = "h reads ";
inline constexpr std::string_view kOsccalInvalidAfter =
    "h, which is not a RETLW. Nothing was erased; the part's calibration is to be restored "
    "first, or overwritten from the buffer on purpose.";

// Microwire and 4-wire EEPROMs: a Microwire part gave no ready signal after a write, within
// ten times its longest write time; the word's address follows, then "h !".
inline constexpr std::string_view kMicrowireNotReady =
    "No ready signal from the device after writing address ";

// SPI EEPROMs, AVR and 89S53 (serial programming over SPI).
// A part that never showed itself: an AVR that did not echo the programming enable after
// every attempt, or an SPI EEPROM whose status register never read as a part at rest.
inline constexpr std::string_view kNoAnswer =
    "The device does not answer: no part in the socket, or not in programming mode!";
// A paged AVR still busy long after a fuse or lock byte was written.
inline constexpr std::string_view kAvrNotReady =
    "The device did not finish writing its fuse or lock bits!";
// A fuse byte that reads back otherwise than written: the byte's name, what it reads, what
// was written: "The high fuse byte reads DFh, not FFh: the fuses were not programmed!".
inline constexpr std::string_view kFuseFailedBefore = "The ";
inline constexpr std::string_view kFuseBytes[] = {"low", "high", "extended"};
inline constexpr std::string_view kFuseFailedReads = " fuse byte reads ";
inline constexpr std::string_view kFuseFailedNot = "h, not ";
inline constexpr std::string_view kFuseFailedAfter = "h: the fuses were not programmed!";
// An SPI EEPROM still busy long after a byte was written: the address, then kAddressEnd.
inline constexpr std::string_view kWriteNotFinished =
    "The device did not finish writing at address ";

// An SPI EEPROM still busy long after its chip erase began.
inline constexpr std::string_view kEraseNotFinished = "The device did not finish erasing!";
// I2C EEPROMs: the part did not acknowledge a byte, or never came back from a write cycle.
inline constexpr std::string_view kNoAcknowledge = "No Acknowledge received!";

// Flash microcontrollers on the TAFE, the PIC 16C54 on the TAIT Parallel, the IM-Bus EEPROM.
// The TAIT Parallel's pin-count jumper, announced before every read and programming.
inline constexpr std::string_view kPin18Setting = "18 Pin PIC setting!";
inline constexpr std::string_view kPin28Setting = "28 Pin PIC setting!";
// A flash byte after which the part never signalled ready: this, the address, "h !".
inline constexpr std::string_view kFlashNotReady = "Device did not get ready at Code address ";

// Smartcards through the card reader.
inline constexpr std::string_view kResettingSmartcard = "Resetting Smartcard";
inline constexpr std::string_view kResettingCardFailed = "Resetting card failed!";
inline constexpr std::string_view kReadNotSupported = "Read/Verify is NOT supported!";
inline constexpr std::string_view kProgrammingNotSupported = "Programming is NOT supported!";
// A card that stops answering part way: + four hexadecimal digits + kAddressEnd.
inline constexpr std::string_view kCardNoAnswer = "No answer from the smartcard at address ";

}  // namespace kestrum::text
