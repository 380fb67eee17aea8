// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the operations that the user sees, in one place.
#pragma once

#include <string_view>

#include "protocols/texts.hpp"

namespace kestrum::text {

// Confirmations.
inline constexpr std::string_view kConfirmProgram = "Do you really want to program the device?";
inline constexpr std::string_view kConfirmCodeProtect =
    "Do you really want to enable \"Code Protect\" for this device?";
inline constexpr std::string_view kConfirmErase = "Do you really want to erase the device?";
inline constexpr std::string_view kConfirmProgramConfig =
    "Do you really want to program the configuration?";

// The programmer cannot handle the device: this text, then the programmer's list text.
inline constexpr std::string_view kNotSupported = "This device is not supported by the ";
// The device's family has no protocol in this version yet: the three parts around the
// family's "Type: " text.
inline constexpr std::string_view kFamilyNotAvailableBefore = "This version cannot drive the ";
inline constexpr std::string_view kFamilyNotAvailableAfter = " family yet.";

// Status bar panel 0 while an operation runs.
inline constexpr std::string_view kStatusReading = "Reading...";
inline constexpr std::string_view kStatusProgramming = "Programming...";
inline constexpr std::string_view kStatusVerifying = "Verifying...";
inline constexpr std::string_view kStatusBlankCheck = "Blank Check...";
inline constexpr std::string_view kStatusErasing = "Erasing...";

// Progress window: the caption before the first operation and its prefix for the device
// name; the first text line; the Cancel button.
inline constexpr std::string_view kProgressInitialCaption = "Status";
inline constexpr std::string_view kProgressCaption = "Device: ";
inline constexpr std::string_view kProgressInitialText = "Reading";
inline constexpr std::string_view kProgressCancel = "&Cancel";

// Program All of an image that did not load cleanly: the text, the file and its problem
// ("/tmp/fw.hex: Error in file! (line 12)"), the question.
inline constexpr std::string_view kProgramBrokenFileBefore = "The file did not load cleanly: ";
inline constexpr std::string_view kProgramBrokenFileAfter =
    "\rDo you really want to program the device with what was loaded?";

// Cancel pressed: the command ended after the unit in progress.
inline constexpr std::string_view kReadCancelled =
    "Reading cancelled: the buffer holds what it held before the read.";
inline constexpr std::string_view kProgramCancelled =
    "Programming cancelled: nothing was written after the cancel, and the device was not "
    "verified.";
inline constexpr std::string_view kVerifyCancelled =
    "Verify cancelled: the device was not compared with the buffer.";
inline constexpr std::string_view kBlankCheckCancelled =
    "Blank check cancelled: the device was not checked.";

// A call on the programmer's port failed: the text, the call, the device and the reason
// (from the port), the end.
inline constexpr std::string_view kPortFailedBefore = "The programmer port failed: ";
inline constexpr std::string_view kPortFailedAfter =
    ". The operation was stopped; what it read or programmed is incomplete.";

// Results.
inline constexpr std::string_view kDeviceErased = "Device is erased.";
inline constexpr std::string_view kConfigurationProgrammed = "Configuration programmed!";
inline constexpr std::string_view kVerifyOk = "Device successfully verified!";
inline constexpr std::string_view kVerifyFailed = "Verify failed at address ";
inline constexpr std::string_view kVerifyFailedData = "Verify failed at data address ";
inline constexpr std::string_view kDeviceBlank = "Device is blank.";
inline constexpr std::string_view kNotBlank = "Device NOT blank at address ";
inline constexpr std::string_view kNotBlankData = "Device NOT blank at data address ";

// Detect, and the identity check before Program All, Verify and Erase All. The part is named
// as found, then the revision where its ID has one, then its ID.
inline constexpr std::string_view kStatusDetecting = "Detecting...";
inline constexpr std::string_view kFound = "Found ";
inline constexpr std::string_view kFoundRevision = ", revision ";
inline constexpr std::string_view kFoundIdBefore = " (device ID ";
inline constexpr std::string_view kFoundIdAfter = ")";
inline constexpr std::string_view kDetectIsSelected = ": the selected device.";
inline constexpr std::string_view kDetectSelectIt = ". Select it?";
inline constexpr std::string_view kDetectUnknownBefore = "Found device ID ";
inline constexpr std::string_view kDetectUnknownAfter = ", which is no device this version knows.";
inline constexpr std::string_view kDetectNothing =
    "No device ID could be read: the socket is empty, or the part has none.";
inline constexpr std::string_view kNoDeviceId = " has no device ID: Detect cannot find it.";
// A part that answers with a signature its kin share: the signature between the two.
inline constexpr std::string_view kDetectPresentBefore =
    "A part answers with the electronic signature ";
inline constexpr std::string_view kDetectPresentAfter =
    ", which does not tell which part it is: the selected device stays.";
inline constexpr std::string_view kWrongPartBefore = " in the socket, not the selected ";
inline constexpr std::string_view kWrongPartAfter = ": nothing was done.";
inline constexpr std::string_view kNoIdReadBefore =
    "No device ID could be read, where the selected ";
inline constexpr std::string_view kNoIdReadAfter = " has one: nothing was done.";

}  // namespace kestrum::text
