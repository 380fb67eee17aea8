// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard wizard without its window: the six steps that put our boot loader into the
// card's PIC with a PIC programmer, load the card's 24C16 through the card reader, and then
// program the user's PIC program. The state machine holds what the window shows (its two
// labels, the picture, which buttons are visible, the default button's caption, whether it is
// enabled); the window shows that after each action and asks for files through a hook. All
// messages and the progress window go through the application's Ui.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/application.hpp"
#include "buffers/device_image.hpp"
#include "operations/run_worker.hpp"

namespace kestrum {

// `SelectDeviceByName`: the device whose toolbar device-list entry is `name`, selected as a
// choice in that list would select it; false when there is none.
bool SelectDeviceByName(Workspace& workspace, std::string_view name);

class SmartcardWizard {
 public:
  // What the wizard window shows.
  struct View {
    std::string Label1;            // the instruction
    std::string Label2;            // what to click
    int Image = 0;                 // the picture: 0 PIC programmer, 1 smartcard programmer
    bool HardwareVisible = true;   // SpeedButton1, "Hardware"
    bool OpenFileVisible = false;  // SpeedButton2, "Open File..."
    std::string ButtonCaption;     // Button1: "Continue" or "OK"
    bool Enabled = true;           // false while something is programmed
  };

  // A file the user picked in the open dialog, with the type of its filter.
  struct FileChoice {
    std::string Path;
    FileType Type = FileType::Ihx8;
  };
  // The main window's open-file dialog; nothing when it was cancelled.
  using ChooseFile = std::function<std::optional<FileChoice>()>;

  SmartcardWizard(Application& app, ChooseFile chooseFile);

  // Wizard entry (menu item or toolbar button): back to step 0, as the window opens.
  void Enter();
  // The window was activated: in step 0 it shows the first instructions.
  void Activate();
  // Button1: the action of the current step. False when the wizard closes (after step 5).
  bool Continue();
  // SpeedButton2: another file for step 2 or 4 (the step stays where it is).
  void OpenFile();

  int WizardStep() const { return step_; }
  const View& Shown() const { return view_; }

 private:
  void ChooseFileStep(std::string_view labelBefore, int next);
  void ProgramBootLoader();
  void ProgramEeprom();
  void ProgramPic();
  // The wizard disabled and the progress window up as for programming the selected device.
  void ShowProgress();
  // The progress window down and the wizard enabled again.
  void BringBack();
  // A TProgramThread for one region of the selected PIC, run as the operations run workers.
  bool ProgramRegion(std::uint16_t startCommand, std::uint16_t readCommand,
                     std::uint16_t loadCommand, std::uint32_t mask,
                     const std::vector<std::uint16_t>& words);
  void SelectPic();
  void ProcessEvents();

  Application& app_;
  ChooseFile chooseFile_;
  ProgressWindow progress_;
  int step_ = 0;
  View view_;
};

}  // namespace kestrum
