// SPDX-License-Identifier: GPL-3.0-or-later
// The smartcard family driver: I2C EEPROM devices while the smartcard (Phoenix) mode is on are
// read, programmed and verified through the card reader, whose boot loader reaches the card's
// 24C16. The reader is its own device on the serial port and needs no programmer, so the
// family serves every programmer type.
#pragma once

#include "protocols/family_driver.hpp"

namespace kestrum {

class SmartcardDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  // Neither is offered for EEPROM devices.
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
};

}  // namespace kestrum
