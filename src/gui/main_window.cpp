// SPDX-License-Identifier: GPL-3.0-or-later
// The main window.
#include "gui/main_window.hpp"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/help_location.hpp"
#include "app/print_listing.hpp"
#include "app/run_environment.hpp"
#include "app/simulated_programmer.hpp"
#include "app/texts.hpp"
#include "device/texts.hpp"
#include "disasm/assembler_view.hpp"
#include "disasm/disassembler.hpp"
#include "disasm/texts.hpp"
#include "gui/about_dialog.hpp"
#include "gui/buffer_history.hpp"
#include "gui/buffer_tabs.hpp"
#include "gui/byte_text.hpp"
#include "gui/config_box_widget.hpp"
#include "gui/desktop_links.hpp"
#include "gui/device_position_window.hpp"
#include "gui/edit_dialog.hpp"
#include "gui/file_dialogs.hpp"
#include "gui/hardware_check_dialog.hpp"
#include "gui/hardware_dialog.hpp"
#include "gui/icons.hpp"
#include "gui/listing_printer.hpp"
#include "gui/options_dialog.hpp"
#include "gui/progress_dialog.hpp"
#include "gui/smartcard_wizard_window.hpp"
#include "gui/texts.hpp"
#include "protocols/family_driver.hpp"

namespace kestrum {

// The active slot's code or data as the lines of a view, read from the buffer when painted.
class HexLineSource final : public LineSource {
 public:
  HexLineSource(const Workspace& workspace, HexView view) : workspace_(workspace), view_(view) {}
  int LineCount() const override { return HexViewLineCount(view_, workspace_.Device); }
  QString Line(int line) const override {
    return ByteText(HexViewLine(view_, workspace_.Active(), line));
  }
  int UniformLineLength() const override { return HexViewLineLength(view_); }

 private:
  const Workspace& workspace_;
  HexView view_;
};

class HexViewInput final : public TextInputHandler {
 public:
  HexViewInput(MainWindow& window, HexView view) : window_(window), view_(view) {}
  void Typed(TextView& /*view*/, char32_t key) override { window_.TypeInView(view_, key); }
  void Paste(TextView& /*view*/) override { window_.PasteHex(view_); }
  bool Copy(const TextView& /*view*/) override {
    window_.CopyHex(view_);
    return true;
  }

 private:
  MainWindow& window_;
  HexView view_;
};

namespace {

// `from` moved the fraction `amount` towards `to`.
QColor Blend(const QColor& from, const QColor& to, double amount) {
  return QColor::fromRgbF(
      static_cast<float>(from.redF() + (to.redF() - from.redF()) * amount),
      static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * amount),
      static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * amount));
}

bool IsDark(const QPalette& palette) {
  return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QString MenuText(std::string_view caption) {
  // Captions from data (device and file names) show '&' as it is.
  QString text = Utf8(caption);
  text.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return text;
}

std::vector<std::string> ToPaths(const QStringList& paths) {
  std::vector<std::string> result;
  for (const QString& p : paths) result.push_back(p.toStdString());
  return result;
}

std::string HardwareCheckRefusal(ProgrammerType type) {
  return std::string(text::kHardwareCheckRefused) + std::string(RowOf(type).listText);
}

}  // namespace

TextMarking StartupMarking(const QPalette& palette) {
  // The address columns on a band a shade away from the view's background, in the link
  // colour, light or dark alike (silver and blue on white). A successful verify takes the
  // band away; a change of the code buffer brings it back.
  const QColor base = palette.color(QPalette::Base);
  return {.FirstColumn = 0,
          .Columns = 6,
          .Background = Blend(base, palette.color(QPalette::Text), 0.16),
          .Foreground = palette.color(QPalette::Link),
          .PaddingPx = 3,
          .CornerRadiusPx = 10};
}

QColor SeparatorColour(const QPalette& palette) {
  return palette.color(QPalette::Link);
}

MainWindow::MainWindow(Application& app, QtUi& ui, SimulatedProgrammer* simulated)
    : app_(app),
      ui_(ui),
      simulated_(simulated),
      ownDialogs_(std::make_unique<QtFileDialogs>()),
      dialogs_(ownDialogs_.get()),
      codeSource_(std::make_unique<HexLineSource>(app.Work, HexView::Code)),
      dataSource_(std::make_unique<HexLineSource>(app.Work, HexView::Data)),
      codeInput_(std::make_unique<HexViewInput>(*this, HexView::Code)),
      dataInput_(std::make_unique<HexViewInput>(*this, HexView::Data)) {
  setWindowTitle(Utf8(text::kProgramTitle));
  history_ = new BufferHistory(app_.Work.Buffers, this);
  connect(history_, &BufferHistory::SlotRestored, this, &MainWindow::SlotRestored);
  connect(history_, &BufferHistory::ModifiedChanged, this, &MainWindow::UpdateTitle);
  BuildViews();
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();
  editor_ = new EditDialog(this);
  hardware_ = new HardwareDialog(this);
  check_ = new HardwareCheckDialog(this);
  options_ = new OptionsDialog(app_.Work.List, this);
  position_ = new DevicePositionWindow(this);
  connect(position_, &DevicePositionWindow::CloseRequested, this,
          &MainWindow::ToggleDevicePosition);
  setWindowIcon(ProgramIcon());
  app_.Work.Observer = this;
  ui_.AttachWindow(this);
  qApp->installEventFilter(this);
  FitToScreen();
  SyncWindow();
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  ui_.AttachWindow(nullptr);
  if (app_.Work.Observer == this) app_.Work.Observer = nullptr;
}

void MainWindow::SetFileDialogs(FileDialogs* dialogs) {
  dialogs_ = dialogs != nullptr ? dialogs : ownDialogs_.get();
}

void MainWindow::SetProgrammerSwitch(ProgrammerSwitch* programmerSwitch) {
  switch_ = programmerSwitch;
  app_.Switch = programmerSwitch;
}

SimulatedProgrammer* MainWindow::Simulated() const {
  return switch_ != nullptr ? switch_->Simulated() : simulated_;
}

bool MainWindow::VirtualFixed() const {
  return switch_ != nullptr ? switch_->VirtualFixed() : simulated_ != nullptr;
}

QPrinter& MainWindow::Printer() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

// ---- building ----

