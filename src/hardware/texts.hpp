// SPDX-License-Identifier: GPL-3.0-or-later
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
inline constexpr std::string_view kProgrammerGpioHeader = "GPIO header";

// Port name prefixes: serial ports for the JDM programmer, parallel ports for all others.
inline constexpr std::string_view kSerialPortPrefix = "Com";
inline constexpr std::string_view kParallelPortPrefix = "LPT";
inline constexpr std::string_view kUsbPortPrefix = "USB";
inline constexpr std::string_view kGpioPortPrefix = "gpiochip";
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

// "Cannot open the GPIO chip /dev/gpiochip0: Permission denied. Add your user to the group
// "gpio" and log in again (or give the chip to your group with a udev rule)."
inline constexpr std::string_view kCannotOpenGpio = "Cannot open the GPIO chip ";
inline constexpr std::string_view kGpioGroup = "gpio";
inline constexpr std::string_view kGpioGroupAfter =
    "\" and log in again (or give the chip to your group with a udev rule).";
inline constexpr std::string_view kGpioBusy =
    " Another program holds one of its lines: stop it, or choose other lines.";
inline constexpr std::string_view kGpioNoSuchChip =
    " Choose the GPIO chip under Settings > Hardware.";
inline constexpr std::string_view kGpioLineBeyond =
    " The pin map names a line the chip does not have.";
inline constexpr std::string_view kGpioSetCall = "gpiod_line_set_value";
inline constexpr std::string_view kGpioGetCall = "gpiod_line_get_value";

// programmers.toml: "programmers.toml:7:9: pin 27 is not an output of a parallel port (2 to 9);
// the programmer "Bench board" is left out."
inline constexpr std::string_view kLeftOutBefore = "; the programmer \"";
inline constexpr std::string_view kLeftOutAfter = "\" is left out.";
inline constexpr std::string_view kLeftOutNameless = "; the programmer is left out.";
inline constexpr std::string_view kNotToml = "not a TOML file: ";
inline constexpr std::string_view kNothingLoaded = "; none of its programmers is loaded.";
inline constexpr std::string_view kNotEntries =
    "programmers are written as [[programmer]] tables; none of them is loaded.";
inline constexpr std::string_view kUnknownTopKeyBefore = "unknown key \"";
inline constexpr std::string_view kUnknownTopKeyAfter =
    "\" (programmers are [[programmer]] tables)";
inline constexpr std::string_view kUnknownKeyBefore = "unknown key \"";
inline constexpr std::string_view kUnknownKeyAfter = "\"";
inline constexpr std::string_view kNoName = "the programmer has no name";
inline constexpr std::string_view kBadPort =
    "port must be \"parallel\", \"serial\", \"ftdi\" or \"gpio\"";
inline constexpr std::string_view kNoLines = "the programmer has no [programmer.lines] table";
inline constexpr std::string_view kUnknownLineBefore = "unknown line \"";
inline constexpr std::string_view kUnknownLineAfter =
    "\" (the lines are DataOut, Clock, MCLR, VCC and DataIn)";
inline constexpr std::string_view kBadLine =
    "a line is a pin number, a list of pin numbers, or { pin = N, active = \"low\" }";
inline constexpr std::string_view kBadActive = "active must be \"high\" or \"low\"";
inline constexpr std::string_view kPin = "pin ";
inline constexpr std::string_view kParallelOutputs =
    " is not an output of a parallel port (2 to 9)";
inline constexpr std::string_view kParallelInputs =
    " is not an input of a parallel port (10, 11, 12, 13 or 15)";
inline constexpr std::string_view kSerialOutputs =
    " is not an output of a serial port (3 TXD, 4 DTR or 7 RTS)";
inline constexpr std::string_view kSerialInputs =
    " is not an input of a serial port (1 DCD, 6 DSR, 8 CTS or 9 RI)";
inline constexpr std::string_view kFtdiPins = " is not a pin of an FTDI chip (0 to 7)";
inline constexpr std::string_view kGpioLines = " is not a line a GPIO chip can have (0 to 63)";
inline constexpr std::string_view kBothOnPinMiddle = " and ";
inline constexpr std::string_view kBothOnPinAfter = " are both on pin ";
inline constexpr std::string_view kDataInOnePin = "DataIn reads a single pin";
inline constexpr std::string_view kNoLineBefore = "no ";
inline constexpr std::string_view kNoLineAfter = " line";
inline constexpr std::string_view kNoDataIn =
    "no DataIn line: the programmer could not read the chip back";
inline constexpr std::string_view kDuplicateBefore = "a programmer named \"";
inline constexpr std::string_view kDuplicateAfter = "\" is already defined at line ";
inline constexpr std::string_view kBuiltInNameAfter = "\" is built in; give yours another name";
inline constexpr std::string_view kBadWaitAfter =
    " must be a whole number of microseconds from 0 to 1000000";
inline constexpr std::string_view kProgrammersFileUnreadable = "Cannot read ";

// --list-ports and the hardware dialog's port box.
inline constexpr std::string_view kListSerial = "Serial ports:";
inline constexpr std::string_view kListParallel = "Parallel ports:";
inline constexpr std::string_view kListFtdi = "FTDI chips:";
// The first line --show-programmer prints: "# GPIO header, as Kestrum drives it.".
inline constexpr std::string_view kShownProgrammerBefore = "# ";
inline constexpr std::string_view kShownProgrammerAfter = ", as Kestrum drives it.\n";
inline constexpr std::string_view kListGpio = "GPIO chips:";
inline constexpr std::string_view kListNone = "none found";
inline constexpr std::string_view kFoundUart = "on-board UART";
inline constexpr std::string_view kFoundAt = " at ";
inline constexpr std::string_view kFoundUsbSerial = "USB serial adapter";
inline constexpr std::string_view kFoundSerialNumber = ", serial number ";
inline constexpr std::string_view kFoundDriver = ", driver ";
inline constexpr std::string_view kFoundParallel = "parallel port";
inline constexpr std::string_view kFoundFtdi = "FTDI chip";
inline constexpr std::string_view kFoundGpio = "GPIO chip";
inline constexpr std::string_view kFoundLines = " lines";
inline constexpr std::string_view kFoundUnopenable = " (cannot be opened: ";

// The JDM on a USB-serial adapter, said once: before, the device file, after; and for an
// adapter with an FTDI chip, the type that runs it at full speed.
inline constexpr std::string_view kUsbSerialJdmBefore =
    "The JDM Programmer is on a USB-serial adapter (";
inline constexpr std::string_view kUsbSerialJdmAfter =
    "): every change of a line costs a USB round trip, so programming a PIC takes minutes "
    "instead of seconds.";
inline constexpr std::string_view kUsbSerialFtdi =
    " The adapter has an FTDI chip: the programmer type \"JDM (FTDI cable)\" drives the same "
    "programmer through it at full speed.";

}  // namespace kestrum::text
