// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and activation without widgets.
#include "app/application.hpp"

#include "core/name_match.hpp"
#include "hardware/programmer_file.hpp"

#include <sys/resource.h>

#include <cerrno>
#include <cstring>

#include <filesystem>

#include "app/run_environment.hpp"
#include "app/texts.hpp"
#include "device/catalogue.hpp"
#include "device/texts.hpp"
#include "device/user_devices.hpp"
#include "hardware/hardware_settings.hpp"
#include "hardware/programmer_types.hpp"

namespace kestrum {
namespace {

std::string CurrentDirectory() {
  std::error_code ec;
  const auto path = std::filesystem::current_path(ec);
  return ec ? std::string() : path.string();
}

}  // namespace

OperationOptions LoadOperationOptions(const SettingsStore& store) {
  OperationOptions o;
  o.Progging = store.ReadBool("Progging", true);
  o.Erasing = store.ReadBool("Erasing", false);
  o.Verify = store.ReadBool("Verify", true);
  o.VerDurProg = store.ReadBool("VerDurProg", false);
  o.Warning = store.ReadBool("Warning", false);
  o.Smart = store.ReadBool("Smart", false);
  o.EnableMCLR = store.ReadBool("EnableMCLR", false);
  o.ByteWrite = store.ReadBool("ByteWrite", false);
  o.AvrPollReady = store.ReadBool("AvrPollReady", true);
  o.AvrSlowSck = store.ReadBool("AvrSlowSck", false);
  o.CheckDeviceId = store.ReadBool("DeviceIdCheck", true);
  o.OverwriteCalibration = store.ReadBool("OverwriteCalibration", false);
  o.ProgramErasedWords = store.ReadBool("ProgramErasedWords", false);
  o.WriteOnlyDiffers = store.ReadBool("WriteOnlyDiffers", false);
  return o;
}

int ApplyProcessPriority(int priority) {
  // A real-time scheduling class is not used: a busy-waiting process in it could starve the
  // machine. "Realtime" is the highest nice value instead.
  int nice = 0;
  if (priority == 1) {
    nice = -10;
  } else if (priority == 2) {
    nice = -20;
  } else if (priority != 0) {
    return 0;
  }
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, 0);
  if (errno == 0 && current == nice) return 0;
  // Normal never lowers a process the user started with a nice value of its own.
  if (priority == 0 && errno == 0 && current > 0) return 0;
  return setpriority(PRIO_PROCESS, 0, nice) == 0 ? 0 : errno;
}

std::string PriorityRefusedText(int error) {
  return std::string(text::kPriorityRefused) + std::strerror(error) +
         std::string(text::kPriorityRefusedHint);
}

Application::Application(SettingsStore& settings, Ui& ui, Clock& clock, PortOpener& opener)
    : Work(settings),
      Lines(LoadHardwareSettings(settings), clock, ui, opener),
      Files(Work, ui, settings),
      Ops(Work, Lines, Operation),
      settings_(settings),
      ui_(ui),
      currentDir_(CurrentDirectory()) {
  Files.Recent = this;
  ProgrammersFile = ProgrammersFilePath();
}