void MainWindow::BuildViews() {
  codeView_ = new TextView;
  dataView_ = new TextView;
  asmView_ = new TextView;
  codeView_->SetSource(codeSource_.get());
  dataView_->SetSource(dataSource_.get());
  asmView_->SetSource(&asmSource_);
  codeView_->SetInputHandler(codeInput_.get());
  dataView_->SetInputHandler(dataInput_.get());
  codeView_->setAccessibleName(Utf8(text::kCodeViewCaption));
  dataView_->setAccessibleName(Utf8(text::kDataViewCaption));
  asmView_->setAccessibleName(Utf8(text::kAssemblerViewHint));
  // Display attributes: the separators after the address and before the characters, and the
  // address band, in the palette's colours.
  codeView_->SetSeparatorColumns({4, kCodeLineLength - kElementsPerLine - 1});
  dataView_->SetSeparatorColumns({4, kDataLineLength - kElementsPerLine - 1});
  ApplyViewColours();
  for (auto [view, kind] : {std::pair{codeView_, HexView::Code}, {dataView_, HexView::Data}}) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, kind](const QPoint& position) { ShowContextMenu(kind, position); });
    connect(view, &TextView::DoubleClicked, this, [this, kind](int line, int column) {
      editRow_ = line;
      editColumn_ = column + 1;
      EditLocation(kind);
    });
    connect(view, &TextView::FilesDropped, this,
            [this, kind](const QStringList& paths) { DropFiles(kind, paths); });
  }

  codeGroup_ = new QGroupBox(Utf8(text::kCodeViewCaption));
  auto* codeLayout = new QVBoxLayout(codeGroup_);
  codeLayout->setContentsMargins(6, 6, 6, 6);
  codeLayout->addWidget(codeView_);
  dataGroup_ = new QGroupBox(Utf8(text::kDataViewCaption));
  auto* dataLayout = new QVBoxLayout(dataGroup_);
  dataLayout->setContentsMargins(6, 6, 6, 6);
  dataLayout->addWidget(dataView_);

  auto* hexPage = new QWidget;
  auto* hexLayout = new QVBoxLayout(hexPage);
  hexLayout->setContentsMargins(0, 0, 0, 0);
  hexLayout->setSpacing(8);
  // A whole code line where the screen has room. The height is shared two to one, the data
  // view's share up to all its lines.
  codeView_->SetPreferredColumns(kCodeLineLength);
  asmView_->SetPreferredColumns(kCodeLineLength);
  dataView_->SetPreferredLines(4);
  hexLayout->addWidget(codeGroup_, 2);
  hexLayout->addWidget(dataGroup_, 1);
  stack_ = new QStackedWidget;
  auto* asmGroup = new QGroupBox(Utf8(text::kAssemblerViewHint));
  auto* asmLayout = new QVBoxLayout(asmGroup);
  asmLayout->setContentsMargins(6, 6, 6, 6);
  asmLayout->addWidget(asmView_);
  stack_->addWidget(hexPage);
  stack_->addWidget(asmGroup);

  tabs_ = new BufferTabBar;
  tabs_->setAccessibleName(Utf8(text::kBufferTabsName));
  tabs_->setShape(QTabBar::RoundedSouth);
  tabs_->setExpanding(false);
  tabs_->setDrawBase(false);
  for (int i = 0; i < kBufferSlots; ++i) tabs_->addTab(Utf8(BufferTabCaption(i)));
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (!syncing_) SelectBuffer(index);
  });

  config_ = new ConfigBoxWidget(app_.Work);
  // In a small window the box scrolls rather than be cut off.
  auto* configScroll = new QScrollArea;
  configScroll->setWidget(config_);
  configScroll->setWidgetResizable(true);
  configScroll->setFrameShape(QFrame::NoFrame);
  configScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  configScroll->setMinimumWidth(config_->minimumSizeHint().width() +
                                configScroll->verticalScrollBar()->sizeHint().width());
  configScroll->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  configScroll_ = configScroll;
  connect(config_, &ConfigBoxWidget::Changed, this, [this] {
    Record(text::kUndoConfiguration);
    SyncWindow();
  });

  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(8, 8, 8, 4);
  layout->setSpacing(10);
  auto* left = new QVBoxLayout;
  left->setSpacing(0);
  left->addWidget(stack_, 1);
  left->addWidget(tabs_);
  layout->addLayout(left, 1);
  layout->addWidget(configScroll_, 0);
  setCentralWidget(central);
}

QAction* MainWindow::AddAction(QMenu* menu, std::string_view caption, const QKeySequence& shortcut,
                               void (MainWindow::*slot)()) {
  QAction* action = menu->addAction(Utf8(caption));
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  if (slot != nullptr) connect(action, &QAction::triggered, this, slot);
  return action;
}

void MainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(Utf8(text::kMenuFile));
  AddAction(file, text::kMenuOpenFile, QKeySequence(QStringLiteral("Ctrl+O")),
            &MainWindow::OpenFile);
  openDataFile_ = AddAction(file, text::kMenuOpenDataFile, {}, &MainWindow::OpenDataFile);
  QAction* saveAs =
      AddAction(file, text::kMenuSaveFileAs, QKeySequence(QStringLiteral("Ctrl+S")), nullptr);
  connect(saveAs, &QAction::triggered, this, [this] { SaveFileAs(); });
  QAction* saveData = AddAction(file, text::kMenuSaveDataFileAs, {}, nullptr);
  saveData->setEnabled(false);
  saveData->setVisible(false);
  file->addSeparator();
  recentFilesMenu_ = file->addMenu(Utf8(text::kMenuRecentFiles));
  // Alt+F1 opens the most recent file: the first entry of the recent lists carries it.
  reopenRecent_ = new QAction(this);
  reopenRecent_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F1));
  addAction(reopenRecent_);
  connect(reopenRecent_, &QAction::triggered, this, [this] {
    if (!app_.Recent.Entries().empty()) OpenRecentFile(0);
  });
  connect(recentFilesMenu_, &QMenu::aboutToShow, this,
          [this] { FillRecentFilesMenu(recentFilesMenu_); });
  file->addSeparator();
  AddAction(file, text::kMenuPrint, QKeySequence(QStringLiteral("Ctrl+P")), &MainWindow::Print);
  file->addSeparator();
  AddAction(file, text::kMenuExit, QKeySequence(QStringLiteral("Ctrl+Q")), &MainWindow::ExitWindow);

  editMenu_ = bar->addMenu(Utf8(text::kMenuEdit));
  undo_ = history_->Group().createUndoAction(this, Utf8(text::kMenuUndo));
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_ = history_->Group().createRedoAction(this, Utf8(text::kMenuRedo));
  redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  editMenu_->addAction(undo_);
  editMenu_->addAction(redo_);
  editMenu_->addSeparator();
  copyFromBuffer_ =
      AddAction(editMenu_, text::kMenuCopyFromBuffer, {}, &MainWindow::CopyFromBuffer);
  pasteToBuffer_ = AddAction(editMenu_, text::kMenuPasteToBuffer, {}, &MainWindow::PasteToBuffer);
  copyFromData_ =
      AddAction(editMenu_, text::kMenuCopyFromDataBuffer, {}, &MainWindow::CopyFromDataBuffer);
  pasteToData_ =
      AddAction(editMenu_, text::kMenuPasteToDataBuffer, {}, &MainWindow::PasteToDataBuffer);
  editMenu_->addSeparator();
  AddAction(editMenu_, text::kMenuFillBuffer, {}, &MainWindow::FillBuffer);
  AddAction(editMenu_, text::kMenuFillBufferFrom, {}, &MainWindow::FillBufferFrom);
  fillData_ = AddAction(editMenu_, text::kMenuFillDataBuffer, {}, &MainWindow::FillDataBuffer);
  fillDataFrom_ =
      AddAction(editMenu_, text::kMenuFillDataBufferFrom, {}, &MainWindow::FillDataBufferFrom);
  connect(editMenu_, &QMenu::aboutToShow, this, &MainWindow::UpdateEditMenu);

  QMenu* buffer = bar->addMenu(Utf8(text::kMenuBuffer));
  QMenu* active = buffer->addMenu(Utf8(text::kMenuActiveBuffer));
  auto* bufferGroup = new QActionGroup(this);
  for (int i = 0; i < kBufferSlots; ++i) {
    const QString digit = QString::number(i + 1);
    QAction* entry = active->addAction(Utf8(text::kMenuBufferEntry) + digit);
    entry->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + i)));
    entry->setCheckable(true);
    bufferGroup->addAction(entry);
    bufferActions_[static_cast<std::size_t>(i)] = entry;
    connect(entry, &QAction::triggered, this, [this, i] { SelectBuffer(i); });
  }
  QAction* compare = AddAction(buffer, text::kMenuCompare, {}, nullptr);
  compare->setEnabled(false);

  QMenu* settings = bar->addMenu(Utf8(text::kMenuSettings));
  AddAction(settings, text::kMenuHardware, QKeySequence(Qt::Key_F3),
            &MainWindow::ShowHardwareSettings);
  hardwareCheck_ = AddAction(settings, text::kMenuHardwareCheck, {}, &MainWindow::RunHardwareCheck);
  // A disabled entry says why in its tooltip.
  settings->setToolTipsVisible(true);
  AddAction(settings, text::kMenuOptions, {}, &MainWindow::ShowOptions);
  settings->addSeparator();
  QMenu* devices = settings->addMenu(Utf8(text::kMenuDevice));
  QMenu* group = nullptr;
  QMenu* more = nullptr;
  for (const DeviceMenuItem& item : DeviceMenu()) {
    if (item.Kind == MenuItemKind::Group) {
      group = devices->addMenu(MenuText(item.Caption));
      more = nullptr;
      continue;
    }
    if (item.Kind == MenuItemKind::SubMenu) {
      more = group->addMenu(MenuText(item.Caption));
      continue;
    }
    QMenu* target = item.InMore && more != nullptr ? more : group;
    QAction* action = target->addAction(MenuText(item.Caption));
    if (item.Kind == MenuItemKind::DisabledDevice || item.Entry == nullptr) {
      action->setEnabled(false);
      continue;
    }
    action->setCheckable(true);
    deviceActions_[item.MenuCommand] = action;
    const CatalogueEntry* entry = item.Entry;
    connect(action, &QAction::triggered, this, [this, entry] { SelectDevice(*entry); });
  }
  recentDevicesMenu_ = settings->addMenu(Utf8(text::kMenuRecentDevices));
  connect(recentDevicesMenu_, &QMenu::aboutToShow, this, &MainWindow::FillRecentDevicesMenu);
  settings->addSeparator();
  smartcard_ = settings->addAction(Utf8(text::kMenuSmartcard));
  smartcard_->setCheckable(true);
  connect(smartcard_, &QAction::triggered, this, &MainWindow::ToggleSmartcard);
  settings->addSeparator();
  AddAction(settings, text::kMenuClearSettings, {}, &MainWindow::ClearSettings);

  QMenu* command = bar->addMenu(Utf8(text::kMenuCommand));
  AddAction(command, text::kMenuReadAll, QKeySequence(Qt::Key_F8), &MainWindow::ReadAll);
  AddAction(command, text::kMenuProgramAll, QKeySequence(Qt::Key_F5), &MainWindow::ProgramAll);
  programConfig_ = AddAction(command, text::kMenuProgramConfig, QKeySequence(Qt::Key_F4),
                             &MainWindow::ProgramConfig);
  eraseAll_ = AddAction(command, text::kMenuEraseAll, {}, &MainWindow::EraseAll);
  AddAction(command, text::kMenuBlankCheck, {}, &MainWindow::BlankCheck);
  AddAction(command, text::kMenuVerify, QKeySequence(Qt::Key_F6), &MainWindow::Verify);
  AddAction(command, text::kMenuDetect, {}, &MainWindow::Detect);
  command->addSeparator();
  AddAction(command, text::kMenuSmartcardWizard, {}, &MainWindow::RunSmartcardWizard);

  QMenu* view = bar->addMenu(Utf8(text::kMenuView));
  auto* modes = new QActionGroup(this);
  hexView_ = AddAction(view, text::kMenuHexView, {}, &MainWindow::ShowHexView);
  asmViewAction_ = AddAction(view, text::kAssemblerMenuItem, {}, &MainWindow::ShowAssemblerView);
  for (QAction* mode : {hexView_, asmViewAction_}) {
    mode->setCheckable(true);
    modes->addAction(mode);
  }
  view->addSeparator();
  AddAction(view, text::kMenuRefresh, {}, &MainWindow::Refresh);
  view->addSeparator();
  AddAction(view, text::kMenuDeviceInformation, {}, &MainWindow::DeviceInformation);
  devicePosition_ = AddAction(view, text::kMenuDevicePosition, {}, nullptr);
  devicePosition_->setCheckable(true);
  connect(devicePosition_, &QAction::triggered, this, &MainWindow::ToggleDevicePosition);

  QMenu* help = bar->addMenu(Utf8(text::kMenuHelp));
  AddAction(help, text::kMenuContents, QKeySequence(Qt::Key_F1), &MainWindow::OpenHelp);
  help->addSeparator();
  AddAction(help, text::kMenuAbout, {}, &MainWindow::ShowAbout);
}

void MainWindow::BuildToolBar() {
  QToolBar* bar = addToolBar(Utf8(text::kToolBarName));
  bar->setObjectName(QStringLiteral("toolBar"));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(24, 24));
  bar->setContextMenuPolicy(Qt::PreventContextMenu);

  // Tool bar buttons are the menu's own actions, so they are enabled with them.
  const auto find = [this](std::string_view caption) -> QAction* {
    const QString text = Utf8(caption);
    for (QAction* action : findChildren<QAction*>()) {
      if (action->text() == text) return action;
    }
    return nullptr;
  };
  const auto tool = [&](std::string_view caption, std::string_view hint, ToolIcon icon) {
    QAction* action = find(caption);
    toolIcons_.emplace_back(action, icon);
    action->setToolTip(Utf8(hint));
    return action;
  };

  QAction* open = tool(text::kMenuOpenFile, text::kHintOpenFile, ToolIcon::Open);
  openButton_ = new QToolButton;
  openButton_->setDefaultAction(open);
  openMenu_ = new QMenu(openButton_);
  connect(openMenu_, &QMenu::aboutToShow, this, [this] { FillRecentFilesMenu(openMenu_); });
  openButton_->setMenu(openMenu_);
  openButton_->setPopupMode(QToolButton::MenuButtonPopup);
  bar->addWidget(openButton_);
  bar->addAction(tool(text::kMenuSaveFileAs, text::kHintSaveFileAs, ToolIcon::Save));
  bar->addSeparator();
  bar->addAction(tool(text::kMenuReadAll, text::kHintReadAll, ToolIcon::ReadAll));
  bar->addAction(tool(text::kMenuProgramAll, text::kHintProgramAll, ToolIcon::ProgramAll));
  bar->addAction(tool(text::kMenuVerify, text::kHintVerify, ToolIcon::Verify));
  bar->addAction(tool(text::kMenuEraseAll, text::kHintEraseAll, ToolIcon::EraseAll));
  bar->addSeparator();
  bar->addAction(tool(text::kMenuHardware, text::kHintHardware, ToolIcon::Hardware));
  bar->addAction(tool(text::kMenuOptions, text::kHintOptions, ToolIcon::Options));
  bar->addAction(
      tool(text::kMenuSmartcardWizard, text::kHintSmartcardWizard, ToolIcon::SmartcardWizard));
  bar->addSeparator();
  bar->addAction(tool(text::kMenuHexView, text::kHintHexView, ToolIcon::HexView));
  bar->addAction(tool(text::kAssemblerMenuItem, text::kAssemblerViewHint, ToolIcon::AssemblerView));
  bar->addSeparator();
  bar->addAction(tool(text::kMenuContents, text::kHintHelp, ToolIcon::Help));
  bar->addSeparator();

  deviceBox_ = new QComboBox;
  deviceBox_->setToolTip(Utf8(text::kHintDeviceList));
  deviceBox_->setAccessibleName(Utf8(text::kHintDeviceList));
  deviceBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  deviceBox_->setMinimumContentsLength(12);
  deviceBox_->setFocusPolicy(Qt::StrongFocus);
  FillDeviceBox(*deviceBox_, app_.Work.List);
  connect(deviceBox_, &QComboBox::activated, this, &MainWindow::DeviceBoxChosen);
  auto* holder = new QWidget;
  auto* holderLayout = new QHBoxLayout(holder);
  holderLayout->setContentsMargins(6, 0, 6, 0);
  holderLayout->addWidget(deviceBox_);
  bar->addWidget(holder);
  ApplyToolIcons();
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(true);
  static constexpr std::array<std::string_view, 3> kPanelNames = {
      text::kStatusOperationName, text::kStatusPortName, text::kStatusDeviceName};
  for (std::size_t i = 0; i < statusPanels_.size(); ++i) {
    auto* panel = new QLabel;
    panel->setAccessibleName(Utf8(kPanelNames[i]));
    statusPanels_[i] = panel;
  }
  virtualPanel_ = new QLabel(Utf8(text::kStatusVirtual));
  virtualPanel_->setAccessibleName(Utf8(text::kStatusVirtual));
  // The operation takes what is left; the others are as wide as their texts.
  bar->addWidget(statusPanels_[kStatusOperationPanel], 1);
  bar->addPermanentWidget(statusPanels_[kStatusPortPanel]);
  bar->addPermanentWidget(virtualPanel_);
  bar->addPermanentWidget(statusPanels_[kStatusDevicePanel]);
}

