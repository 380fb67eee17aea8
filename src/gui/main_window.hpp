// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: menus, tool bar with the device box, the code and data views (or the
// assembler view) over the buffer tabs, the configuration box and the status panels. It
// mirrors the application object: every command calls into the application, workspace, file
// commands or operations and then shows what they left.
#pragma once

#include <QMainWindow>
#include <QMessageBox>

#include <array>
#include <map>
#include <memory>

#include "app/application.hpp"
#include "buffers/hex_view.hpp"
#include "gui/icons.hpp"
#include "gui/qt_ui.hpp"
#include "gui/textview/text_view.hpp"

class QActionGroup;
class QPrinter;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabBar;
class QToolButton;

namespace kestrum {

class ConfigBoxWidget;
class DevicePositionWindow;
class EditDialog;
class HardwareCheckDialog;
class HardwareDialog;
class OptionsDialog;
class ProgrammerSwitch;
class FileDialogs;
class HexLineSource;
class HexViewInput;
class BufferHistory;
class SimulatedProgrammer;

// The display attributes of the views in a palette's colours: the address band of the code
// and data views, and the separators.
TextMarking StartupMarking(const QPalette& palette);
QColor SeparatorColour(const QPalette& palette);

class MainWindow final : public QMainWindow, public WorkspaceObserver, public QtUiWindow {
  Q_OBJECT

 public:
  // `simulated` is the virtual programmer when the run uses one: the chip of every selected
  // device is put in its socket, and its contents are saved after every operation.
  MainWindow(Application& app, QtUi& ui, SimulatedProgrammer* simulated = nullptr);
  ~MainWindow() override;

  // The start-up sequence with the window: settings, lists, device, command line; on a first
  // start the hardware settings are asked for.
  Application::StartupOutcome Start(const CommandLine& commandLine);
  // `OnActivate`: status panel 1, the pending command-line actions (once), the configuration
  // folded back from the box. A quit mode reached closes the window.
  void Activate();
  // 0, or 1 when the command line's quit action did not do all it was asked.
  int ExitStatus() const { return exitStatus_; }
  bool Busy() const { return busy_; }

  // Tests answer the file dialogs.
  void SetFileDialogs(FileDialogs* dialogs);
  // The hardware dialog's "Virtual programmer" switches the run's programmer through this;
  // the virtual programmer in use then comes from it.
  void SetProgrammerSwitch(ProgrammerSwitch* programmerSwitch);
  // The folder the help pages are looked for beside (the program's own by default).
  void SetProgramFolder(const QString& folder) { programFolder_ = folder; }
  // The printer the print dialog sets up (tests point it at a PDF file).
  QPrinter& Printer();
  // The virtual programmer in use, or null.
  SimulatedProgrammer* Simulated() const;
  // The run is on the virtual programmer whatever the hardware settings say (--simulate).
  bool VirtualFixed() const;

  HardwareDialog* HardwareSettingsDialog() const { return hardware_; }
  HardwareCheckDialog* HardwareCheck() const { return check_; }
  OptionsDialog* Options() const { return options_; }
  DevicePositionWindow* DevicePosition() const { return position_; }
  QAction* DevicePositionAction() const { return devicePosition_; }
  // The smartcard wizard's window while it is up, else null.
  QWidget* WizardWindow() const { return wizardWindow_; }

  TextView* CodeView() const { return codeView_; }
  TextView* DataView() const { return dataView_; }
  TextView* AssemblerTextView() const { return asmView_; }
  QGroupBox* DataGroup() const { return dataGroup_; }
  ConfigBoxWidget* ConfigBoxView() const { return config_; }
  QComboBox* DeviceBox() const { return deviceBox_; }
  QTabBar* BufferTabs() const { return tabs_; }
  QLabel* StatusPanel(int panel) const { return statusPanels_[static_cast<std::size_t>(panel)]; }
  // "Virtual programmer", shown while the virtual programmer is in use.
  QLabel* VirtualPanel() const { return virtualPanel_; }
  QToolButton* OpenButton() const { return openButton_; }
  QMenu* OpenButtonMenu() const { return openMenu_; }
  EditDialog* Editor() const { return editor_; }
  BufferHistory* History() const { return history_; }
  ProgressDialog& Progress() const { return ui_.Progress(); }
  // The edit position of the Edit dialog: the caret of the last click (row from 0, column
  // from 1).
  int EditRow() const { return editRow_; }
  int EditColumn() const { return editColumn_; }

