// SPDX-License-Identifier: GPL-3.0-or-later
// Microwire (93Cxx) and 4-wire (59Cxx) EEPROMs of 16-bit words: the four workers that read and
// program them word by word. MCLR is the chip select; every instruction is a start bit and its
// opcode, the address field and, for writes, the data word, most significant bit first. The
// device is write-enabled once per run; a Microwire part reports the end of each write on its
// data output, a 4-wire part is given a fixed write time. With WriteOnlyDiffers the programming
// workers read each word first and pass over those that hold their value already: a read costs
// a few hundred microseconds of bus time, a write cycle milliseconds.
#pragma once

#include <cstdint>
#include <vector>

#include "hardware/line_context.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

// Start bit and opcode, sent as one group before the address field.
namespace microwire {
inline constexpr std::uint8_t kRead = 0b110;
inline constexpr std::uint8_t kWrite = 0b101;
inline constexpr std::uint8_t kEwen = 0b100;  // address field all ones
inline constexpr int kInstructionBits = 3;
}  // namespace microwire
namespace fourwire {
inline constexpr std::uint8_t kRead = 0b11000;
inline constexpr std::uint8_t kWrite = 0b10100;
inline constexpr std::uint8_t kEwen = 0b10011;  // address field all zeros
inline constexpr int kInstructionBits = 5;
}  // namespace fourwire

// Waits of the protocol.
inline constexpr int kEepromPowerUpMs = 100;      // after power on, and after selecting
inline constexpr int kEepromSelectWaitUs = 100;   // around each instruction
inline constexpr int kEepromEndSettleMs = 500;    // before power goes off
inline constexpr int kMicrowireWriteStartMs = 2;  // after the deselect that starts a write
inline constexpr int kMicrowireReadyPollUs = 100;
inline constexpr int kFourWireWriteMs = 10;
// A Microwire part that has not reported ready this long after a write is missing or broken
// (the parts take at most 10 ms); the run stops there.
inline constexpr int kMicrowireReadyLimitMs = 100;

// The address field: log2 of the word count, plus the part's extra don't-care bits
// (AddressWidthAdjust, Microwire parts only).
int EepromAddressBits(int count, int addressWidthAdjust = 0);
// The extra address bits of a Microwire part from its Variant: 1 for variant 1, 2 for variant 2.
int MicrowireAddressWidthAdjust(int variant);

class TMicroReadThread final : public OperationWorker {
 public:
  TMicroReadThread(const LineContext& lines, int count, int addressWidthAdjust);

  const int AddressWidthAdjust;
  std::vector<std::uint16_t> Words;  // 0 after a cancelled read's last word

 private:
  void Body() override;
};

// Writes every word, waiting after each for the part's ready signal. A part that never
// reports ready stops the run: Failed and NotReady are set and FailAddress is the word.
class TMicroProgThread final : public OperationWorker {
 public:
  TMicroProgThread(const LineContext& lines, int count, int addressWidthAdjust);

  const int AddressWidthAdjust;
  std::vector<std::uint16_t> Words;
  bool WriteOnlyDiffers = false;
  bool NotReady = false;

 private:
  void Body() override;
};

class TWire4ReadThread final : public OperationWorker {
 public:
  TWire4ReadThread(const LineContext& lines, int count);

  std::vector<std::uint16_t> Words;

 private:
  void Body() override;
};

class TWire4ProgThread final : public OperationWorker {
 public:
  TWire4ProgThread(const LineContext& lines, int count);

  std::vector<std::uint16_t> Words;
  bool WriteOnlyDiffers = false;

 private:
  void Body() override;
};

}  // namespace kestrum
