// SPDX-License-Identifier: GPL-3.0-or-later
// Smartcards through a serial card reader: the card's boot loader moves the bytes of its
// EEPROM as a 9600-baud byte stream. The reader is reset with RTS and the card answers with
// at least 11 bytes; then every block of 8 bytes is one command: a 5-byte header (class CA,
// instruction 21 read or 20 write, the address, the length), each byte followed by its echo
// from the half-duplex line; the procedure byte, which must repeat the instruction; the 8 data
// bytes (a written byte is echoed too); and 2 status bytes. Every byte on the line is in the
// card's convention (CorrectData) and the echoes are dropped as they are.
//
// The workers run the reader traffic on their own thread, as every protocol does; they stop
// after the block in progress on Cancel, and at the first byte the card does not send.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "buffers/buffer_set.hpp"
#include "hardware/line_context.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace card {
inline constexpr int kBaud = 9600;
inline constexpr int kAnswerToResetBytes = 11;
inline constexpr int kByteTimeoutMs = 1500;
inline constexpr int kBlockBytes = 8;
inline constexpr int kStatusBytes = 2;
inline constexpr std::uint8_t kClass = 0xCA;
inline constexpr std::uint8_t kRead = 0x21;
inline constexpr std::uint8_t kWrite = 0x20;
// After the answer to reset the card is given this long before the first header.
inline constexpr int kAfterResetMs = 1000;
// RTS is held set this long for the reset (the PIC needs 2 µs on MCLR; two system calls can
// follow each other faster than that).
inline constexpr int kResetPulseMs = 1;
// The wizard's card write: a whole 24C16.
inline constexpr int kProgramCardBytes = 2048;
}  // namespace card

// The card's byte convention: bit order reversed, then every bit inverted. Its own inverse.
constexpr std::uint8_t CorrectData(std::uint8_t value) {
  std::uint8_t reversed = 0;
  for (int i = 0; i < 8; ++i) {
    reversed = static_cast<std::uint8_t>(reversed | (((value >> i) & 1) << (7 - i)));
  }
  return static_cast<std::uint8_t>(~reversed);
}

// How a card transfer ended.
enum class CardOutcome {
  Done,          // every block moved, or Cancel after a whole block
  ResetFailed,   // fewer than 11 bytes answered the reset
  NotSupported,  // a procedure byte other than the instruction
  NoAnswer,      // a byte the card (or the reader's echo) never sent
};

// The message for an outcome other than Done ("Resetting card failed!", ...).
std::string CardFailureText(CardOutcome outcome, bool reading, int address);

// The reader's side both workers share: reset, headers, bytes with their timeout.
class TSmartcardThread : public OperationWorker {
 public:
  // How it ended; FailAddress holds the element where a failure stopped it.
  CardOutcome Outcome = CardOutcome::Done;
  // Elements moved: read and stored, or written in blocks whose status bytes came.
  int Transferred = 0;
  // The progress bar's maximum during the transfer.
  int ProgressMax = 0;

 protected:
  TSmartcardThread(const LineContext& lines, int count);
  // Opens the reader's port and resets the card, then shows `phase`; false when the port did
  // not open (PortFailed), the card did not answer (Outcome), or Cancel came first; the port
  // is closed again then.
  bool Start(const std::string& phase);
  void Finish();
  // A header for the block at `address`, with the echoes; then the procedure byte, which
  // must be `instruction`. False (Outcome set) otherwise.
  bool Command(std::uint8_t instruction, int address);
  // One byte from the card, converted; false (NoAnswer at `address`) when none came.
  bool Receive(std::uint8_t& value, int address);
  // One byte to the card, converted, and its echo.
  bool Send(std::uint8_t value, int address);
  bool Status(int address);
  int Blocks() const { return Count / card::kBlockBytes; }

 private:
  bool SmartcardReset();
  bool Fail(CardOutcome outcome, int address);
  Port* port_ = nullptr;
};

// Card read: `Count` bytes into Words.
class TSmartcardReadThread final : public TSmartcardThread {
 public:
  TSmartcardReadThread(const LineContext& lines, int count);
  std::vector<std::uint16_t> Words;

 private:
  void Body() override;
};

// Card write: `Count` bytes from Words (their low bytes).
class TSmartcardProgThread final : public TSmartcardThread {
 public:
  TSmartcardProgThread(const LineContext& lines, int count);
  std::vector<std::uint16_t> Words;

 private:
  void Body() override;
};

// The card write of Program All: the slot's first `count` code elements.
std::unique_ptr<TSmartcardProgThread> CardWriter(const LineContext& lines, const BufferSlot& slot,
                                                 int count);
// `ProgramCard`, the wizard's card write: always 2048 bytes (256 blocks) from the code buffer.
std::unique_ptr<TSmartcardProgThread> ProgramCard(const LineContext& lines, const BufferSlot& slot);

}  // namespace kestrum
