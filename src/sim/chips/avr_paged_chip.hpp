// SPDX-License-Identifier: GPL-3.0-or-later
// The AVRs with a flash page buffer (ATtiny13A, ATtiny25/45/85, ATtiny2313A, ATmega8A,
// ATmega48PA..328P) in serial programming mode, modelled from the chip's side as their
// datasheets describe it.
//
// A session starts when /RESET (the MCLR pin) goes low with the supply on, and the part takes
// instructions 20 ms later, each four bytes in SPI mode 0, every byte echoed one byte later;
// programming enable (AC 53) is honoured only in byte sync (SCK low when /RESET fell). Flash is
// written through the page buffer: Load Program Memory Page puts a byte into the buffer at the
// word the low address bits name, Write Program Memory Page programs the buffer into the page
// the address names and empties it. EEPROM takes single bytes, or pages through its own buffer
// where the part has one. Every write is a timed cycle; an instruction that changes anything
// while one runs is lost, and the RDY/BSY poll (where the part has it) tells when it is over.
// Signature, calibration, fuse and lock bytes read as the part keeps them.
//
// The fuses act as the datasheets say: they take effect when the part next leaves reset or is
// powered, and from then on a part whose RESET pin is disabled (RSTDISBL), taken by debugWIRE
// (DWEN) or clocked from a source the board lacks (a crystal, an external clock) never enters
// programming mode again: the brick a careless fuse write makes. SPIEN cannot be changed in
// serial mode. The part samples SCK on its own clock: high and low phases shorter than two of
// its clock periods (three from 12 MHz) are missed.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "sim/chips/chip.hpp"
#include "sim/chips/spi_slave.hpp"

namespace kestrum {

// A fuse bit: which fuse byte (0 low, 1 high, 2 extended) and its mask; mask 0: the part has
// no such bit.
struct AvrFuseBit {
  int byte = 0;
  std::uint8_t mask = 0;
};

// The internal oscillator a CKSEL code selects, in kHz; kExternalSource for a crystal,
// resonator, RC network or clock the board must supply, 0 for a reserved code.
inline constexpr int kExternalSource = -1;

struct AvrPagedDescription {
  std::string_view name;
  int pins = 8;
  int flashWords = 0;
  int pageWords = 0;
  int eepromBytes = 0;
  int eepromPageBytes = 0;  // 0: byte writes only
  bool readyPoll = true;    // answers Poll RDY/BSY (F0)
  std::array<std::uint8_t, 3> signature{};
  std::array<std::uint8_t, 4> calibration{};
  int calibrationBytes = 1;
  std::array<std::uint8_t, 3> fuseMasks{};     // implemented bits of low, high, extended
  std::array<std::uint8_t, 3> fuseDefaults{};  // as shipped
  std::uint8_t lockMask = 0x03;
  AvrFuseBit spien, rstdisbl, dwen, eesave, ckdiv8;
  std::uint8_t ckselMask = 0x0F;  // in the low fuse byte, from bit 0
  std::array<int, 16> clockKHz{};
  // Self-timed cycles, µs: a flash page, an EEPROM byte or page, chip erase, a fuse or lock byte.
  std::int64_t flashUs = 0, eepromUs = 0, eraseUs = 0, fuseUs = 0;
};

const AvrPagedDescription* AvrPagedFor(std::string_view deviceName);

inline constexpr std::int64_t kAvrPagedStartUpUs = 20000;

class AvrPagedChip final : public ChipModel {
 public:
  explicit AvrPagedChip(const AvrPagedDescription& description);
  static std::unique_ptr<AvrPagedChip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return d_.pins; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  // Code: flash bytes, low then high byte of each word. Data: the EEPROM. Config: the low,
  // high and extended fuse bytes and the lock byte as the read instructions give them (bits a
  // part lacks read 1).
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  const AvrPagedDescription& Description() const { return d_; }
  std::span<const std::uint8_t> Flash() const { return flash_; }
  std::span<const std::uint8_t> Eeprom() const { return eeprom_; }
  std::uint8_t Fuse(int byte) const { return fuses_[static_cast<std::size_t>(byte)]; }
  std::uint8_t Lock() const { return lock_; }
  // The part's clock as the fuses in effect give it, in kHz (0: it has none).
  int ClockKHz() const;
  // Programming enable was answered in this session.
  bool Enabled() const { return enabled_; }
  int Sessions() const { return sessions_; }
  int LostInstructions() const { return lost_; }
  int PageWrites() const { return pageWrites_; }
  int MissedClockEdges() const { return missedEdges_; }
  // What a part locked against reading returns for `address`.
  static std::uint8_t Garbage(int address);

