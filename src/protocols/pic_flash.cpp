// SPDX-License-Identifier: GPL-3.0-or-later
// The mid-range flash PICs: family rows and the sessions built on them.
#include "protocols/pic_flash.hpp"

#include <algorithm>
#include <array>

namespace kestrum {
namespace {

using enum PicAlgorithm;

// Command meanings from DS41196G, DS39607B, DS41191D and DS39589B. Program memory is written
// after an erase, so the program-only cycles serve (the 16F87xA's 18h with its 8-word latch);
// its data bytes and configuration words take the erase-and-write 08h.
constexpr std::array kRows = {
    PicFamilyRow{.Algorithm = F62xA,
                 .VppFirst = true,
                 .LatchWords = 1,
                 .Code = {pic::kBeginProgramming, 0},
                 .Data = {pic::kBeginProgramming, 0},
                 .Config = {pic::kBeginProgramming, 0},
                 .Erase = PicEraseKind::BulkFromConfiguration,
                 .EraseLoadsBlank = true,
                 .EraseDataAlone = true,
                 .Calibration = false},
    PicFamilyRow{.Algorithm = F8x8,
                 .VppFirst = false,
                 .LatchWords = 4,
                 .Code = {pic::kBeginProgrammingOnly18, pic::kEndProgramming17},
                 .Data = {pic::kBeginProgrammingOnly18, pic::kEndProgramming17},
                 .Config = {pic::kBeginProgrammingOnly18, pic::kEndProgramming17},
                 .Erase = PicEraseKind::ChipErase,
                 .EraseLoadsBlank = false,
                 .EraseDataAlone = false,
                 .Calibration = false},
    PicFamilyRow{.Algorithm = F6xx,
                 .VppFirst = true,
                 .LatchWords = 1,
                 .Code = {pic::kBeginProgramming, 0},
                 .Data = {pic::kBeginProgramming, 0},
                 .Config = {pic::kBeginProgramming, 0},
                 .Erase = PicEraseKind::BulkFromConfiguration,
                 .EraseLoadsBlank = false,
                 .EraseDataAlone = true,
                 .Calibration = true},
    PicFamilyRow{.Algorithm = F87xA,
                 .VppFirst = false,
                 .LatchWords = 8,
                 .Code = {pic::kBeginProgrammingOnly18, pic::kEndProgramming17},
                 .Data = {pic::kBeginProgramming, 0},
                 .Config = {pic::kBeginProgramming, 0},
                 .Erase = PicEraseKind::ChipErase,
                 .EraseLoadsBlank = false,
                 .EraseDataAlone = false,
                 .Calibration = false},
};

constexpr int kIdWords = 4;
constexpr int kConfigWordIndex = 7;

const PicFamilyRow& RowFor(const DeviceDescriptor& device) {
  return *PicFamilyRowOf(device.Algorithm);
}

// One write cycle: begin, the part's time, and the end where the host times it.
// A write or erase time of milliseconds is slept, its rest waited out: a busy wait that long
// loses the processor to other work and ends late.
void Wait(PicSerial& link, int us) {
  if (us >= 1000) link.Lines().SleepMs(us / 1000);
  link.Lines().DelayMicroseconds(us % 1000);
}

void Cycle(PicSerial& link, const PicCycle& cycle, int waitUs) {
  link.PicCommand(cycle.Begin, 0);
  Wait(link, waitUs);
  if (cycle.End != 0) link.PicCommand(cycle.End, 0);
}

void Increments(PicSerial& link, int n) {
  for (int i = 0; i < n; ++i) link.PicCommand(pic::kIncrementAddress, 0);
}

// Words [first, last] all hold what an erase leaves.
bool ErasedWords(const std::vector<std::uint16_t>& words, int first, int last) {
  return std::all_of(words.begin() + first, words.begin() + last + 1,
                     [](std::uint16_t w) { return (w & 0x3FFF) == 0x3FFF; });
}

// Configuration words take the data cycle's time where they share its command.
int ConfigWaitUs(const DeviceDescriptor& device, const PicFamilyRow& row) {
  return row.Config.Begin == row.Data.Begin && row.Config.End == row.Data.End &&
                 row.Config.Begin != row.Code.Begin
             ? device.Waits.DataUs
             : device.Waits.ProgramUs;
}

std::unique_ptr<TPicSession> Session(const LineContext& lines, const PicTiming& timing, int count,
                                     TPicSession::Steps steps) {
  return std::make_unique<TPicSession>(lines, timing, count, std::move(steps));
}

}  // namespace

const PicFamilyRow* PicFamilyRowOf(PicAlgorithm algorithm) {
  for (const PicFamilyRow& row : kRows) {
    if (row.Algorithm == algorithm) return &row;
  }
  return nullptr;
}

PicTiming PicFlashTiming(const PicTiming& base, const PicFamilyRow& row, const LineContext& lines) {
  PicTiming timing = base;
  // These parts need no settling beyond THLD0 (5 µs) and TDLY (1 µs); the margin lets VPP
  // rise through a programmer's switching transistor.
  timing.VppFirst = row.VppFirst && lines.SwitchesVcc();
  timing.EntrySettleUs = kFlashEntrySettleUs;
  timing.ReadSettleMs = 0;
  return timing;
}

TPicSession::TPicSession(const LineContext& lines, const PicTiming& timing, int count, Steps steps)
    : OperationWorker(lines, count),
      Words(static_cast<std::size_t>(std::max(count, 0))),
      timing_(timing),
      steps_(std::move(steps)) {}

void TPicSession::Body() {
  Failed = false;
  ProgressRange();
  if (!OpenPort()) return;
  EnterPicProgrammingMode(lines_, timing_, 20, 300);
  PicSerial link(lines_, timing_);
  steps_(*this, link);
  ProgressDone();
  LeavePicProgrammingMode(lines_);
}

std::unique_ptr<TPicSession> PicFlashEraser(const DeviceDescriptor& device,
                                            const LineContext& lines, const PicTiming& timing) {
  const PicFamilyRow& row = RowFor(device);
  const int waitUs = device.Waits.EraseUs;
  return Session(lines, timing, 1, [&row, waitUs](TPicSession&, PicSerial& link) {
    // From configuration space the erase takes the configuration word, and with it the
    // protection; from program space it would leave a protected part as it was.
    link.PicCommand(pic::kLoadConfiguration, 0x3FFF);
    if (row.Erase == PicEraseKind::ChipErase) {
      link.PicCommand(pic::kChipErase, 0);
      Wait(link, waitUs);
      return;
    }
    if (row.EraseLoadsBlank) link.PicCommand(pic::kLoadProgram, 0x3FFF);
    link.PicCommand(pic::kBulkEraseProgram, 0);
    Wait(link, waitUs);
    if (row.EraseDataAlone) {
      link.PicCommand(pic::kBulkEraseData, 0);
      Wait(link, waitUs);
    }
  });
}

std::unique_ptr<TPicSession> PicFlashCodeWriter(const DeviceDescriptor& device,
                                                const LineContext& lines, const PicTiming& timing,
                                                std::span<const std::uint16_t> words, bool verify,
                                                bool skipErased) {
  const PicFamilyRow& row = RowFor(device);
  const int waitUs = device.Waits.ProgramUs;
  auto session = Session(lines, timing, device.CodeSize,
                         [&row, waitUs, verify, skipErased](TPicSession& s, PicSerial& link) {
                           const int latch = row.LatchWords;
                           // The latch takes the words of its block, an increment between them; the
                           // write goes to the block the address counter is in.
                           for (int first = 0; first < s.Count; first += latch) {
                             s.At(first);
                             const int last = std::min(first + latch, s.Count) - 1;
                             // A block the erase left as it should be is stepped over.
                             if (skipErased && ErasedWords(s.Words, first, last)) {
                               Increments(link, last - first + 1);
                               if (s.Stop()) return;
                               continue;
                             }
                             for (int i = first; i <= last; ++i) {
                               if (i > first) link.PicCommand(pic::kIncrementAddress, 0);
                               link.PicCommand(pic::kLoadProgram, s.Words[i] & 0x3FFF);
                             }
                             Cycle(link, row.Code, waitUs);
                             // Only a one-word write leaves its word under the address counter to
                             // be read back.
                             if (verify && latch == 1 &&
                                 !link.Holds(pic::kReadProgram, s.Words[first] & 0x3FFF, 0x3FFF)) {
                               s.Failed = true;
                               s.FailAddress = first;
                               return;
                             }
                             link.PicCommand(pic::kIncrementAddress, 0);
                             if (s.Stop()) return;
                           }
                         });
  std::copy_n(words.begin(), std::min(words.size(), session->Words.size()), session->Words.begin());
  return session;
}

std::unique_ptr<TPicSession> PicFlashDataWriter(const DeviceDescriptor& device,
                                                const LineContext& lines, const PicTiming& timing,
                                                std::span<const std::uint16_t> bytes, bool verify,
                                                bool skipErased) {
  const PicFamilyRow& row = RowFor(device);
  const int waitUs = device.Waits.DataUs;
  auto session = Session(lines, timing, std::max(device.DataSize, 0),
                         [&row, waitUs, verify, skipErased](TPicSession& s, PicSerial& link) {
                           for (int i = 0; i < s.Count; ++i) {
                             s.At(i);
                             const std::uint16_t byte = s.Words[i] & 0xFF;
                             if (skipErased && byte == 0xFF) {
                               link.PicCommand(pic::kIncrementAddress, 0);
                               if (s.Stop()) return;
                               continue;
                             }
                             link.PicCommand(pic::kLoadData, byte);
                             Cycle(link, row.Data, waitUs);
                             if (verify && !link.Holds(pic::kReadData, byte, 0xFF)) {
                               s.Failed = true;
                               s.FailAddress = i;
                               return;
                             }
                             link.PicCommand(pic::kIncrementAddress, 0);
                             if (s.Stop()) return;
                           }
                         });
  std::copy_n(bytes.begin(), std::min(bytes.size(), session->Words.size()), session->Words.begin());
  return session;
}

std::unique_ptr<TPicSession> PicFlashConfigWriter(const DeviceDescriptor& device,
                                                  const LineContext& lines, const PicTiming& timing,
                                                  std::span<const std::uint16_t> area) {
  const PicFamilyRow& row = RowFor(device);
  const int waitUs = ConfigWaitUs(device, row);
  const int configWords = std::max(device.ConfigWords, 1);
  auto session =
      Session(lines, timing, kConfigWordIndex + configWords,
              [&row, waitUs, configWords](TPicSession& s, PicSerial& link) {
                // Load Configuration moves to 2000h; the ID words come first, the configuration
                // words last, so a protecting word cannot stop the others.
                link.PicCommand(pic::kLoadConfiguration, s.Words[0] & 0x3FFF);
                for (int i = 0; i < kIdWords; ++i) {
                  s.At(i);
                  link.PicCommand(pic::kLoadProgram, s.Words[i] & 0x3FFF);
                  Cycle(link, row.Config, waitUs);
                  link.PicCommand(pic::kIncrementAddress, 0);
                }
                Increments(link, kConfigWordIndex - kIdWords);
                for (int k = 0; k < configWords; ++k) {
                  s.At(kConfigWordIndex + k);
                  link.PicCommand(pic::kLoadProgram, s.Words[kConfigWordIndex + k] & 0x3FFF);
                  Cycle(link, row.Config, waitUs);
                  link.PicCommand(pic::kIncrementAddress, 0);
                }
              });
  std::copy_n(area.begin(), std::min(area.size(), session->Words.size()), session->Words.begin());
  return session;
}

std::unique_ptr<TPicSession> PicCalibrationReader(const DeviceDescriptor& device,
                                                  const LineContext& lines,
                                                  const PicTiming& timing) {
  const int last = device.CodeSize - 1;
  return Session(lines, timing, 2, [last](TPicSession& s, PicSerial& link) {
    Increments(link, last);
    link.PicCommand(pic::kReadProgram, pic::kRead);
    s.Words[0] = link.ReceivedWord() & 0x3FFF;
    link.PicCommand(pic::kLoadConfiguration, 0x3FFF);
    Increments(link, kConfigWordIndex);
    link.PicCommand(pic::kReadProgram, pic::kRead);
    s.Words[1] = link.ReceivedWord() & 0x3FFF;
  });
}

std::unique_ptr<TPicSession> PicCalibrationWriter(const DeviceDescriptor& device,
                                                  const LineContext& lines, const PicTiming& timing,
                                                  std::uint16_t osccal, std::uint16_t bandgapBits) {
  const PicFamilyRow& row = RowFor(device);
  const int last = device.CodeSize - 1;
  const int codeUs = device.Waits.ProgramUs;
  const int configUs = ConfigWaitUs(device, row);
  return Session(
      lines, timing, 1,
      [&row, last, codeUs, configUs, osccal, bandgapBits](TPicSession&, PicSerial& link) {
        Increments(link, last);
        link.PicCommand(pic::kLoadProgram, osccal);
        Cycle(link, row.Code, codeUs);
        link.PicCommand(pic::kLoadConfiguration, 0x3FFF);
        Increments(link, kConfigWordIndex);
        link.PicCommand(pic::kLoadProgram,
                        static_cast<std::uint16_t>((0x3FFF & ~kBandgapBits) | bandgapBits));
        Cycle(link, row.Config, configUs);
      });
}

}  // namespace kestrum