Application::StartupOutcome Application::Startup(const CommandLine& commandLine) {
  StartupOutcome outcome;
  Work.Buffers.ActiveBuffer = 0;
  for (BufferSlot& slot : Work.Buffers.Slots) {
    std::fill(slot.CodeBuffer.begin(), slot.CodeBuffer.end(), 0xFFFF);
  }
  Work.Window.Caption = std::string(text::kProgramTitle);

  // A settings file that cannot be read or kept is told first: what follows runs on defaults.
  if (const std::string problem = settings_.Problem(); !problem.empty()) {
    ui_.Message(MessageKind::Warning, problem);
  }

  // The settings, in the order of the settings table. A stored value out of range is told
  // once: its default is used and stored in its place.
  const int savedDevice = settings_.ReadInteger("Device", 58);
  // The user's programmers first: the settings may name one. A broken entry is told and left
  // out; the rest load.
  ProgrammerFile programmers = ReadProgrammerFile(ProgrammersFile);
  for (const std::string& problem : programmers.problems) {
    ui_.Message(MessageKind::Warning, problem);
  }
  UserProgrammers = std::move(programmers.programmers);
  std::vector<ReplacedSetting> replaced;
  Lines.Settings() = LoadHardwareSettings(settings_, UserProgrammers, &replaced);
  for (const ReplacedSetting& r : replaced) {
    ui_.Message(MessageKind::Warning, std::string(text::kSettingReplacedBefore) + r.Key +
                                          std::string(text::kSettingReplacedEquals) + r.Value +
                                          std::string(text::kSettingReplacedMiddle) + r.Default);
    settings_.WriteString(r.Key, r.Default);
  }
  // The user's devices file: each entry skipped, or the file as a whole.
  for (const std::string& problem : UserDeviceProblems())
    ui_.Message(MessageKind::Warning, problem);
  Options.Smart = settings_.ReadBool("Smart", false);
  Options.Overwrite = settings_.ReadBool("Overwrite", false);
  Operation = LoadOperationOptions(settings_);
  Options.Priority = settings_.ReadInteger("Priority", 0);
  Options.UsesDriver = settings_.ReadBool("UsesDriver", false);
  Options.DragDrop = settings_.ReadBool("DragDrop", false);
  Options.SmartWiz = settings_.ReadBool("SmartWiz", false);
  Options.ShowDevPos = settings_.ReadBool("ShowDevPos", false);
  Options.DeviceShortcuts = ReadOptionsForm(settings_, Work.List).Shortcuts;

  Work.Recent.Load(settings_);
  Recent.Load(settings_);

  int listIndex = Work.List.IndexOfNumber(savedDevice);
  if (listIndex < 0) listIndex = 0;
  Work.Window.DeviceListIndex = listIndex;

  // The driver prompts never run here: this system has no port driver service.
  outcome.FirstStart = !settings_.Exists();
  if (outcome.FirstStart) ui_.Message(MessageKind::Information, text::kFirstStart);

  // A saved device that is gone, or none at all, falls back to the first device.
  int device = savedDevice;
  if (FirstDeviceNumber() > device || listIndex == 0) device = FirstDeviceNumber();
  Work.SelectDeviceByNumber(device);

  // The command line: actions pending for the first activation, immediate options in order.
  pendingDetect_ = commandLine.Detect;
  pendingProgram_ = commandLine.ProgramAll;
  pendingVerify_ = commandLine.Verify;
  pendingRead_ = commandLine.ReadAll;
  pendingSave_ = commandLine.SaveFile;
  quitMode_ = commandLine.Quit;
  quitRequested_ = commandLine.QuitRequested;
  if (commandLine.Smartcard) Options.Smart = true;  // for this run only
  if (commandLine.NoIdCheck) Operation.CheckDeviceId = false;
  if (commandLine.OverwriteCalibration) Operation.OverwriteCalibration = true;
  Operation.Smart = Options.Smart;
  Operation.ForceFuses = commandLine.ForceFuses;
  if (commandLine.SlowSck) Operation.AvrSlowSck = true;
  Files.MainWindowShowing = WindowVisible;
  for (const CommandStep& step : commandLine.Steps) {
    ApplyStep(step, outcome);
    if (outcome.LoadFailed) {
      pendingDetect_ = pendingProgram_ = pendingVerify_ = pendingRead_ = false;
      pendingSave_.reset();
      break;
    }
  }

  DerivePortBase(Lines.Settings());
  Lines.IdleLines();
  return outcome;
}

