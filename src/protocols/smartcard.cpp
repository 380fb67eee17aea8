// SPDX-License-Identifier: GPL-3.0-or-later
// The card reader's byte stream: reset, command blocks, and the two workers.
#include "protocols/smartcard.hpp"

#include <algorithm>

#include "protocols/family_driver.hpp"
#include "protocols/texts.hpp"

namespace kestrum {

std::string CardFailureText(CardOutcome outcome, bool reading, int address) {
  switch (outcome) {
    case CardOutcome::ResetFailed:
      return std::string(text::kResettingCardFailed);
    case CardOutcome::NotSupported:
      return std::string(reading ? text::kReadNotSupported : text::kProgrammingNotSupported);
    case CardOutcome::NoAnswer:
      return AddressText(text::kCardNoAnswer, address);
    case CardOutcome::Done:
      break;
  }
  return {};
}

TSmartcardThread::TSmartcardThread(const LineContext& lines, int count)
    : OperationWorker(lines, count), ProgressMax(count - 1) {
  // The reader hangs on the serial port of the hardware settings, whatever the programmer.
  lines_.Settings().CardReader = true;
}

bool TSmartcardThread::Fail(CardOutcome outcome, int address) {
  Outcome = outcome;
  FailAddress = address;
  return false;
}

bool TSmartcardThread::SmartcardReset() {
  port_->SetLineFormat(
      LineFormat{.baud = card::kBaud, .dataBits = 8, .parity = Parity::None, .stopBits = 1});
  port_->SetRts(false);
  port_->SetRts(true);
  lines_.SleepMs(card::kResetPulseMs);
  port_->SetRts(false);
  // The answer is not looked at; the card must send at least 11 bytes of it.
  std::uint8_t unused = 0;
  for (int i = 0; i < card::kAnswerToResetBytes; ++i) {
    if (!port_->ReadByte(unused, card::kByteTimeoutMs)) return false;
  }
  return true;
}

bool TSmartcardThread::Start(const std::string& phase) {
  Ui& ui = lines_.ui();
  ui.SetProgressText(text::kResettingSmartcard);
  ui.SetProgressRange(0, ProgressMax);
  ui.SetProgressPosition(0);
  if (!OpenPort()) return false;
  port_ = lines_.OpenedPort();
  if (!SmartcardReset()) {
    Fail(CardOutcome::ResetFailed, 0);
    Finish();
    return false;
  }
  lines_.SleepMs(card::kAfterResetMs);
  ui.SetProgressText(phase);
  // Cancel pressed while the card was reset: no block is begun.
  if (StopRequested()) {
    Finish();
    return false;
  }
  return true;
}

void TSmartcardThread::Finish() {
  port_ = nullptr;
  lines_.ClosePort();
  ProgressDone();
}

bool TSmartcardThread::Receive(std::uint8_t& value, int address) {
  if (!port_->ReadByte(value, card::kByteTimeoutMs)) return Fail(CardOutcome::NoAnswer, address);
  value = CorrectData(value);
  return true;
}

bool TSmartcardThread::Send(std::uint8_t value, int address) {
  port_->WriteByte(CorrectData(value));
  std::uint8_t echo = 0;
  // The half-duplex line gives every byte back; without it, nothing is listening.
  if (!port_->ReadByte(echo, card::kByteTimeoutMs)) return Fail(CardOutcome::NoAnswer, address);
  return true;
}

bool TSmartcardThread::Command(std::uint8_t instruction, int address) {
  const std::uint8_t header[] = {card::kClass, instruction, static_cast<std::uint8_t>(address >> 8),
                                 static_cast<std::uint8_t>(address), card::kBlockBytes};
  for (std::uint8_t byte : header) {
    if (!Send(byte, address)) return false;
  }
  std::uint8_t procedure = 0;
  if (!Receive(procedure, address)) return false;
  if (procedure != instruction) return Fail(CardOutcome::NotSupported, address);
  return true;
}

bool TSmartcardThread::Status(int address) {
  std::uint8_t unused = 0;
  for (int i = 0; i < card::kStatusBytes; ++i) {
    if (!Receive(unused, address)) return false;
  }
  return true;
}

TSmartcardReadThread::TSmartcardReadThread(const LineContext& lines, int count)
    : TSmartcardThread(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TSmartcardReadThread::Body() {
  if (!Start(PhaseText(text::kReadingCode, Count))) return;
  for (int b = 0; b < Blocks(); ++b) {
    const int address = b * card::kBlockBytes;
    if (!Command(card::kRead, address)) break;
    bool whole = true;
    for (int k = 0; k < card::kBlockBytes && whole; ++k) {
      std::uint8_t value = 0;
      whole = Receive(value, address + k);
      if (!whole) break;
      Words[static_cast<std::size_t>(address + k)] = value;
      Transferred = address + k + 1;
      ProgressAt(address + k);
    }
    if (!whole || !Status(address)) break;
    if (StopRequested()) break;
  }
  Finish();
}

TSmartcardProgThread::TSmartcardProgThread(const LineContext& lines, int count)
    : TSmartcardThread(lines, count), Words(static_cast<std::size_t>(std::max(count, 0))) {}

void TSmartcardProgThread::Body() {
  if (!Start(PhaseText(text::kProgrammingCode, Count))) return;
  for (int b = 0; b < Blocks(); ++b) {
    const int address = b * card::kBlockBytes;
    if (!Command(card::kWrite, address)) break;
    bool whole = true;
    for (int k = 0; k < card::kBlockBytes && whole; ++k) {
      whole = Send(static_cast<std::uint8_t>(Words[static_cast<std::size_t>(address + k)]),
                   address + k);
      if (whole) ProgressAt(address + k);
    }
    // The status bytes come once the card has stored the block.
    if (!whole || !Status(address)) break;
    Transferred = address + card::kBlockBytes;
    if (StopRequested()) break;
  }
  Finish();
}

std::unique_ptr<TSmartcardProgThread> CardWriter(const LineContext& lines, const BufferSlot& slot,
                                                 int count) {
  auto worker = std::make_unique<TSmartcardProgThread>(lines, count);
  std::copy_n(slot.CodeBuffer.begin(),
              std::min<std::size_t>(worker->Words.size(), slot.CodeBuffer.size()),
              worker->Words.begin());
  return worker;
}

std::unique_ptr<TSmartcardProgThread> ProgramCard(const LineContext& lines,
                                                  const BufferSlot& slot) {
  auto worker = CardWriter(lines, slot, card::kProgramCardBytes);
  worker->ProgressMax = card::kProgramCardBytes;
  return worker;
}

}  // namespace kestrum
