// SPDX-License-Identifier: GPL-3.0-or-later
// The I2C EEPROM family driver: the read worker for Read All, Verify and Blank Check, the
// program worker for Program All, with the options "EnableMCLR" and "ByteWrite". The parts
// have no configuration and no erase command.
#pragma once

#include "protocols/family_driver.hpp"

namespace kestrum {

class I2cDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  // Neither is offered for these parts; nothing is driven.
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
};

}  // namespace kestrum