// ---- showing the application's state ----

void MainWindow::SyncWindow() {
  syncing_ = true;
  const Workspace& work = app_.Work;
  const MainWindowState& state = work.Window;
  history_->SetActive(work.Buffers.ActiveBuffer);
  UpdateTitle();
  // The device text's blanks aligned its number in a panel of fixed width.
  statusPanels_[kStatusDevicePanel]->setText(Utf8(state.StatusDevice).simplified());
  virtualPanel_->setVisible(Simulated() != nullptr);
  const ProgrammerType programmer = app_.Lines.Settings().Programmer;
  const bool checkable = ProgrammerSupports(programmer, SupportGroup::StandardProgrammers);
  hardwareCheck_->setEnabled(checkable);
  hardwareCheck_->setToolTip(checkable ? QString() : Utf8(HardwareCheckRefusal(programmer)));
  programConfig_->setEnabled(state.ProgramConfigEnabled);
  eraseAll_->setEnabled(state.EraseEnabled);
  dataGroup_->setVisible(state.DataViewVisible);
  // The data view shows its lines (up to a screenful of twelve); the code view takes the rest.
  const int dataLines = std::clamp(HexViewLineCount(HexView::Data, work.Device), 4, 12);
  // In a short window it gives up lines down to three, as the code view does.
  dataView_->setMaximumHeight(dataLines * dataView_->LineHeight() + dataView_->LineHeight() / 3 +
                              2 * dataView_->frameWidth());
  dataView_->setMinimumHeight(3 * dataView_->LineHeight() + 2 * dataView_->frameWidth());
  dataGroup_->setMaximumHeight(dataView_->maximumHeight() + dataGroup_->sizeHint().height() -
                               dataView_->sizeHint().height());
  for (QAction* action : {openDataFile_, fillData_, fillDataFrom_, copyFromData_, pasteToData_}) {
    action->setEnabled(state.DataEntriesEnabled);
  }
  for (auto& [number, action] : deviceActions_) action->setChecked(number == state.CheckedDevice);
  deviceBox_->setCurrentIndex(state.DeviceListIndex);
  const int active = work.Buffers.ActiveBuffer;
  for (int i = 0; i < kBufferSlots; ++i) {
    bufferActions_[static_cast<std::size_t>(i)]->setChecked(i == active);
  }
  tabs_->setCurrentIndex(active);
  smartcard_->setChecked(app_.Options.Smart);
  const bool hex = mode_ == ViewMode::Hex;
  hexView_->setChecked(hex);
  asmViewAction_->setChecked(!hex);
  editMenu_->menuAction()->setEnabled(hex);
  stack_->setCurrentIndex(hex ? 0 : 1);
  config_->Sync();
  syncing_ = false;
}

void MainWindow::FillRecentFilesMenu(QMenu* menu) {
  menu->clear();
  const std::vector<RecentFile>& entries = app_.Recent.Entries();
  if (entries.empty()) {
    menu->addAction(MenuText(text::kRecentFilesNone))->setEnabled(false);
    return;
  }
  reopenRecent_->setText(MenuText(entries.front().Path));
  menu->addAction(reopenRecent_);
  for (int i = 1; i < static_cast<int>(entries.size()); ++i) {
    QAction* action = menu->addAction(MenuText(entries[static_cast<std::size_t>(i)].Path));
    connect(action, &QAction::triggered, this, [this, i] { OpenRecentFile(i); });
  }
}

void MainWindow::FillRecentDevicesMenu() {
  recentDevicesMenu_->clear();
  const std::vector<std::string>& captions = app_.Work.Recent.Captions();
  for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
    // "&1 PIC 16F84": the first two characters are the entry's accelerator.
    QAction* action = recentDevicesMenu_->addAction(Utf8(captions[static_cast<std::size_t>(i)]));
    connect(action, &QAction::triggered, this, [this, i] { SelectRecentDevice(i); });
  }
}

void MainWindow::UpdateEditMenu() {
  const bool clipboard = !QApplication::clipboard()->text().isEmpty();
  const bool data = app_.Work.Window.DataEntriesEnabled;
  copyFromBuffer_->setEnabled(codeView_->HasSelection());
  pasteToBuffer_->setEnabled(clipboard);
  copyFromData_->setEnabled(data && dataView_->HasSelection());
  pasteToData_->setEnabled(data && clipboard && app_.Work.Device.DataSize >= 1);
}

void MainWindow::ShowContextMenu(HexView view, const QPoint& position) {
  TextView* textView = ViewOf(view);
  const bool code = view == HexView::Code;
  QMenu menu(this);
  QAction* edit = menu.addAction(Utf8(text::kMenuEditLocation));
  QAction* copy = menu.addAction(Utf8(text::kMenuCopy));
  QAction* paste = menu.addAction(Utf8(text::kMenuPaste));
  menu.addSeparator();
  QAction* fill = menu.addAction(Utf8(text::kMenuFillBuffer));
  QAction* fillFrom =
      menu.addAction(Utf8(code ? text::kMenuFillBufferFrom : text::kMenuFillDataBufferFrom));
  copy->setEnabled(textView->HasSelection());
  paste->setEnabled(!QApplication::clipboard()->text().isEmpty() &&
                    (code || app_.Work.Device.DataSize >= 1));
  QAction* chosen = menu.exec(textView->viewport()->mapToGlobal(position));
  if (chosen == edit) {
    // "&Edit Location" takes the caret as the edit position.
    editRow_ = textView->CaretLine();
    editColumn_ = textView->CaretColumn() + 1;
    EditLocation(view);
  } else if (chosen == copy) {
    textView->Copy();
  } else if (chosen == paste) {
    PasteHex(view);
  } else if (chosen == fill) {
    RunEditDialog(code ? EditMode::FillCode : EditMode::FillData, view, 0);
  } else if (chosen == fillFrom) {
    RunEditDialog(code ? EditMode::FillCodeFrom : EditMode::FillDataFrom, view, 0);
  }
}

