// SPDX-License-Identifier: GPL-3.0-or-later
// The operation driver: Read All, Program All, Program Config and Erase All, the progress
// window, and the context a family driver works in during one command.
#include "operations/operations.hpp"

#include <algorithm>

#include "core/text.hpp"
#include "operations/texts.hpp"
#include "protocols/pic_driver.hpp"

namespace kestrum {

// One command as a family driver sees it: the common services, and where what is read goes
// (the active slot for Read All, the scratch arrays of Verify and Blank Check).
class Operations::Command final : public FamilyContext {
 public:
  Command(Operations& ops, OperationResult& result, ReadPurpose purpose,
          std::vector<std::uint16_t>* codeScratch = nullptr,
          std::vector<std::uint16_t>* dataScratch = nullptr)
      : ops_(ops),
        result_(result),
        purpose_(purpose),
        codeScratch_(codeScratch),
        dataScratch_(dataScratch) {}

  const DeviceDescriptor& Device() const override { return ops_.Device(); }
  Workspace& Work() override { return ops_.workspace_; }
  const OperationOptions& Options() const override { return ops_.options_; }
  LineContext& Lines() override { return ops_.lines_; }
  Ui& ui() override { return ops_.ui(); }
  ReadPurpose Purpose() const override { return purpose_; }

  void SetText(std::string_view text) override { ui().SetProgressText(text); }

  void ShowReadPhase(Region region, int count) override {
    switch (region) {
      case Region::Code:
        if (purpose_ == ReadPurpose::ReadAll) SetText(PhaseText(text::kReadingCode, count));
        break;
      case Region::Data:
        SetText(PhaseText(
            purpose_ == ReadPurpose::Verify ? text::kVerifyingData : text::kReadingData, count));
        break;
      case Region::Config:
        SetText(text::kReadingConfiguration);
        break;
    }
  }

  bool Run(OperationWorker& worker) override {
    // Once Cancel has been pressed no worker starts, and the one it stopped ends the command:
    // no later region (the data, a configuration word that may protect the part) is written.
    if (!RunWorker(worker, ops_.lines_, ops_.progress_)) return false;
    if (worker.PortFailed) {
      // The hardware layer has said why; the rest of the command would only say it again.
      result_.PortFailed = true;
      return false;
    }
    if (!worker.PortFailure.empty()) {
      // A line did not follow: whatever the worker read or wrote after it cannot be trusted.
      ui().Message(MessageKind::Error, std::string(text::kPortFailedBefore) + worker.PortFailure +
                                           std::string(text::kPortFailedAfter));
      result_.PortFailed = true;
      return false;
    }
    return !Cancelled();
  }

  bool Cancelled() const override {
    return ops_.progress_.Cancelled.load(std::memory_order_acquire);
  }

  void Store(Region region, int first, std::span<const std::uint16_t> words) override {
    std::vector<std::uint16_t>* target = nullptr;
    BufferSlot& slot = ops_.workspace_.Active();
    if (purpose_ == ReadPurpose::ReadAll) {
      target = region == Region::Code   ? &slot.CodeBuffer
               : region == Region::Data ? &slot.DataBuffer
                                        : &slot.ConfigArea;
    } else if (region != Region::Config) {
      target = region == Region::Code ? codeScratch_ : dataScratch_;
    }
    if (target == nullptr || first < 0 || first >= static_cast<int>(target->size())) return;
    const std::size_t n = std::min(words.size(), target->size() - static_cast<std::size_t>(first));
    std::copy_n(words.begin(), n, target->begin() + first);
  }

  void ProgrammingFailed(Region region, int address) override {
    ui().Message(MessageKind::Error,
                 AddressText(region == Region::Data ? text::kProgrammingFailedData
                                                    : text::kProgrammingFailedCode,
                             address));
    result_.Failed = true;
  }
  void Failed() override { result_.Failed = true; }
  void PortFailed() override { result_.PortFailed = true; }
  void SlotChanged() override { slotChanged_ = true; }

  bool SlotWasChanged() const { return slotChanged_; }

