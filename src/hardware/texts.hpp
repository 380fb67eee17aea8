// Every text of the programmer hardware layer that the user sees, in one place.
#pragma once

#include <string_view>

namespace kestrum::text {

// The programmer list of the hardware settings, in programmer type order.
inline constexpr std::string_view kProgrammerJdm = "JDM Programmer";
inline constexpr std::string_view kProgrammerConquest = "Conquest Programmer";
inline constexpr std::string_view kProgrammerTafe = "TAFE Programmer";
inline constexpr std::string_view kProgrammerTaitSerial = "TAIT Serial Programmer";
inline constexpr std::string_view kProgrammerFunCard = "Fun-Card Programmer";
inline constexpr std::string_view kProgrammerTaitParallel = "TAIT Parallel Programmer";
inline constexpr std::string_view kProgrammerProPic2 = "ProPic 2 Programmer";
inline constexpr std::string_view kProgrammerSchaer = "SCHAER Programmer";
inline constexpr std::string_view kProgrammerStk200 = "STK200 Programmer";
inline constexpr std::string_view kProgrammerAn589 = "AN589 Programmer";
inline constexpr std::string_view kProgrammerJdmFtdi = "JDM (FTDI cable)";
inline constexpr std::string_view kProgrammerFtdiBitBang = "FTDI bit-bang";

// Port name prefixes: serial ports for the JDM programmer, parallel ports for all others.
inline constexpr std::string_view kSerialPortPrefix = "Com";
inline constexpr std::string_view kParallelPortPrefix = "LPT";
inline constexpr std::string_view kUsbPortPrefix = "USB";
inline constexpr std::string_view kDefaultPortName = "Com 2";

// No usable port name: the operation ends before anything is driven.
inline constexpr std::string_view kNoPortSelected =
    "No programmer port is selected. Please choose a port under Settings > Hardware.";
// The smartcard reader is opened on the port of the hardware settings, which must be serial.
inline constexpr std::string_view kNoReaderPort =
    "The smartcard reader needs a serial port (Com1 to Com4). Please choose one under "
    "Settings > Hardware.";

// "Cannot open /dev/ttyS0 (Com1): Permission denied. Add your user to the group "dialout" and
// log in again."
inline constexpr std::string_view kCannotOpenPort = "Cannot open ";
inline constexpr std::string_view kPortNameBefore = " (";
inline constexpr std::string_view kPortNameAfter = "): ";
inline constexpr std::string_view kReasonEnd = ".";
inline constexpr std::string_view kJoinGroupBefore = " Add your user to the group \"";
inline constexpr std::string_view kJoinGroupAfter = "\" and log in again.";
inline constexpr std::string_view kSerialGroup = "dialout";
inline constexpr std::string_view kParallelGroup = "lp";

// A call on an open port that failed: the call, " on ", the device file, ": ", the reason.
inline constexpr std::string_view kCallOn = " on ";
inline constexpr std::string_view kCallReason = ": ";

// "Cannot access the I/O ports at 0378h (LPT1): Operation not permitted. Raw port access needs
// root or the capability CAP_SYS_RAWIO."
inline constexpr std::string_view kCannotAccessPorts = "Cannot access the I/O ports at ";
inline constexpr std::string_view kHexSuffix = "h";
inline constexpr std::string_view kRawAccessHint =
    " Raw port access needs root or the capability CAP_SYS_RAWIO.";

// "Cannot open the FTDI device 0403:6001 (USB1): Permission denied. Add your user to the group
// "plugdev" and log in again (the package's udev rule gives that group the FTDI chips)."
inline constexpr std::string_view kCannotOpenFtdi = "Cannot open the FTDI device ";
inline constexpr std::string_view kAnyFtdi = "0403 (any FTDI chip)";
inline constexpr std::string_view kUsbGroup = "plugdev";
inline constexpr std::string_view kUsbGroupAfter =
    "\" and log in again (the package's udev rule gives that group the FTDI chips).";
inline constexpr std::string_view kFtdiBusy = " Another program holds it: close it and try again.";
inline constexpr std::string_view kFtdiNotFound = " Plug it in, or check the FTDI device setting.";
// A call on the FTDI chip that failed during an operation: "ftdi_read_data on the FTDI chip:
// Connection timed out".
inline constexpr std::string_view kFtdiWriteCall = "ftdi_write_data";
inline constexpr std::string_view kFtdiReadCall = "ftdi_read_data";
inline constexpr std::string_view kFtdiChip = "the FTDI chip";

}  // namespace kestrum::text
