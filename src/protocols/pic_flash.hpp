// SPDX-License-Identifier: GPL-3.0-or-later
// Serial programming of the mid-range flash PICs that came after the first catalogue: the
// 16F627A/628A/648A, 16F87/88, 12F629/675 and 16F873A..877A. They share the frames of the
// classic parts but give the command codes their own meanings, so each family is one row here
// (which begin and end commands write program memory, data memory and the configuration area,
// how many words one write takes, which erase clears code protection), and the sequences are
// small strategies over the rows, run as sessions of one programming mode each.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "device/device_descriptor.hpp"
#include "protocols/operation_worker.hpp"
#include "protocols/pic_serial.hpp"

namespace kestrum {

namespace pic {
inline constexpr std::uint16_t kBeginProgrammingOnly18 = 0x0618;
inline constexpr std::uint16_t kEndProgramming0A = 0x060A;
inline constexpr std::uint16_t kEndProgramming17 = 0x0617;
inline constexpr std::uint16_t kBulkEraseProgram = 0x0609;
inline constexpr std::uint16_t kBulkEraseData = 0x060B;
inline constexpr std::uint16_t kChipErase = 0x061F;
}  // namespace pic

// One write cycle: its begin command, and its end command where the host times it (0: the part
// times it itself).
struct PicCycle {
  std::uint16_t Begin = 0;
  std::uint16_t End = 0;
};

enum class PicEraseKind : std::uint8_t {
  // Load Configuration, then Bulk Erase Program (and Data): from configuration space the part
  // clears its protection with everything else.
  BulkFromConfiguration,
  // Load Configuration, then Chip Erase: the one command that clears code protection.
  ChipErase,
};

struct PicFamilyRow {
  PicAlgorithm Algorithm;
  bool VppFirst;    // VPP before VDD (on programmers that switch VDD)
  int LatchWords;   // program-memory words one write takes
  PicCycle Code;    // program memory
  PicCycle Data;    // a data EEPROM byte
  PicCycle Config;  // an ID word or a configuration word
  PicEraseKind Erase;
  bool EraseLoadsBlank;  // Load Data 3FFFh before the bulk erase
  bool EraseDataAlone;   // Bulk Erase Data follows Bulk Erase Program
  bool Calibration;      // OSCCAL word and bandgap bits to keep
};

// The row of a mid-range flash algorithm; null for the classic parts.
const PicFamilyRow* PicFamilyRowOf(PicAlgorithm algorithm);

// The timing of the family's sessions on `lines`: VPP first where the part asks and the
// programmer switches VDD, the short settle, no read settle.
PicTiming PicFlashTiming(const PicTiming& base, const PicFamilyRow& row, const LineContext& lines);

// The 12F629/675 OSCCAL word must be a RETLW k (11 01kk kkkk kkkk).
inline bool IsRetlw(std::uint16_t word) {
  return (word & 0x3C00) == 0x3400;
}
inline constexpr int kBandgapShift = 12;
inline constexpr std::uint16_t kBandgapBits = 0x3000;

// One programming-mode session: enters the mode, runs its steps, leaves it. The steps see
// the session (progress, Cancel, the words they read or write) and the frames.
class TPicSession final : public OperationWorker {
 public:
  using Steps = std::function<void(TPicSession& session, PicSerial& link)>;
  TPicSession(const LineContext& lines, const PicTiming& timing, int count, Steps steps);

  std::vector<std::uint16_t> Words;  // what the steps read, or were given to write

  // For the steps.
  void At(int index) { ProgressAt(index); }
  bool Stop() const { return StopRequested(); }
  LineContext& Line() { return lines_; }

 private:
  void Body() override;
  PicTiming timing_;
  Steps steps_;
};

// The sessions of the mid-range families. Waits come from the device's `Waits`.
//
// Erase: the family's erase that also clears code and data protection.
std::unique_ptr<TPicSession> PicFlashEraser(const DeviceDescriptor& device,
                                            const LineContext& lines, const PicTiming& timing);
// Program memory from `words` (CodeSize of them), a latch at a time; verifying each word as
// it goes where a write takes one word. `skipErased`: the part has just been erased, so a
// latch block (or data byte) of the erased value is stepped over without a write cycle.
std::unique_ptr<TPicSession> PicFlashCodeWriter(const DeviceDescriptor& device,
                                                const LineContext& lines, const PicTiming& timing,
                                                std::span<const std::uint16_t> words, bool verify,
                                                bool skipErased = false);
std::unique_ptr<TPicSession> PicFlashDataWriter(const DeviceDescriptor& device,
                                                const LineContext& lines, const PicTiming& timing,
                                                std::span<const std::uint16_t> bytes, bool verify,
                                                bool skipErased = false);
// The ID words and the configuration words from a configuration area laid out from 2000h.
std::unique_ptr<TPicSession> PicFlashConfigWriter(const DeviceDescriptor& device,
                                                  const LineContext& lines, const PicTiming& timing,
                                                  std::span<const std::uint16_t> area);
// The last program word and the configuration word, in Words[0] and Words[1].
std::unique_ptr<TPicSession> PicCalibrationReader(const DeviceDescriptor& device,
                                                  const LineContext& lines,
                                                  const PicTiming& timing);
// After an erase: the OSCCAL word back into 3FFh, the bandgap bits into an erased
// configuration word.
std::unique_ptr<TPicSession> PicCalibrationWriter(const DeviceDescriptor& device,
                                                  const LineContext& lines, const PicTiming& timing,
                                                  std::uint16_t osccal, std::uint16_t bandgapBits);

}  // namespace kestrum
