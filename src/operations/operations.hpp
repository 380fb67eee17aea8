// The operation driver: Read All, Program All, Program Config, Erase All, Verify and Blank
// Check on the selected device and the active buffer slot. Each checks that the programmer
// can handle the device's family, asks the confirmations the options call for, shows the
// progress window, runs the family's protocol (workers on their own threads), copies results
// into the active slot and tells the user the outcome. The caller learns what happened from
// the returned result (the command line's exit status and quit modes look at it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "buffers/workspace.hpp"
#include "core/ui.hpp"
#include "hardware/line_context.hpp"
#include "operations/run_worker.hpp"
#include "operations/support.hpp"
#include "protocols/pic_serial.hpp"

namespace kestrum {

// The options the operations follow (settings of the same names).
struct OperationOptions {
  bool Progging = true;     // confirm programming (Program All, Program Config)
  bool Erasing = false;     // confirm erasing
  bool Verify = true;       // verify after programming
  bool VerDurProg = false;  // verify each word as it is programmed
  bool Warning = false;     // confirm programming with code protection enabled
  bool Smart = false;       // smartcard (Phoenix) mode for I2C EEPROMs
  bool EnableMCLR = false;  // I2C: MCLR powers the device too
  bool ByteWrite = false;   // I2C: one byte per write cycle instead of pages
};

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

  OperationResult ReadAll();
  OperationResult ProgramAll();
  OperationResult ProgramConfig();
  OperationResult EraseAll();
  OperationResult Verify();
  OperationResult BlankCheck();

  // The progress window's Cancel button (the Ui reaches it through ShowProgressWindow).
  void Cancel() { progress_.Cancel(); }
  ProgressWindow& Progress() { return progress_; }
  // The PIC protocol's waits as they stand between commands (ProgramWaitMs is 10 then).
  const PicTiming& Timing() const { return timing_; }

 private:
  enum class ProgressKind { Read, Program };
  enum class CheckKind { Verify, BlankCheck };

  Ui& ui() { return lines_.ui(); }
  const DeviceDescriptor& Device() const { return workspace_.Device; }
  // The timing a new worker takes: the device's begin-programming command included.
  PicTiming WorkerTiming() const;
  void PrepareLines();

  void ShowProgress(ProgressKind kind);
  void ShowProgressWith(std::string_view status, std::string_view text);
  void HideProgress();
  void SetText(const std::string& text) { ui().SetProgressText(text); }
  void ReportNotSupported();
  // Tells the user why the device's row cannot run; false when it can.
  bool Refuse(DispatchRow row, bool checkGroup, OperationResult& result);
  // Runs a worker; false when its port did not open.
  bool Run(OperationWorker& worker, OperationResult& result);
  void RefreshAfterRead();

  // The PIC rows.
  void PicRead(OperationResult& result);
  // False when the command ended before anything was programmed. With `holdConfiguration`
  // code and data are programmed and the configuration is left for later (`configurationHeld`
  // says it was reached).
  bool PicProgram(OperationResult& result, bool holdConfiguration, bool& configurationHeld);
  void ProgramConfigurationUnlessHeld(OperationResult& result, bool hold, bool& held);
  bool PicCalibrationCheck(OperationResult& result);
  bool PicProgramConfiguration(OperationResult& result);
  bool PicCheckRead(CheckKind kind, std::vector<std::uint16_t>& code,
                    std::vector<std::uint16_t>& data, OperationResult& result);
  void ProgrammingFailed(std::string_view region, int address, OperationResult& result);

  OperationResult Check(CheckKind kind);

  Workspace& workspace_;
  LineContext& lines_;
  const OperationOptions& options_;
  ProgressWindow progress_;
  PicTiming timing_;
  bool codeChanged_ = false;
};

// "Reading Code (" + count + ") " + "bytes" and its kin.
std::string PhaseText(std::string_view phase, int count);
// Text + four hexadecimal digits + "h !".
std::string AddressText(std::string_view text, int address);

}  // namespace kestrum
