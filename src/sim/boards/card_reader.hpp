// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual smartcard reader on a serial port, the simple kind with no processor: the PC's
// TXD and RXD both meet the card's I/O contact, so every byte the PC sends comes back as its
// echo (half duplex), RTS holds the card in reset while it is set, and an oscillator clocks
// the card at 3.579545 MHz. The PC's UART is modelled at the rate of its line format (9600 baud
// for the card), with every bit edge of a frame placed from the frame's start, so its timing
// does not drift; its receiver finds start bits on the line and samples mid-bit, as a UART
// does, and keeps what it received until the PC reads it. The card runs in the same virtual
// time, as far as the PC's clock has come, whenever the PC touches the port.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "hardware/clock.hpp"
#include "hardware/port.hpp"
#include "sim/chips/smartcard.hpp"

namespace kestrum {

// Virtual time each system call on the reader's port costs.
inline constexpr std::int64_t kReaderCallUs = 1;

class CardReader final : private CardIoListener {
 public:
  explicit CardReader(Clock& clock);
  CardReader(const CardReader&) = delete;
  CardReader& operator=(const CardReader&) = delete;

  // A card in the slot (powered at once, in reset while RTS is set), or none. A card taken
  // out of a reader that is gone is not run again until it is inserted in one.
  void Insert(Smartcard* card);
  Smartcard* Card() const { return card_; }

  // The port's side.
  void PortOpened();  // opening a tty raises DTR and RTS
  void SetRts(bool on);
  void SetDtr(bool on);
  void SetLineFormat(const LineFormat& format);
  void WriteByte(std::uint8_t value);
  bool ReadByte(std::uint8_t& value, int timeoutMs);

  // A character the PC's receiver took from the line.
  struct Character {
    std::int64_t tick;  // its start bit
    std::uint8_t value;
    bool fromCard;  // the card pulled the line during it (else it was the PC's echo)
    bool framingError;
  };
  const std::vector<Character>& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  bool ResetHeld() const { return rts_; }
  int BitTicks() const;  // rounded, for tests

 private:
  void CardIo(bool pulledLow, std::int64_t tick) override;
  std::int64_t Now();  // catches up with the clock
  void AdvanceTo(std::int64_t tick, bool stopOnByte);
  std::int64_t EdgeTick(int edge) const;  // of the front frame
  int FrameBits() const { return 1 + dataBits_ + (parity_ != Parity::None ? 1 : 0) + stopBits_; }
  bool TxBitLevel(std::uint8_t value, int bit) const;
  void ApplyTxEdge(std::int64_t tick);
  void LineChanged(std::int64_t tick);
  void SampleUpTo(std::int64_t tick);
  std::int64_t SampleTick(int bit) const;
  void EndCall();

  Clock& clock_;
  Smartcard* card_ = nullptr;
  std::int64_t now_;  // simulated up to here, in card clock ticks
  bool rts_ = false;
  bool dtr_ = false;
  int baud_ = 9600;
  int dataBits_ = 8;
  Parity parity_ = Parity::None;
  int stopBits_ = 1;

  // The PC's transmitter: frames back to back from txStart_, the front one after txBits_ bits
  // of the frames before it, so edges are placed from the first frame of a run and its
  // rounding to the card clock does not add up.
  std::deque<std::uint8_t> tx_;
  std::int64_t txStart_ = 0;
  std::int64_t txBits_ = 0;
  int txEdge_ = 0;  // the next bit edge of the front frame
  bool txHigh_ = true;

  // The PC's receiver.
  bool line_ = true;
  bool receiving_ = false;
  std::int64_t rxStart_ = 0;
  int rxBit_ = 0;  // the next bit to sample: 0 start, then data, parity, stop
  std::uint16_t rxShift_ = 0;
  bool rxFromCard_ = false;
  bool stopOnByte_ = false;
  std::deque<std::uint8_t> input_;
  std::deque<std::int64_t> inputTicks_;
  std::vector<Character> received_;
};

}  // namespace kestrum
