// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the application shell that the user sees, in one place.
#pragma once

#include <string_view>

namespace kestrum::text {

inline constexpr std::string_view kRecentFilesNone = "<none>";

// The hardware settings dialog refuses OK with a field it cannot use: before, the text, after.
inline constexpr std::string_view kBadPinMapBefore = "The pin map \"";
inline constexpr std::string_view kBadPinMapAfter =
    "\" cannot be used: Data Out, Clock and Data In need a pin each, MCLR and VCC may have one, "
    "every line on a pin of its own from 0 to 7, as in DataOut=0 Clock=2 MCLR=4 VCC=!3 DataIn=1 "
    "(! for an active-low line).";
inline constexpr std::string_view kBadGpioPinMapAfter =
    "\" cannot be used: Data Out, Clock and Data In need a line each, MCLR and VCC may have one, "
    "every line on a line of the chip of its own from 0 to 63, as in DataOut=17 Clock=27 MCLR=23 "
    "VCC=!24 DataIn=22 (! for an active-low line).";
inline constexpr std::string_view kBadPortBefore = "The port \"";
inline constexpr std::string_view kBadPortAfter =
    "\" is not one this programmer can use: choose one of the ports listed.";
inline constexpr std::string_view kBadFtdiDeviceBefore = "The FTDI device \"";
inline constexpr std::string_view kBadFtdiDeviceAfter =
    "\" cannot be used: give vendor:product in hex, optionally :serial (0403:6001:A12BC3DE), or "
    "leave it empty for any FTDI chip.";
inline constexpr std::string_view kPortOn = " on ";

inline constexpr std::string_view kFirstStart =
    "This is the first time you start Kestrum. Please configure your hardware first!";
inline constexpr std::string_view kUnknownDevice = "There is no device with the number ";
inline constexpr std::string_view kSeeListDevices = " (see kestrum --list-devices).";
// Names on the command line: "There is no device named "16F8x". The closest: PIC 16F84, ..."
// and ""16F8" names more than one device: PIC 16F84, PIC 16F84A. Give more of the name ...".
inline constexpr std::string_view kKindDevice = "device";
inline constexpr std::string_view kKindProgrammer = "programmer";
inline constexpr std::string_view kKindPort = "port";
inline constexpr std::string_view kNoNamedBefore = "There is no ";
inline constexpr std::string_view kNoNamedMiddle = " named \"";
inline constexpr std::string_view kClosestAfter = "\". The closest: ";
inline constexpr std::string_view kAmbiguousBefore = "\"";
inline constexpr std::string_view kAmbiguousMiddle = "\" names more than one ";
inline constexpr std::string_view kAmbiguousAfter = ": ";
inline constexpr std::string_view kAmbiguousEnd = ". Give more of the name";
inline constexpr std::string_view kNameEnd = ".";
inline constexpr std::string_view kSeeListPorts = " (see kestrum --list-ports).";

// A number of a menu entry without a device behind it ("MDA 2062"): around its caption.
inline constexpr std::string_view kNoProtocolBefore = "The ";
inline constexpr std::string_view kNoProtocolAfter =
    " has no programming protocol in this version and cannot be selected.";

// The settings file: before, the path, the separator, the reason, the end.
inline constexpr std::string_view kSettingsUnreadable = "Cannot read the settings file ";
inline constexpr std::string_view kSettingsReason = ": ";
inline constexpr std::string_view kSettingsNotIni = "it is not an INI file";
inline constexpr std::string_view kSettingsUnreadableEnd =
    ". Kestrum runs with the default settings and leaves the file as it is.";
inline constexpr std::string_view kSettingsUnwritable = "The settings cannot be saved in ";
inline constexpr std::string_view kSettingsUnwritableEnd =
    ". Changes to the settings last only until Kestrum ends.";
// A stored value out of range: before, the key, "=", the value, middle, the default used.
inline constexpr std::string_view kSettingReplacedBefore = "The setting ";
inline constexpr std::string_view kSettingReplacedEquals = "=";
inline constexpr std::string_view kSettingReplacedMiddle =
    " in the settings file is out of range; its default is used: ";

// The virtual programmer's chip images.
inline constexpr std::string_view kChipImageUnreadable = "Cannot read the simulated chip image ";
// A chip image that does not load cleanly: before, the path, middle, the first problem.
inline constexpr std::string_view kChipImageDamagedBefore = "The simulated chip image ";
inline constexpr std::string_view kChipImageDamagedMiddle = " does not load cleanly: ";
inline constexpr std::string_view kChipImageEmpty = "it holds no data";
// After either: the file is kept and the chip stays out.
inline constexpr std::string_view kChipImageKept =
    ". It is left as it is, and the socket stays empty until it is mended or removed.";
// Another run holds the chip: before, the path, after.
inline constexpr std::string_view kChipImageWaitBefore =
    "Waiting until another run of Kestrum has finished with the simulated chip ";
inline constexpr std::string_view kChipImageWaitAfter = " ...";
inline constexpr std::string_view kChipImageUnlockable = "Cannot lock the simulated chip image ";
inline constexpr std::string_view kChipImageUnwritable = "Cannot save the simulated chip image ";

inline constexpr std::string_view kPrintNeedsWindow =
    "--print-pdf needs the build with the window (this one was built with -DKESTRUM_GUI=OFF).";
inline constexpr std::string_view kTraceUnwritable = "Cannot write the trace file ";
// --trace naming the file the run loads: before, the name, after.
inline constexpr std::string_view kTraceIsInputBefore = "The trace file ";
inline constexpr std::string_view kTraceIsInputAfter =
    " is the file given with -l; writing the trace would destroy it. Nothing was done.";
// A trace that could not be written whole: the text, the name, the separator and the reason.
inline constexpr std::string_view kTraceIncomplete =
    "The trace file could not be written completely: ";
// Standard output that could not be written (not a reader that went away): the text, the
// reason.
inline constexpr std::string_view kOutputFailed = "Cannot write to standard output: ";

// "Cl&ear Settings".
inline constexpr std::string_view kClearSettingsQuestion =
    "Do you really want to clear your settings?";

// The printed listing.
inline constexpr std::string_view kPrintTitle = "Kestrum - Prototype Programmer";
inline constexpr std::string_view kPrintTitleLine = "$title$";
inline constexpr std::string_view kPrintPageFooter = "Page $pagenum$";
inline constexpr std::string_view kPrintFile = "File     : ";
inline constexpr std::string_view kPrintNoFile = "<none>";
inline constexpr std::string_view kPrintDevice = "Device   : ";
inline constexpr std::string_view kPrintChecksum = "Checksum : ";
inline constexpr std::string_view kPrintHexSuffix = "h";
inline constexpr std::string_view kPrintCodeMemory = "Code Memory:";
inline constexpr std::string_view kPrintDataMemory = "Data Memory:";
inline constexpr std::string_view kPrintConfiguration = "Configuration:";
inline constexpr std::string_view kPrintEnabled = "Enabled";
inline constexpr std::string_view kPrintDisabled = "Disabled";

// The hardware settings dialog's delay label: "I/O Delay (" + value + ")".
inline constexpr std::string_view kIODelayBefore = "I/O Delay (";
inline constexpr std::string_view kIODelayAfter = ")";

// "Priority" raised beyond what the user may.
inline constexpr std::string_view kPriorityRefused = "The process priority could not be raised: ";
inline constexpr std::string_view kPriorityRefusedHint =
    ". Raising it needs the capability CAP_SYS_NICE or a nice limit for your user in "
    "/etc/security/limits.conf; Kestrum goes on at the priority it has.";

// The Device Position window.
inline constexpr std::string_view kDevicePositionDevice = "Device: ";

// Terminal runs.
inline constexpr std::string_view kNoWindowInBuild =
    "kestrum: this build has no window; running in the terminal as with -i.";
inline constexpr std::string_view kNoDisplay =
    "kestrum: there is no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not "
    "set); run with -i to work in the terminal.";
inline constexpr std::string_view kProgramName = "kestrum";
inline constexpr std::string_view kVersion = "kestrum 1.01";
inline constexpr std::string_view kAnsweredYes = " -> Yes (--yes)";
inline constexpr std::string_view kAnsweredNo =
    " -> No (no terminal to ask; run with --yes to answer Yes)";
inline constexpr std::string_view kAskYesNo = " [y/N] ";
// Fuses that take the part away from the programmer, refused in a run without a window: the
// warning, then this.
inline constexpr std::string_view kRiskRefused =
    "\nNothing was written. Run with --force-fuses to write these fuses all the same.";
inline constexpr std::string_view kInterrupted =
    "Cancelling: the step in progress stops after its current word or byte (Ctrl+C again quits "
    "at once).";
inline constexpr std::string_view kRunCancelled =
    "Cancelled; the rest of the command line was not run.";
inline constexpr std::string_view kWarningPrefix = "Warning: ";
inline constexpr std::string_view kErrorPrefix = "Error: ";

// Command-line usage errors: "kestrum: " + reason.
inline constexpr std::string_view kUnknownOption = "unknown option ";
inline constexpr std::string_view kBadNumber = "bad number in ";
inline constexpr std::string_view kBadConfigWord = "-f needs four hexadecimal digits: ";
inline constexpr std::string_view kBadProgrammer = "programmer type must be 0 to 12: ";
inline constexpr std::string_view kMissingValue = "missing value for ";
inline constexpr std::string_view kTryHelp = " (try --help)";
inline constexpr std::string_view kSocketNeedsSimulate = "--socket needs --simulate";
inline constexpr std::string_view kNoSocketPart =
    "The virtual programmer has no part of this name to put in its socket: ";

inline constexpr std::string_view kHelp =
    "Usage: kestrum [options]\n"
    "\n"
    "Without -i the main window opens (where the build has one); the options below run when\n"
    "it first becomes active: -p -q programs the device in the window and closes it.\n"
    "\n"
    "  -p            program the device (Program All)\n"
    "  -v            verify the device\n"
    "  -r            read the device (Read All)\n"
    "  -q            quit after the last of -p, -v, -r\n"
    "  -i            no window: run the options in the terminal and end\n"
    "  -x            smartcard (Phoenix) mode for this run\n"
    "  -lFILE        load FILE into the active buffer (Intel HEX)\n"
    "  -sFILE        save the active buffer to FILE after the operations\n"
    "  -tDEVICE      select the device by its number or name (see --list-devices)\n"
    "  -gPROGRAMMER  programmer for this run: a type 0..12 or a name (\"GPIO header\")\n"
    "  -oPORT        port for this run: a number 1..4, a name or a device file\n"
    "  -fXXXX        set the configuration word (four hexadecimal digits)\n"
    "\n"
    "  --device=NAME         select the device by its name, as --list-devices shows it\n"
    "  --detect              read the device ID of the part in the socket, name it and offer\n"
    "                        to select it (before -p, -v and -r)\n"
    "  --no-id-check         do not compare the part's device ID with the selected device's\n"
    "                        before Program All, Verify and Erase All (this run)\n"
    "  --overwrite-calibration\n"
    "                        program the buffer's OSCCAL word and bandgap bits into a\n"
    "                        12F629/675 instead of keeping the part's own (this run)\n"
    "  --simulate[=DIR]      use the virtual programmer; chip images persist in DIR\n"
    "  --socket=NAME         with --simulate: the virtual socket holds device NAME, whatever\n"
    "                        device is selected (for --detect and the ID check)\n"
    "  --trace=FILE          write the programmer's pins as a VCD file\n"
    "  --print-pdf=FILE      write the printed listing of the active buffer as PDF after the\n"
    "                        operations; runs in the terminal as with -i\n"
    "  --disassemble[=FILE]  write the PIC listing of the active buffer (stdout without FILE);\n"
    "                        runs in the terminal as with -i\n"
    "  --yes                 answer Yes to questions when input is not a terminal\n"
    "  --force-fuses         write fuses that take an AVR away from the programmer (RESET\n"
    "                        disabled, debugWIRE, no clock) without asking; refused otherwise\n"
    "  --slow-sck            clock AVRs slowly enough for parts running below 100 kHz\n"
    "  --list-devices        list the devices and their numbers\n"
    "  --list-ports          list the serial, parallel, FTDI and GPIO ports of this machine\n"
    "  --show-programmer NAME  print a programmer in the format of programmers.toml\n"
    "  --show-device=NAME    print a device as an entry of the user's devices file\n"
    "  --version, --help\n"
    "\n"
    "Exit status: 0 when nothing went wrong and every verification passed, 1 otherwise,\n"
    "2 for a usage error.\n";

// The smartcard wizard ("\r" is a line break).
inline constexpr std::string_view kWizardCaption = "Smartcard Wizard";
inline constexpr std::string_view kWizardContinue = "Continue";
inline constexpr std::string_view kWizardOk = "OK";
inline constexpr std::string_view kWizardHardwareHint = "Hardware";
inline constexpr std::string_view kWizardOpenFileHint = "Open File...";
inline constexpr std::string_view kWizardBootLoader =
    "Please connect your PIC programmer to the computer.\r(Or configure your programmer as a PIC "
    "programmer.)\r\rYou can click the \"Hardware\" button to change your hardware "
    "settings\rat any time during this Wizard!\r\rYour smartcard will now be programmed with a "
    "BootLoader,\rwhich enables \"Through Pic Programming\" for your smartcard.";
inline constexpr std::string_view kWizardBootLoaderClick =
    "Click the \"Continue\" button to continue programming or close\rthe window to cancel.";
inline constexpr std::string_view kWizardEeprom =
    "Please disconnect your PIC programmer and connect\ryour smartcard programmer to the "
    "computer.\r(Or configure your PIC programmer as a smartcard programmer.)\r\rYou now have "
    "to select a file which will be loaded\rinto the eeprom on your smartcard.";
inline constexpr std::string_view kWizardLoadFileClick =
    "Click the \"Continue\" button to load a file or close the window to cancel.";
inline constexpr std::string_view kWizardEepromFile =
    "The eeprom on your smartcard will now be programmed,\rwith file ";
inline constexpr std::string_view kWizardFileClick =
    "Click the \"Continue\" button to continue programming or close the window\rto cancel. You "
    "can use the \"Open File...\" button to load a different file.";
inline constexpr std::string_view kWizardPic =
    "Please disconnect your smartcard programmer from the\rcomputer and reconnect your PIC "
    "programmer.\r(Or configure your programmer as a PIC programmer.)\r\rYou now have to select "
    "a file which will be loaded\rinto the PIC on your smartcard.";
inline constexpr std::string_view kWizardPicFile =
    "The PIC on your smartcard will now be programmed,\rwith file ";
inline constexpr std::string_view kWizardDone =
    "You are done programming your smartcard.\rIf you have not received any errors then "
    "your\rsmartcard is successfully programmed.";
inline constexpr std::string_view kWizardDoneClick =
    "Click the \"OK\" button to close the Smartcard Wizard.";

}  // namespace kestrum::text