// ---- start-up and activation ----

Application::StartupOutcome MainWindow::Start(const CommandLine& commandLine) {
  app_.WindowVisible = true;
  const Application::StartupOutcome outcome = app_.Startup(commandLine);
  // What the command line loaded is where undo stops, and unmodified.
  history_->Reset();
  ApplyProcessPriority(app_.Options.Priority);
  codeView_->SetFileDropEnabled(app_.Options.DragDrop);
  dataView_->SetFileDropEnabled(app_.Options.DragDrop);
  AssignDeviceShortcuts();
  SyncWindow();
  SetStatusPanel(kStatusPortPanel, Utf8(app_.PortStatusText()));
  // The Device Position window is wanted: it shows at the first paint.
  if (app_.Options.ShowDevPos) {
    app_.Options.ShowDevPos = false;
    ToggleDevicePosition();
  }
  ShowDevice();
  // Sized for the device chosen, before it shows.
  FitToScreen();
  // The hardware settings are asked for on a first start, and can only be left with OK.
  if (outcome.FirstStart) RunHardwareDialog(true);
  return outcome;
}

void MainWindow::Activate() {
  // Activation recurs whenever a dialog of a running action closes: it waits for the next.
  if (busy_) return;
  Record(text::kUndoEdit);
  busy_ = true;
  Application::ActivationOutcome outcome;
  try {
    outcome = app_.OnActivate();
  } catch (const std::exception& failure) {
    outcome.Succeeded = false;
    ui_.HideProgressWindow();
    ui_.SetBusyCursor(false);
    SetWindowEnabled(true);
    ui_.Message(MessageKind::Error, failure.what(), MessageButton::Ok);
  }
  busy_ = false;
  ui_.Progress().EndCancelling();
  // What the command line asked for, and the configuration word rebuilt from its controls,
  // are taken as they are: they are not the user's edits.
  history_->Absorb(app_.Work.Buffers.ActiveBuffer);
  if (outcome.Ran) {
    AfterDeviceWork();
  } else {
    SyncWindow();
  }
  if (outcome.Quit) {
    exitStatus_ = outcome.Succeeded ? 0 : 1;
    quitting_ = true;
    close();
  } else if (closeAfterOperation_) {
    closeAfterOperation_ = false;
    close();
  }
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    QTimer::singleShot(0, this, &MainWindow::Activate);
  }
  return QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The first activation, also where the desktop does not activate new windows.
  if (!shown_) QTimer::singleShot(0, this, &MainWindow::Activate);
  shown_ = true;
}

void MainWindow::paintEvent(QPaintEvent* event) {
  QMainWindow::paintEvent(event);
  if (!firstPaintPending_) return;
  firstPaintPending_ = false;
  // Placed once shown too, when its frame's size is known.
  PlaceDevicePosition();
  if (devicePosition_->isChecked()) {
    position_->show();
    PlaceDevicePosition();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // An operation in progress ends first: on Yes it is cancelled as its Cancel button does,
  // and the window closes once the worker has ended.
  if (busy_) {
    event->ignore();
    if (closeAfterOperation_) return;
    if (Ask(QMessageBox::Question, Utf8(text::kCloseDuringOperation),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes) {
      closeAfterOperation_ = true;
      ui_.Progress().CancelOperation();
    }
    return;
  }
  // A quit the command line asked for does not ask.
  if (!quitting_ && !MayDiscard(AllSlots())) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A device change resets all five buffers: the wheel does not change the device box in
  // passing, only once the box has the focus.
  if (event->type() == QEvent::Wheel && watched == deviceBox_ && !deviceBox_->hasFocus()) {
    event->ignore();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::AssignDeviceShortcuts() {
  // Ctrl+F1..Ctrl+F4 are shortcuts of the entries of the devices the Options assign them; a
  // device on two of them carries both (the menu shows the first).
  std::map<QAction*, QList<QKeySequence>> keys;
  for (int n = 0; n < kDeviceShortcuts; ++n) {
    const int index = app_.Options.DeviceShortcuts[static_cast<std::size_t>(n)];
    const CatalogueEntry* entry = app_.Work.List.EntryAt(index);
    if (entry == nullptr) entry = app_.Work.List.EntryAt(0);
    if (entry == nullptr) continue;
    const auto found = deviceActions_.find(entry->MenuCommand);
    if (found == deviceActions_.end()) continue;
    keys[found->second].append(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_F1 + n)));
  }
  for (auto& [number, action] : deviceActions_) {
    const auto found = keys.find(action);
    action->setShortcuts(found != keys.end() ? found->second : QList<QKeySequence>{});
  }
}

// ---- WorkspaceObserver and QtUiWindow ----

void MainWindow::RebuildCodeView() {
  codeView_->Rebuild();
}

void MainWindow::RebuildDataView() {
  dataView_->Rebuild();
}

void MainWindow::ShowDevice() {
  // The virtual programmer's socket follows the selected device; in smartcard mode it holds
  // the card for the card's devices.
  if (SimulatedProgrammer* simulated = Simulated()) {
    simulated->InsertFor(app_.Work.Device, app_.Operation.Smart || wizardRunning_,
                         app_.Options.SmartWiz, ui_);
  }
  if (position_ != nullptr) position_->ShowDevicePosition(app_.Lines.Settings(), app_.Work.Device);
}

void MainWindow::SetStatusPanel(int panel, const QString& text) {
  if (panel >= 0 && panel < static_cast<int>(statusPanels_.size())) {
    statusPanels_[static_cast<std::size_t>(panel)]->setText(text);
  }
}

void MainWindow::SetWindowEnabled(bool enabled) {
  setEnabled(enabled);
}

void MainWindow::FocusCodeView() {
  if (isVisible()) codeView_->setFocus();
}

void MainWindow::ResetCodeViewMarking() {
  codeMarked_ = false;
  codeView_->SetMarking({});
}

void MainWindow::RestoreCodeViewMarking() {
  codeMarked_ = true;
  codeView_->SetMarking(StartupMarking(palette()));
}

void MainWindow::FitToScreen() {
  // As wide as a code line and the configuration box need, and room for 28 lines, as far as
  // the screen has room at its scale (with a little to spare for rounding at fractional
  // scales); the views scroll in a smaller window.
  QSize size(std::max(sizeHint().width() + 16, 760), 700);
  if (const QScreen* shown = screen()) {
    const QSize area = shown->availableGeometry().size();
    size = size.boundedTo(QSize(area.width() * 9 / 10, area.height() * 9 / 10));
  }
  resize(size);
}

void MainWindow::ApplyViewColours() {
  const QColor separator = SeparatorColour(palette());
  for (TextView* view : {codeView_, dataView_, asmView_}) view->SetSeparatorColour(separator);
  codeView_->SetMarking(codeMarked_ ? StartupMarking(palette()) : TextMarking{});
  dataView_->SetMarking(StartupMarking(palette()));
}

void MainWindow::ApplyToolIcons() {
  const bool dark = IsDark(palette());
  for (const auto& [action, icon] : toolIcons_) action->setIcon(MakeToolIcon(icon, dark));
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // A new theme or palette (a dark one): the views' own colours and the icons follow.
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
    ApplyViewColours();
    ApplyToolIcons();
  }
}

// ---- in-place editing ----

void MainWindow::TypeInView(HexView view, char32_t key) {
  TextView* textView = ViewOf(view);
  HexCaret caret{textView->CaretLine(), textView->CaretColumn() + 1};
  const HexCaret before = caret;
  const HexKeyResult result = TypeKey(view, app_.Work, caret, static_cast<std::uint32_t>(key));
  if (result.Action == HexKeyAction::ClearSelection) {
    textView->ClearSelection();
    return;
  }
  if (result.Action == HexKeyAction::Paste) {
    if (!pasting_) PasteHex(view);
    return;
  }
  if (result.ChangedLine >= 0) {
    textView->ReplaceLine(result.ChangedLine);
    if (view == HexView::Code) {
      RestoreCodeViewMarking();
      config_->Sync();
    }
    // A paste is one step however many characters it types.
    if (!pasting_) Record(text::kUndoTyping);
  }
  if (!(caret == before) || result.ChangedLine >= 0) {
    textView->SetCaret(caret.Line, caret.Column - 1);
  }
}

void MainWindow::CopyHex(HexView view) {
  TextView* textView = ViewOf(view);
  if (!textView->HasSelection()) return;
  int firstLine = 0, firstColumn = 0, lastLine = 0, lastColumn = 0;
  textView->SelectionRange(firstLine, firstColumn, lastLine, lastColumn);
  // The words themselves, which a paste types back; not the addresses and characters. A
  // selection of addresses alone is copied as it reads.
  const std::string words =
      SelectionAsHex(view, app_.Work.Active(), firstLine, firstColumn, lastLine, lastColumn);
  QApplication::clipboard()->setText(words.empty() ? textView->SelectedText()
                                                   : QString::fromStdString(words));
}

void MainWindow::PasteHex(HexView view) {
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty()) return;
  // Each character is typed at the caret as if by the user.
  pasting_ = true;
  for (char32_t key : text.toUcs4()) TypeInView(view, key);
  pasting_ = false;
  Record(text::kUndoPaste);
}

