// SPDX-License-Identifier: GPL-3.0-or-later
// Serial programming of PIC microcontrollers with 12-bit and 14-bit cores: the command frames
// clocked in least significant bit first with MCLR held at VPP, the erase (code-protect
// disable) sequence, and the three workers that read, program flash/EEPROM parts word by word
// with read-before-write, and program EPROM/OTP parts with 100 µs pulses and over-programming.
// The operations layer chooses the worker, fills it with the helpers at the end, runs it and
// copies the results.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "buffers/buffer_set.hpp"
#include "device/device_descriptor.hpp"
#include "hardware/line_context.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

// Command words: the command code in the low byte, the number of clocks in the high byte.
namespace pic {
inline constexpr std::uint16_t kLoadConfiguration = 0x1600;
inline constexpr std::uint16_t kLoadConfigurationParity = 0x1800;
inline constexpr std::uint16_t kLoadProgram = 0x1602;
inline constexpr std::uint16_t kLoadProgramParity = 0x1802;
inline constexpr std::uint16_t kLoadData = 0x1603;
inline constexpr std::uint16_t kReadProgram = 0x1604;
inline constexpr std::uint16_t kReadProgramParity = 0x1804;
inline constexpr std::uint16_t kReadData = 0x1605;
inline constexpr std::uint16_t kProtectCommand1 = 0x0601;
inline constexpr std::uint16_t kIncrementAddress = 0x0606;
inline constexpr std::uint16_t kProtectCommand7 = 0x0607;
inline constexpr std::uint16_t kBeginProgramming = 0x0608;
inline constexpr std::uint16_t kBeginProgrammingOnly = 0x0618;
inline constexpr std::uint16_t kEndProgramming = 0x060E;
// The data argument of PicCommand that makes the frame a read.
inline constexpr std::int32_t kRead = -1;
}  // namespace pic

// The settle before a read command on a port that streams.
inline constexpr int kStreamReadSettleUs = 50;

// The programming wait of one cycle: 10 ms, 2 ms on the 16F627/628 during one Program All.
inline constexpr int kProgramWaitMs = 10;
inline constexpr int kFastProgramWaitMs = 2;
inline constexpr int kFastProgramVariant = 7;

// The waits of the protocol and the command that starts a programming cycle. The application
// state keeps one; every worker takes a copy when it is built.
struct PicTiming {
  std::uint16_t BeginProgramCommand = pic::kBeginProgramming;
  int ProgramWaitMs = kProgramWaitMs;  // after BeginProgramCommand in TProgramThread
  int OverProgramWaitMs = 5;           // after every pulse of TOverProgThread
  int EraseWaitMs = 20;                // in PicDisableCodeProtect
  int ReadSettleMs = 3;                // before every read command
  // Parts that ask for VPP before VDD get it on programmers that switch VDD.
  bool VppFirst = false;
  // The wait between VPP and the first frame; -1: each worker's own (300 or 400 ms).
  int EntrySettleUs = -1;
};

// A 14-bit word in the 16-bit parity form: the word shifted up two places, the inverted odd
// parity of the odd bits in bit 1 and the parity of the even bits in bit 0.
std::uint16_t AddParityBits(std::uint16_t word);
// The 16-bit cell a parity part is given for a buffer word: its parity form, except that a
// blank word stays an erased cell (all ones), which the part's own parity check rejects, so a
// program that runs into unprogrammed memory is caught rather than executing ADDLW 0FFh.
std::uint16_t PicParityCell(std::uint16_t word);
// The 14-bit word a parity part's 16-bit cell carries: the inverse of the parity form.
std::uint16_t PicParityData(std::uint16_t cell);

// The command frames on one set of lines.
class PicSerial {
 public:
  PicSerial(LineContext& lines, const PicTiming& timing) : lines_(lines), timing_(timing) {}

  // Sends one frame: as many clocks as the command word's high byte says, carrying the six
  // command bits, then (on 22- and 24-clock frames) a 0 start bit, the data word and a stop
  // bit, least significant bit first. With `data` pic::kRead every bit after the start slot
  // is a 1, the device drives the data line, and ReceivedWord() holds what it sent (0 after
  // the other frames).
  void PicCommand(std::uint16_t command, std::int32_t data);
  // A read frame whose word nobody waits for: `word` holds it once the line layer's deferred
  // samples are resolved (at once on a port that does not stream).
  void ReadInto(std::uint16_t readCommand, std::uint16_t& word);
  std::uint16_t ReceivedWord() const { return receivedWord_; }
  // Reads the current location with `readCommand`: does it hold `word` under `mask`?
  bool Holds(std::uint16_t readCommand, std::uint16_t word, std::uint32_t mask) {
    PicCommand(readCommand, pic::kRead);
    return (receivedWord_ & mask) == word;
  }

  // The erase sequence (configuration word reached, code protection disabled, program and
  // data memory cleared); the device must already be powered with VPP applied.
  void PicDisableCodeProtect();

  LineContext& Lines() { return lines_; }
  const PicTiming& Timing() const { return timing_; }

 private:
  void Frame(std::uint16_t command, std::int32_t data, std::uint16_t& word);

  LineContext& lines_;
  const PicTiming& timing_;
  std::uint16_t receivedWord_ = 0;
};

// VPP ahead of VDD, for the parts that need it.
inline constexpr int kPicVppToVddUs = 5;
// The mid-range flash parts' wait between VPP and the first frame.
inline constexpr int kFlashEntrySettleUs = 100;

