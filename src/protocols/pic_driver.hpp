// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC family driver for serial programming: which of the PIC workers run for each
// command, in which order, with what from the slot, and how the words they read become buffer
// elements. Flash parts are erased before programming and take read-before-write; EPROM parts
// are over-programmed, with the factory calibration word read first where they have one.
#pragma once

#include "protocols/family_driver.hpp"
#include "protocols/pic_flash.hpp"
#include "protocols/pic_serial.hpp"

namespace kestrum {

class PicDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  void ProgramHeld(FamilyContext& context) override;
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
  int CodeCheckCount(const DeviceDescriptor& device) const override;
  bool WarnsOfCodeProtect() const override { return true; }
  // The device ID word at 2006h of the 14-bit flash parts.
  bool HasId(const DeviceDescriptor& device) const override;
  IdReading ReadId(FamilyContext& context) override;

  // The waits as they stand between commands (ProgramWaitMs is 10 then).
  const PicTiming& Timing() const { return timing_; }

 private:
  // The timing a new worker takes: the device's begin-programming command included.
  PicTiming WorkerTiming(FamilyContext& context) const;
  // False when the calibration word could not be read (the port failed, or Cancel came first).
  bool CalibrationCheck(FamilyContext& context);
  // Folds the configuration box into the slot and programs the configuration area.
  bool ProgramConfiguration(FamilyContext& context);

  // The mid-range flash parts, by their family's row.
  struct Calibration {
    std::uint16_t Osccal = 0;
    std::uint16_t Bandgap = 0;  // bits 13:12 in place
  };
  ProgramOutcome ProgramFlash(FamilyContext& context, const PicFamilyRow& row);
  bool EraseFlash(FamilyContext& context, const PicFamilyRow& row);
  bool ProgramFlashConfiguration(FamilyContext& context, const Calibration* calibration);
  // The calibration a run keeps: the part's own, read and checked (an OSCCAL word that is not
  // a RETLW stops the run, told to the user), or the buffer's when the user overwrites it.
  // With `intoSlot` the slot takes the part's values. False when the run stops.
  bool TakeCalibration(FamilyContext& context, bool intoSlot, Calibration& calibration);

  PicTiming timing_;
  // What Program All held back for a 12F629/675 keeps the calibration it read.
  bool heldHasCalibration_ = false;
  Calibration heldCalibration_;
};

}  // namespace kestrum
