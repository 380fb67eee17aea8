// SPDX-License-Identifier: GPL-3.0-or-later
// The family drivers of the Microwire and 4-wire EEPROMs: Read All, Verify and Blank Check read
// every word, Program All writes every word; the parts have no configuration and no erase of
// the program's.
#pragma once

#include "protocols/family_driver.hpp"

namespace kestrum {

class MicrowireDriver : public FamilyDriver {
 public:
  MicrowireDriver() = default;

  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  // Neither is offered for these devices.
  bool Erase(FamilyContext& /*context*/) override { return false; }
  bool ProgramConfig(FamilyContext& /*context*/) override { return false; }

 protected:
  explicit MicrowireDriver(bool fourWire) : fourWire_(fourWire) {}

 private:
  bool fourWire_ = false;
};

class FourWireDriver final : public MicrowireDriver {
 public:
  FourWireDriver() : MicrowireDriver(true) {}
};

}  // namespace kestrum