 private:
  Operations& ops_;
  OperationResult& result_;
  ReadPurpose purpose_;
  std::vector<std::uint16_t>* codeScratch_;
  std::vector<std::uint16_t>* dataScratch_;
  bool slotChanged_ = false;
};

Operations::Operations(Workspace& workspace, LineContext& lines, const OperationOptions& options)
    : workspace_(workspace), lines_(lines), options_(options) {}

Operations::~Operations() = default;

const PicTiming& Operations::Timing() const {
  static const PicTiming kUntouched;
  const auto& pic = drivers_[static_cast<std::size_t>(FamilyKey::Pic)];
  return pic ? static_cast<const PicDriver&>(*pic).Timing() : kUntouched;
}

FamilyDriver* Operations::Driver(FamilyKey key) {
  auto& driver = drivers_[static_cast<std::size_t>(key)];
  if (!driver) {
    const FamilyRow& row = FamilyRowOf(key);
    if (row.MakeDriver != nullptr) driver = row.MakeDriver();
  }
  return driver.get();
}

void Operations::PrepareLines() {
  // The ProPic 2 switches VPP to the socket that fits the device.
  lines_.Settings().PinCount = Device().PinCount;
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
  ui().Message(MessageKind::Information, NotSupportedText(lines_.Settings()));
}

FamilyDriver* Operations::Admit(bool checkGroup, OperationResult& result) {
  const FamilyKey key = FamilyKeyOf(Device(), options_);
  if (checkGroup && !ProgrammerSupports(lines_.Settings().Programmer, FamilyRowOf(key).Group)) {
    ReportNotSupported();
    result.Refused = true;
    return nullptr;
  }
  FamilyDriver* driver = Driver(key);
  if (driver == nullptr) {
    ui().Message(MessageKind::Information, FamilyNotAvailableText(Device()));
    result.Refused = true;
  }
  return driver;
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
  FamilyDriver* driver = Admit(true, result);
  if (driver == nullptr) return result;
  // A read that does not complete leaves the slot as it was: half an image, the rest zeros,
  // saved or programmed later as if it were the part's, is worse than no read.
  const BufferSlot before = workspace_.Active();
  ShowProgress(ProgressKind::Read);
  Command command(*this, result, ReadPurpose::ReadAll);
  driver->Read(command);
  HideProgress();
  result.Cancelled = progress_.Cancelled.load(std::memory_order_acquire);
  if (result.Cancelled || result.PortFailed) {
    workspace_.Active() = before;
  } else if (!result.Failed) {
    workspace_.Active().LoadProblem.clear();  // the slot holds the part now, not the file
  }
  RefreshAfterRead();
  if (result.Cancelled) ui().Message(MessageKind::Warning, text::kReadCancelled);
  return result;
}

// ---- Program All ----

OperationResult Operations::ProgramAll() {
  OperationResult result;
  PrepareLines();
  // An image that did not load cleanly is programmed only when the user says so, knowing what
  // went wrong (a batch run never gets here with one).
  if (const std::string& problem = workspace_.Active().LoadProblem;
      !problem.empty() &&
      !ui().CautionQuestion(std::string(text::kProgramBrokenFileBefore) + problem +
                            std::string(text::kProgramBrokenFileAfter))) {
    result.Declined = true;
    return result;
  }
  if (options_.Progging && !ui().Question(text::kConfirmProgram)) {
    result.Declined = true;
    return result;
  }
  ui().FocusCodeView();
  const FamilyKey key = FamilyKeyOf(Device(), options_);
  FamilyDriver* driver = Driver(key);
  if (driver != nullptr && driver->WarnsOfCodeProtect() && options_.Warning &&
      workspace_.Config.CodeProtectSelected() && !ui().Question(text::kConfirmCodeProtect)) {
    result.Declined = true;
    return result;
  }

  if (!RisksAccepted(result)) return result;

  bool verify = options_.Verify;
  ProgramOutcome outcome;
  if (!ProgrammerSupports(lines_.Settings().Programmer, FamilyRowOf(key).Group)) {
    // Nothing is programmed, yet the verify that follows still runs (and says the same).
    ReportNotSupported();
    result.Refused = true;
  } else if (Admit(false, result) == nullptr) {
    return result;
  } else if (!IdMatches(*driver, result)) {
    return result;
  } else {
    ShowProgress(ProgressKind::Program);
    Command command(*this, result, ReadPurpose::ReadAll);
    outcome = driver->Program(command);
    if (!outcome.VerifyAllowed) verify = false;
    HideProgress();
    if (command.SlotWasChanged()) {
      workspace_.ShowStoredConfigWord();
      if (workspace_.Observer) workspace_.Observer->RebuildCodeView();
    }
    result.Cancelled = progress_.Cancelled.load(std::memory_order_acquire);
    if (result.Cancelled) {
      // The part holds what it held plus the units written before the stop; comparing it
      // with the buffer would only report the first unit not written.
      ui().Message(MessageKind::Warning, text::kProgramCancelled);
      return result;
    }
  }

  if (verify && !result.Failed && !result.PortFailed) {
    idChecked_ = !result.Refused;
    const OperationResult checked = Verify();
    idChecked_ = false;
    result.Verified = checked.Verified;
    result.VerifyPassed = checked.VerifyPassed;
    result.FailIndex = checked.FailIndex;
    result.InData = checked.InData;
    result.Failed = checked.Failed;
    result.PortFailed = checked.PortFailed;
    result.Refused = result.Refused || checked.Refused;
    result.Cancelled = result.Cancelled || checked.Cancelled;
  }
  // Only a part that verified gets what was held back; one that did not stays readable.
  if (outcome.Held && result.VerifyPassed && !result.Cancelled) {
    ShowProgress(ProgressKind::Program);
    Command command(*this, result, ReadPurpose::ReadAll);
    driver->ProgramHeld(command);
    HideProgress();
    result.Cancelled = result.Cancelled || progress_.Cancelled.load(std::memory_order_acquire);
  }
  return result;
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
  FamilyDriver* driver = Admit(true, result);
  if (driver == nullptr || !RisksAccepted(result)) return result;
  // The workers open the port themselves; the main window stays disabled while they run.
  ui().SetMainWindowEnabled(false);
  Command command(*this, result, ReadPurpose::ReadAll);
  const bool done = driver->ProgramConfig(command);
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
  if (FamilyDriver* driver = Admit(true, result); driver != nullptr && IdMatches(*driver, result)) {
    Command command(*this, result, ReadPurpose::ReadAll);
    erased = driver->Erase(command);
  }
  ui().SetStatusPanel(kStatusOperationPanel, "");
  if (erased) ui().Message(MessageKind::Information, text::kDeviceErased);
  return result;
}

// ---- Verify and Blank Check ----

OperationResult Operations::Verify() {
  return Check(CheckKind::Verify);
}

OperationResult Operations::BlankCheck() {
  return Check(CheckKind::BlankCheck);
}

// The device is read into scratch arrays (the buffers are never touched) and compared with the
// active slot or with the blank value; the first difference is reported.
OperationResult Operations::Check(CheckKind kind) {
  OperationResult result;
  PrepareLines();
  const DeviceDescriptor& device = Device();
  const bool verify = kind == CheckKind::Verify;
  const int shown = device.Is12Bit ? device.CodeSize - 4 : device.CodeSize;
  ShowProgressWith(verify ? text::kStatusVerifying : text::kStatusBlankCheck,
                   PhaseText(verify ? text::kVerifyingCode : text::kReadingCode, shown));

  FamilyDriver* driver = Admit(true, result);
  if (driver == nullptr || (verify && !idChecked_ && !IdMatches(*driver, result))) {
    HideProgress();
    return result;
  }

  // Elements after a cancelled read's last unit stay 0, as a worker's output does.
  std::vector<std::uint16_t> code(kBufferElements, 0);
  std::vector<std::uint16_t> data(kBufferElements, 0);
  Command command(*this, result, verify ? ReadPurpose::Verify : ReadPurpose::BlankCheck, &code,
                  &data);
  driver->Read(command);
  HideProgress();
  result.Cancelled = progress_.Cancelled.load(std::memory_order_acquire);
  if (result.Cancelled) {
    // Part of the device was never read: any verdict would be about zeros.
    ui().Message(MessageKind::Warning,
                 verify ? text::kVerifyCancelled : text::kBlankCheckCancelled);
    return result;
  }
  // The port did not open, or the family has shown why the part could not be read: there is
  // nothing to compare, and no verdict could be trusted.
  if (result.PortFailed || result.Failed) return result;

  const BufferSlot& slot = workspace_.Active();
  bool ok = true;
  for (int i = 0, n = driver->CodeCheckCount(device); i < n && ok; ++i) {
    const bool differs =
        verify ? slot.CodeBuffer[i] != (code[i] & device.BlankValue) : code[i] != device.BlankValue;
    if (differs) {
      ok = false;
      result.FailIndex = i;
    }
  }
  for (int i = 0; ok && i < device.DataSize; ++i) {
    const int expected = verify ? (slot.DataBuffer[i] & 0xFF) : 0xFF;
    if ((data[i] & 0xFF) != expected) {
      ok = false;
      result.FailIndex = i;
      result.InData = true;
    }
  }

  Ui& u = ui();
  if (verify) {
    result.Verified = true;
    result.VerifyPassed = ok;
    if (ok) {
      u.ResetCodeViewMarking();
      u.Message(MessageKind::Information, text::kVerifyOk);
    } else {
      u.Beep();
      u.Message(MessageKind::Error,
                AddressText(result.InData ? text::kVerifyFailedData : text::kVerifyFailed,
                            result.FailIndex));
    }
  } else {
    result.Blank = ok;
    if (ok) {
      u.Message(MessageKind::Information, text::kDeviceBlank);
    } else {
      u.Beep();
      u.Message(
          MessageKind::Warning,
          AddressText(result.InData ? text::kNotBlankData : text::kNotBlank, result.FailIndex));
    }
  }
  result.Failed = !ok;
  return result;
}

// ---- configuration that takes the part away ----

bool Operations::RisksAccepted(OperationResult& result) {
  const DeviceDescriptor& device = Device();
  const BufferSlot& slot = workspace_.Active();
  const auto words = std::span(slot.ConfigArea)
                         .subspan(static_cast<std::size_t>(device.ConfigWordIndex),
                                  static_cast<std::size_t>(std::max(device.ConfigWords, 0)));
  const std::vector<std::string_view> risks = ConfigRisks(device, words);
  if (risks.empty() || options_.ForceFuses || ui().RiskQuestion(ConfigRiskText(risks))) {
    return true;
  }
  result.Declined = true;
  result.RiskRefused = true;
  return false;
}

// ---- identity ----

std::string Operations::FoundText(const FamilyDriver& driver, const CatalogueEntry& entry,
                                  std::uint32_t id) const {
  std::string found = std::string(text::kFound) + std::string(entry.Name);
  if (const std::optional<std::uint32_t> revision = IdRevision(entry, id)) {
    found += std::string(text::kFoundRevision) + std::to_string(*revision);
  }
  return found + std::string(text::kFoundIdBefore) + driver.IdText(id) +
         std::string(text::kFoundIdAfter);
}

bool Operations::IdMatches(FamilyDriver& driver, OperationResult& result) {
  const DeviceDescriptor& device = Device();
  if (!options_.CheckDeviceId || device.DeviceIdMask == 0 || !driver.HasId(device)) return true;
  Command command(*this, result, ReadPurpose::ReadAll);
  const IdReading id = driver.ReadId(command);
  if (id.Result == IdReading::Outcome::PortFailed) return false;
  if (id.Result == IdReading::Outcome::Read &&
      (id.Value & device.DeviceIdMask) == (device.DeviceId & device.DeviceIdMask)) {
    return true;
  }
  std::string message;
  if (id.Result == IdReading::Outcome::Nothing) {
    message = std::string(text::kNoIdReadBefore) + device.Name + std::string(text::kNoIdReadAfter);
  } else {
    const CatalogueEntry* found = FindDeviceById(FamilyOf(device), id.Value);
    message =
        (found != nullptr ? std::string(text::kFound) + std::string(found->Name)
                          : std::string(text::kDetectUnknownBefore) + driver.IdText(id.Value)) +
        std::string(text::kWrongPartBefore) + device.Name + std::string(text::kWrongPartAfter);
  }
  ui().Message(MessageKind::Error, message);
  result.WrongPart = true;
  result.Failed = true;
  return false;
}

OperationResult Operations::Detect() {
  OperationResult result;
  PrepareLines();
  FamilyDriver* driver = Admit(true, result);
  if (driver == nullptr) return result;
  const DeviceDescriptor& device = Device();
  if (!driver->HasId(device)) {
    ui().Message(MessageKind::Information, device.Name + std::string(text::kNoDeviceId));
    return result;
  }
  ui().SetStatusPanel(kStatusOperationPanel, text::kStatusDetecting);
  IdReading id;
  {
    Command command(*this, result, ReadPurpose::ReadAll);
    id = driver->ReadId(command);
  }
  ui().SetStatusPanel(kStatusOperationPanel, "");
  if (id.Result == IdReading::Outcome::PortFailed) return result;
  if (id.Result == IdReading::Outcome::Nothing) {
    ui().Message(MessageKind::Warning, text::kDetectNothing);
    result.Failed = true;
    return result;
  }
  if (id.Result == IdReading::Outcome::Present) {
    ui().Message(MessageKind::Information, std::string(text::kDetectPresentBefore) +
                                               driver->IdText(id.Value) +
                                               std::string(text::kDetectPresentAfter));
    return result;
  }
  const CatalogueEntry* found = FindDeviceById(FamilyOf(device), id.Value);
  if (found == nullptr) {
    ui().Message(MessageKind::Warning, std::string(text::kDetectUnknownBefore) +
                                           driver->IdText(id.Value) +
                                           std::string(text::kDetectUnknownAfter));
    result.Failed = true;
    return result;
  }
  result.Detected = std::string(found->Name);
  const std::string named = FoundText(*driver, *found, id.Value);
  if (found->Name == device.Name) {
    ui().Message(MessageKind::Information, named + std::string(text::kDetectIsSelected));
  } else if (ui().Question(named + std::string(text::kDetectSelectIt))) {
    if (selectDevice_) {
      selectDevice_(*found);
    } else {
      workspace_.SelectDevice(*found);
    }
  }
  return result;
}

}  // namespace kestrum
