// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of every dialog of the window for docs/, drawn on the X server that tools/screenshots
// starts (xvfb-run): the main window on the virtual programmer with an in-memory settings
// store, each dialog filled as the program fills it, shown and grabbed.
//   dialog_shots <folder>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <cstdio>

#include "app/application.hpp"
#include "app/simulated_programmer.hpp"
#include "gui/about_dialog.hpp"
#include "gui/device_position_window.hpp"
#include "gui/hardware_check_dialog.hpp"
#include "gui/hardware_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/options_dialog.hpp"
#include "gui/qt_ui.hpp"
#include "gui/smartcard_wizard_window.hpp"

namespace {

QString folder;

void Settle() {
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
}

void Shoot(QWidget& widget, const QString& name) {
  widget.show();
  widget.raise();
  Settle();
  const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
  if (!widget.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  std::printf("wrote %s\n", qPrintable(path));
  widget.hide();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrum;
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialog_shots <folder>\n");
    return 2;
  }
  folder = QString::fromLocal8Bit(argv[1]);

  MemorySettingsStore settings;
  settings.WriteInteger("Device", 62);
  settings.WriteString("Port", "Com1");
  QtUi ui;
  SimulatedProgrammer simulated("");
  Application app(settings, ui, simulated.Clock(), simulated.Programmer());
  MainWindow window(app, ui, &simulated);
  window.Start(std::get<CommandLine>(ParseCommandLine({})));

  HardwareDialog& hardware = *window.HardwareSettingsDialog();
  hardware.Prepare(app.Lines.Settings(), simulated.Programmer(), false);
  Shoot(hardware, QStringLiteral("hardware-settings"));
  HardwareSettings virtualProPic = app.Lines.Settings();
  virtualProPic.Programmer = ProgrammerType::ProPic2;
  virtualProPic.Port = "LPT1";
  virtualProPic.Virtual = true;
  virtualProPic.IODelay = 4;
  hardware.Prepare(virtualProPic, simulated.Programmer(), true);
  Shoot(hardware, QStringLiteral("hardware-settings-first-start"));

  // The GPIO header on a single-board computer with two GPIO chips, and a programmer of the
  // user's programmers.toml in the list.
  struct BoardPorts final : public PortOpener {
    explicit BoardPorts(PortOpener& inner) : inner_(inner) {}
    std::unique_ptr<Port> Open(const HardwareSettings& s, Ui& u, bool report) override {
      return inner_.Open(s, u, report);
    }
    bool Available(const HardwareSettings&, std::string_view name) override {
      return name == "gpiochip0" || name == "gpiochip1";
    }
    std::vector<FoundPort> ListPorts(const HardwareSettings&) override {
      return {{PortKind::Gpio, "gpiochip0", "", "GPIO chip pinctrl-bcm2711, 58 lines"},
              {PortKind::Gpio, "gpiochip1", "", "GPIO chip raspberrypi-exp-gpio, 8 lines"}};
    }
    PortOpener& inner_;
  } board(simulated.Programmer());
  HardwareSettings gpio = app.Lines.Settings();
  gpio.Programmer = ProgrammerType::GpioHeader;
  gpio.Port = "gpiochip0";
  hardware.SetUserProgrammers(
      {DefineProgrammer("Bench board", PortKind::Parallel, kBitBangDefaultPins, 10, 10)});
  hardware.Prepare(gpio, board, false);
  Shoot(hardware, QStringLiteral("hardware-settings-gpio"));
  hardware.SetUserProgrammers({});

  HardwareCheckDialog& check = *window.HardwareCheck();
  check.EnableBox(HardwareCheckDialog::Vcc)->setChecked(true);
  check.EnableBox(HardwareCheckDialog::Clock)->setChecked(true);
  check.DataInLamp()->SetHigh(true);
  Shoot(check, QStringLiteral("hardware-check"));

  OptionsDialog& options = *window.Options();
  OptionsForm form = ReadOptionsForm(settings, app.Work.List);
  form.Shortcuts = {app.Work.List.IndexOf("PIC 16F84"), app.Work.List.IndexOf("24C16"),
                    app.Work.List.IndexOf("PIC 16F877"), app.Work.List.IndexOf("90S8515")};
  options.Prepare(form);
  const char* pages[] = {"confirmation", "notification", "i2c",       "programming",
                         "shortcuts",    "drag-drop",    "smartcard", "misc"};
  for (int page = 0; page < options.Pages()->count(); ++page) {
    options.Pages()->setCurrentIndex(page);
    Shoot(options, QStringLiteral("options-") + QString::fromLatin1(pages[page]));
  }

  DevicePositionWindow& position = *window.DevicePosition();
  const struct {
    ProgrammerType programmer;
    const char* device;
    const char* port;
    const char* name;
  } positions[] = {
      {ProgrammerType::Jdm, "PIC 16F84", "Com1", "device-position-jdm-16f84"},
      {ProgrammerType::Jdm, "24C16", "Com1", "device-position-jdm-24c16"},
      {ProgrammerType::ProPic2, "PIC 16F877", "LPT1", "device-position-propic2-16f877"},
      {ProgrammerType::ProPic2, "PIC 12C508", "LPT1", "device-position-propic2-12c508"},
      {ProgrammerType::Conquest, "PIC 16F84", "LPT1", "device-position-conquest-16f84"}};
  for (const auto& shot : positions) {
    HardwareSettings hardwareSettings = app.Lines.Settings();
    hardwareSettings.Programmer = shot.programmer;
    hardwareSettings.Port = shot.port;
    position.ShowDevicePosition(hardwareSettings, DescriptorFor(*FindDeviceByName(shot.device)));
    Shoot(position, QString::fromLatin1(shot.name));
  }

  AboutDialog about(QUrl::fromLocalFile(QStringLiteral("/usr/share/kestrum/help/index.html")),
                    &window);
  Shoot(about, QStringLiteral("about"));

  // The wizard at its first step, and after the boot loader went into the card's PIC.
  simulated.InsertCard(false, ui);
  SmartcardWizard wizard(app, [] { return std::nullopt; });
  SmartcardWizardWindow wizardWindow(wizard, {}, &window);
  wizard.Enter();
  wizard.Activate();
  wizardWindow.show();
  Settle();
  Shoot(wizardWindow, QStringLiteral("smartcard-wizard-1"));
  wizardWindow.show();
  wizardWindow.Button1()->click();
  Shoot(wizardWindow, QStringLiteral("smartcard-wizard-2"));

  QPrinter printer;
  printer.setOutputFileName(QStringLiteral("/tmp/kestrum-listing.pdf"));
  QPrintDialog print(&printer, &window);
  Shoot(print, QStringLiteral("print"));
  return 0;
}
