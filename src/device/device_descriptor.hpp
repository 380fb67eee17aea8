// The record of the selected device: sizes, core width, configuration layout, PIC command
// words and programming parameters. One exists per application state; workers copy it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrum {

enum class DeviceFamily : int {
  Pic = 0,
  I2cEeprom = 1,
  MicrowireEeprom = 2,
  FourWireEeprom = 3,
  AvrMicro = 4,
  FlashMicro = 5,
  SpiEeprom = 6,
  SpiMicro89S = 7,
  ImBusEeprom = 8,
};

// Every selection starts a programming cycle with this PIC command word; the 16F84A needs
// its own begin-programming-only command.
inline constexpr std::uint16_t kBeginProgramCommand = 0x0608;
inline constexpr std::uint16_t kBeginProgramCommand16F84A = 0x0618;

struct DeviceDescriptor {
  std::string Name;
  // Program memory in code-buffer units (words on PICs and 16-bit EEPROMs, bytes otherwise);
  // on 12-bit PICs it includes the four ID words after program memory.
  int CodeSize = 0;
  // Data EEPROM bytes; below 1 means none.
  int DataSize = 0;
  int ConfigAreaWords = 0;
  std::array<std::string, 8> OscillatorNames{};
  std::array<std::string, 4> CodeProtectNames{};
  std::array<std::string, 4> BrownOutNames{};
  std::array<std::string, 7> FuseNames{};
  std::array<bool, 7> FuseActiveLow{};
  std::uint16_t CodeEntryCommand = 0;
  std::uint16_t ConfigEntryCommand = 0;
  int ConfigWordIndex = 0;
  int ConfigAddress = 0;
  int IdAddress = 0;
  int DataAddress = 0;
  bool Is12Bit = false;
  bool IsEprom = false;
  bool Erasable = false;
  int IdIndex = 0;
  std::uint16_t ConfigFillBits = 0;
  std::uint16_t ConfigMask = 0;
  bool HasOscCal = false;
  std::uint16_t BlankValue = 0;
  int PageSize = 0;
  int OverProgramFactor = 0;
  int OverProgramExtra = 0;
  int MaxProgramPulses = 0;
  int Variant = 0;
  bool ParallelOnly = false;
  int PinCount = 0;
  bool HasParity = false;
  std::uint16_t MenuCommand = 0;

  // One flag per non-PIC family; at most one is set, none means a PIC.
  bool IsI2cEeprom = false;
  bool IsMicrowireEeprom = false;
  bool IsFourWireEeprom = false;
  bool IsAvrMicro = false;
  bool IsFlashMicro = false;
  bool IsSpiEeprom = false;
  bool IsSpiMicro89S = false;
  bool IsImBusEeprom = false;
};

// The family, tested in the fixed order IM-Bus, I2C, Microwire, 4-wire, AVR, flash, SPI
// EEPROM, SPI 89S, else PIC.
DeviceFamily FamilyOf(const DeviceDescriptor& device);
void SetFamilyFlag(DeviceDescriptor& device, DeviceFamily family);

// Word devices (PICs, Microwire and 4-wire EEPROMs) keep two file bytes per element.
inline bool IsWordDevice(const DeviceDescriptor& device) { return device.BlankValue != 0xFF; }

// Number of significant bits of a code element (14, 12, 8 or 16).
int CoreWidth(std::uint16_t blankValue);

// The "Type: " line of the device information.
std::string FamilyTypeText(const DeviceDescriptor& device);
// The whole text of the device information message.
std::string DeviceInformationText(const DeviceDescriptor& device);

}  // namespace kestrum
