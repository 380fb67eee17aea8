// The operation driver: Read All, Program All, Program Config and Erase All, the progress
// window, and the PIC rows of the dispatch.
#include "operations/operations.hpp"

#include <algorithm>

#include "core/text.hpp"
#include "operations/texts.hpp"

namespace kestrum {

std::string PhaseText(std::string_view phase, int count) {
  return std::string(phase) + std::to_string(count) + std::string(text::kCountEnd) +
         std::string(text::kBytes);
}

std::string AddressText(std::string_view text, int address) {
  return std::string(text) + Hex4(static_cast<std::uint32_t>(address)) +
         std::string(text::kAddressEnd);
}

namespace {

// Whether the configuration controls turn on a protection that blanks reads: of program
// memory, or (a ticked "CPD" box) of data memory.
bool ProtectionSelected(const ConfigBox& box) {
  if (box.CodeProtectSelected()) return true;
  return std::any_of(box.Fuses.begin(), box.Fuses.end(), [](const FuseCheckBox& fuse) {
    return fuse.Visible && fuse.Caption == "CPD" && fuse.Checked;
  });
}

// Every Program All of a PIC ends with the normal programming wait, however it ends; the
// 16F627/628 take the short one for the whole of one run.
class ProgramWaitForRun {
 public:
  ProgramWaitForRun(PicTiming& timing, int variant) : timing_(timing) {
    if (variant == kFastProgramVariant) timing_.ProgramWaitMs = kFastProgramWaitMs;
  }
  ~ProgramWaitForRun() { timing_.ProgramWaitMs = kProgramWaitMs; }
  ProgramWaitForRun(const ProgramWaitForRun&) = delete;
  ProgramWaitForRun& operator=(const ProgramWaitForRun&) = delete;