// Programming mode on `lines` with the port open: the lines at rest, VDD then VPP after
// `vddToVppUs` (or VPP first where `timing` says), then the timing's settle, or `settleMs`.
void EnterPicProgrammingMode(LineContext& lines, const PicTiming& timing, int vddToVppUs,
                             int settleMs);
// VPP off, the lines at rest, the port closed.
void LeavePicProgrammingMode(LineContext& lines);

// The erase as a whole on the caller's lines: opens the port, powers up, disables code
// protection and erases, powers down and closes the port. False when the port did not open
// (the user has been told; nothing was driven).
bool PicErase(LineContext& lines, const PicTiming& timing);

// Reads `Count` words (code, data or the configuration area) after StartCommand.
class TProgthread final : public OperationWorker {
 public:
  TProgthread(const LineContext& lines, const PicTiming& timing, int count);

  std::uint16_t StartCommand = 0;
  std::uint16_t ReadCommand = pic::kReadProgram;
  std::vector<std::uint16_t> Words;  // the words read; 0 after a cancelled read's last word

 private:
  void Body() override;
  PicTiming timing_;
};

// Programs flash and EEPROM words: each word is read first and only a word that differs is
// loaded and programmed.
class TProgramThread final : public OperationWorker {
 public:
  TProgramThread(const LineContext& lines, const PicTiming& timing, int count);

  std::uint16_t StartCommand = 0;
  std::uint16_t ReadCommand = pic::kReadProgram;
  std::uint16_t LoadCommand = pic::kLoadProgram;
  std::vector<std::uint16_t> Words;  // the values to program
  std::uint32_t Mask = 0x3FFF;
  bool VerifyDuringProgramming = false;
  // After an erase every cell reads all ones under Mask: a word of that value is passed over
  // without being read or written.
  bool SkipErased = false;

 private:
  void Body() override;
  PicTiming timing_;
};

// Programs EPROM and OTP words: pulses until every bit that must become 0 reads 0 (at most
// MaxPulses), then PulseFactor times as many again plus PulseExtra to make them last. Verifying
// as it goes, a word that has not taken within MaxPulses fails at once.
class TOverProgThread final : public OperationWorker {
 public:
  TOverProgThread(const LineContext& lines, const PicTiming& timing, int count);

  std::uint16_t StartCommand = 0;
  std::uint16_t LoadCommand = pic::kLoadProgram;
  std::uint16_t ReadCommand = pic::kReadProgram;
  std::vector<std::uint16_t> Words;
  int PulseFactor = 0;
  int MaxPulses = 0;
  int PulseExtra = 0;
  // 1: the configuration word (the eighth of eight words) takes the Config* values instead.
  int ConfigWordSpecial = 0;
  int ConfigPulseFactor = 0;
  int ConfigMaxPulses = 0;
  int ConfigPulseExtra = 0;
  std::uint32_t Mask = 0x3FFF;
  bool VerifyDuringProgramming = false;

 private:
  void Body() override;
  // One programming pulse of 100 µs with the word loaded.
  void ProgramPulse(PicSerial& link, std::uint16_t word);
  PicTiming timing_;
};

// ---- The PIC operations as the operation driver sets them up ----

// The device ID word's place in the configuration area (2006h).
inline constexpr int kPicDeviceIdIndex = 6;

// The configuration word gets exactly this many pulses on 14-bit EPROM parts.
inline constexpr int kConfigWordPulses = 100;

// Words of program memory shown in progress texts: the four ID words after a 12-bit part's
// program memory are read and programmed but not counted.
int PicCodeCountShown(const DeviceDescriptor& device);
// Index of the factory oscillator calibration word: the last program word.
int PicCalibrationIndex(const DeviceDescriptor& device);
// A code word as read into the code buffer: the parity bits dropped (parity parts) and masked
// to the core.
std::uint16_t PicCodeWord(const DeviceDescriptor& device, std::uint16_t received);
// A configuration-area word as read into the configuration area: unmasked, but without the
// parity bits of a parity part, so the configuration box sees the configuration word.
std::uint16_t PicConfigAreaWord(const DeviceDescriptor& device, std::uint16_t received);
// A data memory word as read into the data buffer: the data byte.
std::uint16_t PicDataByte(std::uint16_t received);

std::unique_ptr<TProgthread> PicCodeReader(const DeviceDescriptor& device, const LineContext& lines,
                                           const PicTiming& timing);
std::unique_ptr<TProgthread> PicDataReader(const DeviceDescriptor& device, const LineContext& lines,
                                           const PicTiming& timing);
std::unique_ptr<TProgthread> PicConfigReader(const DeviceDescriptor& device,
                                             const LineContext& lines, const PicTiming& timing);
// Program memory from the slot's code buffer: TOverProgThread on EPROM parts, TProgramThread
// otherwise. `skipErased`: the part has just been erased (flash parts only).
std::unique_ptr<OperationWorker> PicCodeProgrammer(const DeviceDescriptor& device,
                                                   const LineContext& lines,
                                                   const PicTiming& timing, const BufferSlot& slot,
                                                   bool verify, bool skipErased = false);
std::unique_ptr<TProgramThread> PicDataProgrammer(const DeviceDescriptor& device,
                                                  const LineContext& lines, const PicTiming& timing,
                                                  const BufferSlot& slot, bool verify,
                                                  bool skipErased = false);
// The configuration area from the slot, never verified as it goes.
std::unique_ptr<OperationWorker> PicConfigProgrammer(const DeviceDescriptor& device,
                                                     const LineContext& lines,
                                                     const PicTiming& timing,
                                                     const BufferSlot& slot);

}  // namespace kestrum
