// The 25010, 25020 and 25040 SPI EEPROMs, modelled from the chip's side: /CS (active low) on
// the MCLR pin, SPI mode 0, the write-enable latch that every write clears, the status
// register with its write-in-progress, write-enable and block-protect bits (bits 7..4 read 1),
// 16-byte pages written in a timed cycle at the rising /CS, writes into a protected block
// refused, and reads that run on through memory. A part that was powered with /CS low takes
// no instruction until /CS has been high once.
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

class SpiEepromChip final : public ChipModel {
 public:
  explicit SpiEepromChip(int bytes);
  // A blank part of the named catalogue device; null for other names.
  static std::unique_ptr<SpiEepromChip> ForDevice(std::string_view deviceName);

  int PinCount() const override { return 8; }
  void OnPins(const ChipPins& pins, std::int64_t timeUs) override;
  DataDrive DataOut(std::int64_t timeUs) override;

  // Code: the memory bytes. Config: one element, the status register as a read of it
  // returns it with no write going on (F0h plus the block-protect bits).
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  std::span<const std::uint8_t> Memory() const { return memory_; }
  // BP1:BP0: 0 none, 1 the upper quarter, 2 the upper half, 3 everything protected.
  int BlockProtect() const { return blockProtect_; }
  bool WriteEnabled() const { return writeEnabled_; }
  int RefusedWrites() const { return refusedWrites_; }

  // Fault knobs.
  void SetAbsent(bool absent) { absent_ = absent; }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }
  void SetNeverProgram(int index) { neverProgram_.insert(index); }

 private:
  enum class Op : std::uint8_t { None, Ignore, Wren, Wrdi, ReadStatus, WriteStatus, Read, Write };

  bool Busy() const { return stuckBusy_ || busyUntil_ > 0; }
  std::uint8_t Status() const;
  bool Protected(int address) const;
  void Settle(std::int64_t timeUs);
  void Byte(std::uint8_t value);
  void EndFrame(std::int64_t timeUs);

  std::vector<std::uint8_t> memory_;
  int blockProtect_ = 0;
  bool writeEnabled_ = false;

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

  // The cycle in progress: what it writes when it is over.
  std::int64_t busyUntil_ = 0;
  std::vector<std::pair<int, std::uint8_t>> cycle_;
  int cycleStatus_ = -1;

  bool absent_ = false;
  bool stuckBusy_ = false;
  std::set<int> neverProgram_;
  int refusedWrites_ = 0;
};

}  // namespace kestrum
