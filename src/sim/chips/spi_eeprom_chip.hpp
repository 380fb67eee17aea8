// SPDX-License-Identifier: GPL-3.0-or-later
// The SPI EEPROMs, modelled from the chip's side: /CS (active low) on the MCLR pin, SPI mode
// 0, the write-enable latch that every write clears, the status register with its
// write-in-progress, write-enable and block-protect bits, pages written in a timed cycle at
// the rising /CS (bytes past the page's end wrap to its start), writes into a protected block
// refused, and reads that run on through memory. A part that was powered with /CS low takes
// no instruction until /CS has been high once.
//
// The 25010/20/40 carry address bit 8 in the instruction and read 1 in status bits 7..4. The
// 25xx080 to 25xx512 take 16-bit addresses; their status register has the non-volatile WPEN
// bit 7, which with the /WP pin low protects the status register itself (DS21828F table 2-2).
// The 25xx512 also erases by instruction (page, sector, chip), reads its electronic signature
// (RDID, which also wakes it) and sleeps in deep power-down (DS22021F section 2.12).
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "sim/chips/chip.hpp"
#include "sim/chips/spi_slave.hpp"

namespace kestrum {

// The write cycle of a page or of the status register.
inline constexpr std::int64_t kSpiEepromWriteUs = 5000;
// The 25xx512's erase cycles (DS20002021G, typical: the datasheet gives no maximum).
inline constexpr std::int64_t kSpiPageEraseUs = 5000;
inline constexpr std::int64_t kSpiSectorEraseUs = 10000;
inline constexpr std::int64_t kSpiChipEraseUs = 10000;

struct SpiEepromDescription {
  std::string_view name;
  int bytes = 0;
  int pageBytes = 16;
  int addressBytes = 1;        // 1: address bit 8 in the instruction
  bool eraseAndId = false;     // page/sector/chip erase, RDID and deep power-down
  std::uint8_t signature = 0;  // what RDID returns
  int sectorBytes = 0;
};

const SpiEepromDescription* SpiEepromFor(std::string_view deviceName);

class SpiEepromChip final : public ChipModel {
 public:
  explicit SpiEepromChip(const SpiEepromDescription& description);
  // A 25010/20/40-like part of `bytes` bytes.
  explicit SpiEepromChip(int bytes);
  // A blank part of the named catalogue device; null for other names.
  static std::unique_ptr<SpiEepromChip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  // Code: the memory bytes. Config: one element, the status register as a read of it
  // returns it with no write going on (its non-volatile bits; F0h plus the block-protect bits
  // on the 25010/20/40).
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  std::span<const std::uint8_t> Memory() const { return memory_; }
  // BP1:BP0: 0 none, 1 the upper quarter, 2 the upper half, 3 everything protected.
  int BlockProtect() const { return blockProtect_; }
  bool WriteProtectEnabled() const { return wpen_; }
  bool WriteEnabled() const { return writeEnabled_; }
  bool DeepPowerDown() const { return deepPowerDown_; }
  int RefusedWrites() const { return refusedWrites_; }
  const SpiEepromDescription& Description() const { return d_; }

  // The socket: the /WP pin low (it is tied high in the programmers' sockets).
  void SetWriteProtectPinLow(bool low) { wpLow_ = low; }
  // Fault knobs.
  void SetAbsent(bool absent) { absent_ = absent; }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }
  void SetNeverProgram(int index) { neverProgram_.insert(index); }

 private:
  enum class Op : std::uint8_t {
    None,
    Ignore,
    Wren,
    Wrdi,
    ReadStatus,
    WriteStatus,
    Read,
    Write,
    PageErase,
    SectorErase,
    ChipErase,
    ReadId,
    PowerDown,
  };

  bool Busy() const { return stuckBusy_ || busyUntil_ > 0; }
  std::uint8_t Status() const;
  bool Protected(int address) const;
  void Settle(std::int64_t timeUs);
  void Byte(std::uint8_t value);
  void EndFrame(std::int64_t timeUs);

  // The bytes of [first, first + count) that a protected block covers.
  bool AnyProtected(int first, int count) const;

  SpiEepromDescription d_;
  std::vector<std::uint8_t> memory_;
  int blockProtect_ = 0;
  bool wpen_ = false;
  bool writeEnabled_ = false;
  bool deepPowerDown_ = false;
  bool wpLow_ = false;

  ChipPins pins_;
  bool armed_ = false;     // /CS has been high since power-up
  bool selected_ = false;  // a frame is running
  SpiShifter shifter_;
  Op op_ = Op::None;
  int bytes_ = 0;  // bytes of the frame so far
  int address_ = 0;
  bool driving_ = false;
  std::vector<std::pair<int, std::uint8_t>> page_;
  int pendingStatus_ = -1;

  // The cycle in progress: what it writes when it is over (an erase writes FFh).
  std::int64_t busyUntil_ = 0;
  std::vector<std::pair<int, std::uint8_t>> cycle_;
  int cycleStatus_ = -1;
  int eraseFirst_ = 0;
  int eraseCount_ = 0;

  bool absent_ = false;
  bool stuckBusy_ = false;
  std::set<int> neverProgram_;
  int refusedWrites_ = 0;
};

}  // namespace kestrum
