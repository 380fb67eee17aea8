// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard wizard's steps.
#include "app/smartcard_wizard.hpp"

#include <algorithm>

#include "app/texts.hpp"
#include "operations/texts.hpp"
#include "protocols/boot_loader.hpp"
#include "protocols/family_driver.hpp"
#include "protocols/pic_serial.hpp"
#include "protocols/smartcard.hpp"

namespace kestrum {

namespace {

constexpr std::string_view kPic16C84 = "PIC 16C84";
constexpr std::string_view kPic16F84 = "PIC 16F84";
constexpr std::string_view kCardEeprom = "24C16";

template <class Words>
std::vector<std::uint16_t> First(const Words& words, int count) {
  const auto n = static_cast<std::size_t>(std::max(count, 0));
  return std::vector<std::uint16_t>(
      words.begin(), words.begin() + static_cast<std::ptrdiff_t>(std::min(n, words.size())));
}

}  // namespace

bool SelectDeviceByName(Workspace& workspace, std::string_view name) {
  const int index = workspace.List.IndexOf(name);
  return index >= 0 && workspace.ComboBox4Change(index);
}

SmartcardWizard::SmartcardWizard(Application& app, ChooseFile chooseFile)
    : app_(app), chooseFile_(std::move(chooseFile)) {
  Enter();
}

void SmartcardWizard::Enter() {
  view_ = View{};
  view_.Image = 0;
  view_.HardwareVisible = true;
  view_.OpenFileVisible = false;
  view_.ButtonCaption = std::string(text::kWizardContinue);
  step_ = 0;
}

void SmartcardWizard::Activate() {
  if (step_ != 0) return;
  view_.Label1 = std::string(text::kWizardBootLoader);
  view_.Label2 = std::string(text::kWizardBootLoaderClick);
}

bool SmartcardWizard::Continue() {
  switch (step_) {
    case 0:
      ProgramBootLoader();
      return true;
    case 1:
      ChooseFileStep(text::kWizardEepromFile, 2);
      return true;
    case 2:
      ProgramEeprom();
      return true;
    case 3:
      ChooseFileStep(text::kWizardPicFile, 4);
      return true;
    case 4:
      ProgramPic();
      return true;
    default:
      return false;  // step 5: the wizard closes
  }
}

void SmartcardWizard::OpenFile() {
  // Back to the file step for one press of Continue; the step stays whether or not a file
  // was picked.
  if (step_ != 2 && step_ != 4) return;
  const int step = step_;
  step_ = step - 1;
  Continue();
  step_ = step;
}

void SmartcardWizard::ProcessEvents() {
  for (int i = 0; i < 3; ++i) app_.ui().ProcessEvents();
}

void SmartcardWizard::SelectPic() {
  SelectDeviceByName(app_.Work, app_.Options.SmartWiz ? kPic16C84 : kPic16F84);
}

void SmartcardWizard::ChooseFileStep(std::string_view labelBefore, int next) {
  const std::optional<FileChoice> choice = chooseFile_ ? chooseFile_() : std::nullopt;
  if (!choice) return;  // the dialog was cancelled: nothing changes
  // A file that could not be opened at all (the user has been told) would leave the step
  // to program a blank buffer; the step waits for another file instead.
  if (app_.Files.Open1Click(choice->Path, choice->Type) == OpenResult::NotOpened) return;
  view_.Label1 = std::string(labelBefore) + choice->Path;
  view_.Label2 = std::string(text::kWizardFileClick);
  view_.OpenFileVisible = true;
  step_ = next;
}

void SmartcardWizard::ShowProgress() {
  const DeviceDescriptor& device = app_.Work.Device;
  Ui& ui = app_.ui();
  view_.Enabled = false;
  progress_.Cancelled.store(false, std::memory_order_release);
  ui.SetStatusPanel(kStatusOperationPanel, text::kStatusProgramming);
  ui.SetProgressCaption(std::string(text::kProgressCaption) + device.Name);
  ui.SetProgressText(PhaseText(text::kProgrammingCode, device.CodeSize));
  ui.SetProgressRange(0, device.CodeSize);
  ui.SetProgressPosition(0);
  ui.ShowProgressWindow(progress_);
  ui.SetBusyCursor(true);
}

void SmartcardWizard::BringBack() {
  Ui& ui = app_.ui();
  view_.Enabled = true;
  ui.SetBusyCursor(false);
  ui.HideProgressWindow();
  ui.SetProgressPosition(0);
  ui.SetStatusPanel(kStatusOperationPanel, "");
}

bool SmartcardWizard::ProgramRegion(std::uint16_t startCommand, std::uint16_t readCommand,
                                    std::uint16_t loadCommand, std::uint32_t mask,
                                    const std::vector<std::uint16_t>& words) {
  PicTiming timing = app_.Ops.Timing();
  timing.BeginProgramCommand = app_.Work.BeginProgramCommand;
  TProgramThread worker(app_.Lines, timing, static_cast<int>(words.size()));
  worker.StartCommand = startCommand;
  worker.ReadCommand = readCommand;
  worker.LoadCommand = loadCommand;
  worker.Mask = mask;
  worker.VerifyDuringProgramming = false;
  std::copy(words.begin(), words.end(), worker.Words.begin());
  // Nothing more goes to the card's PIC once Cancel has been pressed.
  return RunWorker(worker, app_.Lines, progress_) && !worker.PortFailed &&
         !progress_.Cancelled.load(std::memory_order_acquire);
}

// Step 0: the boot loader into the card's PIC, through the PIC programmer. A port that does
// not open (the user has been told) ends the step where it is; errors of the programming
// itself are the PIC protocol's to show, and the wizard goes on.
void SmartcardWizard::ProgramBootLoader() {
  const bool pic16C84 = app_.Options.SmartWiz;
  SelectPic();
  const std::array<std::uint16_t, 8> config = BootLoaderConfig(pic16C84);
  ProcessEvents();
  ShowProgress();
  const DeviceDescriptor device = app_.Work.Device;
  PicTiming timing = app_.Ops.Timing();
  timing.BeginProgramCommand = app_.Work.BeginProgramCommand;
  bool driven = !device.Erasable || PicErase(app_.Lines, timing);
  driven = driven && ProgramRegion(device.CodeEntryCommand, pic::kReadProgram, pic::kLoadProgram,
                                   device.BlankValue, First(BootLoaderImage(), device.CodeSize));
  if (driven) {
    app_.ui().SetProgressText(text::kProgrammingConfiguration);
    driven = ProgramRegion(device.ConfigEntryCommand, pic::kReadProgram, pic::kLoadProgram, 0xFFFF,
                           First(config, static_cast<int>(config.size())));
  }
  BringBack();
  if (!driven) return;
  view_.Label1 = std::string(text::kWizardEeprom);
  view_.Label2 = std::string(text::kWizardLoadFileClick);
  view_.Image = 1;
  SelectDeviceByName(app_.Work, kCardEeprom);
  ProcessEvents();
  step_ = 1;
}

// Step 2: the chosen file into the card's 24C16 through the card reader. A card write that
// did not complete (the card did not answer, Cancel, no port) keeps the step, so that
// Continue tries again: going on would replace the boot loader the EEPROM still needs.
void SmartcardWizard::ProgramEeprom() {
  ShowProgress();
  auto writer = ProgramCard(app_.Lines, app_.Work.Active());
  RunWorker(*writer, app_.Lines, progress_);
  BringBack();
  if (writer->PortFailed) return;
  if (writer->Outcome != CardOutcome::Done) {
    app_.ui().Message(MessageKind::Error,
                      CardFailureText(writer->Outcome, false, writer->FailAddress));
    return;
  }
  if (progress_.Cancelled.load(std::memory_order_acquire)) return;
  view_.Label1 = std::string(text::kWizardPic);
  view_.Label2 = std::string(text::kWizardLoadFileClick);
  view_.OpenFileVisible = false;
  step_ = 3;
  SelectPic();
  ProcessEvents();
}

// Step 4: the user's program into the PIC: code, data EEPROM, configuration area.
void SmartcardWizard::ProgramPic() {
  ShowProgress();
  const DeviceDescriptor device = app_.Work.Device;
  const BufferSlot& slot = app_.Work.Active();
  PicTiming timing = app_.Ops.Timing();
  timing.BeginProgramCommand = app_.Work.BeginProgramCommand;
  bool driven = !device.Erasable || PicErase(app_.Lines, timing);
  driven = driven && ProgramRegion(device.CodeEntryCommand, pic::kReadProgram, pic::kLoadProgram,
                                   device.BlankValue, First(slot.CodeBuffer, device.CodeSize));
  if (driven && device.DataSize > 0) {
    app_.ui().SetProgressText(PhaseText(text::kProgrammingData, device.DataSize));
    driven = ProgramRegion(0, pic::kReadData, pic::kLoadData, 0xFF,
                           First(slot.DataBuffer, device.DataSize));
  }
  if (driven) {
    app_.ui().SetProgressText(text::kProgrammingConfiguration);
    driven = ProgramRegion(device.ConfigEntryCommand, pic::kReadProgram, pic::kLoadProgram, 0xFFFF,
                           First(slot.ConfigArea, device.ConfigAreaWords));
  }
  BringBack();
  if (!driven) return;
  view_.HardwareVisible = false;
  view_.OpenFileVisible = false;
  view_.Label1 = std::string(text::kWizardDone);
  view_.Label2 = std::string(text::kWizardDoneClick);
  view_.ButtonCaption = std::string(text::kWizardOk);
  step_ = 5;
}

}  // namespace kestrum