 private:
  PicTiming& timing_;
};

}  // namespace

Operations::Operations(Workspace& workspace, LineContext& lines, const OperationOptions& options)
    : workspace_(workspace), lines_(lines), options_(options) {}

PicTiming Operations::WorkerTiming() const {
  PicTiming timing = timing_;
  timing.BeginProgramCommand = workspace_.BeginProgramCommand;
  return timing;
}

void Operations::PrepareLines() {
  // The ProPic 2 switches VPP to the socket that fits the device.
  lines_.Settings().PinCount = Device().PinCount;
  codeChanged_ = false;
}

// ---- progress window ----

void Operations::ShowProgressWith(std::string_view status, std::string_view text) {
  progress_.Cancelled.store(false, std::memory_order_release);
  Ui& u = ui();
  u.SetStatusPanel(kStatusOperationPanel, status);
  u.SetMainWindowEnabled(false);
  u.SetProgressCaption(std::string(text::kProgressCaption) + Device().Name);
  u.SetProgressText(text);
  u.SetProgressRange(0, Device().CodeSize);
  u.SetProgressPosition(0);
  u.ShowProgressWindow(progress_);
  u.SetBusyCursor(true);
}

void Operations::ShowProgress(ProgressKind kind) {
  if (kind == ProgressKind::Read) {
    ShowProgressWith(text::kStatusReading, PhaseText(text::kReadingCode, Device().CodeSize));
  } else {
    ShowProgressWith(text::kStatusProgramming,
                     PhaseText(text::kProgrammingCode, Device().CodeSize));
  }
}

void Operations::HideProgress() {
  Ui& u = ui();
  u.SetBusyCursor(false);
  u.HideProgressWindow();
  u.SetProgressPosition(0);
  u.SetStatusPanel(kStatusOperationPanel, "");
  u.SetMainWindowEnabled(true);
}

void Operations::ReportNotSupported() {
  ui().Message(MessageKind::Information, NotSupportedText(lines_.Settings().Programmer));
}

bool Operations::Refuse(DispatchRow row, bool checkGroup, OperationResult& result) {
  if (checkGroup && !ProgrammerSupports(lines_.Settings().Programmer, GroupOf(row))) {
    ReportNotSupported();
    result.Refused = true;
    return true;
  }
  if (!RowAvailable(row)) {
    ui().Message(MessageKind::Information, FamilyNotAvailableText(Device()));
    result.Refused = true;
    return true;
  }
  return false;
}

bool Operations::Run(OperationWorker& worker, OperationResult& result) {
  RunWorker(worker, lines_, progress_);
  if (worker.PortFailed) {
    // The hardware layer has said why; the rest of the command would only say it again.
    result.PortFailed = true;
    return false;
  }
  return true;
}

void Operations::RefreshAfterRead() {
  workspace_.ShowStoredConfigWord();
  if (workspace_.Observer) {
    workspace_.Observer->RebuildCodeView();
    if (Device().DataSize >= 1) workspace_.Observer->RebuildDataView();
  }
}

// ---- Read All ----

OperationResult Operations::ReadAll() {
  OperationResult result;
  PrepareLines();
  ui().FocusCodeView();
  const DispatchRow row = DispatchRowOf(Device());
  if (Refuse(row, true, result)) return result;
  ShowProgress(ProgressKind::Read);
  if (row == DispatchRow::Pic) PicRead(result);
  HideProgress();
  RefreshAfterRead();
  result.Cancelled = progress_.Cancelled.load(std::memory_order_acquire);
  return result;
}

void Operations::PicRead(OperationResult& result) {
  const DeviceDescriptor& device = Device();
  BufferSlot& slot = workspace_.Active();

  SetText(PhaseText(text::kReadingCode, PicCodeCountShown(device)));
  auto code = PicCodeReader(device, lines_, WorkerTiming());
  if (!Run(*code, result)) return;
  for (int i = 0; i < code->Count; ++i) slot.CodeBuffer[i] = PicCodeWord(device, code->Words[i]);

  if (device.DataSize > 0) {
    SetText(PhaseText(text::kReadingData, device.DataSize));
    auto data = PicDataReader(device, lines_, WorkerTiming());
    if (!Run(*data, result)) return;
    for (int i = 0; i < data->Count; ++i) slot.DataBuffer[i] = PicDataByte(data->Words[i]);
  }

  SetText(std::string(text::kReadingConfiguration));
  auto config = PicConfigReader(device, lines_, WorkerTiming());
  if (!Run(*config, result)) return;
  for (int i = 0; i < config->Count; ++i) {
    slot.ConfigArea[i] = PicConfigAreaWord(device, config->Words[i]);
  }
}

// ---- Program All ----

OperationResult Operations::ProgramAll() {
  OperationResult result;
  PrepareLines();
  if (options_.Progging && !ui().Question(text::kConfirmProgram)) {
    result.Declined = true;
    return result;
  }
  ui().FocusCodeView();
  const DispatchRow row = DispatchRowOf(Device());
  if ((row == DispatchRow::Pic || row == DispatchRow::PicParallel) && options_.Warning &&
      workspace_.Config.CodeProtectSelected() && !ui().Question(text::kConfirmCodeProtect)) {
    result.Declined = true;
    return result;
  }

  bool verify = options_.Verify;
  bool configurationHeld = false;
  if (!ProgrammerSupports(lines_.Settings().Programmer, GroupOf(row))) {
    // Nothing is programmed, yet the verify that follows still runs (and says the same).
    ReportNotSupported();
    result.Refused = true;
  } else if (Refuse(row, false, result)) {
    return result;
  } else {
    // A protected part reads back as zeros: with protection chosen, the verify comes before
    // the configuration that turns it on.
    const bool verifyFirst =
        verify && row == DispatchRow::Pic && ProtectionSelected(workspace_.Config);
    ShowProgress(ProgressKind::Program);
    if (row == DispatchRow::Pic && !PicProgram(result, verifyFirst, configurationHeld)) {
      verify = false;
    }
    HideProgress();
    if (codeChanged_) {
      workspace_.ShowStoredConfigWord();
      if (workspace_.Observer) workspace_.Observer->RebuildCodeView();
    }
    result.Cancelled = progress_.Cancelled.load(std::memory_order_acquire);
  }

  if (verify && !result.Failed && !result.PortFailed) {
    const OperationResult checked = Verify();
    result.Verified = checked.Verified;
    result.VerifyPassed = checked.VerifyPassed;
    result.FailIndex = checked.FailIndex;
    result.InData = checked.InData;
    result.Failed = checked.Failed;
    result.PortFailed = checked.PortFailed;
    result.Refused = result.Refused || checked.Refused;
    result.Cancelled = result.Cancelled || checked.Cancelled;
  }
  // Only a part that verified is protected; one that did not stays readable.
  if (configurationHeld && result.VerifyPassed) {
    ProgramWaitForRun wait(timing_, Device().Variant);
    ShowProgress(ProgressKind::Program);
    SetText(std::string(text::kProgrammingConfiguration));
    PicProgramConfiguration(result);
    HideProgress();
    result.Cancelled = result.Cancelled || progress_.Cancelled.load(std::memory_order_acquire);
  }
  return result;
}

void Operations::ProgrammingFailed(std::string_view region, int address, OperationResult& result) {
  ui().Message(MessageKind::Error, AddressText(region, address));
  result.Failed = true;
}

bool Operations::PicProgram(OperationResult& result, bool holdConfiguration,
                            bool& configurationHeld) {
  const DeviceDescriptor& device = Device();
  BufferSlot& slot = workspace_.Active();
  ProgramWaitForRun wait(timing_, device.Variant);

  if (device.IsEprom) {
    if (device.HasOscCal && !PicCalibrationCheck(result)) return false;
    SetText(PhaseText(text::kProgrammingCode, PicCodeCountShown(device)));
    auto code = PicCodeProgrammer(device, lines_, WorkerTiming(), slot, options_.VerDurProg);
    if (!Run(*code, result)) return true;
    if (code->Failed) {
      ProgrammingFailed(text::kProgrammingFailedCode, code->FailAddress, result);
      return true;
    }
    ProgramConfigurationUnlessHeld(result, holdConfiguration, configurationHeld);
    return true;
  }

  SetText(
      PhaseText(text::kProgrammingCode, device.HasOscCal ? device.CodeSize - 4 : device.CodeSize));
  if (device.Erasable && !PicErase(lines_, WorkerTiming())) {
    result.PortFailed = true;
    return true;
  }
  auto code = PicCodeProgrammer(device, lines_, WorkerTiming(), slot, options_.VerDurProg);
  if (!Run(*code, result)) return true;
  if (code->Failed) {
    ProgrammingFailed(text::kProgrammingFailedCode, code->FailAddress, result);
    return true;
  }
  if (device.DataSize > 0) {
    SetText(PhaseText(text::kProgrammingData, device.DataSize));
    auto data = PicDataProgrammer(device, lines_, WorkerTiming(), slot, options_.VerDurProg);
    if (!Run(*data, result)) return true;
    if (data->Failed) {
      ProgrammingFailed(text::kProgrammingFailedData, data->FailAddress, result);
      return true;
    }
  }
  ProgramConfigurationUnlessHeld(result, holdConfiguration, configurationHeld);
  return true;
}

void Operations::ProgramConfigurationUnlessHeld(OperationResult& result, bool hold, bool& held) {
  // Held back, it waits for the verify that must read the part before protection is on.
  if (hold) {
    held = true;
    return;
  }
  SetText(std::string(text::kProgrammingConfiguration));
  PicProgramConfiguration(result);
}

bool Operations::PicCalibrationCheck(OperationResult& result) {
  const DeviceDescriptor& device = Device();
  BufferSlot& slot = workspace_.Active();
  SetText(PhaseText(text::kReadingCode, PicCodeCountShown(device)));
  auto reader = PicCodeReader(device, lines_, WorkerTiming());
  if (!Run(*reader, result)) return false;
  const int k = PicCalibrationIndex(device);
  // A read cancelled before the calibration word leaves 0 in its place; programming on would
  // write that 0 over the factory value of a one-time part.
  if (reader->TerminateRequested.load() && reader->Index.load() < k) return false;
  const std::uint16_t calibration = PicCodeWord(device, reader->Words[k]);
  std::uint16_t& bufferWord = slot.CodeBuffer[k];
  const std::uint16_t before = bufferWord;
  if (calibration != 0 && calibration != device.BlankValue) {
    bufferWord = calibration;
  } else if (!ui().WarningQuestion(std::string(text::kCalibrationQuestionBefore) +
                                   Hex4(bufferWord & device.BlankValue) +
                                   std::string(text::kCalibrationQuestionAfter))) {
    bufferWord = calibration;
  }
  codeChanged_ = codeChanged_ || bufferWord != before;
  return true;
}

bool Operations::PicProgramConfiguration(OperationResult& result) {
  workspace_.CreateConfig();
  auto config = PicConfigProgrammer(Device(), lines_, WorkerTiming(), workspace_.Active());
  return Run(*config, result);
}

// ---- Program Config ----

OperationResult Operations::ProgramConfig() {
  OperationResult result;
  if (!workspace_.Window.ProgramConfigEnabled) {
    result.Declined = true;  // the command is not offered for this device
    return result;
  }
  PrepareLines();
  if (options_.Progging && !ui().Question(text::kConfirmProgramConfig)) {
    result.Declined = true;
    return result;
  }
  const DispatchRow row = DispatchRowOf(Device());
  if (Refuse(row, true, result)) return result;
  // The worker opens the port itself; the main window stays disabled while it runs.
  ui().SetMainWindowEnabled(false);
  const bool done = PicProgramConfiguration(result);
  ui().SetMainWindowEnabled(true);
  if (done) ui().Message(MessageKind::Information, text::kConfigurationProgrammed);
  return result;
}

// ---- Erase All ----

OperationResult Operations::EraseAll() {
  OperationResult result;
  if (!workspace_.Window.EraseEnabled) {
    result.Declined = true;  // the command is not offered for this device
    return result;
  }
  PrepareLines();
  if (options_.Erasing && !ui().Question(text::kConfirmErase)) {
    result.Declined = true;
    return result;
  }
  ui().SetStatusPanel(kStatusOperationPanel, text::kStatusErasing);
  bool erased = false;
  const DispatchRow row = DispatchRowOf(Device());
  if (!Refuse(row, true, result)) {
    erased = PicErase(lines_, WorkerTiming());
    result.PortFailed = !erased;
  }
  ui().SetStatusPanel(kStatusOperationPanel, "");
  if (erased) ui().Message(MessageKind::Information, text::kDeviceErased);
  return result;
}

}  // namespace kestrum
