// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual smartcard reader: the PC's UART on the card's I/O line, in virtual time.
#include "sim/boards/card_reader.hpp"

#include <algorithm>

namespace kestrum {

CardReader::CardReader(Clock& clock) : clock_(clock), now_(CardTicksFromUs(clock.nowUs())) {}

void CardReader::Insert(Smartcard* card) {
  Now();
  if (card_) {
    card_->PowerOff(now_);
    card_->SetListener(nullptr);
  }
  card_ = card;
  if (card_) {
    card_->SetListener(this);
    card_->PowerOn(rts_, now_);
  }
  LineChanged(now_);
}

int CardReader::BitTicks() const {
  return static_cast<int>((kCardClockHz + baud_ / 2) / baud_);
}

std::int64_t CardReader::Now() {
  AdvanceTo(CardTicksFromUs(clock_.nowUs()), false);
  return now_;
}

void CardReader::EndCall() {
  clock_.delayUs(kReaderCallUs);
}

// --- the port's side ---

void CardReader::PortOpened() {
  Now();
  rts_ = true;
  dtr_ = true;
  if (card_) card_->SetReset(true, now_);
  EndCall();
}

void CardReader::SetRts(bool on) {
  Now();
  rts_ = on;
  if (card_) card_->SetReset(on, now_);
  EndCall();
}

void CardReader::SetDtr(bool on) {
  Now();
  dtr_ = on;
  EndCall();
}

void CardReader::SetLineFormat(const LineFormat& format) {
  Now();
  if (format.baud > 0) baud_ = format.baud;
  dataBits_ = std::clamp(format.dataBits, 5, 8);
  parity_ = format.parity;
  stopBits_ = format.stopBits == 2 ? 2 : 1;
  EndCall();
}

void CardReader::WriteByte(std::uint8_t value) {
  Now();
  tx_.push_back(value);
  if (tx_.size() == 1) {
    // The transmitter was idle: the start bit goes out now.
    txStart_ = now_;
    txBits_ = 0;
    txEdge_ = 0;
    ApplyTxEdge(now_);
  }
  EndCall();
}

bool CardReader::ReadByte(std::uint8_t& value, int timeoutMs) {
  const std::int64_t deadlineUs = clock_.nowUs() + std::int64_t{timeoutMs} * 1000;
  Now();
  if (input_.empty()) AdvanceTo(CardTicksFromUs(deadlineUs), true);
  if (input_.empty()) {
    clock_.delayUs(deadlineUs - clock_.nowUs());
    EndCall();
    return false;
  }
  value = input_.front();
  // The byte is there once its stop bit has been sampled.
  const std::int64_t atUs = UsCeilFromCardTicks(inputTicks_.front());
  input_.pop_front();
  inputTicks_.pop_front();
  clock_.delayUs(atUs - clock_.nowUs());
  EndCall();
  return true;
}

// --- the line in time ---

std::int64_t CardReader::EdgeTick(int edge) const {
  return txStart_ + ((txBits_ + edge) * kCardClockHz + baud_ / 2) / baud_;
}

bool CardReader::TxBitLevel(std::uint8_t value, int bit) const {
  if (bit == 0) return false;  // start bit
  if (bit <= dataBits_) return (value >> (bit - 1)) & 1;
  if (parity_ != Parity::None && bit == dataBits_ + 1) {
    int ones = 0;
    for (int i = 0; i < dataBits_; ++i) ones += (value >> i) & 1;
    return parity_ == Parity::Even ? (ones & 1) != 0 : (ones & 1) == 0;
  }
  return true;  // stop bits
}

void CardReader::ApplyTxEdge(std::int64_t tick) {
  if (txEdge_ == FrameBits()) {
    tx_.pop_front();
    if (tx_.empty()) {
      txHigh_ = true;
      LineChanged(tick);
      return;
    }
    txBits_ += FrameBits();  // the next frame follows at once
    txEdge_ = 0;
  }
  txHigh_ = TxBitLevel(tx_.front(), txEdge_);
  ++txEdge_;
  LineChanged(tick);
}

void CardReader::CardIo(bool pulledLow, std::int64_t tick) {
  LineChanged(tick);
  if (pulledLow && receiving_) rxFromCard_ = true;
}

std::int64_t CardReader::SampleTick(int bit) const {
  // Mid-bit, counted from the start edge.
  return rxStart_ + ((2 * std::int64_t{bit} + 1) * kCardClockHz + baud_) / (2 * baud_);
}

void CardReader::LineChanged(std::int64_t tick) {
  const bool high = txHigh_ && !(card_ && card_->IoPulledLow());
  if (high == line_) return;
  SampleUpTo(tick);
  line_ = high;
  if (!receiving_ && !line_) {
    receiving_ = true;
    rxStart_ = tick;
    rxBit_ = 0;
    rxShift_ = 0;
    rxFromCard_ = card_ && card_->IoPulledLow();
    // A card sending: its run ends when this character is complete, so a PC waiting for a
    // byte gets it at its time.
    if (stopOnByte_ && card_) {
      card_->StopAt(SampleTick(1 + dataBits_ + (parity_ != Parity::None ? 1 : 0)));
    }
  }
}

void CardReader::SampleUpTo(std::int64_t tick) {
  const int firstStop = 1 + dataBits_ + (parity_ != Parity::None ? 1 : 0);
  while (receiving_ && SampleTick(rxBit_) <= tick) {
    const int bit = rxBit_++;
    if (bit == 0) {
      if (line_) receiving_ = false;  // a glitch, not a start bit
    } else if (bit <= dataBits_) {
      if (line_) rxShift_ = static_cast<std::uint16_t>(rxShift_ | (1u << (bit - 1)));
    } else if (bit == firstStop) {
      // A framing error still delivers the byte, as a tty without input checking does.
      const auto value = static_cast<std::uint8_t>(rxShift_);
      input_.push_back(value);
      inputTicks_.push_back(SampleTick(bit));
      received_.push_back({rxStart_, value, rxFromCard_, !line_});
      receiving_ = false;
    }
  }
}

void CardReader::AdvanceTo(std::int64_t tick, bool stopOnByte) {
  stopOnByte_ = stopOnByte;
  const int firstStop = 1 + dataBits_ + (parity_ != Parity::None ? 1 : 0);
  while (now_ < tick) {
    std::int64_t next = tick;
    if (!tx_.empty()) next = std::min(next, EdgeTick(txEdge_));
    if (stopOnByte && receiving_) next = std::min(next, SampleTick(firstStop));
    if (card_) card_->RunUntil(next, txHigh_);
    // A character the card began during the run ended the run at its stop bit.
    if (stopOnByte && receiving_) next = std::min(next, SampleTick(firstStop));
    now_ = next;
    SampleUpTo(now_);
    while (!tx_.empty() && EdgeTick(txEdge_) <= now_) ApplyTxEdge(EdgeTick(txEdge_));
    if (stopOnByte && !input_.empty()) break;
  }
  stopOnByte_ = false;
}

}  // namespace kestrum