  // The board: a crystal or clock on the clock input, in kHz (0: none, as in a programmer's
  // socket).
  void SetBoardClockKHz(int kHz) {
    boardClockKHz_ = kHz;
    Latch();
  }
  // Fault knobs.
  void SetAbsent(bool absent) { absent_ = absent; }
  void SetOutOfSync(int sessions) { outOfSync_ = sessions; }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }
  void SetNeverProgram(ChipRegion region, int index) { neverProgram_.insert({region, index}); }

 private:
  enum class Job : std::uint8_t { None, Erase, FlashPage, EepromByte, EepromPage, Fuse, Lock };

  bool ComputeReachable() const;
  std::int64_t ComputeMinPhaseUs() const;
  bool InSession() const { return pins_.vcc && !pins_.mclr && !absent_ && reachable_; }
  bool Awake(std::int64_t timeUs) const {
    return InSession() && timeUs - sessionStartUs_ >= kAvrPagedStartUpUs;
  }
  bool Busy() const { return stuckBusy_ || job_ != Job::None; }
  bool FuseProgrammed(const AvrFuseBit& bit, bool latched) const;
  // The fuses written take effect: what the part can be reached with follows them.
  void Latch() {
    latched_ = fuses_;
    reachable_ = ComputeReachable();
    minPhaseUs_ = ComputeMinPhaseUs();
  }
  void StartSession(std::int64_t timeUs);
  void Settle(std::int64_t timeUs);
  void Clock(bool rising, std::int64_t timeUs);
  void Byte(std::uint8_t value, std::int64_t timeUs);
  std::uint8_t Output(std::uint8_t op, int address, std::uint8_t select) const;
  void Execute(std::int64_t timeUs);
  void Start(Job job, std::int64_t durationUs, std::int64_t timeUs);
  bool Locked() const { return (lock_ & 0x01) == 0; }      // LB1: no more programming
  bool ReadLocked() const { return (lock_ & 0x03) == 0; }  // LB1 and LB2: no verifying

  AvrPagedDescription d_;
  std::vector<std::uint8_t> flash_;
  std::vector<std::uint8_t> eeprom_;
  std::array<std::uint8_t, 3> fuses_;
  std::array<std::uint8_t, 3> latched_;  // the fuses in effect
  bool reachable_ = true;
  std::int64_t minPhaseUs_ = 0;
  std::uint8_t lock_ = 0xFF;
  std::vector<std::uint8_t> page_;  // the flash page buffer (FFh: not loaded)
  std::vector<std::pair<int, std::uint8_t>> eepromPage_;

  ChipPins pins_;
  bool sessionOpen_ = false;  // in programming mode since sessionStartUs_
  std::int64_t sessionStartUs_ = 0;
  std::int64_t lastClockEdgeUs_ = 0;
  bool skipFall_ = false;
  bool started_ = false;
  bool synced_ = true;
  bool enabled_ = false;
  SpiShifter shifter_;
  std::uint8_t command_[4] = {};
  int bytes_ = 0;

  Job job_ = Job::None;
  std::int64_t jobEndUs_ = 0;
  int jobAddress_ = 0;
  std::uint8_t jobValue_ = 0;
  std::vector<std::uint8_t> jobPage_;

  int boardClockKHz_ = 0;
  bool absent_ = false;
  int outOfSync_ = 0;
  bool stuckBusy_ = false;
  std::set<std::pair<ChipRegion, int>> neverProgram_;
  int sessions_ = 0;
  int lost_ = 0;
  int pageWrites_ = 0;
  int missedEdges_ = 0;
};

}  // namespace kestrum
