// SPDX-License-Identifier: GPL-3.0-or-later
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

bool HasDisplay(const std::vector<std::string>& toolkitOptions) {
  for (const std::string& option : toolkitOptions) {
    if (option == "-platform" || option == "--platform" || option.starts_with("-platform=") ||
        option.starts_with("--platform=")) {
      return true;
    }
  }
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

ToolkitArguments::ToolkitArguments(const char* programPath,
                                   const std::vector<std::string>& options) {
  strings_.emplace_back(programPath);
  strings_.insert(strings_.end(), options.begin(), options.end());
  for (std::string& value : strings_) pointers_.push_back(value.data());
  count_ = static_cast<int>(strings_.size());
  pointers_.push_back(nullptr);
}

int RunWindow(const char* programPath, const std::vector<std::string>& toolkitOptions,
              const CommandLine& commandLine, SettingsStore& settings) {
  if (!HasDisplay(toolkitOptions)) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text::kNoDisplay.size()),
                 text::kNoDisplay.data());
    return 1;
  }
  ToolkitArguments arguments(programPath, toolkitOptions);
  QApplication application(arguments.Count(), arguments.Values());
  QApplication::setApplicationName(QStringLiteral("Kestrum"));
  QApplication::setOrganizationName(QStringLiteral("Kestrum"));

  QtUi ui;
  RunEnvironment environment;
  if (!environment.Open(commandLine, settings, ui)) return 1;
  Application app(settings, ui, environment.clock(), environment.opener());
  int status = 0;
  {
    MainWindow window(app, ui, environment.Simulated());
    // The hardware dialog's "Virtual programmer" switches this run's programmer.
    window.SetProgrammerSwitch(&environment);
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
