// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the main window that the user sees and no lower layer defines, in one place:
// menu captions, tool bar hints, view and dialog captions, message box titles.
#pragma once

#include <string_view>

namespace kestrum::text {

// Menu bar.
inline constexpr std::string_view kMenuFile = "&File";
inline constexpr std::string_view kMenuEdit = "&Edit";
inline constexpr std::string_view kMenuBuffer = "&Buffer";
inline constexpr std::string_view kMenuSettings = "&Settings";
inline constexpr std::string_view kMenuCommand = "&Command";
inline constexpr std::string_view kMenuView = "&View";
inline constexpr std::string_view kMenuHelp = "&Help";

// "&File".
inline constexpr std::string_view kMenuOpenFile = "&Open File...";
inline constexpr std::string_view kMenuSaveFileAs = "&Save File As...";
inline constexpr std::string_view kMenuSaveDataFileAs = "S&ave Data File As...";
inline constexpr std::string_view kMenuRecentFiles = "Recent Fi&les";
inline constexpr std::string_view kMenuPrint = "&Print...";
inline constexpr std::string_view kMenuExit = "E&xit";

// "&Edit" and the views' context menus. Undo and Redo name the step ("&Undo Typing").
inline constexpr std::string_view kMenuUndo = "&Undo";
inline constexpr std::string_view kMenuRedo = "&Redo";
inline constexpr std::string_view kUndoTyping = "Typing";
inline constexpr std::string_view kUndoPaste = "Paste";
inline constexpr std::string_view kUndoFill = "Fill";
inline constexpr std::string_view kUndoEdit = "Edit";
inline constexpr std::string_view kUndoLoad = "Load";
inline constexpr std::string_view kUndoReadAll = "Read All";
inline constexpr std::string_view kUndoProgramAll = "Program";
inline constexpr std::string_view kUndoConfiguration = "Configuration";
inline constexpr std::string_view kMenuCopyFromBuffer = "&Copy From Buffer";
inline constexpr std::string_view kMenuPasteToBuffer = "&Paste To Buffer";
inline constexpr std::string_view kMenuFillBuffer = "&Fill Buffer...";
inline constexpr std::string_view kMenuFillBufferFrom = "Fill &Buffer From...";
inline constexpr std::string_view kMenuEditLocation = "&Edit Location...";
inline constexpr std::string_view kMenuCopy = "&Copy";
inline constexpr std::string_view kMenuPaste = "&Paste";

// "&Buffer". The five entries carry Ctrl+1..Ctrl+5.
inline constexpr std::string_view kMenuActiveBuffer = "&Active Buffer";
inline constexpr std::string_view kMenuBufferEntry = "Buffer &";  // + digit
inline constexpr std::string_view kMenuCompare = "&Compare";

// "&Settings".
inline constexpr std::string_view kMenuHardware = "&Hardware...";
inline constexpr std::string_view kMenuHardwareCheck = "Hardware &Check...";
inline constexpr std::string_view kMenuOptions = "&Options...";
inline constexpr std::string_view kMenuSmartcard = "&Smartcard (Phoenix)";
inline constexpr std::string_view kMenuClearSettings = "Cl&ear Settings";

// "&Command".
inline constexpr std::string_view kMenuReadAll = "&Read All";
inline constexpr std::string_view kMenuProgramAll = "&Program All";
inline constexpr std::string_view kMenuBlankCheck = "&Blank Check";
inline constexpr std::string_view kMenuDetect = "&Detect";
inline constexpr std::string_view kMenuVerify = "&Verify";
inline constexpr std::string_view kMenuSmartcardWizard = "Smartcard &Wizard...";

// "&View".
inline constexpr std::string_view kMenuHexView = "&Hex View";
inline constexpr std::string_view kMenuRefresh = "&Refresh";
inline constexpr std::string_view kMenuDeviceInformation = "Device &Information";
inline constexpr std::string_view kMenuDevicePosition = "&Device Position";

// "&Help".
inline constexpr std::string_view kMenuContents = "&Contents";
inline constexpr std::string_view kMenuAbout = "&About...";

// Tool bar hints.
inline constexpr std::string_view kHintOpenFile = "Open File...";
inline constexpr std::string_view kHintSaveFileAs = "Save File As...";
inline constexpr std::string_view kHintHardware = "Hardware";
inline constexpr std::string_view kHintOptions = "Options";
inline constexpr std::string_view kHintReadAll = "Read All";
inline constexpr std::string_view kHintProgramAll = "Program All";
inline constexpr std::string_view kHintEraseAll = "Erase All";
inline constexpr std::string_view kHintVerify = "Verify";
inline constexpr std::string_view kHintSmartcardWizard = "Smartcard Wizard";
inline constexpr std::string_view kHintHexView = "Hex View";
inline constexpr std::string_view kHintHelp = "Help";
inline constexpr std::string_view kHintDeviceList = "Device";
inline constexpr std::string_view kToolBarName = "Tool bar";
inline constexpr std::string_view kBufferTabsName = "Buffers";

// The views: the code view's group and the data view's label; they also name the views for
// screen readers.
inline constexpr std::string_view kCodeViewCaption = " Address - Program Code ";
inline constexpr std::string_view kDataViewCaption = "Address - Eeprom Data";

// The Edit dialog.
inline constexpr std::string_view kEditDataGroup = "Data ";
inline constexpr std::string_view kEditDecimal = "Decimal";
inline constexpr std::string_view kEditHexadecimal = "Hexadecimal";
inline constexpr std::string_view kEditAscii = "Ascii";
inline constexpr std::string_view kEditAddressGroup = "Address ";
inline constexpr std::string_view kEditFrom = "From...";
inline constexpr std::string_view kEditTo = "To...";
inline constexpr std::string_view kOk = "OK";
inline constexpr std::string_view kCancel = "Cancel";

// The status bar: its panels' names for screen readers, and the panel shown while the
// virtual programmer is in use.
inline constexpr std::string_view kStatusOperationName = "Operation";
inline constexpr std::string_view kStatusPortName = "Port and programmer";
inline constexpr std::string_view kStatusDeviceName = "Device";
inline constexpr std::string_view kStatusVirtual = "Virtual programmer";

// The progress window's estimate ("%1" minutes, "%2" seconds).
inline constexpr std::string_view kTimeLeftSeconds = "About %1 s left";
inline constexpr std::string_view kTimeLeftMinutes = "About %1 min %2 s left";

// Unsaved work: "The changes in Buffer 1 (blink.hex) and Buffer 3 are not saved. ..."
inline constexpr std::string_view kUnsavedBefore = "The changes in ";
inline constexpr std::string_view kUnsavedSeparator = ", ";
inline constexpr std::string_view kUnsavedLastSeparator = " and ";
inline constexpr std::string_view kUnsavedAfter = " are not saved. Do you want to save them?";
// Closing the window while an operation runs.
inline constexpr std::string_view kCloseDuringOperation =
    "An operation is running. Do you want to cancel it and quit?";

// Message box titles, by kind.
inline constexpr std::string_view kTitleInformation = "Information";
inline constexpr std::string_view kTitleWarning = "Warning";
inline constexpr std::string_view kTitleError = "Error";
inline constexpr std::string_view kTitleConfirm = "Confirm";
// After the warning of fuses that take the part away from the programmer.
inline constexpr std::string_view kRiskQuestion = "\n\nWrite these fuses all the same?";

// "Hardware settings".
inline constexpr std::string_view kHardwareTitle = "Hardware settings";
inline constexpr std::string_view kHardwareProgrammer = "Programmer";
inline constexpr std::string_view kHardwarePorts = " Ports ";
inline constexpr std::string_view kHardwareDeviceFileName = "Device file of ";  // + port
inline constexpr std::string_view kHardwareDeviceFileHint =
    "The device file this port opens (a serial tty, or a ppdev parallel port)";
inline constexpr std::string_view kHardwareFound = "Found";
inline constexpr std::string_view kHardwareFoundAbove = "(the port chosen above)";
inline constexpr std::string_view kHardwareFoundHint =
    "The ports of this kind on this machine: a device file, an FTDI chip by its serial number "
    "or a GPIO chip";
inline constexpr std::string_view kHardwareVirtual = "Virtual programmer";
inline constexpr std::string_view kHardwareFtdiDevice = "FTDI device";
inline constexpr std::string_view kHardwareFtdiDeviceHint =
    "The FTDI chip of the USB ports: vendor:product in hex, optionally :serial "
    "(0403:6001:A12BC3DE); empty for any FTDI chip";
inline constexpr std::string_view kHardwareBitBangPins = "Pin map";
inline constexpr std::string_view kHardwareBitBangPinsHint =
    "The pins of an FTDI bit-bang board: DataOut=0 Clock=2 MCLR=4 VCC=!3 DataIn=1 "
    "(! for an active-low line)";
inline constexpr std::string_view kHardwareVirtualHint =
    "Every operation runs on the simulated programmer with chip models; the chips keep their "
    "contents between runs";
inline constexpr std::string_view kHardwareVirtualFixedHint =
    "This run uses the virtual programmer: it was started with --simulate";
inline constexpr std::string_view kHardwareInterface = " Interface ";
inline constexpr std::string_view kHardwareDirectIo = "Direct I/O";
// The "Api" setting: the tty's own system calls instead of the emulated registers.
inline constexpr std::string_view kHardwareApi = "System calls";
inline constexpr std::string_view kHardwareDirectIoHint =
    "The port's registers: emulated on the device file, or raw I/O where the settings allow it";
inline constexpr std::string_view kHardwareApiHint =
    "The serial system calls (the tty's modem line and break ioctls) drive the lines";
inline constexpr std::string_view kHardwareCommunication = " Communication ";
inline constexpr std::string_view kInvertDataOut = "Invert Data Out";
inline constexpr std::string_view kInvertDataIn = "Invert Data In";
inline constexpr std::string_view kInvertClock = "Invert Clock";
inline constexpr std::string_view kInvertMclr = "Invert MCLR";
inline constexpr std::string_view kInvertVcc = "Invert VCC";
inline constexpr std::string_view kInvertVpp = "Invert VPP";

// "Hardware Check".
inline constexpr std::string_view kHardwareCheckTitle = "Hardware Check";
inline constexpr std::string_view kSignalsOut = " Signals Out ";
inline constexpr std::string_view kSignalsIn = " Signals In ";
inline constexpr std::string_view kEnableDataOut = "Enable Data Out";
inline constexpr std::string_view kEnableClock = "Enable Clock";
inline constexpr std::string_view kEnableMclr = "Enable MCLR";
inline constexpr std::string_view kEnableVcc = "Enable VCC";
inline constexpr std::string_view kEnableVpp = "Enable VPP";
inline constexpr std::string_view kDataIn = "Data In";
inline constexpr std::string_view kSignalHigh = "High";
inline constexpr std::string_view kSignalLow = "Low";
inline constexpr std::string_view kHardwareCheckRefused = "Hardware check is not supported by the ";

// "Options".
inline constexpr std::string_view kOptionsTitle = "Options";
inline constexpr std::string_view kPageConfirmation = "Confirmation";
inline constexpr std::string_view kPageNotification = "Notification";
inline constexpr std::string_view kPageI2c = "I²C";
inline constexpr std::string_view kPageProgramming = "Programming";
inline constexpr std::string_view kPageShortcuts = "Shortcuts";
inline constexpr std::string_view kPageDragDrop = "Drag && Drop";
inline constexpr std::string_view kPageSmartcard = "Smartcard";
inline constexpr std::string_view kPageMisc = "Misc";
inline constexpr std::string_view kOptionsAskConfirmation = "Ask my confirmation when :";
inline constexpr std::string_view kOptionsNotify = "Notify me when :";
inline constexpr std::string_view kOptionsLabel = "Options :";
inline constexpr std::string_view kOptionsShortcuts =
    "Select a specific device for each shortcut :";
inline constexpr std::string_view kOptionProgramming = "Programming a device";
inline constexpr std::string_view kOptionErasing = "Erasing a device";
inline constexpr std::string_view kOptionOverwriting = "Overwriting a file";
inline constexpr std::string_view kOptionCodeProtecting = "Codeprotecting a critical device";
inline constexpr std::string_view kOptionIdMissing = "ID word is missing in file";
inline constexpr std::string_view kOptionConfigMissing = "Config word is missing in file";
inline constexpr std::string_view kOptionMclrAsVcc = "Enable MCLR as Vcc";
inline constexpr std::string_view kOptionPageWrite = "Enable PAGE-WRITE";
inline constexpr std::string_view kOptionVerifyAfter = "Verify after programming";
inline constexpr std::string_view kOptionVerifyDuring = "Verify during programming";
inline constexpr std::string_view kOptionDeviceIdCheck =
    "Check the device ID before programming, verifying and erasing";
inline constexpr std::string_view kOptionOverwriteCalibration =
    "Overwrite the factory calibration (OSCCAL, bandgap) with the buffer's";
inline constexpr std::string_view kOptionProgramErasedWords = "Program erased words too";
inline constexpr std::string_view kProgramErasedWordsHint =
    "After an erase, write every word one by one, even those that already hold the erased "
    "value. Off: those words are passed over; Verify still compares every word.";
inline constexpr std::string_view kOptionWriteOnlyDiffers = "Write only what differs";
inline constexpr std::string_view kWriteOnlyDiffersHint =
    "I²C and SPI EEPROMs: read each page first and write only the pages that differ; "
    "Microwire, 4-wire and IM-Bus EEPROMs: the same word by word. Pays "
    "where the write cycle is the cost (a part programmed again with much the same image, "
    "each page read in far less time than its write cycle); costs where the bus is the cost "
    "(a slow port, or an image that differs everywhere, where every page is read and then "
    "written anyway).";
inline constexpr std::string_view kShortcutLabel = "CTRL + F";  // + digit
inline constexpr std::string_view kOptionDragDrop = "Enable Drag && Drop";
inline constexpr std::string_view kOptionCodeFileType = "Program Code Filetype :";
inline constexpr std::string_view kOptionDataFileType = "Eeprom Data Filetype :";
inline constexpr std::string_view kTypeIhx8 = "IHX8 files";
inline constexpr std::string_view kTypeIhx16 = "IHX16 files";
inline constexpr std::string_view kTypeBinary = "Binary files";
inline constexpr std::string_view kTypeObject = "Object files";
inline constexpr std::string_view kTypeMotorola = "Motorola S files";
inline constexpr std::string_view kTypeEeprom = "Eeprom files";
inline constexpr std::string_view kTypeAny = "Any file (Auto)";
inline constexpr std::string_view kOptionPic16C84 = "PIC 16C84";
inline constexpr std::string_view kOptionPic16F84 = "PIC 16F84";
inline constexpr std::string_view kPriorityGroup = " Process Priority ";
inline constexpr std::string_view kPriorityNormal = "Normal";
inline constexpr std::string_view kPriorityHigh = "High";
inline constexpr std::string_view kPriorityRealtime = "Realtime";
inline constexpr std::string_view kPriorityHint =
    "High and Realtime lower the process's nice value to -10 and -20, where the system allows it";
inline constexpr std::string_view kOptionDriver = "Enable NT/2000 Driver";
inline constexpr std::string_view kOptionJdmVcc = "Enable Vcc control for JDM";

// "Smartcard Wizard".
inline constexpr std::string_view kWizardTitle = "Smartcard Wizard";

// "Device Position".
inline constexpr std::string_view kDevicePositionTitle = "Device Position";
// The names printed on the programmer boards in its pictures.
inline constexpr std::string_view kBoardJdm = "JDM";
inline constexpr std::string_view kBoardConquest = "Conquest";
inline constexpr std::string_view kBoardTafe = "TAFE";
inline constexpr std::string_view kBoardTaitSerial = "TAIT serial";
inline constexpr std::string_view kBoardFunCard = "Fun-Card";
inline constexpr std::string_view kBoardTaitParallel = "TAIT parallel";
inline constexpr std::string_view kBoardProPic2 = "ProPic 2";
inline constexpr std::string_view kBoardSchaer = "SCHAER";
inline constexpr std::string_view kBoardStk200 = "STK200";
inline constexpr std::string_view kBoardAn589 = "AN589";
inline constexpr std::string_view kBoardFtdiBitBang = "FTDI bit-bang";
inline constexpr std::string_view kBoardGpioHeader = "GPIO header";
inline constexpr std::string_view kBoardUser = "Your programmer";

// Help and "About Kestrum".
inline constexpr std::string_view kHelpMissing =
    "The help pages were not found (share/kestrum/help/index.html beside the program).";
inline constexpr std::string_view kHelpNoBrowser =
    "No program could be started to show the help pages. Open this file in a web browser:\n";
inline constexpr std::string_view kAboutTitle = "About Kestrum";
inline constexpr std::string_view kAboutVersion = "Kestrum version 1.01";
inline constexpr std::string_view kAboutAuthor = "Written by the Kestrum developers";
inline constexpr std::string_view kAboutDescription =
    "A device programmer for PICs, EEPROMs, AVR and 8051 flash parts on simple serial and "
    "parallel port programmers, with a virtual programmer for work without hardware.";
inline constexpr std::string_view kAboutLicence =
    "Kestrum is free software: you can redistribute it and/or modify it under the terms of "
    "the GNU General Public License as published by the Free Software Foundation, either "
    "version 3 of the License, or (at your option) any later version. It comes with "
    "ABSOLUTELY NO WARRANTY.";
inline constexpr std::string_view kAboutLicenceText = "GNU General Public License, version 3";
inline constexpr std::string_view kAboutLicenceLink = "https://www.gnu.org/licenses/gpl-3.0.html";
inline constexpr std::string_view kAboutQt = "About &Qt";
inline constexpr std::string_view kAboutMailText = "kestrum@example.org";
inline constexpr std::string_view kAboutMailLink = "mailto:kestrum@example.org";
inline constexpr std::string_view kAboutHomeText = "The Kestrum help pages";

// Printing.
inline constexpr std::string_view kPrintFailed = "The listing could not be printed to ";
inline constexpr std::string_view kPrintNoPrinter = "the printer";

}  // namespace kestrum::text
