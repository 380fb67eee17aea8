// SPI EEPROMs (25010, 25020, 25040): the read worker (status register, then the memory in
// blocks of 256 bytes with address bit 8 in the instruction), the programming worker (write
// enable, one byte, the write-in-progress poll, byte by byte, then the status register with
// the block protection chosen), and the family driver. /CS is the MCLR line, active low: the
// part is selected with VPP off and deselected with VPP on.
#pragma once

#include <cstdint>
#include <vector>

#include "protocols/family_driver.hpp"
#include "protocols/operation_worker.hpp"

namespace kestrum {

namespace spi {
inline constexpr std::uint8_t kWriteStatus = 0x01;
inline constexpr std::uint8_t kWrite = 0x02;
inline constexpr std::uint8_t kRead = 0x03;
inline constexpr std::uint8_t kReadStatus = 0x05;
inline constexpr std::uint8_t kWriteEnable = 0x06;
}  // namespace spi

// A write cycle takes at most 5 ms; a part still busy after this long never ends it.
inline constexpr std::int64_t kSpiBusyLimitUs = 50000;

// The instruction byte carrying address bit 8.
inline std::uint8_t SpiInstruction(std::uint8_t code, int address) {
  return static_cast<std::uint8_t>(code | (((address >> 8) & 1) << 3));
}

class TSpiRead final : public OperationWorker {
 public:
  TSpiRead(const LineContext& lines, int count, std::uint16_t blankValue);

  std::vector<std::uint16_t> Bytes;
  std::uint8_t StatusRegister = 0;
  // The status register kept its write-in-progress bit: no part at rest answered.
  bool NoAnswer = false;

 protected:
  void Body() override;

 private:
  std::uint16_t mask_;
};

class TSpiProgThread final : public OperationWorker {
 public:
  TSpiProgThread(const LineContext& lines, int count);

  std::vector<std::uint16_t> Bytes;
  std::uint8_t StatusRegister = 0;  // written after the memory
                                    // Failed / FailAddress: the byte whose write never finished.

 protected:
  void Body() override;
};

class SpiEepromDriver final : public FamilyDriver {
 public:
  void Read(FamilyContext& context) override;
  ProgramOutcome Program(FamilyContext& context) override;
  bool Erase(FamilyContext& context) override;
  bool ProgramConfig(FamilyContext& context) override;
};

}  // namespace kestrum