// ---- commands ----

void MainWindow::OpenFile() {
  const std::optional<ChosenFile> chosen =
      dialogs_->ChooseOpen(this, app_.Files.InitialDir(), false);
  if (!chosen || !MayDiscard({app_.Work.Buffers.ActiveBuffer})) return;
  Loaded(app_.Files.Open1Click(chosen->Path, FileTypeFromNumber(chosen->Type)));
}

void MainWindow::OpenDataFile() {
  const std::optional<ChosenFile> chosen =
      dialogs_->ChooseOpen(this, app_.Files.InitialDir(), true);
  if (!chosen || !MayDiscard({app_.Work.Buffers.ActiveBuffer})) return;
  app_.Files.OpenDataFile1Click(chosen->Path, FileTypeFromNumber(chosen->Type));
  // The slot now holds a mix of files: modified.
  Record(text::kUndoLoad);
  SyncWindow();
}

void MainWindow::Loaded(OpenResult result) {
  const int active = app_.Work.Buffers.ActiveBuffer;
  Record(text::kUndoLoad);
  // A file read to its end is what the slot holds; one read part way is not.
  if (result == OpenResult::Loaded) history_->MarkSaved(active);
  RestoreCodeViewMarking();
  SyncWindow();
}

bool MainWindow::SaveFileAs() {
  const std::optional<ChosenFile> chosen =
      dialogs_->ChooseSave(this, app_.Files.InitialDir(), lastSaveName_, app_.Options.Overwrite);
  if (!chosen) return false;
  lastSaveName_ = chosen->Path;
  Record(text::kUndoEdit);
  const bool saved =
      app_.Files.SaveAs1Click(chosen->Path, chosen->Type == 2 ? SaveType::Binary : SaveType::Ihx8);
  if (saved) history_->MarkSaved(app_.Work.Buffers.ActiveBuffer);
  SyncWindow();
  return saved;
}

void MainWindow::OpenRecentFile(int position) {
  if (!MayDiscard({app_.Work.Buffers.ActiveBuffer})) return;
  Loaded(app_.OpenRecentFile(position));
}

void MainWindow::DropFiles(HexView view, const QStringList& paths) {
  if (!app_.Options.DragDrop || paths.isEmpty() || !MayDiscard({app_.Work.Buffers.ActiveBuffer})) {
    return;
  }
  if (view == HexView::Code) {
    app_.Files.RichEdit1DropFiles(ToPaths(paths));
    const bool opened = app_.Work.Active().FileName == paths.back().toStdString();
    Loaded(opened ? OpenResult::Loaded : OpenResult::ReadFailed);
  } else {
    app_.Files.Data1DropFiles(ToPaths(paths));
    Record(text::kUndoLoad);
    SyncWindow();
  }
}

std::vector<int> MainWindow::AllSlots() const {
  std::vector<int> all(kBufferSlots);
  for (int i = 0; i < kBufferSlots; ++i) all[static_cast<std::size_t>(i)] = i;
  return all;
}

void MainWindow::Record(std::string_view label) {
  history_->Record(app_.Work.Buffers.ActiveBuffer, Utf8(label));
}

