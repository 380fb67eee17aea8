// SPDX-License-Identifier: GPL-3.0-or-later
// The 24Cxx I2C serial EEPROMs (24C01A to 24C512) as the parts behave on their pins: start and
// stop conditions, the device address byte with its block bits (24C04/08/16) or chip-select
// bits, one or two word-address bytes, acknowledges on the open-drain SDA output, the page
// buffer that wraps inside its page, sequential reads that run on across blocks and wrap at
// the end of memory, and the self-timed write cycle during which the part answers nothing.
//
// The 24LC1025 takes address bit 16 in its control byte and reads each 64 KiB block on its own.
//
// Eeprom24 is the bare part with its own pins (VCC, SCL, SDA, WP, A2..A0): anything that wires
// a 24Cxx (a programmer's socket, a smartcard's PIC port pins) maps its signals onto them.
// Eeprom24Chip is that mapping for the virtual programmer's socket.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "sim/chips/chip.hpp"

namespace kestrum {

struct Eeprom24Description {
  std::string_view name;  // the catalogue device it answers to
  int bytes = 0;
  int pageBytes = 0;
  // 24C32 and up: two word-address bytes, high byte first, and A2..A0 in the device address.
  // Below: one word-address byte, and address bits 8 to 10 as block bits in the device address
  // in place of as many chip-select bits.
  bool twoAddressBytes = false;
  std::int64_t writeCycleUs = 0;  // the datasheet's maximum
  // The 24xx1025: address bit 16 is the block-select bit B0 (bit 3) of the control byte, only
  // A1 and A0 select the chip, A2 must be tied high, and the address counter stays inside its
  // 64 KiB block (DS21941).
  bool blockSelect = false;
};

// The description behind a catalogue device name; null for anything that is not a 24Cxx.
const Eeprom24Description* Eeprom24For(std::string_view deviceName);
std::span<const Eeprom24Description> Eeprom24Parts();

// The part's pins. `sda` is the level the rest of the circuit holds the line at (the master's
// output, or a pull-up while it lets go); the part adds its own open-drain output to it, so
// it sees the line low while it pulls it low itself.
struct Eeprom24Pins {
  bool vcc = false;
  bool scl = false;
  bool sda = false;
  bool wp = false;           // high: writes are acknowledged but change nothing
  std::uint8_t address = 0;  // A2..A0 as bits 2..0 (tied low in sockets and on cards)

  bool operator==(const Eeprom24Pins&) const = default;
};

// What the part went through, in order, when it keeps a log.
struct Eeprom24Event {
  enum class Kind {
    PowerUp,
    PowerDown,
    Start,  // also a repeated start; none is seen while the part is busy
    Stop,
    Received,    // a byte from the master (device address, word address, data), `value`;
                 // `acknowledged` whether the part pulled SDA low for it
    Sent,        // a byte to the master, `value`; `acknowledged` whether the master did
    WriteCycle,  // a write cycle started: `address` its first byte, `value` the byte count
    WriteLost,   // the supply went before the write cycle was over: nothing was written
  };
  Kind kind;
  std::int64_t timeUs = 0;
  int value = 0;
  bool acknowledged = false;
  int address = 0;

  bool operator==(const Eeprom24Event&) const = default;
};

class Eeprom24 {
 public:
  explicit Eeprom24(const Eeprom24Description& description);

  // Every change of any input pin, in time order. SCL and SDA changing in one step is a clock
  // edge with the new data, never a start or stop.
  void OnPins(const Eeprom24Pins& pins, std::int64_t timeUs);
  // The open-drain output: true while the part pulls SDA low.
  bool PullsSdaLow() const { return powered_ && pull_; }

  const Eeprom24Description& Description() const { return d_; }
  // The cells. A write cycle lands at the first pin change after its time is over.
  std::span<std::uint8_t> Memory() { return memory_; }
  std::span<const std::uint8_t> Memory() const { return memory_; }
  bool Busy(std::int64_t timeUs) const;

