// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC 16C54, an EPROM part programmed in parallel, modelled from the chip's side in its
// program/verify mode: entered by raising MCLR to VPP with VDD on and T0CKI low, with the
// program counter at the configuration word (FFFh); T0CKI's falling edge steps the counter
// (FFFh wraps to 000h); the part drives the word at the counter on RB0..RB7 and RA0..RA3
// through weak drivers, which a programmer driving the port overrides; each low pulse of OSC1
// of at least 90 µs programs the levels on the port into the cell: EPROM bits only go from 1 to
// 0, and each needs a number of pulses first. A cleared CP bit (bit 3 of the configuration word)
// makes program memory read as zeros and take no more pulses.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "device/device_descriptor.hpp"
#include "sim/chips/chip.hpp"
#include "sim/chips/parallel_chip.hpp"

namespace kestrum {

// An OSC1 pulse shorter than this does not count.
inline constexpr std::int64_t kParallelPicMinimumPulseUs = 90;

class ParallelPicChip final : public ChipModel, public ParallelChip {
 public:
  static constexpr int kProgramWords = 512;
  static constexpr int kIdWords = 4;
  static constexpr std::uint16_t kConfigAddress = 0xFFF;

  ParallelPicChip();
  // A part of the catalogue device (a PIC with ParallelOnly); null for any other.
  static std::unique_ptr<ParallelPicChip> ForDevice(const DeviceDescriptor& device);

  int PinCount() const override { return 18; }
  void OnPins(const ChipPins&, std::int64_t) override {}
  DataDrive DataOut(std::int64_t) override { return DataDrive::Released; }

  void OnParallelPins(const ParallelPins& pins, std::int64_t timeUs) override;
  BusDrive BusOut(std::int64_t timeUs) override;

  // Code: program memory, then the four ID words (as the code buffer holds them). Config: the
  // configuration word, its eight unimplemented bits reading 1.
  int RegionSize(ChipRegion region) const override;
  std::uint16_t Element(ChipRegion region, int index) const override;
  void SetElement(ChipRegion region, int index, std::uint16_t value) override;

  std::vector<std::uint16_t>& Code() { return code_; }
  std::uint16_t ConfigWord() const { return config_; }
  bool InProgrammingMode() const { return mode_; }
  int ProgramCounter() const { return pc_; }
  // Pulses with the programmer's word on the port, at one address.
  int DrivenPulses(int address) const;

  // Fault knobs.
  void SetAbsent(bool absent) { absent_ = absent; }
  void SetPulsesNeeded(int pulses) { pulsesNeeded_ = pulses; }
  void SetNeverProgram(int address) { neverProgram_.insert(address); }

 private:
  bool Protected(int address) const;
  // The cell at a counter value: -1 for none, kConfigCell for the configuration word.
  int CellAt(int pc) const;
  std::uint16_t ReadCell(int pc) const;
  void Pulse(std::uint16_t levels, bool driven);

  std::vector<std::uint16_t> code_;
  std::uint16_t config_ = 0xFFF;
  // Charge each bit of a cell has taken; it reads 0 once it has enough.
  std::map<int, std::array<std::uint8_t, 12>> charge_;

  ParallelPins pins_;
  bool mode_ = false;
  int pc_ = kConfigAddress;
  std::int64_t pulseStartUs_ = -1;

  bool absent_ = false;
  int pulsesNeeded_ = 3;
  std::set<int> neverProgram_;
  std::map<int, int> drivenPulses_;
};

}  // namespace kestrum
