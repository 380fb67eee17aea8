// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs of the window on the virtual programmer: hardware settings (the first-start
// form, the settings each control writes, the virtual programmer for a new user), hardware
// check, options and the shortcut keys, printing, the Device Position window, help and about.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <map>
#include <set>
#include <sstream>

#include <QToolButton>
#include "app/run_environment.hpp"
#include "gui/about_dialog.hpp"
#include "gui/desktop_links.hpp"
#include "gui/device_position_window.hpp"
#include "gui/hardware_check_dialog.hpp"
#include "gui/hardware_dialog.hpp"
#include "gui/options_dialog.hpp"
#include "gui/smartcard_wizard_window.hpp"
#include "sim/boards/vcd_writer.hpp"
#include "sim/chips/probe_chip.hpp"
#include "sim/chips/smartcard.hpp"
#include "window_rig.hpp"

namespace kestrum {

using testing::ModalAnswerer;
using testing::QueuedFileDialogs;
using testing::WindowRig;

namespace {

// The levels each VCD signal took after time 0, by signal name.
std::map<std::string, std::set<char>> LevelsSeen(const std::string& vcd) {
  std::map<std::string, std::string> names;  // id -> name
  std::map<std::string, std::set<char>> seen;
  std::istringstream in(vcd);
  std::string line;
  bool started = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == "$var") {
      std::string type, width, id, name;
      words >> type >> width >> id >> name;
      names[id] = name;
    } else if (!first.empty() && first[0] == '#') {
      started = first != "#0";
    } else if (started && (first[0] == '0' || first[0] == '1') && names.count(first.substr(1))) {
      seen[names[first.substr(1)]].insert(first[0]);
    }
  }
  return seen;
}

