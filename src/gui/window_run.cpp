// The program's window run.
#include "gui/window_run.hpp"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/application.hpp"
#include "app/run_environment.hpp"
#include "app/texts.hpp"
#include "gui/main_window.hpp"
#include "gui/qt_ui.hpp"

namespace kestrum {
namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int RunWindow(const char* programPath, const CommandLine& commandLine, SettingsStore& settings) {
  if (!HasDisplay()) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text::kNoDisplay.size()),
                 text::kNoDisplay.data());
    return 1;
  }
  // Qt's own options are not ours: the program's command line was parsed already.
  int argc = 1;
  char* argv[] = {const_cast<char*>(programPath), nullptr};
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kestrum"));
  QApplication::setOrganizationName(QStringLiteral("Kestrum"));

  QtUi ui;
  RunEnvironment environment;
  if (!environment.Open(commandLine, settings, ui)) return 1;
  Application app(settings, ui, environment.clock(), environment.opener());
  int status = 0;
  {
    MainWindow window(app, ui, environment.Simulated());
    window.Start(commandLine);
    window.show();
    QApplication::exec();
    status = window.ExitStatus();
  }
  if (SimulatedProgrammer* simulated = environment.Simulated()) simulated->SaveChip(ui);
  environment.Finish();
  return status;
}

}  // namespace kestrum
