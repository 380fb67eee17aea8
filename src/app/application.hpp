// SPDX-License-Identifier: GPL-3.0-or-later
// The application without its widgets: the objects the main window owns for the life of the
// process (workspace, programmer lines, options, recent lists, file and device commands), the
// start-up sequence, and the activation that runs what the command line asked for. The window
// and the terminal runner both drive this object.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "app/command_line.hpp"
#include "app/hardware_form.hpp"
#include "app/options_form.hpp"
#include "app/recent_files.hpp"
#include "buffers/file_commands.hpp"
#include "buffers/workspace.hpp"
#include "core/settings_store.hpp"
#include "core/ui.hpp"
#include "hardware/clock.hpp"
#include "hardware/line_context.hpp"
#include "hardware/port.hpp"
#include "operations/operations.hpp"

namespace kestrum {

// The Options dialog's settings that start-up reads and hands to their owners.
struct ApplicationOptions {
  bool Smart = false;       // "Smart": smartcard (Phoenix) mode
  bool Overwrite = false;   // "Overwrite"
  int Priority = 0;         // "Priority": 0 normal, 1 high, 2 real-time
  bool UsesDriver = false;  // "UsesDriver" (never used on Linux)
  bool DragDrop = false;    // "DragDrop"
  bool SmartWiz = false;    // "SmartWiz"
  bool ShowDevPos = false;  // "ShowDevPos"
  // "Device1".."Device4": the device list index of Ctrl+F1 .. Ctrl+F4.
  std::array<int, kDeviceShortcuts> DeviceShortcuts{};
};

class ProgrammerSwitch;

// Reads the operation options ("Progging", "Erasing", "Verify", "VerDurProg", "Warning",
// "EnableMCLR", "ByteWrite", "DeviceIdCheck", "OverwriteCalibration"; "Smart" separately)
// with their defaults.
OperationOptions LoadOperationOptions(const SettingsStore& store);

// "Priority": 0 normal, 1 high and 2 real-time set the process's nice value (0, -10, -20);
// other values leave it. Returns 0, or the errno of a refused change (raising the priority
// needs CAP_SYS_NICE or a nice limit for the user).
int ApplyProcessPriority(int priority);
// The message for a refused priority change.
std::string PriorityRefusedText(int error);

class Application : public RecentFilesHook {
 public:
  Application(SettingsStore& settings, Ui& ui, Clock& clock, PortOpener& opener);

  // What start-up did that the caller must act on.
  struct StartupOutcome {
    bool FirstStart = false;  // the hardware settings should be asked for
    // A "-t" number without a device, or a "-t", "-g" or "-o" name that names nothing or more
    // than one thing: the message the user was shown.
    std::optional<std::string> UnknownDevice;
    // A "-l" file did not load (the user was told): the rest of the command line, its later
    // steps and every pending action, was dropped.
    bool LoadFailed = false;
  };

  // The start-up sequence: settings in order, recent lists, the device list and the saved
  // device (with its fallback), first-start detection, the command line's immediate options,
  // the port base address, the lines to idle. A file that does not load ends the command line
  // there: programming or verifying an image the user did not get is never what was asked.
  StartupOutcome Startup(const CommandLine& commandLine);

  // What the pending command-line actions did.
  struct ActivationOutcome {
    bool Ran = false;        // something was pending
    bool Succeeded = true;   // every action did all it was asked and every verify passed
    bool Quit = false;       // the command line's quit mode was reached
    bool Cancelled = false;  // an action was cancelled; without the window the rest did not run
  };
  // `OnActivate`: the pending actions, each once, in the order Detect, Program All, Verify, Read
  // All, save; then, with the window showing, the configuration folded back from the controls.
  // Without the window a cancelled action ends the batch: verifying a half-programmed part or
  // saving a half-read buffer over a file is not what the user who stopped it wants.
  ActivationOutcome OnActivate();

  // `AddRecentFile` for the file commands.
  void AddRecentFile(const std::string& path, FileType type) override;
  // `OpenRecentFile`: entry `position` of "Recent Fi&les".
  OpenResult OpenRecentFile(int position);

  // "Cl&ear Settings": asks, and on Yes deletes every stored setting. The settings in use stay
  // in effect; the next start is a first start. True when they were cleared.
  bool ClearSettings();

  // Options OK: the settings in use and in the store take the dialog's values; the lines go
  // to idle when the JDM's Vcc control changed; the priority is set (and a refusal told).
  void ApplyOptions(const OptionsForm& form);
  // Hardware settings OK: the settings in use and in the store take the dialog's values, the
  // programmer switches between the real ports and the virtual one, status panel 1 follows,
  // and the lines go to idle.
  void ApplyHardware(const HardwareForm& form);
  // Ctrl+F1 .. Ctrl+F4 (`n` 0..3): the device stored for the shortcut; false when nothing was
  // selected.
  bool SelectShortcutDevice(int n);

  // Status bar panel 1: port, " on ", programmer name.
  std::string PortStatusText() const;

  SettingsStore& Settings() { return settings_; }
  Ui& ui() { return ui_; }
  bool WindowVisible = true;
  // The hardware dialog's "Virtual programmer" switches through this (null: no switch).
  ProgrammerSwitch* Switch = nullptr;

  Workspace Work;
  LineContext Lines;
  OperationOptions Operation;
  ApplicationOptions Options;
  RecentFiles Recent;
  FileCommands Files;
  Operations Ops;

  // The programmers the user described, read by start-up from `ProgrammersFile`.
  ProgrammerDefinitions UserProgrammers;
  std::string ProgrammersFile;

 private:
  void ApplyStep(const CommandStep& step, StartupOutcome& outcome);
  // A name of the command line looked up in `names`: the index, or nothing (the user told the
  // closest names, `outcome` marked).
  std::optional<int> LookUp(std::string_view kind, const std::string& name,
                            const std::vector<std::string>& names, std::string_view seeAlso,
                            StartupOutcome& outcome);

  SettingsStore& settings_;
  Ui& ui_;
  std::string currentDir_;
  // Pending actions of the first activation.
  bool pendingDetect_ = false;
  bool pendingProgram_ = false;
  bool pendingVerify_ = false;
  bool pendingRead_ = false;
  std::optional<std::string> pendingSave_;
  QuitMode quitMode_ = QuitMode::None;
  bool quitRequested_ = false;
};

}  // namespace kestrum
