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

// Smartcards through the card reader.
inline constexpr std::string_view kResettingSmartcard = "Resetting Smartcard";
inline constexpr std::string_view kResettingCardFailed = "Resetting card failed!";
inline constexpr std::string_view kReadNotSupported = "Read/Verify is NOT supported!";
inline constexpr std::string_view kProgrammingNotSupported = "Programming is NOT supported!";
// A card that stops answering part way: + four hexadecimal digits + kAddressEnd.
inline constexpr std::string_view kCardNoAnswer = "No answer from the smartcard at address ";

}  // namespace kestrum::text
