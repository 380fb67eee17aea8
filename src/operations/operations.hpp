// SPDX-License-Identifier: GPL-3.0-or-later
// The operation driver: Read All, Program All, Program Config, Erase All, Verify and Blank
// Check on the selected device and the active buffer slot. Each checks that the programmer
// can handle the device's family, asks the confirmations the options call for, shows the
// progress window, runs the family's protocol (workers on their own threads), copies results
// into the active slot and tells the user the outcome. The caller learns what happened from
// the returned result (the command line's exit status and quit modes look at it).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "buffers/workspace.hpp"
#include "core/ui.hpp"
#include "hardware/line_context.hpp"
#include "operations/run_worker.hpp"
#include "operations/support.hpp"
#include "protocols/families.hpp"
#include "protocols/family_driver.hpp"
#include "protocols/pic_serial.hpp"

namespace kestrum {

// What one command did, beyond what it told the user.
struct OperationResult {
  // A confirmation was answered No (or the command is not offered for this device): nothing
  // was driven.
  bool Declined = false;
  // The programmer cannot handle the device, or this version has no protocol for its family;
  // the user was told and nothing was driven.
  bool Refused = false;
  // The port did not open; the user was told why and the command ended there.
  bool PortFailed = false;
  // An error or warning verdict was shown: programming failed, verify failed, not blank.
  bool Failed = false;
  // Cancel was pressed while the command ran.
  bool Cancelled = false;
  // A verify ran (Verify, or after Program All) and whether the device matched.
  bool Verified = false;
  bool VerifyPassed = false;
  // Blank Check found the device blank.
  bool Blank = false;
  // Verify and Blank Check: the first differing element and its region.
  int FailIndex = -1;
  bool InData = false;
  // The identity check found another part (or none) in the socket: nothing was driven further.
  bool WrongPart = false;
  // Detect: the device it found, when it knows it.
  std::string Detected;
  // Configuration values that would take the part away from the programmer were not
  // confirmed: nothing was driven (and a run from the command line stops).
  bool RiskRefused = false;

  // An error or warning box was shown.
  bool ProblemShown() const { return Failed || PortFailed; }
  // Everything asked for was done, nothing was refused or shown as a problem, and every
  // verify passed.
  bool Succeeded() const {
    return !Declined && !Refused && !PortFailed && !Failed && !Cancelled &&
           (!Verified || VerifyPassed);
  }
};

class Operations {
 public:
  // `lines` is the application's programmer lines (its Ui is the Ui of every message);
  // workers copy them and hand the line state back.
  Operations(Workspace& workspace, LineContext& lines, const OperationOptions& options);
  ~Operations();
  Operations(const Operations&) = delete;
  Operations& operator=(const Operations&) = delete;

  OperationResult ReadAll();
  OperationResult ProgramAll();
  OperationResult ProgramConfig();
  OperationResult EraseAll();
  OperationResult Verify();
  OperationResult BlankCheck();
  // Reads the identity of the part in the socket, names it and offers to select it.
  OperationResult Detect();
  // How Detect selects the part it found (the window's selection, which first asks about
  // unsaved buffers); by default the workspace's own.
  void SetDeviceSelector(std::function<void(const CatalogueEntry&)> select) {
    selectDevice_ = std::move(select);
  }

  // The progress window's Cancel button (the Ui reaches it through ShowProgressWindow).
  void Cancel() { progress_.Cancel(); }
  ProgressWindow& Progress() { return progress_; }
  // The PIC protocol's waits as they stand between commands (ProgramWaitMs is 10 then).
  const PicTiming& Timing() const;

 private:
  class Command;
  enum class ProgressKind { Read, Program };
  enum class CheckKind { Verify, BlankCheck };

  Ui& ui() { return lines_.ui(); }
  const DeviceDescriptor& Device() const { return workspace_.Device; }
  void PrepareLines();
  // The family's driver, built on first use; null while this version has none.
  FamilyDriver* Driver(FamilyKey key);

  void ShowProgress(ProgressKind kind);
  void ShowProgressWith(std::string_view status, std::string_view text);
  void HideProgress();
  void ReportNotSupported();
  // The device's family driver; null (and the user told why) when the programmer is not in
  // the family's support group (checked when `checkGroup`) or this version has no driver.
  FamilyDriver* Admit(bool checkGroup, OperationResult& result);
  void RefreshAfterRead();
  OperationResult Check(CheckKind kind);
  // The active slot's configuration takes the part away from the programmer only where the
  // user said so (or --force-fuses did); otherwise `result` says it was refused.
  bool RisksAccepted(OperationResult& result);
  // The part in the socket is the selected device, or the identity check is off or has
  // nothing to compare; otherwise the user is told and `result` says why.
  bool IdMatches(FamilyDriver& driver, OperationResult& result);
  // "Found PIC 16F88, revision 2 (device ID 0762h)".
  std::string FoundText(const FamilyDriver& driver, const CatalogueEntry& entry,
                        std::uint32_t id) const;

  Workspace& workspace_;
  LineContext& lines_;
  const OperationOptions& options_;
  ProgressWindow progress_;
  std::array<std::unique_ptr<FamilyDriver>, kFamilyKeys> drivers_;
  // Program All's identity check covers the verify that follows it.
  bool idChecked_ = false;
  std::function<void(const CatalogueEntry&)> selectDevice_;
};

}  // namespace kestrum