int PdfPages(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray pdf = file.readAll();
  int pages = 0;
  for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0;
       at = pdf.indexOf("/Type /Page", at + 1)) {
    if (pdf.mid(at + 11, 1) != "s") ++pages;
  }
  return pages;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstStartHardwareFormCanOnlyBeLeftWithOk() {
    WindowRig rig;
    bool checked = false;
    rig.answerer.onDialog = [&](QDialog& dialog) {
      auto& hardware = dynamic_cast<HardwareDialog&>(dialog);
      QVERIFY(!hardware.CancelButton()->isEnabled());
      QVERIFY(!(hardware.windowFlags() & Qt::WindowCloseButtonHint));
      hardware.reject();  // Escape
      QVERIFY(!hardware.close());
      QVERIFY(hardware.isVisible());
      checked = true;
      hardware.OkButton()->click();
    };
    rig.Start();
    QVERIFY(checked);
    QCOMPARE(rig.answerer.dialogs, QStringList{"Hardware settings"});
    QCOMPARE(rig.settings.Values().at("Port"), std::string("Com4"));
    // Afterwards the dialog is an ordinary one again.
    rig.answerer.onDialog = [](QDialog& dialog) {
      auto& hardware = dynamic_cast<HardwareDialog&>(dialog);
      QVERIFY(hardware.CancelButton()->isEnabled());
      QVERIFY(hardware.windowFlags() & Qt::WindowCloseButtonHint);
      hardware.CancelButton()->click();
    };
    rig.Action(QStringLiteral("&Hardware..."))->trigger();
    QCOMPARE(rig.answerer.dialogs.size(), 2);
  }

  void HardwareSettingsControlsWriteTheirSettings() {
    WindowRig rig;
    rig.StartWith(62);
    const auto before = rig.settings.Values();
    rig.answerer.onDialog = [](QDialog& dialog) {
      auto& hardware = dynamic_cast<HardwareDialog&>(dialog);
      QCOMPARE(hardware.PortButton(0)->text(), QStringLiteral("Com 1"));
      QCOMPARE(hardware.DeviceFileEdit(0)->text(), QStringLiteral("/dev/ttyS0"));
      QVERIFY(hardware.PortButton(3)->isChecked());  // "Com 2" names no button
      QVERIFY(!hardware.InvertBox(InvertBox::Vpp)->isEnabled());
      hardware.CancelButton()->click();
    };
    rig.Action(QStringLiteral("&Hardware..."))->trigger();
    QCOMPARE(rig.settings.Values(), before);  // Cancel writes nothing

    rig.answerer.onDialog = [](QDialog& dialog) {
      auto& hardware = dynamic_cast<HardwareDialog&>(dialog);
      QComboBox* list = hardware.ProgrammerList();
      list->setCurrentIndex(6);
      emit list->activated(6);  // ProPic 2: parallel ports
      QCOMPARE(hardware.PortButton(2)->text(), QStringLiteral("LPT 3"));
      QCOMPARE(hardware.DeviceFileEdit(2)->text(), QStringLiteral("/dev/parport2"));
      QVERIFY(hardware.PortButton(3)->isChecked());  // still there, so still selected
      hardware.PortButton(1)->click();
      hardware.DeviceFileEdit(1)->setText(QStringLiteral("/dev/parport5"));
      hardware.ApiButton()->click();
      hardware.InvertBox(InvertBox::DataIn)->click();
      hardware.InvertBox(InvertBox::Mclr)->click();
      hardware.DelaySlider()->setValue(5);
      QCOMPARE(hardware.DelayLabel()->text(), QStringLiteral("I/O Delay (5)"));
      hardware.OkButton()->click();
    };
    rig.Action(QStringLiteral("&Hardware..."))->trigger();
    const std::map<std::string, std::string> written = {
        {"Programmer", "6"},    {"Port", "LPT2"},      {"Api", "1"},
        {"InvertDataOut", "0"}, {"InvertDataIn", "1"}, {"InvertSCK", "0"},
        {"InvertMCLR", "1"},    {"InvertVCC", "0"},    {"InvertVPP", "0"},
        {"IODelay", "5"},       {"Virtual", "0"},      {"DeviceFileLPT2", "/dev/parport5"}};
    for (const auto& [key, value] : written) QCOMPARE(rig.settings.Values().at(key), value);
    QCOMPARE(rig.window.StatusPanel(1)->text(), QStringLiteral("LPT2 on ProPic 2 Programmer"));
    QCOMPARE(rig.app.Lines.Settings().PortBase, 0x278);
    QCOMPARE(rig.window.DevicePosition()->Group()->title(),
             QStringLiteral(" LPT2 on ProPic 2 Programmer "));
  }

  // The FTDI fields: open for the types that use them; a pin map that cannot be used keeps the
  // dialog open with the reason, a good one is written.
  void FtdiFieldsWriteTheirSettingsAndABadPinMapIsRefused() {
    WindowRig rig;
    rig.StartWith(62);
    bool refused = false;
    rig.answerer.onDialog = [&rig, &refused](QDialog& dialog) {
      auto& hardware = dynamic_cast<HardwareDialog&>(dialog);
      QLineEdit* pins = hardware.PinMapEdit();
      QLineEdit* device = hardware.FtdiDeviceEdit();
      QVERIFY(!pins->isEnabled() && !device->isEnabled());  // the JDM on a COM port
      QComboBox* list = hardware.ProgrammerList();
      list->setCurrentIndex(11);
      emit list->activated(11);  // FTDI bit-bang
      QVERIFY(pins->isEnabled() && device->isEnabled());
      QCOMPARE(pins->text(), QStringLiteral("DataOut=0 Clock=2 MCLR=4 VCC=!3 DataIn=1"));
      pins->setText(QStringLiteral("DataOut=0 Clock=0 DataIn=1"));
      hardware.OkButton()->click();
      QVERIFY(hardware.isVisible());
      QCOMPARE(rig.answerer.Texts(),
               QStringList{"The pin map \"DataOut=0 Clock=0 DataIn=1\" cannot be used: Data Out, "
                           "Clock and Data In need a pin each, MCLR and VCC may have one, every "
                           "line on a pin of its own from 0 to 7, as in DataOut=0 Clock=2 MCLR=4 "
                           "VCC=!3 DataIn=1 (! for an active-low line)."});
      refused = true;
      pins->setText(QStringLiteral("DataOut=1 Clock=0 MCLR=!5 DataIn=2"));
      device->setText(QStringLiteral("0403:6014:FT1"));
      hardware.OkButton()->click();
    };
    rig.Action(QStringLiteral("&Hardware..."))->trigger();
    QVERIFY(refused);
    const std::map<std::string, std::string> written = {
        {"Programmer", "11"},
        {"BitBangPins", "DataOut=1 Clock=0 MCLR=!5 DataIn=2"},
        {"FtdiDevice", "0403:6014:FT1"}};
    for (const auto& [key, value] : written) QCOMPARE(rig.settings.Values().at(key), value);
  }

  // The GPIO header and the user's programmers in the list; the ports found of the chosen
  // kind beside the buttons, one with a classic name choosing its button, another taken as the
  // port; the pin map edit holding the GPIO lines.
  void NewTypesAndThePortsFound() {
    struct Found final : public PortOpener {
      std::unique_ptr<Port> Open(const HardwareSettings&, Ui&, bool) override { return nullptr; }
      bool Available(const HardwareSettings&, std::string_view) override { return true; }
      std::vector<FoundPort> ListPorts(const HardwareSettings& settings) override {
        if (PortKindOf(settings) == PortKind::Gpio) {
          return {{PortKind::Gpio, "gpiochip0", "", "GPIO chip pinctrl-bcm2835, 54 lines"},
                  {PortKind::Gpio, "gpiochip5", "", "GPIO chip gpio-sim, 8 lines"}};
        }
        return {{PortKind::Serial, "/dev/ttyS0", "Com1", "on-board UART at 0x3F8"}};
      }
    } ports;
    HardwareDialog dialog;
    dialog.SetUserProgrammers(
        {DefineProgrammer("Bench board", PortKind::Parallel, kBitBangDefaultPins, 10, 10)});
    ModalAnswerer answerer;
    answerer.onDialog = [](QDialog& shown) {
      auto& hardware = dynamic_cast<HardwareDialog&>(shown);
      QComboBox* list = hardware.ProgrammerList();
      QCOMPARE(list->count(), 14);
      QCOMPARE(list->itemText(12), QStringLiteral("GPIO header"));
      QCOMPARE(list->itemText(13), QStringLiteral("Bench board"));
      QComboBox* found = hardware.FoundPortList();
      QCOMPARE(found->itemText(1), QStringLiteral("/dev/ttyS0 (Com1)  on-board UART at 0x3F8"));
      found->setCurrentIndex(1);
      emit found->activated(1);
      QVERIFY(hardware.PortButton(0)->isChecked() && found->currentIndex() == 0);
      list->setCurrentIndex(12);
      emit list->activated(12);
      QCOMPARE(hardware.PortButton(2)->text(), QStringLiteral("gpiochip2"));
      QCOMPARE(found->count(), 3);
      QVERIFY(hardware.PinMapEdit()->isEnabled());
      QCOMPARE(hardware.PinMapEdit()->text(),
               QStringLiteral("DataOut=17 Clock=27 MCLR=23 VCC=!24 DataIn=22"));
      hardware.PinMapEdit()->setText(QStringLiteral("DataOut=5 Clock=6 DataIn=40"));
      found->setCurrentIndex(2);
      emit found->activated(2);
      QVERIFY(!hardware.PortButton(0)->isChecked());
      hardware.OkButton()->click();
    };
    const std::optional<HardwareForm> form = dialog.Run(HardwareSettings{}, ports, false);
    QVERIFY(form.has_value());
    HardwareSettings applied;
    ApplyHardwareForm(*form, applied);
    QVERIFY(applied.Programmer == ProgrammerType::GpioHeader);
    QCOMPARE(applied.Port, std::string("gpiochip5"));
    QCOMPARE(FormatPinMap(applied.GpioPins), std::string("DataOut=5 Clock=6 DataIn=40"));
  }

  void NewUserPicksTheVirtualProgrammerAndVerifiesAPart() {
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    ModalAnswerer answerer;
    MemorySettingsStore settings;  // a first start
    QtUi ui;
    RunEnvironment environment;
    QVERIFY(environment.Open({}, settings, ui));
    QVERIFY(environment.Simulated() == nullptr);
    Application app(settings, ui, environment.clock(), environment.opener());
    MainWindow window(app, ui);
    window.SetProgrammerSwitch(&environment);
    QueuedFileDialogs dialogs;
    window.SetFileDialogs(&dialogs);
    answerer.onDialog = [](QDialog& dialog) {
      auto& hardware = dynamic_cast<HardwareDialog&>(dialog);
      hardware.VirtualBox()->click();
      QVERIFY(hardware.PortButton(0)->isEnabled() && hardware.PortButton(3)->isEnabled());
      hardware.OkButton()->click();
    };
    window.Start(std::get<CommandLine>(ParseCommandLine({})));
    window.show();
    QVERIFY(environment.Simulated() != nullptr);
    QCOMPARE(settings.Values().at("Virtual"), std::string("1"));

    for (QAction* action : window.findChildren<QAction*>()) {
      if (action->text() == QStringLiteral("PIC 16F84")) action->trigger();
    }
    dialogs.files.push_back({KESTRUM_EXAMPLES "/blink.hex", 1});
    for (QAction* action : window.findChildren<QAction*>()) {
      if (action->text() == QStringLiteral("&Open File...")) action->trigger();
    }
    window.activateWindow();
    QCoreApplication::processEvents();
    QVERIFY(window.isActiveWindow());
    QTest::keyClick(&window, Qt::Key_F5);
    QCOMPARE(answerer.Texts().last(), QStringLiteral("Device successfully verified!"));
    // The simulated part keeps what was programmed.
    QVERIFY(QFile::exists(data.path() + QStringLiteral("/kestrum/chips/PIC_16F84.hex")));
    qunsetenv("XDG_DATA_HOME");
  }

  void ASimulatedRunSaysSo() {
    QTemporaryDir chips;
    // A first start with --simulate, then a later one whose stored choice is the hardware.
    for (const bool firstStart : {true, false}) {
      ModalAnswerer answerer;
      MemorySettingsStore settings;
      if (!firstStart) settings.WriteBool("Virtual", false);
      QtUi ui;
      RunEnvironment environment;
      CommandLine commandLine;
      commandLine.SimulateDir = chips.path().toStdString();
      QVERIFY(environment.Open(commandLine, settings, ui));
      Application app(settings, ui, environment.clock(), environment.opener());
      MainWindow window(app, ui, environment.Simulated());
      window.SetProgrammerSwitch(&environment);
      bool shownTicked = false;
      answerer.onDialog = [&](QDialog& dialog) {
        auto& hardware = dynamic_cast<HardwareDialog&>(dialog);
        shownTicked = hardware.VirtualBox()->isChecked() && !hardware.VirtualBox()->isEnabled();
        hardware.OkButton()->click();
      };
      window.Start(commandLine);
      window.show();
      if (!firstStart) {
        for (QAction* action : window.findChildren<QAction*>()) {
          if (action->text() == QStringLiteral("&Hardware...")) action->trigger();
        }
      }
      QVERIFY(shownTicked);
      QVERIFY(window.VirtualPanel()->isVisible());
      QCOMPARE(window.VirtualPanel()->text(), QStringLiteral("Virtual programmer"));
      QCOMPARE(settings.Values().at("Virtual"), std::string(firstStart ? "1" : "0"));
    }
  }

  void HardwareCheckTogglesEachLineAndShowsDataIn() {
    // The Conquest, and the ProPic 2, which routes MCLR to the socket of the device's size.
    for (const int programmer : {1, 6}) {
      WindowRig rig;
      rig.settings.WriteInteger("Programmer", programmer);
      rig.settings.WriteString("Port", "LPT1");
      rig.StartWith(62);
      ProbeChip probe;
      rig.simulated.Programmer().Insert(&probe);
      std::ostringstream vcd;
      PinTrace trace(vcd);
      rig.simulated.Programmer().Board().SetTrace(&trace);
      const auto pins = [&] { return rig.simulated.Programmer().Board().Pins(); };

      rig.answerer.onDialog = [&](QDialog& dialog) {
        auto& check = dynamic_cast<HardwareCheckDialog&>(dialog);
        QVERIFY(check.Timer()->isActive());
        QCOMPARE(check.Timer()->interval(), 10);
        QVERIFY(!check.EnableBox(HardwareCheckDialog::Vpp)->isEnabled());
        QVERIFY(rig.app.Lines.IsPortOpen());
        check.EnableBox(HardwareCheckDialog::Vcc)->click();
        QVERIFY(pins().vcc);
        check.EnableBox(HardwareCheckDialog::DataOut)->click();
        check.EnableBox(HardwareCheckDialog::Clock)->click();
        check.EnableBox(HardwareCheckDialog::Mclr)->click();
        QVERIFY(pins().data && pins().clock && pins().mclr);
        // Clearing VCC puts every line to idle; the other boxes stay ticked.
        check.EnableBox(HardwareCheckDialog::Vcc)->click();
        QVERIFY(!pins().vcc && !pins().data && !pins().clock && !pins().mclr);
        QVERIFY(check.EnableBox(HardwareCheckDialog::DataOut)->isChecked());
        // Data In is a lamp showing the chip's data line, not a box to click.
        QVERIFY(!qobject_cast<QAbstractButton*>(check.DataInLamp()));
        probe.drive = DataDrive::High;
        check.SampleDataIn();
        QVERIFY(check.DataInLamp()->IsHigh());
        QCOMPARE(check.DataInLamp()->accessibleDescription(), QStringLiteral("High"));
        probe.drive = DataDrive::Low;
        check.SampleDataIn();
        QVERIFY(!check.DataInLamp()->IsHigh());
        check.OkButton()->click();
      };
      rig.Action(QStringLiteral("Hardware &Check..."))->trigger();
      QCOMPARE(rig.answerer.dialogs, QStringList{"Hardware Check"});
      QVERIFY(!rig.app.Lines.IsPortOpen());
      QCOMPARE(rig.opener.OpenPorts(), 0);
      QVERIFY(!pins().vcc && !pins().mclr && !pins().data && !pins().clock);
      trace.Finish();
      rig.simulated.Programmer().Board().SetTrace(nullptr);
      const auto seen = LevelsSeen(vcd.str());
      for (const char* line : {"vcc", "mclr", "data_out", "clock", "data_in"}) {
        QVERIFY2(seen.count(line) && seen.at(line).size() == 2, line);
      }
    }

    // The two programmers outside the standard group cannot be checked: the entry says why.
    for (const int programmer : {2, 5}) {
      WindowRig rig;
      rig.settings.WriteInteger("Programmer", programmer);
      rig.settings.WriteString("Port", "LPT1");
      rig.StartWith(62);
      QAction* check = rig.Action(QStringLiteral("Hardware &Check..."));
      QVERIFY(!check->isEnabled());
      QCOMPARE(check->toolTip(),
               "Hardware check is not supported by the " +
                   rig.window.HardwareSettingsDialog()->ProgrammerList()->itemText(programmer));
    }
  }

  void OptionsPagesWriteTheirSettingsAndShortcutsAct() {
    WindowRig rig;
    rig.settings.WriteBool("Overwrite", true);
    rig.StartWith(62);
    const DeviceList& list = rig.Work().List;
    int separator = 0;
    while (!list.IsSeparator(separator)) ++separator;
    const int pic16f84 = list.IndexOf("PIC 16F84");
    const int eeprom = list.IndexOf("24C16");
    rig.answerer.onDialog = [&](QDialog& dialog) {
      auto& options = dynamic_cast<OptionsDialog&>(dialog);
      QCOMPARE(options.Pages()->count(), 8);
      QCOMPARE(options.Pages()->currentIndex(), 0);
      QCOMPARE(options.Pages()->tabText(5), QStringLiteral("Drag && Drop"));
      QVERIFY(options.Box("PageWrite")->isChecked());  // "ByteWrite" false
      QVERIFY(options.Box("Overwrite")->isChecked());
      QVERIFY(!options.Box("UsesDriver")->isVisibleTo(&options) &&
              !options.Box("UsesDriver")->isChecked());
      QVERIFY(!options.CodeTypeList()->isEnabled());
      options.Box("DragDrop")->click();
      QVERIFY(options.CodeTypeList()->isEnabled() && options.DataTypeList()->isEnabled());
      options.CodeTypeList()->setCurrentIndex(6);
      options.Box("Overwrite")->click();
      options.Box("Erasing")->click();
      options.Box("PageWrite")->click();
      options.Box("PowerControl")->click();
      options.SmartWizButton(true)->click();
      options.PriorityButton(0)->click();
      options.ShortcutList(1)->setCurrentIndex(eeprom);
      options.ShortcutList(1)->setCurrentIndex(separator);  // snaps back
      QCOMPARE(options.ShortcutList(1)->currentIndex(), eeprom);
      options.ShortcutList(2)->setCurrentIndex(pic16f84);
      options.Pages()->setCurrentIndex(4);
      dialog.accept();
    };
    rig.Action(QStringLiteral("&Options..."))->trigger();
    const std::map<std::string, std::string> written = {{"Overwrite", "0"},
                                                        {"Erasing", "1"},
                                                        {"ByteWrite", "1"},
                                                        {"PowerControl", "1"},
                                                        {"SmartWiz", "1"},
                                                        {"Priority", "0"},
                                                        {"DragDrop", "1"},
                                                        {"CodeType", "6"},
                                                        {"DataType", "0"},
                                                        {"Device1", "0"},
                                                        {"Device2", std::to_string(eeprom)},
                                                        {"Device3", std::to_string(pic16f84)},
                                                        {"Progging", "1"},
                                                        {"Verify", "1"}};
    for (const auto& [key, value] : written) QCOMPARE(rig.settings.Values().at(key), value);
    QVERIFY(!rig.settings.Values().count("UsesDriver"));
    QVERIFY(rig.app.Operation.Erasing && rig.app.Operation.ByteWrite);
    QVERIFY(rig.window.CodeView()->acceptDrops());
    // The save dialog no longer asks before replacing a file, in the same run.
    rig.Action(QStringLiteral("&Save File As..."))->trigger();
    QVERIFY(!rig.dialogs.lastConfirmOverwrite);

    // Ctrl+F2 and Ctrl+F3; with a further modifier nothing happens.
    rig.Activate();
    QTest::keyClick(&rig.window, Qt::Key_F2, Qt::ControlModifier);
    QCOMPARE(rig.Work().Device.Name, std::string("24C16"));
    QTest::keyClick(&rig.window, Qt::Key_F3, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(rig.Work().Device.Name, std::string("24C16"));
    QTest::keyClick(&rig.window, Qt::Key_F3, Qt::ControlModifier);
    QCOMPARE(rig.Work().Device.Name, std::string("PIC 16F84"));
    // Ctrl+F1: index 0 is the first device of the list.
    QTest::keyClick(&rig.window, Qt::Key_F1, Qt::ControlModifier);
    QCOMPARE(rig.Work().Device.Name, list.Items().front());
    QTest::keyClick(&rig.window, Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(rig.Work().Buffers.ActiveBuffer, 2);

    // Alt+F1 opens the most recent file.
    rig.Work().SelectDevice(*FindDeviceByName("PIC 16F84"));
    rig.dialogs.files.push_back({KESTRUM_EXAMPLES "/blink.hex", 1});
    rig.Action(QStringLiteral("&Open File..."))->trigger();
    rig.Slot().CodeBuffer[0] = 0;
    rig.Activate();
    QTest::keyClick(&rig.window, Qt::Key_F1, Qt::AltModifier);
    QCOMPARE(rig.Slot().CodeBuffer[0], std::uint16_t{0x2805});
  }

  void PrintingToPdfFromTheDialog() {
    WindowRig rig;
    rig.StartWith(62);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("listing.pdf"));
    rig.window.Printer().setOutputFormat(QPrinter::PdfFormat);
    rig.window.Printer().setOutputFileName(pdf);
    bool selectionOffered = true;
    rig.answerer.onDialog = [&](QDialog& dialog) {
      auto& print = dynamic_cast<QPrintDialog&>(dialog);
      selectionOffered = print.testOption(QAbstractPrintDialog::PrintSelection);
      print.accept();
    };
    rig.Action(QStringLiteral("&Print..."))->trigger();
    QVERIFY(!selectionOffered);  // the code view has no selection
    QCOMPARE(PdfPages(pdf), 3);  // the 16F84's code, data and configuration

    // Cancelled, nothing is printed.
    QFile::remove(pdf);
    rig.answerer.onDialog = [](QDialog& dialog) { dialog.reject(); };
    rig.Action(QStringLiteral("&Print..."))->trigger();
    QVERIFY(!QFile::exists(pdf));
  }

  void DevicePositionFollowsTheDeviceAndItsMenuEntry() {
    WindowRig rig;
    rig.settings.WriteBool("ShowDevPos", true);
    rig.StartWith(45);  // 24C16 on the JDM
    QCoreApplication::processEvents();
    DevicePositionWindow* position = rig.window.DevicePosition();
    QVERIFY(rig.window.DevicePositionAction()->isChecked());
    QVERIFY(position->isVisible());
    // Right of the main window; where the screen ends first, inside it, title bar and all.
    const QRect screen = rig.window.screen()->availableGeometry();
    QCOMPARE(position->pos().x(), std::min(rig.window.frameGeometry().right() + 11,
                                           screen.right() + 1 - position->frameGeometry().width()));
    QCOMPARE(position->pos().y(), rig.window.frameGeometry().top());
    QVERIFY(screen.contains(position->frameGeometry()));
    QVERIFY(position->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(position->DeviceLabel()->text(), QStringLiteral("Device: 24C16"));
    QCOMPARE(position->Picture()->Placement().Offset, 28);
    QCOMPARE(position->Picture()->ChipRect().left(), 58 + 28);

    rig.Work().SelectDevice(*FindDeviceByName("PIC 16F84"));
    QCOMPARE(position->DeviceLabel()->text(), QStringLiteral("Device: PIC 16F84"));
    QCOMPARE(position->Picture()->Placement().Picture, ChipPicture::Dip18);

    // The close icon takes the check mark and the setting away.
    position->close();
    QVERIFY(!position->isVisible());
    QVERIFY(!rig.window.DevicePositionAction()->isChecked());
    QCOMPARE(rig.settings.Values().at("ShowDevPos"), std::string("0"));
    rig.window.DevicePositionAction()->trigger();
    QVERIFY(position->isVisible());
    QCOMPARE(rig.settings.Values().at("ShowDevPos"), std::string("1"));
  }

  void SmartcardWizardWindowLoadsTheCard() {
    WindowRig rig;
    rig.settings.WriteString("Port", "Com1");
    rig.settings.WriteInteger("IODelay", 0);
    rig.StartWith(62);
    rig.dialogs.files = {{KESTRUM_EXAMPLES "/eeprom-24c16.hex", 1},
                         {KESTRUM_EXAMPLES "/blink.hex", 1}};
    QStringList steps;
    bool hardwareOpened = false;
    bool cardChecked = false;
    rig.answerer.onDialog = [&](QDialog& dialog) {
      if (dialog.windowTitle() == QStringLiteral("Hardware settings")) {
        hardwareOpened = true;
        return;  // cancelled
      }
      auto& wizard = dynamic_cast<SmartcardWizardWindow&>(dialog);
      QCOMPARE(wizard.windowTitle(), QStringLiteral("Smartcard Wizard"));
      QVERIFY(wizard.Label1()->text().startsWith(
          QStringLiteral("Please connect your PIC programmer to the computer.\n(Or configure")));
      QCOMPARE(wizard.Button1()->text(), QStringLiteral("Continue"));
      QVERIFY(wizard.Button1()->isDefault());
      QVERIFY(!wizard.HardwareButton()->isHidden() && wizard.OpenFileButton()->isHidden());
      QCOMPARE(wizard.HardwareButton()->toolTip(), QStringLiteral("Hardware"));
      QCOMPARE(wizard.OpenFileButton()->toolTip(), QStringLiteral("Open File..."));
      wizard.HardwareButton()->click();
      QVERIFY(hardwareOpened);
      for (int press = 0; press < 5; ++press) {
        wizard.Button1()->click();
        QVERIFY(wizard.isEnabled());
        steps << wizard.Label1()->text().section(QLatin1Char('\n'), 0, 0);
        if (press == 0) QCOMPARE(wizard.Picture()->Image(), 1);
        if (press == 1) QVERIFY(!wizard.OpenFileButton()->isHidden());
      }
      QCOMPARE(wizard.Button1()->text(), QStringLiteral("OK"));
      QVERIFY(wizard.HardwareButton()->isHidden() && wizard.OpenFileButton()->isHidden());
      // The card's 24C16 holds the file, written through the reader by our boot loader.
      const Eeprom24& eeprom = rig.simulated.Card()->Eeprom();
      const std::string text = "Kestrum 24C16 example image";
      QVERIFY(std::equal(text.begin(), text.end(), eeprom.Memory().begin()));
      QCOMPARE(int(eeprom.Memory()[0x105]), 5);
      cardChecked = true;
      wizard.Button1()->click();  // closes
      QVERIFY(!wizard.isVisible());
    };
    rig.Action(QStringLiteral("Smartcard &Wizard..."))->trigger();
    QCOMPARE(steps, (QStringList{"Please disconnect your PIC programmer and connect",
                                 "The eeprom on your smartcard will now be programmed,",
                                 "Please disconnect your smartcard programmer from the",
                                 "The PIC on your smartcard will now be programmed,",
                                 "You are done programming your smartcard."}));
    QCOMPARE(rig.window.WizardWindow(), nullptr);
    QVERIFY(cardChecked);
    QCOMPARE(rig.Slot().CodeBuffer[0], std::uint16_t{0x2805});  // blink.hex, last loaded
  }

  void HelpAndAbout() {
    WindowRig rig;
    rig.StartWith(62);
    QList<QUrl> opened;
    bool browser = true;
    SetUrlOpener([&](const QUrl& url) {
      opened << url;
      return browser;
    });
    // The test program has no help beside it.
    rig.Action(QStringLiteral("&Contents"))->trigger();
    QCOMPARE(rig.answerer.Texts().last(),
             QStringLiteral("The help pages were not found (share/kestrum/help/index.html "
                            "beside the program)."));
    // Without a browser the user learns where the pages are.
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")) &&
            QDir(prefix.path()).mkpath(QStringLiteral("share/kestrum/help")));
    const QString index = prefix.filePath(QStringLiteral("share/kestrum/help/index.html"));
    QFile page(index);
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.close();
    rig.window.SetProgramFolder(prefix.filePath(QStringLiteral("bin")));
    browser = false;
    rig.Action(QStringLiteral("&Contents"))->trigger();
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(index)});
    QCOMPARE(rig.answerer.Texts().last(),
             "No program could be started to show the help pages. Open this file in a web "
             "browser:\n" +
                 index);

    opened.clear();
    browser = true;
    rig.answerer.onDialog = [&](QDialog& dialog) {
      auto& about = dynamic_cast<AboutDialog&>(dialog);
      QCOMPARE(about.windowTitle(), QStringLiteral("About Kestrum"));
      // The links are links: the palette's link colour, reached by keyboard, opened by Enter.
      for (HyperlinkLabel* link : {about.LicenceLink(), about.MailLink(), about.HomeLink()}) {
        QCOMPARE(link->textFormat(), Qt::RichText);
        QVERIFY(link->text().startsWith(QStringLiteral("<a href=")));
        QVERIFY(link->textInteractionFlags() & Qt::LinksAccessibleByKeyboard);
      }
      about.MailLink()->setFocus();
      QTest::keyClick(about.MailLink(), Qt::Key_Tab);
      QTest::keyClick(about.MailLink(), Qt::Key_Return);
      about.AboutQtButton()->click();
      about.accept();
    };
    rig.answerer.boxes.clear();
    rig.Action(QStringLiteral("&About..."))->trigger();
    QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("mailto:kestrum@example.org"))});
    QCOMPARE(rig.answerer.boxes.size(), std::size_t{1});  // Qt's own about box
    QVERIFY(rig.answerer.boxes.front().text.contains(QStringLiteral("Qt")));
    SetUrlOpener({});
  }
};

}  // namespace kestrum

QTEST_MAIN(kestrum::DialogsTest)
#include "dialogs_test.moc"