void Application::ApplyStep(const CommandStep& step, StartupOutcome& outcome) {
  HardwareSettings& hardware = Lines.Settings();
  switch (step.Type) {
    case CommandStep::Kind::LoadFile: {
      const OpenResult result =
          Files.OpenFile(ResolveLoadPath(step.Path, currentDir_), FileType::Ihx8);
      outcome.LoadFailed = result != OpenResult::Loaded;
      break;
    }
    case CommandStep::Kind::SelectDevice:
      if (!Work.SelectDeviceByNumber(step.Number)) {
        const std::string_view disabled = DisabledEntryCaption(step.Number);
        const std::string message =
            disabled.empty() ? std::string(text::kUnknownDevice) + std::to_string(step.Number) +
                                   std::string(text::kSeeListDevices)
                             : std::string(text::kNoProtocolBefore) + std::string(disabled) +
                                   std::string(text::kNoProtocolAfter);
        ui_.Message(MessageKind::Error, message);
        outcome.UnknownDevice = message;
      }
      break;
    case CommandStep::Kind::Programmer:
      // Not saved: the hardware settings of the store stay as the user left them.
      SelectProgrammer(hardware, UserProgrammers, step.Number);
      hardware.Port = PortForProgrammer(PortKindOf(hardware), hardware.Port);
      break;
    case CommandStep::Kind::Port:
      hardware.Port = PortForNumber(PortKindOf(hardware), step.Number);
      break;
    case CommandStep::Kind::SelectDeviceByName: {
      // The name as the device list shows it; else any case, or enough of it to name one.
      if (const CatalogueEntry* entry = FindDeviceByName(step.Path)) {
        Work.SelectDevice(*entry);
        break;
      }
      std::vector<std::string> names;
      std::vector<int> numbers;
      for (int i = 0; i < Work.List.Size(); ++i) {
        if (const CatalogueEntry* entry = Work.List.EntryAt(i)) {
          names.emplace_back(entry->Name);
          numbers.push_back(entry->MenuCommand);
        }
      }
      if (const auto index =
              LookUp(text::kKindDevice, step.Path, names, text::kSeeListDevices, outcome)) {
        ApplyStep({CommandStep::Kind::SelectDevice, {}, numbers[static_cast<std::size_t>(*index)]},
                  outcome);
      }
      break;
    }
    case CommandStep::Kind::ProgrammerName:
      if (const auto index = LookUp(text::kKindProgrammer, step.Path,
                                    ProgrammerNames(UserProgrammers), text::kNameEnd, outcome)) {
        ApplyStep({CommandStep::Kind::Programmer, {}, *index}, outcome);
      }
      break;
    case CommandStep::Kind::PortName: {
      if (ResolvePort(hardware, step.Path)) {
        hardware.Port = step.Path;
        break;
      }
      // Not a port of the programmer's kind: the ports it can have are offered.
      std::vector<std::string> names;
      for (int n = 1; n <= 4; ++n) names.push_back(PortForNumber(PortKindOf(hardware), n));
      if (const auto index =
              LookUp(text::kKindPort, step.Path, names, text::kSeeListPorts, outcome)) {
        hardware.Port = names[static_cast<std::size_t>(*index)];
      }
      break;
    }
    case CommandStep::Kind::ConfigWord: {
      const auto word = static_cast<std::uint16_t>(step.Number);
      Work.Active().ConfigArea[Work.Device.ConfigWordIndex] = word;
      Work.ShowConfigWord(word);
      break;
    }
  }
}

std::optional<int> Application::LookUp(std::string_view kind, const std::string& name,
                                       const std::vector<std::string>& names,
                                       std::string_view seeAlso, StartupOutcome& outcome) {
  const NameMatch match = MatchName(name, names);
  if (match.index >= 0) return match.index;
  std::string listed;
  for (int i : match.closest) {
    if (!listed.empty()) listed += ", ";
    listed += names[static_cast<std::size_t>(i)];
  }
  std::string message;
  if (match.ambiguous) {
    message = std::string(text::kAmbiguousBefore) + name + std::string(text::kAmbiguousMiddle) +
              std::string(kind) + std::string(text::kAmbiguousAfter) + listed +
              std::string(text::kAmbiguousEnd) + std::string(seeAlso);
  } else {
    message = std::string(text::kNoNamedBefore) + std::string(kind) +
              std::string(text::kNoNamedMiddle) + name + std::string(text::kClosestAfter) + listed +
              std::string(seeAlso);
  }
  ui_.Message(MessageKind::Error, message);
  outcome.UnknownDevice = message;
  return std::nullopt;
}