  // Fault knobs: the SDA output is broken (nothing is ever acknowledged, nothing read back);
  // a write cycle never ends.
  void SetNeverAcknowledge(bool never) { neverAcknowledge_ = never; }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }

  // What the part went through.
  void KeepLog(bool keep) { keepLog_ = keep; }
  const std::vector<Eeprom24Event>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  int WriteCycles() const { return writeCycles_; }
  // Start conditions the part let pass because a write cycle was running (each one an
  // acknowledge poll that got no answer).
  int IgnoredWhileBusy() const { return ignoredWhileBusy_; }

 private:
  enum class Phase : std::uint8_t {
    Idle,  // waiting for a start addressed to it
    DeviceAddress,
    WordHigh,
    WordLow,
    WriteData,
    ReadData,
  };

  int BlockBits() const;
  void Record(Eeprom24Event::Kind kind, std::int64_t timeUs, int value = 0,
              bool acknowledged = false, int address = 0);
  void PowerUp(std::int64_t timeUs);
  void PowerDown(std::int64_t timeUs);
  void FinishWrite(std::int64_t timeUs);
  void Start(std::int64_t timeUs);
  void Stop(std::int64_t timeUs);
  void Rising(bool sda);
  void Falling(std::int64_t timeUs);
  // A whole byte from the master: whether the part acknowledges it.
  bool Take(std::uint8_t byte, std::int64_t timeUs);
  void DriveBit();

  Eeprom24Description d_;
  std::vector<std::uint8_t> memory_;

  Eeprom24Pins pins_;
  bool powered_ = false;
  bool lineSda_ = true;  // the line as the part last saw it, its own output included
  bool pull_ = false;
  Phase phase_ = Phase::Idle;
  int clocks_ = 0;  // rising clock edges in the current nine-clock frame
  std::uint8_t shift_ = 0;
  bool acknowledging_ = false;  // pulling SDA low for the ninth clock
  bool masterAcknowledged_ = false;
  int block_ = 0;
  int counter_ = 0;  // the address counter
  int wordHigh_ = 0;

  // The page buffer: the page being loaded and which of its bytes were.
  int pageStart_ = 0;
  std::vector<std::uint8_t> page_;
  std::vector<bool> loaded_;
  int loadedCount_ = 0;
  bool writing_ = false;
  std::int64_t writeEndUs_ = 0;

  bool neverAcknowledge_ = false;
  bool stuckBusy_ = false;
  bool keepLog_ = false;
  std::vector<Eeprom24Event> log_;
  int writeCycles_ = 0;
  int ignoredWhileBusy_ = 0;
};

// A 24Cxx in the virtual programmer's 8-pin EEPROM socket: VCC on the socket's supply (or on
// MCLR, for the boards that feed the EEPROM from it), SCL on Clock, SDA on Data Out and back on
// Data In, WP and A2..A0 tied low; for a 24LC1025 A2 is tied high, as the part needs.
class Eeprom24Chip final : public ChipModel {
 public:
  enum class Supply { Vcc, Mclr };

  explicit Eeprom24Chip(const Eeprom24Description& description)
      : part_(description), addressPins_(description.blockSelect ? 0x04 : 0x00) {}
  // A blank part of the named catalogue device; null when it is not a 24Cxx.
  static std::unique_ptr<Eeprom24Chip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  // Code only: one element per byte.
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  Eeprom24& Part() { return part_; }
  const Eeprom24& Part() const { return part_; }
  std::span<std::uint8_t> Memory() { return part_.Memory(); }

  // Wiring and fault knobs of the socket.
  void SetSupply(Supply supply) { supply_ = supply; }
  void SetWriteProtect(bool high) { writeProtect_ = high; }
  // A2..A0 as the socket ties them.
  void SetAddressPins(std::uint8_t pins) { addressPins_ = pins; }
  void SetAbsent(bool absent) { absent_ = absent; }  // an empty socket

 private:
  Eeprom24 part_;
  Supply supply_ = Supply::Vcc;
  bool writeProtect_ = false;
  std::uint8_t addressPins_ = 0;
  bool absent_ = false;
};

}  // namespace kestrum
