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

// "&Edit" and the views' context menus.
inline constexpr std::string_view kMenuCopyFromBuffer = "&Copy From Buffer";
inline constexpr std::string_view kMenuPasteToBuffer = "&Paste To Buffer";
inline constexpr std::string_view kMenuFillBuffer = "&Fill Buffer";
inline constexpr std::string_view kMenuFillBufferFrom = "Fill &Buffer From...";
inline constexpr std::string_view kMenuEditLocation = "&Edit Location";
inline constexpr std::string_view kMenuCopy = "&Copy";
inline constexpr std::string_view kMenuPaste = "&Paste";

// "&Buffer". The five entries show their shortcut in the menu's shortcut column.
inline constexpr std::string_view kMenuActiveBuffer = "&Active Buffer";
inline constexpr std::string_view kMenuBufferEntry = "Buffer &";    // + digit
inline constexpr std::string_view kMenuBufferShortcut = "\tCtrl+";  // + digit
inline constexpr std::string_view kMenuCompare = "&Compare";

// "&Settings".
inline constexpr std::string_view kMenuHardware = "&Hardware";
inline constexpr std::string_view kMenuHardwareCheck = "Hardware &Check";
inline constexpr std::string_view kMenuOptions = "&Options";
inline constexpr std::string_view kMenuSmartcard = "&Smartcard (Phoenix)";
inline constexpr std::string_view kMenuClearSettings = "Cl&ear Settings";

// "&Command".
inline constexpr std::string_view kMenuReadAll = "&Read All";
inline constexpr std::string_view kMenuProgramAll = "&Program All";
inline constexpr std::string_view kMenuBlankCheck = "&Blank Check";
inline constexpr std::string_view kMenuVerify = "&Verify";
inline constexpr std::string_view kMenuSmartcardWizard = "Smartcard &Wizard";

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

// Message box titles, by kind.
inline constexpr std::string_view kTitleInformation = "Information";
inline constexpr std::string_view kTitleWarning = "Warning";
inline constexpr std::string_view kTitleError = "Error";
inline constexpr std::string_view kTitleConfirm = "Confirm";

// The dialogs that come with a later version.
inline constexpr std::string_view kNotInThisBuild = "This window is not in this build yet.";

}  // namespace kestrum::text