Application::ActivationOutcome Application::OnActivate() {
  ActivationOutcome outcome;
  if (WindowVisible) ui_.SetStatusPanel(kStatusPortPanel, PortStatusText());

  // Each flag is cleared before its action runs, so an activation while it runs (a dialog of
  // the action closing) cannot start it a second time.
  // A port that failed or did not open fails every later action the same way; a save after
  // it would write a buffer the device never filled. Fuses that would lock the part out and
  // were not confirmed stop the run too, with or without a window.
  bool portFailed = false;
  bool riskRefused = false;
  const auto stopped = [&] {
    return ((outcome.Cancelled || portFailed) && !WindowVisible) || riskRefused;
  };
  const auto run = [&](bool& pending, QuitMode mode, OperationResult (Operations::*action)()) {
    if (!pending) return;
    pending = false;
    if (stopped()) return;
    outcome.Ran = true;
    const OperationResult result = (Ops.*action)();
    if (!result.Succeeded()) outcome.Succeeded = false;
    if (result.Cancelled) outcome.Cancelled = true;
    if (result.PortFailed) portFailed = true;
    if (result.RiskRefused) riskRefused = true;
    if (quitRequested_ && quitMode_ == mode) outcome.Quit = true;
  };
  run(pendingDetect_, QuitMode::None, &Operations::Detect);
  run(pendingProgram_, QuitMode::AfterProgram, &Operations::ProgramAll);
  run(pendingVerify_, QuitMode::AfterVerify, &Operations::Verify);
  run(pendingRead_, QuitMode::AfterRead, &Operations::ReadAll);
  if (pendingSave_) {
    const std::string name = *pendingSave_;
    pendingSave_.reset();
    if (!stopped()) {
      outcome.Ran = true;
      if (!Files.SaveFile(name, SaveType::Ihx8, HasExtension(name))) outcome.Succeeded = false;
    }
  }

  if (WindowVisible) {
    Work.CreateConfig();
    Work.ShowStoredConfigWord();
  }
  return outcome;
}

void Application::AddRecentFile(const std::string& path, FileType type) {
  Recent.Add(path, static_cast<int>(type), settings_);
}

OpenResult Application::OpenRecentFile(int position) {
  const std::optional<RecentFile> entry = Recent.Open(position, settings_);
  if (!entry) return OpenResult::NotOpened;
  return Files.OpenFile(entry->Path, FileTypeFromNumber(entry->TypeIndex));
}

bool Application::ClearSettings() {
  if (!ui_.Question(text::kClearSettingsQuestion)) return false;
  settings_.Clear();
  return true;
}

void Application::ApplyOptions(const OptionsForm& form) {
  Operation.Progging = form.Progging;
  Operation.Erasing = form.Erasing;
  Options.Overwrite = form.Overwrite;
  Options.Priority = form.Priority;
  Operation.Warning = form.Warning;
  Operation.Verify = form.Verify;
  Operation.VerDurProg = form.VerDurProg;
  Operation.CheckDeviceId = form.DeviceIdCheck;
  Operation.OverwriteCalibration = form.OverwriteCalibration;
  Operation.EnableMCLR = form.EnableMCLR;
  Options.UsesDriver = form.UsesDriver;
  Operation.ByteWrite = !form.PageWrite;
  Options.DragDrop = form.DragDrop;
  Options.SmartWiz = form.SmartWiz;
  Options.DeviceShortcuts = form.Shortcuts;
  if (form.PowerControl != Lines.Settings().PowerControl) {
    Lines.Settings().PowerControl = form.PowerControl;
    Lines.IdleLines();
  }
  // This system has no port driver service: "UsesDriver" is never written.
  StoreOptionsForm(settings_, form, false);
  if (const int error = ApplyProcessPriority(form.Priority); error != 0) {
    ui_.Message(MessageKind::Warning, PriorityRefusedText(error));
  }
}

void Application::ApplyHardware(const HardwareForm& form) {
  const HardwareSettings before = Lines.Settings();
  ApplyHardwareForm(form, Lines.Settings());
  StoreHardwareForm(settings_, Lines.Settings(), before);
  if (Switch != nullptr) Switch->UseVirtual(Lines.Settings().Virtual);
  if (WindowVisible) ui_.SetStatusPanel(kStatusPortPanel, PortStatusText());
  Lines.IdleLines();
}

bool Application::SelectShortcutDevice(int n) {
  if (n < 0 || n >= kDeviceShortcuts) return false;
  return Work.ComboBox4Change(Options.DeviceShortcuts[static_cast<std::size_t>(n)]);
}

std::string Application::PortStatusText() const {
  const HardwareSettings& hardware = Lines.Settings();
  return hardware.Port + std::string(text::kPortOn) + std::string(ProgrammerListText(hardware));
}

}  // namespace kestrum