QMessageBox::StandardButton MainWindow::Ask(QMessageBox::Icon icon, const QString& question,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton preferred) {
  QMessageBox box(icon, Utf8(text::kTitleConfirm), question, buttons, this);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(preferred);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool MainWindow::MayDiscard(const std::vector<int>& concerned) {
  // The edits of the active slot that were not recorded yet count too.
  Record(text::kUndoEdit);
  std::vector<int> modified;
  for (int slot : concerned) {
    if (history_->Modified(slot)) modified.push_back(slot);
  }
  if (modified.empty()) return true;
  QString names;
  for (std::size_t i = 0; i < modified.size(); ++i) {
    if (i > 0) {
      names +=
          Utf8(i + 1 == modified.size() ? text::kUnsavedLastSeparator : text::kUnsavedSeparator);
    }
    const BufferSlot& slot = app_.Work.Buffers.Slots[static_cast<std::size_t>(modified[i])];
    names += Utf8(BufferTabCaption(modified[i]));
    if (!slot.FileName.empty()) {
      names += QStringLiteral(" (") + QFileInfo(Utf8(slot.FileName)).fileName() + QLatin1Char(')');
    }
  }
  const QMessageBox::StandardButton answer =
      Ask(QMessageBox::Warning, Utf8(text::kUnsavedBefore) + names + Utf8(text::kUnsavedAfter),
          QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  if (answer == QMessageBox::Discard) return true;
  if (answer != QMessageBox::Save) return false;
  // Each slot is saved as itself, shown while its file is asked for.
  const int active = app_.Work.Buffers.ActiveBuffer;
  bool saved = true;
  for (int slot : modified) {
    if (slot != app_.Work.Buffers.ActiveBuffer) SelectBuffer(slot);
    saved = SaveFileAs();
    if (!saved) break;
  }
  if (active != app_.Work.Buffers.ActiveBuffer) SelectBuffer(active);
  return saved;
}

void MainWindow::UpdateTitle() {
  const int active = app_.Work.Buffers.ActiveBuffer;
  const std::string& file = app_.Work.Buffers.Slots[static_cast<std::size_t>(active)].FileName;
  QString title = Utf8(text::kProgramTitle);
  if (file.empty()) {
    title += QStringLiteral("[*]");
  } else {
    // A "[*]" in a file name is not the mark.
    QString name = QFileInfo(Utf8(file)).fileName();
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    title = name + QStringLiteral("[*]") + Utf8(text::kTitleFileSeparator) + title;
  }
  setWindowTitle(title);
  setWindowModified(history_->Modified(active));
}

void MainWindow::SlotRestored(int slot) {
  if (slot != app_.Work.Buffers.ActiveBuffer) return;
  codeView_->Rebuild();
  if (app_.Work.Device.DataSize > 0) dataView_->Rebuild();
  app_.Work.ShowStoredConfigWord();
  if (mode_ == ViewMode::Assembler) ListAssembler();
  RestoreCodeViewMarking();
  SyncWindow();
}

void MainWindow::ExitWindow() {
  close();
}

void MainWindow::CopyFromBuffer() {
  codeView_->Copy();
}
void MainWindow::PasteToBuffer() {
  PasteHex(HexView::Code);
}
void MainWindow::CopyFromDataBuffer() {
  dataView_->Copy();
}
void MainWindow::PasteToDataBuffer() {
  if (app_.Work.Device.DataSize >= 1) PasteHex(HexView::Data);
}

void MainWindow::FillBuffer() {
  RunEditDialog(EditMode::FillCode, HexView::Code, 0);
}
void MainWindow::FillBufferFrom() {
  RunEditDialog(EditMode::FillCodeFrom, HexView::Code, 0);
}
void MainWindow::FillDataBuffer() {
  RunEditDialog(EditMode::FillData, HexView::Data, 0);
}
void MainWindow::FillDataBufferFrom() {
  RunEditDialog(EditMode::FillDataFrom, HexView::Data, 0);
}

void MainWindow::EditLocation(HexView view) {
  const std::optional<int> address = EditLocationAddress(view, editRow_, editColumn_);
  if (!address) return;
  RunEditDialog(EditMode::Location, view, *address);
}

void MainWindow::RunEditDialog(EditMode mode, HexView view, int address) {
  if ((mode == EditMode::FillData || mode == EditMode::FillDataFrom) &&
      app_.Work.Device.DataSize < 1) {
    return;
  }
  const EditDialogSetup setup = SetupEditDialog(mode, app_.Work, view, address);
  if (editor_->Run(setup, app_.Work.Device.BlankValue)) {
    const HexView changed = ApplyEditDialog(mode, app_.Work, view, address, editor_->DecimalText(),
                                            editor_->FromText(), editor_->ToText());
    TextView* textView = ViewOf(changed);
    const int line = textView->CaretLine();
    const int column = textView->CaretColumn();
    textView->Rebuild();
    textView->SetCaret(line, column);
    if (changed == HexView::Code) RestoreCodeViewMarking();
    Record(mode == EditMode::Location ? text::kUndoEdit : text::kUndoFill);
    SyncWindow();
  }
  codeView_->ClearSelection();
  dataView_->ClearSelection();
}

void MainWindow::SelectBuffer(int index) {
  if (index < 0 || index >= kBufferSlots) return;
  app_.Work.Buffer11Click(index);
  SyncWindow();
}

void MainWindow::SelectDevice(const CatalogueEntry& entry) {
  // A device change resets all five buffers.
  if (MayDiscard(AllSlots())) {
    app_.Work.SelectDevice(entry);
    DeviceChanged();
  }
  SyncWindow();
}

void MainWindow::DeviceBoxChosen(int index) {
  if (syncing_) return;
  if (!app_.Work.List.IsSeparator(index) && MayDiscard(AllSlots()) &&
      app_.Work.ComboBox4Change(index)) {
    DeviceChanged();
  }
  SyncWindow();
}

void MainWindow::SelectRecentDevice(int position) {
  if (MayDiscard(AllSlots()) && app_.Work.SelectRecentDevice(position)) DeviceChanged();
  SyncWindow();
}

void MainWindow::DeviceChanged() {
  history_->Reset();
  RestoreCodeViewMarking();
}

void MainWindow::ToggleSmartcard(bool on) {
  app_.Options.Smart = on;
  app_.Operation.Smart = on;
  app_.Settings().WriteBool("Smart", on);
  ShowDevice();  // the virtual programmer takes the card in or out
  SyncWindow();
}

void MainWindow::ClearSettings() {
  app_.ClearSettings();
}

void MainWindow::RunOperation(OperationResult (Operations::*command)(), std::string_view label) {
  if (busy_) return;
  Record(text::kUndoEdit);
  busy_ = true;
  try {
    (app_.Ops.*command)();
  } catch (const std::exception& failure) {
    // A worker that failed in an unforeseen way: the window comes back and says so.
    ui_.HideProgressWindow();
    ui_.SetBusyCursor(false);
    SetStatusPanel(kStatusOperationPanel, QString());
    SetWindowEnabled(true);
    ui_.Message(MessageKind::Error, failure.what(), MessageButton::Ok);
  }
  busy_ = false;
  ui_.Progress().EndCancelling();
  // A read (or a part's calibration kept) changes the buffer as a step of its own.
  Record(label);
  AfterDeviceWork();
  if (closeAfterOperation_) {
    closeAfterOperation_ = false;
    close();
  }
}

void MainWindow::AfterDeviceWork() {
  if (SimulatedProgrammer* simulated = Simulated()) simulated->SaveChip(ui_);
  SyncWindow();
}

void MainWindow::ReadAll() {
  RunOperation(&Operations::ReadAll, text::kUndoReadAll);
}
void MainWindow::ProgramAll() {
  RunOperation(&Operations::ProgramAll, text::kUndoProgramAll);
}
void MainWindow::ProgramConfig() {
  RunOperation(&Operations::ProgramConfig, text::kUndoProgramAll);
}
void MainWindow::EraseAll() {
  RunOperation(&Operations::EraseAll, text::kUndoEdit);
}
void MainWindow::BlankCheck() {
  RunOperation(&Operations::BlankCheck, text::kUndoEdit);
}
void MainWindow::Verify() {
  RunOperation(&Operations::Verify, text::kUndoEdit);
}
void MainWindow::Detect() {
  // The part found is selected as from the menu, unsaved buffers asked about first.
  app_.Ops.SetDeviceSelector([this](const CatalogueEntry& entry) { SelectDevice(entry); });
  RunOperation(&Operations::Detect, text::kUndoEdit);
}

void MainWindow::ShowHexView() {
  mode_ = ViewMode::Hex;
  Refresh();
}

void MainWindow::ShowAssemblerView() {
  if (!AssemblerViewAllowed(ui_, app_.Work.Device) || mode_ == ViewMode::Assembler) {
    SyncWindow();
    return;
  }
  mode_ = ViewMode::Assembler;
  SetStatusPanel(kStatusOperationPanel, Utf8(text::kDisassembling));
  ListAssembler();
  asmView_->SetCaret(0, 0);
  SyncWindow();
  SetStatusPanel(kStatusOperationPanel, QString());
}

void MainWindow::ListAssembler() {
  QStringList lines;
  for (const std::string& line : Disassemble(app_.Work.Device, app_.Work.Active())) {
    lines << QString::fromStdString(line);
  }
  asmSource_.SetLines(std::move(lines));
  asmView_->Rebuild();
}

void MainWindow::Refresh() {
  codeView_->Rebuild();
  if (app_.Work.Device.DataSize > 0) dataView_->Rebuild();
  app_.Work.ShowStoredConfigWord();
  SyncWindow();
}

void MainWindow::DeviceInformation() {
  ui_.Message(MessageKind::Information, app_.Work.DeviceInformation(), MessageButton::Ok);
}

void MainWindow::ShowHardwareSettings() {
  RunHardwareDialog(false);
}

void MainWindow::RunHardwareDialog(bool firstStart) {
  SimulatedProgrammer* before = Simulated();
  // The ports are tested on the hardware, whichever programmer is in use now.
  PortOpener& ports = switch_ != nullptr ? switch_->HardwarePorts() : app_.Lines.opener();
  const bool fixed = VirtualFixed();
  hardware_->SetUserProgrammers(app_.UserProgrammers);
  if (std::optional<HardwareForm> form =
          hardware_->Run(app_.Lines.Settings(), ports, firstStart, fixed)) {
    if (before != nullptr) before->SaveChip(ui_);
    // A run on the virtual programmer by its command line shows the box ticked; what is
    // stored for later runs stays as it was, except at a first start, where nothing was.
    if (fixed && !firstStart) form->Virtual = app_.Lines.Settings().Virtual;
    app_.ApplyHardware(*form);
    // The socket of the programmer in use now holds the part; the picture follows.
    ShowDevice();
    SyncWindow();
  }
  app_.Lines.IdleLines();
}

void MainWindow::RunHardwareCheck() {
  HardwareSettings& settings = app_.Lines.Settings();
  const ProgrammerType type = settings.Programmer;
  if (!ProgrammerSupports(type, SupportGroup::StandardProgrammers)) {
    ui_.Message(MessageKind::Information, HardwareCheckRefusal(type), MessageButton::Ok);
    return;
  }
  // The ProPic 2 switches VPP to the socket for the device's pin count, which operations set
  // when they start; the check sets it too, and a device with no socket of its own uses the
  // 18-pin one, so "Enable MCLR" drives MCLR whatever was done before.
  settings.PinCount = app_.Work.Device.PinCount;
  if (RowOf(type).vppBySocket && ProPic2VppBit(settings.PinCount) == 0) settings.PinCount = 18;
  check_->Run(app_.Lines);
}

void MainWindow::ShowOptions() {
  const std::optional<OptionsForm> form =
      options_->Run(ReadOptionsForm(app_.Settings(), app_.Work.List));
  if (!form) return;
  app_.ApplyOptions(*form);
  AssignDeviceShortcuts();
  codeView_->SetFileDropEnabled(app_.Options.DragDrop);
  dataView_->SetFileDropEnabled(app_.Options.DragDrop);
}

void MainWindow::Print() {
  QPrinter& printer = Printer();
  QPrintDialog dialog(&printer, this);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, codeView_->HasSelection());
  dialog.setPrintRange(QAbstractPrintDialog::AllPages);
  if (dialog.exec() != QDialog::Accepted) return;
  PrintSelection selection;
  const bool selected = printer.printRange() == QPrinter::Selection && codeView_->HasSelection();
  if (selected) {
    int startColumn = 0;
    int endColumn = 0;
    codeView_->SelectionRange(selection.FirstLine, startColumn, selection.LastLine, endColumn);
  }
  PrintJob job = MakePrintJob(app_.Work, selected ? &selection : nullptr);
  job.Copies = std::max(1, printer.copyCount());
  printer.setCopyCount(1);
  if (PaintListing(job, printer, codeView_->font(), CurrentPrintMoment()) == 0) {
    const QString target =
        printer.outputFileName().isEmpty() ? Utf8(text::kPrintNoPrinter) : printer.outputFileName();
    ui_.Message(MessageKind::Error, std::string(text::kPrintFailed) + target.toStdString(),
                MessageButton::Ok);
  }
}

void MainWindow::ToggleDevicePosition() {
  app_.Options.ShowDevPos = !app_.Options.ShowDevPos;
  devicePosition_->setChecked(app_.Options.ShowDevPos);
  if (!app_.Options.ShowDevPos) {
    position_->hide();
  } else if (!firstPaintPending_) {
    position_->show();
  }
  app_.Settings().WriteBool("ShowDevPos", app_.Options.ShowDevPos);
}

void MainWindow::PlaceDevicePosition() {
  // Just right of the main window, level with its top; where the screen ends first, as far
  // right as it can be, its title bar always on the screen.
  const QRect frame = frameGeometry();
  QPoint place(frame.left() + frame.width() + 10, frame.top());
  if (const QScreen* shown = screen()) {
    const QRect area = shown->availableGeometry();
    const QSize outer = position_->frameGeometry().size();
    place.setX(std::max(area.left(), std::min(place.x(), area.right() + 1 - outer.width())));
    place.setY(std::max(area.top(), std::min(place.y(), area.bottom() + 1 - outer.height())));
  }
  position_->move(place);
}

QString MainWindow::ProgramFolder() const {
  return programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
}

void MainWindow::OpenHelp() {
  const std::string index = FindHelpIndex(ProgramFolder().toStdString());
  if (index.empty()) {
    ui_.Message(MessageKind::Error, text::kHelpMissing, MessageButton::Ok);
    return;
  }
  // Without a browser (or a desktop to start one) the user is told where the pages are.
  if (!OpenUrl(QUrl::fromLocalFile(QString::fromStdString(index)))) {
    ui_.Message(MessageKind::Information, std::string(text::kHelpNoBrowser) + index,
                MessageButton::Ok);
  }
}

void MainWindow::ShowAbout() {
  const std::string index = FindHelpIndex(ProgramFolder().toStdString());
  AboutDialog about(index.empty() ? QUrl() : QUrl::fromLocalFile(QString::fromStdString(index)),
                    this);
  about.exec();
}

void MainWindow::RunSmartcardWizard() {
  if (busy_) return;
  SmartcardWizard wizard(app_, [this]() -> std::optional<SmartcardWizard::FileChoice> {
    const std::optional<ChosenFile> chosen = dialogs_->ChooseOpen(
        wizardWindow_ != nullptr ? wizardWindow_ : this, app_.Files.InitialDir(), false);
    if (!chosen) return std::nullopt;
    return SmartcardWizard::FileChoice{chosen->Path, FileTypeFromNumber(chosen->Type)};
  });
  busy_ = true;
  wizardRunning_ = true;
  if (SimulatedProgrammer* simulated = Simulated()) {
    simulated->InsertCard(app_.Options.SmartWiz, ui_);
  }
  SmartcardWizardWindow window(
      wizard, [this] { RunHardwareDialog(false); }, this);
  wizardWindow_ = &window;
  window.Run();
  wizardWindow_ = nullptr;
  wizardRunning_ = false;
  busy_ = false;
  // The parts keep what the wizard wrote; the socket goes back to the selected device.
  if (SimulatedProgrammer* simulated = Simulated()) simulated->SaveChip(ui_);
  Record(text::kUndoLoad);
  ShowDevice();
  RestoreCodeViewMarking();
  SyncWindow();
}

}  // namespace kestrum