  // WorkspaceObserver.
  void RebuildCodeView() override;
  void RebuildDataView() override;
  void ShowDevice() override;

  // QtUiWindow.
  void SetStatusPanel(int panel, const QString& text) override;
  void SetWindowEnabled(bool enabled) override;
  void FocusCodeView() override;
  void ResetCodeViewMarking() override;
  QWidget* WindowWidget() override { return this; }

  // In-place editing (the views' input handlers call these).
  void TypeInView(HexView view, char32_t key);
  void PasteHex(HexView view);
  // Copy of a view's selection as the hex words it covers.
  void CopyHex(HexView view);

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class ViewMode { Hex, Assembler };

  void BuildViews();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  QAction* AddAction(QMenu* menu, std::string_view caption, const QKeySequence& shortcut,
                     void (MainWindow::*slot)());

  // Shows what the application holds now.
  void SyncWindow();
  void FillRecentFilesMenu(QMenu* menu);
  void FillRecentDevicesMenu();
  void UpdateEditMenu();

  // Commands.
  void OpenFile();
  void OpenDataFile();
  // True when the active slot was saved.
  bool SaveFileAs();
  void OpenRecentFile(int position);
  void ExitWindow();
  void CopyFromBuffer();
  void PasteToBuffer();
  void CopyFromDataBuffer();
  void PasteToDataBuffer();
  void FillBuffer();
  void FillBufferFrom();
  void FillDataBuffer();
  void FillDataBufferFrom();
  void SelectBuffer(int index);
  void SelectDevice(const CatalogueEntry& entry);
  void DeviceBoxChosen(int index);
  void SelectRecentDevice(int position);
  void ToggleSmartcard(bool on);
  void ClearSettings();
  void ReadAll();
  void ProgramAll();
  void ProgramConfig();
  void EraseAll();
  void BlankCheck();
  void Verify();
  void Detect();
  void ShowHexView();
  void ShowAssemblerView();
  void Refresh();
  void DeviceInformation();
  void ShowHardwareSettings();
  void RunHardwareDialog(bool firstStart);
  void RunHardwareCheck();
  void ShowOptions();
  void Print();
  void ToggleDevicePosition();
  void PlaceDevicePosition();
  QString ProgramFolder() const;
  void OpenHelp();
  void ShowAbout();
  void RunSmartcardWizard();
  // Ctrl+F1..Ctrl+F4 onto the device entries the Options chose for them.
  void AssignDeviceShortcuts();

  // `label` names the step a change of the buffer by the operation becomes.
  void RunOperation(OperationResult (Operations::*command)(), std::string_view label);
  void AfterDeviceWork();
  // Unsaved work: what changed in the active slot becomes an undo step; before something
  // replaces slots, Save / Discard / Cancel for those among them with unsaved changes (true:
  // go on).
  void Record(std::string_view label);
  bool MayDiscard(const std::vector<int>& concerned);
  std::vector<int> AllSlots() const;
  QMessageBox::StandardButton Ask(QMessageBox::Icon icon, const QString& question,
                                  QMessageBox::StandardButtons buttons,
                                  QMessageBox::StandardButton preferred);
  void Loaded(OpenResult result);
  void DeviceChanged();
  void UpdateTitle();
  void SlotRestored(int slot);
  void ListAssembler();
  void EditLocation(HexView view);
  void RunEditDialog(EditMode mode, HexView view, int address);
  void ShowContextMenu(HexView view, const QPoint& position);
  void DropFiles(HexView view, const QStringList& paths);
  void RestoreCodeViewMarking();
  void ApplyViewColours();
  void FitToScreen();
  void ApplyToolIcons();
  TextView* ViewOf(HexView view) const { return view == HexView::Code ? codeView_ : dataView_; }

