// SPDX-License-Identifier: GPL-3.0-or-later
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

// How a serial PIC is programmed: which command codes mean what, the erase that clears its code
// protection, the write latch and the waits. Classic covers the parts of the first catalogue,
// whose sequence the command words of the descriptor describe.
enum class PicAlgorithm : std::uint8_t {
  Classic,
  F62xA,  // 16F627A/628A/648A: program-only words after a bulk erase from configuration space
  F8x8,   // 16F87/88: 4-word latch, row and chip erase, two configuration words
  F6xx,   // 12F629/675: factory oscillator calibration and bandgap bits kept across erases
  F87xA,  // 16F873A..877A: 8-word latch, chip erase the only way out of code protection
};

// The largest memory a device has, in code elements (the 24LC1025's 128 KiB).
inline constexpr int kMaxDeviceElements = 131072;

// AVR fuse and lock bytes in 8-bit Intel HEX files, where the GNU AVR toolchain puts its
// .fuse and .lock sections: low, high and extended fuse from the first, the lock byte at the
// second.
inline constexpr std::int64_t kAvrFuseFileAddress = 0x820000;
inline constexpr std::int64_t kAvrLockFileAddress = 0x830000;

// The most configuration words a device has (the 16F87/88 have two).
inline constexpr int kMaxConfigWords = 4;

// Minimum waits of a part's write and erase cycles in microseconds; 0 leaves the family's
// protocol its own. Parts users add override them.
struct DeviceWaits {
  int ProgramUs = 0;  // one program-memory write (a word or a latch)
  int DataUs = 0;     // one data EEPROM byte
  int EraseUs = 0;    // a bulk or chip erase
  int FuseUs = 0;     // a fuse or lock byte
  bool operator==(const DeviceWaits&) const = default;
};

struct ConfigLayout;

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

  // Configuration words: `ConfigWords` of them from `ConfigWordIndex` in the configuration area
  // and from `ConfigAddress` in files; `ConfigMask` is the first one's implemented bits,
  // `MoreConfigMasks` those of the words after it.
  int ConfigWords = 0;
  std::array<std::uint16_t, kMaxConfigWords - 1> MoreConfigMasks{};
  // The words a selection stores in every slot (the erased value unless a user part says).
  std::array<std::uint16_t, kMaxConfigWords> ConfigDefaults{};
  // The configuration box layout as data; null: the layout of `Variant`.
  const ConfigLayout* Layout = nullptr;
  PicAlgorithm Algorithm = PicAlgorithm::Classic;
  // The identity the part reports (a PIC's device ID word): the bits of `DeviceIdMask`; the
  // rest is the revision. A mask of 0: the part reports none.
  std::uint32_t DeviceId = 0;
  std::uint32_t DeviceIdMask = 0;
  DeviceWaits Waits;
  // AVRs programmed by pages: the EEPROM page in bytes (0: byte by byte), and whether the part
  // answers the RDY/BSY poll. `PageSize` is the flash page in bytes.
  int DataPageSize = 0;
  bool ReadyPoll = false;
  // Serial EEPROMs: 2 for a 16-bit word address (0: the family's first form: 8 bits, with
  // address bit 8 in the SPI instruction), and whether an SPI part reads its electronic
  // signature (RDID) and erases by instruction.
  int AddressBytes = 0;
  bool HasEraseInstructions = false;
  // Added by the user's devices file, not shipped.
  bool UserDefined = false;

  // One flag per non-PIC family; at most one is set, none means a PIC.
  bool IsI2cEeprom = false;
  bool IsMicrowireEeprom = false;
  bool IsFourWireEeprom = false;
  bool IsAvrMicro = false;
  bool IsFlashMicro = false;
  bool IsSpiEeprom = false;
  bool IsSpiMicro89S = false;
  bool IsImBusEeprom = false;

  bool operator==(const DeviceDescriptor&) const = default;
};

// The family, tested in the fixed order IM-Bus, I2C, Microwire, 4-wire, AVR, flash, SPI
// EEPROM, SPI 89S, else PIC.
DeviceFamily FamilyOf(const DeviceDescriptor& device);
void SetFamilyFlag(DeviceDescriptor& device, DeviceFamily family);

// Word devices (PICs, Microwire and 4-wire EEPROMs) keep two file bytes per element.
inline bool IsWordDevice(const DeviceDescriptor& device) {
  return device.BlankValue != 0xFF;
}

// The mask of configuration word `k` (0: the first).
inline std::uint16_t ConfigWordMask(const DeviceDescriptor& device, int k) {
  return k == 0 ? device.ConfigMask : device.MoreConfigMasks[static_cast<std::size_t>(k - 1)];
}

// Number of significant bits of a code element (14, 12, 8 or 16).
int CoreWidth(std::uint16_t blankValue);

// The "Type: " line of the device information.
std::string FamilyTypeText(const DeviceDescriptor& device);
// The whole text of the device information message.
std::string DeviceInformationText(const DeviceDescriptor& device);

}  // namespace kestrum