  Application& app_;
  QtUi& ui_;
  SimulatedProgrammer* simulated_;
  std::unique_ptr<FileDialogs> ownDialogs_;
  FileDialogs* dialogs_;
  std::unique_ptr<HexLineSource> codeSource_;
  std::unique_ptr<HexLineSource> dataSource_;
  StringListSource asmSource_;
  std::unique_ptr<HexViewInput> codeInput_;
  std::unique_ptr<HexViewInput> dataInput_;

  TextView* codeView_ = nullptr;
  TextView* dataView_ = nullptr;
  TextView* asmView_ = nullptr;
  QGroupBox* codeGroup_ = nullptr;
  QGroupBox* dataGroup_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QWidget* configScroll_ = nullptr;
  QTabBar* tabs_ = nullptr;
  ConfigBoxWidget* config_ = nullptr;
  QComboBox* deviceBox_ = nullptr;
  QToolButton* openButton_ = nullptr;
  QMenu* openMenu_ = nullptr;
  QMenu* editMenu_ = nullptr;
  QMenu* recentFilesMenu_ = nullptr;
  QMenu* recentDevicesMenu_ = nullptr;
  EditDialog* editor_ = nullptr;
  HardwareDialog* hardware_ = nullptr;
  HardwareCheckDialog* check_ = nullptr;
  OptionsDialog* options_ = nullptr;
  DevicePositionWindow* position_ = nullptr;
  std::unique_ptr<QPrinter> printer_;
  ProgrammerSwitch* switch_ = nullptr;
  std::array<QLabel*, 3> statusPanels_{};
  QLabel* virtualPanel_ = nullptr;

  QAction* openDataFile_ = nullptr;
  QAction* copyFromBuffer_ = nullptr;
  QAction* pasteToBuffer_ = nullptr;
  QAction* copyFromData_ = nullptr;
  QAction* pasteToData_ = nullptr;
  QAction* fillData_ = nullptr;
  QAction* fillDataFrom_ = nullptr;
  std::array<QAction*, kBufferSlots> bufferActions_{};
  std::map<int, QAction*> deviceActions_;
  QAction* smartcard_ = nullptr;
  QAction* programConfig_ = nullptr;
  QAction* eraseAll_ = nullptr;
  QAction* hexView_ = nullptr;
  QAction* asmViewAction_ = nullptr;
  QAction* devicePosition_ = nullptr;
  QAction* reopenRecent_ = nullptr;
  QAction* hardwareCheck_ = nullptr;
  std::vector<std::pair<QAction*, ToolIcon>> toolIcons_;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
  BufferHistory* history_ = nullptr;

  ViewMode mode_ = ViewMode::Hex;
  int editRow_ = 0;
  int editColumn_ = 1;
  std::string lastSaveName_;
  QString programFolder_;
  bool busy_ = false;
  bool pasting_ = false;
  bool shown_ = false;
  bool syncing_ = false;
  bool firstPaintPending_ = true;
  // The code view's address band shows (no verify has confirmed the buffer since it changed).
  bool codeMarked_ = true;
  // The command line's quit: the window closes without asking.
  bool quitting_ = false;
  // The user closed the window during an operation and chose to cancel it.
  bool closeAfterOperation_ = false;
  // The wizard is up: the virtual programmer's socket holds the smartcard throughout.
  bool wizardRunning_ = false;
  QWidget* wizardWindow_ = nullptr;
  int exitStatus_ = 0;
};

}  // namespace kestrum
